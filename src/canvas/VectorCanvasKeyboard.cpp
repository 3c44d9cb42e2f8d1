#include "canvas/VectorCanvas.h"

namespace {

constexpr double kPanStep = 30;  // view points per arrow press when the view pans

struct Arrow {
    double dx = 0;
    double dy = 0;
};

// The view's y axis points up: down is negative.
std::optional<Arrow> arrowOf(int key)
{
    switch (key) {
    case Qt::Key_Left: return Arrow{-1, 0};
    case Qt::Key_Right: return Arrow{1, 0};
    case Qt::Key_Down: return Arrow{0, -1};
    case Qt::Key_Up: return Arrow{0, 1};
    default: return std::nullopt;
    }
}

PlmTransform translation(const QPointF& delta)
{
    return PlmTransform::translation(delta.x(), delta.y());
}

} // namespace

QPointF VectorCanvas::mapDelta(double dx, double dy) const
{
    return mapPoint(QPointF(dx, dy)) - mapPoint(QPointF(0, 0));
}

void VectorCanvas::keyDown(const ViewKeyEvent& e)
{
    // A view that takes no part in editing is never the first responder; as
    // the root of its host it still receives keys, which it passes on.
    if (!isInteractive) {
        ViewNode::keyDown(e);
        return;
    }
    const std::optional<Arrow> arrow = arrowOf(e.key);
    const double step = e.modifiers.testFlag(Qt::ShiftModifier) ? 10 : 1;
    const bool escape = e.key == Qt::Key_Escape;

    if (creationEnabled) {
        if (escape) {
            drawingPoints.clear();
            drawingEnd.reset();
            creationStart.reset();
            creationOriginals.clear();
            m_drawingTool = DrawingTool::selection;
            drawingToolDidChange();
            setNeedsDisplay();
        } else if (e.key == Qt::Key_Return
                   && (m_drawingTool == DrawingTool::polygon || m_drawingTool == DrawingTool::polyline)) {
            finishDrawing();
            return;
        } else if (e.key == Qt::Key_Backspace || e.key == Qt::Key_Delete) {
            if (onCreationCommand)
                onCreationCommand(QStringLiteral("delete"));
            return;
        } else if (arrow && !editingGroup && !creationSelection.isEmpty()) {
            const QPointF delta = mapDelta(arrow->dx * step, arrow->dy * step);
            QList<QPair<int, PlmEntity>> moved;
            for (int i : topLevelIndices(creationSelection)) {
                if (!isEditable(IndexPath{i}, false))
                    continue;
                PlmEntity next = m_map.entities.at(i);
                next.apply(translation(delta));
                moved.append({i, next});
            }
            if (!moved.isEmpty() && onCreationEdit)
                onCreationEdit(moved, QStringLiteral("Déplacer les entités avec les flèches"));
            return;
        }
    }

    if (arrow && onEntityEdit) {
        std::optional<IndexPath> path;
        if (editingGroup)
            path = keyboardPath;
        else if (selectedIndex)
            path = IndexPath{*selectedIndex};
        const std::optional<PlmEntity> target = path ? entity(*path) : std::nullopt;
        if (target) {
            if (!isEditable(*path, false))
                return;  // a locked entity is neither moved nor panned
            PlmEntity next = *target;
            next.apply(translation(mapDelta(arrow->dx * step, arrow->dy * step)));
            replaceEntity(*path, next);
            const int index = path->first();
            if (index >= 0 && index < m_map.entities.size())
                onEntityEdit(index, m_map.entities.at(index), QStringLiteral("Déplacer l’objet avec les flèches"));
            return;
        }
    }

    if (arrow && onCompositionPan) {
        onCompositionPan(QPointF(-arrow->dx * kPanStep, -arrow->dy * kPanStep));
        return;
    }

    if (escape) {
        if (editingGroup) {
            editingGroup.reset();
            if (onEditingGroup)
                onEditingGroup(false);
            setNeedsDisplay();
        } else {
            selectedIndex.reset();
            setNeedsDisplay();
            if (onSelection)
                onSelection(std::nullopt);
            tracksFit = false;
            setNeedsDisplay();
        }
        return;
    }
    if (arrow) {
        m_offset += QPointF(-arrow->dx * kPanStep, -arrow->dy * kPanStep);
        if (onViewportChange)
            onViewportChange();
        tracksFit = false;
        setNeedsDisplay();
        return;
    }
    ViewNode::keyDown(e);
}
