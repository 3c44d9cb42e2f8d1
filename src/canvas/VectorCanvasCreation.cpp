#include "canvas/VectorCanvas.h"

#include <cmath>

namespace {

constexpr double kGrabDistance = 8;  // view points from a handle or a vertex

double distance(const QPointF& a, const QPointF& b)
{
    return std::hypot(a.x() - b.x(), a.y() - b.y());
}

// Corners in the order (minX, minY), (maxX, minY), (maxX, maxY), (minX, maxY),
// y growing upward.
QPointF corner(const QRectF& box, int index)
{
    switch (((index % 4) + 4) % 4) {
    case 0: return QPointF(box.left(), box.top());
    case 1: return QPointF(box.right(), box.top());
    case 2: return QPointF(box.right(), box.bottom());
    default: return QPointF(box.left(), box.bottom());
    }
}

PlmTransform translation(double dx, double dy)
{
    PlmTransform t;
    t.tx = dx;
    t.ty = dy;
    return t;
}

} // namespace

QStringList VectorCanvas::creationGroupMembers(const QString& group) const
{
    QStringList ids;
    const QString key = creationGroupKey();
    for (const PlmEntity& e : m_map.entities) {
        const auto it = e.attributes.constFind(key);
        if (it != e.attributes.constEnd() && *it == group)
            ids.append(e.id);
    }
    return ids;
}

bool VectorCanvas::creationMouseDown(const ViewMouseEvent& e)
{
    if (!creationEnabled)
        return false;
    const QPointF m = mapPoint(e.location);
    const PlmPoint p = snapped(PlmPoint{m.x(), m.y()});
    becomeFirstResponder();

    if (m_drawingTool != DrawingTool::selection && m_drawingTool != DrawingTool::vertices) {
        tracksFit = false;
        fitted = true;
        switch (m_drawingTool) {
        case DrawingTool::rectangle:
        case DrawingTool::ellipse:
        case DrawingTool::line:
            drawingPoints = {p};
            drawingEnd.reset();
            break;
        case DrawingTool::polygon:
        case DrawingTool::polyline:
            if (drawingPoints.isEmpty() || !(drawingPoints.last() == p))
                drawingPoints.append(p);
            if (e.clickCount > 1)
                finishDrawing();
            break;
        case DrawingTool::text:
            if (const std::optional<QString> text = askText(
                    {QStringLiteral("Texte de l’entité"), QString(), {QStringLiteral("Ajouter"), QStringLiteral("Annuler")}}))
                makeTextGeometry(p, *text);
            break;
        case DrawingTool::point:
            if (onCreate) {
                const QString name = pendingPointSymbol && pendingPointSymbol->sfSymbolName
                    ? *pendingPointSymbol->sfSymbolName
                    : QStringLiteral("Point");
                onCreate(PlmGeometry::point(p), name);
            }
            break;
        default:
            break;
        }
        setNeedsDisplay();
        return true;
    }

    if (editingGroup || e.modifiers.testFlag(Qt::AltModifier))
        return false;
    creationStart = p;
    creationOriginals.clear();
    resizingCorner.reset();
    movingVertex.reset();

    bool grabbed = false;
    if (m_drawingTool == DrawingTool::vertices && selectedIndex && *selectedIndex >= 0
        && *selectedIndex < m_map.entities.size() && isEditable(IndexPath{*selectedIndex}, false)) {
        const QList<PlmPoint> vertices = editableVertices(m_map.entities.at(*selectedIndex).geometry);
        for (qsizetype k = 0; k < vertices.size() && !grabbed; ++k) {
            if (distance(viewPoint(QPointF(vertices[k].x, vertices[k].y)), e.location) < kGrabDistance) {
                movingVertex = int(k);
                grabbed = true;
            }
        }
    }
    if (m_drawingTool == DrawingTool::selection && !creationSelection.isEmpty()) {
        const QRectF box = creationSelectionBounds();
        if (!box.isNull()) {
            for (int c = 0; c < 4 && !grabbed; ++c) {
                if (distance(corner(box, c), e.location) < kGrabDistance) {
                    resizingCorner = c;
                    grabbed = true;
                }
            }
        }
    }

    if (!grabbed) {
        const std::optional<IndexPath> hitPath = indexPath(e.location);
        std::optional<int> h;
        std::optional<QString> hitID;
        QSet<QString> groupSet;
        if (hitPath && !hitPath->isEmpty() && hitPath->first() < m_map.entities.size()) {
            h = hitPath->first();
            const PlmEntity& hit = m_map.entities.at(*h);
            hitID = hit.id;
            const auto it = hit.attributes.constFind(creationGroupKey());
            if (it != hit.attributes.constEnd()) {
                const QStringList members = creationGroupMembers(*it);
                groupSet = QSet<QString>(members.begin(), members.end());
            }
            groupSet.insert(hit.id);
        }
        const bool extend = e.modifiers & (Qt::ShiftModifier | Qt::ControlModifier);
        QSet<QString> next;
        if (!hitID)
            next = extend ? creationSelection : QSet<QString>();
        else if (!extend)
            next = creationSelection.contains(*hitID) ? (creationSelection | groupSet) : groupSet;
        else
            next = creationSelection.contains(*hitID) ? (creationSelection - groupSet) : (creationSelection | groupSet);
        if (onSelectionSet)
            onSelectionSet(next, hitID);
        creationSelection = next;
        setNeedsDisplay();
        if (h && next.contains(*hitID)) {
            selectedIndex = h;
        } else {
            const QList<int> selected = topLevelIndices(next);
            selectedIndex = selected.isEmpty() ? std::nullopt : std::optional<int>(selected.first());
        }
        setNeedsDisplay();
        if (h && e.clickCount == 2) {
            const PlmEntity& hit = m_map.entities.at(*h);
            if (hit.geometry.isGroup()) {
                editingGroup = IndexPath{*h};
                keyboardPath = IndexPath{*h};
                if (onEditingGroup)
                    onEditingGroup(true);
            } else if (hit.geometry.asText()) {
                return false;  // the ordinary handling opens the text dialog
            }
        }
    }

    for (int i : topLevelIndices(creationSelection))
        if (isEditable(IndexPath{i}, false))
            creationOriginals.append({i, m_map.entities.at(i)});
    const QRectF box = creationSelectionBounds();
    creationBox = box.isNull() && creationSelection.isEmpty() ? std::nullopt : std::optional<QRectF>(box);
    return !creationOriginals.isEmpty();
}

