// Speed of the vector import on a generated 35,000-polygon GeoJSON file and Shapefile (with its
// dBASE table): the whole import (read, recognition, reader, finishing, validation), and the
// hand-over of the result to the studio's base-map document.
#include "support/BenchGuard.h"
#include "support/BenchMaps.h"

#include "import/PlmGeoJsonReader.h"
#include "import/PlmVectorImporter.h"
#include "model/PlmJsonDocument.h"
#include "model/PlmEntity.h"
#include "model/PlmMapCodec.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>
#include <benchmark/benchmark.h>
#include <charconv>
#include <cstring>

namespace {

// The polygons of the large map (groups flattened, texts and points left out), 35,000 of them.
QList<PlmEntity> polygonEntities()
{
    QList<PlmEntity> out;
    for (const PlmEntity& e : PlmEntity::leafEntities(BenchMaps::makeLargeMap(36000).entities)) {
        if (e.geometry.asPolygon() || e.geometry.asMultipolygon())
            out << e;
        if (out.size() == 35000)
            break;
    }
    return out;
}

QList<PlmPolygon> polygonsOf(const PlmEntity& e)
{
    if (const PlmPolygon* p = e.geometry.asPolygon())
        return {*p};
    return *e.geometry.asMultipolygon();
}

// Rings closed as both formats require.
QList<PlmPoint> closed(QList<PlmPoint> ring)
{
    if (!ring.isEmpty() && !(ring.first() == ring.last()))
        ring << ring.first();
    return ring;
}

void appendNumber(QByteArray& out, double value)
{
    char buffer[32];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, end - buffer);
}

void appendRing(QByteArray& out, const QList<PlmPoint>& ring)
{
    out += '[';
    bool first = true;
    for (const PlmPoint& p : closed(ring)) {
        out += first ? "[" : ",[";
        first = false;
        appendNumber(out, p.x);
        out += ',';
        appendNumber(out, p.y);
        out += ']';
    }
    out += ']';
}

void appendPolygon(QByteArray& out, const PlmPolygon& polygon)
{
    out += '[';
    appendRing(out, polygon.exterior);
    for (const auto& hole : polygon.holes) {
        out += ',';
        appendRing(out, hole);
    }
    out += ']';
}

QByteArray makeGeoJson(const QList<PlmEntity>& entities)
{
    QByteArray out = R"({"type":"FeatureCollection","name":"Communes","features":[)";
    out.reserve(200 << 20);
    for (qsizetype i = 0; i < entities.size(); ++i) {
        const PlmEntity& e = entities[i];
        if (i)
            out += ",\n";
        out += R"({"type":"Feature","id":")" + e.id.toUtf8() + R"(","properties":{"code":")"
             + e.attributes.value(QStringLiteral("code")).toUtf8() + R"(","nom":")"
             + e.attributes.value(QStringLiteral("nom")).toUtf8() + R"(","population":)" + QByteArray::number(1000 + i)
             + R"(},"geometry":)";
        const QList<PlmPolygon> polygons = polygonsOf(e);
        if (polygons.size() == 1) {
            out += R"({"type":"Polygon","coordinates":)";
            appendPolygon(out, polygons.first());
        } else {
            out += R"({"type":"MultiPolygon","coordinates":[)";
            for (qsizetype k = 0; k < polygons.size(); ++k) {
                if (k)
                    out += ',';
                appendPolygon(out, polygons[k]);
            }
            out += ']';
        }
        out += "}}";
    }
    out += "]}";
    return out;
}

void putBE32(QByteArray& out, quint32 v)
{
    char b[4];
    qToBigEndian(v, b);
    out.append(b, 4);
}
void putLE32(QByteArray& out, quint32 v)
{
    char b[4];
    qToLittleEndian(v, b);
    out.append(b, 4);
}
void putDouble(QByteArray& out, double v)
{
    quint64 bits;
    std::memcpy(&bits, &v, 8);
    char b[8];
    qToLittleEndian(bits, b);
    out.append(b, 8);
}

QByteArray makeShapefile(const QList<PlmEntity>& entities)
{
    QByteArray records;
    records.reserve(100 << 20);
    for (qsizetype i = 0; i < entities.size(); ++i) {
        QList<QList<PlmPoint>> rings;
        for (const PlmPolygon& p : polygonsOf(entities[i])) {
            rings << closed(p.exterior);
            for (const auto& hole : p.holes)
                rings << closed(hole);
        }
        QByteArray content;
        putLE32(content, 5);
        content += QByteArray(32, '\0');
        quint32 points = 0;
        for (const auto& r : rings)
            points += quint32(r.size());
        putLE32(content, quint32(rings.size()));
        putLE32(content, points);
        quint32 start = 0;
        for (const auto& r : rings) {
            putLE32(content, start);
            start += quint32(r.size());
        }
        for (const auto& r : rings)
            for (const PlmPoint& p : r) {
                putDouble(content, p.x);
                putDouble(content, p.y);
            }
        putBE32(records, quint32(i + 1));
        putBE32(records, quint32(content.size() / 2));
        records += content;
    }
    QByteArray out;
    putBE32(out, 9994);
    out += QByteArray(20, '\0');
    putBE32(out, quint32((100 + records.size()) / 2));
    putLE32(out, 1000);
    putLE32(out, 5);
    out += QByteArray(64, '\0');
    return out + records;
}

