// A workbook with a wholly empty column, as two spreadsheet programs write them: the header
// row is still recognised (tests/fixtures/regressions/empty-column.xlsx).
#include "tables/PlmInputReader.h"
#include "tables/PlmInputTable.h"

#include <gtest/gtest.h>

TEST(PlmHeaderGuessFile, aWhollyEmptyColumnTakesNoPartInTheGuess)
{
    const QList<PlmInputSheet> sheets =
        PlmInputReader::read(QStringLiteral(PELMORA_TEST_DATA_DIR "/regressions/empty-column.xlsx"));
    ASSERT_EQ(sheets.size(), 1);
    const QList<QStringList>& grid = sheets.first().grid;
    EXPECT_EQ(grid.first(), (QStringList{QStringLiteral("Nom"), QString(), QStringLiteral("Habitants")}));
    EXPECT_TRUE(PlmInputReader::hasHeaderRow(grid));
    // A column empty in the first row only still refuses the guess.
    EXPECT_FALSE(PlmInputReader::hasHeaderRow({{"Nom", "", "Habitants"}, {"Lyon", "x", "522250"}}));
}
