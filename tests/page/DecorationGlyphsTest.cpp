#include "page/DecorationGlyphs.h"

#include "support/YUpImage.h"
#include "support/PresentationTestSupport.h"

#include <functional>
#include <gtest/gtest.h>

namespace {

QRectF boundsOf(const QPainterPath& path) { return path.boundingRect(); }

} // namespace

TEST(DecorationShadow, BlurZeroGivesOneFullLayerAndBlurTwelveGivesTwelveGrowingLayers)
{
    EXPECT_TRUE(decorationShadowLayers(PlmPresentation(), std::nullopt, QRectF(0, 0, 10, 10)).isEmpty());

    const QRectF rect(10, 20, 100, 50);
    const PlmPresentation unblurred = withEditingStyle([](PlmEditingStyle& s) { s.shadow = true; s.shadowBlur = 0; });
    const auto sharp = decorationShadowLayers(unblurred, PlmDecorationKind::rectangle, rect);
    ASSERT_EQ(sharp.size(), 1);
    EXPECT_DOUBLE_EQ(sharp[0].alpha, 0.25);
    EXPECT_EQ(boundsOf(sharp[0].path), rect.translated(3, -3));

    const auto soft = decorationShadowLayers(withEditingStyle([](PlmEditingStyle& s) {
        s.shadow = true;
        s.shadowBlur = 12;
        s.shadowColor = PlmColor{0.2, 0.4, 0.6, 0.6};
    }), PlmDecorationKind::rectangle, rect);
    ASSERT_EQ(soft.size(), 12);
    for (int k = 0; k < 12; ++k) {
        const double outset = 11 - k;  // widest first
        EXPECT_NEAR(boundsOf(soft[k].path).width(), 100 + 2 * outset, 1e-9);
        EXPECT_NEAR(boundsOf(soft[k].path).left(), 13 - outset, 1e-9);
        EXPECT_DOUBLE_EQ(soft[k].alpha, 0.05);
        EXPECT_DOUBLE_EQ(soft[k].blue, 0.6);
    }
}

TEST(DecorationShadow, ALegendShadowIsARoundedRectangleAndAnEllipseShadowAnOval)
{
    const PlmPresentation p = withEditingStyle([](PlmEditingStyle& s) {
        s.shadow = true;
        s.shadowBlur = 12;
        s.cornerRadius = 0;
    });
    const QRectF rect(0, 0, 100, 100);
    const auto legend = decorationShadowLayers(p, std::nullopt, rect);
    // The widest layer is rounded by its outset alone: its corner point is not covered.
    const QRectF wide = boundsOf(legend[0].path);
    EXPECT_FALSE(legend[0].path.contains(wide.topLeft() + QPointF(0.5, 0.5)));
    EXPECT_TRUE(legend.last().path.contains(rect.translated(3, -3).topLeft() + QPointF(0.5, 0.5)));
    const auto oval = decorationShadowLayers(p, PlmDecorationKind::ellipse, rect);
    EXPECT_FALSE(oval.last().path.contains(rect.translated(3, -3).topLeft() + QPointF(2, 2)));
    EXPECT_TRUE(oval.last().path.contains(rect.translated(3, -3).center()));
}

TEST(DecorationFrame, HiddenFrameKeepsItsShadowAndZeroBorderIsNotStroked)
{
    PlmPresentation p = withEditingStyle([](PlmEditingStyle& s) {
        s.shadow = true;
        s.shadowBlur = 0;
        s.shadowColor = PlmColor{0, 0, 1, 1};
        s.shadowX = 10;
        s.shadowY = -10;
        s.frameFill = PlmColor{1, 0, 0, 1};
    });
    p.frameHidden = true;
    YUpImage hidden(120, 120);
    drawDecorationFrame(*hidden.painter, p, PlmDecorationKind::rectangle, QRectF(20, 20, 60, 60));
    hidden.finish();
    EXPECT_TRUE(nearColor(hidden.at(85, 15), Qt::blue));  // shadow beyond the box
    EXPECT_TRUE(nearColor(hidden.at(50, 50), Qt::blue));  // no red frame on top

    p.frameHidden.reset();
    YUpImage shown(120, 120);
    drawDecorationFrame(*shown.painter, p, PlmDecorationKind::rectangle, QRectF(20, 20, 60, 60));
    shown.finish();
    EXPECT_TRUE(nearColor(shown.at(50, 50), Qt::red));
    EXPECT_TRUE(nearColor(shown.at(85, 15), Qt::blue));

    PlmPresentation border = withEditingStyle([](PlmEditingStyle& s) {
        s.strokeWidth = 0;
        s.frameFill = PlmColor{1, 1, 1, 0};
        s.stroke = PlmColor{0, 0, 0, 1};
    });
    border.border = true;
    YUpImage none(60, 60);
    drawDecorationFrame(*none.painter, border, PlmDecorationKind::rectangle, QRectF(10, 10, 40, 40));
    none.finish();
    EXPECT_TRUE(nearColor(none.at(10.5, 30), Qt::white));

    border.editing->strokeWidth = 2;
    YUpImage some(60, 60);
    drawDecorationFrame(*some.painter, border, PlmDecorationKind::rectangle, QRectF(10, 10, 40, 40));
    some.finish();
    EXPECT_TRUE(nearColor(some.at(10.5, 30), Qt::black, 40));
}

