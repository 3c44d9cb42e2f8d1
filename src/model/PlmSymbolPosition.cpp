#include "model/PlmSymbolPosition.h"

#include "model/PlmEntity.h"

#include <algorithm>
#include <cmath>
#include <variant>

namespace PlmSymbolPosition {

namespace {

// Validated maps nest groups at most 64 levels; anything deeper has no anchor rather than
// exhausting the stack.
constexpr int maximumGroupDepth = 256;

constexpr int cubicSteps = 20;
constexpr int arcSteps = 32;
constexpr int scanLineCount = 17;

PlmPoint plus(PlmPoint a, PlmPoint b) { return {a.x + b.x, a.y + b.y}; }
PlmPoint minus(PlmPoint a, PlmPoint b) { return {a.x - b.x, a.y - b.y}; }
PlmPoint times(PlmPoint p, double k) { return {p.x * k, p.y * k}; }

// Net area of a polygon: its exterior's absolute area less its holes'.
double netArea(const PlmPolygon& polygon)
{
    double area = std::abs(signedArea(polygon.exterior));
    for (const QList<PlmPoint>& hole : polygon.holes)
        area -= std::abs(signedArea(hole));
    return area;
}

std::optional<PlmPoint> multipolygonAnchor(const QList<PlmPolygon>& polygons)
{
    if (polygons.isEmpty())
        return std::nullopt;
    qsizetype best = 0;
    double bestArea = netArea(polygons.first());
    for (qsizetype i = 1; i < polygons.size(); ++i) {
        const double area = netArea(polygons.at(i));
        if (area > bestArea) { // ties keep the earlier polygon
            best = i;
            bestArea = area;
        }
    }
    return interiorPoint(polygons.at(best).exterior, polygons.at(best).holes);
}

std::optional<PlmPoint> pathAnchor(const PlmVectorPath& path)
{
    const QList<QList<PlmPoint>> rings = flattenedRings(path);
    if (rings.isEmpty())
        return std::nullopt;
    qsizetype outerIndex = 0;
    double outerArea = std::abs(signedArea(rings.first()));
    for (qsizetype i = 1; i < rings.size(); ++i) {
        const double area = std::abs(signedArea(rings.at(i)));
        if (area > outerArea) {
            outerIndex = i;
            outerArea = area;
        }
    }
    const QList<PlmPoint>& outer = rings.at(outerIndex);
    const double outerSigned = signedArea(outer);
    if (outerSigned == 0 || std::isnan(outerSigned))
        return lineMidpoint(outer); // no area: read the ring as an open line
    QList<QList<PlmPoint>> holes;
    for (qsizetype i = 0; i < rings.size(); ++i) {
        const QList<PlmPoint>& ring = rings.at(i);
        if (i == outerIndex || ring.isEmpty() || ring == outer)
            continue;
        if (isInside(ring.first(), outer))
            holes.append(ring);
    }
    return interiorPoint(outer, holes);
}

std::optional<PlmPoint> anchor(const PlmGeometry& geometry, int depth);

std::optional<PlmPoint> groupAnchor(const PlmEntityList& members, int depth)
{
    if (members.isEmpty() || depth >= maximumGroupDepth)
        return std::nullopt;
    for (const PlmEntity& member : members) {
        if (!member.isAreaFeature())
            continue;
        if (std::optional<PlmPoint> point = anchor(member.geometry, depth + 1))
            return point;
        break; // the first area member decides alone
    }
    return anchor(members.first().geometry, depth + 1);
}

std::optional<PlmPoint> anchor(const PlmGeometry& geometry, int depth)
{
    switch (geometry.kind()) {
    case PlmGeometry::Kind::point:
        return *geometry.asPoint();
    case PlmGeometry::Kind::polyline:
        return lineMidpoint(*geometry.asPolyline());
    case PlmGeometry::Kind::polygon:
        return interiorPoint(geometry.asPolygon()->exterior, geometry.asPolygon()->holes);
    case PlmGeometry::Kind::multipolygon:
        return multipolygonAnchor(*geometry.asMultipolygon());
    case PlmGeometry::Kind::path:
        return pathAnchor(*geometry.asPath());
    case PlmGeometry::Kind::text: {
        // The transform applied to the origin, written out so that non-finite coefficients
        // give what the formula gives.
        const PlmTransform& t = geometry.asText()->transform;
        return PlmPoint{t.a * 0.0 + t.c * 0.0 + t.tx, t.b * 0.0 + t.d * 0.0 + t.ty};
    }
    case PlmGeometry::Kind::group:
        return groupAnchor(*geometry.asGroup(), depth);
    }
    return std::nullopt;
}

// The middle of the widest span between pairs of crossings on 17 horizontal lines.
PlmPoint scanLinePoint(const QList<PlmPoint>& exterior, const QList<QList<PlmPoint>>& holes)
{
    double minY = exterior.first().y;
    double maxY = exterior.first().y;
    for (const PlmPoint& p : exterior) {
        if (p.y < minY)
            minY = p.y;
        if (p.y > maxY)
            maxY = p.y;
    }
    PlmPoint best = exterior.first();
    double bestWidth = 0;
    QList<double> crossings;
    const auto collect = [&crossings](const QList<PlmPoint>& ring, double y) {
        const qsizetype n = ring.size();
        for (qsizetype i = 0; i < n; ++i) {
            const PlmPoint& a = ring.at(i);
            const PlmPoint& b = ring.at((i + 1) % n);
            if ((y < a.y) != (y < b.y))
                crossings.append(a.x + (y - a.y) * (b.x - a.x) / (b.y - a.y));
        }
    };
    for (int i = 0; i < scanLineCount; ++i) {
        const double y = minY + (maxY - minY) * (i + 0.5) / scanLineCount;
        crossings.clear();
        collect(exterior, y);
        for (const QList<PlmPoint>& hole : holes)
            collect(hole, y);
        // NaN crossings (from non-finite input) sort last so the order stays strict.
        std::sort(crossings.begin(), crossings.end(), [](double l, double r) {
            if (std::isnan(l))
                return false;
            return std::isnan(r) || l < r;
        });
        for (qsizetype j = 0; j + 1 < crossings.size(); j += 2) {
            const double width = crossings.at(j + 1) - crossings.at(j);
            if (width > bestWidth) {
                bestWidth = width;
                best = PlmPoint{(crossings.at(j) + crossings.at(j + 1)) * 0.5, y};
            }
        }
    }
    return best;
}

} // namespace

std::optional<PlmPoint> anchor(const PlmGeometry& geometry)
{
    return anchor(geometry, 0);
}

QList<double> segmentLengths(const QList<PlmPoint>& points)
{
    QList<double> lengths;
    if (points.size() < 2)
        return lengths;
    lengths.reserve(points.size() - 1);
    for (qsizetype i = 0; i + 1 < points.size(); ++i) {
        const PlmPoint d = minus(points.at(i + 1), points.at(i));
        lengths.append(std::hypot(d.x, d.y));
    }
    return lengths;
}

std::optional<PlmPoint> lineMidpoint(const QList<PlmPoint>& points)
{
    if (points.isEmpty())
        return std::nullopt;
    const QList<double> lengths = segmentLengths(points);
    double half = 0;
    for (double length : lengths)
        half += length;
    half *= 0.5;
    for (qsizetype i = 0; i < lengths.size(); ++i) {
        const double length = lengths.at(i);
        if (length > 0 && half <= length)
            return plus(points.at(i), times(minus(points.at(i + 1), points.at(i)), half / length));
        half -= length;
    }
    return points.first();
}

double signedArea(const QList<PlmPoint>& ring)
{
    if (ring.isEmpty())
        return 0;
    const PlmPoint o = ring.first();
    const qsizetype n = ring.size();
    double sum = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const PlmPoint a = minus(ring.at(i), o);
        const PlmPoint b = minus(ring.at((i + 1) % n), o);
        sum += a.x * b.y - a.y * b.x;
    }
    return sum * 0.5;
}

