#include "model/PlmWork.h"

#include "model/PlmErrors.h"
#include "model/PlmRowSort.h"
#include "model/PlmWorkEdits.h"
#include "support/PlmWorkTestSupport.h"

#include <gtest/gtest.h>

#include <QRegularExpression>

using namespace PlmWorkTest;

namespace {

// Runs an edit that must be refused: checks the exact sentence and that nothing changed.
template <typename Edit>
void expectRefused(PlmWork& work, Edit edit, const QString& message)
{
    const PlmWork before = work;
    try {
        edit(work);
        ADD_FAILURE() << "the edit was accepted";
    } catch (const PlmWorkError& error) {
        EXPECT_EQ(error.message(), message);
    }
    EXPECT_EQ(work, before);
}

const PlmVariable& named(const PlmWork& work, const QString& name)
{
    for (const PlmVariable& variable : work.variables) {
        if (variable.name == name)
            return variable;
    }
    throw std::runtime_error("no such variable");
}

QString formulaOf(const PlmWork& work, const QString& name)
{
    return named(work, name).calculation->expression;
}

// A, a percentage of actives over population, and a plain formula on A.
PlmWork sampleWork()
{
    PlmWork work;
    work.map = mapWithEntities({QStringLiteral("E1"), QStringLiteral("E2"), QStringLiteral("E10")});
    work.variables = {
        numberVariable(QStringLiteral("a"), QStringLiteral("A"), {{"E1", 1}, {"E2", 2}, {"E10", 10}}),
        numberVariable(QStringLiteral("act"), QStringLiteral("Actifs"), {{"E1", 25}, {"E2", 10}}),
        numberVariable(QStringLiteral("pop"), QStringLiteral("Population"), {{"E1", 200}, {"E2", 40}}),
        calculatedVariable(QStringLiteral("plus"), QStringLiteral("Plus"), QStringLiteral("[A]+1")),
        calculatedVariable(QStringLiteral("taux"), QStringLiteral("Taux"),
                           QStringLiteral("[Actifs] / [Population] * 100"), PlmVariableType::percentage, 1),
    };
    work.recomputeCalculatedVariables();
    return work;
}

const QString duplicateNames = QStringLiteral("Les variables doivent avoir un nom et un identifiant uniques.");
const QString calculatedCells = QStringLiteral("Les résultats calculés ne se saisissent pas : modifiez la formule.");
const QString blockTooLarge = QStringLiteral(
    "Le bloc à coller dépasse les lignes ou variables disponibles. Choisissez une cellule de départ et "
    "créez les variables nécessaires.");

} // namespace

TEST(PlmWorkEditsTest, AddVariableTrimsTheNameAndRefusesDuplicates)
{
    PlmWork work = sampleWork();
    const QString id = work.addVariable(QStringLiteral(" Pop "), PlmVariableType::number);
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}$"))
                    .match(id).hasMatch()) << id.toStdString();
    ASSERT_EQ(work.variables.last().id, id);
    EXPECT_EQ(work.variables.last().name, QStringLiteral("Pop"));
    EXPECT_FALSE(work.variables.last().isCalculated());
    EXPECT_TRUE(work.variables.last().values.isEmpty());

    expectRefused(work, [](PlmWork& w) { w.addVariable(QStringLiteral("POP"), PlmVariableType::text); },
                  duplicateNames);
    expectRefused(work, [](PlmWork& w) { w.addVariable(QStringLiteral(" \n"), PlmVariableType::text); },
                  duplicateNames);
    EXPECT_NE(work.addVariable(QStringLiteral("Pop2"), PlmVariableType::text), id);
}

