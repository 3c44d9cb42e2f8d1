#include "canvas/VectorCanvas.h"

#include "canvas/CanvasPathBuilder.h"
#include "desktop/ViewHost.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPalette>

#include <cmath>
#include <numbers>

namespace {

constexpr double kFlat = 0.001;       // map units under which a box or a drawing is flat
constexpr int kMaxGridLines = 500;    // per direction
constexpr double kHandleSide = 8;     // view points

} // namespace

QString VectorCanvas::drawingName(DrawingTool tool)
{
    switch (tool) {
    case DrawingTool::rectangle: return QStringLiteral("Rectangle");
    case DrawingTool::ellipse: return QStringLiteral("Ellipse");
    case DrawingTool::polygon: return QStringLiteral("Polygone");
    case DrawingTool::polyline: return QStringLiteral("Tracé");
    case DrawingTool::line: return QStringLiteral("Ligne");
    default: return QStringLiteral("Forme");
    }
}

void VectorCanvas::drawingToolDidChange()
{
    drawingPoints.clear();
    drawingEnd.reset();
    setNeedsDisplay();
    // The crosshair over the view while a creation tool is chosen.
    if (ViewHost* h = host()) {
        if (creationEnabled && m_drawingTool != DrawingTool::selection)
            h->setCursor(Qt::CrossCursor);
        else
            h->unsetCursor();
    }
    if (onDrawingToolChange)
        onDrawingToolChange();
}

std::optional<PlmGeometry> VectorCanvas::drawingGeometry() const
{
    if (drawingPoints.isEmpty())
        return std::nullopt;
    const PlmPoint first = drawingPoints.first();
    const PlmPoint end = drawingEnd ? *drawingEnd : drawingPoints.last();
    const double x0 = first.x, y0 = first.y, x1 = end.x, y1 = end.y;
    switch (m_drawingTool) {
    case DrawingTool::rectangle: {
        PlmPolygon polygon;
        polygon.exterior = {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}};
        return PlmGeometry::polygon(polygon);
    }
    case DrawingTool::ellipse: {
        const PlmPoint centre{(x0 + x1) / 2, (y0 + y1) / 2};
        PlmVectorPath path;
        path.commands = {PlmPathCommand::move({std::max(x0, x1), centre.y}),
                         PlmPathCommand::arc(centre, {std::abs(x1 - x0) / 2, 0}, {0, std::abs(y1 - y0) / 2}, 0,
                                             2 * std::numbers::pi),
                         PlmPathCommand::close()};
        path.evenOdd = false;
        return PlmGeometry::path(path);
    }
    case DrawingTool::polygon: {
        PlmPolygon polygon;
        polygon.exterior = drawingPoints;
        return PlmGeometry::polygon(polygon);
    }
    case DrawingTool::polyline:
        return PlmGeometry::polyline(drawingPoints);
    case DrawingTool::line:
        return PlmGeometry::polyline({{x0, y0}, {x1, y1}});
    default:
        return std::nullopt;
    }
}

void VectorCanvas::finishDrawing()
{
    auto discard = [this] {
        drawingPoints.clear();
        drawingEnd.reset();
        setNeedsDisplay();
    };
    if ((m_drawingTool == DrawingTool::rectangle || m_drawingTool == DrawingTool::ellipse) && !drawingPoints.isEmpty()
        && drawingEnd
        && (std::abs(drawingEnd->x - drawingPoints.first().x) < kFlat
            || std::abs(drawingEnd->y - drawingPoints.first().y) < kFlat)) {
        discard();
        return;
    }
    const std::optional<PlmGeometry> geometry = drawingGeometry();
    if (!geometry) {
        discard();
        return;
    }
    const bool enough = m_drawingTool == DrawingTool::polygon ? drawingPoints.size() >= 3
        : m_drawingTool == DrawingTool::polyline                ? drawingPoints.size() >= 2
                                                                : drawingEnd.has_value();
    if (!enough) {
        discard();
        return;
    }
    const QList<PlmPoint> extent = geometry->extentPoints();
    const bool spread = std::any_of(extent.begin(), extent.end(), [&](const PlmPoint& q) {
        return std::hypot(q.x - extent.first().x, q.y - extent.first().y) > kFlat;
    });
    if (!spread) {
        discard();
        return;
    }
    const QString name = drawingName(m_drawingTool);
    drawingPoints.clear();
    drawingEnd.reset();
    if (onCreate)
        onCreate(*geometry, name);
    setNeedsDisplay();
}

void VectorCanvas::makeTextGeometry(const PlmPoint& at, const QString& text)
{
    if (text.isEmpty() || !onCreate)
        return;
    PlmText t;
    t.text = text;
    t.fontName = QStringLiteral("Helvetica");
    t.fontSize = 18;
    t.transform = PlmTransform{1, 0, 0, m_yAxisSign, at.x, at.y};
    t.anchor = QStringLiteral("start");
    onCreate(PlmGeometry::text(t), text);
}

