#include "model/PlmDecoration.h"
#include "model/PlmErrors.h"
#include "model/PlmJson.h"
#include "support/ErrorCapture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInfinity = std::numeric_limits<double>::infinity();

// The message of the first failure, or an empty string when the layout passes.
QString failure(const PlmDecoration& decoration, const QSet<QString>& entityIDs = {})
{
    return thrownMessage<PlmWorkError>([&] { decoration.validate(entityIDs); });
}

QString failure(const PlmPrintPage& page)
{
    PlmDecoration decoration;
    decoration.printPage = page;
    return failure(decoration);
}

QString failure(const PlmBackgroundImage& image)
{
    PlmDecoration decoration;
    decoration.backgroundImage = image;
    return failure(decoration);
}

QString failure(const PlmDecorationObject& object)
{
    PlmDecoration decoration;
    decoration.objects.append(object);
    return failure(decoration);
}

const QString pageMessage = QStringLiteral("Page ou marges d’impression incorrectes.");
const QString imageMessage = QStringLiteral("Image de fond ou dimensions incorrectes.");
const QString placementMessage = QStringLiteral("Position ou dimensions d’habillage incorrectes.");
const QString transformMessage = QStringLiteral("Transformation du fond incorrecte.");
const QString viewportMessage = QStringLiteral("Cadrage incorrect.");
const QString scaleMessage = QStringLiteral(
    "Une échelle reste parallèle aux distances géographiques calculées ; sa rotation doit être nulle.");

PlmPrintPage page(double width, double height, double margin)
{
    PlmPrintPage page;
    page.width = width;
    page.height = height;
    page.margin = margin;
    return page;
}

PlmBackgroundImage validImage()
{
    PlmBackgroundImage image;
    image.data = QByteArray("\x89PNG", 4);
    image.type = QStringLiteral("png");
    image.position = PlmPoint{-20, 30};
    image.width = 400;
    image.height = 300;
    image.opacity = 0.5;
    return image;
}

PlmDecorationObject object(const QString& id, PlmDecorationKind kind = PlmDecorationKind::rectangle)
{
    return PlmDecorationObject::make(id, kind);
}

}  // namespace

TEST(PlmDecorationValidation, DefaultLayoutPasses)
{
    EXPECT_EQ(failure(PlmDecoration()), QString());
}

TEST(PlmDecorationValidation, PrintPageLimits)
{
    EXPECT_EQ(failure(PlmPrintPage()), QString());
    EXPECT_EQ(failure(page(10, 10, 4.9)), QString());
    EXPECT_EQ(failure(page(10, 10, 5)), pageMessage);  // twice the margin equals the shorter side
    EXPECT_EQ(failure(page(100, 10, 5)), pageMessage);
    EXPECT_EQ(failure(page(100, 100, -1)), pageMessage);
    EXPECT_EQ(failure(page(100, 100, -0.0)), QString());
    EXPECT_EQ(failure(page(100, 100, kNaN)), pageMessage);
    EXPECT_EQ(failure(page(2000, 2000, 0)), QString());
    EXPECT_EQ(failure(page(2000.001, 200, 0)), pageMessage);
    EXPECT_EQ(failure(page(200, 9.99, 0)), pageMessage);
    EXPECT_EQ(failure(page(kInfinity, 200, 0)), pageMessage);
    PlmPrintPage farAway;
    farAway.origin = PlmPoint{1e8, -1e8};
    EXPECT_EQ(failure(farAway), QString());
    farAway.origin.x = 1.0000001e8;
    EXPECT_EQ(failure(farAway), pageMessage);
    farAway.origin.x = kNaN;
    EXPECT_EQ(failure(farAway), pageMessage);
}

