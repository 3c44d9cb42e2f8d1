#include "support/CanvasTestMaps.h"
#include "support/ProportionalShapeTestSupport.h"

#include <gtest/gtest.h>

using namespace CanvasTestMaps;
using namespace ProportionalShapeTest;

namespace {

// A single-colour 27 × 57 rectangle stroked 3 wide: its shape bounds are 30 × 60.
PlmMap tallMap(std::optional<PlmColor> fill = PlmColor{0, 0, 1, 0.8}, PlmColor stroke = {0, 0, 1, 0.6})
{
    PlmEntity e = squareEntity(QStringLiteral("e"), 0, 0, 27, 57, fill, 3);
    e.style.stroke = stroke;
    e.style.dash = QList<double>{4, 2};
    return mapOf({e});
}

PlmProportionalSettings svgSettings(const PlmMap& map)
{
    PlmProportionalSettings s = settingsOf(PlmSymbolKind::svg);
    s.svgVector = map;
    return s;
}

PlmStyle outlineStyle(double width) { return style(PlmColor{0, 0, 0, 1}, std::nullopt, width); }

} // namespace

TEST(ProportionalShapeFlags, FollowTheSettings)
{
    PlmProportionalSettings s = svgSettings(tallMap());
    EXPECT_FALSE(ProportionalShape(s, false).hasFillAppearance);
    EXPECT_FALSE(ProportionalShape(s, false).tintSourceColors);
    EXPECT_TRUE(ProportionalShape(s, true).tintSourceColors);
    EXPECT_TRUE(ProportionalShape(s, false).useSourceColors);

    s.automaticColor = false;  // single-colour SVG, colour chosen by hand
    EXPECT_TRUE(ProportionalShape(s, false).hasFillAppearance);
    EXPECT_TRUE(ProportionalShape(s, false).tintSourceColors);
    s.automaticColor = true;
    EXPECT_FALSE(ProportionalShape(s, false).tintSourceColors);

    PlmMap two = tallMap();
    two.entities.append(squareEntity(QStringLiteral("f"), 30, 0, 40, 10, PlmColor{1, 0, 0, 1}));
    PlmProportionalSettings multi = svgSettings(two);
    multi.automaticColor = false;
    EXPECT_FALSE(ProportionalShape(multi, false).tintSourceColors);

    PlmProportionalSettings circle = settingsOf(PlmSymbolKind::circle);
    circle.outline = outlineStyle(2);
    const ProportionalShape withOutline(circle, false);
    EXPECT_TRUE(withOutline.hasFillAppearance);
    EXPECT_FALSE(withOutline.outlineVisible);  // absent means hidden
    EXPECT_FALSE(withOutline.useSourceColors);
}

TEST(ProportionalShapeStyle, UnitShapesTakeTheDrawingColourAndTheOutline)
{
    PlmProportionalSettings s = settingsOf(PlmSymbolKind::circle);
    const ProportionalShape plain(s, false);
    const PlmStyle e = plain.exportStyle(plain.parts.at(0), PlmColor{1, 0, 0, 0.5}, 20);
    EXPECT_EQ(e.fill, (PlmColor{1, 0, 0, 0.5}));
    EXPECT_EQ(e.lineWidth, 0);

    s.outline = outlineStyle(2);
    s.outline->stroke = PlmColor{0, 0, 0, 1};
    s.outlineVisible = true;
    const ProportionalShape outlined(s, false);
    for (double size : {5.0, 20.0, 300.0}) {
        const PlmStyle o = outlined.exportStyle(outlined.parts.at(0), PlmColor{1, 0, 0, 1}, size);
        EXPECT_EQ(o.lineWidth, 2) << size;  // absolute, whatever the size
        EXPECT_EQ(o.stroke, (PlmColor{0, 0, 0, 1}));
    }
    s.outlineVisible = false;
    const ProportionalShape hidden(s, false);
    EXPECT_EQ(hidden.exportStyle(hidden.parts.at(0), PlmColor{1, 0, 0, 1}, 20).lineWidth, 0);
}

