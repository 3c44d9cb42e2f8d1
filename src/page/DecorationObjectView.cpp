#include "page/DecorationObjectView.h"

#include "canvas/VectorCanvas.h"
#include "page/DecorationDrawing.h"
#include "page/DecorationGlyphs.h"
#include "page/LegendLayout.h"
#include "page/PageObjectInteraction.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <numbers>

DecorationObjectView::DecorationObjectView(const PlmDecorationObject& object) : object(object)
{
    // Shadows and rotated objects reach outside the frame.
    setClipsToBounds(false);
}

DecorationObjectView::~DecorationObjectView() = default;

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
    return PageObjectInteraction::unrotated(bounds(), rotation(), p);
}

double DecorationObjectView::rotation() const { return object.presentation.effectiveEditingStyle().rotation; }

bool DecorationObjectView::editsText() const
{
    return isText(object.kind) || object.kind == PlmDecorationKind::legend;
}

DecorationDrawingContext DecorationObjectView::pageContext() const
{
    if (!vector || !superview())
        return {};
    // The visible extent is that of the page (the superview), not of the map view, which may
    // reach past the page's edges.
    const QRectF f = frame();
    return decorationContext(object, vector, QRectF(vector->convertFrom(f.topLeft(), superview()), f.size()),
                             superview()->bounds().size());
}

std::optional<double> DecorationObjectView::measureScale() const
{
    if (object.kind != PlmDecorationKind::scale)
        return std::nullopt;
    return pageContext().scaleMeters;
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
    DecorationDrawingContext context = pageContext();
    context.exporting = exporting;
    context.selected = selected && !exporting;
    context.legend = legendCopy;
    context.accent = accentColor;
    context.image = decodedBitmap();
    drawDecorationObject(painter, object, bounds().size(), context);
}

void DecorationObjectView::mouseDown(const ViewMouseEvent& e)
{
    PageObjectInteraction::reportPress(*this, e, onModifiedSelect, onSelect);
    previous = e.windowLocation;
    moved = false;
    isManipulating = true;
    const PageObjectInteraction::Grab grab = PageObjectInteraction::grabAt(bounds(), localPoint(e.location));
    resizing = grab.corner;
    corner = (grab.left ? 0 : 1) + (grab.upper ? 2 : 0);
    rotating = object.kind != PlmDecorationKind::scale && grab.knob;
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
        const double angle = PageObjectInteraction::knobAngle(bounds(), e.location);
        PlmEditingStyle next = style;
        next.rotation = angle;
        object.presentation.setEffectiveEditingStyle(next);
        setNeedsDisplay();
        if (onRotation)
            onRotation(angle, false);
        return;
    }
    const QPointF motion = PageObjectInteraction::motionIn(*parent, previous, e.windowLocation);
    double dx = motion.x(), dy = motion.y();
    previous = e.windowLocation;
    QRectF f = frame();
    if (resizing) {
        // The pointer's motion in the element's own axes.
        const double a = -style.rotation * std::numbers::pi / 180;
        const double rx = dx * std::cos(a) - dy * std::sin(a), ry = dx * std::sin(a) + dy * std::cos(a);
        dx = rx, dy = ry;
        const QRectF page = parent->bounds();
        const bool right = corner == 1 || corner == 3, upper = corner == 2 || corner == 3;
        const double w = PageObjectInteraction::clampedSide(right ? f.width() + dx : f.width() - dx, minimumWidth,
                                                            page.width());
        double h = PageObjectInteraction::clampedSide(upper ? f.height() + dy : f.height() - dy, minimumHeight,
                                                      page.height());
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
    PageObjectInteraction::release(*this, isManipulating);
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
    QList<ViewContextMenu::Item> items;
    if (editsText())
        items.append({editMenuTitle(), [this] { editFromMenu(); }});
    items.append({deleteMenuTitle(), [this] { deleteFromMenu(); }});
    return m_menu.make(*this, items);
}

void DecorationObjectView::editFromMenu() { PageObjectInteraction::selectThen(onSelect, onEdit); }

void DecorationObjectView::deleteFromMenu() { PageObjectInteraction::selectThen(onSelect, onDelete); }

void DecorationObjectView::rightMouseDown(const ViewMouseEvent& e)
{
    ViewContextMenu::popUp(*this, menuForEvent(e), e);
}

void DecorationObjectView::keyDown(const ViewKeyEvent& e)
{
    std::function<void(const QPointF&)> nudge;
    if (!object.presentation.effectiveEditingStyle().lockPosition && superview())
        nudge = [this](const QPointF& step) {
            const QRectF f = frame().translated(step);
            setFrame(f);
            report(f, true);
        };
    if (PageObjectInteraction::handleSharedKey(e, onCommand, onDelete, nudge))
        return;
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
    ViewNode::keyDown(e);
}
