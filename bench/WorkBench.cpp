// Speed of the work record on the large generated map: recomputing calculated variables,
// the automatic thresholds, validation, and the ".plm" document both ways.
#include "support/BenchGuard.h"
#include "support/BenchWorks.h"

#include "model/PlmDependencyPlan.h"
#include "model/PlmWorkCodec.h"

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

void BM_RecomputeFiveCalculatedVariables(benchmark::State& state)
{
    calculationWork(); // generated outside the timing
    for (auto _ : state) {
        PlmWork work = calculationWork(); // O(1) copy; the recomputation builds new columns
        work.recomputeCalculatedVariables();
        benchmark::DoNotOptimize(work.variables.constData());
    }
    state.counters["entities"] = double(calculationWork().map.entities.size());
}

void BM_RecomputeWithCancellationToken(benchmark::State& state)
{
    calculationWork();
    const PlmCancellationToken token = PlmCancellationToken::make();
    for (auto _ : state) {
        PlmWork work = calculationWork();
        work.recomputeCalculatedVariables(token);
        benchmark::DoNotOptimize(work.variables.constData());
    }
}

void BM_RecomputeThematicThresholds(benchmark::State& state)
{
    calculationWork();
    for (auto _ : state) {
        PlmWork work = calculationWork();
        work.recomputeThematicThresholds(); // Jenks, 5 classes, 35,000 values
        benchmark::DoNotOptimize(work.thematic->thresholds.constData());
    }
}

void BM_ValidateWork(benchmark::State& state)
{
    const PlmWork& work = calculationWork();
    for (auto _ : state)
        work.validate();
}

void BM_EncodeWork(benchmark::State& state)
{
    const PlmWork& work = documentWork();
    for (auto _ : state) {
        QByteArray bytes = PlmWorkCodec::encode(work);
        benchmark::DoNotOptimize(bytes.data());
    }
    state.SetBytesProcessed(state.iterations() * documentBytes().size());
    state.counters["jsonMB"] = double(documentBytes().size()) / 1e6;
}

void BM_DecodeWork(benchmark::State& state)
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
void BM_CheckManyCalculations(benchmark::State& state)
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
void BM_ClassIndexOfEveryCategory(benchmark::State& state)
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

PLM_BENCHMARK(BM_RecomputeFiveCalculatedVariables)->Unit(benchmark::kMillisecond);
PLM_BENCHMARK(BM_RecomputeWithCancellationToken)->Unit(benchmark::kMillisecond);
PLM_BENCHMARK(BM_RecomputeThematicThresholds)->Unit(benchmark::kMillisecond);
PLM_BENCHMARK(BM_ValidateWork)->Unit(benchmark::kMillisecond);
PLM_BENCHMARK(BM_EncodeWork)->Unit(benchmark::kMillisecond);
PLM_BENCHMARK(BM_DecodeWork)->Unit(benchmark::kMillisecond);
PLM_BENCHMARK(BM_ClassIndexOfEveryCategory)->Unit(benchmark::kMillisecond);
PLM_BENCHMARK(BM_CheckManyCalculations)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
