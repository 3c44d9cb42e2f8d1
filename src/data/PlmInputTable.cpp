#include "data/PlmInputTable.h"

#include "model/PlmTextFolding.h"

#include <algorithm>

namespace {

bool isBlankRow(const QStringList& row)
{
    return std::all_of(row.cbegin(), row.cend(), [](const QString& cell) {
        return PlmTextFolding::trimmed(cell).isEmpty();
    });
}

} // namespace

PlmInputTable::PlmInputTable(bool hasHeader, const QList<QStringList>& grid)
{
    qsizetype width = 0;
    for (const QStringList& row : grid)
        width = std::max(width, row.size());

    const bool header = hasHeader && !grid.isEmpty();
    names.reserve(width);
    for (qsizetype i = 0; i < width; ++i) {
        if (header && i < grid.first().size() && !grid.first().at(i).isEmpty())
            names.append(grid.first().at(i));
        else
            names.append(QStringLiteral("Colonne %1").arg(i + 1));
    }

    rows.reserve(grid.size());
    for (qsizetype r = header ? 1 : 0; r < grid.size(); ++r) {
        const QStringList& source = grid.at(r);
        if (isBlankRow(source))
            continue;
        QStringList row = source;
        while (row.size() < width)
            row.append(QString());
        rows.append(row);
    }
}
