#include "model/PlmErrors.h"
#include "platform/SymbolGlyphProvider.h"
#include "support/CanvasTestMaps.h"
#include "support/ProportionalShapeTestSupport.h"

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

using namespace CanvasTestMaps;
using namespace ProportionalShapeTest;

namespace {

PlmMap svgMap(double lineWidth, PlmColor stroke = {0, 0, 0, 1})
{
    PlmVectorPath p;
    p.commands = {PlmPathCommand::move({0, 0}), PlmPathCommand::line({40, 0}), PlmPathCommand::line({40, 20}),
                  PlmPathCommand::line({0, 20}), PlmPathCommand::close()};
    PlmEntity e(QStringLiteral("e"), QString(), PlmGeometry::path(p), style(stroke, PlmColor{0, 0, 1, 0.8}, lineWidth));
    return mapOf({e});
}

const QColor red(255, 0, 0);
const QColor white(255, 255, 255);

} // namespace

TEST(ProportionalShapeUnits, CircleSquareAndTriangleFillTheirSize)
{
    const PlmColor colour{1, 0, 0, 1};
    const QImage circle = drawn(ProportionalShape(settingsOf(PlmSymbolKind::circle), false), {100, 100}, 20, colour);
    EXPECT_TRUE(isNear(pixelAt(circle, 100, 100), red));
    EXPECT_TRUE(isNear(pixelAt(circle, 108, 100), red));
    EXPECT_TRUE(isNear(pixelAt(circle, 108, 108), white));  // outside the disc, inside its square

    const QImage square = drawn(ProportionalShape(settingsOf(PlmSymbolKind::square), false), {100, 100}, 20, colour);
    EXPECT_TRUE(isNear(pixelAt(square, 91, 91), red));
    EXPECT_TRUE(isNear(pixelAt(square, 111, 100), white));

    const QImage triangle = drawn(ProportionalShape(settingsOf(PlmSymbolKind::triangle), false), {100, 100}, 20, colour);
    EXPECT_TRUE(isNear(pixelAt(triangle, 99.5, 104), red));  // apex up
    EXPECT_TRUE(isNear(pixelAt(triangle, 92, 91), red));     // wide base
    EXPECT_TRUE(isNear(pixelAt(triangle, 92, 108), white));

    ProportionalShape unit(settingsOf(PlmSymbolKind::circle), false);
    EXPECT_EQ(unit.bounds, QRectF(-0.5, -0.5, 1, 1));
    EXPECT_FALSE(unit.useSourceColors);
    const PlmStyle e = unit.exportStyle(unit.parts.first(), PlmColor{1, 0, 0, 0.5}, 20);
    EXPECT_EQ(e.fill, (PlmColor{1, 0, 0, 0.5}));
    EXPECT_DOUBLE_EQ(e.lineWidth, 0);
    // Sizes that are not finite and positive draw nothing.
    const QImage none = drawn(unit, {100, 100}, -5, colour);
    EXPECT_TRUE(isNear(pixelAt(none, 100, 100), white));
}

TEST(ProportionalShapeUnits, OutlinesReplaceStrokes)
{
    PlmProportionalSettings s = settingsOf(PlmSymbolKind::circle);
    s.outline = style({0, 0, 0, 1}, std::nullopt, 2);
    s.outlineVisible = true;
    ProportionalShape visible(s, false);
    EXPECT_TRUE(visible.hasFillAppearance);
    EXPECT_DOUBLE_EQ(visible.exportStyle(visible.parts.first(), {1, 0, 0, 1}, 300).lineWidth, 2);
    s.outlineVisible.reset();
    ProportionalShape hidden(s, false);
    EXPECT_DOUBLE_EQ(hidden.exportStyle(hidden.parts.first(), {1, 0, 0, 1}, 300).lineWidth, 0);
}

TEST(ProportionalShapeSvg, PartsKeepTheirColoursAndBoundsGrowByHalfTheStroke)
{
    PlmProportionalSettings s = settingsOf(PlmSymbolKind::svg);
    s.svgVector = svgMap(4);
    ProportionalShape shape(s, false);
    ASSERT_EQ(shape.parts.size(), 1);
    ASSERT_TRUE(shape.bounds.has_value());
    EXPECT_EQ(*shape.bounds, QRectF(-2, -2, 44, 24));
    EXPECT_TRUE(shape.useSourceColors);
    EXPECT_FALSE(shape.tintSourceColors);
    const PlmStyle e = shape.exportStyle(shape.parts.first(), PlmColor{0, 1, 0, 0.5}, 22);
    EXPECT_EQ(e.fill, (PlmColor{0, 0, 1, 0.8}));  // no automatic colour nor outline: alpha kept
    EXPECT_DOUBLE_EQ(e.lineWidth, 4 * 22.0 / 44);

    s.automaticColor = false;
    EXPECT_FALSE(ProportionalShape(s, false).tintSourceColors);  // black stroke, blue fill: two colours
    s.svgVector = svgMap(4, PlmColor{0, 0, 1, 1});
    ProportionalShape tinted(s, false);
    EXPECT_TRUE(tinted.tintSourceColors);
    const PlmStyle t = tinted.exportStyle(tinted.parts.first(), PlmColor{0, 1, 0, 0.5}, 22);
    EXPECT_EQ(t.fill, (PlmColor{0, 1, 0, 0.4}));

    // A y-down symbol map is turned upright: the part spans y −20…0 in shape space.
    PlmMap down = svgMap(0);
    down.metadata.insert("coordinates.yAxis", "down");
    s.svgVector = down;
    EXPECT_EQ(*ProportionalShape(s, false).bounds, QRectF(0, -20, 40, 20));

    s.svgVector = mapOf({});
    EXPECT_FALSE(ProportionalShape(s, false).bounds.has_value());
}

