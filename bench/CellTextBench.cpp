// The texts of a 35,000-row table: typed cells parsed, a formula evaluated for every row,
// numbers shown the French way, and a pasted block of five columns read back. Each row is a part
// of a wait (named "Only"): the studio window's benchmarks time a typed cell until it is
// painted. Wall time, as everywhere in these programs.
#include "support/BenchGuard.h"
#include "model/PlmFormula.h"
#include "model/PlmFrenchNumber.h"
#include "model/PlmTabularText.h"
#include "model/PlmValue.h"

#include <benchmark/benchmark.h>

#include <random>

namespace {

constexpr int rows = 35000;

QList<double> sampleValues()
{
    std::mt19937_64 rng(3);
    std::lognormal_distribution<double> dist(8.0, 2.0);
    QList<double> values;
    values.reserve(rows);
    for (int i = 0; i < rows; ++i)
        values.append(dist(rng));
    return values;
}

void BM_ParseCellsOnly(benchmark::State& state)
{
    QStringList texts;
    for (double v : sampleValues())
        texts.append(PlmValue::number(v).editingText());
    for (auto _ : state) {
        for (const QString& text : texts)
            benchmark::DoNotOptimize(PlmValue::parse(text, PlmVariableType::number));
    }
    state.SetItemsProcessed(state.iterations() * rows);
}

void BM_FormatFrenchOnly(benchmark::State& state)
{
    const QList<double> values = sampleValues();
    for (auto _ : state) {
        for (double v : values)
            benchmark::DoNotOptimize(formatFrenchNumber(v, 3));
    }
    state.SetItemsProcessed(state.iterations() * rows);
}

void BM_EvaluateFormulaOnly(benchmark::State& state)
{
    const QList<PlmVariable> variables{
        PlmVariable(QStringLiteral("a"), QStringLiteral("Actifs"), PlmVariableType::number, {}, std::nullopt),
        PlmVariable(QStringLiteral("p"), QStringLiteral("Population"), PlmVariableType::number, {}, std::nullopt)};
    const PlmExpression expression = PlmFormula::parse(QStringLiteral("[Actifs] / [Population] × 100"), variables);
    const QList<double> values = sampleValues();
    for (auto _ : state) {
        for (int i = 0; i < rows; ++i) {
            const double actifs = values[i];
            const double population = values[rows - 1 - i];
            benchmark::DoNotOptimize(expression.evaluate([&](const QString& id) -> std::optional<double> {
                return id == QLatin1String("a") ? actifs : population;
            }));
        }
    }
    state.SetItemsProcessed(state.iterations() * rows);
}

void BM_ParsePastedBlockOnly(benchmark::State& state)
{
    QList<QStringList> block;
    const QList<double> values = sampleValues();
    for (int i = 0; i < rows; ++i)
        block.append(QStringList{QStringLiteral("Commune %1").arg(i), PlmValue::number(values[i]).editingText(),
                                 QStringLiteral("a\tb"), QStringLiteral("12,5 %"), QString()});
    const QString text = PlmTabularText::format(block);
    for (auto _ : state)
        benchmark::DoNotOptimize(PlmTabularText::parse(text));
    state.SetItemsProcessed(state.iterations() * rows);
}

} // namespace

PLM_BENCHMARK(BM_ParseCellsOnly)->Unit(benchmark::kMillisecond)->UseRealTime();
PLM_BENCHMARK(BM_FormatFrenchOnly)->Unit(benchmark::kMillisecond)->UseRealTime();
PLM_BENCHMARK(BM_EvaluateFormulaOnly)->Unit(benchmark::kMillisecond)->UseRealTime();
PLM_BENCHMARK(BM_ParsePastedBlockOnly)->Unit(benchmark::kMillisecond)->UseRealTime();