TEST(PlmWorkEditsTest, RenameRewritesOnlyTheFormulasThatNameTheVariable)
{
    PlmWork work = sampleWork();
    work.renameVariable(QStringLiteral("a"), QStringLiteral(" NewName "));
    EXPECT_EQ(named(work, QStringLiteral("NewName")).id, QStringLiteral("a"));
    EXPECT_EQ(formulaOf(work, QStringLiteral("Plus")), QStringLiteral("([NewName] + 1.0)"));
    EXPECT_EQ(formulaOf(work, QStringLiteral("Taux")), QStringLiteral("[Actifs] / [Population] * 100"));
    EXPECT_EQ(named(work, QStringLiteral("Plus")).values.value(QStringLiteral("E10")), PlmValue::number(11));

    // A name that needs brackets: the rewritten formula still reads back.
    work.renameVariable(QStringLiteral("act"), QStringLiteral("Taux-actifs]"));
    EXPECT_EQ(formulaOf(work, QStringLiteral("Taux")),
              QStringLiteral("(([Taux-actifs]]] / [Population]) * 100.0)"));
    EXPECT_EQ(named(work, QStringLiteral("Taux")).values.value(QStringLiteral("E1")), PlmValue::percentage(12.5));

    expectRefused(work, [](PlmWork& w) { w.renameVariable(QStringLiteral("a"), QStringLiteral("  ")); },
                  duplicateNames);
    expectRefused(work, [](PlmWork& w) { w.renameVariable(QStringLiteral("a"), QStringLiteral("population")); },
                  duplicateNames);
    expectRefused(work, [](PlmWork& w) { w.renameVariable(QStringLiteral("zz"), QStringLiteral("Z")); },
                  QStringLiteral("Variable absente."));
}

TEST(PlmWorkEditsTest, RenameThatPushesAFormulaPastTheLengthLimitIsRefusedByTheParser)
{
    PlmWork work = sampleWork();
    // 1,001 references of 3 characters: readable now, 11,000 characters once "A" is "ABCDEFGH".
    QString chain = QStringLiteral("[A]");
    for (int i = 0; i < 1000; ++i)
        chain += QStringLiteral("+[A]");
    work.saveCalculatedVariable(QStringLiteral("plus"), QStringLiteral("Plus"), PlmVariableType::number, chain, 0);
    EXPECT_EQ(named(work, QStringLiteral("Plus")).values.value(QStringLiteral("E2")), PlmValue::number(2002));
    expectRefused(work, [](PlmWork& w) { w.renameVariable(QStringLiteral("a"), QStringLiteral("ABCDEFGH")); },
                  QStringLiteral("Saisissez une formule simple (maximum 4 096 caractères)."));
    // A name that no bracketed reference can spell (a leading accent joins the bracket) is
    // refused for the formula it would break.
    expectRefused(work, [](PlmWork& w) { w.renameVariable(QStringLiteral("a"), QStringLiteral("\u0301B")); },
                  QStringLiteral("Le nom « \u0301B » changerait le sens de la formule de « Plus ». Choisissez un autre nom."));
}

TEST(PlmWorkEditsTest, DeleteRefusesAVariableThatFormulasUseNamingThemInPlanOrder)
{
    PlmWork work = sampleWork();
    // Part is listed first but computed after Densité, which it names.
    work.variables.append(calculatedVariable(QStringLiteral("part"), QStringLiteral("Part"),
                                             QStringLiteral("[Densité] + [Population]")));
    work.variables.append(calculatedVariable(QStringLiteral("dens"), QStringLiteral("Densité"),
                                             QStringLiteral("[Population] / 2")));
    expectRefused(work, [](PlmWork& w) { w.deleteVariable(QStringLiteral("pop")); },
                  QStringLiteral("Cette variable est utilisée par : Taux, Densité, Part. Modifiez ou "
                                 "supprimez d’abord ces formules."));
    expectRefused(work, [](PlmWork& w) { w.deleteVariable(QStringLiteral("nope")); },
                  QStringLiteral("Variable absente."));

    work.deleteVariable(QStringLiteral("part"));
    work.deleteVariable(QStringLiteral("dens"));
    EXPECT_EQ(work.variableIndex(QStringLiteral("dens")), -1);
    EXPECT_EQ(work.variables.size(), 5);
}

