#include "basemaps/ShapefileReader.h"
#include "basemaps/PlmVectorImporter.h"
#include "model/PlmErrors.h"
#include "model/PlmSpatialDecoration.h"
#include "support/CensusTractsFixture.h"
#include "support/ScratchFilesTest.h"
#include "support/ShapefileTestWriter.h"
#include "support/TableReaderTestSupport.h"
#include "support/UsStatesFixture.h"

#include <cmath>
#include <tuple>
#include <gtest/gtest.h>
#include <random>

using namespace ShapefileTestWriter;

namespace {

class ShapefileReaderTest : public ScratchFilesTest {
protected:
    PlmImportResult import(const QString& name, const QByteArray& bytes)
    {
        return PlmVectorImporter::importMap(write(name, bytes));
    }
    // The reader's own sentence: the import entry puts the file's name before it (checked
    // here on every refusal), and the sentence reads on in lower case after the colon.
    QString failure(const QString& name, const QByteArray& bytes)
    {
        try {
            import(name, bytes);
        } catch (const PlmImportError& e) {
            const QString prefix = QStringLiteral("Le fichier « %1 » ne peut pas être importé : ").arg(name);
            if (!e.message().startsWith(prefix))
                return e.message();
            QString reason = e.message().mid(prefix.size());
            reason[0] = reason[0].toUpper();
            EXPECT_EQ(PlmVectorImporter::refusalMessage(name, reason), e.message());
            return reason;
        }
        return QStringLiteral("(no error)");
    }
    static Dbf table(const QList<QByteArray>& names, const QList<QList<QByteArray>>& values)
    {
        Dbf dbf;
        for (const QByteArray& n : names)
            dbf.fields << Dbf::Field{n, 10};
        for (const auto& v : values)
            dbf.rows << Dbf::Row{v};
        return dbf;
    }
};

QStringList ids(const PlmMap& map)
{
    QStringList out;
    for (const PlmEntity& e : map.entities)
        out << e.id;
    return out;
}

} // namespace

TEST_F(ShapefileReaderTest, headerMustMatchTheFileExactly)
{
    Shp shp;
    shp.addPoint(1, 2);
    QByteArray bytes = shp.bytes(1);
    // One 16-bit word short of the file size.
    QByteArray shortLength = bytes;
    qToBigEndian(quint32(bytes.size() / 2 - 1), shortLength.data() + 24);
    EXPECT_EQ(failure(QStringLiteral("a.shp"), shortLength), QStringLiteral("En-tête Shapefile invalide."));
    QByteArray version = bytes;
    version[28] = 1;
    EXPECT_EQ(failure(QStringLiteral("b.shp"), version), QStringLiteral("En-tête Shapefile invalide."));
    EXPECT_EQ(failure(QStringLiteral("c.shp"), bytes.left(60)), QStringLiteral("En-tête Shapefile invalide."));
}

TEST_F(ShapefileReaderTest, withoutCompanionsIdsComeFromRecordNumbers)
{
    Shp shp;
    shp.addPoint(1, 2);
    shp.addParts(5, {square(0, 0, 1)});
    const PlmImportResult result = import(QStringLiteral("Communes.shp"), shp.bytes());
    EXPECT_EQ(ids(result.map), (QStringList{QStringLiteral("shp:1"), QStringLiteral("shp:2")}));
    EXPECT_EQ(result.map.entities.at(0).name, QStringLiteral("shp:1"));
    EXPECT_TRUE(result.map.entities.at(0).attributes.isEmpty());
    EXPECT_EQ(result.map.name, QStringLiteral("Communes"));
    EXPECT_EQ(result.map.metadata.value(QStringLiteral("source.format")), QStringLiteral("Shapefile"));
    EXPECT_EQ(result.map.metadata.value(QStringLiteral("coordinates")), QStringLiteral("Coordonnées source, sans reprojection"));
    EXPECT_FALSE(result.map.metadata.contains(QStringLiteral("coordinates.prj")));
    ASSERT_TRUE(result.map.sources);
    ASSERT_EQ(result.map.sources->size(), 1);
    EXPECT_EQ(result.map.sources->first().name, QStringLiteral("Communes.shp"));
    EXPECT_EQ(result.map.entities.at(0).style.pointRadius, 4.0);
}

TEST_F(ShapefileReaderTest, companionsAreFoundByExactBaseNameAndLowerCasedExtension)
{
    Shp shp;
    shp.addPoint(1, 2);
    write(QStringLiteral("Communes.DBF"), table({"NOM"}, {{"Lyon"}}).bytes());
    write(QStringLiteral("communes.prj"), "GEOGCS[\"ignored\"]");
    write(QStringLiteral("Communes.prj"), "GEOGCS[\"WGS 84\"]");
    write(QStringLiteral("Communes.cpg"), "utf-8\n");
    write(QStringLiteral("Communes.shx"), "index");
    const PlmImportResult result = import(QStringLiteral("Communes.shp"), shp.bytes(1));
    EXPECT_EQ(result.map.entities.at(0).name, QStringLiteral("Lyon"));
    EXPECT_EQ(result.map.metadata.value(QStringLiteral("coordinates.prj")), QStringLiteral("GEOGCS[\"WGS 84\"]"));
    QStringList sources;
    for (const PlmSource& s : *result.map.sources)
        sources << s.name;
    EXPECT_EQ(sources, (QStringList{QStringLiteral("Communes.DBF"), QStringLiteral("Communes.shx"),
                                    QStringLiteral("Communes.prj"), QStringLiteral("Communes.cpg"),
                                    QStringLiteral("Communes.shp")}));
}

