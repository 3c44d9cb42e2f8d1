#include "canvas/VectorCanvas.h"
#include "export/SVGCarteExport.h"
#include "support/CanvasTestMaps.h"
#include "support/ProportionalShapeTestSupport.h"
#include "support/SvgTestSupport.h"
#include "platform/SymbolGlyphProvider.h"

#include <gtest/gtest.h>

using namespace CanvasTestMaps;
using namespace SvgTestSupport;
using ProportionalShapeTest::settingsOf;

namespace {

// An SVG symbol whose one part is a 10 × 20 rectangle from (0, 0), stroked 1 point wide.
std::shared_ptr<const ProportionalShape> tallSymbol(std::optional<QList<double>> dash = std::nullopt, double lineWidth = 1)
{
    PlmEntity part = squareEntity(QStringLiteral("r"), 0, 0, 10, 20, PlmColor{0, 0, 1, 1}, lineWidth);
    part.style.dash = dash;
    PlmProportionalSettings settings = settingsOf(PlmSymbolKind::svg);
    settings.svgVector = mapOf({part});
    return std::make_shared<const ProportionalShape>(settings, false);
}

TEST(SVGCarteExportSymbolsTest, AVectorSymbolKeepsItsProportionsAndIsCentred)
{
    SVGCarteExport writer(emptyComposition(), plainPage());
    const auto shape = tallSymbol(QList<double>{2, 1}, 0);
    // Bounds grow by half the line width; without a stroke they are the 10 × 20 rectangle.
    writer.appendSymbol(*shape, "", QPointF(100, 50), 40, PlmColor{1, 0, 0, 1});
    EXPECT_EQ(bodyOf(writer),
              QStringLiteral("<g >\n\n<path d=\"M 90 30 L 110 30 L 110 70 L 90 70 Z\" fill=\"rgb(0,0,255)\" "
                             "fill-opacity=\"1\" fill-rule=\"evenodd\"/>\n\n</g>"));
}

TEST(SVGCarteExportSymbolsTest, ADashedOutlineIsScaledWithTheSymbol)
{
    SVGCarteExport writer(emptyComposition(), plainPage());
    const auto shape = tallSymbol(QList<double>{2, 1}, 2);  // bounds 12 × 22: t = 44 / 22 = 2
    writer.appendSymbol(*shape, "data-x=\"1\"", QPointF(0, 0), 44, PlmColor{1, 0, 0, 1});
    const QString body = bodyOf(writer);
    EXPECT_TRUE(body.startsWith(QStringLiteral("<g data-x=\"1\">")));
    EXPECT_EQ(capturesOf(body, QStringLiteral("stroke-width=\"([^\"]+)\"")), QStringList{QStringLiteral("4")});
    EXPECT_EQ(capturesOf(body, QStringLiteral("stroke-dasharray=\"([^\"]+)\"")), QStringList{QStringLiteral("4 2")});
}

TEST(SVGCarteExportSymbolsTest, NothingIsWrittenForASymbolWithoutSize)
{
    SVGCarteExport writer(emptyComposition(), plainPage());
    writer.appendSymbol(ProportionalShape(settingsOf(PlmSymbolKind::circle), false), "", QPointF(0, 0), 0,
                        PlmColor{1, 0, 0, 1});
    EXPECT_EQ(bodyOf(writer), QString());
}

TEST(SVGCarteExportSymbolsTest, AnUnavailableSystemSymbolLeavesOneNoteAndNoElement)
{
    PlmProportionalSettings settings = settingsOf(PlmSymbolKind::sfSymbol);
    settings.sfSymbolName = QStringLiteral("no.such.symbol.anywhere");
    const ProportionalShape shape(settings, false);
    ASSERT_TRUE(shape.nativeSymbolUnavailable);
    SVGCarteExport writer(emptyComposition(), plainPage());
    writer.appendSymbol(shape, "", QPointF(0, 0), 10, PlmColor{1, 0, 0, 1});
    writer.appendSymbol(shape, "", QPointF(5, 0), 10, PlmColor{1, 0, 0, 1});
    EXPECT_EQ(bodyOf(writer), QString());
    EXPECT_EQ(writer.notes,
              (std::set<QString>{QStringLiteral("Pictogramme indisponible sur cet ordinateur : absent, comme à l’écran.")}));
}

std::shared_ptr<const ProportionalShape> systemSymbol(bool outlineVisible)
{
    PlmProportionalSettings settings = settingsOf(PlmSymbolKind::sfSymbol);
    settings.sfSymbolName = QStringLiteral("circle.fill");
    settings.outline = PlmStyle(PlmColor{0, 0, 0, 1}, std::nullopt, 2, 0);
    settings.outlineVisible = outlineVisible;
    return std::make_shared<const ProportionalShape>(settings, false);
}

TEST(SVGCarteExportSymbolsTest, ASystemSymbolIsOnePngDefinitionPlacedUprightByReference)
{
    SVGCarteExport writer(emptyComposition(), plainPage());
    writer.openClipGroups(QList<PlmVectorPath>{PlmVectorPath{}, PlmVectorPath{}});
    const auto shape = systemSymbol(false);
    ASSERT_TRUE(shape->nativeSymbol);
    writer.appendSymbol(*shape, "", QPointF(100, 50), 10, PlmColor{1, 0, 0, 1});
    writer.appendSymbol(*shape, "data-a=\"1\"", QPointF(0, 0), 20, PlmColor{1, 0, 0, 1});
    const QString definitions = definitionsOf(writer);
    EXPECT_EQ(capturesOf(definitions, QStringLiteral("<image id=\"([^\"]+)\" width=\"512\" height=\"512\" "
                                                     "href=\"data:image/png;base64,")),
              QStringList{QStringLiteral("sf-3")});
    EXPECT_EQ(bodyOf(writer),
              QStringLiteral("<use  href=\"#sf-3\" transform=\"translate(95 55) scale(0.01953125 -0.01953125)\"/>\n"
                             "<use data-a=\"1\" href=\"#sf-3\" transform=\"translate(-10 10) scale(0.0390625 -0.0390625)\"/>"));
    EXPECT_EQ(writer.notes,
              (std::set<QString>{QStringLiteral("Pictogrammes : seuls ces symboles sont incorporés en PNG 512 px, dessinés "
                                                "depuis le jeu d’icônes installé. Fonds, autres symboles, textes et cadres "
                                                "de légende, habillage restent vectoriels.")}));
    // The embedded picture is the rasterized symbol: opaque red pixels in the middle.
    const QString base64 = capturesOf(definitions, QStringLiteral("base64,([^\"]+)\"")).first();
    const QImage image = QImage::fromData(QByteArray::fromBase64(base64.toLatin1()), "PNG");
    ASSERT_EQ(image.size(), QSize(512, 512));
    EXPECT_EQ(image.pixelColor(256, 256).red(), 255);
}

TEST(SVGCarteExportSymbolsTest, EachGlyphAndColourHasItsOwnPictureWhereverTheShapeLives)
{
    SVGCarteExport writer(emptyComposition(), plainPage());
    struct Row {
        const char* name;
        const char* glyph;
        PlmColor color;
        int pictures;  // distinct definitions after this row
    };
    const Row rows[] = {
        {"first glyph in red", "circle.fill", PlmColor{1, 0, 0, 1}, 1},
        {"same glyph and colour again", "circle.fill", PlmColor{1, 0, 0, 1}, 1},
        {"same glyph in blue", "circle.fill", PlmColor{0, 0, 1, 1}, 2},
        {"another glyph in red", "square.fill", PlmColor{1, 0, 0, 1}, 3},
    };
    for (const Row& row : rows) {
        // A shape made for the moment, like a decoration's: the next one may take its address.
        PlmProportionalSettings settings = settingsOf(PlmSymbolKind::sfSymbol);
        settings.sfSymbolName = QString::fromLatin1(row.glyph);
        const ProportionalShape shape(settings, false);
        ASSERT_TRUE(shape.nativeSymbol) << row.name;
        writer.appendSymbol(shape, "", QPointF(0, 0), 10, row.color);
        EXPECT_EQ(capturesOf(definitionsOf(writer), QStringLiteral("<image id=\"([^\"]+)\"")).size(), row.pictures)
            << row.name;
    }
}

TEST(SVGCarteExportSymbolsTest, AVisibleOutlineGivesOnePictureEachSizeWithItsBorder)
{
    SVGCarteExport writer(emptyComposition(), plainPage());
    const auto shape = systemSymbol(true);
    writer.appendSymbol(*shape, "", QPointF(0, 0), 16, PlmColor{1, 0, 0, 1});
    writer.appendSymbol(*shape, "", QPointF(0, 0), 32, PlmColor{1, 0, 0, 1});
    writer.appendSymbol(*shape, "", QPointF(0, 0), 16, PlmColor{1, 0, 0, 1});
    const QString definitions = definitionsOf(writer);
    // An outline of 2 points on a 16-point symbol: a pad of 34 pixels, 580 pixels across.
    EXPECT_EQ(capturesOf(definitions, QStringLiteral("<image id=\"([^\"]+)\" width=\"580\"")), QStringList{QStringLiteral("sf-1")});
    EXPECT_EQ(capturesOf(definitions, QStringLiteral("<image id=\"([^\"]+)\"")).size(), 2);
    EXPECT_TRUE(bodyOf(writer).startsWith(QStringLiteral("<use  href=\"#sf-1\" transform=\"translate(-9.0625 9.0625) ")));
}

struct SymbolLayerScene {
    VectorCanvas vector{mapOf({}), false, QString()};
    SvgCompositionView layer;

