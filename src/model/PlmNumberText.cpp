#include "model/PlmNumberText.h"

#include <charconv>
#include <cmath>

namespace PlmNumberText {

void appendShortest(std::string& out, double value)
{
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, result.ptr);
}

QString shortest(double value)
{
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return QString::fromLatin1(buffer, result.ptr - buffer);
}

std::optional<double> parseDouble(std::string_view text)
{
    if (text.empty())
        return std::nullopt;
    double value = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value,
                                        std::chars_format::general);
    if (result.ec != std::errc() || result.ptr != text.data() + text.size()
        || !std::isfinite(value))
        return std::nullopt;
    return value;
}

// Data numbers are ASCII; anything else cannot be one, so narrowing first is safe.
template <typename Parse>
static auto parseNarrowed(QStringView text, Parse parse) -> decltype(parse(std::string_view()))
{
    if (text.size() > 400)
        return std::nullopt;
    char buffer[401];
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c >= 0x80)
            return std::nullopt;
        buffer[i] = static_cast<char>(c);
    }
    return parse(std::string_view(buffer, static_cast<size_t>(text.size())));
}

std::optional<double> parseDouble(QStringView text)
{
    return parseNarrowed(text, [](std::string_view s) { return parseDouble(s); });
}

std::optional<qint64> parseInteger(std::string_view text)
{
    if (text.empty())
        return std::nullopt;
    qint64 value = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec != std::errc() || result.ptr != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::optional<qint64> parseInteger(QStringView text)
{
    return parseNarrowed(text, [](std::string_view s) { return parseInteger(s); });
}

} // namespace PlmNumberText