TEST(PlmWorkEditsTest, SetCellParsesStoresAndRecomputes)
{
    PlmWork work = sampleWork();
    work.setCell(QStringLiteral("E10"), QStringLiteral("act"), QStringLiteral("12,5"));
    EXPECT_EQ(named(work, QStringLiteral("Actifs")).values.value(QStringLiteral("E10")), PlmValue::number(12.5));

    work.setCell(QStringLiteral("E1"), QStringLiteral("a"), QStringLiteral(" "));
    EXPECT_FALSE(named(work, QStringLiteral("A")).values.contains(QStringLiteral("E1")));
    EXPECT_FALSE(named(work, QStringLiteral("Plus")).values.contains(QStringLiteral("E1")));

    expectRefused(work, [](PlmWork& w) { w.setCell(QStringLiteral("E1"), QStringLiteral("plus"), QString()); },
                  calculatedCells);
    expectRefused(work, [](PlmWork& w) { w.setCell(QStringLiteral("E3"), QStringLiteral("a"), QStringLiteral("1")); },
                  QStringLiteral("Cellule absente."));
    expectRefused(work, [](PlmWork& w) { w.setCell(QStringLiteral("E1"), QStringLiteral("b"), QStringLiteral("1")); },
                  QStringLiteral("Cellule absente."));
    expectRefused(work, [](PlmWork& w) { w.setCell(QStringLiteral("E1"), QStringLiteral("a"), QStringLiteral("1.234,5")); },
                  QStringLiteral("Nombre attendu : utilisez par exemple 1234,5. Une cellule vide signifie une donnée absente."));
}

TEST(PlmWorkEditsTest, ClearCellsChecksEveryRowFirst)
{
    PlmWork work = sampleWork();
    expectRefused(work,
                  [](PlmWork& w) { w.clearCells({QStringLiteral("E1"), QStringLiteral("X")}, QStringLiteral("a")); },
                  QStringLiteral("Entité absente."));
    expectRefused(work, [](PlmWork& w) { w.clearCells({QStringLiteral("E1")}, QStringLiteral("taux")); },
                  calculatedCells);
    expectRefused(work, [](PlmWork& w) { w.clearCells({QStringLiteral("E1")}, QStringLiteral("none")); },
                  calculatedCells);

    work.clearCells({QStringLiteral("E1"), QStringLiteral("E2")}, QStringLiteral("act"));
    EXPECT_TRUE(named(work, QStringLiteral("Actifs")).values.isEmpty());
    EXPECT_TRUE(named(work, QStringLiteral("Taux")).values.isEmpty());
}

