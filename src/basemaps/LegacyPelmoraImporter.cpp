#include "basemaps/LegacyPelmoraImporter.h"

#include "basemaps/PlmPelmoraBytes.h"
#include "model/PlmBase64.h"
#include "model/PlmEntity.h"
#include "model/PlmErrors.h"
#include "model/PlmMapCodec.h"

#include <QFile>
#include <QFileInfo>

namespace LegacyPelmoraImporter {

using namespace PlmPelmoraBytes;

namespace {

const char compactSignature[] = "\x00\x01\x00\x00\x00\x04";
const char detailedSignature[] = "\x00\x01\x00\x01\x00\x00\x00\x04";
const char dressedMarker[] = "\x00\x00\x00\x01";
const char collectionSignature[] = "\x00\x00\x0F\xA2";
const char extendedMinusOne[] = "\xBF\xFF\x80\x00\x00\x00\x00\x00\x00\x00";
constexpr qint64 unpackedBlockSize = 51840;
constexpr qint64 collectionIndexEnd = 4002;

enum class Kind { polygon, polyline, point };

[[noreturn]] void fail(const QString& message)
{
    throw PlmMapError::invalid(message);
}

QString base64(const QByteArray& data, qint64 offset, qint64 length)
{
    return QString::fromLatin1(PlmBase64::encode(data.mid(offset, length)));
}

// Counts per kind give the ids "legacy:polygon:1", "legacy:polyline:1", "legacy:point:1"…
struct EntityMaker {
    bool fillPoints = false;
    int polygons = 0;
    int polylines = 0;
    int points = 0;

    PlmEntity make(Kind kind, const QString& name, const QList<PlmPoint>& vertices,
                   const QMap<QString, QString>& attributes)
    {
        const PlmColor stroke{0.2, 0.25, 0.3, 1};
        const PlmColor fillColour{0.85, 0.9, 0.95, 1};
        QString id;
        PlmGeometry geometry;
        bool filled = false;
        switch (kind) {
        case Kind::polygon:
            id = QStringLiteral("legacy:polygon:") + decimal(++polygons);
            geometry = PlmGeometry::polygon(PlmPolygon{vertices, {}});
            filled = true;
            break;
        case Kind::polyline:
            id = QStringLiteral("legacy:polyline:") + decimal(++polylines);
            geometry = vertices.size() == 1 ? PlmGeometry::point(vertices.first()) : PlmGeometry::polyline(vertices);
            break;
        case Kind::point:
            id = QStringLiteral("legacy:point:") + decimal(++points);
            geometry = PlmGeometry::point(vertices.first());
            filled = fillPoints;
            break;
        }
        PlmStyle style(stroke, filled ? std::optional<PlmColor>(fillColour) : std::nullopt, 1, 4);
        return PlmEntity(id, name, geometry, style, attributes);
    }
};

void finishMap(PlmMap& map, const QString& name, const QString& fileName, const QByteArray& data)
{
    map.name = name;
    map.metadata.insert(QStringLiteral("source.format"), QStringLiteral("Pelmora historique"));
    map.metadata.insert(QStringLiteral("coordinates.yAxis"), QStringLiteral("down"));
    map.sources = QList<PlmSource>{PlmSource{fileName, data}};
    PlmMapCodec::validate(map);
}

qint16 signedWord(const QByteArray& data, qint64 offset)
{
    return static_cast<qint16>(word(data, offset));
}

} // namespace

unsigned readWord(qint64 offset, const QByteArray& data)
{
    if (!fits(data, offset, 2))
        fail(QStringLiteral("Fond historique tronqué à l’octet ") + decimal(offset) + QLatin1Char('.'));
    return word(data, offset);
}

unsigned readDressedWord(qint64 offset, const QByteArray& data)
{
    if (!fits(data, offset, 2))
        fail(QStringLiteral("Fond habillé historique tronqué."));
    return word(data, offset);
}

unsigned readDetailedWord(qint64 offset, const QByteArray& data)
{
    if (!fits(data, offset, 2))
        fail(QStringLiteral("Fond historique détaillé tronqué."));
    return word(data, offset);
}

bool isLegacyBaseMap(const QByteArray& input)
{
    const QByteArray data = input.left(86);
    const qint64 n = data.size();
    if (n >= 6 && byteAt(data, 0) == 0 && byteAt(data, 1) != 0 && matches(data, 2, collectionSignature, 4))
        return true;
    if (n >= 42 && matches(data, 0, compactSignature, 6))
        return true;
    if (n >= 86 && matches(data, 42, detailedSignature, 8))
        return true;
    return n >= 76 && matches(data, 12, extendedMinusOne, 10) && matches(data, 40, dressedMarker, 4);
}

QString mapName(const QString& fileName)
{
    const QFileInfo info(fileName);
    if (info.suffix().toLower() == QLatin1String("num"))
        return info.completeBaseName();
    return info.fileName();
}

PlmMap importMap(const QByteArray& data, const QString& name, const QString& fileName)
{
    const qint64 n = data.size();
    if (n >= collectionIndexEnd && matches(data, 2, collectionSignature, 4))
        return importIndexedCollection(data, name, fileName);
    if (n >= 76 && matches(data, 40, dressedMarker, 4)) {
        if (!matches(data, 44, "\x00\x01\x00\x00", 4))
            return importDressed(data, name, fileName);
        if (n >= 86 && matches(data, 42, detailedSignature, 8))
            return importDetailed(data, name, fileName);
    }
    if (n < 42 || !matches(data, 0, compactSignature, 6))
        fail(QStringLiteral("Variante historique non prise en charge. Ce fichier n’est pas un fond compact Pelmora reconnu."));
    return importCompact(data, name, fileName);
}

PlmMap importMap(const QString& path)
{
    const QFileInfo info(path);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        fail(QStringLiteral("Le fichier « %1 » ne peut pas être lu.").arg(info.fileName()));
    const QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError)
        fail(QStringLiteral("Le fichier « %1 » ne peut pas être lu.").arg(info.fileName()));
    return importMap(data, mapName(info.fileName()), info.fileName());
}

