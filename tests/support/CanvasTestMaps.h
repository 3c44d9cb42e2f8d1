#pragma once

#include "model/PlmEntity.h"
#include "model/PlmMap.h"

#include <QColor>
#include <QImage>
#include <cmath>

// Small maps for the map view's tests.
namespace CanvasTestMaps {

inline PlmStyle style(PlmColor stroke, std::optional<PlmColor> fill, double lineWidth = 1, double radius = 4)
{
    return PlmStyle(stroke, fill, lineWidth, radius);
}

inline PlmEntity pointEntity(const QString& id, double x, double y, double radius = 4)
{
    return PlmEntity(id, id, PlmGeometry::point({x, y}), style({0, 0, 0, 1}, PlmColor{0, 0, 1, 1}, 1, radius));
}

inline QList<PlmPoint> rect(double x0, double y0, double x1, double y1)
{
    return {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}};
}

inline PlmEntity squareEntity(const QString& id, double x0, double y0, double x1, double y1,
                              std::optional<PlmColor> fill = PlmColor{1, 0, 0, 1}, double lineWidth = 0)
{
    PlmPolygon polygon;
    polygon.exterior = rect(x0, y0, x1, y1);
    return PlmEntity(id, id, PlmGeometry::polygon(polygon), style({0, 0, 0, 1}, fill, lineWidth));
}

inline PlmEntity lineEntity(const QString& id, const QList<PlmPoint>& points, double lineWidth = 1)
{
    return PlmEntity(id, id, PlmGeometry::polyline(points), style({0, 0, 0, 1}, std::nullopt, lineWidth));
}

inline PlmEntity groupEntity(const QString& id, const PlmEntityList& members)
{
    return PlmEntity(id, id, PlmGeometry::group(members), style({0, 0, 0, 1}, std::nullopt));
}

inline PlmEntity locked(PlmEntity entity)
{
    entity.isLocked = true;
    return entity;
}

inline PlmEntity hidden(PlmEntity entity)
{
    entity.isHidden = true;
    return entity;
}

// A binary tree of groups `levels` deep, 2^levels leaves, each a polygon of `vertices` points.
inline PlmEntity groupTree(int levels, int vertices, int& next)
{
    const QString id = QString::number(next++);
    if (levels == 0) {
        PlmPolygon polygon;
        for (int k = 0; k < vertices; ++k)
            polygon.exterior.append({next + std::cos(k * 0.3), std::sin(k * 0.3)});
        return PlmEntity(id, id, PlmGeometry::polygon(polygon), style({0, 0, 0, 1}, PlmColor{0, 0, 1, 1}));
    }
    const PlmEntity first = groupTree(levels - 1, vertices, next);
    return groupEntity(id, {first, groupTree(levels - 1, vertices, next)});
}

// `groupLevels` nested groups (the outermost holding one tree) over 2^(groupLevels-1) leaves:
// the shape of a deeply nested SVG import.
inline PlmMap nestedGroupsMap(int groupLevels, int vertices)
{
    int next = 1;
    return PlmMap(QStringLiteral("Groupes"), {groupEntity(QStringLiteral("0"), {groupTree(groupLevels - 1, vertices, next)})});
}

inline PlmMap mapOf(const PlmEntityList& entities, const QMap<QString, QString>& metadata = {})
{
    return PlmMap(QStringLiteral("test"), entities, metadata);
}

// Colour of an image pixel given in y-up view coordinates.
inline QColor pixelAt(const QImage& image, double x, double y)
{
    return QColor(image.pixel(int(x), image.height() - 1 - int(y)));
}

inline bool isNear(const QColor& a, const QColor& b, int tolerance = 8)
{
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance
        && std::abs(a.blue() - b.blue()) <= tolerance;
}

// The share of pixels of two pictures of one size whose colours differ by more than the
// tolerance in some channel (1 when the sizes differ): antialiased edges may differ a little.
inline double shareOfDifferentPixels(const QImage& a, const QImage& b, int tolerance = 40)
{
    if (a.size() != b.size() || a.isNull())
        return 1;
    const QImage p = a.convertToFormat(QImage::Format_ARGB32);
    const QImage q = b.convertToFormat(QImage::Format_ARGB32);
    qint64 beyond = 0;
    for (int y = 0; y < p.height(); ++y) {
        for (int x = 0; x < p.width(); ++x) {
            const QRgb u = p.pixel(x, y);
            const QRgb v = q.pixel(x, y);
            if (std::abs(qRed(u) - qRed(v)) > tolerance || std::abs(qGreen(u) - qGreen(v)) > tolerance
                || std::abs(qBlue(u) - qBlue(v)) > tolerance)
                ++beyond;
        }
    }
    return double(beyond) / (double(p.width()) * p.height());
}

} // namespace CanvasTestMaps
