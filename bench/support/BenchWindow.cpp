#include "support/BenchWindow.h"

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QGuiApplication>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>

namespace {

// Long enough for the largest first picture on a loaded machine; a step that has not painted
// by then never will.
constexpr int kDeadlineMs = 60000;

// The side of the blocks in which two pictures are compared: wide enough for the edges that two
// drawings antialias differently to average out.
constexpr int kBlock = 8;
// The largest difference of a block's mean channel (of 255) between two drawings of the same
// picture.
constexpr int kBlockTolerance = 24;

struct BlockMean {
    int red = 0;
    int green = 0;
    int blue = 0;
    bool plain = true;  // every pixel the same colour
};

BlockMean blockMean(const QImage& image, int left, int top)
{
    BlockMean mean;
    const QRgb first = image.pixel(left, top);
    const int bottom = std::min(top + kBlock, image.height());
    const int right = std::min(left + kBlock, image.width());
    int count = 0;
    for (int y = top; y < bottom; ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = left; x < right; ++x) {
            mean.red += qRed(line[x]);
            mean.green += qGreen(line[x]);
            mean.blue += qBlue(line[x]);
            mean.plain = mean.plain && line[x] == first;
            ++count;
        }
    }
    mean.red /= count;
    mean.green /= count;
    mean.blue /= count;
    return mean;
}

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

double BenchWindow::shownShare(const QWidget* widget, const QRect& area, const QImage& expected)
{
    const QWidget* window = widget ? widget->window() : nullptr;
    const QRect shown = widget ? area & widget->rect() : QRect();
    QScreen* screen = window && window->windowHandle() ? window->windowHandle()->screen() : nullptr;
    if (!screen || shown.isEmpty() || expected.size() != area.size())
        return -1;
    const QPoint at = widget->mapTo(window, shown.topLeft());
    const QImage pixels = screen->grabWindow(window->winId(), at.x(), at.y(), shown.width(), shown.height())
                              .toImage()
                              .convertToFormat(QImage::Format_RGB32);
    if (pixels.size() != shown.size())
        return -1;
    // The expected picture over white, as a view that paints its background shows it, cut to
    // the part in sight.
    QImage reference(shown.size(), QImage::Format_RGB32);
    reference.fill(Qt::white);
    {
        QPainter painter(&reference);
        painter.drawImage(area.topLeft() - shown.topLeft(), expected);
    }
    qsizetype drawn = 0;
    qsizetype alike = 0;
    for (int top = 0; top < shown.height(); top += kBlock) {
        for (int left = 0; left < shown.width(); left += kBlock) {
            const BlockMean want = blockMean(reference, left, top);
            if (want.plain)
                continue;
            const BlockMean got = blockMean(pixels, left, top);
            ++drawn;
            alike += std::abs(want.red - got.red) <= kBlockTolerance && std::abs(want.green - got.green) <= kBlockTolerance
                && std::abs(want.blue - got.blue) <= kBlockTolerance;
        }
    }
    return drawn ? double(alike) / drawn : 0;
}

bool BenchWindow::shows(benchmark::State& state, const QWidget* widget, const QRect& area, const QImage& expected,
                        double minimum, const QString& failure, double* found)
{
    const double share = shownShare(widget, area, expected);
    if (found)
        *found = share;
    if (share >= minimum)
        return true;
    const QString what = share < 0 ? QStringLiteral("the platform gave no picture of it")
                                   : QStringLiteral("%1 % of its drawn blocks shown alike, %2 % at least expected")
                                         .arg(share * 100, 0, 'f', 1)
                                         .arg(minimum * 100, 0, 'f', 0);
    state.SkipWithError((failure + QStringLiteral(" (") + what + QLatin1Char(')')).toUtf8().constData());
    return false;
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
