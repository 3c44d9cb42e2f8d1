// What the data pane writes to the clipboard and where a pasted block lands.
#include "data/DataClipboard.h"

#include "model/PlmErrors.h"
#include "model/PlmTabularText.h"
#include "support/PlmWorkTestSupport.h"

#include <gtest/gtest.h>

namespace {

// Five zones, a percentage, a number, a text and a calculated variable, in that order.
PlmWork fiveZones()
{
    PlmWork work;
    work.map = PlmWorkTest::mapWithEntities({"A", "B", "C", "D", "E"});
    work.map.entities.edit(1).name = QStringLiteral("Bourg\t« haut »");
    work.variables = {
        PlmWorkTest::numberVariable("pct", "Part", {{"A", 12.5}, {"C", 7}}, PlmVariableType::percentage),
        PlmWorkTest::numberVariable("num", "Population", {{"A", 1234.5}, {"B", 3}, {"C", 0.1}}),
        PlmWorkTest::textVariable("txt", "Région", {{"A", "Nord"}, {"B", "dit \"Sud\""}}),
        PlmWorkTest::calculatedVariable("calc", "Tiers", "Population / 3", PlmVariableType::number, 1),
    };
    work.recomputeCalculatedVariables();
    return work;
}

QString blockError(PlmWork& work, const QString& text, const QList<QString>& targets, const QString& start)
{
    const PlmWork before = work;
    try {
        work.pasteBlock(text, targets, start);
    } catch (const PlmError& error) {
        EXPECT_EQ(work, before) << "a refused block changed the work";
        return error.message();
    }
    return {};
}

const QString overflow = QStringLiteral("Le bloc à coller dépasse les lignes ou variables disponibles. Choisissez une "
                                        "cellule de départ et créez les variables nécessaires.");

} // namespace

TEST(DataClipboardCopy, CellsOfTheActiveColumnOneLinePerRow)
{
    const PlmWork work = fiveZones();
    // A percentage, a missing value, then a number with a decimal comma; a final line feed.
    EXPECT_EQ(DataClipboard::copyText({"A", "B", "C"}, false, "pct", work), QStringLiteral("12,5 %\n\n7 %\n"));
    EXPECT_EQ(DataClipboard::copyText({"C", "A"}, false, "num", work), QStringLiteral("0,1\n1234,5\n"));
    EXPECT_EQ(DataClipboard::copyText({"A"}, false, "identifier", work), QStringLiteral("A\n"));
    // A name holding a tab and quotes is quoted so that it reads back whole.
    const QString names = DataClipboard::copyText({"B", "Z"}, false, "name", work);
    EXPECT_EQ(PlmTabularText::parse(names), (QList<QStringList>{{"Bourg\t« haut »"}, {""}}));
    EXPECT_EQ(DataClipboard::copyText({"A"}, false, "gone", work), QStringLiteral("\n"));
    EXPECT_TRUE(DataClipboard::copyText({}, false, "pct", work).isEmpty());
}

TEST(DataClipboardCopy, WholeRowsInTheWorksVariableOrderWithoutHeader)
{
    const PlmWork work = fiveZones();
    const QList<QStringList> lines = PlmTabularText::parse(DataClipboard::copyText({"B", "A", "E"}, true, "pct", work));
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[0], (QStringList{"B", "Bourg\t« haut »", "", "3", "dit \"Sud\"", "1"}));
    EXPECT_EQ(lines[1], (QStringList{"A", "A", "12,5 %", "1234,5", "Nord", "411,5"}));
    EXPECT_EQ(lines[2], (QStringList{"E", "E", "", "", "", ""}));
}

TEST(DataClipboardCopy, CalculatedValuesKeepEveryDigit)
{
    const PlmWork work = fiveZones();
    // The table shows one decimal ("0,0"); the clipboard has the stored value.
    EXPECT_EQ(work.variable("calc")->displayText("C"), QStringLiteral("0,0"));
    const QString copied = DataClipboard::copyText({"C"}, false, "calc", work);
    EXPECT_EQ(copied, QStringLiteral("0,03333333333333333\n"));
    EXPECT_EQ(PlmValue::parse(copied.trimmed(), PlmVariableType::number)->numericValue(),
              work.variable("calc")->values.value("C").numericValue());
}

