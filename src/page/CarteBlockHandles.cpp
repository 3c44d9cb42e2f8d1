#include "page/CarteBlockHandles.h"

#include "canvas/VectorCanvas.h"
#include "page/ThematicCanvas.h"
#include "desktop/ViewHost.h"

#include <QPainter>
#include <QPainterPath>
#include <QPen>

#include <algorithm>
#include <cmath>

namespace {

bool isLeft(int h) { return h == 0 || h == 6 || h == 7; }
bool isRight(int h) { return h == 2 || h == 3 || h == 4; }
bool isBottom(int h) { return h == 0 || h == 1 || h == 2; }
bool isTop(int h) { return h == 4 || h == 5 || h == 6; }

double distance(const QPointF& a, const QPointF& b) { return std::hypot(a.x() - b.x(), a.y() - b.y()); }

} // namespace

CarteBlockHandles::CarteBlockHandles(ThematicCanvas* canvas) : canvas(canvas) { setClipsToBounds(false); }

QRectF CarteBlockHandles::blockBounds() const
{
    return canvas && canvas->vector() ? canvas->vector()->originalBlockBounds() : QRectF();
}

QTransform CarteBlockHandles::blockTransform() const
{
    return canvas && canvas->vector() ? canvas->vector()->blockTransform : QTransform();
}

std::array<QPointF, 8> CarteBlockHandles::handlePoints() const
{
    const QRectF b = blockBounds();
    const QTransform t = blockTransform();
    // y up: top() is the minimum y, bottom() the maximum.
    const double minX = b.left(), maxX = b.right(), midX = b.center().x();
    const double minY = b.top(), maxY = b.bottom(), midY = b.center().y();
    return {t.map(QPointF(minX, minY)), t.map(QPointF(midX, minY)), t.map(QPointF(maxX, minY)),
            t.map(QPointF(maxX, midY)), t.map(QPointF(maxX, maxY)), t.map(QPointF(midX, maxY)),
            t.map(QPointF(minX, maxY)), t.map(QPointF(minX, midY))};
}

QPointF CarteBlockHandles::rotationHandlePoint() const
{
    const QRectF b = blockBounds();
    const QTransform t = blockTransform();
    const double k = std::max(std::hypot(t.m21(), t.m22()), 0.01);
    return t.map(QPointF(b.center().x(), b.bottom() + rotationOffset / k));
}

ViewNode* CarteBlockHandles::hitTarget(const QPointF& canvasPoint)
{
    if (!selected || (canvas && canvas->isExporting))
        return nullptr;
    const QRectF b = blockBounds();
    if (b.isNull())
        return nullptr;
    const QPointF p = convertFromSuperview(canvasPoint);
    for (const QPointF& h : handlePoints())
        if (distance(h, p) <= grabDistance)
            return this;
    if (distance(rotationHandlePoint(), p) <= grabDistance)
        return this;
    bool invertible = false;
    const QTransform inverse = blockTransform().inverted(&invertible);
    if (invertible && b.contains(inverse.map(p)))
        return this;
    return nullptr;
}

ViewNode* CarteBlockHandles::hitTest(const QPointF& pointInSuperview)
{
    if (isHidden())
        return nullptr;
    return hitTarget(pointInSuperview);
}

void CarteBlockHandles::setSelected(bool value)
{
    if (value == selected)
        return;
    selected = value;
    setNeedsDisplay();
}

QTransform CarteBlockHandles::draggedTransform(const QPointF& p, Qt::KeyboardModifiers modifiers) const
{
    if (!handle)
        return original * QTransform::fromTranslate(p.x() - start.x(), p.y() - start.y());
    const QRectF b = blockBounds();
    if (*handle == rotationHandle) {
        const QPointF c = original.map(b.center());
        const double angle = std::atan2(p.y() - c.y(), p.x() - c.x()) - std::atan2(start.y() - c.y(), start.x() - c.x());
        const double cs = std::cos(angle), sn = std::sin(angle);
        const QTransform rotation(cs, sn, -sn, cs, c.x() * (1 - cs) + c.y() * sn, c.y() * (1 - cs) - c.x() * sn);
        return original * rotation;
    }
    const int h = *handle;
    bool invertible = false;
    const QTransform inverse = original.inverted(&invertible);
    if (!invertible)
        return original;
    const QPointF pp = inverse.map(p), sp = inverse.map(start);
    // An axis without extent keeps its factor 1: dividing by zero would give no number.
    double fx = 1, fy = 1;
    if (b.width() > 0) {
        if (isLeft(h))
            fx = std::max(1 - (pp.x() - sp.x()) / b.width(), 0.01);
        else if (isRight(h))
            fx = std::max(1 + (pp.x() - sp.x()) / b.width(), 0.01);
    }
    if (b.height() > 0) {
        if (isBottom(h))
            fy = std::max(1 - (pp.y() - sp.y()) / b.height(), 0.01);
        else if (isTop(h))
            fy = std::max(1 + (pp.y() - sp.y()) / b.height(), 0.01);
    }
    if (modifiers & Qt::ShiftModifier) {
        const double f = (h == 1 || h == 5) ? fy : fx;
        fx = fy = f;
    }
    const double fixedX = isLeft(h) ? b.right() : isRight(h) ? b.left() : b.center().x();
    const double fixedY = isBottom(h) ? b.bottom() : isTop(h) ? b.top() : b.center().y();
    const QTransform scaling(fx, 0, 0, fy, (1 - fx) * fixedX, (1 - fy) * fixedY);
    return scaling * original;
}

