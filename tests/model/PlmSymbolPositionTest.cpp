#include "model/PlmSymbolPosition.h"

#include "model/PlmEntity.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

using namespace PlmSymbolPosition;

namespace {

using Ring = QList<PlmPoint>;

Ring square(double x0, double y0, double x1, double y1)
{
    return {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}};
}

PlmEntity entity(const QString& id, const PlmGeometry& geometry,
                 std::optional<PlmColor> fill = std::nullopt)
{
    return PlmEntity(id, QString(), geometry, PlmStyle(PlmColor{}, fill, 1, 3));
}

PlmVectorPath closedPath(const Ring& ring)
{
    PlmVectorPath path;
    path.commands.append(PlmPathCommand::move(ring.first()));
    for (qsizetype i = 1; i < ring.size(); ++i)
        path.commands.append(PlmPathCommand::line(ring.at(i)));
    path.commands.append(PlmPathCommand::close());
    return path;
}

void expectPoint(const std::optional<PlmPoint>& actual, double x, double y, double tolerance = 1e-12)
{
    ASSERT_TRUE(actual.has_value());
    EXPECT_NEAR(actual->x, x, tolerance);
    EXPECT_NEAR(actual->y, y, tolerance);
}

} // namespace

TEST(PlmSymbolPositionTest, PointIsItsOwnAnchorAndTextUsesItsPlacement)
{
    expectPoint(anchor(PlmGeometry::point({3, -4})), 3, -4);

    PlmText text;
    text.text = QStringLiteral("Lyon");
    text.transform = PlmTransform{2, 0.5, -0.5, 2, 12, 34};
    expectPoint(anchor(PlmGeometry::text(text)), 12, 34);
}

TEST(PlmSymbolPositionTest, LineMidpointWalksHalfTheLength)
{
    EXPECT_FALSE(lineMidpoint({}).has_value());
    expectPoint(lineMidpoint({{7, 8}}), 7, 8);
    expectPoint(lineMidpoint({{1, 1}, {1, 1}}), 1, 1);
    expectPoint(lineMidpoint({{0, 0}, {10, 0}, {10, 10}}), 10, 0);
    // A zero-length first segment is skipped rather than taken as the middle.
    expectPoint(anchor(PlmGeometry::polyline({{0, 0}, {0, 0}, {4, 0}})), 2, 0);
    expectPoint(lineMidpoint({{0, 0}, {3, 4}, {3, 10}}), 3, 4.5);
    // A non-finite length falls back to the first point.
    expectPoint(lineMidpoint({{5, 5}, {NAN, 0}, {1, 1}}), 5, 5);
}

TEST(PlmSymbolPositionTest, SegmentLengthsAreOneFewerThanThePoints)
{
    EXPECT_TRUE(segmentLengths({}).isEmpty());
    EXPECT_TRUE(segmentLengths({{1, 2}}).isEmpty());
    EXPECT_EQ(segmentLengths({{0, 0}, {3, 4}, {3, 4}}), (QList<double>{5, 0}));
}

TEST(PlmSymbolPositionTest, SignedAreaAndInsideTestReadRingsAsClosed)
{
    EXPECT_EQ(signedArea({}), 0);
    EXPECT_EQ(signedArea(square(0, 0, 4, 3)), 12);
    Ring clockwise = square(0, 0, 4, 3);
    std::reverse(clockwise.begin(), clockwise.end());
    EXPECT_EQ(signedArea(clockwise), -12);
    Ring repeated = square(0, 0, 4, 3);
    repeated.append(repeated.first());
    EXPECT_EQ(signedArea(repeated), 12);

    EXPECT_TRUE(isInside(PlmPoint{1, 1}, square(0, 0, 4, 3)));
    EXPECT_FALSE(isInside(PlmPoint{5, 1}, square(0, 0, 4, 3)));
    EXPECT_FALSE(isInside(std::nullopt, square(0, 0, 4, 3)));
    EXPECT_FALSE(isInside(PlmPoint{0, 0}, {}));
}

TEST(PlmSymbolPositionTest, ConvexPolygonGivesItsCentroid)
{
    expectPoint(interiorPoint(square(0, 0, 4, 4), {}), 2, 2);
    Ring closed = square(0, 0, 4, 4);
    closed.append(closed.first());
    expectPoint(anchor(PlmGeometry::polygon(PlmPolygon{closed, {}})), 2, 2);
    expectPoint(interiorPoint({{0, 0}, {6, 0}, {0, 6}}, {}), 2, 2);
    EXPECT_FALSE(interiorPoint({}, {}).has_value());
}

TEST(PlmSymbolPositionTest, CentroidInAHoleFallsBackToTheScanLines)
{
    // The centroid (5, 5) lies in the hole; the first scan line already spans 0 to 10.
    const PlmPolygon polygon{square(0, 0, 10, 10), {square(4, 4, 6, 6)}};
    expectPoint(anchor(PlmGeometry::polygon(polygon)), 5, 5.0 / 17);
}

TEST(PlmSymbolPositionTest, ScanLinesTakeTheWidestSpanAndTheEarliestOnTies)
{
    // A U opening upwards: the centroid (3, 76/28) lies in the notch; every line below the
    // notch spans 6, so the first line wins.
    const Ring u{{0, 0}, {6, 0}, {6, 6}, {4, 6}, {4, 2}, {2, 2}, {2, 6}, {0, 6}};
    expectPoint(interiorPoint(u, {}), 3, 3.0 / 17);

    // Upside down: the lower lines cut two spans of width 2 (the left one would win among
    // them), but the first line above the notch spans 6 and is wider.
    const Ring arch{{0, 0}, {2, 0}, {2, 4}, {4, 4}, {4, 0}, {6, 0}, {6, 6}, {0, 6}};
    expectPoint(interiorPoint(arch, {}), 3, 6 * 11.5 / 17);

    // Flat polygon: no area, no crossing: its first vertex.
    expectPoint(interiorPoint({{1, 1}, {2, 1}, {3, 1}}, {}), 1, 1);
}

