#include "export/CarteBitmapExport.h"

#include "export/CarteExportComposition.h"
#include "export/CarteExportDrawing.h"
#include "export/CarteExportScope.h"
#include "export/PlmPngWriter.h"
#include "model/PlmErrors.h"
#include "desktop/ViewNode.h"

#include <QBuffer>
#include <QColorSpace>
#include <QCoreApplication>
#include <QImage>
#include <QImageWriter>
#include <QPainter>
#include <QThread>

#include <cmath>

namespace {

[[noreturn]] void fail(const QString& message) { throw PlmWorkError::invalid(message); }


} // namespace

QString CarteBitmapExport::unavailableSymbolNote()
{
    return QStringLiteral("Un pictogramme indisponible sur cet ordinateur reste absent, comme à l’écran.");
}

QImage CarteBitmapExport::renderImage(CarteExportComposition& composition, const PlmExportSize& size, double dpi,
                                      Format format, bool transparent, double quality)
{
    Q_ASSERT(!QCoreApplication::instance() || QThread::currentThread() == QCoreApplication::instance()->thread());
    CarteExportScope scope(composition);
    const PlmExportSize::PixelSize pixels = size.pixelSize(dpi);
    if (format == Format::jpeg && !(std::isfinite(quality) && quality >= 0 && quality <= 1))
        fail(QStringLiteral("Qualité JPEG incorrecte."));
    ViewNode& canvas = composition.canvas();
    canvas.layoutSubtreeIfNeeded();
    const QRectF bounds = canvas.bounds();
    if (!(bounds.width() > 0) || !(bounds.height() > 0))
        fail(QStringLiteral("La carte n’a pas encore de cadrage visible."));

    QImage image(pixels.width, pixels.height, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        fail(QStringLiteral("Mémoire insuffisante pour rendre cette image."));
    image.setColorSpace(QColorSpace::SRgb);
    const int dotsPerMeter = int(std::lround(dpi / 0.0254));
    image.setDotsPerMeterX(dotsPerMeter);
    image.setDotsPerMeterY(dotsPerMeter);
    const bool clear = format == Format::png && transparent;
    image.fill(clear ? Qt::transparent : Qt::white);

    const double pageW = size.pageWidthPoints();
    const double pageH = size.pageHeightPoints();
    const double margin = PlmExportSize::points(size.margin);
    const PlmExportSize::Placement place = size.placement(bounds.width(), bounds.height());

    scope.hideSelections();
    QPainter painter(&image);
    if (!painter.isActive())
        fail(QStringLiteral("Mémoire insuffisante pour rendre cette image."));
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    // Page points, y up, then the composition placed on the page inside the margins.
    ViewNode::flipPainter(painter, pixels.height);
    painter.scale(pixels.width / pageW, pixels.height / pageH);
    painter.setClipRect(QRectF(margin, margin, pageW - 2 * margin, pageH - 2 * margin));
    painter.translate(place.offsetX, place.offsetY);
    painter.scale(place.scale, place.scale);
    drawExportViewTree(painter, canvas, canvas, composition, clear);
    painter.end();
    return image;
}

PlmExportResult CarteBitmapExport::render(CarteExportComposition& composition, const PlmExportSize& size,
                                          double dpi, Format format, bool transparent, double quality)
{
    QImage image = renderImage(composition, size, dpi, format, transparent, quality);
    QByteArray data;
    if (format == Format::png) {
        // Straight alpha only for a transparent page; an opaque one is written as RGB.
        data = PlmPngWriter::encode(image, dpi, transparent);
        if (data.isEmpty())
            fail(QStringLiteral("Impossible d’encoder l’image de la carte."));
    } else {
        image = image.convertToFormat(QImage::Format_RGB32);  // a JPEG has no alpha: the page is white
        if (image.isNull())
            fail(QStringLiteral("Impossible de créer l’image de la carte."));
        QBuffer buffer(&data);
        if (!buffer.open(QIODevice::WriteOnly))
            fail(QStringLiteral("Impossible de créer le fichier image."));
        QImageWriter writer(&buffer, QByteArrayLiteral("jpeg"));
        if (!writer.canWrite())
            fail(QStringLiteral("Impossible de créer le fichier image."));
        writer.setQuality(int(std::lround(quality * 100)));
        if (!writer.write(image))
            fail(QStringLiteral("Impossible d’encoder l’image de la carte."));
    }
    PlmExportResult result;
    result.data = data;
    if (composition.showsUnavailableSymbol())
        result.notes << unavailableSymbolNote();
    return result;
}
