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

BenchWindow::BenchWindow(QWidget* painted, std::function<bool()> pending)
    : m_painted(painted), m_pending(std::move(pending))
{
    if (painted)
        painted->installEventFilter(this);
}

std::unique_ptr<BenchWindow> BenchWindow::wholeWindow(QWidget* window, std::function<bool()> pending)
{
    auto watch = std::make_unique<BenchWindow>(nullptr, std::move(pending));
    watch->m_painted = window;
    watch->m_wholeWindow = true;
    QCoreApplication::instance()->installEventFilter(watch.get());
    return watch;
}

BenchWindow::~BenchWindow()
{
    if (m_wholeWindow)
        QCoreApplication::instance()->removeEventFilter(this);
    else if (m_painted)
        m_painted->removeEventFilter(this);
}

bool BenchWindow::eventFilter(QObject* watched, QEvent* event)
{
    // Seen before the widget paints; the loop stops once the whole pass (the paint and the
    // flush of the window to the screen) has returned to it.
    if (event->type() != QEvent::Paint || !m_painted)
        return false;
    if (watched == m_painted
        || (m_wholeWindow && watched->isWidgetType() && static_cast<QWidget*>(watched)->window() == m_painted)) {
        ++m_paints;
        ++m_paintsSinceMark;
        if (m_loop)
            m_loop->quit();
    }
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
