#pragma once

#include "model/PlmColor.h"
#include "model/PlmMap.h"
#include "model/PlmPoint.h"
#include "model/PlmStyle.h"
#include "model/PlmSymbolKind.h"

#include <QList>
#include <QMap>
#include <QSet>
#include <QString>
#include <optional>

class PlmJsonValue;
class PlmJsonWriter;

// One series of proportional symbols, also the symbol of a symbol decoration.
// A symbol's size is a linear dimension in points, so its area is proportional to its value.
struct PlmProportionalSettings {
    PlmSymbolKind kind = PlmSymbolKind::circle;
    // Size in points of the symbol of the largest value; 0.01 to 1000.
    double maximumSize = 40;
    PlmColor color{0, 0, 0, 1};
    std::optional<bool> automaticColor;
    std::optional<PlmStyle> outline;
    std::optional<bool> outlineVisible;
    std::optional<QString> sfSymbolName;
    std::optional<PlmSFSymbolConfiguration> sfConfiguration;
    std::optional<PlmMap> sfVector;
    std::optional<PlmMap> svgVector;
    // Symbol positions placed by hand, keyed by entity id.
    QMap<QString, PlmPoint> manualPositions;

    PlmProportionalSettings() = default;
    PlmProportionalSettings(PlmSymbolKind kind, double maximumSize, const PlmColor& color,
                            const std::optional<QString>& sfSymbolName = std::nullopt,
                            const std::optional<PlmSFSymbolConfiguration>& sfConfiguration = std::nullopt,
                            const std::optional<PlmMap>& sfVector = std::nullopt,
                            const std::optional<PlmMap>& svgVector = std::nullopt,
                            const QMap<QString, PlmPoint>& manualPositions = {});

    bool operator==(const PlmProportionalSettings&) const = default;

    // Keys are the field names; absent optionals are left out.
    static PlmProportionalSettings fromJson(const PlmJsonValue& value);
    void writeJson(PlmJsonWriter& writer) const;

    // Size in points of a value's symbol; none for a missing, negative or non-finite value
    // or a largest value that is not finite and positive.
    std::optional<double> symbolSize(std::optional<double> value, std::optional<double> maximumValue) const;

    // Sets the maximum size so that the smallest value gets the given size; throws PlmWorkError
    // and keeps the old maximum size when that is impossible.
    void setMinimumSize(double size, double minimumValue, double maximumValue);

    // The values whose symbols the legend shows, ascending.
    QList<double> legendSampleValues(const QList<double>& values) const;

    // Checks the settings; manual positions may only name the given entity ids.
    // Throws PlmWorkError, or the PlmMapError of a vector shape.
    void validate(const QSet<QString>& entityIDs) const;
};
