#pragma once

#include "model/PlmEntity.h"
#include "model/PlmMap.h"

#include <QList>
#include <QString>

// Small builders for map tests.
namespace PlmMapTest {

inline PlmStyle plainStyle()
{
    return PlmStyle(PlmColor{0, 0, 0, 1}, std::nullopt, 1, 3);
}

inline PlmStyle filledStyle()
{
    return PlmStyle(PlmColor{0, 0, 0, 1}, PlmColor{0.5, 0.25, 1, 1}, 1, 3);
}

inline QList<PlmPoint> square(double x, double y, double size)
{
    return {{x, y}, {x + size, y}, {x + size, y + size}, {x, y + size}};
}

inline PlmEntity pointEntity(const QString& id, PlmPoint p = {1, 2})
{
    return PlmEntity(id, QStringLiteral("Point ") + id, PlmGeometry::point(p), plainStyle());
}

inline PlmEntity polygonEntity(const QString& id, double x = 0, double y = 0)
{
    return PlmEntity(id, id, PlmGeometry::polygon(PlmPolygon{square(x, y, 10), {}}), filledStyle());
}

inline PlmEntity groupEntity(const QString& id, const PlmEntityList& members)
{
    return PlmEntity(id, id, PlmGeometry::group(members), plainStyle());
}

inline PlmVectorPath closedSquarePath()
{
    PlmVectorPath path;
    path.commands = {PlmPathCommand::move({0, 0}), PlmPathCommand::line({1, 0}),
                     PlmPathCommand::line({1, 1}), PlmPathCommand::close()};
    return path;
}

inline PlmEntity pathEntity(const QString& id, const PlmVectorPath& path = closedSquarePath())
{
    return PlmEntity(id, id, PlmGeometry::path(path), filledStyle());
}

// Groups nested `levels` deep around one point: the point sits at depth `levels`.
inline PlmEntity nestedGroups(int levels, const PlmEntity& innermost)
{
    PlmEntity entity = innermost;
    for (int i = levels; i > 0; --i)
        entity = groupEntity(QStringLiteral("g%1").arg(i), PlmEntityList{entity});
    return entity;
}

inline PlmMap mapOf(const PlmEntityList& entities)
{
    return PlmMap(QStringLiteral("Carte"), entities);
}

} // namespace PlmMapTest
