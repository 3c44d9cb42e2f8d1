#pragma once

class PlmJsonValue;
class PlmJsonWriter;

// A point in map coordinates (or a vector, or a width and height, where a record says so).
struct PlmPoint {
    double x = 0;
    double y = 0;

    // Numeric comparison: 0 equals -0, a NaN equals nothing.
    bool operator==(const PlmPoint&) const = default;

    // {"x": number, "y": number}
    static PlmPoint fromJson(const PlmJsonValue& value);
    void writeJson(PlmJsonWriter& writer) const;
};
