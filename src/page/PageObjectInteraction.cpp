#include "page/PageObjectInteraction.h"

#include "desktop/ViewHost.h"
#include "desktop/ViewNode.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <optional>

namespace PageObjectInteraction {

Grab grabAt(const QRectF& bounds, const QPointF& p)
{
    const double x = p.x() - bounds.left(), y = p.y() - bounds.top();
    const double w = bounds.width(), h = bounds.height();
    Grab grab;
    grab.left = x < cornerZone;
    grab.lower = y < cornerZone;
    grab.upper = y > h - cornerZone;
    grab.corner = (grab.left || x > w - cornerZone) && (grab.lower || grab.upper);
    grab.knob = std::abs(x - w / 2) < knobHalfWidth && y > h - knobDepth;
    return grab;
}

QPointF unrotated(const QRectF& bounds, double rotation, const QPointF& p)
{
    if (rotation == 0)
        return p;
    const QPointF c = bounds.center();
    const double a = -rotation * std::numbers::pi / 180;
    const QPointF d = p - c;
    return {c.x() + d.x() * std::cos(a) - d.y() * std::sin(a), c.y() + d.x() * std::sin(a) + d.y() * std::cos(a)};
}

void reportPress(ViewNode& view, const ViewMouseEvent& e, const std::function<void(Qt::KeyboardModifiers)>& onModifiedSelect,
                 const std::function<void()>& onSelect)
{
    if (onModifiedSelect)
        onModifiedSelect(e.modifiers);
    else if (onSelect)
        onSelect();
    if (ViewHost* host = view.host())
        host->setFirstResponder(&view);
}

double knobAngle(const QRectF& bounds, const QPointF& q)
{
    const QPointF c = bounds.center();
    return std::atan2(q.y() - c.y(), q.x() - c.x()) * 180 / std::numbers::pi - 90;
}

QPointF motionIn(const ViewNode& superview, const QPointF& fromWindow, const QPointF& toWindow)
{
    return superview.convertFromRoot(toWindow) - superview.convertFromRoot(fromWindow);
}

double clampedSide(double side, double minimum, double page, double maximum)
{
    return std::min(std::min(std::max(side, minimum), page), maximum);
}

void release(ViewNode& view, bool& isManipulating)
{
    isManipulating = false;
    if (ViewNode* parent = view.superview())
        parent->setNeedsLayout();
}

namespace {

std::optional<QString> clipboardCommand(const ViewKeyEvent& e)
{
    if (!(e.modifiers & Qt::ControlModifier) || (e.modifiers & Qt::ShiftModifier))
        return std::nullopt;
    switch (e.key) {
    case Qt::Key_C: return QStringLiteral("copy");
    case Qt::Key_V: return QStringLiteral("paste");
    case Qt::Key_X: return QStringLiteral("cut");
    case Qt::Key_D: return QStringLiteral("duplicate");
    default: return std::nullopt;
    }
}

bool isDeleteKey(const ViewKeyEvent& e) { return e.key == Qt::Key_Backspace || e.key == Qt::Key_Delete; }

std::optional<QPointF> arrowNudge(const ViewKeyEvent& e)
{
    const bool arrow = e.key == Qt::Key_Left || e.key == Qt::Key_Right || e.key == Qt::Key_Down || e.key == Qt::Key_Up;
    if (!arrow)
        return std::nullopt;
    const double step = (e.modifiers & Qt::ShiftModifier) ? 10 : 1;
    const double dx = e.key == Qt::Key_Left ? -step : e.key == Qt::Key_Right ? step : 0;
    const double dy = e.key == Qt::Key_Down ? -step : e.key == Qt::Key_Up ? step : 0;
    return QPointF(dx, dy);
}

} // namespace

bool handleSharedKey(const ViewKeyEvent& e, const std::function<void(const QString&)>& onCommand,
                     const std::function<void()>& onDelete, const std::function<void(const QPointF&)>& nudge)
{
    if (const std::optional<QString> command = clipboardCommand(e)) {
        if (onCommand)
            onCommand(*command);
        return true;
    }
    if (isDeleteKey(e)) {
        if (onDelete)
            onDelete();
        return true;
    }
    if (const std::optional<QPointF> step = arrowNudge(e); step && nudge) {
        nudge(*step);
        return true;
    }
    return false;
}

void selectThen(const std::function<void()>& onSelect, const std::function<void()>& report)
{
    if (onSelect)
        onSelect();
    if (report)
        report();
}

} // namespace PageObjectInteraction
