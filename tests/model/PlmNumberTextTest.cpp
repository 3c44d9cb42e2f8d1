#include "model/PlmNumberText.h"

#include <gtest/gtest.h>

#include <clocale>

TEST(PlmNumberTextTest, shortestTextRoundTrips)
{
    EXPECT_EQ(PlmNumberText::shortest(1), QStringLiteral("1"));
    EXPECT_EQ(PlmNumberText::shortest(0.1), QStringLiteral("0.1"));
    EXPECT_EQ(PlmNumberText::shortest(-0.0), QStringLiteral("-0"));
    EXPECT_EQ(PlmNumberText::shortest(1e21), QStringLiteral("1e+21"));
    EXPECT_EQ(PlmNumberText::shortest(0.1 + 0.2), QStringLiteral("0.30000000000000004"));
    EXPECT_EQ(PlmNumberText::parseDouble(PlmNumberText::shortest(0.1 + 0.2)), 0.1 + 0.2);
}

TEST(PlmNumberTextTest, parsingTakesWholeTextsAndIgnoresTheLocale)
{
    const char* previous = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = previous ? previous : "C";
    std::setlocale(LC_NUMERIC, "fr_FR.UTF-8"); // may be missing; the result must not depend on it
    EXPECT_EQ(PlmNumberText::parseDouble(QStringView(u"1.5")), 1.5);
    EXPECT_EQ(PlmNumberText::parseDouble(QStringView(u"-2e3")), -2000);
    EXPECT_FALSE(PlmNumberText::parseDouble(QStringView(u"1,5")));
    EXPECT_FALSE(PlmNumberText::parseDouble(QStringView(u" 1")));
    EXPECT_FALSE(PlmNumberText::parseDouble(QStringView(u"inf")));
    EXPECT_FALSE(PlmNumberText::parseDouble(QStringView(u"1e999")));
    EXPECT_FALSE(PlmNumberText::parseDouble(QStringView(u"")));
    EXPECT_FALSE(PlmNumberText::parseDouble(QStringView(u"１")));
    EXPECT_EQ(PlmNumberText::shortest(1.5), QStringLiteral("1.5"));
    EXPECT_EQ(PlmNumberText::parseInteger(QStringView(u"-42")), -42);
    EXPECT_FALSE(PlmNumberText::parseInteger(QStringView(u"4.2")));
    EXPECT_FALSE(PlmNumberText::parseInteger(QStringView(u"99999999999999999999")));
    std::setlocale(LC_NUMERIC, saved.c_str());
}
