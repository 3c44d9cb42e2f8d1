#include "basemaps/PlmSvgNumbers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace PlmSvgNumbers;

TEST(SvgNumbers, ListsFollowTheNumberSyntax)
{
    EXPECT_EQ(numbers(u"10-5"), (QList<double>{10, -5}));
    EXPECT_EQ(numbers(u"1.5.5"), (QList<double>{1.5, 0.5}));
    EXPECT_EQ(numbers(u"1e5 1e 2E-1 +3 -.5 7."), (QList<double>{1e5, 1, 0.2, 3, -0.5, 7}));
    EXPECT_EQ(numbers(u"rgb(1,2,3)"), (QList<double>{1, 2, 3}));
    EXPECT_EQ(numbers(u"- . +. e5 abc"), (QList<double>{5}));
    // A number too large for a double is skipped; one too small reads as zero.
    EXPECT_EQ(numbers(u"1 1e999 2 1e-999"), (QList<double>{1, 2, 0}));
    EXPECT_TRUE(numbers(u"").isEmpty());
}

TEST(SvgNumbers, WholeTokens)
{
    EXPECT_EQ(toDouble(u"12."), 12);
    EXPECT_EQ(toDouble(u"+.5"), 0.5);
    EXPECT_EQ(toDouble(u"1.e2"), 100);
    EXPECT_FALSE(toDouble(u"1 "));
    EXPECT_FALSE(toDouble(u"inf"));
    EXPECT_FALSE(toDouble(u"nan"));
    EXPECT_FALSE(toDouble(u"0x10"));
    EXPECT_FALSE(toDouble(u""));
    EXPECT_EQ(toDouble(u"1e400"), std::numeric_limits<double>::infinity());
    EXPECT_EQ(toDouble(u"-1e400"), -std::numeric_limits<double>::infinity());
    EXPECT_EQ(toDouble(u"123456789e-999"), 0);
    EXPECT_TRUE(std::signbit(*toDouble(u"-1e-999")));
    EXPECT_EQ(toDouble(QString(QStringLiteral("0.") + QString(400, u'0') + QStringLiteral("1"))), 0);
    EXPECT_EQ(toDouble(QString(QStringLiteral("1") + QString(400, u'0'))), std::numeric_limits<double>::infinity());
    // Digits before the point decide even with a negative exponent.
    EXPECT_EQ(toDouble(QString(QStringLiteral("1") + QString(400, u'0') + QStringLiteral("e-10"))),
              std::numeric_limits<double>::infinity());
    EXPECT_EQ(toDouble(QString(QString(500, u'0') + QStringLiteral("1e-400"))), 0);
}

TEST(SvgNumbers, PlainNumbersAndTrimming)
{
    EXPECT_EQ(plainNumber(u" 0.5\n"), 0.5);
    EXPECT_FALSE(plainNumber(u"50%"));
    EXPECT_FALSE(plainNumber(u"1e999"));
    EXPECT_FALSE(plainNumber(u"0,5"));
    EXPECT_EQ(trimmed(u"\t a b \r\n").toString(), QStringLiteral("a b"));
    EXPECT_EQ(matchLength(u"x-1.5e+3px", 1), 7);
    EXPECT_EQ(matchLength(u"x-1.5e+3px", 0), 0);
}
