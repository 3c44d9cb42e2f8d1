#include "model/PlmJsonWriter.h"

#include "model/PlmBase64.h"
#include "model/PlmErrors.h"
#include "model/PlmNumberText.h"

#include <charconv>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

PlmJsonWriter::PlmJsonWriter(size_t reserveBytes, size_t maximumBytes)
    : m_maximum(maximumBytes)
{
    if (reserveBytes)
        grow(std::min(reserveBytes, maximumBytes));
    m_levels.resize(32);
}

void PlmJsonWriter::grow(size_t extra)
{
    if (extra > m_maximum - m_size)
        throw PlmJsonTooLargeError(m_maximum);
    const size_t capacity = std::min(std::max(m_capacity * 2, m_size + extra + 4096), m_maximum);
    m_out.resize(qsizetype(capacity));
    m_buffer = m_out.data();
    m_capacity = capacity;
}

void PlmJsonWriter::put(const char* bytes, size_t length)
{
    std::memcpy(room(length), bytes, length);
    m_size += length;
}

void PlmJsonWriter::newline()
{
    const size_t indent = m_depth * 2;
    char* p = room(indent + 1);
    *p = '\n';
    std::memset(p + 1, ' ', indent);
    m_size += indent + 1;
}

void PlmJsonWriter::push(bool isObject)
{
    if (m_depth == m_levels.size())
        m_levels.emplace_back();
    Level& level = m_levels[m_depth++];
    level.isObject = isObject;
    level.empty = true;
    level.hasKey = false;
    level.lastKey.clear();
}

void PlmJsonWriter::beforeValue()
{
    if (m_depth == 0)
        return;
    Level& level = m_levels[m_depth - 1];
    if (level.isObject) {
        if (!m_afterKey)
            throw PlmJsonEncodingError(QStringLiteral("A value inside an object needs a key."));
        m_afterKey = false;
        return;
    }
    if (!level.empty)
        put(',');
    level.empty = false;
    if (indented())
        newline();
}

void PlmJsonWriter::key(std::string_view utf8Key)
{
    if (m_depth == 0 || !m_levels[m_depth - 1].isObject || m_afterKey)
        throw PlmJsonEncodingError(QStringLiteral("A key is only written inside an object."));
    Level& level = m_levels[m_depth - 1];
    if (level.hasKey && !(std::string_view(level.lastKey) < utf8Key))
        throw PlmJsonEncodingError(
            QStringLiteral("JSON keys written out of order: \"%1\" after \"%2\".")
                .arg(QString::fromUtf8(utf8Key.data(), qsizetype(utf8Key.size())),
                     QString::fromStdString(level.lastKey)));
    level.lastKey.assign(utf8Key);
    level.hasKey = true;
    if (!level.empty)
        put(',');
    level.empty = false;
    if (indented())
        newline();
    appendQuoted(utf8Key);
    if (indented())
        put(" : ", 3);
    else
        put(':');
    m_afterKey = true;
}

void PlmJsonWriter::key(const QString& key)
{
    const QByteArray utf8 = key.toUtf8();
    this->key(std::string_view(utf8.constData(), size_t(utf8.size())));
}

void PlmJsonWriter::beginObject()
{
    beforeValue();
    put('{');
    push(true);
}

void PlmJsonWriter::beginArray()
{
    beforeValue();
    put('[');
    push(false);
}

void PlmJsonWriter::endObject()
{
    if (m_depth == 0 || !m_levels[m_depth - 1].isObject || m_afterKey)
        throw PlmJsonEncodingError(QStringLiteral("Unbalanced JSON object."));
    const bool empty = m_levels[--m_depth].empty;
    if (!empty && m_depth < indentedLevels)
        newline();
    put('}');
}

void PlmJsonWriter::endArray()
{
    if (m_depth == 0 || m_levels[m_depth - 1].isObject)
        throw PlmJsonEncodingError(QStringLiteral("Unbalanced JSON array."));
    const bool empty = m_levels[--m_depth].empty;
    if (!empty && m_depth < indentedLevels)
        newline();
    put(']');
}

void PlmJsonWriter::beginCase(std::string_view caseName)
{
    beginObject();
    key(caseName);
    beginObject();
}

void PlmJsonWriter::endCase()
{
    endObject();
    endObject();
}

void PlmJsonWriter::writeNull()
{
    beforeValue();
    put("null", 4);
}

void PlmJsonWriter::writeBool(bool value)
{
    beforeValue();
    if (value)
        put("true", 4);
    else
        put("false", 5);
}

void PlmJsonWriter::writeInteger(qint64 value)
{
    beforeValue();
    char buffer[24];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    put(buffer, size_t(result.ptr - buffer));
}

void PlmJsonWriter::writeDouble(double value)
{
    if (!std::isfinite(value))
        throw PlmJsonEncodingError(
            QStringLiteral("Unable to encode Double.%1 directly in JSON.")
                .arg(std::isnan(value) ? QStringLiteral("nan") : QStringLiteral("infinity")));
    beforeValue();
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    put(buffer, size_t(result.ptr - buffer));
}

void PlmJsonWriter::writeString(const QString& value)
{
    const QByteArray utf8 = value.toUtf8();
    writeUtf8String(std::string_view(utf8.constData(), size_t(utf8.size())));
}

void PlmJsonWriter::writeUtf8String(std::string_view utf8)
{
    beforeValue();
    appendQuoted(utf8);
}

void PlmJsonWriter::appendQuoted(std::string_view utf8)
{
    static const char hex[] = "0123456789abcdef";
    put('"');
    size_t runStart = 0;
    for (size_t i = 0; i < utf8.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(utf8[i]);
        if (c >= 0x20 && c != '"' && c != '\\')
            continue;
        put(utf8.data() + runStart, i - runStart);
        runStart = i + 1;
        switch (c) {
        case '"': put("\\\"", 2); break;
        case '\\': put("\\\\", 2); break;
        case '\n': put("\\n", 2); break;
        case '\r': put("\\r", 2); break;
        case '\t': put("\\t", 2); break;
        case '\b': put("\\b", 2); break;
        case '\f': put("\\f", 2); break;
        default:
            put("\\u00", 4);
            put(hex[c >> 4]);
            put(hex[c & 15]);
        }
    }
    put(utf8.data() + runStart, utf8.size() - runStart);
    put('"');
}

void PlmJsonWriter::writeBase64(const QByteArray& bytes)
{
    beforeValue();
    // Room first, so that an oversized value is refused before it is encoded.
    room(size_t((bytes.size() + 2) / 3) * 4 + 2);
    put('"');
    const QByteArray encoded = PlmBase64::encode(bytes);
    put(encoded.constData(), size_t(encoded.size()));
    put('"');
}

QByteArray PlmJsonWriter::takeBytes()
{
    if (m_depth != 0)
        throw PlmJsonEncodingError(QStringLiteral("Unbalanced JSON document."));
    m_out.resize(qsizetype(m_size));
    m_buffer = nullptr;
    m_size = m_capacity = 0;
    return std::exchange(m_out, QByteArray());
}
