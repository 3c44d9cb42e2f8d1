#pragma once

#include "model/PlmTransform.h"

// How much a transform thickens a stroke and lengthens its dashes: the square root of its
// determinant's magnitude, the uniform scale of the same area.
namespace PlmStrokeScale {

// Taken without overflow or underflow, and exact for a uniform scale, so that a width and a
// scale whose product is an ordinary number give that number however far apart they are
// (1e-154 under a scale of 1e155 is 10).
double of(const PlmTransform& transform);

} // namespace PlmStrokeScale
