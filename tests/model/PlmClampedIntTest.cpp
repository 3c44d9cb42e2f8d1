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
