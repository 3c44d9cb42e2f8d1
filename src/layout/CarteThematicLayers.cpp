#include "layout/CarteThematicLayers.h"

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
    int count = 0;
    for (const PlmEntity& entity : work.map.entities) {
        if (work.thematicClassIndex(entity.id, settings, keys))
            ++count;
    }
    return count;
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
    QList<int> indices(entityIDs.size(), -1);
    const PlmVariable* mapped = settings.variableID ? work.variable(*settings.variableID) : nullptr;
    if (!mapped)
        return indices;
    if (mapped->type == PlmVariableType::text) {
        for (qsizetype i = 0; i < entityIDs.size(); ++i)
            indices[i] = work.thematicClassIndex(entityIDs[i], settings, keys).value_or(-1);
        return indices;
    }
    // Numbers: the variable is looked up once, then each value placed among the thresholds.
    const PlmVariableValues& values = mapped->values;
    for (qsizetype i = 0; i < entityIDs.size(); ++i) {
        const auto found = values.constFind(entityIDs[i]);
        if (found == values.constEnd())
            continue;
        const std::optional<double> number = found->numericValue();
        if (!number || !std::isfinite(*number))
            continue;
        indices[i] = PlmDistribution::classIndex(number, settings.thresholds).value_or(-1);
    }
    return indices;
}

QList<double> entityNumbers(const PlmVariable& variable, const QStringList& entityIDs)
{
    const double none = std::numeric_limits<double>::quiet_NaN();
    QList<double> numbers(entityIDs.size(), none);
    auto numberOf = [none](const PlmValue& value) {
        const std::optional<double> number = value.numericValue();
        return number && std::isfinite(*number) ? *number : none;
    };
    // The values are kept in key order: one walk beside the sorted identifiers is much cheaper
    // than a search per entity. Should the order not hold, each entity is searched instead.
    QList<qsizetype> order(entityIDs.size());
    std::iota(order.begin(), order.end(), qsizetype(0));
    std::sort(order.begin(), order.end(), [&](qsizetype a, qsizetype b) { return entityIDs[a] < entityIDs[b]; });
    const PlmVariableValues& values = variable.values;
    bool ordered = true;
    auto it = values.constBegin();
    const QString* previous = nullptr;
    for (qsizetype i : order) {
        const QString& id = entityIDs[i];
        while (it != values.constEnd() && it.key() < id) {
            if (previous && !(*previous < it.key()))
                ordered = false;
            previous = &it.key();
            ++it;
        }
        if (it != values.constEnd() && it.key() == id)
            numbers[i] = numberOf(it.value());
    }
    for (auto rest = it; ordered && rest != values.constEnd(); ++rest) {
        if (previous && !(*previous < rest.key()))
            ordered = false;
        previous = &rest.key();
    }
    if (!ordered) {
        for (qsizetype i = 0; i < entityIDs.size(); ++i) {
            const auto found = values.constFind(entityIDs[i]);
            numbers[i] = found == values.constEnd() ? none : numberOf(*found);
        }
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
