#include "model/PlmWork.h"
#include "support/PlmWorkTestSupport.h"

#include <gtest/gtest.h>

#include <limits>

using namespace PlmWorkTest;

namespace {

PlmThematicSettings settingsFor(const QString& variableID, QList<double> thresholds = {})
{
    PlmThematicSettings settings;
    settings.variableID = variableID;
    settings.method = PlmClassificationMethod::manual;
    settings.thresholds = thresholds;
    return settings;
}

PlmWork regionsWork()
{
    PlmWork work;
    work.map = mapWithEntities({"A", "B", "C", "D", "E"});
    work.variables = {
        numberVariable("pop", "Population", {{"A", 10}, {"B", 20}, {"C", 20.5}, {"D", 5}}),
        textVariable("zone", "Zone", {{"A", "Nord"}, {"B", " Sud"}, {"C", "Nord"}, {"D", "  \n"}}),
        textVariable("city", "Commune", {{"A", "Paris"}, {"B", "Lyon"}, {"C", "Nice"}, {"D", "Paris"}}),
        numberVariable("code", "Code", {{"A", 12.0}, {"C", 7.5}}, PlmVariableType::percentage),
    };
    return work;
}

TEST(PlmWorkClasses, NumericVariableKeysAndClasses)
{
    const PlmWork work = regionsWork();
    const PlmThematicSettings settings = settingsFor("pop", {10, 20});
    const QStringList keys = work.thematicClassKeys(settings);
    EXPECT_EQ(keys, (QStringList{"class:0", "class:1", "class:2"}));
    EXPECT_EQ(work.thematicClassIndex("A", settings, keys), 0);
    EXPECT_EQ(work.thematicClassIndex("B", settings, keys), 1);
    EXPECT_EQ(work.thematicClassIndex("C", settings, keys), 2);
    EXPECT_EQ(work.thematicClassIndex("E", settings, keys), std::nullopt);
    // No mapped variable: one class per threshold gap, nobody in it.
    PlmThematicSettings none = settings;
    none.variableID.reset();
    EXPECT_EQ(work.thematicClassKeys(none), keys);
    EXPECT_EQ(work.thematicClassIndex("A", none, keys), std::nullopt);
}

TEST(PlmWorkClasses, TextVariableCategoriesAreDistinctSortedAndUntrimmed)
{
    const PlmWork work = regionsWork();
    const PlmThematicSettings settings = settingsFor("zone");
    const QStringList keys = work.thematicClassKeys(settings);
    EXPECT_EQ(keys, (QStringList{"category: Sud", "category:Nord"}));
    EXPECT_EQ(work.thematicClassIndex("A", settings, keys), 1);
    EXPECT_EQ(work.thematicClassIndex("B", settings, keys), 0);
    EXPECT_EQ(work.thematicClassIndex("D", settings, keys), std::nullopt);
    EXPECT_EQ(work.thematicClassIndex("A", settings, {"category:Sud"}), std::nullopt);
    EXPECT_EQ(work.thematicLegendLabels(settings, {"x", "y", "z"}), (QStringList{" Sud", "Nord"}));
}

// A map of communes coloured by name: every entity its own category.
TEST(PlmWorkClasses, ManyCategoriesFollowTheKeysTheyAreGiven)
{
    QStringList ids;
    QList<std::pair<QString, QString>> names;
    for (int i = 0; i < 300; ++i) {
        ids.append(QStringLiteral("E%1").arg(i));
        names.append({ids.last(), QStringLiteral("Commune %1").arg(i, 3, 10, QLatin1Char('0'))});
    }
    PlmWork work;
    work.map = mapWithEntities(ids);
    work.variables = {textVariable("nom", "Nom", names)};
    const PlmThematicSettings settings = settingsFor("nom");
    const QStringList keys = work.thematicClassKeys(settings);
    ASSERT_EQ(keys.size(), 300);
    for (int i = 0; i < 300; ++i)
        EXPECT_EQ(work.thematicClassIndex(ids[i], settings, keys), i);

    // Another list of the same length, then the first list changed in place: each answer
    // follows the list passed, never one seen before.
    QStringList reversed(keys.crbegin(), keys.crend());
    EXPECT_EQ(work.thematicClassIndex("E0", settings, reversed), 299);
    QStringList edited = keys;
    EXPECT_EQ(work.thematicClassIndex("E0", settings, edited), 0);
    edited.swapItemsAt(0, 1);
    EXPECT_EQ(work.thematicClassIndex("E0", settings, edited), 1);
    edited[1] = QStringLiteral("category:autre");
    EXPECT_EQ(work.thematicClassIndex("E0", settings, edited), std::nullopt);
    // Equal keys: the first position counts.
    edited[5] = QStringLiteral("category:Commune 001");
    EXPECT_EQ(work.thematicClassIndex("E1", settings, edited), 0);
    edited[0] = QStringLiteral("category:x");
    EXPECT_EQ(work.thematicClassIndex("E1", settings, edited), 5);
}

TEST(PlmWorkClasses, CategoriesSortByCodePoint)
{
    PlmWork work;
    work.map = mapWithEntities({"A", "B", "C", "D"});
    // U+1F600 sorts after U+FF21 in code-point order, though its UTF-16 units are smaller.
    work.variables = {textVariable("t", "T", {{"A", QString::fromUtf8("\xF0\x9F\x98\x80")},
                                              {"B", QString::fromUtf8("\xEF\xBC\xA1")},
                                              {"C", "b"},
                                              {"D", QString::fromUtf8("\xC3\xA9")}})};
    EXPECT_EQ(work.thematicLegendLabels(settingsFor("t"), {}),
              (QStringList{"b", QString::fromUtf8("\xC3\xA9"), QString::fromUtf8("\xEF\xBC\xA1"),
                           QString::fromUtf8("\xF0\x9F\x98\x80")}));
}

TEST(PlmWorkClasses, LegendLabelsFromALabelVariable)
{
    const PlmWork work = regionsWork();
    PlmThematicSettings settings = settingsFor("pop", {10, 15});
    const QStringList defaults{"≤ 10", "10 – 15", "> 15"};
    EXPECT_EQ(work.thematicLegendLabels(settings, defaults), defaults);

    settings.legendLabelVariableID = "city";
    // Class 0: A (Paris), D (Paris); class 1: nobody; class 2: B (Lyon), C (Nice).
    EXPECT_EQ(work.thematicLegendLabels(settings, defaults),
              (QStringList{"Paris", "10 – 15", "Lyon / Nice"}));

    settings.legendLabelVariableID = "code";
    EXPECT_EQ(work.thematicLegendLabels(settings, defaults),
              (QStringList{"12 %", "10 – 15", QString::fromUtf8("7,5 %")}));

    settings.legendLabelVariableID = "missing";
    EXPECT_EQ(work.thematicLegendLabels(settings, defaults), defaults);
}

PlmWork thresholdWork(PlmClassificationMethod method)
{
    PlmWork work;
    work.map = mapWithEntities({"A", "B", "C", "D", "E"});
    work.variables = {
        numberVariable("v", "V", {{"A", 0}, {"B", 25}, {"C", 50}, {"D", 100}}),
        textVariable("t", "T", {{"A", "x"}}),
    };
    PlmThematicSettings settings = settingsFor("v", {1, 2, 3});
    settings.method = method;
    settings.classCount = 4;
    work.thematic = settings;
    return work;
}

TEST(PlmWorkThresholds, AutomaticThresholdsFollowTheData)
{
    PlmWork work = thresholdWork(PlmClassificationMethod::equalIntervals);
    work.recomputeThematicThresholds();
    EXPECT_EQ(work.thematic->thresholds, (QList<double>{25, 50, 75}));

    // Symbols only: thresholds are left alone.
    work = thresholdWork(PlmClassificationMethod::equalIntervals);
    work.thematic->representation = PlmRepresentation::proportional;
    work.recomputeThematicThresholds();
    EXPECT_EQ(work.thematic->thresholds, (QList<double>{1, 2, 3}));
}

TEST(PlmWorkThresholds, ManualThresholdsAreNeverTouched)
{
    PlmWork work = thresholdWork(PlmClassificationMethod::manual);
    work.thematic->thresholds = {500, 600};
    work.recomputeThematicThresholds();
    EXPECT_EQ(work.thematic->thresholds, (QList<double>{500, 600}));
}

TEST(PlmWorkThresholds, TextOrMissingVariablesEmptyTheThresholds)
{
    PlmWork work = thresholdWork(PlmClassificationMethod::manual);
    work.thematic->variableID = "t";
    work.recomputeThematicThresholds();
    EXPECT_TRUE(work.thematic->thresholds.isEmpty());
    EXPECT_EQ(work.thematic->variableID, "t");

    work = thresholdWork(PlmClassificationMethod::quantiles);
    work.thematic->variableID = "t";
    work.thematic->representation = PlmRepresentation::twoSymbols;
    work.recomputeThematicThresholds();
    EXPECT_FALSE(work.thematic->variableID);

    work = thresholdWork(PlmClassificationMethod::manual);
    work.thematic->variableID = "gone";
    work.thematic->legendLabelVariableID = "gone too";
    work.recomputeThematicThresholds();
    EXPECT_FALSE(work.thematic->variableID);
    EXPECT_FALSE(work.thematic->legendLabelVariableID);
    EXPECT_TRUE(work.thematic->thresholds.isEmpty());
}

TEST(PlmWorkThresholds, SecondSeriesLosesATextOrUnknownVariable)
{
    PlmWork work = thresholdWork(PlmClassificationMethod::jenks);
    PlmSecondSymbolSeries second;
    second.variableID = "t";
    work.thematic->secondSymbols = second;
    work.recomputeThematicThresholds();
    ASSERT_TRUE(work.thematic->secondSymbols);
    EXPECT_FALSE(work.thematic->secondSymbols->variableID);

    work.thematic->secondSymbols->variableID = "v";
    work.recomputeThematicThresholds();
    EXPECT_EQ(work.thematic->secondSymbols->variableID, "v");
}

TEST(PlmWorkThresholds, NoThematicSettingsIsANoOp)
{
    PlmWork work = regionsWork();
    const PlmWork before = work;
    work.recomputeThematicThresholds();
    EXPECT_EQ(work, before);
}

} // namespace
