#include "export/SvgOutput.h"

#include "model/PlmErrors.h"

#include <charconv>
#include <cmath>

SvgOutput& SvgOutput::number(double value)
{
    if (value == 0) {
        text.push_back('0');
        return *this;
    }
    char buffer[32];
    const std::to_chars_result r = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
    text.append(buffer, r.ptr);
    return *this;
}

SvgOutput& SvgOutput::integer(long long value)
{
    char buffer[24];
    const std::to_chars_result r = std::to_chars(buffer, buffer + sizeof buffer, value);
    text.append(buffer, r.ptr);
    return *this;
}

SvgOutput& SvgOutput::color(double red, double green, double blue)
{
    text.append("rgb(", 4);
    number(red * 255);
    text.push_back(',');
    number(green * 255);
    text.push_back(',');
    number(blue * 255);
    text.push_back(')');
    return *this;
}

SvgOutput& SvgOutput::point(double x, double y)
{
    if (!std::isfinite(x) || !std::isfinite(y))
        throw PlmWorkError::invalid(QStringLiteral("Tracé non fini dans le cadrage exporté."));
    number(x);
    text.push_back(' ');
    number(y);
    return *this;
}

SvgOutput& SvgOutput::escaped(const QString& s)
{
    const char16_t* p = reinterpret_cast<const char16_t*>(s.utf16());
    const char16_t* end = p + s.size();
    while (p < end) {
        // Fast path: a run of plain ASCII is copied at once.
        const char16_t* run = p;
        while (p < end && *p < 0x80 && *p != '&' && *p != '<' && *p != '>' && *p != '"' && *p != '\'')
            ++p;
        if (p > run) {
            const size_t old = text.size();
            text.resize(old + size_t(p - run));
            char* out = text.data() + old;
            for (const char16_t* c = run; c < p; ++c)
                *out++ = char(*c);
        }
        if (p >= end)
            break;
        const char16_t c = *p++;
        switch (c) {
        case '&': text.append("&amp;", 5); continue;
        case '<': text.append("&lt;", 4); continue;
        case '>': text.append("&gt;", 4); continue;
        case '"': text.append("&quot;", 6); continue;
        case '\'': text.append("&apos;", 6); continue;
        default: break;
        }
        char32_t cp = c;
        if (c >= 0xD800 && c <= 0xDBFF) {
            if (p >= end || *p < 0xDC00 || *p > 0xDFFF)
                throw PlmWorkError::invalid(QStringLiteral("Impossible d’encoder le SVG."));
            cp = 0x10000 + ((char32_t(c) - 0xD800) << 10) + (char32_t(*p++) - 0xDC00);
        } else if (c >= 0xDC00 && c <= 0xDFFF) {
            throw PlmWorkError::invalid(QStringLiteral("Impossible d’encoder le SVG."));
        }
        if (cp < 0x800) {
            text.push_back(char(0xC0 | (cp >> 6)));
            text.push_back(char(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            text.push_back(char(0xE0 | (cp >> 12)));
            text.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
            text.push_back(char(0x80 | (cp & 0x3F)));
        } else {
            text.push_back(char(0xF0 | (cp >> 18)));
            text.push_back(char(0x80 | ((cp >> 12) & 0x3F)));
            text.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
            text.push_back(char(0x80 | (cp & 0x3F)));
        }
    }
    return *this;
}

std::string svgNumber(double value)
{
    SvgOutput out;
    out.number(value);
    return out.text;
}

std::string svgColor(double red, double green, double blue)
{
    SvgOutput out;
    out.color(red, green, blue);
    return out.text;
}

std::string svgEscaped(const QString& s)
{
    SvgOutput out;
    out.escaped(s);
    return out.text;
}
