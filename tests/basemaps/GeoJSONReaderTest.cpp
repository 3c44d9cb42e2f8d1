#include "basemaps/GeoJSONReader.h"
#include "model/PlmErrors.h"
#include "support/TableReaderTestSupport.h"
#include "support/UsStatesFixture.h"

#include <gtest/gtest.h>

namespace {

PlmImportResult read(const char* json)
{
    return GeoJSONReader::read(QByteArray(json), QStringLiteral("Carte"));
}

QString failure(const char* json)
{
    return errorOf([&] { read(json); });
}

QStringList ids(const PlmImportResult& result)
{
    QStringList out;
    for (const PlmEntity& e : result.map.entities)
        out << e.id;
    return out;
}

QString feature(const QString& extra, const QString& geometry = QString::fromUtf8(R"({"type":"Point","coordinates":[1,2]})"))
{
    return QString::fromUtf8(R"({"type":"Feature",%1"geometry":%2})").arg(extra, geometry);
}

PlmImportResult readText(const QString& json)
{
    return GeoJSONReader::read(json.toUtf8(), QStringLiteral("Carte"));
}

// The features [from, to) of a large collection: unit squares with ids and names, except the
// geometries given by position.
QString squareFeatures(int from, int to, const QMap<int, QString>& special)
{
    QStringList features;
    for (int i = from; i < to; ++i)
        features << feature(QStringLiteral("\"id\":\"f%1\",\"properties\":{\"nom\":\"c%1\"},").arg(i),
                            special.value(i, QStringLiteral("{\"type\":\"Polygon\",\"coordinates\":"
                                                            "[[[%1,0],[%2,0],[%2,1],[%1,1],[%1,0]]]}").arg(i).arg(i + 1)));
    return features.join(QLatin1Char(','));
}

QString featureCollection(const QString& features)
{
    return QStringLiteral("{\"type\":\"FeatureCollection\",\"features\":[%1]}").arg(features);
}

} // namespace

TEST(GeoJSONReaderTest, featuresWithoutIdsAreNumberedByPosition)
{
    const PlmImportResult result = read(R"({"type":"FeatureCollection","features":[
        {"type":"Feature","geometry":{"type":"Point","coordinates":[1,2]}},
        {"type":"Feature","geometry":null},
        {"type":"Feature","geometry":{"type":"Point","coordinates":[3,4]}},
        {"type":"Feature","geometry":{"type":"Point","coordinates":[5,6]}}]})");
    EXPECT_EQ(ids(result), (QStringList{QStringLiteral("geojson:1"), QStringLiteral("geojson:3"), QStringLiteral("geojson:4")}));
    EXPECT_EQ(result.unconverted, (QMap<QString, int>{{QStringLiteral("géométrie nulle"), 1}}));
    EXPECT_EQ(result.map.metadata.value(QStringLiteral("source.format")), QStringLiteral("GeoJSON"));
    EXPECT_EQ(result.map.metadata.value(QStringLiteral("coordinates")),
              QStringLiteral("longitude/latitude WGS84 (sans reprojection)"));
    EXPECT_FALSE(result.isNativeDocument);
}

TEST(GeoJSONReaderTest, idsComeFromTheMemberThenTheProperty)
{
    EXPECT_EQ(ids(readText(feature(QString::fromUtf8(R"("id":7,"properties":{"id":"B"},)")))), QStringList{QStringLiteral("7")});
    EXPECT_EQ(ids(readText(feature(QString::fromUtf8(R"("properties":{"id":"A1"},)")))), QStringList{QStringLiteral("A1")});
}

TEST(GeoJSONReaderTest, propertiesBecomeTextAttributes)
{
    const PlmImportResult result = readText(feature(
        QString::fromUtf8(R"("properties":{"s":"texte","n":12,"f":1.5,"b":true,"z":null,"o":{"b":[1,"x/y"],"a":2},"h":[-1E400]},)")));
    const QMap<QString, QString> a = result.map.entities.first().attributes;
    EXPECT_EQ(a.value(QStringLiteral("s")), QStringLiteral("texte"));
    EXPECT_EQ(a.value(QStringLiteral("n")), QStringLiteral("12"));
    EXPECT_EQ(a.value(QStringLiteral("f")), QStringLiteral("1.5"));
    EXPECT_EQ(a.value(QStringLiteral("b")), QStringLiteral("true"));
    EXPECT_EQ(a.value(QStringLiteral("z")), QStringLiteral("null"));
    EXPECT_EQ(a.value(QStringLiteral("o")), QString::fromUtf8(R"({"a":2,"b":[1,"x\/y"]})"));
    EXPECT_EQ(a.value(QStringLiteral("h")), QStringLiteral("[-1E400]")); // too large for a double: as written
}

