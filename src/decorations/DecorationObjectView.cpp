#include "decorations/DecorationObjectView.h"

#include "canvas/VectorCanvas.h"
#include "decorations/DecorationDrawing.h"
#include "decorations/DecorationGlyphs.h"
#include "decorations/DecorationViewKeys.h"
#include "decorations/LegendLayout.h"
#include "platform/ViewHost.h"

#include <QMenu>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <numbers>

DecorationObjectView::DecorationObjectView(const PlmDecorationObject& object) : object(object)
{
    // Shadows and rotated objects reach outside the frame.
    setClipsToBounds(false);
}

DecorationObjectView::~DecorationObjectView()
{
    // "Supprimer" in the menu deletes this view while the menu is still emitting.
    if (m_menu)
        m_menu->deleteLater();
}

void DecorationObjectView::syncLegendCopy()
{
    if (object.kind != PlmDecorationKind::legend || !legendSource) {
        legendCopy.reset();
        return;
    }
    if (const std::optional<LegendData> source = legendSource())
        legendCopy = decorationLegendCopy(object, *source, bounds().size());
    else
        legendCopy.reset();
}

bool DecorationObjectView::containsHit(const QPointF& point) const
{
    const QRectF b = bounds();
    if (!b.contains(point))
        return false;
    if (selected || (object.kind != PlmDecorationKind::rectangle && object.kind != PlmDecorationKind::ellipse))
        return true;
    const PlmEditingStyle style = object.presentation.effectiveEditingStyle();
    if (!style.noFill && object.presentation.background.alpha != 0)
        return true;
    // An unfilled shape is grabbed near its outline only, so what lies inside stays reachable.
    const double t = std::max(style.strokeWidth + 4, 8.0);
    if (object.kind == PlmDecorationKind::rectangle)
        return !b.adjusted(t, t, -t, -t).contains(point);
    const double nx = (point.x() - b.center().x()) / std::max(b.width() / 2, 1.0);
    const double ny = (point.y() - b.center().y()) / std::max(b.height() / 2, 1.0);
    return std::abs(std::sqrt(nx * nx + ny * ny) - 1) < t / std::max(std::min(b.width(), b.height()) / 2, 1.0);
}

QPointF DecorationObjectView::localPoint(const QPointF& p) const
{
    const double degrees = rotation();
    if (degrees == 0)
        return p;
    const QPointF c = bounds().center();
    const double a = -degrees * std::numbers::pi / 180;
    const QPointF d = p - c;
    return {c.x() + d.x() * std::cos(a) - d.y() * std::sin(a), c.y() + d.x() * std::sin(a) + d.y() * std::cos(a)};
}

double DecorationObjectView::rotation() const { return object.presentation.effectiveEditingStyle().rotation; }

bool DecorationObjectView::editsText() const
{
    return isText(object.kind) || object.kind == PlmDecorationKind::legend;
}

std::optional<double> DecorationObjectView::measureScale() const
{
    if (object.kind != PlmDecorationKind::scale || !vector || !superview())
        return std::nullopt;
    const QRectF f = frame();
    const QRectF inMap(vector->convertFrom(f.topLeft(), superview()), f.size());
    return measureDecorationScale(*vector, inMap, superview()->bounds().size());
}

const QImage* DecorationObjectView::decodedBitmap() const
{
    if (object.kind != PlmDecorationKind::image || !object.bitmap)
        return nullptr;
    const QByteArray& bytes = *object.bitmap;
    // The kept copy shares the buffer, so an equal pointer and size mean the same bytes.
    if (bytes.constData() != m_bitmapBytes.constData() || bytes.size() != m_bitmapBytes.size()) {
        m_bitmapBytes = bytes;
        m_bitmap = decodeDecorationBitmap(bytes);
    }
    return &m_bitmap;
}

void DecorationObjectView::draw(QPainter& painter, const QRectF&) { drawObject(painter, false); }

QRectF DecorationObjectView::paintedRect() const
{
    const PlmPresentation& p = object.kind == PlmDecorationKind::legend
        ? LegendLayout::textPresentation(object.presentation)
        : object.presentation;
    return decorationPaintedRect(p, bounds().size()).translated(bounds().topLeft());
}

void DecorationObjectView::drawObject(QPainter& painter, bool exporting) const
{
    DecorationDrawingContext context;
    if (vector && superview()) {
        const QRectF f = frame();
        context = decorationContext(object, vector, QRectF(vector->convertFrom(f.topLeft(), superview()), f.size()),
                                    superview()->bounds().size());
    }
    context.exporting = exporting;
    context.selected = selected && !exporting;
    context.legend = legendCopy;
    context.accent = accentColor;
    context.image = decodedBitmap();
    drawDecorationObject(painter, object, bounds().size(), context);
}

void DecorationObjectView::mouseDown(const ViewMouseEvent& e)
{
    if (onModifiedSelect)
        onModifiedSelect(e.modifiers);
    else if (onSelect)
        onSelect();
    if (ViewHost* h = host())
        h->setFirstResponder(this);
    previous = e.windowLocation;
    moved = false;
    isManipulating = true;
    const QPointF p = localPoint(e.location);
    const QRectF b = bounds();
    const double x = p.x() - b.left(), y = p.y() - b.top();
    const double w = b.width(), h = b.height();
    resizing = (x < cornerZone || x > w - cornerZone) && (y < cornerZone || y > h - cornerZone);
    corner = (x < cornerZone ? 0 : 1) + (y > h - cornerZone ? 2 : 0);
    rotating = object.kind != PlmDecorationKind::scale && std::abs(x - w / 2) < 12 && y > h - 16;
    if (e.clickCount == 2 && editsText() && onEdit)
        onEdit();
}

