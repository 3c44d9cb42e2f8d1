#include "basemaps/PlmStrokeScale.h"

#include <algorithm>
#include <cmath>

namespace PlmStrokeScale {

double of(const PlmTransform& t)
{
    if (!std::isfinite(t.a) || !std::isfinite(t.b) || !std::isfinite(t.c) || !std::isfinite(t.d))
        return std::sqrt(std::abs(t.determinant()));
    // Each product as a fraction and a power of two: a·d past 1e308 or below 1e-308 would be
    // lost as infinity or zero long before its root is.
    int ea = 0, eb = 0, ec = 0, ed = 0;
    const double ad = std::frexp(t.a, &ea) * std::frexp(t.d, &ed);
    const double bc = std::frexp(t.b, &eb) * std::frexp(t.c, &ec);
    if (ad == 0 && bc == 0)
        return 0;
    const int adExponent = ea + ed;
    const int bcExponent = eb + ec;
    const int exponent = ad == 0 ? bcExponent : bc == 0 ? adExponent : std::max(adExponent, bcExponent);
    // The smaller product, shifted to the larger one's exponent, only vanishes when it could not
    // have changed the difference.
    const double difference = std::ldexp(ad, adExponent - exponent) - std::ldexp(bc, bcExponent - exponent);
    if (difference == 0)
        return 0;
    int differenceExponent = 0;
    const double fraction = std::frexp(std::abs(difference), &differenceExponent);
    // |det| = fraction · 2^total: an even power of two leaves the root whole.
    const int total = differenceExponent + exponent;
    const int odd = total & 1;
    return std::ldexp(std::sqrt(std::ldexp(fraction, odd)), (total - odd) / 2);
}

} // namespace PlmStrokeScale
