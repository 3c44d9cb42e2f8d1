#pragma once

#include "model/PlmPoint.h"

#include <QList>

// One polygon with holes. Rings are implicitly closed (repeating the first point at the end is
// allowed) and need at least three distinct vertices to be valid.
struct PlmPolygon {
    QList<PlmPoint> exterior;
    QList<QList<PlmPoint>> holes;

    bool operator==(const PlmPolygon&) const = default;

    // {"exterior": [point...], "holes": [[point...]...]}; "holes" is written even when empty.
    static PlmPolygon fromJson(const PlmJsonValue& value);
    void writeJson(PlmJsonWriter& writer) const;
};