TEST(DataClipboardPaste, TargetsRunDownFromTheSelectedRow)
{
    const QList<QString> rows{"E", "C", "A", "B"}; // a sorted table
    EXPECT_EQ(DataClipboard::pasteTargets(rows, 1), (QList<QString>{"C", "A", "B"}));
    EXPECT_TRUE(DataClipboard::pasteTargets(rows, -1).isEmpty());
    EXPECT_TRUE(DataClipboard::pasteTargets(rows, 4).isEmpty());
    EXPECT_EQ(DataClipboard::pastedEntities({"C", "A", "B"}, 2), (QList<QString>{"C", "A"}));
    EXPECT_EQ(DataClipboard::pastedEntities({"C"}, 5), (QList<QString>{"C"}));
}

TEST(DataClipboardPaste, CopiedCellsPasteBackToTheSameValues)
{
    PlmWork work = fiveZones();
    const QString text = DataClipboard::copyText({"A", "B", "C"}, false, "num", work);
    PlmWork other = work;
    for (PlmVariable& variable : other.variables)
        if (variable.id == "num")
            variable.values.clear();
    EXPECT_EQ(other.pasteBlock(text, {"A", "B", "C", "D"}, "num"), 3);
    other.recomputeCalculatedVariables();
    EXPECT_EQ(other, work);
}

TEST(DataClipboardPaste, BlocksThatDoNotFitAreRefusedWhole)
{
    PlmWork work = fiveZones();
    // Two lines of three cells on the last row: too many lines.
    EXPECT_EQ(blockError(work, "1\t2\tx\n3\t4\ty\n", DataClipboard::pasteTargets({"A", "B", "C", "D", "E"}, 4), "pct"),
              overflow);
    // On the second-to-last row, three cells from "num" cross into the calculated variable...
    EXPECT_EQ(blockError(work, "1\tx\t2\n3\ty\t4\n", {"D", "E"}, "num"),
              QStringLiteral("Le bloc contient une variable calculée. Collez uniquement dans les colonnes de saisie."));
    // ...and from "txt" there are only two variables to the end.
    EXPECT_EQ(blockError(work, "x\t2\t9\ny\t4\t9\n", {"D", "E"}, "txt"), overflow);
    // Its second column on a calculated variable refuses the block even if the first fits.
    EXPECT_EQ(blockError(work, "Ouest\t5\n", {"D"}, "txt"),
              QStringLiteral("Le bloc contient une variable calculée. Collez uniquement dans les colonnes de saisie."));
    // One bad number refuses every line.
    EXPECT_EQ(blockError(work, "5\n1.234,5\n", {"D", "E"}, "num"),
              QStringLiteral("Nombre attendu : utilisez par exemple 1234,5. Une cellule vide signifie une donnée absente."));
    EXPECT_EQ(blockError(work, "\"5\n", {"D", "E"}, "num"), QStringLiteral("Guillemet non fermé dans le texte à coller."));
}

TEST(DataClipboardPaste, EmptyCellsRemoveAndAFinalLineFeedAddsNoLine)
{
    PlmWork work = fiveZones();
    // Two lines and a final line feed fit exactly the two last rows.
    EXPECT_EQ(work.pasteBlock("\t5\n12,5 %\t6\n", {"A", "B"}, "pct"), 2);
    EXPECT_FALSE(work.variable("pct")->values.contains("A"));
    EXPECT_EQ(work.variable("pct")->values.value("B"), PlmValue::percentage(12.5));
    EXPECT_EQ(work.variable("num")->values.value("A"), PlmValue::number(5));
    EXPECT_EQ(work.variable("num")->values.value("B"), PlmValue::number(6));
    // Calculated values follow the pasted inputs.
    EXPECT_EQ(work.variable("calc")->values.value("B"), PlmValue::number(2));
}
