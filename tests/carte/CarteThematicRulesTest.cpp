#include "carte/CarteThematicLayers.h"
#include "carte/CarteThematicRules.h"

#include "model/PlmSecondSymbolSeries.h"
#include "support/CanvasTestMaps.h"
#include "support/PlmWorkTestSupport.h"

#include <gtest/gtest.h>

using namespace CarteThematicRules;
using PlmWorkTest::numberVariable;
using PlmWorkTest::textVariable;

namespace {

PlmWork workWith(const QList<PlmVariable>& variables, const std::optional<PlmThematicSettings>& thematic)
{
    PlmWork work;
    work.map = PlmWorkTest::mapWithEntities({"a", "b", "c"});
    work.variables = variables;
    work.thematic = thematic;
    return work;
}

PlmSecondSymbolSeries secondSeries(const QString& variableID, PlmSymbolKind kind = PlmSymbolKind::circle)
{
    PlmSecondSymbolSeries series;
    series.variableID = variableID;
    series.symbols = defaultSymbols(true);
    series.symbols.kind = kind;
    return series;
}

} // namespace

TEST(CarteThematicRules, TheSecondSeriesIsEditedAsSettingsOfItsOwn)
{
    PlmThematicSettings settings;
    settings.representation = PlmRepresentation::twoSymbols;
    settings.proportional = defaultSymbols(false);
    settings.decimalPlaces = 3;
    settings.secondSymbols = secondSeries(QStringLiteral("v2"));
    const PlmWork work = workWith({}, settings);
    EXPECT_EQ(thematicSettings(work, true)->decimalPlaces, 3);
    EXPECT_EQ(thematicSettings(work, true)->proportional, settings.secondSymbols->symbols);
    EXPECT_EQ(editedSettings(work, true)->variableID, QStringLiteral("v2"));

    PlmThematicSettings single = settings;
    single.representation = PlmRepresentation::aplats;
    // One layer: the main series is edited whatever was asked.
    EXPECT_EQ(editedSettings(workWith({}, single), true), single.singleSeries());
    EXPECT_FALSE(thematicSettings(workWith({}, PlmThematicSettings()), true).has_value());
    EXPECT_FALSE(thematicSettings(workWith({}, std::nullopt), false).has_value());
}

TEST(CarteThematicRules, SelectedLegendSeries)
{
    PlmThematicSettings aplats;
    PlmThematicSettings two;
    two.representation = PlmRepresentation::aplatsAndSymbols;
    PlmWork work = workWith({}, two);
    work.decoration = PlmDecoration();
    PlmDecorationObject legendObject(QStringLiteral("L2"), PlmDecorationKind::legend);
    legendObject.legendSeries = 1;
    work.decoration->objects = {legendObject, PlmDecorationObject(QStringLiteral("T"), PlmDecorationKind::text)};
    EXPECT_EQ(selectedLegendSeries(work, QStringLiteral("legend")), 0);
    EXPECT_EQ(selectedLegendSeries(work, QStringLiteral("secondLegend")), 1);
    EXPECT_EQ(selectedLegendSeries(work, QStringLiteral("L2")), 1);
    EXPECT_EQ(selectedLegendSeries(work, QStringLiteral("T")), std::nullopt);
    EXPECT_EQ(selectedLegendSeries(work, std::nullopt), std::nullopt);
    EXPECT_EQ(selectedLegendSeries(workWith({}, aplats), QStringLiteral("secondLegend")), std::nullopt);
}

TEST(CarteThematicRules, FoldingAnEditBackKeepsTheOtherLayer)
{
    PlmThematicSettings stored;
    stored.representation = PlmRepresentation::aplatsAndSymbols;
    stored.decimalPlaces = 1;
    stored.secondSymbols = secondSeries(QStringLiteral("v2"));
    stored.secondInFront = false;

    PlmThematicSettings edited = stored.singleSeries();
    edited.palette = PlmPalette::greens;
    edited.decimalPlaces = 3;
    const PlmThematicSettings main = *fold(stored, edited, false);
    PlmThematicSettings expected = stored;
    expected.palette = PlmPalette::greens;
    expected.decimalPlaces = 3;
    expected.secondSymbols->decimalPlaces = 1; // the old main value, now its own
    expected.secondSymbols->hideMissingInLegend = false;
    EXPECT_EQ(main, expected);

    PlmThematicSettings neither = stored;
    neither.decimalPlaces.reset();
    EXPECT_EQ(fold(neither, neither.singleSeries(), false)->secondSymbols->decimalPlaces, 2);

    // A second-series edit changes the series alone.
    PlmThematicSettings series = stored.secondSymbols->asThematicSettings();
    series.variableID = QStringLiteral("v3");
    series.proportional->maximumSize = 12;
    const PlmThematicSettings second = *fold(stored, series, true);
    EXPECT_EQ(second.secondSymbols->variableID, QStringLiteral("v3"));
    EXPECT_EQ(second.secondSymbols->symbols.maximumSize, 12);
    EXPECT_EQ(second.palette, stored.palette);
    EXPECT_FALSE(fold(PlmThematicSettings(), series, true).has_value());

    // Concentric needs two circles or two squares.
    PlmThematicSettings concentric;
    concentric.representation = PlmRepresentation::twoSymbols;
    concentric.proportional = defaultSymbols(false);
    concentric.secondSymbols = secondSeries(QStringLiteral("v2"), PlmSymbolKind::square);
    concentric.concentric = true;
    EXPECT_EQ(fold(concentric, concentric.singleSeries(), false)->concentric, false);
}

