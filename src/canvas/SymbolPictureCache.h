#pragma once

#include "model/PlmColor.h"

#include <QHash>
#include <QImage>
#include <QString>

#include <memory>

class ProportionalShape;

// The pictures of point symbols that one drawing or one file embeds (the map view's export
// fallback, a PDF document, an SVG document), each rasterized once by
// ProportionalShape::renderBitmap. A glyph's picture is named by what it shows: the glyph, the
// colour as drawn and, when its outline shows, the size and the outline's width and colour. Not
// by the shape's address: shapes made for the moment (a legend's, a decoration's) show the same
// picture, and a later shape may take a freed address. A shape without a glyph is named by its
// address instead, its entry keeping the shape alive.
//
// Not guarded: each owner uses its cache from the one thread that draws it (the map view's
// banded drawing on several threads leaves maps with point symbols to one thread).
class SymbolPictureCache {
public:
    struct Picture {
        QImage image;
        // What a file calls the picture once embedded (an SVG definition's id); empty until then.
        QString id;
    };

    // Past maximumPictures the cache starts over; 0 keeps every picture.
    explicit SymbolPictureCache(qsizetype maximumPictures = 0) : m_maximum(maximumPictures) {}

    // The picture of a shape drawn in a colour, its central 512 pixels standing for `size`
    // points; rendered on first use. The reference lasts until the next call. Throws
    // PlmWorkError when the picture cannot be rendered.
    Picture& picture(const std::shared_ptr<const ProportionalShape>& shape, const PlmColor& color, double size);
    // The same for a glyph shape (one with a native symbol) that the caller holds only for the moment.
    Picture& picture(const ProportionalShape& glyphShape, const PlmColor& color, double size);

    qsizetype size() const { return m_pictures.size(); }

private:
    struct Key {
        QString glyph;        // empty for a shape without glyph, named by `shape`
        quintptr shape = 0;
        quint64 color = 0;    // 16 bits a channel, as the picture is drawn
        bool outlined = false;
        quint64 size = 0;     // the size's bits, for an outlined picture
        quint64 outlineWidth = 0;
        quint64 outlineColor = 0;

        bool operator==(const Key&) const = default;
        friend size_t qHash(const Key& key, size_t seed = 0)
        {
            return qHashMulti(seed, key.glyph, key.shape, key.color, key.outlined, key.size, key.outlineWidth,
                              key.outlineColor);
        }
    };
    struct Entry {
        std::shared_ptr<const ProportionalShape> shape;  // kept while its address names the entry
        Picture picture;
    };

    static Key keyOf(const ProportionalShape& shape, const PlmColor& color, double size);
    Picture& find(const Key& key, const ProportionalShape& shape, std::shared_ptr<const ProportionalShape> keep,
                  const PlmColor& color, double size);

    qsizetype m_maximum = 0;
    QHash<Key, Entry> m_pictures;
};
