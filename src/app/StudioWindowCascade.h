#pragma once

#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>

// Where a new studio window goes so that it never lies exactly over an open one.
namespace StudioWindowCascade {

// The offset between two cascaded windows, right and down.
constexpr int step = 24;

// The wanted corner, moved one step right and down while another window's corner is there;
// a window that would leave the available area starts again from its top-left corner.
QPoint position(QPoint wanted, QSize size, const QList<QPoint>& taken, const QRect& available);

} // namespace StudioWindowCascade
