#include "app/PlmWorkDocumentValidator.h"

#include "model/PlmErrors.h"
#include "model/PlmMapCodec.h"
#include "model/PlmTextFolding.h"
#include "platform/WorkUndo.h"

#include <cmath>

namespace {

const QString variableNamesMessage = QStringLiteral("Les variables doivent avoir un nom et un identifiant uniques.");

} // namespace

void PlmWorkDocumentValidator::reset()
{
    last_.reset();
    lastEntityIDs_.clear();
}

bool PlmWorkDocumentValidator::knowsEntitiesOf(const PlmWork& work) const
{
    return last_ && work.map.entities.sharesAllEntities(last_->map.entities);
}

bool PlmWorkDocumentValidator::sameTopLevelIDs(const PlmEntityList& a, const PlmEntityList& b)
{
    if (a.sharesAllEntities(b))
        return true;
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (!a.sharesEntity(i, b, i) && a.at(i).id != b.at(i).id)
            return false;
    }
    return true;
}

void PlmWorkDocumentValidator::validate(const PlmWork& work, const WorkCellChanges* changes)
{
    if (!last_) {
        work.validate();
        last_ = work;
        lastEntityIDs_ = work.topLevelEntityIDs();
        return;
    }
    bool sameEntities = false;
    const QSet<QString> ids = validateMap(work, sameEntities);
    const bool idsUnchanged = sameEntities || ids == lastEntityIDs_;

    if (work.decoration && !(idsUnchanged && last_->decoration == work.decoration))
        work.decoration->validate(ids);
    validateVariables(work, ids, idsUnchanged, changes);
    validateThematic(work, ids);
    if (!PlmVariable::sameDefinitions(work.variables, last_->variables))
        validateFormulas(work);

    last_ = work;
    lastEntityIDs_ = ids;
}

QSet<QString> PlmWorkDocumentValidator::validateMap(const PlmWork& work, bool& sameEntities) const
{
    const PlmEntityList& entities = work.map.entities;
    const PlmEntityList& known = last_->map.entities;
    sameEntities = entities.sharesAllEntities(known);
    if (sameEntities)
        return lastEntityIDs_;

    // Entities edited in place keep the ids, known unique, of the last valid map: only the
    // changed entities are checked, in order, as the full check would reach them.
    if (sameTopLevelIDs(entities, known)) {
        for (qsizetype i = 0; i < entities.size(); ++i) {
            if (entities.sharesEntity(i, known, i))
                continue;
            QSet<QString> alone; // its id is unique among the others already
            PlmMapCodec::validateEntity(entities.at(i), 0, alone);
        }
        return lastEntityIDs_;
    }

    // An entity shared with the last valid map passed every check of its own; only its id
    // must still be unique among its new neighbours.
    QSet<QString> ids;
    ids.reserve(entities.size());
    for (qsizetype i = 0; i < entities.size(); ++i) {
        const PlmEntity& entity = entities.at(i);
        if (i < known.size() && entities.sharesEntity(i, known, i)) {
            if (entity.id.isEmpty() || ids.contains(entity.id)) {
                // Every entity before this one passed: the full check fails here, with its
                // own words.
                PlmMapCodec::validate(work.map);
            }
            ids.insert(entity.id);
        } else {
            PlmMapCodec::validateEntity(entity, 0, ids);
        }
    }
    return ids;
}

void PlmWorkDocumentValidator::validateVariables(const PlmWork& work, const QSet<QString>& entityIDs, bool idsUnchanged,
                                                 const WorkCellChanges* changes) const
{
    QSet<QString> seenIDs;
    QSet<QString> seenNames;
    for (qsizetype index = 0; index < work.variables.size(); ++index) {
        const PlmVariable& variable = work.variables[index];
        if (variable.id.isEmpty() || variable.id == QLatin1String("identifier") || variable.id == QLatin1String("name")
            || seenIDs.contains(variable.id))
            throw PlmWorkError::invalid(variableNamesMessage);
        seenIDs.insert(variable.id);
        const QString name = PlmTextFolding::trimmed(variable.name);
        if (name.isEmpty())
            throw PlmWorkError::invalid(variableNamesMessage);
        const QString folded = PlmTextFolding::folded(name);
        if (seenNames.contains(folded))
            throw PlmWorkError::invalid(variableNamesMessage);
        seenNames.insert(folded);

        // Against the same rows, a column shared with the last valid work passed already, and
        // so did every cell it still holds unchanged.
        const PlmVariable* known = nullptr;
        if (idsUnchanged) {
            const qsizetype k = last_->variableIndex(variable.id);
            if (k >= 0 && last_->variables[k].type == variable.type)
                known = &last_->variables[k];
        }
        if (known && known->values.isSharedWith(variable.values))
            continue;
        const auto checkCell = [&](const QString& key, const PlmValue& value) {
            if (!entityIDs.contains(key) || value.type() != variable.type)
                throw PlmWorkError::invalid(QStringLiteral("Cellule associée à une entité absente ou de type incorrect."));
            if (value.isText()) {
                if (PlmTextFolding::trimmed(value.textValue()).isEmpty())
                    throw PlmWorkError::invalid(QStringLiteral("Une donnée absente doit être une cellule vide."));
            } else if (!std::isfinite(value.numericValue().value_or(0))) {
                throw PlmWorkError::invalid(QStringLiteral("Nombre non fini."));
            }
        };
        // The listed cells are the only ones that can differ from the valid column: checking
        // them in key order finds the full check's first failure.
        if (known && changes && changes->describes(index, known->values, variable.values)) {
            for (const QString& key : changes->keys[index]) {
                const auto cell = variable.values.constFind(key);
                if (cell != variable.values.constEnd())
                    checkCell(cell.key(), cell.value());
            }
            continue;
        }
        if (known) {
            // Cells in blocks shared with the valid column are skipped unread; the rest are
            // checked in key order, so the first failure is the full check's.
            PlmVariableValues::forEachDifference(known->values, variable.values,
                                                 [&](const QString& key, const PlmValue* was, const PlmValue* now) {
                                                     if (now && !(was && identicalValues(*was, *now)))
                                                         checkCell(key, *now);
                                                 });
            continue;
        }
        for (auto it = variable.values.constBegin(); it != variable.values.constEnd(); ++it)
            checkCell(it.key(), it.value());
    }
}

void PlmWorkDocumentValidator::validateThematic(const PlmWork& work, const QSet<QString>& entityIDs) const
{
    if (!work.thematic)
        return;
    const PlmThematicSettings& settings = *work.thematic;
    settings.validate(work.variables);
    if (settings.proportional)
        settings.proportional->validate(entityIDs);
    if (settings.secondSymbols)
        settings.secondSymbols->symbols.validate(entityIDs);
    const PlmRepresentation representation = settings.effectiveRepresentation();
    if ((representation == PlmRepresentation::proportional || representation == PlmRepresentation::twoSymbols)
        && !settings.proportional)
        throw PlmWorkError::invalid(QStringLiteral("Réglages de symboles absents."));
}

void PlmWorkDocumentValidator::validateFormulas(const PlmWork& work) const
{
    // The formula check reads names, types and calculations, never values: the full check
    // of the same variables without their values and without a map reaches the same verdict
    // on it, everything before it passing trivially.
    PlmWork shape;
    shape.variables = work.variables;
    for (PlmVariable& variable : shape.variables)
        variable.values = {};
    shape.validate();
}
