#pragma once

#include "tables/PlmInputGrid.h"

#include <QList>
#include <QString>
#include <QStringList>

// A sheet cut into named columns for matching and import: every row has exactly as many
// cells as there are names.
struct PlmInputTable {
    QStringList names;
    QList<QStringList> rows;

    PlmInputTable() = default;
    // Width = the longest row. With a header, the first row names the columns (its empty or
    // missing cells become "Colonne n") and is not data. Blank rows are dropped, the others
    // padded with empty cells.
    PlmInputTable(bool hasHeader, const PlmInputGrid& grid);

    bool operator==(const PlmInputTable&) const = default;
};
