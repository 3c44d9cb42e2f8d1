#pragma once

#include "tables/PlmInputGrid.h"

#include <QList>
#include <QString>
#include <QStringList>

// One table as a reader found it: a name, the rows of cell texts in file order (rows may
// differ in length, cells are untrimmed) and French notes for the user (never failures).
struct PlmInputSheet {
    QString name;
    PlmInputGrid grid;
    QStringList warnings;

    bool operator==(const PlmInputSheet&) const = default;
};