QRectF VectorCanvas::creationSelectionBounds()
{
    QRectF united;
    bool has = false;
    if (creationSelection.isEmpty())
        return united;
    for (int index : topLevelIndices(creationSelection)) {
        const PlmEntity& e = m_map.entities.at(index);
        QRectF r;
        if (const PlmPoint* p = e.geometry.asPoint()) {
            const double radius = pointRadiusInView(e);
            r = QRectF(viewPoint(QPointF(p->x, p->y)) - QPointF(radius, radius), QSizeF(2 * radius, 2 * radius));
        } else {
            r = CanvasPathBuilder::toPainterPath(path(e.geometry, e.attributes)).boundingRect();
        }
        // QRectF's union skips empty rectangles: a flat line would be lost.
        united = !has ? r
                      : QRectF(QPointF(std::min(united.left(), r.left()), std::min(united.top(), r.top())),
                               QPointF(std::max(united.right(), r.right()), std::max(united.bottom(), r.bottom())));
        has = true;
    }
    return united;
}

double VectorCanvas::gridSpacing(double step, double scale)
{
    // Lines at least about 8 points apart on screen.
    return std::max(step * std::ceil(8 / std::max(step * scale, 0.01)), step);
}

void VectorCanvas::drawGrid(QPainter& painter)
{
    if (!(gridStep > 0) || !std::isfinite(gridStep) || !(m_scale > 0))
        return;
    const QRectF b = bounds();
    const QPointF a = mapPoint(QPointF(0, 0)), c = mapPoint(QPointF(b.width(), b.height()));
    const double minX = std::min(a.x(), c.x()), maxX = std::max(a.x(), c.x());
    const double minY = std::min(a.y(), c.y()), maxY = std::max(a.y(), c.y());
    const double s = gridSpacing(gridStep, m_scale);
    if (!std::isfinite(s) || !std::isfinite(minX) || !std::isfinite(minY) || !std::isfinite(maxX) || !std::isfinite(maxY))
        return;
    QPainterPath lines;
    const double startX = s * std::floor(minX / s), startY = s * std::floor(minY / s);
    for (int k = 0; k < kMaxGridLines && startX + k * s <= maxX; ++k) {
        lines.moveTo(startX + k * s, minY);
        lines.lineTo(startX + k * s, maxY);
    }
    for (int k = 0; k < kMaxGridLines && startY + k * s <= maxY; ++k) {
        lines.moveTo(minX, startY + k * s);
        lines.lineTo(maxX, startY + k * s);
    }
    QColor colour = QGuiApplication::palette().color(QPalette::Mid);
    colour.setAlphaF(0.35f);
    painter.save();
    painter.setPen(QPen(colour, 0.5));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(mapToViewTransform().map(lines));
    painter.restore();
}

void VectorCanvas::drawCreationOverlay(QPainter& painter)
{
    if (!creationEnabled || rendersForExport)
        return;
    if (showsGrid)
        drawGrid(painter);
    painter.save();
    auto handle = [&](const QPointF& at) {
        painter.drawRect(QRectF(at.x() - kHandleSide / 2, at.y() - kHandleSide / 2, kHandleSide, kHandleSide));
    };
    if (!drawingPoints.isEmpty()) {
        if (const std::optional<PlmGeometry> geometry = drawingGeometry()) {
            QPen pen(accentColor, 1);
            pen.setDashPattern({4, 3});
            pen.setDashOffset(0);
            painter.setPen(pen);
            painter.setBrush(Qt::NoBrush);
            painter.drawPath(CanvasPathBuilder::toPainterPath(path(*geometry, {})));
        }
        painter.setPen(Qt::NoPen);
        painter.setBrush(accentColor);
        for (const PlmPoint& p : drawingPoints)
            painter.drawEllipse(viewPoint(QPointF(p.x, p.y)), 3, 3);
    }
    if (m_drawingTool == DrawingTool::selection) {
        const QRectF frame = creationSelectionBounds();
        if (!frame.isNull()) {
            painter.setPen(QPen(accentColor, 1));
            painter.setBrush(Qt::NoBrush);
            painter.drawRect(frame);
            painter.setPen(Qt::NoPen);
            painter.setBrush(accentColor);
            for (const QPointF& corner : {frame.topLeft(), frame.topRight(), frame.bottomRight(), frame.bottomLeft()})
                handle(corner);
        }
    }
    if (m_drawingTool == DrawingTool::vertices && selectedIndex && *selectedIndex >= 0
        && *selectedIndex < m_map.entities.size()) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(accentColor);
        for (const PlmPoint& v : editableVertices(m_map.entities.at(*selectedIndex).geometry))
            handle(viewPoint(QPointF(v.x, v.y)));
    }
    painter.restore();
}
