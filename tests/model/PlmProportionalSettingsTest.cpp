#include "model/PlmEntity.h"
#include "model/PlmErrors.h"
#include "model/PlmJson.h"
#include "model/PlmProportionalSettings.h"
#include "support/ErrorCapture.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInfinity = std::numeric_limits<double>::infinity();

const QString sizeMessage = QStringLiteral("Taille, couleur ou position de symbole invalide.");
const QString vectorMessage = QStringLiteral("Un symbole personnalisé doit contenir des tracés vectoriels.");
const QString positiveMessage = QStringLiteral("La taille minimale s’applique aux valeurs strictement positives.");
const QString tooLargeMessage = QStringLiteral(
    "Cette taille minimale imposerait un symbole maximal trop grand. Réduisez-la : les tailles min/max restent "
    "liées pour conserver les proportions.");

PlmProportionalSettings circles(double maximumSize = 40)
{
    return PlmProportionalSettings(PlmSymbolKind::circle, maximumSize, PlmColor{0.8, 0.2, 0.1, 1});
}

QString failure(const PlmProportionalSettings& settings, const QSet<QString>& ids = {})
{
    return thrownMessage([&] { settings.validate(ids); });
}

PlmEntity pathEntity(const QString& id)
{
    PlmVectorPath path;
    path.commands = {PlmPathCommand::move({0, 0}), PlmPathCommand::line({1, 0}), PlmPathCommand::line({1, 1}),
                     PlmPathCommand::close()};
    return PlmEntity(id, QString(), PlmGeometry::path(path), PlmStyle(PlmColor{0, 0, 0, 1}, PlmColor{0, 0, 0, 1}, 1, 3));
}

PlmEntity polygonEntity(const QString& id)
{
    PlmPolygon polygon;
    polygon.exterior = {{0, 0}, {1, 0}, {1, 1}};
    return PlmEntity(id, QString(), PlmGeometry::polygon(polygon), PlmStyle(PlmColor{0, 0, 0, 1}, std::nullopt, 1, 3));
}

PlmEntity group(const QString& id, const PlmEntityList& members)
{
    return PlmEntity(id, QString(), PlmGeometry::group(members), PlmStyle(PlmColor{0, 0, 0, 1}, std::nullopt, 1, 3));
}

PlmProportionalSettings svgSymbol(const PlmEntityList& entities)
{
    PlmProportionalSettings settings(PlmSymbolKind::svg, 30, PlmColor{0, 0, 0, 1});
    settings.svgVector = PlmMap(QStringLiteral("symbole"), entities);
    return settings;
}

PlmProportionalSettings roundTrip(const PlmProportionalSettings& settings)
{
    return PlmJson::decode<PlmProportionalSettings>(PlmJson::encode(settings));
}

}  // namespace

TEST(PlmProportionalSettingsSize, SquareRootLaw)
{
    const PlmProportionalSettings settings = circles(40);
    EXPECT_DOUBLE_EQ(*settings.symbolSize(25, 100), 20);
    EXPECT_DOUBLE_EQ(*settings.symbolSize(100, 100), 40);
    EXPECT_DOUBLE_EQ(*settings.symbolSize(400, 100), 80);
    EXPECT_EQ(settings.symbolSize(0, 100), 0.0);
    EXPECT_EQ(settings.symbolSize(-0.0, std::nullopt), 0.0);  // zero needs no largest value
    EXPECT_FALSE(settings.symbolSize(-1, 100).has_value());
    EXPECT_FALSE(settings.symbolSize(kNaN, 100).has_value());
    EXPECT_FALSE(settings.symbolSize(kInfinity, 100).has_value());
    EXPECT_FALSE(settings.symbolSize(std::nullopt, 100).has_value());
    EXPECT_FALSE(settings.symbolSize(25, 0).has_value());
    EXPECT_FALSE(settings.symbolSize(25, -4).has_value());
    EXPECT_FALSE(settings.symbolSize(25, kNaN).has_value());
    EXPECT_FALSE(settings.symbolSize(25, std::nullopt).has_value());
    // An overflowing result is no size rather than an infinite symbol.
    EXPECT_FALSE(circles(1000).symbolSize(1e308, 1e-308).has_value());
}

TEST(PlmProportionalSettingsSize, MinimumSizeSetsTheMaximum)
{
    PlmProportionalSettings settings = circles(40);
    settings.setMinimumSize(5, 1, 100);
    EXPECT_DOUBLE_EQ(settings.maximumSize, 50);
}

