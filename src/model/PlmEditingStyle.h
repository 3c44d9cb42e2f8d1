#pragma once

#include "model/PlmColor.h"

#include <optional>

class PlmJsonValue;
class PlmJsonWriter;

// Detailed appearance of a layout element: text layout, frame, shadow, rotation,
// locks, legend layout and the scale and north styles. Lengths are in points.
// The default value of every field is the default editing style.
struct PlmEditingStyle {
    bool italic = false;
    bool underline = false;
    bool wraps = true;
    bool condensed = false;
    int fontWeight = 1;
    std::optional<double> textWidth;
    double tracking = 0;
    double baseline = 0;
    double lineSpacing = 0;
    double paragraphBefore = 0;
    double paragraphAfter = 0;
    double indent = 0;
    double firstIndent = 0;
    double tailIndent = 0;
    bool noFill = false;
    PlmColor stroke{0.12, 0.12, 0.12, 1};
    double strokeWidth = 1;
    int dash = 0;
    int cap = 0;
    int join = 0;
    PlmColor frameFill{1, 1, 1, 0};
    double padding = 6;
    double cornerRadius = 0;
    double opacity = 1;
    bool shadow = false;
    PlmColor shadowColor{0, 0, 0, 0.25};
    double shadowX = 3;
    double shadowY = -3;
    double shadowBlur = 4;
    double rotation = 0;
    bool lockRatio = false;
    bool lockPosition = false;
    bool horizontal = false;
    int columns = 1;
    double legendSpacing = 12;
    double swatchSize = 22;
    int northStyle = 0;
    int scaleStyle = 0;
    int scaleUnit = 0;

    bool operator==(const PlmEditingStyle&) const = default;

    // Keys are the field names; absent optionals are left out.
    static PlmEditingStyle fromJson(const PlmJsonValue& value);
    void writeJson(PlmJsonWriter& writer) const;

    // Throws PlmWorkError with "Largeur des caractères incorrecte.",
    // "Propriété d’inspecteur incorrecte." or "Couleur d’inspecteur incorrecte.".
    void validate() const;
};
