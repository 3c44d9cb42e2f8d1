#pragma once

#include "model/PlmEntity.h"
#include "model/PlmEntityList.h"

#include <QList>
#include <QPainterPath>
#include <QPolygonF>
#include <QRectF>

#include <limits>
#include <memory>
#include <optional>
#include <vector>

// One drawn leaf of a top-level entity, kept in map units (before the
// y-axis sign): the map is drawn through one transform, so these paths stay
// valid at every zoom.
struct CanvasLeaf {
    // What every frame reads comes first, so that it shares a few cache lines.
    bool visible = true;  // neither it nor a group above it is hidden
    bool isPoint = false;
    bool isArea = false;  // PlmEntity::isAreaFeature, kept for the fill override
    bool isPolyline = false;
    bool hasBounds = false;
    int elementCount = 0;
    mutable int drawnLevel = std::numeric_limits<int>::min();
    QRectF bounds;        // map units; a point gives a zero-size rectangle
    QPainterPath path;    // map units, for any other geometry
    // The path drawn last (see CanvasEntityCache::drawingPath), which the next
    // frame usually wants again.
    mutable QPainterPath drawnPath;
    PlmStyle style;       // the entity's
    QPointF point;        // map units, for a point
    QList<QPainterPath> clips;
    // Coarser copies of `path` by level of detail.
    mutable QList<QPair<int, QPainterPath>> simplified;
    // The drawn path's points when it is one closed ring of straight
    // segments (see CanvasEntityCache::drawingRing), and the level they are for.
    mutable std::optional<int> ringLevel;
    mutable QPolygonF ring;
    PlmEntity entity;
};

struct CanvasEntry {
    PlmEntity entity;
    QList<CanvasLeaf> leaves;
    QRectF bounds;        // union of the leaves' bounds, points included
    bool hasBounds = false;
    QRectF pathBounds;    // union of the non-point paths' bounds
    bool hasPathBounds = false;
    double maxLineWidth = 0;
    double maxScreenRadius = 0;  // points whose radius is in view points
    double maxMapRadius = 0;     // points whose radius is in map units
};

// Paths and bounds of a map's top-level entities, rebuilt only for the
// entities that changed, with a uniform grid for hit testing.
class CanvasEntityCache {
public:
    // Keeps the entries whose entity is unchanged: the very same shared
    // entity (found in place or shifted by an insertion or a removal), or an
    // entity with the same id and an equal value.
    void reset(const PlmEntityList& entities);
    void clear();
    // The list changed at one index only (a live move or edit): rebuilds that
    // entry alone and keeps the grid, where the entry is then always a
    // candidate. Any other change of the list falls back to reset().
    void replace(int index, const PlmEntityList& entities);
    int size() const { return int(m_entries.size()); }
    const CanvasEntry& entry(int index);
    // The entry if it is built, else null; never builds.
    const CanvasEntry* builtEntry(int index) const
    {
        return index >= 0 && index < size() ? m_entries[size_t(index)].entry.get() : nullptr;
    }
    // The entry itself, shared, if it is built: the same handle while the entity is unchanged.
    std::shared_ptr<const CanvasEntry> entryHandle(int index) const
    {
        return index >= 0 && index < size() ? m_entries[size_t(index)].entry : nullptr;
    }
    // Builds every entry (drawing and hit testing need all bounds).
    void ensureAll();
    // Builds, on every core, the drawing copies at `level` of the visible non-point leaves
    // that meet `within` (all when empty): their rings too when `rings`, else their paths.
    // Drawing a whole large map then only reads them; the entries must all be built.
    void prepareDrawing(int level, bool rings, const std::optional<QRectF>& within = std::nullopt);
    // The largest stroke width and point radii among all entries.
    double maxLineWidth();
    double maxScreenRadius();
    double maxMapRadius();
    // Indices, in ascending order, of the entries whose bounds meet the rectangle.
    QList<int> candidates(const QRectF& mapRect);
    // How many entries were built since the last reset (for tests).
    int builtSinceReset() const { return m_builtSinceReset; }
    // Changes whenever the entries may have changed (reset, replace, clear):
    // lets owners keep values derived from the whole list.
    quint64 revision() const { return m_revision; }

    static CanvasEntry build(const PlmEntity& entity);

    // The leaf's path for drawing at `pixelsPerUnit` device pixels per map
    // unit, without the vertices that stray less than a fraction of a pixel
    // from the outline: a fitted view of a large map has tens of points per
    // few pixels. Copies are kept per power-of-two tolerance.
    static const QPainterPath& drawingPath(const CanvasLeaf& leaf, double pixelsPerUnit);
    static const QPainterPath& drawingPath(const CanvasLeaf& leaf, int level);
    // The points of drawingPath(leaf, level) without the closing repeat when
    // that path is a single closed ring of straight segments, else null. Qt
    // fills and strokes such a ring from the points in one call, for less
    // than a path costs in two: most areas of a large map are such rings.
    static const QPolygonF* drawingRing(const CanvasLeaf& leaf, int level);
    // The power-of-two tolerance level for a scale; the lowest int means "no
    // simplification".
    static int detailLevel(double pixelsPerUnit);
    // Drops the vertices of straight runs that lie within `tolerance` of the
    // simplified line (Douglas–Peucker) and turns curves that flat into
    // lines; other curves and each run's ends stay.
    static QPainterPath simplify(const QPainterPath& path, double tolerance);
    // Rectangles that meet, zero-size ones included.
    static bool overlaps(const QRectF& a, const QRectF& b);

private:
    struct Slot {
        std::shared_ptr<CanvasEntry> entry;
    };
    void ensureGrid();
    void computeStats();

    std::vector<Slot> m_entries;
    PlmEntityList m_entities;  // the entities the slots stand for
    int m_builtSinceReset = 0;
    quint64 m_revision = 0;
    bool m_statsValid = false;
    double m_maxLineWidth = 0;
    double m_maxScreenRadius = 0;
    double m_maxMapRadius = 0;
    // Grid over the union of the bounds.
    bool m_gridValid = false;
    QRectF m_gridRect;
    int m_cols = 0;
    int m_rows = 0;
    std::vector<int> m_cellStart;  // per cell, its first item; one more at the end
    std::vector<int> m_cellItems;
    std::vector<int> m_large;  // entries spanning many cells, always candidates
    std::vector<char> m_inLarge;  // per entry, whether m_large holds it
    std::vector<int> m_stamp;
    int m_query = 0;
};
