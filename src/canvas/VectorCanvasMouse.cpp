#include "canvas/VectorCanvas.h"

#include "desktop/ViewHost.h"

#include <cmath>

namespace {

constexpr double kDragThreshold = 3;   // points the pointer moves before a press becomes a drag
constexpr double kMinimumZoomSide = 8;  // smaller zoom rectangles are ignored

PlmTransform translation(const QPointF& delta)
{
    return PlmTransform::translation(delta.x(), delta.y());
}

} // namespace

void VectorCanvas::becomeFirstResponder()
{
    if (ViewHost* h = host())
        h->setFirstResponder(this);
}

bool VectorCanvas::movedEntityStillThere() const
{
    if (!movingPath || !movingOriginal)
        return false;
    const std::optional<PlmEntity> current = entity(*movingPath);
    return current && current->id == movingOriginal->id;
}

void VectorCanvas::mouseDown(const ViewMouseEvent& e)
{
    if (!isInteractive)
        return;
    // Every gesture starts afresh, also one that the creation handling takes:
    // a drag it declines then pans from this press, not from an older one.
    const QPointF p = e.location;
    down = p;
    previous = p;
    dragged = false;
    movingPath.reset();
    movingOriginal.reset();
    movingEntityName.reset();
    if (creationMouseDown(e))
        return;
    becomeFirstResponder();
    const bool option = e.modifiers.testFlag(Qt::AltModifier);

    if (!option && onEntityNameMove) {
        if (const std::optional<QString> id = entityNameLabel(p)) {
            const qsizetype index = m_map.entities.indexOfId(*id);
            if (index >= 0) {
                if (const std::optional<PlmPoint> anchor = entityNameAnchor(m_map.entities.at(index))) {
                    movingEntityName = MovingName{*id, *anchor};
                    selectedIndex = int(index);
                    setNeedsDisplay();
                    if (onSelection)
                        onSelection(selectedIndex);
                    return;
                }
            }
        }
    }
    if (option || !onEntityEdit)
        return;

    const std::optional<IndexPath> path = indexPath(p);
    if (!path)
        return;
    const std::optional<PlmEntity> hit = entity(*path);
    if (!hit)
        return;
    selectedIndex = path->first();
    setNeedsDisplay();
    if (onSelection)
        onSelection(selectedIndex);
    keyboardPath = *path;
    if (onStudioObjectSelection)
        if (const std::optional<EntityIDPath> ids = selectedEntityIDPath())
            onStudioObjectSelection(*ids);
    if (!isEditable(*path, false))
        return;  // selected, but neither moved nor edited

    if (e.clickCount == 2) {
        if (hit->geometry.isGroup()) {
            editingGroup = *path;
            if (onEditingGroup)
                onEditingGroup(true);
            setNeedsDisplay();
            return;
        }
        if (hit->geometry.asText()) {
            editText(*path);
            return;
        }
    }
    if (editingGroup || hit->geometry.isGroup()) {
        movingPath = *path;
        movingOriginal = *hit;
    }
}

void VectorCanvas::mouseDragged(const ViewMouseEvent& e)
{
    if (!isInteractive || creationMouseDragged(e))
        return;
    const QPointF p = e.location;
    if (std::hypot(p.x() - down.x(), p.y() - down.y()) > kDragThreshold)
        dragged = true;

    if (movingEntityName) {
        if (!dragged)
            return;
        const QPointF delta = mapPoint(p) - mapPoint(down);
        entityNamePositions.insert(movingEntityName->id,
                                   PlmPoint{movingEntityName->origin.x + delta.x(), movingEntityName->origin.y + delta.y()});
        setNeedsDisplay();
        return;
    }
    if (e.modifiers.testFlag(Qt::AltModifier)) {
        zoomRectangle = QRectF(std::min(down.x(), p.x()), std::min(down.y(), p.y()), std::abs(p.x() - down.x()),
                               std::abs(p.y() - down.y()));
        setNeedsDisplay();
        return;
    }
    if (dragged) {
        if (movingPath && movingOriginal && !movedEntityStillThere()) {
            // The owner replaced the map meanwhile: another entity may sit at
            // that path now, and must not be overwritten.
            movingPath.reset();
            movingOriginal.reset();
        }
        if (movingPath && movingOriginal && isEditable(*movingPath, false)) {
            PlmEntity moved = *movingOriginal;  // from the original each time, so the move never drifts
            moved.apply(translation(mapPoint(p) - mapPoint(down)));
            replaceEntity(*movingPath, moved);
        } else if (onCompositionPan) {
            onCompositionPan(p - previous);
        } else {
            const QPointF delta = p - previous;
            m_offset.rx() += delta.x();
            if (onViewportChange)
                onViewportChange();
            m_offset.ry() += delta.y();
            if (onViewportChange)
                onViewportChange();
            tracksFit = false;
            setNeedsDisplay();
        }
    }
    previous = p;
}

