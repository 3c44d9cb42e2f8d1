#include "support/BenchImportFiles.h"

#include "support/BenchMaps.h"

#include "model/PlmEntity.h"
#include "model/PlmMapCodec.h"

#include <QDir>
#include <QFile>
#include <QtEndian>
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

// The .shx index of a main file: its header with the index's own length, then the offset and
// content length of each record, in 16-bit words.
QByteArray makeIndex(const QByteArray& shp)
{
    QByteArray records;
    for (qsizetype at = 100; at + 8 <= shp.size();) {
        const quint32 length = qFromBigEndian<quint32>(shp.constData() + at + 4);
        putBE32(records, quint32(at / 2));
        putBE32(records, length);
        at += 8 + 2 * qsizetype(length);
    }
    QByteArray out = shp.left(100);
    qToBigEndian(quint32((100 + records.size()) / 2), out.data() + 24);
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

const QList<PlmEntity>& entities()
{
    static const QList<PlmEntity> list = polygonEntities();
    return list;
}

} // namespace

namespace BenchImportFiles {

QByteArray geoJson()
{
    return makeGeoJson(entities());
}

QByteArray wideGeoJson(bool nulls)
{
    constexpr int features = 1000, leading = 800, trailing = 799;
    QByteArray out = R"({"type":"FeatureCollection","name":"Large","features":[)";
    out.reserve(features * 20000);
    const auto number = [](int feature, int k) { return QByteArray::number((feature * 7919 + k * 104729) % 1000003); };
    for (int i = 0; i < features; ++i) {
        if (i)
            out += ",\n";
        out += R"({"type":"Feature","id":"w)" + QByteArray::number(i) + R"(","properties":{)";
        for (int k = 0; k < leading; ++k)
            out += "\"v" + QByteArray::number(k) + "\":" + (nulls ? QByteArray("null") : number(i, k)) + ',';
        out += R"("NOM_COM":"Commune )" + QByteArray::number(i) + '"';
        for (int k = leading; k < leading + trailing; ++k)
            out += ",\"v" + QByteArray::number(k) + "\":" + number(i, k);
        const QByteArray x = QByteArray::number(i % 100), x1 = QByteArray::number(i % 100 + 1);
        const QByteArray y = QByteArray::number(i / 100), y1 = QByteArray::number(i / 100 + 1);
        out += R"(},"geometry":{"type":"Polygon","coordinates":[[[)" + x + ',' + y + "],[" + x1 + ',' + y + "],[" + x1
             + ',' + y1 + "],[" + x + ',' + y1 + "],[" + x + ',' + y + "]]]}}";
    }
    out += "]}";
    return out;
}

QByteArray shapefile()
{
    return makeShapefile(entities());
}

QByteArray dbaseTable()
{
    return makeTable(entities());
}

QByteArray baseMapDocument()
{
    return PlmMapCodec::encode(BenchMaps::makeLargeMap(35000));
}

void writeAll(const QString& directory)
{
    QDir().mkpath(directory);
    const auto write = [&](const QString& name, const QByteArray& bytes) {
        QFile file(QDir(directory).filePath(name));
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            qFatal("cannot write %s", qPrintable(file.fileName()));
    };
    write(QStringLiteral("Communes.geojson"), geoJson());
    const QByteArray shp = shapefile();
    write(QStringLiteral("Communes.shp"), shp);
    write(QStringLiteral("Communes.shx"), makeIndex(shp));
    write(QStringLiteral("Communes.dbf"), dbaseTable());
    write(QStringLiteral("Communes.prj"), "GEOGCS[\"GCS_WGS_1984\"]");
    write(QStringLiteral("Communes.plmmap"), baseMapDocument());
}

} // namespace BenchImportFiles