// Whatever a file's units, and whether or not a .prj says them, its outlines draw at about one
// pixel once the map is fitted in the window: the longer side of the extent / 1000.
TEST_F(ShapefileReaderTest, outlinesAreOnePixelWideAtTheFittedViewWhateverTheUnits)
{
    const QByteArray wgs84 = R"wkt(GEOGCS["GCS_WGS_1984",DATUM["D_WGS_1984",SPHEROID["WGS_1984",6378137.0,298.257223563]],PRIMEM["Greenwich",0.0],UNIT["Degree",0.0174532925199433]])wkt";
    const QByteArray utm = R"wkt(PROJCS["NAD_1983_UTM_Zone_16N",GEOGCS["GCS_North_American_1983",DATUM["D_North_American_1983",SPHEROID["GRS_1980",6378137.0,298.257222101]],PRIMEM["Greenwich",0.0],UNIT["Degree",0.0174532925199433]],PROJECTION["Transverse_Mercator"],PARAMETER["False_Easting",500000.0],PARAMETER["Central_Meridian",-87.0],PARAMETER["Scale_Factor",0.9996],UNIT["Meter",1.0]])wkt";
    const struct {
        const char* name;
        std::optional<QByteArray> prj;
        QList<QList<PlmPoint>> zones;
        double width;
    } rows[] = {
        {"states in degrees, no .prj", std::nullopt, {square(-125, 25, 4), square(-71, 45, 4)}, 58.0 / 1000},
        {"states in degrees, an empty .prj", QByteArray(), {square(-117, 14, 3), square(-89, 30, 3)}, 31.0 / 1000},
        {"a commune in WGS 84 degrees", wgs84, {square(2, 46, 0.0625)}, 0.0625 / 1000},
        {"a county in UTM metres", utm, {square(500000, 4600000, 20000), square(540000, 4630000, 20000)}, 60.0},
        {"a city in feet, no .prj", std::nullopt, {square(1091000, 1813000, 139000)}, 139.0},
    };
    int index = 0;
    for (const auto& row : rows) {
        Shp shp;
        for (const QList<PlmPoint>& zone : row.zones)
            shp.addParts(5, {zone});
        const QString stem = QStringLiteral("largeur%1").arg(++index);
        if (row.prj)
            write(stem + QStringLiteral(".prj"), *row.prj);
        QList<double> widths;
        for (const PlmEntity& entity : import(stem + QStringLiteral(".shp"), shp.bytes()).map.entities)
            widths << entity.style.lineWidth;
        EXPECT_EQ(widths, QList<double>(row.zones.size(), row.width)) << row.name;
    }
    // A lone point has no extent to fit: it keeps the written width.
    Shp point;
    point.addPoint(2, 46);
    EXPECT_EQ(import(QStringLiteral("point.shp"), point.bytes(1)).map.entities.at(0).style.lineWidth, 1.0);
}

