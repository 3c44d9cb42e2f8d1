#include "model/PlmSpatialDecoration.h"

#include "model/PlmEntity.h"

#include <gtest/gtest.h>

using namespace PlmSpatialDecoration;

namespace {

const QString geographic = QStringLiteral("longitude/latitude WGS84 (sans reprojection)");

PlmEntity pointEntity(const QString& id, double x, double y)
{
    return PlmEntity(id, QString(), PlmGeometry::point({x, y}), PlmStyle());
}

PlmMap franceMap(QMap<QString, QString> metadata = {{QStringLiteral("coordinates"), geographic}})
{
    PlmEntity border(QStringLiteral("fr"), QStringLiteral("France"),
                     PlmGeometry::polyline({{-5, 42}, {8, 51}}), PlmStyle());
    return PlmMap(QStringLiteral("France"), {border, pointEntity(QStringLiteral("p"), 2.35, 48.85)},
                  metadata);
}

PlmMap withCrs(const QString& crs)
{
    return franceMap({{QStringLiteral("coordinates"), geographic}, {QStringLiteral("crs"), crs}});
}

const PlmPoint view{10, 8};

} // namespace

TEST(PlmSpatialDecorationTest, GeographicNeedsTheDeclarationAndLongitudeLatitudePoints)
{
    EXPECT_TRUE(isGeographic(franceMap()));
    EXPECT_FALSE(isGeographic(franceMap({})));
    EXPECT_FALSE(isGeographic(franceMap({{QStringLiteral("coordinates"), QStringLiteral("Lambert 93")}})));
    EXPECT_FALSE(isGeographic(PlmMap(QStringLiteral("vide"), {}, {{QStringLiteral("coordinates"), geographic}})));

    // A writer's rounding past a bound is still a longitude or latitude; anything further is not.
    const struct {
        const char* name;
        PlmPoint point;
        bool geographic;
    } rows[] = {
        {"on the antimeridian", {180, 0}, true},
        {"rounded past 180", {180.00000000000006, 0}, true},
        {"rounded past -90", {0, -90.00000000000001}, true},
        {"half a degree past 180", {180.5, 0}, false},
        {"a millionth past -180", {-180.000001, 0}, false},
        {"a latitude of 120", {0, 120}, false},
        {"a millionth past 90", {0, 90.000001}, false},
        {"two billionths past 180", {180.000000002, 0}, false},
        {"two billionths past -90", {0, -90.000000002}, false},
        {"half a billionth past -180", {-180.0000000005, 0}, true},
        {"half a billionth past 90", {0, 90.0000000005}, true},
        {"not a number", {qQNaN(), 0}, false},
    };
    for (const auto& row : rows) {
        PlmMap map = franceMap();
        map.entities.append(pointEntity(QStringLiteral("x"), row.point.x, row.point.y));
        EXPECT_EQ(isGeographic(map), row.geographic) << row.name;
    }

    // Group members count, as the extent points of the group.
    PlmMap nested = franceMap();
    nested.entities.append(PlmEntity(QStringLiteral("g"), QString(),
                                     PlmGeometry::group({pointEntity(QStringLiteral("n"), 0, 91)}),
                                     PlmStyle()));
    EXPECT_FALSE(isGeographic(nested));

    // So do a polygon's holes, as its exterior.
    PlmMap holed = franceMap();
    const PlmPolygon lake{{{0, 0}, {10, 0}, {10, 10}, {0, 10}}, {{{2, 2}, {3, 2}, {2, 95}}}};
    holed.entities.append(PlmEntity(QStringLiteral("h"), QString(), PlmGeometry::polygon(lake), PlmStyle()));
    EXPECT_FALSE(isGeographic(holed));
}

