#include "tables/PlmXlsxCell.h"

#include "model/PlmErrors.h"
#include "model/PlmValue.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <optional>

namespace {

[[noreturn]] void fail(const QString& message)
{
    throw PlmWorkError::invalid(message);
}

// A plain decimal of at most 15 digits ("-12.5"): its digits as an integer and the number of
// them after the point.
struct PlainDecimal {
    std::uint64_t digits = 0;
    int fraction = 0;
    bool negative = false;
};

// The digits of a plain decimal, or nothing for any other text.
std::optional<PlainDecimal> plainDecimal(const char16_t* text, qsizetype size)
{
    const char16_t* p = text;
    const char16_t* end = text + size;
    const bool negative = p < end && *p == u'-';
    if (p < end && (*p == u'-' || *p == u'+'))
        ++p;
    std::uint64_t digits = 0;
    int count = 0;
    int fraction = 0;
    const char16_t* integerStart = p;
    for (; p < end && *p >= u'0' && *p <= u'9'; ++p, ++count)
        digits = digits * 10 + std::uint64_t(*p - u'0');
    if (p == integerStart)
        return std::nullopt;
    if (p < end && *p == u'.') {
        const char16_t* fractionStart = ++p;
        for (; p < end && *p >= u'0' && *p <= u'9'; ++p, ++count)
            digits = digits * 10 + std::uint64_t(*p - u'0');
        fraction = int(p - fractionStart);
        if (fraction == 0)
            return std::nullopt;
    }
    if (p != end || count > 15)
        return std::nullopt;
    return PlainDecimal{digits, fraction, negative};
}

// Such digits make an integer a double holds exactly, and a power of ten up to 10^15 too, so
// that their one division is the correctly rounded value from_chars would give.
double valueOf(const PlainDecimal& plain)
{
    static constexpr double powers[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8,
                                        1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    const double value = double(plain.digits) / powers[plain.fraction];
    return plain.negative ? -value : value;
}

// A finite decimal number written without surrounding spaces (exponents accepted).
std::optional<double> readNumber(const QString& text)
{
    if (const auto plain = plainDecimal(reinterpret_cast<const char16_t*>(text.constData()), text.size()))
        return valueOf(*plain);
    // Longer texts are no number from_chars reads in full anyway, bar leading zeros.
    char buffer[128];
    QByteArray longer;
    if (text.isEmpty())
        return std::nullopt;
    char* bytes = buffer;
    if (text.size() > qsizetype(sizeof buffer)) {
        longer.resize(text.size());
        bytes = longer.data();
    }
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (c >= 0x80)
            return std::nullopt; // no number is written with other characters
        bytes[i] = char(c);
    }
    const char* begin = bytes;
    const char* end = begin + text.size();
    if (*begin == '+' && end - begin > 1 && begin[1] != '-' && begin[1] != '+')
        ++begin;
    double value = 0;
    const auto result = std::from_chars(begin, end, value);
    if (result.ec != std::errc() || result.ptr != end || !std::isfinite(value))
        return std::nullopt;
    return value;
}

// Removes the binary noise of a product such as 0.07 × 100 (7.000000000000001).
double roundedToFifteenDigits(double value)
{
    char buffer[64];
    const auto written = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
    double rounded = value;
    std::from_chars(buffer, written.ptr, rounded);
    return rounded;
}

bool isDateFormatId(int id)
{
    return (id >= 14 && id <= 22) || (id >= 45 && id <= 47);
}

bool alwaysWithTime(int id)
{
    return (id >= 18 && id <= 22) || (id >= 45 && id <= 47);
}

// Days since 1970-01-01 to a proleptic Gregorian civil date.
void civilFromDays(qint64 days, qint64& year, int& month, int& day)
{
    days += 719468;
    const qint64 era = (days >= 0 ? days : days - 146096) / 146097;
    const qint64 dayOfEra = days - era * 146097;
    const qint64 yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const qint64 dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const qint64 mp = (5 * dayOfYear + 2) / 153;
    day = int(dayOfYear - (153 * mp + 2) / 5 + 1);
    month = int(mp < 10 ? mp + 3 : mp - 9);
    year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
}

QString padded(qint64 value, int width)
{
    const QString digits = QString::number(value < 0 ? -value : value).rightJustified(width, u'0');
    return value < 0 ? QStringLiteral("-") + digits : digits;
}

qint64 floorDiv(qint64 a, qint64 b)
{
    qint64 q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0)))
        --q;
    return q;
}

} // namespace

