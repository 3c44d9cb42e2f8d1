#include "canvas/VectorCanvas.h"

#include "canvas/TextOutline.h"
#include "canvas/CanvasPathBuilder.h"
#include "model/PlmSymbolPosition.h"

#include <algorithm>

std::optional<PlmEntity> VectorCanvas::entityAt(const PlmEntityList& entities, const IndexPath& path)
{
    if (path.isEmpty())
        return std::nullopt;
    const PlmEntityList* list = &entities;
    const PlmEntity* reached = nullptr;
    for (int index : path) {
        if (!list || index < 0 || index >= list->size())
            return std::nullopt;
        reached = &list->at(index);
        list = reached->geometry.asGroup();
    }
    return *reached;
}

std::optional<PlmEntity> VectorCanvas::entity(const IndexPath& path) const
{
    return entityAt(m_map.entities, path);
}

bool VectorCanvas::isPathVisible(const IndexPath& path) const
{
    for (qsizetype n = 1; n <= path.size(); ++n) {
        const std::optional<PlmEntity> e = entity(path.first(n));
        if (e && e->hidden())
            return false;
    }
    return true;
}

bool VectorCanvas::isEditable(const IndexPath& path, bool includingHidden) const
{
    if (path.isEmpty())
        return false;
    if (!includingHidden && !isPathVisible(path))
        return false;
    for (qsizetype n = 1; n <= path.size(); ++n) {
        const std::optional<PlmEntity> e = entity(path.first(n));
        if (e && e->locked())
            return false;
    }
    const std::optional<PlmEntity> target = entity(path);
    // A path that names nothing cannot be edited.
    if (!target)
        return false;
    return !target->containsLocked();
}

std::optional<VectorCanvas::IndexPath> VectorCanvas::indexPath(const EntityIDPath& idPath) const
{
    if (idPath.isEmpty() || m_map.entities.isEmpty())
        return std::nullopt;
    IndexPath result;
    const PlmEntityList* list = &m_map.entities;
    for (qsizetype step = 0; step < idPath.size(); ++step) {
        if (!list)
            return std::nullopt;  // the entity reached is not a group
        const qsizetype index = step == 0 ? topLevelIndexOf(idPath[step]) : list->indexOfId(idPath[step]);
        if (index < 0)
            return std::nullopt;
        result.append(int(index));
        list = list->at(index).geometry.asGroup();
    }
    return result;
}

qsizetype VectorCanvas::topLevelIndexOf(const QString& id) const
{
    const PlmEntityList& entities = m_map.entities;
    if (entities.size() < 64)
        return entities.indexOfId(id);
    if (!m_topLevelIndex || !(m_topLevelIndex->entities == entities)) {
        m_topLevelIndex = TopLevelIndex{entities, {}, false};
        return entities.indexOfId(id);
    }
    TopLevelIndex& index = *m_topLevelIndex;
    if (!index.built) {
        index.first.reserve(entities.size());
        for (qsizetype i = entities.size() - 1; i >= 0; --i)
            index.first.insert(entities.at(i).id, i);  // the first of equal ids is the last written
        index.built = true;
    }
    return index.first.value(id, -1);
}

VectorCanvas::EntityIDPath VectorCanvas::idPathAlong(const PlmMap& map, const IndexPath& path)
{
    // The ids of each step, stopping at the first one that cannot be taken.
    EntityIDPath ids;
    const PlmEntityList* list = &map.entities;
    for (int index : path) {
        if (!list || index < 0 || index >= list->size())
            break;
        const PlmEntity& e = list->at(index);
        ids.append(e.id);
        list = e.geometry.asGroup();
    }
    return ids;
}