TEST(CarteThematicRules, ChoosingAVariable)
{
    PlmThematicSettings manual;
    manual.method = PlmClassificationMethod::manual;
    manual.classColorOverrides = QMap<QString, PlmColor>{{QStringLiteral("class:0"), PlmColor{1, 0, 0, 1}}};
    const PlmThematicSettings chosen = withVariable(manual, QStringLiteral("v"));
    EXPECT_EQ(chosen.method, PlmClassificationMethod::equalIntervals);
    EXPECT_FALSE(chosen.classColorOverrides.has_value());
    EXPECT_EQ(chosen.variableID, QStringLiteral("v"));
    PlmThematicSettings quantiles;
    EXPECT_EQ(withVariable(quantiles, std::nullopt).method, PlmClassificationMethod::quantiles);
}

TEST(CarteThematicRules, ChangingTheRepresentation)
{
    const PlmVariable population = numberVariable("pop", "Population", {{"a", 1}});
    const PlmVariable density = numberVariable("dens", "Densité", {{"a", 2}});
    const PlmVariable region = textVariable("reg", "Région", {{"a", "Nord"}});

    // Symbols alone, then aplats + symbols: the symbols and their variable move to the second layer.
    PlmThematicSettings symbols;
    symbols.representation = PlmRepresentation::proportional;
    symbols.variableID = QStringLiteral("pop");
    symbols.proportional = defaultSymbols(false);
    symbols.proportional->maximumSize = 33;
    const PlmThematicSettings both =
        withRepresentation(workWith({population, density}, symbols), PlmRepresentation::aplatsAndSymbols);
    ASSERT_TRUE(both.secondSymbols.has_value());
    EXPECT_EQ(both.secondSymbols->symbols, *symbols.proportional);
    EXPECT_EQ(both.secondSymbols->variableID, QStringLiteral("pop"));
    EXPECT_EQ(both.secondSymbols->legendPosition, (PlmPoint{0.02, 0.95}));

    // Two series with one numeric variable: the second series has none.
    const PlmThematicSettings two = withRepresentation(workWith({population}, symbols), PlmRepresentation::twoSymbols);
    EXPECT_FALSE(two.secondSymbols->variableID.has_value());
    EXPECT_EQ(two.secondSymbols->symbols, defaultSymbols(true));
    const PlmThematicSettings twoWithDensity =
        withRepresentation(workWith({population, density}, symbols), PlmRepresentation::twoSymbols);
    EXPECT_EQ(twoWithDensity.secondSymbols->variableID, QStringLiteral("dens"));

    // A text variable has no symbols.
    PlmThematicSettings categories;
    categories.variableID = QStringLiteral("reg");
    categories.classColorOverrides = QMap<QString, PlmColor>{{QStringLiteral("category:Nord"), PlmColor{1, 0, 0, 1}}};
    const PlmThematicSettings proportional =
        withRepresentation(workWith({region}, categories), PlmRepresentation::proportional);
    EXPECT_FALSE(proportional.variableID.has_value());
    EXPECT_FALSE(proportional.classColorOverrides.has_value());
    EXPECT_EQ(proportional.proportional, defaultSymbols(false));
    EXPECT_EQ(proportional.concentric, false);
}