TEST(PlmDecorationValidation, EntityNames)
{
    PlmDecoration decoration;
    decoration.entityNameFontName = QStringLiteral("   ");
    EXPECT_EQ(failure(decoration), QStringLiteral("Police des noms d’entités incorrecte."));
    decoration.entityNameFontName = QStringLiteral("\n");
    EXPECT_EQ(failure(decoration), QStringLiteral("Police des noms d’entités incorrecte."));
    decoration.entityNameFontName = QStringLiteral(" Times ");
    EXPECT_EQ(failure(decoration), QString());

    decoration.entityNameFontSize = 1000;
    EXPECT_EQ(failure(decoration), QString());
    for (double size : {0.0, -1.0, 1000.5, kNaN, kInfinity}) {
        decoration.entityNameFontSize = size;
        EXPECT_EQ(failure(decoration), QStringLiteral("Taille des noms d’entités incorrecte.")) << size;
    }
    decoration.entityNameFontSize.reset();

    decoration.entityNamePositions = QMap<QString, PlmPoint>{{QStringLiteral("a"), PlmPoint{1e12, -1e12}}};
    EXPECT_EQ(failure(decoration), QString());
    (*decoration.entityNamePositions)[QString()] = PlmPoint{0, 0};
    EXPECT_EQ(failure(decoration), QStringLiteral("Position des noms d’entités incorrecte."));
    decoration.entityNamePositions = QMap<QString, PlmPoint>{{QStringLiteral("a"), PlmPoint{0, kNaN}}};
    EXPECT_EQ(failure(decoration), QStringLiteral("Position des noms d’entités incorrecte."));
}

TEST(PlmDecorationValidation, CompositionSize)
{
    PlmDecoration decoration;
    decoration.compositionSize = PlmPoint{100, 10000};
    EXPECT_EQ(failure(decoration), QString());
    decoration.compositionSize = PlmPoint{99.9, 500};
    EXPECT_EQ(failure(decoration), QStringLiteral("Dimensions de composition incorrectes."));
    decoration.compositionSize = PlmPoint{500, 10000.1};
    EXPECT_EQ(failure(decoration), QStringLiteral("Dimensions de composition incorrectes."));
    decoration.compositionSize = PlmPoint{kNaN, 500};
    EXPECT_EQ(failure(decoration), QStringLiteral("Dimensions de composition incorrectes."));
}

TEST(PlmDecorationValidation, MapTransformMustBeInvertible)
{
    PlmDecoration decoration;
    decoration.mapTransform = PlmTransform{0, 1, 1, 0, 0, 0};  // determinant -1
    EXPECT_EQ(failure(decoration), QString());
    decoration.mapTransform = PlmTransform{0, 0, 0, 0, 0, 0};
    EXPECT_EQ(failure(decoration), transformMessage);
    decoration.mapTransform = PlmTransform{1e8, 0, 0, 1, 1e8, -1e8};
    EXPECT_EQ(failure(decoration), QString());
    decoration.mapTransform = PlmTransform{1.0000001e8, 0, 0, 1, 0, 0};
    EXPECT_EQ(failure(decoration), transformMessage);
    decoration.mapTransform = PlmTransform{1, 0, 0, 1, kNaN, 0};
    EXPECT_EQ(failure(decoration), transformMessage);
    decoration.mapTransform = PlmTransform{1e-6, 0, 0, 1e-5, 0, 0};  // determinant 1e-11
    EXPECT_EQ(failure(decoration), transformMessage);
}

TEST(PlmDecorationValidation, Viewport)
{
    PlmDecoration decoration;
    decoration.viewport = PlmDecorationViewport{PlmPoint{1e12, -1e12}, 1e-8};
    EXPECT_EQ(failure(decoration), QString());
    decoration.viewport->unitsPerPoint = 1e8;
    EXPECT_EQ(failure(decoration), QString());
    for (double units : {0.0, 1.1e8, kNaN, -1.0}) {
        decoration.viewport->unitsPerPoint = units;
        EXPECT_EQ(failure(decoration), viewportMessage) << units;
    }
    decoration.viewport = PlmDecorationViewport{PlmPoint{kInfinity, 0}, 1};
    EXPECT_EQ(failure(decoration), viewportMessage);
}

