#pragma once

#include "model/PlmClassificationMethod.h"
#include "model/PlmColor.h"
#include "model/PlmPalette.h"
#include "model/PlmPoint.h"
#include "model/PlmProportionalSettings.h"
#include "model/PlmRepresentation.h"
#include "model/PlmSecondSymbolSeries.h"

#include <QList>
#include <QMap>
#include <QString>
#include <optional>

struct PlmVariable;

class PlmJsonValue;
class PlmJsonWriter;

// The thematic representation of a work.
struct PlmThematicSettings {
    // Absent reads as aplats.
    std::optional<PlmRepresentation> representation;
    std::optional<PlmProportionalSettings> proportional;
    std::optional<PlmSecondSymbolSeries> secondSymbols;
    std::optional<bool> secondInFront;
    std::optional<bool> concentric;
    std::optional<QString> variableID;
    PlmClassificationMethod method = PlmClassificationMethod::quantiles;
    int classCount = 5;
    // Strictly increasing, at most 9: n thresholds make n + 1 classes.
    QList<double> thresholds;
    PlmPalette palette = PlmPalette::blues;
    // Keyed by class key ("class:<index>" or "category:<text>").
    std::optional<QMap<QString, PlmColor>> classColorOverrides;
    bool inverted = false;
    std::optional<int> decimalPlaces;
    std::optional<bool> hideMissingInLegend;
    std::optional<QString> legendLabelVariableID;
    PlmColor missingColor{0.78, 0.78, 0.78, 1};
    PlmPoint legendPosition{0, 0};

    PlmThematicSettings() = default;
    PlmThematicSettings(const std::optional<QString>& variableID, PlmClassificationMethod method, int classCount,
                        const QList<double>& thresholds, PlmPalette palette, bool inverted,
                        const PlmColor& missingColor, const PlmPoint& legendPosition);

    bool operator==(const PlmThematicSettings&) const = default;

    // Keys are the field names; absent optionals are left out.
    static PlmThematicSettings fromJson(const PlmJsonValue& value);
    void writeJson(PlmJsonWriter& writer) const;

    // The representation with an absent one read as aplats.
    PlmRepresentation effectiveRepresentation() const { return representation.value_or(PlmRepresentation::aplats); }

    // Two symbol series of the same kind, circles or squares, may be drawn centred on one point.
    bool allowsConcentric() const;
    // A copy without the second layer.
    PlmThematicSettings singleSeries() const;
    int legendDecimalPlaces() const { return decimalPlaces.value_or(2); }
    bool showsMissingInLegend() const { return !hideMissingInLegend.value_or(false); }

    // Checks the settings against the work's variables; throws PlmWorkError.
    void validate(const QList<PlmVariable>& variables) const;
};
