#include "support/BenchGuard.h"
#include "canvas/VectorCanvas.h"
#include "page/CarteCompositionHost.h"
#include "page/ThematicCanvas.h"
#include "page/ThematicLegend.h"
#include "desktop/ViewHost.h"
#include "support/BenchMaps.h"
#include "canvas/ProportionalOverlay.h"

#include <QImage>
#include <QPainter>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <memory>

// The layout page of the large generated map (35,000 entities) with one proportional
// symbol per entity and a class legend, shown in a 1224 × 824 window: a full repaint of the
// fitted page, a zoom or pan step of the host, and one mouse move of a legend drag with the
// repaint of what it uncovers and covers.
namespace {

constexpr int kWidth = 1224;
constexpr int kHeight = 824;

struct Page {
    std::unique_ptr<ViewHost> widget;
    CarteCompositionHost* host = nullptr;
    ThematicCanvas* canvas = nullptr;
};

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

Page& page()
{
    static Page p = [] {
        Page made;
        made.widget = std::make_unique<ViewHost>();
        made.widget->resize(kWidth, kHeight);
        const PlmMap map = BenchMaps::makeLargeMap(35000);
        made.canvas = new ThematicCanvas(map);
        made.canvas->compositionSize = QSizeF(1200, 800);
        made.host = new CarteCompositionHost(made.canvas);
        made.widget->setRootNode(made.host);
        made.host->layoutSubtreeIfNeeded();
        ProportionalOverlay* symbols = made.canvas->symbols();
        symbols->setHidden(false);
        symbols->setItems(symbolItems(map));
        ThematicLegend* legend = made.canvas->legend();
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
        made.canvas->layoutComposition();
        return made;
    }();
    return p;
}

void paint(Page& p, QImage& image, const QRectF& dirty)
{
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    ViewNode::flipPainter(painter, kHeight);
    painter.setClipRect(dirty);
    p.host->drawTree(painter, dirty);
}

void BM_CompositionFullRepaint(benchmark::State& state)
{
    Page& p = page();
    QImage image(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state)
        paint(p, image, p.host->bounds());
    state.counters["symbols"] = double(p.canvas->symbols()->items().size());
}
PLM_BENCHMARK(BM_CompositionFullRepaint)->Unit(benchmark::kMillisecond);

// One zoom step of the host about a page point, then a pan step: only the canvas's frame
// changes, the page keeps its layout.
void BM_CompositionZoomStep(benchmark::State& state)
{
    Page& p = page();
    bool in = true;
    for (auto _ : state) {
        p.host->zoomBy(in ? 1.1 : 1 / 1.1, QPointF(600, 400));
        in = !in;
        p.host->layoutSubtreeIfNeeded();
    }
    p.host->zoom = 1;
    p.host->pan = {};
    p.host->layoutComposition();
}
PLM_BENCHMARK(BM_CompositionZoomStep)->Unit(benchmark::kMicrosecond);

void BM_CompositionPanStep(benchmark::State& state)
{
    Page& p = page();
    double sign = 1;
    for (auto _ : state) {
        p.canvas->vector()->onCompositionPan(QPointF(5 * sign, 3 * sign));
        sign = -sign;
        p.host->layoutSubtreeIfNeeded();
    }
    p.host->pan = {};
    p.host->layoutComposition();
}
PLM_BENCHMARK(BM_CompositionPanStep)->Unit(benchmark::kMicrosecond);

// The same steps with the repaint of the window that follows them.
void BM_CompositionZoomStepRepainted(benchmark::State& state)
{
    Page& p = page();
    QImage image(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    bool in = true;
    for (auto _ : state) {
        p.host->zoomBy(in ? 1.1 : 1 / 1.1, QPointF(600, 400));
        in = !in;
        p.host->layoutSubtreeIfNeeded();
        paint(p, image, p.host->bounds());
    }
    p.host->zoom = 1;
    p.host->pan = {};
    p.host->layoutComposition();
}
PLM_BENCHMARK(BM_CompositionZoomStepRepainted)->Unit(benchmark::kMillisecond);

// One mouse move of a legend drag: the event, the legend's new frame and the repaint of
// the window rectangle that holds its old and new places.
void BM_LegendDragMove(benchmark::State& state)
{
    Page& p = page();
    ThematicLegend* legend = p.canvas->legend();
    QImage image(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    const QPointF start = legend->convertToRoot(legend->bounds().center());
    ViewMouseEvent e;
    e.windowLocation = start;
    e.location = legend->convertFromRoot(start);
    legend->mouseDown(e);
    double dx = 0;
    for (auto _ : state) {
        const QRectF before = QRectF(legend->convertToRoot(legend->bounds().topLeft()),
                                     legend->convertToRoot(legend->bounds().bottomRight())).normalized();
        dx = dx > 100 ? 0 : dx + 4;
        e.windowLocation = start + QPointF(dx, dx / 2);
        e.location = legend->convertFromRoot(e.windowLocation);
        legend->mouseDragged(e);
        const QRectF after = QRectF(legend->convertToRoot(legend->bounds().topLeft()),
                                    legend->convertToRoot(legend->bounds().bottomRight())).normalized();
        paint(p, image, before.united(after).adjusted(-8, -8, 8, 8));
    }
    legend->mouseUp(e);
}
PLM_BENCHMARK(BM_LegendDragMove)->Unit(benchmark::kMillisecond);

} // namespace

namespace {
void BM_CompositionRepaintWithoutSymbols(benchmark::State& state)
{
    Page& p = page();
    QImage image(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    p.canvas->symbols()->setHidden(true);
    for (auto _ : state)
        paint(p, image, p.host->bounds());
    p.canvas->symbols()->setHidden(false);
}
PLM_BENCHMARK(BM_CompositionRepaintWithoutSymbols)->Unit(benchmark::kMillisecond);
} // namespace
