#pragma once

#include "model/PlmColor.h"

#include <QHash>
#include <QImage>
#include <QPointF>
#include <QString>

#include <memory>
#include <utility>

class ProportionalShape;
class QPainter;

// The rasterized system glyphs of one PDF document: one image per shape (and per size when the
// shape draws a visible outline), drawn wherever that shape is placed, so that the file embeds
// each image once. The colour is not in the key: in one document a shape is always drawn in
// its overlay's colour.
class SFExportPDFRenderer {
public:
    // Draws the shape's bitmap centred on a point of the painter's y-up coordinates, its
    // central 512 pixels covering `size` points. Nothing for a size that is not above zero.
    // Throws PlmWorkError when the symbol cannot be rasterized or drawn.
    void drawSymbol(QPainter& painter, const std::shared_ptr<const ProportionalShape>& shape, const QPointF& center,
                    double size, const PlmColor& color);

    qsizetype cachedImageCount() const { return m_images.size(); }

    // A document of many outlined sizes keeps at most this many images at once.
    static constexpr int maximumImages = 512;

private:
    struct Entry {
        std::shared_ptr<const ProportionalShape> shape;  // keeps the address from naming another shape
        QImage image;
    };
    using Key = std::pair<quintptr, quint64>;
    QHash<Key, Entry> m_images;
};
