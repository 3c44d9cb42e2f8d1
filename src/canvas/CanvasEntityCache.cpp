#include "canvas/CanvasEntityCache.h"

#include "canvas/CanvasPathBuilder.h"
#include "model/PlmClampedInt.h"

#include <QHash>

#include <algorithm>
#include <atomic>
#include <thread>
#include <cmath>

namespace {

void unite(QRectF& into, bool& has, const QRectF& r)
{
    if (!has) {
        into = r;
        has = true;
    } else {
        const double l = std::min(into.left(), r.left()), t = std::min(into.top(), r.top());
        const double rr = std::max(into.right(), r.right()), b = std::max(into.bottom(), r.bottom());
        into = QRectF(QPointF(l, t), QPointF(rr, b));
    }
}

bool finiteRect(const QRectF& r)
{
    return std::isfinite(r.x()) && std::isfinite(r.y()) && std::isfinite(r.width()) && std::isfinite(r.height());
}

void collectLeaves(const PlmEntity& entity, bool ancestorsHidden, CanvasEntry& entry, int depth)
{
    const bool hidden = ancestorsHidden || entity.hidden();
    if (const PlmEntityList* members = entity.geometry.asGroup()) {
        // Stored maps are at most 63 levels deep; the bound guards unchecked ones.
        if (depth > 64)
            return;
        for (const PlmEntity& member : *members)
            collectLeaves(member, hidden, entry, depth + 1);
        return;
    }
    CanvasLeaf leaf;
    leaf.entity = entity;
    leaf.style = entity.style;
    leaf.visible = !hidden;
    leaf.isArea = entity.isAreaFeature();
    leaf.isPolyline = entity.geometry.kind() == PlmGeometry::Kind::polyline;
    if (const PlmPoint* p = entity.geometry.asPoint()) {
        leaf.isPoint = true;
        leaf.point = QPointF(p->x, p->y);
        leaf.bounds = QRectF(leaf.point, QSizeF(0, 0));
        leaf.hasBounds = std::isfinite(p->x) && std::isfinite(p->y);
        const double r = entity.style.pointRadius;
        if (std::isfinite(r)) {
            const bool mapUnits = entity.pointSymbol.has_value()
                || entity.attributes.value(QStringLiteral("studio.point.units")) == QLatin1String("map");
            if (mapUnits)
                entry.maxMapRadius = std::max(entry.maxMapRadius, r);
            else
                entry.maxScreenRadius = std::max(entry.maxScreenRadius, r);
        }
    } else {
        leaf.path = CanvasPathBuilder::painterPath(entity.geometry, entity.attributes, QTransform());
        leaf.elementCount = leaf.path.elementCount();
        if (leaf.elementCount > 0) {
            leaf.bounds = leaf.path.boundingRect();
            leaf.hasBounds = finiteRect(leaf.bounds);
        }
        if (std::isfinite(entity.style.lineWidth))
            entry.maxLineWidth = std::max(entry.maxLineWidth, entity.style.lineWidth);
        if (leaf.hasBounds)
            unite(entry.pathBounds, entry.hasPathBounds, leaf.bounds);
    }
    if (entity.clipPaths) {
        for (const PlmVectorPath& clip : *entity.clipPaths)
            leaf.clips.append(CanvasPathBuilder::toPainterPath(clip));
    }
    if (leaf.hasBounds)
        unite(entry.bounds, entry.hasBounds, leaf.bounds);
    entry.leaves.append(std::move(leaf));
}

} // namespace

namespace {

double segmentDistance2(const QPointF& p, const QPointF& a, const QPointF& b)
{
    const double dx = b.x() - a.x(), dy = b.y() - a.y();
    const double len2 = dx * dx + dy * dy;
    double t = len2 > 0 ? ((p.x() - a.x()) * dx + (p.y() - a.y()) * dy) / len2 : 0;
    t = std::clamp(t, 0.0, 1.0);
    const double ex = a.x() + t * dx - p.x(), ey = a.y() + t * dy - p.y();
    return ex * ex + ey * ey;
}

// Douglas–Peucker on one run of straight segments: keeps the points that
// stray more than the tolerance from the chords.
void simplifyRun(const std::vector<QPointF>& run, double tol2, QPainterPath& out)
{
    const size_t n = run.size();
    if (n <= 2) {
        for (size_t i = 1; i < n; ++i)
            out.lineTo(run[i]);
        return;
    }
    // Scratch kept per thread: a first draw simplifies tens of thousands of small runs.
    thread_local std::vector<char> keep;
    thread_local std::vector<std::pair<size_t, size_t>> stack;
    keep.assign(n, 0);
    keep[0] = keep[n - 1] = 1;
    stack.assign(1, {0, n - 1});
    while (!stack.empty()) {
        const auto [a, b] = stack.back();
        stack.pop_back();
        double worst = -1;
        size_t index = 0;
        for (size_t i = a + 1; i < b; ++i) {
            const double d = segmentDistance2(run[i], run[a], run[b]);
            if (d > worst) {
                worst = d;
                index = i;
            }
        }
        if (worst > tol2) {
            keep[index] = 1;
            stack.push_back({a, index});
            stack.push_back({index, b});
        }
    }
    for (size_t i = 1; i < n; ++i)
        if (keep[i])
            out.lineTo(run[i]);
}

} // namespace

