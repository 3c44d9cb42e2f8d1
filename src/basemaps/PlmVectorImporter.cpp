#include "basemaps/PlmVectorImporter.h"
#include "basemaps/PlmInstalledFonts.h"

#include "basemaps/EPSImporter.h"
#include "basemaps/GeoJSONReader.h"
#include "basemaps/LegacyPelmoraImporter.h"
#include "basemaps/LegacyPelmoraTable.h"
#include "basemaps/ShapefileReader.h"
#include "basemaps/PlmSvgReader.h"
#include "model/PlmErrors.h"
#include "model/PlmJsonDocument.h"
#include "model/PlmMapCodec.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QXmlStreamReader>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>
#include <vector>

namespace {

// The data tables read older Pelmora tables through a hook: the import, linked into every
// program that reads them, fills it before main runs.
const bool legacyTableParserRegistered = (LegacyPelmoraTable::registerWithInputReader(), true);

} // namespace

namespace PlmVectorImporter {

namespace {

// The unconverted counts of an older Pelmora map, read back from the reader's metadata.
void countLegacyUnconverted(PlmImportResult& result)
{
    const QMap<QString, QString>& metadata = result.map.metadata;
    if (metadata.contains(QStringLiteral("import.unconverted"))) {
        bool ok = false;
        const int points = metadata.value(QStringLiteral("legacy.pointsCount")).toInt(&ok);
        result.unconverted[QStringLiteral("points historiques non reconnus")] = ok ? points : 1;
    }
    bool ok = false;
    const int maps = metadata.value(QStringLiteral("legacy.collectionCount")).toInt(&ok);
    if (ok && maps >= 2)
        result.unconverted[QStringLiteral("fonds indépendants conservés dans la collection")] = maps - 1;
}

const QStringList geoJsonTypes = {
    QStringLiteral("FeatureCollection"), QStringLiteral("Feature"), QStringLiteral("Point"),
    QStringLiteral("MultiPoint"), QStringLiteral("LineString"), QStringLiteral("MultiLineString"),
    QStringLiteral("Polygon"), QStringLiteral("MultiPolygon"), QStringLiteral("GeometryCollection")};

void appendEscaped(std::string& out, std::string_view utf8)
{
    out += '"';
    for (const char c : utf8) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '/': out += "\\/"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        case '\b': out += "\\b"; break;
        case '\f': out += "\\f"; break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                static const char hex[] = "0123456789abcdef";
                out += "\\u00";
                out += hex[(c >> 4) & 0xf];
                out += hex[c & 0xf];
            } else {
                out += c;
            }
        }
    }
    out += '"';
}

std::string numberText(double value)
{
    // Integral values print without a fraction, as JSON serialisers write them.
    if (std::isfinite(value) && value == std::trunc(value) && std::fabs(value) < 1e17)
        return std::to_string(static_cast<long long>(value));
    char buffer[32];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
    return error == std::errc() ? std::string(buffer, end) : std::string("0");
}

// A number shortest, or as the file writes it when no double holds it (1e400): one such value
// is kept as written rather than refusing the file.
std::string numberText(const PlmJsonValue& value)
{
    if (const std::optional<double> number = value.toDoubleIfHeld())
        return numberText(*number);
    return std::string(value.numberText());
}

// The depth is bounded by the parse that made the value.
void appendCompact(std::string& out, const PlmJsonValue& value)
{
    switch (value.type()) {
    case PlmJsonType::null: out += "null"; break;
    case PlmJsonType::boolean: out += value.toBool() ? "true" : "false"; break;
    case PlmJsonType::number: out += numberText(value); break;
    case PlmJsonType::string: appendEscaped(out, value.toUtf8()); break;
    case PlmJsonType::array: {
        out += '[';
        bool first = true;
        for (PlmJsonValue element : value.elements()) {
            if (!first)
                out += ',';
            first = false;
            appendCompact(out, element);
        }
        out += ']';
        break;
    }
    case PlmJsonType::object: {
        std::vector<std::pair<std::string_view, PlmJsonValue>> members;
        for (auto member : value.members())
            members.push_back(member);
        // Sorted keys; a repeated key keeps its first value, like member().
        std::stable_sort(members.begin(), members.end(),
                         [](const auto& x, const auto& y) { return x.first < y.first; });
        out += '{';
        bool first = true;
        std::string_view previous;
        for (const auto& [key, member] : members) {
            if (!first && key == previous)
                continue;
            if (!first)
                out += ',';
            first = false;
            previous = key;
            appendEscaped(out, key);
            out += ':';
            appendCompact(out, member);
        }
        out += '}';
        break;
    }
    }
}