TEST(PlmSymbolPositionTest, MultipolygonChoosesTheLargestNetArea)
{
    const PlmPolygon small{square(0, 0, 1, 1), {}};
    const PlmPolygon large{square(10, 10, 14, 14), {}};
    expectPoint(anchor(PlmGeometry::multipolygon({small, large})), 12, 12);
    EXPECT_FALSE(anchor(PlmGeometry::multipolygon({})).has_value());

    const PlmPolygon twin{square(20, 20, 24, 24), {}};
    expectPoint(anchor(PlmGeometry::multipolygon({large, twin})), 12, 12);

    // 100 less a lake of 81 nets 19, which loses to an island of 25.
    const PlmPolygon lake{square(0, 0, 10, 10), {square(0.5, 0.5, 9.5, 9.5)}};
    const PlmPolygon island{square(30, 0, 35, 5), {}};
    expectPoint(anchor(PlmGeometry::multipolygon({lake, island})), 32.5, 2.5);
}

TEST(PlmSymbolPositionTest, PathsAreFlattenedIntoRings)
{
    PlmVectorPath segment;
    segment.commands = {PlmPathCommand::move({0, 0}), PlmPathCommand::line({4, 0})};
    expectPoint(anchor(PlmGeometry::path(segment)), 2, 0);

    PlmVectorPath nested = closedPath(square(0, 0, 10, 10));
    nested.commands.append(closedPath(square(4, 4, 6, 6)).commands);
    expectPoint(anchor(PlmGeometry::path(nested)), 5, 5.0 / 17);

    // An inner ring repeating the outer one point for point is not a hole.
    PlmVectorPath doubled = closedPath(square(0, 0, 10, 10));
    doubled.commands.append(closedPath(square(0, 0, 10, 10)).commands);
    expectPoint(anchor(PlmGeometry::path(doubled)), 5, 5);

    EXPECT_FALSE(anchor(PlmGeometry::path(PlmVectorPath{})).has_value());
}

TEST(PlmSymbolPositionTest, FullTurnArcAnchorsAtItsCentre)
{
    PlmVectorPath circle;
    circle.commands = {PlmPathCommand::arc({3, 4}, {2, 0}, {0, 2}, 0, 2 * std::numbers::pi)};
    expectPoint(anchor(PlmGeometry::path(circle)), 3, 4, 1e-9);
    // The current point plays no part: 32 points, none at the start angle.
    const QList<Ring> rings = flattenedRings(circle);
    ASSERT_EQ(rings.size(), 1);
    EXPECT_EQ(rings.first().size(), 32);
}

TEST(PlmSymbolPositionTest, FlatteningFollowsSubpathsAndCloses)
{
    PlmVectorPath path;
    path.commands = {PlmPathCommand::move({0, 0}), PlmPathCommand::cubic({0, 1}, {1, 1}, {1, 0}),
                     PlmPathCommand::close(), PlmPathCommand::line({5, 5}),
                     PlmPathCommand::move({9, 9})};
    const QList<Ring> rings = flattenedRings(path);
    ASSERT_EQ(rings.size(), 3);
    // The move, 20 curve points and the closing repeat of the first point.
    ASSERT_EQ(rings.at(0).size(), 22);
    EXPECT_EQ(rings.at(0).at(20), (PlmPoint{1, 0}));
    EXPECT_EQ(rings.at(0).last(), (PlmPoint{0, 0}));
    EXPECT_NEAR(rings.at(0).at(10).y, 0.75, 1e-12); // the curve's middle, t = 1/2
    // A line after a close starts a ring of its own, without the closed subpath's start.
    EXPECT_EQ(rings.at(1), (Ring{{5, 5}}));
    EXPECT_EQ(rings.at(2), (Ring{{9, 9}}));
}

TEST(PlmSymbolPositionTest, GroupDefersToItsFirstAreaMemberOrElseItsFirstMember)
{
    const PlmEntity line = entity("l", PlmGeometry::polyline({{0, 0}, {2, 0}}));
    const PlmEntity line2 = entity("m", PlmGeometry::polyline({{10, 0}, {20, 0}}));
    const PlmEntity area = entity("a", PlmGeometry::polygon(PlmPolygon{square(0, 0, 4, 4), {}}));
    const PlmEntity area2 = entity("b", PlmGeometry::polygon(PlmPolygon{square(10, 10, 12, 12), {}}));

    expectPoint(anchor(PlmGeometry::group({line, area, area2})), 2, 2);
    expectPoint(anchor(PlmGeometry::group({line2, line})), 15, 0);
    EXPECT_FALSE(anchor(PlmGeometry::group({})).has_value());

    // A filled, closed path is an area member; a nested group holding one is too.
    const PlmEntity filledPath = entity("p", PlmGeometry::path(closedPath(square(0, 0, 2, 2))),
                                        PlmColor{1, 0, 0, 1});
    expectPoint(anchor(PlmGeometry::group({line2, entity("g", PlmGeometry::group({filledPath}))})), 1, 1);

    // The first area member without an anchor (an empty multipolygon) sends the group back to
    // its first member, not on to later areas.
    const PlmEntity emptyArea = entity("e", PlmGeometry::multipolygon({}));
    expectPoint(anchor(PlmGeometry::group({line2, emptyArea, area})), 15, 0);
}
