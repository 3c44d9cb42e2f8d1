#include "basemaps/PlmNameColumn.h"

#include <QRegularExpression>
#include <QSet>
#include <QStringList>
#include <algorithm>

namespace PlmNameColumn {

namespace {

bool isNumberText(const QString& text)
{
    bool number = false;
    text.toDouble(&number);
    return number;
}

} // namespace

bool saysName(const QString& field)
{
    static const QRegularExpression words(QStringLiteral("[^a-z]+"));
    const QStringList parts = field.toLower().split(words, Qt::SkipEmptyParts);
    return std::any_of(parts.cbegin(), parts.cend(), [](const QString& word) {
        return word.startsWith(QLatin1String("nom")) || word.startsWith(QLatin1String("name"))
            || word.endsWith(QLatin1String("name"));
    });
}

std::optional<bool> distinctValuesHoldText(const QList<Row>& rows, const QString& field)
{
    QSet<QString> values;
    bool text = false;
    for (const Row& row : rows) {
        const QString value = row.value(field);
        if (value.isEmpty() || values.contains(value))
            return std::nullopt;
        values.insert(value);
        text = text || !isNumberText(value);
    }
    return text;
}

std::optional<QString> find(const QList<Row>& rows)
{
    if (rows.isEmpty())
        return std::nullopt;
    for (auto column = rows.first().cbegin(); column != rows.first().cend(); ++column) {
        const QString& field = column.key();
        if (field.startsWith(QLatin1String("source.")) || !saysName(field))
            continue;
        if (distinctValuesHoldText(rows, field).value_or(false))
            return field;
    }
    return std::nullopt;
}

} // namespace PlmNameColumn
