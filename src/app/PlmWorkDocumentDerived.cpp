#include "app/PlmWorkDocumentDerived.h"
#include "app/PlmWorkDocumentValidator.h"

#include "model/PlmDependencyPlan.h"
#include "platform/WorkUndo.h"

#include <QHash>

namespace {

bool holdsBoundTexts(const PlmEntity& entity)
{
    const PlmGeometry::Kind kind = entity.geometry.kind();
    return kind == PlmGeometry::Kind::text || kind == PlmGeometry::Kind::group;
}

// Keys whose cells differ between two columns (either side), in key order; blocks the two
// share are skipped unread.
QList<QString> changedKeys(const PlmVariableValues& from, const PlmVariableValues& to)
{
    QList<QString> keys;
    PlmVariableValues::forEachDifference(from, to, [&](const QString& key, const PlmValue* f, const PlmValue* t) {
        if (!f || !t || !identicalValues(*f, *t))
            keys.append(key);
    });
    return keys;
}

bool sameIDs(const QList<PlmVariable>& a, const QList<PlmVariable>& b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i)
        if (a[i].id != b[i].id)
            return false;
    return true;
}

QList<PlmVariableValues> columnsOf(const PlmWork& work)
{
    QList<PlmVariableValues> columns;
    columns.reserve(work.variables.size());
    for (const PlmVariable& v : work.variables)
        columns.append(v.values);
    return columns;
}

} // namespace

void PlmWorkDocumentDerived::rebindVariableTexts(PlmWork& next, const PlmWork& previous, bool previousIdsUnique)
{
    if (!previousIdsUnique) {
        next.rebindVariableTexts(previous);
        return;
    }
    // Only an entity that is a text or a group on both sides is ever rebound, and with unique
    // ids in the previous work its twin is the one entity of that id: the same operation on
    // the texts and groups alone gives the same result without indexing every entity.
    PlmWork smallNext;
    PlmWork smallPrevious;
    const QList<qsizetype> positions = textAndGroupPositions(next.map.entities);
    for (qsizetype i : positions)
        smallNext.map.entities.append(next.map.entities.mid(i, 1));
    for (qsizetype i : textAndGroupPositions(previous.map.entities))
        smallPrevious.map.entities.append(previous.map.entities.mid(i, 1));
    smallNext.variables = next.variables;
    smallPrevious.variables = previous.variables;

    const PlmEntityList before = smallNext.map.entities;
    smallNext.rebindVariableTexts(smallPrevious);
    for (qsizetype j = 0; j < positions.size(); ++j)
        if (!smallNext.map.entities.sharesEntity(j, before, j))
            next.map.entities.replace(positions[j], smallNext.map.entities.at(j));
    next.variables = smallNext.variables;
}

QList<qsizetype> PlmWorkDocumentDerived::textAndGroupPositions(const PlmEntityList& entities)
{
    // Comparing handles reads one contiguous list; looking at each entity's kind would visit
    // every entity in memory.
    for (int k = 0; k < 2; ++k) {
        if (scanned_[k] && entities.sharesAllEntities(scanned_[k]->entities)) {
            if (k == 1)
                std::swap(scanned_[0], scanned_[1]);
            return scanned_[0]->positions;
        }
    }
    // A list of the same length as one scanned (entities edited in place): only the entities
    // that are not the very same shared ones are looked at; when none of them changed kind,
    // the positions stand.
    std::optional<QList<qsizetype>> positions;
    for (int k = 0; k < 2 && !positions; ++k) {
        if (!scanned_[k] || scanned_[k]->entities.size() != entities.size())
            continue;
        const Scan& scan = *scanned_[k];
        bool same = true;
        for (qsizetype i = 0; i < entities.size() && same; ++i) {
            if (entities.sharesEntity(i, scan.entities, i))
                continue;
            same = holdsBoundTexts(entities.at(i)) == holdsBoundTexts(scan.entities.at(i));
        }
        if (same)
            positions = scan.positions;
    }
    if (!positions) {
        positions.emplace();
        for (qsizetype i = 0; i < entities.size(); ++i)
            if (holdsBoundTexts(entities.at(i)))
                positions->append(i);
    }
    scanned_[1] = std::move(scanned_[0]);
    scanned_[0] = Scan{entities, *positions};
    return *positions;
}