// Only a file that declares WGS 84 degrees gets the coordinates that allow ground distances,
// whichever program wrote its .prj.
TEST_F(ShapefileReaderTest, aWgs84ProjectionTextDeclaresLongitudesAndLatitudes)
{
    const QByteArray esri = R"wkt(GEOGCS["GCS_WGS_1984",DATUM["D_WGS_1984",SPHEROID["WGS_1984",6378137.0,298.257223563]],PRIMEM["Greenwich",0.0],UNIT["Degree",0.0174532925199433]])wkt";
    const QByteArray ogc = R"wkt(GEOGCS["WGS 84",
    DATUM["WGS_1984",
        SPHEROID["WGS 84",6378137,298.257223563,AUTHORITY["EPSG","7030"]],
        AUTHORITY["EPSG","6326"]],
    PRIMEM["Greenwich",0,AUTHORITY["EPSG","8901"]],
    UNIT["degree",0.0174532925199433,AUTHORITY["EPSG","9122"]],
    AXIS["Latitude",NORTH],AXIS["Longitude",EAST],
    AUTHORITY["EPSG","4326"]]
)wkt";
    const QByteArray wkt2 = R"wkt(GEOGCRS["WGS 84",ENSEMBLE["World Geodetic System 1984 ensemble",MEMBER["World Geodetic System 1984 (Transit)"],MEMBER["World Geodetic System 1984 (G2139)"],ELLIPSOID["WGS 84",6378137,298.257223563,LENGTHUNIT["metre",1]],ENSEMBLEACCURACY[2.0]],PRIMEM["Greenwich",0,ANGLEUNIT["degree",0.0174532925199433]],CS[ellipsoidal,2],AXIS["geodetic latitude (Lat)",north,ORDER[1],ANGLEUNIT["degree",0.0174532925199433]],AXIS["geodetic longitude (Lon)",east,ORDER[2],ANGLEUNIT["degree",0.0174532925199433]],USAGE[SCOPE["Horizontal component of 3D system."],AREA["World."],BBOX[-90,-180,90,180]],ID["EPSG",4326]])wkt";
    const QByteArray nad27 = R"wkt(GEOGCS["GCS_North_American_1927",DATUM["D_North_American_1927",SPHEROID["Clarke_1866",6378206.4,294.9786982]],PRIMEM["Greenwich",0.0],UNIT["Degree",0.0174532925199433]])wkt";
    const QByteArray utm = R"wkt(PROJCS["WGS_1984_UTM_Zone_31N",GEOGCS["GCS_WGS_1984",DATUM["D_WGS_1984",SPHEROID["WGS_1984",6378137.0,298.257223563]],PRIMEM["Greenwich",0.0],UNIT["Degree",0.0174532925199433]],PROJECTION["Transverse_Mercator"],PARAMETER["False_Easting",500000.0],PARAMETER["False_Northing",0.0],PARAMETER["Central_Meridian",3.0],PARAMETER["Scale_Factor",0.9996],PARAMETER["Latitude_Of_Origin",0.0],UNIT["Meter",1.0]])wkt";
    const QByteArray grads = R"wkt(GEOGCS["WGS 84 (grades)",DATUM["WGS_1984",SPHEROID["WGS 84",6378137,298.257223563]],PRIMEM["Greenwich",0],UNIT["grad",0.01570796326794897]])wkt";
    const struct {
        const char* name;
        std::optional<QByteArray> prj;
        QList<PlmPoint> ring;
        bool geographic;
    } rows[] = {
        {"ESRI names, as QGIS and ArcGIS write", esri, square(2, 46, 0.5), true},
        {"OGC WKT1 with authorities, as GDAL writes", ogc, square(-180, 46, 0.5), true},
        {"WKT2 geographic system", wkt2, square(2, 46, 0.5), true},
        {"another datum", nad27, square(2, 46, 0.5), false},
        {"projected over WGS 84", utm, square(2, 46, 0.5), false},
        {"WGS 84 in grads", grads, square(2, 46, 0.5), false},
        {"cut short", esri.left(esri.size() - 1), square(2, 46, 0.5), false},
        {"WGS 84 but numbers past a longitude", esri, square(500000, 46, 0.5), false},
        {"no projection file", std::nullopt, square(2, 46, 0.5), false},
        // Fiji as Natural Earth writes it, its east edge a few ulps past the antimeridian (how far
        // a writer's rounding may go is the spatial model's rule).
        {"a writer's rounding past 180", ogc,
         {{179.5, -17}, {179.5, -16.5}, {180.00000000000006, -16.5}, {180.00000000000006, -17}, {179.5, -17}}, true},
    };
    int index = 0;
    for (const auto& row : rows) {
        Shp shp;
        shp.addParts(5, {row.ring});
        const QString stem = QStringLiteral("carte%1").arg(++index);
        if (row.prj)
            write(stem + QStringLiteral(".prj"), *row.prj);
        const PlmMap map = import(stem + QStringLiteral(".shp"), shp.bytes()).map;
        EXPECT_EQ(map.metadata.value(QStringLiteral("coordinates")),
                  row.geographic ? QStringLiteral("longitude/latitude WGS84 (sans reprojection)")
                                 : QStringLiteral("Coordonnées source, sans reprojection"))
            << row.name;
        EXPECT_EQ(PlmSpatialDecoration::isGeographic(map), row.geographic) << row.name;
        EXPECT_EQ(map.metadata.contains(QStringLiteral("coordinates.prj")), row.prj.has_value()) << row.name;
    }
}

TEST_F(ShapefileReaderTest, aLowerCaseTableBesideAMixedCaseShapefileIsNotTaken)
{
    Shp shp;
    shp.addPoint(1, 2);
    write(QStringLiteral("communes.dbf"), table({"NOM"}, {{"Lyon"}}).bytes());
    const PlmImportResult result = import(QStringLiteral("Communes.shp"), shp.bytes(1));
    EXPECT_EQ(result.map.entities.at(0).name, QStringLiteral("shp:1"));
}

TEST_F(ShapefileReaderTest, aProjectionThatIsNotUtf8IsKeptInBase64)
{
    Shp shp;
    shp.addPoint(1, 2);
    write(QStringLiteral("a.prj"), QByteArray("\xff\xfe", 2));
    const PlmImportResult result = import(QStringLiteral("a.shp"), shp.bytes(1));
    EXPECT_EQ(result.map.metadata.value(QStringLiteral("coordinates.prj")), QStringLiteral("//4="));
}

// Zones all named "0" (an id column left at 0), or named after their record numbers for want
// of a name field, could not be told apart by any table: a column whose values are distinct
// names them instead, one whose name says name (the shared rule) when there is no name field.
TEST_F(ShapefileReaderTest, zonesWithoutUsableNamesTakeThemFromAColumnOfDistinctValues)
{
    const struct {
        const char* name;
        Dbf dbf;
        QStringList names;
    } rows[] = {
        {"an id left at 0, a region name", table({"ID", "POP", "NOM_REG"}, {{"0", "12", "Bretagne"}, {"0", "7", "Corse"}, {"0", "9", "Alsace"}}),
         {"Bretagne", "Corse", "Alsace"}},
        {"one name repeated, text before numbers", table({"NAME", "CODE", "ISO"}, {{"x", "1", "BZH"}, {"x", "2", "COR"}, {"x", "3", "ALS"}}),
         {"BZH", "COR", "ALS"}},
        {"only numbers tell them apart", table({"ID", "POP"}, {{"0", "12"}, {"0", "7"}, {"0", "9"}}), {"12", "7", "9"}},
        {"nothing tells them apart", table({"ID", "POP"}, {{"0", "12"}, {"0", "7"}, {"0", "7"}}), {"0", "0", "0"}},
        {"distinct names stay", table({"NOM", "LIB"}, {{"a", "x"}, {"b", "y"}, {"c", "z"}}), {"a", "b", "c"}},
        {"a name field wins over other names", table({"NAME", "NAME_FR"}, {{"Germany", "Allemagne"}, {"Spain", "Espagne"}, {"Italy", "Italie"}}),
         {"Germany", "Spain", "Italy"}},
        {"no name field: the state's name", table({"STATE_FIPS", "STATE_ID", "STATE_NAME"}, {{"53", "1", "Washington"}, {"30", "2", "Montana"}, {"23", "3", "Maine"}}),
         {"Washington", "Montana", "Maine"}},
        {"an empty name field", table({"NAME", "STATE_NAME"}, {{"", "Washington"}, {"", "Montana"}, {"", "Maine"}}),
         {"Washington", "Montana", "Maine"}},
    };
    int index = 0;
    for (const auto& row : rows) {
        Shp shp;
        for (int k = 0; k < 3; ++k)
            shp.addPoint(k, k);
        const QString stem = QStringLiteral("zones%1").arg(++index);
        write(stem + QStringLiteral(".dbf"), row.dbf.bytes());
        QStringList names;
        for (const PlmEntity& e : import(stem + QStringLiteral(".shp"), shp.bytes(1)).map.entities)
            names << e.name;
        EXPECT_EQ(names, row.names) << row.name;
    }
}