QPainterPath CanvasEntityCache::simplify(const QPainterPath& path, double tolerance)
{
    QPainterPath out;
    out.setFillRule(path.fillRule());
    const double tol2 = tolerance * tolerance;
    const int n = path.elementCount();
    thread_local std::vector<QPointF> run;  // the current point, then straight segments' ends
    run.clear();
    auto flush = [&] {
        simplifyRun(run, tol2, out);
        if (!run.empty())
            run.erase(run.begin(), run.end() - 1);
    };
    for (int i = 0; i < n; ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        switch (e.type) {
        case QPainterPath::MoveToElement:
            flush();
            run.clear();
            out.moveTo(e.x, e.y);
            run.push_back(QPointF(e.x, e.y));
            break;
        case QPainterPath::LineToElement:
            run.push_back(QPointF(e.x, e.y));
            break;
        case QPainterPath::CurveToElement:
            if (i + 2 < n) {
                const QPainterPath::Element c2 = path.elementAt(i + 1), end = path.elementAt(i + 2);
                const QPointF c1p(e.x, e.y), c2p(c2.x, c2.y), endp(end.x, end.y);
                const QPointF start = run.empty() ? endp : run.back();
                // A curve whose control points lie within the tolerance of its
                // chord stays within it too (it lies in their hull): a line will do.
                if (segmentDistance2(c1p, start, endp) <= tol2 && segmentDistance2(c2p, start, endp) <= tol2) {
                    run.push_back(endp);
                } else {
                    flush();
                    out.cubicTo(c1p, c2p, endp);
                    run.assign(1, endp);
                }
            }
            i += 2;
            break;
        case QPainterPath::CurveToDataElement:
            break;
        }
    }
    flush();
    return out;
}

int CanvasEntityCache::detailLevel(double pixelsPerUnit)
{
    // Vertices that stray less than a device pixel from the simplified
    // outline change nothing that can be told apart on screen (the usual
    // threshold of map renderers); the tolerance is the power of two just
    // below a pixel, so copies are reused across nearby zooms.
    if (!(pixelsPerUnit > 0) || !std::isfinite(pixelsPerUnit))
        return std::numeric_limits<int>::min();
    // log2 of a denormal's inverse is infinite: the level is clamped, not converted blindly.
    return plmClampedInt(std::floor(std::log2(1.0 / pixelsPerUnit)), -1100, 1100);
}

const QPainterPath& CanvasEntityCache::drawingPath(const CanvasLeaf& leaf, double pixelsPerUnit)
{
    return drawingPath(leaf, detailLevel(pixelsPerUnit));
}

const QPainterPath& CanvasEntityCache::drawingPath(const CanvasLeaf& leaf, int level)
{
    if (level == std::numeric_limits<int>::min() || leaf.elementCount < 16)
        return leaf.path;
    if (leaf.drawnLevel == level)
        return leaf.drawnPath;
    QPainterPath chosen;
    bool found = false;
    for (const auto& [l, p] : leaf.simplified) {
        if (l == level) {
            chosen = p;
            found = true;
            break;
        }
    }
    if (!found) {
        QPainterPath p = simplify(leaf.path, std::ldexp(1.0, level));
        // Keep the original when little would be saved: an empty copy marks that.
        if (p.elementCount() * 5 > leaf.elementCount * 4)
            p = QPainterPath();
        if (leaf.simplified.size() >= 3)
            leaf.simplified.removeFirst();
        leaf.simplified.append({level, p});
        chosen = p;
    }
    leaf.drawnLevel = level;
    leaf.drawnPath = chosen.elementCount() > 0 ? chosen : leaf.path;
    return leaf.drawnPath;
}

