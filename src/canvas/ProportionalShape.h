#pragma once

#include "model/PlmColor.h"
#include "model/PlmProportionalSettings.h"
#include "model/PlmStyle.h"
#include "model/PlmVectorPath.h"
#include "platform/SymbolGlyphProvider.h"

#include <QColor>
#include <QImage>
#include <QList>
#include <QPainterPath>
#include <QRectF>

#include <optional>

class QPainter;

// The one drawable symbol: a unit circle, square or triangle, a system-like
// symbol glyph, or the parts of a small vector map (an SVG symbol). Built
// once, then drawn anywhere, at any size, in any colour. Shape coordinates
// grow upward.
class ProportionalShape {
public:
    struct Part {
        PlmVectorPath path;        // shape coordinates, our own commands
        PlmStyle style;
        QList<PlmVectorPath> clips;
        QPainterPath painterPath;  // the same, ready to draw
        QList<QPainterPath> painterClips;
    };

    ProportionalShape(const PlmProportionalSettings& settings, bool monochrome);

    bool hasFillAppearance = false;
    std::optional<PlmStyle> outline;
    bool outlineVisible = false;
    QList<Part> parts;
    // The shape's extent; none (the null rectangle) when it has nothing to draw.
    std::optional<QRectF> bounds;
    bool tintSourceColors = false;
    bool useSourceColors = false;
    std::optional<SymbolGlyph> nativeSymbol;
    bool nativeSymbolUnavailable = false;

    // The glyph of a symbol name; throws PlmWorkError when there is none.
    static SymbolGlyph systemSymbolImage(const QString& name);

    // The part's style with the drawing colour's red, green and blue when
    // the shape tints its source colours.
    PlmStyle tintedStyle(const Part& part, const PlmColor& color) const;
    // What is painted for a part drawn in a colour at a size.
    PlmStyle exportStyle(const Part& part, const PlmColor& color, double size) const;

    // Draws the shape centred on a point of the painter's coordinates, its
    // larger side `size` long; outlineScale multiplies a glyph outline's width.
    void draw(QPainter& painter, const QPointF& center, double size, const PlmColor& color,
              double outlineScale) const;

    // The symbol drawn 512 pixels across into a transparent square bitmap, for the exports
    // that carry glyphs as images. A visible outline adds a transparent border (the pad) so
    // that the ring keeps its width relative to a symbol of `pixelSize` points: draw the
    // image at side × image.width() / 512 for a symbol of `side` points. Throws PlmWorkError
    // when the bitmap cannot be made.
    QImage renderBitmap(const PlmColor& color, double pixelSize) const;
    // The pad of that bitmap on each side, in pixels; bounded so that the bitmap stays at
    // most maximumBitmapSide pixels across.
    int bitmapPad(double pixelSize) const;
    // Draws such a bitmap centred on a point of the painter's y-up coordinates, upright, for a
    // symbol of `size` points (its central 512 pixels span `size`).
    static void drawBitmap(QPainter& painter, const QImage& image, const QPointF& center, double size);
    // Draws a glyph symbol as such a bitmap, as the exports that carry glyphs as images show
    // it; a shape without glyph, or whose bitmap cannot be made, is drawn as vectors.
    void drawAsBitmap(QPainter& painter, const QPointF& center, double size, const PlmColor& color) const;
    static constexpr int bitmapSymbolSide = 512;
    static constexpr int maximumBitmapSide = 2048;

    // The colour, cap and join that the drawing gives a part's style.
    static QColor qtColor(const PlmColor& color);
    static Qt::PenCapStyle qtCap(std::optional<int> cap);
    static Qt::PenJoinStyle qtJoin(std::optional<int> join);

private:
    void buildParts(const PlmMap& map);
    void drawParts(QPainter& painter, const QPointF& center, double size, double s, const PlmColor& color) const;
    void drawGlyph(QPainter& painter, const QPointF& center, double s, const PlmColor& color,
                   double outlineScale) const;
};
