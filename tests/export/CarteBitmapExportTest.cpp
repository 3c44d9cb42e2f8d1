#include "support/ExportTestComposition.h"
#include "support/YUpImage.h"
#include "export/CarteBitmapExport.h"
#include "model/PlmErrors.h"
#include "support/ErrorCapture.h"

#include <QBuffer>
#include <QImageReader>

#include <gtest/gtest.h>

#include <cmath>

namespace {

using ExportTest::Composition;
using ExportTest::compositionPage;
using Format = CarteBitmapExport::Format;

QImage decoded(const QByteArray& data, QByteArray* format = nullptr)
{
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    if (format)
        *format = reader.format();
    return reader.read();
}

// The pixel under a composition point (y up) of an image of the composition page at 72 dpi.
QColor at(const QImage& image, double x, double y)
{
    return image.pixelColor(int(x), image.height() - 1 - int(y));
}

TEST(CarteBitmapExport, A4At300DpiWritesItsSizeAndResolution)
{
    Composition c;
    PlmExportSize a4;  // 210 × 297 mm, margin 10, fit
    QByteArray format;
    const PlmExportResult png = CarteBitmapExport::render(c, a4, 300, Format::png, false);
    const QImage image = decoded(png.data, &format);
    EXPECT_EQ(format, "png");
    EXPECT_EQ(image.size(), QSize(2480, 3508));
    EXPECT_EQ(image.dotsPerMeterX(), 11811);
    EXPECT_EQ(image.dotsPerMeterY(), 11811);
    EXPECT_TRUE(png.notes.isEmpty());

    const PlmExportResult jpeg = CarteBitmapExport::render(c, a4, 300, Format::jpeg, false, 0.85);
    const QImage j = decoded(jpeg.data, &format);
    EXPECT_EQ(format, "jpeg");
    EXPECT_EQ(j.size(), QSize(2480, 3508));
    // JFIF stores whole dots per inch.
    EXPECT_NEAR(j.dotsPerMeterX() * 0.0254, 300, 0.5);
}

TEST(CarteBitmapExport, DrawsWhatTheScreenShowsOnAWhitePage)
{
    Composition c;
    c.editor->setHidden(true);
    const QImage screen = c.root->renderToImage(1.0, false);
    const QImage image = decoded(CarteBitmapExport::render(c, compositionPage(), 72, Format::png, false).data);
    ASSERT_EQ(image.size(), QSize(400, 300));
    // Class colours of the two regions, the legend's swatch and the title agree with the screen.
    for (const QPointF& p : {QPointF(100, 150), QPointF(300, 150), QPointF(60, 268)})
        EXPECT_TRUE(nearColor(at(image, p.x(), p.y()), at(screen, p.x(), p.y()), 10)) << p.x() << "," << p.y();
    EXPECT_TRUE(nearColor(at(image, 100, 150), QColor(230, 26, 26)));
    EXPECT_TRUE(nearColor(at(image, 300, 150), QColor(26, 51, 230)));
    // The screen's dark canvas becomes a white page in the export (hide the map to see it).
    c.vector->setHidden(true);
    const QImage page = decoded(CarteBitmapExport::render(c, compositionPage(), 72, Format::png, false).data);
    EXPECT_TRUE(nearColor(at(page, 150, 100), Qt::white, 2));
    EXPECT_TRUE(nearColor(at(c.root->renderToImage(), 150, 100), c.root->themeBackground, 2));
}

TEST(CarteBitmapExport, TransparencyOnlyForPng)
{
    Composition c;
    c.vector->setHidden(true);
    const QImage png = decoded(CarteBitmapExport::render(c, compositionPage(), 72, Format::png, true).data);
    EXPECT_EQ(png.pixelColor(0, 0).alpha(), 0);
    EXPECT_EQ(at(png, 150, 100).alpha(), 0);
    EXPECT_EQ(at(png, 296, 82).alpha(), 255);  // the legend's first swatch is drawn
    const QImage jpeg = decoded(CarteBitmapExport::render(c, compositionPage(), 72, Format::jpeg, true).data);
    EXPECT_FALSE(jpeg.hasAlphaChannel());
    for (const QPoint& corner : {QPoint(0, 0), QPoint(399, 0), QPoint(0, 299), QPoint(399, 299)})
        EXPECT_TRUE(nearColor(jpeg.pixelColor(corner), Qt::white, 3));
}

TEST(CarteBitmapExport, SelectionsEditorsAndGuideStayOffTheImageAndSelectionsComeBack)
{
    Composition c;
    c.vector->selectedIndex = 0;
    c.legend->selected = true;
    c.title->selected = true;
    c.overlay->shape = std::make_shared<ProportionalShape>(PlmProportionalSettings(), false);
    c.overlay->items = {{QStringLiteral("a"), QPointF(100, 100), 30}};
    c.overlay->selectedID = QStringLiteral("a");
    const CarteExportSelection before = c.selection();
    const QImage image = decoded(CarteBitmapExport::render(c, compositionPage(), 72, Format::png, false).data);
    // Neither the guide (green), the open editor (magenta) nor any selection accent shows.
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor p = image.pixelColor(x, y);
            ASSERT_FALSE(nearColor(p, QColor(0, 255, 0), 30)) << x << "," << y;
            ASSERT_FALSE(nearColor(p, QColor(255, 0, 255), 30)) << x << "," << y;
            ASSERT_FALSE(nearColor(p, QColor(0, 122, 255), 30)) << x << "," << y;
        }
    }
    EXPECT_EQ(c.selection(), before);
    EXPECT_EQ(c.exportingChanges, (QList<bool>{true, false}));
    EXPECT_FALSE(c.vector->rendersForExport);
}

