#include "model/PlmValueDecimal.h"

#include <charconv>
#include <cmath>
#include <string>

std::optional<double> plmReadDecimal(QStringView text)
{
    // Anything outside ASCII cannot be part of a number.
    std::string ascii;
    ascii.reserve(size_t(text.size()));
    for (QChar ch : text) {
        if (ch.unicode() >= 0x80)
            return std::nullopt;
        ascii.push_back(char(ch.unicode()));
    }

    size_t start = 0;
    bool negative = false;
    if (start < ascii.size() && (ascii[start] == '+' || ascii[start] == '-')) {
        negative = ascii[start] == '-';
        ++start;
    }
    // from_chars would also take "inf", "nan" or a second sign: insist on a digit or a point.
    if (start >= ascii.size() || !(std::isdigit((unsigned char)ascii[start]) || ascii[start] == '.'))
        return std::nullopt;

    const char* first = ascii.data() + start;
    const char* last = ascii.data() + ascii.size();
    double value = 0;
    const auto [ptr, ec] = std::from_chars(first, last, value, std::chars_format::general);
    if (ptr != last)
        return std::nullopt;
    if (ec == std::errc::result_out_of_range) {
        // Tell an underflow (a tiny magnitude, read as zero) from an overflow.
        long long leadingZeros = 0;   // zeros between the point and the first significant digit
        long long integerDigits = 0;  // significant digits before the point
        bool seenPoint = false;
        bool seenSignificant = false;
        const char* p = first;
        for (; p < last && *p != 'e' && *p != 'E'; ++p) {
            if (*p == '.') {
                seenPoint = true;
            } else if (*p != '0' || seenSignificant) {
                seenSignificant = true;
                if (!seenPoint)
                    ++integerDigits;
            } else if (seenPoint) {
                ++leadingZeros;
            }
        }
        long long exponent = 0;
        if (p < last) {
            ++p;
            const bool exponentNegative = *p == '-';
            if (*p == '+' || *p == '-')
                ++p;
            // Saturate far beyond any count of digits a text can hold, so that the
            // exponent always outweighs the leading zeros it is compared with.
            for (; p < last && exponent < 1000000000000000LL; ++p)
                exponent = exponent * 10 + (*p - '0');
            if (exponentNegative)
                exponent = -exponent;
        }
        const long long magnitude = (integerDigits > 0 ? integerDigits : -leadingZeros) + exponent;
        if (magnitude > 0)
            return std::nullopt;
        value = 0;
    } else if (ec != std::errc()) {
        return std::nullopt;
    }
    if (!std::isfinite(value))
        return std::nullopt;
    return negative ? -value : value;
}
