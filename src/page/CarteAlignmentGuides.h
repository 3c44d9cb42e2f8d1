#pragma once

#include <QColor>
#include <QLineF>
#include <QList>
#include <QPainterPath>
#include <QRectF>
#include <optional>

class QPainter;

// The dashed centre lines shown over the layout page while decoration objects are selected:
// a vertical line through the page centre when a selected object is horizontally centred, a
// horizontal one when an object is vertically centred. It only computes and draws; clicks are
// never taken and nothing moves.
struct CarteAlignmentGuides {
    // A distance strictly below this counts as centred.
    static constexpr double centringTolerance = 6;
    static constexpr double dashOn = 4;
    static constexpr double dashOff = 4;
    static constexpr double strokeAlpha = 0.5;

    std::optional<QLineF> vertical;   // (midX, 0) to (midX, height)
    std::optional<QLineF> horizontal; // (0, midY) to (width, midY)

    bool isEmpty() const { return !vertical && !horizontal; }

    // The guides for the page bounds and the frames of the selected objects (in page
    // coordinates); the two tests are independent, and any one frame raises a guide.
    static CarteAlignmentGuides compute(const QRectF& bounds, const QList<QRectF>& selectedFrames);

    // One path holding the raised guides (empty when none is).
    QPainterPath path() const;

    // Strokes the guides once, dashed 4 on 4 off, 1 pt wide, in the accent colour at alpha 0.5.
    void draw(QPainter& painter, const QColor& accent) const;
};