// The shared fixture's map is what the import of its files gives.
TEST_F(ShapefileReaderTest, theStatesFixtureImportsAsItsMap)
{
    write(QStringLiteral("states.dbf"), UsStatesFixture::dbf().bytes());
    const PlmImportResult result = import(QStringLiteral("states.shp"), UsStatesFixture::shp().bytes());
    EXPECT_EQ(result.map.entities, UsStatesFixture::map().entities);
}

// Numeric fields give numbers wherever the reader's text goes (the ids here), character fields
// their text.
TEST_F(ShapefileReaderTest, numericFieldsGiveTheNumbersTheyHold)
{
    write(QStringLiteral("tracts.dbf"), CensusTractsFixture::dbf().bytes());
    const PlmImportResult result = import(QStringLiteral("tracts.shp"), CensusTractsFixture::shp().bytes());
    ASSERT_EQ(result.map.entities.size(), CensusTractsFixture::tractCount);
    for (int k = 0; k < CensusTractsFixture::tractCount; ++k) {
        const PlmEntity& tract = result.map.entities.at(k);
        const QString id = QString::number(CensusTractsFixture::id(k));
        EXPECT_EQ(std::tuple(tract.id, tract.name, tract.attributes), std::tuple(id, id, CensusTractsFixture::attributes(k)));
    }
}

TEST_F(ShapefileReaderTest, polylinePartsTakeTheRecordIdAndTheirPosition)
{
    Shp shp;
    shp.addParts(3, {{{0, 0}, {1, 1}}, {{2, 2}, {3, 3}}, {{4, 4}, {5, 5}}});
    shp.addParts(3, {{{0, 0}, {1, 1}}});
    shp.addParts(3, {{{0, 0}, {1, 1}}});
    shp.addParts(3, {{{0, 0}, {1, 1}}});
    write(QStringLiteral("r.dbf"), table({"ID", "FID", "CODE"}, {{"12", "", ""}, {"", "7", "C"}, {"", "", "C"}, {"", "", ""}}).bytes());
    const PlmImportResult result = import(QStringLiteral("r.shp"), shp.bytes(3));
    EXPECT_EQ(ids(result.map), (QStringList{QStringLiteral("12:1"), QStringLiteral("12:2"), QStringLiteral("12:3"),
                                            QStringLiteral("7"), QStringLiteral("C"), QStringLiteral("shp:4")}));
    EXPECT_EQ(result.map.entities.at(0).attributes.value(QStringLiteral("ID")), QStringLiteral("12"));
}

QList<PlmPoint> reversed(QList<PlmPoint> ring)
{
    std::reverse(ring.begin(), ring.end());
    return ring;
}

// Clockwise rings are exteriors, counter-clockwise ones holes; containment decides only for
// records that break that convention. The expected polygons are GDAL's reading of the same
// rings, except for the all counter-clockwise record, which GDAL reads as two exteriors.
TEST_F(ShapefileReaderTest, ringDirectionsAndNestingMakeExteriorsHolesAndIslands)
{
    const QList<PlmPoint> outer = square(0, 0, 10), lake = square(2, 2, 6), island = square(4, 4, 2);
    const struct {
        const char* name;
        QList<QList<PlmPoint>> rings;
        QList<PlmPolygon> polygons;
    } rows[] = {
        {"outer, hole and an island in the hole", {outer, reversed(lake), island},
         {PlmPolygon{outer, {reversed(lake)}}, PlmPolygon{island, {}}}},
        {"all clockwise: an island in a lake of the same record", {outer, island},
         {PlmPolygon{outer, {}}, PlmPolygon{island, {}}}},
        {"all clockwise, three deep", {outer, lake, island},
         {PlmPolygon{outer, {}}, PlmPolygon{lake, {}}, PlmPolygon{island, {}}}},
        {"all counter-clockwise: nested by containment", {reversed(outer), reversed(lake), reversed(island)},
         {PlmPolygon{reversed(outer), {reversed(lake)}}, PlmPolygon{reversed(island), {}}}},
    };
    for (const auto& row : rows) {
        Shp shp;
        shp.addParts(5, row.rings);
        const PlmGeometry geometry = import(QStringLiteral("p.shp"), shp.bytes()).map.entities.at(0).geometry;
        EXPECT_EQ(geometry, PlmGeometry::multipolygon(row.polygons)) << row.name;
    }
}

