#include "data/DataImportWindowControllerModel.h"
#include "model/PlmErrors.h"

#include <gtest/gtest.h>

#include <ostream>

// Readable texts in failure messages.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

PlmEntity area(const QString& id, const QString& name)
{
    return PlmEntity(id, name, PlmGeometry::polygon(PlmPolygon{{{0, 0}, {1, 0}, {1, 1}, {0, 0}}, {}}), PlmStyle());
}

PlmEntity point(const QString& id, const QString& name)
{
    return PlmEntity(id, name, PlmGeometry::point({0, 0}), PlmStyle());
}

PlmMap communes()
{
    return PlmMap("Carte", PlmEntityList{area("75056", "Paris"), area("69123", "Lyon"), area("13055", "Marseille"),
                                         area("31555", "Toulouse"), point("P-Lyon", "Lyon")});
}

PlmInputSheet sheet(const QList<QStringList>& grid, const QStringList& warnings = {})
{
    return PlmInputSheet{QStringLiteral("table.csv"), grid, warnings};
}

const QString closing = QStringLiteral("\nLes variables existantes sont conservées. Cellule vide = donnée absente.");

} // namespace

TEST(DataImportModelTexts, SummaryCountsMatchedRowsRowsToCorrectAndIgnoredRows)
{
    DataImportWindowControllerModel model(
        {sheet({{"Code", "Population"}, {"75056", "1"}, {"69123", "2"}, {"?", "3"}, {"!", "4"}, {"13055", "5"}})}, true);
    model.reload(communes());
    EXPECT_EQ(model.summaryText(), QStringLiteral("3 zones reconnues sur 5 · 2 lignes à corriger"));
    model.ignoreRows({2});
    EXPECT_EQ(model.summaryText(), QStringLiteral("3 zones reconnues sur 5 · 1 ligne à corriger · 1 ignorée"));
    model.ignoreRows({3});
    EXPECT_EQ(model.summaryText(), QStringLiteral("3 zones reconnues sur 5 · 2 ignorées"));
    EXPECT_TRUE(model.canImport(true));
    EXPECT_FALSE(model.canImport(false));
}

TEST(DataImportModelTexts, TheNoteJoinsTieSentenceWarningsMissingColumnsAndTheClosingSentence)
{
    DataImportWindowControllerModel model(
        {sheet({{"Code", "Ancien code"}, {"75056", "69123"}, {"69123", "13055"}},
               {"Séparateur détecté : ;.", "Texte lu en Windows-1252."})},
        false);
    model.reload(communes());
    EXPECT_FALSE(model.confirmedColumn());
    EXPECT_EQ(model.noteText(),
              QStringLiteral("Plusieurs colonnes donnent des résultats différents : choisissez la colonne à utiliser.\n"
                             "Séparateur détecté : ;. Texte lu en Windows-1252.\nCochez les colonnes à importer.")
                  + closing);
    EXPECT_FALSE(model.canImport(true));
    EXPECT_FALSE(model.matchingControlsHidden()); // the key must be chosen

    ASSERT_TRUE(model.chooseKey(1, "id"));
    model.setColumnSelected(0, true);
    model.refresh();
    EXPECT_EQ(model.noteText(), QStringLiteral("Séparateur détecté : ;. Texte lu en Windows-1252.") + closing);
    EXPECT_FALSE(model.matchingControlsHidden()); // a key once shown stays, to be changed again
    EXPECT_TRUE(model.canImport(true));
    EXPECT_FALSE(model.chooseKey(7, "id"));
    EXPECT_EQ(model.candidate().column, 1);
}

TEST(DataImportModelRows, AllMatchedShowsASampleOfEightAndIssuesFilterTheRest)
{
    QList<QStringList> grid = {{"Code", "N"}};
    const QStringList ids = {"75056", "69123", "13055", "31555"};
    for (int i = 0; i < 12; ++i)
        grid.append({i < 4 ? ids.at(i) : QStringLiteral("x%1").arg(i), QString::number(i)});
    DataImportWindowControllerModel model({sheet(grid)}, true);
    model.reload(communes());
    EXPECT_EQ(model.visibleRows().size(), 8); // every row needs attention but the first four
    EXPECT_EQ(model.visibleRows().first(), 4);
    model.setOnlyIssues(false);
    model.refresh();
    EXPECT_EQ(model.visibleRows().size(), 12);
    model.ignoreRows({4, 5, 6, 7, 8, 9, 10, 11});
    EXPECT_EQ(model.visibleRows(), QList<int>({0, 1, 2, 3, 4, 5, 6, 7})); // a sample
    EXPECT_TRUE(model.onlyIssuesHidden());
    EXPECT_TRUE(model.correctionControlsHidden());
}