TEST(PlmDecorationValidation, BackgroundImage)
{
    EXPECT_EQ(failure(validImage()), QString());
    PlmBackgroundImage image = validImage();
    image.type = QStringLiteral("jpeg");
    EXPECT_EQ(failure(image), QString());
    image.type = QStringLiteral("jpg");
    EXPECT_EQ(failure(image), QString());
    for (const char* type : {"JPG", "PNG", "gif", ""}) {
        image.type = QString::fromLatin1(type);
        EXPECT_EQ(failure(image), imageMessage) << type;
    }
    image = validImage();
    image.opacity = 0;
    EXPECT_EQ(failure(image), QString());
    image.opacity = 1.01;
    EXPECT_EQ(failure(image), imageMessage);
    image = validImage();
    image.width = 0;
    EXPECT_EQ(failure(image), imageMessage);
    image = validImage();
    image.height = 1.1e8;
    EXPECT_EQ(failure(image), imageMessage);
    image = validImage();
    image.data.clear();
    EXPECT_EQ(failure(image), imageMessage);
    image = validImage();
    image.data = QByteArray(33554432, 'x');
    EXPECT_EQ(failure(image), QString());
    image.data.append('x');
    EXPECT_EQ(failure(image), imageMessage);
    image = validImage();
    image.position = PlmPoint{0, -1.5e8};
    EXPECT_EQ(failure(image), imageMessage);
}

TEST(PlmDecorationValidation, LegendsArePresentations)
{
    PlmDecoration decoration;
    decoration.secondLegend.fontSize = 5;
    EXPECT_EQ(failure(decoration), QStringLiteral("Présentation de texte incorrecte."));
    decoration = PlmDecoration();
    decoration.legend.background.alpha = -0.1;
    EXPECT_EQ(failure(decoration), QStringLiteral("Couleur d’habillage incorrecte."));
}

TEST(PlmDecorationValidation, ObjectSizesAndIds)
{
    PlmDecorationObject small = object(QStringLiteral("a"));
    small.width = 40;
    small.height = 30;
    EXPECT_EQ(failure(small), QString());
    small.width = 39.9;
    EXPECT_EQ(failure(small), placementMessage);
    PlmDecorationObject large = object(QStringLiteral("a"));
    large.width = 2400;
    large.height = 1600;
    EXPECT_EQ(failure(large), QString());
    large.height = 1600.5;
    EXPECT_EQ(failure(large), placementMessage);
    large.height = kNaN;
    EXPECT_EQ(failure(large), placementMessage);

    EXPECT_EQ(failure(object(QString())), placementMessage);

    PlmDecorationObject placed = object(QStringLiteral("a"));
    placed.position = PlmPoint{-1e8, 1e8};
    EXPECT_EQ(failure(placed), QString());
    placed.position = PlmPoint{kInfinity, 0};
    EXPECT_EQ(failure(placed), placementMessage);

    PlmDecoration twins;
    twins.objects = {object(QStringLiteral("same")), object(QStringLiteral("other")), object(QStringLiteral("same"))};
    EXPECT_EQ(failure(twins), placementMessage);
    twins.objects.removeLast();
    EXPECT_EQ(failure(twins), QString());
}

TEST(PlmDecorationValidation, LegendSeries)
{
    PlmDecorationObject legend = object(QStringLiteral("l"), PlmDecorationKind::legend);
    for (int series : {0, 1}) {
        legend.legendSeries = series;
        EXPECT_EQ(failure(legend), QString());
    }
    for (int series : {2, -1}) {
        legend.legendSeries = series;
        EXPECT_EQ(failure(legend), QStringLiteral("Référence de légende incorrecte.")) << series;
    }
}

TEST(PlmDecorationValidation, ScaleBarsAreNeverRotated)
{
    PlmEditingStyle rotated;
    rotated.rotation = 0.5;
    PlmDecorationObject scale = object(QStringLiteral("s"), PlmDecorationKind::scale);
    EXPECT_EQ(failure(scale), QString());
    scale.presentation.editing = rotated;
    EXPECT_EQ(failure(scale), scaleMessage);
    PlmDecorationObject rectangle = object(QStringLiteral("r"), PlmDecorationKind::rectangle);
    rectangle.presentation.editing = rotated;
    EXPECT_EQ(failure(rectangle), QString());
    // An editing style that is invalid on its own is reported before the rotation rule.
    rotated.rotation = 400;
    scale.presentation.editing = rotated;
    EXPECT_EQ(failure(scale), QStringLiteral("Propriété d’inspecteur incorrecte."));
}

