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

// Decomposing reorders runs of combining characters in time that grows with the square of the
// run: a name of one letter and hundreds of thousands of accents must not hang the program.
TEST(PlmTextFoldingTest, LongRunsOfCombiningCharactersFoldQuickly)
{
    QString accents = QStringLiteral("A");
    for (int i = 0; i < 200000; ++i)
        accents += QChar(i % 2 ? 0x0301 : 0x0316); // two classes, so that the run needs reordering
    EXPECT_EQ(folded(accents), QStringLiteral("a"));

    // Spacing combining characters are kept, in their order within short runs.
    QString stems = QStringLiteral("x");
    for (int i = 0; i < 100000; ++i)
        stems += QString::fromUcs4(i % 2 ? U"\U0001D16D" : U"\U0001D165", 1);
    const QString stemsFolded = folded(stems);
    EXPECT_EQ(stemsFolded.size(), stems.size());
    EXPECT_FALSE(stemsFolded.contains(QChar(0x034F)));
    EXPECT_EQ(folded(QString::fromUcs4(U"x\U0001D16D\U0001D165", 3)), QString::fromUcs4(U"x\U0001D165\U0001D16D", 3));
}
