#include "model/PlmJsonWriter.h"

#include "model/PlmBase64.h"
#include "model/PlmErrors.h"
#include "model/PlmNumberText.h"

#include <charconv>
#include <cmath>

PlmJsonWriter::PlmJsonWriter(size_t reserveBytes)
{
    if (reserveBytes)
        m_out.reserve(reserveBytes);
    m_levels.reserve(32);
}

void PlmJsonWriter::newline()
{
    m_out.push_back('\n');
    m_out.append(m_levels.size() * 2, ' ');
}

void PlmJsonWriter::beforeValue()
{
    if (m_levels.empty())
        return;
    Level& level = m_levels.back();
    if (level.isObject) {
        if (!m_afterKey)
            throw PlmJsonEncodingError(QStringLiteral("A value inside an object needs a key."));
        m_afterKey = false;
        return;
    }
    if (!level.empty)
        m_out.push_back(',');
    level.empty = false;
    newline();
}

void PlmJsonWriter::key(std::string_view utf8Key)
{
    if (m_levels.empty() || !m_levels.back().isObject || m_afterKey)
        throw PlmJsonEncodingError(QStringLiteral("A key is only written inside an object."));
    Level& level = m_levels.back();
    if (level.hasKey && !(std::string_view(level.lastKey) < utf8Key))
        throw PlmJsonEncodingError(
            QStringLiteral("JSON keys written out of order: \"%1\" after \"%2\".")
                .arg(QString::fromUtf8(utf8Key.data(), qsizetype(utf8Key.size())),
                     QString::fromStdString(level.lastKey)));
    level.lastKey.assign(utf8Key);
    level.hasKey = true;
    if (!level.empty)
        m_out.push_back(',');
    level.empty = false;
    newline();
    appendQuoted(utf8Key);
    m_out.append(" : ");
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
    m_out.push_back('{');
    m_levels.push_back(Level{true, true, std::string(), false});
}

void PlmJsonWriter::beginArray()
{
    beforeValue();
    m_out.push_back('[');
    m_levels.push_back(Level{false, true, std::string(), false});
}

void PlmJsonWriter::endObject()
{
    if (m_levels.empty() || !m_levels.back().isObject || m_afterKey)
        throw PlmJsonEncodingError(QStringLiteral("Unbalanced JSON object."));
    const bool empty = m_levels.back().empty;
    m_levels.pop_back();
    if (!empty)
        newline();
    m_out.push_back('}');
}

void PlmJsonWriter::endArray()
{
    if (m_levels.empty() || m_levels.back().isObject)
        throw PlmJsonEncodingError(QStringLiteral("Unbalanced JSON array."));
    const bool empty = m_levels.back().empty;
    m_levels.pop_back();
    if (!empty)
        newline();
    m_out.push_back(']');
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
    m_out.append("null");
}

void PlmJsonWriter::writeBool(bool value)
{
    beforeValue();
    m_out.append(value ? "true" : "false");
}

void PlmJsonWriter::writeInteger(qint64 value)
{
    beforeValue();
    char buffer[24];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    m_out.append(buffer, result.ptr);
}

void PlmJsonWriter::writeDouble(double value)
{
    if (!std::isfinite(value))
        throw PlmJsonEncodingError(
            QStringLiteral("Unable to encode Double.%1 directly in JSON.")
                .arg(std::isnan(value) ? QStringLiteral("nan") : QStringLiteral("infinity")));
    beforeValue();
    PlmNumberText::appendShortest(m_out, value);
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
    m_out.push_back('"');
    size_t runStart = 0;
    for (size_t i = 0; i < utf8.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(utf8[i]);
        if (c >= 0x20 && c != '"' && c != '\\')
            continue;
        m_out.append(utf8.data() + runStart, i - runStart);
        runStart = i + 1;
        switch (c) {
        case '"': m_out.append("\\\""); break;
        case '\\': m_out.append("\\\\"); break;
        case '\n': m_out.append("\\n"); break;
        case '\r': m_out.append("\\r"); break;
        case '\t': m_out.append("\\t"); break;
        case '\b': m_out.append("\\b"); break;
        case '\f': m_out.append("\\f"); break;
        default:
            m_out.append("\\u00");
            m_out.push_back(hex[c >> 4]);
            m_out.push_back(hex[c & 15]);
        }
    }
    m_out.append(utf8.data() + runStart, utf8.size() - runStart);
    m_out.push_back('"');
}

void PlmJsonWriter::writeBase64(const QByteArray& bytes)
{
    beforeValue();
    m_out.push_back('"');
    PlmBase64::append(m_out, bytes);
    m_out.push_back('"');
}

QByteArray PlmJsonWriter::takeBytes()
{
    if (!m_levels.empty())
        throw PlmJsonEncodingError(QStringLiteral("Unbalanced JSON document."));
    QByteArray bytes(m_out.data(), qsizetype(m_out.size()));
    m_out.clear();
    return bytes;
}