const QPolygonF* CanvasEntityCache::drawingRing(const CanvasLeaf& leaf, int level)
{
    if (!leaf.ringLevel || *leaf.ringLevel != level) {
        const QPainterPath& path = drawingPath(leaf, level);
        const int n = path.elementCount();
        bool simple = n >= 4 && path.elementAt(0).type == QPainterPath::MoveToElement
            && QPointF(path.elementAt(0)) == QPointF(path.elementAt(n - 1));
        for (int i = 1; simple && i < n; ++i)
            simple = path.elementAt(i).type == QPainterPath::LineToElement;
        leaf.ring.clear();
        if (simple) {
            leaf.ring.reserve(n - 1);
            for (int i = 0; i < n - 1; ++i)
                leaf.ring.append(path.elementAt(i));
        }
        leaf.ringLevel = level;
    }
    return leaf.ring.isEmpty() ? nullptr : &leaf.ring;
}

bool CanvasEntityCache::overlaps(const QRectF& a, const QRectF& b)
{
    return a.left() <= b.right() && b.left() <= a.right() && a.top() <= b.bottom() && b.top() <= a.bottom();
}

CanvasEntry CanvasEntityCache::build(const PlmEntity& entity)
{
    CanvasEntry entry;
    entry.entity = entity;
    collectLeaves(entity, false, entry, 0);
    return entry;
}

void CanvasEntityCache::reset(const PlmEntityList& entities)
{
    const PlmEntityList old = m_entities;
    std::vector<Slot> previous = std::move(m_entries);
    m_entries.clear();
    m_entries.resize(size_t(entities.size()));
    QHash<QString, int> byId;  // built only when an entity is not found by sharing
    qsizetype shift = 0;
    for (qsizetype i = 0; i < entities.size(); ++i) {
        const qsizetype j = i + shift;
        if (j >= 0 && j < old.size() && entities.sharesEntity(i, old, j)) {
            m_entries[size_t(i)] = previous[size_t(j)];
            continue;
        }
        const PlmEntity& e = entities.at(i);
        if (j >= 0 && j < old.size() && old.at(j).id == e.id) {
            // The same entity in its place, changed (or copied): equal values keep the entry.
            if (old.at(j) == e)
                m_entries[size_t(i)] = previous[size_t(j)];
            continue;
        }
        if (byId.isEmpty() && !old.isEmpty()) {
            byId.reserve(old.size());
            for (qsizetype k = old.size() - 1; k >= 0; --k)
                byId.insert(old.at(k).id, int(k));
        }
        const auto it = byId.constFind(e.id);
        if (it == byId.constEnd())
            continue;
        const qsizetype k = *it;
        if (entities.sharesEntity(i, old, k) || old.at(k) == e) {
            m_entries[size_t(i)] = previous[size_t(k)];
            shift = k - i;
        }
    }
    m_entities = entities;
    ++m_revision;
    m_builtSinceReset = 0;
    m_statsValid = false;
    m_gridValid = false;
}

void CanvasEntityCache::replace(int index, const PlmEntityList& entities)
{
    if (index < 0 || index >= size() || entities.size() != m_entities.size()) {
        reset(entities);
        return;
    }
    m_entities = entities;
    ++m_revision;
    auto entry = std::make_shared<CanvasEntry>(build(entities.at(index)));
    ++m_builtSinceReset;
    if (m_statsValid) {
        // Maxima only grow here: a tolerance a little too wide stays correct.
        m_maxLineWidth = std::max(m_maxLineWidth, entry->maxLineWidth);
        m_maxScreenRadius = std::max(m_maxScreenRadius, entry->maxScreenRadius);
        m_maxMapRadius = std::max(m_maxMapRadius, entry->maxMapRadius);
    }
    m_entries[size_t(index)].entry = entry;
    if (!m_gridValid)
        return;
    // The old cells still name the entry; candidates() checks the real bounds,
    // so they only cost a comparison. Listing it among the large entries makes
    // it found wherever it went. Too many moved entries: rebuild the grid later.
    const QRectF& b = entry->bounds;
    const bool inside = b.left() >= m_gridRect.left() && b.right() <= m_gridRect.right()
        && b.top() >= m_gridRect.top() && b.bottom() <= m_gridRect.bottom();
    if (!entry->hasBounds || m_cols == 0 || !inside
        || m_large.size() > 256 + m_entries.size() / 16) {
        m_gridValid = false;
        return;
    }
    if (m_inLarge.size() != m_entries.size())
        m_inLarge.assign(m_entries.size(), 0);
    if (!m_inLarge[size_t(index)]) {
        m_inLarge[size_t(index)] = 1;
        m_large.push_back(index);
    }
}

