#include "model/PlmErrors.h"
#include "model/PlmJson.h"
#include "model/PlmThematicSettings.h"
#include "model/PlmVariable.h"
#include "support/ErrorCapture.h"

#include <gtest/gtest.h>

#include <functional>

#include <limits>

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();

const QString settingsMessage = QStringLiteral("Réglages de carte invalides : variable, classes, seuils ou couleurs.");
const QString secondMissingMessage = QStringLiteral("La seconde série de symboles est absente.");
const QString concentricMessage = QStringLiteral("Les symboles concentriques demandent deux cercles ou deux carrés.");

const QList<PlmVariable> variables{
    PlmVariable(QStringLiteral("pop"), QStringLiteral("Population"), PlmVariableType::number, {}, std::nullopt),
    PlmVariable(QStringLiteral("nom"), QStringLiteral("Nom"), PlmVariableType::text, {}, std::nullopt),
    PlmVariable(QStringLiteral("part"), QStringLiteral("Part"), PlmVariableType::percentage, {}, std::nullopt)};

PlmThematicSettings plain()
{
    return PlmThematicSettings(std::nullopt, PlmClassificationMethod::quantiles, 5, {}, PlmPalette::blues, false,
                               PlmColor{0.78, 0.78, 0.78, 1}, PlmPoint{10, 20});
}

PlmProportionalSettings symbols(PlmSymbolKind kind)
{
    return PlmProportionalSettings(kind, 30, PlmColor{0.9, 0.3, 0.1, 1});
}

PlmSecondSymbolSeries series(PlmSymbolKind kind, const std::optional<QString>& variableID = QStringLiteral("part"))
{
    PlmSecondSymbolSeries second;
    second.variableID = variableID;
    second.symbols = symbols(kind);
    second.legendPosition = PlmPoint{300, 40};
    return second;
}

PlmThematicSettings twoSeries(PlmSymbolKind first, PlmSymbolKind second)
{
    PlmThematicSettings settings = plain();
    settings.representation = PlmRepresentation::twoSymbols;
    settings.variableID = QStringLiteral("pop");
    settings.proportional = symbols(first);
    settings.secondSymbols = series(second);
    return settings;
}

QString failure(const PlmThematicSettings& settings)
{
    return thrownMessage<PlmWorkError>([&] { settings.validate(variables); });
}

}  // namespace

TEST(PlmThematicSettingsValidation, PlainSettingsPass)
{
    EXPECT_EQ(failure(plain()), QString());
    PlmThematicSettings settings = plain();
    settings.thresholds = {1, 2.5, 1e9};
    settings.decimalPlaces = 8;
    settings.classColorOverrides = QMap<QString, PlmColor>{{QStringLiteral("class:0"), PlmColor{1, 0, 0, 1}}};
    settings.legendLabelVariableID = QStringLiteral("nom");
    settings.legendPosition = PlmPoint{-1e8, 1e8};
    EXPECT_EQ(failure(settings), QString());
}

TEST(PlmThematicSettingsValidation, ClassesThresholdsAndColours)
{
    const auto changed = [](const std::function<void(PlmThematicSettings&)>& change) {
        PlmThematicSettings settings = plain();
        change(settings);
        return failure(settings);
    };
    EXPECT_EQ(changed([](auto& s) { s.classCount = 0; }), settingsMessage);
    EXPECT_EQ(changed([](auto& s) { s.classCount = 11; }), settingsMessage);
    EXPECT_EQ(changed([](auto& s) { s.classCount = 10; }), QString());
    EXPECT_EQ(changed([](auto& s) { s.thresholds = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}; }), settingsMessage);
    EXPECT_EQ(changed([](auto& s) { s.thresholds = {1, 2, 3, 4, 5, 6, 7, 8, 9}; }), QString());
    EXPECT_EQ(changed([](auto& s) { s.thresholds = {1, 2, 2}; }), settingsMessage);
    EXPECT_EQ(changed([](auto& s) { s.thresholds = {3, 1}; }), settingsMessage);
    EXPECT_EQ(changed([](auto& s) { s.thresholds = {kNaN}; }), settingsMessage);
    EXPECT_EQ(changed([](auto& s) { s.decimalPlaces = 9; }), settingsMessage);
    EXPECT_EQ(changed([](auto& s) { s.decimalPlaces = -1; }), settingsMessage);
    EXPECT_EQ(changed([](auto& s) { s.missingColor.red = 1.5; }), settingsMessage);
    EXPECT_EQ(changed([](auto& s) {
                  s.classColorOverrides = QMap<QString, PlmColor>{{QStringLiteral("class:1"), PlmColor{0, 0, kNaN, 1}}};
              }),
              settingsMessage);
    EXPECT_EQ(changed([](auto& s) { s.legendPosition.y = 2e8; }), settingsMessage);
    EXPECT_EQ(changed([](auto& s) { s.legendLabelVariableID = QStringLiteral("absent"); }), settingsMessage);
    EXPECT_EQ(changed([](auto& s) { s.variableID = QStringLiteral("absent"); }), settingsMessage);
}

