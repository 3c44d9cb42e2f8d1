#pragma once

#include "model/PlmEntityList.h"
#include "model/PlmMap.h"
#include "model/PlmPoint.h"

#include <QMap>
#include <QString>
#include <optional>

// Whether a base map is in WGS84 longitude/latitude, and the ground length of a horizontal
// segment of such a map, for the scale bar and the SVG export. No length is ever guessed for a
// map whose coordinates are not declared geographic.
namespace PlmSpatialDecoration {

// Whether a point can be a longitude and latitude: finite, within ±180 × ±90 give or take a
// writer's rounding (a billionth of a degree).
bool isLongitudeLatitude(const PlmPoint& p);

// True when the metadata declares "longitude/latitude WGS84 (sans reprojection)", every extent
// point is a longitude and latitude, and an optional "crs" (GeoJSON) names CRS84 or EPSG:4326.
bool isGeographic(const PlmEntityList& entities, const QMap<QString, QString>& metadata);
bool isGeographic(const PlmMap& map);

// The WGS84 ground length in metres of the segment from `from` to `to` (x longitude, y
// latitude) on one parallel, or none when the map is not geographic, the view is too wide
// (visibleSpan: x the longitude span, at most 20°; y the latitude span, at most 15°), the
// segment leaves ±180 × ±80, is not horizontal, is empty or spans more than 5°.
std::optional<double> groundDistance(const PlmEntityList& entities,
                                     const QMap<QString, QString>& metadata, const PlmPoint& from,
                                     const PlmPoint& to, const PlmPoint& visibleSpan);
std::optional<double> groundDistance(const PlmMap& map, const PlmPoint& from, const PlmPoint& to,
                                     const PlmPoint& visibleSpan);

} // namespace PlmSpatialDecoration
