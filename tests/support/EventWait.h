#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

#include <chrono>
#include <functional>

// Waiting on an event in a test. The guard only keeps a broken test from hanging until the
// runner kills it (a test may run 300 s); it is no speed limit, so it stays far above any wait
// that a loaded machine can cause.
namespace EventWait {

inline constexpr std::chrono::seconds guard{120};

} // namespace EventWait

// Runs the calling thread's events until the condition holds; false when it still does not
// hold after the guard.
inline bool waitUntil(const std::function<bool()>& condition)
{
    const QDeadlineTimer deadline(EventWait::guard);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        // Outside a running event loop deleteLater() waits for an explicit flush.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        // A condition set by another thread posts no event to wake on: look again shortly.
        QThread::msleep(1);
    }
    return true;
}
