#pragma once

#include "canvas/VectorCanvas.h"
#include "page/CarteCompositionHost.h"
#include "page/DecorationObjectView.h"
#include "page/ThematicCanvas.h"
#include "page/ThematicLegend.h"
#include "desktop/ViewHost.h"
#include "support/CanvasTestMaps.h"
#include "canvas/ProportionalOverlay.h"

#include <memory>

// A layout page shown in a host widget: the widget's root is the composition host, whose
// first layout makes the page the widget's size (less nothing: the page is the host's size).
namespace CompositionTestSupport {

struct Hosted {
    std::unique_ptr<ViewHost> widget;
    CarteCompositionHost* host = nullptr;  // owned by the widget
    ThematicCanvas* canvas = nullptr;      // owned by the host
};

// A grid of n × n unit squares, 10 map units apart, ids "e0", "e1"…
inline PlmMap gridMap(int n)
{
    PlmEntityList entities;
    for (int i = 0; i < n * n; ++i) {
        const double x = (i % n) * 10, y = (i / n) * 10;
        entities.append(CanvasTestMaps::squareEntity(QStringLiteral("e%1").arg(i), x, y, x + 9, y + 9,
                                                     PlmColor{0.75, 0.85, 0.95, 1}, 0.5));
    }
    return CanvasTestMaps::mapOf(entities);
}

// Squares of 4 degrees in longitude and latitude (WGS84, unprojected), ids "l0", "l1"…, their
// lower-left corners at the given points.
inline PlmMap geographicMap(const QList<PlmPoint>& corners)
{
    PlmEntityList entities;
    for (qsizetype i = 0; i < corners.size(); ++i)
        entities.append(CanvasTestMaps::squareEntity(QStringLiteral("l%1").arg(i), corners[i].x, corners[i].y,
                                                     corners[i].x + 4, corners[i].y + 4, PlmColor{0.8, 0.9, 0.75, 1}, 2));
    return CanvasTestMaps::mapOf(
        entities, {{QStringLiteral("coordinates"), QStringLiteral("longitude/latitude WGS84 (sans reprojection)")}});
}

// Frames the page's map as a person does (it no longer follows its fit): `centre` at the
// page's centre, `unitsPerPoint` map units across one point of the page.
inline void frameMap(ThematicCanvas& canvas, const PlmPoint& centre, double unitsPerPoint)
{
    canvas.vector()->tracksFit = false;
    canvas.layoutComposition();
    canvas.vector()->apply(PlmDecorationViewport{centre, unitsPerPoint});
    canvas.layoutComposition();
}

// Adds `object` to the page where the page places it, linked to the map view as the pane links
// it; its view. A new object of a kind is placed by the kind's fractions of the free space,
// kept to the printable area.
inline DecorationObjectView* addPlacedDecoration(ThematicCanvas& canvas, const PlmDecorationObject& object)
{
    auto* view = new DecorationObjectView(object);
    view->vector = canvas.vector();
    canvas.addSubview(view);
    canvas.layoutComposition();
    return view;
}

// Adds `object` to the page, framed in page points (y up); its view.
inline DecorationObjectView* addDecoration(ThematicCanvas& canvas, PlmDecorationObject object, const QRectF& frame)
{
    object.presentation.positionInPoints = true;
    object.position = {frame.x(), frame.y()};
    object.width = frame.width();
    object.height = frame.height();
    return addPlacedDecoration(canvas, object);
}

// The page takes an explicit size; the widget is `widget` wide and high.
inline Hosted hosted(const PlmMap& map, QSizeF page, QSizeF widget)
{
    Hosted h;
    h.widget = std::make_unique<ViewHost>();
    h.widget->resize(int(widget.width()), int(widget.height()));
    h.canvas = new ThematicCanvas(map);
    h.canvas->compositionSize = page;
    h.host = new CarteCompositionHost(h.canvas);
    h.widget->setRootNode(h.host);
    h.host->layoutSubtreeIfNeeded();
    return h;
}

// Resizes the widget and its root as a shown window would (a hidden widget gets its resize
// event only when shown).
inline void resizeWidget(ViewHost& widget, double width, double height)
{
    widget.resize(int(width), int(height));
    if (ViewNode* root = widget.rootNode())
        root->setFrame(QRectF(0, 0, width, height));
    if (ViewNode* root = widget.rootNode())
        root->layoutSubtreeIfNeeded();
}

// One item per top-level entity at its centre, sizes from 4 to 4 + spread points.
inline QList<ProportionalOverlay::Item> itemsAtCentres(const PlmMap& map, double spread)
{
    QList<ProportionalOverlay::Item> items;
    const int n = int(map.entities.size());
    for (int i = 0; i < n; ++i) {
        const PlmEntity& e = map.entities[i];
        double minX = 1e300, minY = 1e300, maxX = -1e300, maxY = -1e300;
        for (const PlmPoint& p : e.geometry.extentPoints()) {
            minX = std::min(minX, p.x), maxX = std::max(maxX, p.x);
            minY = std::min(minY, p.y), maxY = std::max(maxY, p.y);
        }
        items.append({e.id, 4 + spread * ((i * 7919) % 101) / 100.0, PlmPoint{(minX + maxX) / 2, (minY + maxY) / 2}});
    }
    return items;
}

} // namespace CompositionTestSupport
