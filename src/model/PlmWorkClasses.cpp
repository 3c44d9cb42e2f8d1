// Class keys, class of an entity and legend labels of a work's thematic map.
#include "model/PlmWork.h"

#include "model/PlmCodePointOrder.h"
#include "model/PlmDistribution.h"
#include "model/PlmTextFolding.h"

#include <QHash>
#include <cmath>

namespace {

const QString classPrefix = QStringLiteral("class:");
const QString categoryPrefix = QStringLiteral("category:");

// The map's entity identifiers sorted, and a count that moves on each new sorting, so that
// what was found with an older sorting is known to be stale.
struct EntityOrder {
    PlmKeyOrder order;
    quint64 generation = 0;
};

// Sorted once per thread for the map that keeps coming back: every change of variable or
// class looks up every entity.
const EntityOrder& entityOrder(const PlmEntityList& entities)
{
    thread_local EntityOrder cached;
    bool same = cached.order.keys().size() == entities.size();
    for (qsizetype i = 0; same && i < entities.size(); ++i)
        same = cached.order.keys()[i] == entities[i].id;
    if (!same) {
        QStringList ids;
        ids.reserve(entities.size());
        for (const PlmEntity& entity : entities)
            ids.append(entity.id);
        cached.order = PlmKeyOrder(ids);
        ++cached.generation;
    }
    return cached;
}

// The sorted distinct category texts of a text variable, in the map's rows. A refresh asks
// several times (class keys, legend, counts) for the same column: the last answer is kept
// while the column's storage and the map's identifiers are the same.
QStringList categories(const PlmWork& work, const PlmVariable& variable)
{
    const EntityOrder& order = entityOrder(work.map.entities);
    thread_local struct {
        PlmVariableValues values;
        quint64 generation = 0;
        QStringList texts;
    } last;
    if (last.generation == order.generation && last.values.isSharedWith(variable.values) && !last.values.isEmpty())
        return last.texts;
    QStringList texts;
    QSet<QString> seen;
    for (const PlmValue* cell : variable.values.cellsOf(order.order)) {
        if (!cell || !cell->isText())
            continue;
        const QString& text = cell->textValue();
        if (PlmTextFolding::trimmed(text).isEmpty() || seen.contains(text))
            continue;
        seen.insert(text);
        texts.append(text);
    }
    plmSortByCodePoints(texts);
    last.values = variable.values;
    last.generation = order.generation;
    last.texts = texts;
    return texts;
}

// Position of a key in a list of keys. A map is coloured by asking for the class of every
// entity with the same list, so the list's positions are indexed once per thread and
// reused while the same list comes back; a scan per entity would be quadratic in the
// number of categories. Holding a copy of the list keeps its data alive: the same data
// pointer then means the same, unchanged keys (a caller's change detaches its copy).
qsizetype indexOfKey(const QStringList& keys, const QString& key)
{
    if (keys.size() < 16)
        return keys.indexOf(key);
    thread_local QStringList indexedKeys;
    thread_local QHash<QString, qsizetype> positions;
    if (keys.constData() != indexedKeys.constData() || keys.size() != indexedKeys.size()) {
        indexedKeys = keys;
        positions.clear();
        positions.reserve(keys.size());
        for (qsizetype i = keys.size() - 1; i >= 0; --i) // the first of equal keys wins
            positions.insert(keys[i], i);
    }
    return positions.value(key, -1);
}

} // namespace

const PlmKeyOrder& PlmWork::entityKeyOrder() const
{
    return entityOrder(map.entities).order;
}

QStringList PlmWork::thematicClassKeys(const PlmThematicSettings& settings) const
{
    const PlmVariable* mapped = settings.variableID ? variable(*settings.variableID) : nullptr;
    QStringList keys;
    if (mapped && mapped->type == PlmVariableType::text) {
        for (const QString& text : categories(*this, *mapped))
            keys.append(categoryPrefix + text);
        return keys;
    }
    keys.reserve(settings.thresholds.size() + 1);
    for (qsizetype i = 0; i <= settings.thresholds.size(); ++i)
        keys.append(classPrefix + QString::number(i));
    return keys;
}

std::optional<int> PlmWork::thematicClassIndex(const QString& entityID, const PlmThematicSettings& settings,
                                               const QStringList& keys) const
{
    const PlmVariable* mapped = settings.variableID ? variable(*settings.variableID) : nullptr;
    if (!mapped)
        return std::nullopt;
    const auto it = mapped->values.constFind(entityID);
    if (it == mapped->values.constEnd())
        return std::nullopt;
    if (mapped->type == PlmVariableType::text) {
        if (!it->isText())
            return std::nullopt;
        const qsizetype index = indexOfKey(keys, categoryPrefix + it->textValue());
        return index < 0 ? std::nullopt : std::optional<int>(int(index));
    }
    const std::optional<double> number = it->numericValue();
    if (!number || !std::isfinite(*number))
        return std::nullopt;
    return PlmDistribution::classIndex(number, settings.thresholds);
}

QStringList PlmWork::thematicLegendLabels(const PlmThematicSettings& settings,
                                          const QStringList& defaultLabels) const
{
    const PlmVariable* mapped = settings.variableID ? variable(*settings.variableID) : nullptr;
    if (mapped && mapped->type == PlmVariableType::text)
        return categories(*this, *mapped);
    const PlmVariable* labels =
        settings.legendLabelVariableID ? variable(*settings.legendLabelVariableID) : nullptr;
    if (!mapped || !labels)
        return defaultLabels;

    const qsizetype classCount = settings.thresholds.size() + 1;
    QList<QSet<QString>> sets(classCount);
    const PlmKeyOrder& order = entityKeyOrder();
    const std::vector<const PlmValue*> values = mapped->values.cellsOf(order);
    const std::vector<const PlmValue*> labelCells = labels->values.cellsOf(order);
    for (std::size_t i = 0; i < values.size(); ++i) {
        const PlmValue* value = values[i];
        if (!value)
            continue;
        const std::optional<int> index = PlmDistribution::classIndex(value->numericValue(), settings.thresholds);
        if (!index)
            continue;
        const PlmValue* label = labelCells[i];
        if (!label)
            continue;
        const QString text = PlmTextFolding::trimmed(label->editingText());
        if (!text.isEmpty())
            sets[*index].insert(text);
    }

    QStringList out;
    out.reserve(defaultLabels.size());
    for (qsizetype i = 0; i < defaultLabels.size(); ++i) {
        if (i >= classCount || sets[i].isEmpty()) {
            out.append(defaultLabels[i]);
            continue;
        }
        QStringList texts(sets[i].cbegin(), sets[i].cend());
        plmSortByCodePoints(texts);
        out.append(texts.join(QStringLiteral(" / ")));
    }
    return out;
}