QByteArray makeTable(const QList<PlmEntity>& entities)
{
    const QList<QPair<QByteArray, int>> fields = {{"CODE", 12}, {"NOM", 40}};
    QByteArray out;
    out.append(char(3));
    out += QByteArray(3, '\0');
    putLE32(out, quint32(entities.size()));
    char b[2];
    qToLittleEndian(quint16(32 + 32 * fields.size() + 1), b);
    out.append(b, 2);
    qToLittleEndian(quint16(1 + 12 + 40), b);
    out.append(b, 2);
    out += QByteArray(17, '\0');
    out.append(char(0x57)); // Windows-1252
    out += QByteArray(2, '\0');
    for (const auto& [name, length] : fields) {
        QByteArray d = name + QByteArray(11 - name.size(), '\0');
        d.append('C');
        d += QByteArray(4, '\0');
        d.append(char(length));
        d += QByteArray(15, '\0');
        out += d;
    }
    out.append(char(0x0D));
    for (const PlmEntity& e : entities) {
        out.append(' ');
        const QByteArray code = e.attributes.value(QStringLiteral("code")).toLatin1().left(12);
        const QByteArray nom = e.attributes.value(QStringLiteral("nom")).toLatin1().left(40);
        out += code + QByteArray(12 - code.size(), ' ');
        out += nom + QByteArray(40 - nom.size(), ' ');
    }
    return out;
}

struct Files {
    QTemporaryDir dir;
    QString geojson, shp, plmmap;
    qint64 geojsonSize = 0, shpSize = 0, plmmapSize = 0;
    Files()
    {
        const QList<PlmEntity> entities = polygonEntities();
        auto write = [this](const QString& name, const QByteArray& bytes) {
            QFile f(dir.filePath(name));
            f.open(QIODevice::WriteOnly);
            f.write(bytes);
            return f.fileName();
        };
        const QByteArray json = makeGeoJson(entities);
        geojsonSize = json.size();
        geojson = write(QStringLiteral("Communes.geojson"), json);
        const QByteArray shape = makeShapefile(entities);
        shpSize = shape.size();
        shp = write(QStringLiteral("Communes.shp"), shape);
        write(QStringLiteral("Communes.dbf"), makeTable(entities));
        write(QStringLiteral("Communes.prj"), "GEOGCS[\"GCS_WGS_1984\"]");
        const QByteArray native = PlmMapCodec::encode(BenchMaps::makeLargeMap(35000));
        plmmapSize = native.size();
        plmmap = write(QStringLiteral("Communes.plmmap"), native);
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
PLM_BENCHMARK(BM_ImportGeoJson)->Unit(benchmark::kMillisecond)->Iterations(3);

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
PLM_BENCHMARK(BM_ImportShapefile)->Unit(benchmark::kMillisecond)->Iterations(3);

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
PLM_BENCHMARK(BM_ImportPlmmap)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_DecodePlmmap(benchmark::State& state)
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
PLM_BENCHMARK(BM_DecodePlmmap)->Unit(benchmark::kMillisecond)->Iterations(3);

// What handing the imported map to a base-map document as bytes would cost (encoded, then
// decoded): the import avoids it by giving the studio's document the map itself.
void BM_HandOverAsDocumentBytes(benchmark::State& state)
{
    const PlmImportResult result = PlmVectorImporter::importMap(files().shp);
    for (auto _ : state) {
        const PlmMap map = PlmMapCodec::decode(PlmMapCodec::encode(result.map));
        benchmark::DoNotOptimize(map.entities.size());
    }
    report(state, result, files().shpSize);
}
PLM_BENCHMARK(BM_HandOverAsDocumentBytes)->Unit(benchmark::kMillisecond)->Iterations(3);

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
PLM_BENCHMARK(BM_GeoJsonParseOnly)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_GeoJsonReaderOnly(benchmark::State& state)
{
    const QByteArray bytes = geoJsonBytes();
    const PlmJsonDocument doc = PlmJsonDocument::parse(bytes, GeoJSONReader::maximumDepth);
    for (auto _ : state) {
        const PlmImportResult result = GeoJSONReader::read(doc, QStringLiteral("Communes"));
        benchmark::DoNotOptimize(result.map.entities.size());
    }
}
PLM_BENCHMARK(BM_GeoJsonReaderOnly)->Unit(benchmark::kMillisecond)->Iterations(3);

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
PLM_BENCHMARK(BM_GeoJsonFinishOnly)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
