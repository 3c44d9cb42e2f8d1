#include "support/BenchWindow.h"

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QGuiApplication>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <benchmark/benchmark.h>

namespace {

// Long enough for the largest first picture on a loaded machine; a step that has not painted
// by then never will.
constexpr int kDeadlineMs = 60000;

bool isExposed(const QWidget* widget)
{
    const QWindow* handle = widget ? widget->window()->windowHandle() : nullptr;
    return handle && handle->isExposed() && widget->isVisible();
}

} // namespace

BenchWindow::BenchWindow(QWidget* painted, std::function<bool()> pending, Scope scope)
    : m_painted(painted), m_pending(std::move(pending)), m_scope(scope)
{
    // The paints of widgets inside it reach their own filters only: the application's sees them.
    if (scope == Scope::withChildren)
        QCoreApplication::instance()->installEventFilter(this);
    else if (painted)
        painted->installEventFilter(this);
}

BenchWindow::~BenchWindow()
{
    if (m_scope == Scope::withChildren)
        QCoreApplication::instance()->removeEventFilter(this);
    else if (m_painted)
        m_painted->removeEventFilter(this);
}

bool BenchWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::Paint || !m_painted || !watched->isWidgetType())
        return false;
    auto* widget = static_cast<QWidget*>(watched);
    if (widget != m_painted && !(m_scope == Scope::withChildren && m_painted->isAncestorOf(widget)))
        return false;
    // Seen before the widget paints; the loop stops once the whole pass (the paint and the
    // flush of the window to the screen) has returned to it.
    ++m_paintsSinceMark;
    m_lastPainted = widget;
    if (m_loop)
        m_loop->quit();
    return false;
}

bool BenchWindow::pictureIsFinal() const
{
    return m_paintsSinceMark > 0 && !(m_pending && m_pending());
}

bool BenchWindow::runUntil(const std::function<bool()>& done, int timeoutMs)
{
    QTimer deadline;
    deadline.setSingleShot(true);
    deadline.start(timeoutMs);
    // Checked when the wait starts and after each paint only: a map view's refinement timer
    // may have fired with its sharp picture not yet painted.
    while (!done()) {
        if (!deadline.isActive())
            return false;
        QEventLoop loop;
        QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
        m_loop = &loop;
        loop.exec();
        m_loop = nullptr;
    }
    return true;
}

bool BenchWindow::show(benchmark::State& state, QSize size)
{
    if (!m_painted) {
        state.SkipWithError("no widget to show");
        return false;
    }
    QWidget* window = m_painted->window();
    if (size.isValid())
        window->resize(size);
    mark();
    window->show();
    return waitForExposure(state);
}

bool BenchWindow::waitForExposure(benchmark::State& state)
{
    // The platform paints a window when it exposes it: the first paint comes with the exposure.
    if (!runUntil([this] { return isExposed(m_painted) && pictureIsFinal(); }, kDeadlineMs)) {
        state.SkipWithError(isExposed(m_painted) ? "nothing was painted" : "the window was never exposed");
        return false;
    }
    QGuiApplication::sync();
    return true;
}

bool BenchWindow::waitForPaint(benchmark::State& state)
{
    return wait(state, [this] { return m_paintsSinceMark > 0; });
}

bool BenchWindow::waitForPicture(benchmark::State& state)
{
    return wait(state, [this] { return pictureIsFinal(); });
}

bool BenchWindow::wait(benchmark::State& state, const std::function<bool()>& done)
{
    // A window that is not exposed paints nothing: fail at once rather than at the deadline.
    if (!isExposed(m_painted) || !runUntil(done, kDeadlineMs)) {
        state.SkipWithError("nothing was painted");
        return false;
    }
    // On a display server (X11), the picture is on screen once the server has taken it: a
    // round trip, so that the next step does not queue frames behind it.
    QGuiApplication::sync();
    return true;
}

bool BenchWindow::repaint(benchmark::State& state)
{
    if (m_painted)
        m_painted->repaint();
    return waitForPicture(state);
}

void BenchWindow::pauseTiming(benchmark::State& state)
{
    if (!state.error_occurred())
        state.PauseTiming();
}

void BenchWindow::resumeTiming(benchmark::State& state)
{
    if (!state.error_occurred())
        state.ResumeTiming();
}