PlmMap importCompact(const QByteArray& data, const QString& name, const QString& fileName)
{
    const qint64 n = data.size();
    if (n < 42 || !matches(data, 0, compactSignature, 6))
        fail(QStringLiteral("Variante historique non prise en charge. Ce fichier n’est pas un fond compact Pelmora reconnu."));
    const unsigned a = readWord(36, data);
    const unsigned b = readWord(38, data);
    const unsigned c = readWord(40, data);
    PlmMap map;
    EntityMaker maker;
    maker.fillPoints = true;
    qint64 o = 42;
    for (unsigned i = 0; i < a + b; ++i) {
        const bool polygon = i < a;
        if (o + 28 > n)
            fail(QStringLiteral("Enregistrement historique tronqué."));
        const QString recordName = zeroTerminatedName(data, o, 24);
        const unsigned v = readWord(o + 24, data);
        const unsigned opaque = readWord(o + 26, data);
        if (v < (polygon ? 3u : 1u) || qint64(v) > (n - o - 28) / 4)
            fail(QStringLiteral("Nombre de sommets historique invalide."));
        QList<PlmPoint> vertices;
        vertices.reserve(v);
        for (qint64 k = 0; k < v; ++k)
            vertices.append(PlmPoint{double(signedWord(data, o + 28 + 2 * k)), double(signedWord(data, o + 28 + 2 * v + 2 * k))});
        QMap<QString, QString> attributes;
        attributes.insert(QStringLiteral("legacy.recordIndex"), decimal(i + 1));
        attributes.insert(QStringLiteral("legacy.vertexCount"), decimal(v));
        attributes.insert(QStringLiteral("legacy.nameBytes"), base64(data, o, 24));
        attributes.insert(QStringLiteral("legacy.opaqueWord"), decimal(opaque));
        map.entities.append(maker.make(polygon ? Kind::polygon : Kind::polyline, recordName, vertices, attributes));
        o += 28 + 4 * qint64(v);
    }
    bool pointsUnread = false;
    if (c >= 1) {
        if (o == n)
            fail(QStringLiteral("Enregistrements ponctuels historiques manquants."));
        if (n - o != 30 * qint64(c)) {
            // Kept whole and reported rather than guessed at.
            map.metadata.insert(QStringLiteral("legacy.pointsCount"), decimal(c));
            map.metadata.insert(QStringLiteral("import.unconverted"),
                                QStringLiteral("points historiques non reconnus : ") + decimal(c));
            map.metadata.insert(QStringLiteral("legacy.unconvertedBytes"), base64(data, o, n - o));
            pointsUnread = true;
        } else {
            for (unsigned i = 0; i < c; ++i) {
                QMap<QString, QString> attributes;
                attributes.insert(QStringLiteral("legacy.nameBytes"), base64(data, o, 24));
                attributes.insert(QStringLiteral("legacy.opaqueWord"), decimal(word(data, o + 24)));
                const PlmPoint point{double(signedWord(data, o + 26)), double(signedWord(data, o + 28))};
                map.entities.append(maker.make(Kind::point, zeroTerminatedName(data, o, 24), {point}, attributes));
                o += 30;
            }
        }
    }
    if (!pointsUnread && o != n)
        fail(QStringLiteral("Fond historique tronqué ou données restantes non reconnues."));
    map.metadata.insert(QStringLiteral("source"), fileName);
    map.metadata.insert(QStringLiteral("legacy.variant"), QStringLiteral("compact-v1"));
    map.metadata.insert(QStringLiteral("legacy.headerBytes"), base64(data, 0, 42));
    finishMap(map, name, fileName, data);
    return map;
}

