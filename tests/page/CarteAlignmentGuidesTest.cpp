#include "page/CarteAlignmentGuides.h"

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>
#include <limits>

namespace {
const QRectF page(0, 0, 400, 300); // centre (200, 150)

QRectF frameCentredAt(double x, double y) { return QRectF(x - 20, y - 10, 40, 20); }
} // namespace

TEST(CarteAlignmentGuidesTest, ToleranceIsStrictlyBelowSixPoints)
{
    const auto near = CarteAlignmentGuides::compute(page, {frameCentredAt(205.9, 40)});
    ASSERT_TRUE(near.vertical.has_value());
    EXPECT_EQ(*near.vertical, QLineF(200, 0, 200, 300));
    EXPECT_FALSE(near.horizontal.has_value());

    EXPECT_TRUE(CarteAlignmentGuides::compute(page, {frameCentredAt(206, 40)}).isEmpty());
    EXPECT_TRUE(CarteAlignmentGuides::compute(page, {frameCentredAt(194, 40)}).isEmpty());

    const auto vertical = CarteAlignmentGuides::compute(page, {frameCentredAt(40, 144.5)});
    ASSERT_TRUE(vertical.horizontal.has_value());
    EXPECT_EQ(*vertical.horizontal, QLineF(0, 150, 400, 150));
    EXPECT_FALSE(vertical.vertical.has_value());
}

TEST(CarteAlignmentGuidesTest, GuidesAreIndependentAcrossSelectedObjects)
{
    const auto both = CarteAlignmentGuides::compute(page, {frameCentredAt(200, 150)});
    EXPECT_TRUE(both.vertical && both.horizontal);

    const auto split = CarteAlignmentGuides::compute(page, {frameCentredAt(10, 152), frameCentredAt(198, 10)});
    EXPECT_TRUE(split.vertical && split.horizontal);

    // Nothing selected: nothing drawn, whatever is centred elsewhere.
    EXPECT_TRUE(CarteAlignmentGuides::compute(page, {}).isEmpty());
    EXPECT_TRUE(CarteAlignmentGuides::compute(page, {}).path().isEmpty());

    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_TRUE(CarteAlignmentGuides::compute(page, {QRectF(nan, nan, 10, 10)}).isEmpty());
}

TEST(CarteAlignmentGuidesTest, DrawsDashedLineOnlyWhenRaised)
{
    QImage image(400, 300, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        CarteAlignmentGuides::compute(page, {frameCentredAt(10, 10)}).draw(painter, Qt::blue);
    }
    EXPECT_EQ(image, [] { QImage e(400, 300, QImage::Format_ARGB32); e.fill(Qt::transparent); return e; }());

    {
        QPainter painter(&image);
        CarteAlignmentGuides::compute(page, {frameCentredAt(200, 10)}).draw(painter, Qt::blue);
    }
    // Dashes 4 on, 4 off from the top: rows 1 and 2 are inked, rows 5 and 6 are gaps.
    int inked = 0, gaps = 0;
    for (int y : {1, 2})
        inked += qAlpha(image.pixel(200, y)) > 0 || qAlpha(image.pixel(199, y)) > 0;
    for (int y : {5, 6})
        gaps += qAlpha(image.pixel(200, y)) == 0 && qAlpha(image.pixel(199, y)) == 0;
    EXPECT_EQ(inked, 2);
    EXPECT_EQ(gaps, 2);
    EXPECT_EQ(qAlpha(image.pixel(100, 150)), 0);
}
