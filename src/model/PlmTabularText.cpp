#include "model/PlmTabularText.h"

#include "model/PlmErrors.h"

#include <limits>

namespace PlmTabularText {

namespace {

const QString kMalformedAfterQuote = QStringLiteral("Texte à coller mal formé après un guillemet.");
const QString kUnclosedQuote = QStringLiteral("Guillemet non fermé dans le texte à coller.");

} // namespace

// Characters are read one UTF-16 unit at a time, with CR LF taken as one line break. Every
// character that matters here (tab, CR, LF, quote) is a single unit; reading whole grapheme
// clusters instead would glue a quote to a combining mark that follows it ("\"\u0301"), and a
// cell starting with such a mark could then never be quoted and read back.
QList<QStringList> parse(const QString& text)
{
    return parse(text, std::numeric_limits<qsizetype>::max(), std::numeric_limits<qsizetype>::max(), nullptr);
}

QList<QStringList> parse(const QString& text, qsizetype maxRows, qsizetype maxCells, bool* complete)
{
    QList<QStringList> rows;
    QStringList row;
    QString field;
    bool inQuotes = false;
    bool quoteJustClosed = false;
    // Rows and cells are counted, and kept only within the limits.
    qsizetype rowCount = 0;
    qsizetype cellCount = 0;
    bool kept = true;
    const auto endField = [&] {
        if (cellCount++ < maxCells && rowCount < maxRows)
            row.append(field);
        else
            kept = false;
        field.clear();
    };
    const auto endRow = [&] {
        if (rowCount++ < maxRows)
            rows.append(row);
        else
            kept = false;
        row.clear();
        cellCount = 0;
    };

    const qsizetype size = text.size();
    const QChar* data = text.constData();
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t c = data[i].unicode();
        if (inQuotes) {
            if (c != u'"') {
                field.append(data[i]);
            } else if (i + 1 < size && data[i + 1] == u'"') {
                // A doubled quote stands for one quote.
                field.append(QLatin1Char('"'));
                ++i;
            } else {
                inQuotes = false;
                quoteJustClosed = true;
            }
            continue;
        }

        if (c == u'\t') {
            endField();
            quoteJustClosed = false;
        } else if (c == u'\n' || c == u'\r') {
            if (c == u'\r' && i + 1 < size && data[i + 1] == u'\n')
                ++i;
            endField();
            endRow();
            quoteJustClosed = false;
        } else if (quoteJustClosed) {
            throw PlmWorkError::invalid(kMalformedAfterQuote);
        } else if (c == u'"' && field.isEmpty()) {
            inQuotes = true;
        } else {
            field.append(data[i]);
        }
    }

    if (inQuotes)
        throw PlmWorkError::invalid(kUnclosedQuote);
    if (cellCount > 0 || !(field.isEmpty() && !quoteJustClosed && rowCount > 0)) {
        endField();
        endRow();
    }
    if (complete)
        *complete = kept;
    return rows;
}

QString format(const QList<QStringList>& rows)
{
    QString text;
    for (const QStringList& row : rows) {
        for (qsizetype i = 0; i < row.size(); ++i) {
            if (i > 0)
                text.append(QLatin1Char('\t'));
            const QString& cell = row.at(i);
            const bool needsQuotes = cell.contains(QLatin1Char('\t')) || cell.contains(QLatin1Char('\n'))
                || cell.contains(QLatin1Char('\r')) || cell.contains(QLatin1Char('"'));
            if (needsQuotes) {
                QString escaped = cell;
                escaped.replace(QLatin1Char('"'), QStringLiteral("\"\""));
                text.append(QLatin1Char('"'));
                text.append(escaped);
                text.append(QLatin1Char('"'));
            } else {
                text.append(cell);
            }
        }
        text.append(QLatin1Char('\n'));
    }
    if (rows.isEmpty())
        text.append(QLatin1Char('\n'));
    return text;
}

} // namespace PlmTabularText