bool VectorCanvas::creationMouseDragged(const ViewMouseEvent& e)
{
    if (!creationEnabled)
        return false;
    const QPointF m = mapPoint(e.location);
    const PlmPoint p = snapped(PlmPoint{m.x(), m.y()});
    if ((m_drawingTool == DrawingTool::rectangle || m_drawingTool == DrawingTool::ellipse
         || m_drawingTool == DrawingTool::line)
        && !drawingPoints.isEmpty()) {
        drawingEnd = p;
        setNeedsDisplay();
        return true;
    }
    if (!creationStart || creationOriginals.isEmpty())
        return false;
    moveCreationCapture(p);  // redraws what it moved
    return true;
}

void VectorCanvas::moveCreationCapture(const PlmPoint& p)
{
    const PlmPoint start = *creationStart;
    const bool flatBox = creationBox && (creationBox->width() == 0 || creationBox->height() == 0);
    std::optional<PlmTransform> scaling;
    if (resizingCorner && creationBox && !flatBox) {
        const QPointF am = mapPoint(corner(*creationBox, *resizingCorner + 2));
        const QPointF cm = mapPoint(corner(*creationBox, *resizingCorner));
        const PlmPoint a = snapped(PlmPoint{am.x(), am.y()});
        const PlmPoint c = snapped(PlmPoint{cm.x(), cm.y()});
        // Never negative: dragging past the anchor does not mirror.
        const double sx = std::max(std::abs(p.x - a.x) / std::max(std::abs(c.x - a.x), 0.001), 0.02);
        const double sy = std::max(std::abs(p.y - a.y) / std::max(std::abs(c.y - a.y), 0.001), 0.02);
        scaling = PlmTransform{sx, 0, 0, sy, a.x * (1 - sx), a.y * (1 - sy)};
    }
    std::optional<QRectF> dirty;
    bool whole = false;
    for (const auto& [index, original] : creationOriginals) {
        // The map may have been replaced meanwhile: only the captured entity is moved.
        if (index < 0 || index >= m_map.entities.size() || m_map.entities.at(index).id != original.id)
            continue;
        PlmEntity next = original;
        if (movingVertex) {
            if (selectedIndex && index == *selectedIndex) {
                const int k = *movingVertex;
                if (QList<PlmPoint>* points = next.geometry.asPolyline()) {
                    if (k >= 0 && k < points->size())
                        (*points)[k] = p;
                } else if (PlmPolygon* polygon = next.geometry.asPolygon()) {
                    if (k >= 0 && k < polygon->exterior.size())
                        polygon->exterior[k] = p;
                }
            }
        } else if (resizingCorner && creationBox && flatBox && next.geometry.asPolyline()
                   && next.geometry.asPolyline()->size() == 2) {
            QList<PlmPoint>& points = *next.geometry.asPolyline();
            const double d0 = std::hypot(points[0].x - start.x, points[0].y - start.y);
            const double d1 = std::hypot(points[1].x - start.x, points[1].y - start.y);
            points[d0 < d1 ? 0 : 1] = p;
        } else if (scaling) {
            // The geometry (and its clips) change shape; the style, a point's
            // radius included, stays.
            const PlmStyle style = next.style;
            next.apply(*scaling);
            next.style = style;
        } else {
            next.apply(translation(p.x - start.x, p.y - start.y));
        }
        const PlmMap previousMap = m_map;
        m_map.entities.replace(index, next);
        const std::optional<QRectF> rect = entityDidChange(index, previousMap);
        if (!rect)
            whole = true;
        else if (!whole)
            dirty = dirty ? dirty->united(*rect) : *rect;
    }
    // The selection frame spans every selected entity: when one of them stays
    // behind (locked, hidden), the frame reaches beyond the moved ones.
    if (whole || !dirty || creationOriginals.size() != creationSelection.size() || editingGroup)
        setNeedsDisplay();
    else
        setNeedsDisplayInRect(*dirty);
}
