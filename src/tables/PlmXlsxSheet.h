#pragma once

#include "tables/PlmInputGrid.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>

#include <atomic>
#include <exception>
#include <optional>
#include <thread>

class ZIP;

// The worksheets and shared strings of a workbook, read from the parser's events rather than
// from a tree: a sheet of a few hundred thousand cells would otherwise need millions of nodes.
namespace PlmXlsxSheet {

inline constexpr int maximumColumns = 4'096;
inline constexpr qsizetype maximumRows = 200'000;
inline constexpr qint64 maximumCells = 5'000'000;

// The texts of the shared-strings part, each si joining the text of every t below it, one
// after another in one text, each followed by a zero.
struct SharedStrings {
    QString text;
    QList<PlmInputGrid::Cell> runs; // offset and length of each string in text
};

// The shared-strings part read on a thread of its own, so that the first sheet is parsed
// meanwhile. What the sheet needs early, whether a string exists, is known as soon as it is
// read, or once the reading has ended.
class SharedStringsReader {
public:
    // `extracted` counts the bytes inflated before this part.
    SharedStringsReader(const ZIP& zip, const QString& path, qint64 extracted);
    ~SharedStringsReader();
    SharedStringsReader(const SharedStringsReader&) = delete;
    SharedStringsReader& operator=(const SharedStringsReader&) = delete;

    // Whether there is a string at this index; throws the reading's error when it failed first.
    bool has(qint64 index);
    // The strings once all are read; throws the reading's error.
    const SharedStrings& strings();

private:
    void wait();

    SharedStrings m_strings;
    static constexpr qint64 finished = -1;
    std::atomic<qint64> m_count{0}; // strings read so far, or finished once the reading ended
    std::exception_ptr m_error;
    std::thread m_thread;
};

// What the cells of every sheet need from the rest of the workbook.
struct Context {
    SharedStringsReader* sharedStrings = nullptr; // none when the workbook has no such part
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

// The 1-based column of a reference such as "AB12" (its leading capital letters).
int columnOf(const QString& reference);

// A decimal integer written alone, an optional '+' first; none for any other text.
std::optional<qint64> readInteger(QStringView text);

} // namespace PlmXlsxSheet
