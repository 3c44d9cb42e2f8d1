#include "export/SFExportPDFRenderer.h"

#include "model/PlmErrors.h"
#include "canvas/ProportionalShape.h"

#include <QPainter>

#include <cmath>

void SFExportPDFRenderer::drawSymbol(QPainter& painter, const std::shared_ptr<const ProportionalShape>& shape,
                                     const QPointF& center, double size, const PlmColor& color)
{
    // The screen draws nothing for such sizes either.
    if (!shape || !std::isfinite(size) || !(size > 0))
        return;
    const QImage& image = m_pictures.picture(shape, color, size).image;
    if (image.isNull() || !painter.isActive())
        throw PlmWorkError::invalid(QStringLiteral("Impossible d’incorporer le pictogramme au PDF."));
    ProportionalShape::drawBitmap(painter, image, center, size);
}
