#include "support/BenchGuard.h"
#include "support/BenchWorks.h"

#include "app/PlmWorkDocument.h"
#include "app/StudioWindowCommands.h"
#include "app/StudioWindowController.h"
#include "platform/UserDefaults.h"

#include <benchmark/benchmark.h>
#include <memory>

// The studio window on the large work (35,000 entities, ten variables): building it, the
// refresh after a typed cell (the update included), and a refresh when nothing changed.
namespace {

const PlmWork& largeWork()
{
    static const PlmWork work = BenchWorks::makeLargeWork(35000, 8, 2);
    return work;
}

// Window: the bare window, or the full one with its commands, outline and background image.
template <typename Window = StudioWindowController>
struct OpenStudio {
    UserDefaults::TemporaryScope scope;
    std::unique_ptr<PlmWorkDocument> document = std::make_unique<PlmWorkDocument>();
    StudioWindowController* controller = nullptr;

    OpenStudio()
    {
        document->setWork(largeWork());
        controller = new Window(document.get());
        document->addWindowController(controller);
    }
};

template <typename Window>
void BM_StudioWindowOpen(benchmark::State& state)
{
    for (auto _ : state) {
        OpenStudio<Window> studio;
        benchmark::DoNotOptimize(studio.controller);
    }
}
PLM_BENCHMARK(BM_StudioWindowOpen<StudioWindowController>)->Unit(benchmark::kMillisecond)->Iterations(3);
PLM_BENCHMARK(BM_StudioWindowOpen<StudioWindowCommands>)->Unit(benchmark::kMillisecond)->Iterations(3);

template <typename Window>
void BM_StudioWindowCellEdit(benchmark::State& state)
{
    OpenStudio<Window> studio;
    const QString variableID = BenchWorks::inputVariableID(1);
    const PlmWork start = studio.document->work();
    qsizetype row = 0;
    double value = 1000.5;
    for (auto _ : state) {
        const QString entityID = start.map.entities.at(row).id;
        studio.document->updateWork(QStringLiteral("Saisir une cellule"), [&](PlmWork& work) {
            work.variables[work.variableIndex(variableID)].values.insert(entityID, PlmValue::number(value));
        });
        row = (row + 97) % start.map.entities.size();
        value += 1;
    }
}
PLM_BENCHMARK(BM_StudioWindowCellEdit<StudioWindowController>)->Unit(benchmark::kMillisecond);
PLM_BENCHMARK(BM_StudioWindowCellEdit<StudioWindowCommands>)->Unit(benchmark::kMillisecond);

template <typename Window>
void BM_StudioWindowRefreshUnchanged(benchmark::State& state)
{
    OpenStudio<Window> studio;
    for (auto _ : state)
        studio.controller->reloadObjects();
}
PLM_BENCHMARK(BM_StudioWindowRefreshUnchanged<StudioWindowController>)->Unit(benchmark::kMillisecond);
PLM_BENCHMARK(BM_StudioWindowRefreshUnchanged<StudioWindowCommands>)->Unit(benchmark::kMillisecond);

// One entity renamed: the map changed, so the map views, the table and the outline follow.
template <typename Window>
void BM_StudioWindowEntityEdit(benchmark::State& state)
{
    OpenStudio<Window> studio;
    qsizetype row = 0;
    int count = 0;
    for (auto _ : state) {
        studio.document->updateWork(QStringLiteral("Renommer"), [&](PlmWork& work) {
            PlmEntity entity = work.map.entities.at(row);
            entity.name = QStringLiteral("Nom %1").arg(++count);
            work.map.entities.replace(row, entity);
        });
        row = (row + 97) % 35000;
    }
}
PLM_BENCHMARK(BM_StudioWindowEntityEdit<StudioWindowController>)->Unit(benchmark::kMillisecond);
PLM_BENCHMARK(BM_StudioWindowEntityEdit<StudioWindowCommands>)->Unit(benchmark::kMillisecond);

// Everything selected (as after selecting all in the map view), then one typed cell: the
// table, the outline and the status line carry the whole selection through the refresh.
template <typename Window>
void BM_StudioWindowCellEditAllSelected(benchmark::State& state)
{
    OpenStudio<Window> studio;
    const PlmWork start = studio.document->work();
    studio.document->select(start.topLevelEntityIDs(), start.map.entities.first().id);
    const QString variableID = BenchWorks::inputVariableID(1);
    qsizetype row = 0;
    double value = 1000.5;
    for (auto _ : state) {
        const QString entityID = start.map.entities.at(row).id;
        studio.document->updateWork(QStringLiteral("Saisir une cellule"), [&](PlmWork& work) {
            work.variables[work.variableIndex(variableID)].values.insert(entityID, PlmValue::number(value));
        });
        row = (row + 97) % start.map.entities.size();
        value += 1;
    }
}
PLM_BENCHMARK(BM_StudioWindowCellEditAllSelected<StudioWindowController>)->Unit(benchmark::kMillisecond);
PLM_BENCHMARK(BM_StudioWindowCellEditAllSelected<StudioWindowCommands>)->Unit(benchmark::kMillisecond);

template <typename Window>
void BM_StudioWindowSelectAll(benchmark::State& state)
{
    OpenStudio<Window> studio;
    const PlmWork work = studio.document->work();
    const QSet<QString> all = work.topLevelEntityIDs();
    for (auto _ : state) {
        studio.document->select(all, work.map.entities.first().id);
        studio.document->select(QSet<QString>(), std::nullopt);
    }
}
PLM_BENCHMARK(BM_StudioWindowSelectAll<StudioWindowController>)->Unit(benchmark::kMillisecond);
PLM_BENCHMARK(BM_StudioWindowSelectAll<StudioWindowCommands>)->Unit(benchmark::kMillisecond);

} // namespace
