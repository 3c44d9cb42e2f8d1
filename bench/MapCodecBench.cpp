// Speed of the base-map document on a large generated map: encoding, decoding, validation,
// and the cost of one edit (copy the map, change one entity).
#include "support/BenchGuard.h"
#include "support/BenchMaps.h"

#include "model/PlmEntity.h"
#include "model/PlmJson.h"
#include "model/PlmMapCodec.h"

#include <benchmark/benchmark.h>

namespace {

const PlmMap& largeMap()
{
    static const PlmMap map = BenchMaps::makeLargeMap();
    return map;
}

const QByteArray& largeMapBytes()
{
    static const QByteArray bytes = PlmMapCodec::encode(largeMap());
    return bytes;
}

void setCounters(benchmark::State& state, qint64 bytesPerIteration)
{
    state.SetBytesProcessed(state.iterations() * bytesPerIteration);
    state.counters["entities"] = double(largeMap().entities.size());
    state.counters["points"] = double(BenchMaps::pointCount(largeMap()));
    state.counters["jsonMB"] = double(largeMapBytes().size()) / 1e6;
}

void BM_EncodeLargeMap(benchmark::State& state)
{
    const PlmMap& map = largeMap();
    for (auto _ : state) {
        QByteArray bytes = PlmMapCodec::encode(map); // validation included
        benchmark::DoNotOptimize(bytes.data());
    }
    setCounters(state, largeMapBytes().size());
}
PLM_BENCHMARK(BM_EncodeLargeMap)->Unit(benchmark::kMillisecond);

void BM_WriteLargeMapJsonOnly(benchmark::State& state)
{
    const PlmMap& map = largeMap();
    for (auto _ : state) {
        QByteArray bytes = PlmJson::encode(map);
        benchmark::DoNotOptimize(bytes.data());
    }
    setCounters(state, largeMapBytes().size());
}
PLM_BENCHMARK(BM_WriteLargeMapJsonOnly)->Unit(benchmark::kMillisecond);

void BM_DecodeLargeMap(benchmark::State& state)
{
    const QByteArray& bytes = largeMapBytes();
    for (auto _ : state) {
        PlmMap map = PlmMapCodec::decode(bytes); // validation included
        benchmark::DoNotOptimize(map.entities.size());
    }
    setCounters(state, bytes.size());
}
PLM_BENCHMARK(BM_DecodeLargeMap)->Unit(benchmark::kMillisecond);

void BM_ParseLargeMapJsonOnly(benchmark::State& state)
{
    const QByteArray& bytes = largeMapBytes();
    for (auto _ : state) {
        PlmJsonDocument document = PlmJsonDocument::parse(bytes, PlmJsonDocument::unboundedDepth);
        benchmark::DoNotOptimize(document.root().size());
    }
    setCounters(state, bytes.size());
}
PLM_BENCHMARK(BM_ParseLargeMapJsonOnly)->Unit(benchmark::kMillisecond);

void BM_ValidateLargeMap(benchmark::State& state)
{
    const PlmMap& map = largeMap();
    for (auto _ : state)
        PlmMapCodec::validate(map);
    setCounters(state, 0);
}
PLM_BENCHMARK(BM_ValidateLargeMap)->Unit(benchmark::kMillisecond);

void BM_CopyMapAndChangeOneEntity(benchmark::State& state)
{
    const PlmMap& map = largeMap();
    const qsizetype middle = map.entities.size() / 2;
    for (auto _ : state) {
        PlmMap copy = map;
        copy.entities.edit(middle).name = QStringLiteral("Renommée");
        benchmark::DoNotOptimize(copy.entities.at(middle).name.size());
    }
    state.counters["entities"] = double(map.entities.size());
}
PLM_BENCHMARK(BM_CopyMapAndChangeOneEntity)->Unit(benchmark::kMicrosecond);

void BM_CopyMapAndMoveOneEntity(benchmark::State& state)
{
    const PlmMap& map = largeMap();
    const qsizetype middle = map.entities.size() / 2;
    for (auto _ : state) {
        PlmMap copy = map;
        copy.entities.edit(middle).translate(10, 0);
        benchmark::DoNotOptimize(copy.entities.at(middle).name.size());
    }
}
PLM_BENCHMARK(BM_CopyMapAndMoveOneEntity)->Unit(benchmark::kMicrosecond);

} // namespace