TEST_F(ShapefileReaderTest, manyIslandsAndHolesNestTheSameAsTheirPlainDefinition)
{
    // A grid of islands, each with a hole, checked against the quadratic rule.
    QList<QList<PlmPoint>> parts;
    for (int i = 0; i < 40; ++i)
        for (int j = 0; j < 40; ++j) {
            parts << square(i * 10, j * 10, 8);
            parts << reversed(square(i * 10 + 2, j * 10 + 2, 3));
        }
    const PlmGeometry geometry = ShapefileReader::polygonGeometry(parts);
    const QList<PlmPolygon>* polygons = geometry.asMultipolygon();
    ASSERT_NE(polygons, nullptr);
    ASSERT_EQ(polygons->size(), 1600);
    for (const PlmPolygon& p : *polygons) {
        ASSERT_EQ(p.holes.size(), 1);
        EXPECT_EQ(p.holes.first().last().x, p.exterior.first().x + 2);
    }
}

// The nesting rule written plainly (every pair of rings), to check the indexed one against:
// when a record's rings run both ways, only counter-clockwise rings (holes) look for a
// parent, among the clockwise ones (exteriors); when they all run clockwise, none does.
PlmGeometry plainNesting(const QList<QList<PlmPoint>>& rings)
{
    auto signedArea = [](const QList<PlmPoint>& r) {
        double sum = 0;
        for (qsizetype k = 0; k + 1 < r.size(); ++k)
            sum += r[k].x * r[k + 1].y - r[k + 1].x * r[k].y;
        return sum;
    };
    auto area = [&](const QList<PlmPoint>& r) { return std::fabs(signedArea(r)); };
    bool clockwise = false, counterClockwise = false;
    for (const QList<PlmPoint>& r : rings) {
        clockwise = clockwise || signedArea(r) < 0;
        counterClockwise = counterClockwise || signedArea(r) > 0;
    }
    const bool byDirection = clockwise && counterClockwise;
    bool allClockwise = true;
    for (const QList<PlmPoint>& r : rings)
        allClockwise = allClockwise && signedArea(r) < 0;
    const qsizetype n = rings.size();
    QList<qsizetype> parent(n, -1);
    for (qsizetype i = 0; i < n && !allClockwise; ++i)
        for (qsizetype j = 0; j < n; ++j)
            if (byDirection && (signedArea(rings[i]) < 0 || signedArea(rings[j]) >= 0))
                continue;
            else if (j != i && area(rings[j]) > area(rings[i])
                && ShapefileReader::ringContains(rings[j], rings[i].first().x, rings[i].first().y)
                && (parent[i] < 0 || area(rings[j]) < area(rings[parent[i]])))
                parent[i] = j;
    QList<PlmPolygon> polygons;
    QList<qsizetype> polygonOf(n, -1);
    auto depth = [&](qsizetype i) {
        int d = 0;
        for (qsizetype at = parent[i]; at >= 0; at = parent[at])
            ++d;
        return d;
    };
    for (qsizetype i = 0; i < n; ++i)
        if (depth(i) % 2 == 0) {
            polygonOf[i] = polygons.size();
            polygons << PlmPolygon{rings[i], {}};
        }
    for (qsizetype i = 0; i < n; ++i)
        if (depth(i) % 2 == 1)
            polygons[polygonOf[parent[i]]].holes << rings[i];
    return polygons.size() == 1 ? PlmGeometry::polygon(polygons.first()) : PlmGeometry::multipolygon(polygons);
}

TEST_F(ShapefileReaderTest, indexedNestingAgreesWithThePlainRuleOnRandomRings)
{
    std::mt19937 random(1207);
    for (int round = 0; round < 30; ++round) {
        QList<QList<PlmPoint>> rings;
        const int count = 2 + int(random() % 300);
        for (int k = 0; k < count; ++k) {
            // Squares of many sizes (so some hold others), some equal areas: counter-clockwise
            // in every fourth round (nested by containment), clockwise otherwise, with a few
            // counter-clockwise triangles in odd rounds (nested by direction).
            const double side = double(1 + random() % (k % 7 == 0 ? 400 : 20));
            const double x = double(random() % 500), y = double(random() % 500);
            if (round % 2 == 1 && k % 11 == 0)
                rings << QList<PlmPoint>{{x, y}, {x + side, y}, {x, y + side}, {x, y}};
            else
                rings << (round % 4 == 0 ? reversed(square(x, y, side)) : square(x, y, side));
        }
        EXPECT_EQ(ShapefileReader::polygonGeometry(rings), plainNesting(rings)) << "round " << round;
    }
}

TEST_F(ShapefileReaderTest, ringsMustBeClosedAndPolygonsNeedAnExterior)
{
    Shp shp;
    shp.addParts(5, {{{0, 0}, {0, 1}, {1, 1}, {1, 0.5}}});
    EXPECT_EQ(failure(QStringLiteral("o.shp"), shp.bytes()), QStringLiteral("Anneau Shapefile non fermé."));
    Shp three;
    three.addParts(5, {{{0, 0}, {0, 1}, {0, 0}}});
    EXPECT_EQ(failure(QStringLiteral("t.shp"), three.bytes()), QStringLiteral("Anneau Shapefile non fermé."));
}

TEST_F(ShapefileReaderTest, multipointsNumberEveryPoint)
{
    Shp shp;
    shp.addMultiPoint({{1, 1}});
    shp.addMultiPoint({{1, 1}, {2, 2}}, 18);
    const PlmImportResult result = import(QStringLiteral("m.shp"), shp.bytes(8));
    EXPECT_EQ(ids(result.map), (QStringList{QStringLiteral("shp:1:1"), QStringLiteral("shp:2:1"), QStringLiteral("shp:2:2")}));
    EXPECT_EQ(result.unconverted.value(QStringLiteral("Z/M conservés dans la source")), 1);
}