TEST(PlmDecorationValidation, BitmapSize)
{
    PlmDecorationObject image = object(QStringLiteral("i"), PlmDecorationKind::image);
    image.bitmap = QByteArray();
    EXPECT_EQ(failure(image), QString());
    image.bitmap = QByteArray(33554432, '\0');
    EXPECT_EQ(failure(image), QString());
    image.bitmap->append('\0');
    EXPECT_EQ(failure(image), QStringLiteral("Image trop volumineuse."));
}

TEST(PlmDecorationValidation, SymbolIsCheckedAgainstTheGivenEntityIds)
{
    PlmDecorationObject symbol = object(QStringLiteral("s"), PlmDecorationKind::sfSymbol);
    PlmProportionalSettings settings(PlmSymbolKind::sfSymbol, 20, PlmColor{0, 0, 0, 1}, QStringLiteral("star"));
    settings.manualPositions.insert(QStringLiteral("FR"), PlmPoint{1, 2});
    symbol.symbol = settings;
    EXPECT_EQ(failure(symbol), QStringLiteral("Taille, couleur ou position de symbole invalide."));
    PlmDecoration decoration;
    decoration.objects.append(symbol);
    EXPECT_EQ(failure(decoration, {QStringLiteral("FR")}), QString());
    decoration.objects[0].symbol->sfSymbolName = QStringLiteral("  ");
    // The symbol's own refusal, worded by its settings.
    const QString unnamed =
        thrownMessage<PlmWorkError>([&] { decoration.objects[0].symbol->validate({QStringLiteral("FR")}); });
    ASSERT_FALSE(unnamed.isEmpty());
    EXPECT_EQ(failure(decoration, {QStringLiteral("FR")}), unnamed);
}

TEST(PlmDecorationValidation, OrderOfPrecedence)
{
    PlmDecoration decoration;
    PlmDecorationObject badObject = object(QStringLiteral("a"));
    badObject.width = 10;
    decoration.objects.append(badObject);
    decoration.legend.fontName.clear();
    EXPECT_EQ(failure(decoration), QStringLiteral("Présentation de texte incorrecte."));

    decoration = PlmDecoration();
    PlmDecorationObject badLegend = object(QStringLiteral("b"), PlmDecorationKind::legend);
    badLegend.legendSeries = 3;
    decoration.objects = {badLegend, badObject};
    EXPECT_EQ(failure(decoration), QStringLiteral("Référence de légende incorrecte."));

    decoration.printPage = page(10, 10, 5);
    decoration.compositionSize = PlmPoint{1, 1};
    EXPECT_EQ(failure(decoration), pageMessage);
    decoration.printPage.reset();
    EXPECT_EQ(failure(decoration), QStringLiteral("Dimensions de composition incorrectes."));
    decoration.viewport = PlmDecorationViewport{PlmPoint{0, 0}, 0};
    decoration.compositionSize.reset();
    decoration.backgroundImage = PlmBackgroundImage();
    EXPECT_EQ(failure(decoration), viewportMessage);
    decoration.viewport.reset();
    EXPECT_EQ(failure(decoration), imageMessage);
}

TEST(PlmDecorationDefaults, DefaultLegends)
{
    const PlmDecoration decoration;
    EXPECT_EQ(decoration.legend.color, (PlmColor{0, 0, 0, 1}));
    EXPECT_EQ(decoration.legend.background, (PlmColor{1, 1, 1, 0.96}));
    EXPECT_TRUE(decoration.legend.border);
    EXPECT_EQ(decoration.legend.fontName, QStringLiteral("Helvetica"));
    EXPECT_EQ(decoration.legend.fontSize, 12);
    PlmPresentation second = decoration.secondLegend;
    EXPECT_EQ(second.color, (PlmColor{0.12, 0.12, 0.12, 1}));
    second.color = decoration.legend.color;
    EXPECT_EQ(second, decoration.legend);
}

