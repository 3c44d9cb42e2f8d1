#pragma once

#include "model/PlmPoint.h"

class PlmJsonValue;
class PlmJsonWriter;

// The part of the map shown in the layout.
struct PlmDecorationViewport {
    PlmPoint center{0, 0};
    // Map units per point of the composition.
    double unitsPerPoint = 1;

    bool operator==(const PlmDecorationViewport&) const = default;

    // Keys are the field names; absent optionals are left out.
    static PlmDecorationViewport fromJson(const PlmJsonValue& value);
    void writeJson(PlmJsonWriter& writer) const;
};
