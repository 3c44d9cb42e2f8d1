#include "canvas/CanvasPathBuilder.h"

#include "canvas/TextOutline.h"
#include "model/PlmEntity.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

QPointF mapped(const QTransform& t, const PlmPoint& p) { return t.map(QPointF(p.x, p.y)); }

PlmPoint plm(const QPointF& p) { return PlmPoint{p.x(), p.y()}; }

} // namespace

void PathSink::addOutline(const QPainterPath& outline)
{
    const int n = outline.elementCount();
    QPointF start;
    QPointF last;
    bool open = false;
    for (int i = 0; i < n; ++i) {
        const QPainterPath::Element e = outline.elementAt(i);
        switch (e.type) {
        case QPainterPath::MoveToElement:
            if (open && last == start)
                closeSubpath();
            start = last = QPointF(e.x, e.y);
            moveTo(start);
            open = true;
            break;
        case QPainterPath::LineToElement:
            last = QPointF(e.x, e.y);
            lineTo(last);
            break;
        case QPainterPath::CurveToElement:
            if (i + 2 < n) {
                const QPainterPath::Element c2 = outline.elementAt(i + 1);
                const QPainterPath::Element end = outline.elementAt(i + 2);
                last = QPointF(end.x, end.y);
                cubicTo(QPointF(e.x, e.y), QPointF(c2.x, c2.y), last);
            }
            i += 2;
            break;
        case QPainterPath::CurveToDataElement:
            break;
        }
    }
    if (open && last == start)
        closeSubpath();
}

void VectorPathSink::moveTo(const QPointF& p) { m_path.commands.append(PlmPathCommand::move(plm(p))); }

void VectorPathSink::lineTo(const QPointF& p) { m_path.commands.append(PlmPathCommand::line(plm(p))); }

void VectorPathSink::cubicTo(const QPointF& c1, const QPointF& c2, const QPointF& e)
{
    m_path.commands.append(PlmPathCommand::cubic(plm(c1), plm(c2), plm(e)));
}

void VectorPathSink::closeSubpath() { m_path.commands.append(PlmPathCommand::close()); }

void CanvasPathBuilder::appendRing(PathSink& sink, const QList<PlmPoint>& ring, bool closing,
                                   const QTransform& t)
{
    if (ring.isEmpty())
        return;
    sink.moveTo(mapped(t, ring.first()));
    for (qsizetype i = 1; i < ring.size(); ++i)
        sink.lineTo(mapped(t, ring[i]));
    if (closing)
        sink.closeSubpath();
}

void CanvasPathBuilder::appendPolygon(PathSink& sink, const PlmPolygon& polygon, const QTransform& t)
{
    appendRing(sink, polygon.exterior, true, t);
    for (const QList<PlmPoint>& hole : polygon.holes)
        appendRing(sink, hole, true, t);
}

void CanvasPathBuilder::appendArc(PathSink& sink, const PlmPathArc& arc, const QTransform& t)
{
    if (!std::isfinite(arc.start) || !std::isfinite(arc.sweep))
        return;
    // No segment spans more than 45°; a stored sweep is at most one full turn,
    // the bound only guards against unchecked input.
    const double quarter = std::numbers::pi / 4;
    const int n = int(std::clamp(std::ceil(std::abs(arc.sweep) / quarter), 1.0, 4096.0));
    const double step = arc.sweep / n;
    const double k = 4.0 / 3.0 * std::tan(step / 4);
    auto at = [&](double th) {
        return PlmPoint{arc.center.x + arc.axisX.x * std::cos(th) + arc.axisY.x * std::sin(th),
                        arc.center.y + arc.axisX.y * std::cos(th) + arc.axisY.y * std::sin(th)};
    };
    auto derivative = [&](double th) {
        return PlmPoint{-arc.axisX.x * std::sin(th) + arc.axisY.x * std::cos(th),
                        -arc.axisX.y * std::sin(th) + arc.axisY.y * std::cos(th)};
    };
    for (int i = 0; i < n; ++i) {
        const double a0 = arc.start + step * i;
        const double a1 = a0 + step;
        const PlmPoint p0 = at(a0), p1 = at(a1), d0 = derivative(a0), d1 = derivative(a1);
        sink.cubicTo(mapped(t, {p0.x + k * d0.x, p0.y + k * d0.y}), mapped(t, {p1.x - k * d1.x, p1.y - k * d1.y}),
                     mapped(t, p1));
    }
}

