#pragma once

#include "model/PlmPoint.h"
#include "model/PlmProportionalSettings.h"

#include <QString>
#include <optional>

struct PlmThematicSettings;

class PlmJsonValue;
class PlmJsonWriter;

// The second symbol series of a two-layer thematic map.
struct PlmSecondSymbolSeries {
    std::optional<QString> variableID;
    std::optional<int> decimalPlaces;
    std::optional<bool> hideMissingInLegend;
    PlmProportionalSettings symbols;
    PlmPoint legendPosition{0, 0};

    bool operator==(const PlmSecondSymbolSeries&) const = default;

    // Keys are the field names; absent optionals are left out.
    static PlmSecondSymbolSeries fromJson(const PlmJsonValue& value);
    void writeJson(PlmJsonWriter& writer) const;

    // The series alone as proportional thematic settings, to validate it and to edit it.
    PlmThematicSettings asThematicSettings() const;
};
