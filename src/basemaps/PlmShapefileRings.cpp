// The rings of a Shapefile polygon record nested by containment. Each ring's parent is the
// smallest larger ring holding its first point; a grid over the rings' boxes keeps records of
// tens of thousands of islands fast, and a work budget bounds what a hostile record can cost.
#include "basemaps/ShapefileReader.h"

#include "model/PlmClampedInt.h"
#include "model/PlmErrors.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace ShapefileReader {

namespace {

[[noreturn]] void fail(const char* message)
{
    throw PlmImportError::invalid(QString::fromUtf8(message));
}

// Simple steps (box tests and ring edges) allowed for one record: a few seconds at most.
constexpr qint64 nestingBudget = 2'000'000'000;

struct RingBox {
    double minX, minY, maxX, maxY;
    bool contains(const PlmPoint& p) const { return p.x >= minX && p.x <= maxX && p.y >= minY && p.y <= maxY; }
};

// Twice the signed area: positive for a counter-clockwise ring (y upwards).
double signedRingArea(const QList<PlmPoint>& ring)
{
    double sum = 0;
    for (qsizetype k = 0; k + 1 < ring.size(); ++k)
        sum += ring[k].x * ring[k + 1].y - ring[k + 1].x * ring[k].y;
    return sum;
}

class NestingIndex {
public:
    // `canParent` says which rings may hold others (all of them, or only the exteriors).
    NestingIndex(const QList<QList<PlmPoint>>& rings, const QList<double>& areas, const QList<bool>& canParent)
        : rings_(rings)
        , areas_(areas)
        , canParent_(canParent)
    {
        const qsizetype count = rings.size();
        boxes_.reserve(size_t(count));
        RingBox all{INFINITY, INFINITY, -INFINITY, -INFINITY};
        for (const QList<PlmPoint>& ring : rings) {
            RingBox box{INFINITY, INFINITY, -INFINITY, -INFINITY};
            for (const PlmPoint& p : ring) {
                box.minX = std::min(box.minX, p.x);
                box.minY = std::min(box.minY, p.y);
                box.maxX = std::max(box.maxX, p.x);
                box.maxY = std::max(box.maxY, p.y);
            }
            boxes_.push_back(box);
            all = {std::min(all.minX, box.minX), std::min(all.minY, box.minY), std::max(all.maxX, box.maxX),
                   std::max(all.maxY, box.maxY)};
        }
        extent_ = all;
        side_ = plmClampedInt(std::ceil(std::sqrt(double(count))), 1, 512);
        cells_.resize(size_t(side_) * size_t(side_));
        for (qsizetype j = 0; j < count; ++j) {
            if (!canParent_[j])
                continue;
            const int x0 = cellX(boxes_[j].minX), x1 = cellX(boxes_[j].maxX);
            const int y0 = cellY(boxes_[j].minY), y1 = cellY(boxes_[j].maxY);
            if ((x1 - x0 + 1) * (y1 - y0 + 1) > 16) {
                large_.push_back(j);
                continue;
            }
            for (int y = y0; y <= y1; ++y)
                for (int x = x0; x <= x1; ++x)
                    cells_[size_t(y) * size_t(side_) + size_t(x)].push_back(j);
        }
        // Large rings by area, then part order: the first that holds a point is its parent.
        std::stable_sort(large_.begin(), large_.end(), [&](qsizetype a, qsizetype b) { return areas_[a] < areas_[b]; });
    }

    qsizetype parentOf(qsizetype i)
    {
        const PlmPoint& p = rings_[i].first();
        qsizetype best = -1;
        auto better = [&](qsizetype j) {
            return best < 0 || areas_[j] < areas_[best] || (areas_[j] == areas_[best] && j < best);
        };
        auto holds = [&](qsizetype j) {
            spend(1);
            if (!boxes_[j].contains(p))
                return false;
            spend(rings_[j].size());
            return ringContains(rings_[j], p.x, p.y);
        };
        if (boxes_[i].minX <= p.x) { // always true; keeps the point's cell lookup well defined
            const int x = cellX(p.x), y = cellY(p.y);
            for (const qsizetype j : cells_[size_t(y) * size_t(side_) + size_t(x)])
                if (j != i && areas_[j] > areas_[i] && better(j) && holds(j))
                    best = j;
        }
        auto first = std::upper_bound(large_.begin(), large_.end(), areas_[i],
                                      [&](double area, qsizetype j) { return area < areas_[j]; });
        for (auto it = first; it != large_.end() && better(*it); ++it) {
            if (*it != i && holds(*it)) {
                best = *it;
                break;
            }
        }
        return best;
    }

private:
    int cell(double value, double low, double high) const
    {
        // Halved so that a span wider than the largest double stays finite.
        const double span = high / 2 - low / 2;
        if (!(span > 0))
            return 0;
        const double at = (value / 2 - low / 2) / span * side_;
        return plmClampedInt(std::floor(at), 0, side_ - 1);
    }
    int cellX(double x) const { return cell(x, extent_.minX, extent_.maxX); }
    int cellY(double y) const { return cell(y, extent_.minY, extent_.maxY); }
    void spend(qint64 steps)
    {
        spent_ += steps;
        if (spent_ > nestingBudget)
            fail("Polygone Shapefile trop complexe.");
    }