    SymbolLayerScene()
    {
        vector.setFrame(QRectF(0, 0, 400, 300));
        vector.setScale(2);
        vector.setOffset(QPointF(5, 7));
        vector.blockTransform = QTransform(1, 0, 0, 1, 30, 40);
        layer.kind = SvgCompositionView::Kind::symbols;
        layer.vector = &vector;
        layer.series.shape = std::make_shared<const ProportionalShape>(settingsOf(PlmSymbolKind::circle), false);
        layer.series.color = PlmColor{1, 0, 0, 1};
    }
};

TEST(SVGCarteExportSymbolsTest, ASingleSeriesIsWrittenInItemOrderInsideTheBlockMatrix)
{
    SymbolLayerScene scene;
    scene.layer.series.items = {{QStringLiteral("b&"), 30, {1, 1}}, {QStringLiteral("a"), 10, {2, 3}}};
    SVGCarteExport writer(emptyComposition(), plainPage());
    writer.appendMapSymbols(scene.layer);
    const QString body = bodyOf(writer);
    EXPECT_TRUE(body.startsWith(QStringLiteral("<g data-plm-map-symbols=\"true\" transform=\"matrix(1 0 0 1 30 40)\">")));
    EXPECT_EQ(capturesOf(body, QStringLiteral("<g data-symbol-entity=\"([^\"]+)\">")),
              (QStringList{QStringLiteral("b&amp;"), QStringLiteral("a")}));
    EXPECT_TRUE(body.endsWith(QStringLiteral("</g>")));
}

TEST(SVGCarteExportSymbolsTest, AnEmptyLayerIsAnEmptyGroupWithItsMatrix)
{
    SymbolLayerScene scene;
    SVGCarteExport writer(emptyComposition(), plainPage());
    writer.appendMapSymbols(scene.layer);
    EXPECT_EQ(bodyOf(writer), QStringLiteral("<g data-plm-map-symbols=\"true\" transform=\"matrix(1 0 0 1 30 40)\">\n</g>"));
}

TEST(SVGCarteExportSymbolsTest, ConcentricSeriesStackLargerSymbolsBelowSmallerOnes)
{
    SymbolLayerScene scene;
    scene.layer.series.items = {{QStringLiteral("E"), 30, {0, 0}}, {QStringLiteral("F"), 10, {1, 0}},
                                {QStringLiteral("H"), 8, {3, 0}}, {QStringLiteral("G"), 8, {2, 0}}};
    SvgSymbolSeries partner;
    partner.shape = std::make_shared<const ProportionalShape>(settingsOf(PlmSymbolKind::square), false);
    partner.color = PlmColor{0, 0, 1, 1};
    partner.items = {{QStringLiteral("E"), 12, {0, 0}}, {QStringLiteral("F"), 25, {1, 0}},
                     {QStringLiteral("P"), 40, {9, 9}}, {QStringLiteral("G"), 8, {2, 0}}};
    scene.layer.partner = partner;
    scene.layer.partnerInFront = false;
    SVGCarteExport writer(emptyComposition(), plainPage());
    writer.appendMapSymbols(scene.layer);
    const QString body = bodyOf(writer);
    // Entities by their largest symbol (P 40, E 30, F 25, then G and H at 8 by id); within one
    // entity the larger symbol first, equal sizes with the partner behind when it is not in front.
    EXPECT_EQ(capturesOf(body, QStringLiteral("<g data-symbol-entity=\"([^\"]+)\">\n\n<path d=\"[^\"]+\" fill=\"rgb\\(")),
              (QStringList{"P", "E", "E", "F", "F", "G", "G", "H"}));
    EXPECT_EQ(capturesOf(body, QStringLiteral(" fill=\"(rgb\\([^)]+\\))\"")),
              (QStringList{"rgb(0,0,255)", "rgb(255,0,0)", "rgb(0,0,255)", "rgb(0,0,255)", "rgb(255,0,0)",
                           "rgb(0,0,255)", "rgb(255,0,0)", "rgb(255,0,0)"}));
    // P exists only in the partner: placed at the partner's anchor (9, 9) → (23, 25), a square 40 points wide.
    EXPECT_TRUE(body.contains(QStringLiteral("<path d=\"M 3 5 L 43 5 ")));
}

TEST(SVGCarteExportSymbolsTest, TheOrderingPredicateIsAStrictOrder)
{
    const QHash<QString, SvgSymbolItem> a{{"p", {"p", 5, {}}}, {"q", {"q", 5, {}}}};
    const QHash<QString, SvgSymbolItem> b{{"q", {"q", 7, {}}}};
    EXPECT_TRUE(SVGCarteExport::symbolPrecedes("q", "p", a, b));
    EXPECT_FALSE(SVGCarteExport::symbolPrecedes("p", "q", a, b));
    EXPECT_FALSE(SVGCarteExport::symbolPrecedes("p", "p", a, b));
    EXPECT_TRUE(SVGCarteExport::symbolPrecedes("a", "b", {}, {}));
}

} // namespace
