// Speed of the vector import on a generated 35,000-polygon GeoJSON file and Shapefile (with its
// dBASE table), on a wide GeoJSON file with and without nulls, and on GeoJSON points whose
// property holds a number no double holds or an ordinary one: the whole import (read,
// recognition, reader, finishing, validation), and the hand-over of the result to the studio's
// base-map document; and the refusal of crafted PostScript programs at the EPS reader's limits.
// Rows named "Only" time a part from data in memory. The GeoJSON reader and the validation run
// on every core: wall time throughout.
#include "support/BenchGuard.h"
#include "support/BenchImportFiles.h"
#include "support/BenchMaps.h"

#include "basemaps/EPSImporter.h"
#include "basemaps/GeoJSONReader.h"
#include "basemaps/PlmPostScriptScanner.h"
#include "basemaps/PlmVectorImporter.h"
#include "model/PlmJsonDocument.h"
#include "model/PlmEntity.h"
#include "model/PlmMapCodec.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <array>
#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

struct Files {
    QTemporaryDir dir;
    QString geojson, shp, plmmap;
    qint64 geojsonSize = 0, shpSize = 0, plmmapSize = 0;
    Files()
    {
        BenchImportFiles::writeAll(dir.path());
        geojson = dir.filePath(QStringLiteral("Communes.geojson"));
        shp = dir.filePath(QStringLiteral("Communes.shp"));
        plmmap = dir.filePath(QStringLiteral("Communes.plmmap"));
        geojsonSize = QFileInfo(geojson).size();
        shpSize = QFileInfo(shp).size();
        plmmapSize = QFileInfo(plmmap).size();
    }
};

const Files& files()
{
    static const Files f;
    return f;
}

void report(benchmark::State& state, const PlmImportResult& result, qint64 size)
{
    state.counters["entities"] = double(result.map.entities.size());
    state.counters["fileMB"] = double(size) / 1e6;
    state.SetBytesProcessed(state.iterations() * size);
}

void BM_ImportGeoJson(benchmark::State& state)
{
    const QString path = files().geojson; // generated before timing
    PlmImportResult result;
    for (auto _ : state) {
        result = PlmVectorImporter::importMap(path);
        benchmark::DoNotOptimize(result.map.entities.size());
    }
    report(state, result, files().geojsonSize);
}
PLM_BENCHMARK(BM_ImportGeoJson)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

void BM_ImportShapefile(benchmark::State& state)
{
    const QString path = files().shp; // generated before timing
    PlmImportResult result;
    for (auto _ : state) {
        result = PlmVectorImporter::importMap(path);
        benchmark::DoNotOptimize(result.map.entities.size());
    }
    report(state, result, files().shpSize);
}
PLM_BENCHMARK(BM_ImportShapefile)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// A wide file whose features hold 800 nulls before their other properties, against the same
// file with numbers in place of the nulls: the nulls' bookkeeping (missing values for names and
// ids) should cost no more than reading the numbers. Both name their zones by the same column.
struct WideFiles {
    QTemporaryDir dir;
    QString paths[2];
    qint64 sizes[2] = {0, 0};
    WideFiles()
    {
        for (int nulls : {0, 1}) {
            paths[nulls] = dir.filePath(nulls ? QStringLiteral("Nulls.geojson") : QStringLiteral("Numbers.geojson"));
            QFile file(paths[nulls]);
            const QByteArray bytes = BenchImportFiles::wideGeoJson(nulls);
            if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
                qFatal("cannot write %s", qPrintable(paths[nulls]));
            sizes[nulls] = bytes.size();
        }
        // Each file is read once before timing, so that the row run first does not alone pay for
        // the process's first large allocations.
        for (const QString& path : paths)
            benchmark::DoNotOptimize(PlmVectorImporter::importMap(path).map.entities.size());
    }
};

// The file with nulls may read at most this many times as long as the one with numbers.
constexpr double wideNullsAim = 1.25;

// The fastest import of each wide file in this process, in seconds: the ratio of the pair
// compares the fastest runs, which a busy machine lengthens least.
std::array<double, 2> fastestWideImport = {0, 0};

