// Speed of the data pane's clipboard on the large generated work: the pane copying every row to
// the clipboard (nothing is painted: the copy shows nothing), and as parts the text of every
// row's cell of one column, the text of whole rows, and the work's side of pasting a block that
// covers every row.
#include "support/BenchGuard.h"
#include "support/BenchWorks.h"

#include "data/DataClipboard.h"
#include "data/DataTableView.h"
#include "data/DataWindowController.h"

#include <QApplication>
#include <QClipboard>

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

void BM_CopyColumnCells_PartText(benchmark::State& state)
{
    const QString column = BenchWorks::inputVariableID(1);
    allRows(); // the work and its rows are built once, outside the timing
    for (auto _ : state)
        benchmark::DoNotOptimize(DataClipboard::copyText(allRows(), false, column, largeWork()));
    state.counters["rows"] = double(allRows().size());
}

void BM_CopyWholeRows_PartText(benchmark::State& state)
{
    allRows();
    for (auto _ : state)
        benchmark::DoNotOptimize(DataClipboard::copyText(allRows(), true, QStringLiteral("identifier"), largeWork()));
}

void BM_PasteColumnBlock_PartWork(benchmark::State& state)
{
    const QString column = BenchWorks::inputVariableID(1);
    const QString text = DataClipboard::copyText(allRows(), false, column, largeWork());
    for (auto _ : state) {
        // The copy of the work is O(1); the paste changes one column of it.
        PlmWork work = largeWork();
        benchmark::DoNotOptimize(work.pasteBlock(text, DataClipboard::pasteTargets(allRows(), 0), column));
    }
}

// The pane's whole path: every row selected, the cells of the active column copied to the
// clipboard (the platform's clipboard: an X selection under X11).
void BM_PaneCopyAllRows(benchmark::State& state)
{
    allRows();
    PlmWork work = largeWork();
    DataWindowController pane([&work]() -> std::optional<PlmWork> { return work; });
    pane.activeColumn = BenchWorks::inputVariableID(0);
    pane.table()->selectAll();
    for (auto _ : state)
        pane.copyCells(false);
    state.counters["bytes"] = double(QApplication::clipboard()->text().size());
}

} // namespace

PLM_BENCHMARK(BM_PaneCopyAllRows)->Unit(benchmark::kMillisecond)->UseRealTime();
PLM_BENCHMARK(BM_CopyColumnCells_PartText)->Unit(benchmark::kMillisecond)->UseRealTime();
PLM_BENCHMARK(BM_CopyWholeRows_PartText)->Unit(benchmark::kMillisecond)->UseRealTime();
PLM_BENCHMARK(BM_PasteColumnBlock_PartWork)->Unit(benchmark::kMillisecond)->UseRealTime();
