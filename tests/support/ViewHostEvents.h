#pragma once

#include "desktop/ViewHost.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>

// Real Qt events sent to a host widget at y-up points of its tree.
namespace ViewHostEvents {

// A left-button event at a point of the widget itself (y down), as Qt delivers it; a move
// carries the button held.
inline void mouseAtWidget(ViewHost& host, QEvent::Type type, const QPointF& w, Qt::KeyboardModifiers modifiers = {})
{
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    const Qt::MouseButtons buttons = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, w, host.mapToGlobal(w), button, buttons, modifiers);
    QCoreApplication::sendEvent(&host, &event);
}

inline void mouse(ViewHost& host, QEvent::Type type, const QPointF& viewPoint, Qt::KeyboardModifiers modifiers = {})
{
    mouseAtWidget(host, type, host.widgetPoint(viewPoint), modifiers);
}

inline void press(ViewHost& host, const QPointF& p, Qt::KeyboardModifiers m = {}) { mouse(host, QEvent::MouseButtonPress, p, m); }
inline void drag(ViewHost& host, const QPointF& p, Qt::KeyboardModifiers m = {}) { mouse(host, QEvent::MouseMove, p, m); }
inline void release(ViewHost& host, const QPointF& p, Qt::KeyboardModifiers m = {}) { mouse(host, QEvent::MouseButtonRelease, p, m); }

inline void click(ViewHost& host, const QPointF& p, Qt::KeyboardModifiers m = {})
{
    press(host, p, m);
    release(host, p, m);
}

// Press, release, then the second press as Qt reports it, and its release.
inline void doubleClick(ViewHost& host, const QPointF& p, Qt::KeyboardModifiers m = {})
{
    click(host, p, m);
    mouse(host, QEvent::MouseButtonDblClick, p, m);
    release(host, p, m);
}

// A press, drags in a few steps to the end, and a release there.
inline void dragFromTo(ViewHost& host, const QPointF& from, const QPointF& to, Qt::KeyboardModifiers m = {})
{
    press(host, from, m);
    for (int step = 1; step <= 4; ++step)
        drag(host, from + (to - from) * (step / 4.0), m);
    release(host, to, m);
}

inline void key(ViewHost& host, int key, Qt::KeyboardModifiers modifiers = {})
{
    QKeyEvent event(QEvent::KeyPress, key, modifiers);
    QCoreApplication::sendEvent(&host, &event);
}

} // namespace ViewHostEvents
