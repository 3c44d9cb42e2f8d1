#pragma once

class PlmJsonValue;
class PlmJsonWriter;

// An sRGB colour; each component between 0 and 1 in a valid style.
struct PlmColor {
    double red = 0;
    double green = 0;
    double blue = 0;
    double alpha = 1;

    bool operator==(const PlmColor&) const = default;

    // Every component finite and between 0 and 1.
    bool hasValidComponents() const;

    // {"alpha": n, "blue": n, "green": n, "red": n}
    static PlmColor fromJson(const PlmJsonValue& value);
    void writeJson(PlmJsonWriter& writer) const;
};
