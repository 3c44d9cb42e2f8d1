#include "basemaps/GeoJSONReader.h"
#include "basemaps/PlmNameColumn.h"
#include "basemaps/PlmSvgStyles.h"

#include "basemaps/PlmVectorImporter.h"
#include "model/PlmErrors.h"
#include "model/PlmJsonDocument.h"
#include "model/PlmParallel.h"

#include <QStringList>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <exception>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace GeoJSONReader {

namespace {

[[noreturn]] void fail(const char* message)
{
    throw PlmImportError::invalid(QString::fromUtf8(message));
}

// A coordinate too large (or too small) for a double: no map can place it. The feature that
// holds it names it in the refusal.
class OutOfRangeCoordinate : public PlmImportError {
public:
    OutOfRangeCoordinate()
        : PlmImportError(QStringLiteral("Coordonnée GeoJSON hors limites."))
    {
    }
};

QString typeOf(const PlmJsonValue& object)
{
    const PlmJsonValue type = object.member("type");
    return type.isString() ? type.toString() : QString();
}

// The whole text is one decimal number (no spaces, no unit), read in the C locale.
std::optional<double> plainNumber(const QString& text)
{
    QByteArray bytes = text.toUtf8();
    // from_chars takes no leading plus sign; one is allowed before the digits.
    if (bytes.startsWith('+')) {
        bytes.remove(0, 1);
        if (bytes.startsWith('+') || bytes.startsWith('-'))
            return std::nullopt;
    }
    if (bytes.isEmpty())
        return std::nullopt;
    double value = 0;
    const auto [end, error] = std::from_chars(bytes.constData(), bytes.constData() + bytes.size(), value);
    if (error != std::errc() || end != bytes.constData() + bytes.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<QList<PlmGeometry>> converted(const QString& type, const PlmJsonValue& coordinates,
                                            PlmImportBuilder& builder);
void addEntities(const QList<PlmGeometry>& geometries, const std::optional<QString>& id,
                 const std::optional<QString>& name, const QMap<QString, QString>& attributes,
                 const PlmStyle& style, PlmImportBuilder& builder);

// The geometries of a feature converted ahead of the walk, on another thread.
struct Prepared {
    bool ready = false;
    std::optional<QList<PlmGeometry>> geometries; // nothing: a type not converted (noted)
    std::exception_ptr error;                     // what the conversion threw
};

// Converts the geometry of a Feature when it is a plain geometry with coordinates; anything
// else (collections, missing parts and their errors) is left to the walk.
void prepare(const PlmJsonValue& feature, PlmImportBuilder& notes, Prepared& prepared)
{
    if (typeOf(feature) != QLatin1String("Feature"))
        return;
    const PlmJsonValue geometry = feature.member("geometry");
    if (!geometry.isObject())
        return;
    const PlmJsonValue typeValue = geometry.member("type");
    if (!typeValue.isString())
        return;
    const QString type = typeValue.toString();
    const PlmJsonValue coordinates = geometry.member("coordinates");
    if (type == QLatin1String("GeometryCollection") || !coordinates.isPresent())
        return;
    prepared.geometries = converted(type, coordinates, notes);
    prepared.ready = true;
}

// The property names of a collection's features, one shared string each: the features of a
// file mostly repeat the same few names, which would otherwise be allocated once per feature.
class PropertyNames {
public:
    QString operator()(std::string_view key)
    {
        if (const auto known = m_names.find(key); known != m_names.end())
            return known->second;
        QString name = QString::fromUtf8(key.data(), qsizetype(key.size()));
        if (m_names.size() < 4096) // the key's bytes live in the document, as long as the walk
            m_names.emplace(key, name);
        return name;
    }

private:
    std::unordered_map<std::string_view, QString> m_names;
};

// Every null property's text is this one string, so that the text a key keeps (its last
// member's) tells by its storage whether it is null: the hundreds of nulls of a wide file's
// features cost neither a string each nor a set of keys hashed one by one. A string « null » in
// the file has storage of its own: it is a value.
const QString& nullText()
{
    static const QString text = QStringLiteral("null");
    return text;
}

bool isNullText(const QString& text)
{
    return text.constData() == nullText().constData();
}

// What the zones' names need once every feature is read: whether any feature has a name
// property, and until one has, for each feature that gave entities, the range of its entities
// and its values of the fields that may name them. Those are the first such feature's fields
// whose names say name, the only ones the name column is looked for among: a copy of every
// property would double a wide file's memory.
struct FeatureNames {
    bool named = false;
    QStringList fields;
    QList<PlmNameColumn::Row> properties;
    QList<std::pair<qsizetype, qsizetype>> entities; // [first, end) in the builder
};

void walkObject(const PlmJsonValue& object, int index, PlmImportBuilder& builder, const PlmStyle& style,
                Prepared* prepared, PropertyNames& names, FeatureNames& featureNames);

// The features of a large collection: their coordinates, most of the work, are converted on
// all cores first; then the features are walked in order, each taking its converted geometry
// or, where its conversion failed, throwing that error where the walk in order would have.
void walkFeatures(const PlmJsonValue& features, PlmImportBuilder& builder, const PlmStyle& style,
                  PropertyNames& names, FeatureNames& featureNames)
{
    constexpr qsizetype parallelFrom = 2048;
    constexpr qsizetype run = 256;
    const qsizetype count = features.size();
    if (count < parallelFrom) {
        int position = 0;
        for (PlmJsonValue feature : features.elements())
            walkObject(feature, position++, builder, style, nullptr, names, featureNames);
        return;
    }
    std::vector<PlmJsonValue> list;
    list.reserve(size_t(count));
    for (PlmJsonValue feature : features.elements())
        list.push_back(feature);
    std::vector<Prepared> prepared(static_cast<size_t>(count));
    std::vector<QMap<QString, int>> notes(static_cast<size_t>((count + run - 1) / run));
    PlmParallel::forRuns(count, run, [&](qsizetype begin, qsizetype end) {
        PlmImportBuilder counted{QString(), QString()};
        for (qsizetype i = begin; i < end; ++i) {
            try {
                prepare(list[size_t(i)], counted, prepared[size_t(i)]);
            } catch (...) {
                prepared[size_t(i)].error = std::current_exception();
                break;
            }
        }
        notes[size_t(begin / run)] = counted.unconverted;
    });
    for (const QMap<QString, int>& runNotes : notes)
        for (auto it = runNotes.cbegin(); it != runNotes.cend(); ++it)
            builder.unconverted[it.key()] += it.value();
    for (qsizetype i = 0; i < count; ++i) {
        Prepared& one = prepared[size_t(i)];
        walkObject(list[size_t(i)], int(i), builder, style, one.ready || one.error ? &one : nullptr, names,
                   featureNames);
    }
}

void copyMetadata(const PlmJsonValue& root, PlmImportBuilder& builder)
{
    for (const char* key : {"name", "attribution", "copyright", "license", "crs"}) {
        const PlmJsonValue value = root.member(key);
        if (value.isPresent())
            builder.metadata.insert(QString::fromLatin1(key), PlmVectorImporter::jsonText(value));
    }
}

} // namespace

PlmStyle defaultStyle()
{
    PlmStyle style(PlmColor{0.2, 0.25, 0.3, 1}, PlmColor{0.85, 0.9, 0.95, 1}, 0.008, 4.0);
    return style;
}

PlmImportResult read(const QByteArray& data, const QString& name)
{
    const PlmJsonDocument document = PlmJsonDocument::parse(data, maximumDepth);
    return read(document, name);
}

PlmImportResult read(const PlmJsonDocument& document, const QString& name)
{
    const PlmJsonValue root = document.root();
    if (!root.isObject())
        fail("GeoJSON invalide.");
    PlmImportBuilder builder(name, QStringLiteral("GeoJSON"));
    builder.metadata.insert(QStringLiteral("coordinates"), QStringLiteral("longitude/latitude WGS84 (sans reprojection)"));
    copyMetadata(root, builder);
    walk(root, 0, builder, defaultStyle());
    builder.widenDegreeOutlines(defaultStyle().lineWidth);
    return builder.result();
}

void walk(const PlmJsonValue& object, int index, PlmImportBuilder& builder, const PlmStyle& style)
{
    PropertyNames names;
    FeatureNames featureNames;
    walkObject(object, index, builder, style, nullptr, names, featureNames);
    // Without a name property anywhere, the zones take their names from a name column, as a
    // Shapefile's do.
    if (featureNames.named)
        return;
    const std::optional<QString> column = PlmNameColumn::find(featureNames.properties);
    if (!column)
        return;
    for (qsizetype k = 0; k < featureNames.properties.size(); ++k) {
        const QString name = featureNames.properties[k].value(*column);
        for (qsizetype i = featureNames.entities[k].first; i < featureNames.entities[k].second; ++i)
            builder.entities[i].name = name;
    }
}

namespace {

void walkObject(const PlmJsonValue& object, int index, PlmImportBuilder& builder, const PlmStyle& style,
                Prepared* prepared, PropertyNames& names, FeatureNames& featureNames)
{
    const QString type = typeOf(object);
    if (type == QLatin1String("FeatureCollection")) {
        const PlmJsonValue features = object.member("features");
        if (!features.isArray())
            fail("Features invalides.");
        for (PlmJsonValue feature : features.elements())
            if (!feature.isObject())
                fail("Features invalides.");
        // Mostly one entity per feature: the list is not regrown, moving every entity each time,
        // nor the set of ids rehashed. The room asked for is bounded, so that a text of empty
        // features does not claim memory.
        const qsizetype expected = std::min(features.size(), qsizetype(1) << 18);
        builder.entities.reserve(builder.entities.size() + expected);
        builder.usedIDs.reserve(builder.usedIDs.size() + expected);
        walkFeatures(features, builder, style, names, featureNames);
        return;
    }
    if (type == QLatin1String("Feature")) {
        const PlmJsonValue geometry = object.member("geometry");
        if (!geometry.isObject()) {
            builder.note(QStringLiteral("géométrie nulle"));
            return;
        }
        // A null property keeps its text among the attributes, as stored documents have it, but
        // it is a missing value: it gives no id, no name, and no value to the name column.
        QMap<QString, QString> attributes;
        const PlmJsonValue properties = object.member("properties");
        if (properties.isObject())
            for (auto [key, value] : properties.members())
                attributes.insert(names(key), value.isNull() ? nullText() : PlmVectorImporter::jsonText(value));
        const auto present = [&](const QString& key) {
            const auto it = attributes.constFind(key);
            return it != attributes.cend() && !isNullText(it.value());
        };

        QString id;
        const PlmJsonValue featureID = object.member("id");
        if (featureID.isPresent() && !featureID.isNull())
            id = PlmVectorImporter::jsonText(featureID);
        else if (present(QStringLiteral("id")))
            id = attributes.value(QStringLiteral("id"));
        else
            id = QStringLiteral("geojson:") + QString::number(qint64(index) + 1);

        PlmStyle featureStyle = style;
        if (const auto fill = attributes.constFind(QStringLiteral("fill")); fill != attributes.cend())
            if (const std::optional<PlmColor> colour = PlmSvgStyles::svgColor(fill.value()))
                featureStyle.fill = colour;
        if (const auto stroke = attributes.constFind(QStringLiteral("stroke")); stroke != attributes.cend())
            if (const std::optional<PlmColor> colour = PlmSvgStyles::svgColor(stroke.value()))
                featureStyle.stroke = *colour;
        // A width that does not read, or a negative one that no map can hold, acts as none: the
        // default, widened with the others. Zero is a width: no outline.
        bool writtenWidth = false;
        if (const auto width = attributes.constFind(QStringLiteral("stroke-width")); width != attributes.cend())
            if (const std::optional<double> value = plainNumber(width.value()); value && *value >= 0) {
                featureStyle.lineWidth = *value;
                writtenWidth = true;
            }

        std::optional<QString> name;
        for (const QString& key : {QStringLiteral("name"), QStringLiteral("NAME"), QStringLiteral("nom")}) {
            if (present(key)) {
                name = attributes.value(key);
                break;
            }
        }
        if (name && !featureNames.named) {
            // One name property names the file's zones: no name column will be looked for.
            featureNames.named = true;
            featureNames.properties.clear();
            featureNames.entities.clear();
        }
        const qsizetype first = builder.entities.size();
        try {
            if (!prepared) {
                addGeometry(geometry, id, name, attributes, featureStyle, builder);
            } else if (prepared->error) {
                std::rethrow_exception(prepared->error);
            } else if (prepared->geometries) {
                addEntities(*prepared->geometries, id, name, attributes, featureStyle, builder);
            }
        } catch (const OutOfRangeCoordinate&) {
            throw PlmImportError::invalid(QStringLiteral("Coordonnée GeoJSON hors limites dans l’objet « %1 ».").arg(id));
        }
        if (writtenWidth)
            builder.keepWrittenWidths(first);
        if (!featureNames.named && builder.entities.size() > first) {
            if (featureNames.properties.isEmpty())
                for (auto it = attributes.cbegin(); it != attributes.cend(); ++it)
                    if (PlmNameColumn::saysName(it.key()))
                        featureNames.fields << it.key();
            PlmNameColumn::Row values;
            for (const QString& field : std::as_const(featureNames.fields))
                if (const auto it = attributes.constFind(field); it != attributes.cend())
                    values.insert(field, isNullText(it.value()) ? QString() : it.value());
            featureNames.properties << values;
            featureNames.entities << std::pair(first, builder.entities.size());
        }
        return;
    }
    addGeometry(object, std::nullopt, std::nullopt, {}, style, builder);
}

} // namespace

void addGeometry(const PlmJsonValue& geometry, const std::optional<QString>& id,
                 const std::optional<QString>& name, const QMap<QString, QString>& attributes,
                 const PlmStyle& style, PlmImportBuilder& builder)
{
    const PlmJsonValue typeValue = geometry.member("type");
    if (!typeValue.isString())
        fail("Type GeoJSON absent.");
    const QString type = typeValue.toString();
    if (type == QLatin1String("GeometryCollection")) {
        const PlmJsonValue members = geometry.member("geometries");
        if (!members.isArray())
            fail("Collection invalide.");
        for (PlmJsonValue member : members.elements())
            if (!member.isObject())
                fail("Collection invalide.");
        int k = 0;
        for (PlmJsonValue member : members.elements()) {
            ++k;
            const std::optional<QString> memberID =
                id ? std::optional<QString>(*id + QLatin1Char(':') + QString::number(k)) : std::nullopt;
            addGeometry(member, memberID, name, attributes, style, builder);
        }
        return;
    }
    const PlmJsonValue coordinates = geometry.member("coordinates");
    if (!coordinates.isPresent())
        fail("Coordonnées absentes.");
    const std::optional<QList<PlmGeometry>> geometries = converted(type, coordinates, builder);
    if (geometries)
        addEntities(*geometries, id, name, attributes, style, builder);
}

namespace {

// The geometries of one geometry object other than a collection, or nothing for a type that
// is not converted (noted).
std::optional<QList<PlmGeometry>> converted(const QString& type, const PlmJsonValue& coordinates,
                                            PlmImportBuilder& builder)
{
    QList<PlmGeometry> geometries;
    if (type == QLatin1String("Point")) {
        geometries << PlmGeometry::point(position(coordinates, builder));
    } else if (type == QLatin1String("LineString")) {
        geometries << PlmGeometry::polyline(line(coordinates, builder));
    } else if (type == QLatin1String("Polygon")) {
        if (std::optional<PlmPolygon> read = polygon(coordinates, builder))
            geometries << PlmGeometry::polygon(*read);
    } else if (type == QLatin1String("MultiPolygon")) {
        if (!coordinates.isArray())
            fail("Multipolygone invalide.");
        QList<PlmPolygon> polygons;
        for (PlmJsonValue member : coordinates.elements())
            if (std::optional<PlmPolygon> read = polygon(member, builder))
                polygons << *read;
        if (!polygons.isEmpty())
            geometries << PlmGeometry::multipolygon(polygons);
    } else if (type == QLatin1String("MultiLineString") || type == QLatin1String("MultiPoint")) {
        if (!coordinates.isArray())
            fail("Géométrie multiple invalide.");
        const bool lines = type == QLatin1String("MultiLineString");
        for (PlmJsonValue member : coordinates.elements())
            geometries << (lines ? PlmGeometry::polyline(line(member, builder))
                                 : PlmGeometry::point(position(member, builder)));
    } else {
        builder.note(QStringLiteral("géométrie ") + type);
        return std::nullopt;
    }
    return geometries;
}

void addEntities(const QList<PlmGeometry>& geometries, const std::optional<QString>& id,
                 const std::optional<QString>& name, const QMap<QString, QString>& attributes,
                 const PlmStyle& style, PlmImportBuilder& builder)
{
    for (qsizetype k = 0; k < geometries.size(); ++k) {
        std::optional<QString> entityID;
        if (id)
            entityID = geometries.size() == 1 ? *id : *id + QLatin1Char(':') + QString::number(k + 1);
        builder.addEntity(geometries[k], entityID, name, style, attributes);
    }
}

} // namespace

PlmPoint position(const PlmJsonValue& value, PlmImportBuilder& builder)
{
    if (!value.isArray())
        fail("Coordonnées GeoJSON invalides.");
    double xy[2] = {0, 0};
    int i = 0;
    for (PlmJsonValue element : value.elements()) {
        if (!element.isNumber())
            fail("Coordonnées GeoJSON invalides.");
        if (i < 2) {
            const std::optional<double> number = element.toDoubleIfHeld();
            if (!number) // a number, but not one a double holds
                throw OutOfRangeCoordinate();
            xy[i] = *number;
        }
        ++i;
    }
    // Fewer than two numbers fails as the same sentence (counted here: an array of numbers
    // has no size stored).
    if (i < 2 || !std::isfinite(xy[0]) || !std::isfinite(xy[1]))
        fail("Coordonnées GeoJSON invalides.");
    if (i > 2)
        builder.note(QStringLiteral("altitude/mesure conservée dans la source"));
    return PlmPoint{xy[0], xy[1]};
}

QList<PlmPoint> line(const PlmJsonValue& value, PlmImportBuilder& builder)
{
    if (!value.isArray())
        fail("Ligne GeoJSON invalide.");
    QList<PlmPoint> points;
    points.reserve(value.size());
    for (PlmJsonValue element : value.elements())
        points << position(element, builder);
    return points;
}

std::optional<PlmPolygon> polygon(const PlmJsonValue& value, PlmImportBuilder& builder)
{
    if (!value.isArray() || value.size() == 0)
        fail("Polygone GeoJSON vide.");
    QList<QList<PlmPoint>> rings;
    rings.reserve(value.size());
    for (PlmJsonValue element : value.elements()) {
        QList<PlmPoint> ring = line(element, builder);
        if (ring.size() < 4 || ring.first().x != ring.last().x || ring.first().y != ring.last().y)
            fail("Anneau GeoJSON non fermé.");
        rings << std::move(ring);
    }
    if (!ringHasArea(rings.first())) {
        builder.note(QStringLiteral("polygone dégénéré (source conservée)"));
        return std::nullopt;
    }
    PlmPolygon result;
    result.exterior = rings.first();
    for (qsizetype k = 1; k < rings.size(); ++k) {
        if (ringHasArea(rings[k]))
            result.holes << rings[k];
        else
            builder.note(QStringLiteral("trou dégénéré (source conservée)"));
    }
    return result;
}

bool ringHasArea(const QList<PlmPoint>& ring)
{
    // Distinct shortest texts are distinct bit patterns of finite doubles (0 and -0 differ in
    // both), so comparing bits avoids writing every point out.
    struct Bits {
        quint64 x, y;
        bool operator==(const Bits&) const = default;
    };
    Bits seen[2];
    int count = 0;
    for (const PlmPoint& p : ring) {
        Bits bits;
        std::memcpy(&bits.x, &p.x, sizeof bits.x);
        std::memcpy(&bits.y, &p.y, sizeof bits.y);
        bool known = false;
        for (int k = 0; k < count; ++k)
            known = known || seen[k] == bits;
        if (known)
            continue;
        if (count == 2)
            return true;
        seen[count++] = bits;
    }
    return false;
}

} // namespace GeoJSONReader
