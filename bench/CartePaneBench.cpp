#include "support/BenchGuard.h"
#include "support/BenchViews.h"
#include "app/PlmWorkDocument.h"
#include "fond/FondDocument.h"
#include "page/CarteCompositionHost.h"
#include "page/ThematicCanvas.h"
#include "carte/CarteInspector.h"
#include "carte/CarteInspectorTexts.h"
#include "carte/CarteWindowController.h"
#include "desktop/ViewHost.h"
#include "support/BenchWindow.h"
#include "support/BenchWorks.h"

#include "canvas/VectorCanvas.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>

// The Carte pane on the large work (35,000 areas, 10 variables) in a 1600 × 1000 window: one
// inspector change, as the person makes it, until the page on screen is final — the stored
// change, the threshold recomputation the work document runs, the pane's refresh, the paint
// of what changed and any refinement the map view leaves for later. Gestures (a drag of the
// page, a wheel zoom of the map) are timed until the sharp picture that follows them. Every row
// that times a picture reaching the window reads back what the window shows after its first
// step and after its loop (untimed) and fails when it is not the page with its map.
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

constexpr int kWindowWidth = 1600;
constexpr int kWindowHeight = 1000;

// The pane shown and exposed, its page fitted and painted once. Each step marks the window,
// makes its change and waits for the final picture; the counters tell the share of that wait
// after the change returned (the paint and the refinement).
struct BenchPane {
    BenchDocument document;
    std::unique_ptr<CarteWindowController> pane;
    ViewHost* host = nullptr;
    std::unique_ptr<BenchWindow> window;
    // The composition as the window shows it: the page host's whole tree (the page, its map view
    // and legend) drawn apart, against the window's pixels.
    BenchViews::ShownAfterSteps shown{[this] { return host ? host->rootNode() : nullptr; }, "the Carte page",
                                      "page_shown_share"};

    BenchPane()
    {
        pane = std::make_unique<CarteWindowController>(document.link());
        document.pane = pane.get();
        // PELMORA_BENCH_VECTOR_DRAWING=1 draws every frame from the vectors, as before the
        // screen layers, for a comparison in the same conditions.
        map().usesScreenLayers = !qEnvironmentVariableIsSet("PELMORA_BENCH_VECTOR_DRAWING");
        host = dynamic_cast<ViewHost*>(pane->view());
        window = std::make_unique<BenchWindow>(host, [this] { return map().hasPendingRefinement(); });
    }
    // False (the benchmark failed) when the window never showed its first picture.
    bool open(benchmark::State& state)
    {
        if (!host) {
            state.SkipWithError("the pane has no view host");
            return false;
        }
        if (!window->show(state, QSize(kWindowWidth, kWindowHeight)))
            return false;
        pane->fitComposition();
        window->mark();
        return window->repaint(state);
    }
    VectorCanvas& map() { return *pane->mapView(); }

