// Keeping the automatic class thresholds in step with the data.
#include "model/PlmWork.h"

#include "model/PlmDistribution.h"

namespace {

// The sorted values of the variable last classified on this thread. Every edit of a work
// recomputes its thresholds, most of them (a class count, a palette, another layer) with the
// same values: those are sorted once. Holding a copy of the values keeps their storage alive,
// so the same storage means the same, unchanged values (a change detaches the changed copy).
const PlmDistribution& distributionOf(const PlmVariableValues& values)
{
    struct Sorted {
        PlmVariableValues values;
        PlmDistribution distribution;
        bool filled = false;
    };
    thread_local Sorted last;
    if (last.filled && values.isSharedWith(last.values))
        return last.distribution;
    QList<double> numbers;
    numbers.reserve(values.size());
    for (const PlmValue& value : values)
        if (const std::optional<double> number = value.numericValue())
            numbers.append(*number);
    last.distribution = PlmDistribution(numbers);
    last.values = values;
    last.filled = true;
    return last.distribution;
}

} // namespace

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
        settings.thresholds =
            distributionOf(mapped->values).thresholds(settings.method, settings.classCount, {});
    }

    thematic = std::move(settings);
}
