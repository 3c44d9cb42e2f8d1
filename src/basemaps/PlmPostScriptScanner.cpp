#include "basemaps/PlmPostScriptScanner.h"

#include "model/PlmErrors.h"

#include <array>
#include <charconv>
#include <cmath>
#include <string_view>
#include <system_error>

namespace {

[[noreturn]] void fail(const char* sentence)
{
    throw PlmImportError::invalid(QString::fromUtf8(sentence));
}

bool isDelimiter(unsigned char byte)
{
    switch (byte) {
    case '%': case '(': case ')': case '<': case '>': case '[': case ']': case '{': case '}':
        return true;
    default:
        return byte <= 32;
    }
}

// The double that the whole text reads as in the C locale (decimal, hexadecimal floating,
// infinity and not-a-number forms), or nothing. Not finite values throw.
bool parseNumber(std::string_view text, double& value)
{
    std::string_view rest = text;
    bool negative = false;
    if (!rest.empty() && (rest.front() == '+' || rest.front() == '-')) {
        negative = rest.front() == '-';
        rest.remove_prefix(1);
    }
    if (rest.empty() || rest.front() == '+' || rest.front() == '-')
        return false;
    std::chars_format format = std::chars_format::general;
    char exponentMark = 'e';
    if (rest.size() >= 2 && rest[0] == '0' && (rest[1] == 'x' || rest[1] == 'X')) {
        rest.remove_prefix(2);
        if (rest.empty() || rest.front() == '+' || rest.front() == '-')
            return false;
        format = std::chars_format::hex;
        exponentMark = 'p';
    }
    double parsed = 0;
    const auto [end, error] = std::from_chars(rest.data(), rest.data() + rest.size(), parsed, format);
    if (end != rest.data() + rest.size())
        return false;
    if (error == std::errc::result_out_of_range) {
        // Out of range either way: a negative exponent underflows to zero, anything else overflows.
        const std::string_view lower(rest);
        const size_t at = lower.find_last_of(exponentMark == 'e' ? "eE" : "pP");
        if (at != std::string_view::npos && at + 1 < lower.size() && lower[at + 1] == '-')
            parsed = 0;
        else
            fail("Nombre PostScript non fini.");
    } else if (error != std::errc()) {
        return false;
    }
    if (!std::isfinite(parsed))
        fail("Nombre PostScript non fini.");
    value = negative ? -parsed : parsed;
    return true;
}

} // namespace

bool PSToken::operator==(const PSToken& other) const
{
    if (kind != other.kind || number != other.number || text != other.text || tokens.size() != other.tokens.size())
        return false;
    for (qsizetype i = 0; i < tokens.size(); ++i)
        if (!(tokens[i] == other.tokens[i]))
            return false;
    return true;
}

void PSScanner::mark()
{
    markTokens_ = tokensRead;
    markPosition_ = position;
}

void PSScanner::count()
{
    ++tokensRead;
    if (tokensRead > maximumTokens)
        fail("Programme PostScript trop long : la limite d’opérations est dépassée.");
    if (tokensRead - markTokens_ > maximumTokensSinceMark || position - markPosition_ > maximumBytesSinceMark)
        fail("Pile PostScript saturée : trop d’opérandes avant un opérateur.");
}

bool PSScanner::next(PSToken& token)
{
    const qsizetype size = bytes.size();
    const char* data = bytes.constData();
    while (position < size) {
        const auto byte = static_cast<unsigned char>(data[position]);
        if (byte <= 32) {
            ++position;
        } else if (byte == '%') {
            while (position < size && data[position] != '\n' && data[position] != '\r')
                ++position;
        } else {
            break;
        }
    }
    if (position >= size)
        return false;

    const char first = data[position++];
    switch (first) {
    case '(':
        token = readString();
        break;
    case '[':
    case '{': {
        if (depth >= maximumDepth)
            fail("Imbrication PostScript excessive.");
        ++depth;
        const QString closing = first == '[' ? QStringLiteral("]") : QStringLiteral("}");
        QList<PSToken> elements;
        PSToken element;
        for (;;) {
            if (!next(element))
                fail("Tableau PostScript tronqué.");
            if (element.kind == PSToken::Kind::op && element.text == closing)
                break;
            elements.append(std::move(element));
        }
        --depth;
        token = first == '[' ? PSToken::makeArray(elements) : PSToken::makeProcedure(elements);
        break;
    }
    case ']': case '}': case '<': case '>':
        token = PSToken::makeOp(QString(QLatin1Char(first)));
        break;
    default:
        token = readRegular(position - 1);
        break;
    }
    count();
    return true;
}

PSToken PSScanner::readString()
{
    const qsizetype size = bytes.size();
    const char* data = bytes.constData();
    QByteArray buffer;
    int nesting = 1;
    for (;;) {
        if (position >= size)
            fail("Chaîne PostScript tronquée.");
        if (buffer.size() >= maximumStringBytes)
            fail("Chaîne PostScript trop longue.");
        const char byte = data[position++];
        if (byte == '(') {
            ++nesting;
            buffer.append(byte);
        } else if (byte == ')') {
            if (--nesting == 0)
                break;
            buffer.append(byte);
        } else if (byte == '\\') {
            if (position >= size)
                fail("Chaîne PostScript tronquée.");
            const char escaped = data[position++];
            if (escaped >= '0' && escaped <= '7') {
                int value = escaped - '0';
                for (int digits = 1; digits < 3 && position < size && data[position] >= '0' && data[position] <= '7';
                     ++digits)
                    value = value * 8 + (data[position++] - '0');
                buffer.append(char(value & 0xFF));
            } else if (escaped == '\n') {
            } else if (escaped == '\r') {
                if (position < size && data[position] == '\n')
                    ++position;
            } else {
                switch (escaped) {
                case 'n': buffer.append('\n'); break;
                case 'r': buffer.append('\r'); break;
                case 't': buffer.append('\t'); break;
                case 'b': buffer.append('\b'); break;
                case 'f': buffer.append('\f'); break;
                default: buffer.append(escaped); break;
                }
            }
        } else {
            buffer.append(byte);
        }
    }
    return PSToken::makeString(plmMacRomanText(buffer));
}

PSToken PSScanner::readRegular(qsizetype start)
{
    const qsizetype size = bytes.size();
    const char* data = bytes.constData();
    while (position < size && !isDelimiter(static_cast<unsigned char>(data[position])))
        ++position;
    const std::string_view raw(data + start, size_t(position - start));
    double value = 0;
    if (parseNumber(raw, value))
        return PSToken::makeNumber(value);
    const QString text = QString::fromUtf8(raw.data(), qsizetype(raw.size()));
    if (text.startsWith(QLatin1Char('/')))
        return PSToken::makeLiteral(text.mid(1));
    return PSToken::makeOp(text);
}
