#include "model/PlmErrors.h"
#include "model/PlmWork.h"
#include "support/PlmWorkTestSupport.h"
#include "support/ErrorCapture.h"

#include <gtest/gtest.h>

#include <limits>

using namespace PlmWorkTest;

namespace {

const QString notUnique = QStringLiteral("Les variables doivent avoir un nom et un identifiant uniques.");
const QString wrongCell = QStringLiteral("Cellule associée à une entité absente ou de type incorrect.");

QString failureOf(const PlmWork& work)
{
    return thrownMessage([&] { work.validate(); });
}

PlmWork baseWork()
{
    PlmWork work;
    work.map = mapWithEntities({"A", "B"});
    return work;
}

TEST(PlmWorkValidation, VariableIdsAndNamesMustBeUnique)
{
    PlmWork work = baseWork();
    EXPECT_EQ(failureOf(work), QString());

    const std::pair<QString, QString> pairs[] = {
        {"Région", "region"}, {"Population", "population"}, {"Pop", "Pop "}, {"Pop", "\tPOP\n"}};
    for (const auto& [first, second] : pairs) {
        work.variables = {numberVariable("1", first, {}), numberVariable("2", second, {})};
        EXPECT_EQ(failureOf(work), notUnique) << second.toStdString();
    }

    for (const QString id : {"identifier", "name", ""}) {
        work.variables = {numberVariable(id, "Seule", {})};
        EXPECT_EQ(failureOf(work), notUnique) << id.toStdString();
    }
    work.variables = {numberVariable("1", "A", {}), numberVariable("1", "B", {})};
    EXPECT_EQ(failureOf(work), notUnique);
    work.variables = {numberVariable("1", " \n ", {})};
    EXPECT_EQ(failureOf(work), notUnique);
}

TEST(PlmWorkValidation, CellsMustBelongToTopLevelEntitiesAndMatchTheType)
{
    PlmWork work = baseWork();
    work.map.entities.append(
        PlmEntity("G", "G", PlmGeometry::group(PlmEntityList{pointEntity("inner")}), PlmStyle()));

    work.variables = {numberVariable("1", "N", {{"inner", 1}})};
    EXPECT_EQ(failureOf(work), wrongCell);
    work.variables = {numberVariable("1", "N", {{"G", 1}, {"A", 2}})};
    EXPECT_EQ(failureOf(work), QString());

    PlmVariable mixed = numberVariable("1", "N", {{"A", 1}});
    mixed.values.insert("B", PlmValue::percentage(3));
    work.variables = {mixed};
    EXPECT_EQ(failureOf(work), wrongCell);

    work.variables = {textVariable("1", "T", {{"A", "  "}})};
    EXPECT_EQ(failureOf(work), QStringLiteral("Une donnée absente doit être une cellule vide."));

    work.variables = {numberVariable("1", "N", {{"A", std::numeric_limits<double>::infinity()}})};
    EXPECT_EQ(failureOf(work), QStringLiteral("Nombre non fini."));
}

TEST(PlmWorkValidation, SparseColumnsOfALargeMap)
{
    QStringList ids;
    for (int i = 0; i < 200; ++i)
        ids.append(QStringLiteral("E%1").arg(i, 3, 10, QLatin1Char('0')));
    PlmWork work;
    work.map = mapWithEntities(ids);
    const QList<QList<QString>> accepted{{"E000"}, {"E199"}, {"E000", "E001", "E002", "E150"}, {"E017", "E018", "E199"}};
    for (const QList<QString>& keys : accepted) {
        QList<std::pair<QString, double>> cells;
        for (const QString& key : keys)
            cells.append({key, 1});
        work.variables = {numberVariable("s", "S", cells), numberVariable("t", "T", {{"E100", 2}})};
        EXPECT_EQ(failureOf(work), QString()) << keys.join(' ').toStdString();
    }
    // Keys that fall between two rows, before the first or after the last.
    const QList<QList<QString>> refused{{"E0005"}, {"D"}, {"E1999"}, {"F"}, {"E000", "E064a", "E199"}, {"E001", "E2"}};
    for (const QList<QString>& keys : refused) {
        QList<std::pair<QString, double>> cells;
        for (const QString& key : keys)
            cells.append({key, 1});
        work.variables = {numberVariable("t", "T", {{"E100", 2}}), numberVariable("s", "S", cells)};
        EXPECT_EQ(failureOf(work), wrongCell) << keys.join(' ').toStdString();
    }
}

TEST(PlmWorkValidation, ThematicAndSymbolSettings)
{
    PlmWork work = baseWork();
    work.variables = {numberVariable("n", "N", {{"A", 1}})};
    PlmThematicSettings settings;
    settings.variableID = "n";
    work.thematic = settings;
    EXPECT_EQ(failureOf(work), QString());

    work.thematic->classCount = 11;
    EXPECT_EQ(failureOf(work), QStringLiteral("Réglages de carte invalides : variable, classes, seuils ou couleurs."));

    work.thematic->classCount = 5;
    work.thematic->representation = PlmRepresentation::proportional;
    EXPECT_EQ(failureOf(work), QStringLiteral("Réglages de symboles absents."));
    work.thematic->proportional = PlmProportionalSettings();
    EXPECT_EQ(failureOf(work), QString());
}

TEST(PlmWorkValidation, OrderOfTheChecks)
{
    PlmWork work = baseWork();
    work.map.entities.append(
        PlmEntity("G", "G", PlmGeometry::group(PlmEntityList{pointEntity("inner")}), PlmStyle()));
    work.variables = {numberVariable("n", "N", {{"nobody", 1}})};
    PlmThematicSettings settings;
    settings.classCount = 0;
    work.thematic = settings;
    work.decoration = PlmDecoration();
    work.decoration->printPage = PlmPrintPage();
    work.decoration->printPage->margin = -1;

    // Layout, then variables, then thematic settings.
    EXPECT_EQ(failureOf(work), QStringLiteral("Page ou marges d’impression incorrectes."));
    work.decoration->printPage.reset();
    EXPECT_EQ(failureOf(work), wrongCell);
    work.variables[0].values = {{"A", PlmValue::number(1)}};
    EXPECT_EQ(failureOf(work), QStringLiteral("Réglages de carte invalides : variable, classes, seuils ou couleurs."));
    work.thematic->classCount = 5;
    EXPECT_EQ(failureOf(work), QString());

    // Symbols may be placed by hand on rows only, in both series and in the layout.
    const QString badSymbol = QStringLiteral("Taille, couleur ou position de symbole invalide.");
    PlmProportionalSettings symbols;
    symbols.manualPositions = {{"inner", PlmPoint{1, 1}}};
    work.thematic->proportional = symbols;
    EXPECT_EQ(failureOf(work), badSymbol);
    symbols.manualPositions = {{"G", PlmPoint{1, 1}}};
    work.thematic->proportional = symbols;
    EXPECT_EQ(failureOf(work), QString());

    PlmSecondSymbolSeries second;
    second.symbols.kind = PlmSymbolKind::sfSymbol;
    work.thematic->representation = PlmRepresentation::aplatsAndSymbols;
    work.thematic->secondSymbols = second;
    // The second series' own refusal, worded by its settings.
    const QString unnamed = thrownMessage<PlmWorkError>([&] { second.symbols.validate({QStringLiteral("G")}); });
    ASSERT_FALSE(unnamed.isEmpty());
    EXPECT_EQ(failureOf(work), unnamed);
    work.thematic->secondSymbols->symbols.sfSymbolName = QStringLiteral("star");
    EXPECT_EQ(failureOf(work), QString());

    PlmDecorationObject object = PlmDecorationObject::make("o", PlmDecorationKind::sfSymbol);
    object.symbol = symbols;
    object.symbol->manualPositions.insert("inner", PlmPoint{0, 0});
    work.decoration->objects = {object};
    EXPECT_EQ(failureOf(work), badSymbol);
    work.decoration->objects[0].symbol->manualPositions.remove("inner");
    EXPECT_EQ(failureOf(work), QString());
}

TEST(PlmWorkValidation, CalculationsAreCheckedLast)
{
    PlmWork work = baseWork();
    work.variables = {calculatedVariable("c", "C", "[C] + 1"),
                      numberVariable("n", "N", {{"nobody", 1}})};
    // The cell fault comes before the cycle.
    EXPECT_EQ(failureOf(work), wrongCell);
    work.variables[1].values.clear();
    EXPECT_EQ(failureOf(work), QStringLiteral("Une formule dépend d’elle-même, directement ou par une autre "
                                              "variable. Corrigez les références."));
}

TEST(PlmWorkValidation, TheMapIsCheckedFirst)
{
    PlmWork work = baseWork();
    work.map.entities.append(pointEntity("A")); // duplicate id
    work.variables = {numberVariable("identifier", "N", {})};
    EXPECT_THROW(work.validate(), PlmMapError);
}

TEST(PlmWorkEquality, VariableOrderMatters)
{
    PlmWork a = baseWork();
    a.variables = {numberVariable("1", "X", {}), numberVariable("2", "Y", {})};
    PlmWork b = a;
    EXPECT_EQ(a, b);
    std::swap(b.variables[0], b.variables[1]);
    EXPECT_NE(a, b);
}

} // namespace
