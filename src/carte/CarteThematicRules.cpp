#include "carte/CarteThematicRules.h"

#include "model/PlmDecoration.h"
#include "model/PlmSecondSymbolSeries.h"

namespace CarteThematicRules {

std::optional<PlmThematicSettings> thematicSettings(const PlmWork& work, bool secondary)
{
    if (!work.thematic)
        return std::nullopt;
    const PlmThematicSettings& settings = *work.thematic;
    if (!secondary)
        return settings.singleSeries();
    if (!settings.secondSymbols)
        return std::nullopt;
    PlmThematicSettings series = settings.secondSymbols->asThematicSettings();
    if (!series.decimalPlaces)
        series.decimalPlaces = settings.decimalPlaces;
    if (!series.hideMissingInLegend)
        series.hideMissingInLegend = settings.hideMissingInLegend;
    return series;
}

std::optional<PlmThematicSettings> editedSettings(const PlmWork& work, bool editingSecondary)
{
    const bool second = editingSecondary && work.thematic && hasSecondLayer(work.thematic->effectiveRepresentation());
    return thematicSettings(work, second);
}

std::optional<int> selectedLegendSeries(const PlmWork& work, const std::optional<QString>& selected)
{
    if (!selected)
        return std::nullopt;
    if (*selected == QLatin1String("legend"))
        return 0;
    if (*selected == QLatin1String("secondLegend")) {
        if (work.thematic && hasSecondLayer(work.thematic->effectiveRepresentation()))
            return 1;
        return std::nullopt;
    }
    if (!work.decoration)
        return std::nullopt;
    for (const PlmDecorationObject& object : work.decoration->objects) {
        if (object.id == *selected)
            return object.kind == PlmDecorationKind::legend ? object.legendSeries : std::nullopt;
    }
    return std::nullopt;
}

std::optional<PlmThematicSettings> fold(const PlmThematicSettings& stored, const PlmThematicSettings& edited,
                                        bool secondary)
{
    PlmThematicSettings result;
    if (secondary) {
        if (!stored.secondSymbols || !edited.proportional)
            return std::nullopt;
        result = stored;
        PlmSecondSymbolSeries& series = *result.secondSymbols;
        series.variableID = edited.variableID;
        series.symbols = *edited.proportional;
        series.legendPosition = edited.legendPosition;
        series.decimalPlaces = edited.decimalPlaces;
        series.hideMissingInLegend = edited.hideMissingInLegend;
    } else {
        result = edited;
        result.representation = stored.representation;
        result.secondSymbols = stored.secondSymbols;
        result.secondInFront = stored.secondInFront;
        result.concentric = stored.concentric;
        if (result.secondSymbols) {
            PlmSecondSymbolSeries& series = *result.secondSymbols;
            series.decimalPlaces = series.decimalPlaces.value_or(stored.decimalPlaces.value_or(2));
            series.hideMissingInLegend = series.hideMissingInLegend.value_or(stored.hideMissingInLegend.value_or(false));
        }
    }
    if (result.concentric.value_or(false) && !result.allowsConcentric())
        result.concentric = false;
    return result;
}

PlmThematicSettings withVariable(PlmThematicSettings edited, const std::optional<QString>& variableID)
{
    edited.classColorOverrides.reset();
    edited.variableID = variableID;
    if (edited.method == PlmClassificationMethod::manual)
        edited.method = PlmClassificationMethod::equalIntervals;
    return edited;
}

PlmProportionalSettings defaultSymbols(bool secondSeries)
{
    if (secondSeries)
        return PlmProportionalSettings(PlmSymbolKind::circle, 40, PlmColor{0.18, 0.42, 0.8, 0.85});
    return PlmProportionalSettings(PlmSymbolKind::circle, 60, PlmColor{0.8, 0.18, 0.16, 0.85});
}

PlmThematicSettings withRepresentation(const PlmWork& work, PlmRepresentation representation)
{
    PlmThematicSettings settings = work.thematic.value_or(PlmThematicSettings());
    const PlmRepresentation previous = settings.effectiveRepresentation();
    settings.representation = representation;
    if (isSymbolsOnly(representation) && settings.variableID) {
        const PlmVariable* variable = work.variable(*settings.variableID);
        if (variable && variable->type == PlmVariableType::text) {
            settings.variableID.reset();
            settings.classColorOverrides.reset();
        }
    }
    if (isSymbolsOnly(representation) && !settings.proportional)
        settings.proportional = defaultSymbols(false);
    if (hasSecondLayer(representation) && !settings.secondSymbols) {
        PlmSecondSymbolSeries series;
        if (previous == PlmRepresentation::proportional && representation == PlmRepresentation::aplatsAndSymbols
            && settings.proportional) {
            // The symbols move to the second layer with their variable.
            series.symbols = *settings.proportional;
            series.variableID = settings.variableID;
        } else {
            series.symbols = defaultSymbols(true);
            for (const PlmVariable& variable : work.variables) {
                if (variable.type != PlmVariableType::text && (!settings.variableID || variable.id != *settings.variableID)) {
                    series.variableID = variable.id;
                    break;
                }
            }
        }
        series.legendPosition = PlmPoint{0.02, 0.95};
        settings.secondSymbols = series;
    }
    if (!settings.allowsConcentric())
        settings.concentric = false;
    return settings;
}

void removeManualSymbolPosition(PlmWork& work, const QString& entityID, bool secondSeries)
{
    if (!work.thematic)
        return;
    PlmThematicSettings& settings = *work.thematic;
    const bool concentric = settings.concentric.value_or(false);
    if ((concentric || !secondSeries) && settings.proportional)
        settings.proportional->manualPositions.remove(entityID);
    if ((concentric || secondSeries) && settings.secondSymbols)
        settings.secondSymbols->symbols.manualPositions.remove(entityID);
}

void storeManualSymbolPosition(PlmWork& work, const QString& entityID, const PlmPoint& point, bool secondSeries)
{
    if (!work.thematic)
        return;
    PlmThematicSettings& settings = *work.thematic;
    const bool concentric = settings.concentric.value_or(false);
    if ((concentric || !secondSeries) && settings.proportional)
        settings.proportional->manualPositions.insert(entityID, point);
    if ((concentric || secondSeries) && settings.secondSymbols)
        settings.secondSymbols->symbols.manualPositions.insert(entityID, point);
}

QList<PlmVariable> listedVariables(const PlmWork& work, bool editingSecondary)
{
    // A text variable is listed unless the edited series draws symbols.
    bool textsListed = true;
    if (work.thematic) {
        const PlmRepresentation representation = work.thematic->effectiveRepresentation();
        if (editingSecondary && hasSecondLayer(representation) && work.thematic->secondSymbols)
            textsListed = false;
        else
            textsListed = !isSymbolsOnly(representation);
    }
    QList<PlmVariable> listed;
    for (const PlmVariable& variable : work.variables) {
        if (variable.type != PlmVariableType::text || textsListed)
            listed.append(variable);
    }
    return listed;
}

std::optional<PlmVariable> currentVariable(const PlmWork& work, const PlmThematicSettings& settings)
{
    if (!settings.variableID)
        return std::nullopt;
    const bool symbols = settings.effectiveRepresentation() == PlmRepresentation::proportional;
    for (const PlmVariable& variable : work.variables) {
        if (variable.id != *settings.variableID)
            continue;
        if (symbols && variable.type == PlmVariableType::text)
            continue;
        return variable;
    }
    return std::nullopt;
}

PlmDistribution distributionOf(const std::optional<PlmVariable>& variable)
{
    QList<double> values;
    if (variable) {
        values.reserve(variable->values.size());
        for (const PlmValue& value : variable->values) {
            if (value.isText())
                continue;
            if (const std::optional<double> number = value.numericValue())
                values.append(*number);
        }
    }
    return PlmDistribution(values);
}

} // namespace CarteThematicRules
