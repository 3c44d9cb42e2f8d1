#include "canvas/VectorCanvas.h"

#include "canvas/CanvasPathBuilder.h"


#include <algorithm>
#include <cmath>

namespace {

constexpr double kMinimumPointRadius = 6;   // points are hit within at least 6 points
constexpr double kMinimumStrokeWidth = 6;   // lines within at least 3 points on each side

double segmentDistance(const QPointF& p, const QPointF& a, const QPointF& b)
{
    const double dx = b.x() - a.x(), dy = b.y() - a.y();
    const double len2 = dx * dx + dy * dy;
    const double t = len2 > 0 ? std::clamp(((p.x() - a.x()) * dx + (p.y() - a.y()) * dy) / len2, 0.0, 1.0) : 0.0;
    return std::hypot(a.x() + t * dx - p.x(), a.y() + t * dy - p.y());
}

// Whether a point lies inside the outline of the path stroked at a width of
// max(lineWidth, 6) with round caps and joins, the path taken through toView.
// With round caps and joins that outline is every point within half the
// width of the path, so the distance to its segments decides, without
// building the outline.
bool strokeContains(const QPainterPath& path, const QTransform& toView, double lineWidth, const QPointF& p)
{
    const double half = std::max(std::isfinite(lineWidth) ? lineWidth : 0.0, kMinimumStrokeWidth) / 2;
    const int n = path.elementCount();
    bool curves = false;
    for (int i = 0; i < n && !curves; ++i)
        curves = path.elementAt(i).type == QPainterPath::CurveToElement;
    if (curves) {
        for (const QPolygonF& polygon : path.toSubpathPolygons(toView)) {
            if (polygon.size() == 1 && std::hypot(polygon[0].x() - p.x(), polygon[0].y() - p.y()) <= half)
                return true;
            for (qsizetype i = 0; i + 1 < polygon.size(); ++i)
                if (segmentDistance(p, polygon[i], polygon[i + 1]) <= half)
                    return true;
        }
        return false;
    }
    QPointF last;
    for (int i = 0; i < n; ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        const QPointF q = toView.map(QPointF(e.x, e.y));
        if (e.type == QPainterPath::MoveToElement) {
            // A lone point is stroked as a dot by round caps.
            const bool lone = i + 1 == n || path.elementAt(i + 1).type == QPainterPath::MoveToElement;
            if (lone && std::hypot(q.x() - p.x(), q.y() - p.y()) <= half)
                return true;
        } else if (segmentDistance(p, last, q) <= half) {
            return true;
        }
        last = q;
    }
    return false;
}

// Fill test with open subpaths counted as closed, in the path's own rule,
// made in the path's own coordinates when the transform can be inverted.
bool fillContains(const QPainterPath& path, const QTransform& toView, const QPointF& p)
{
    bool invertible = false;
    const QTransform back = toView.inverted(&invertible);
    if (invertible)
        return path.contains(back.map(p));
    return toView.map(path).contains(p);
}

} // namespace

bool VectorCanvas::hits(const PlmEntity& e, const QPointF& p)
{
    if (e.hidden())
        return false;
    if (const PlmPoint* point = e.geometry.asPoint()) {
        const QPointF c = viewPoint(QPointF(point->x, point->y));
        const double r = std::max(pointRadiusInView(e), kMinimumPointRadius);
        return std::hypot(p.x() - c.x(), p.y() - c.y()) <= r;
    }
    if (const PlmEntityList* members = e.geometry.asGroup()) {
        for (const PlmEntity& member : *members)
            if (hits(member, p))
                return true;
        return false;
    }
    if (e.clipPaths) {
        for (const PlmVectorPath& clip : *e.clipPaths) {
            const QPainterPath c = CanvasPathBuilder::toPainterPath(path(PlmGeometry::path(clip), {}));
            if (!c.contains(p))
                return false;
        }
    }
    const QPainterPath drawable = CanvasPathBuilder::toPainterPath(path(e.geometry, e.attributes));
    if (fillContains(drawable, QTransform(), p))
        return true;
    return strokeContains(drawable, QTransform(), e.style.lineWidth, p);
}

bool VectorCanvas::hitsLeaf(const CanvasLeaf& leaf, const QPointF& p, const QTransform& toView)
{
    if (!leaf.visible)
        return false;
    const PlmEntity& e = leaf.entity;
    if (leaf.isPoint) {
        const QPointF c = toView.map(leaf.point);
        const double r = std::max(pointRadiusInView(e), kMinimumPointRadius);
        return std::hypot(p.x() - c.x(), p.y() - c.y()) <= r;
    }
    for (const QPainterPath& clip : leaf.clips)
        if (!fillContains(clip, toView, p))
            return false;
    // Cheap rejection before the exact tests: the leaf's box grown by the
    // stroke tolerance.
    if (leaf.hasBounds) {
        const double half = std::max(std::isfinite(e.style.lineWidth) ? e.style.lineWidth : 0.0, kMinimumStrokeWidth) / 2 + 1;
        if (!toView.mapRect(leaf.bounds).adjusted(-half, -half, half, half).contains(p))
            return false;
    }
    if (fillContains(leaf.path, toView, p))
        return true;
    return strokeContains(leaf.path, toView, e.style.lineWidth, p);
}

bool VectorCanvas::hitsCachedEntity(int index, const QPointF& p, const QTransform& toView)
{
    const CanvasEntry& entry = m_cache.entry(index);
    if (entry.entity.hidden())
        return false;
    for (const CanvasLeaf& leaf : entry.leaves)
        if (hitsLeaf(leaf, p, toView))
            return true;
    return false;
}

std::optional<VectorCanvas::IndexPath> VectorCanvas::indexPath(const QPointF& p)
{
    if (editingGroup && isPathVisible(*editingGroup)) {
        if (const std::optional<PlmEntity> group = entity(*editingGroup)) {
            if (const PlmEntityList* members = group->geometry.asGroup()) {
                for (qsizetype i = members->size() - 1; i >= 0; --i) {
                    if (hits(members->at(i), p)) {
                        IndexPath result = *editingGroup;
                        result.append(int(i));
                        return result;
                    }
                }
                return std::nullopt;
            }
        }
    }
    if (!(m_scale > 0) || !std::isfinite(m_scale))
        return std::nullopt;
    // Candidates from the grid: the click grown by the largest tolerance,
    // mapped back to map units.
    const QTransform toView = mapToViewTransform();
    bool invertible = false;
    const QTransform toMap = toView.inverted(&invertible);
    QList<int> candidates;
    if (invertible) {
        const double tolerance = std::max({m_cache.maxLineWidth(), kMinimumStrokeWidth}) / 2
            + std::max({m_cache.maxScreenRadius(), m_cache.maxMapRadius() * m_scale, kMinimumPointRadius}) + 2;
        // The tolerance is in view points before the block transform; widen it by
        // the block's largest stretch so that it stays conservative.
        const double stretch = std::max({1.0, std::hypot(blockTransform.m11(), blockTransform.m12()),
                                         std::hypot(blockTransform.m21(), blockTransform.m22())});
        const double t = tolerance * stretch;
        candidates = m_cache.candidates(toMap.mapRect(QRectF(p.x() - t, p.y() - t, 2 * t, 2 * t)));
    } else {
        for (int i = 0; i < m_cache.size(); ++i)
            candidates.append(i);
    }
    for (auto it = candidates.crbegin(); it != candidates.crend(); ++it)
        if (hitsCachedEntity(*it, p, toView))
            return IndexPath{*it};
    return std::nullopt;
}
