#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>

#include <memory>
#include <optional>
#include <utility>
#include <vector>

// A small reader of the object structure of a PDF file, enough to walk its pages' dictionaries:
// numbers, names, strings, arrays, dictionaries, references and streams (their data is skipped,
// never decoded). Objects are found by reading the file from start to end, so that a damaged
// cross-reference table does not matter; a later definition of an object number wins.
class PdfObjects {
public:
    struct Value;
    using ValuePtr = std::shared_ptr<const Value>;
    struct Value {
        enum class Type { null, boolean, number, name, string, array, dictionary, reference, stream };
        Type type = Type::null;
        QByteArray text;  // a name without its slash, a keyword, a number's digits
        int objectNumber = 0;  // a reference
        std::vector<std::pair<QByteArray, ValuePtr>> entries;  // dictionary, or a stream's dictionary
        std::vector<ValuePtr> items;  // array

        ValuePtr entry(const QByteArray& key) const;
    };

    explicit PdfObjects(const QByteArray& pdf);

    // The object a value stands for: references are followed (a few levels at most).
    ValuePtr resolve(const ValuePtr& value) const;
    ValuePtr trailer() const { return m_trailer; }
    // The page dictionaries, in document order.
    QList<ValuePtr> pages() const;

    static constexpr int maximumDepth = 64;

private:
    QHash<int, ValuePtr> m_objects;
    ValuePtr m_trailer;
};
