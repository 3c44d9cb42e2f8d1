#include "support/BenchGuard.h"
#include "canvas/VectorCanvas.h"
#include "page/CarteCompositionHost.h"
#include "page/ThematicCanvas.h"
#include "page/ThematicLegend.h"
#include "desktop/ViewHost.h"
#include "support/BenchMaps.h"
#include "support/BenchViews.h"
#include "support/BenchWindow.h"
#include "canvas/ProportionalOverlay.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <memory>

// The layout page of the large generated map (35,000 entities) with one proportional symbol per
// entity and a class legend, shown in a 1224 × 824 window and timed until its final picture on
// screen: a full repaint of the fitted page, a zoom step of the page until its sharp picture,
// and one mouse move of a legend drag with the paint of what it uncovers and covers. The
// steps' layout alone has rows of its own, named as parts.
namespace {

constexpr int kWidth = 1224;
constexpr int kHeight = 824;

const PlmMap& largeMap()
{
    static const PlmMap map = BenchMaps::makeLargeMap(35000);
    return map;
}

QList<ProportionalOverlay::Item> symbolItems(const PlmMap& map)
{
    QList<ProportionalOverlay::Item> items;
    items.reserve(map.entities.size());
    for (qsizetype i = 0; i < map.entities.size(); ++i) {
        const PlmEntity& e = map.entities[i];
        double minX = INFINITY, minY = INFINITY, maxX = -INFINITY, maxY = -INFINITY;
        for (const PlmPoint& p : e.geometry.extentPoints()) {
            minX = std::min(minX, p.x), maxX = std::max(maxX, p.x);
            minY = std::min(minY, p.y), maxY = std::max(maxY, p.y);
        }
        if (!std::isfinite(minX))
            continue;
        // Sizes as a square-root scale of a value would spread them: 1 to 12 points.
        items.append({e.id, 1 + 11 * std::sqrt(((i * 7919) % 1000) / 1000.0), PlmPoint{(minX + maxX) / 2, (minY + maxY) / 2}});
    }
    return items;
}

// The page in its window, shown and painted once.
struct Page {
    ViewHost widget;
    CarteCompositionHost* host = nullptr;
    ThematicCanvas* canvas = nullptr;
    std::unique_ptr<BenchWindow> window;

