#pragma once

#include "page/LegendData.h"
#include "model/PlmDecorationObject.h"

#include <QColor>
#include <QImage>
#include <QRectF>
#include <QSizeF>

#include <optional>

class QPainter;
class VectorCanvas;

// What an object's view knows besides the object itself, gathered before drawing.
struct DecorationDrawingContext {
    bool exporting = false;  // symbol glyphs and legend symbols as bitmaps
    bool selected = false;
    // Scale bar: the measured ground length, and the latitude of the bar when a map view exists.
    std::optional<double> scaleMeters;
    std::optional<double> scaleLatitude;
    // North arrow: a map view exists and its map is geographic.
    bool northDetermined = false;
    // Legend object: the object's copy of the composition legend, when that legend exists.
    std::optional<LegendData> legend;
    QColor accent{0, 122, 255};
    // An image object's bitmap decoded once by its view; decoded here when absent.
    const QImage* image = nullptr;
};

// Decodes an image object's bytes: the header is read first and images above maxPixels are
// refused (a null image) before any pixel is decoded.
constexpr qint64 decorationBitmapMaxPixels = 64'000'000;
QImage decodeDecorationBitmap(const QByteArray& data, qint64 maxPixels = decorationBitmapMaxPixels);

// The box inside an element's frame that holds its text, shape or picture (y-up bounds).
QRectF decorationContentBox(const QRectF& bounds, const PlmEditingStyle& style);

// Draws one layout element into its own y-up bounds (0, 0, width, height) of the painter,
// the same way for the screen and the exports; the selection marks come last.
void drawDecorationObject(QPainter& painter, const PlmDecorationObject& object, const QSizeF& bounds,
                          const DecorationDrawingContext& context);

// What a text element shows of itself on the white export page, in its own y-up bounds
// (0, 0, width, height) and turned as drawn: its laid-out text as clipped to its box, its
// border, and its shadow and fills unless transparent or white; null when nothing shows. Its
// frame alone shows nothing. None for the other kinds, whose frame stands for their drawing.
std::optional<QRectF> decorationDrawnRect(const PlmDecorationObject& object, const QSizeF& size);

// The selection outline, rotation knob (not on a scale bar) and corner handles.
void drawDecorationSelection(QPainter& painter, PlmDecorationKind kind, const QSizeF& bounds, const QColor& accent);

// A legend object's copy of its composition legend, sized to the object's bounds.
LegendData decorationLegendCopy(const PlmDecorationObject& object, const LegendData& source, const QSizeF& bounds);

// Ground length in metres spanned by a scale bar whose frame is given in the map view's
// coordinates; none when it cannot be measured at this framing. `visibleSize` is the size
// of the view whose corners give the visible extent.
std::optional<double> measureDecorationScale(const VectorCanvas& vector, const QRectF& frame,
                                             const QSizeF& visibleSize);
// The latitude under the bar (the frame's horizontal centre, 25 points above its bottom).
double decorationScaleLatitude(const VectorCanvas& vector, const QRectF& frame);

// The context of an object framed in a map view's coordinates: scale, latitude and north.
DecorationDrawingContext decorationContext(const PlmDecorationObject& object, const VectorCanvas* vector,
                                           const QRectF& frame, const QSizeF& visibleSize);