std::optional<VectorCanvas::EntityIDPath> VectorCanvas::selectedEntityIDPath() const
{
    if (!selectedIndex || *selectedIndex < 0 || *selectedIndex >= m_map.entities.size())
        return std::nullopt;
    const QString topID = m_map.entities.at(*selectedIndex).id;
    if (keyboardPath && !keyboardPath->isEmpty() && keyboardPath->first() == *selectedIndex) {
        EntityIDPath ids;
        for (qsizetype n = 1; n <= keyboardPath->size(); ++n) {
            const std::optional<PlmEntity> e = entity(keyboardPath->first(n));
            if (!e)
                return EntityIDPath{topID};
            ids.append(e->id);
        }
        return ids;
    }
    return EntityIDPath{topID};
}

bool VectorCanvas::select(const EntityIDPath& idPath)
{
    const std::optional<IndexPath> path = indexPath(idPath);
    if (!path || path->isEmpty())
        return false;
    const bool wasEditing = editingGroup.has_value();
    selectedIndex = path->first();
    setNeedsDisplay();
    keyboardPath = *path;
    if (path->size() >= 2 && isPathVisible(*path))
        editingGroup = path->first(path->size() - 1);
    else
        editingGroup.reset();
    movingPath.reset();
    movingOriginal.reset();
    if (wasEditing != editingGroup.has_value() && onEditingGroup)
        onEditingGroup(editingGroup.has_value());
    setNeedsDisplay();
    return true;
}

void VectorCanvas::clearSelection()
{
    const bool wasEditing = editingGroup.has_value();
    selectedIndex.reset();
    keyboardPath.reset();
    editingGroup.reset();
    movingPath.reset();
    movingOriginal.reset();
    setNeedsDisplay();
    if (wasEditing && onEditingGroup)
        onEditingGroup(false);
}

namespace {

// Writes the entity at the path below `list`; false when a step cannot be taken.
bool writeAt(PlmEntityList& list, const QList<int>& path, qsizetype step, const PlmEntity& entity, int depth)
{
    const int index = path[step];
    if (index < 0 || index >= list.size() || depth > 64)
        return false;
    if (step == path.size() - 1) {
        list.replace(index, entity);
        return true;
    }
    const PlmEntityList* members = list.at(index).geometry.asGroup();
    if (!members)
        return false;
    PlmEntityList copy = *members;
    if (!writeAt(copy, path, step + 1, entity, depth + 1))
        return false;
    PlmEntity parent = list.at(index);
    parent.geometry = PlmGeometry::group(copy);
    list.replace(index, parent);
    return true;
}

} // namespace

void VectorCanvas::replaceEntity(const IndexPath& path, const PlmEntity& entity)
{
    if (path.isEmpty())
        return;
    PlmMap next = m_map;
    if (!writeAt(next.entities, path, 0, entity, 0)) {
        setMap(m_map);  // the tree stays unchanged
        setNeedsDisplay();
        return;
    }
    // Only the top-level entity of the path changed: live moves run here on
    // every mouse event, so the rest of the map's caches are kept.
    const PlmMap previous = m_map;
    m_map = next;
    const std::optional<QRectF> dirty = entityDidChange(path.first(), previous);
    // The frame of an edited group spans more than the moved member.
    if (dirty && !editingGroup)
        setNeedsDisplayInRect(*dirty);
    else
        setNeedsDisplay();
}

namespace {

void collectLeafIDs(const PlmEntity& e, QStringList& ids, int depth)
{
    ids.append(e.id);
    if (const PlmEntityList* members = e.geometry.asGroup())
        if (depth < 64)
            for (const PlmEntity& member : *members)
                collectLeafIDs(member, ids, depth + 1);
}

} // namespace

