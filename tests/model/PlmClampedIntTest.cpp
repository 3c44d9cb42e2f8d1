#include "model/PlmClampedInt.h"

#include <QtGlobal>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

// Values a crafted file or an extreme zoom produces, where a plain conversion is undefined.
TEST(PlmClampedInt, outOfRangeAndNotANumberClampInFloatingPoint)
{
    struct Row {
        const char* name;
        double value;
        int expected;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const Row rows[] = {
        {"inside", 41.9, 41},          {"negativeInside", -41.9, -41}, {"notANumberIsTheLow", nan, -100},
        {"plusInfinity", inf, 100},    {"minusInfinity", -inf, -100},  {"hugeFinite", 1.5e308, 100},
        {"atTheHighBound", 100.0, 100}, {"justBelowTheLow", -100.5, -100},
    };
    for (const Row& row : rows)
        EXPECT_EQ(plmClampedInt(row.value, -100, 100), row.expected) << row.name;
    EXPECT_EQ(plmClampedInt<qint64>(1e300), std::numeric_limits<qint64>::max());
    // A denormal zoom: the inverse overflows and its logarithm is infinite.
    EXPECT_EQ(plmClampedInt(std::floor(std::log2(1.0 / 4.9e-324))), std::numeric_limits<int>::max());
}

// Geometry far off a view: clipped in floating point, then covered as toAlignedRect covers it.
TEST(PlmClampedInt, alignedRectIsClippedBeforeItBecomesInt)
{
    struct Row {
        const char* name;
        QRectF rect;
        QRect expected;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const QRectF limit(-2, -2, 104, 84);
    const Row rows[] = {
        {"insideIsAligned", QRectF(10.5, 20.25, 5, 5), QRect(10, 20, 6, 6)},
        {"negativeSizeIsNormalised", QRectF(15.5, 25.25, -5, -5), QRect(10, 20, 6, 6)},
        {"farLeftAndHuge", QRectF(-2147483648.0, 1.2e8, 4e9, 1e308), QRect()},
        {"coversTheView", QRectF(-2147483648.0, -1e308, 4e9, 1e308 + 1e308 * 0.5), QRect(-2, -2, 104, 84)},
        {"straddlesTheRight", QRectF(90, 10, 1e300, 10), QRect(90, 10, 12, 10)},
        {"notANumber", QRectF(nan, 0, 10, 10), QRect()},
    };
    for (const Row& row : rows)
        EXPECT_EQ(plmAlignedRectWithin(row.rect, limit), row.expected) << row.name;
}
