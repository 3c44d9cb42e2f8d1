#include "support/BenchGuard.h"
#include "support/BenchWindow.h"
#include "support/BenchWorks.h"

#include "data/DataTableModel.h"
#include "data/DataTableView.h"
#include "data/DataWindowController.h"

#include <QScrollBar>
#include <benchmark/benchmark.h>
#include <memory>

// The data pane on the large work (35,000 rows, ten variables) in a shown 1200 × 600 table,
// each step timed until the table has painted it: a reload that rebuilds the columns, a reload
// after one typed cell, a sort by a variable, a jump of the scroller, and every row selected
// (the selection read back as the commands read it). A reload with nothing changed paints
// nothing: it is a part, named so.
namespace {

const PlmWork& largeWork()
{
    static const PlmWork work = BenchWorks::makeLargeWork(35000, 10, 0);
    return work;
}

struct Pane {
    PlmWork work = largeWork();
    std::unique_ptr<DataWindowController> pane;
    std::unique_ptr<BenchWindow> window;

    Pane()
    {
        pane = std::make_unique<DataWindowController>([this]() -> std::optional<PlmWork> { return work; });
        window = std::make_unique<BenchWindow>(pane->table()->viewport());
    }
    bool open(benchmark::State& state) { return window->show(state, QSize(1200, 600)); }
    // One step: the change, then the event loop until the table has painted it.
    template <typename Change>
    bool step(benchmark::State& state, Change&& change)
    {
        window->mark();
        change();
        return window->waitForPicture(state);
    }
};

void BM_DataPaneReloadColumns(benchmark::State& state)
{
    Pane fixture;
    if (!fixture.open(state))
        return;
    const PlmWork full = fixture.work;
    PlmWork fewer = full;
    fewer.variables.removeLast();
    bool toggle = false;
    for (auto _ : state) {
        const bool painted = fixture.step(state, [&] {
            fixture.work = toggle ? full : fewer;
            toggle = !toggle;
            fixture.pane->reloadTable();
        });
        if (!painted)
            break;
    }
    state.counters["rows"] = double(fixture.pane->rows.size());
}
PLM_BENCHMARK(BM_DataPaneReloadColumns)->Unit(benchmark::kMillisecond)->UseRealTime();

// A cell of a row in sight, as the person types it.
void BM_DataPaneReloadOneCell(benchmark::State& state)
{
    Pane fixture;
    if (!fixture.open(state))
        return;
    const QString variable = BenchWorks::inputVariableID(0);
    const qsizetype index = fixture.work.variableIndex(variable);
    const QString entity = fixture.work.map.entities.at(3).id;
    double value = 0;
    for (auto _ : state) {
        // The typed value itself (which copies the variable's values) is the model's cost.
        BenchWindow::pauseTiming(state);
        fixture.work.variables[index].values.insert(entity, PlmValue::number(value += 1));
        BenchWindow::resumeTiming(state);
        if (!fixture.step(state, [&] { fixture.pane->reloadTable(); }))
            break;
    }
}
PLM_BENCHMARK(BM_DataPaneReloadOneCell)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_DataPaneReload_PartUnchanged(benchmark::State& state)
{
    Pane fixture;
    if (!fixture.open(state))
        return;
    for (auto _ : state)
        fixture.pane->reloadTable();
}
PLM_BENCHMARK(BM_DataPaneReload_PartUnchanged)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_DataPaneSort(benchmark::State& state)
{
    Pane fixture;
    if (!fixture.open(state))
        return;
    const QString variable = BenchWorks::inputVariableID(int(state.range(0)));
    bool ascending = true;
    for (auto _ : state) {
        if (!fixture.step(state, [&] { fixture.pane->sortBy(variable, ascending); }))
            break;
        ascending = !ascending;
    }
}
// A number variable, then a text variable (every fifth variable is text).
PLM_BENCHMARK(BM_DataPaneSort)->Arg(0)->Arg(4)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_DataPaneScroll(benchmark::State& state)
{
    Pane fixture;
    if (!fixture.open(state))
        return;
    QScrollBar* bar = fixture.pane->table()->verticalScrollBar();
    int step = 0;
    for (auto _ : state) {
        const int target = (++step * 7919) % std::max(bar->maximum(), 1);
        if (target == bar->value())
            continue;
        if (!fixture.step(state, [&] { bar->setValue(target); }))
            break;
    }
}
PLM_BENCHMARK(BM_DataPaneScroll)->Unit(benchmark::kMillisecond)->UseRealTime();

// Every row selected, with the inspector whose details and buttons follow the selection,
// until painted; the return to no selection is not timed.
void BM_DataPaneSelectAllRead(benchmark::State& state)
{
    Pane fixture;
    std::unique_ptr<QWidget> inspector(fixture.pane->studioInspectorView());
    if (!fixture.open(state))
        return;
    const QSet<QString> all = fixture.work.topLevelEntityIDs();
    for (auto _ : state) {
        const bool painted = fixture.step(state, [&] {
            fixture.pane->selectRows(all);
            benchmark::DoNotOptimize(fixture.pane->selectedEntityIDs());
        });
        if (!painted)
            break;
        BenchWindow::pauseTiming(state);
        const bool cleared = fixture.step(state, [&] { fixture.pane->selectRows({}); });
        BenchWindow::resumeTiming(state);
        if (!cleared)
            break;
    }
}
PLM_BENCHMARK(BM_DataPaneSelectAllRead)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