TEST(CarteBitmapExport, MarginsCutTheDrawing)
{
    Composition c;
    // A 20-point margin (7.056 mm): the map's colours stop there, the rest stays white.
    const QImage image =
        decoded(CarteBitmapExport::render(c, compositionPage(20 * 25.4 / 72), 72, Format::png, false).data);
    EXPECT_TRUE(nearColor(at(image, 10, 150), Qt::white, 2));
    EXPECT_TRUE(nearColor(at(image, 25, 150), QColor(230, 26, 26)));
    EXPECT_TRUE(nearColor(at(image, 390, 150), Qt::white, 2));
    EXPECT_TRUE(nearColor(at(image, 300, 290), Qt::white, 2));
}

TEST(CarteBitmapExport, RefusalsLeaveTheCompositionAsBefore)
{
    Composition c;
    c.legend->selected = true;
    const CarteExportSelection before = c.selection();
    const auto render = [&](const PlmExportSize& s, double dpi, Format f, double q) {
        return thrownMessage<PlmWorkError>([&] { CarteBitmapExport::render(c, s, dpi, f, false, q); });
    };
    EXPECT_EQ(render(compositionPage(), 72, Format::jpeg, 1.01), QStringLiteral("Qualité JPEG incorrecte."));
    EXPECT_EQ(render(compositionPage(), 72, Format::jpeg, std::nan("")), QStringLiteral("Qualité JPEG incorrecte."));
    EXPECT_EQ(render(compositionPage(), 72, Format::jpeg, 0), QString());
    EXPECT_EQ(render(compositionPage(), 72, Format::jpeg, 1), QString());
    EXPECT_EQ(render(compositionPage(), 72, Format::png, 7), QString());
    EXPECT_EQ(render(compositionPage(), 0, Format::png, 0.85), QStringLiteral("Saisissez une résolution positive en dpi."));
    c.root->setFrame(QRectF(0, 0, 0, 300));
    EXPECT_EQ(render(compositionPage(), 72, Format::png, 0.85),
              QStringLiteral("La carte n’a pas encore de cadrage visible."));
    EXPECT_EQ(c.selection(), before);
    EXPECT_FALSE(c.root->exporting);
    EXPECT_FALSE(c.vector->rendersForExport);
}

TEST(CarteBitmapExport, NoteOfAnUnavailableSymbolOnlyWhenItsOverlayShows)
{
    Composition c;
    c.overlay->shape = ExportTest::unavailableSymbolShape();
    ASSERT_TRUE(c.overlay->shape->nativeSymbolUnavailable);
    EXPECT_EQ(CarteBitmapExport::render(c, compositionPage(), 72, Format::png, false).notes,
              QStringList{QStringLiteral("Un pictogramme indisponible sur cet ordinateur reste absent, comme à l’écran.")});
    c.overlay->setHidden(true);
    EXPECT_TRUE(CarteBitmapExport::render(c, compositionPage(), 72, Format::png, false).notes.isEmpty());
}

} // namespace