// Thousands of features repeat the same few property names: each name is one shared string.
TEST(GeoJSONReaderTest, featuresShareTheirPropertyNames)
{
    const PlmImportResult result = readText(QStringLiteral("{\"type\":\"FeatureCollection\",\"features\":[%1,%2]}")
                                                .arg(feature(QStringLiteral("\"properties\":{\"code\":\"1\"},")),
                                                     feature(QStringLiteral("\"properties\":{\"code\":\"2\"},"))));
    ASSERT_EQ(result.map.entities.size(), 2);
    const QString first = result.map.entities.at(0).attributes.firstKey();
    EXPECT_EQ(first, QStringLiteral("code"));
    EXPECT_TRUE(first.isSharedWith(result.map.entities.at(1).attributes.firstKey()));
}

// A null property is a missing value: it gives neither a name nor an id, as if it were absent.
TEST(GeoJSONReaderTest, namesFollowNameThenNAMEThenNomThenTheId)
{
    const struct {
        const char* name;
        const char* members; // of the one feature
        const char* id;
        const char* zone;
    } cases[] = {
        {"an empty name stays empty", R"("id":"a","properties":{"name":"","nom":"Lyon"},)", "a", ""},
        {"NAME before nom", R"("id":"a","properties":{"NAME":"N","nom":"Lyon"},)", "a", "N"},
        {"nom alone", R"("id":"a","properties":{"nom":"Lyon"},)", "a", "Lyon"},
        {"no name property", R"("id":"a",)", "a", "a"},
        {"a null name gives way to NAME", R"("id":"a","properties":{"name":null,"NAME":"N"},)", "a", "N"},
        {"null names give way to the id", R"("id":"a","properties":{"name":null,"nom":null},)", "a", "a"},
        {"a null id property gives way to the position", R"("properties":{"id":null,"name":null},)", "geojson:1", "geojson:1"},
        {"a null id member gives way to the property", R"("id":null,"properties":{"id":"B"},)", "B", "B"},
        {"a null member replaced by a later one", R"("id":"a","properties":{"name":null,"name":"Lyon"},)", "a", "Lyon"},
        {"the text null is a name and an id", R"("properties":{"id":"null","name":"null"},)", "null", "null"},
        {"a text null replaced by a null", R"("id":"a","properties":{"name":"null","name":null},)", "a", "a"},
    };
    for (const auto& c : cases) {
        const PlmImportResult result = readText(feature(QString::fromUtf8(c.members)));
        ASSERT_EQ(result.map.entities.size(), 1) << c.name;
        EXPECT_EQ(result.map.entities.first().id, QString::fromUtf8(c.id)) << c.name;
        EXPECT_EQ(result.map.entities.first().name, QString::fromUtf8(c.zone)) << c.name;
    }
}

// Without a name property in any feature, the zones take their names from a name column, as a
// Shapefile's do; one feature with a name property, even empty, keeps the names of the file.
TEST(GeoJSONReaderTest, withoutANamePropertyNamesComeFromANameColumn)
{
    const PlmImportResult states = GeoJSONReader::read(UsStatesFixture::geojson(), QStringLiteral("states"));
    QList<std::pair<QString, QString>> zones, expected;
    for (const PlmEntity& e : states.map.entities)
        zones << std::pair(e.id, e.name);
    for (int k = 0; k < UsStatesFixture::stateCount; ++k)
        expected << std::pair(QStringLiteral("geojson:%1").arg(k + 1), QString::fromUtf8(UsStatesFixture::states[k].name));
    EXPECT_EQ(zones, expected);

    const PlmImportResult named = readText(featureCollection(
        feature(QStringLiteral("\"properties\":{\"name\":\"\",\"NAME_1\":\"Corse\"},")) + QLatin1Char(',')
        + feature(QStringLiteral("\"properties\":{\"NAME_1\":\"Bretagne\"},"))));
    QStringList names;
    for (const PlmEntity& e : named.map.entities)
        names << e.name;
    EXPECT_EQ(names, (QStringList{QString(), QStringLiteral("geojson:2")}));
}