PlmMap importIndexedCollection(const QByteArray& data, const QString& name, const QString& fileName)
{
    const qint64 n = data.size();
    const QString badIndex = QStringLiteral("Index de collection historique invalide.");
    if (n < collectionIndexEnd)
        fail(badIndex);
    const unsigned count = word(data, 0);
    if (count < 1 || count > 1000)
        fail(badIndex);
    for (qint64 at = 2 + 4 * qint64(count); at < collectionIndexEnd; ++at)
        if (byteAt(data, at) != 0)
            fail(badIndex);
    PlmMap map;
    for (unsigned i = 0; i < count; ++i) {
        const qint64 s = longWord(data, 2 + 4 * qint64(i));
        const qint64 e = i + 1 < count ? qint64(longWord(data, 2 + 4 * qint64(i + 1))) : n;
        if (s < collectionIndexEnd || e > n || e - s < 36 || qint64(longWord(data, s + 24)) != e - s - 2)
            fail(QStringLiteral("Dessin de collection historique tronqué."));
        QByteArray entry(compactSignature, 6);
        entry += data.mid(s, 24);
        entry += QByteArray(6, '\0');
        entry += data.mid(s + 30, e - s - 30);
        const PlmMap entryMap = importCompact(entry, name, fileName);
        if (entryMap.metadata.contains(QStringLiteral("legacy.unconvertedBytes")))
            fail(QStringLiteral("Points de collection historique non qualifiés."));
        if (i == 0)
            map.entities = entryMap.entities;
        map.metadata.insert(QStringLiteral("legacy.collectionName.") + decimal(i + 1), zeroTerminatedName(data, s, 24));
    }
    map.metadata.insert(QStringLiteral("legacy.variant"), QStringLiteral("indexed-compact-v1"));
    map.metadata.insert(QStringLiteral("legacy.collectionCount"), decimal(count));
    map.metadata.insert(QStringLiteral("legacy.collection"),
                        QStringLiteral("Collection de ") + decimal(count)
                            + QStringLiteral(" fonds indépendants : premier fond importé ; ") + decimal(count - 1)
                            + QStringLiteral(" autres fonds conservés dans l’original intégré, sans superposition."));
    finishMap(map, name, fileName, data);
    return map;
}

namespace {

// Walks one PackBits block without unpacking it: it must unpack to exactly 51,840 bytes.
void checkBitmapBlock(const QByteArray& data, qint64 offset, qint64 length, const QString& truncated,
                      const QString& unqualified)
{
    if (!fits(data, offset, length))
        fail(truncated);
    const qint64 end = offset + length;
    qint64 total = 0;
    qint64 at = offset;
    while (at < end) {
        const unsigned h = byteAt(data, at);
        if (h == 128) {
            at += 1;
            continue;
        }
        if (h > 128) {
            if (at + 1 >= end)
                fail(truncated);
            total += 257 - h;
            at += 2;
        } else {
            if (at + 1 + qint64(h) + 1 > end)
                fail(truncated);
            total += h + 1;
            at += h + 2;
        }
        if (total > unpackedBlockSize)
            fail(unqualified);
    }
    if (total != unpackedBlockSize)
        fail(unqualified);
}

} // namespace

qint64 skipBitmapBlocks(const QByteArray& data, qint64 offset, const BitmapBlockMessages& messages)
{
    for (int block = 0; block < 2; ++block) {
        if (!fits(data, offset, 4))
            fail(messages.cutLength);
        const qint64 length = longWord(data, offset);
        if (length < 1 || length > data.size() - offset - 4)
            fail(messages.badLength);
        checkBitmapBlock(data, offset + 4, length, messages.truncated, messages.unqualified);
        offset += 4 + length;
    }
    return offset;
}

