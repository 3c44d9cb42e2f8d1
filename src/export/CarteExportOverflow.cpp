#include "export/CarteExportOverflow.h"

#include "export/CarteExportComposition.h"
#include "desktop/ViewNode.h"

#include <QRectF>

namespace CarteExportOverflow {

int count(CarteExportComposition& composition, const PlmExportSize& size)
{
    ViewNode& canvas = composition.canvas();
    canvas.layoutSubtreeIfNeeded();
    const QRectF bounds = canvas.bounds();
    const PlmExportSize::Placement place = size.placement(bounds.width(), bounds.height());
    if (!(place.scale > 0))
        return 0;
    // The kept part of the page, in composition points.
    const double m = PlmExportSize::points(size.margin);
    const QRectF kept((m - place.offsetX) / place.scale, (m - place.offsetY) / place.scale,
                      (size.pageWidthPoints() - 2 * m) / place.scale, (size.pageHeightPoints() - 2 * m) / place.scale);
    // Frames computed from millimetres land a rounding error away from the margin.
    const QRectF tolerant = kept.adjusted(-1e-6, -1e-6, 1e-6, 1e-6);
    int outside = 0;
    for (const ViewNode* view : canvas.subviews()) {
        const CarteExportComposition::ViewRole role = composition.role(*view);
        if (view->isHidden()
            || (role != CarteExportComposition::ViewRole::decoration && role != CarteExportComposition::ViewRole::legend))
            continue;
        const QRectF frame = view->transformToSuperview().mapRect(view->bounds());
        if (!tolerant.contains(frame))
            ++outside;
    }
    return outside;
}

QString statusLine(int count)
{
    if (count <= 0)
        return {};
    if (count == 1)
        return QStringLiteral("Un élément dépasse de la zone exportée.");
    return QString::number(count) + QStringLiteral(" éléments dépassent de la zone exportée.");
}

} // namespace CarteExportOverflow
