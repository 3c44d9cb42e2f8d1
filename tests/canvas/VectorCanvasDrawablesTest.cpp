#include "canvas/CanvasPathBuilder.h"
#include "canvas/TextOutline.h"
#include "canvas/VectorCanvas.h"
#include "support/CanvasTestMaps.h"
#include "canvas/ProportionalShape.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

using namespace CanvasTestMaps;

namespace {

int countKind(const PlmVectorPath& path, PlmPathCommand::Kind kind)
{
    return int(std::count_if(path.commands.begin(), path.commands.end(),
                             [&](const PlmPathCommand& c) { return c.kind() == kind; }));
}

PlmVectorPath arcPath(double start, double sweep, double r = 10)
{
    PlmVectorPath p;
    p.commands = {PlmPathCommand::move({r * std::cos(start), r * std::sin(start)}),
                  PlmPathCommand::arc({0, 0}, {r, 0}, {0, r}, start, sweep)};
    return p;
}

PlmText textAt(const QString& s, const QString& anchor, PlmTransform t = {})
{
    PlmText text;
    text.text = s;
    text.fontName = QStringLiteral("Helvetica");
    text.fontSize = 20;
    text.transform = t;
    text.anchor = anchor;
    return text;
}

PlmEntity svgSymbolEntity(const QString& id, PlmColor paint, std::optional<PlmPointSymbolColorMode> mode)
{
    PlmVectorPath square;
    square.commands = {PlmPathCommand::move({0, 0}), PlmPathCommand::line({1, 0}), PlmPathCommand::line({1, 1}),
                       PlmPathCommand::close()};
    PlmEntity part(QStringLiteral("part"), QString(), PlmGeometry::path(square), style(paint, paint, 0));
    PlmPointSymbol symbol(std::nullopt, mapOf({part}));
    symbol.colorMode = mode;
    PlmEntity e = pointEntity(id, 0, 0, 5);
    e.style.stroke = PlmColor{0.1, 0.2, 0.3, 0.5};
    e.pointSymbol = symbol;
    return e;
}

} // namespace

TEST(CanvasDrawables, ArcsBecomeCubicsOfAtMost45Degrees)
{
    VectorCanvas canvas(mapOf({}), false, QString());
    const PlmVectorPath quarter = canvas.path(PlmGeometry::path(arcPath(0, std::numbers::pi / 2)), {});
    EXPECT_EQ(countKind(quarter, PlmPathCommand::Kind::cubic), 2);
    EXPECT_EQ(countKind(quarter, PlmPathCommand::Kind::arc), 0);
    const PlmPathCubic* last = quarter.commands.last().asCubic();
    ASSERT_NE(last, nullptr);
    EXPECT_NEAR(last->end.x, 0, 1e-9);
    EXPECT_NEAR(last->end.y, 10, 1e-9);
    // The curve stays on the circle: its midpoint at t = 0.5 is within 0.03 % of r.
    const PlmPathCubic* first = quarter.commands[1].asCubic();
    const double mx = (10 + 3 * first->control1.x + 3 * first->control2.x + first->end.x) / 8;
    const double my = (0 + 3 * first->control1.y + 3 * first->control2.y + first->end.y) / 8;
    EXPECT_NEAR(std::hypot(mx, my), 10, 0.003);

    EXPECT_EQ(countKind(canvas.path(PlmGeometry::path(arcPath(0, std::numbers::pi / 4)), {}), PlmPathCommand::Kind::cubic), 1);
    const PlmVectorPath none = canvas.path(PlmGeometry::path(arcPath(1, 0)), {});
    ASSERT_EQ(countKind(none, PlmPathCommand::Kind::cubic), 1);
    EXPECT_NEAR(none.commands.last().asCubic()->end.x, 10 * std::cos(1.0), 1e-9);
    EXPECT_EQ(countKind(canvas.path(PlmGeometry::path(arcPath(0, -2 * std::numbers::pi)), {}), PlmPathCommand::Kind::cubic), 8);
}