TEST(PlmWorkEditsTest, PasteStoresAWholeBlockOrNothing)
{
    PlmWork work = sampleWork();
    const QList<QString> rows{QStringLiteral("E2"), QStringLiteral("E10")};
    EXPECT_EQ(work.pasteBlock(QStringLiteral("5\t7\n6\t"), rows, QStringLiteral("a")), 2);
    EXPECT_EQ(named(work, QStringLiteral("A")).values.value(QStringLiteral("E2")), PlmValue::number(5));
    EXPECT_EQ(named(work, QStringLiteral("Actifs")).values.value(QStringLiteral("E2")), PlmValue::number(7));
    EXPECT_EQ(named(work, QStringLiteral("A")).values.value(QStringLiteral("E10")), PlmValue::number(6));
    EXPECT_FALSE(named(work, QStringLiteral("Actifs")).values.contains(QStringLiteral("E10")));
    EXPECT_EQ(named(work, QStringLiteral("Plus")).values.value(QStringLiteral("E2")), PlmValue::number(6));

    // A single empty field clears the start cell.
    EXPECT_EQ(work.pasteBlock(QString(), {QStringLiteral("E1")}, QStringLiteral("a")), 1);
    EXPECT_FALSE(named(work, QStringLiteral("A")).values.contains(QStringLiteral("E1")));

    expectRefused(work, [](PlmWork& w) { w.pasteBlock(QStringLiteral("1\n2"), {QStringLiteral("E1")}, QStringLiteral("a")); },
                  blockTooLarge);
    expectRefused(work, [](PlmWork& w) { w.pasteBlock(QStringLiteral("1"), {QStringLiteral("E1")}, QStringLiteral("zz")); },
                  blockTooLarge);
    expectRefused(work, [](PlmWork& w) { w.pasteBlock(QStringLiteral("1\t2\t3"), {QStringLiteral("E1")}, QStringLiteral("plus")); },
                  blockTooLarge);
    expectRefused(work,
                  [](PlmWork& w) { w.pasteBlock(QStringLiteral("1"), {QStringLiteral("E1"), QStringLiteral("ghost")}, QStringLiteral("a")); },
                  blockTooLarge);
    // The second column falls on Plus: not even the first column is stored.
    expectRefused(work,
                  [](PlmWork& w) { w.pasteBlock(QStringLiteral("100\t200\t300"), {QStringLiteral("E1")}, QStringLiteral("pop")); },
                  QStringLiteral("Le bloc contient une variable calculée. Collez uniquement dans les colonnes de saisie."));
    // A bad cell in the second row leaves the first row unstored too.
    expectRefused(work,
                  [](PlmWork& w) { w.pasteBlock(QStringLiteral("1\nx"), {QStringLiteral("E1"), QStringLiteral("E2")}, QStringLiteral("a")); },
                  QStringLiteral("Nombre attendu : utilisez par exemple 1234,5. Une cellule vide signifie une donnée absente."));
    expectRefused(work, [](PlmWork& w) { w.pasteBlock(QStringLiteral("\"1"), {QStringLiteral("E1")}, QStringLiteral("a")); },
                  QStringLiteral("Guillemet non fermé dans le texte à coller."));
    // A huge block is refused for its size, and a malformed quote anywhere is still reported first.
    expectRefused(work,
                  [](PlmWork& w) { w.pasteBlock(QString(3000000, QLatin1Char('\n')), {QStringLiteral("E1")}, QStringLiteral("a")); },
                  blockTooLarge);
    expectRefused(work,
                  [](PlmWork& w) {
                      w.pasteBlock(QString(100000, QLatin1Char('\t')) + QStringLiteral("\n\"x\"y"), {QStringLiteral("E1")},
                                   QStringLiteral("a"));
                  },
                  QStringLiteral("Texte à coller mal formé après un guillemet."));
}

TEST(PlmWorkEditsTest, SaveCalculatedVariableCreatesOrUpdates)
{
    PlmWork work = sampleWork();
    const QString id = work.saveCalculatedVariable(std::nullopt, QStringLiteral(" Double "),
                                                   PlmVariableType::number, QStringLiteral("[A] × 2"), 1);
    EXPECT_EQ(work.variables.last().id, id);
    EXPECT_EQ(work.variables.last().name, QStringLiteral("Double"));
    EXPECT_EQ(work.variables.last().values.value(QStringLiteral("E10")), PlmValue::number(20));

    EXPECT_EQ(work.saveCalculatedVariable(id, QStringLiteral("Triple"), PlmVariableType::percentage,
                                          QStringLiteral("[A] * 3"), 0),
              id);
    EXPECT_EQ(work.variables.last().name, QStringLiteral("Triple"));
    EXPECT_EQ(work.variables.last().values.value(QStringLiteral("E2")), PlmValue::percentage(6));

    expectRefused(work, [](PlmWork& w) {
        w.saveCalculatedVariable(QStringLiteral("a"), QStringLiteral("A"), PlmVariableType::number, QStringLiteral("1"), 0);
    }, QStringLiteral("Variable calculée absente."));
    expectRefused(work, [](PlmWork& w) {
        w.saveCalculatedVariable(QStringLiteral("zz"), QStringLiteral("Z"), PlmVariableType::number, QStringLiteral("1"), 0);
    }, QStringLiteral("Variable calculée absente."));
    expectRefused(work, [&id](PlmWork& w) {
        w.saveCalculatedVariable(id, QStringLiteral("Triple"), PlmVariableType::number, QStringLiteral("[Triple] + 1"), 0);
    }, QStringLiteral("Une formule dépend d’elle-même, directement ou par une autre variable. Corrigez les références."));
    expectRefused(work, [](PlmWork& w) {
        w.saveCalculatedVariable(std::nullopt, QStringLiteral("Mot"), PlmVariableType::text, QStringLiteral("1"), 0);
    }, QStringLiteral("Une variable calculée utilise un nombre ou pourcentage, avec 0 à 10 décimales."));
}

