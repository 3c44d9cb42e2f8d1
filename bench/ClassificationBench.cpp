// Classification of a 35,000-row variable: the thresholds of each computed
// method, on all-distinct values and on values with many duplicates (natural
// breaks including the sort of the values). Each row is a part of a wait (named "Only"): the
// Carte pane's benchmarks time a change of classification until the page is painted again.
// Wall time, as everywhere in these programs.
#include "support/BenchGuard.h"
#include "model/PlmClassificationMethod.h"
#include "model/PlmDistribution.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <random>

namespace {

constexpr int rows = 35000;

// Skewed like population counts, every value distinct.
QList<double> distinctValues()
{
    std::mt19937_64 rng(7);
    std::lognormal_distribution<double> dist(8.0, 1.5);
    QList<double> values;
    values.reserve(rows);
    for (int i = 0; i < rows; ++i)
        values.append(dist(rng) + double(i) * 1e-6);
    return values;
}

// Integer percentages: about a hundred distinct values.
QList<double> duplicatedValues()
{
    std::mt19937_64 rng(11);
    std::normal_distribution<double> dist(50.0, 18.0);
    QList<double> values;
    values.reserve(rows);
    for (int i = 0; i < rows; ++i)
        values.append(std::clamp(std::round(dist(rng)), 0.0, 100.0));
    return values;
}

void run(benchmark::State& state, PlmClassificationMethod method, bool distinct)
{
    const PlmDistribution distribution(distinct ? distinctValues() : duplicatedValues());
    const int classCount = int(state.range(0));
    for (auto _ : state)
        benchmark::DoNotOptimize(distribution.thresholds(method, classCount, {}));
}

// Natural breaks of values not seen before: sorting them is part of the time.
void runJenks(benchmark::State& state, bool distinct)
{
    const QList<double> values = distinct ? distinctValues() : duplicatedValues();
    const int classCount = int(state.range(0));
    for (auto _ : state)
        benchmark::DoNotOptimize(PlmDistribution(values).thresholds(PlmClassificationMethod::jenks, classCount, {}));
}

void BM_JenksDistinctOnly(benchmark::State& s) { runJenks(s, true); }
void BM_JenksDuplicatesOnly(benchmark::State& s) { runJenks(s, false); }
void BM_QuantilesDistinctOnly(benchmark::State& s) { run(s, PlmClassificationMethod::quantiles, true); }
void BM_QuantilesDuplicatesOnly(benchmark::State& s) { run(s, PlmClassificationMethod::quantiles, false); }
void BM_EqualIntervalsDistinctOnly(benchmark::State& s) { run(s, PlmClassificationMethod::equalIntervals, true); }
void BM_EqualIntervalsDuplicatesOnly(benchmark::State& s) { run(s, PlmClassificationMethod::equalIntervals, false); }

// Building the distribution itself (sort + statistics) is part of every refresh.
void BM_DistributionDistinctOnly(benchmark::State& state)
{
    const QList<double> values = distinctValues();
    for (auto _ : state)
        benchmark::DoNotOptimize(PlmDistribution(values));
}

} // namespace

PLM_BENCHMARK(BM_JenksDistinctOnly)->DenseRange(2, 10)->Unit(benchmark::kMillisecond)->UseRealTime();
PLM_BENCHMARK(BM_JenksDuplicatesOnly)->DenseRange(2, 10)->Unit(benchmark::kMillisecond)->UseRealTime();
PLM_BENCHMARK(BM_QuantilesDistinctOnly)->DenseRange(2, 10, 4)->Unit(benchmark::kMicrosecond)->UseRealTime();
PLM_BENCHMARK(BM_QuantilesDuplicatesOnly)->DenseRange(2, 10, 4)->Unit(benchmark::kMicrosecond)->UseRealTime();
PLM_BENCHMARK(BM_EqualIntervalsDistinctOnly)->DenseRange(2, 10, 4)->Unit(benchmark::kMicrosecond)->UseRealTime();
PLM_BENCHMARK(BM_EqualIntervalsDuplicatesOnly)->DenseRange(2, 10, 4)->Unit(benchmark::kMicrosecond)->UseRealTime();
PLM_BENCHMARK(BM_DistributionDistinctOnly)->Unit(benchmark::kMillisecond)->UseRealTime();
