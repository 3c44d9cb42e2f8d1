#include "model/PlmTabularText.h"

#include "model/PlmErrors.h"

#include <QTextBoundaryFinder>

namespace PlmTabularText {

namespace {

const QString kMalformedAfterQuote = QStringLiteral("Texte à coller mal formé après un guillemet.");
const QString kUnclosedQuote = QStringLiteral("Guillemet non fermé dans le texte à coller.");

bool isQuote(QStringView character)
{
    return character.size() == 1 && character[0] == QLatin1Char('"');
}

bool isLineBreak(QStringView character)
{
    return character == u"\n" || character == u"\r" || character == u"\r\n";
}

} // namespace

QList<QStringList> parse(const QString& text)
{
    QList<QStringList> rows;
    QStringList row;
    QString field;
    bool inQuotes = false;
    bool quoteJustClosed = false;

    // Grapheme clusters: CR LF, or a quote carrying a combining mark, is one character.
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = finder.toNextBoundary();
        if (end <= start)
            end = text.size();
        const QStringView character = QStringView(text).mid(start, end - start);
        start = end;

        if (inQuotes) {
            if (!isQuote(character)) {
                field.append(character);
                continue;
            }
            // A doubled quote stands for one quote; a single one closes the field.
            if (start < text.size() && text.at(start) == QLatin1Char('"')) {
                const qsizetype next = finder.toNextBoundary();
                if (next == start + 1) {
                    field.append(QLatin1Char('"'));
                    start = next;
                    continue;
                }
                finder.setPosition(start);
            }
            inQuotes = false;
            quoteJustClosed = true;
            continue;
        }

        if (character == u"\t") {
            row.append(field);
            field.clear();
            quoteJustClosed = false;
        } else if (isLineBreak(character)) {
            row.append(field);
            rows.append(row);
            field.clear();
            row.clear();
            quoteJustClosed = false;
        } else if (quoteJustClosed) {
            throw PlmWorkError::invalid(kMalformedAfterQuote);
        } else if (isQuote(character) && field.isEmpty()) {
            inQuotes = true;
        } else {
            field.append(character);
        }
    }

    if (inQuotes)
        throw PlmWorkError::invalid(kUnclosedQuote);
    if (!row.isEmpty()) {
        row.append(field);
        rows.append(row);
    } else if (!(field.isEmpty() && !quoteJustClosed && !rows.isEmpty())) {
        rows.append(QStringList{field});
    }
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
