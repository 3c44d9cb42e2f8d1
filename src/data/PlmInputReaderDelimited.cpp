#include "data/PlmInputReader.h"

#include "model/PlmErrors.h"

namespace {

const QChar quote = u'"';

[[noreturn]] void fail(const char16_t* message)
{
    throw PlmWorkError::invalid(QString::fromUtf16(message));
}

[[noreturn]] void tooLarge()
{
    fail(u"Table trop volumineuse.");
}

// The splitter's state between two characters.
struct Splitter {
    QList<QStringList> rows;
    QStringList row;
    QString field;
    bool inQuotes = false;
    bool justClosed = false;
    qsizetype fieldCount = 0;

    // Ends the field. The row limit is checked on the row that receives the field, so no row
    // (the last one included) ever holds more than the allowed number of fields.
    void endField()
    {
        row.append(field);
        field = QString();
        inQuotes = false;
        justClosed = false;
        ++fieldCount;
        if (row.size() > PlmInputReader::maximumFieldsPerRow || fieldCount > PlmInputReader::maximumFields)
            tooLarge();
    }

    void endRow()
    {
        endField();
        rows.append(row);
        row = QStringList();
        if (rows.size() > PlmInputReader::maximumRows)
            tooLarge();
    }
};

} // namespace

QList<QStringList> PlmInputReader::parseDelimited(const QString& text, QChar separator)
{
    Splitter s;
    const qsizetype n = text.size();
    const QChar* chars = text.constData();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = chars[i];
        if (s.inQuotes) {
            if (c == quote) {
                if (i + 1 < n && chars[i + 1] == quote) {
                    s.field.append(quote);
                    ++i;
                } else {
                    s.inQuotes = false;
                    s.justClosed = true;
                }
            } else {
                s.field.append(c);
            }
            continue;
        }
        if (c == separator) {
            s.endField();
        } else if (c == u'\n' || c == u'\r') {
            // CR LF is one break.
            if (c == u'\r' && i + 1 < n && chars[i + 1] == u'\n')
                ++i;
            s.endRow();
        } else if (c == quote) {
            if (!s.field.isEmpty() || s.justClosed)
                fail(u"Guillemets mal formés.");
            s.inQuotes = true;
        } else {
            if (s.justClosed)
                fail(u"Guillemets mal formés.");
            s.field.append(c);
        }
    }
    if (s.inQuotes)
        fail(u"Guillemet non fermé.");
    if (!s.row.isEmpty() || !s.field.isEmpty() || s.justClosed || s.rows.isEmpty())
        s.endRow();
    return s.rows;
}