TEST(DecorationShapes, ArrowHeadsFollowTheHeightAndLinesRunThroughTheMiddle)
{
    const PlmPresentation p;
    const auto line = decorationShapePath(PlmDecorationKind::line, p, QRectF(5, 0, 100, 40));
    ASSERT_TRUE(line);
    EXPECT_EQ(line->elementAt(0).x, 5);
    EXPECT_EQ(line->elementAt(0).y, 20);
    EXPECT_EQ(line->elementAt(1).x, 105);

    const auto low = decorationShapePath(PlmDecorationKind::arrow, p, QRectF(0, 0, 100, 20));
    ASSERT_TRUE(low);
    ASSERT_EQ(low->elementCount(), 5);
    EXPECT_EQ(QPointF(low->elementAt(2)), QPointF(90, 20));
    EXPECT_EQ(QPointF(low->elementAt(3)), QPointF(100, 10));
    EXPECT_EQ(QPointF(low->elementAt(4)), QPointF(90, 0));

    const auto high = decorationShapePath(PlmDecorationKind::arrow, p, QRectF(0, 0, 100, 100));
    EXPECT_EQ(QPointF(high->elementAt(2)), QPointF(84, 66));

    EXPECT_FALSE(decorationShapePath(PlmDecorationKind::text, p, QRectF(0, 0, 10, 10)));
    EXPECT_FALSE(decorationShapePath(PlmDecorationKind::north, p, QRectF(0, 0, 10, 10)));
    EXPECT_EQ(boundsOf(*decorationShapePath(PlmDecorationKind::ellipse, p, QRectF(1, 2, 30, 40))), QRectF(1, 2, 30, 40));
}

TEST(DecorationNorthArrow, TipBaseNotchAndCircleOfTheDefaultObject)
{
    const QRectF bounds(0, 0, 64, 100);
    const QPainterPath notched = northArrowPath(0, bounds);
    EXPECT_EQ(QPointF(notched.elementAt(0)), QPointF(32, 70));
    EXPECT_EQ(QPointF(notched.elementAt(1)), QPointF(20, 18));
    EXPECT_EQ(QPointF(notched.elementAt(2)), QPointF(32, 28));
    EXPECT_EQ(QPointF(notched.elementAt(3)), QPointF(44, 18));
    EXPECT_FALSE(notched.contains(QPointF(32, 22)));  // inside the notch

    const QPainterPath flat = northArrowPath(1, bounds);
    EXPECT_EQ(QPointF(flat.elementAt(2)), QPointF(32, 18));
    EXPECT_TRUE(flat.contains(QPointF(32, 22)));

    const QPainterPath ringed = northArrowPath(2, bounds);
    EXPECT_EQ(ringed.fillRule(), Qt::OddEvenFill);
    EXPECT_NEAR(ringed.boundingRect().top(), 18, 1e-9);
    EXPECT_FALSE(ringed.contains(QPointF(32, 40)));  // arrow and circle overlap: cancelled
    EXPECT_TRUE(ringed.contains(QPointF(17.8, 37)));  // ring only
}

TEST(DecorationScaleBar, PlainBarAndAlternatingCells)
{
    const auto plain = scaleBarPath(0, QRectF(0, 0, 220, 60));
    ASSERT_EQ(plain.size(), 1);
    EXPECT_FALSE(plain[0].filled);
    EXPECT_EQ(plain[0].path.boundingRect(), QRectF(10, 16, 200, 9));

    const auto alternating = scaleBarPath(1, QRectF(0, 0, 220, 60));
    ASSERT_EQ(alternating.size(), 4);
    const double starts[] = {10, 60, 110, 160};
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(alternating[k].path.boundingRect(), QRectF(starts[k], 17, 50, 8));
        EXPECT_EQ(alternating[k].filled, k % 2 == 0);
    }
    for (const ScaleBarPiece& piece : scaleBarPath(2, QRectF(0, 0, 220, 60)))
        EXPECT_TRUE(piece.filled);
}

TEST(DecorationScaleBar, LabelsInFrenchWithTheAutomaticUnit)
{
    const QString nnbsp(QChar(0x202F));
    EXPECT_EQ(scaleBarLabel(999, 0), QStringLiteral("≈ 999 m"));
    EXPECT_EQ(scaleBarLabel(1000, 0), QStringLiteral("≈ 1 km"));
    EXPECT_EQ(scaleBarLabel(1234, 0), QStringLiteral("≈ 1,23 km"));
    EXPECT_EQ(scaleBarLabel(12345, 1), QStringLiteral("≈ 12") + nnbsp + QStringLiteral("300 m"));
    EXPECT_EQ(scaleBarLabel(500, 2), QStringLiteral("≈ 0,5 km"));
    EXPECT_EQ(scaleBarLabel(5000, 7), QStringLiteral("≈ 5") + nnbsp + QStringLiteral("000 m"));
}

TEST(DecorationStroke, DashedStrokeLeavesGapsAndFillComesFirst)
{
    const PlmPresentation p = withEditingStyle([](PlmEditingStyle& s) {
        s.strokeWidth = 4;
        s.dash = 1;
        s.stroke = PlmColor{0, 0, 0, 1};
    });
    QPainterPath path;
    path.moveTo(0, 10);
    path.lineTo(100, 10);
    YUpImage image(100, 20);
    image.painter->setRenderHint(QPainter::Antialiasing, false);
    strokeDecorationPath(*image.painter, path, std::nullopt, p);
    image.finish();
    // on 6, off 4 in points, whatever the width
    EXPECT_TRUE(nearColor(image.at(3, 10), Qt::black, 40));
    EXPECT_TRUE(nearColor(image.at(8, 10), Qt::white, 40));
    EXPECT_TRUE(nearColor(image.at(13, 10), Qt::black, 40));
}