TEST(PlmProportionalSettingsSize, MinimumSizeRefusals)
{
    const auto message = [](double size, double minimum, double maximum) {
        PlmProportionalSettings settings = circles(40);
        try {
            settings.setMinimumSize(size, minimum, maximum);
        } catch (const PlmWorkError& error) {
            EXPECT_EQ(settings.maximumSize, 40) << "a refusal keeps the old maximum";
            return error.message();
        }
        return QString();
    };
    EXPECT_EQ(message(5, 1, 1e6), tooLargeMessage);  // would be 5000
    EXPECT_EQ(message(0.001, 3, 3), tooLargeMessage);  // 0.001 is below the smallest maximum
    EXPECT_EQ(message(0, 1, 100), positiveMessage);
    EXPECT_EQ(message(5, 0, 100), positiveMessage);
    EXPECT_EQ(message(5, 200, 100), positiveMessage);
    EXPECT_EQ(message(kNaN, 1, 100), positiveMessage);
    EXPECT_EQ(message(5, 1, kNaN), positiveMessage);
    EXPECT_EQ(message(5, 1, kInfinity), tooLargeMessage);
    EXPECT_EQ(message(5, 4, 4), QString());
}

TEST(PlmProportionalSettingsLegend, SampleValues)
{
    EXPECT_EQ(circles(35).legendSampleValues({0, -5, 90, kNaN}), (QList<double>{10, 40, 90}));
    // The top symbol is held at 70 points: 90 x (70 / 140)^2.
    EXPECT_EQ(circles(140).legendSampleValues({0, -5, 90, kNaN}), (QList<double>{2.5, 10, 22.5}));
    EXPECT_TRUE(circles(35).legendSampleValues({0, -1, kNaN, kInfinity}).isEmpty());
    EXPECT_TRUE(circles(35).legendSampleValues({}).isEmpty());
    // A broken maximum size never inflates the samples beyond the largest value.
    EXPECT_EQ(circles(-7).legendSampleValues({90}), (QList<double>{10, 40, 90}));
    EXPECT_EQ(circles(kNaN).legendSampleValues({90}), (QList<double>{10, 40, 90}));
    const QList<double> samples = circles(60).legendSampleValues({9, 81, 3});
    ASSERT_EQ(samples.size(), 3);
    EXPECT_DOUBLE_EQ(*circles(60).symbolSize(samples[0], 81), 20);
    EXPECT_DOUBLE_EQ(*circles(60).symbolSize(samples[1], 81), 40);
}

TEST(PlmProportionalSettingsValidation, SizeColourAndPositions)
{
    EXPECT_EQ(failure(circles(0.01)), QString());
    EXPECT_EQ(failure(circles(1000)), QString());
    EXPECT_EQ(failure(circles(0.009)), sizeMessage);
    EXPECT_EQ(failure(circles(kNaN)), sizeMessage);
    PlmProportionalSettings settings = circles();
    settings.color.green = 1.2;
    EXPECT_EQ(failure(settings), sizeMessage);

    settings = circles();
    settings.manualPositions.insert(QStringLiteral("FR"), PlmPoint{3, 4});
    EXPECT_EQ(failure(settings, {QStringLiteral("FR")}), QString());
    EXPECT_EQ(failure(settings, {QStringLiteral("DE")}), sizeMessage);
    settings.manualPositions.insert(QStringLiteral("FR"), PlmPoint{kInfinity, 4});
    EXPECT_EQ(failure(settings, {QStringLiteral("FR")}), sizeMessage);
}

TEST(PlmProportionalSettingsValidation, Outline)
{
    PlmProportionalSettings settings = circles();
    settings.outline = PlmStyle(PlmColor{0, 0, 0, 1}, std::nullopt, 0, 3);
    EXPECT_EQ(failure(settings), QString());
    settings.outline->lineWidth = -1;
    EXPECT_EQ(failure(settings), QStringLiteral("Contour de symbole invalide."));
    settings.outline->lineWidth = 1;
    settings.outline->stroke.alpha = kNaN;
    EXPECT_EQ(failure(settings), QStringLiteral("Contour de symbole invalide."));
    // A bad size is reported first.
    settings.maximumSize = 0;
    EXPECT_EQ(failure(settings), sizeMessage);
}

TEST(PlmProportionalSettingsValidation, SymbolChoice)
{
    PlmProportionalSettings settings(PlmSymbolKind::sfSymbol, 20, PlmColor{0, 0, 0, 1}, QStringLiteral(" \n "));
    EXPECT_EQ(failure(settings), QStringLiteral("Choisissez un pictogramme."));
    settings.sfSymbolName.reset();
    EXPECT_EQ(failure(settings), QStringLiteral("Choisissez un pictogramme."));
    settings.sfSymbolName = QStringLiteral("star.fill");
    EXPECT_EQ(failure(settings), QString());
    settings.kind = PlmSymbolKind::svg;
    EXPECT_EQ(failure(settings), QStringLiteral("Importez un symbole SVG vectoriel."));
    settings.kind = PlmSymbolKind::circle;
    settings.sfSymbolName.reset();
    EXPECT_EQ(failure(settings), QString());
}