TEST_F(ShapefileReaderTest, nullAndUnknownRecordsKeepTheRowsInStep)
{
    Shp shp;
    shp.addPoint(1, 1);
    shp.addNull();
    QByteArray unknown;
    putLE32(unknown, 31);
    shp.addContent(unknown);
    shp.addPoint(3, 3, 11);
    write(QStringLiteral("n.dbf"), table({"NOM"}, {{"a"}, {"b"}, {"c"}, {"d"}}).bytes());
    const PlmImportResult result = import(QStringLiteral("n.shp"), shp.bytes(1));
    ASSERT_EQ(result.map.entities.size(), 2);
    EXPECT_EQ(result.map.entities.at(1).name, QStringLiteral("d"));
    EXPECT_EQ(result.unconverted.value(QStringLiteral("enregistrement nul")), 1);
    EXPECT_EQ(result.unconverted.value(QStringLiteral("type Shapefile 31")), 1);
    EXPECT_EQ(result.unconverted.value(QStringLiteral("Z/M conservés dans la source")), 1);
}

TEST_F(ShapefileReaderTest, rowsAndRecordsMustAgreeInNumber)
{
    Shp shp;
    for (int i = 0; i < 10; ++i)
        shp.addPoint(i, i);
    QList<QList<QByteArray>> values;
    for (int i = 0; i < 9; ++i)
        values << QList<QByteArray>{QByteArray::number(i)};
    write(QStringLiteral("c.dbf"), table({"NOM"}, values).bytes());
    EXPECT_EQ(failure(QStringLiteral("c.shp"), shp.bytes(1)), QStringLiteral("Le nombre de lignes DBF diffère du Shapefile."));
}

TEST_F(ShapefileReaderTest, truncatedRecordsAreRefusedWithTheirMessage)
{
    auto withRecord = [](const QByteArray& content) {
        Shp shp;
        shp.addContent(content);
        return shp.bytes();
    };
    QByteArray tiny;
    putLE32(tiny, 1);
    EXPECT_EQ(failure(QStringLiteral("p.shp"), withRecord(tiny)), QStringLiteral("Point Shapefile tronqué."));

    QByteArray parts = Shp::partsContent(5, {square(0, 0, 1)});
    QByteArray manyParts = parts;
    qToLittleEndian(quint32(1000), manyParts.data() + 36);
    EXPECT_EQ(failure(QStringLiteral("q.shp"), withRecord(manyParts)), QStringLiteral("Parts Shapefile invalides."));
    QByteArray noParts = parts;
    qToLittleEndian(quint32(0), noParts.data() + 36);
    EXPECT_EQ(failure(QStringLiteral("r.shp"), withRecord(noParts)), QStringLiteral("Parts Shapefile invalides."));
    QByteArray manyPoints = parts;
    qToLittleEndian(quint32(6), manyPoints.data() + 40);
    EXPECT_EQ(failure(QStringLiteral("s.shp"), withRecord(manyPoints)), QStringLiteral("Sommets Shapefile tronqués."));
    QByteArray badStart = Shp::partsContent(5, {square(0, 0, 1), square(5, 5, 1)});
    qToLittleEndian(quint32(1), badStart.data() + 44);
    EXPECT_EQ(failure(QStringLiteral("t.shp"), withRecord(badStart)), QStringLiteral("Index des parts invalides."));
    QByteArray infinite = parts;
    const double inf = std::numeric_limits<double>::infinity();
    std::memcpy(infinite.data() + 48, &inf, 8);
    EXPECT_EQ(failure(QStringLiteral("u.shp"), withRecord(infinite)), QStringLiteral("Coordonnée Shapefile non finie."));

    QByteArray multi;
    putLE32(multi, 8);
    multi += QByteArray(32, '\0');
    putLE32(multi, 3);
    multi += QByteArray(32, '\0'); // room for two points only
    EXPECT_EQ(failure(QStringLiteral("v.shp"), withRecord(multi)), QStringLiteral("MultiPoint tronqué."));

    Shp past;
    past.addPoint(1, 1);
    QByteArray bytes = past.bytes(1);
    qToBigEndian(quint32(100), bytes.data() + 104); // content longer than the file
    EXPECT_EQ(failure(QStringLiteral("w.shp"), bytes), QStringLiteral("Enregistrement Shapefile tronqué."));
}

TEST_F(ShapefileReaderTest, integersOutsideTheDataAreRefused)
{
    const QByteArray data("\x01\x02\x03", 3);
    EXPECT_EQ(ShapefileReader::integer(0, 2, true, data), 0x0102u);
    EXPECT_EQ(ShapefileReader::integer(1, 2, false, data), 0x0302u);
    try {
        ShapefileReader::integer(2, 2, false, data);
        FAIL();
    } catch (const PlmImportError& e) {
        EXPECT_EQ(e.message(), QStringLiteral("Fichier binaire tronqué."));
    }
}

