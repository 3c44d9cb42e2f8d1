#pragma once

// Converting a double to an integer is undefined when the value is NaN or out of range, and
// a crafted file or an extreme zoom can produce either; every such conversion clamps in
// floating point first.

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