PlmMap importDressed(const QByteArray& data, const QString& name, const QString& fileName)
{
    const qint64 n = data.size();
    const qint64 p = skipBitmapBlocks(data, 68,
                                      {QStringLiteral("Fond habillé historique tronqué."),
                                       QStringLiteral("Bloc historique invalide."), QStringLiteral("Bloc historique tronqué."),
                                       QStringLiteral("Bloc historique non qualifié.")});
    const unsigned a = readDressedWord(p, data);
    const unsigned b = readDressedWord(p + 2, data);
    const unsigned c = readDressedWord(p + 4, data);
    qint64 o = p + 6;
    PlmMap map;
    EntityMaker maker;
    const QString badRecord = QStringLiteral("Enregistrement du fond habillé non qualifié.");
    for (unsigned i = 0; i < a + b + c; ++i) {
        Kind kind = i < a ? Kind::polygon : i < a + b ? Kind::polyline : Kind::point;
        qint64 v = 1;
        qint64 size = 112;
        qint64 start = o + 32;
        if (kind != Kind::point) {
            v = readDressedWord(o + 32, data);
            if (v < (kind == Kind::polygon ? 3 : 1))
                fail(badRecord);
            size = (kind == Kind::polygon ? 88 : 80) + 8 * v;
            start = o + 34;
        }
        if (size > n - o)
            fail(badRecord);
        QList<PlmPoint> vertices;
        vertices.reserve(v);
        for (qint64 k = 0; k < v; ++k)
            vertices.append(PlmPoint{fixed(data, start + 4 * k), fixed(data, start + 4 * v + 4 * k)});
        QMap<QString, QString> attributes;
        attributes.insert(QStringLiteral("legacy.nameBytes"), base64(data, o, 24));
        attributes.insert(QStringLiteral("legacy.recordBytes"), base64(data, o, size));
        map.entities.append(maker.make(kind, zeroTerminatedName(data, o, 24), vertices, attributes));
        o += size;
    }
    if (o != n)
        fail(QStringLiteral("Fin du fond habillé non qualifiée."));
    map.metadata.insert(QStringLiteral("legacy.variant"), QStringLiteral("styled-fixed16.16-v1"));
    map.metadata.insert(QStringLiteral("legacy.styles"),
                        QStringLiteral("Mise en forme non interprétée ; original intégral conservé."));
    finishMap(map, name, fileName, data);
    return map;
}

PlmMap importDetailed(const QByteArray& data, const QString& name, const QString& fileName)
{
    const qint64 n = data.size();
    if (n < 86)
        fail(QStringLiteral("Fond historique détaillé tronqué."));
    const unsigned a = readDetailedWord(80, data);
    const unsigned b = readDetailedWord(82, data);
    const unsigned c = readDetailedWord(84, data);
    const QString leftover = QStringLiteral("Données restantes du fond historique détaillé non reconnues.");
    qint64 o = 86;
    PlmMap map;
    EntityMaker maker;
    for (unsigned i = 0; i < a + b + c; ++i) {
        const Kind kind = i < a ? Kind::polygon : i < a + b ? Kind::polyline : Kind::point;
        const qint64 header = kind == Kind::point ? 74 : 76;
        if (o + header > n)
            fail(QStringLiteral("Enregistrement historique détaillé tronqué."));
        const qint64 v = kind == Kind::point ? 1 : qint64(readDetailedWord(o + 72, data)) + 1;
        const qint64 minimum = kind == Kind::polygon ? 3 : 1;
        if (v > (n - o - header) / 8 || v < minimum)
            fail(QStringLiteral("Sommets historiques détaillés invalides."));
        const qint64 start = o + header;
        QList<PlmPoint> vertices;
        vertices.reserve(v);
        for (qint64 k = 0; k < v; ++k)
            vertices.append(PlmPoint{fixed(data, start + 4 * k), fixed(data, start + 4 * v + 4 * k)});
        QMap<QString, QString> attributes;
        attributes.insert(QStringLiteral("legacy.recordIndex"), decimal(i + 1));
        attributes.insert(QStringLiteral("legacy.nameBytes"), base64(data, o, 24));
        attributes.insert(QStringLiteral("legacy.recordHeaderBytes"), base64(data, o, header));
        map.entities.append(maker.make(kind, zeroTerminatedName(data, o, 24), vertices, attributes));
        o += header + 8 * v;
    }
    if (o != n)
        fail(leftover);
    map.metadata.insert(QStringLiteral("source"), fileName);
    map.metadata.insert(QStringLiteral("legacy.variant"), QStringLiteral("extended-fixed16.16-v1"));
    map.metadata.insert(QStringLiteral("legacy.headerBytes"), base64(data, 0, 86));
    finishMap(map, name, fileName, data);
    return map;
}

} // namespace LegacyPelmoraImporter
