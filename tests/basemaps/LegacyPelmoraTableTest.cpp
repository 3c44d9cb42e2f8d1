#include "tables/PlmInputReader.h"
#include "basemaps/LegacyPelmoraTable.h"
#include "basemaps/PlmVectorImporter.h"
#include "support/PelmoraTestFiles.h"
#include "support/TableReaderTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace PelmoraTestFiles;

namespace {

const QString closing = QStringLiteral(
    "Tableau Pelmora historique ; lignes absentes = données manquantes. Les mots de mise en forme ne sont pas "
    "interprétés.");
const QString unqualified = QStringLiteral(
    "Tableau Pelmora : structure non qualifiée ou fichier tronqué (noms/cellules/lignes). L’original est conservé "
    "intact.");

QString parseFailure(const QByteArray& bytes)
{
    return errorOf([&] { LegacyPelmoraTable::parse(bytes); });
}

TEST(PelmoraTableTest, ReadsRowsColumnsAndMissingCells)
{
    const QByteArray bytes = table({{"Population", {{0, 1250.5}, {2, -3}}}, {"Vide", {}}},
                                   {"Ain", "Aisne", QByteArray("Ari\x8Fge")});
    ASSERT_TRUE(LegacyPelmoraTable::isRecognized(bytes));
    const LegacyPelmoraTable t = LegacyPelmoraTable::parse(bytes);
    ASSERT_EQ(t.rows.size(), 3);
    EXPECT_EQ(t.rows[2].label, QStringLiteral("Ariège"));
    EXPECT_EQ(t.rows[1].index, 1);
    ASSERT_EQ(t.columns.size(), 2);
    EXPECT_EQ(t.columns[0].name, QStringLiteral("Population"));
    EXPECT_EQ(t.columns[0].values, (QMap<int, double>{{0, 1250.5}, {2, -3}}));
    EXPECT_TRUE(t.columns[1].values.isEmpty()); // a named variable without cells is a column
    EXPECT_EQ(t.warnings, QStringList{closing});
}

TEST(PelmoraTableTest, UnnamedVariablesAndNonFiniteValues)
{
    QByteArray bytes = table({{"", {}}, {"", {{0, 4}}}, {"Taux", {{0, 1}, {1, 2}}}}, {"A", "B"});
    const qsizetype lastCell = bytes.size() - 2 * 32 - 10;
    bytes.replace(lastCell, 10, QByteArray("\x7F\xFF\x00\x00\x00\x00\x00\x00\x00\x01", 10));
    const LegacyPelmoraTable t = LegacyPelmoraTable::parse(bytes);
    ASSERT_EQ(t.columns.size(), 2);
    EXPECT_EQ(t.columns[0].name, QStringLiteral("Variable historique 2"));
    EXPECT_EQ(t.columns[1].values, (QMap<int, double>{{0, 1}}));
    EXPECT_EQ(t.warnings, (QStringList{QStringLiteral("Une variable sans nom est conservée sous « Variable historique 2 »."),
                                       QStringLiteral("1 valeur non finie conservée comme donnée absente."),
                                       closing}));
}

TEST(PelmoraTableTest, ExtendedValuesFollowTheirOwnRules)
{
    const auto value = [](const char* bytes) {
        return LegacyPelmoraTable::extendedValue(QByteArray(bytes, 10), 0);
    };
    EXPECT_EQ(value("\x3F\xFF\x80\x00\x00\x00\x00\x00\x00\x00"), 1.0);
    EXPECT_EQ(value("\xC0\x00\xC0\x00\x00\x00\x00\x00\x00\x00"), -3.0);
    EXPECT_EQ(value("\xC0\x05\x00\x00\x00\x00\x00\x00\x00\x00"), 0.0); // zero mantissa
    EXPECT_TRUE(std::isnan(value("\x7F\xFF\x00\x00\x00\x00\x00\x00\x00\x00")));
    // Exponent 0 is read as exponent 1.
    EXPECT_EQ(value("\x00\x00\x80\x00\x00\x00\x00\x00\x00\x00"), value("\x00\x01\x80\x00\x00\x00\x00\x00\x00\x00"));
}

TEST(PelmoraTableTest, LayoutsAreTriedInOrderAndTheFirstWins)
{
    const QByteArray single = table({{"Taux", {{0, 0.5}}}}, {"A"}, 26, 4);
    const LegacyPelmoraTable t = LegacyPelmoraTable::parse(single);
    EXPECT_EQ(t.columns.value(0).values.value(0), 0.5);
    // The first layout would read a shorter file differently; the file is readable by 256/10 only.
    const QByteArray wide = table({{"Taux", {{0, 0.25}}}}, {"A"});
    EXPECT_EQ(LegacyPelmoraTable::parse(wide), LegacyPelmoraTable::read(wide, 256, 10));
    EXPECT_FALSE(errorOf([&] { LegacyPelmoraTable::read(wide, 26, 4); }).isEmpty());
}

TEST(PelmoraTableTest, RefusalsKeepTheTwoMessagesOfParse)
{
    const QByteArray good = table({{"Taux", {{0, 1}}}}, {"A", "B"});
    EXPECT_FALSE(LegacyPelmoraTable::isRecognized(good.left(2051)));
    EXPECT_EQ(parseFailure(good.left(2051)), QStringLiteral("Tableau Pelmora : en-tête historique non reconnu."));
    EXPECT_EQ(parseFailure(good + "x"), unqualified);

    EXPECT_EQ(errorOf([&] { LegacyPelmoraTable::read(good + "x", 256, 10); }),
              QStringLiteral("Fin du tableau historique non reconnue."));
    QByteArray noRows = good;
    noRows[0] = 0;
    noRows[1] = 0;
    EXPECT_EQ(errorOf([&] { LegacyPelmoraTable::read(noRows, 256, 10); }),
              QStringLiteral("Dimensions historiques invalides."));
    QByteArray badName = table({{"Taux", {{0, 1}}}}, {"A"}, 26, 10);
    badName[2052 + 4] = char(26); // the length byte must stay below the width
    EXPECT_EQ(errorOf([&] { LegacyPelmoraTable::read(badName, 26, 10); }), QStringLiteral("Nom historique invalide."));
    QByteArray badIndex = good;
    badIndex[2052 + 1] = 1;
    EXPECT_EQ(errorOf([&] { LegacyPelmoraTable::read(badIndex, 256, 10); }),
              QStringLiteral("Indice de variable historique invalide."));
    QByteArray tooManyCells = good;
    tooManyCells[2052 + 256 + 8 + 1] = 3;
    EXPECT_EQ(errorOf([&] { LegacyPelmoraTable::read(tooManyCells, 256, 10); }),
              QStringLiteral("Nombre de cellules historique invalide."));
    QByteArray repeatedRow = good;
    repeatedRow[repeatedRow.size() - 32 + 1] = 0;
    EXPECT_EQ(errorOf([&] { LegacyPelmoraTable::read(repeatedRow, 256, 10); }),
              QStringLiteral("Identifiant de ligne historique invalide."));
    EXPECT_EQ(errorOf([&] { LegacyPelmoraTable::read(good.left(2060), 256, 10); }),
              QStringLiteral("Tableau historique tronqué."));
}

TEST(PelmoraTableTest, DataTablesReadPelmoraTablesThroughTheRegisteredParser)
{
    // Linking the importer (used here) registers the parser before main: no call needed.
    EXPECT_FALSE(PlmVectorImporter::isShapefile(QByteArray()));
    const QByteArray bytes = table({{"Taux", {{1, 2.5}}}}, {"Ain", "Aisne"});
    const PlmLegacyTableContent content = PlmInputReader::parseLegacyTable(bytes);
    ASSERT_EQ(content.rows.size(), 2);
    EXPECT_EQ(content.rows[1].label, QStringLiteral("Aisne"));
    EXPECT_EQ(content.columns.value(0).values.value(1), 2.5);
    EXPECT_EQ(content.warnings.last(), closing);
    EXPECT_EQ(errorOf([&] { PlmInputReader::parseLegacyTable(bytes + "x"); }), unqualified);
}

} // namespace
