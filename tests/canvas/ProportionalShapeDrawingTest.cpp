#include "support/CanvasTestMaps.h"
#include "support/ProportionalShapeTestSupport.h"

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace CanvasTestMaps;
using namespace ProportionalShapeTest;

namespace {

bool blank(const QImage& image)
{
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != qRgb(255, 255, 255))
                return false;
    return true;
}

// Rightmost non-white column on the row through y (y-up), or -1.
int rightEdge(const QImage& image, int y)
{
    for (int x = image.width() - 1; x >= 0; --x)
        if (!isNear(pixelAt(image, x, y), Qt::white, 4))
            return x;
    return -1;
}

PlmProportionalSettings glyph(const char* name)
{
    PlmProportionalSettings s = settingsOf(PlmSymbolKind::sfSymbol);
    s.sfSymbolName = QString::fromLatin1(name);
    return s;
}

const QColor red(255, 0, 0);
const QColor white(255, 255, 255);

} // namespace

TEST(ProportionalShapeDrawing, TriangleApexPointsUp)
{
    const ProportionalShape triangle(settingsOf(PlmSymbolKind::triangle), false);
    const QImage image = drawn(triangle, {100, 100}, 40, PlmColor{1, 0, 0, 1});
    EXPECT_TRUE(isNear(pixelAt(image, 100, 117), red));
    EXPECT_TRUE(isNear(pixelAt(image, 92, 117), white));  // narrow near the apex
    EXPECT_TRUE(isNear(pixelAt(image, 82, 82), red));     // wide near the base
    EXPECT_TRUE(isNear(pixelAt(image, 100, 78), white));  // base at y = 80
}

TEST(ProportionalShapeDrawing, LargerSideTakesTheSize)
{
    PlmProportionalSettings s;
    s.kind = PlmSymbolKind::svg;
    s.svgVector = mapOf({squareEntity(QStringLiteral("a"), 0, 0, 40, 20, PlmColor{1, 0, 0, 1}, 0)});
    const QImage image = drawn(ProportionalShape(s, false), {100, 100}, 80, PlmColor{0, 0, 0, 1});
    EXPECT_TRUE(isNear(pixelAt(image, 61, 100), red));
    EXPECT_TRUE(isNear(pixelAt(image, 58, 100), white));
    EXPECT_TRUE(isNear(pixelAt(image, 100, 119), red));
    EXPECT_TRUE(isNear(pixelAt(image, 100, 121), white));
}

TEST(ProportionalShapeDrawing, NothingForBadSizesOrEmptyShapes)
{
    const ProportionalShape circle(settingsOf(PlmSymbolKind::circle), false);
    for (double size : {0.0, -5.0, std::numeric_limits<double>::infinity(), std::nan("")})
        EXPECT_TRUE(blank(drawn(circle, {100, 100}, size, PlmColor{1, 0, 0, 1}))) << size;

    const ProportionalShape unknown(glyph("no.such.symbol"), false);
    EXPECT_TRUE(unknown.nativeSymbolUnavailable);
    EXPECT_TRUE(blank(drawn(unknown, {100, 100}, 50, PlmColor{1, 0, 0, 1})));

    PlmProportionalSettings emptySvg = settingsOf(PlmSymbolKind::svg);
    emptySvg.svgVector = mapOf({});
    EXPECT_TRUE(blank(drawn(ProportionalShape(emptySvg, false), {100, 100}, 50, PlmColor{1, 0, 0, 1})));
}

TEST(ProportionalShapeDrawing, CapsFollowThePart)
{
    // A horizontal line 40 long, 4 wide: bounds 44 wide, drawn at 88 it spans x 60…140, 8 wide.
    auto image = [](std::optional<int> cap) {
        PlmEntity line = lineEntity(QStringLiteral("l"), {{0, 0}, {40, 0}}, 4);
        line.style.lineCap = cap;
        PlmProportionalSettings s = settingsOf(PlmSymbolKind::svg);
        s.svgVector = mapOf({line});
        return drawn(ProportionalShape(s, false), {100, 100}, 88, PlmColor{1, 0, 0, 1});
    };
    const QImage butt = image(std::nullopt);
    const QImage round = image(1);
    EXPECT_TRUE(isNear(pixelAt(butt, 100, 102), Qt::black));
    EXPECT_TRUE(isNear(pixelAt(butt, 57, 100), white));
    EXPECT_TRUE(isNear(pixelAt(round, 57, 100), Qt::black));
    EXPECT_TRUE(isNear(pixelAt(round, 57, 105), white));  // round, not square
}

TEST(ProportionalShapeDrawing, DashesScaleWithTheSymbol)
{
    // Dash 20 on, 20 off along a line 80 long; drawn at half size the dashes are 10 long.
    PlmEntity line = lineEntity(QStringLiteral("l"), {{0, 0}, {80, 0}}, 4);
    line.style.dash = QList<double>{20, 20};
    PlmProportionalSettings s = settingsOf(PlmSymbolKind::svg);
    s.svgVector = mapOf({line});
    const QImage image = drawn(ProportionalShape(s, false), {100, 100}, 42, PlmColor{1, 0, 0, 1});
    // The line spans x 80…120 at y 100, 2 wide.
    EXPECT_TRUE(isNear(pixelAt(image, 85, 100), Qt::black, 40));
    EXPECT_TRUE(isNear(pixelAt(image, 95, 100), white, 40));
    EXPECT_TRUE(isNear(pixelAt(image, 105, 100), Qt::black, 40));
    EXPECT_TRUE(isNear(pixelAt(image, 115, 100), white, 40));
}

