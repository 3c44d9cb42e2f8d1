#include "thematic/ProportionalShapeStamp.h"

#include <QPainter>
#include <QPen>

#include <algorithm>
#include <cmath>

ProportionalShapeStamp::ProportionalShapeStamp(std::shared_ptr<const ProportionalShape> shape, const PlmColor& color)
    : m_shape(std::move(shape)), m_color(color)
{
    if (!m_shape || !m_shape->bounds || m_shape->nativeSymbol)
        return;
    m_side = std::max(m_shape->bounds->width(), m_shape->bounds->height());
    m_mid = m_shape->bounds->center();
    if (!(m_side > 0))
        return;
    for (const ProportionalShape::Part& source : m_shape->parts) {
        // The effective style at the size where one shape unit is one point: a stroke that
        // scales with the symbol is then in shape units, an outline's width in points.
        const PlmStyle e = m_shape->exportStyle(source, color, m_side);
        Part part;
        part.source = &source;
        if (e.fill)
            part.fill = ProportionalShape::qtColor(*e.fill);
        part.absoluteWidth = m_shape->outline.has_value();
        part.width = e.lineWidth;
        part.strokes = e.lineWidth > 0 && e.stroke.alpha > 0 && std::isfinite(e.lineWidth);
        part.stroke = ProportionalShape::qtColor(e.stroke);
        part.cap = ProportionalShape::qtCap(e.lineCap);
        part.join = ProportionalShape::qtJoin(e.lineJoin);
        if (e.dash && !e.dash->isEmpty()) {
            bool positive = false;
            for (double d : *e.dash) {
                part.dash.append(std::max(0.0, d));
                positive = positive || d > 0;
            }
            if (!positive)
                part.dash.clear();
        }
        if (part.strokes && part.absoluteWidth)
            m_absoluteStroke = std::max(m_absoluteStroke, part.width);
        m_parts.append(part);
    }
}

double ProportionalShapeStamp::reach(double size) const
{
    // The larger side is `size`; a square's corner reaches √2 / 2 of it, strokes beyond.
    return size * 0.7072 + m_absoluteStroke + 1;
}

void ProportionalShapeStamp::draw(QPainter& painter, const QPointF& center, double size) const
{
    if (!m_shape || !std::isfinite(size) || size <= 0)
        return;
    if (m_shape->nativeSymbol || !(m_side > 0)) {
        m_shape->draw(painter, center, size, m_color, 1);
        return;
    }
    const double s = size / m_side;
    const QTransform saved = painter.worldTransform();
    painter.setWorldTransform(QTransform(s, 0, 0, s, center.x() - s * m_mid.x(), center.y() - s * m_mid.y()) * saved);
    for (const Part& part : m_parts) {
        const bool clipped = !part.source->painterClips.isEmpty();
        if (clipped) {
            painter.save();
            for (const QPainterPath& clip : part.source->painterClips)
                painter.setClipPath(clip, Qt::IntersectClip);
        }
        if (part.fill)
            painter.fillPath(part.source->painterPath, *part.fill);
        if (part.strokes) {
            // Widths in shape units: an outline keeps its width in points at every size.
            const double width = part.absoluteWidth ? part.width / s : part.width;
            QPen pen(part.stroke, width, Qt::SolidLine, part.cap, part.join);
            pen.setMiterLimit(10);
            if (!part.dash.isEmpty()) {
                QList<qreal> pattern;
                for (qreal d : part.dash)
                    pattern.append(d / width);
                if (pattern.size() % 2 == 1)
                    pattern += pattern;
                pen.setDashPattern(pattern);
            }
            painter.strokePath(part.source->painterPath, pen);
        }
        if (clipped)
            painter.restore();
    }
    painter.setWorldTransform(saved);
}