std::optional<QRectF> VectorCanvas::entityDidChange(int index, const PlmMap& previous)
{
    if (index < 0 || index >= m_map.entities.size() || m_map.entities.size() != previous.entities.size()
        || m_cache.size() != previous.entities.size()) {
        mapDidChange(previous);
        return std::nullopt;
    }
    const PlmEntity& before = previous.entities.at(index);
    const PlmEntity& after = m_map.entities.at(index);
    QStringList ids;
    collectLeafIDs(before, ids, 0);
    collectLeafIDs(after, ids, 0);
    for (const QString& id : ids) {
        pointShapes.remove(id);
        entityNameAutomaticPositions.remove(id);
    }
    const CanvasEntry& old = m_cache.entry(index);
    const std::optional<QRectF> oldBounds = old.hasBounds ? std::optional<QRectF>(old.bounds) : std::nullopt;
    m_cache.replace(index, m_map.entities);
    const std::optional<QRectF> dirty = liveEditRect(oldBounds, m_cache.entry(index));
    if (selectedIndex && *selectedIndex >= 0 && *selectedIndex < previous.entities.size()) {
        const IndexPath oldPath = (keyboardPath && !keyboardPath->isEmpty() && keyboardPath->first() == *selectedIndex)
            ? *keyboardPath
            : IndexPath{*selectedIndex};
        const EntityIDPath oldIDs = idPathAlong(previous, oldPath);
        // The same ids at the same places resolve to the same path.
        if (oldIDs.size() != oldPath.size() || idPathAlong(m_map, oldPath) != oldIDs) {
            const std::optional<IndexPath> resolved = indexPath(oldIDs);
            if (!resolved)
                clearSelection();
            else if (*resolved != oldPath)
                select(oldIDs);
        }
    }
    if (before.id != after.id)
        m_topLevelIndexValid = false;
    if (before.id != after.id || before.hidden() != after.hidden() || before.locked() != after.locked())
        rebuildVisibilitySets();
    // Names follow their entity and may be drawn anywhere near it.
    return showEntityNames ? std::nullopt : dirty;
}

std::optional<QRectF> VectorCanvas::liveEditRect(const std::optional<QRectF>& before, const CanvasEntry& after)
{
    if (!before || !after.hasBounds || !(m_scale > 0))
        return std::nullopt;
    const QRectF& a = *before;
    const QRectF& b = after.bounds;
    const QRectF map(QPointF(std::min(a.left(), b.left()), std::min(a.top(), b.top())),
                     QPointF(std::max(a.right(), b.right()), std::max(a.bottom(), b.bottom())));
    // What drawing may paint beyond the bounds: strokes, point marks, the
    // selection's wider stroke and group frame, the creation handles.
    const double f = m_map.sources.has_value() ? m_scale : 1.0;
    const double margin = std::max(m_cache.maxLineWidth() * f, 3.0) / 2 + std::max(m_cache.maxScreenRadius(), 0.0)
        + m_cache.maxMapRadius() * m_scale + 12;
    const QRectF view = mapToViewTransform().mapRect(map).adjusted(-margin, -margin, margin, margin);
    if (!std::isfinite(view.left()) || !std::isfinite(view.top()) || !std::isfinite(view.width())
        || !std::isfinite(view.height()))
        return std::nullopt;
    return view;
}

void VectorCanvas::rebuildVisibilitySets()
{
    hiddenEntityIDs.clear();
    lockedEntityIDs.clear();
    for (const PlmEntity& e : m_map.entities) {
        if (e.hidden())
            hiddenEntityIDs.insert(e.id);
        if (e.locked())
            lockedEntityIDs.insert(e.id);
    }
}

QList<int> VectorCanvas::topLevelIndices(const QSet<QString>& ids)
{
    QList<int> result;
    if (ids.isEmpty())
        return result;
    const qsizetype n = m_map.entities.size();
    if (!m_topLevelIndexValid) {
        m_topLevelIndexByID.clear();
        m_topLevelIndexByID.reserve(n);
        m_topLevelIDsUnique = true;
        for (qsizetype i = 0; i < n; ++i) {
            const QString& id = m_map.entities.at(i).id;
            if (m_topLevelIndexByID.contains(id))
                m_topLevelIDsUnique = false;
            else
                m_topLevelIndexByID.insert(id, int(i));
        }
        m_topLevelIndexValid = true;
    }
    if (!m_topLevelIDsUnique || ids.size() * 4 > n) {
        for (qsizetype i = 0; i < n; ++i)
            if (ids.contains(m_map.entities.at(i).id))
                result.append(int(i));
        return result;
    }
    for (const QString& id : ids)
        if (const auto it = m_topLevelIndexByID.constFind(id); it != m_topLevelIndexByID.constEnd())
            result.append(*it);
    std::sort(result.begin(), result.end());
    return result;
}