TEST(ProportionalShapeStyle, SvgPartsKeepTheirOwnPaint)
{
    PlmProportionalSettings s = svgSettings(tallMap());
    s.automaticColor = true;
    const ProportionalShape shape(s, false);
    ASSERT_TRUE(shape.bounds);
    EXPECT_NEAR(shape.bounds->width(), 30, 1e-9);
    EXPECT_NEAR(shape.bounds->height(), 60, 1e-9);

    const PlmStyle e = shape.exportStyle(shape.parts.at(0), PlmColor{1, 0, 0, 0.5}, 20);
    ASSERT_TRUE(e.fill);
    EXPECT_EQ(*e.fill, (PlmColor{0, 0, 1, 0.4}));
    EXPECT_NEAR(e.lineWidth, 1, 1e-12);  // 3 × 20 / 60
    EXPECT_EQ(e.stroke, (PlmColor{0, 0, 1, 0.6}));
    EXPECT_EQ(e.dash, (QList<double>{4, 2}));  // scaled by the drawing, not here

    const ProportionalShape noAppearance(svgSettings(tallMap()), false);
    EXPECT_DOUBLE_EQ(noAppearance.exportStyle(noAppearance.parts.at(0), PlmColor{1, 0, 0, 0.5}, 20).fill->alpha, 0.8);
}

TEST(ProportionalShapeStyle, TintKeepsTheSourceAlphas)
{
    PlmProportionalSettings s = svgSettings(tallMap());
    s.automaticColor = false;
    const ProportionalShape shape(s, false);
    ASSERT_TRUE(shape.tintSourceColors);
    const PlmStyle e = shape.exportStyle(shape.parts.at(0), PlmColor{0, 1, 0, 1}, 20);
    EXPECT_EQ(*e.fill, (PlmColor{0, 1, 0, 0.8}));
    EXPECT_EQ(e.stroke, (PlmColor{0, 1, 0, 0.6}));
    const PlmStyle t = shape.tintedStyle(shape.parts.at(0), PlmColor{0, 1, 0, 0.1});
    EXPECT_EQ(t.stroke, (PlmColor{0, 1, 0, 0.6}));
}

TEST(ProportionalShapeStyle, PartsWithoutFillStayWithoutFill)
{
    PlmProportionalSettings s = svgSettings(tallMap(std::nullopt));
    for (bool monochrome : {false, true}) {
        for (std::optional<bool> automatic : {std::optional<bool>(), std::optional<bool>(true)}) {
            s.automaticColor = automatic;
            const ProportionalShape shape(s, monochrome);
            EXPECT_FALSE(shape.exportStyle(shape.parts.at(0), PlmColor{1, 0, 0, 1}, 20).fill);
        }
    }
}

TEST(ProportionalShapeStyle, OutlineGovernsEverySvgStroke)
{
    PlmProportionalSettings s = svgSettings(tallMap());
    s.outline = style(PlmColor{1, 0, 1, 1}, std::nullopt, 2);
    s.outline->lineCap = 1;
    s.outlineVisible = true;
    const ProportionalShape visible(s, false);
    const PlmStyle e = visible.exportStyle(visible.parts.at(0), PlmColor{1, 0, 0, 1}, 600);
    EXPECT_EQ(e.lineWidth, 2);
    EXPECT_EQ(e.stroke, (PlmColor{1, 0, 1, 1}));
    EXPECT_FALSE(e.lineCap);  // the part's own cap, never the outline's
    EXPECT_EQ(e.dash, (QList<double>{4, 2}));

    s.outlineVisible = false;
    const ProportionalShape hidden(s, false);
    EXPECT_EQ(hidden.exportStyle(hidden.parts.at(0), PlmColor{1, 0, 0, 1}, 600).lineWidth, 0);
}