void CanvasEntityCache::clear()
{
    m_entries.clear();
    m_entities = PlmEntityList();
    ++m_revision;
    m_statsValid = false;
    m_gridValid = false;
}

const CanvasEntry& CanvasEntityCache::entry(int index)
{
    Slot& slot = m_entries[size_t(index)];
    if (!slot.entry) {
        slot.entry = std::make_shared<CanvasEntry>(build(m_entities.at(index)));
        ++m_builtSinceReset;
    }
    return *slot.entry;
}

namespace {

// Texts are laid out by the font engine, which is used from the main thread only.
bool containsText(const PlmEntity& entity, int depth)
{
    if (entity.geometry.asText())
        return true;
    if (const PlmEntityList* members = entity.geometry.asGroup()) {
        if (depth > 64)
            return false;
        for (const PlmEntity& member : *members)
            if (containsText(member, depth + 1))
                return true;
    }
    return false;
}

// Runs work(k) for k in [0, count) on every core; each k must touch only
// its own data.
template <typename Work>
void parallelFor(size_t count, Work&& work)
{
    const unsigned cores = std::min(std::max(1u, std::thread::hardware_concurrency()), 8u);
    // Entities are small and many: taken in chunks, the counter is not fought over.
    constexpr size_t chunk = 32;
    std::atomic<size_t> next{0};
    auto run = [&] {
        for (size_t k = next.fetch_add(chunk); k < count; k = next.fetch_add(chunk))
            for (size_t j = k; j < std::min(count, k + chunk); ++j)
                work(j);
    };
    std::vector<std::thread> workers;
    for (unsigned t = 1; t < cores; ++t)
        workers.emplace_back(run);
    run();
    for (std::thread& t : workers)
        t.join();
}

} // namespace

void CanvasEntityCache::ensureAll()
{
    std::vector<int> missing;
    for (int i = 0; i < size(); ++i)
        if (!m_entries[size_t(i)].entry)
            missing.push_back(i);
    if (missing.size() < 2000 || std::thread::hardware_concurrency() < 2) {
        for (int i : missing)
            entry(i);
        return;
    }
    // A large map opened or replaced whole: build the paths on every core.
    // Each worker reads shared, unchanging entities and writes its own slots.
    std::atomic<int> built{0};
    parallelFor(missing.size(), [&](size_t k) {
        const int i = missing[k];
        const PlmEntity& e = m_entities.at(i);
        if (!containsText(e, 0)) {
            m_entries[size_t(i)].entry = std::make_shared<CanvasEntry>(build(e));
            built.fetch_add(1);
        }
    });
    m_builtSinceReset += built.load();
    for (int i : missing)
        entry(i);  // texts, on this thread
}

void CanvasEntityCache::prepareDrawing(int level, bool rings, const std::optional<QRectF>& within)
{
    // An entry may stand in two slots (an entity listed twice): each is prepared once, so
    // that no two workers write the same leaf.
    std::vector<const CanvasEntry*> entries;
    entries.reserve(m_entries.size());
    for (const Slot& slot : m_entries)
        if (slot.entry && (!within || !slot.entry->hasBounds || overlaps(slot.entry->bounds, *within)))
            entries.push_back(slot.entry.get());
    std::sort(entries.begin(), entries.end());
    entries.erase(std::unique(entries.begin(), entries.end()), entries.end());
    const auto prepare = [&](size_t k) {
        for (const CanvasLeaf& leaf : entries[k]->leaves) {
            if (!leaf.visible || leaf.isPoint || (within && leaf.hasBounds && !overlaps(leaf.bounds, *within)))
                continue;
            if (rings && !leaf.isPolyline)
                drawingRing(leaf, level);
            else
                drawingPath(leaf, level);
        }
    };
    if (entries.size() < 2000 || std::thread::hardware_concurrency() < 2) {
        for (size_t k = 0; k < entries.size(); ++k)
            prepare(k);
        return;
    }
    parallelFor(entries.size(), prepare);
}

void CanvasEntityCache::computeStats()
{
    if (m_statsValid)
        return;
    ensureAll();
    m_maxLineWidth = m_maxScreenRadius = m_maxMapRadius = 0;
    for (const Slot& slot : m_entries) {
        m_maxLineWidth = std::max(m_maxLineWidth, slot.entry->maxLineWidth);
        m_maxScreenRadius = std::max(m_maxScreenRadius, slot.entry->maxScreenRadius);
        m_maxMapRadius = std::max(m_maxMapRadius, slot.entry->maxMapRadius);
    }
    m_statsValid = true;
}

double CanvasEntityCache::maxLineWidth()
{
    computeStats();
    return m_maxLineWidth;
}

