// The recursive walks over entities: leaves, areas, locks and transforms.
#include "model/PlmEntity.h"

#include <cmath>

namespace {

void collectLeaves(const PlmEntityList& entities, bool visibleOnly, PlmEntityList& out)
{
    for (qsizetype i = 0; i < entities.size(); ++i) {
        const PlmEntity& entity = entities.at(i);
        if (visibleOnly && entity.hidden())
            continue;
        if (const PlmEntityList* members = entity.geometry.asGroup())
            collectLeaves(*members, visibleOnly, out);
        else
            out.appendFrom(entities, i);
    }
}

} // namespace

PlmEntityList PlmEntity::leafEntities() const
{
    if (const PlmEntityList* members = geometry.asGroup())
        return leafEntities(*members);
    return PlmEntityList{*this};
}

PlmEntityList PlmEntity::leafEntities(const PlmEntityList& entities)
{
    PlmEntityList leaves;
    collectLeaves(entities, false, leaves);
    return leaves;
}

PlmEntityList PlmEntity::visibleLeafEntities() const
{
    if (hidden())
        return {};
    if (const PlmEntityList* members = geometry.asGroup())
        return visibleLeafEntities(*members);
    return PlmEntityList{*this};
}

PlmEntityList PlmEntity::visibleLeafEntities(const PlmEntityList& entities)
{
    PlmEntityList leaves;
    collectLeaves(entities, true, leaves);
    return leaves;
}

bool PlmEntity::isAreaFeature() const
{
    switch (geometry.kind()) {
    case PlmGeometry::Kind::polygon:
    case PlmGeometry::Kind::multipolygon:
        return true;
    case PlmGeometry::Kind::path:
        return style.fill.has_value() && geometry.asPath()->hasClose();
    case PlmGeometry::Kind::group:
        for (const PlmEntity& member : *geometry.asGroup())
            if (member.isAreaFeature())
                return true;
        return false;
    case PlmGeometry::Kind::point:
    case PlmGeometry::Kind::polyline:
    case PlmGeometry::Kind::text:
        return false;
    }
    return false;
}

bool PlmEntity::containsLocked() const
{
    if (locked())
        return true;
    if (const PlmEntityList* members = geometry.asGroup())
        for (const PlmEntity& member : *members)
            if (member.containsLocked())
                return true;
    return false;
}

static void mapPoints(QList<PlmPoint>& points, const PlmTransform& t)
{
    for (PlmPoint& p : points)
        p = t.apply(p);
}

static void mapPolygon(PlmPolygon& polygon, const PlmTransform& t)
{
    mapPoints(polygon.exterior, t);
    for (QList<PlmPoint>& hole : polygon.holes)
        mapPoints(hole, t);
}

void PlmEntity::apply(const PlmTransform& t)
{
    switch (geometry.kind()) {
    case PlmGeometry::Kind::point:
        *geometry.asPoint() = t.apply(*geometry.asPoint());
        style.pointRadius *= std::sqrt(std::abs(t.determinant()));
        break;
    case PlmGeometry::Kind::polyline:
        mapPoints(*geometry.asPolyline(), t);
        break;
    case PlmGeometry::Kind::polygon:
        mapPolygon(*geometry.asPolygon(), t);
        break;
    case PlmGeometry::Kind::multipolygon:
        for (PlmPolygon& polygon : *geometry.asMultipolygon())
            mapPolygon(polygon, t);
        break;
    case PlmGeometry::Kind::path:
        *geometry.asPath() = geometry.asPath()->applying(t);
        break;
    case PlmGeometry::Kind::text: {
        // The text's own transform M becomes "M, then T".
        PlmText& text = *geometry.asText();
        text.transform = text.transform.concatenating(t);
        break;
    }
    case PlmGeometry::Kind::group: {
        PlmEntityList& members = *geometry.asGroup();
        for (qsizetype i = 0; i < members.size(); ++i)
            members.edit(i).apply(t);
        break;
    }
    }
    if (clipPaths)
        for (PlmVectorPath& clip : *clipPaths)
            clip = clip.applying(t);
}

void PlmEntity::translate(double dx, double dy)
{
    apply(PlmTransform::translation(dx, dy));
}
