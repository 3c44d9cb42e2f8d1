#pragma once

#include "model/PlmExpression.h"
#include "model/PlmFormula.h"

#include <QHash>
#include <QList>
#include <QSet>

struct PlmWork;

// One calculated variable to compute: its index in the work's variable list and its
// parsed formula.
struct PlmPlanStep {
    qsizetype index = 0;
    PlmExpression expression;

    bool operator==(const PlmPlanStep&) const = default;
};

// Calculated variables in evaluation order: each after every calculated variable it
// names. Computed afresh each time, never stored.
using PlmDependencyPlan = QList<PlmPlanStep>;

// The transient state of one ordering walk.
struct PlmDependencyWalk {
    const PlmWork* work = nullptr;
    QHash<QString, qsizetype> indexOfID;        // first index of each id
    QHash<qsizetype, PlmExpression> expressions; // parsed formula of each calculated variable
    QSet<qsizetype> visiting;
    QSet<qsizetype> visited;
    PlmDependencyPlan plan;
};

namespace PlmFormula {

// A walk this deep is treated as a cycle: it bounds the recursion whatever the file says.
inline constexpr int maximumDependencyDepth = 64;

// Checks every calculation of the work (type and decimals, formula, cycles) and returns
// the evaluation plan. Throws PlmWorkError with the first failure in list order.
PlmDependencyPlan validate(const PlmWork& work);

// Depth-first visit of variable `index` at `depth`, appending to walk.plan.
void checkCycles(PlmDependencyWalk& walk, qsizetype index, int depth);

// First index of each variable id, in list order.
QHash<QString, qsizetype> variableIndexes(const QList<PlmVariable>& variables);

} // namespace PlmFormula
