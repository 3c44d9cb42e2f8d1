#include "model/PlmDependencyPlan.h"

#include "model/PlmCodePointOrder.h"
#include "model/PlmErrors.h"
#include "model/PlmWork.h"

namespace PlmFormula {

namespace {

[[noreturn]] void throwCycle()
{
    throw PlmWorkError::invalid(QStringLiteral(
        "Une formule dépend d’elle-même, directement ou par une autre variable. Corrigez les références."));
}

} // namespace

QHash<QString, qsizetype> variableIndexes(const QList<PlmVariable>& variables)
{
    QHash<QString, qsizetype> indexes;
    indexes.reserve(variables.size());
    for (qsizetype i = 0; i < variables.size(); ++i)
        if (!indexes.contains(variables[i].id))
            indexes.insert(variables[i].id, i);
    return indexes;
}

PlmDependencyPlan validate(const PlmWork& work)
{
    PlmDependencyWalk walk;
    walk.work = &work;
    const QList<PlmVariable>& variables = work.variables;
    // One scope for every formula: building it folds every name, so one per formula
    // would make the check quadratic in the number of variables.
    std::optional<PlmFormulaScope> scope;
    for (qsizetype i = 0; i < variables.size(); ++i) {
        const PlmVariable& variable = variables[i];
        if (!variable.calculation)
            continue;
        if (variable.type == PlmVariableType::text || variable.calculation->decimals < 0
            || variable.calculation->decimals > 10)
            throw PlmWorkError::invalid(QStringLiteral(
                "Une variable calculée utilise un nombre ou pourcentage, avec 0 à 10 décimales."));
        if (!scope)
            scope.emplace(variables);
        walk.expressions.insert(i, parse(variable.calculation->expression, *scope));
    }
    walk.indexOfID = variableIndexes(variables);
    for (qsizetype i = 0; i < variables.size(); ++i)
        if (variables[i].calculation)
            checkCycles(walk, i, 0);
    return walk.plan;
}

void checkCycles(PlmDependencyWalk& walk, qsizetype index, int depth)
{
    if (walk.visiting.contains(index))
        throwCycle();
    // Before the visited test on purpose: the limit holds for every walk, so no
    // file can make the ordering recurse deeper than this.
    if (depth >= maximumDependencyDepth)
        throwCycle();
    if (walk.visited.contains(index))
        return;
    const auto expression = walk.expressions.constFind(index);
    if (expression == walk.expressions.constEnd())
        return; // an input variable: nothing to order
    walk.visiting.insert(index);
    const QSet<QString> referenced = expression->referencedVariables();
    QStringList ids(referenced.cbegin(), referenced.cend());
    plmSortByCodePoints(ids);
    for (const QString& id : std::as_const(ids)) {
        const auto target = walk.indexOfID.constFind(id);
        if (target != walk.indexOfID.constEnd())
            checkCycles(walk, *target, depth + 1);
    }
    walk.visiting.remove(index);
    walk.visited.insert(index);
    walk.plan.append(PlmPlanStep{index, *expression});
}

} // namespace PlmFormula
