#include "tables/PlmInputTable.h"

#include "model/PlmTextFolding.h"

#include <algorithm>

PlmInputTable::PlmInputTable(bool hasHeader, const PlmInputGrid& grid)
{
    qsizetype width = 0;
    for (qsizetype r = 0; r < grid.size(); ++r)
        width = std::max(width, grid.rowSize(r));

    const bool header = hasHeader && !grid.isEmpty();
    names.reserve(width);
    for (qsizetype i = 0; i < width; ++i) {
        if (header && !grid.cellView(0, i).isEmpty())
            names.append(grid.cell(0, i));
        else
            names.append(QStringLiteral("Colonne %1").arg(i + 1));
    }

    rows.reserve(grid.size());
    for (qsizetype r = header ? 1 : 0; r < grid.size(); ++r) {
        const qsizetype size = grid.rowSize(r);
        bool blank = true;
        for (qsizetype c = 0; c < size && blank; ++c) {
            // As trimming would find it empty (every white space is one UTF-16 unit).
            const QStringView cell = grid.cellView(r, c);
            blank = std::all_of(cell.begin(), cell.end(), [](QChar u) { return PlmTextFolding::isWhiteSpace(u.unicode()); });
        }
        if (blank)
            continue;
        QStringList row = grid.at(r);
        while (row.size() < width)
            row.append(QString());
        rows.append(row);
    }
}
