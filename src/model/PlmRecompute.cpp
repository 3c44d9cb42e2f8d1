// Recomputing the values of calculated variables, in dependency order.
#include "model/PlmWork.h"

#include "model/PlmDependencyPlan.h"

#include <QHash>
#include <algorithm>
#include <numeric>
#include <unordered_map>
#include <vector>

namespace {

using Column = std::vector<std::optional<double>>; // one number per row, none when unusable

// The rows (top-level entities) in the order of their ids, so that a variable's values,
// which are kept sorted by entity id, are matched to rows in one merge instead of one
// tree search per cell.
struct Rows {
    const PlmEntityList& entities;
    std::vector<qsizetype> byID; // row positions sorted by id, map order kept among equals

    explicit Rows(const PlmEntityList& list)
        : entities(list)
        , byID(std::size_t(list.size()))
    {
        std::iota(byID.begin(), byID.end(), qsizetype(0));
        std::stable_sort(byID.begin(), byID.end(),
                         [&](qsizetype a, qsizetype b) { return list[a].id < list[b].id; });
    }

    const QString& id(qsizetype row) const { return entities[row].id; }

    Column column(const PlmVariableValues& values) const
    {
        Column out(byID.size());
        auto it = values.cbegin();
        const auto end = values.cend();
        for (qsizetype row : byID) {
            const QString& key = id(row);
            while (it != end && it.key() < key)
                ++it;
            if (it == end)
                break;
            if (it.key() == key)
                out[std::size_t(row)] = it.value().numericValue();
        }
        return out;
    }
};

// The columns a formula names, resolved once per plan step.
struct References {
    struct Entry {
        QString id;
        const Column* column; // null: the id names no variable
    };
    std::vector<Entry> entries;
    // Filled by index() for formulas naming many variables, whose lookups a scan per
    // reference would make quadratic: by the address of the id's characters first (cheap,
    // and shared with the expression), then by the text.
    QHash<const QChar*, std::size_t> byAddress; // index in entries
    QHash<QString, const Column*> byID;
    std::size_t row = 0;

    static constexpr std::size_t scanLimit = 8;

    void index()
    {
        if (entries.size() <= scanLimit)
            return;
        byAddress.reserve(qsizetype(entries.size()));
        byID.reserve(qsizetype(entries.size()));
        for (std::size_t i = 0; i < entries.size(); ++i) {
            byAddress.insert(entries[i].id.constData(), i);
            byID.insert(entries[i].id, entries[i].column);
        }
    }

    std::optional<double> lookup(const QString& id) const
    {
        if (!byID.isEmpty()) {
            // The same characters at the same address and of the same length: the same id.
            const auto at = byAddress.constFind(id.constData());
            const Column* column = at != byAddress.cend() && entries[*at].id.size() == id.size()
                ? entries[*at].column
                : byID.value(id, nullptr);
            return column ? (*column)[row] : std::nullopt;
        }
        // Ids in the expression share their text with the ids listed here, so the pointer
        // test settles almost every lookup without comparing characters.
        for (const Entry& entry : entries)
            if ((entry.id.constData() == id.constData() && entry.id.size() == id.size()) || entry.id == id)
                return entry.column ? (*entry.column)[row] : std::nullopt;
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
    const Rows rows(map.entities);
    const std::size_t rowCount = rows.byID.size();

    QList<PlmVariable> computed = variables;
    // By variable index; calculated ones once computed. Node-based: a step keeps pointers to
    // the columns it reads while it loads the others.
    std::unordered_map<qsizetype, Column> columns;

    for (const PlmPlanStep& step : plan) {
        References references;
        const QSet<QString> referenced = step.expression.referencedVariables();
        references.entries.reserve(std::size_t(referenced.size()));
        for (const QString& id : referenced) {
            const auto index = indexOfID.constFind(id);
            const Column* column = nullptr;
            if (index != indexOfID.constEnd()) {
                auto cached = columns.find(*index);
                if (cached == columns.end())
                    cached = columns.emplace(*index, rows.column(std::as_const(computed)[*index].values)).first;
                column = &cached->second;
            }
            references.entries.push_back({id, column});
        }
        references.index();
        const PlmExpression::Lookup lookup = [&references](const QString& id) { return references.lookup(id); };

        Column results(rowCount);
        for (std::size_t p = 0; p < rowCount; ++p) {
            if (p % 1024 == 0)
                cancellation.throwIfCancelled();
            references.row = p;
            results[p] = step.expression.evaluate(lookup);
        }

        // Rows in id order: each insertion lands at the end of the tree.
        const bool percentage = std::as_const(computed)[step.index].type == PlmVariableType::percentage;
        PlmVariableValues values;
        for (qsizetype row : rows.byID)
            if (const std::optional<double>& result = results[std::size_t(row)])
                values.insert(values.cend(), rows.id(row),
                              percentage ? PlmValue::percentage(*result) : PlmValue::number(*result));
        computed[step.index].values = std::move(values);
        columns.insert_or_assign(step.index, std::move(results));
    }
    variables = std::move(computed);
}
