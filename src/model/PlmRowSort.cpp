#include "model/PlmRowSort.h"

#include "model/PlmEntity.h"
#include "model/PlmWork.h"

#include <QLocale>
#include <algorithm>
#include <cmath>
#include <vector>

PlmRowSort::PlmRowSort()
    : m_collator(QLocale(QLocale::French, QLocale::France))
{
    m_collator.setNumericMode(true);
    m_collator.setCaseSensitivity(Qt::CaseInsensitive);
}

int PlmRowSort::localizedStandardCompare(const QString& a, const QString& b)
{
    return PlmRowSort().compare(a, b);
}

namespace {

// What one row is sorted by, computed once per row.
struct RowKey {
    qsizetype mapIndex = 0;
    bool hasValue = true;
    std::optional<double> number; // a numeric cell
    QString text;                 // the text compared when either side is a text
    std::optional<QCollatorSortKey> textKey;
};

int compareNumbers(double a, double b)
{
    // A total order even for NaN (which validated works never hold), so that sorting stays sound.
    const bool nanA = std::isnan(a);
    const bool nanB = std::isnan(b);
    if (nanA || nanB)
        return int(nanA) - int(nanB);
    return a < b ? -1 : (a > b ? 1 : 0);
}

int compareKeys(const RowKey& a, const RowKey& b)
{
    if (a.number && b.number)
        return compareNumbers(*a.number, *b.number);
    return a.textKey->compare(*b.textKey);
}

} // namespace

QList<QString> PlmWork::rowEntityIDs(const std::optional<QString>& sortKey, bool ascending) const
{
    const PlmEntityList& entities = map.entities;
    QList<QString> ids;
    ids.reserve(entities.size());
    if (!sortKey) {
        for (const PlmEntity& entity : entities)
            ids.append(entity.id);
        return ids;
    }

    const PlmRowSort sorter;
    const bool byIdentifier = *sortKey == QLatin1String("identifier");
    const PlmVariable* sortVariable = byIdentifier ? nullptr : variable(*sortKey);

    // Collation keys are needed only where a text takes part; a numeric column compares numbers.
    bool needsText = !sortVariable;
    if (sortVariable) {
        for (const PlmValue& value : sortVariable->values) {
            if (value.isText()) {
                needsText = true;
                break;
            }
        }
    }

    std::vector<RowKey> rows;
    rows.reserve(size_t(entities.size()));
    for (qsizetype i = 0; i < entities.size(); ++i) {
        const PlmEntity& entity = entities.at(i);
        RowKey row;
        row.mapIndex = i;
        if (sortVariable) {
            const auto value = sortVariable->values.constFind(entity.id);
            if (value == sortVariable->values.cend()) {
                row.hasValue = false;
            } else {
                row.number = value->numericValue();
                if (needsText)
                    row.text = value->isText() ? value->textValue() : value->editingText();
            }
        } else {
            row.text = byIdentifier ? entity.id : entity.name;
        }
        if (row.hasValue && needsText)
            row.textKey = sorter.sortKey(row.text);
        rows.push_back(std::move(row));
    }

    // Sort positions, not the keys themselves: moving a collation key is not cheap.
    std::vector<qsizetype> order(rows.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = qsizetype(i);
    std::stable_sort(order.begin(), order.end(), [&rows, ascending](qsizetype x, qsizetype y) {
        const RowKey& a = rows[size_t(x)];
        const RowKey& b = rows[size_t(y)];
        // Empty cells come last in both directions.
        if (a.hasValue != b.hasValue)
            return a.hasValue;
        if (a.hasValue) {
            const int comparison = compareKeys(a, b);
            if (comparison != 0)
                return ascending ? comparison < 0 : comparison > 0;
        }
        return a.mapIndex < b.mapIndex;
    });

    for (qsizetype position : order)
        ids.append(entities.at(rows[size_t(position)].mapIndex).id);
    return ids;
}
