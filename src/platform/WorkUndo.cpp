#include "platform/WorkUndo.h"

#include <QHash>
#include <cstring>

bool identicalValues(const PlmValue& a, const PlmValue& b)
{
    if (a.kind() != b.kind() || a.textValue() != b.textValue())
        return false;
    const std::optional<double> x = a.numericValue();
    const std::optional<double> y = b.numericValue();
    if (x.has_value() != y.has_value())
        return false;
    return !x || std::memcmp(&*x, &*y, sizeof(double)) == 0;
}

WorkDelta::WorkDelta(const PlmWork& before, const PlmWork& after, const WorkCellChanges* changes)
{
    if (!(before.map == after.map))
        map_.emplace(before.map, after.map);
    if (before.sourceMapURL != after.sourceMapURL)
        sourceMapURL_.emplace(before.sourceMapURL, after.sourceMapURL);
    if (!(before.thematic == after.thematic))
        thematic_.emplace(before.thematic, after.thematic);
    if (!(before.decoration == after.decoration))
        decoration_.emplace(before.decoration, after.decoration);
    // Lists of the same variables in the same order, the usual case, take one walk per
    // changed column; any other change of the list is matched by id.
    bool aligned = before.variables.size() == after.variables.size();
    for (qsizetype i = 0; aligned && i < before.variables.size(); ++i)
        aligned = before.variables[i].id == after.variables[i].id;
    if (!aligned) {
        variables_ = VariablesDelta{stepsTowards(before.variables, after.variables),
                                    stepsTowards(after.variables, before.variables)};
        return;
    }
    VariablesDelta delta;
    bool changed = false;
    for (qsizetype i = 0; i < before.variables.size(); ++i) {
        const PlmVariable& b = before.variables[i];
        const PlmVariable& a = after.variables[i];
        VariableStep toBefore;
        VariableStep toAfter;
        toBefore.sourceIndex = toAfter.sourceIndex = i;
        toBefore.variable = b;
        toBefore.variable.values = {};
        toAfter.variable = a;
        toAfter.variable.values = {};
        // Compared bit for bit: an equal column may still hold a -0 where the other holds 0.
        if (changes && changes->describes(i, b.values, a.values))
            cellChangesAt(changes->keys[i], b.values, a.values, toAfter.cells, toBefore.cells);
        else
            cellChangesBothWays(b.values, a.values, toAfter.cells, toBefore.cells);
        changed = changed || !toAfter.cells.isEmpty() || b.name != a.name || b.type != a.type
               || b.calculation != a.calculation;
        delta.toBefore.append(std::move(toBefore));
        delta.toAfter.append(std::move(toAfter));
    }
    if (changed)
        variables_ = std::move(delta);
}

void WorkDelta::cellChangesBothWays(const PlmVariableValues& from, const PlmVariableValues& to,
                                    QList<Cell>& towardsTo, QList<Cell>& towardsFrom)
{
    PlmVariableValues::forEachDifference(from, to, [&](const QString& key, const PlmValue* f, const PlmValue* t) {
        if (f && t && identicalValues(*f, *t))
            return;
        towardsTo.append({key, t ? std::optional<PlmValue>(*t) : std::nullopt});
        towardsFrom.append({key, f ? std::optional<PlmValue>(*f) : std::nullopt});
    });
}

void WorkDelta::cellChangesAt(const QList<QString>& keys, const PlmVariableValues& from,
                              const PlmVariableValues& to, QList<Cell>& towardsTo, QList<Cell>& towardsFrom)
{
    for (const QString& key : keys) {
        const auto f = from.constFind(key);
        const auto t = to.constFind(key);
        const bool inFrom = f != from.constEnd();
        const bool inTo = t != to.constEnd();
        if (!inFrom && !inTo)
            continue;
        if (inFrom && inTo && identicalValues(f.value(), t.value()))
            continue;
        towardsTo.append({key, inTo ? std::optional<PlmValue>(t.value()) : std::nullopt});
        towardsFrom.append({key, inFrom ? std::optional<PlmValue>(f.value()) : std::nullopt});
    }
}

QList<WorkDelta::Cell> WorkDelta::cellChanges(const PlmVariableValues& from, const PlmVariableValues& to)
{
    QList<Cell> cells;
    PlmVariableValues::forEachDifference(from, to, [&](const QString& key, const PlmValue* f, const PlmValue* t) {
        if (!f || !t || !identicalValues(*f, *t))
            cells.append({key, t ? std::optional<PlmValue>(*t) : std::nullopt});
    });
    return cells;
}

