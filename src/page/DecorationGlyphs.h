#pragma once

#include "model/PlmDecorationKind.h"
#include "model/PlmPresentation.h"

#include <QList>
#include <QPainterPath>
#include <QRectF>
#include <QString>

#include <optional>

class QPainter;

// One translucent layer of a soft shadow, sRGB.
struct ShadowLayer {
    QPainterPath path;
    double red = 0;
    double green = 0;
    double blue = 0;
    double alpha = 0;
};

// One stroke of the scale bar; filled pieces are also filled with the text colour.
struct ScaleBarPiece {
    QPainterPath path;
    bool filled = false;
};

// Paths and texts of the boxes and pictograms of the layout page, shared by the screen and
// the exports. Rectangles are y-up (x, y is the lower-left corner). Objects pass their kind;
// legends pass none.
QList<ShadowLayer> decorationShadowLayers(const PlmPresentation& style, std::optional<PlmDecorationKind> kind,
                                          const QRectF& rect);
// The part of an element's own y-up coordinates that its drawing may cover: the box of that
// size with its border's half width and its shadow, turned about the centre by its rotation.
// The view repaints this much when the element moves or changes.
QRectF decorationPaintedRect(const PlmPresentation& style, const QSizeF& size);
// Fills with the optional colour, then strokes with the style's border.
void strokeDecorationPath(QPainter& painter, const QPainterPath& path, std::optional<PlmColor> fill,
                          const PlmPresentation& style);
// The frame's outline: the rectangle inset by half a point so the border stays inside, its
// corners rounded by the style's radius.
QPainterPath decorationFramePath(const PlmPresentation& style, const QRectF& rect);
// Shadow, frame fill and border.
void drawDecorationFrame(QPainter& painter, const PlmPresentation& style, std::optional<PlmDecorationKind> kind,
                         const QRectF& rect);
// What drawDecorationFrame() shows of itself on the white export page: its shadow and fill
// unless transparent or white, its border unless transparent; null when none of them shows.
QRectF decorationFrameDrawnRect(const PlmPresentation& style, std::optional<PlmDecorationKind> kind,
                                const QRectF& rect);
// Whether a fill in this colour shows on the white export page: neither transparent nor white.
bool decorationColorShowsOnWhite(const PlmColor& color);
// Rectangle, ellipse, line and arrow; none for the other kinds.
std::optional<QPainterPath> decorationShapePath(PlmDecorationKind kind, const PlmPresentation& style,
                                                const QRectF& rect);
// The arrow's heights are measured from the bottom of the coordinate space: draw it in an
// object's own bounds.
QPainterPath northArrowPath(int style, const QRectF& rect);
QList<ScaleBarPiece> scaleBarPath(int style, const QRectF& rect);
// "≈ 1,23 km": unit 0 automatic, 1 metres, 2 kilometres.
QString scaleBarLabel(double meters, int unit);
