#include "canvas/VectorCanvas.h"
#include "export/SVGCarteExport.h"
#include "model/PlmErrors.h"
#include "support/CanvasTestMaps.h"
#include "support/SvgTestSupport.h"
#include "support/ErrorCapture.h"

#include <gtest/gtest.h>

using namespace SvgTestSupport;

namespace {

QString documentText(const PlmExportResult& result) { return QString::fromUtf8(result.data); }

QString errorOf(SVGCarteExport& writer)
{
    return thrownMessage([&] { writer.makeDocument(); });
}

TEST(SVGCarteExportDocumentTest, AnA4PageWithAMarginGivesItsSizeViewBoxAndPageClip)
{
    SVGCarteExport writer(emptyComposition(), plainPage(10));
    const QString text = documentText(writer.makeDocument());
    const QStringList lines = text.split(QLatin1Char('\n'));
    EXPECT_EQ(lines.first(), QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"));
    EXPECT_TRUE(lines.at(1).startsWith(QStringLiteral(
        "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"210mm\" height=\"297mm\" "
        "viewBox=\"0 0 595.275590551181 841.889763779528\">")));
    EXPECT_TRUE(text.contains(QStringLiteral(
        "<clipPath id=\"export-page\"><rect x=\"28.3464566929134\" y=\"28.3464566929134\" "
        "width=\"538.582677165354\" height=\"785.196850393701\"/></clipPath></defs>")));
    EXPECT_TRUE(text.endsWith(QStringLiteral("</g></g></svg>")));
}

TEST(SVGCarteExportDocumentTest, TheCompositionIsPlacedAndFlippedOntoThePage)
{
    SvgPage page = plainPage();
    page.scale = 0.5;
    page.offsetX = 10;
    page.offsetY = 20;
    SVGCarteExport writer(emptyComposition(), page);
    const QString text = documentText(writer.makeDocument());
    EXPECT_TRUE(text.contains(QStringLiteral(
        "<rect width=\"595.275590551181\" height=\"841.889763779528\" fill=\"white\"/>"
        "<g clip-path=\"url(#export-page)\"><g transform=\"translate(10 821.889763779528) scale(0.5 -0.5)\">"
        "<path  d=\"M 0 0 L 400 0 L 400 300 L 0 300 L 0 0 Z\" fill=\"rgb(255,255,255)\" fill-opacity=\"1\" "
        "fill-rule=\"nonzero\"/></g></g></svg>")))
        << qPrintable(text);
}

TEST(SVGCarteExportDocumentTest, TheMapNameIsTheEscapedTitleAndNotesAreSortedInTheDescription)
{
    SvgComposition composition = emptyComposition();
    composition.title = QStringLiteral("A & B <1>");
    composition.sfSymbolNames = {QStringLiteral("star.fill")};
    SVGCarteExport writer(composition, plainPage());
    writer.notes.insert(QStringLiteral("B note."));
    writer.notes.insert(QStringLiteral("B note."));
    const PlmExportResult result = writer.makeDocument();
    EXPECT_TRUE(documentText(result).contains(QStringLiteral(
        "<title>A &amp; B &lt;1&gt;</title><desc>B note. Pictogrammes concernés : star.fill.</desc>")));
    EXPECT_EQ(result.notes, (QStringList{QStringLiteral("B note."), QStringLiteral("Pictogrammes concernés : star.fill.")}));
}

TEST(SVGCarteExportDocumentTest, WithoutNotesTheDescriptionIsEmpty)
{
    SVGCarteExport writer(emptyComposition(), plainPage());
    const PlmExportResult result = writer.makeDocument();
    EXPECT_TRUE(documentText(result).contains(QStringLiteral("<desc></desc>")));
    EXPECT_TRUE(result.notes.isEmpty());
}

TEST(SVGCarteExportDocumentTest, ACompositionWithoutSizeHasNoFramingYet)
{
    SVGCarteExport writer(emptyComposition(0, 300), plainPage());
    EXPECT_EQ(errorOf(writer), QStringLiteral("La carte n’a pas encore de cadrage visible."));
}

TEST(SVGCarteExportDocumentTest, ACharacterXmlDoesNotAllowInATextIsRefused)
{
    const struct {
        const char* name;
        QString text;
        bool refused;
    } rows[] = {
        {"control character", QStringLiteral("Avant\u0001après"), true},
        {"last control character", QStringLiteral("Avant\u001Faprès"), true},
        {"noncharacter FFFE", QStringLiteral("Avant\uFFFEaprès"), true},
        {"noncharacter FFFF", QStringLiteral("Avant\uFFFFaprès"), true},
        {"tab and replacement character", QStringLiteral("Avant\tapr\u00E8s \uFFFD \uF8FF"), false},
    };
    for (const auto& row : rows) {
        SvgComposition composition = emptyComposition();
        SvgCompositionView title;
        title.kind = SvgCompositionView::Kind::decoration;
        title.frame = QRectF(10, 10, 200, 60);
        title.object = PlmDecorationObject(QStringLiteral("t"), PlmDecorationKind::title, row.text);
        composition.views.append(title);
        SVGCarteExport writer(composition, plainPage());
        EXPECT_EQ(errorOf(writer),
                  row.refused ? QStringLiteral("Un texte de la carte contient un caractère incompatible avec le format SVG.")
                              : QString())
            << row.name;
    }
}

TEST(SVGCarteExportDocumentTest, DecorationsAndLegendsAreNotClippedWhileOtherViewsAre)
{
    using namespace CanvasTestMaps;
    VectorCanvas vector(mapOf({squareEntity(QStringLiteral("a"), 0, 0, 10, 10)}), false, QString());
    vector.setFrame(QRectF(0, 0, 400, 300));
    SvgComposition composition = emptyComposition();
    SvgCompositionView map;
    map.kind = SvgCompositionView::Kind::map;
    map.frame = QRectF(0, 0, 400, 300);
    map.vector = &vector;
    SvgCompositionView text;
    text.kind = SvgCompositionView::Kind::decoration;
    text.frame = QRectF(20, 250, 100, 40);
    text.object = PlmDecorationObject(QStringLiteral("t"), PlmDecorationKind::text, QStringLiteral("Texte"));
    SvgCompositionView legend;
    legend.kind = SvgCompositionView::Kind::legend;
    legend.frame = QRectF(300, 20, 90, 80);
    legend.legend.size = legend.frame.size();
    SvgCompositionView other;
    other.kind = SvgCompositionView::Kind::other;
    other.frame = QRectF(5, 6, 7, 8);
    composition.views = {map, text, legend, other};

    SVGCarteExport writer(composition, plainPage());
    const QString text1 = documentText(writer.makeDocument());
    EXPECT_EQ(capturesOf(text1, QStringLiteral("<clipPath id=\"([^\"]+)\"")),
              (QStringList{QStringLiteral("clip-1"), QStringLiteral("clip-2"), QStringLiteral("export-page")}));
    EXPECT_TRUE(text1.contains(QStringLiteral("<g transform=\"translate(5 6)\">\n<g clip-path=\"url(#clip-2)\">\n</g></g>")));
    // The text decoration: its translate group, then an empty line instead of a clip group.
    EXPECT_TRUE(text1.contains(QStringLiteral("<g transform=\"translate(20 250)\">\n\n<g transform=\"translate(")));
}

} // namespace
