#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// Blocks of cells as plain text, the way spreadsheets exchange them on the clipboard: cells
// separated by tabs, rows by line breaks, and cells holding a tab, a line break or a double
// quote written between double quotes with inner quotes doubled. Cells stay plain strings;
// the variable types give them meaning later.
namespace PlmTabularText {

// Rows of cell texts (rows may differ in length); CR LF is one line break. Throws PlmWorkError for an unclosed quote or text after a closing quote.
QList<QStringList> parse(const QString& text);

// The same reading for a paste into a table of `maxRows` rows and `maxCells` columns: at most
// that many rows of at most that many cells are kept, so that a huge text cannot fill memory
// with cells that could never be pasted, and `*complete` says whether the whole block was kept.
// The whole text is still read, and its malformed quotes refused, as parse() does.
QList<QStringList> parse(const QString& text, qsizetype maxRows, qsizetype maxCells, bool* complete);

// Tab-separated cells, one line feed after every row. parse(format(rows)) == rows whenever
// every row has at least one cell.
QString format(const QList<QStringList>& rows);

} // namespace PlmTabularText