double CanvasEntityCache::maxScreenRadius()
{
    computeStats();
    return m_maxScreenRadius;
}

double CanvasEntityCache::maxMapRadius()
{
    computeStats();
    return m_maxMapRadius;
}

void CanvasEntityCache::ensureGrid()
{
    if (m_gridValid)
        return;
    ensureAll();
    m_gridValid = true;
    m_cellStart.clear();
    m_cellItems.clear();
    m_large.clear();
    m_inLarge.assign(m_entries.size(), 0);
    bool has = false;
    for (const Slot& slot : m_entries)
        if (slot.entry->hasBounds)
            unite(m_gridRect, has, slot.entry->bounds);
    if (!has) {
        m_cols = m_rows = 0;
        return;
    }
    const int n = int(m_entries.size());
    const int side = plmClampedInt(std::ceil(std::sqrt(double(n))), 1, 512);
    m_cols = m_rows = side;
    m_stamp.assign(m_entries.size(), -1);
    const double cw = m_gridRect.width() / m_cols, ch = m_gridRect.height() / m_rows;
    auto cellX = [&](double x) {
        return cw > 0 ? plmClampedInt((x - m_gridRect.left()) / cw, 0, m_cols - 1) : 0;
    };
    auto cellY = [&](double y) {
        return ch > 0 ? plmClampedInt((y - m_gridRect.top()) / ch, 0, m_rows - 1) : 0;
    };
    // Cells as one flat list (offsets, then items): two passes, no per-cell allocation.
    auto span = [&](const CanvasEntry& e, int& x0, int& x1, int& y0, int& y1) {
        x0 = cellX(e.bounds.left());
        x1 = cellX(e.bounds.right());
        y0 = cellY(e.bounds.top());
        y1 = cellY(e.bounds.bottom());
        return (x1 - x0 + 1) * (y1 - y0 + 1) <= 64;
    };
    std::vector<int> counts(size_t(m_cols) * size_t(m_rows) + 1, 0);
    for (int i = 0; i < n; ++i) {
        const CanvasEntry& e = *m_entries[size_t(i)].entry;
        int x0, x1, y0, y1;
        if (!e.hasBounds || !span(e, x0, x1, y0, y1))
            continue;
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x)
                ++counts[size_t(y) * size_t(m_cols) + size_t(x) + 1];
    }
    for (size_t c = 1; c < counts.size(); ++c)
        counts[c] += counts[c - 1];
    m_cellStart = counts;
    m_cellItems.assign(size_t(counts.back()), 0);
    for (int i = 0; i < n; ++i) {
        const CanvasEntry& e = *m_entries[size_t(i)].entry;
        if (!e.hasBounds)
            continue;
        int x0, x1, y0, y1;
        if (!span(e, x0, x1, y0, y1)) {
            m_large.push_back(i);
            m_inLarge[size_t(i)] = 1;
            continue;
        }
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x)
                m_cellItems[size_t(counts[size_t(y) * size_t(m_cols) + size_t(x)]++)] = i;
    }
}

QList<int> CanvasEntityCache::candidates(const QRectF& mapRect)
{
    ensureGrid();
    QList<int> result;
    if (m_cols == 0 || !finiteRect(mapRect))
        return result;
    const QRectF query = mapRect.normalized();
    if (!overlaps(query, m_gridRect))
        return result;
    ++m_query;
    const double cw = m_gridRect.width() / m_cols, ch = m_gridRect.height() / m_rows;
    auto cellX = [&](double x) {
        return cw > 0 ? plmClampedInt((x - m_gridRect.left()) / cw, 0, m_cols - 1) : 0;
    };
    auto cellY = [&](double y) {
        return ch > 0 ? plmClampedInt((y - m_gridRect.top()) / ch, 0, m_rows - 1) : 0;
    };
    const int x0 = cellX(query.left()), x1 = cellX(query.right());
    const int y0 = cellY(query.top()), y1 = cellY(query.bottom());
    auto consider = [&](int i) {
        if (m_stamp[size_t(i)] == m_query)
            return;
        m_stamp[size_t(i)] = m_query;
        if (overlaps(m_entries[size_t(i)].entry->bounds, query))
            result.append(i);
    };
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x)
            for (int k = m_cellStart[size_t(y) * size_t(m_cols) + size_t(x)],
                     end = m_cellStart[size_t(y) * size_t(m_cols) + size_t(x) + 1];
                 k < end; ++k)
                consider(m_cellItems[size_t(k)]);
    for (int i : m_large)
        consider(i);
    std::sort(result.begin(), result.end());
    return result;
}
