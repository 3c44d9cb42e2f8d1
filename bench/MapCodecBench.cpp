// Speed of the base-map document on a large generated map: opening the saved document (the
// read and the decode, as Document::readFromFile runs them), and as parts (named "Only", timed
// from data in memory) the encoding, decoding, validation and the cost of one edit (copy the
// map, change one entity). Decoding and validation run on every core: all rows are timed, and
// their rates given, in wall time.
#include "support/BenchGuard.h"
#include "support/BenchSavedFile.h"
#include "support/BenchMaps.h"

#include "model/PlmEntity.h"
#include "model/PlmJson.h"
#include "model/PlmMapCodec.h"

#include <QFile>
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

const QString& savedMapPath()
{
    static const BenchSavedFile saved(QStringLiteral("Communes.plmmap"), largeMapBytes());
    return saved.path();
}

void setCounters(benchmark::State& state, qint64 bytesPerIteration)
{
    if (bytesPerIteration > 0)
        state.SetBytesProcessed(state.iterations() * bytesPerIteration);
    state.counters["entities"] = double(largeMap().entities.size());
    state.counters["points"] = double(BenchMaps::pointCount(largeMap()));
    state.counters["jsonMB"] = double(largeMapBytes().size()) / 1e6;
}

void BM_EncodeLargeMapOnly(benchmark::State& state)
{
    const PlmMap& map = largeMap();
    for (auto _ : state) {
        QByteArray bytes = PlmMapCodec::encode(map); // validation included
        benchmark::DoNotOptimize(bytes.data());
    }
    setCounters(state, largeMapBytes().size());
}
PLM_BENCHMARK(BM_EncodeLargeMapOnly)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_WriteLargeMapJsonOnly(benchmark::State& state)
{
    const PlmMap& map = largeMap();
    for (auto _ : state) {
        QByteArray bytes = PlmJson::encode(map);
        benchmark::DoNotOptimize(bytes.data());
    }
    setCounters(state, largeMapBytes().size());
}
PLM_BENCHMARK(BM_WriteLargeMapJsonOnly)->Unit(benchmark::kMillisecond)->UseRealTime();

// Opening the saved document, from the file on disk (in the page cache, as a file just saved
// is) to the decoded and validated map; storing it in the document and drawing it follow.
void BM_OpenLargeMapFile(benchmark::State& state)
{
    const QString& path = savedMapPath();
    for (auto _ : state) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            state.SkipWithError("cannot read the saved map");
            break;
        }
        PlmMap map = PlmMapCodec::decode(file.readAll()); // validation included
        benchmark::DoNotOptimize(map.entities.size());
    }
    setCounters(state, largeMapBytes().size());
}
PLM_BENCHMARK(BM_OpenLargeMapFile)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_DecodeLargeMapOnly(benchmark::State& state)
{
    const QByteArray& bytes = largeMapBytes();
    for (auto _ : state) {
        PlmMap map = PlmMapCodec::decode(bytes); // validation included
        benchmark::DoNotOptimize(map.entities.size());
    }
    setCounters(state, bytes.size());
}
PLM_BENCHMARK(BM_DecodeLargeMapOnly)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ParseLargeMapJsonOnly(benchmark::State& state)
{
    const QByteArray& bytes = largeMapBytes();
    for (auto _ : state) {
        PlmJsonDocument document = PlmJsonDocument::parse(bytes, PlmJsonDocument::unboundedDepth);
        benchmark::DoNotOptimize(document.root().size());
    }
    setCounters(state, bytes.size());
}
PLM_BENCHMARK(BM_ParseLargeMapJsonOnly)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ValidateLargeMapOnly(benchmark::State& state)
{
    const PlmMap& map = largeMap();
    for (auto _ : state)
        PlmMapCodec::validate(map);
    setCounters(state, 0);
}
PLM_BENCHMARK(BM_ValidateLargeMapOnly)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CopyMapAndChangeOneEntityOnly(benchmark::State& state)
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
PLM_BENCHMARK(BM_CopyMapAndChangeOneEntityOnly)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_CopyMapAndMoveOneEntityOnly(benchmark::State& state)
{
    const PlmMap& map = largeMap();
    const qsizetype middle = map.entities.size() / 2;
    for (auto _ : state) {
        PlmMap copy = map;
        copy.entities.edit(middle).translate(10, 0);
        benchmark::DoNotOptimize(copy.entities.at(middle).name.size());
    }
}
PLM_BENCHMARK(BM_CopyMapAndMoveOneEntityOnly)->Unit(benchmark::kMicrosecond)->UseRealTime();

} // namespace
