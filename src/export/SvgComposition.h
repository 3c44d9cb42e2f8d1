#pragma once

#include "page/DecorationDrawing.h"
#include "page/LegendData.h"
#include "model/PlmColor.h"
#include "model/PlmDecorationObject.h"
#include "model/PlmPoint.h"
#include "canvas/ProportionalShape.h"

#include <QList>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

class VectorCanvas;

// One placed proportional symbol: the entity, its size in points, its anchor in map units.
struct SvgSymbolItem {
    QString id;
    double size = 0;
    PlmPoint point;
};

// The visible symbols of one series with the shape and colour it draws them in.
struct SvgSymbolSeries {
    QList<SvgSymbolItem> items;
    std::shared_ptr<const ProportionalShape> shape;
    PlmColor color;
};

// What the SVG writer reads of the composition page: the page's views, back to front, each
// reduced to the values its drawing uses. Views that an export never shows (the print-page
// guide, alignment guides, block handles, the text editor) are simply not listed.
struct SvgCompositionView {
    enum class Kind {
        map,         // the base map view
        symbols,     // a proportional-symbol layer, with its concentric partner when it has one
        legend,      // a thematic legend
        decoration,  // a decoration object (a legend object carries its legend copy in `context`)
        other        // any other view: a clip group and nothing inside
    };
    Kind kind = Kind::other;
    QRectF frame;  // in the composition's coordinates, y up
    // The view's own coordinates shown in its frame; null: (0, 0, frame size).
    QRectF bounds;
    QRectF ownBounds() const { return bounds.isNull() ? QRectF(QPointF(0, 0), frame.size()) : bounds; }
    VectorCanvas* vector = nullptr;  // map and symbols: the map view they are placed by
    SvgSymbolSeries series;
    std::optional<SvgSymbolSeries> partner;
    bool partnerInFront = true;
    LegendData legend;
    PlmDecorationObject object;
    DecorationDrawingContext context;
};

struct SvgComposition {
    QSizeF size;  // the composition canvas's bounds
    PlmColor background{1, 1, 1, 1};
    QString title;  // the base map's name
    QList<SvgCompositionView> views;
    // The distinct SF Symbol names the composition shows, ascending.
    QStringList sfSymbolNames;
};
