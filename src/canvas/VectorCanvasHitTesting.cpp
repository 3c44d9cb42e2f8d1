#include "canvas/VectorCanvas.h"

#include "canvas/CanvasPathBuilder.h"

#include <QPainterPathStroker>

#include <algorithm>
#include <cmath>

namespace {

constexpr double kMinimumPointRadius = 6;   // points are hit within at least 6 points
constexpr double kMinimumStrokeWidth = 6;   // lines within at least 3 points on each side

bool strokeContains(const QPainterPath& viewPath, double lineWidth, const QPointF& p)
{
    QPainterPathStroker stroker;
    stroker.setWidth(std::max(std::isfinite(lineWidth) ? lineWidth : 0.0, kMinimumStrokeWidth));
    stroker.setCapStyle(Qt::RoundCap);
    stroker.setJoinStyle(Qt::RoundJoin);
    stroker.setMiterLimit(10);
    QPainterPath outline = stroker.createStroke(viewPath);
    outline.setFillRule(Qt::WindingFill);
    return outline.contains(p);
}

// Fill test with open subpaths counted as closed, in the path's own rule.
bool fillContains(const QPainterPath& viewPath, const QPointF& p)
{
    return viewPath.contains(p);
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
    if (fillContains(drawable, p))
        return true;
    return strokeContains(drawable, e.style.lineWidth, p);
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
        if (!toView.map(clip).contains(p))
            return false;
    // Cheap rejection before the exact tests: the leaf's box grown by the
    // stroke tolerance.
    if (leaf.hasBounds) {
        const double half = std::max(std::isfinite(e.style.lineWidth) ? e.style.lineWidth : 0.0, kMinimumStrokeWidth) / 2 + 1;
        if (!toView.mapRect(leaf.bounds).adjusted(-half, -half, half, half).contains(p))
            return false;
    }
    const QPainterPath viewPath = toView.map(leaf.path);
    if (fillContains(viewPath, p))
        return true;
    return strokeContains(viewPath, e.style.lineWidth, p);
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