bool PlmWorkDocumentDerived::canRecomputeIncrementally(const PlmWork& next, const PlmWork& previous) const
{
    if (!fresh_)
        return false;
    // Formulas read the rows by id: entities edited in place (renamed, moved) change no input.
    if (!PlmWorkDocumentValidator::sameTopLevelIDs(previous.map.entities, fresh_->map.entities)
        || !PlmWorkDocumentValidator::sameTopLevelIDs(next.map.entities, previous.map.entities))
        return false;
    if (!PlmVariable::sameDefinitions(previous.variables, fresh_->variables) || !PlmVariable::sameDefinitions(next.variables, previous.variables))
        return false;
    for (qsizetype i = 0; i < previous.variables.size(); ++i) {
        // The previous work holds exactly the freshly computed work's columns...
        if (!previous.variables[i].values.isSharedWith(fresh_->variables[i].values))
            return false;
        // ...and the change left every calculated column alone.
        if (previous.variables[i].calculation && !next.variables[i].values.isSharedWith(previous.variables[i].values))
            return false;
    }
    return true;
}

void PlmWorkDocumentDerived::recomputeCalculatedVariables(PlmWork& next, const PlmWork& previous)
{
    changes_.reset();
    const bool anyCalculated = std::any_of(next.variables.cbegin(), next.variables.cend(),
                                           [](const PlmVariable& v) { return v.calculation.has_value(); });
    if (!anyCalculated) {
        next.recomputeCalculatedVariables(); // nothing to compute; kept for what it may check
        fresh_ = next;
        lastEvaluatedRows_ = 0;
        if (sameIDs(previous.variables, next.variables)) {
            WorkCellChanges changes;
            changes.before = columnsOf(previous);
            changes.after = columnsOf(next);
            for (qsizetype i = 0; i < next.variables.size(); ++i)
                changes.keys.append(changedKeys(previous.variables[i].values, next.variables[i].values));
            changes_ = std::move(changes);
        }
        return;
    }
    if (!canRecomputeIncrementally(next, previous)) {
        next.recomputeCalculatedVariables();
        fresh_ = next;
        lastEvaluatedRows_ = next.map.entities.size();
        return;
    }

    // Formulas read one row at a time: only rows whose inputs changed can change.
    WorkCellChanges changes;
    changes.before = columnsOf(previous);
    changes.keys.resize(next.variables.size());
    QSet<QString> rows;
    for (qsizetype i = 0; i < next.variables.size(); ++i) {
        if (next.variables[i].calculation)
            continue;
        changes.keys[i] = changedKeys(previous.variables[i].values, next.variables[i].values);
        for (const QString& key : std::as_const(changes.keys[i]))
            rows.insert(key);
    }
    lastEvaluatedRows_ = 0;
    if (!rows.isEmpty()) {
        const PlmDependencyPlan plan = PlmFormula::validate(next); // throws as the full run does
        const QHash<QString, qsizetype> indexOfID = PlmFormula::variableIndexes(next.variables);
        // Cells of entities that are not rows never enter a calculated column.
        QList<QString> rowIDs;
        if (rows.size() <= 64) {
            for (const QString& id : std::as_const(rows))
                if (next.map.entities.indexOfId(id) >= 0)
                    rowIDs.append(id);
        } else {
            const QSet<QString> all = next.topLevelEntityIDs();
            for (const QString& id : std::as_const(rows))
                if (all.contains(id))
                    rowIDs.append(id);
        }
        std::sort(rowIDs.begin(), rowIDs.end()); // key order, as the columns keep them
        QList<PlmVariable> computed = next.variables;
        for (const PlmPlanStep& step : plan) {
            const bool percentage = computed[step.index].type == PlmVariableType::percentage;
            for (const QString& row : std::as_const(rowIDs)) {
                const PlmExpression::Lookup lookup = [&](const QString& id) -> std::optional<double> {
                    const auto index = indexOfID.constFind(id);
                    if (index == indexOfID.constEnd())
                        return std::nullopt;
                    const PlmVariableValues& values = std::as_const(computed)[*index].values;
                    const auto cell = values.constFind(row);
                    return cell == values.constEnd() ? std::nullopt : cell.value().numericValue();
                };
                const std::optional<double> result = step.expression.evaluate(lookup);
                const PlmVariableValues& current = std::as_const(computed)[step.index].values;
                const auto old = current.constFind(row);
                if (result) {
                    const PlmValue value = percentage ? PlmValue::percentage(*result) : PlmValue::number(*result);
                    // An unchanged cell leaves the column shared.
                    if (old == current.constEnd() || !identicalValues(old.value(), value))
                        computed[step.index].values.insert(row, value);
                } else if (old != current.constEnd()) {
                    computed[step.index].values.remove(row);
                }
            }
        }
        lastEvaluatedRows_ = rowIDs.size();
        next.variables = computed;
        for (qsizetype i = 0; i < next.variables.size(); ++i)
            if (next.variables[i].calculation)
                changes.keys[i] = rowIDs;
    }
    changes.after = columnsOf(next);
    changes_ = std::move(changes);
    fresh_ = next;
}