// What the file's features give the name column: nulls are missing values (the attributes keep
// their text), and every entity of a feature that makes several carries the feature's name.
TEST(GeoJSONReaderTest, theNameColumnReadsNullsAsMissingAndNamesEveryEntity)
{
    const auto zoneNames = [](const PlmImportResult& result) {
        QStringList out;
        for (const PlmEntity& e : result.map.entities)
            out << e.name;
        return out;
    };
    // A numeric code with one null is no name column; the text names are.
    const PlmImportResult codes = readText(featureCollection(
        feature(QStringLiteral("\"properties\":{\"NAME_CODE\":1,\"country_name\":\"Bénin\",\"name\":null},")) + QLatin1Char(',')
        + feature(QStringLiteral("\"properties\":{\"NAME_CODE\":null,\"country_name\":\"Togo\",\"name\":null},"))));
    EXPECT_EQ(zoneNames(codes), (QStringList{QStringLiteral("Bénin"), QStringLiteral("Togo")}));
    EXPECT_EQ(codes.map.entities.last().attributes.value(QStringLiteral("NAME_CODE")), QStringLiteral("null"));
    EXPECT_EQ(codes.map.entities.last().attributes.value(QStringLiteral("name")), QStringLiteral("null"));

    // A null in the only name column leaves the ids as names.
    const PlmImportResult gap = readText(featureCollection(
        feature(QStringLiteral("\"id\":\"a\",\"properties\":{\"NOM_COM\":\"Vienne\"},")) + QLatin1Char(',')
        + feature(QStringLiteral("\"id\":\"b\",\"properties\":{\"NOM_COM\":null},"))));
    EXPECT_EQ(zoneNames(gap), (QStringList{QStringLiteral("a"), QStringLiteral("b")}));

    const PlmImportResult several = readText(featureCollection(
        feature(QStringLiteral("\"properties\":{\"NAME_1\":\"Corse\"},"),
                QStringLiteral("{\"type\":\"MultiPoint\",\"coordinates\":[[1,2],[3,4]]}")) + QLatin1Char(',')
        + feature(QStringLiteral("\"properties\":{\"NAME_1\":\"Bretagne\"},"),
                  QStringLiteral("{\"type\":\"MultiLineString\",\"coordinates\":[[[0,0],[1,1]],[[2,2],[3,3]]]}"))
        + QLatin1Char(',')
        + feature(QStringLiteral("\"properties\":{\"NAME_1\":\"Alsace\"},"),
                  QStringLiteral("{\"type\":\"GeometryCollection\",\"geometries\":[{\"type\":\"Point\",\"coordinates\":[5,6]},"
                                 "{\"type\":\"Point\",\"coordinates\":[7,8]}]}"))));
    EXPECT_EQ(zoneNames(several), (QStringList{QStringLiteral("Corse"), QStringLiteral("Corse"), QStringLiteral("Bretagne"),
                                               QStringLiteral("Bretagne"), QStringLiteral("Alsace"), QStringLiteral("Alsace")}));
}