TEST(PlmProportionalSettingsValidation, VectorShapes)
{
    EXPECT_EQ(failure(svgSymbol({group(QStringLiteral("g"), {pathEntity(QStringLiteral("a")),
                                                            pathEntity(QStringLiteral("b"))})})),
              QString());
    EXPECT_EQ(failure(svgSymbol({group(QStringLiteral("g"), {polygonEntity(QStringLiteral("a"))})})), vectorMessage);
    EXPECT_EQ(failure(svgSymbol({})), vectorMessage);

    // The map's own validation comes first and its error passes unchanged.
    PlmProportionalSettings duplicate = svgSymbol({pathEntity(QStringLiteral("a")), pathEntity(QStringLiteral("a"))});
    EXPECT_THROW(duplicate.validate({}), PlmMapError);

    PlmProportionalSettings withSf = circles();
    withSf.sfVector = PlmMap(QStringLiteral("sf"), {polygonEntity(QStringLiteral("p"))});
    EXPECT_EQ(failure(withSf), vectorMessage);
}

TEST(PlmProportionalSettingsJson, RequiredKeysOnly)
{
    const QByteArray json = PlmJson::encode(circles(12.5));
    const PlmJsonDocument document = PlmJsonDocument::parse(json);
    QStringList keys;
    for (auto [key, value] : document.root().members())
        keys.append(QString::fromUtf8(key.data(), qsizetype(key.size())));
    EXPECT_EQ(keys, (QStringList{"color", "kind", "manualPositions", "maximumSize"}));
    EXPECT_EQ(roundTrip(circles(12.5)), circles(12.5));
}

TEST(PlmProportionalSettingsJson, EveryFieldRoundTrips)
{
    PlmProportionalSettings settings = svgSymbol({pathEntity(QStringLiteral("a"))});
    settings.automaticColor = false;
    settings.outline = PlmStyle(PlmColor{0.1, 0.2, 0.3, 0.4}, std::nullopt, 0.5, 3);
    settings.outlineVisible = true;
    settings.sfSymbolName = QStringLiteral("circle.fill");
    settings.sfConfiguration = PlmSFSymbolConfiguration::regularMediumMonochrome;
    settings.sfVector = PlmMap(QStringLiteral("sf"), {pathEntity(QStringLiteral("b"))});
    settings.manualPositions.insert(QStringLiteral("FR-75"), PlmPoint{2.35, 48.85});
    settings.manualPositions.insert(QStringLiteral("É"), PlmPoint{-1, 1e-7});
    EXPECT_EQ(roundTrip(settings), settings);
    EXPECT_TRUE(PlmJson::encode(settings).contains("\"sfConfiguration\" : \"regularMediumMonochrome\""));
}

TEST(PlmProportionalSettingsJson, StrictReading)
{
    const QByteArray complete = R"({"color": {"red": 0, "green": 0, "blue": 0, "alpha": 1}, "kind": "circle",
                                    "manualPositions": {}, "maximumSize": 40})";
    EXPECT_EQ(PlmJson::decode<PlmProportionalSettings>(complete), PlmProportionalSettings(PlmSymbolKind::circle, 40, PlmColor{0, 0, 0, 1}));
    const auto decodes = [&](const char* from, const char* to) {
        PlmJson::decode<PlmProportionalSettings>(QByteArray(complete).replace(from, to));
    };
    EXPECT_THROW(decodes("\"manualPositions\": {},", ""), PlmJsonDecodingError);
    EXPECT_THROW(decodes("\"circle\"", "\"Circle\""), PlmJsonDecodingError);
    EXPECT_THROW(decodes("40", "\"40\""), PlmJsonDecodingError);
    EXPECT_THROW(decodes("\"manualPositions\": {}", "\"manualPositions\": []"), PlmJsonDecodingError);
    EXPECT_THROW(decodes("\"kind\"", "\"sfConfiguration\": \"bold\", \"kind\""), PlmJsonDecodingError);
}

TEST(PlmSymbolKind, TitlesAndOrder)
{
    QStringList titles;
    for (PlmSymbolKind kind : allPlmSymbolKinds())
        titles.append(title(kind));
    EXPECT_EQ(titles, (QStringList{"Cercle", "Carré", "Triangle", "Pictogramme", "SVG personnalisé"}));
    EXPECT_EQ(plmSymbolKindFromRawValue(u"sfSymbol"), PlmSymbolKind::sfSymbol);
    EXPECT_FALSE(plmSymbolKindFromRawValue(u"star").has_value());
}
