#pragma once

#include <QList>
#include <QRectF>
#include <QSet>
#include <QSizeF>
#include <utility>

// The geometry of a StudioSplit, kept apart from the widget so it can be tested as plain
// arithmetic: remembered sizes, hidden panes and the expanded state in, pane frames out.
//
// Columns split (vertical dividers, three panes): pane 0 objects, 1 centre, 2 inspector;
// sizes[0] is the width of pane 0 and sizes[1] the width of pane 2.
// Bottom split (horizontal divider, two panes): pane 0 upper area, 1 bottom panel;
// sizes[0] is the height of the bottom panel. Coordinates run downwards, as in Qt.
struct StudioSplitLayout {
    static constexpr double minimumObjects = 230;
    static constexpr double minimumInspector = 280;
    static constexpr double minimumBottom = 160;
    static constexpr double reservedBesideObjects = 780;   // kept for the other columns
    static constexpr double reservedBesideInspector = 440;
    static constexpr double reservedAboveBottom = 80;
    static constexpr double dividerLimitColumns = 420;
    static constexpr double dividerGrip = 4;                // grab area on each side of a divider

    bool vertical = true;
    QSizeF bounds;
    double dividerThickness = 1;
    QList<double> sizes;
    bool expanded = false;
    QSet<int> hiddenPanels;
    int paneCount = 0;

    struct Frames {
        bool arranged = false;      // false when the panes were left where they were
        QList<QRectF> panes;
        QList<bool> hidden;         // one per pane: hidden exactly when its index is in hiddenPanels
        bool operator==(const Frames&) const = default;
    };

    // Lays the panes out; an empty bounds or an unexpected pane count arranges nothing
    // (the hidden flags are still given).
    Frames arrange() const;

    // The range a divider may be dragged to, given the current pane frames.
    std::pair<double, double> dividerLimits(int divider, const QList<QRectF>& paneFrames) const;
    // A divider coordinate clamped to its limits (the minimum wins when they cross).
    double clampDivider(int divider, double coordinate, const QList<QRectF>& paneFrames) const;

    // A divider is hidden, and cannot be grabbed, when a pane on either side of it is hidden.
    bool isDividerHidden(int divider) const;
    // The rectangle drawn for a divider between the given pane frames.
    QRectF dividerRect(int divider, const QList<QRectF>& paneFrames) const;
    // The grab area: the drawn rectangle widened across the divider; empty when hidden.
    QRectF effectiveDividerRect(int divider, const QList<QRectF>& paneFrames) const;

    // The panes after the user drags a divider to a (clamped) coordinate.
    QList<QRectF> framesAfterMovingDivider(int divider, double coordinate,
                                           const QList<QRectF>& paneFrames) const;
    // The remembered sizes taken from pane frames after a user resize.
    QList<double> sizesAfterResize(const QList<QRectF>& paneFrames) const;

    bool isColumns() const { return vertical && paneCount == 3; }
    bool isBottom() const { return !vertical && paneCount == 2; }

private:
    double size(int index, double minimum) const;
};
