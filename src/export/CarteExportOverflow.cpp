#include "export/CarteExportOverflow.h"

#include "export/CarteExportComposition.h"
#include "canvas/VectorCanvas.h"
#include "page/DecorationDrawing.h"
#include "desktop/ViewNode.h"

#include <QPolygonF>
#include <QRectF>

#include <algorithm>
#include <optional>

namespace CarteExportOverflow {

namespace {

// The map block's corners in the canvas's coordinates: the map's own extent through the block
// transform, which may turn it.
QPolygonF mapBlock(VectorCanvas& vector)
{
    const QRectF extent = vector.originalBlockBounds();
    if (extent.isEmpty())
        return {};
    return (vector.blockTransform * vector.transformToSuperview()).map(QPolygonF(extent));
}

// What of a legend or layout object view could be cut, in its superview's coordinates: what a
// text shows of itself (nothing when it shows nothing), the frame of the others.
std::optional<QRectF> reach(CarteExportComposition& composition, const ViewNode& view)
{
    QRectF drawn = view.bounds();
    if (const std::optional<PlmDecorationObject> object = composition.decorationObject(view)) {
        if (const std::optional<QRectF> shown = decorationDrawnRect(*object, drawn.size())) {
            if (shown->isNull())
                return std::nullopt;
            drawn = shown->translated(drawn.topLeft());
        }
    }
    return view.transformToSuperview().mapRect(drawn);
}

} // namespace

QStringList outside(CarteExportComposition& composition, const PlmExportSize& size)
{
    ViewNode& canvas = composition.canvas();
    canvas.layoutSubtreeIfNeeded();
    const QRectF bounds = canvas.bounds();
    const PlmExportSize::Placement place = size.placement(bounds.width(), bounds.height());
    if (!(place.scale > 0))
        return {};
    // The kept part of the page, in composition points.
    const double m = PlmExportSize::points(size.margin);
    const QRectF kept((m - place.offsetX) / place.scale, (m - place.offsetY) / place.scale,
                      (size.pageWidthPoints() - 2 * m) / place.scale, (size.pageHeightPoints() - 2 * m) / place.scale);
    // Frames computed from millimetres land a rounding error away from the margin.
    const QRectF tolerant = kept.adjusted(-1e-6, -1e-6, 1e-6, 1e-6);
    QStringList names;
    if (VectorCanvas* vector = composition.mapView(); vector && !vector->isHidden()) {
        const QPolygonF block = mapBlock(*vector);
        if (std::any_of(block.cbegin(), block.cend(), [&](const QPointF& corner) { return !tolerant.contains(corner); }))
            names << QStringLiteral("Carte");
    }
    for (const ViewNode* view : canvas.subviews()) {
        const CarteExportComposition::ViewRole role = composition.role(*view);
        if (view->isHidden()
            || (role != CarteExportComposition::ViewRole::decoration && role != CarteExportComposition::ViewRole::legend))
            continue;
        if (const std::optional<QRectF> drawn = reach(composition, *view); drawn && !tolerant.contains(*drawn))
            names << composition.outlineTitle(*view);
    }
    return names;
}

QString statusLine(const QStringList& names)
{
    if (names.isEmpty())
        return {};
    return QStringLiteral("Hors de la zone exportée : ") + names.join(QStringLiteral(", ")) + QLatin1Char('.');
}

} // namespace CarteExportOverflow
