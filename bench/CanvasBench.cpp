#include "support/BenchGuard.h"
#include "canvas/VectorCanvas.h"
#include "model/PlmSymbolPosition.h"
#include "desktop/ViewHost.h"
#include "support/BenchMaps.h"
#include "support/BenchViews.h"
#include "support/BenchWindow.h"

#include <QImage>
#include <QPainter>
#include <benchmark/benchmark.h>

#include <random>

// Drawing and hit testing of the large generated map (35,000 entities, about 2 million points)
// in a 1600 × 1000 view: on screen in a shown window, timed until the final picture, and into
// images as exports draw (on several threads, hence wall time). The rows on screen read back
// what the window shows after their first step and after their loop (untimed) and fail when it
// is not the map view's picture.
namespace {

constexpr int kWidth = 1600;
constexpr int kHeight = 1000;

const PlmMap& largeMap()
{
    static const PlmMap map = BenchMaps::makeLargeMap(35000);
    return map;
}

// PELMORA_BENCH_VECTOR_DRAWING=1 draws every frame from the vectors, as before the screen
// layers, for a comparison in the same conditions.
bool usesScreenLayers()
{
    return !qEnvironmentVariableIsSet("PELMORA_BENCH_VECTOR_DRAWING");
}

std::unique_ptr<VectorCanvas> fittedCanvas()
{
    auto canvas = std::make_unique<VectorCanvas>(largeMap(), false, QString());
    canvas->usesScreenLayers = usesScreenLayers();
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

bool hasPendingRefinement(const ViewHost& host)
{
    const auto* canvas = dynamic_cast<const VectorCanvas*>(host.rootNode());
    return canvas && canvas->hasPendingRefinement();
}

// The check that the window shows the map view it hosts (see BenchViews::ShownAfterSteps).
BenchViews::ShownAfterSteps mapShown(const ViewHost& host)
{
    return BenchViews::ShownAfterSteps([&host] { return host.rootNode(); }, "the map view", "shown_share");
}

// The first picture of the map, as the person meets it: from constructing the map view with the
// map, through the first fit (a walk over every point) and the paths built for it, to the final
// picture in a shown 1600 × 1000 window. The window was shown empty before; freeing the
// previous view is not timed.
void BM_CanvasFirstDraw(benchmark::State& state)
{
    ViewHost host;
    BenchWindow window(&host, [&host] { return hasPendingRefinement(host); });
    if (!window.show(state, QSize(kWidth, kHeight)))
        return;
    BenchViews::ShownAfterSteps shown = mapShown(host);
    for (auto _ : state) {
        BenchWindow::pauseTiming(state);
        host.setRootNode(nullptr);
        BenchWindow::resumeTiming(state);
        window.mark();
        auto* canvas = new VectorCanvas(largeMap(), false, QString());
        canvas->usesScreenLayers = usesScreenLayers();
        host.setRootNode(canvas);  // laid out, hence fitted, by the paint it asks for
        if (!window.waitForPicture(state))
            break;
        if (!canvas->fitted) {
            state.SkipWithError("the map view was never fitted");
            break;
        }
        if (!shown.afterStep(state))
            break;
    }
    shown.afterLoop(state);
    if (auto* canvas = dynamic_cast<VectorCanvas*>(host.rootNode()))
        state.counters["layerRenders"] = canvas->layerRenderCount();
}
PLM_BENCHMARK(BM_CanvasFirstDraw)->Unit(benchmark::kMillisecond)->UseRealTime();

// A part of it: the paths built and the fitted map drawn into an image from the vectors (as an
// export draws it), the view made and fitted beforehand.
void BM_CanvasFirstDraw_PartImageAfterFit(benchmark::State& state)
{
    QImage image(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    std::unique_ptr<VectorCanvas> canvas;
    for (auto _ : state) {
        BenchWindow::pauseTiming(state);
        canvas.reset();  // freeing the previous paths is not part of a draw
        canvas = fittedCanvas();
        BenchWindow::resumeTiming(state);
        drawOnce(*canvas, image);  // builds every entity's path, then draws
    }
}
PLM_BENCHMARK(BM_CanvasFirstDraw_PartImageAfterFit)->Unit(benchmark::kMillisecond)->UseRealTime();

// A repaint of the whole window with nothing changed (as an expose asks for).
void BM_CanvasRepaintWindow(benchmark::State& state)
{
    ViewHost host;
    host.setRootNode(fittedCanvas().release());
    BenchWindow window(&host, [&host] { return hasPendingRefinement(host); });
    if (!window.show(state, QSize(kWidth, kHeight)))
        return;
    BenchViews::ShownAfterSteps shown = mapShown(host);
    for (auto _ : state) {
        window.mark();
        if (!window.repaint(state) || !shown.afterStep(state))
            break;
    }
    shown.afterLoop(state);
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
PLM_BENCHMARK(BM_CanvasDrawFitted)->Unit(benchmark::kMillisecond)->UseRealTime();

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
PLM_BENCHMARK(BM_CanvasDrawFittedPlain)->Unit(benchmark::kMillisecond)->UseRealTime();

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
PLM_BENCHMARK(BM_CanvasDrawFitted300dpi)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

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
PLM_BENCHMARK(BM_CanvasDrawZoomedCorner)->Unit(benchmark::kMillisecond)->UseRealTime();

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
PLM_BENCHMARK(BM_CanvasDrawFittedWithNames)->Unit(benchmark::kMillisecond)->UseRealTime();

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
PLM_BENCHMARK(BM_CanvasDrawZoomedWithNames)->Unit(benchmark::kMillisecond)->UseRealTime();

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
PLM_BENCHMARK(BM_CanvasNameLabelHit)->Unit(benchmark::kMillisecond)->UseRealTime();

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
PLM_BENCHMARK(BM_CanvasHitTest)->Unit(benchmark::kMillisecond)->UseRealTime();

// A part of one live edit (nothing painted): the map comes back with one entity moved, then a
// hit test (which needs the grid again) as the next mouse event would do.
void BM_CanvasEditOneEntity_PartSetMapAndHitTest(benchmark::State& state)
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
PLM_BENCHMARK(BM_CanvasEditOneEntity_PartSetMapAndHitTest)->Unit(benchmark::kMillisecond)->UseRealTime();

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

// Parts of a drag frame (nothing painted): the move alone, then the move with the next hit test,
// which must see the entity where it went.
void BM_CanvasDragOneEntityFrame_PartMove(benchmark::State& state)
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
PLM_BENCHMARK(BM_CanvasDragOneEntityFrame_PartMove)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_CanvasDragOneEntityFrame_PartMoveAndHitTest(benchmark::State& state)
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
PLM_BENCHMARK(BM_CanvasDragOneEntityFrame_PartMoveAndHitTest)->Unit(benchmark::kMicrosecond)->UseRealTime();

// A whole frame of the drag in a window: the move, then the paint of what it asked to redraw
// (the entity's old and new places, drawn directly from the vectors).
void BM_CanvasDragOneEntityFrame(benchmark::State& state)
{
    QPointF start;
    std::unique_ptr<VectorCanvas> owned = canvasDraggingOneEntity(start);
    ViewHost host;
    if (owned->creationOriginals.size() != 1) {
        state.SkipWithError("the press captured no single entity");
        return;
    }
    VectorCanvas* canvas = owned.release();
    host.setRootNode(canvas);
    canvas->fitted = true;
    canvas->tracksFit = false;
    BenchWindow window(&host, [canvas] { return canvas->hasPendingRefinement(); });
    if (!window.show(state, QSize(kWidth, kHeight)))  // the first full paint builds every path
        return;
    BenchViews::ShownAfterSteps shown = mapShown(host);
    ViewMouseEvent move;
    int n = 0;
    for (auto _ : state) {
        window.mark();
        move.location = start + QPointF(5 + n % 40, n % 30);
        ++n;
        canvas->mouseDragged(move);
        if (!window.waitForPicture(state) || !shown.afterStep(state))
            break;
    }
    shown.afterLoop(state);
}
PLM_BENCHMARK(BM_CanvasDragOneEntityFrame)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
