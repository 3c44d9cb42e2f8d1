#include "support/BenchGuard.h"
#include "support/BenchWorks.h"

#include "app/PlmWorkDocument.h"

#include <QUndoStack>
#include <benchmark/benchmark.h>
#include <malloc.h>

// One typed cell through the document's undoable update on the large work: copy, change,
// rebind, recompute the calculated variables, thresholds, validation, commit and undo step.
// These are the document's part of the wait (named "Only"): the window's refresh and paint
// that follow are timed by StudioWindowBench. Wall time, as everywhere in these programs: the
// document primes its validator on a worker.
namespace {

constexpr int entityCount = 35000;
constexpr int inputVariables = 8;
constexpr int calculatedVariables = 2; // ten variables in all

const PlmWork& largeWork()
{
    static const PlmWork work = BenchWorks::makeLargeWork(entityCount, inputVariables, calculatedVariables);
    return work;
}

qint64 heapInUse()
{
    return qint64(mallinfo2().uordblks);
}

void typeOneCell(PlmWorkDocument& document, const QString& variableID, const QString& entityID, double value)
{
    document.updateWork(QStringLiteral("Saisir une cellule"), [&](PlmWork& w) {
        const qsizetype index = w.variableIndex(variableID);
        w.variables[index].values.insert(entityID, PlmValue::number(value));
    });
}

void BM_WorkUpdateOneCellOnly(benchmark::State& state)
{
    PlmWorkDocument document;
    document.setWork(largeWork());
    const PlmWork start = document.work();
    // The second input variable is numeric and named by the calculated ones.
    const QString variableID = BenchWorks::inputVariableID(1);
    QList<QString> rows;
    for (qsizetype i = 0; i < start.map.entities.size(); i += 97)
        rows.append(start.map.entities.at(i).id);

    typeOneCell(document, variableID, rows.first(), -1); // the first check sees everything
    qint64 step = 0;
    for (auto _ : state) {
        typeOneCell(document, variableID, rows[step % rows.size()], 1000.5 + double(step));
        ++step;
    }
    // What the history holds: the heap with it, less the heap once it is forgotten (after the
    // timed loop).
    const qint64 steps = document.undoStack()->count();
    const qint64 withHistory = heapInUse();
    document.clearUndoHistory();
    const qint64 withoutHistory = heapInUse();
    state.counters["undo_steps"] = double(steps);
    state.counters["undo_bytes_per_step"] = double(withHistory - withoutHistory) / double(std::max<qint64>(steps, 1));
}
PLM_BENCHMARK(BM_WorkUpdateOneCellOnly)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

void BM_WorkUndoRedoOneCellOnly(benchmark::State& state)
{
    PlmWorkDocument document;
    document.setWork(largeWork());
    typeOneCell(document, BenchWorks::inputVariableID(1), document.work().map.entities.at(7).id, 42);
    for (auto _ : state) {
        document.undo();
        document.redo();
    }
}
PLM_BENCHMARK(BM_WorkUndoRedoOneCellOnly)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
