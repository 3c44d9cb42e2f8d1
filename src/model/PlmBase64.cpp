#include "model/PlmBase64.h"

#include <array>
#include <cstdint>

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

constexpr std::array<int8_t, 256> makeReverse()
{
    std::array<int8_t, 256> table{};
    for (auto& v : table)
        v = -1;
    for (int i = 0; i < 64; ++i)
        table[static_cast<unsigned char>(kAlphabet[i])] = int8_t(i);
    return table;
}
constexpr std::array<int8_t, 256> kReverse = makeReverse();

} // namespace

namespace PlmBase64 {

void append(std::string& out, const QByteArray& bytes)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    const qsizetype n = bytes.size();
    out.reserve(out.size() + size_t((n + 2) / 3 * 4));
    qsizetype i = 0;
    for (; i + 3 <= n; i += 3) {
        const uint32_t v = (uint32_t(p[i]) << 16) | (uint32_t(p[i + 1]) << 8) | p[i + 2];
        out.push_back(kAlphabet[(v >> 18) & 63]);
        out.push_back(kAlphabet[(v >> 12) & 63]);
        out.push_back(kAlphabet[(v >> 6) & 63]);
        out.push_back(kAlphabet[v & 63]);
    }
    if (n - i == 1) {
        const uint32_t v = uint32_t(p[i]) << 16;
        out.push_back(kAlphabet[(v >> 18) & 63]);
        out.push_back(kAlphabet[(v >> 12) & 63]);
        out.append("==");
    } else if (n - i == 2) {
        const uint32_t v = (uint32_t(p[i]) << 16) | (uint32_t(p[i + 1]) << 8);
        out.push_back(kAlphabet[(v >> 18) & 63]);
        out.push_back(kAlphabet[(v >> 12) & 63]);
        out.push_back(kAlphabet[(v >> 6) & 63]);
        out.push_back('=');
    }
}

QByteArray encode(const QByteArray& bytes)
{
    std::string out;
    append(out, bytes);
    return QByteArray(out.data(), qsizetype(out.size()));
}

std::optional<QByteArray> decode(std::string_view text)
{
    if (text.size() % 4 != 0)
        return std::nullopt;
    if (text.empty())
        return QByteArray();
    size_t padding = 0;
    if (text.back() == '=')
        padding = text[text.size() - 2] == '=' ? 2 : 1;
    QByteArray out;
    out.resize(qsizetype(text.size() / 4 * 3 - padding));
    char* o = out.data();
    const size_t fullEnd = text.size() - (padding ? 4 : 0);
    for (size_t i = 0; i < fullEnd; i += 4) {
        const int a = kReverse[static_cast<unsigned char>(text[i])];
        const int b = kReverse[static_cast<unsigned char>(text[i + 1])];
        const int c = kReverse[static_cast<unsigned char>(text[i + 2])];
        const int d = kReverse[static_cast<unsigned char>(text[i + 3])];
        if ((a | b | c | d) < 0)
            return std::nullopt;
        const uint32_t v = (uint32_t(a) << 18) | (uint32_t(b) << 12) | (uint32_t(c) << 6) | uint32_t(d);
        *o++ = char(v >> 16);
        *o++ = char(v >> 8);
        *o++ = char(v);
    }
    if (padding) {
        const size_t i = fullEnd;
        const int a = kReverse[static_cast<unsigned char>(text[i])];
        const int b = kReverse[static_cast<unsigned char>(text[i + 1])];
        if ((a | b) < 0)
            return std::nullopt;
        if (padding == 2) {
            if ((b & 0x0F) != 0)
                return std::nullopt;
            *o++ = char((a << 2) | (b >> 4));
        } else {
            const int c = kReverse[static_cast<unsigned char>(text[i + 2])];
            if (c < 0 || (c & 0x03) != 0)
                return std::nullopt;
            *o++ = char((a << 2) | (b >> 4));
            *o++ = char(((b & 0x0F) << 4) | (c >> 2));
        }
    }
    return out;
}

} // namespace PlmBase64
