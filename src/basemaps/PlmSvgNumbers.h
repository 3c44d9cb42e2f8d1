#pragma once

#include <QList>
#include <QStringView>

#include <optional>

// The number syntax of SVG attributes, read without the locale: an optional sign, digits with
// an optional decimal point (".5", "12.", "12.5"), then an optional exponent ("1e5").
namespace PlmSvgNumbers {

// Length of the number that starts exactly at pos, or 0 when none starts there.
qsizetype matchLength(QStringView text, qsizetype pos);

// The first number at or after `from`: its start and end, or false when none is left.
bool findNext(QStringView text, qsizetype from, qsizetype& start, qsizetype& end);

// The value of a text that is one whole number of the syntax above; none for anything else.
// A value too large for a double gives ±infinity, one too small gives ±0.
std::optional<double> toDouble(QStringView token);

// The finite value of a text that is one whole number (after trimming white space), else none.
std::optional<double> plainNumber(QStringView text);

// Every number of the text, in order; a number that overflows a double is skipped.
QList<double> numbers(QStringView text);

// SVG's white space (space, tab, line feed, carriage return, form feed, vertical tab).
inline bool isSpace(QChar c)
{
    const char16_t u = c.unicode();
    return u == u' ' || u == u'\t' || u == u'\n' || u == u'\r' || u == u'\f' || u == u'\v';
}

inline bool isDigit(QChar c)
{
    return c.unicode() >= u'0' && c.unicode() <= u'9';
}

// The text without white space at either end.
QStringView trimmed(QStringView text);

} // namespace PlmSvgNumbers