TEST(PlmThematicSettingsValidation, TextVariablesAreNeverSized)
{
    PlmThematicSettings settings = plain();
    settings.variableID = QStringLiteral("nom");
    EXPECT_EQ(failure(settings), QString());  // absent reads as aplats
    settings.representation = PlmRepresentation::aplats;
    EXPECT_EQ(failure(settings), QString());
    settings.representation = PlmRepresentation::proportional;
    EXPECT_EQ(failure(settings), settingsMessage);
    settings = twoSeries(PlmSymbolKind::circle, PlmSymbolKind::circle);
    settings.variableID = QStringLiteral("nom");
    EXPECT_EQ(failure(settings), settingsMessage);
    settings.representation = PlmRepresentation::aplatsAndSymbols;
    EXPECT_EQ(failure(settings), QString());
    // The second series is always symbols.
    settings.secondSymbols->variableID = QStringLiteral("nom");
    EXPECT_EQ(failure(settings), settingsMessage);
}

TEST(PlmThematicSettingsValidation, SecondSeries)
{
    PlmThematicSettings settings = plain();
    settings.representation = PlmRepresentation::aplatsAndSymbols;
    EXPECT_EQ(failure(settings), secondMissingMessage);
    settings.representation = PlmRepresentation::twoSymbols;
    EXPECT_EQ(failure(settings), secondMissingMessage);
    // The second series' own errors come first.
    settings.secondSymbols = series(PlmSymbolKind::circle);
    settings.secondSymbols->decimalPlaces = 12;
    settings.classCount = 0;
    settings.concentric = true;
    EXPECT_EQ(failure(settings), settingsMessage);
    settings.secondSymbols->decimalPlaces = 2;
    EXPECT_EQ(failure(settings), concentricMessage);
}

TEST(PlmThematicSettingsValidation, Concentric)
{
    PlmThematicSettings settings = twoSeries(PlmSymbolKind::circle, PlmSymbolKind::circle);
    settings.concentric = true;
    EXPECT_TRUE(settings.allowsConcentric());
    EXPECT_EQ(failure(settings), QString());
    settings = twoSeries(PlmSymbolKind::square, PlmSymbolKind::square);
    settings.concentric = true;
    EXPECT_EQ(failure(settings), QString());
    settings = twoSeries(PlmSymbolKind::circle, PlmSymbolKind::square);
    settings.concentric = true;
    EXPECT_EQ(failure(settings), concentricMessage);
    settings.concentric = false;
    EXPECT_EQ(failure(settings), QString());
    settings = twoSeries(PlmSymbolKind::triangle, PlmSymbolKind::triangle);
    EXPECT_FALSE(settings.allowsConcentric());
    settings = twoSeries(PlmSymbolKind::circle, PlmSymbolKind::circle);
    settings.representation = PlmRepresentation::aplatsAndSymbols;
    settings.concentric = true;
    EXPECT_EQ(failure(settings), concentricMessage);
}

TEST(PlmThematicSettings, SingleSeries)
{
    PlmThematicSettings settings = twoSeries(PlmSymbolKind::circle, PlmSymbolKind::circle);
    settings.secondInFront = true;
    settings.concentric = true;
    settings.decimalPlaces = 3;
    PlmThematicSettings single = settings.singleSeries();
    EXPECT_EQ(single.representation, PlmRepresentation::proportional);
    EXPECT_FALSE(single.secondSymbols || single.secondInFront || single.concentric);
    EXPECT_EQ(single.proportional, settings.proportional);
    EXPECT_EQ(single.decimalPlaces, 3);

    settings.representation = PlmRepresentation::aplatsAndSymbols;
    EXPECT_EQ(settings.singleSeries().representation, PlmRepresentation::aplats);
    EXPECT_EQ(plain().singleSeries().representation, PlmRepresentation::aplats);
}

TEST(PlmThematicSettings, DerivedLegendOptions)
{
    PlmThematicSettings settings = plain();
    EXPECT_EQ(settings.legendDecimalPlaces(), 2);
    EXPECT_TRUE(settings.showsMissingInLegend());
    settings.decimalPlaces = 0;
    settings.hideMissingInLegend = false;
    EXPECT_EQ(settings.legendDecimalPlaces(), 0);
    EXPECT_TRUE(settings.showsMissingInLegend());
    settings.hideMissingInLegend = true;
    EXPECT_FALSE(settings.showsMissingInLegend());
}

