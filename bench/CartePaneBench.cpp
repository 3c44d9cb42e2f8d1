#include "support/BenchGuard.h"
#include "app/PlmWorkDocument.h"
#include "fond/FondDocument.h"
#include "page/CarteCompositionHost.h"
#include "page/ThematicCanvas.h"
#include "carte/CarteInspector.h"
#include "carte/CarteWindowController.h"
#include "desktop/ViewHost.h"
#include "support/BenchWorks.h"

#include "canvas/VectorCanvas.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <benchmark/benchmark.h>

#include <algorithm>

// The Carte pane on the large work (35,000 areas, 10 variables): one inspector change, as
// the person makes it, until the page is painted again — the stored change, the threshold
// recomputation the work document runs, the pane's refresh and a paint of the whole page.
namespace {

const PlmWork& largeWork()
{
    static const PlmWork work = [] {
        PlmWork w = BenchWorks::makeLargeWork(35000, 10);
        w.decoration = PlmDecoration();
        w.decoration->compositionSize = PlmPoint{1000, 700};
        return w;
    }();
    return work;
}

// Waits until the map view has no work left for later: its picture on screen is final.
void finish(VectorCanvas& map, ViewHost& host)
{
    if (!map.hasPendingRefinement())
        return;
    while (map.hasPendingRefinement())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    host.repaint();
}

// The real work document: each update recomputes what it must, validates and stores one
// undo step, then the pane is refreshed (the studio's reload after workChanged).
struct BenchDocument {
    PlmWorkDocument document;
    CarteWindowController* pane = nullptr;
    BenchDocument()
    {
        document.setWork(largeWork());
        QObject::connect(&document, &PlmWorkDocument::workChanged, [this] {
            if (pane)
                pane->refreshControls();
        });
    }
    FondDocument link() { return FondDocument::of(&document); }
};

// The pane in a 1600 × 1000 window, painted as the screen paints it: a repaint of the widget,
// then any refinement that the view leaves for later, until the picture is final.
constexpr int kWindowWidth = 1600;
constexpr int kWindowHeight = 1000;

struct BenchPane {
    BenchDocument document;
    std::unique_ptr<CarteWindowController> pane;
    ViewHost* host = nullptr;

