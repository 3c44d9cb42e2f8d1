#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

// The worksheets and shared strings of a workbook, read from the parser's events rather than
// from a tree: a sheet of a few hundred thousand cells would otherwise need millions of nodes.
namespace PlmXlsxSheet {

inline constexpr int maximumColumns = 4'096;
inline constexpr qsizetype maximumRows = 200'000;
inline constexpr qint64 maximumCells = 5'000'000;

// What the cells of every sheet need from the rest of the workbook.
struct Context {
    QStringList sharedStrings;
    QHash<qint64, QString> formats;  // number-format id → format code
    QList<int> styleFormats;         // cell style index → number-format id
    qint64 dayZero = 0;              // seconds from 1970 to serial day 0
};

struct Content {
    QList<QStringList> grid;
    QSet<QString> warnings; // formulas, merged cells
};

// One worksheet part. `cells` counts the cells of the whole workbook so far: one small part
// named by many sheets cannot hold more cells together than one sheet may.
Content read(const QByteArray& part, const Context& context, qint64& cells);

// The texts of the shared-strings part: each si joins the text of every t below it.
QStringList readSharedStrings(const QByteArray& part);

// The 1-based column of a reference such as "AB12" (its leading capital letters).
int columnOf(const QString& reference);

} // namespace PlmXlsxSheet
