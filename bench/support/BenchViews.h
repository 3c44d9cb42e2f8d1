#pragma once

#include "desktop/ViewHost.h"
#include "desktop/ViewNode.h"
#include "support/BenchWindow.h"

#include <QImage>
#include <QPainter>
#include <QPolygonF>
#include <QString>

#include <benchmark/benchmark.h>

#include <functional>
#include <string>
#include <utility>

// Whether a window shows what one of its view nodes draws: a paint seen in the window is not yet
// the picture (a map view may draw its layers and never put them on screen, and the other
// views' paints would pass for its own). These read the window back from the platform (see
// BenchWindow::shows) and fail the benchmark when the view's picture is not there. Kept in this
// header so that only the programs of the layers above the view tree, which link it, include it.
namespace BenchViews {

// The share of a view's drawn blocks that the window must show as the view draws them apart.
// Both drawings agree on nearly all of them; whatever else lies over the view (a page's legend
// over its map, selection frames) takes a few.
constexpr double kMinimumShownShare = 0.8;

// Whether the window shows `view`'s picture: what the window holds in the view's rectangle,
// read back once the picture is final, against the view (its subviews included) drawn apart
// into an image of that rectangle, from its vectors rather than the screen's pixel layers. A
// view missing from the window, or below the share, fails the benchmark with "<name>'s picture
// is not in the window" and the share found; `counter` receives the share. Untimed: call it
// outside the timed loop or with the timing paused.
inline bool viewShown(benchmark::State& state, ViewNode* view, const char* name, const char* counter)
{
    const ViewHost* host = view ? view->host() : nullptr;
    if (!host) {
        state.SkipWithError((std::string(name) + " is not in the window").c_str());
        return false;
    }
    // The view's bounds as the host shows them (y flipped once, at the host).
    const QRectF bounds = view->bounds();
    QPolygonF corners;
    for (const QPointF& corner : {bounds.topLeft(), bounds.topRight(), bounds.bottomLeft(), bounds.bottomRight()})
        corners.append(host->widgetPoint(view->convertToRoot(corner)));
    const QRectF onScreen = corners.boundingRect();
    const QRect area = onScreen.toAlignedRect();
    QImage expected(area.size(), QImage::Format_ARGB32_Premultiplied);
    expected.fill(Qt::transparent);
    {
        QPainter painter(&expected);
        painter.setRenderHint(QPainter::Antialiasing);
        view->renderInto(painter, onScreen.translated(-area.topLeft()));
    }
    double share = 0;
    const QString failure = QString::fromUtf8(name) + QStringLiteral("'s picture is not in the window");
    const bool shown = BenchWindow::shows(state, host, area, expected, kMinimumShownShare, failure, &share);
    state.counters[counter] = share;
    return shown;
}

// The check of a row that times a picture reaching a window, kept out of the timing: once after
// its first timed step (the timing paused around it) and once after its loop, on the view that
// `view` gives at that moment (or by a check of the row's own).
//
//     BenchViews::ShownAfterSteps shown([&] { return host.rootNode(); }, "the map view", "shown_share");
//     for (auto _ : state) {
//         … the timed step, until its final picture …
//         if (!shown.afterStep(state))
//             break;
//     }
//     shown.afterLoop(state);
class ShownAfterSteps {
public:
    ShownAfterSteps(std::function<ViewNode*()> view, const char* name, const char* counter)
        : m_check([view = std::move(view), name, counter](benchmark::State& state) {
              return viewShown(state, view ? view() : nullptr, name, counter);
          })
    {
    }
    explicit ShownAfterSteps(std::function<bool(benchmark::State&)> check) : m_check(std::move(check)) {}

    // At the end of a timed step: checks the loop's first step only. False when the row failed
    // (by this check or before it).
    bool afterStep(benchmark::State& state)
    {
        if (state.error_occurred())
            return false;
        if (m_checkedFirst)
            return true;
        m_checkedFirst = true;
        BenchWindow::pauseTiming(state);
        const bool shown = check(state);
        BenchWindow::resumeTiming(state);
        return shown;
    }
    // After the loop, unless the row failed: the last step's picture is shown too.
    bool afterLoop(benchmark::State& state) { return !state.error_occurred() && check(state); }

private:
    bool check(benchmark::State& state) { return m_check(state); }

    std::function<bool(benchmark::State&)> m_check;
    bool m_checkedFirst = false;
};

} // namespace BenchViews