void VectorCanvas::mapDidChange(const PlmMap& previous)
{
    m_topLevelIndexValid = false;
    pointShapes.clear();
    entityNameAutomaticPositions.clear();
    m_cache.reset(m_map.entities);
    if (selectedIndex && *selectedIndex >= 0 && *selectedIndex < previous.entities.size()) {
        const IndexPath oldPath = (keyboardPath && !keyboardPath->isEmpty() && keyboardPath->first() == *selectedIndex)
            ? *keyboardPath
            : IndexPath{*selectedIndex};
        const EntityIDPath ids = idPathAlong(previous, oldPath);
        const std::optional<IndexPath> resolved = indexPath(ids);
        if (!resolved)
            clearSelection();
        else if (*resolved != oldPath)
            select(ids);
    }
    rebuildVisibilitySets();
    setNeedsDisplay();
}

std::optional<PlmPoint> VectorCanvas::entityNameAnchor(const PlmEntity& e)
{
    if (auto it = entityNamePositions.constFind(e.id); it != entityNamePositions.constEnd())
        return *it;
    std::optional<PlmPoint> anchor;
    bool cached = false;
    if (auto it = entityNameAutomaticPositions.constFind(e.id); it != entityNameAutomaticPositions.constEnd()) {
        anchor = *it;
        cached = true;
    } else {
        anchor = PlmSymbolPosition::anchor(e.geometry);
    }
    if (!anchor)
        return std::nullopt;
    PlmPoint result = *anchor;
    if (m_scale > 0) {
        if (!cached)  // storing it again would change nothing
            entityNameAutomaticPositions.insert(e.id, *anchor);
        // The label sits 10 points above the drawn point, whichever way y grows.
        if (e.geometry.asPoint())
            result.y += (pointRadiusInView(e) + 10) / (m_scale * m_yAxisSign);
    }
    return result;
}

std::optional<QPainterPath> VectorCanvas::entityNameLabelPath(const PlmEntity& e, const QRectF* visible)
{
    if (e.hidden() || e.name.isEmpty())
        return std::nullopt;
    const std::optional<PlmPoint> anchor = entityNameAnchor(e);
    if (!anchor)
        return std::nullopt;
    const QPointF at(anchor->x * m_scale + m_offset.x(), anchor->y * m_yAxisSign * m_scale + m_offset.y());
    // Labels far outside the rectangle are not built.
    if (visible && !TextOutline::labelBox(e.name, entityNameFontSize).translated(at).intersects(*visible))
        return QPainterPath();
    // The name's glyphs at the label size in view points, centred on the
    // anchor and upright: the same as a text of size fontSize / scale whose
    // transform carries the map's y sign, seen through the map transform.
    const QPainterPath outline =
        TextOutline::outline(e.name, entityNameFontName, entityNameFontSize, QStringLiteral("middle"), false, false);
    QTransform t = QTransform::fromTranslate(at.x(), at.y());
    if (!rendersOriginalBlock)
        t = t * blockTransform;
    return t.map(outline);
}

std::optional<VectorCanvas::NameLabel> VectorCanvas::entityNameLabel(const PlmEntity& e)
{
    const std::optional<QPainterPath> path = entityNameLabelPath(e, nullptr);
    if (!path)
        return std::nullopt;
    NameLabel label;
    label.id = e.id;
    VectorPathSink sink(label.path);
    sink.addOutline(*path);
    label.path.evenOdd = false;
    return label;
}