// Column names are compared lowered, whatever their script; an empty value lets the next
// wanted name speak.
TEST(ShapefileAttributesTest, columnsAreFoundByTheirLoweredName)
{
    using ShapefileReader::firstAttribute;
    const struct {
        const char* name;
        QStringList wanted;
        ShapefileReader::Row row;
        std::optional<QString> found;
    } cases[] = {
        {"upper case", {"code"}, {{"CODE", "01"}}, QStringLiteral("01")},
        {"mixed case, second name", {"name", "nom"}, {{"Nom", "Ajaccio"}}, QStringLiteral("Ajaccio")},
        {"empty value skipped", {"name", "nom"}, {{"NAME", ""}, {"NOM", "Bastia"}}, QStringLiteral("Bastia")},
        {"longer name", {"nom"}, {{"NOMS", "x"}}, std::nullopt},
        {"accented letter", {"code"}, {{"CÖDE", "x"}}, std::nullopt},
        {"sign lowering to a letter", {"key"}, {{QStringLiteral("\u212AEY"), "v"}}, QStringLiteral("v")},
    };
    for (const auto& c : cases)
        EXPECT_EQ(firstAttribute(c.wanted, c.row), c.found) << c.name;
}

// --- dBASE ----------------------------------------------------------------------------------

class DbfTest : public ::testing::Test {
protected:
    QList<ShapefileReader::Row> read(const QByteArray& bytes, std::optional<QByteArray> cpg = std::nullopt)
    {
        return ShapefileReader::readDBF(bytes, cpg, builder);
    }
    QString failure(const QByteArray& bytes)
    {
        try {
            read(bytes);
        } catch (const PlmImportError& e) {
            return e.message();
        }
        return QStringLiteral("(no error)");
    }
    PlmImportBuilder builder{QStringLiteral("t"), QStringLiteral("Shapefile")};
};

TEST_F(DbfTest, deletedRecordsAreReadAndMarked)
{
    Dbf dbf;
    dbf.fields = {{"NOM", 8}};
    dbf.rows = {{{"Vienne"}, true}, {{"Lyon"}, false}};
    const auto rows = read(dbf.bytes(), QByteArray("UTF-8"));
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[0].value(QStringLiteral("source.deleted")), QStringLiteral("true"));
    EXPECT_EQ(rows[0].value(QStringLiteral("NOM")), QStringLiteral("Vienne"));
    EXPECT_FALSE(rows[1].contains(QStringLiteral("source.deleted")));
}

TEST_F(DbfTest, theCodePageFileThenTheLanguageByteChooseTheEncoding)
{
    Dbf dbf;
    dbf.fields = {{"NOM", 8}};
    dbf.rows = {{{"\xc3\xa9t\xc3\xa9"}}}; // "été" in UTF-8
    EXPECT_EQ(read(dbf.bytes(), QByteArray("utf-8\n")).first().value(QStringLiteral("NOM")), QStringLiteral("été"));
    EXPECT_TRUE(builder.unconverted.isEmpty());

    Dbf roman;
    roman.fields = {{"NOM", 8}};
    roman.rows = {{{"\x8e\x80"}}};
    roman.languageDriver = 0x57;
    // A .cpg naming MacRoman loses to a Windows-1252 language byte.
    EXPECT_EQ(read(roman.bytes(), QByteArray("MACROMAN")).first().value(QStringLiteral("NOM")), QStringLiteral("Ž€"));
    roman.languageDriver = 0;
    EXPECT_EQ(read(roman.bytes(), QByteArray("MACROMAN")).first().value(QStringLiteral("NOM")), QStringLiteral("éÄ"));
    roman.languageDriver = 0x96;
    EXPECT_EQ(read(roman.bytes()).first().value(QStringLiteral("NOM")), QStringLiteral("éÄ"));
    EXPECT_TRUE(builder.unconverted.isEmpty());
}

// GIS programs write a .cpg of 0 bytes when asked for no encoding: a blank one declares nothing,
// so UTF-8 bytes beside a language byte 0 read as UTF-8, as without the file.
TEST_F(DbfTest, aBlankCodePageFileDeclaresNothing)
{
    const struct {
        const char* name;
        std::optional<QByteArray> cpg;
    } cases[] = {
        {"no .cpg", std::nullopt},
        {"an empty .cpg", QByteArray("")},
        {"a line break", QByteArray("\r\n")},
        {"blanks and a tab", QByteArray("  \t\n")},
    };
    for (const auto& c : cases) {
        Dbf dbf;
        dbf.fields = {{"NOM", 16}};
        dbf.rows = {{{"C\xc3\xb4te d'Ivoire"}}};
        PlmImportBuilder notes{QStringLiteral("t"), QStringLiteral("Shapefile")};
        EXPECT_EQ(ShapefileReader::readDBF(dbf.bytes(), c.cpg, notes).first().value(QStringLiteral("NOM")),
                  QStringLiteral("Côte d'Ivoire"))
            << c.name;
        EXPECT_EQ(notes.unconverted, (QMap<QString, int>{{QStringLiteral("encodage DBF non déclaré, lecture UTF-8"), 1}}))
            << c.name;
        dbf.rows = {{{"C\xf4te"}}};
        EXPECT_EQ(ShapefileReader::readDBF(dbf.bytes(), c.cpg, notes).first().value(QStringLiteral("NOM")),
                  QStringLiteral("Côte"))
            << c.name;
    }
}

TEST_F(DbfTest, anUndeclaredEncodingReadsLatin1AndIsNotedOnce)
{
    Dbf dbf;
    dbf.fields = {{"NOM", 8}};
    dbf.rows = {{{"\xe9t\xe9"}}, {{"a"}}};
    const auto rows = read(dbf.bytes());
    EXPECT_EQ(rows.first().value(QStringLiteral("NOM")), QStringLiteral("été"));
    EXPECT_EQ(builder.unconverted, (QMap<QString, int>{{QStringLiteral("encodage DBF non déclaré, lecture Latin-1"), 1}}));
}

