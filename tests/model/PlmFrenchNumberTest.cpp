#include "model/PlmFrenchNumber.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {
// Test texts are written with '_' for the narrow no-break space that groups thousands.
QString fr(const char* text)
{
    return QString::fromUtf8(text).replace(QLatin1Char('_'), QChar(0x202F));
}
} // namespace

TEST(PlmFrenchNumberTest, MissingValueIsAnEmDashWhateverTheSettings)
{
    EXPECT_EQ(formatFrenchNumber(std::nullopt, 3), QStringLiteral("—"));
    EXPECT_EQ(formatFrenchNumber(std::nullopt, 10, 2), QStringLiteral("—"));
}

TEST(PlmFrenchNumberTest, SignificantDigitsGroupThousandsWithoutTrailingZeros)
{
    EXPECT_EQ(formatFrenchNumber(1234.5, 3), fr("1_230"));
    EXPECT_EQ(formatFrenchNumber(1234.5, 10), fr("1_234,5"));
    EXPECT_EQ(formatFrenchNumber(1234567.891, 10), fr("1_234_567,891"));
    EXPECT_EQ(formatFrenchNumber(12.5, 3), fr("12,5"));
    EXPECT_EQ(formatFrenchNumber(100, 1), fr("100"));
    EXPECT_EQ(formatFrenchNumber(85, 1), fr("80"));      // tie to the even digit
    EXPECT_EQ(formatFrenchNumber(0.000123456, 3), fr("0,000123"));
    EXPECT_EQ(formatFrenchNumber(999.96, 4), fr("1_000"));
    EXPECT_EQ(formatFrenchNumber(0, 3), fr("0"));
    EXPECT_EQ(formatFrenchNumber(-0.0, 3), fr("0"));
    EXPECT_EQ(formatFrenchNumber(-1234.5, 3), fr("-1_230"));
    EXPECT_EQ(formatFrenchNumber(-0.5, 3), fr("-0,5"));
}

TEST(PlmFrenchNumberTest, FixedDecimalsAreExactAndNeverScientific)
{
    EXPECT_EQ(formatFrenchNumber(1234.5, 3, 2), fr("1_234,50"));
    EXPECT_EQ(formatFrenchNumber(0.00005, 3, 4), fr("0,0000"));
    EXPECT_EQ(formatFrenchNumber(0.00015, 3, 4), fr("0,0002"));
    EXPECT_EQ(formatFrenchNumber(0.000051, 3, 4), fr("0,0001"));
    EXPECT_EQ(formatFrenchNumber(1e12, 3, 0), fr("1_000_000_000_000"));
    EXPECT_EQ(formatFrenchNumber(2.5, 3, 0), fr("2"));
    EXPECT_EQ(formatFrenchNumber(3.5, 3, 0), fr("4"));
    EXPECT_EQ(formatFrenchNumber(0.5, 3, 0), fr("0"));
    EXPECT_EQ(formatFrenchNumber(0.6, 3, 0), fr("1"));
    EXPECT_EQ(formatFrenchNumber(-0.001, 3, 2), fr("0,00"));
    EXPECT_EQ(formatFrenchNumber(-7, 3, 1), fr("-7,0"));
    EXPECT_EQ(formatFrenchNumber(9.999, 3, 2), fr("10,00"));
}

TEST(PlmFrenchNumberTest, TiesAreJudgedOnTheShortestDigits)
{
    // 0.125 is exact in binary, 2.675 lies just below 2.675: both follow their written digits.
    EXPECT_EQ(formatFrenchNumber(0.125, 3, 2), fr("0,12"));
    EXPECT_EQ(formatFrenchNumber(0.375, 3, 2), fr("0,38"));
    EXPECT_EQ(formatFrenchNumber(2.675, 3, 2), fr("2,68"));
    EXPECT_EQ(formatFrenchNumber(1.005, 3, 2), fr("1,00"));
    EXPECT_EQ(formatFrenchNumber(0.125, 2), fr("0,12"));
    EXPECT_EQ(formatFrenchNumber(2.675, 3), fr("2,68"));
}

TEST(PlmFrenchNumberTest, ScientificFromOneTrillionAndBelowOneTenThousandth)
{
    EXPECT_EQ(formatFrenchNumber(999999999999.0, 12), fr("999_999_999_999"));
    EXPECT_EQ(formatFrenchNumber(9.99e11, 3), fr("999_000_000_000"));
    EXPECT_EQ(formatFrenchNumber(999999999999.0, 3), fr("1_000_000_000_000"));
    EXPECT_EQ(formatFrenchNumber(1e12, 3), fr("1E12"));
    EXPECT_EQ(formatFrenchNumber(1.23456e15, 3), fr("1,23E15"));
    EXPECT_EQ(formatFrenchNumber(-1.23456e15, 3), fr("-1,23E15"));
    EXPECT_EQ(formatFrenchNumber(9.999e12, 3), fr("1E13"));
    EXPECT_EQ(formatFrenchNumber(0.0001, 3), fr("0,0001"));
    EXPECT_EQ(formatFrenchNumber(0.00009999, 3), fr("1E-4"));
    EXPECT_EQ(formatFrenchNumber(0.00009999, 4), fr("9,999E-5"));
    EXPECT_EQ(formatFrenchNumber(0.00005, 3), fr("5E-5"));
    EXPECT_EQ(formatFrenchNumber(-0.00005, 3), fr("-5E-5"));
    EXPECT_EQ(formatFrenchNumber(5e-324, 3), fr("5E-324"));
    EXPECT_EQ(formatFrenchNumber(std::numeric_limits<double>::max(), 3), fr("1,8E308"));
}

TEST(PlmFrenchNumberTest, OutOfRangeArgumentsAndNonFiniteValuesStayBounded)
{
    EXPECT_EQ(formatFrenchNumber(1234.5, 0), fr("1_000"));
    EXPECT_EQ(formatFrenchNumber(1234.5, -5), fr("1_000"));
    EXPECT_EQ(formatFrenchNumber(1234.5, 3, -2), fr("1_234"));
    EXPECT_LE(formatFrenchNumber(1.5, 3, 1 << 30).size(), 400);
    EXPECT_EQ(formatFrenchNumber(std::nan(""), 3), QStringLiteral("NaN"));
    EXPECT_EQ(formatFrenchNumber(-std::numeric_limits<double>::infinity(), 3, 2), QStringLiteral("-∞"));
    EXPECT_EQ(formatFrenchNumber(1e300, 3, 0).size(), 301 + 100);
}

TEST(PlmFrenchNumberTest, FixedFormWithoutGroupingForCellTexts)
{
    EXPECT_EQ(formatFrenchFixed(1234.5, 2, false), QStringLiteral("1234,50"));
    EXPECT_EQ(formatFrenchFixed(12.5, 0, false), QStringLiteral("12"));
    EXPECT_EQ(formatFrenchFixed(13.5, 0, false), QStringLiteral("14"));
    EXPECT_EQ(formatFrenchFixed(-0.004, 2, false), QStringLiteral("0,00"));
}