// Bare tokens read as names before numbers; new or renamed names must not change what the
// formulas already written mean.
TEST(PlmWorkEditsTest, ANewNameNeverTurnsAConstantIntoAReference)
{
    const QString rate = QStringLiteral("(([Actifs] / [Population]) * 100.0)");
    {
        PlmWork work = sampleWork();
        const PlmVariable taux = named(work, QStringLiteral("Taux"));
        work.addVariable(QStringLiteral("100"), PlmVariableType::number);
        EXPECT_EQ(formulaOf(work, QStringLiteral("Taux")), rate);
        EXPECT_EQ(formulaOf(work, QStringLiteral("Plus")), QStringLiteral("[A]+1"));
        work.setCell(QStringLiteral("E1"), work.variables.last().id, QStringLiteral("3"));
        EXPECT_EQ(named(work, QStringLiteral("Taux")).values, taux.values);
    }
    {
        PlmWork work = sampleWork();
        work.renameVariable(QStringLiteral("a"), QStringLiteral("100"));
        EXPECT_EQ(formulaOf(work, QStringLiteral("Taux")), rate);
        EXPECT_EQ(formulaOf(work, QStringLiteral("Plus")), QStringLiteral("([100] + 1.0)"));
        EXPECT_EQ(named(work, QStringLiteral("Taux")).values.value(QStringLiteral("E1")), PlmValue::percentage(12.5));
    }
    {
        PlmWork work = sampleWork();
        work.saveCalculatedVariable(std::nullopt, QStringLiteral("100"), PlmVariableType::number,
                                    QStringLiteral("[A] * 2"), 0);
        EXPECT_EQ(formulaOf(work, QStringLiteral("Taux")), rate);
        EXPECT_EQ(named(work, QStringLiteral("Taux")).values.value(QStringLiteral("E2")), PlmValue::percentage(25));
    }
    {
        // The normal form's own number text is taken by the name: it is respelled.
        PlmWork work = sampleWork();
        work.renameVariable(QStringLiteral("a"), QStringLiteral("1.0"));
        EXPECT_EQ(formulaOf(work, QStringLiteral("Plus")), QStringLiteral("([1.0] + 1.00)"));
        EXPECT_EQ(named(work, QStringLiteral("Plus")).values.value(QStringLiteral("E2")), PlmValue::number(3));
    }
    {
        // Formulas whose reading does not change keep their text, and the reading rule stays:
        // a formula typed after "2020" exists names it.
        PlmWork work = sampleWork();
        const QString id = work.addVariable(QStringLiteral("2020"), PlmVariableType::number);
        EXPECT_EQ(formulaOf(work, QStringLiteral("Plus")), QStringLiteral("[A]+1"));
        work.setCell(QStringLiteral("E1"), id, QStringLiteral("7"));
        work.saveCalculatedVariable(std::nullopt, QStringLiteral("Copie"), PlmVariableType::number,
                                    QStringLiteral("2020 + 0"), 0);
        EXPECT_EQ(named(work, QStringLiteral("Copie")).values.value(QStringLiteral("E1")), PlmValue::number(7));
    }
}