TEST(PlmSecondSymbolSeries, AsThematicSettings)
{
    PlmSecondSymbolSeries second = series(PlmSymbolKind::square, QStringLiteral("pop"));
    second.decimalPlaces = 1;
    second.hideMissingInLegend = true;
    const PlmThematicSettings settings = second.asThematicSettings();
    PlmThematicSettings expected = plain();
    expected.representation = PlmRepresentation::proportional;
    expected.proportional = second.symbols;
    expected.variableID = QStringLiteral("pop");
    expected.decimalPlaces = 1;
    expected.hideMissingInLegend = true;
    expected.legendPosition = PlmPoint{300, 40};
    EXPECT_EQ(settings, expected);
}

TEST(PlmThematicSettingsJson, RequiredKeysOnly)
{
    const QByteArray json = PlmJson::encode(plain());
    const PlmJsonDocument document = PlmJsonDocument::parse(json);
    QStringList keys;
    for (auto [key, value] : document.root().members())
        keys.append(QString::fromUtf8(key.data(), qsizetype(key.size())));
    EXPECT_EQ(keys, (QStringList{"classCount", "inverted", "legendPosition", "method", "missingColor", "palette",
                                 "thresholds"}));
    EXPECT_EQ(PlmJson::decode<PlmThematicSettings>(json), plain());
}

TEST(PlmThematicSettingsJson, EveryFieldRoundTrips)
{
    PlmThematicSettings settings = twoSeries(PlmSymbolKind::circle, PlmSymbolKind::circle);
    settings.secondInFront = false;
    settings.concentric = true;
    settings.method = PlmClassificationMethod::standardDeviation;
    settings.classCount = 7;
    settings.thresholds = {-1.5, 0, 2e-9, 1e12};
    settings.palette = PlmPalette::purpleOrange;
    settings.classColorOverrides = QMap<QString, PlmColor>{{QStringLiteral("category:Île-de-France"),
                                                            PlmColor{0.1, 0.2, 0.3, 0.4}}};
    settings.inverted = true;
    settings.decimalPlaces = 4;
    settings.hideMissingInLegend = true;
    settings.legendLabelVariableID = QStringLiteral("nom");
    settings.secondSymbols->decimalPlaces = 0;
    settings.secondSymbols->hideMissingInLegend = false;
    const QByteArray json = PlmJson::encode(settings);
    const PlmThematicSettings read = PlmJson::decode<PlmThematicSettings>(json);
    EXPECT_EQ(read, settings);
    EXPECT_EQ(PlmJson::encode(read), json);
}

TEST(PlmThematicSettingsJson, StrictReading)
{
    const QByteArray json = PlmJson::encode(plain());
    const auto decodes = [&](const char* from, const char* to) {
        const QByteArray changed = QByteArray(json).replace(from, to);
        EXPECT_NE(changed, json) << from;
        PlmJson::decode<PlmThematicSettings>(changed);
    };
    EXPECT_THROW(decodes("\"quantiles\"", "\"quantile\""), PlmJsonDecodingError);
    EXPECT_THROW(decodes("\"blues\"", "\"Bleus\""), PlmJsonDecodingError);
    EXPECT_THROW(decodes("\"inverted\"", "\"invert\""), PlmJsonDecodingError);
    EXPECT_THROW(decodes("\"classCount\" : 5", "\"classCount\" : 5.5"), PlmJsonDecodingError);
    EXPECT_NO_THROW(decodes("\"classCount\"", "\"representation\" : \"aplats\",\n\"classCount\""));
    EXPECT_THROW(decodes("\"classCount\"", "\"representation\" : \"Aplats\",\n\"classCount\""), PlmJsonDecodingError);
}

TEST(PlmThematicEnumerations, TitlesInOrder)
{
    QStringList methods;
    for (PlmClassificationMethod method : allPlmClassificationMethods())
        methods.append(title(method));
    EXPECT_EQ(methods, (QStringList{"Seuils manuels", "Intervalles égaux", "Quantiles", "Jenks",
                                    "Moyenne / écarts-types"}));
    QStringList palettes;
    for (PlmPalette palette : allPlmPalettes())
        palettes.append(title(palette));
    EXPECT_EQ(palettes, (QStringList{"Bleus", "Verts", "Rouge / bleu", "Brun / vert", "Oranges", "Violets", "Gris",
                                     "Bleu / vert", "Violet / orange"}));
    QStringList representations;
    for (PlmRepresentation representation : allPlmRepresentations())
        representations.append(title(representation) + (isSymbolsOnly(representation) ? "|S" : "")
                               + (hasSecondLayer(representation) ? "|2" : "")
                               + (showsAplats(representation) ? "|A" : ""));
    EXPECT_EQ(representations, (QStringList{"Aplats|A", "Symboles proportionnels|S", "Aplats + symboles|2|A",
                                            "Deux séries de symboles|S|2"}));
    EXPECT_EQ(plmPaletteFromRawValue(u"purpleOrange"), PlmPalette::purpleOrange);
    EXPECT_FALSE(plmClassificationMethodFromRawValue(u"Jenks").has_value());
    QSet<PlmPalette> set(allPlmPalettes().cbegin(), allPlmPalettes().cend());
    EXPECT_EQ(set.size(), 9);
}
