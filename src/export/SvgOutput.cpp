#include "export/SvgOutput.h"

#include "model/PlmErrors.h"

#include <algorithm>
#include <bit>
#include <optional>
#include <iterator>
#include <charconv>
#include <new>
#include <cmath>
#include <limits>

void SvgOutput::reserve(size_t capacity)
{
    if (capacity > m_capacity)
        grow(capacity - m_size);
}

void SvgOutput::grow(size_t n)
{
    size_t capacity = std::max<size_t>(m_capacity * 2, 4096);
    while (capacity - m_size < n)
        capacity *= 2;
    if (capacity > size_t(std::numeric_limits<qsizetype>::max() / 2))
        throw std::bad_alloc();
    // A large block grows by remapping its pages rather than copying them.
    m_bytes.resize(qsizetype(capacity));
    if (m_bytes.size() != qsizetype(capacity))
        throw std::bad_alloc();
    m_data = m_bytes.data();
    m_capacity = capacity;
}

QByteArray SvgOutput::take(std::string_view front, std::string_view back)
{
    const size_t size = m_size;
    const size_t total = front.size() + size + back.size();
    if (total > m_capacity)
        grow(total - m_size);
    char* data = m_bytes.data();
    if (size > 0)
        std::memmove(data + front.size(), data, size);
    if (!front.empty())
        std::memcpy(data, front.data(), front.size());
    if (!back.empty())
        std::memcpy(data + front.size() + size, back.data(), back.size());
    m_bytes.resize(qsizetype(total));
    QByteArray result = std::move(m_bytes);
    release();
    return result;
}

namespace {

// Writes "%.15g" of a value from its significant digits (no trailing zeros), the decimal
// exponent of the first one and the sign; answers the end.
char* writeGeneral(char* out, bool negative, const char* digits, int count, int exponent)
{
    if (negative)
        *out++ = '-';
    if (exponent < -4 || exponent >= 15) {
        *out++ = digits[0];
        if (count > 1) {
            *out++ = '.';
            for (int i = 1; i < count; ++i)
                *out++ = digits[i];
        }
        *out++ = 'e';
        *out++ = exponent < 0 ? '-' : '+';
        const int magnitude = exponent < 0 ? -exponent : exponent;
        if (magnitude < 10)
            *out++ = '0';
        out = std::to_chars(out, out + 4, magnitude).ptr;
    } else if (exponent >= 0) {
        for (int i = 0; i <= exponent; ++i)
            *out++ = i < count ? digits[i] : '0';
        if (count > exponent + 1) {
            *out++ = '.';
            for (int i = exponent + 1; i < count; ++i)
                *out++ = digits[i];
        }
    } else {
        *out++ = '0';
        *out++ = '.';
        for (int i = -1; i > exponent; --i)
            *out++ = '0';
        for (int i = 0; i < count; ++i)
            *out++ = digits[i];
    }
    return out;
}

// Powers of ten from 10^-4 to 10^16 as doubles, and from 1 to 10^18 as long doubles, where
// they are exact (5^27 < 2^64).
constexpr double decades[] = {1e-4, 1e-3, 1e-2, 1e-1, 1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6,
                              1e7, 1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15, 1e16};
constexpr long double powersOfTen[] = {1e0L, 1e1L, 1e2L, 1e3L, 1e4L, 1e5L, 1e6L, 1e7L, 1e8L, 1e9L,
                                       1e10L, 1e11L, 1e12L, 1e13L, 1e14L, 1e15L, 1e16L, 1e17L, 1e18L};

// The fifteen significant digits of a magnitude from 10^-4 to 10^15, which "%.15g" writes
// without an exponent, by one product in extended precision: its error (below 6e-5 of a unit
// of the last digit) can only change the rounding near a tie, and those values, like the ones
// whose decade is misjudged, are left to the exact path. Answers the digits' integer, or
// nothing.
std::optional<long long> fifteenDigits(double magnitude, int& exponent)
{
    // The bound on the error needs a 64-bit significand (x87 extended, or quadruple precision).
    if constexpr (std::numeric_limits<long double>::digits < 64)
        return std::nullopt;
    if (!(magnitude >= 1e-4 && magnitude < 1e15))
        return std::nullopt;
    const int binary = int((std::bit_cast<quint64>(magnitude) >> 52) & 0x7FF) - 1022;  // magnitude < 2^binary
    exponent = int(std::floor((binary - 1) * 0.30102999566398120));
    if (exponent + 5 < 0)
        return std::nullopt;
    if (exponent + 5 < int(std::size(decades)) && magnitude >= decades[exponent + 5])
        ++exponent;
    const int scale = 14 - exponent;
    if (scale < 0 || scale >= int(std::size(powersOfTen)))
        return std::nullopt;
    const long double scaled = static_cast<long double>(magnitude) * powersOfTen[scale];
    // Adding and taking away 2^63 rounds to an integer (to the even one at a tie).
    const long double rounded = (scaled + 0x1p63L) - 0x1p63L;
    const long double off = scaled - rounded;
    if (!(std::abs(std::abs(off) - 0.5L) > 1e-3L))
        return std::nullopt;
    const double digits = double(rounded);  // an integer below 2^53: exact
    if (!(digits >= 1e14 && digits < 1e15))
        return std::nullopt;
    return static_cast<long long>(digits);
}

} // namespace

