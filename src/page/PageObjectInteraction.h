#pragma once

#include <QPointF>
#include <QRectF>
#include <QString>
#include <Qt>

#include <functional>
#include <limits>

class ViewNode;
struct ViewKeyEvent;
struct ViewMouseEvent;

// The mouse, menu and key handling that the page's elements (decoration objects and thematic
// legends) share. The views keep their own gesture state and reports; this holds the rules
// that must read the same for both.
namespace PageObjectInteraction {

// Grab zones, in points of the element's own unrotated frame.
inline constexpr double cornerZone = 14;
inline constexpr double knobHalfWidth = 12;
inline constexpr double knobDepth = 16;
// The smallest box a corner drag leaves.
inline constexpr double minimumWidth = 40;
inline constexpr double minimumHeight = 30;

// ---- Press ----

// Where a press landed, from a point of the element's unrotated frame.
struct Grab {
    bool corner = false;  // within the corner zone on both axes: a resize
    bool left = false;    // within the left zone
    bool lower = false;   // within the lower zone
    bool upper = false;   // within the upper zone
    bool knob = false;    // on the rotation knob at the top centre
};
Grab grabAt(const QRectF& bounds, const QPointF& unrotatedPoint);

// A point of the view turned back about the bounds' centre by the element's rotation (degrees).
QPointF unrotated(const QRectF& bounds, double rotation, const QPointF& point);

// The selection a press reports (with the event's modifiers when the owner asks for them,
// else plain), then the element takes the keys.
void reportPress(ViewNode& view, const ViewMouseEvent& e, const std::function<void(Qt::KeyboardModifiers)>& onModifiedSelect,
                 const std::function<void()>& onSelect);

// ---- Drag and release ----

// The knob's angle for a pointer in the view: 0 straight above the centre, counter-clockwise positive.
double knobAngle(const QRectF& bounds, const QPointF& point);
// The pointer's motion between two window locations, in the superview's coordinates.
QPointF motionIn(const ViewNode& superview, const QPointF& fromWindow, const QPointF& toWindow);
// One side of a resized box: at least the minimum, then at most the page's side and the maximum.
double clampedSide(double side, double minimum, double page, double maximum = std::numeric_limits<double>::infinity());
// The end of every gesture: the composition places the element again.
void release(ViewNode& view, bool& isManipulating);

// ---- Keys ----

// The keys both elements share, in this order: a clipboard command (Control with a plain c,
// v, x or d: "copy", "paste", "cut", "duplicate"; with Shift the letter is another character),
// deletion (Delete or Backspace, whatever the modifiers), an arrow nudge (one point, ten with
// Shift; only when `nudge` is set: an element that may move). Returns whether the key was
// used; the element handles its own keys, or hands the key on, otherwise.
bool handleSharedKey(const ViewKeyEvent& e, const std::function<void(const QString&)>& onCommand,
                     const std::function<void()>& onDelete, const std::function<void(const QPointF&)>& nudge);

// ---- Context menu ----

// Calls the selection report, then the item's own: a menu item acts on the selected element.
void selectThen(const std::function<void()>& onSelect, const std::function<void()>& report);

} // namespace PageObjectInteraction