TEST(CarteThematicRules, ManualSymbolPositionsFollowTheConcentricRule)
{
    PlmThematicSettings settings;
    settings.representation = PlmRepresentation::twoSymbols;
    settings.proportional = defaultSymbols(false);
    settings.secondSymbols = secondSeries(QStringLiteral("v2"));
    PlmWork work = workWith({}, settings);
    storeManualSymbolPosition(work, QStringLiteral("a"), PlmPoint{5, 6}, true);
    EXPECT_TRUE(work.thematic->proportional->manualPositions.isEmpty());
    EXPECT_EQ(work.thematic->secondSymbols->symbols.manualPositions.value(QStringLiteral("a")), (PlmPoint{5, 6}));

    work.thematic->concentric = true;
    storeManualSymbolPosition(work, QStringLiteral("b"), PlmPoint{1, 2}, false);
    EXPECT_EQ(work.thematic->proportional->manualPositions.value(QStringLiteral("b")), (PlmPoint{1, 2}));
    EXPECT_EQ(work.thematic->secondSymbols->symbols.manualPositions.value(QStringLiteral("b")), (PlmPoint{1, 2}));
    removeManualSymbolPosition(work, QStringLiteral("b"), false);
    removeManualSymbolPosition(work, QStringLiteral("a"), false);
    EXPECT_TRUE(work.thematic->proportional->manualPositions.isEmpty());
    EXPECT_TRUE(work.thematic->secondSymbols->symbols.manualPositions.isEmpty());
}

TEST(CarteThematicRules, ListedVariablesAndTheCurrentOne)
{
    const PlmVariable population = numberVariable("pop", "Population", {{"a", 1}});
    const PlmVariable region = textVariable("reg", "Région", {{"a", "Nord"}});
    PlmThematicSettings settings;
    settings.variableID = QStringLiteral("reg");
    EXPECT_EQ(listedVariables(workWith({region, population}, settings), false).size(), 2);
    settings.representation = PlmRepresentation::proportional;
    const PlmWork symbols = workWith({region, population}, settings);
    EXPECT_EQ(listedVariables(symbols, false), QList<PlmVariable>{population});
    EXPECT_FALSE(currentVariable(symbols, settings.singleSeries()).has_value());
    EXPECT_EQ(distributionOf(population).sorted, QList<double>{1});
}

using CarteThematicLayers::SymbolItem;

TEST(CarteThematicLayers, SymbolsAreSizedByAreaLargestFirst)
{
    PlmWork work = workWith({numberVariable("v", "V", {{"a", 1}, {"b", 9}, {"c", 4}})}, std::nullopt);
    PlmProportionalSettings symbols = defaultSymbols(false);
    symbols.maximumSize = 30;
    symbols.manualPositions.insert(QStringLiteral("c"), PlmPoint{7, 7});
    const QHash<QString, PlmPoint> automatic{{"a", {0, 0}}, {"b", {1, 1}}};
    const PlmVariable variable = work.variables.first();
    const PlmDistribution values = distributionOf(variable);
    const QList<SymbolItem> items = CarteThematicLayers::symbolItems(work, symbols, variable, values, automatic);
    const QList<SymbolItem> expected{{"b", 30, {1, 1}}, {"c", 20, {7, 7}}, {"a", 10, {0, 0}}};
    EXPECT_EQ(items, expected);
    EXPECT_EQ(CarteThematicLayers::minimumSymbolSize(symbols, values), 10);

    // No anchor, no symbol; zero and negative values draw nothing.
    PlmWork other = workWith({numberVariable("v", "V", {{"a", 0}, {"b", -5}, {"c", 4}})}, std::nullopt);
    const PlmVariable signedValues = other.variables.first();
    EXPECT_TRUE(CarteThematicLayers::symbolItems(other, defaultSymbols(false), signedValues,
                                                 distributionOf(signedValues), automatic)
                    .isEmpty());
}

TEST(CarteThematicLayers, ClassColoursAreKeyedByTopLevelEntity)
{
    using namespace CanvasTestMaps;
    PlmEntityList parts;
    parts.append(squareEntity("p1", 0, 0, 1, 1));
    PlmWork work;
    work.map = mapOf({groupEntity("FR", parts), squareEntity("BE", 2, 2, 3, 3), squareEntity("LU", 4, 4, 5, 5),
                      lineEntity("road", {{0, 0}, {1, 1}})});
    work.variables = {numberVariable("v", "V", {{"FR", 1}, {"BE", 9}, {"road", 5}})};
    PlmThematicSettings settings;
    settings.variableID = QStringLiteral("v");
    settings.thresholds = {5};
    const QList<PlmColor> colors = CarteThematicLayers::classes(work, settings).colors;
    const QHash<QString, PlmColor> overrides = CarteThematicLayers::fillOverrides(work, settings, true, true);
    const QHash<QString, PlmColor> expected{{"FR", colors[0]}, {"BE", colors[1]}, {"LU", settings.missingColor}};
    EXPECT_EQ(overrides, expected);
    EXPECT_TRUE(CarteThematicLayers::fillOverrides(work, settings, true, false).isEmpty());
    EXPECT_TRUE(CarteThematicLayers::fillOverrides(work, settings, false, true).isEmpty());
}