// "%.15g" in the C locale. Most values take the extended-precision product above; the others
// round the shortest round-trip digits to 15, which is the value rounded to 15 except when
// they end exactly half-way (16 digits ending in 5) or for subnormal values: those take the
// library's precise path.
SvgOutput& SvgOutput::number(double value)
{
    ensure(32);
    char* out = m_data + m_size;
    if (value == 0 || !std::isfinite(value)) {
        const std::to_chars_result r = value == 0 ? std::to_chars_result{out + 1, {}} : std::to_chars(out, out + 32, value);
        if (value == 0)
            *out = '0';
        m_size = size_t(r.ptr - m_data);
        return *this;
    }
    int exponent = 0;
    if (const std::optional<long long> fast = fifteenDigits(std::abs(value), exponent)) {
        char digits[20];
        std::to_chars(digits, digits + sizeof digits, *fast);
        int count = 15;
        while (count > 1 && digits[count - 1] == '0')
            --count;
        m_size = size_t(writeGeneral(out, value < 0, digits, count, exponent) - m_data);
        return *this;
    }
    char shortest[32];
    const char* end = std::to_chars(shortest, shortest + sizeof shortest, value, std::chars_format::scientific).ptr;
    const char* p = shortest;
    const bool negative = *p == '-';
    if (negative)
        ++p;
    char digits[20];
    int count = 0;
    for (; p < end && *p != 'e'; ++p)
        if (*p != '.')
            digits[count++] = *p;
    exponent = 0;
    std::from_chars(p + 1 + (p[1] == '+'), end, exponent);
    // Subnormal values carry fewer bits than 15 digits: the shortest digits say too little there.
    if ((count == 16 && digits[15] == '5') || std::abs(value) < std::numeric_limits<double>::min()) {
        const std::to_chars_result r = std::to_chars(out, out + 32, value, std::chars_format::general, 15);
        m_size = size_t(r.ptr - m_data);
        return *this;
    }
    if (count > 15) {
        const bool up = digits[15] >= '5';
        count = 15;
        if (up) {
            int i = 14;
            while (i >= 0 && digits[i] == '9')
                digits[i--] = '0';
            if (i >= 0) {
                ++digits[i];
            } else {
                digits[0] = '1';
                ++exponent;
            }
        }
    }
    while (count > 1 && digits[count - 1] == '0')
        --count;
    m_size = size_t(writeGeneral(out, negative, digits, count, exponent) - m_data);
    return *this;
}

SvgOutput& SvgOutput::integer(long long value)
{
    ensure(24);
    const std::to_chars_result r = std::to_chars(m_data + m_size, m_data + m_capacity, value);
    m_size = size_t(r.ptr - m_data);
    return *this;
}

