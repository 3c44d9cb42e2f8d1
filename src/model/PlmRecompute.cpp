// Recomputing the values of calculated variables, in dependency order.
#include "model/PlmWork.h"

#include "model/PlmDependencyPlan.h"

#include <algorithm>
#include <vector>

namespace {

// The values a formula may read, resolved once per plan step so that each lookup is
// a short scan of the formula's own references and one search in that column.
struct ReferenceTable {
    struct Column {
        QString id;
        const QMap<QString, PlmValue>* values; // null: the id names no variable
    };
    std::vector<Column> columns;
    const QString* entityID = nullptr;

    std::optional<double> lookup(const QString& id) const
    {
        for (const Column& column : columns) {
            if (column.id != id)
                continue;
            if (!column.values)
                return std::nullopt;
            const auto it = column.values->constFind(*entityID);
            return it == column.values->constEnd() ? std::nullopt : it->numericValue();
        }
        return std::nullopt;
    }
};

} // namespace

void PlmWork::recomputeCalculatedVariables(const PlmCancellationToken& cancellation)
{
    if (std::none_of(variables.cbegin(), variables.cend(),
                     [](const PlmVariable& v) { return v.calculation.has_value(); }))
        return;

    const PlmDependencyPlan plan = PlmFormula::validate(*this);
    const QHash<QString, qsizetype> indexOfID = PlmFormula::variableIndexes(variables);

    QList<PlmVariable> computed = variables;
    computed.detach(); // pointers taken below stay valid: no further copy of the list
    const PlmEntityList& rows = map.entities;

    for (const PlmPlanStep& step : plan) {
        ReferenceTable table;
        const QSet<QString> referenced = step.expression.referencedVariables();
        table.columns.reserve(std::size_t(referenced.size()));
        for (const QString& id : referenced) {
            const auto index = indexOfID.constFind(id);
            table.columns.push_back(
                {id, index == indexOfID.constEnd() ? nullptr : &computed[*index].values});
        }
        const PlmExpression::Lookup lookup = [&table](const QString& id) { return table.lookup(id); };
        const bool percentage = computed[step.index].type == PlmVariableType::percentage;

        QMap<QString, PlmValue> results;
        for (qsizetype p = 0; p < rows.size(); ++p) {
            if (p % 1024 == 0)
                cancellation.throwIfCancelled();
            const QString& id = rows[p].id;
            table.entityID = &id;
            if (const std::optional<double> result = step.expression.evaluate(lookup))
                results.insert(id, percentage ? PlmValue::percentage(*result) : PlmValue::number(*result));
        }
        computed[step.index].values = std::move(results);
    }
    variables = std::move(computed);
}
