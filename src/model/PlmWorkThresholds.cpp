// Keeping the automatic class thresholds in step with the data.
#include "model/PlmWork.h"

#include "model/PlmDistribution.h"

void PlmWork::recomputeThematicThresholds()
{
    if (!thematic)
        return;
    PlmThematicSettings settings = *thematic;

    if (settings.legendLabelVariableID && !variable(*settings.legendLabelVariableID))
        settings.legendLabelVariableID.reset();

    if (settings.secondSymbols) {
        const std::optional<QString>& id = settings.secondSymbols->variableID;
        const PlmVariable* second = id ? variable(*id) : nullptr;
        if (id && (!second || second->type == PlmVariableType::text))
            settings.secondSymbols->variableID.reset();
    }

    const PlmVariable* mapped = settings.variableID ? variable(*settings.variableID) : nullptr;
    if (!mapped) {
        settings.variableID.reset();
        settings.thresholds.clear();
    } else if (mapped->type == PlmVariableType::text) {
        settings.thresholds.clear();
        if (isSymbolsOnly(settings.effectiveRepresentation()))
            settings.variableID.reset();
    } else if (showsAplats(settings.effectiveRepresentation())
               && settings.method != PlmClassificationMethod::manual) {
        QList<double> values;
        values.reserve(mapped->values.size());
        for (const PlmValue& value : mapped->values)
            if (const std::optional<double> number = value.numericValue())
                values.append(*number);
        settings.thresholds =
            PlmDistribution(values).thresholds(settings.method, settings.classCount, {});
    }

    thematic = std::move(settings);
}
