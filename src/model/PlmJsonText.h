#pragma once

#include <cstdint>
#include <string>

// How the texts of JSON documents are spelled, shared by the tree parser and the direct reader
// of entity lists: white space, numbers, and strings with their escapes and the strict UTF-8
// both accept (no overlong forms, no surrogates, nothing past U+10FFFF).
namespace PlmJsonText {

// JSON's white space between tokens.
inline bool isSpace(char c)
{
    return c == ' ' || c == '\n' || c == '\r' || c == '\t';
}

// The value of the four hex digits at p, or -1 when fewer than four hex digits stand there.
inline int32_t hexQuad(const char* p, const char* end)
{
    if (end - p < 4)
        return -1;
    int32_t value = 0;
    for (int i = 0; i < 4; ++i) {
        const char c = p[i];
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            return -1;
        value = value * 16 + digit;
    }
    return value;
}

inline void appendUtf8(std::string& out, uint32_t cp)
{
    if (cp < 0x80) {
        out.push_back(char(cp));
    } else if (cp < 0x800) {
        out.push_back(char(0xC0 | (cp >> 6)));
        out.push_back(char(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(char(0xE0 | (cp >> 12)));
        out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(char(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(char(0xF0 | (cp >> 18)));
        out.push_back(char(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(char(0x80 | (cp & 0x3F)));
    }
}

// The length of the well-formed UTF-8 sequence at s (its first byte >= 0x80) that ends before
// end, or 0 when it is malformed or cut.
inline int utf8SequenceLength(const unsigned char* s, const unsigned char* end)
{
    const unsigned char c = s[0];
    int length;
    uint32_t cp;
    if (c >= 0xC2 && c <= 0xDF) {
        length = 2;
        cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
        length = 3;
        cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        length = 4;
        cp = c & 0x07;
    } else {
        return 0;
    }
    if (end - s < length)
        return 0;
    for (int i = 1; i < length; ++i) {
        if ((s[i] & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (s[i] & 0x3F);
    }
    if ((length == 3 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF)))
        || (length == 4 && (cp < 0x10000 || cp > 0x10FFFF)))
        return 0;
    return length;
}

// What a number is written as: none (not a number), an integer (neither fraction nor
// exponent), or any other.
enum class NumberShape { none, integer, other };

// Steps over one number (RFC 8259's grammar) from its first character, or up to where it stops
// fitting when there is none.
inline NumberShape scanNumber(const char*& p, const char* end)
{
    NumberShape shape = NumberShape::integer;
    if (p < end && *p == '-')
        ++p;
    if (p >= end)
        return NumberShape::none;
    if (*p == '0') {
        ++p;
    } else if (*p >= '1' && *p <= '9') {
        while (p < end && *p >= '0' && *p <= '9')
            ++p;
    } else {
        return NumberShape::none;
    }
    if (p < end && *p == '.') {
        shape = NumberShape::other;
        ++p;
        if (p >= end || *p < '0' || *p > '9')
            return NumberShape::none;
        while (p < end && *p >= '0' && *p <= '9')
            ++p;
    }
    if (p < end && (*p == 'e' || *p == 'E')) {
        shape = NumberShape::other;
        ++p;
        if (p < end && (*p == '+' || *p == '-'))
            ++p;
        if (p >= end || *p < '0' || *p > '9')
            return NumberShape::none;
        while (p < end && *p >= '0' && *p <= '9')
            ++p;
    }
    return shape;
}

// Reads a string from just after its opening quote to just after its closing one. Returns
// nullptr on success: `escaped` is then false when the string is the bytes between the quotes,
// true when it has escapes, resolved into what was appended to `out`. Otherwise returns what is
// wrong (in the parser's words), `cursor` left where it was found.
inline const char* readString(const char*& cursor, const char* end, std::string& out, bool& escaped)
{
    const char* p = cursor; // a local, so that appending to `out` never reloads it
    const auto stop = [&](const char* problem) {
        cursor = p;
        return problem;
    };
    const auto sequenceLength = [&] {
        return utf8SequenceLength(reinterpret_cast<const unsigned char*>(p), reinterpret_cast<const unsigned char*>(end));
    };
    const char* start = p;
    escaped = false;
    // Most strings have no escape: they are their own bytes.
    while (p < end) {
        const unsigned char c = static_cast<unsigned char>(*p);
        if (c == '"') {
            ++p;
            return stop(nullptr);
        }
        if (c == '\\')
            break;
        if (c < 0x20)
            return stop("unescaped control character in a string");
        if (c >= 0x80) {
            const int length = sequenceLength();
            if (length == 0)
                return stop("invalid UTF-8");
            p += length;
        } else {
            ++p;
        }
    }
    if (p >= end)
        return stop("unterminated string");
    escaped = true;
    out.append(start, size_t(p - start));
    while (p < end) {
        const unsigned char c = static_cast<unsigned char>(*p);
        if (c == '"') {
            ++p;
            return stop(nullptr);
        }
        if (c < 0x20)
            return stop("unescaped control character in a string");
        if (c >= 0x80) {
            const int length = sequenceLength();
            if (length == 0)
                return stop("invalid UTF-8");
            out.append(p, size_t(length));
            p += length;
            continue;
        }
        if (c != '\\') {
            out.push_back(char(c));
            ++p;
            continue;
        }
        ++p;
        if (p >= end)
            return stop("unterminated string");
        switch (*p++) {
        case '"': out.push_back('"'); break;
        case '\\': out.push_back('\\'); break;
        case '/': out.push_back('/'); break;
        case 'b': out.push_back('\b'); break;
        case 'f': out.push_back('\f'); break;
        case 'n': out.push_back('\n'); break;
        case 'r': out.push_back('\r'); break;
        case 't': out.push_back('\t'); break;
        case 'u': {
            int32_t cp = hexQuad(p, end);
            if (cp < 0)
                return stop("invalid unicode escape");
            p += 4;
            if (cp >= 0xD800 && cp <= 0xDBFF) {
                if (end - p < 6 || p[0] != '\\' || p[1] != 'u')
                    return stop("unpaired surrogate in a unicode escape");
                p += 2;
                const int32_t low = hexQuad(p, end);
                if (low < 0)
                    return stop("invalid unicode escape");
                p += 4;
                if (low < 0xDC00 || low > 0xDFFF)
                    return stop("unpaired surrogate in a unicode escape");
                cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
            } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
                return stop("unpaired surrogate in a unicode escape");
            }
            appendUtf8(out, uint32_t(cp));
            break;
        }
        default:
            return stop("invalid escape sequence");
        }
    }
    return stop("unterminated string");
}

} // namespace PlmJsonText