    const QList<QList<PlmPoint>>& rings_;
    const QList<double>& areas_;
    const QList<bool>& canParent_;
    std::vector<RingBox> boxes_;
    RingBox extent_{};
    int side_ = 1;
    std::vector<std::vector<qsizetype>> cells_;
    std::vector<qsizetype> large_;
    qint64 spent_ = 0;
};

} // namespace

bool ringContains(const QList<PlmPoint>& ring, double x, double y)
{
    bool inside = false;
    for (qsizetype k = 0; k + 1 < ring.size(); ++k) {
        const PlmPoint& a = ring[k];
        const PlmPoint& b = ring[k + 1];
        if ((a.y > y) != (b.y > y) && x < a.x + (y - a.y) * (b.x - a.x) / (b.y - a.y))
            inside = !inside;
    }
    return inside;
}

int depth(qsizetype ring, const QList<qsizetype>& parents)
{
    // Parents have strictly larger areas, so the chain ends; the bound guards it anyway.
    int result = 0;
    for (qsizetype at = parents.value(ring, -1); at >= 0 && result <= parents.size(); at = parents.value(at, -1))
        ++result;
    return result;
}

PlmGeometry polygonGeometry(const QList<QList<PlmPoint>>& parts)
{
    for (const QList<PlmPoint>& ring : parts)
        if (ring.size() < 4 || ring.first().x != ring.last().x || ring.first().y != ring.last().y)
            fail("Anneau Shapefile non fermé.");
    const qsizetype count = parts.size();
    QList<double> areas;
    areas.reserve(count);
    bool clockwise = false, counterClockwise = false, allClockwise = true;
    for (const QList<PlmPoint>& ring : parts) {
        const double signedArea = signedRingArea(ring);
        clockwise = clockwise || signedArea < 0;
        allClockwise = allClockwise && signedArea < 0;
        counterClockwise = counterClockwise || signedArea > 0;
        areas << std::fabs(signedArea);
    }
    // Shapefiles run exteriors clockwise and holes counter-clockwise. When a record uses both
    // directions, they decide: an island whose first point falls inside a neighbour stays an
    // island, and only counter-clockwise rings look for the exterior that holds them. A record
    // whose rings all run clockwise has no hole at all (an island in a lake of the same record
    // is still an island). Records that break the convention (all counter-clockwise, or rings
    // without a direction) are nested by containment alone.
    const bool byDirection = clockwise && counterClockwise;
    QList<bool> canParent(count, true);
    QList<bool> seeksParent(count, !allClockwise);
    if (byDirection) {
        for (qsizetype i = 0; i < count; ++i) {
            const bool exterior = signedRingArea(parts[i]) < 0;
            canParent[i] = exterior;
            seeksParent[i] = !exterior;
        }
    }

    QList<qsizetype> parents(count, -1);
    if (count > 1 && !allClockwise) {
        NestingIndex index(parts, areas, canParent);
        for (qsizetype i = 0; i < count; ++i)
            if (seeksParent[i])
                parents[i] = index.parentOf(i);
    }
    // Depths along the parent chains, each computed once (a chain may be long).
    QList<int> depths(count, -1);
    for (qsizetype i = 0; i < count; ++i) {
        QList<qsizetype> chain;
        qsizetype at = i;
        while (at >= 0 && depths[at] < 0) {
            chain << at;
            at = parents[at];
        }
        int d = at >= 0 ? depths[at] + 1 : 0;
        for (qsizetype k = chain.size() - 1; k >= 0; --k)
            depths[chain[k]] = d++;
    }

    QList<PlmPolygon> polygons;
    QList<qsizetype> polygonOf(count, -1);
    for (qsizetype i = 0; i < count; ++i) {
        if (depths[i] % 2 == 0) {
            polygonOf[i] = polygons.size();
            polygons << PlmPolygon{parts[i], {}};
        }
    }
    for (qsizetype i = 0; i < count; ++i)
        if (depths[i] % 2 == 1)
            polygons[polygonOf[parents[i]]].holes << parts[i];
    if (polygons.isEmpty())
        fail("Polygone Shapefile vide.");
    return polygons.size() == 1 ? PlmGeometry::polygon(polygons.first()) : PlmGeometry::multipolygon(polygons);
}

} // namespace ShapefileReader
