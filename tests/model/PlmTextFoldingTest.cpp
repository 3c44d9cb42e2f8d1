#include "model/PlmTextFolding.h"

#include <gtest/gtest.h>

using namespace PlmTextFolding;

TEST(PlmTextFoldingTest, TrimsUnicodeWhiteSpaceAndLineBreaksOnly)
{
    EXPECT_EQ(trimmed(QStringLiteral(" \t\r\n\u00A0\u202F\u2028Nord \u3000")), QStringLiteral("Nord"));
    EXPECT_EQ(trimmed(QStringLiteral("  a b  ")), QStringLiteral("a b"));
    // A zero-width space is a format character, not white space.
    EXPECT_EQ(trimmed(QStringLiteral("\u200Ba")), QStringLiteral("\u200Ba"));
    EXPECT_EQ(trimmed(QStringLiteral(" \n ")), QString());
}

TEST(PlmTextFoldingTest, IgnoresCaseAndAccentsTheFrenchWay)
{
    EXPECT_TRUE(equalFolded(QStringLiteral("Région"), QStringLiteral("region")));
    EXPECT_TRUE(equalFolded(QStringLiteral("RÉGION "), QStringLiteral("région")));
    // Decomposed input (e + combining acute) folds like the precomposed letter.
    EXPECT_TRUE(equalFolded(QStringLiteral("Re\u0301gion"), QStringLiteral("REGION")));
    EXPECT_TRUE(equalFolded(QStringLiteral("Côte-d’Ivoire"), QStringLiteral("cote-d’ivoire")));
    EXPECT_TRUE(equalFolded(QStringLiteral("ÇA"), QStringLiteral("ça")));
    EXPECT_EQ(folded(QStringLiteral("  Île-de-France\n")), QStringLiteral("ile-de-france"));
}

TEST(PlmTextFoldingTest, KeepsDifferentLettersApart)
{
    EXPECT_FALSE(equalFolded(QStringLiteral("Population"), QStringLiteral("Populations")));
    EXPECT_FALSE(equalFolded(QStringLiteral("a b"), QStringLiteral("ab")));
    EXPECT_FALSE(equalFolded(QStringLiteral("œuvre"), QStringLiteral("oeuvre")));
    EXPECT_TRUE(equalFolded(QString(), QStringLiteral(" \t")));
    EXPECT_TRUE(equalFolded(QStringLiteral("Straße"), QStringLiteral("STRASSE")));
    EXPECT_TRUE(equalFolded(QStringLiteral("ﬁn"), QStringLiteral("FIN")));
}

TEST(PlmTextFoldingTest, SurvivesLoneSurrogatesAndAstralCharacters)
{
    const QString lone = QString(QChar(0xD800)) + QStringLiteral("É");
    EXPECT_EQ(folded(lone), QString(QChar(0xD800)) + QStringLiteral("e"));
    EXPECT_EQ(folded(QStringLiteral("𝐀É")), QStringLiteral("𝐀e"));
}
