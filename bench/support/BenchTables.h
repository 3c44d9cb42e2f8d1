#pragma once

#include <QByteArray>
#include <QList>
#include <QStringList>

// A deterministic 35,000-row table of 12 columns (codes with leading zeros, names, regions
// with separators and quotes, eight numbers, a share), as delimited text and as a workbook.
namespace BenchTables {

inline constexpr int rows = 35000;
inline constexpr int numericColumns = 8;

// The cells, the header row first.
const QList<QStringList>& cells();
// UTF-8, ";" separated, CR LF line ends, decimal commas, quoted where needed.
QByteArray csvBytes();
// An XLSX workbook of one sheet "Communes": shared strings, numbers, a code format and a
// percentage format.
QByteArray xlsxBytes();

} // namespace BenchTables
