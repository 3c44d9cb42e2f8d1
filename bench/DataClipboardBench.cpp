// Speed of the data pane's clipboard on the large generated work: copying every row's cell of
// one column, copying whole rows, and pasting a block that covers every row.
#include "support/BenchWorks.h"

#include "data/DataClipboard.h"

#include <benchmark/benchmark.h>

namespace {

const PlmWork& largeWork()
{
    static const PlmWork work = BenchWorks::makeLargeWork(35000, 10, 5);
    return work;
}

const QList<QString>& allRows()
{
    static const QList<QString> rows = largeWork().rowEntityIDs(std::nullopt, true);
    return rows;
}

void BM_CopyColumnCells(benchmark::State& state)
{
    const QString column = BenchWorks::inputVariableID(1);
    allRows(); // the work and its rows are built once, outside the timing
    for (auto _ : state)
        benchmark::DoNotOptimize(DataClipboard::copyText(allRows(), false, column, largeWork()));
    state.counters["rows"] = double(allRows().size());
}

void BM_CopyWholeRows(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(DataClipboard::copyText(allRows(), true, QStringLiteral("identifier"), largeWork()));
}

void BM_PasteColumnBlock(benchmark::State& state)
{
    const QString column = BenchWorks::inputVariableID(1);
    const QString text = DataClipboard::copyText(allRows(), false, column, largeWork());
    for (auto _ : state) {
        PlmWork work = largeWork();
        benchmark::DoNotOptimize(work.pasteBlock(text, DataClipboard::pasteTargets(allRows(), 0), column));
    }
}

} // namespace

BENCHMARK(BM_CopyColumnCells)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CopyWholeRows)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PasteColumnBlock)->Unit(benchmark::kMillisecond);
