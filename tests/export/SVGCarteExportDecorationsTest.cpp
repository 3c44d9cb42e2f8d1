#include "page/DecorationGlyphs.h"
#include "page/LegendLayout.h"
#include "export/SVGCarteExport.h"
#include "support/ImageBytes.h"
#include "support/SvgTestSupport.h"
#include "support/PresentationTestSupport.h"

#include <QImage>

#include <gtest/gtest.h>

using namespace SvgTestSupport;

namespace {

SvgCompositionView objectView(PlmDecorationKind kind, const QRectF& frame, const QString& text = QString())
{
    SvgCompositionView view;
    view.kind = SvgCompositionView::Kind::decoration;
    view.frame = frame;
    view.object = PlmDecorationObject(QStringLiteral("o"), kind, text.isEmpty() ? std::nullopt : std::optional<QString>(text));
    return view;
}

QString written(const SvgCompositionView& view)
{
    SVGCarteExport writer(emptyComposition(), plainPage());
    writer.appendDecoration(view);
    return bodyOf(writer);
}

TEST(SVGCarteExportDecorationsTest, AnImageIsPlacedUprightAndFittedInTheInnerRectangle)
{
    SvgCompositionView view = objectView(PlmDecorationKind::image, QRectF(0, 0, 100, 100));
    changeEditingStyle(view.object.presentation, [&](PlmEditingStyle& s) { s.padding = 0; });
    view.object.bitmap = plainPng(Qt::red, 200, 100);
    const QString body = written(view);
    EXPECT_TRUE(body.contains(QStringLiteral(
        "<image transform=\"translate(0 75) scale(1 -1)\" width=\"100\" height=\"50\" href=\"data:image/png;base64,")))
        << qPrintable(body);
}

TEST(SVGCarteExportDecorationsTest, AnUnreadableImageEndsTheExport)
{
    SvgCompositionView view = objectView(PlmDecorationKind::image, QRectF(0, 0, 100, 100));
    view.object.bitmap = QByteArray("not a picture");
    SVGCarteExport writer(emptyComposition(), plainPage());
    try {
        writer.appendDecoration(view);
        FAIL() << "no error";
    } catch (const PlmError& error) {
        EXPECT_EQ(error.message(), QStringLiteral("Logo bitmap illisible."));
    }
}

TEST(SVGCarteExportDecorationsTest, FrameBordersUseTheirDashPatterns)
{
    const struct {
        const char* name;
        int dash;
        QStringList written;
    } rows[] = {
        {"dashed", 1, {QStringLiteral("6 4")}},
        {"dotted", 2, {QStringLiteral("1 3")}},
        {"solid", 0, {}},
    };
    for (const auto& row : rows) {
        SvgCompositionView view = objectView(PlmDecorationKind::rectangle, QRectF(0, 0, 80, 40));
        view.object.presentation.border = true;
        changeEditingStyle(view.object.presentation, [&](PlmEditingStyle& s) { s.dash = row.dash; });
        const QString body = written(view);
        // The frame and the rectangle's own path carry the same border.
        QStringList expected = row.written + row.written;
        EXPECT_EQ(capturesOf(body, QStringLiteral("stroke-dasharray=\"([^\"]+)\"")), expected) << row.name;
    }
}

TEST(SVGCarteExportDecorationsTest, ATextWithoutEditingStyleHasNoBackgroundBox)
{
    SvgCompositionView plain = objectView(PlmDecorationKind::text, QRectF(0, 0, 200, 60), QStringLiteral("Bonjour"));
    EXPECT_EQ(written(plain).count(QStringLiteral("<path  d=")), 1);  // the frame only

    SvgCompositionView edited = plain;
    edited.object.presentation.setEffectiveEditingStyle(edited.object.presentation.effectiveEditingStyle());
    const QString body = written(edited);
    EXPECT_EQ(body.count(QStringLiteral("<path  d=")), 2);
    EXPECT_LT(body.indexOf(QStringLiteral("<path  d=\"M 6 6 ")), body.indexOf(QStringLiteral("<text ")));
}

TEST(SVGCarteExportDecorationsTest, LinesAndArrowsAreNeverFilled)
{
    for (PlmDecorationKind kind : {PlmDecorationKind::line, PlmDecorationKind::arrow}) {
        SvgCompositionView view = objectView(kind, QRectF(0, 0, 120, 30));
        view.object.presentation.frameHidden = true;
        view.object.presentation.background = PlmColor{1, 0, 0, 1};
        EXPECT_EQ(capturesOf(written(view), QStringLiteral(" fill=\"([^\"]+)\"")), QStringList{QStringLiteral("none")});
    }
}

TEST(SVGCarteExportDecorationsTest, AHiddenFrameStillWritesItsShadow)
{
    SvgCompositionView view = objectView(PlmDecorationKind::rectangle, QRectF(0, 0, 80, 40));
    view.object.presentation.frameHidden = true;
    changeEditingStyle(view.object.presentation, [&](PlmEditingStyle& s) { s.shadow = true; s.shadowBlur = 0; });
    const QString body = written(view);
    EXPECT_EQ(capturesOf(body, QStringLiteral("<path  d=\"([^\"]+)\"")),
              (QStringList{QStringLiteral("M 3 -3 L 83 -3 L 83 37 L 3 37 L 3 -3 Z"),
                           QStringLiteral("M 6 6 L 74 6 L 74 34 L 6 34 L 6 6 Z")}));
}

TEST(SVGCarteExportDecorationsTest, ScaleAndNorthWithoutGeographyWriteTheirSentences)
{
    const QString scale = written(objectView(PlmDecorationKind::scale, QRectF(0, 0, 260, 60)));
    EXPECT_TRUE(scale.contains(QStringLiteral(">Échelle indisponible à ce cadrage</text>"))) << qPrintable(scale);
    EXPECT_EQ(scale.count(QStringLiteral("<text ")), 1);
    const QString north = written(objectView(PlmDecorationKind::north, QRectF(0, 0, 160, 120)));
    EXPECT_TRUE(north.contains(QStringLiteral(">Nord indéterminé</text>")));
    EXPECT_EQ(north.count(QStringLiteral("<path  d=")), 1);  // the frame only
}

TEST(SVGCarteExportDecorationsTest, TheLatitudeOfAScaleBarHasThreeSignificantDigitsAsOnScreen)
{
    SvgCompositionView view = objectView(PlmDecorationKind::scale, QRectF(0, 0, 260, 60));
    view.context.scaleMeters = 12345;
    view.context.scaleLatitude = 48.8566;
    const QString body = written(view);
    EXPECT_TRUE(body.contains(QStringLiteral(">Locale à 48,9°</text>"))) << qPrintable(body);
    EXPECT_TRUE(body.contains(QStringLiteral(">") + scaleBarLabel(12345, 0) + QStringLiteral("</text>")));
}

TEST(SVGCarteExportDecorationsTest, ALegendWritesBlackTextsMissingColoursAndLabels)
{
    LegendData legend;
    legend.title = QStringLiteral("Population");
    legend.labels = {QStringLiteral("moins de 10")};
    legend.colors = {PlmColor{1, 0, 0, 1}};
    legend.missingColor = PlmColor{0.5, 0.5, 0.5, 1};
    legend.showsMissing = true;
    legend.presentation.color = PlmColor{0.12, 0.12, 0.12, 0.5};
    legend.size = QSizeF(LegendLayout::preferredWidth(legend), 160);
    SVGCarteExport writer(emptyComposition(), plainPage());
    writer.appendLegend(legend);
    const QString body = bodyOf(writer);
    EXPECT_EQ(capturesOf(body, QStringLiteral("xml:space=\"preserve\">([^<]*)</text>")),
              (QStringList{QStringLiteral("Population"), QStringLiteral("moins de 10"), QStringLiteral("Sans donnée")}));
    EXPECT_EQ(capturesOf(body, QStringLiteral("<text [^>]* fill=\"([^\"]+)\" fill-opacity=\"0.5\"")),
              (QStringList{QStringLiteral("rgb(0,0,0)"), QStringLiteral("rgb(0,0,0)"), QStringLiteral("rgb(0,0,0)")}));
    EXPECT_EQ(capturesOf(body, QStringLiteral("fill=\"([^\"]+)\" fill-opacity=\"1\" fill-rule=\"nonzero\" stroke=\"rgb\\(0,0,0\\)\" "
                                              "stroke-opacity=\"0.101960784313725\" stroke-width=\"1\"")),
              (QStringList{QStringLiteral("rgb(255,0,0)"), QStringLiteral("rgb(127.5,127.5,127.5)")}))
        << qPrintable(body);
}

TEST(SVGCarteExportDecorationsTest, ObjectsTurnAboutTheirCentreAndTheirOpacityGoesIntoEachPart)
{
    // The page applies an object's opacity to each part it draws, so a border over a fill
    // shows both, as on screen; a group opacity would hide the fill under the border.
    SvgCompositionView view = objectView(PlmDecorationKind::ellipse, QRectF(0, 0, 80, 40));
    view.object.presentation.background = PlmColor{1, 0, 0, 0.8};
    changeEditingStyle(view.object.presentation, [&](PlmEditingStyle& s) {
        s.opacity = 0.5;
        s.rotation = 30;
        s.noFill = false;
        s.frameFill = PlmColor{1, 1, 1, 0};
        s.stroke = PlmColor{0, 0, 1, 1};
    });
    const QString text = written(view);
    EXPECT_TRUE(text.startsWith(QStringLiteral("<g transform=\"translate(40 20) rotate(30) translate(-40 -20)\">")));
    EXPECT_FALSE(text.contains(QStringLiteral(" opacity=")));
    // The frame (transparent), then the ellipse's fill and border.
    EXPECT_EQ(capturesOf(text, QStringLiteral("fill-opacity=\"([^\"]+)\"")), (QStringList{"0", "0.4"}));
    EXPECT_EQ(capturesOf(text, QStringLiteral("stroke-opacity=\"([^\"]+)\"")), (QStringList{"0.5"}));
}

TEST(SVGCarteExportDecorationsTest, ASymbolObjectIsDrawnAtTheSmallerSideOfItsInnerRectangle)
{
    SvgCompositionView view = objectView(PlmDecorationKind::svg, QRectF(0, 0, 92, 52));  // inner 80 × 40
    PlmProportionalSettings square;
    square.kind = PlmSymbolKind::square;
    view.object.symbol = square;
    view.object.presentation.color = PlmColor{0, 0, 1, 1};
    EXPECT_TRUE(written(view).contains(
        QStringLiteral("<g >\n\n<path d=\"M 26 6 L 66 6 L 66 46 L 26 46 L 26 6 Z\" fill=\"rgb(0,0,255)\"")));
}

TEST(SVGCarteExportDecorationsTest, ALegendObjectWritesItsLegendCopy)
{
    SvgCompositionView view = objectView(PlmDecorationKind::legend, QRectF(0, 0, 150, 120));
    LegendData copy;
    copy.title = QStringLiteral("Copie");
    copy.size = QSizeF(150, 120);
    view.context.legend = copy;
    EXPECT_TRUE(written(view).contains(QStringLiteral(">Copie</text>")));
    view.context.legend.reset();
    EXPECT_EQ(written(view).count(QStringLiteral("<text ")), 0);
}

TEST(SVGCarteExportDecorationsTest, ASymbolLegendWritesOneSymbolPerEntryAtItsSize)
{
    LegendData legend;
    legend.title = QStringLiteral("Habitants");
    legend.labels = {QStringLiteral("100"), QStringLiteral("400")};
    legend.referenceSizes = {10, 20};
    PlmProportionalSettings square;
    square.kind = PlmSymbolKind::square;
    legend.proportionalShape = std::make_shared<const ProportionalShape>(square, false);
    legend.symbolColor = PlmColor{0, 0.5, 0, 0.75};
    legend.size = QSizeF(LegendLayout::preferredWidth(legend), 120);
    SVGCarteExport writer(emptyComposition(), plainPage());
    writer.appendLegend(legend);
    const QString body = bodyOf(writer);
    const QStringList paths = capturesOf(body, QStringLiteral("<path d=\"M ([^\"]+)\" fill=\"rgb\\(0,127.5,0\\)\" fill-opacity=\"0.75\""));
    ASSERT_EQ(paths.size(), 2);
    // Squares 10 and 20 points wide.
    auto width = [](const QString& d) {
        const QStringList n = d.split(QLatin1Char(' '));
        return n[3].toDouble() - n[0].toDouble();
    };
    EXPECT_DOUBLE_EQ(width(paths[0]), 10);
    EXPECT_DOUBLE_EQ(width(paths[1]), 20);
}

} // namespace