    Page()
    {
        canvas = new ThematicCanvas(largeMap());
        canvas->compositionSize = QSizeF(1200, 800);
        host = new CarteCompositionHost(canvas);
        widget.resize(kWidth, kHeight);
        widget.setRootNode(host);
        host->layoutSubtreeIfNeeded();
        ProportionalOverlay* symbols = canvas->symbols();
        symbols->setHidden(false);
        symbols->setItems(symbolItems(largeMap()));
        ThematicLegend* legend = canvas->legend();
        legend->setTitle(QStringLiteral("Densité de population (habitants au km²)"));
        QStringList labels;
        QList<PlmColor> colors;
        for (int i = 0; i < 7; ++i) {
            labels << QStringLiteral("de %1 à %2").arg(i * 50).arg(i * 50 + 49);
            colors << PlmColor{1.0 - i / 7.0, 0.4, i / 7.0, 1};
        }
        legend->setLabels(labels);
        legend->setColors(colors);
        legend->setFooter(QStringLiteral("Source : recensement"));
        canvas->layoutComposition();
        window = std::make_unique<BenchWindow>(&widget, [this] { return canvas->vector()->hasPendingRefinement(); });
    }
    bool open(benchmark::State& state) { return window->show(state, QSize(kWidth, kHeight)); }
    // That the window shows the page's picture, not only that it painted. At this density the
    // symbols cover most of the map at the check's grain, so the map's own picture is checked
    // first with them hidden for a moment, then the page as the row shows it.
    bool pageShown(benchmark::State& state)
    {
        ProportionalOverlay* symbols = canvas->symbols();
        const bool hidden = symbols->isHidden();
        symbols->setHidden(true);
        bool shown = window->repaint(state)
                  && BenchViews::viewShown(state, widget.rootNode(), "the page's map", "map_shown_share");
        symbols->setHidden(hidden);
        return shown && window->repaint(state)
            && BenchViews::viewShown(state, widget.rootNode(), "the page", "page_shown_share");
    }
    BenchViews::ShownAfterSteps shown{[this](benchmark::State& state) { return pageShown(state); }};
};

// A repaint of the whole page; argument symbols:0 hides the 35,000 symbols to give their share.
void BM_CompositionFullRepaint(benchmark::State& state)
{
    Page p;
    p.canvas->symbols()->setHidden(state.range(0) == 0);
    if (!p.open(state))
        return;
    for (auto _ : state) {
        p.window->mark();
        if (!p.window->repaint(state) || !p.shown.afterStep(state))
            break;
    }
    p.shown.afterLoop(state);
    state.counters["symbols"] = p.canvas->symbols()->isHidden() ? 0 : double(p.canvas->symbols()->items().size());
}
PLM_BENCHMARK(BM_CompositionFullRepaint)->ArgName("symbols")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

// One zoom step of the page about a page point (in, then out at the next step), until the
// sharp picture that follows the moved one once the view has rested.
void BM_CompositionZoomStep(benchmark::State& state)
{
    Page p;
    if (!p.open(state))
        return;
    bool in = true;
    for (auto _ : state) {
        p.window->mark();
        p.host->zoomBy(in ? 1.1 : 1 / 1.1, QPointF(600, 400));
        in = !in;
        if (!p.window->waitForPicture(state) || !p.shown.afterStep(state))
            break;
    }
    p.shown.afterLoop(state);
}
PLM_BENCHMARK(BM_CompositionZoomStep)->Unit(benchmark::kMillisecond)->UseRealTime();

// Parts of a zoom or pan step: only the canvas's frame changes, the page keeps its layout
// (nothing painted).
void BM_CompositionZoomStep_PartLayout(benchmark::State& state)
{
    Page p;
    bool in = true;
    for (auto _ : state) {
        p.host->zoomBy(in ? 1.1 : 1 / 1.1, QPointF(600, 400));
        in = !in;
        p.host->layoutSubtreeIfNeeded();
    }
}
PLM_BENCHMARK(BM_CompositionZoomStep_PartLayout)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_CompositionPanStep_PartLayout(benchmark::State& state)
{
    Page p;
    double sign = 1;
    for (auto _ : state) {
        p.canvas->vector()->onCompositionPan(QPointF(5 * sign, 3 * sign));
        sign = -sign;
        p.host->layoutSubtreeIfNeeded();
    }
}
PLM_BENCHMARK(BM_CompositionPanStep_PartLayout)->Unit(benchmark::kMicrosecond)->UseRealTime();

// One mouse move of a legend drag: the event, the legend's new frame and the paint of the
// window rectangle that holds its old and new places.
void BM_LegendDragMove(benchmark::State& state)
{
    Page p;
    if (!p.open(state))
        return;
    ThematicLegend* legend = p.canvas->legend();
    const QPointF start = legend->convertToRoot(legend->bounds().center());
    ViewMouseEvent e;
    e.windowLocation = start;
    e.location = legend->convertFromRoot(start);
    legend->mouseDown(e);
    double dx = 0;
    for (auto _ : state) {
        p.window->mark();
        dx = dx > 100 ? 0 : dx + 4;
        e.windowLocation = start + QPointF(dx, dx / 2);
        e.location = legend->convertFromRoot(e.windowLocation);
        legend->mouseDragged(e);
        if (!p.window->waitForPicture(state) || !p.shown.afterStep(state))
            break;
    }
    p.shown.afterLoop(state);
    legend->mouseUp(e);
}
PLM_BENCHMARK(BM_LegendDragMove)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
