#include "support/BenchGuard.h"
#include "support/BenchViews.h"
#include "fond/FondEntityCommands.h"
#include "fond/FondWindowController.h"
#include "canvas/VectorCanvas.h"
#include "support/BenchWindow.h"
#include "support/BenchWorks.h"

#include <QLineEdit>
#include <QObject>
#include <benchmark/benchmark.h>

// The Fond pane on the large work (35,000 entities, 10 variables): one entity restyled through
// the pane, until its map view in a shown window has painted the change. Parts have rows of
// their own: the entity commands on the work alone, and the pane's share of selecting every
// entity (the selection shown in the studio window is timed by StudioWindowBench).
namespace {

const PlmWork& largeWork(int variables = 10)
{
    static const PlmWork bare = BenchWorks::makeLargeWork(35000, 0);
    static const PlmWork work = BenchWorks::makeLargeWork(35000, 10);
    return variables == 0 ? bare : work;
}

QString middleID()
{
    return largeWork().map.entities.at(17500).id;
}

// A document as small as the pane needs: the work and its selection, no undo.
struct BenchDocument : QObject {
    PlmWork stored = largeWork();
    QSet<QString> selection;
    std::optional<QString> primary;
    FondDocument link()
    {
        FondDocument link;
        link.work = [this]() -> std::optional<PlmWork> { return stored; };
        link.updateWork = [this](const QString&, const FondDocument::WorkChange& change) {
            PlmWork next = stored;
            change(next);
            stored = next;
        };
        link.selectedEntityID = [this] { return primary; };
        link.selectedEntityIDs = [this] { return selection; };
        link.select = [this](const QSet<QString>& ids, const std::optional<QString>& p) {
            selection = ids;
            primary = p;
        };
        return link;
    }
};

void BM_FondRestyleOneEntity_PartCommand(benchmark::State& state)
{
    const QSet<QString> ids{middleID()};
    double width = 1;
    for (auto _ : state) {
        PlmWork work = largeWork();
        width += 1;
        FondEntityCommands::restyleEntities(work, ids, [width](PlmStyle& s) { s.lineWidth = width; });
        benchmark::DoNotOptimize(work);
    }
}
PLM_BENCHMARK(BM_FondRestyleOneEntity_PartCommand)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_FondDeleteOneEntity_PartCommand(benchmark::State& state)
{
    const QSet<QString> ids{middleID()};
    for (auto _ : state) {
        PlmWork work = largeWork(int(state.range(0)));
        FondEntityCommands::deleteEntities(work, ids);
        benchmark::DoNotOptimize(work);
    }
}
// Argument: the number of variables whose cells follow the entity.
PLM_BENCHMARK(BM_FondDeleteOneEntity_PartCommand)->Arg(0)->Arg(10)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_FondDuplicateOneEntity_PartCommand(benchmark::State& state)
{
    const QSet<QString> ids{middleID()};
    for (auto _ : state) {
        PlmWork work = largeWork(int(state.range(0)));
        benchmark::DoNotOptimize(FondEntityCommands::duplicateEntities(work, ids));
    }
}
// Argument: the number of variables whose cells follow the entity.
PLM_BENCHMARK(BM_FondDuplicateOneEntity_PartCommand)->Arg(0)->Arg(10)->Unit(benchmark::kMillisecond)->UseRealTime();

// A part of selecting every entity: the pane's command, then its inspector's refresh for the new
// selection (nothing painted).
void BM_FondSelectAll_PartPane(benchmark::State& state)
{
    BenchDocument document;
    FondWindowController pane(largeWork().map);
    pane.makeInspector();
    pane.attach(document.link());
    for (auto _ : state) {
        document.selection.clear();
        pane.selectAllEntities();
        pane.refreshInspector();
        benchmark::DoNotOptimize(document.selection.size());
    }
}
PLM_BENCHMARK(BM_FondSelectAll_PartPane)->Unit(benchmark::kMillisecond)->UseRealTime();

// One entity restyled through the pane: the typed line width, the update, the reload of the map
// view, until the view in its shown 1600 × 1000 window has painted the change. What the window
// shows is read back after the first step and after the loop (untimed): the map view's picture,
// the restyled entity with its selection frame.
void BM_FondStyleCommand(benchmark::State& state)
{
    BenchDocument document;
    FondWindowController pane(largeWork().map);
    pane.makeInspector();
    pane.attach(document.link());
    const QString id = middleID();
    document.selection = {id};
    document.primary = id;
    pane.reloadFromDocument();
    VectorCanvas* canvas = pane.canvas();
    BenchWindow window(pane.view(), [canvas] { return canvas->hasPendingRefinement(); });
    if (!window.show(state, QSize(1600, 1000)))
        return;
    BenchViews::ShownAfterSteps shown([&pane] { return pane.canvas(); }, "the Fond map view", "shown_share");
    int width = 1;
    for (auto _ : state) {
        window.mark();
        pane.widthField()->setText(QString::number(++width % 50 + 1));
        pane.commitStyle(pane.widthField());
        pane.reloadFromDocument();
        if (!window.waitForPicture(state) || !shown.afterStep(state))
            break;
    }
    shown.afterLoop(state);
}
PLM_BENCHMARK(BM_FondStyleCommand)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