TEST(PlmDecorationEquality, ObjectOrderMatters)
{
    PlmDecoration first;
    first.objects = {object(QStringLiteral("a")), object(QStringLiteral("b"))};
    PlmDecoration second;
    second.objects = {object(QStringLiteral("b")), object(QStringLiteral("a"))};
    EXPECT_NE(first, second);
    std::swap(second.objects[0], second.objects[1]);
    EXPECT_EQ(first, second);
}

namespace {

PlmDecoration roundTrip(const PlmDecoration& decoration)
{
    return PlmJson::decode<PlmDecoration>(PlmJson::encode(decoration));
}

QStringList topLevelKeys(const QByteArray& json)
{
    const PlmJsonDocument document = PlmJsonDocument::parse(json);
    QStringList keys;
    for (auto [key, value] : document.root().members())
        keys.append(QString::fromUtf8(key.data(), qsizetype(key.size())));
    return keys;
}

PlmDecoration fullLayout()
{
    PlmDecoration decoration;
    decoration.backgroundImage = validImage();
    decoration.backgroundImage->locked = true;
    decoration.viewport = PlmDecorationViewport{PlmPoint{652000.5, 6862000.25}, 1250};
    decoration.printPage = page(420, 297, 12.5);
    decoration.printPage->visible = false;
    decoration.printPage->origin = PlmPoint{-3, 4};
    decoration.showEntityNames = true;
    decoration.entityNameFontName = QStringLiteral("Times-Roman");
    decoration.entityNameFontSize = 9.5;
    decoration.entityNamePositions = QMap<QString, PlmPoint>{{QStringLiteral("75"), PlmPoint{1, 2}},
                                                             {QStringLiteral("2A"), PlmPoint{-1, -2}}};
    decoration.compositionSize = PlmPoint{842, 595};
    decoration.mapTransform = PlmTransform{0.5, 0, 0, -0.5, 12, 800};

    PlmDecorationObject title = PlmDecorationObject::make(QStringLiteral("A1"), PlmDecorationKind::title,
                                                          QStringLiteral("Population « 2024 »\nFrance"));
    PlmEditingStyle style;
    style.textWidth = 1.25;
    style.italic = true;
    style.rotation = -12.5;
    style.shadow = true;
    style.columns = 3;
    style.scaleUnit = 2;
    title.presentation.editing = style;
    title.presentation.frameHidden = false;
    title.presentation.hidden = true;
    title.presentation.alignment = PlmTextAlignment::justified;
    title.presentation.width = 300;
    title.presentation.height = 90;
    title.presentation.positionInPoints = true;
    title.presentation.legendFitsContent = false;
    title.presentation.title = QStringLiteral("Mon titre");

    PlmDecorationObject legend = PlmDecorationObject::make(QStringLiteral("B2"), PlmDecorationKind::legend);
    legend.legendSeries = 1;
    PlmDecorationObject image = PlmDecorationObject::make(QStringLiteral("C3"), PlmDecorationKind::image);
    QByteArray bytes;
    for (int i = 0; i < 1000; ++i)
        bytes.append(char(i * 37));
    image.bitmap = bytes;
    image.bitmapType = QStringLiteral("png");
    PlmDecorationObject symbol = PlmDecorationObject::make(QStringLiteral("D4"), PlmDecorationKind::sfSymbol);
    symbol.symbol = PlmProportionalSettings(PlmSymbolKind::sfSymbol, 24, PlmColor{0.2, 0.3, 0.4, 1},
                                            QStringLiteral("star.fill"),
                                            PlmSFSymbolConfiguration::regularMediumMonochrome);
    decoration.objects = {title, legend, image, symbol};
    decoration.legend.title = QStringLiteral("Habitants");
    decoration.secondLegend.legendFitsContent = true;
    return decoration;
}

}  // namespace

TEST(PlmDecorationJson, DefaultLayoutWritesOnlyItsRequiredKeys)
{
    const QByteArray json = PlmJson::encode(PlmDecoration());
    EXPECT_EQ(topLevelKeys(json), (QStringList{"legend", "objects", "secondLegend"}));
    EXPECT_FALSE(json.contains("\"editing\""));
    EXPECT_EQ(roundTrip(PlmDecoration()), PlmDecoration());
}