void keepFastest(double& fastest, double took)
{
    if (fastest == 0 || took < fastest)
        fastest = took;
}

// The wall time of one import of `path`, or nothing when `expected` finds the result wrong.
template <typename Check>
std::optional<double> timedImport(const QString& path, PlmImportResult& result, Check expected)
{
    const auto start = std::chrono::steady_clock::now();
    result = PlmVectorImporter::importMap(path);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    if (!expected(result))
        return std::nullopt;
    return took.count();
}

// Times a file of a pair on every iteration, keeping its fastest run in `fastest[second]`.
// The second file of the pair then reports how many times as long it read as the first under
// `counter`, and fails past `aim`; run alone, it reads the first itself, untimed, as many times.
// `import(k, result)` imports file k of the pair and times it; `wrong` says what a wrong result is.
template <typename Import>
void timePair(benchmark::State& state, int second, std::array<double, 2>& fastest, Import import, double aim,
              const char* counter, const char* wrong, const char* names[2])
{
    PlmImportResult result;
    double own = 0;
    bool right = true;
    for (auto _ : state) {
        const std::optional<double> took = import(second, result);
        right = right && took;
        if (took)
            keepFastest(own, *took);
        benchmark::DoNotOptimize(result.map.entities.size());
    }
    state.counters["entities"] = double(result.map.entities.size());
    if (!right) {
        state.SkipWithError(wrong);
        return;
    }
    fastest[second] = own;
    if (!second)
        return;
    if (fastest[0] == 0) {
        PlmImportResult first;
        for (benchmark::IterationCount k = 0; k < state.iterations(); ++k) {
            const std::optional<double> took = import(0, first);
            if (!took) {
                state.SkipWithError(wrong);
                return;
            }
            keepFastest(fastest[0], *took);
        }
    }
    const double ratio = fastest[1] / fastest[0];
    state.counters[counter] = ratio;
    if (ratio > aim) {
        const std::string message = QStringLiteral("the file with %1 reads %2 times as long as the one with %3, past %4")
                                        .arg(QLatin1String(names[1]))
                                        .arg(ratio, 0, 'f', 2)
                                        .arg(QLatin1String(names[0]))
                                        .arg(aim, 0, 'f', 2)
                                        .toStdString();
        state.SkipWithError(message.c_str());
    }
}

// The row with numbers runs first; the row with nulls then reports how many times as long it
// read (nulls_over_numbers) and fails past the aim. Both fail unless the zones are the file's
// 1,000 named features.
void BM_ImportWideGeoJson(benchmark::State& state)
{
    static const WideFiles wide; // generated before timing
    const auto import = [](int nulls, PlmImportResult& result) {
        return timedImport(wide.paths[nulls], result, [](const PlmImportResult& read) {
            return read.map.entities.size() == 1000 && read.map.entities.first().name == QStringLiteral("Commune 0");
        });
    };
    static const char* names[2] = {"numbers", "nulls"};
    const int nulls = int(state.range(0));
    timePair(state, nulls, fastestWideImport, import, wideNullsAim, "nulls_over_numbers",
             "the zones are not the file's 1,000 named features", names);
    state.counters["fileMB"] = double(wide.sizes[nulls]) / 1e6;
    state.SetBytesProcessed(state.iterations() * wide.sizes[nulls]);
}
PLM_BENCHMARK(BM_ImportWideGeoJson)->ArgName("nulls")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// Point features whose one property holds a number no double holds (1e400), kept as the file
// writes it, against the same file with an ordinary number (1e300): such a number should cost
// no more to read than any other, however many features come before it.
struct LargeNumberFiles {
    QTemporaryDir dir;
    QString paths[2];
    qint64 sizes[2] = {0, 0};
    explicit LargeNumberFiles(int features)
    {
        for (int huge : {0, 1}) {
            QByteArray bytes = R"({"type":"FeatureCollection","features":[)";
            bytes.reserve(qsizetype(features) * 120);
            const QByteArray number = huge ? "1e400" : "1e300";
            for (int i = 0; i < features; ++i) {
                if (i)
                    bytes += ",\n";
                bytes += R"({"type":"Feature","id":"f)" + QByteArray::number(i) + R"(","properties":{"p0":)" + number
                       + R"(},"geometry":{"type":"Point","coordinates":[)" + QByteArray::number(i % 360 - 180) + ','
                       + QByteArray::number(i % 170 - 85) + "]}}";
            }
            bytes += "]}";
            paths[huge] = dir.filePath(huge ? QStringLiteral("Huge.geojson") : QStringLiteral("Ordinary.geojson"));
            QFile file(paths[huge]);
            if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
                qFatal("cannot write %s", qPrintable(paths[huge]));
            sizes[huge] = bytes.size();
        }
        // As the wide files: each is read once before timing.
        for (const QString& path : paths)
            benchmark::DoNotOptimize(PlmVectorImporter::importMap(path).map.entities.size());
    }
};