TEST(CanvasDrawables, CubicsPassThroughTheirEndNotTheirControlPoints)
{
    VectorCanvas canvas(mapOf({}), false, QString());
    canvas.setOffset(QPointF(10, 20));
    PlmVectorPath curve;
    curve.commands = {PlmPathCommand::move({0, 0}), PlmPathCommand::cubic({0, 100}, {100, 100}, {100, 0})};
    const QPainterPath drawn = CanvasPathBuilder::toPainterPath(canvas.path(PlmGeometry::path(curve), {}));
    const QPointF end = drawn.pointAtPercent(1);
    EXPECT_NEAR(end.x(), 110, 1e-9);
    EXPECT_NEAR(end.y(), 20, 1e-9);
    // The curve's top is at 3/4 of its control points' height, and its
    // middle lies between them.
    EXPECT_NEAR(drawn.boundingRect().bottom(), 20 + 75, 1e-6);
    const QPointF middle = drawn.pointAtPercent(0.5);
    EXPECT_NEAR(middle.x(), 60, 1e-6);
    EXPECT_NEAR(middle.y(), 95, 1e-6);
}

TEST(CanvasDrawables, FontWeightAndStyleAttributes)
{
    EXPECT_TRUE(TextOutline::isBoldWeight(QStringLiteral("600")));
    EXPECT_TRUE(TextOutline::isBoldWeight(QStringLiteral("700")));
    EXPECT_TRUE(TextOutline::isBoldWeight(QStringLiteral("bold")));
    EXPECT_FALSE(TextOutline::isBoldWeight(QStringLiteral("599")));
    EXPECT_FALSE(TextOutline::isBoldWeight(QStringLiteral("Bold")));
    EXPECT_FALSE(TextOutline::isBoldWeight(QStringLiteral("0")));
    EXPECT_FALSE(TextOutline::isBoldWeight(QStringLiteral("600px")));
    EXPECT_TRUE(TextOutline::isItalicStyle(QStringLiteral("oblique")));
    EXPECT_FALSE(TextOutline::isItalicStyle(QStringLiteral("Italic")));
    EXPECT_TRUE(TextOutline::font(QStringLiteral("Helvetica"), true, false).bold());
    // PostScript names carry their face.
    const QFont named = TextOutline::font(QStringLiteral("Helvetica-BoldOblique"), false, false);
    EXPECT_TRUE(named.bold());
    EXPECT_TRUE(named.italic());
    EXPECT_EQ(named.family(), QStringLiteral("Helvetica"));

    // The bold face is wider than the regular one.
    const PlmGeometry text = PlmGeometry::text(textAt(QStringLiteral("Montagne"), QStringLiteral("start")));
    const QRectF regular = CanvasPathBuilder::painterPath(text, {{"text.font-weight", "599"}}, {}).boundingRect();
    const QRectF bold = CanvasPathBuilder::painterPath(text, {{"text.font-weight", "600"}}, {}).boundingRect();
    EXPECT_GT(bold.width(), regular.width() * 1.02);
}

TEST(CanvasDrawables, TextAnchorsLinesAndWindingRule)
{
    VectorCanvas canvas(mapOf({}), false, QString());
    const PlmTransform at = PlmTransform::translation(100, 50);
    const QRectF end = CanvasPathBuilder::bounds(canvas.path(PlmGeometry::text(textAt("Lac", "end", at)), {}));
    const QRectF middle = CanvasPathBuilder::bounds(canvas.path(PlmGeometry::text(textAt("Lac", "middle", at)), {}));
    const QRectF other = CanvasPathBuilder::bounds(canvas.path(PlmGeometry::text(textAt("Lac", "left", at)), {}));
    EXPECT_NEAR(end.right(), 100, 2.5);
    EXPECT_LT(end.left(), 90);
    EXPECT_NEAR(middle.center().x(), 100, 2);
    EXPECT_NEAR(other.left(), 100, 2.5);
    EXPECT_GT(other.center().x(), 100);
    EXPECT_GE(end.top(), 50 - 1);  // capitals sit on the baseline, y up

    const PlmVectorPath two = canvas.path(PlmGeometry::text(textAt("A\nA", "start")), {});
    EXPECT_FALSE(two.evenOdd);
    const QRectF both = CanvasPathBuilder::bounds(two);
    const QRectF one = CanvasPathBuilder::bounds(canvas.path(PlmGeometry::text(textAt("A", "start")), {}));
    EXPECT_NEAR(one.top() - both.top(), 1.2 * 20, 0.5);

    // On a y-down map a text whose transform has d = −1 is upright: its top is above the baseline.
    VectorCanvas down(mapOf({}, {{"coordinates.yAxis", "down"}}), false, QString());
    const QRectF upright = CanvasPathBuilder::bounds(
        down.path(PlmGeometry::text(textAt("T", "start", PlmTransform{1, 0, 0, -1, 0, 0})), {}));
    EXPECT_GT(upright.bottom(), 10);
    EXPECT_NEAR(upright.top(), 0, 1);
}