TEST(ProportionalShapeBuild, LeavesComeDepthFirstHiddenOnesIncluded)
{
    PlmEntity hidden = squareEntity(QStringLiteral("b"), 0, 0, 1, 1, PlmColor{0, 1, 0, 1}, 0);
    hidden.isHidden = true;
    const PlmEntity inner = groupEntity(QStringLiteral("g2"), {hidden, squareEntity(QStringLiteral("c"), 0, 0, 1, 1, PlmColor{0, 0, 1, 1}, 0)});
    const PlmEntity outer = groupEntity(QStringLiteral("g1"), {squareEntity(QStringLiteral("a"), 0, 0, 1, 1, PlmColor{1, 0, 0, 1}, 0), inner});
    const PlmMap map = mapOf({outer, squareEntity(QStringLiteral("d"), 0, 0, 1, 1, PlmColor{1, 1, 0, 1}, 0)});
    const ProportionalShape shape(svgSettings(map), false);
    ASSERT_EQ(shape.parts.size(), 4);
    EXPECT_EQ(*shape.parts[0].style.fill, (PlmColor{1, 0, 0, 1}));
    EXPECT_EQ(*shape.parts[1].style.fill, (PlmColor{0, 1, 0, 1}));
    EXPECT_EQ(*shape.parts[2].style.fill, (PlmColor{0, 0, 1, 1}));
    EXPECT_EQ(*shape.parts[3].style.fill, (PlmColor{1, 1, 0, 1}));
}

TEST(ProportionalShapeBuild, EveryPartCountsInTheBounds)
{
    // A zero-length, zero-width line still reaches out to (20, 20).
    const PlmMap map = mapOf({squareEntity(QStringLiteral("a"), 0, 0, 10, 10, PlmColor{1, 0, 0, 1}, 0),
                              lineEntity(QStringLiteral("b"), {{20, 20}, {20, 20}}, 0)});
    const ProportionalShape shape(svgSettings(map), false);
    ASSERT_TRUE(shape.bounds);
    EXPECT_NEAR(shape.bounds->left(), 0, 1e-9);
    EXPECT_NEAR(std::abs(shape.bounds->height()), 20, 1e-9);
    EXPECT_NEAR(shape.bounds->width(), 20, 1e-9);
}

TEST(ProportionalShapeBuild, FallbacksAndEmptyMaps)
{
    const ProportionalShape bare(settingsOf(PlmSymbolKind::svg), false);
    ASSERT_EQ(bare.parts.size(), 1);
    EXPECT_EQ(*bare.exportStyle(bare.parts[0], PlmColor{1, 0, 0, 1}, 10).fill, (PlmColor{0.85, 0.9, 0.95, 1}));
    EXPECT_EQ(*bare.exportStyle(bare.parts[0], PlmColor{1, 0, 0, 0.5}, 10).fill, (PlmColor{0.85, 0.9, 0.95, 1}));
    const ProportionalShape tinted(settingsOf(PlmSymbolKind::svg), true);
    EXPECT_EQ(*tinted.exportStyle(tinted.parts[0], PlmColor{1, 0, 0, 1}, 10).fill, (PlmColor{1, 0, 0, 1}));

    const ProportionalShape empty(svgSettings(mapOf({})), false);
    EXPECT_FALSE(empty.bounds);
    EXPECT_TRUE(empty.parts.isEmpty());

    PlmProportionalSettings sf = settingsOf(PlmSymbolKind::sfSymbol);
    sf.sfSymbolName = QStringLiteral("star.fill");
    sf.sfVector = mapOf({squareEntity(QStringLiteral("a"), 0, 0, 10, 10, PlmColor{0, 0, 1, 1}, 0)});
    const ProportionalShape vector(sf, false);
    EXPECT_FALSE(vector.nativeSymbol);
    EXPECT_FALSE(vector.nativeSymbolUnavailable);
    ASSERT_EQ(vector.parts.size(), 1);
    EXPECT_EQ(*vector.exportStyle(vector.parts[0], PlmColor{1, 0, 0, 1}, 10).fill, (PlmColor{1, 0, 0, 1}));
}