constexpr double largeNumberAim = 1.5;

// The row with ordinary numbers runs first at each count; the row with numbers no double holds
// then reports huge_over_ordinary and fails past the aim. Both fail unless every feature is
// read with its property as the file writes it (1e400) or as the shortest text of its double.
void BM_ImportLargeNumberGeoJson(benchmark::State& state)
{
    const int features = int(state.range(0));
    const int huge = int(state.range(1));
    static std::map<int, std::unique_ptr<LargeNumberFiles>> made;
    std::unique_ptr<LargeNumberFiles>& files = made[features];
    if (!files)
        files = std::make_unique<LargeNumberFiles>(features); // generated before timing
    static std::map<int, std::array<double, 2>> fastest; // by count
    const LargeNumberFiles& pair = *files;
    const auto import = [&pair, features](int k, PlmImportResult& result) {
        return timedImport(pair.paths[k], result, [&](const PlmImportResult& read) {
            return read.map.entities.size() == features
                && read.map.entities.last().attributes.value(QStringLiteral("p0"))
                       == (k ? QStringLiteral("1e400") : QStringLiteral("1e+300"));
        });
    };
    static const char* names[2] = {"ordinary numbers", "numbers no double holds"};
    timePair(state, huge, fastest[features], import, largeNumberAim, "huge_over_ordinary",
             "the features are not the file's points with their property", names);
    state.counters["fileMB"] = double(pair.sizes[huge]) / 1e6;
    state.SetBytesProcessed(state.iterations() * pair.sizes[huge]);
}
PLM_BENCHMARK(BM_ImportLargeNumberGeoJson)
    ->ArgNames({"features", "huge"})
    ->Args({35000, 0})
    ->Args({35000, 1})
    ->Args({70000, 0})
    ->Args({70000, 1})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();

// A base-map document through the importer, against the plain decode below: the importer's
// recognition should cost little more than the decode itself (one parse of the text).
void BM_ImportPlmmap(benchmark::State& state)
{
    const QString path = files().plmmap; // generated before timing
    PlmImportResult result;
    for (auto _ : state) {
        result = PlmVectorImporter::importMap(path);
        benchmark::DoNotOptimize(result.map.entities.size());
    }
    report(state, result, files().plmmapSize);
}
PLM_BENCHMARK(BM_ImportPlmmap)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