void DecorationObjectView::mouseDragged(const ViewMouseEvent& e)
{
    ViewNode* parent = superview();
    const PlmEditingStyle style = object.presentation.effectiveEditingStyle();
    if (style.lockPosition || !parent)
        return;
    moved = true;
    if (rotating) {
        const QPointF q = e.location;
        const QPointF c = bounds().center();
        const double angle = std::atan2(q.y() - c.y(), q.x() - c.x()) * 180 / std::numbers::pi - 90;
        PlmEditingStyle next = style;
        next.rotation = angle;
        object.presentation.setEffectiveEditingStyle(next);
        setNeedsDisplay();
        if (onRotation)
            onRotation(angle, false);
        return;
    }
    const QPointF now = parent->convertFromRoot(e.windowLocation);
    const QPointF before = parent->convertFromRoot(previous);
    double dx = now.x() - before.x(), dy = now.y() - before.y();
    previous = e.windowLocation;
    QRectF f = frame();
    if (resizing) {
        // The pointer's motion in the element's own axes.
        const double a = -style.rotation * std::numbers::pi / 180;
        const double rx = dx * std::cos(a) - dy * std::sin(a), ry = dx * std::sin(a) + dy * std::cos(a);
        dx = rx, dy = ry;
        const QRectF page = parent->bounds();
        const bool right = corner == 1 || corner == 3, upper = corner == 2 || corner == 3;
        double w = std::min(std::max(right ? f.width() + dx : f.width() - dx, minimumWidth), page.width());
        double h = std::min(std::max(upper ? f.height() + dy : f.height() - dy, minimumHeight), page.height());
        double x = f.left(), y = f.top();
        if (!right)
            x += dx;
        if (!upper)
            y += dy;
        if (style.lockRatio && object.width > 0)
            h = w * object.height / object.width;
        f = QRectF(x, y, w, h);
    } else {
        f.translate(dx, dy);
    }
    setFrame(f);
    if (superview())
        report(f, false);
}

void DecorationObjectView::mouseUp(const ViewMouseEvent&)
{
    if (moved) {
        if (rotating) {
            if (onRotation)
                onRotation(rotation(), true);
        } else if (superview()) {
            report(frame(), true);
        }
    }
    isManipulating = false;
    if (ViewNode* parent = superview())
        parent->setNeedsLayout();
}

void DecorationObjectView::report(const QRectF& f, bool ended)
{
    if (onGeometry)
        onGeometry(PlmPoint{f.left(), f.top()}, f.width(), f.height(), ended);
}

QMenu* DecorationObjectView::menuForEvent(const ViewMouseEvent&)
{
    if (onSelect)
        onSelect();
    if (m_menu)
        m_menu->deleteLater();
    m_menu = new QMenu(host());
    m_menu->setAttribute(Qt::WA_DeleteOnClose);
    if (editsText())
        QObject::connect(m_menu->addAction(editMenuTitle()), &QAction::triggered, m_menu, [this] { editFromMenu(); });
    QObject::connect(m_menu->addAction(deleteMenuTitle()), &QAction::triggered, m_menu, [this] { deleteFromMenu(); });
    return m_menu;
}

void DecorationObjectView::editFromMenu()
{
    if (onSelect)
        onSelect();
    if (onEdit)
        onEdit();
}

void DecorationObjectView::deleteFromMenu()
{
    if (onSelect)
        onSelect();
    if (onDelete)
        onDelete();
}

void DecorationObjectView::rightMouseDown(const ViewMouseEvent& e)
{
    popUpDecorationMenu(*this, menuForEvent(e), e);
}

void DecorationObjectView::keyDown(const ViewKeyEvent& e)
{
    // Command with the plain lowercase letter only: a shifted letter is another character.
    if ((e.modifiers & Qt::ControlModifier) && !(e.modifiers & Qt::ShiftModifier)) {
        if (const std::optional<QString> command = decorationClipboardCommand(e.key)) {
            if (onCommand)
                onCommand(*command);
            return;
        }
    }
    if (e.key == Qt::Key_Backspace || e.key == Qt::Key_Delete) {
        if (onDelete)
            onDelete();
        return;
    }
    if ((e.key == Qt::Key_Return || e.key == Qt::Key_Enter) && editsText()) {
        if (onEdit)
            onEdit();
        return;
    }
    if (e.key == Qt::Key_Escape) {
        if (onDeselect)
            onDeselect();
        return;
    }
    const std::optional<QPointF> nudge = decorationArrowNudge(e);
    if (nudge && !object.presentation.effectiveEditingStyle().lockPosition && superview()) {
        const double dx = nudge->x(), dy = nudge->y();
        const QRectF f = frame().translated(dx, dy);
        setFrame(f);
        report(f, true);
        return;
    }
    ViewNode::keyDown(e);
}
