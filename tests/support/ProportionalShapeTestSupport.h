#pragma once

#include "canvas/ProportionalShape.h"

#include <QImage>
#include <QPainter>

namespace ProportionalShapeTest {

// The default settings but for the symbol kind.
inline PlmProportionalSettings settingsOf(PlmSymbolKind kind)
{
    PlmProportionalSettings settings;
    settings.kind = kind;
    return settings;
}

// A white 200 × 200 image with the shape drawn on it; yUp puts the painter's origin at the
// lower left.
inline QImage drawn(const ProportionalShape& shape, QPointF centre, double size, PlmColor colour,
                    double outlineScale = 1, bool yUp = true)
{
    QImage image(200, 200, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    if (yUp) {
        painter.translate(0, 200);
        painter.scale(1, -1);
    }
    shape.draw(painter, centre, size, colour, outlineScale);
    painter.end();
    return image;
}

} // namespace ProportionalShapeTest
