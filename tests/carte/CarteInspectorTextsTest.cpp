#include "carte/CarteInspectorTexts.h"

#include "model/PlmErrors.h"
#include "support/PlmWorkTestSupport.h"
#include "support/ErrorCapture.h"

#include <gtest/gtest.h>

using namespace CarteInspectorTexts;

namespace {

PlmDistribution distributionOf(const QList<double>& values)
{
    return PlmDistribution(values);
}

} // namespace

TEST(CarteInspectorTexts, ClassLabelsNameEachIntervalOnce)
{
    struct Row {
        const char* name;
        QList<double> thresholds;
        int decimals;
        QStringList labels;
    };
    const PlmDistribution values = distributionOf({2, 12, 18, 30});
    const QList<Row> rows{
        {"two thresholds", {10, 20}, 2, {"≤ 10,00", "> 10,00 à 20,00", "> 20,00"}},
        {"one threshold", {10}, 2, {"≤ 10,00", "> 10,00"}},
        {"none: the whole range", {}, 1, {"2,0 à 30,0"}},
        {"three, no decimals", {5, 10, 20}, 0, {"≤ 5", "> 5 à 10", "> 10 à 20", "> 20"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const QStringList labels = classLabels(values, row.thresholds, row.decimals);
        EXPECT_EQ(labels, row.labels);
        EXPECT_EQ(labels.size(), row.thresholds.size() + 1);
    }
    EXPECT_TRUE(classLabels(PlmDistribution(), {10, 20}, 2).isEmpty());
}

TEST(CarteInspectorTexts, StatisticsAndNoticeLines)
{
    EXPECT_EQ(statisticsLine(PlmDistribution(), 3, 2),
              QStringLiteral("0 valeurs · 3 sans donnée    Min —    Max —    Moyenne —    Écart-type —"));
    EXPECT_EQ(statisticsLine(distributionOf({1, 3}), 3, 1),
              QStringLiteral("2 valeurs · 1 sans donnée    Min 1,0    Max 3,0    Moyenne 2,0    Écart-type 1,0"));
    EXPECT_EQ(choroplethNotice(false, PlmDistribution(), 0, 5),
              QStringLiteral("Choisissez une variable. Créez ou importez vos variables dans Données."));
    EXPECT_EQ(choroplethNotice(true, PlmDistribution(), 0, 5),
              QStringLiteral("Cette variable n’a pas encore de valeur : toutes les zones sont « Sans donnée »."));
    EXPECT_EQ(choroplethNotice(true, distributionOf({1, 2}), 3, 5),
              QStringLiteral(" 4 classes effectives (valeurs identiques ou seuils hors distribution)."));
    EXPECT_EQ(choroplethNotice(true, distributionOf({1, 2}), 4, 5), QString());
    EXPECT_EQ(symbolCountsLine(2, distributionOf({-5, 0, 1, 4}), 6),
              QStringLiteral("2 symboles · 1 valeurs nulles · 2 sans donnée · 1 valeurs négatives non représentées"));
    EXPECT_EQ(symbolNotice(true, true),
              QStringLiteral("Ce pictogramme est indisponible sur cet ordinateur. Son nom et ses réglages sont conservés ; "
                             "choisissez un autre symbole pour l’afficher."));
    EXPECT_EQ(legendTitle(PlmWorkTest::numberVariable("v", "Chômage", {}, PlmVariableType::percentage)),
              QStringLiteral("Chômage (%)"));
}

TEST(CarteInspectorTexts, ThresholdTextReadsBackAsTheSameNumbers)
{
    EXPECT_EQ(thresholdText({10, 12.5, 20}), QStringLiteral("10 ; 12,5 ; 20"));
    EXPECT_EQ(thresholdText({2.5, 10}), QStringLiteral("2,5 ; 10"));
    EXPECT_EQ(thresholdText({0.00001}), QStringLiteral("1e-05"));
    EXPECT_EQ(thresholdText({}), QString());
}

TEST(CarteInspectorTexts, TypedThresholds)
{
    PlmThematicSettings quantiles;
    quantiles.method = PlmClassificationMethod::quantiles;
    quantiles.classCount = 4;
    quantiles.thresholds = {1, 2, 3};
    const PlmThematicSettings typed = typedThresholds(quantiles, QStringLiteral("10 ; 12,5 ; 20"), {});
    PlmThematicSettings expected = quantiles;
    expected.method = PlmClassificationMethod::manual;
    expected.thresholds = {10, 12.5, 20};
    EXPECT_EQ(typed, expected);

    PlmThematicSettings manualFive;
    manualFive.method = PlmClassificationMethod::manual;
    manualFive.classCount = 5;
    manualFive.thresholds = {1, 2, 3, 4};
    struct Row {
        const char* name;
        QString text;
        QString message;
    };
    const QList<Row> rows{
        {"too few", "10 ; 20", "Cette discrétisation attend 4 seuils, dans l’ordre strictement croissant."},
        {"an empty piece", "1 ; ; 3 ; 4", "Un seuil doit être un nombre. Séparez les seuils par ;."},
        // The parser's own refusal speaks of a data cell.
        {"a word", "1 ; abc ; 3 ; 4", "Un seuil doit être un nombre. Séparez les seuils par ;."},
        {"not increasing", "1 ; 3 ; 2 ; 4", "Réglages de carte invalides : variable, classes, seuils ou couleurs."},
        {"blank with four expected", "   ", "Cette discrétisation attend 4 seuils, dans l’ordre strictement croissant."},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(thrownMessage([&] { typedThresholds(manualFive, row.text, {}); }), row.message);
    }
    PlmThematicSettings oneClass;
    oneClass.method = PlmClassificationMethod::manual;
    oneClass.classCount = 1;
    EXPECT_TRUE(typedThresholds(oneClass, QStringLiteral("  "), {}).thresholds.isEmpty());
}

TEST(CarteInspectorTexts, TypedSymbolSizes)
{
    PlmThematicSettings settings;
    settings.representation = PlmRepresentation::proportional;
    settings.proportional = PlmProportionalSettings(PlmSymbolKind::circle, 30, PlmColor{1, 0, 0, 1});
    const PlmDistribution values = distributionOf({1, 4, 9});
    EXPECT_EQ(typedSize(settings, SizeField::minimum, QStringLiteral("20"), values, {}).proportional->maximumSize, 60);
    EXPECT_EQ(typedSize(settings, SizeField::maximum, QStringLiteral("12,5"), values, {}).proportional->maximumSize, 12.5);
    const PlmDistribution nonPositive = distributionOf({0, -2});
    EXPECT_EQ(thrownMessage([&] { typedSize(settings, SizeField::minimum, QStringLiteral("5"), nonPositive, {}); }),
              QStringLiteral("Cette variable n’a pas de valeur positive."));
    for (const QString& refused : {QString(), QStringLiteral("abc")})
        EXPECT_EQ(thrownMessage([&] { typedSize(settings, SizeField::maximum, refused, values, {}); }),
                  QStringLiteral("Saisissez une taille positive en points."));
}

TEST(CarteInspectorTexts, SymbolAppearanceRanges)
{
    PlmThematicSettings settings;
    settings.proportional = PlmProportionalSettings(PlmSymbolKind::circle, 30, PlmColor{0.1, 0.2, 0.3, 1});
    SymbolAppearance controls;
    controls.automaticFill = true;
    controls.opacityText = QStringLiteral("100");
    controls.outlineWidthText = QStringLiteral("0");
    controls.outlineColor = PlmColor{0, 0, 0, 1};
    const PlmProportionalSettings accepted = *appearance(settings, controls, false).proportional;
    EXPECT_EQ(accepted.color, (PlmColor{0.8, 0.18, 0.16, 1}));
    EXPECT_EQ(accepted.outline->lineWidth, 0);
    EXPECT_EQ(accepted.automaticColor, true);

    const QString range = QStringLiteral("Opacité : 0 à 100 %. Épaisseur : nombre positif ou nul, en points.");
    controls.opacityText = QStringLiteral("100,5");
    EXPECT_EQ(thrownMessage([&] { appearance(settings, controls, false); }), range);
    controls.opacityText = QStringLiteral("50");
    controls.outlineWidthText = QStringLiteral("-1");
    EXPECT_EQ(thrownMessage([&] { appearance(settings, controls, false); }), range);
}

TEST(CarteInspectorTexts, EntityNameSizes)
{
    EXPECT_EQ(entityNameSize(QStringLiteral("12,5")), 12.5);
    EXPECT_EQ(entityNameSize(QStringLiteral("1000")), 1000.0);
    for (const char* refused : {"0", "1001", " 12", "12 ", "douze", ""})
        EXPECT_FALSE(entityNameSize(QString::fromUtf8(refused)).has_value()) << refused;
    EXPECT_EQ(entityNameSizeText(12), QStringLiteral("12,0"));
    EXPECT_EQ(entityNameSizeText(10.5), QStringLiteral("10,5"));
}
