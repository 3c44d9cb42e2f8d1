#include "canvas/SymbolPictureCache.h"

#include "canvas/ProportionalShape.h"

#include <bit>

namespace {

quint64 drawnColor(const PlmColor& color) { return quint64(ProportionalShape::qtColor(color).rgba64()); }

} // namespace

SymbolPictureCache::Key SymbolPictureCache::keyOf(const ProportionalShape& shape, const PlmColor& color, double size)
{
    Key key;
    if (shape.nativeSymbol)
        key.glyph = shape.nativeSymbol->name;
    else
        key.shape = quintptr(&shape);
    key.color = drawnColor(color);
    // Only a visible outline makes the picture depend on the size (its ring and border).
    key.outlined = shape.outlineVisible;
    if (shape.outlineVisible) {
        key.size = std::bit_cast<quint64>(size);
        if (shape.outline) {
            key.outlineWidth = std::bit_cast<quint64>(shape.outline->lineWidth);
            key.outlineColor = drawnColor(shape.outline->stroke);
        }
    }
    return key;
}

SymbolPictureCache::Picture& SymbolPictureCache::picture(const std::shared_ptr<const ProportionalShape>& shape,
                                                         const PlmColor& color, double size)
{
    return find(keyOf(*shape, color, size), *shape, shape->nativeSymbol ? nullptr : shape, color, size);
}

SymbolPictureCache::Picture& SymbolPictureCache::picture(const ProportionalShape& glyphShape, const PlmColor& color,
                                                         double size)
{
    Q_ASSERT(glyphShape.nativeSymbol);
    return find(keyOf(glyphShape, color, size), glyphShape, nullptr, color, size);
}

SymbolPictureCache::Picture& SymbolPictureCache::find(const Key& key, const ProportionalShape& shape,
                                                      std::shared_ptr<const ProportionalShape> keep,
                                                      const PlmColor& color, double size)
{
    if (auto found = m_pictures.find(key); found != m_pictures.end())
        return found->picture;
    if (m_maximum > 0 && m_pictures.size() >= m_maximum)
        m_pictures.clear();
    QImage image = shape.renderBitmap(color, size);
    return m_pictures.insert(key, Entry{std::move(keep), Picture{std::move(image), QString()}})->picture;
}
