#pragma once

#include "model/PlmPoint.h"

class PlmJsonValue;
class PlmJsonWriter;

// A 2-D affine transform: (x, y) -> (a·x + c·y + tx, b·x + d·y + ty).
struct PlmTransform {
    double a = 1;
    double b = 0;
    double c = 0;
    double d = 1;
    double tx = 0;
    double ty = 0;

    bool operator==(const PlmTransform&) const = default;

    static PlmTransform identity() { return {}; }
    static PlmTransform translation(double dx, double dy) { return {1, 0, 0, 1, dx, dy}; }
    static PlmTransform scale(double sx, double sy) { return {sx, 0, 0, sy, 0, 0}; }

    // This transform first, then `next`.
    PlmTransform concatenating(const PlmTransform& next) const;

    PlmPoint apply(const PlmPoint& p) const { return {a * p.x + c * p.y + tx, b * p.x + d * p.y + ty}; }
    // The linear part only, for vectors.
    PlmPoint applyToVector(const PlmPoint& v) const { return {a * v.x + c * v.y, b * v.x + d * v.y}; }
    double determinant() const { return a * d - b * c; }

    // {"a", "b", "c", "d", "tx", "ty"}, all required.
    static PlmTransform fromJson(const PlmJsonValue& value);
    void writeJson(PlmJsonWriter& writer) const;
};