TEST_F(DbfTest, undecodableTextIsRefused)
{
    Dbf dbf;
    dbf.fields = {{"NOM", 4}};
    dbf.rows = {{{"\xff\xfe"}}};
    EXPECT_THROW(read(dbf.bytes(), QByteArray("UTF-8")), PlmImportError);
    dbf.rows = {{{"\xc3 "}}}; // a sequence cut short, then padding
    EXPECT_THROW(read(dbf.bytes(), QByteArray("UTF-8")), PlmImportError);
    dbf.languageDriver = 0x57;
    dbf.rows = {{{"\x81"}}};
    try {
        read(dbf.bytes());
        FAIL();
    } catch (const PlmImportError& e) {
        EXPECT_EQ(e.message(), QStringLiteral("Texte DBF invalide."));
    }
}

TEST_F(DbfTest, valuesAreTrimmedAndNonAsciiNamesNumbered)
{
    Dbf dbf;
    dbf.fields = {{"A", 6}, {"N\xe9", 4}, {"B", 5}};
    dbf.rows = {{{QByteArray("  x\0\0", 5), QByteArray(" y\r\n", 4), QByteArray("\x85\xa0 ")}}};
    const auto rows = read(dbf.bytes(), QByteArray("1252"));
    EXPECT_EQ(rows.first().value(QStringLiteral("A")), QStringLiteral("x"));
    EXPECT_EQ(rows.first().value(QStringLiteral("champ2")), QStringLiteral("y"));
    // No-break space is white space in both; 0x85 is an ellipsis in Windows-1252 but a line
    // break in Latin-1.
    EXPECT_EQ(rows.first().value(QStringLiteral("B")), QStringLiteral("\u2026"));
    EXPECT_EQ(read(dbf.bytes(), QByteArray("ISO 8859-1")).first().value(QStringLiteral("B")), QString());
}

// Writers pad numbers to the field's decimal count, fill missing ones with '*' and may write an
// exponent; what is read is the number in its shortest plain text.
TEST(DbfNumberTextTest, aNumericFieldReadsAsTheNumberItHolds)
{
    const struct {
        const char* name;
        const char* written;
        const char* read;
    } rows[] = {
        {"padded to fifteen decimals", "28801.000000000000000", "28801"},
        {"a decimal with padding", "0.500", "0.5"},
        {"negative zero", "-0.0", "0"},
        {"a whole negative zero", "-0", "0"},
        {"a plus sign", "+3.10", "3.1"},
        {"a plus sign on a whole number", "+7", "7"},
        {"leading zeros of a number", "007", "7"},
        {"a whole number past a double's digits", "12345678901234567891", "12345678901234567891"},
        {"digits past a double's are noise", "123456789.123456791043282", "123456789.12345679"},
        {"an exponent written out", "1.23450000000e+05", "123450"},
        {"a small number written out", "1.5e-20", "0.000000000000000000015"},
        {"too large to write out", "1.5e+30", "1.5e+30"},
        {"the largest written out", "9.5e23", "950000000000000000000000"},
        {"the smallest too large to write out", "1e24", "1e+24"},
        {"too small to write out", "2.5e-30", "2.5e-30"},
        {"the smallest written out", "1e-24", "0.000000000000000000000001"},
        {"the largest too small to write out", "9.5e-25", "9.5e-25"},
        {"filled with stars", "************************", ""},
        {"one star", "*", ""},
        {"blank", "", ""},
        {"stars beside digits are no number", "12**", "12**"},
        {"a decimal comma is no number", "1,5", "1,5"},
        {"a text", "N/A", "N/A"},
        {"not finite", "inf", "inf"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(ShapefileReader::numberFieldText(QString::fromLatin1(row.written)), QString::fromLatin1(row.read)) << row.name;
}

TEST_F(DbfTest, inconsistentHeadersAreRefused)
{
    Dbf dbf;
    dbf.fields = {{"NOM", 8}};
    dbf.rows = {{{"a"}}, {{"b"}}};
    const QByteArray good = dbf.bytes();

    QByteArray moreRecords = good;
    qToLittleEndian(quint32(3), moreRecords.data() + 4);
    EXPECT_EQ(failure(moreRecords), QStringLiteral("DBF tronqué."));
    QByteArray smallHeader = good;
    qToLittleEndian(quint16(32), smallHeader.data() + 8);
    EXPECT_EQ(failure(smallHeader), QStringLiteral("DBF tronqué."));
    QByteArray zeroRecord = good;
    qToLittleEndian(quint16(0), zeroRecord.data() + 10);
    EXPECT_EQ(failure(zeroRecord), QStringLiteral("DBF tronqué."));
    EXPECT_EQ(failure(good.left(20)), QStringLiteral("DBF tronqué."));

    QByteArray shortRecord = good;
    qToLittleEndian(quint16(5), shortRecord.data() + 10);
    EXPECT_EQ(failure(shortRecord), QStringLiteral("Longueur de ligne DBF invalide."));

    QByteArray cutDescriptor = good;
    qToLittleEndian(quint16(50), cutDescriptor.data() + 8);
    cutDescriptor[32] = 'N';
    EXPECT_EQ(failure(cutDescriptor), QStringLiteral("Champ DBF tronqué."));
}

TEST_F(DbfTest, aHeaderOfThirtyThreeBytesHasNoFields)
{
    Dbf dbf;
    dbf.rows = {{{}}, {{}}};
    const auto rows = read(dbf.bytes(), QByteArray("UTF-8"));
    ASSERT_EQ(rows.size(), 2);
    EXPECT_TRUE(rows[0].isEmpty());
}
