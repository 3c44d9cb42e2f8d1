#include "page/DecorationObjectView.h"
#include "export/CarteBitmapExport.h"
#include "export/CartePDFExport.h"
#include "export/PDFExportImageAudit.h"
#include "export/CarteExportSymbolNames.h"
#include "export/ThematicCanvasExport.h"
#include "support/CompositionTestSupport.h"
#include "support/ImageBytes.h"
#include "support/PopplerTools.h"
#include "support/YUpImage.h"
#include "support/KeptRenders.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImageReader>

#include <gtest/gtest.h>

namespace {

using namespace CompositionTestSupport;

const PlmColor low{0.95, 0.85, 0.3, 1};
const PlmColor high{0.15, 0.35, 0.7, 1};

// A classified grid with proportional symbols, a legend, a title and a scale bar on a
// 600 × 420 page, with selections everywhere and the print page shown.
struct Page {
    PlmMap map = gridMap(6);
    Hosted h = hosted(map, {600, 420}, {624, 444});
    ThematicCanvas& canvas = *h.canvas;
    DecorationObjectView* title = nullptr;

    Page()
    {
        for (int i = 0; i < map.entities.size(); ++i)
            canvas.vector()->fillOverrides.insert(map.entities[i].id, i % 2 ? high : low);
        canvas.symbols()->setHidden(false);
        canvas.symbols()->setItems(itemsAtCentres(map, 10));
        canvas.legend()->setTitle(QStringLiteral("Densité"));
        canvas.legend()->setLabels({QStringLiteral("faible"), QStringLiteral("forte")});
        canvas.legend()->setColors({low, high});
        canvas.legend()->setShowsMissing(false);
        canvas.legendPosition = {0.98, 0.04};
        title = new DecorationObjectView(PlmDecorationObject(QStringLiteral("t"), PlmDecorationKind::title,
                                                             QStringLiteral("Carte de test"), PlmPoint{0.05, 0.97}));
        canvas.addSubview(title);
        auto* scale = new DecorationObjectView(PlmDecorationObject(QStringLiteral("s"), PlmDecorationKind::scale,
                                                                   std::nullopt, PlmPoint{0.05, 0.03}));
        canvas.addSubview(scale);
        PlmPrintPage page;
        page.origin = {20, 20};
        page.width = 190;
        page.height = 135;
        canvas.printPage = page;
        canvas.layoutComposition();
        canvas.vector()->selectedIndex = 3;
        canvas.symbols()->setSelectedID(QStringLiteral("e14"));
        canvas.legend()->setSelected(true);
        title->selected = true;
    }
};

// The whole 600 × 420 composition on a page of its size, no margin.
PlmExportSize wholePage()
{
    PlmExportSize s;
    s.width = 600 * 25.4 / 72;
    s.height = 420 * 25.4 / 72;
    s.margin = 0;
    s.actualSize = true;
    s.compositionOrigin = QPointF(0, 0);
    return s;
}

QImage decoded(const QByteArray& data)
{
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    return QImageReader(&buffer).read();
}

QColor at(const QImage& image, double x, double y) { return image.pixelColor(int(x), image.height() - 1 - int(y)); }

// A point inside map square i, off its symbol, in page coordinates.
QPointF squareCorner(Page& p, int i)
{
    const PlmEntity& e = p.map.entities[i];
    const QPointF corner(e.geometry.extentPoints().first().x + 1.5, e.geometry.extentPoints().first().y + 1.5);
    return p.canvas.vector()->convertToSuperview(p.canvas.vector()->viewPoint(corner));
}

TEST(ThematicCanvasExport, PngJpegAndPdfShowWhatTheScreenShows)
{
    Page p;
    ThematicCanvasExport composition(p.canvas);
    const CarteExportSelection before = composition.selection();
    const PlmExportResult png = CarteBitmapExport::render(composition, wholePage(), 72, CarteBitmapExport::Format::png, false);
    const PlmExportResult jpeg =
        CarteBitmapExport::render(composition, wholePage(), 72, CarteBitmapExport::Format::jpeg, false);
    const PlmExportResult pdf = CartePDFExport::exportPDF(composition, wholePage());
    EXPECT_EQ(composition.selection(), before);
    EXPECT_FALSE(p.canvas.isExporting);

    for (const auto& [name, data] : {std::pair{"page.png", png.data}, {"page.jpg", jpeg.data}, {"page.pdf", pdf.data}})
        KeptRenders::keep(QStringLiteral("export-") + QString::fromLatin1(name), data);
    const QImage screen = p.canvas.renderToImage(1.0);
    const QImage fromPng = decoded(png.data);
    const QImage fromJpeg = decoded(jpeg.data);
    const QImage fromPdf = PopplerTools::raster(pdf.data, 72);
    ASSERT_EQ(fromPng.size(), QSize(600, 420));
    ASSERT_EQ(fromJpeg.size(), QSize(600, 420));
    ASSERT_EQ(fromPdf.size(), QSize(600, 420));
    for (int i : {0, 1, 8, 21}) {
        const QPointF q = squareCorner(p, i);
        SCOPED_TRACE(i);
        const QColor expected = at(screen, q.x(), q.y());
        EXPECT_TRUE(nearColor(at(fromPng, q.x(), q.y()), expected, 4));
        EXPECT_TRUE(nearColor(at(fromJpeg, q.x(), q.y()), expected, 16));
        EXPECT_TRUE(nearColor(at(fromPdf, q.x(), q.y()), expected, 10));
    }
    // A symbol's colour at its centre, in every file.
    const ProportionalOverlay::Item item = p.canvas.symbols()->items().at(14);
    const QPointF c = p.canvas.symbols()->placedCenter(item.point);
    for (const QImage& image : {fromPng, fromJpeg, fromPdf})
        EXPECT_GT(CanvasTestMaps::pixelAt(image, c.x(), c.y()).red(), 170);
    // The print page's frame (accent blue on screen) is in no file.
    const QRectF r = ThematicCanvas::printPageRect(*p.canvas.printPage);
    const QColor frame = CanvasTestMaps::pixelAt(screen, r.left() + 40, r.top());
    EXPECT_GT(frame.blue() - frame.red(), 60);
    for (const QImage& image : {fromPng, fromPdf})
        EXPECT_LT(CanvasTestMaps::pixelAt(image, r.left() + 40, r.top()).blue()
                      - CanvasTestMaps::pixelAt(image, r.left() + 40, r.top()).red(),
                  60);
    // The texts are real text in the PDF, and the page stays vector.
    const QString text = PopplerTools::text(pdf.data);
    for (const QString& expected : {QStringLiteral("Carte de test"), QStringLiteral("Densité"),
                                    QStringLiteral("faible"), QStringLiteral("forte")})
        EXPECT_TRUE(text.contains(expected)) << expected.toStdString();
    EXPECT_TRUE(PopplerTools::imageList(pdf.data).isEmpty());
    EXPECT_TRUE(pdf.notes.isEmpty());
}

TEST(ThematicCanvasExport, SystemSymbolsOfTheLayerAreRasterizedOnceWhenThePdfHoldsAPicture)
{
    Page p;
    PlmProportionalSettings star;
    star.kind = PlmSymbolKind::sfSymbol;
    star.sfSymbolName = QStringLiteral("star.fill");
    p.canvas.symbols()->setShape(std::make_shared<ProportionalShape>(star, false));
    PlmWork work;
    PlmThematicSettings t;
    t.representation = PlmRepresentation::proportional;
    t.proportional = star;
    work.thematic = t;
    ThematicCanvasExport composition(p.canvas, [work] { return std::optional<PlmWork>(work); });
    EXPECT_EQ(exportSFSymbolNames(composition), QStringList{QStringLiteral("star.fill")});
    EXPECT_TRUE(CartePDFExport::exportPDF(composition, wholePage()).notes.isEmpty());

    QImage green(4, 4, QImage::Format_RGB32);
    green.fill(QColor(20, 160, 60));
    PlmBackgroundImage picture;
    picture.data = encodedImage(green);
    picture.type = QStringLiteral("png");
    picture.width = 5;
    picture.height = 5;
    p.canvas.vector()->setBackgroundImage(picture);
    const PlmExportResult pdf = CartePDFExport::exportPDF(composition, wholePage());
    // The picture, and one star bitmap with its mask for the sixteen symbols.
    EXPECT_EQ(PDFExportImageAudit::imageCount(pdf.data), 3);
    ASSERT_EQ(pdf.notes.size(), 2);
    EXPECT_TRUE(pdf.notes[0].endsWith(QStringLiteral("Symboles concernés : star.fill.")));
    EXPECT_EQ(pdf.notes[1],
              QStringLiteral("Le rendu PDF contient 3 image(s)/masque(s). Éléments concernés : Image de fond intégrée "
                             "et éventuels pictogrammes ponctuels ; Pictogrammes : star.fill. Les géométries du fond "
                             "restent vectorielles."));
    // A symbol sits where the screen draws it, in the layer's colour.
    const ProportionalOverlay::Item item = p.canvas.symbols()->items().at(14);
    const QPointF c = p.canvas.symbols()->placedCenter(item.point);
    const QColor drawn = CanvasTestMaps::pixelAt(PopplerTools::raster(pdf.data, 72), c.x(), c.y());
    EXPECT_GT(drawn.red(), 170);
    EXPECT_LT(drawn.green(), 110);
}

TEST(ThematicCanvasExport, ADarkScreenPageExportsWhite)
{
    Page p;
    p.canvas.pageColor = QColor(30, 30, 34);
    ThematicCanvasExport composition(p.canvas);
    const QImage image = decoded(
        CarteBitmapExport::render(composition, wholePage(), 72, CarteBitmapExport::Format::png, false).data);
    // Right of the map, above the legend: page only.
    EXPECT_TRUE(nearColor(at(image, 560, 250), Qt::white, 2));
    EXPECT_TRUE(nearColor(at(p.canvas.renderToImage(1.0), 560, 250), QColor(30, 30, 34), 2));
}

} // namespace