SvgOutput& SvgOutput::base64(const QByteArray& bytes)
{
    static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    const auto* in = reinterpret_cast<const unsigned char*>(bytes.constData());
    const size_t n = size_t(bytes.size());
    ensure((n + 2) / 3 * 4);
    char* out = m_data + m_size;
    size_t i = 0;
    for (; i + 3 <= n; i += 3) {
        const unsigned v = (unsigned(in[i]) << 16) | (unsigned(in[i + 1]) << 8) | in[i + 2];
        *out++ = alphabet[v >> 18];
        *out++ = alphabet[(v >> 12) & 63];
        *out++ = alphabet[(v >> 6) & 63];
        *out++ = alphabet[v & 63];
    }
    if (i < n) {
        unsigned v = unsigned(in[i]) << 16;
        if (i + 1 < n)
            v |= unsigned(in[i + 1]) << 8;
        *out++ = alphabet[v >> 18];
        *out++ = alphabet[(v >> 12) & 63];
        *out++ = i + 1 < n ? alphabet[(v >> 6) & 63] : '=';
        *out++ = '=';
    }
    m_size = size_t(out - m_data);
    return *this;
}

SvgOutput& SvgOutput::color(double red, double green, double blue)
{
    raw("rgb(");
    number(red * 255);
    raw(',');
    number(green * 255);
    raw(',');
    number(blue * 255);
    return raw(')');
}

SvgOutput& SvgOutput::point(double x, double y)
{
    if (!std::isfinite(x) || !std::isfinite(y))
        throw PlmWorkError::invalid(QStringLiteral("Tracé non fini dans le cadrage exporté."));
    number(x);
    raw(' ');
    return number(y);
}

SvgOutput& SvgOutput::escaped(const QString& s)
{
    const char16_t* p = reinterpret_cast<const char16_t*>(s.utf16());
    const char16_t* end = p + s.size();
    while (p < end) {
        // Fast path: a run of plain printable ASCII is copied at once.
        const char16_t* run = p;
        while (p < end && *p < 0x80 && *p >= 0x20 && *p != '&' && *p != '<' && *p != '>' && *p != '"'
               && *p != '\'')
            ++p;
        if (p > run) {
            ensure(size_t(p - run));
            char* out = m_data + m_size;
            for (const char16_t* c = run; c < p; ++c)
                *out++ = char(*c);
            m_size += size_t(p - run);
        }
        if (p >= end)
            break;
        const char16_t c = *p++;
        switch (c) {
        case '&': raw("&amp;"); continue;
        case '<': raw("&lt;"); continue;
        case '>': raw("&gt;"); continue;
        case '"': raw("&quot;"); continue;
        case '\'': raw("&apos;"); continue;
        case '\t': case '\n': case '\r': raw(char(c)); continue;
        default: break;
        }
        // The characters XML 1.0 cannot carry, even escaped: the document would not be XML.
        if (c < 0x20 || c == 0xFFFE || c == 0xFFFF)
            throw PlmWorkError::invalid(
                QStringLiteral("Un texte de la carte contient un caractère incompatible avec le format SVG."));
        char32_t cp = c;
        if (c >= 0xD800 && c <= 0xDBFF) {
            if (p >= end || *p < 0xDC00 || *p > 0xDFFF)
                throw PlmWorkError::invalid(QStringLiteral("Impossible d’encoder le SVG."));
            cp = 0x10000 + ((char32_t(c) - 0xD800) << 10) + (char32_t(*p++) - 0xDC00);
        } else if (c >= 0xDC00 && c <= 0xDFFF) {
            throw PlmWorkError::invalid(QStringLiteral("Impossible d’encoder le SVG."));
        }
        if (cp < 0x800) {
            raw(char(0xC0 | (cp >> 6)));
            raw(char(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            raw(char(0xE0 | (cp >> 12)));
            raw(char(0x80 | ((cp >> 6) & 0x3F)));
            raw(char(0x80 | (cp & 0x3F)));
        } else {
            raw(char(0xF0 | (cp >> 18)));
            raw(char(0x80 | ((cp >> 12) & 0x3F)));
            raw(char(0x80 | ((cp >> 6) & 0x3F)));
            raw(char(0x80 | (cp & 0x3F)));
        }
    }
    return *this;
}

std::string svgNumber(double value)
{
    SvgOutput out;
    out.number(value);
    return out.str();
}

std::string svgColor(double red, double green, double blue)
{
    SvgOutput out;
    out.color(red, green, blue);
    return out.str();
}

std::string svgEscaped(const QString& s)
{
    SvgOutput out;
    out.escaped(s);
    return out.str();
}
