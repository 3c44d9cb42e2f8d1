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

// Tab-separated cells, one line feed after every row. parse(format(rows)) == rows whenever
// every row has at least one cell.
QString format(const QList<QStringList>& rows);

} // namespace PlmTabularText