    // One step: the change, then the event loop until the final picture is on screen.
    template <typename Change>
    bool step(benchmark::State& state, Change&& change)
    {
        window->mark();
        change();
        QElapsedTimer timer;
        timer.start();
        if (!window->waitForPicture(state))
            return false;
        paintNanoseconds += timer.nsecsElapsed();
        ++steps;
        return shown.afterStep(state);
    }
    qint64 paintNanoseconds = 0;
    int steps = 0;
    void report(benchmark::State& state) const
    {
        if (steps > 0)
            state.counters["paint_ms"] = double(paintNanoseconds) / steps / 1e6;
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
    if (!bench.open(state))
        return;
    CarteInspector& ui = *bench.pane->inspector();
    const int count = ui.variable->count() - 1;  // the first item is no variable
    int k = 0;
    for (auto _ : state) {
        if (!bench.step(state, [&] { choose(ui.variable, 1 + (++k % count)); }))
            break;
    }
    bench.shown.afterLoop(state);
    state.counters["states"] = count;
    bench.report(state);
}
PLM_BENCHMARK(BM_CarteChangeVariable)->Unit(benchmark::kMillisecond)->UseRealTime();

// Class counts 3 … 10 and two methods, one change at a time: sixteen states.
void BM_CarteChangeClassification(benchmark::State& state)
{
    BenchPane bench;
    if (!bench.open(state))
        return;
    CarteInspector& ui = *bench.pane->inspector();
    int k = 0;
    for (auto _ : state) {
        ++k;
        const bool ok = bench.step(state, [&] {
            if (k % 2 == 0)
                choose(ui.method, (k / 2) % 2 ? 2 : 3); // quantiles, Jenks
            else
                choose(ui.classes, 2 + (k / 2) % 8);
        });
        if (!ok)
            break;
    }
    bench.shown.afterLoop(state);
    bench.report(state);
}
PLM_BENCHMARK(BM_CarteChangeClassification)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CarteChangePalette(benchmark::State& state)
{
    BenchPane bench;
    if (!bench.open(state))
        return;
    CarteInspector& ui = *bench.pane->inspector();
    const int count = std::min(ui.palette->count(), 12);
    int k = 0;
    for (auto _ : state) {
        if (!bench.step(state, [&] { choose(ui.palette, ++k % count); }))
            break;
    }
    bench.shown.afterLoop(state);
    state.counters["states"] = count;
    bench.report(state);
}
PLM_BENCHMARK(BM_CarteChangePalette)->Unit(benchmark::kMillisecond)->UseRealTime();

// Typed thresholds that move thousands of zones from one class to the next: the four
// thresholds of five classes sit at the shares 10 %, 30 %, 50 % and 70 % of the mapped
// values plus 2.5 % × k, k = 0 … 7, so that each step moves a fortieth of the zones across
// each threshold (about 3,500 zones in all, 17,500 when k comes back to 0).
QList<QList<double>> reclassifyingThresholds(const PlmWork& work)
{
    const qsizetype index = work.variableIndex(work.thematic->variableID.value_or(QString()));
    QList<double> values;
    if (index >= 0)
        for (const PlmValue& value : work.variables.at(index).values)
            if (const std::optional<double> number = value.numericValue())
                values.append(*number);
    std::sort(values.begin(), values.end());
    QList<QList<double>> states;
    if (values.isEmpty())
        return states;
    for (int k = 0; k < 8; ++k) {
        QList<double> thresholds;
        for (const double share : {0.1, 0.3, 0.5, 0.7})
            thresholds.append(values.at(qsizetype((share + 0.025 * k) * double(values.size() - 1))) + 0.5);
        states.append(thresholds);
    }
    return states;
}

// How many zones the map view shows in another class than before.
int reclassifiedZones(const QList<int>& before, const QList<int>& after)
{
    if (before.size() != after.size())
        return int(std::max(before.size(), after.size()));
    int changed = 0;
    for (qsizetype i = 0; i < after.size(); ++i)
        changed += before.at(i) != after.at(i) ? 1 : 0;
    return changed;
}

// Types the thresholds of state k and ends the editing, as the person does.
void typeThresholds(CarteInspector& ui, const QList<double>& thresholds)
{
    ui.thresholds->setText(CarteInspectorTexts::thresholdText(thresholds));
    emit ui.thresholds->editingFinished();
}

void BM_CarteTypeThresholds(benchmark::State& state)
{
    BenchPane bench;
    if (!bench.open(state))
        return;
    CarteInspector& ui = *bench.pane->inspector();
    const QList<QList<double>> states = reclassifyingThresholds(bench.document.document.work());
    if (states.isEmpty()) {
        state.SkipWithError("the work maps no numeric variable");
        return;
    }
    QList<int> classes = bench.map().fillClasses.classes;
    qint64 reclassified = 0;
    int k = 0;
    for (auto _ : state) {
        if (!bench.step(state, [&] { typeThresholds(ui, states.at(++k % states.size())); }))
            break;
        BenchWindow::pauseTiming(state);
        const QList<int> now = bench.map().fillClasses.classes;
        const int changed = reclassifiedZones(classes, now);
        classes = now;
        BenchWindow::resumeTiming(state);
        if (changed == 0) {
            state.SkipWithError("the typed thresholds changed no zone's class");
            break;
        }
        reclassified += changed;
    }
    bench.shown.afterLoop(state);
    state.counters["reclassified"] = double(reclassified) / std::max<qint64>(1, qint64(state.iterations()));
    bench.report(state);
}
PLM_BENCHMARK(BM_CarteTypeThresholds)->Unit(benchmark::kMillisecond)->UseRealTime();

// A gesture of ten frames as the person makes it — each pan or zoom step then its paint, the
// last picture moved — until the sharp picture the map view draws once the view has rested
// (its refinement timer, then the layers drawn again). Successive gestures go back and forth.
constexpr int kGestureFrames = 10;

template <typename Frame>
void gestureUntilSharp(benchmark::State& state, Frame&& frame)
{
    BenchPane bench;
    if (!bench.open(state))
        return;
    const int rendersBefore = bench.map().layerRenderCount();
    int gesture = 0;
    for (auto _ : state) {
        const double direction = gesture++ % 2 ? -1 : 1;
        bool ok = true;
        for (int f = 0; f < kGestureFrames && ok; ++f) {
            bench.window->mark();
            frame(bench.map(), direction);
            ok = bench.window->waitForPaint(state);
        }
        if (!ok || !bench.step(state, [] {}))
            break;
    }
    bench.shown.afterLoop(state);
    state.counters["frames"] = kGestureFrames;
    state.counters["sharp_renders"] = bench.map().layerRenderCount() - rendersBefore;
}

void panPage(VectorCanvas& map, double direction)
{
    map.onCompositionPan(QPointF(3 * direction, 1.5 * direction));
}

void zoomMap(VectorCanvas& map, double direction)
{
    map.zoom(direction > 0 ? 1.05 : 1 / 1.05, map.bounds().center());
}

void BM_CartePageDragUntilSharp(benchmark::State& state)
{
    gestureUntilSharp(state, panPage);
}
PLM_BENCHMARK(BM_CartePageDragUntilSharp)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CarteMapZoomUntilSharp(benchmark::State& state)
{
    gestureUntilSharp(state, zoomMap);
}
PLM_BENCHMARK(BM_CarteMapZoomUntilSharp)->Unit(benchmark::kMillisecond)->UseRealTime();

// Parts of a gesture: one frame (the step and the paint of the last picture moved), the sharp
// picture left for after the timed frames.
template <typename Frame>
void oneFrame(benchmark::State& state, Frame&& frame, int framesPerDirection)
{
    BenchPane bench;
    if (!bench.open(state))
        return;
    int k = 0;
    for (auto _ : state) {
        bench.window->mark();
        frame(bench.map(), (k++ / framesPerDirection) % 2 ? -1 : 1);
        if (!bench.window->waitForPaint(state) || !bench.shown.afterStep(state))
            break;
    }
    bench.shown.afterLoop(state);
}

void BM_CartePageDrag_PartOneFrame(benchmark::State& state)
{
    oneFrame(state, panPage, 20);
}
PLM_BENCHMARK(BM_CartePageDrag_PartOneFrame)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CarteMapZoom_PartOneFrame(benchmark::State& state)
{
    oneFrame(state, zoomMap, 10);
}
PLM_BENCHMARK(BM_CarteMapZoom_PartOneFrame)->Unit(benchmark::kMillisecond)->UseRealTime();

// A change elsewhere (an entity name moved) until painted: the refresh recomputes no
// thematic layer.
void BM_CarteUnrelatedChange(benchmark::State& state)
{
    BenchPane bench;
    if (!bench.open(state))
        return;
    const QString id = bench.document.document.work().map.entities.at(17500).id;
    const int before = bench.pane->layerComputations;
    double x = 0;
    for (auto _ : state) {
        x += 1;
        if (!bench.step(state, [&] { bench.pane->moveEntityName(id, PlmPoint{x, 0}); }))
            break;
    }
    bench.shown.afterLoop(state);
    state.counters["layerComputations"] = bench.pane->layerComputations - before;
    bench.report(state);
}
PLM_BENCHMARK(BM_CarteUnrelatedChange)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

namespace {

// The two parts of a change: the stored change with the pane's refresh (nothing painted),
// and the paint of the whole page with nothing changed.
void BM_CarteChangePalette_PartWithoutPaint(benchmark::State& state)
{
    BenchPane bench;
    if (!bench.open(state))
        return;
    CarteInspector& ui = *bench.pane->inspector();
    int flip = 0;
    for (auto _ : state) {
        flip = 1 - flip;
        choose(ui.palette, flip ? 1 : 4);
    }
}
PLM_BENCHMARK(BM_CarteChangePalette_PartWithoutPaint)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CarteChangeVariable_PartWithoutPaint(benchmark::State& state)
{
    BenchPane bench;
    if (!bench.open(state))
        return;
    CarteInspector& ui = *bench.pane->inspector();
    int flip = 0;
    for (auto _ : state) {
        flip = 1 - flip;
        choose(ui.variable, 1 + flip);
    }
}
PLM_BENCHMARK(BM_CarteChangeVariable_PartWithoutPaint)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CarteTypeThresholds_PartWithoutPaint(benchmark::State& state)
{
    BenchPane bench;
    if (!bench.open(state))
        return;
    CarteInspector& ui = *bench.pane->inspector();
    const QList<QList<double>> states = reclassifyingThresholds(bench.document.document.work());
    if (states.isEmpty()) {
        state.SkipWithError("the work maps no numeric variable");
        return;
    }
    int k = 0;
    for (auto _ : state)
        typeThresholds(ui, states.at(++k % states.size()));
}
PLM_BENCHMARK(BM_CarteTypeThresholds_PartWithoutPaint)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CarteRepaint_PartPaintOnly(benchmark::State& state)
{
    BenchPane bench;
    if (!bench.open(state))
        return;
    for (auto _ : state) {
        bench.window->mark();
        if (!bench.window->repaint(state) || !bench.shown.afterStep(state))
            break;
    }
    bench.shown.afterLoop(state);
}
PLM_BENCHMARK(BM_CarteRepaint_PartPaintOnly)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