bool isInside(const std::optional<PlmPoint>& point, const QList<PlmPoint>& ring)
{
    if (!point || ring.isEmpty())
        return false;
    const double x = point->x;
    const double y = point->y;
    const qsizetype n = ring.size();
    bool inside = false;
    for (qsizetype i = 0; i < n; ++i) {
        const PlmPoint& a = ring.at(i);
        const PlmPoint& b = ring.at((i + 1) % n);
        if ((a.y > y) != (b.y > y) && a.x + (y - a.y) * (b.x - a.x) / (b.y - a.y) > x)
            inside = !inside;
    }
    return inside;
}

std::optional<PlmPoint> interiorPoint(const QList<PlmPoint>& exterior,
                                      const QList<QList<PlmPoint>>& holes)
{
    if (exterior.isEmpty())
        return std::nullopt;
    const PlmPoint o = exterior.first();
    double weights = 0;
    double sumX = 0;
    double sumY = 0;
    const auto accumulate = [&](const QList<PlmPoint>& ring, bool isExterior) {
        const qsizetype n = ring.size();
        if (n == 0)
            return;
        double area = 0;
        double x = 0;
        double y = 0;
        for (qsizetype i = 0; i < n; ++i) {
            const PlmPoint a = minus(ring.at(i), o);
            const PlmPoint b = minus(ring.at((i + 1) % n), o);
            const double c = a.x * b.y - a.y * b.x;
            area += c;
            x += (a.x + b.x) * c;
            y += (a.y + b.y) * c;
        }
        if (area == 0)
            return;
        const double weight = isExterior ? std::abs(area) : -std::abs(area);
        weights += weight;
        sumX += x / (3 * area) * weight;
        sumY += y / (3 * area) * weight;
    };
    accumulate(exterior, true);
    for (const QList<PlmPoint>& hole : holes)
        accumulate(hole, false);

    if (weights > 0) {
        const PlmPoint centroid{o.x + sumX / weights, o.y + sumY / weights};
        bool inside = isInside(centroid, exterior);
        for (const QList<PlmPoint>& hole : holes) {
            if (!inside)
                break;
            if (!hole.isEmpty() && isInside(centroid, hole))
                inside = false;
        }
        if (inside)
            return centroid;
    }
    return scanLinePoint(exterior, holes);
}