TEST(PlmDecorationJson, FullLayoutRoundTrips)
{
    const PlmDecoration decoration = fullLayout();
    EXPECT_EQ(failure(decoration), QString());
    const QByteArray json = PlmJson::encode(decoration);
    const PlmDecoration read = PlmJson::decode<PlmDecoration>(json);
    EXPECT_EQ(read, decoration);
    EXPECT_EQ(read.objects[2].bitmap, decoration.objects[2].bitmap);
    EXPECT_EQ(PlmJson::encode(read), json);
    EXPECT_EQ(topLevelKeys(json).size(), 12);
}

TEST(PlmDecorationJson, EffectiveStyleWrittenBackIsStored)
{
    PlmDecoration decoration;
    decoration.objects.append(PlmDecorationObject::make(QStringLiteral("x"), PlmDecorationKind::text));
    EXPECT_FALSE(PlmJson::encode(decoration).contains("\"editing\""));
    PlmPresentation& presentation = decoration.objects[0].presentation;
    presentation.setEffectiveEditingStyle(presentation.effectiveEditingStyle());
    const QByteArray json = PlmJson::encode(decoration);
    EXPECT_TRUE(json.contains("\"editing\""));
    EXPECT_FALSE(json.contains("\"textWidth\""));
    EXPECT_EQ(PlmJson::decode<PlmDecoration>(json), decoration);
}

TEST(PlmDecorationJson, StrictReading)
{
    PlmDecoration decoration;
    PlmDecorationObject title = PlmDecorationObject::make(QStringLiteral("t"), PlmDecorationKind::title);
    title.presentation.editing = PlmEditingStyle();
    decoration.objects.append(title);
    const QByteArray json = PlmJson::encode(decoration);
    const auto decodes = [&](const char* from, const char* to) {
        const QByteArray changed = QByteArray(json).replace(from, to);
        EXPECT_NE(changed, json) << from;
        PlmJson::decode<PlmDecoration>(changed);
    };
    EXPECT_THROW(decodes("\"kind\" : \"title\"", "\"kind\" : \"Title\""), PlmJsonDecodingError);
    EXPECT_THROW(decodes("\"alignment\" : \"left\"", "\"alignment\" : \"centre\""), PlmJsonDecodingError);
    EXPECT_THROW(decodes("\"wraps\"", "\"wrap\""), PlmJsonDecodingError);
    EXPECT_THROW(decodes("\"columns\" : 1", "\"columns\" : 1.5"), PlmJsonDecodingError);
    EXPECT_THROW(decodes("\"secondLegend\"", "\"secondlegend\""), PlmJsonDecodingError);
    EXPECT_THROW(decodes("\"bold\" : true", "\"bold\" : 1"), PlmJsonDecodingError);
    // textWidth is the one optional key of an editing style.
    EXPECT_NO_THROW(decodes("\"wraps\"", "\"textWidth\" : 0.8,\n\"wraps\""));

    const QByteArray image = R"({"objects": [], "legend": LEGEND, "secondLegend": LEGEND,
        "backgroundImage": {"data": "not base64!", "type": "png", "position": {"x": 0, "y": 0},
                            "width": 1, "height": 1, "opacity": 1, "locked": false}})";
    // Bytes that are not strict Base64 refuse the document.
    EXPECT_THROW(PlmJson::decode<PlmDecoration>(
                     QByteArray(image).replace("LEGEND", PlmJson::encode(PlmDecoration::defaultLegend()))),
                 PlmJsonDecodingError);
}

TEST(PlmDecorationJson, HostileNestingIsRefused)
{
    QByteArray json = "{\"legend\": {}, \"secondLegend\": {}, \"objects\": ";
    json += QByteArray(100000, '[') + QByteArray(100000, ']') + "}";
    EXPECT_THROW(PlmJson::decode<PlmDecoration>(json), PlmJsonDecodingError);
}
