#pragma once

#include <QPainterPath>
#include <QPen>

// The area a solid pen covers along a path of straight segments, as pieces
// to fill with the winding rule: one quadrilateral per segment, one wedge
// per outer miter or bevel join, and the square caps of open runs (a
// miter beyond the pen's limit is left to Qt). The
// union is the same area Qt's stroker outlines, built several times faster,
// which matters when thousands of small outlines are stroked a few device
// pixels wide (a large map exported as an image). Raster output only: a
// vector file keeps the real stroke.
class CanvasStrokeOutline {
public:
    // Whether the pen is one these pieces can stand for: solid, a miter or
    // bevel join, a flat or square cap, a positive width.
    static bool supports(const QPen& pen);
    // Replaces `out` with the pieces of `path` stroked with `pen` (its width
    // in the path's units), to be filled with the pen's colour. False for a
    // path these pieces cannot stand for (curves, a miter beyond the limit,
    // a lone point with square caps), which Qt then strokes; `out` is then
    // of no use.
    static bool build(QPainterPath& out, const QPainterPath& path, const QPen& pen);
};