std::optional<double> parseNumber(QStringView text)
{
    QByteArray bytes = text.toLatin1();
    if (bytes.startsWith('+'))
        bytes.remove(0, 1);
    double value = 0;
    const auto [end, error] = std::from_chars(bytes.constData(), bytes.constData() + bytes.size(), value);
    if (error != std::errc() || end != bytes.constData() + bytes.size())
        return std::nullopt;
    return value;
}

void countSubstitutedFonts(PlmImportResult& result)
{
    QStringList names;
    QSet<QString> seen;
    for (const PlmEntity& leaf : PlmEntity::leafEntities(result.map.entities)) {
        if (const PlmText* text = leaf.geometry.asText()) {
            if (!seen.contains(text->fontName)) {
                seen.insert(text->fontName);
                names << text->fontName;
            }
        }
    }
    if (names.isEmpty())
        return;
    for (const QString& name : names)
        if (!PlmInstalledFonts::isInstalled(name))
            ++result.unconverted[QStringLiteral("police substituée : ") + name];
}

} // namespace

bool isShapefile(const QByteArray& bytes)
{
    return bytes.size() >= 4 && bytes.startsWith(QByteArrayLiteral("\x00\x00\x27\x0a"));
}

bool isPostScript(const QByteArray& bytes)
{
    return EPSImporter::isPostScript(bytes);
}

bool isSVG(const QByteArray& bytes)
{
    // The whole document must parse, with the SVG reader's own bounds and entity guards.
    return PlmSvgReader::isSVG(bytes);
}

PlmImportResult importMap(const QString& path)
{
    const QFileInfo info(path);
    QFile file(path);
    if (!info.isFile() || !file.open(QIODevice::ReadOnly))
        throw PlmImportError::invalid(QStringLiteral("Le fichier « %1 » ne peut pas être lu.").arg(info.fileName()));
    if (file.size() > maximumFileSize)
        throw PlmImportError::invalid(plmLargeFileMessage(path));
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw PlmImportError::invalid(QStringLiteral("Le fichier « %1 » ne peut pas être lu.").arg(info.fileName()));
    // The companions of a Shapefile are chosen by mistake (the index even starts with the
    // Shapefile's own signature); a PDF-based Illustrator file holds PostScript fragments.
    static const QStringList companions = {QStringLiteral("shx"), QStringLiteral("dbf"), QStringLiteral("sbn"),
                                           QStringLiteral("sbx"), QStringLiteral("prj"), QStringLiteral("cpg")};
    if (companions.contains(info.suffix().toLower()))
        throw PlmImportError::invalid(companionMessage(info.fileName()));
    if (bytes.startsWith("%PDF"))
        throw PlmImportError::invalid(pdfIllustratorMessage(info.fileName()));
    try {
        return importData(bytes, path);
    } catch (const PlmImportError& error) {
        throw PlmImportError::invalid(refusalMessage(info.fileName(), error.message()));
    } catch (const PlmMapError& error) {
        throw PlmMapError::invalid(refusalMessage(info.fileName(), error.message()));
    }
}

QString refusalMessage(const QString& fileName, const QString& reason)
{
    // A sentence that already names the file stands as it is.
    if (fileName.isEmpty() || reason.contains(fileName))
        return reason;
    QString lowered = reason;
    // "Enregistrement…" and "L’opérateur…" read on after the colon in lower case; "SVG…" and
    // "DBF…" keep theirs.
    if (lowered.size() > 1 && lowered[0].isUpper() && (lowered[1].isLower() || lowered[1] == QChar(0x2019)))
        lowered[0] = lowered[0].toLower();
    return QStringLiteral("Le fichier « %1 » ne peut pas être importé : %2").arg(fileName, lowered);
}

QString companionMessage(const QString& fileName)
{
    return QStringLiteral("Le fichier « %1 » accompagne un Shapefile et ne se lit pas seul. "
                          "Choisissez le fichier .shp de ce fond.")
        .arg(fileName);
}