// Wide files hold many nulls before their values. What decides names and ids is each key's last
// member, null or not, however many nulls came before it in the feature and in earlier features;
// the attributes keep every key's last text, « null » included. The text « null » is a value.
TEST(GeoJSONReaderTest, manyNullsFirstLeaveEachKeyItsLastMember)
{
    constexpr int leadingNulls = 64;
    QMap<QString, QString> leading;
    QString nulls;
    for (int k = 0; k < leadingNulls; ++k) {
        const QString key = QStringLiteral("n%1").arg(k, 2, 10, QLatin1Char('0'));
        leading.insert(key, QStringLiteral("null"));
        nulls += QStringLiteral("\"%1\":null,").arg(key);
    }
    struct Feature {
        const char* members; // before the properties
        const char* properties; // after the leading nulls
    };
    struct Zone {
        const char* id;
        const char* name;
        QMap<QString, QString> attributes; // besides the leading nulls
    };
    // One line per zone: its id, name and every attribute, the leading nulls kept as they were
    // counted rather than listed.
    const auto described = [&](const QString& id, const QString& name, const QMap<QString, QString>& attributes) {
        QStringList pairs;
        int kept = 0;
        for (auto it = attributes.cbegin(); it != attributes.cend(); ++it) {
            if (leading.contains(it.key()) && it.value() == QLatin1String("null"))
                ++kept;
            else
                pairs << it.key() + QLatin1Char('=') + it.value();
        }
        return QStringLiteral("%1 | %2 | %3 leading nulls | %4").arg(id, name).arg(kept).arg(pairs.join(QStringLiteral(", ")));
    };
    const auto text = [](const char* utf8) { return QString::fromUtf8(utf8); };
    const QString null = QStringLiteral("null");
    const struct {
        const char* name;
        QList<Feature> features;
        QList<Zone> zones;
    } rows[] = {
        {"name properties",
         {{"", R"("name":null,"NAME":"Nord")"},
          {"", R"("nom":null,"nom":null,"nom":"Lyon","id":null,"id":"B")"},
          {"", R"("name":"Vienne","name":null,"NAME":null,"nom":"Metz","id":"C","id":null)"},
          {R"("id":null,)", R"("n05":7,"nom":"Brest","id":"D")"},
          {"", R"("name":"Ouest")"}},
         {{"geojson:1", "Nord", {{text("name"), null}, {text("NAME"), text("Nord")}}},
          {"B", "Lyon", {{text("nom"), text("Lyon")}, {text("id"), text("B")}}},
          {"geojson:3", "Metz", {{text("name"), null}, {text("NAME"), null}, {text("nom"), text("Metz")}, {text("id"), null}}},
          {"D", "Brest", {{text("n05"), text("7")}, {text("nom"), text("Brest")}, {text("id"), text("D")}}},
          {"geojson:5", "Ouest", {{text("name"), text("Ouest")}}}}},
        {"a name column given after its null",
         {{R"("id":"a",)", R"("NOM_COM":null,"NOM_COM":"Vienne")"},
          {R"("id":"b",)", R"("NOM_COM":"Metz")"},
          {R"("id":"c",)", R"("NOM_COM":"null")"}},
         {{"a", "Vienne", {{text("NOM_COM"), text("Vienne")}}},
          {"b", "Metz", {{text("NOM_COM"), text("Metz")}}},
          {"c", "null", {{text("NOM_COM"), null}}}}},
        {"a name column made null after its value",
         {{R"("id":"a",)", R"("NOM_COM":"Vienne","NOM_COM":null)"}, {R"("id":"b",)", R"("NOM_COM":"Metz")"}},
         {{"a", "a", {{text("NOM_COM"), null}}}, {"b", "b", {{text("NOM_COM"), text("Metz")}}}}},
    };
    for (const auto& row : rows) {
        QStringList features, expected;
        for (const Feature& f : row.features)
            features << feature(text(f.members) + QStringLiteral("\"properties\":{") + nulls + text(f.properties)
                                + QStringLiteral("},"));
        for (const Zone& zone : row.zones) {
            QMap<QString, QString> attributes = leading;
            attributes.insert(zone.attributes);
            expected << described(text(zone.id), text(zone.name), attributes);
        }
        QStringList zones;
        for (const PlmEntity& e : readText(featureCollection(features.join(QLatin1Char(',')))).map.entities)
            zones << described(e.id, e.name, e.attributes);
        EXPECT_EQ(zones, expected) << row.name;
    }
}