QString PlmXlsxCell::strippedFormatCode(const QString& code)
{
    QString result;
    result.reserve(code.size());
    for (qsizetype i = 0; i < code.size(); ++i) {
        const QChar c = code.at(i);
        if (c == u'\\' || c == u'_' || c == u'*') {
            ++i;
        } else if (c == u'"') {
            while (++i < code.size() && code.at(i) != u'"') {
            }
        } else if (c == u'[') {
            while (++i < code.size() && code.at(i) != u']') {
            }
        } else {
            result.append(c);
        }
    }
    return result.toLower();
}

QString PlmXlsxCell::isoDate(double secondsSince1970, bool withTime)
{
    // Milliseconds rounded to the nearest, so that a serial such as 0.1 day is not written one
    // millisecond early.
    const qint64 ms = qint64(std::llround(secondsSince1970 * 1000.0));
    const qint64 days = floorDiv(ms, 86'400'000);
    qint64 year = 0;
    int month = 0, day = 0;
    civilFromDays(days, year, month, day);
    QString text = padded(year, 4) + u'-' + padded(month, 2) + u'-' + padded(day, 2);
    if (!withTime)
        return text;
    const qint64 inDay = ms - days * 86'400'000;
    text += u'T' + padded(inDay / 3'600'000, 2) + u':' + padded(inDay / 60'000 % 60, 2) + u':'
        + padded(inDay / 1000 % 60, 2) + u'.' + padded(inDay % 1000, 3) + u'Z';
    return text;
}

PlmXlsxCell::NumberStyle PlmXlsxCell::numberStyle(int formatId, const QString& formatCode, qint64 dayZero)
{
    NumberStyle style;
    style.formatId = formatId;
    style.formatCode = formatCode;
    style.dayZero = dayZero;
    const QString stripped = strippedFormatCode(formatCode);
    style.percent = formatId == 9 || formatId == 10 || stripped.contains(u'%');
    style.zeros = formatCode.size() >= 2 && formatCode.count(u'0') == formatCode.size();
    style.date = isDateFormatId(formatId) || stripped.contains(u'y') || stripped.contains(u'd')
        || stripped.contains(u'h') || stripped.contains(u's');
    style.timeOfDay = stripped.contains(u'h') || stripped.contains(u's') || alwaysWithTime(formatId);
    return style;
}

namespace {

double storedNumber(const QString& stored, std::string_view reference)
{
    const std::optional<double> number = readNumber(stored);
    if (!number)
        fail(QStringLiteral("Nombre XLSX invalide en %1.")
                 .arg(QString::fromUtf8(reference.data(), qsizetype(reference.size()))));
    return *number;
}

} // namespace

void PlmXlsxCell::checkNumber(const QString& stored, std::string_view reference)
{
    // A plain decimal is always a finite number: its value is not needed.
    if (!stored.isEmpty() && !plainDecimal(reinterpret_cast<const char16_t*>(stored.constData()), stored.size()))
        storedNumber(stored, reference);
}

QString PlmXlsxCell::numberText(const QString& stored, std::string_view reference, const NumberStyle& style)
{
    if (stored.isEmpty())
        return QString();
    const double value = storedNumber(stored, reference);
    if (style.percent) {
        const double percent = value * 100.0;
        if (!std::isfinite(percent))
            fail(QStringLiteral("Pourcentage hors limites."));
        return PlmValue::percentage(roundedToFifteenDigits(percent)).editingText();
    }

    const QString& code = style.formatCode;
    if (style.zeros && value >= 0 && std::trunc(value) == value) {
        char buffer[400];
        const auto written = std::to_chars(buffer, buffer + sizeof buffer, value == 0 ? 0.0 : value,
                                           std::chars_format::fixed, 0);
        return QString::fromLatin1(buffer, written.ptr - buffer).rightJustified(code.size(), u'0');
    }

    if (style.date) {
        const double seconds = double(style.dayZero) + value * 86'400.0;
        if (!std::isfinite(seconds) || std::fabs(seconds) >= dateLimitSeconds)
            fail(QStringLiteral("Date XLSX hors limites."));
        const bool dateOnly = std::trunc(value) == value && !style.timeOfDay;
        return isoDate(seconds, !dateOnly);
    }
    return stored;
}
