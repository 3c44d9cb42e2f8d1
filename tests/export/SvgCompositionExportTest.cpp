#include "page/CarteBlockHandles.h"
#include "page/DecorationGlyphs.h"
#include "page/DecorationObjectView.h"
#include "page/LegendLayout.h"
#include "export/CarteBitmapExport.h"
#include "export/CartePDFExport.h"
#include "export/SvgCompositionExport.h"
#include "export/ThematicCanvasExport.h"
#include "model/PlmErrors.h"
#include "support/KeptRenders.h"
#include "support/CompositionTestSupport.h"
#include "support/PopplerTools.h"
#include "support/SvgTestSupport.h"
#include "support/YUpImage.h"

#include <gtest/gtest.h>

using namespace CompositionTestSupport;
using namespace SvgTestSupport;

// The SVG export of a real composition page: a classified map with a symbol series, its legend,
// a title and a scale bar, against the PNG export of the same page.
namespace {

const QList<PlmColor> kClasses = {PlmColor{0.94, 0.95, 1, 1}, PlmColor{0.55, 0.75, 0.87, 1},
                                  PlmColor{0.13, 0.44, 0.71, 1}};

struct Page {
    PlmMap map = gridMap(3);
    Hosted hosted = CompositionTestSupport::hosted(map, {600, 420}, {624, 444});
    ThematicCanvas& canvas = *hosted.canvas;
    ThematicCanvasExport composition{canvas};
    DecorationObjectView* title = nullptr;

