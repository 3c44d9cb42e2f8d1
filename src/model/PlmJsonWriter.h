#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Writes JSON in a single pass, pretty printed (two-space indent, `"key" : value`, one member
// per line) down to `indentedLevels` levels of nesting and compact below them: indentation that
// grows with nesting would make deeply nested groups mostly spaces, and readers accept any
// layout. The keys of every object must be written in ascending order (UTF-8 byte order,
// which is code-point order); a key that is not greater than the previous one of the same
// object throws PlmJsonEncodingError, so that a writer with misordered fields fails in its
// first test instead of writing unsorted files. Dictionaries (QMap) are sorted by the writer.
//
//   PlmJsonWriter w;
//   w.beginObject();
//   w.field("name", map.name);            // any type known to PlmJsonCoding (PlmJson.h)
//   w.optionalField("sources", map.sources);  // left out when absent
//   w.endObject();
//   QByteArray bytes = w.takeBytes();
class PlmJsonWriter {
public:
    // Containers opened at a nesting level below this put each member on its own line.
    static constexpr size_t indentedLevels = 5;

    // Writing past maximumBytes throws PlmJsonTooLargeError before the buffer grows beyond it.
    explicit PlmJsonWriter(size_t reserveBytes = 0, size_t maximumBytes = size_t(-1));

    void beginObject();
    void endObject();
    void beginArray();
    void endArray();

    // The key of the next member of the current object.
    void key(std::string_view utf8Key);
    void key(const QString& key);
    void key(const char* utf8Key) { key(std::string_view(utf8Key)); }

    void writeNull();
    void writeBool(bool value);
    void writeInteger(qint64 value);
    // Shortest round-trip text; a non-finite value throws PlmJsonEncodingError.
    void writeDouble(double value);
    void writeString(const QString& value);
    void writeUtf8String(std::string_view utf8);
    // Standard Base64 with padding, no line breaks.
    void writeBase64(const QByteArray& bytes);

    // Through PlmJsonCoding<T> (PlmJson.h).
    template <typename T> void write(const T& value);
    template <typename T> void field(std::string_view key, const T& value);
    // Left out entirely when absent.
    template <typename T> void optionalField(std::string_view key, const std::optional<T>& value);

    // An enumeration case with payload: {"caseName" : { ...payload members... }}.
    // Between beginCase and endCase, write the payload's members ("_0", "_1", or named keys).
    void beginCase(std::string_view caseName);
    void endCase();

    // The text written so far (complete once every object and array is closed).
    QByteArrayView text() const { return QByteArrayView(m_buffer, qsizetype(m_size)); }
    QByteArray takeBytes();

private:
    void beforeValue();
    void newline();
    bool indented() const { return m_depth <= indentedLevels; }
    void appendQuoted(std::string_view utf8);

    void push(bool isObject);
    void grow(size_t extra);
    char* room(size_t extra)
    {
        if (m_size + extra > m_capacity)
            grow(extra);
        return m_buffer + m_size;
    }
    void put(char c)
    {
        *room(1) = c;
        ++m_size;
    }
    void put(const char* bytes, size_t length);
    struct Level {
        bool isObject = false;
        bool empty = true;
        bool hasKey = false;
        std::string lastKey;
    };
    // Written straight into the bytes that takeBytes() hands over: no copy at the end, and
    // growth by realloc, which the system can do without copying large blocks.
    QByteArray m_out;
    char* m_buffer = nullptr;
    size_t m_size = 0;
    size_t m_capacity = 0;
    size_t m_maximum = size_t(-1);
    // Levels are reused rather than popped, so that writing allocates nothing per object.
    std::vector<Level> m_levels;
    size_t m_depth = 0;
    bool m_afterKey = false;
};