void CanvasPathBuilder::appendCommands(PathSink& sink, const PlmVectorPath& path, const QTransform& t)
{
    for (const PlmPathCommand& command : path.commands) {
        switch (command.kind()) {
        case PlmPathCommand::Kind::move:
            sink.moveTo(mapped(t, command.asMove()->point));
            break;
        case PlmPathCommand::Kind::line:
            sink.lineTo(mapped(t, command.asLine()->point));
            break;
        case PlmPathCommand::Kind::cubic: {
            const PlmPathCubic* c = command.asCubic();
            sink.cubicTo(mapped(t, c->control1), mapped(t, c->control2), mapped(t, c->end));
            break;
        }
        case PlmPathCommand::Kind::close:
            sink.closeSubpath();
            break;
        case PlmPathCommand::Kind::arc:
            appendArc(sink, *command.asArc(), t);
            break;
        }
    }
}

QPainterPath CanvasPathBuilder::textOutline(const PlmText& text, const Attributes& attributes)
{
    const bool bold = TextOutline::isBoldWeight(attributes.value(QStringLiteral("text.font-weight"), QStringLiteral("0")));
    const bool italic = TextOutline::isItalicStyle(attributes.value(QStringLiteral("text.font-style")));
    const QPainterPath outline =
        TextOutline::outline(text.text, text.fontName, text.fontSize, text.anchor, bold, italic);
    if (outline.isEmpty())
        return outline;
    const PlmTransform& m = text.transform;
    return QTransform(m.a, m.b, m.c, m.d, m.tx, m.ty).map(outline);
}

bool CanvasPathBuilder::append(PathSink& sink, const PlmGeometry& geometry, const Attributes& attributes,
                               const QTransform& t)
{
    switch (geometry.kind()) {
    case PlmGeometry::Kind::point:
        return true;
    case PlmGeometry::Kind::polyline:
        appendRing(sink, *geometry.asPolyline(), false, t);
        return true;
    case PlmGeometry::Kind::polygon:
        appendPolygon(sink, *geometry.asPolygon(), t);
        return true;
    case PlmGeometry::Kind::multipolygon:
        for (const PlmPolygon& polygon : *geometry.asMultipolygon())
            appendPolygon(sink, polygon, t);
        return true;
    case PlmGeometry::Kind::path:
        appendCommands(sink, *geometry.asPath(), t);
        return geometry.asPath()->evenOdd;
    case PlmGeometry::Kind::text: {
        const QPainterPath outline = textOutline(*geometry.asText(), attributes);
        if (outline.isEmpty())
            return true;
        sink.addOutline(t.map(outline));
        return false;
    }
    case PlmGeometry::Kind::group:
        for (const PlmEntity& member : *geometry.asGroup())
            append(sink, member.geometry, member.attributes, t);
        return true;
    }
    return true;
}

QPainterPath CanvasPathBuilder::painterPath(const PlmGeometry& geometry, const Attributes& attributes,
                                            const QTransform& t)
{
    QPainterPath path;
    // Rings are most of a map: their elements are known ahead, one allocation each.
    qsizetype elements = 0;
    auto countPolygon = [&](const PlmPolygon& polygon) {
        elements += polygon.exterior.size() + 1;
        for (const QList<PlmPoint>& hole : polygon.holes)
            elements += hole.size() + 1;
    };
    if (const PlmPolygon* polygon = geometry.asPolygon())
        countPolygon(*polygon);
    else if (const auto* polygons = geometry.asMultipolygon())
        for (const PlmPolygon& p : *polygons)
            countPolygon(p);
    if (elements > 0 && elements < (1 << 24))
        path.reserve(int(elements));
    PainterPathSink sink(path);
    const bool evenOdd = append(sink, geometry, attributes, t);
    path.setFillRule(evenOdd ? Qt::OddEvenFill : Qt::WindingFill);
    return path;
}

PlmVectorPath CanvasPathBuilder::vectorPath(const PlmGeometry& geometry, const Attributes& attributes,
                                            const QTransform& t)
{
    PlmVectorPath path;
    VectorPathSink sink(path);
    path.evenOdd = append(sink, geometry, attributes, t);
    return path;
}

QPainterPath CanvasPathBuilder::toPainterPath(const PlmVectorPath& path)
{
    QPainterPath result;
    PainterPathSink sink(result);
    appendCommands(sink, path, QTransform());
    result.setFillRule(path.evenOdd ? Qt::OddEvenFill : Qt::WindingFill);
    return result;
}

QRectF CanvasPathBuilder::bounds(const PlmVectorPath& path)
{
    if (path.commands.isEmpty())
        return QRectF();
    const QPainterPath p = toPainterPath(path);
    if (p.elementCount() == 0)
        return QRectF();
    return p.boundingRect();
}
