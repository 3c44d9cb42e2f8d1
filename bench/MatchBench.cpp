// Speed of matching a 35,000-row table to the 35,000 entities of the large generated map:
// building the match (every key field against every column, with the tie test), resolving the
// rows under a key, building the variables of an import, the import step on a work before its
// validation, and the import dialog's model (no window is shown: these are parts of what the
// person waits for in the dialog, named so).
#include "support/BenchGuard.h"
#include "support/BenchMaps.h"

#include "data/DataImportWindowControllerModel.h"
#include "tables/PlmMatch.h"
#include "tables/PlmMatchImport.h"
#include "model/PlmWork.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>

namespace {

const PlmMap& largeMap()
{
    static const PlmMap map = BenchMaps::makeLargeMap(35000);
    return map;
}

// One row per entity in shuffled order: the code attribute, the name written in capitals
// without accents (so it has to be folded), a population, a share and a label.
const PlmInputTable& largeTable()
{
    static const PlmInputTable table = [] {
        QList<QStringList> grid = {{"Code commune", "Nom", "Population", "Part", "Libellé"}};
        std::mt19937 random(20261207);
        for (int i = 0; i < 35000; ++i) {
            grid.append({QString::number(10000 + i), QStringLiteral("COMMUNE N° %1").arg(i),
                         QString::number(random() % 2000000), QStringLiteral("%1,%2 %").arg(random() % 100).arg(random() % 10),
                         QStringLiteral("Étiquette %1").arg(i % 97)});
        }
        std::shuffle(grid.begin() + 1, grid.end(), random);
        return PlmInputTable(true, grid);
    }();
    return table;
}

void BM_BuildMatch(benchmark::State& state)
{
    largeMap();
    largeTable();
    for (auto _ : state)
        benchmark::DoNotOptimize(PlmMatch(largeTable(), largeMap()));
    state.counters["rows"] = double(largeTable().rows.size());
    state.counters["candidates"] = double(PlmMatch(largeTable(), largeMap()).candidates().size());
}

void BM_Resolutions(benchmark::State& state)
{
    const PlmMatch match(largeTable(), largeMap());
    const PlmMatchCandidate best = match.candidates().first();
    for (auto _ : state)
        benchmark::DoNotOptimize(match.resolutions(best, {}));
}

void BM_ResolutionsByNameFallback(benchmark::State& state)
{
    // A key column that names nothing by id: every row goes through the name-like column.
    const PlmMatch match(largeTable(), largeMap());
    const PlmMatchCandidate byID = *match.candidate(2, QStringLiteral("id"));
    for (auto _ : state)
        benchmark::DoNotOptimize(match.resolutions(byID, {}));
}

void BM_ImportedVariables(benchmark::State& state)
{
    const PlmMatch match(largeTable(), largeMap());
    const PlmMatchCandidate best = match.candidates().first();
    const PlmMatchColumns columns = {{2, PlmVariableType::number}, {3, PlmVariableType::percentage},
                                     {4, PlmVariableType::text}};
    for (auto _ : state)
        benchmark::DoNotOptimize(match.importedVariables(best, {}, columns, {}));
}

void BM_ImportIntoWork_PartBeforeValidation(benchmark::State& state)
{
    // What the dialog's undoable update runs before validation: match, build, append.
    PlmWork work;
    work.map = largeMap();
    const PlmMatchColumns columns = {{2, PlmVariableType::number}, {3, PlmVariableType::percentage}};
    for (auto _ : state) {
        const PlmMatch match(largeTable(), work.map);
        PlmWork copy = work;
        PlmMatchImport::appendImportedVariables(copy, match, match.candidates().first(), {}, columns);
        benchmark::DoNotOptimize(copy);
    }
}

// The import dialog's reload on a large table (header guess, match, proposed types of every
// column, the zone search keys) and its refresh after a choice (resolutions and counts).
void BM_ImportDialogReload_PartModel(benchmark::State& state)
{
    QList<QStringList> grid = {largeTable().names};
    grid.append(largeTable().rows);
    DataImportWindowControllerModel model({PlmInputSheet{QStringLiteral("table.csv"), grid, {}}}, true);
    for (auto _ : state)
        model.reload(largeMap());
}

void BM_ImportDialogRefresh_PartModel(benchmark::State& state)
{
    QList<QStringList> grid = {largeTable().names};
    grid.append(largeTable().rows);
    DataImportWindowControllerModel model({PlmInputSheet{QStringLiteral("table.csv"), grid, {}}}, true);
    model.reload(largeMap());
    for (auto _ : state) {
        model.setColumnSelected(4, true);
        model.refresh();
    }
}

} // namespace

PLM_BENCHMARK(BM_BuildMatch)->Unit(benchmark::kMillisecond)->UseRealTime();
PLM_BENCHMARK(BM_Resolutions)->Unit(benchmark::kMillisecond)->UseRealTime();
PLM_BENCHMARK(BM_ResolutionsByNameFallback)->Unit(benchmark::kMillisecond)->UseRealTime();
PLM_BENCHMARK(BM_ImportedVariables)->Unit(benchmark::kMillisecond)->UseRealTime();
PLM_BENCHMARK(BM_ImportIntoWork_PartBeforeValidation)->Unit(benchmark::kMillisecond)->UseRealTime();
PLM_BENCHMARK(BM_ImportDialogReload_PartModel)->Unit(benchmark::kMillisecond)->UseRealTime();
PLM_BENCHMARK(BM_ImportDialogRefresh_PartModel)->Unit(benchmark::kMillisecond)->UseRealTime();