TEST(DataImportModelRows, PreviewTextsTellEachResolution)
{
    DataImportWindowControllerModel model(
        {sheet({{"Code", "Nom", "N"}, {"75056", "", "1"}, {"?", "Lyon", "2"}, {"13055", "", "3"},
                {"13055", "", "4"}, {"?", "", "5"}, {"?", "", "6"}})},
        true);
    model.reload(PlmMap("Carte", PlmEntityList{area("75056", "Paris"), area("L1", "Lyon"), area("L2", "Lyon"),
                                               area("13055", "Marseille")}));
    model.ignoreRows({5});
    model.setOnlyIssues(false);
    model.refresh();
    EXPECT_EQ(model.previewColumnIdentifiers(), QStringList({"0", "1", "2", "3"}));
    EXPECT_EQ(model.previewTitle("0"), QStringLiteral("Zone reconnue"));
    EXPECT_EQ(model.previewTitle("2"), QStringLiteral("Nom"));
    EXPECT_EQ(model.previewText(0, "0"), QStringLiteral("Paris — 75056"));
    EXPECT_EQ(model.previewText(1, "0"), QStringLiteral("2 zones possibles"));
    EXPECT_EQ(model.previewText(2, "0"), QStringLiteral("Doublon : plusieurs lignes pour cette zone"));
    EXPECT_EQ(model.previewText(4, "0"), QStringLiteral("Non reconnue"));
    EXPECT_EQ(model.previewText(5, "0"), QStringLiteral("Ignorée explicitement"));
    EXPECT_EQ(model.previewText(1, "2"), QStringLiteral("Lyon"));
    EXPECT_EQ(model.previewText(99, "0"), QString());
    EXPECT_TRUE(model.previewNeedsAttention(1));
    EXPECT_FALSE(model.previewNeedsAttention(0));
    // Only selected columns and the key column are previewed.
    model.selectEveryColumn(false);
    EXPECT_EQ(model.previewColumnIdentifiers(), QStringList({"0", "1"}));
}

TEST(DataImportModelCorrections, ExactIdInAnyCaseIsAcceptedAPartialNameIsNot)
{
    DataImportWindowControllerModel model({sheet({{"Code", "N"}, {"?", "1"}})}, true);
    model.reload(PlmMap("Carte", PlmEntityList{area("FR-75", "Paris"), area("FR-69", "Lyon Nord"),
                                               area("FR-691", "Lyon Sud")}));
    EXPECT_FALSE(model.correctRow(0, "Lyon"));
    EXPECT_FALSE(model.correctRow(0, ""));
    EXPECT_EQ(model.resolutions().first(), PlmMatchRow::missing());
    EXPECT_TRUE(model.correctRow(0, "  fr - 69 "));
    EXPECT_EQ(model.resolutions().first(), PlmMatchRow::matched("FR-69"));
    EXPECT_TRUE(model.correctRow(0, "FR-691 — LYON SUD"));
    EXPECT_EQ(model.resolutions().first(), PlmMatchRow::matched("FR-691"));
    EXPECT_EQ(DataImportWindowControllerModel::correctionRefusal(),
              QStringLiteral("Choisissez une zone dans la liste, ou saisissez son identifiant exact."));
    // The search offers every entity whose "id — name" contains the folded query.
    EXPECT_EQ(model.zoneItems("lyon").size(), 2);
    EXPECT_EQ(model.zoneItems("").size(), 3);
    EXPECT_EQ(model.zoneItemText(model.zoneItems("sud").first()), QStringLiteral("FR-691 — Lyon Sud"));
}

TEST(DataImportModelCorrections, ControlsFollowTheSelectedRows)
{
    DataImportWindowControllerModel model({sheet({{"Code", "N"}, {"75056", "1"}, {"?", "2"}, {"!", "3"}})}, true);
    model.reload(communes());
    model.setOnlyIssues(false);
    model.refresh();
    using Controls = DataImportWindowControllerModel::CorrectionControls;
    const auto check = [&](const QList<int>& selected, bool zone, bool batch) {
        const Controls controls = model.correctionControls(selected);
        EXPECT_EQ(controls.zoneAndFix, zone);
        EXPECT_EQ(controls.ignoreAndBatch, batch);
    };
    check({}, false, false);
    check({0}, false, false); // matched
    check({1}, true, true);
    check({1, 2}, false, true);
}

TEST(DataImportModelColumns, SelectAllSkipsTheKeyAndProposesTypes)
{
    DataImportWindowControllerModel model(
        {sheet({{"Nom", "Code", "Part", "Code postal"}, {"Paris", "75056", "12,5 %", "075001"},
                {"Lyon", "69123", "3 %", "069001"}})},
        true);
    model.reload(communes());
    EXPECT_EQ(model.candidate().column, 1);
    EXPECT_EQ(model.selectedColumns(),
              (PlmMatchColumns{{0, PlmVariableType::text}, {2, PlmVariableType::percentage}, {3, PlmVariableType::text}}));
    model.setColumnType(3, PlmVariableType::number);
    EXPECT_EQ(model.columnType(3), PlmVariableType::number);
    model.setColumnSelected(3, false);
    EXPECT_EQ(model.columnType(3), PlmVariableType::text); // back to the proposal
    model.setColumnType(3, PlmVariableType::number);         // not selected: no effect
    EXPECT_FALSE(model.selectedColumns().contains(3));
    model.setColumnSelected(9, true);
    EXPECT_FALSE(model.selectedColumns().contains(9));
}

TEST(DataImportModelSheets, NoSheetIsOneEmptySheetAndChoosingASheetTakesItsHeaderGuess)
{
    DataImportWindowControllerModel none({}, true);
    none.reload(communes());
    EXPECT_EQ(none.sheets().size(), 1);
    EXPECT_EQ(none.summaryText(), QStringLiteral("0 zone reconnue sur 0"));
    EXPECT_FALSE(none.canImport(true));

    DataImportWindowControllerModel model({sheet({{"75056", "1"}, {"69123", "2"}}), sheet({{"Code", "N"}, {"75056", "1"}})},
                                          true);
    EXPECT_FALSE(model.hasHeader());
    model.selectSheet(1);
    EXPECT_TRUE(model.hasHeader());
    model.selectSheet(5);
    EXPECT_EQ(model.sheetIndex(), 1);
}
