#pragma once

#include "tables/PlmInputSheet.h"
#include "model/PlmVariableType.h"

#include <QByteArray>
#include <QIODevice>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <utility>

// The older Pelmora data table as its reader (base-map import) hands it over: rows with
// their index and label, numeric columns keyed by row index, and the reader's warnings.
struct PlmLegacyTableContent {
    struct Row {
        int index = 0;
        QString label;
    };
    struct Column {
        QString name;
        QMap<int, double> values;
    };
    QList<Row> rows;
    QList<Column> columns;
    QStringList warnings;
};

// The table readers: delimited text, older Pelmora tables and XLSX workbooks, all turned into
// PlmInputSheet values, plus the helpers the data import dialog applies to a sheet. Every
// function is pure and may run on any thread. Failures throw PlmWorkError with one French
// sentence (the older-table reader's own errors pass through unchanged).
namespace PlmInputReader {

inline constexpr qint64 maximumFileSize = 67'108'864;
inline constexpr qsizetype maximumRows = 200'000;
inline constexpr qsizetype maximumFieldsPerRow = 4'096;
inline constexpr qsizetype maximumFields = 5'000'000;
inline constexpr int sampledRows = 100;
inline constexpr int rowCountWeight = 1000;
inline constexpr int headerProbeRows = 20;

const QStringList& knownHeaderWords();
const QStringList& knownHeaderPrefixes();

// Reads a file of at most 64 MiB and hands its bytes to read(data, fileName).
QList<PlmInputSheet> read(const QString& filePath);
// Recognises the bytes (older Pelmora table, XLSX, older workbook, text) and reads them.
// The file name only names the sheet of a text or older table.
QList<PlmInputSheet> read(const QByteArray& data, const QString& fileName);

// Reads bytes as delimited text: decoding, the "sep=" line, the separator by score.
PlmInputSheet readTextSheet(const QByteArray& data, const QString& fileName);

// Reads a UTF-8 text file of the given size as it decodes it, so that its bytes are never
// held whole. None when it is no such text (another format, another encoding, a NUL), when it
// grew past that size or when its leading separator fails further on: the caller then reads
// the file's bytes whole, from the start.
std::optional<PlmInputSheet> readUtf8TextFile(QIODevice& file, qint64 expectedSize, const QString& fileName);

// Splits a text into rows of fields with double-quote quoting.
QList<QStringList> parseDelimited(const QString& text, QChar separator);

// Whether the first row of a grid looks like column names.
bool hasHeaderRow(const PlmInputGrid& grid);

// The proposed type of a column of data rows (every row must have the column).
PlmVariableType suggestedType(qsizetype column, const QList<QStringList>& rows);

// An XLSX workbook's non-empty sheets (readWorkbook lives in PlmXlsxReader.cpp).
QList<PlmInputSheet> readWorkbook(const QByteArray& data);

// Older Pelmora tables. The reader of their format belongs to the base-map import, which
// sits above the data tables, so it registers itself here at start-up.
using LegacyTableParser = std::function<PlmLegacyTableContent(const QByteArray&)>;
void setLegacyTableParser(LegacyTableParser parser);
// At least 2,052 bytes, 00 01 at offset 4 and a big-endian word of 9 or 10 at offset 6.
bool isLegacyTable(const QByteArray& data);
// Reads an older table with the registered parser (its errors pass through).
PlmLegacyTableContent parseLegacyTable(const QByteArray& data);
// The sheet of an older table: "Identifiant" and the column names, then one row per table row.
PlmInputSheet legacySheet(const PlmLegacyTableContent& table, const QString& fileName);

} // namespace PlmInputReader