// What an import that adds several columns at once calls before keeping them.
TEST(PlmWorkEditsTest, FormulasKeepTheirMeaningWhenSeveralNamesArrive)
{
    PlmWork work = sampleWork();
    work.variables.append(calculatedVariable(QStringLiteral("k"), QStringLiteral("K"), QStringLiteral("2,5 * [A] + 1")));
    const QList<PlmVariable> before = work.variables;
    work.variables.append(numberVariable(QStringLiteral("n1"), QStringLiteral("1"), {}));
    work.variables.append(numberVariable(QStringLiteral("n2"), QStringLiteral("2,5"), {}));
    PlmWorkEdits::keepFormulaMeanings(work, before, QStringLiteral("1"));
    EXPECT_EQ(formulaOf(work, QStringLiteral("K")), QStringLiteral("((2.5 * [A]) + 1.0)"));
    EXPECT_EQ(formulaOf(work, QStringLiteral("Plus")), QStringLiteral("([A] + 1.0)"));
    EXPECT_EQ(formulaOf(work, QStringLiteral("Taux")), QStringLiteral("[Actifs] / [Population] * 100"));
    work.recomputeCalculatedVariables();
    EXPECT_EQ(named(work, QStringLiteral("K")).values.value(QStringLiteral("E2")), PlmValue::number(6));

    // Names that are not unique are left to the validation, which refuses them.
    PlmWork clash = sampleWork();
    const QList<PlmVariable> clashBefore = clash.variables;
    clash.variables.append(numberVariable(QStringLiteral("n"), QStringLiteral("a"), {}));
    const PlmWork unchanged = clash;
    PlmWorkEdits::keepFormulaMeanings(clash, clashBefore, QStringLiteral("a"));
    EXPECT_EQ(clash, unchanged);
}

TEST(PlmWorkEditsTest, RowsSortTheFrenchWayWithMapOrderForTies)
{
    PlmWork work;
    work.map = mapWithEntities({QStringLiteral("E10"), QStringLiteral("E2"), QStringLiteral("e3"),
                                QStringLiteral("E1")});
    const QList<QString> mapOrder{QStringLiteral("E10"), QStringLiteral("E2"), QStringLiteral("e3"), QStringLiteral("E1")};
    EXPECT_EQ(work.rowEntityIDs(std::nullopt, true), mapOrder);
    EXPECT_EQ(work.rowEntityIDs(QStringLiteral("identifier"), true),
              (QList<QString>{QStringLiteral("E1"), QStringLiteral("E2"), QStringLiteral("e3"), QStringLiteral("E10")}));
    EXPECT_EQ(work.rowEntityIDs(QStringLiteral("identifier"), false),
              (QList<QString>{QStringLiteral("E10"), QStringLiteral("e3"), QStringLiteral("E2"), QStringLiteral("E1")}));

    // Names: accents and case are not primary differences.
    work.map.entities.edit(0).name = QStringLiteral("Zèbre");
    work.map.entities.edit(1).name = QStringLiteral("école");
    work.map.entities.edit(2).name = QStringLiteral("Ecole");
    work.map.entities.edit(3).name = QStringLiteral("abri");
    const QList<QString> byName = work.rowEntityIDs(QStringLiteral("name"), true);
    EXPECT_EQ(byName.first(), QStringLiteral("E1"));
    EXPECT_EQ(byName.last(), QStringLiteral("E10"));

    // Numbers: missing values last in both directions, equal values in map order.
    work.variables = {numberVariable(QStringLiteral("v"), QStringLiteral("V"),
                                     {{"E10", 5}, {"E2", 9}, {"E1", 5}})};
    EXPECT_EQ(work.rowEntityIDs(QStringLiteral("v"), true),
              (QList<QString>{QStringLiteral("E10"), QStringLiteral("E1"), QStringLiteral("E2"), QStringLiteral("e3")}));
    EXPECT_EQ(work.rowEntityIDs(QStringLiteral("v"), false),
              (QList<QString>{QStringLiteral("E2"), QStringLiteral("E10"), QStringLiteral("E1"), QStringLiteral("e3")}));

    // Texts compare with digits as numbers.
    work.variables = {textVariable(QStringLiteral("t"), QStringLiteral("T"),
                                   {{"E10", "Lot 10"}, {"E2", "lot 9"}, {"e3", "Lot 9,5"}})};
    EXPECT_EQ(work.rowEntityIDs(QStringLiteral("t"), true),
              (QList<QString>{QStringLiteral("E2"), QStringLiteral("e3"), QStringLiteral("E10"), QStringLiteral("E1")}));

    EXPECT_LT(PlmRowSort::localizedStandardCompare(QStringLiteral("E2"), QStringLiteral("E10")), 0);
    EXPECT_EQ(PlmRowSort::localizedStandardCompare(QStringLiteral("abc"), QStringLiteral("ABC")), 0);
}
