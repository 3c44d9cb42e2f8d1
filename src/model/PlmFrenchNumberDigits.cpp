#include "model/PlmFrenchNumberDigits.h"

#include <charconv>
#include <cmath>

PlmDecimalDigits PlmDecimalDigits::shortest(double value)
{
    PlmDecimalDigits result;
    result.negative = std::signbit(value);
    if (value == 0 || !std::isfinite(value))
        return result;

    // Scientific form of the shortest round trip: "-d.ddde±xx".
    char buffer[64];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value,
                                         std::chars_format::scientific);
    if (ec != std::errc())
        return result;
    const char* p = buffer;
    if (*p == '-')
        ++p;
    std::string digits;
    while (p < end && *p != 'e') {
        if (*p >= '0' && *p <= '9')
            digits.push_back(*p);
        ++p;
    }
    int exponent = 0;
    if (p < end && *p == 'e') {
        ++p;
        std::from_chars(*p == '+' ? p + 1 : p, end, exponent);
    }
    while (!digits.empty() && digits.back() == '0')
        digits.pop_back();
    result.digits = digits;
    result.pointPosition = exponent + 1;
    return result;
}

char PlmDecimalDigits::digitAt(int index) const
{
    if (index < 0 || index >= int(digits.size()))
        return '0';
    return digits[size_t(index)];
}

PlmDecimalDigits PlmDecimalDigits::roundedToSignificant(int count) const
{
    return roundedToKeep(count < 1 ? 1 : count);
}

PlmDecimalDigits PlmDecimalDigits::roundedToPlaces(int places) const
{
    if (places < 0)
        places = 0;
    // Keep the digits before the point and `places` after it.
    const long long keep = (long long)pointPosition + places;
    if (keep > int(digits.size()))
        return *this;
    return roundedToKeep(int(keep < -2 ? -2 : keep));
}

PlmDecimalDigits PlmDecimalDigits::roundedToKeep(int keep) const
{
    if (keep >= int(digits.size()))
        return *this;
    PlmDecimalDigits result = *this;
    if (keep < 0) {
        // Everything dropped is below half a unit of the last kept place.
        result.digits.clear();
        result.pointPosition = 0;
        return result;
    }
    const char first = digits[size_t(keep)];
    const bool restNonZero = int(digits.size()) > keep + 1; // digits carry no trailing zeros
    const char lastKept = keep > 0 ? digits[size_t(keep - 1)] : '0';
    const bool roundUp = first > '5' || (first == '5' && (restNonZero || (lastKept - '0') % 2 == 1));
    result.digits.resize(size_t(keep));
    if (roundUp) {
        int i = keep - 1;
        while (i >= 0 && result.digits[size_t(i)] == '9') {
            result.digits[size_t(i)] = '0';
            --i;
        }
        if (i >= 0) {
            ++result.digits[size_t(i)];
        } else {
            result.digits.insert(result.digits.begin(), '1');
            ++result.pointPosition;
        }
    }
    while (!result.digits.empty() && result.digits.back() == '0')
        result.digits.pop_back();
    if (result.digits.empty())
        result.pointPosition = 0;
    return result;
}

namespace {

std::string nonFiniteText(double value)
{
    if (std::isnan(value))
        return "nan";
    return value < 0 ? "-inf" : "inf";
}

std::string decimalNotation(const PlmDecimalDigits& d)
{
    std::string text;
    if (d.negative)
        text.push_back('-');
    if (d.pointPosition <= 0) {
        text.append("0.");
        text.append(size_t(-d.pointPosition), '0');
        text.append(d.digits.empty() ? "0" : d.digits);
        return text;
    }
    for (int i = 0; i < d.pointPosition; ++i)
        text.push_back(d.digitAt(i));
    text.push_back('.');
    if (int(d.digits.size()) > d.pointPosition)
        text.append(d.digits, size_t(d.pointPosition), std::string::npos);
    else
        text.push_back('0');
    return text;
}

} // namespace

std::string PlmDecimalDigits::standardText(double value)
{
    if (!std::isfinite(value))
        return nonFiniteText(value);
    const PlmDecimalDigits d = shortest(value);
    const double magnitude = std::fabs(value);
    if (d.isZero() || (magnitude >= 0.0001 && magnitude < 9007199254740992.0))
        return decimalNotation(d);

    std::string text;
    if (d.negative)
        text.push_back('-');
    text.push_back(d.digits[0]);
    if (d.digits.size() > 1) {
        text.push_back('.');
        text.append(d.digits, 1, std::string::npos);
    }
    const int exponent = d.pointPosition - 1;
    text.push_back('e');
    text.push_back(exponent < 0 ? '-' : '+');
    const int absolute = exponent < 0 ? -exponent : exponent;
    if (absolute < 10)
        text.push_back('0');
    text.append(std::to_string(absolute));
    return text;
}

std::string PlmDecimalDigits::plainDecimalText(double value)
{
    if (!std::isfinite(value))
        return nonFiniteText(value);
    return decimalNotation(shortest(value));
}
