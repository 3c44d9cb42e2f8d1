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
                row.text = value->isText() ? value->textValue() : value->editingText();
            }
        } else {
            row.text = byIdentifier ? entity.id : entity.name;
        }
        if (row.hasValue)
            row.textKey = sorter.sortKey(row.text);
        rows.push_back(std::move(row));
    }

    std::stable_sort(rows.begin(), rows.end(), [ascending](const RowKey& a, const RowKey& b) {
        // Empty cells come last in both directions.
        if (a.hasValue != b.hasValue)
            return a.hasValue;
        if (a.hasValue) {
            const int order = compareKeys(a, b);
            if (order != 0)
                return ascending ? order < 0 : order > 0;
        }
        return a.mapIndex < b.mapIndex;
    });

    for (const RowKey& row : rows)
        ids.append(entities.at(row.mapIndex).id);
    return ids;
}