    BenchPane()
    {
        pane = std::make_unique<CarteWindowController>(document.link());
        document.pane = pane.get();
        // PELMORA_BENCH_VECTOR_DRAWING=1 draws every frame from the vectors, as before the
        // screen layers, for a comparison in the same conditions.
        map().usesScreenLayers = !qEnvironmentVariableIsSet("PELMORA_BENCH_VECTOR_DRAWING");
        host = dynamic_cast<ViewHost*>(pane->view());
        host->resize(kWindowWidth, kWindowHeight);
        host->rootNode()->setFrame(QRectF(0, 0, kWindowWidth, kWindowHeight));
        host->show();
        QCoreApplication::processEvents();
        host->rootNode()->layoutSubtreeIfNeeded();
        pane->fitComposition();
        paint();
    }
    VectorCanvas& map() { return *pane->mapView(); }
    void paint()
    {
        QElapsedTimer timer;
        timer.start();
        host->repaint();
        finish(map(), *host);
        paintNanoseconds += timer.nsecsElapsed();
        ++paints;
    }
    // The paint's share of each change, for the counters.
    qint64 paintNanoseconds = 0;
    int paints = 0;
    void report(benchmark::State& state) const
    {
        if (paints > 0)
            state.counters["paint_ms"] = double(paintNanoseconds) / paints / 1e6;
        state.counters["layer_renders"] = pane->mapView()->layerRenderCount();
    }
};

void choose(QComboBox* popup, int index)
{
    popup->setCurrentIndex(index);
    emit popup->activated(index);
}

// Each change cycles through at least eight states, so that no cache of a few finished
// pictures can answer it.
void BM_CarteChangeVariable(benchmark::State& state)
{
    BenchPane bench;
    CarteInspector& ui = *bench.pane->inspector();
    const int count = ui.variable->count() - 1;  // the first item is no variable
    int k = 0;
    for (auto _ : state) {
        choose(ui.variable, 1 + (++k % count));
        bench.paint();
    }
    state.counters["states"] = count;
    bench.report(state);
}
PLM_BENCHMARK(BM_CarteChangeVariable)->Unit(benchmark::kMillisecond);

// Class counts 3 … 10 and two methods, one change at a time: sixteen states.
void BM_CarteChangeClassification(benchmark::State& state)
{
    BenchPane bench;
    CarteInspector& ui = *bench.pane->inspector();
    int k = 0;
    for (auto _ : state) {
        ++k;
        if (k % 2 == 0)
            choose(ui.method, (k / 2) % 2 ? 2 : 3); // quantiles, Jenks
        else
            choose(ui.classes, 2 + (k / 2) % 8);
        bench.paint();
    }
    bench.report(state);
}
PLM_BENCHMARK(BM_CarteChangeClassification)->Unit(benchmark::kMillisecond);

void BM_CarteChangePalette(benchmark::State& state)
{
    BenchPane bench;
    CarteInspector& ui = *bench.pane->inspector();
    const int count = std::min(ui.palette->count(), 12);
    int k = 0;
    for (auto _ : state) {
        choose(ui.palette, ++k % count);
        bench.paint();
    }
    state.counters["states"] = count;
    bench.report(state);
}
PLM_BENCHMARK(BM_CarteChangePalette)->Unit(benchmark::kMillisecond);

void BM_CarteTypeThresholds(benchmark::State& state)
{
    BenchPane bench;
    CarteInspector& ui = *bench.pane->inspector();
    QList<double> thresholds = bench.document.document.work().thematic->thresholds;
    int k = 0;
    for (auto _ : state) {
        const int shift = ++k % 8;
        QStringList parts;
        for (qsizetype i = 0; i < thresholds.size(); ++i)
            parts.append(QString::number(thresholds[i] + (i == 0 ? shift * 0.5 : 0)));
        ui.thresholds->setText(parts.join(QStringLiteral(" ; ")));
        emit ui.thresholds->editingFinished();
        bench.paint();
    }
    bench.report(state);
}
PLM_BENCHMARK(BM_CarteTypeThresholds)->Unit(benchmark::kMillisecond);

// One frame of a drag of the page: the pan, the host's layout and the repaint.
void BM_CartePageDragFrame(benchmark::State& state)
{
    BenchPane bench;
    VectorCanvas& map = bench.map();
    int k = 0;
    for (auto _ : state) {
        const double step = (k++ / 20) % 2 ? -3 : 3;
        map.onCompositionPan(QPointF(step, step / 2));
        bench.host->repaint();
    }
    finish(map, *bench.host);
}
PLM_BENCHMARK(BM_CartePageDragFrame)->Unit(benchmark::kMillisecond);

// One frame of a wheel zoom of the map block (the block editor zooms the map itself).
void BM_CarteMapZoomFrame(benchmark::State& state)
{
    BenchPane bench;
    VectorCanvas& map = bench.map();
    const QPointF around = map.bounds().center();
    int k = 0;
    for (auto _ : state) {
        map.zoom((k++ / 10) % 2 ? 1 / 1.05 : 1.05, around);
        bench.host->repaint();
    }
    finish(map, *bench.host);
}
PLM_BENCHMARK(BM_CarteMapZoomFrame)->Unit(benchmark::kMillisecond);

// A change elsewhere (an entity name moved): the refresh recomputes no thematic layer.
void BM_CarteUnrelatedRefresh(benchmark::State& state)
{
    BenchPane bench;
    const QString id = bench.document.document.work().map.entities.at(17500).id;
    const int before = bench.pane->layerComputations;
    double x = 0;
    for (auto _ : state) {
        x += 1;
        bench.pane->moveEntityName(id, PlmPoint{x, 0});
    }
    state.counters["layerComputations"] = bench.pane->layerComputations - before;
}
PLM_BENCHMARK(BM_CarteUnrelatedRefresh)->Unit(benchmark::kMillisecond);

} // namespace

namespace {

// The two halves of a change: the stored change with the pane's refresh, and the paint.
void BM_CartePaletteWithoutPaint(benchmark::State& state)
{
    BenchPane bench;
    CarteInspector& ui = *bench.pane->inspector();
    int flip = 0;
    for (auto _ : state) {
        flip = 1 - flip;
        choose(ui.palette, flip ? 1 : 4);
    }
}
PLM_BENCHMARK(BM_CartePaletteWithoutPaint)->Unit(benchmark::kMillisecond);

void BM_CarteVariableWithoutPaint(benchmark::State& state)
{
    BenchPane bench;
    CarteInspector& ui = *bench.pane->inspector();
    int flip = 0;
    for (auto _ : state) {
        flip = 1 - flip;
        choose(ui.variable, 1 + flip);
    }
}
PLM_BENCHMARK(BM_CarteVariableWithoutPaint)->Unit(benchmark::kMillisecond);

void BM_CarteThresholdsWithoutPaint(benchmark::State& state)
{
    BenchPane bench;
    CarteInspector& ui = *bench.pane->inspector();
    const QList<double> thresholds = bench.document.document.work().thematic->thresholds;
    int flip = 0;
    for (auto _ : state) {
        flip = 1 - flip;
        QStringList parts;
        for (qsizetype i = 0; i < thresholds.size(); ++i)
            parts.append(QString::number(thresholds[i] + (i == 0 ? flip * 0.5 : 0)));
        ui.thresholds->setText(parts.join(QStringLiteral(" ; ")));
        emit ui.thresholds->editingFinished();
    }
}
PLM_BENCHMARK(BM_CarteThresholdsWithoutPaint)->Unit(benchmark::kMillisecond);

void BM_CartePaintOnly(benchmark::State& state)
{
    BenchPane bench;
    for (auto _ : state)
        bench.paint();
}
PLM_BENCHMARK(BM_CartePaintOnly)->Unit(benchmark::kMillisecond);

} // namespace
