#include "support/BenchGuard.h"
#include "canvas/VectorCanvas.h"
#include "model/PlmSymbolPosition.h"
#include "desktop/ViewHost.h"
#include "support/BenchMaps.h"

#include <QCoreApplication>

#include <QImage>
#include <QPainter>
#include <benchmark/benchmark.h>

#include <random>

// Drawing and hit testing of the large generated map (35,000 entities,
// about 2 million points) in a 1600 × 1000 view.
namespace {

constexpr int kWidth = 1600;
constexpr int kHeight = 1000;

const PlmMap& largeMap()
{
    static const PlmMap map = BenchMaps::makeLargeMap(35000);
    return map;
}

std::unique_ptr<VectorCanvas> fittedCanvas()
{
    auto canvas = std::make_unique<VectorCanvas>(largeMap(), false, QString());
    // PELMORA_BENCH_VECTOR_DRAWING=1 draws every frame from the vectors, as before the screen
    // layers, for a comparison in the same conditions.
    canvas->usesScreenLayers = !qEnvironmentVariableIsSet("PELMORA_BENCH_VECTOR_DRAWING");
    canvas->setFrame(QRectF(0, 0, kWidth, kHeight));
    canvas->fit(true);
    return canvas;
}

void drawOnce(VectorCanvas& canvas, QImage& image)
{
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    ViewNode::flipPainter(painter, kHeight);
    canvas.drawTree(painter, canvas.bounds());
}

void BM_CanvasFirstDraw(benchmark::State& state)
{
    QImage image(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    std::unique_ptr<VectorCanvas> canvas;
    for (auto _ : state) {
        state.PauseTiming();
        canvas.reset();  // freeing the previous paths is not part of a draw
        canvas = fittedCanvas();
        state.ResumeTiming();
        drawOnce(*canvas, image);  // builds every entity's path, then draws
    }
}
PLM_BENCHMARK(BM_CanvasFirstDraw)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same on screen: a fresh canvas in a 1600 × 1000 window, from nothing (no path, no
// picture kept) until the picture is final.
void finishWindow(ViewHost& host)
{
    auto* canvas = dynamic_cast<VectorCanvas*>(host.rootNode());
    if (!canvas || !canvas->hasPendingRefinement())
        return;
    while (canvas->hasPendingRefinement())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    host.repaint();
}

void BM_CanvasFirstDrawWindow(benchmark::State& state)
{
    ViewHost host;
    host.resize(kWidth, kHeight);
    host.show();
    QCoreApplication::processEvents();
    for (auto _ : state) {
        state.PauseTiming();
        host.setRootNode(nullptr);
        auto canvas = fittedCanvas();
        host.setRootNode(canvas.release());
        state.ResumeTiming();
        host.repaint();
        finishWindow(host);
    }
    if (auto* canvas = dynamic_cast<VectorCanvas*>(host.rootNode()))
        state.counters["layerRenders"] = canvas->layerRenderCount();
}
PLM_BENCHMARK(BM_CanvasFirstDrawWindow)->Unit(benchmark::kMillisecond)->UseRealTime();

// A repaint of the whole window with nothing changed.
void BM_CanvasRepaintWindow(benchmark::State& state)
{
    ViewHost host;
    host.resize(kWidth, kHeight);
    host.setRootNode(fittedCanvas().release());
    host.show();
    QCoreApplication::processEvents();
    host.repaint();
    finishWindow(host);
    for (auto _ : state)
        host.repaint();
}
PLM_BENCHMARK(BM_CanvasRepaintWindow)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CanvasDrawFitted(benchmark::State& state)
{
    auto canvas = fittedCanvas();
    QImage image(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    drawOnce(*canvas, image);
    for (auto _ : state)
        drawOnce(*canvas, image);
}
PLM_BENCHMARK(BM_CanvasDrawFitted)->Unit(benchmark::kMillisecond);

// The same through Qt's path fill and stroker alone, for comparison.
void BM_CanvasDrawFittedPlain(benchmark::State& state)
{
    auto canvas = fittedCanvas();
    canvas->usesFastDrawing = false;
    QImage image(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    drawOnce(*canvas, image);
    for (auto _ : state)
        drawOnce(*canvas, image);
}
PLM_BENCHMARK(BM_CanvasDrawFittedPlain)->Unit(benchmark::kMillisecond);

// The fitted map at 300 dpi (0.5-point outlines about 2 pixels wide), as an
// image export draws it.
void BM_CanvasDrawFitted300dpi(benchmark::State& state)
{
    auto canvas = fittedCanvas();
    canvas->usesFastDrawing = state.range(0) != 0;
    const double ratio = 300 / 72.0;
    QImage image(int(kWidth * ratio), int(kHeight * ratio), QImage::Format_ARGB32_Premultiplied);
    auto draw = [&] {
        image.fill(Qt::white);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        ViewNode::flipPainter(painter, image.height());
        painter.scale(ratio, ratio);
        canvas->drawTree(painter, canvas->bounds());
    };
    draw();
    for (auto _ : state)
        draw();
}
PLM_BENCHMARK(BM_CanvasDrawFitted300dpi)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

void BM_CanvasDrawZoomedCorner(benchmark::State& state)
{
    auto canvas = fittedCanvas();
    const QRectF content = canvas->originalBlockBounds();
    canvas->zoom(20, content.topLeft() + QPointF(40, 40));  // near the lower-left corner
    QImage image(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    drawOnce(*canvas, image);
    for (auto _ : state)
        drawOnce(*canvas, image);
}
PLM_BENCHMARK(BM_CanvasDrawZoomedCorner)->Unit(benchmark::kMillisecond);

// Every entity's name shown: the fitted view draws all 35,000 labels, the
// zoomed one the hundred or so that reach the view.
void BM_CanvasDrawFittedWithNames(benchmark::State& state)
{
    auto canvas = fittedCanvas();
    canvas->showEntityNames = true;
    QImage image(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    drawOnce(*canvas, image);
    for (auto _ : state)
        drawOnce(*canvas, image);
}
PLM_BENCHMARK(BM_CanvasDrawFittedWithNames)->Unit(benchmark::kMillisecond);

void BM_CanvasDrawZoomedWithNames(benchmark::State& state)
{
    auto canvas = fittedCanvas();
    canvas->showEntityNames = true;
    const QRectF content = canvas->originalBlockBounds();
    canvas->zoom(20, content.topLeft() + QPointF(40, 40));
    QImage image(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    drawOnce(*canvas, image);
    for (auto _ : state)
        drawOnce(*canvas, image);
}
PLM_BENCHMARK(BM_CanvasDrawZoomedWithNames)->Unit(benchmark::kMillisecond);

// A click where name labels can be dragged: the label under the pointer.
void BM_CanvasNameLabelHit(benchmark::State& state)
{
    auto canvas = fittedCanvas();
    canvas->showEntityNames = true;
    canvas->onEntityNameMove = [](const QString&, const PlmPoint&) {};
    canvas->entityNameLabel(QPointF(800, 500));
    for (auto _ : state)
        benchmark::DoNotOptimize(canvas->entityNameLabel(QPointF(800, 500)));
}
PLM_BENCHMARK(BM_CanvasNameLabelHit)->Unit(benchmark::kMillisecond);

void BM_CanvasHitTest(benchmark::State& state)
{
    auto canvas = fittedCanvas();
    std::mt19937 random(7);
    std::uniform_real_distribution<double> x(0, kWidth), y(0, kHeight);
    QList<QPointF> points;
    for (int i = 0; i < 1000; ++i)
        points.append(QPointF(x(random), y(random)));
    canvas->indexPath(points.first());  // builds the paths and the grid
    int found = 0;
    for (auto _ : state) {
        for (const QPointF& p : points)
            found += canvas->indexPath(p).has_value() ? 1 : 0;
    }
    benchmark::DoNotOptimize(found);
    state.counters["hit_tests"] = benchmark::Counter(double(state.iterations()) * 1000, benchmark::Counter::kIsRate);
}
PLM_BENCHMARK(BM_CanvasHitTest)->Unit(benchmark::kMillisecond);

// One live edit: the map comes back with one entity moved, then a hit test
// (which needs the grid again) as the next mouse event would do.
void BM_CanvasEditOneEntity(benchmark::State& state)
{
    auto canvas = fittedCanvas();
    canvas->indexPath(QPointF(800, 500));
    int n = 0;
    for (auto _ : state) {
        PlmMap edited = canvas->map();
        edited.entities.edit(100 + n++ % 50).translate(5, 0);
        canvas->setMap(edited);
        benchmark::DoNotOptimize(canvas->indexPath(QPointF(800, 500)));
    }
}
PLM_BENCHMARK(BM_CanvasEditOneEntity)->Unit(benchmark::kMillisecond);

// A drag of one entity in the Fond pane's map view: each mouse move
// translates that entity and rebuilds its cached path only.
std::unique_ptr<VectorCanvas> canvasDraggingOneEntity(QPointF& start)
{
    auto canvas = std::make_unique<VectorCanvas>(largeMap(), true, QString());
    canvas->setFrame(QRectF(0, 0, kWidth, kHeight));
    canvas->fit(true);
    canvas->creationEnabled = true;
    const PlmEntity& target = largeMap().entities.at(17001);
    const std::optional<PlmPoint> anchor = PlmSymbolPosition::anchor(target.geometry);
    start = anchor ? canvas->viewPoint(QPointF(anchor->x, anchor->y)) : QPointF(kWidth / 2.0, kHeight / 2.0);
    ViewMouseEvent press;
    press.location = start;
    canvas->mouseDown(press);
    return canvas;
}

void BM_CanvasDragOneEntity(benchmark::State& state)
{
    QPointF start;
    auto canvas = canvasDraggingOneEntity(start);
    if (canvas->creationOriginals.size() != 1) {
        state.SkipWithError("the press captured no single entity");
        return;
    }
    ViewMouseEvent move;
    int n = 0;
    for (auto _ : state) {
        move.location = start + QPointF(5 + n % 40, n % 30);
        ++n;
        canvas->mouseDragged(move);
    }
    state.counters["moves"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
PLM_BENCHMARK(BM_CanvasDragOneEntity)->Unit(benchmark::kMicrosecond);

// The same with the next hit test, which must see the entity where it went.
void BM_CanvasDragOneEntityThenHitTest(benchmark::State& state)
{
    QPointF start;
    auto canvas = canvasDraggingOneEntity(start);
    ViewMouseEvent move;
    int n = 0;
    for (auto _ : state) {
        move.location = start + QPointF(5 + n % 40, n % 30);
        ++n;
        canvas->mouseDragged(move);
        benchmark::DoNotOptimize(canvas->indexPath(move.location));
    }
}
PLM_BENCHMARK(BM_CanvasDragOneEntityThenHitTest)->Unit(benchmark::kMicrosecond);

// A whole frame of the drag in a window: the move, then the repaint of what
// it asked to redraw (the entity's old and new places).
void BM_CanvasDragOneEntityFrame(benchmark::State& state)
{
    QPointF start;
    std::unique_ptr<VectorCanvas> owned = canvasDraggingOneEntity(start);
    ViewHost host;
    host.resize(kWidth, kHeight);
    VectorCanvas* canvas = owned.release();
    host.setRootNode(canvas);
    canvas->fitted = true;
    canvas->tracksFit = false;
    host.show();
    QCoreApplication::processEvents();
    host.repaint();  // the first full paint builds every path
    ViewMouseEvent move;
    int n = 0;
    for (auto _ : state) {
        move.location = start + QPointF(5 + n % 40, n % 30);
        ++n;
        canvas->mouseDragged(move);
        QCoreApplication::processEvents();
    }
}
PLM_BENCHMARK(BM_CanvasDragOneEntityFrame)->Unit(benchmark::kMillisecond);

} // namespace