TEST(ProportionalShapeGlyphDrawing, HalfAlphaInBothWays)
{
    const QColor pink(255, 128, 128);
    PlmProportionalSettings s = glyph("square.fill");
    EXPECT_TRUE(isNear(pixelAt(drawn(ProportionalShape(s, false), {100, 100}, 80, PlmColor{1, 0, 0, 0.5}), 100, 100),
                       pink));
    s.automaticColor = true;
    EXPECT_TRUE(isNear(pixelAt(drawn(ProportionalShape(s, false), {100, 100}, 80, PlmColor{1, 0, 0, 0.5}), 100, 100),
                       pink));
}

TEST(ProportionalShapeGlyphDrawing, OutlineRingGrowsWithTheOutlineScale)
{
    PlmProportionalSettings s = glyph("square.fill");
    const int plainEdge = rightEdge(drawn(ProportionalShape(s, false), {100, 100}, 80, PlmColor{1, 0, 0, 1}), 100);
    ASSERT_GT(plainEdge, 100);

    s.outline = style(PlmColor{0, 0, 1, 1}, std::nullopt, 4);
    EXPECT_EQ(rightEdge(drawn(ProportionalShape(s, false), {100, 100}, 80, PlmColor{1, 0, 0, 1}), 100), plainEdge)
        << "no ring while the outline is hidden";

    s.outlineVisible = true;
    const ProportionalShape ringed(s, false);
    const QImage one = drawn(ringed, {100, 100}, 80, PlmColor{1, 0, 0, 1}, 1);
    EXPECT_NEAR(rightEdge(one, 100) - plainEdge, 2, 1);
    EXPECT_TRUE(isNear(pixelAt(one, plainEdge + 1, 100), QColor(0, 0, 255), 60));
    EXPECT_TRUE(isNear(pixelAt(one, plainEdge - 2, 100), red));  // the ring never covers the glyph
    const QImage eight = drawn(ringed, {100, 100}, 80, PlmColor{1, 0, 0, 1}, 8);
    EXPECT_NEAR(rightEdge(eight, 100) - plainEdge, 16, 1);
}

TEST(ProportionalShapeGlyphDrawing, GlyphsStayUprightInEitherPainter)
{
    const ProportionalShape triangle(glyph("triangle.fill"), false);
    const QImage up = drawn(triangle, {100, 100}, 80, PlmColor{1, 0, 0, 1}, 1, true);
    const QImage down = drawn(triangle, {100, 100}, 80, PlmColor{1, 0, 0, 1}, 1, false);
    ASSERT_FALSE(blank(up));
    int differing = 0;
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 200; ++x)
            differing += isNear(QColor(up.pixel(x, y)), QColor(down.pixel(x, y)), 40) ? 0 : 1;
    EXPECT_LT(differing, 40);
}

TEST(ProportionalShapeDrawing, ClipPathsIntersect)
{
    auto box = [](double x0, double y0, double x1, double y1) {
        PlmVectorPath p;
        p.commands = {PlmPathCommand::move({x0, y0}), PlmPathCommand::line({x1, y0}), PlmPathCommand::line({x1, y1}),
                      PlmPathCommand::line({x0, y1}), PlmPathCommand::close()};
        return p;
    };
    PlmEntity square = squareEntity(QStringLiteral("a"), 0, 0, 40, 40, PlmColor{1, 0, 0, 1}, 0);
    square.clipPaths = QList<PlmVectorPath>{box(0, 0, 20, 40), box(0, 0, 40, 20)};  // lower left quarter
    PlmProportionalSettings s = settingsOf(PlmSymbolKind::svg);
    s.svgVector = mapOf({square});
    const ProportionalShape shape(s, false);
    ASSERT_EQ(shape.parts.at(0).clips.size(), 2);
    const QImage image = drawn(shape, {100, 100}, 80, PlmColor{0, 0, 0, 1});  // spans 60…140
    EXPECT_TRUE(isNear(pixelAt(image, 80, 80), red));
    EXPECT_TRUE(isNear(pixelAt(image, 120, 80), white));
    EXPECT_TRUE(isNear(pixelAt(image, 80, 120), white));
    EXPECT_TRUE(isNear(pixelAt(image, 120, 120), white));
}

TEST(ProportionalShapeGlyphDrawing, TheOpacityInForceStillAppliesAfterTheOutlineRing)
{
    // A legend or decoration at half opacity draws its ringed symbols at half opacity too:
    // the ring must not leave the painter opaque for the glyph drawn after it.
    PlmProportionalSettings s = glyph("square.fill");
    s.outline = style(PlmColor{0, 0, 1, 1}, std::nullopt, 4);
    s.outlineVisible = true;
    const ProportionalShape ringed(s, false);
    const int plainEdge =
        rightEdge(drawn(ProportionalShape(glyph("square.fill"), false), {100, 100}, 80, PlmColor{1, 0, 0, 1}), 100);
    QImage image(200, 200, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.translate(0, 200);
    painter.scale(1, -1);
    painter.setOpacity(0.5);
    ringed.draw(painter, {100, 100}, 80, PlmColor{1, 0, 0, 1}, 1);
    EXPECT_NEAR(painter.opacity(), 0.5, 1e-9);
    painter.end();
    EXPECT_TRUE(isNear(pixelAt(image, 100, 100), QColor(255, 128, 128)));
    EXPECT_TRUE(isNear(pixelAt(image, plainEdge + 1, 100), QColor(128, 128, 255), 40));
}
