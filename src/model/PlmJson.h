#pragma once

// The JSON layer of the documents: PlmJsonDocument/PlmJsonValue to read, PlmJsonWriter to
// write, and PlmJsonCoding<T>, which tells both how a type is stored. A model type joins by
// declaring
//     static T fromJson(const PlmJsonValue& value);
//     void writeJson(PlmJsonWriter& writer) const;
// or by specialising PlmJsonCoding<T> (useful for enumerations stored as strings).

#include "model/PlmErrors.h"
#include "model/PlmJsonDocument.h"
#include "model/PlmJsonWriter.h"

#include <QList>
#include <QMap>
#include <QString>
#include <algorithm>
#include <optional>
#include <string>
#include <utility>
#include <vector>

template <typename T, typename Enable = void>
struct PlmJsonCoding {
    static T read(const PlmJsonValue& value) { return T::fromJson(value); }
    static void write(PlmJsonWriter& writer, const T& value) { value.writeJson(writer); }
};

template <>
struct PlmJsonCoding<bool> {
    static bool read(const PlmJsonValue& value) { return value.toBool(); }
    static void write(PlmJsonWriter& writer, bool value) { writer.writeBool(value); }
};

template <>
struct PlmJsonCoding<int> {
    static int read(const PlmJsonValue& value) { return value.toInt(); }
    static void write(PlmJsonWriter& writer, int value) { writer.writeInteger(value); }
};

template <>
struct PlmJsonCoding<qint64> {
    static qint64 read(const PlmJsonValue& value) { return value.toInteger(); }
    static void write(PlmJsonWriter& writer, qint64 value) { writer.writeInteger(value); }
};

template <>
struct PlmJsonCoding<double> {
    static double read(const PlmJsonValue& value) { return value.toDouble(); }
    static void write(PlmJsonWriter& writer, double value) { writer.writeDouble(value); }
};

template <>
struct PlmJsonCoding<QString> {
    static QString read(const PlmJsonValue& value) { return value.toString(); }
    static void write(PlmJsonWriter& writer, const QString& value) { writer.writeString(value); }
};

// Bytes are one standard Base64 string.
template <>
struct PlmJsonCoding<QByteArray> {
    static QByteArray read(const PlmJsonValue& value) { return value.toBase64Data(); }
    static void write(PlmJsonWriter& writer, const QByteArray& value) { writer.writeBase64(value); }
};

template <typename T>
struct PlmJsonCoding<QList<T>> {
    static QList<T> read(const PlmJsonValue& value)
    {
        QList<T> list;
        list.reserve(value.size()); // throws unless an array
        for (PlmJsonValue element : value.elements())
            list.append(PlmJsonCoding<T>::read(element));
        return list;
    }
    static void write(PlmJsonWriter& writer, const QList<T>& list)
    {
        writer.beginArray();
        for (const T& element : list)
            PlmJsonCoding<T>::write(writer, element);
        writer.endArray();
    }
};

// A dictionary with string keys is a JSON object; the writer sorts its keys.
template <typename T>
struct PlmJsonCoding<QMap<QString, T>> {
    static QMap<QString, T> read(const PlmJsonValue& value)
    {
        QMap<QString, T> map;
        for (auto [key, member] : value.members()) // throws unless an object
            map.insert(QString::fromUtf8(key.data(), qsizetype(key.size())),
                       PlmJsonCoding<T>::read(member));
        return map;
    }
    static void write(PlmJsonWriter& writer, const QMap<QString, T>& map)
    {
        // QMap orders keys by UTF-16 code units, the writer by UTF-8 bytes; the two differ
        // only around surrogates, so sort only when needed.
        std::vector<std::pair<std::string, typename QMap<QString, T>::const_iterator>> keys;
        keys.reserve(size_t(map.size()));
        for (auto it = map.cbegin(); it != map.cend(); ++it)
            keys.emplace_back(it.key().toStdString(), it);
        if (!std::is_sorted(keys.begin(), keys.end(),
                            [](const auto& x, const auto& y) { return x.first < y.first; }))
            std::sort(keys.begin(), keys.end(),
                      [](const auto& x, const auto& y) { return x.first < y.first; });
        writer.beginObject();
        for (const auto& [key, it] : keys) {
            writer.key(std::string_view(key));
            PlmJsonCoding<T>::write(writer, it.value());
        }
        writer.endObject();
    }
};

template <typename T>
T PlmJsonValue::as() const
{
    return PlmJsonCoding<T>::read(*this);
}

template <typename T>
T PlmJsonValue::field(std::string_view key) const
{
    const PlmJsonValue value = requiredMember(key);
    if (value.isNull())
        value.throwTypeMismatch(nullptr);
    return PlmJsonCoding<T>::read(value);
}

template <typename T>
std::optional<T> PlmJsonValue::optionalField(std::string_view key) const
{
    const PlmJsonValue value = member(key);
    if (value.isNullOrAbsent())
        return std::nullopt;
    return PlmJsonCoding<T>::read(value);
}

template <typename T>
void PlmJsonWriter::write(const T& value)
{
    PlmJsonCoding<T>::write(*this, value);
}

template <typename T>
void PlmJsonWriter::field(std::string_view key, const T& value)
{
    this->key(key);
    PlmJsonCoding<T>::write(*this, value);
}

template <typename T>
void PlmJsonWriter::optionalField(std::string_view key, const std::optional<T>& value)
{
    if (!value)
        return;
    this->key(key);
    PlmJsonCoding<T>::write(*this, *value);
}

// Convenience: a whole document from one value, and one value from a whole document.
namespace PlmJson {

template <typename T>
QByteArray encode(const T& value)
{
    PlmJsonWriter writer;
    writer.write(value);
    return writer.takeBytes();
}

template <typename T>
T decode(const QByteArray& bytes, int maxDepth = PlmJsonDocument::defaultMaxDepth)
{
    const PlmJsonDocument document = PlmJsonDocument::parse(bytes, maxDepth);
    return document.root().as<T>();
}

} // namespace PlmJson