TEST(ProportionalShapeGlyphs, KnownNamesDrawAndOthersAreUnavailable)
{
    PlmProportionalSettings s = settingsOf(PlmSymbolKind::sfSymbol);
    s.sfSymbolName = QStringLiteral("square.fill");
    ProportionalShape glyph(s, false);
    ASSERT_TRUE(glyph.nativeSymbol.has_value());
    EXPECT_FALSE(glyph.nativeSymbolUnavailable);
    EXPECT_TRUE(glyph.parts.isEmpty());
    const QImage image = drawn(glyph, {100, 100}, 50, PlmColor{1, 0, 0, 1});
    EXPECT_TRUE(isNear(pixelAt(image, 100, 100), red));
    EXPECT_TRUE(isNear(pixelAt(image, 100, 140), white));

    s.sfSymbolName = QStringLiteral("figure.walk");
    ProportionalShape missing(s, false);
    EXPECT_TRUE(missing.nativeSymbolUnavailable);
    EXPECT_FALSE(missing.nativeSymbol.has_value());
    try {
        ProportionalShape::systemSymbolImage(QStringLiteral("figure.walk"));
        FAIL();
    } catch (const PlmWorkError& error) {
        EXPECT_EQ(error.message(), QStringLiteral("Pictogramme indisponible sur cet ordinateur : figure.walk."));
    }
    EXPECT_TRUE(SymbolGlyphProvider::availableNames().contains(QStringLiteral("star.fill")));
    EXPECT_FALSE(SymbolGlyphProvider::isAvailable(QStringLiteral("")));
}

// The rasterized glyph: 512 pixels for the symbol, a transparent border for a visible outline
// whose width keeps its proportion to a symbol of the given size.
TEST(ProportionalShapeGlyphs, RenderBitmapSizesAndPads)
{
    PlmProportionalSettings plain = settingsOf(PlmSymbolKind::sfSymbol);
    plain.sfSymbolName = QStringLiteral("square.fill");
    PlmProportionalSettings outlinedNoStyle = plain;
    outlinedNoStyle.outlineVisible = true;
    PlmProportionalSettings outlined = outlinedNoStyle;
    outlined.outline = PlmStyle(PlmColor{0, 0, 0, 1}, std::nullopt, 2, 4);
    PlmProportionalSettings huge = outlined;
    huge.outline->lineWidth = 1;
    struct Case {
        const char* name;
        PlmProportionalSettings settings;
        double size;
        int side;
    } cases[] = {
        {"no visible outline", plain, 16, 512},
        {"visible outline without a style: pad 2", outlinedNoStyle, 16, 516},
        {"2 pt outline on a 16 pt symbol: pad 34", outlined, 16, 580},
        {"size 0 counts as 0.01 and the pad is bounded", outlined, 0, 2048},
        {"1 pt outline on a 0.01 pt symbol stays bounded", huge, 0.01, 2048},
        {"a NaN size counts as 0.01", huge, std::nan(""), 2048},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ProportionalShape shape(c.settings, false);
        const QImage image = shape.renderBitmap(PlmColor{1, 0, 0, 1}, c.size);
        EXPECT_EQ(image.size(), QSize(c.side, c.side));
        // Transparent corners, the colour at the centre.
        EXPECT_EQ(image.pixelColor(0, 0).alpha(), 0);
        EXPECT_TRUE(isNear(image.pixelColor(c.side / 2, c.side / 2), red));
    }
    // The 64-pixel ring (2 pt at 512 / 16 pixels per point, half of it outside the glyph)
    // fits in the bitmap: black around the glyph, transparent at the very edge.
    const QImage ring = ProportionalShape(outlined, false).renderBitmap(PlmColor{1, 0, 0, 1}, 16);
    EXPECT_TRUE(isNear(ring.pixelColor(50, 290), QColor(0, 0, 0)));
    EXPECT_EQ(ring.pixelColor(50, 290).alpha(), 255);
    EXPECT_EQ(ring.pixelColor(2, 290).alpha(), 0);
}