TEST(CanvasDrawables, PolygonHolesAndPathRules)
{
    VectorCanvas canvas(mapOf({}), false, QString());
    PlmPolygon polygon;
    polygon.exterior = rect(0, 0, 10, 10);
    polygon.holes = {rect(3, 3, 6, 6)};
    const PlmVectorPath p = canvas.path(PlmGeometry::polygon(polygon), {});
    EXPECT_TRUE(p.evenOdd);
    EXPECT_EQ(countKind(p, PlmPathCommand::Kind::move), 2);
    EXPECT_EQ(countKind(p, PlmPathCommand::Kind::close), 2);
    const QPainterPath drawable = CanvasPathBuilder::toPainterPath(p);
    EXPECT_FALSE(drawable.contains(QPointF(4.5, 4.5)));
    EXPECT_TRUE(drawable.contains(QPointF(1, 1)));

    PlmVectorPath nonZero;
    nonZero.commands = {PlmPathCommand::move({0, 0}), PlmPathCommand::line({1, 0}), PlmPathCommand::close()};
    EXPECT_FALSE(canvas.path(PlmGeometry::path(nonZero), {}).evenOdd);
    EXPECT_TRUE(canvas.path(PlmGeometry::point({1, 1}), {}).commands.isEmpty());
    const PlmVectorPath line = canvas.path(PlmGeometry::polyline({{0, 0}, {1, 1}}), {});
    EXPECT_EQ(countKind(line, PlmPathCommand::Kind::close), 0);
}

TEST(CanvasDrawables, PointRadiusUnits)
{
    VectorCanvas canvas(mapOf({}), false, QString());
    canvas.setScale(7);
    PlmEntity screen = pointEntity("s", 0, 0, 4);
    EXPECT_DOUBLE_EQ(canvas.pointRadiusInView(screen), 4);
    screen.attributes.insert("studio.point.units", "map");
    EXPECT_DOUBLE_EQ(canvas.pointRadiusInView(screen), 28);
    PlmEntity symbol = pointEntity("y", 0, 0, 4);
    symbol.pointSymbol = PlmPointSymbol(QStringLiteral("star.fill"), std::nullopt);
    EXPECT_DOUBLE_EQ(canvas.pointRadiusInView(symbol), 28);
}

TEST(CanvasDrawables, SymbolColourOverridesTakeTheStrokeAlpha)
{
    PlmEntity automatic = svgSymbolEntity("a", {0, 0.5, 0, 1}, std::nullopt);
    PlmEntity fixed = svgSymbolEntity("f", {0, 0.5, 0, 1}, PlmPointSymbolColorMode::fixed);
    VectorCanvas canvas(mapOf({automatic, fixed}), false, QString());
    const PlmColor ownColour = canvas.pointSymbolColor(automatic);
    EXPECT_EQ(ownColour, (PlmColor{0, 0.5, 0, 0.5}));
    canvas.fillOverrides.insert("a", PlmColor{1, 0, 0, 0.5});
    canvas.fillOverrides.insert("f", PlmColor{1, 0, 0, 0.5});
    EXPECT_EQ(canvas.pointSymbolColor(automatic), (PlmColor{1, 0, 0, 0.25}));
    EXPECT_EQ(canvas.pointSymbolColor(fixed), fixed.style.stroke);
    PlmEntity plain = pointEntity("p", 0, 0);
    EXPECT_EQ(canvas.pointSymbolColor(plain), plain.style.stroke);
}

TEST(CanvasDrawables, PointShapesAreCachedUntilTheMapChanges)
{
    PlmEntity e = svgSymbolEntity("a", {0, 0.5, 0, 1}, std::nullopt);
    VectorCanvas canvas(mapOf({e}), false, QString());
    const auto first = canvas.pointShape(e);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(canvas.pointShape(e), first);
    EXPECT_TRUE(first->useSourceColors);
    EXPECT_TRUE(first->tintSourceColors);
    canvas.setMap(canvas.map());
    EXPECT_NE(canvas.pointShape(e), first);
    EXPECT_EQ(canvas.pointShape(pointEntity("p", 0, 0)), nullptr);

    PlmEntity unknown = pointEntity("u", 0, 0);
    unknown.pointSymbol = PlmPointSymbol(QStringLiteral("no.such.symbol"), std::nullopt);
    const auto missing = canvas.pointShape(unknown);
    EXPECT_TRUE(missing->nativeSymbolUnavailable);
}
