#include "basemaps/ShapefileReader.h"
#include "basemaps/PlmNameColumn.h"

#include "model/PlmErrors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStringDecoder>
#include <QtEndian>
#include <algorithm>
#include <cmath>
#include <cstring>

namespace ShapefileReader {

namespace {

[[noreturn]] void fail(const char* message)
{
    throw PlmImportError::invalid(QString::fromUtf8(message));
}

QByteArray readCompanion(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw PlmImportError::invalid(
            QStringLiteral("Le fichier « %1 » ne peut pas être lu.").arg(QFileInfo(path).fileName()));
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw PlmImportError::invalid(
            QStringLiteral("Le fichier « %1 » ne peut pas être lu.").arg(QFileInfo(path).fileName()));
    return bytes;
}

// The companion paths found for each extension, in the order dbf, shx, prj, cpg.
QMap<QString, QString> findCompanions(const QString& shpPath)
{
    const QFileInfo shp(shpPath);
    const QString stem = shp.completeBaseName();
    const QDir folder = shp.absoluteDir();
    QStringList candidates;
    if (folder.isReadable()) {
        candidates = folder.entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    } else {
        for (const char* ext : {"dbf", "DBF", "shx", "SHX", "prj", "PRJ", "cpg", "CPG"}) {
            const QString name = stem + QLatin1Char('.') + QLatin1String(ext);
            if (QFileInfo::exists(folder.filePath(name)))
                candidates << name;
        }
    }
    QMap<QString, QString> found;
    for (const char* ext : {"dbf", "shx", "prj", "cpg"}) {
        for (const QString& candidate : candidates) {
            const QFileInfo info(candidate);
            if (info.completeBaseName() == stem && info.suffix().toLower() == QLatin1String(ext)
                && !info.suffix().isEmpty()) {
                found.insert(QLatin1String(ext), folder.filePath(candidate));
                break;
            }
        }
    }
    return found;
}

// Part start indices and points of a polyline or polygon record.
QList<QList<PlmPoint>> readParts(const QByteArray& data, qint64 content, qint64 size)
{
    if (size < 44)
        fail("Parts Shapefile invalides.");
    const quint64 parts = integer(content + 36, 4, false, data);
    const quint64 points = integer(content + 40, 4, false, data);
    if (parts < 1 || parts > quint64(size - 44) / 4)
        fail("Parts Shapefile invalides.");
    if (points < parts || points > quint64(size - 44 - 4 * qint64(parts)) / 16)
        fail("Sommets Shapefile tronqués.");
    QList<quint64> starts;
    starts.reserve(qsizetype(parts) + 1);
    for (quint64 k = 0; k < parts; ++k)
        starts << integer(content + 44 + 4 * qint64(k), 4, false, data);
    starts << points;
    if (starts.first() != 0)
        fail("Index des parts invalides.");
    for (qsizetype k = 1; k < starts.size(); ++k)
        if (starts[k] <= starts[k - 1])
            fail("Index des parts invalides.");
    const qint64 pointsAt = content + 44 + 4 * qint64(parts);
    // Checked once for the whole run of points, which are then copied without a check each.
    if (pointsAt < 0 || qint64(points) > (data.size() - pointsAt) / 16)
        fail("Fichier binaire tronqué.");
    const char* const base = data.constData() + pointsAt;
    QList<QList<PlmPoint>> result;
    result.reserve(qsizetype(parts));
    for (qsizetype k = 0; k + 1 < starts.size(); ++k) {
        QList<PlmPoint> part;
        part.reserve(qsizetype(starts[k + 1] - starts[k])); // exactly: resize alone leaves room to grow
        part.resize(qsizetype(starts[k + 1] - starts[k]));
        PlmPoint* out = part.data();
        for (quint64 i = starts[k]; i < starts[k + 1]; ++i) {
            const quint64 xBits = qFromLittleEndian<quint64>(base + 16 * i);
            const quint64 yBits = qFromLittleEndian<quint64>(base + 16 * i + 8);
            double x = 0, y = 0;
            std::memcpy(&x, &xBits, sizeof x);
            std::memcpy(&y, &yBits, sizeof y);
            if (!std::isfinite(x) || !std::isfinite(y))
                fail("Coordonnée Shapefile non finie.");
            *out++ = PlmPoint{x, y};
        }
        result << std::move(part);
    }
    return result;
}

// The record offsets of a .shx index, or nothing when the index does not describe this .shp
// (bad header, an entry outside the main file or overlapping the one before): then the
// records are read back to back.
std::optional<QList<qint64>> indexedOffsets(const QByteArray& shx, qint64 shpSize)
{
    const qint64 size = shx.size();
    if (size < 100 || (size - 100) % 8 != 0 || integer(0, 4, true, shx) != 9994
        || 2 * qint64(integer(24, 4, true, shx)) != size || integer(28, 4, false, shx) != 1000)
        return std::nullopt;
    QList<qint64> offsets;
    offsets.reserve((size - 100) / 8);
    qint64 previousEnd = 100;
    for (qint64 at = 100; at < size; at += 8) {
        const qint64 offset = 2 * qint64(integer(at, 4, true, shx));
        const qint64 length = 2 * qint64(integer(at + 4, 4, true, shx));
        if (offset < previousEnd || length > shpSize - offset - 8)
            return std::nullopt;
        offsets << offset;
        previousEnd = offset + 8 + length;
    }
    return offsets;
}

// Names come from a name column, else from the record's id. When those repeat (an id column
// left at 0 in every record), no table could tell the zones apart by name: a column whose
// values are all present and distinct names them instead, a name-like column first, then one
// holding text, then any. Nothing when the names are distinct or no column is.
std::optional<QString> distinctNameColumn(const QList<Row>& rows, const QStringList& idNames,
                                          const QStringList& nameNames)
{
    if (rows.size() < 2)
        return std::nullopt;
    QSet<QString> names;
    bool repeated = false;
    for (const Row& row : rows) {
        std::optional<QString> name = firstAttribute(nameNames, row);
        if (!name)
            name = firstAttribute(idNames, row);
        if (!name)
            continue; // named after its record number, which no other record has
        if (names.contains(*name)) {
            repeated = true;
            break;
        }
        names.insert(*name);
    }
    if (!repeated)
        return std::nullopt;
    std::optional<QString> best;
    int bestRank = 3;
    for (auto column = rows.first().cbegin(); column != rows.first().cend(); ++column) {
        const QString& field = column.key();
        if (field.startsWith(QLatin1String("source.")))
            continue;
        const std::optional<bool> text = PlmNameColumn::distinctValuesHoldText(rows, field);
        if (!text)
            continue;
        const QString folded = field.toLower();
        const bool nameLike = folded.contains(QLatin1String("nom")) || folded.contains(QLatin1String("name"))
            || folded.contains(QLatin1String("label")) || folded.contains(QLatin1String("lib"));
        const int rank = nameLike ? 0 : *text ? 1 : 2;
        if (rank < bestRank) {
            best = field;
            bestRank = rank;
        }
    }
    return best;
}

// The name column of the shared rule, asked only when no record has a name field ("name",
// "nom", "label").
std::optional<QString> nameSayingColumn(const QList<Row>& rows, const QStringList& nameNames)
{
    for (const Row& row : rows)
        if (firstAttribute(nameNames, row))
            return std::nullopt;
    return PlmNameColumn::find(rows);
}

} // namespace

PlmStyle defaultStyle()
{
    return PlmStyle(PlmColor{0.2, 0.25, 0.3, 1}, PlmColor{0.85, 0.9, 0.95, 1}, 1.0, 4.0);
}

quint64 integer(qint64 offset, int size, bool bigEndian, const QByteArray& data)
{
    if (size < 1 || size > 8 || offset < 0 || offset > data.size() - size)
        fail("Fichier binaire tronqué.");
    const auto* bytes = reinterpret_cast<const unsigned char*>(data.constData() + offset);
    quint64 value = 0;
    for (int k = 0; k < size; ++k)
        value |= quint64(bytes[k]) << (8 * (bigEndian ? size - 1 - k : k));
    return value;
}

PlmPoint point(qint64 offset, const QByteArray& data)
{
    const quint64 xBits = integer(offset, 8, false, data);
    const quint64 yBits = integer(offset + 8, 8, false, data);
    double x = 0, y = 0;
    std::memcpy(&x, &xBits, sizeof x);
    std::memcpy(&y, &yBits, sizeof y);
    if (!std::isfinite(x) || !std::isfinite(y))
        fail("Coordonnée Shapefile non finie.");
    return PlmPoint{x, y};
}

namespace {

// key.toLower() == lowered, without a lowered copy of each ASCII key (the usual column names).
bool lowersTo(const QString& key, const QString& lowered)
{
    for (const QChar c : key)
        if (c.unicode() >= 0x80)
            return key.toLower() == lowered;
    if (key.size() != lowered.size())
        return false;
    for (qsizetype k = 0; k < key.size(); ++k) {
        char16_t c = key[k].unicode();
        if (c >= u'A' && c <= u'Z')
            c += u'a' - u'A';
        if (c != lowered[k].unicode())
            return false;
    }
    return true;
}

} // namespace

std::optional<QString> firstAttribute(const QStringList& wanted, const Row& row)
{
    for (const QString& name : wanted) {
        // QMap keeps its keys in ascending order.
        for (auto it = row.cbegin(); it != row.cend(); ++it) {
            if (lowersTo(it.key(), name)) {
                if (!it.value().isEmpty())
                    return it.value();
                break;
            }
        }
    }
    return std::nullopt;
}

PlmImportResult read(const QByteArray& data, const QString& url, const QString& name)
{
    if (data.size() < 100 || integer(0, 4, true, data) != 9994 || integer(28, 4, false, data) != 1000
        || 2 * qint64(integer(24, 4, true, data)) != data.size())
        fail("En-tête Shapefile invalide.");

    PlmImportBuilder builder(name, QStringLiteral("Shapefile"));
    const QMap<QString, QString> companions = findCompanions(url);
    QMap<QString, QByteArray> companionBytes;
    for (const char* ext : {"dbf", "shx", "prj", "cpg"}) {
        const QString key = QLatin1String(ext);
        if (!companions.contains(key))
            continue;
        const QByteArray bytes = readCompanion(companions.value(key));
        companionBytes.insert(key, bytes);
        builder.addSource(QFileInfo(companions.value(key)).fileName(), bytes);
    }
    if (companionBytes.contains(QStringLiteral("prj"))) {
        const QByteArray prj = companionBytes.value(QStringLiteral("prj"));
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString text = utf8.decode(prj);
        builder.metadata.insert(QStringLiteral("coordinates.prj"),
                                utf8.hasError() ? QString::fromLatin1(prj.toBase64()) : text);
    }
    builder.metadata.insert(QStringLiteral("coordinates"), QStringLiteral("Coordonnées source, sans reprojection"));

    QList<Row> rows;
    if (companionBytes.contains(QStringLiteral("dbf"))) {
        std::optional<QByteArray> codePage;
        if (companionBytes.contains(QStringLiteral("cpg")))
            codePage = companionBytes.value(QStringLiteral("cpg"));
        rows = readDBF(companionBytes.value(QStringLiteral("dbf")), codePage, builder);
    }

    const PlmStyle style = defaultStyle();
    const QStringList idNames = {QStringLiteral("id"), QStringLiteral("fid"), QStringLiteral("code")};
    const QStringList nameNames = {QStringLiteral("name"), QStringLiteral("nom"), QStringLiteral("label")};
    std::optional<QString> nameColumn = nameSayingColumn(rows, nameNames);
    if (!nameColumn)
        nameColumn = distinctNameColumn(rows, idNames, nameNames);
    const qint64 fileSize = data.size();
    // Some writers leave unused bytes between records; their index says where each one starts.
    std::optional<QList<qint64>> indexed;
    if (companionBytes.contains(QStringLiteral("shx")))
        indexed = indexedOffsets(companionBytes.value(QStringLiteral("shx")), fileSize);
    // Mostly one entity per record: the list is not regrown, nor the set of ids rehashed. The
    // room asked for never exceeds what the file's size can hold (a point record takes 28
    // bytes), nor a bound, so that a file of empty records does not claim memory.
    const qsizetype expected = std::min({indexed ? indexed->size() : rows.size(), qsizetype((fileSize - 100) / 28),
                                         qsizetype(1) << 18});
    builder.entities.reserve(expected);
    builder.usedIDs.reserve(expected);
    qint64 offset = 100;
    qsizetype index = 0;
    while (indexed ? index < indexed->size() : offset < fileSize) {
        if (indexed)
            offset = indexed->at(index);
        const quint64 number = integer(offset, 4, true, data);
        const qint64 size = 2 * qint64(integer(offset + 4, 4, true, data));
        if (size < 4 || size > fileSize - offset - 8)
            fail("Enregistrement Shapefile tronqué.");
        const qint64 content = offset + 8;
        const quint64 type = integer(content, 4, false, data);
        const Row attributes = index < rows.size() ? rows.at(index) : Row();
        const QString recordID = firstAttribute(idNames, attributes).value_or(QStringLiteral("shp:") + QString::number(number));
        const std::optional<QString> recordName =
            nameColumn ? std::optional<QString>(attributes.value(*nameColumn)) : firstAttribute(nameNames, attributes);

        switch (type) {
        case 0:
            builder.note(QStringLiteral("enregistrement nul"));
            break;
        case 1: case 11: case 21:
            if (size < 20)
                fail("Point Shapefile tronqué.");
            builder.addEntity(PlmGeometry::point(point(content + 4, data)), recordID, recordName, style, attributes);
            break;
        case 3: case 13: case 23: {
            const QList<QList<PlmPoint>> parts = readParts(data, content, size);
            for (qsizetype k = 0; k < parts.size(); ++k) {
                const QString id = parts.size() == 1 ? recordID : recordID + QLatin1Char(':') + QString::number(k + 1);
                builder.addEntity(PlmGeometry::polyline(parts[k]), id, recordName, style, attributes);
            }
            break;
        }
        case 5: case 15: case 25:
            builder.addEntity(polygonGeometry(readParts(data, content, size)), recordID, recordName, style, attributes);
            break;
        case 8: case 18: case 28: {
            if (size < 40)
                fail("MultiPoint tronqué.");
            const quint64 count = integer(content + 36, 4, false, data);
            if (count > quint64(size - 40) / 16)
                fail("MultiPoint tronqué.");
            for (quint64 k = 0; k < count; ++k)
                builder.addEntity(PlmGeometry::point(point(content + 40 + 16 * qint64(k), data)),
                                  recordID + QLatin1Char(':') + QString::number(k + 1), recordName, style, attributes);
            break;
        }
        default:
            builder.note(QStringLiteral("type Shapefile ") + QString::number(type));
            break;
        }
        switch (type) {
        case 11: case 21: case 13: case 23: case 15: case 25: case 18: case 28:
            builder.note(QStringLiteral("Z/M conservés dans la source"));
            break;
        default:
            break;
        }
        offset = content + size;
        ++index;
    }
    if (!rows.isEmpty() && rows.size() != index)
        fail("Le nombre de lignes DBF diffère du Shapefile.");
    // Line widths are in map units, and a Shapefile's units are anyone's guess (its .prj is
    // often missing): a width of 1 is a degree-thick outline on a map in degrees and a hairline
    // on one in metres. One pixel at the fitted view reads on both.
    builder.fitOutlinesToExtent(style.lineWidth);
    // Ground distances need the file's own word that its numbers are WGS 84 degrees.
    if (companionBytes.contains(QStringLiteral("prj")) && declaresWgs84Longitudes(companionBytes.value(QStringLiteral("prj")))
        && withinLongitudesAndLatitudes(builder.entities))
        builder.metadata.insert(QStringLiteral("coordinates"), QStringLiteral("longitude/latitude WGS84 (sans reprojection)"));
    return builder.result();
}

} // namespace ShapefileReader