TEST(PlmSpatialDecorationTest, CrsMustNameWgs84LongitudeLatitude)
{
    const auto named = [](const QString& name) {
        return withCrs(QStringLiteral(R"({"type": "name", "properties": {"name": "%1"}})").arg(name));
    };
    EXPECT_TRUE(isGeographic(named(QStringLiteral("EPSG:4326"))));
    EXPECT_TRUE(isGeographic(named(QStringLiteral("urn:ogc:def:crs:OGC:1.3:CRS84"))));
    EXPECT_TRUE(isGeographic(named(QStringLiteral("urn:ogc:def:crs:EPSG::4326"))));
    EXPECT_FALSE(isGeographic(named(QStringLiteral("urn:ogc:def:crs:EPSG::2154"))));
    EXPECT_FALSE(isGeographic(named(QStringLiteral("epsg:4326"))));
    EXPECT_FALSE(isGeographic(withCrs(QStringLiteral("EPSG:4326"))));
    EXPECT_FALSE(isGeographic(withCrs(QStringLiteral("{}"))));
    EXPECT_FALSE(isGeographic(withCrs(QStringLiteral(R"({"type": "link", "properties": {"name": "EPSG:4326"}})"))));
    EXPECT_FALSE(isGeographic(withCrs(QStringLiteral(R"({"type": "name", "properties": {}})"))));
    EXPECT_FALSE(isGeographic(withCrs(QStringLiteral(R"({"type": "name", "properties": {"name": 4326}})"))));
    // Deep nesting is refused by the parser, not followed down the stack.
    EXPECT_FALSE(isGeographic(withCrs(QString(100000, QLatin1Char('[')))));
}

TEST(PlmSpatialDecorationTest, GroundLengthAlongAParallel)
{
    const PlmMap map = franceMap();
    const std::optional<double> length = groundDistance(map, {2, 48}, {3, 48}, view);
    ASSERT_TRUE(length.has_value());
    // One degree of longitude at 48° on the WGS84 ellipsoid is about 74.6 km.
    EXPECT_NEAR(*length, 74'600, 100);

    const std::optional<double> swapped = groundDistance(map, {3, 48}, {2, 48}, view);
    ASSERT_TRUE(swapped.has_value());
    EXPECT_NEAR(*swapped, *length, 1e-6);

    // Stepping follows the parallel: longer than the geodesic chord over 5 degrees, but only
    // slightly.
    const std::optional<double> five = groundDistance(map, {0, 48}, {5, 48}, view);
    ASSERT_TRUE(five.has_value());
    EXPECT_NEAR(*five, 5 * *length, 1);
}

TEST(PlmSpatialDecorationTest, NoLengthIsGuessedOutsideTheLimits)
{
    const PlmMap map = franceMap();
    EXPECT_FALSE(groundDistance(franceMap({}), {2, 48}, {3, 48}, view).has_value());
    EXPECT_FALSE(groundDistance(map, {2, 48}, {3, 48}, {21, 8}).has_value());
    EXPECT_FALSE(groundDistance(map, {2, 48}, {3, 48}, {10, 15.5}).has_value());
    EXPECT_FALSE(groundDistance(map, {2, 48}, {3, 48}, {0, 8}).has_value());
    EXPECT_FALSE(groundDistance(map, {2, 48}, {3, 48}, {NAN, 8}).has_value());
    EXPECT_FALSE(groundDistance(map, {2, 48}, {3, 48.001}, view).has_value());
    EXPECT_FALSE(groundDistance(map, {2, 80}, {3, 80}, view).has_value());
    EXPECT_FALSE(groundDistance(map, {2, -80}, {3, -80}, view).has_value());
    EXPECT_TRUE(groundDistance(map, {2, 79.9}, {3, 79.9}, view).has_value());
    EXPECT_FALSE(groundDistance(map, {2, 48}, {2, 48}, view).has_value());
    EXPECT_TRUE(groundDistance(map, {0, 48}, {5, 48}, view).has_value());
    EXPECT_FALSE(groundDistance(map, {0, 48}, {5.01, 48}, view).has_value());
    EXPECT_FALSE(groundDistance(map, {179, 48}, {180.5, 48}, view).has_value());
    EXPECT_FALSE(groundDistance(map, {INFINITY, 48}, {3, 48}, view).has_value());
}
