#include "model/PlmSpatialDecoration.h"

#include "model/PlmEntity.h"
#include "model/PlmGeometry.h"

#include <GeographicLib/Geodesic.hpp>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <cmath>

namespace PlmSpatialDecoration {

namespace {

const QString coordinatesKey = QStringLiteral("coordinates");
const QString geographicCoordinates = QStringLiteral("longitude/latitude WGS84 (sans reprojection)");
const QString crsKey = QStringLiteral("crs");

constexpr double maximumVisibleLongitudeSpan = 20;
constexpr double maximumVisibleLatitudeSpan = 15;
constexpr double maximumLatitude = 80; // exclusive: close to the poles a parallel means little
constexpr double maximumSegmentSpan = 5;
constexpr double stepSpan = 0.02;
constexpr double sameParallelTolerance = 1e-8;

// A GeoJSON named CRS ({"type": "name", "properties": {"name": …}}) that is WGS84 lon/lat.
bool isGeographicCrs(const QString& text)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(text.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return false;
    const QJsonObject crs = document.object();
    if (crs.isEmpty() || crs.value(QStringLiteral("type")) != QJsonValue(QStringLiteral("name")))
        return false;
    const QJsonValue properties = crs.value(QStringLiteral("properties"));
    if (!properties.isObject() || properties.toObject().isEmpty())
        return false;
    const QJsonValue name = properties.toObject().value(QStringLiteral("name"));
    if (!name.isString())
        return false;
    const QString value = name.toString();
    return value == QLatin1String("urn:ogc:def:crs:OGC:1.3:CRS84")
        || value == QLatin1String("urn:ogc:def:crs:EPSG::4326") || value == QLatin1String("EPSG:4326");
}

// How far past ±180 and ±90 a writer's rounding may put a vertex: Natural Earth's countries
// reach 180.00000000000006. A billionth of a degree is a tenth of a millimetre on the ground;
// anything further is no longitude or latitude.
constexpr double roundingPastBounds = 1e-9;

} // namespace

bool isLongitudeLatitude(const PlmPoint& p)
{
    return std::isfinite(p.x) && std::isfinite(p.y) && std::abs(p.x) <= 180 + roundingPastBounds
        && std::abs(p.y) <= 90 + roundingPastBounds;
}

bool isGeographic(const PlmEntityList& entities, const QMap<QString, QString>& metadata)
{
    if (metadata.isEmpty())
        return false;
    const auto coordinates = metadata.constFind(coordinatesKey);
    if (coordinates == metadata.cend() || *coordinates != geographicCoordinates)
        return false;
    if (entities.isEmpty())
        return false;
    for (const PlmEntity& entity : entities)
        if (!entity.geometry.everyExtentPoint(isLongitudeLatitude))
            return false;
    const auto crs = metadata.constFind(crsKey);
    if (crs == metadata.cend())
        return true;
    return isGeographicCrs(*crs);
}

bool isGeographic(const PlmMap& map)
{
    return isGeographic(map.entities, map.metadata);
}

std::optional<double> groundDistance(const PlmEntityList& entities,
                                     const QMap<QString, QString>& metadata, const PlmPoint& from,
                                     const PlmPoint& to, const PlmPoint& visibleSpan)
{
    if (!isGeographic(entities, metadata))
        return std::nullopt;
    const double spanX = visibleSpan.x;
    const double spanY = visibleSpan.y;
    if (!std::isfinite(spanX) || !(spanX > 0) || spanX > maximumVisibleLongitudeSpan)
        return std::nullopt;
    if (!std::isfinite(spanY) || !(spanY > 0) || spanY > maximumVisibleLatitudeSpan)
        return std::nullopt;
    const double x1 = from.x;
    const double y1 = from.y;
    const double x2 = to.x;
    const double y2 = to.y;
    if (!std::isfinite(x1) || !std::isfinite(x2) || std::abs(x1) > 180 || std::abs(x2) > 180)
        return std::nullopt;
    if (!std::isfinite(y1) || !std::isfinite(y2) || !(std::abs(y1) < maximumLatitude)
        || !(std::abs(y2) < maximumLatitude))
        return std::nullopt;
    if (!(std::abs(y1 - y2) < sameParallelTolerance))
        return std::nullopt;
    const double dx = x1 - x2;
    if (dx == 0 || std::isnan(dx) || std::abs(dx) > maximumSegmentSpan)
        return std::nullopt;

    // Short steps along the parallel: the ground length of the parallel's arc, not the
    // geodesic chord between the ends.
    const int steps = std::max(1, int(std::ceil(std::abs(x2 - x1) / stepSpan)));
    const GeographicLib::Geodesic& geodesic = GeographicLib::Geodesic::WGS84();
    double sum = 0;
    for (int i = 0; i < steps; ++i) {
        const double lon1 = x1 + (x2 - x1) * i / steps;
        const double lon2 = x1 + (x2 - x1) * (i + 1) / steps;
        double metres = 0;
        geodesic.Inverse(y1, lon1, y2, lon2, metres);
        sum += metres;
    }
    if (!std::isfinite(sum) || !(sum > 0))
        return std::nullopt;
    return sum;
}

std::optional<double> groundDistance(const PlmMap& map, const PlmPoint& from, const PlmPoint& to,
                                     const PlmPoint& visibleSpan)
{
    return groundDistance(map.entities, map.metadata, from, to, visibleSpan);
}

} // namespace PlmSpatialDecoration
