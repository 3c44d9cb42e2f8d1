#include "support/BenchGuard.h"
#include "fond/FondEntityCommands.h"
#include "fond/FondWindowController.h"
#include "canvas/VectorCanvas.h"
#include "support/BenchWorks.h"

#include <QLineEdit>
#include <QObject>
#include <benchmark/benchmark.h>

// The Fond pane's commands on the large work (35,000 entities, 10 variables): a command on
// one entity, and selecting every entity.
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

void BM_FondRestyleOneEntity(benchmark::State& state)
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
PLM_BENCHMARK(BM_FondRestyleOneEntity)->Unit(benchmark::kMillisecond);

void BM_FondDeleteOneEntity(benchmark::State& state)
{
    const QSet<QString> ids{middleID()};
    for (auto _ : state) {
        PlmWork work = largeWork(int(state.range(0)));
        FondEntityCommands::deleteEntities(work, ids);
        benchmark::DoNotOptimize(work);
    }
}
// Argument: the number of variables whose cells follow the entity.
PLM_BENCHMARK(BM_FondDeleteOneEntity)->Arg(0)->Arg(10)->Unit(benchmark::kMillisecond);

void BM_FondDuplicateOneEntity(benchmark::State& state)
{
    const QSet<QString> ids{middleID()};
    for (auto _ : state) {
        PlmWork work = largeWork(int(state.range(0)));
        benchmark::DoNotOptimize(FondEntityCommands::duplicateEntities(work, ids));
    }
}
// Argument: the number of variables whose cells follow the entity.
PLM_BENCHMARK(BM_FondDuplicateOneEntity)->Arg(0)->Arg(10)->Unit(benchmark::kMillisecond);

// Select all, then the pane's refresh for the new selection.
void BM_FondSelectAll(benchmark::State& state)
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
PLM_BENCHMARK(BM_FondSelectAll)->Unit(benchmark::kMillisecond);

// One entity restyled through the pane: the update, then the reload of the map view.
void BM_FondStyleCommandWithReload(benchmark::State& state)
{
    BenchDocument document;
    FondWindowController pane(largeWork().map);
    pane.makeInspector();
    pane.attach(document.link());
    const QString id = middleID();
    document.selection = {id};
    document.primary = id;
    pane.reloadFromDocument();
    int width = 1;
    for (auto _ : state) {
        pane.widthField()->setText(QString::number(++width % 50));
        pane.commitStyle(pane.widthField());
        pane.reloadFromDocument();
    }
}
PLM_BENCHMARK(BM_FondStyleCommandWithReload)->Unit(benchmark::kMillisecond);

} // namespace