QList<WorkDelta::VariableStep> WorkDelta::stepsTowards(const QList<PlmVariable>& target, const QList<PlmVariable>& source)
{
    // The k-th variable of an id in the target comes from the k-th of that id in the source.
    QHash<QString, QList<qsizetype>> sourceIndexes;
    for (qsizetype i = 0; i < source.size(); ++i)
        sourceIndexes[source[i].id].append(i);
    QHash<QString, qsizetype> used;

    QList<VariableStep> steps;
    steps.reserve(target.size());
    for (const PlmVariable& variable : target) {
        VariableStep step;
        const QList<qsizetype> candidates = sourceIndexes.value(variable.id);
        const qsizetype k = used.value(variable.id, 0);
        if (k < candidates.size()) {
            used[variable.id] = k + 1;
            const PlmVariable& from = source[candidates[k]];
            QList<Cell> cells = cellChanges(from.values, variable.values);
            // A column rewritten for the most part is kept whole: its map is shared anyway.
            if (cells.size() <= variable.values.size() / 2 + 1) {
                step.sourceIndex = candidates[k];
                step.variable = variable;
                step.variable.values = {};
                step.cells = std::move(cells);
                steps.append(std::move(step));
                continue;
            }
        }
        step.variable = variable;
        steps.append(std::move(step));
    }
    return steps;
}

QList<PlmVariable> WorkDelta::rebuild(const QList<VariableStep>& steps, const QList<PlmVariable>& source)
{
    QList<PlmVariable> variables;
    variables.reserve(steps.size());
    for (const VariableStep& step : steps) {
        PlmVariable v = step.variable;
        if (step.sourceIndex >= 0 && step.sourceIndex < source.size()) {
            v.values = source[step.sourceIndex].values;
            for (const Cell& cell : step.cells) {
                if (cell.value)
                    v.values.insert(cell.entityID, *cell.value);
                else
                    v.values.remove(cell.entityID);
            }
        }
        variables.append(std::move(v));
    }
    return variables;
}

PlmWork WorkDelta::before(const PlmWork& after) const
{
    PlmWork work = after;
    if (map_)
        work.map = map_->first;
    if (sourceMapURL_)
        work.sourceMapURL = sourceMapURL_->first;
    if (thematic_)
        work.thematic = thematic_->first;
    if (decoration_)
        work.decoration = decoration_->first;
    if (variables_)
        work.variables = rebuild(variables_->toBefore, after.variables);
    return work;
}

PlmWork WorkDelta::after(const PlmWork& before) const
{
    PlmWork work = before;
    if (map_)
        work.map = map_->second;
    if (sourceMapURL_)
        work.sourceMapURL = sourceMapURL_->second;
    if (thematic_)
        work.thematic = thematic_->second;
    if (decoration_)
        work.decoration = decoration_->second;
    if (variables_)
        work.variables = rebuild(variables_->toAfter, before.variables);
    return work;
}

qsizetype WorkDelta::privateBytes() const
{
    qsizetype bytes = qsizetype(sizeof(WorkDelta));
    if (!variables_)
        return bytes;
    for (const QList<VariableStep>* steps : {&variables_->toBefore, &variables_->toAfter}) {
        for (const VariableStep& step : *steps) {
            bytes += qsizetype(sizeof(VariableStep)) + step.variable.name.size() * 2 + step.variable.id.size() * 2;
            for (const Cell& cell : step.cells)
                bytes += qsizetype(sizeof(Cell)) + cell.entityID.size() * 2
                       + (cell.value ? cell.value->textValue().size() * 2 : 0);
        }
    }
    return bytes;
}

WorkUndoCommand::WorkUndoCommand(const QString& actionName, const PlmWork& previous, const PlmWork& next,
                                 CurrentWork current, StoreWork store, const WorkCellChanges* changes)
    : UndoCommand(actionName)
    , delta_(previous, next, changes)
    , current_(std::move(current))
    , store_(std::move(store))
{
}

void WorkUndoCommand::undoChange()
{
    if (current_ && store_)
        store_(delta_.before(current_()), text(), true);
}

void WorkUndoCommand::redoChange()
{
    if (current_ && store_)
        store_(delta_.after(current_()), text(), false);
}
