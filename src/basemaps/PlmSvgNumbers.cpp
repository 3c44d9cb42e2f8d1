#include "basemaps/PlmSvgNumbers.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace PlmSvgNumbers {

qsizetype matchLength(QStringView t, qsizetype p)
{
    const qsizetype n = t.size();
    qsizetype q = p;
    if (q < n && (t[q] == u'+' || t[q] == u'-'))
        ++q;
    const qsizetype digitsStart = q;
    while (q < n && isDigit(t[q]))
        ++q;
    const qsizetype integerDigits = q - digitsStart;
    if (q < n && t[q] == u'.') {
        qsizetype r = q + 1;
        while (r < n && isDigit(t[r]))
            ++r;
        const qsizetype fractionDigits = r - (q + 1);
        if (integerDigits == 0 && fractionDigits == 0)
            return 0;
        q = r;
    } else if (integerDigits == 0) {
        return 0;
    }
    if (q < n && (t[q] == u'e' || t[q] == u'E')) {
        qsizetype r = q + 1;
        if (r < n && (t[r] == u'+' || t[r] == u'-'))
            ++r;
        const qsizetype exponentStart = r;
        while (r < n && isDigit(t[r]))
            ++r;
        if (r > exponentStart)
            q = r;
    }
    return q - p;
}

bool findNext(QStringView text, qsizetype from, qsizetype& start, qsizetype& end)
{
    for (qsizetype p = from; p < text.size(); ++p) {
        const QChar c = text[p];
        if (!isDigit(c) && c != u'.' && c != u'+' && c != u'-')
            continue;
        if (const qsizetype length = matchLength(text, p)) {
            start = p;
            end = p + length;
            return true;
        }
    }
    return false;
}

namespace {

// Whether a number that from_chars found out of range is tiny rather than huge: the decimal
// exponent of its first significant digit, plus the written exponent, is negative.
bool isUnderflow(const std::string& s)
{
    size_t i = (s[0] == '-' || s[0] == '+') ? 1 : 0;
    size_t mantissaEnd = i;
    long long integerDigits = 0;
    bool inFraction = false;
    for (; mantissaEnd < s.size() && s[mantissaEnd] != 'e' && s[mantissaEnd] != 'E'; ++mantissaEnd) {
        if (s[mantissaEnd] == '.')
            inFraction = true;
        else if (!inFraction)
            ++integerDigits;
    }
    long long magnitude = 0;
    bool found = false;
    long long integerIndex = 0;
    long long fractionIndex = 0;
    inFraction = false;
    for (size_t k = i; k < mantissaEnd && !found; ++k) {
        const char c = s[k];
        if (c == '.') {
            inFraction = true;
        } else if (!inFraction) {
            if (c != '0') {
                found = true;
                magnitude = integerDigits - 1 - integerIndex;
            }
            ++integerIndex;
        } else {
            ++fractionIndex;
            if (c != '0') {
                found = true;
                magnitude = -fractionIndex;
            }
        }
    }
    long long exponent = 0;
    size_t k = mantissaEnd;
    if (k < s.size()) {
        ++k;
        bool negative = false;
        if (k < s.size() && (s[k] == '-' || s[k] == '+'))
            negative = s[k++] == '-';
        for (; k < s.size(); ++k)
            exponent = std::min<long long>(exponent * 10 + (s[k] - '0'), 1'000'000'000);
        if (negative)
            exponent = -exponent;
    }
    return !found || magnitude + exponent < 0;
}

} // namespace

std::optional<double> toDouble(QStringView token)
{
    if (token.isEmpty() || matchLength(token, 0) != token.size())
        return std::nullopt;
    // Most numbers are short: convert them from a buffer on the stack.
    char buffer[64];
    std::string s;
    const char* first = buffer;
    if (token.size() <= qsizetype(sizeof buffer)) {
        for (qsizetype i = 0; i < token.size(); ++i)
            buffer[i] = char(token[i].unicode());
    } else {
        s.reserve(size_t(token.size()));
        for (QChar c : token)
            s.push_back(char(c.unicode()));
        first = s.data();
    }
    const char* last = first + token.size();
    const char* const begin = first;
    if (*first == '+')
        ++first;
    double value = 0;
    const auto [ptr, ec] = std::from_chars(first, last, value);
    if (ec == std::errc::result_out_of_range) {
        const std::string text(begin, last);
        const bool negative = text[0] == '-';
        if (isUnderflow(text))
            return negative ? -0.0 : 0.0;
        return negative ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
    }
    if (ec != std::errc() || ptr != last)
        return std::nullopt;
    return value;
}

std::optional<double> plainNumber(QStringView text)
{
    const std::optional<double> value = toDouble(trimmed(text));
    if (!value || !std::isfinite(*value))
        return std::nullopt;
    return value;
}

QList<double> numbers(QStringView text)
{
    QList<double> result;
    qsizetype start = 0;
    qsizetype end = 0;
    qsizetype from = 0;
    while (findNext(text, from, start, end)) {
        const std::optional<double> value = toDouble(text.mid(start, end - start));
        if (value && std::isfinite(*value))
            result.append(*value);
        from = end;
    }
    return result;
}

QStringView trimmed(QStringView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isSpace(text[begin]))
        ++begin;
    while (end > begin && isSpace(text[end - 1]))
        --end;
    return text.mid(begin, end - begin);
}

} // namespace PlmSvgNumbers
