#pragma once

// Converting a double to an integer is undefined when the value is NaN or out of range, and
// a crafted file or an extreme zoom can produce either; every such conversion clamps in
// floating point first.

#include <QRect>
#include <QRectF>

#include <algorithm>
#include <cmath>
#include <limits>

template <typename Int = int>
constexpr Int plmClampedInt(double value, Int low = std::numeric_limits<Int>::min(),
                            Int high = std::numeric_limits<Int>::max())
{
    if (std::isnan(value) || value <= double(low))
        return low;
    // double(high) may round up past the largest integer (2^63 − 1 becomes 2^63).
    if (value >= double(high))
        return high;
    return Int(value);
}

// The integer rectangle covering `rect` (as QRectF::toAlignedRect) once clipped to `limit`,
// which must itself lie well inside the int range; empty when nothing is left or a coordinate
// is NaN. Geometry far off the view (a huge but finite centre) is clipped before it becomes int.
inline QRect plmAlignedRectWithin(const QRectF& rect, const QRectF& limit)
{
    const double xs[] = {rect.left(), rect.right()};
    const double ys[] = {rect.top(), rect.bottom()};
    if (std::isnan(xs[0]) || std::isnan(xs[1]) || std::isnan(ys[0]) || std::isnan(ys[1]))
        return QRect();
    const double left = std::clamp(std::min(xs[0], xs[1]), limit.left(), limit.right());
    const double right = std::clamp(std::max(xs[0], xs[1]), limit.left(), limit.right());
    const double top = std::clamp(std::min(ys[0], ys[1]), limit.top(), limit.bottom());
    const double bottom = std::clamp(std::max(ys[0], ys[1]), limit.top(), limit.bottom());
    if (!(right > left) || !(bottom > top))
        return QRect();
    const int x0 = plmClampedInt(std::floor(left));
    const int y0 = plmClampedInt(std::floor(top));
    return QRect(x0, y0, plmClampedInt(std::ceil(right)) - x0, plmClampedInt(std::ceil(bottom)) - y0);
}
