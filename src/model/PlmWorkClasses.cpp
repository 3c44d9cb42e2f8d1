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

// The sorted distinct category texts of a text variable, in the map's rows.
QStringList categories(const PlmWork& work, const PlmVariable& variable)
{
    QStringList texts;
    QSet<QString> seen;
    for (const PlmEntity& entity : work.map.entities) {
        const auto it = variable.values.constFind(entity.id);
        if (it == variable.values.constEnd() || !it->isText())
            continue;
        const QString& text = it->textValue();
        if (PlmTextFolding::trimmed(text).isEmpty() || seen.contains(text))
            continue;
        seen.insert(text);
        texts.append(text);
    }
    plmSortByCodePoints(texts);
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
    for (const PlmEntity& entity : map.entities) {
        const auto value = mapped->values.constFind(entity.id);
        if (value == mapped->values.constEnd())
            continue;
        const std::optional<int> index = PlmDistribution::classIndex(value->numericValue(), settings.thresholds);
        if (!index)
            continue;
        const auto label = labels->values.constFind(entity.id);
        if (label == labels->values.constEnd())
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