void CarteBlockHandles::storeTransform(const QTransform& t)
{
    if (canvas && canvas->vector()) {
        VectorCanvas* v = canvas->vector();
        v->blockTransform = t;
        v->setNeedsDisplay();
        if (v->onViewportChange)
            v->onViewportChange();
    }
    setNeedsDisplay();
}

void CarteBlockHandles::mouseDown(const ViewMouseEvent& e)
{
    if (e.clickCount == 2) {
        setSelected(false);
        if (canvas && canvas->vector()) {
            VectorCanvas* v = canvas->vector();
            ViewMouseEvent forwarded = e;
            forwarded.location = v->convertFromRoot(e.windowLocation);
            v->mouseDown(forwarded);
        }
        return;
    }
    if (ViewHost* h = host())
        h->setFirstResponder(this);
    start = e.location;
    original = blockTransform();
    moving = false;
    handle.reset();
    const std::array<QPointF, 8> points = handlePoints();
    for (int i = 0; i < 8; ++i)
        if (distance(points[size_t(i)], start) <= grabDistance) {
            handle = i;
            break;
        }
    if (distance(rotationHandlePoint(), start) <= grabDistance)
        handle = rotationHandle;
}

void CarteBlockHandles::mouseDragged(const ViewMouseEvent& e)
{
    moving = true;
    storeTransform(draggedTransform(e.location, e.modifiers));
    if (onPreview)
        onPreview();
}

void CarteBlockHandles::mouseUp(const ViewMouseEvent&)
{
    if (moving && onChange)
        onChange();
    moving = false;
}

void CarteBlockHandles::keyDown(const ViewKeyEvent& e)
{
    if (e.key == Qt::Key_Escape) {
        setSelected(false);
        return;
    }
    const double step = (e.modifiers & Qt::ShiftModifier) ? 10 : 1;
    QPointF d;
    switch (e.key) {
    case Qt::Key_Left: d = {-step, 0}; break;
    case Qt::Key_Right: d = {step, 0}; break;
    case Qt::Key_Down: d = {0, -step}; break;
    case Qt::Key_Up: d = {0, step}; break;
    default: ViewNode::keyDown(e); return;
    }
    storeTransform(blockTransform() * QTransform::fromTranslate(d.x(), d.y()));
    if (onChange)
        onChange();
}

QRectF CarteBlockHandles::paintedRect() const
{
    if (!selected || (canvas && canvas->isExporting) || blockBounds().isNull())
        return bounds();
    const QPointF knob = rotationHandlePoint();
    double minX = knob.x(), maxX = knob.x(), minY = knob.y(), maxY = knob.y();
    for (const QPointF& p : handlePoints()) {
        minX = std::min(minX, p.x()), maxX = std::max(maxX, p.x());
        minY = std::min(minY, p.y()), maxY = std::max(maxY, p.y());
    }
    // Half a handle square and its outline, plus a point of antialiasing.
    const double grow = handleSide / 2 + 2;
    return QRectF(minX - grow, minY - grow, maxX - minX + 2 * grow, maxY - minY + 2 * grow);
}

void CarteBlockHandles::draw(QPainter& painter, const QRectF&)
{
    if (!selected || (canvas && canvas->isExporting))
        return;
    if (blockBounds().isNull())
        return;
    const std::array<QPointF, 8> points = handlePoints();
    const QPointF knob = rotationHandlePoint();
    painter.save();
    QPen pen(accentColor, 1);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    QPainterPath outline;
    outline.moveTo(points[0]);
    outline.lineTo(points[2]);
    outline.lineTo(points[4]);
    outline.lineTo(points[6]);
    outline.closeSubpath();
    painter.drawPath(outline);
    painter.drawLine(points[5], knob);
    painter.setBrush(Qt::white);
    const double half = handleSide / 2;
    for (const QPointF& p : points)
        painter.drawRect(QRectF(p.x() - half, p.y() - half, handleSide, handleSide));
    painter.drawRect(QRectF(knob.x() - half, knob.y() - half, handleSide, handleSide));
    painter.restore();
}
