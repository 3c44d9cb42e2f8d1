// Speed of the work record on the large generated map: opening a saved ".plm" document (the
// read and the decode, as Document::readFromFile runs them), and as parts (named "Only", timed
// from data in memory) recomputing calculated variables, the automatic thresholds, validation
// and the document both ways. Decoding and validation run on every core: all rows are timed,
// and their rates given, in wall time.
#include "support/BenchGuard.h"
#include "support/BenchSavedFile.h"
#include "support/BenchWorks.h"

#include "model/PlmDependencyPlan.h"
#include "model/PlmWorkCodec.h"

#include <QFile>
#include <benchmark/benchmark.h>

namespace {

// 10 input variables and 5 calculated ones over 35,000 entities.
const PlmWork& calculationWork()
{
    static const PlmWork work = BenchWorks::makeLargeWork(35000, 10, 5);
    return work;
}

// The document of the codec benchmarks: the large map and 10 variables.
const PlmWork& documentWork()
{
    static const PlmWork work = BenchWorks::makeLargeWork(35000, 10, 0);
    return work;
}

const QByteArray& documentBytes()
{
    static const QByteArray bytes = PlmWorkCodec::encode(documentWork());
    return bytes;
}

const QString& savedWorkPath()
{
    static const BenchSavedFile saved(QStringLiteral("Communes.plm"), documentBytes());
    return saved.path();
}

void BM_RecomputeFiveCalculatedVariablesOnly(benchmark::State& state)
{
    calculationWork(); // generated outside the timing
    for (auto _ : state) {
        PlmWork work = calculationWork(); // O(1) copy; the recomputation builds new columns
        work.recomputeCalculatedVariables();
        benchmark::DoNotOptimize(work.variables.constData());
    }
    state.counters["entities"] = double(calculationWork().map.entities.size());
}

void BM_RecomputeWithCancellationTokenOnly(benchmark::State& state)
{
    calculationWork();
    const PlmCancellationToken token = PlmCancellationToken::make();
    for (auto _ : state) {
        PlmWork work = calculationWork();
        work.recomputeCalculatedVariables(token);
        benchmark::DoNotOptimize(work.variables.constData());
    }
}

void BM_RecomputeThematicThresholdsOnly(benchmark::State& state)
{
    calculationWork();
    for (auto _ : state) {
        PlmWork work = calculationWork();
        work.recomputeThematicThresholds(); // Jenks, 5 classes, 35,000 values
        benchmark::DoNotOptimize(work.thematic->thresholds.constData());
    }
}

void BM_ValidateWorkOnly(benchmark::State& state)
{
    const PlmWork& work = calculationWork();
    for (auto _ : state)
        work.validate();
}

void BM_EncodeWorkOnly(benchmark::State& state)
{
    const PlmWork& work = documentWork();
    for (auto _ : state) {
        QByteArray bytes = PlmWorkCodec::encode(work);
        benchmark::DoNotOptimize(bytes.data());
    }
    state.SetBytesProcessed(state.iterations() * documentBytes().size());
    state.counters["jsonMB"] = double(documentBytes().size()) / 1e6;
}

// Opening the saved document, from the file on disk (in the page cache, as a file just saved
// is) to the decoded work; storing it in the document and the window's first picture follow.
void BM_OpenWorkFile(benchmark::State& state)
{
    const QString& path = savedWorkPath();
    for (auto _ : state) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            state.SkipWithError("cannot read the saved work");
            break;
        }
        PlmWork work = PlmWorkCodec::decode(file.readAll());
        benchmark::DoNotOptimize(work.variables.constData());
    }
    state.SetBytesProcessed(state.iterations() * documentBytes().size());
    state.counters["jsonMB"] = double(documentBytes().size()) / 1e6;
}

void BM_DecodeWorkOnly(benchmark::State& state)
{
    const QByteArray& bytes = documentBytes();
    for (auto _ : state) {
        PlmWork work = PlmWorkCodec::decode(bytes);
        benchmark::DoNotOptimize(work.variables.constData());
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
}

} // namespace

// A work of many calculated variables over a small map: the check must stay linear in the
// number of variables (a file may hold any number of them).
void BM_CheckManyCalculationsOnly(benchmark::State& state)
{
    PlmWork work;
    work.map = BenchWorks::makeLargeWork(10, 1, 0).map;
    work.variables.append(PlmVariable(QStringLiteral("base"), QStringLiteral("Base"), PlmVariableType::number, {},
                                      std::nullopt));
    // Chains of 50, so that the walk stays below its depth limit.
    for (int i = 0; i < state.range(0); ++i) {
        const QString next = (i + 1) % 50 == 0 ? QStringLiteral("1") : QStringLiteral("[Colonne %1]").arg(i + 1);
        work.variables.append(PlmVariable(QStringLiteral("c%1").arg(i), QStringLiteral("Colonne %1").arg(i),
                                          PlmVariableType::number, {},
                                          PlmCalculation{QStringLiteral("[Base] * 2 + ") + next, 2}));
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(PlmFormula::validate(work).size());
    state.counters["variables"] = double(work.variables.size());
}

// The class of every entity of the large map mapped by a text variable with one category
// per entity (a map of communes coloured by name), as the map's fill colours are refreshed.
void BM_ClassIndexOfEveryCategoryOnly(benchmark::State& state)
{
    PlmWork work;
    work.map = BenchWorks::makeLargeWork(35000, 1, 0).map;
    QMap<QString, PlmValue> names;
    for (const PlmEntity& entity : work.map.entities)
        names.insert(entity.id, PlmValue::text(QStringLiteral("Commune ") + entity.id));
    work.variables = {PlmVariable(QStringLiteral("nom"), QStringLiteral("Nom"), PlmVariableType::text, names,
                                  std::nullopt)};
    PlmThematicSettings settings;
    settings.variableID = QStringLiteral("nom");
    for (auto _ : state) {
        const QStringList keys = work.thematicClassKeys(settings);
        qint64 sum = 0;
        for (const PlmEntity& entity : work.map.entities)
            sum += work.thematicClassIndex(entity.id, settings, keys).value_or(-1);
        benchmark::DoNotOptimize(sum);
    }
    state.counters["categories"] = double(work.map.entities.size());
}

PLM_BENCHMARK(BM_RecomputeFiveCalculatedVariablesOnly)->Unit(benchmark::kMillisecond)->UseRealTime();
PLM_BENCHMARK(BM_RecomputeWithCancellationTokenOnly)->Unit(benchmark::kMillisecond)->UseRealTime();
PLM_BENCHMARK(BM_RecomputeThematicThresholdsOnly)->Unit(benchmark::kMillisecond)->UseRealTime();
PLM_BENCHMARK(BM_ValidateWorkOnly)->Unit(benchmark::kMillisecond)->UseRealTime();
PLM_BENCHMARK(BM_OpenWorkFile)->Unit(benchmark::kMillisecond)->UseRealTime();
PLM_BENCHMARK(BM_EncodeWorkOnly)->Unit(benchmark::kMillisecond)->UseRealTime();
PLM_BENCHMARK(BM_DecodeWorkOnly)->Unit(benchmark::kMillisecond)->UseRealTime();
PLM_BENCHMARK(BM_ClassIndexOfEveryCategoryOnly)->Unit(benchmark::kMillisecond)->UseRealTime();
PLM_BENCHMARK(BM_CheckManyCalculationsOnly)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();