TEST(GeoJSONReaderTest, styleComesFromFillStrokeAndPlainStrokeWidths)
{
    const PlmEntity styled = readText(feature(QString::fromUtf8(R"("properties":{"fill":"#f00","stroke":"blue","stroke-width":"2.5"},)")))
                                 .map.entities.first();
    EXPECT_EQ(styled.style.fill, (PlmColor{1, 0, 0, 1}));
    EXPECT_EQ(styled.style.stroke, (PlmColor{0, 0, 1, 1}));
    EXPECT_EQ(styled.style.lineWidth, 2.5);
    // A width the reader ignores acts as none: on a line 1,000° long, the default widened to a
    // thousandth of it. A width of 0 is one: no outline.
    const struct {
        const char* name;
        const char* width;
        double lineWidth;
    } widths[] = {
        {"none", nullptr, 1},
        {"zero", "0", 0},
        {"as the default", "0.008", 0.008},
        {"spaced", R"(" 2")", 1},
        {"unit", R"("2px")", 1},
        {"empty", R"("")", 1},
        {"infinite", R"("inf")", 1},
        {"negative", "-3", 1},
        {"negative text", R"("-1")", 1},
        {"unreadable", R"("abc")", 1},
        {"out of range", "1e400", 1},
    };
    const QString line = QStringLiteral(R"({"type":"LineString","coordinates":[[0,0],[1000,0]]})");
    for (const auto& row : widths) {
        const QString width = row.width ? QStringLiteral("\"stroke-width\":%1,").arg(QLatin1String(row.width)) : QString();
        const PlmEntity plain = readText(feature(QStringLiteral("\"properties\":{%1\"fill\":\"url(#a)\"},").arg(width), line))
                                    .map.entities.first();
        PlmStyle expected = GeoJSONReader::defaultStyle();
        expected.lineWidth = row.lineWidth;
        EXPECT_EQ(plain.style, expected) << row.name << ": " << plain.style.lineWidth;
    }
    EXPECT_EQ(GeoJSONReader::defaultStyle().lineWidth, 0.008);
}

TEST(GeoJSONReaderTest, multiPointsNumberTheirMembersOnlyWhenSeveral)
{
    EXPECT_EQ(ids(readText(feature(QString::fromUtf8(R"("id":"P",)"), QString::fromUtf8(R"({"type":"MultiPoint","coordinates":[[1,1],[2,2],[3,3]]})")))),
              (QStringList{QStringLiteral("P:1"), QStringLiteral("P:2"), QStringLiteral("P:3")}));
    EXPECT_EQ(ids(readText(feature(QString::fromUtf8(R"("id":"P",)"), QString::fromUtf8(R"({"type":"MultiPoint","coordinates":[[1,1]]})")))),
              QStringList{QStringLiteral("P")});
}

TEST(GeoJSONReaderTest, aMultiPolygonOfOneStaysAMultipolygon)
{
    const PlmImportResult result = read(R"({"type":"MultiPolygon","coordinates":[[[[0,0],[1,0],[1,1],[0,0]]]]})");
    ASSERT_EQ(result.map.entities.size(), 1);
    EXPECT_EQ(result.map.entities.first().geometry.kind(), PlmGeometry::Kind::multipolygon);
    EXPECT_EQ(result.map.entities.first().id, QStringLiteral("import:1"));
    EXPECT_EQ(result.map.entities.first().name, QStringLiteral("import:1"));
}

TEST(GeoJSONReaderTest, geometryCollectionsNumberTheirMembers)
{
    const PlmImportResult result = readText(feature(QString::fromUtf8(R"("id":"G",)"),
        QString::fromUtf8(R"({"type":"GeometryCollection","geometries":[{"type":"Point","coordinates":[1,1]},{"type":"LineString","coordinates":[[0,0],[1,1]]},{"type":"Curve","coordinates":[]}]})")));
    EXPECT_EQ(ids(result), (QStringList{QStringLiteral("G:1"), QStringLiteral("G:2")}));
    EXPECT_EQ(result.unconverted.value(QStringLiteral("géométrie Curve")), 1);
}

TEST(GeoJSONReaderTest, extraCoordinatesAreCountedPerPosition)
{
    const PlmImportResult result = read(R"({"type":"LineString","coordinates":[[0,0,5],[1,1,6],[2,2]]})");
    EXPECT_EQ(result.unconverted.value(QStringLiteral("altitude/mesure conservée dans la source")), 2);
    EXPECT_EQ(*result.map.entities.first().geometry.asPolyline(), (QList<PlmPoint>{{0, 0}, {1, 1}, {2, 2}}));
}

TEST(GeoJSONReaderTest, ringsMustBeClosedExactlyAndDegenerateOnesAreDropped)
{
    EXPECT_EQ(failure(R"({"type":"Polygon","coordinates":[[[0,0],[1,0],[1,1],[0,0.0000001]]]})"),
              QStringLiteral("Anneau GeoJSON non fermé."));
    EXPECT_EQ(failure(R"({"type":"Polygon","coordinates":[[[0,0],[1,0],[0,0]]]})"), QStringLiteral("Anneau GeoJSON non fermé."));

    const PlmImportResult flat = read(R"({"type":"Polygon","coordinates":[[[0,0],[1,1],[0,0],[0,0]]]})");
    EXPECT_TRUE(flat.map.entities.isEmpty());
    EXPECT_EQ(flat.unconverted.value(QStringLiteral("polygone dégénéré (source conservée)")), 1);

    const PlmImportResult hole = read(R"({"type":"Polygon","coordinates":[[[0,0],[4,0],[4,4],[0,0]],[[1,1],[2,2],[1,1],[1,1]]]})");
    ASSERT_EQ(hole.map.entities.size(), 1);
    EXPECT_TRUE(hole.map.entities.first().geometry.asPolygon()->holes.isEmpty());
    EXPECT_EQ(hole.unconverted.value(QStringLiteral("trou dégénéré (source conservée)")), 1);
}

TEST(GeoJSONReaderTest, metadataIsCopiedFromTheTopLevel)
{
    const PlmImportResult result = read(R"({"type":"FeatureCollection","features":[],"name":"Départements",
        "crs":{"type":"name","properties":{"name":"urn:ogc:def:crs:OGC:1.3:CRS84"}},"license":3})");
    EXPECT_EQ(result.map.metadata.value(QStringLiteral("name")), QStringLiteral("Départements"));
    EXPECT_EQ(result.map.metadata.value(QStringLiteral("crs")),
              QString::fromUtf8(R"({"properties":{"name":"urn:ogc:def:crs:OGC:1.3:CRS84"},"type":"name"})"));
    EXPECT_EQ(result.map.metadata.value(QStringLiteral("license")), QStringLiteral("3"));
    EXPECT_FALSE(result.map.metadata.contains(QStringLiteral("attribution")));
}

TEST(GeoJSONReaderTest, everyMalformedShapeHasItsMessage)
{
    EXPECT_EQ(failure(R"([1,2])"), QStringLiteral("GeoJSON invalide."));
    EXPECT_EQ(failure(R"({"type":"FeatureCollection","features":{}})"), QStringLiteral("Features invalides."));
    EXPECT_EQ(failure(R"({"type":"FeatureCollection","features":[1]})"), QStringLiteral("Features invalides."));
    EXPECT_EQ(failure(R"({"type":"Feature","geometry":{"coordinates":[1,2]}})"), QStringLiteral("Type GeoJSON absent."));
    EXPECT_EQ(failure(R"({"type":"GeometryCollection","geometries":[[]]})"), QStringLiteral("Collection invalide."));
    EXPECT_EQ(failure(R"({"type":"Point"})"), QStringLiteral("Coordonnées absentes."));
    EXPECT_EQ(failure(R"({"type":"MultiPolygon","coordinates":{}})"), QStringLiteral("Multipolygone invalide."));
    EXPECT_EQ(failure(R"({"type":"MultiPoint","coordinates":3})"), QStringLiteral("Géométrie multiple invalide."));
    EXPECT_EQ(failure(R"({"type":"Point","coordinates":[1]})"), QStringLiteral("Coordonnées GeoJSON invalides."));
    EXPECT_EQ(failure(R"({"type":"Point","coordinates":[1,"2"]})"), QStringLiteral("Coordonnées GeoJSON invalides."));
    EXPECT_EQ(failure(R"({"type":"Point","coordinates":[1e400,2]})"), QStringLiteral("Coordonnée GeoJSON hors limites."));
    EXPECT_EQ(failure(R"({"type":"FeatureCollection","features":[{"type":"Feature","id":"f2","properties":{},
        "geometry":{"type":"LineString","coordinates":[[0,0],[1,-1e400]]}}]})"),
              QStringLiteral("Coordonnée GeoJSON hors limites dans l’objet « f2 »."));
    EXPECT_EQ(failure(R"({"type":"LineString","coordinates":{}})"), QStringLiteral("Ligne GeoJSON invalide."));
    EXPECT_EQ(failure(R"({"type":"Polygon","coordinates":[]})"), QStringLiteral("Polygone GeoJSON vide."));
}

