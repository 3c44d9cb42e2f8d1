// Speed of the data-table edits on the large generated work: sorting the table's rows, typing
// one cell (with its recomputation), rebinding the texts bound to data after a change, and the
// automatic anchors of every entity. Each row is a part of a wait (named "Only"): the data
// pane's and the studio window's benchmarks time the edits until the window has painted them.
// Wall time, as everywhere in these programs.
#include "support/BenchGuard.h"
#include "support/BenchMaps.h"
#include "support/BenchWorks.h"

#include "model/PlmEntity.h"
#include "model/PlmSymbolPosition.h"

#include <benchmark/benchmark.h>

namespace {

const PlmWork& largeWork()
{
    static const PlmWork work = BenchWorks::makeLargeWork(35000, 10, 5);
    return work;
}

void BM_SortRowsByNameOnly(benchmark::State& state)
{
    largeWork(); // built once, outside the timing
    for (auto _ : state)
        benchmark::DoNotOptimize(largeWork().rowEntityIDs(QStringLiteral("name"), true));
    state.counters["rows"] = double(largeWork().map.entities.size());
}

void BM_SortRowsByNumberOnly(benchmark::State& state)
{
    const QString key = BenchWorks::inputVariableID(0);
    for (auto _ : state)
        benchmark::DoNotOptimize(largeWork().rowEntityIDs(key, false));
}

void BM_SortRowsByTextOnly(benchmark::State& state)
{
    const QString key = BenchWorks::inputVariableID(4); // every fifth input is a text
    for (auto _ : state)
        benchmark::DoNotOptimize(largeWork().rowEntityIDs(key, true));
}

void BM_SetCellAndRecomputeOnly(benchmark::State& state)
{
    const QString entity = largeWork().map.entities.at(17).id;
    const QString variable = BenchWorks::inputVariableID(1);
    int i = 0;
    for (auto _ : state) {
        PlmWork work = largeWork();
        work.setCell(entity, variable, QString::number(++i % 1000));
        benchmark::DoNotOptimize(work.variables.constData());
    }
}

void BM_RebindAfterOneCellOnly(benchmark::State& state)
{
    PlmWork changed = largeWork();
    changed.setCell(changed.map.entities.at(17).id, BenchWorks::inputVariableID(1), QStringLiteral("42"));
    for (auto _ : state) {
        PlmWork work = changed;
        work.rebindVariableTexts(largeWork());
        benchmark::DoNotOptimize(work.map.entities.size());
    }
}

// An imported drawing often comes as one group holding everything: one row, 35,000 members.
void BM_RebindOneLargeGroupOnly(benchmark::State& state)
{
    PlmWork previous;
    previous.map = largeWork().map;
    PlmEntity all(QStringLiteral("all"), QStringLiteral("Tout"), PlmGeometry::group(previous.map.entities), PlmStyle());
    previous.map.entities = PlmEntityList{all};
    PlmWork changed = previous;
    changed.map.entities.edit(0).name = QStringLiteral("Renommé");
    for (auto _ : state) {
        PlmWork work = changed;
        work.rebindVariableTexts(previous);
        benchmark::DoNotOptimize(work.map.entities.size());
    }
}

void BM_AnchorsOfEveryEntityOnly(benchmark::State& state)
{
    const PlmMap& map = largeWork().map;
    for (auto _ : state) {
        qsizetype found = 0;
        for (const PlmEntity& entity : map.entities)
            found += PlmSymbolPosition::anchor(entity.geometry).has_value();
        benchmark::DoNotOptimize(found);
    }
    state.counters["entities"] = double(map.entities.size());
}

} // namespace

PLM_BENCHMARK(BM_SortRowsByNameOnly)->Unit(benchmark::kMillisecond)->UseRealTime();
PLM_BENCHMARK(BM_SortRowsByNumberOnly)->Unit(benchmark::kMillisecond)->UseRealTime();
PLM_BENCHMARK(BM_SortRowsByTextOnly)->Unit(benchmark::kMillisecond)->UseRealTime();
PLM_BENCHMARK(BM_SetCellAndRecomputeOnly)->Unit(benchmark::kMillisecond)->UseRealTime();
PLM_BENCHMARK(BM_RebindAfterOneCellOnly)->Unit(benchmark::kMillisecond)->UseRealTime();
PLM_BENCHMARK(BM_RebindOneLargeGroupOnly)->Unit(benchmark::kMillisecond)->UseRealTime();
PLM_BENCHMARK(BM_AnchorsOfEveryEntityOnly)->Unit(benchmark::kMillisecond)->UseRealTime();
