#pragma once

#include "tables/PlmInputGrid.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

class ZIP;

// The worksheets and shared strings of a workbook, read from the parser's events rather than
// from a tree: a sheet of a few hundred thousand cells would otherwise need millions of nodes.
namespace PlmXlsxSheet {

inline constexpr int maximumColumns = 4'096;
inline constexpr qsizetype maximumRows = 200'000;
inline constexpr qint64 maximumCells = 5'000'000;

// What the cells of every sheet need from the rest of the workbook.
// The shared strings, one after another in one text, each followed by a zero.
struct SharedStrings {
    QString text;
    QList<PlmInputGrid::Cell> runs; // offset and length of each string in text
};

struct Context {
    SharedStrings sharedStrings;
    QHash<qint64, QString> formats;  // number-format id → format code
    QList<int> styleFormats;         // cell style index → number-format id
    qint64 dayZero = 0;              // seconds from 1970 to serial day 0
};

struct Content {
    PlmInputGrid grid;
    QSet<QString> warnings; // formulas, merged cells
};

// One worksheet part of the archive, parsed as it is inflated. `cells` counts the cells of the
// whole workbook so far: one small part named by many sheets cannot hold more cells together
// than one sheet may. `extracted` counts the bytes inflated so far for the same reason.
Content read(const ZIP& zip, const QString& path, const Context& context, qint64& cells, qint64& extracted);

// The texts of the shared-strings part: each si joins the text of every t below it.
SharedStrings readSharedStrings(const ZIP& zip, const QString& path, qint64& extracted);

// The 1-based column of a reference such as "AB12" (its leading capital letters).
int columnOf(const QString& reference);

} // namespace PlmXlsxSheet