    Page()
    {
        for (int i = 0; i < 9; ++i)
            canvas.vector()->fillOverrides.insert(QStringLiteral("e%1").arg(i), kClasses[i % 3]);
        canvas.symbols()->setHidden(false);
        canvas.symbols()->setItems({{QStringLiteral("e4"), 30, PlmPoint{14.5, 14.5}}});
        canvas.legend()->setTitle(QStringLiteral("Densité"));
        canvas.legend()->setLabels({QStringLiteral("faible"), QStringLiteral("moyenne"), QStringLiteral("forte")});
        canvas.legend()->setColors(kClasses);
        canvas.legend()->setShowsMissing(false);
        canvas.legendPosition = {0.98, 0.04};
        title = addDecoration(canvas, PlmDecorationObject(QStringLiteral("t"), PlmDecorationKind::title, QStringLiteral("Carte des densités")),
                              QRectF(20, 360, 300, 50));
        canvas.addSubview(new CarteBlockHandles(&canvas));
        canvas.layoutComposition();
    }
};

PlmExportSize a4Landscape()
{
    PlmExportSize size;
    size.width = 297;
    size.height = 210;
    size.margin = 10;
    return size;
}

QColor probe(const QImage& image, double pageX, double pageY)  // page points, y down, at 2 px a point
{
    return image.pixelColor(int(pageX * 2), int(pageY * 2));
}

TEST(SvgCompositionExportTest, ThePageRendersInRsvgAsInThePngExport)
{
    Page page;
    const PlmExportSize size = a4Landscape();
    const PlmExportResult result = SvgCompositionExport::exportSVG(page.composition, size);
    EXPECT_FALSE(page.canvas.isExporting);
    const QImage svg = renderWithRsvg(result.data, 2);
    ASSERT_FALSE(svg.isNull()) << "rsvg-convert is missing or refused the file";
    const QImage png = CarteBitmapExport::renderImage(page.composition, size, 144, CarteBitmapExport::Format::png, false)
                           .convertToFormat(QImage::Format_ARGB32);
    ASSERT_LE(std::abs(svg.width() - png.width()), 1);
    ASSERT_LE(std::abs(svg.height() - png.height()), 1);
    KeptRenders::keep(QStringLiteral("page-svg.png"), svg);
    KeptRenders::keep(QStringLiteral("page-png.png"), png);

    // A composition point p lands on the page at offset + scale · p, y from the bottom.
    const PlmExportSize::Placement placement = size.placement(600, 420);
    const double pageHeight = size.pageHeightPoints();
    auto onPage = [&](const QPointF& p) {
        return QPointF(placement.offsetX + placement.scale * p.x(), pageHeight - (placement.offsetY + placement.scale * p.y()));
    };
    VectorCanvas& vector = *page.canvas.vector();
    for (int i = 0; i < 9; ++i) {
        if (i == 4)
            continue;  // under the symbol
        const double x = (i % 3) * 10 + 2, y = (i / 3) * 10 + 2;  // inside the square, away from its border
        const QPointF p = onPage(vector.convertToSuperview(vector.viewPoint(QPointF(x, y))));
        const QColor expected = QColor::fromRgbF(float(kClasses[i % 3].red), float(kClasses[i % 3].green),
                                                 float(kClasses[i % 3].blue));
        EXPECT_TRUE(nearColor(probe(svg, p.x(), p.y()), expected)) << "region " << i;
        EXPECT_TRUE(nearColor(probe(svg, p.x(), p.y()), probe(png, p.x(), p.y()))) << "region " << i;
    }
    const QPointF symbol = onPage(vector.convertToSuperview(vector.viewPoint(QPointF(14.5, 14.5))));
    EXPECT_TRUE(nearColor(probe(svg, symbol.x(), symbol.y()), probe(png, symbol.x(), symbol.y())));
    EXPECT_GT(probe(svg, symbol.x(), symbol.y()).red(), 180);

    ThematicLegend& legend = *page.canvas.legend();
    const LegendLayout layout(legend.legendData());
    for (const LegendLayout::Entry& entry : layout.entries) {
        const QPointF at = onPage(legend.frame().topLeft() + QPointF(entry.swatch.left() + 8, entry.swatch.center().y()));
        EXPECT_TRUE(nearColor(probe(svg, at.x(), at.y()), probe(png, at.x(), at.y()))) << "swatch " << entry.index;
    }

    // The title's ink covers the same pixels, within two pixels on each side.
    const QRectF titleFrame = page.title->frame();
    const QPointF a = onPage(titleFrame.bottomLeft()), b = onPage(titleFrame.topRight());
    auto inkBox = [&](const QImage& image) {
        QRect box;
        for (int x = int(a.x() * 2); x < int(b.x() * 2); ++x)
            for (int y = int(a.y() * 2); y < int(b.y() * 2); ++y)
                if (qGray(image.pixel(x, y)) < 110)
                    box = box.united(QRect(x, y, 1, 1));
        return box;
    };
    const QRect svgInk = inkBox(svg), pngInk = inkBox(png);
    ASSERT_FALSE(pngInk.isEmpty());
    EXPECT_LE((svgInk.topLeft() - pngInk.topLeft()).manhattanLength(), 4) << svgInk.left() << "," << svgInk.top()
                                                                           << " " << pngInk.left() << "," << pngInk.top();
    EXPECT_LE((svgInk.bottomRight() - pngInk.bottomRight()).manhattanLength(), 4);
}

TEST(SvgCompositionExportTest, OnlyShownViewsAreWrittenAndClippingFollowsWhatIsDrawn)
{
    Page page;
    const QString text = QString::fromUtf8(SvgCompositionExport::exportSVG(page.composition, a4Landscape()).data);
    // The map view and the symbol overlay are clipped; the guides, the block handles, the page
    // guide and the hidden second series, second legend and overlay give nothing.
    EXPECT_EQ(capturesOf(text, QStringLiteral("<clipPath id=\"([^\"]+)\"")),
              (QStringList{QStringLiteral("clip-1"), QStringLiteral("clip-2"), QStringLiteral("export-page")}));
    EXPECT_EQ(text.count(QStringLiteral("data-plm-map-symbols")), 1);
    // The page placement, then map, symbols, legend and title, and the legend's and the
    // title's own object groups.
    EXPECT_EQ(text.count(QStringLiteral("<g transform=\"translate(")), 7);
    EXPECT_EQ(capturesOf(text, QStringLiteral("<title>([^<]*)</title>")), QStringList{QStringLiteral("test")});
    EXPECT_EQ(capturesOf(text, QStringLiteral("data-symbol-entity=\"([^\"]+)\"")), QStringList{QStringLiteral("e4")});
}

TEST(SvgCompositionExportTest, PageErrorsComeFirstAndTheExportFlagIsClearedAfterAFailure)
{
    Page page;
    PlmExportSize size = a4Landscape();
    size.margin = 200;
    try {
        SvgCompositionExport::exportSVG(page.composition, size);
        FAIL() << "no error";
    } catch (const PlmError& error) {
        EXPECT_EQ(error.message(), QStringLiteral("Les marges doivent laisser une surface imprimable."));
    }
    EXPECT_FALSE(page.canvas.isExporting);

    PlmEntity broken = CanvasTestMaps::squareEntity(QStringLiteral("nan"), 0, 0, std::nan(""), 1);
    PlmMap map = page.map;
    map.entities.append(broken);
    page.canvas.vector()->setMap(map);
    try {
        SvgCompositionExport::exportSVG(page.composition, a4Landscape());
        FAIL() << "no error";
    } catch (const PlmError& error) {
        EXPECT_EQ(error.message(), QStringLiteral("Tracé non fini dans le cadrage exporté."));
    }
    EXPECT_FALSE(page.canvas.isExporting);
    EXPECT_FALSE(page.canvas.vector()->rendersOriginalBlock);
}

// The scale bar's texts and bar in the SVG are those the page measures and draws on screen and
// in PDF. The map view reaches 8 points past each edge of the 600-point page: measured against
// the view rather than the page, a framing a little under 20 degrees wide would be refused.
TEST(SvgCompositionExportTest, TheScaleBarReadsWhatThePageShowsAtEveryFraming)
{
    const struct {
        const char* name;
        double degreesAcrossPage;
        const char* texts;  // the SVG's text elements, joined by blanks
    } rows[] = {
        {"well within the limit", 15, "≈ 297 km Locale à 40,4°"},
        {"just within the limit", 19.6, "≈ 395 km Locale à 39,3°"},
        {"past the limit", 20.5, "Échelle indisponible à ce cadrage"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Hosted hosted = CompositionTestSupport::hosted(geographicMap({{0, 40}, {10, 42}}), {600, 420}, {624, 444});
        ThematicCanvas& canvas = *hosted.canvas;
        canvas.legend()->setHidden(true);
        frameMap(canvas, PlmPoint{6, 44}, row.degreesAcrossPage / 600);
        const DecorationObjectView* scale
            = addDecoration(canvas, PlmDecorationObject(QStringLiteral("s"), PlmDecorationKind::scale), QRectF(40, 40, 160, 60));
        ThematicCanvasExport composition(canvas);

        const std::optional<double> metres = scale->measureScale();
        const QString shown = metres ? scaleBarLabel(*metres, 0) : QStringLiteral("Échelle indisponible à ce cadrage");
        const QString svg = QString::fromUtf8(SvgCompositionExport::exportSVG(composition, a4Landscape()).data);
        const QString svgText = capturesOf(svg, QStringLiteral(">([^<]*)</text>")).join(QLatin1Char(' '));
        EXPECT_EQ(svgText, QString::fromUtf8(row.texts));
        EXPECT_TRUE(svgText.startsWith(shown)) << qPrintable(shown);
        const QString pdf = PopplerTools::text(CartePDFExport::exportPDF(composition, a4Landscape()).data);
        EXPECT_TRUE(pdf.simplified().startsWith(shown)) << qPrintable(pdf);
        // The bar's ends, 10 points inside the object, on the page.
        EXPECT_EQ(svg.count(QStringLiteral("<path  d=\"M 10 20 L 150 20 ")), metres ? 1 : 0);
    }
}

} // namespace
