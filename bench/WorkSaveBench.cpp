#include "support/BenchGuard.h"
#include "support/BenchWorks.h"

#include "app/PlmWorkDocument.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

// Saving the large work (35,000 entities, ten variables of which two calculated) in place,
// from the open document just changed: the time the main thread spends, which is what the
// person waits for, and the whole save until the file is in place. Both are wall times: the
// background save writes on a worker, and the encoding validates on every core.
namespace {

const PlmWork& largeWork()
{
    static const PlmWork work = BenchWorks::makeLargeWork(35000, 8, 2);
    return work;
}

void typeOneCell(PlmWorkDocument& document, double value)
{
    const QString variableID = BenchWorks::inputVariableID(1);
    const QString entityID = document.work().map.entities.at(11).id;
    document.updateWork(QStringLiteral("Saisir une cellule"), [&](PlmWork& w) {
        w.variables[w.variableIndex(variableID)].values.insert(entityID, PlmValue::number(value));
    });
}

struct SavedDocument {
    QTemporaryDir dir;
    PlmWorkDocument document;
    SavedDocument()
    {
        document.setWork(largeWork());
        const QString path = dir.filePath(QStringLiteral("Communes.plm"));
        QString error;
        if (!document.saveToFile(path, PlmWorkDocument::plmType, Document::SaveOperation::SaveAs, &error))
            qFatal("%s", qPrintable(error));
    }
};

// The autosave as the timer runs it: the main thread takes a snapshot and hands it over;
// "main" is its time (the iteration time), "total" the time until the file is in place.
void BM_AutosaveInBackground(benchmark::State& state)
{
    SavedDocument saved;
    PlmWorkDocument& document = saved.document;
    double step = 0;
    double totalMs = 0;
    double worstMainMs = 0;
    for (auto _ : state) {
        typeOneCell(document, ++step);
        QElapsedTimer clock;
        clock.start();
        document.saveInBackground();
        const double mainMs = double(clock.nsecsElapsed()) / 1e6;
        document.waitForBackgroundSave();
        totalMs += double(clock.nsecsElapsed()) / 1e6;
        worstMainMs = std::max(worstMainMs, mainMs);
        state.SetIterationTime(mainMs / 1e3);
        if (document.isDocumentEdited())
            state.SkipWithError("not saved");
    }
    state.counters["total_ms"] = totalMs / double(state.iterations());
    state.counters["worst_main_ms"] = worstMainMs;
    state.counters["fileMB"] = double(QFileInfo(document.filePath()).size()) / 1e6;
}
PLM_BENCHMARK(BM_AutosaveInBackground)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

// The same save written on the main thread, as before saves left it.
void BM_SaveOnMainThread(benchmark::State& state)
{
    SavedDocument saved;
    PlmWorkDocument& document = saved.document;
    double step = 0;
    for (auto _ : state) {
        state.PauseTiming();
        typeOneCell(document, ++step);
        state.ResumeTiming();
        if (!document.autosave())
            state.SkipWithError("not saved");
    }
}
PLM_BENCHMARK(BM_SaveOnMainThread)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

// The digest of the saved file's bytes that every open and every save takes, so that a later
// version of the file holding the same bytes is known as the document's own: a part of both.
void BM_DiskDigestOfSavedWorkOnly(benchmark::State& state)
{
    SavedDocument saved;
    QFile file(saved.document.filePath());
    if (!file.open(QIODevice::ReadOnly)) {
        state.SkipWithError("the saved work cannot be read");
        return;
    }
    const QByteArray bytes = file.readAll();
    for (auto _ : state)
        benchmark::DoNotOptimize(DocumentDiskVersion::digestOf(bytes));
    state.SetBytesProcessed(int64_t(state.iterations()) * bytes.size());
    state.counters["fileMB"] = double(bytes.size()) / 1e6;
}
PLM_BENCHMARK(BM_DiskDigestOfSavedWorkOnly)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
