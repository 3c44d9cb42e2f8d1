#pragma once

#include <QString>

#include <string_view>

// The texts of the numeric cells of a workbook: percentages, codes with leading zeros, dates
// in ISO 8601 UTC, or the stored number unchanged. Throws PlmWorkError.
namespace PlmXlsxCell {

// Seconds from 1970-01-01T00:00:00Z to serial day 0 of each date system.
inline constexpr qint64 dayZero1900 = -2'209'161'600;
inline constexpr qint64 dayZero1904 = -2'082'844'800;
// The start of year 10000 away from 1970, either way.
inline constexpr double dateLimitSeconds = 253'402'300'800.0;

struct NumberStyle {
    int formatId = 0;
    QString formatCode;
    qint64 dayZero = dayZero1900;
    // What the format makes of a number, found once per style by numberStyle().
    bool percent = false;
    bool zeros = false;         // a code of zeros alone: leading zeros kept
    bool date = false;
    bool timeOfDay = false;     // a date always written with its time
};

// The style of the numbers of one format.
NumberStyle numberStyle(int formatId, const QString& formatCode, qint64 dayZero);

// Whether numbers of this style keep their stored text (checked by checkNumber() alone).
inline bool keepsStoredText(const NumberStyle& style) { return !style.percent && !style.zeros && !style.date; }
// Throws "Nombre XLSX invalide en …" unless stored is empty or a finite number.
void checkNumber(const QString& stored, std::string_view reference);

// The text of a cell of type "n" whose stored value is `stored`; reference names the cell.
// reference is UTF-8.
QString numberText(const QString& stored, std::string_view reference, const NumberStyle& style);

// "2023-01-01", or "2023-01-01T12:00:00.000Z" with the time of day.
QString isoDate(double secondsSince1970, bool withTime);

// The format code without escaped characters, quoted texts and bracketed sections, lower-cased.
QString strippedFormatCode(const QString& code);

} // namespace PlmXlsxCell
