#include "page/CarteAlignmentGuides.h"

#include <QPainter>
#include <QPen>
#include <cmath>

CarteAlignmentGuides CarteAlignmentGuides::compute(const QRectF& bounds, const QList<QRectF>& selectedFrames)
{
    CarteAlignmentGuides guides;
    const QPointF centre = bounds.center();
    for (const QRectF& frame : selectedFrames) {
        const QPointF c = frame.center();
        // NaN distances never compare below the tolerance, so a broken frame raises nothing.
        if (!guides.vertical && std::abs(c.x() - centre.x()) < centringTolerance)
            guides.vertical = QLineF(centre.x(), 0, centre.x(), bounds.height());
        if (!guides.horizontal && std::abs(c.y() - centre.y()) < centringTolerance)
            guides.horizontal = QLineF(0, centre.y(), bounds.width(), centre.y());
    }
    return guides;
}

QPainterPath CarteAlignmentGuides::path() const
{
    QPainterPath p;
    for (const std::optional<QLineF>& line : {vertical, horizontal}) {
        if (!line)
            continue;
        p.moveTo(line->p1());
        p.lineTo(line->p2());
    }
    return p;
}

void CarteAlignmentGuides::draw(QPainter& painter, const QColor& accent) const
{
    if (isEmpty())
        return;
    QColor colour = accent;
    colour.setAlphaF(float(strokeAlpha));
    QPen pen(colour, 1);
    // Qt dash lengths are in pen widths; the width is 1, so these are points.
    pen.setDashPattern({dashOn, dashOff});
    pen.setDashOffset(0);
    painter.save();
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(path());
    painter.restore();
}
