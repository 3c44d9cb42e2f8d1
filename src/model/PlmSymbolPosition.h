#pragma once

#include "model/PlmGeometry.h"
#include "model/PlmPoint.h"
#include "model/PlmVectorPath.h"

#include <QList>
#include <optional>

// The one point of a geometry at which an automatic mark (a proportional symbol, an entity's
// name label) is placed, in the geometry's own map coordinates. Pure functions: no state, no
// cache, no errors; "no point" is the only failure.
//
// A ring is a list of points read as implicitly closed: its edges are (p0, p1), ...,
// (p(n-1), p0), whether or not the last point repeats the first.
namespace PlmSymbolPosition {

// A point is itself; a line its point halfway along; an area a point inside it (its area
// centroid when that lies inside); a path is flattened into rings first; a text its placement
// point; a group its first area member's anchor, or else its first member's.
std::optional<PlmPoint> anchor(const PlmGeometry& geometry);

// The point halfway along the polyline's length; zero-length segments are skipped. None for
// no points; the first point when the line has no length.
std::optional<PlmPoint> lineMidpoint(const QList<PlmPoint>& points);

// The area centroid of the polygon when it lies inside (and outside every hole); otherwise the
// middle of the widest span found on 17 horizontal scan lines. None for an empty exterior.
std::optional<PlmPoint> interiorPoint(const QList<PlmPoint>& exterior,
                                      const QList<QList<PlmPoint>>& holes);

// Even-odd test with a ray towards +x; false for no point or an empty ring.
bool isInside(const std::optional<PlmPoint>& point, const QList<PlmPoint>& ring);

// Half the cross-product sum over the closed ring's edges (positive counter-clockwise in a
// y-up frame); 0 for an empty ring.
double signedArea(const QList<PlmPoint>& ring);

// The Euclidean length of each segment: one fewer than the points, empty below two points.
QList<double> segmentLengths(const QList<PlmPoint>& points);

// The path's subpaths as rings: cubics as 20 points, arcs as 32 points, open subpaths kept.
QList<QList<PlmPoint>> flattenedRings(const PlmVectorPath& path);

} // namespace PlmSymbolPosition