TEST(GeoJSONReaderTest, deepNestingIsRefusedBeforeWalking)
{
    QByteArray deep = R"({"type":"Feature","properties":{"p":)";
    deep += QByteArray(100000, '[') + QByteArray(100000, ']') + "}}";
    EXPECT_THROW(GeoJSONReader::read(deep, QStringLiteral("x")), PlmJsonDecodingError);
}

TEST(GeoJSONReaderTest, nestedCollectionsWithinTheBoundAreWalked)
{
    // Collections of one type, each holding the next, around one point.
    const auto nested = [](const char* type, const char* member, int levels) {
        return QStringLiteral(R"({"type":"%1","%2":[)").arg(QLatin1String(type), QLatin1String(member)).repeated(levels)
            + QStringLiteral(R"({"type":"Point","coordinates":[1,2]})") + QStringLiteral("]}").repeated(levels);
    };
    EXPECT_EQ(readText(nested("FeatureCollection", "features", 120)).map.entities.size(), 1);
    // As deep as the nesting bound allows.
    EXPECT_EQ(readText(nested("GeometryCollection", "geometries", 127)).map.entities.size(), 1);
}

// Collections of thousands of features convert their coordinates on several threads, batch by
// batch: the result is that of the same features walked in order (here, as three collections
// small enough to be walked so), its notes adding up over every batch where a kind is met; and
// the error met first in the file wins, whether it comes from the coordinates or elsewhere.
TEST(GeoJSONReaderTest, largeCollectionsReadAsInOrder)
{
    const int count = 3000;
    const QString curve = QStringLiteral(R"({"type":"Curve","coordinates":[]})");
    const QString altitude = QStringLiteral(R"({"type":"Point","coordinates":[1,2,3]})");
    const QString altitudes = QStringLiteral(R"({"type":"LineString","coordinates":[[0,0,1],[1,0,2],[1,1,3]]})");
    const QString flat = QStringLiteral(R"({"type":"Polygon","coordinates":[[[0,0],[1,0],[0,0],[0,0]]]})");
    const QString flatHole = QStringLiteral(
        R"({"type":"Polygon","coordinates":[[[0,0],[4,0],[4,4],[0,4],[0,0]],[[1,1],[2,1],[1,1],[1,1]]]})");
    const QString pointAndFlat = QStringLiteral(R"({"type":"GeometryCollection","geometries":[)"
                                                R"({"type":"Point","coordinates":[0,0]},%1]})").arg(flat);
    const QString altitudeNote = QStringLiteral("altitude/mesure conservée dans la source");
    const QString curveNote = QStringLiteral("géométrie Curve");
    const QString flatNote = QStringLiteral("polygone dégénéré (source conservée)");
    QMap<int, QString> everyBatch;
    for (int i = 100; i < count; i += 256)
        everyBatch.insert(i, flat);
    const struct {
        const char* name;
        QMap<int, QString> special;
        QMap<QString, int> notes;
        qsizetype entities;
    } rows[] = {
        {"one of each kind", {{10, altitude}, {1600, curve}, {2100, QStringLiteral("null")}, {2200, pointAndFlat}, {2900, flat}},
         {{altitudeNote, 1}, {curveNote, 1}, {QStringLiteral("géométrie nulle"), 1}, {flatNote, 2}},
         count - 4 + 1},  // Curve, null, two degenerate; the collection's point
        {"one kind in the first, middle and last batches", {{3, curve}, {1100, curve}, {2999, curve}}, {{curveNote, 3}}, count - 3},
        {"one kind in every batch", everyBatch, {{flatNote, 12}}, count - 12},
        {"several in one batch, one in another", {{10, altitude}, {11, altitudes}, {2500, altitude}}, {{altitudeNote, 5}}, count},
        {"kinds sharing batches", {{0, flatHole}, {1, curve}, {600, flatHole}, {601, altitude}, {2047, curve}, {2048, flatHole}},
         {{QStringLiteral("trou dégénéré (source conservée)"), 3}, {curveNote, 2}, {altitudeNote, 1}}, count - 2},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const PlmImportResult whole = readText(featureCollection(squareFeatures(0, count, row.special)));
        QStringList inOrder;
        for (int from = 0; from < count; from += 1000)
            inOrder << featureCollection(squareFeatures(from, from + 1000, row.special));
        const PlmImportResult walked = readText(featureCollection(inOrder.join(QLatin1Char(','))));
        EXPECT_EQ(whole.unconverted, row.notes);
        EXPECT_EQ(whole.map.entities.size(), row.entities);
        EXPECT_EQ(whole.unconverted, walked.unconverted);
        EXPECT_EQ(whole.map.entities, walked.map.entities);
    }

    const QString openRing = QStringLiteral(R"({"type":"Polygon","coordinates":[[[0,0],[1,0],[1,1],[0,1]]]})");
    const QString badCollection = QStringLiteral(R"({"type":"GeometryCollection","geometries":3})");
    EXPECT_EQ(errorOf([&] { readText(featureCollection(squareFeatures(0, count, {{1000, openRing}, {2500, badCollection}}))); }),
              QStringLiteral("Anneau GeoJSON non fermé."));
    EXPECT_EQ(errorOf([&] { readText(featureCollection(squareFeatures(0, count, {{700, badCollection}, {2500, openRing}}))); }),
              QStringLiteral("Collection invalide."));
}