QList<QList<PlmPoint>> flattenedRings(const PlmVectorPath& path)
{
    QList<QList<PlmPoint>> rings;
    QList<PlmPoint> ring;
    PlmPoint current{0, 0};
    for (const PlmPathCommand& command : path.commands) {
        switch (command.kind()) {
        case PlmPathCommand::Kind::move: {
            if (!ring.isEmpty())
                rings.append(ring);
            current = command.asMove()->point;
            ring = QList<PlmPoint>{current};
            break;
        }
        case PlmPathCommand::Kind::line:
            current = command.asLine()->point;
            ring.append(current);
            break;
        case PlmPathCommand::Kind::cubic: {
            const PlmPathCubic& cubic = *command.asCubic();
            const PlmPoint p0 = current;
            for (int k = 1; k <= cubicSteps; ++k) {
                const double t = double(k) / cubicSteps;
                const double u = 1 - t;
                current = plus(plus(times(p0, u * u * u), times(cubic.control1, 3 * u * u * t)),
                               plus(times(cubic.control2, 3 * u * t * t), times(cubic.end, t * t * t)));
                ring.append(current);
            }
            break;
        }
        case PlmPathCommand::Kind::arc: {
            const PlmPathArc& arc = *command.asArc();
            for (int k = 1; k <= arcSteps; ++k) {
                const double theta = arc.start + arc.sweep * k * (1.0 / arcSteps);
                current = plus(arc.center, plus(times(arc.axisX, std::cos(theta)),
                                                times(arc.axisY, std::sin(theta))));
                ring.append(current);
            }
            break;
        }
        case PlmPathCommand::Kind::close:
            if (!ring.isEmpty()) {
                current = ring.first();
                ring.append(current);
                rings.append(ring);
                ring.clear();
            }
            break;
        }
    }
    if (!ring.isEmpty())
        rings.append(ring);
    return rings;
}

} // namespace PlmSymbolPosition
