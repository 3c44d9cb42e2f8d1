#pragma once

#include "canvas/SymbolPictureCache.h"
#include "model/PlmColor.h"

#include <QPointF>

#include <memory>

class ProportionalShape;
class QPainter;

// The rasterized system glyphs of one PDF document: one image per glyph and colour (and per
// size when the shape draws a visible outline), drawn wherever that glyph is placed, so that the
// file embeds each image once.
class SFExportPDFRenderer {
public:
    // Draws the shape's bitmap centred on a point of the painter's y-up coordinates, its
    // central 512 pixels covering `size` points. Nothing for a size that is not above zero.
    // Throws PlmWorkError when the symbol cannot be rasterized or drawn.
    void drawSymbol(QPainter& painter, const std::shared_ptr<const ProportionalShape>& shape, const QPointF& center,
                    double size, const PlmColor& color);

    qsizetype cachedImageCount() const { return m_pictures.size(); }

    // A document of many outlined sizes keeps at most this many images at once.
    static constexpr int maximumImages = 512;

private:
    SymbolPictureCache m_pictures{maximumImages};
};