void BM_DecodePlmmapOnly(benchmark::State& state)
{
    QFile f(files().plmmap);
    f.open(QIODevice::ReadOnly);
    const QByteArray bytes = f.readAll();
    PlmImportResult result;
    for (auto _ : state) {
        result.map = PlmMapCodec::decode(bytes);
        benchmark::DoNotOptimize(result.map.entities.size());
    }
    report(state, result, files().plmmapSize);
}
PLM_BENCHMARK(BM_DecodePlmmapOnly)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// What handing the imported map to a base-map document as bytes would cost (encoded, then
// decoded): the import avoids it by giving the studio's document the map itself.
void BM_HandOverAsDocumentBytesOnly(benchmark::State& state)
{
    const PlmImportResult result = PlmVectorImporter::importMap(files().shp);
    for (auto _ : state) {
        const PlmMap map = PlmMapCodec::decode(PlmMapCodec::encode(result.map));
        benchmark::DoNotOptimize(map.entities.size());
    }
    report(state, result, files().shpSize);
}
PLM_BENCHMARK(BM_HandOverAsDocumentBytesOnly)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// The stages of the GeoJSON import: the JSON parse, the reader on a parsed text, and the
// finishing steps (source kept, counts written, validation).
QByteArray geoJsonBytes()
{
    QFile f(files().geojson);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

void BM_GeoJsonParseOnly(benchmark::State& state)
{
    const QByteArray bytes = geoJsonBytes();
    for (auto _ : state) {
        const PlmJsonDocument doc = PlmJsonDocument::parse(bytes, GeoJSONReader::maximumDepth);
        benchmark::DoNotOptimize(&doc);
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
}
PLM_BENCHMARK(BM_GeoJsonParseOnly)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

void BM_GeoJsonReaderOnly(benchmark::State& state)
{
    const QByteArray bytes = geoJsonBytes();
    const PlmJsonDocument doc = PlmJsonDocument::parse(bytes, GeoJSONReader::maximumDepth);
    for (auto _ : state) {
        const PlmImportResult result = GeoJSONReader::read(doc, QStringLiteral("Communes"));
        benchmark::DoNotOptimize(result.map.entities.size());
    }
}
PLM_BENCHMARK(BM_GeoJsonReaderOnly)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

void BM_GeoJsonFinishOnly(benchmark::State& state)
{
    const QByteArray bytes = geoJsonBytes();
    const PlmImportResult read = GeoJSONReader::read(bytes, QStringLiteral("Communes"));
    for (auto _ : state) {
        PlmImportResult result = read;
        PlmVectorImporter::finish(result, QStringLiteral("Communes.geojson"), bytes);
        benchmark::DoNotOptimize(result.map.entities.size());
    }
}
PLM_BENCHMARK(BM_GeoJsonFinishOnly)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// Crafted programs that the EPS reader refuses at one of its limits, or reads without running
// (loops and recursion cost one token each): each should cost about the time of reading it.
struct HostileProgram {
    const char* name;
    QByteArray body;
};

const std::vector<HostileProgram>& hostilePrograms()
{
    static const std::vector<HostileProgram> programs = [] {
        std::vector<HostileProgram> list;
        list.push_back({"loop and recursion", "{ } loop /recurse { recurse } def recurse 0 0 m 1 1 l S"});
        QByteArray saves;
        for (int i = 0; i <= EPSImporter::maximumSavedStates; ++i)
            saves += "q ";
        list.push_back({"saved states", saves});
        QByteArray clips = "0 0 m 1 1 l ";
        for (int i = 0; i <= EPSImporter::maximumClips; ++i)
            clips += "0 0 m 1 1 l W n ";
        list.push_back({"clips", clips});
        QByteArray path = "0 0 m ";
        path.reserve(EPSImporter::maximumPathCommands * 2 + 16);
        for (qsizetype i = 0; i < EPSImporter::maximumPathCommands; ++i)
            path += "h ";
        list.push_back({"path commands", path});
        list.push_back({"string", "(" + QByteArray(PSScanner::maximumStringBytes + 8, 'z')});
        list.push_back({"nesting", QByteArray(100, '{')});
        for (HostileProgram& program : list)
            program.body.prepend("%!PS-Adobe-3.0\n");
        return list;
    }();
    return programs;
}

void BM_EPSHostileProgram(benchmark::State& state)
{
    const HostileProgram& program = hostilePrograms().at(std::size_t(state.range(0))); // built before timing
    state.SetLabel(program.name);
    for (auto _ : state) {
        try {
            const PlmImportResult result = EPSImporter::importMap(program.body, QStringLiteral("carte"));
            benchmark::DoNotOptimize(result.map.entities.size());
        } catch (const PlmImportError& refused) {
            benchmark::DoNotOptimize(&refused);
        }
    }
    state.SetBytesProcessed(state.iterations() * program.body.size());
}
PLM_BENCHMARK(BM_EPSHostileProgram)->DenseRange(0, 5)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

} // namespace
