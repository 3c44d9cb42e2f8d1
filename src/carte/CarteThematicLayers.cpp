#include "carte/CarteThematicLayers.h"

#include "model/PlmFrenchNumber.h"
#include "model/PlmPaletteRamps.h"
#include "model/PlmPointSymbol.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

namespace CarteThematicLayers {

Classes classes(const PlmWork& work, const PlmThematicSettings& settings)
{
    Classes result;
    result.keys = work.thematicClassKeys(settings);
    result.colors = classColors(settings, result.keys);
    return result;
}

int classedEntityCount(const PlmWork& work, const PlmThematicSettings& settings, const QStringList& keys)
{
    const QList<int> indices = classIndices(work, settings, keys, work.entityKeyOrder());
    return int(std::count_if(indices.cbegin(), indices.cend(), [](int index) { return index >= 0; }));
}

QStringList colourableEntities(const PlmWork& work, bool colorAreas)
{
    QStringList ids;
    ids.reserve(work.map.entities.size());
    for (const PlmEntity& entity : work.map.entities) {
        bool coloured = colorAreas && entity.isAreaFeature();
        if (!coloured && entity.pointSymbol) {
            const PlmPointSymbol& symbol = *entity.pointSymbol;
            coloured = symbol.colorMode.value_or(PlmPointSymbolColorMode::automatic) != PlmPointSymbolColorMode::fixed
                && symbol.isMonochrome();
        }
        if (coloured)
            ids.append(entity.id);
    }
    return ids;
}

QList<int> classIndices(const PlmWork& work, const PlmThematicSettings& settings, const QStringList& keys,
                        const QStringList& entityIDs)
{
    return classIndices(work, settings, keys, PlmKeyOrder(entityIDs));
}

QList<int> classIndices(const PlmWork& work, const PlmThematicSettings& settings, const QStringList& keys,
                        const PlmKeyOrder& entities)
{
    QList<int> indices(entities.keys().size(), -1);
    const PlmVariable* mapped = settings.variableID ? work.variable(*settings.variableID) : nullptr;
    if (!mapped)
        return indices;
    // The variable is walked once beside the sorted identifiers, then each value placed.
    const std::vector<const PlmValue*> cells = mapped->values.cellsOf(entities);
    if (mapped->type == PlmVariableType::text) {
        // Category keys by their text, so that no key is built per entity.
        const QString prefix = QStringLiteral("category:");
        QHash<QString, int> positions; // the first of equal keys wins
        positions.reserve(keys.size());
        for (qsizetype i = keys.size() - 1; i >= 0; --i) {
            if (keys[i].startsWith(prefix))
                positions.insert(keys[i].sliced(prefix.size()), int(i));
        }
        for (std::size_t i = 0; i < cells.size(); ++i) {
            if (cells[i] && cells[i]->isText())
                indices[qsizetype(i)] = positions.value(cells[i]->textValue(), -1);
        }
        return indices;
    }
    for (std::size_t i = 0; i < cells.size(); ++i) {
        if (!cells[i])
            continue;
        const std::optional<double> number = cells[i]->numericValue();
        if (!number || !std::isfinite(*number))
            continue;
        indices[qsizetype(i)] = PlmDistribution::classIndex(number, settings.thresholds).value_or(-1);
    }
    return indices;
}

QList<double> entityNumbers(const PlmVariable& variable, const QStringList& entityIDs)
{
    return entityNumbers(variable, PlmKeyOrder(entityIDs));
}

QList<double> entityNumbers(const PlmVariable& variable, const PlmKeyOrder& entities)
{
    const double none = std::numeric_limits<double>::quiet_NaN();
    QList<double> numbers(entities.keys().size(), none);
    const std::vector<const PlmValue*> cells = variable.values.cellsOf(entities);
    for (std::size_t i = 0; i < cells.size(); ++i) {
        if (!cells[i])
            continue;
        const std::optional<double> number = cells[i]->numericValue();
        if (number && std::isfinite(*number))
            numbers[qsizetype(i)] = *number;
    }
    return numbers;
}

QList<int> classIndices(const QList<double>& numbers, const QList<double>& thresholds)
{
    QList<int> indices(numbers.size(), -1);
    for (qsizetype i = 0; i < numbers.size(); ++i) {
        if (!std::isnan(numbers[i]))
            indices[i] = PlmDistribution::classIndex(numbers[i], thresholds).value_or(-1);
    }
    return indices;
}

QHash<QString, PlmColor> fillOverrides(const QStringList& entityIDs, const QList<int>& classes,
                                       const QList<PlmColor>& colors, const PlmColor& missingColor)
{
    QHash<QString, PlmColor> overrides;
    overrides.reserve(entityIDs.size());
    for (qsizetype i = 0; i < entityIDs.size(); ++i) {
        const int index = i < classes.size() ? classes[i] : -1;
        overrides.insert(entityIDs[i], index >= 0 && index < colors.size() ? colors[index] : missingColor);
    }
    return overrides;
}

QHash<QString, PlmColor> fillOverrides(const PlmWork& work, const PlmThematicSettings& settings, bool hasVariable,
                                       bool colorAreas)
{
    if (!hasVariable || work.map.entities.isEmpty())
        return {};
    const Classes found = classes(work, settings);
    const QStringList ids = colourableEntities(work, colorAreas);
    return fillOverrides(ids, classIndices(work, settings, found.keys, ids), found.colors, settings.missingColor);
}

QList<SymbolItem> symbolItems(const PlmWork& work, const PlmProportionalSettings& symbols,
                              const std::optional<PlmVariable>& variable, const PlmDistribution& distribution,
                              const QHash<QString, PlmPoint>& automaticPositions)
{
    QList<SymbolItem> items;
    if (!variable || distribution.sorted.isEmpty())
        return items;
    const double largest = distribution.sorted.last();
    if (!(std::isfinite(largest) && largest > 0))
        return items;
    const double rootOfLargest = std::sqrt(largest);
    items.reserve(work.map.entities.size());
    for (const PlmEntity& entity : work.map.entities) {
        const auto found = variable->values.constFind(entity.id);
        if (found == variable->values.constEnd() || found->isText())
            continue;
        const std::optional<double> value = found->numericValue();
        if (!value || !std::isfinite(*value) || *value <= 0)
            continue;
        const double size = symbols.maximumSize * std::sqrt(*value) / rootOfLargest;
        if (!(std::isfinite(size) && size > 0))
            continue;
        std::optional<PlmPoint> anchor;
        if (const auto manual = symbols.manualPositions.constFind(entity.id); manual != symbols.manualPositions.constEnd())
            anchor = *manual;
        else if (const auto automatic = automaticPositions.constFind(entity.id); automatic != automaticPositions.constEnd())
            anchor = *automatic;
        if (!anchor)
            continue;
        items.append(SymbolItem{entity.id, size, *anchor});
    }
    std::stable_sort(items.begin(), items.end(), [](const SymbolItem& a, const SymbolItem& b) { return a.size > b.size; });
    return items;
}

SymbolLegend symbolLegend(const PlmProportionalSettings& symbols, const PlmDistribution& distribution, int decimals)
{
    QList<double> positives;
    for (double value : distribution.sorted) {
        if (value > 0)
            positives.append(value);
    }
    const double largest = positives.isEmpty() ? 0 : positives.last();
    SymbolLegend legend;
    for (double sample : symbols.legendSampleValues(positives)) {
        legend.labels.append(formatFrenchNumber(sample, 10, decimals));
        if (!std::isfinite(sample) || sample < 0)
            continue;
        if (sample == 0) {
            legend.referenceSizes.append(0);
            continue;
        }
        if (std::isfinite(largest) && largest > 0) {
            const double size = symbols.maximumSize * std::sqrt(sample) / std::sqrt(largest);
            if (std::isfinite(size))
                legend.referenceSizes.append(size);
        }
    }
    return legend;
}

double minimumSymbolSize(const PlmProportionalSettings& symbols, const PlmDistribution& distribution)
{
    std::optional<double> smallest;
    for (double value : distribution.sorted) {
        if (value > 0) {
            smallest = value;
            break;
        }
    }
    if (!smallest)
        return 0;
    return symbols.symbolSize(smallest, distribution.sorted.last()).value_or(0);
}

void applyCommonCentres(QList<SymbolItem>& items, const PlmProportionalSettings* first,
                        const PlmProportionalSettings* second, const QHash<QString, PlmPoint>& automaticPositions)
{
    for (SymbolItem& item : items) {
        if (first && first->manualPositions.contains(item.id))
            item.point = first->manualPositions.value(item.id);
        else if (second && second->manualPositions.contains(item.id))
            item.point = second->manualPositions.value(item.id);
        else if (const auto automatic = automaticPositions.constFind(item.id); automatic != automaticPositions.constEnd())
            item.point = *automatic;
    }
}

} // namespace CarteThematicLayers
