#pragma once

#include <QPointF>
#include <QString>

#include <optional>

class QMenu;
class ViewNode;
struct ViewKeyEvent;
struct ViewMouseEvent;

// Keyboard and menu gestures shared by the page's elements (objects and legends).

// The clipboard command a Command-letter asks of the selected element ("copy", "paste", "cut",
// "duplicate"), or none. The caller decides which modifiers make a Command-letter.
std::optional<QString> decorationClipboardCommand(int key);
// The move an arrow key gives the element: one point, ten with Shift; none for other keys.
std::optional<QPointF> decorationArrowNudge(const ViewKeyEvent& e);
// Pops the element's context menu up under the pointer (nothing without a host window).
void popUpDecorationMenu(ViewNode& view, QMenu* menu, const ViewMouseEvent& e);
