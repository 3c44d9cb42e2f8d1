#pragma once

#include "model/PlmJson.h"
#include "model/PlmMap.h"

#include <QString>
#include <optional>

// Stored as its case name.
enum class PlmPointSymbolColorMode { automatic, fixed };

template <>
struct PlmJsonCoding<PlmPointSymbolColorMode> {
    static PlmPointSymbolColorMode read(const PlmJsonValue& value);
    static void write(PlmJsonWriter& writer, PlmPointSymbolColorMode mode);
};

// A symbol drawn in place of a point's mark: a system symbol by name, or a small vector
// drawing (an SVG symbol) whose leaves are paths. A valid symbol has exactly one of the two.
struct PlmPointSymbol {
    std::optional<QString> sfSymbolName;
    std::optional<PlmMap> svgVector;
    std::optional<PlmPointSymbolColorMode> colorMode; // absent counts as automatic

    PlmPointSymbol() = default;
    PlmPointSymbol(const std::optional<QString>& sfSymbolName, const std::optional<PlmMap>& svgVector)
        : sfSymbolName(sfSymbolName)
        , svgVector(svgVector)
    {
    }

    bool operator==(const PlmPointSymbol&) const = default;

    // Drawn in one colour, so it can take the entity's colour.
    bool isMonochrome() const;
    // Not fixed, and monochrome.
    bool isAutomaticallyColored() const;

    static PlmPointSymbol fromJson(const PlmJsonValue& value);
    void writeJson(PlmJsonWriter& writer) const;
};
