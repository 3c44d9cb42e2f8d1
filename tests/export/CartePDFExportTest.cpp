#include "support/ExportTestComposition.h"
#include "support/ImageBytes.h"
#include "support/PopplerTools.h"
#include "support/YUpImage.h"
#include "export/CarteBitmapExport.h"
#include "export/CartePDFExport.h"
#include "export/PDFExportImageAudit.h"
#include "model/PlmErrors.h"
#include "support/ErrorCapture.h"

#include <QPdfWriter>

#include <gtest/gtest.h>

namespace {

using ExportTest::Composition;
using ExportTest::compositionPage;

QColor at(const QImage& image, double x, double y) { return image.pixelColor(int(x), image.height() - 1 - int(y)); }

// A background picture for the map view: something a vector file cannot hold but as an image.
PlmBackgroundImage picture()
{
    PlmBackgroundImage b;
    b.data = plainPng(QColor(20, 160, 60), 8, 8, QImage::Format_RGB32);
    b.type = QStringLiteral("png");
    b.opacity = 1;
    b.position = PlmPoint{20, 20};
    b.width = 80;
    b.height = 60;
    return b;
}

TEST(CartePDFExport, OneVectorPageOfTheExactSizeThatReadersShowAsTheScreen)
{
    Composition c;
    c.editor->setHidden(true);
    PlmExportSize a4;
    a4.actualSize = true;
    const PlmExportResult result = CartePDFExport::exportPDF(c, a4);
    EXPECT_TRUE(result.notes.isEmpty());
    EXPECT_EQ(PopplerTools::info(result.data, QStringLiteral("Pages")), QStringLiteral("1"));
    EXPECT_EQ(PopplerTools::info(result.data, QStringLiteral("Creator")), QStringLiteral("Pelmora Studio"));
    EXPECT_TRUE(PopplerTools::info(result.data, QStringLiteral("Page size")).startsWith(QStringLiteral("595.276 x 841.89 pts")))
        << PopplerTools::info(result.data, QStringLiteral("Page size")).toStdString();
    const QString text = PopplerTools::text(result.data);
    for (const QString& expected : {QStringLiteral("Carte de France"), QStringLiteral("Densité"),
                                    QStringLiteral("Faible"), QStringLiteral("Forte")})
        EXPECT_TRUE(text.contains(expected)) << expected.toStdString() << " in " << text.toStdString();
    EXPECT_TRUE(PopplerTools::imageList(result.data).isEmpty());
    EXPECT_EQ(PDFExportImageAudit::imageCount(result.data), 0);
}

TEST(CartePDFExport, ColoursAndPlacementAgreeWithTheScreen)
{
    Composition c;
    const QByteArray pdf = CartePDFExport::exportPDF(c, compositionPage()).data;
    const QImage page = PopplerTools::raster(pdf, 72);
    ASSERT_EQ(page.size(), QSize(400, 300));
    EXPECT_TRUE(nearColor(at(page, 100, 150), QColor(230, 26, 26)));
    EXPECT_TRUE(nearColor(at(page, 300, 150), QColor(26, 51, 230)));
    // The regions' border and the legend's first swatch sit where the screen draws them.
    const QImage screen = c.root->renderToImage();
    for (const QPointF& p : {QPointF(296, 82), QPointF(198, 150), QPointF(202, 150), QPointF(100, 5)})
        EXPECT_TRUE(nearColor(at(page, p.x(), p.y()), at(screen, p.x(), p.y()), 16)) << p.x() << "," << p.y();
    // Nothing of the guide or the open editor.
    EXPECT_FALSE(nearColor(at(page, 20, 20), QColor(0, 255, 0), 40));
    EXPECT_FALSE(nearColor(at(page, 40, 270), QColor(255, 0, 255), 40));
}

TEST(CartePDFExport, ABackgroundPictureIsNamedInTheNote)
{
    Composition c;
    c.vector->setBackgroundImage(picture());
    const PlmExportResult result = CartePDFExport::exportPDF(c, compositionPage());
    EXPECT_EQ(PDFExportImageAudit::imageCount(result.data), 1);
    EXPECT_EQ(PopplerTools::imageList(result.data).size(), 1);
    EXPECT_EQ(result.notes,
              QStringList{QStringLiteral("Le rendu PDF contient 1 image(s)/masque(s). Éléments concernés : Image de fond "
                                         "intégrée et éventuels pictogrammes ponctuels. Les géométries du fond restent "
                                         "vectorielles.")});
}

TEST(CartePDFExport, SystemSymbolsAreRasterizedOnlyWhenTheFileHoldsImages)
{
    Composition c;
    PlmProportionalSettings s;
    s.kind = PlmSymbolKind::sfSymbol;
    s.sfSymbolName = QStringLiteral("star.fill");
    c.overlay->shape = std::make_shared<ProportionalShape>(s, false);
    c.overlay->items = {{QStringLiteral("a"), QPointF(100, 100), 40}, {QStringLiteral("b"), QPointF(300, 100), 40}};
    PlmWork work;
    PlmThematicSettings t;
    t.representation = PlmRepresentation::proportional;
    t.proportional = s;
    work.thematic = t;
    c.storedWork = work;
    // Glyphs are vector outlines here: no image, one render, no note.
    const PlmExportResult vector = CartePDFExport::exportPDF(c, compositionPage());
    EXPECT_EQ(PDFExportImageAudit::imageCount(vector.data), 0);
    EXPECT_TRUE(vector.notes.isEmpty());

    // With a picture in the file the symbols go through the renderer: one image for both.
    c.vector->setBackgroundImage(picture());
    const PlmExportResult mixed = CartePDFExport::exportPDF(c, compositionPage());
    EXPECT_EQ(PDFExportImageAudit::imageCount(mixed.data), 1 + 2);  // picture, symbol and its mask
    ASSERT_EQ(mixed.notes.size(), 2);
    EXPECT_EQ(mixed.notes[0],
              QStringLiteral("Pictogrammes : dessinés en images transparentes de 512 px pour "
                             "préserver leur apparence dans le PDF. Symboles concernés : star.fill."));
    EXPECT_EQ(mixed.notes[1],
              QStringLiteral("Le rendu PDF contient 3 image(s)/masque(s). Éléments concernés : Image de fond intégrée "
                             "et éventuels pictogrammes ponctuels ; Pictogrammes : star.fill. Les géométries du fond "
                             "restent vectorielles."));
    const QImage page = PopplerTools::raster(mixed.data, 72);
    EXPECT_TRUE(nearColor(at(page, 100, 100), QColor(204, 46, 41), 30));  // the symbol's colour at its centre
    EXPECT_FALSE(c.vector->usesSFExportFallback);
}

TEST(CartePDFExport, PointSymbolsOfTheMapShareOneImagePerGlyph)
{
    Composition c;
    PlmMap map = c.vector->map();
    PlmEntityList entities = map.entities;
    for (int i = 0; i < 12; ++i) {
        PlmEntity point = CanvasTestMaps::pointEntity(QStringLiteral("p%1").arg(i), 20 + 30 * i, 150, 8);
        point.pointSymbol = PlmPointSymbol(QStringLiteral("star.fill"), std::nullopt);
        entities.append(point);
    }
    map.entities = entities;
    c.vector->setMap(map);
    c.vector->setBackgroundImage(picture());
    const PlmExportResult result = CartePDFExport::exportPDF(c, compositionPage());
    // The picture, then one star image and its mask for all twelve points.
    EXPECT_EQ(PDFExportImageAudit::imageCount(result.data), 3);
    EXPECT_EQ(PopplerTools::imageList(result.data).size(), 1 + 2 * 12);
    ASSERT_EQ(result.notes.size(), 2);
    EXPECT_TRUE(result.notes[0].endsWith(QStringLiteral("Symboles concernés : star.fill.")));
    EXPECT_EQ(result.notes[1],
              QStringLiteral("Le rendu PDF contient 3 image(s)/masque(s). Éléments concernés : Image de fond intégrée "
                             "et éventuels pictogrammes ponctuels. Les géométries du fond restent vectorielles."));
    EXPECT_FALSE(c.vector->usesSFExportFallback);
}

TEST(CartePDFExport, AnUnavailableSymbolIsNotedOnlyWhenItsOverlayShows)
{
    Composition c;
    c.overlay->shape = ExportTest::unavailableSymbolShape();
    c.vector->setBackgroundImage(picture());
    const QString note = CarteBitmapExport::unavailableSymbolNote();
    const PlmExportResult shown = CartePDFExport::exportPDF(c, compositionPage());
    // No second render for a symbol that has no image to draw.
    ASSERT_EQ(shown.notes.size(), 2);
    EXPECT_TRUE(shown.notes[0].startsWith(QStringLiteral("Le rendu PDF contient 1 image(s)")));
    EXPECT_EQ(shown.notes[1], note);
    c.overlay->setHidden(true);
    EXPECT_FALSE(CartePDFExport::exportPDF(c, compositionPage()).notes.contains(note));
}

TEST(CartePDFExport, RefusalsLeaveTheCompositionAsBefore)
{
    Composition c;
    c.vector->selectedIndex = 1;
    c.title->selected = true;
    const CarteExportSelection before = c.selection();
    PlmExportSize bad = compositionPage();
    bad.width = 9.999;
    EXPECT_EQ(thrownMessage<PlmWorkError>([&] { CartePDFExport::exportPDF(c, bad); }),
              QStringLiteral("Dimensions attendues entre 10 et 2 000 mm."));
    c.root->setFrame(QRectF(0, 0, 400, 0));
    EXPECT_EQ(thrownMessage<PlmWorkError>([&] { CartePDFExport::exportPDF(c, compositionPage()); }),
              QStringLiteral("La carte n’a pas encore de cadrage visible."));
    EXPECT_EQ(c.selection(), before);
    EXPECT_EQ(c.exportingChanges, (QList<bool>{true, false, true, false}));
}

// Hand-made PDFs for the image audit.
QByteArray handMade(const QByteArray& objects, const QByteArray& root = "1 0 R")
{
    return "%PDF-1.4\n" + objects + "trailer\n<< /Root " + root + " >>\n%%EOF\n";
}

TEST(PDFExportImageAudit, CountsEachImageObjectOnceAcrossPagesAndMasks)
{
    const QByteArray catalog = "1 0 obj << /Type /Catalog /Pages 2 0 R >> endobj\n";
    const QByteArray twoPages = "2 0 obj << /Type /Pages /Kids [3 0 R 4 0 R] /Count 2 >> endobj\n"
                                "3 0 obj << /Type /Page /Parent 2 0 R /Resources << /XObject << /A 5 0 R >> >> >> endobj\n"
                                "4 0 obj << /Type /Page /Parent 2 0 R /Resources << /XObject << /B 5 0 R /C 6 0 R >> >> >> endobj\n";
    const QByteArray image = "5 0 obj << /Type /XObject /Subtype /Image /Width 1 /Height 1 /Length 3 >>\nstream\n"
                             "\x01\x02\x03\nendstream\nendobj\n";
    const QByteArray masked = "6 0 obj << /Subtype /Image /SMask 7 0 R /Length 1 >>\nstream\nx\nendstream endobj\n"
                              "7 0 obj << /Subtype /Image /Length 9 >>\nstream\nendstream\nendstream endobj\n";
    const QByteArray form = "6 0 obj << /Subtype /Form /Resources << /XObject << /I 5 0 R >> >> /Length 0 >>\nstream\n"
                            "\nendstream endobj\n";
    const QByteArray arrayOnly = "2 0 obj << /Type /Pages /Kids [3 0 R] /Count 1 >> endobj\n"
                                 "3 0 obj << /Type /Page /Parent 2 0 R /Things [5 0 R] >> endobj\n";
    struct Case {
        const char* name;
        QByteArray pdf;
        int count;
    } cases[] = {
        {"one image referenced from two pages, a masked image", handMade(catalog + twoPages + image + masked), 3},
        {"an image inside a form counts once with the page's own", handMade(catalog + twoPages + image + form), 1},
        {"arrays are not followed", handMade(catalog + arrayOnly + image), 0},
        {"no pages", handMade(catalog + "2 0 obj << /Type /Pages /Kids [] /Count 0 >> endobj\n"), 0},
        {"a page tree that points at itself", handMade(catalog + "2 0 obj << /Type /Pages /Kids [2 0 R] >> endobj\n"), 0},
        {"not a PDF", QByteArray("GIF89a not a pdf 1 0 obj << /Subtype /Image >> endobj"), 0},
        {"empty", QByteArray(), 0},
        {"cut in the middle", handMade(catalog + twoPages + image).left(150), 0},
        {"deep nesting", handMade(catalog + "2 0 obj << /Type /Pages /Kids [3 0 R] >> endobj\n3 0 obj << /Type /Page /R "
                                  + QByteArray(5000, '[') + " >> endobj\n"), 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(PDFExportImageAudit::imageCount(c.pdf), c.count);
    }
}

} // namespace

TEST(CartePDFExportTest, TheSymbolRendererKeepsOneImagePerShapeAndPerSizeOnlyWhenOutlined)
{
    auto plain = std::make_shared<ProportionalShape>(PlmProportionalSettings(), false);
    auto outlined = std::make_shared<ProportionalShape>(PlmProportionalSettings(), false);
    outlined->outlineVisible = true;
    QImage page(100, 100, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&page);
    SFExportPDFRenderer renderer;
    const PlmColor red{1, 0, 0, 1};
    for (const double size : {5.0, 7.0, 5.0})
        renderer.drawSymbol(painter, plain, QPointF(50, 50), size, red);
    EXPECT_EQ(renderer.cachedImageCount(), 1);
    for (const double size : {5.0, 7.0, 5.0, 7.000000000000001})
        renderer.drawSymbol(painter, outlined, QPointF(50, 50), size, red);
    EXPECT_EQ(renderer.cachedImageCount(), 4);
}
