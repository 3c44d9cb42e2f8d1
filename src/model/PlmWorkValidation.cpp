// The one check every stored work passes.
#include "model/PlmWork.h"

#include "model/PlmDependencyPlan.h"
#include "model/PlmErrors.h"
#include "model/PlmMapCodec.h"
#include "model/PlmTextFolding.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// The ids of the map's top-level entities, sorted as a variable's values are: checking
// a column is then one merge walk instead of a hash lookup per cell.
std::vector<QString> sortedIDs(const PlmEntityList& entities)
{
    std::vector<QString> ids;
    ids.reserve(std::size_t(entities.size()));
    for (const PlmEntity& entity : entities)
        ids.push_back(entity.id);
    std::sort(ids.begin(), ids.end());
    return ids;
}

// The first id at or after `from` that is not below `key`, found by galloping: one step
// for a value on the next row, a few for a sparse column, so that checking a column costs
// what its values do rather than one step per row of the map.
std::vector<QString>::const_iterator nextAtLeast(std::vector<QString>::const_iterator from,
                                                 std::vector<QString>::const_iterator end, const QString& key)
{
    std::ptrdiff_t step = 1;
    auto low = from;
    while (low != end && *low < key) {
        const std::ptrdiff_t left = end - low;
        auto high = low + std::min(step, left);
        if (high == end || !(*high < key))
            return std::lower_bound(low + 1, high, key);
        low = high;
        step *= 2;
    }
    return low;
}

void validateVariables(const QList<PlmVariable>& variables, const std::vector<QString>& entityIDs)
{
    const QString notUnique = QStringLiteral("Les variables doivent avoir un nom et un identifiant uniques.");
    QSet<QString> ids;
    QSet<QString> names;
    for (const PlmVariable& variable : variables) {
        if (variable.id.isEmpty() || variable.id == QLatin1String("identifier")
            || variable.id == QLatin1String("name") || ids.contains(variable.id))
            throw PlmWorkError::invalid(notUnique);
        ids.insert(variable.id);
        if (PlmTextFolding::trimmed(variable.name).isEmpty())
            throw PlmWorkError::invalid(notUnique);
        const QString folded = PlmTextFolding::folded(variable.name);
        if (names.contains(folded))
            throw PlmWorkError::invalid(notUnique);
        names.insert(folded);

        auto row = entityIDs.cbegin();
        for (auto it = variable.values.cbegin(); it != variable.values.cend(); ++it) {
            const PlmValue& value = it.value();
            row = nextAtLeast(row, entityIDs.cend(), it.key());
            if (row == entityIDs.cend() || *row != it.key() || value.type() != variable.type)
                throw PlmWorkError::invalid(
                    QStringLiteral("Cellule associée à une entité absente ou de type incorrect."));
            if (value.isText()) {
                if (PlmTextFolding::trimmed(value.textValue()).isEmpty())
                    throw PlmWorkError::invalid(QStringLiteral("Une donnée absente doit être une cellule vide."));
            } else if (!std::isfinite(value.numericValue().value_or(0))) {
                throw PlmWorkError::invalid(QStringLiteral("Nombre non fini."));
            }
        }
    }
}

void validateThematic(const PlmThematicSettings& settings, const QList<PlmVariable>& variables,
                      const QSet<QString>& entityIDs)
{
    settings.validate(variables);
    if (settings.proportional)
        settings.proportional->validate(entityIDs);
    if (settings.secondSymbols)
        settings.secondSymbols->symbols.validate(entityIDs);
    if (isSymbolsOnly(settings.effectiveRepresentation()) && !settings.proportional)
        throw PlmWorkError::invalid(QStringLiteral("Réglages de symboles absents."));
}

} // namespace

void PlmWork::validate() const
{
    PlmMapCodec::validate(map);
    // The hashed set is only needed by layouts and symbol settings.
    const bool needsSet = decoration || (thematic && (thematic->proportional || thematic->secondSymbols));
    const QSet<QString> entityIDs = needsSet ? topLevelEntityIDs() : QSet<QString>();
    if (decoration)
        decoration->validate(entityIDs);
    validateVariables(variables, sortedIDs(map.entities));
    if (thematic)
        validateThematic(*thematic, variables, entityIDs);
    PlmFormula::validate(*this);
}
