#include "app/StudioSplitLayout.h"

#include <algorithm>
#include <cmath>

namespace {

double positive(double x) { return std::max(x, 0.0); }

double rightEdge(const QRectF& r) { return r.x() + r.width(); }
double bottomEdge(const QRectF& r) { return r.y() + r.height(); }

} // namespace

double StudioSplitLayout::size(int index, double minimum) const
{
    // A missing or unusable remembered size counts as the minimum.
    const double stored = index >= 0 && index < sizes.size() ? sizes.at(index) : 0;
    return std::isfinite(stored) ? std::max(stored, minimum) : minimum;
}

StudioSplitLayout::Frames StudioSplitLayout::arrange() const
{
    Frames frames;
    for (int i = 0; i < paneCount; ++i)
        frames.hidden.append(hiddenPanels.contains(i));

    const double w = bounds.width();
    const double h = bounds.height();
    if (!(w > 0) || !(h > 0) || !std::isfinite(w) || !std::isfinite(h))
        return frames;
    const double t = positive(dividerThickness);

    if (isColumns()) {
        const double objects = size(0, minimumObjects);
        const double inspector = size(1, minimumInspector);
        const double left = hiddenPanels.contains(0) ? 0 : std::min(objects, positive(w - reservedBesideObjects));
        const double right = hiddenPanels.contains(2) ? 0
                                                      : std::min(inspector, positive(w - left - reservedBesideInspector));
        const double d1 = left != 0 ? t : 0;
        const double d2 = right != 0 ? t : 0;
        // A hidden pane keeps a usable frame, so showing it again needs no relayout first.
        frames.panes = {
            QRectF(0, 0, hiddenPanels.contains(0) ? objects : left, h),
            QRectF(left + d1, 0, positive(w - left - right - d1 - d2), h),
            QRectF(w - right, 0, hiddenPanels.contains(2) ? inspector : right, h),
        };
        frames.arranged = true;
    } else if (isBottom()) {
        const double bottom = size(0, minimumBottom);
        const double room = positive(h - reservedAboveBottom);
        double height = 0;
        if (!hiddenPanels.contains(1))
            height = expanded ? room : std::min(bottom, room);
        const double d = height != 0 ? t : 0;
        frames.panes = {
            QRectF(0, 0, w, positive(h - height - d)),
            QRectF(0, h - height, w, hiddenPanels.contains(1) ? bottom : height),
        };
        frames.arranged = true;
    }
    return frames;
}

std::pair<double, double> StudioSplitLayout::dividerLimits(int divider, const QList<QRectF>& panes) const
{
    const double w = bounds.width();
    const double h = bounds.height();
    if (isBottom())
        return {reservedAboveBottom, h - minimumBottom};
    if (!isColumns() || panes.size() != 3)
        return {0, vertical ? w : h};
    if (divider == 0) {
        const double inspectorWidth = hiddenPanels.contains(2) ? 0 : panes.at(2).width();
        return {minimumObjects, std::min(w - inspectorWidth - dividerLimitColumns, dividerLimitColumns)};
    }
    // A hidden objects column takes no room, whatever frame it keeps.
    const double objectsEdge = hiddenPanels.contains(0) ? 0 : rightEdge(panes.at(0));
    return {objectsEdge + dividerLimitColumns, w - minimumInspector};
}

double StudioSplitLayout::clampDivider(int divider, double coordinate, const QList<QRectF>& panes) const
{
    const auto [low, high] = dividerLimits(divider, panes);
    if (!std::isfinite(coordinate))
        return low;
    return std::max(low, std::min(coordinate, high));
}

bool StudioSplitLayout::isDividerHidden(int divider) const
{
    return hiddenPanels.contains(divider) || hiddenPanels.contains(divider + 1);
}

QRectF StudioSplitLayout::dividerRect(int divider, const QList<QRectF>& panes) const
{
    if (divider < 0 || divider + 1 >= panes.size())
        return {};
    const double t = positive(dividerThickness);
    const QRectF& before = panes.at(divider);
    if (vertical)
        return QRectF(rightEdge(before), 0, t, bounds.height());
    return QRectF(0, bottomEdge(before), bounds.width(), t);
}

QRectF StudioSplitLayout::effectiveDividerRect(int divider, const QList<QRectF>& panes) const
{
    if (isDividerHidden(divider))
        return {};
    const QRectF drawn = dividerRect(divider, panes);
    if (drawn.isNull())
        return {};
    if (vertical)
        return drawn.adjusted(-dividerGrip, 0, dividerGrip, 0);
    return drawn.adjusted(0, -dividerGrip, 0, dividerGrip);
}

QList<QRectF> StudioSplitLayout::framesAfterMovingDivider(int divider, double coordinate,
                                                          const QList<QRectF>& panes) const
{
    QList<QRectF> moved = panes;
    if (divider < 0 || divider + 1 >= panes.size())
        return moved;
    const double c = clampDivider(divider, coordinate, panes);
    const double t = positive(dividerThickness);
    QRectF& before = moved[divider];
    QRectF& after = moved[divider + 1];
    if (vertical) {
        const double afterRight = rightEdge(after);
        before.setWidth(positive(c - before.x()));
        after.setX(c + t);
        after.setWidth(positive(afterRight - (c + t)));
    } else {
        const double afterBottom = bottomEdge(after);
        before.setHeight(positive(c - before.y()));
        after.setY(c + t);
        after.setHeight(positive(afterBottom - (c + t)));
    }
    return moved;
}

QList<double> StudioSplitLayout::sizesAfterResize(const QList<QRectF>& panes) const
{
    QList<double> result = sizes;
    const auto store = [&result](int index, double value) {
        while (result.size() <= index)
            result.append(0);
        result[index] = value;
    };
    if (isColumns() && panes.size() == 3) {
        if (!hiddenPanels.contains(0))
            store(0, panes.at(0).width());
        if (!hiddenPanels.contains(2))
            store(1, panes.at(2).width());
    } else if (isBottom() && panes.size() == 2) {
        // While expanded the panel's height is not a choice of the user: keep the old one.
        if (!hiddenPanels.contains(1) && !expanded)
            store(0, panes.at(1).height());
    }
    return result;
}
