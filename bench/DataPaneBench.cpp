#include "support/BenchGuard.h"
#include "support/BenchWorks.h"

#include "data/DataTableModel.h"
#include "data/DataWindowController.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QScrollBar>
#include <benchmark/benchmark.h>
#include <memory>

// The data pane on the large work (35,000 rows, ten variables): a reload that rebuilds the
// columns, a reload after one typed cell, a reload with nothing changed, a sort by a variable,
// drawing the visible rows after a jump of the scroller, and reading a whole-table selection.
namespace {

const PlmWork& largeWork()
{
    static const PlmWork work = BenchWorks::makeLargeWork(35000, 10, 0);
    return work;
}

struct Pane {
    PlmWork work = largeWork();
    std::unique_ptr<DataWindowController> pane;

    Pane()
    {
        pane = std::make_unique<DataWindowController>([this]() -> std::optional<PlmWork> { return work; });
        pane->table()->resize(1200, 600);
        pane->table()->show();
        QApplication::processEvents();
    }
};

void BM_DataPaneReloadColumns(benchmark::State& state)
{
    Pane fixture;
    const PlmWork full = fixture.work;
    PlmWork fewer = full;
    fewer.variables.removeLast();
    bool toggle = false;
    for (auto _ : state) {
        fixture.work = toggle ? full : fewer;
        toggle = !toggle;
        fixture.pane->reloadTable();
    }
    state.counters["rows"] = double(fixture.pane->rows.size());
}
PLM_BENCHMARK(BM_DataPaneReloadColumns)->Unit(benchmark::kMillisecond);

void BM_DataPaneReloadOneCell(benchmark::State& state)
{
    Pane fixture;
    const QString variable = BenchWorks::inputVariableID(0);
    const qsizetype index = fixture.work.variableIndex(variable);
    const QString entity = fixture.work.map.entities.at(17000).id;
    double value = 0;
    for (auto _ : state) {
        // The typed value itself (which copies the variable's values) is the model's cost.
        state.PauseTiming();
        fixture.work.variables[index].values.insert(entity, PlmValue::number(value += 1));
        state.ResumeTiming();
        fixture.pane->reloadTable();
    }
}
PLM_BENCHMARK(BM_DataPaneReloadOneCell)->Unit(benchmark::kMillisecond);

void BM_DataPaneReloadUnchanged(benchmark::State& state)
{
    Pane fixture;
    for (auto _ : state)
        fixture.pane->reloadTable();
}
PLM_BENCHMARK(BM_DataPaneReloadUnchanged)->Unit(benchmark::kMillisecond);

void BM_DataPaneSort(benchmark::State& state)
{
    Pane fixture;
    const QString variable = BenchWorks::inputVariableID(state.range(0));
    bool ascending = true;
    for (auto _ : state) {
        fixture.pane->sortBy(variable, ascending);
        ascending = !ascending;
    }
}
// A number variable, then a text variable (every fifth variable is text).
PLM_BENCHMARK(BM_DataPaneSort)->Arg(0)->Arg(4)->Unit(benchmark::kMillisecond);

void BM_DataPaneScrollAndDraw(benchmark::State& state)
{
    Pane fixture;
    QTableView* table = fixture.pane->table();
    QImage image(table->viewport()->size(), QImage::Format_ARGB32_Premultiplied);
    int step = 0;
    for (auto _ : state) {
        QScrollBar* bar = table->verticalScrollBar();
        bar->setValue((step++ * 7919) % std::max(bar->maximum(), 1));
        QPainter painter(&image);
        table->viewport()->render(&painter);
    }
}
PLM_BENCHMARK(BM_DataPaneScrollAndDraw)->Unit(benchmark::kMillisecond);

void BM_DataPaneSelectAllRead(benchmark::State& state)
{
    Pane fixture;
    // With the inspector, whose details and buttons follow the selection.
    std::unique_ptr<QWidget> inspector(fixture.pane->studioInspectorView());
    const QSet<QString> all = fixture.work.topLevelEntityIDs();
    for (auto _ : state) {
        fixture.pane->selectRows(all);
        benchmark::DoNotOptimize(fixture.pane->selectedEntityIDs());
    }
}
PLM_BENCHMARK(BM_DataPaneSelectAllRead)->Unit(benchmark::kMillisecond);

} // namespace