void VectorCanvas::mouseUp(const ViewMouseEvent& e)
{
    if (!isInteractive || finishCreationGesture())
        return;
    const QPointF p = e.location;

    if (movingEntityName) {
        const MovingName moving = *movingEntityName;
        movingEntityName.reset();
        if (dragged) {
            const auto it = entityNamePositions.constFind(moving.id);
            if (it != entityNamePositions.constEnd() && !(*it == moving.origin) && onEntityNameMove)
                onEntityNameMove(moving.id, *it);
        }
        return;
    }

    if (zoomRectangle) {
        const QRectF r = *zoomRectangle;
        zoomRectangle.reset();
        if (onCompositionZoomRect) {
            onCompositionZoomRect(r);
        } else if (r.width() > kMinimumZoomSide && r.height() > kMinimumZoomSide) {
            const QRectF b = bounds();
            zoom(std::min(b.width() / r.width(), b.height() / r.height()), r.center());
            m_offset.rx() += b.center().x() - r.center().x();
            if (onViewportChange)
                onViewportChange();
            m_offset.ry() += b.center().y() - r.center().y();
            if (onViewportChange)
                onViewportChange();
        }
        setNeedsDisplay();
        return;
    }

    if (dragged && movingPath && !movingPath->isEmpty() && isEditable(*movingPath, false) && movedEntityStillThere()
        && onEntityEdit) {
        const int index = movingPath->first();
        if (index >= 0 && index < m_map.entities.size())
            onEntityEdit(index, m_map.entities.at(index),
                         editingGroup ? QStringLiteral("Déplacer un objet du groupe") : QStringLiteral("Déplacer le groupe"));
    }
    movingPath.reset();
    movingOriginal.reset();
    if (dragged || editingGroup)
        return;

    // The topmost top-level entity under the click, found through the cached
    // paths and the grid (outside group editing indexPath looks at top level).
    const std::optional<IndexPath> hit = indexPath(p);
    selectedIndex = hit ? std::optional<int>(hit->first()) : std::nullopt;
    setNeedsDisplay();
    if (onSelection)
        onSelection(selectedIndex);
}

void VectorCanvas::editText(const IndexPath& path)
{
    const std::optional<PlmEntity> target = entity(path);
    if (!target || !target->geometry.asText())
        return;
    const std::optional<QString> typed = askText(
        {QStringLiteral("Modifier le texte"), target->geometry.asText()->text, {QStringLiteral("Valider"), QStringLiteral("Annuler")}});
    if (!typed)
        return;
    // The canvas may have been given another map while the dialog was open.
    const std::optional<PlmEntity> current = entity(path);
    if (!current || current->id != target->id || !current->geometry.asText())
        return;
    PlmEntity edited = *current;
    edited.geometry.asText()->text = *typed;
    replaceEntity(path, edited);
    const int index = path.first();
    if (onEntityEdit && index >= 0 && index < m_map.entities.size())
        onEntityEdit(index, m_map.entities.at(index), QStringLiteral("Modifier un texte du groupe"));
}
