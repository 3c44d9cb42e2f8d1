#include "canvas/VectorCanvas.h"

#include "desktop/ViewHost.h"

#include <algorithm>
#include <cmath>

QList<PlmPoint> VectorCanvas::editableVertices(const PlmGeometry& geometry)
{
    if (const QList<PlmPoint>* points = geometry.asPolyline())
        return *points;
    if (const PlmPolygon* polygon = geometry.asPolygon())
        return polygon->exterior;
    return {};
}

PlmPoint VectorCanvas::snapped(const PlmPoint& p) const
{
    // A step of zero or less (or not a number) would give no grid at all.
    if (!snapsToGrid || !(gridStep > 0) || !std::isfinite(gridStep))
        return p;
    return PlmPoint{gridStep * std::round(p.x / gridStep), gridStep * std::round(p.y / gridStep)};
}

double VectorCanvas::segmentDistance(const PlmPoint& p, int segment, const QList<PlmPoint>& points)
{
    if (points.isEmpty() || segment < 0 || segment >= points.size())
        return std::numeric_limits<double>::infinity();
    const PlmPoint a = points.at(segment);
    const PlmPoint b = points.at((segment + 1) % points.size());
    const double bx = b.x - a.x, by = b.y - a.y;
    const double t = std::clamp(((p.x - a.x) * bx + (p.y - a.y) * by) / std::max(bx * bx + by * by, 1e-6), 0.0, 1.0);
    return std::hypot(p.x - (a.x + t * bx), p.y - (a.y + t * by));
}

VectorCanvas::VertexMenu VectorCanvas::vertexMenu(const QPointF& p)
{
    if (!creationEnabled || m_drawingTool != DrawingTool::vertices || !selectedIndex || *selectedIndex < 0
        || *selectedIndex >= m_map.entities.size() || !isEditable(IndexPath{*selectedIndex}, false))
        return VertexMenu::inherited;
    const QList<PlmPoint> vertices = editableVertices(m_map.entities.at(*selectedIndex).geometry);
    if (vertices.size() < 2)
        return VertexMenu::none;
    const QPointF m = mapPoint(p);
    vertexMenuPoint = snapped(PlmPoint{m.x(), m.y()});
    std::optional<int> nearest;
    double best = 0;
    for (qsizetype i = 0; i < vertices.size(); ++i) {
        const QPointF v = viewPoint(QPointF(vertices[i].x, vertices[i].y));
        const double d = std::hypot(v.x() - p.x(), v.y() - p.y());
        if (!nearest || d < best) {
            nearest = int(i);
            best = d;
        }
    }
    vertexMenuIndex = nearest;
    return VertexMenu::shown;
}

void VectorCanvas::editVertex(bool insert)
{
    if (!selectedIndex || !isEditable(IndexPath{*selectedIndex}, false) || !vertexMenuPoint || !vertexMenuIndex)
        return;
    const std::optional<PlmEntity> target = entity(IndexPath{*selectedIndex});
    if (!target)
        return;
    QList<PlmPoint> points = editableVertices(target->geometry);
    const int k = *vertexMenuIndex;
    if (k < 0 || k >= points.size())
        return;
    const bool isPolygon = target->geometry.asPolygon() != nullptr;
    if (insert) {
        const qsizetype segments = isPolygon ? points.size() : points.size() - 1;
        if (segments < 1)
            return;
        int nearest = 0;
        double best = segmentDistance(*vertexMenuPoint, 0, points);
        for (int i = 1; i < segments; ++i) {
            const double d = segmentDistance(*vertexMenuPoint, i, points);
            if (d < best) {
                best = d;
                nearest = i;
            }
        }
        points.insert(nearest + 1, *vertexMenuPoint);
    } else {
        if (points.size() <= (isPolygon ? 3 : 2))
            return;
        points.removeAt(k);
    }
    PlmEntity edited = *target;
    if (isPolygon) {
        PlmPolygon polygon = *target->geometry.asPolygon();
        polygon.exterior = points;
        edited.geometry = PlmGeometry::polygon(polygon);
    } else {
        edited.geometry = PlmGeometry::polyline(points);
    }
    if (onCreationEdit)
        onCreationEdit({{*selectedIndex, edited}},
                       insert ? QStringLiteral("Insérer un sommet") : QStringLiteral("Supprimer un sommet"));
}

void VectorCanvas::rightMouseDown(const ViewMouseEvent& e)
{
    if (!isInteractive) {
        ViewNode::rightMouseDown(e);
        return;
    }
    switch (vertexMenu(e.location)) {
    case VertexMenu::inherited:
        ViewNode::rightMouseDown(e);
        return;
    case VertexMenu::none:
        return;
    case VertexMenu::shown:
        break;
    }
    if (!host())
        return;
    ViewContextMenu::popUp(*this,
                           m_vertexMenu.make(*this, {{insertVertexTitle(), [this] { editVertex(true); }},
                                                     {deleteVertexTitle(), [this] { editVertex(false); }}}),
                           e);
}