QString pdfIllustratorMessage(const QString& fileName)
{
    return QStringLiteral("Le fichier « %1 » est un document Illustrator enregistré au format PDF, qui n’est pas "
                          "lu. Enregistrez-le en EPS ou en SVG pour l’importer.")
        .arg(fileName);
}

PlmImportResult importData(const QByteArray& bytes, const QString& path)
{
    const QFileInfo info(path);
    const QString fileName = info.fileName();
    const QString baseName = info.suffix().isEmpty() ? fileName : info.completeBaseName();

    // One parse serves the native test, the native decoding and the GeoJSON test. A base-map
    // document is an object holding "map" and "version"; a text nested deeper than the GeoJSON
    // bound (a map of deeply nested groups) is only ever decoded as a native document.
    std::optional<PlmJsonDocument> json;
    try {
        json.emplace(PlmJsonDocument::parse(bytes, PlmJsonDocument::unboundedDepth));
    } catch (const std::exception&) {
    }
    const bool withinGeoJsonDepth = json && json->depth() <= GeoJSONReader::maximumDepth;
    const bool mayBeNative = json
                          && (!withinGeoJsonDepth
                              || (json->root().isObject() && json->root().member("map").isPresent()
                                  && json->root().member("version").isPresent()));
    if (mayBeNative) {
        try {
            PlmImportResult native;
            native.map = PlmMapCodec::decode(*json);
            native.isNativeDocument = true;
            return native;
        } catch (const std::exception&) {
            // Not a base-map document: recognition goes on.
        }
    }

    PlmImportResult result;
    if (LegacyPelmoraImporter::isLegacyBaseMap(bytes)) {
        result.map = LegacyPelmoraImporter::importMap(bytes, LegacyPelmoraImporter::mapName(fileName), fileName);
        countLegacyUnconverted(result);
    } else if (isShapefile(bytes)) {
        result = ShapefileReader::read(bytes, path, baseName);
    } else if (isPostScript(bytes)) {
        result = EPSImporter::importMap(bytes, baseName);
    } else {
        bool isGeoJson = false;
        if (withinGeoJsonDepth) {
            const PlmJsonValue root = json->root();
            if (root.isObject()) {
                const PlmJsonValue type = root.member("type");
                isGeoJson = type.isString() && geoJsonTypes.contains(type.toString());
            }
        }
        if (isGeoJson)
            result = GeoJSONReader::read(*json, baseName);
        else if (isSVG(bytes))
            result = PlmSvgReader::importSVG(bytes, baseName);
        else
            throw PlmImportError::invalid(QStringLiteral("Format vectoriel non reconnu : ") + fileName + QLatin1Char('.'));
    }
    finish(result, fileName, bytes);
    return result;
}

void finish(PlmImportResult& result, const QString& fileName, const QByteArray& bytes)
{
    PlmMap& map = result.map;
    QList<PlmSource> sources = map.sources.value_or(QList<PlmSource>());
    const PlmSource self{fileName, bytes};
    if (!sources.contains(self))
        sources.append(self);
    map.sources = sources;
    map.metadata.insert(QStringLiteral("source.filename"), fileName);
    map.metadata.insert(QStringLiteral("import.unconverted"), PlmImportResult::unconvertedText(result.unconverted));
    countSubstitutedFonts(result);
    map.metadata.insert(QStringLiteral("import.unconverted"), PlmImportResult::unconvertedText(result.unconverted));
    PlmMapCodec::validate(map);
}

QList<double> numbers(const QString& text)
{
    static const QRegularExpression pattern(
        QStringLiteral("[-+]?(?:\\d*\\.\\d+|\\d+\\.?\\d*)(?:[eE][-+]?\\d+)?"));
    QList<double> values;
    for (auto it = pattern.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        if (const std::optional<double> value = parseNumber(match.capturedView()))
            values << *value;
    }
    return values;
}

QString jsonText(const PlmJsonValue& value)
{
    if (value.isString())
        return value.toString();
    std::string out;
    appendCompact(out, value);
    return QString::fromStdString(out);
}

QString shortestText(double value)
{
    char buffer[32];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
    return error == std::errc() ? QString::fromLatin1(buffer, end - buffer) : QString();
}

} // namespace PlmVectorImporter
