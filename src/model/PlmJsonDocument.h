#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string_view>
#include <utility>

class PlmJsonDocument;

enum class PlmJsonType { null, boolean, number, string, array, object };

// A view of one value of a parsed PlmJsonDocument; valid while the document lives. Cheap to
// copy. Reading a value as the wrong type throws PlmJsonDecodingError naming the value's path.
// A default or "absent" value (a missing member) has isPresent() false.
class PlmJsonValue {
public:
    PlmJsonValue() = default;

    bool isPresent() const { return m_document != nullptr; }
    // Absent, or an explicit null: how optional fields read as "no value".
    bool isNullOrAbsent() const { return !isPresent() || type() == PlmJsonType::null; }

    inline PlmJsonType type() const;
    bool isNull() const { return isPresent() && type() == PlmJsonType::null; }
    bool isBool() const { return isPresent() && type() == PlmJsonType::boolean; }
    bool isNumber() const { return isPresent() && type() == PlmJsonType::number; }
    bool isString() const { return isPresent() && type() == PlmJsonType::string; }
    bool isArray() const { return isPresent() && type() == PlmJsonType::array; }
    bool isObject() const { return isPresent() && type() == PlmJsonType::object; }

    // Typed reads; each refuses any other JSON type (no "1" for 1, no 1 for true).
    bool toBool() const;
    inline double toDouble() const;
    // The number's value when a double holds it, nothing for one it does not (1e400): told
    // without the error toDouble() throws, whose path walks from the root, so that a file full
    // of such numbers reads in linear time. Refuses other types as toDouble() does.
    std::optional<double> toDoubleIfHeld() const;
    // Refuses numbers with a fraction (1.5) and numbers out of range.
    qint64 toInteger() const;
    int toInt() const;
    QString toString() const;
    // The string's UTF-8 bytes, escapes resolved (valid while the document lives).
    inline std::string_view toUtf8() const;
    // A string holding strict standard Base64 (RFC 4648, padded, no white space).
    QByteArray toBase64Data() const;

    // Number of elements of an array or members of an object (throws for other types).
    inline qsizetype size() const;

    // Arrays: for (PlmJsonValue element : value.elements()) ...; throws unless an array.
    class ElementIterator;
    struct Elements;
    inline Elements elements() const;

    // Objects: for (auto [key, value] : object.members()) ...; throws unless an object.
    class MemberIterator;
    struct Members;
    Members members() const;

    // The member with this key (the first one when a key repeats), or an absent value.
    // Throws unless this is an object.
    inline PlmJsonValue member(std::string_view key) const;
    // The member with this key; throws keyNotFound when it is missing.
    PlmJsonValue requiredMember(std::string_view key) const;

    // Decoding through PlmJsonCoding<T> (see PlmJson.h): built-in types, QList, QMap with
    // string keys, and every type with `static T fromJson(const PlmJsonValue&)`.
    template <typename T> T as() const;
    // A required member: missing -> keyNotFound, null -> valueNotFound, wrong type -> typeMismatch.
    template <typename T> T field(std::string_view key) const;
    // An optional member: missing or null -> no value.
    template <typename T> std::optional<T> optionalField(std::string_view key) const;

    // An enumeration with payload stored as {"caseName": payload}: of this object's keys only
    // the given case names count; exactly one must be present, else a typeMismatch
    // "Invalid number of keys found, expected one.". Returns the index of the case name in
    // caseNames and the payload value.
    std::pair<int, PlmJsonValue> singleCase(std::initializer_list<std::string_view> caseNames) const;

    // Where this value sits, for example "map.entities[3].geometry" (empty for the root).
    QString codingPath() const;
    // A number's text as the file writes it, also one no double holds (1e400); numbers only.
    std::string_view numberText() const;

    [[noreturn]] void throwTypeMismatch(const char* expectedType) const;
    [[noreturn]] void throwDataCorrupted(const QString& message) const;
    [[noreturn]] void throwKeyNotFound(std::string_view key) const;

private:
    friend class PlmJsonDocument;
    friend class MemberIterator;
    PlmJsonValue(const PlmJsonDocument* document, uint32_t index, uint32_t offset = 0)
        : m_document(document)
        , m_index(index)
        , m_offset(offset)
    {
    }
    void requireType(PlmJsonType wanted, const char* expectedType) const
    {
        if (!isPresent() || type() != wanted)
            throwTypeMismatch(expectedType);
    }
    inline uint32_t nextSibling(uint32_t index) const;
    inline std::string_view bytes(uint32_t index) const;
    double parsedDouble() const;
    bool readDouble(double& value) const;
    // Values inside a packed array (see PlmJsonDocument::packed), which have no node.
    qsizetype packedSize() const;
    Elements packedElements() const;

    const PlmJsonDocument* m_document = nullptr;
    uint32_t m_index = 0;
    // 0 for a value with a node. A value inside a packed array has none: m_index is then
    // one of the two nodes that stand for such numbers and arrays, and m_offset where the
    // value starts in the text.
    uint32_t m_offset = 0;
};

class PlmJsonValue::ElementIterator {
public:
    PlmJsonValue operator*() const { return PlmJsonValue(m_document, m_index, m_offset); }
    inline ElementIterator& operator++();
    bool operator!=(const ElementIterator& other) const { return !(*this == other); }
    bool operator==(const ElementIterator& other) const
    {
        return m_index == other.m_index && m_offset == other.m_offset;
    }

private:
    friend class PlmJsonValue;
    ElementIterator(const PlmJsonDocument* document, uint32_t index, uint32_t offset = 0)
        : m_document(document)
        , m_index(index)
        , m_offset(offset)
    {
    }
    void stepPacked();
    const PlmJsonDocument* m_document;
    uint32_t m_index;     // the element's node (inside a packed array: as PlmJsonValue::m_index)
    uint32_t m_offset;    // on an element of a packed array, where it starts in the text; else 0
};

struct PlmJsonValue::Elements {
    ElementIterator first;
    ElementIterator last;
    ElementIterator begin() const { return first; }
    ElementIterator end() const { return last; }
};

class PlmJsonValue::MemberIterator {
public:
    std::pair<std::string_view, PlmJsonValue> operator*() const;
    MemberIterator& operator++();
    bool operator!=(const MemberIterator& other) const { return m_index != other.m_index; }
    bool operator==(const MemberIterator& other) const { return m_index == other.m_index; }

private:
    friend class PlmJsonValue;
    MemberIterator(const PlmJsonDocument* document, uint32_t index)
        : m_document(document)
        , m_index(index)
    {
    }
    const PlmJsonDocument* m_document;
    uint32_t m_index; // index of the key
};

struct PlmJsonValue::Members {
    MemberIterator first;
    MemberIterator last;
    MemberIterator begin() const { return first; }
    MemberIterator end() const { return last; }
};

// A parsed JSON text (UTF-8, RFC 8259). Parsing is iterative and keeps the whole tree in one
// flat array, so neither parsing, walking nor freeing recurses; `maxDepth` bounds the nesting
// of arrays and objects so that decoders that do recurse never meet more than they can take.
class PlmJsonDocument {
public:
    static constexpr int defaultMaxDepth = 1024;
    // For documents whose decoder bounds its own recursion (deeply nested groups of a map
    // get their own French message): nesting limited only by the size of the text.
    static constexpr int unboundedDepth = 0x7fffffff;

    // Throws PlmJsonDecodingError (dataCorrupted) for a syntax error, invalid UTF-8, a lone
    // surrogate escape, nesting deeper than maxDepth or a text of 4 GB or more.
    static PlmJsonDocument parse(const QByteArray& utf8, int maxDepth = defaultMaxDepth);

    PlmJsonDocument(PlmJsonDocument&&) noexcept;
    PlmJsonDocument& operator=(PlmJsonDocument&&) noexcept;
    ~PlmJsonDocument();

    PlmJsonValue root() const { return PlmJsonValue(this, 0); }
    // The deepest nesting of arrays and objects in the text (0 for a scalar): what a parse
    // with a smaller maxDepth would have refused.
    int depth() const;

    struct Node {
        uint32_t kindAndFlags;
        uint32_t a; // containers: index after the last descendant; strings/numbers: offset; bools: 0/1
        uint32_t b; // containers: element or member count; strings/numbers: length
    };
    static constexpr uint32_t kindMask = 0xff;   // a PlmJsonType
    static constexpr uint32_t inPool = 0x100;    // string bytes live in the pool (escapes were resolved)
    static constexpr uint32_t integral = 0x200;  // number written without fraction or exponent
    // An array of numbers, or of arrays of numbers (coordinates), keeps no node per element:
    // its node (count in b, a past the next node) is followed by one node whose `a` is the
    // offset of the first element in the text, which is read again when walked. Such arrays
    // are most of a geographic file, and three nodes per point would outweigh the text.
    static constexpr uint32_t packed = 0x400;
    static constexpr uint32_t packedArrays = 0x800; // packed, and its elements are arrays of numbers
    struct Storage;
    const Storage& storage() const { return *m_storage; }

private:
    friend class PlmJsonValue;
    friend class PlmJsonValue::ElementIterator;
    friend class PlmJsonValue::MemberIterator;
    PlmJsonDocument();
    // Where the storage keeps the nodes, the text and the unescaped strings, for the values'
    // inline accessors (the storage does not move with the document).
    void cacheStorage();
    std::unique_ptr<Storage> m_storage;
    const Node* m_nodes = nullptr;
    const char* m_source = nullptr;
    const char* m_pool = nullptr;
};

// The accessors that walk the nodes, inline: decoders call them once per value of documents
// with millions of values.

PlmJsonType PlmJsonValue::type() const
{
    if (!isPresent())
        return PlmJsonType::null;
    return PlmJsonType(m_document->m_nodes[m_index].kindAndFlags & PlmJsonDocument::kindMask);
}

uint32_t PlmJsonValue::nextSibling(uint32_t index) const
{
    const PlmJsonDocument::Node& node = m_document->m_nodes[index];
    const auto kind = PlmJsonType(node.kindAndFlags & PlmJsonDocument::kindMask);
    return (kind == PlmJsonType::array || kind == PlmJsonType::object) ? node.a : index + 1;
}

std::string_view PlmJsonValue::bytes(uint32_t index) const
{
    const PlmJsonDocument::Node& node = m_document->m_nodes[index];
    const char* base = (node.kindAndFlags & PlmJsonDocument::inPool) ? m_document->m_pool : m_document->m_source;
    return std::string_view(base + node.a, node.b);
}

double PlmJsonValue::toDouble() const
{
    requireType(PlmJsonType::number, "Double");
    return parsedDouble();
}

std::string_view PlmJsonValue::toUtf8() const
{
    requireType(PlmJsonType::string, "String");
    return bytes(m_index);
}

qsizetype PlmJsonValue::size() const
{
    const PlmJsonType kind = type();
    if (!isPresent() || (kind != PlmJsonType::array && kind != PlmJsonType::object))
        throwTypeMismatch("Array<Any>");
    if (m_offset != 0)
        return packedSize();
    return qsizetype(m_document->m_nodes[m_index].b);
}

PlmJsonValue::Elements PlmJsonValue::elements() const
{
    requireType(PlmJsonType::array, "Array<Any>");
    const PlmJsonDocument::Node& node = m_document->m_nodes[m_index];
    if (node.kindAndFlags & PlmJsonDocument::packed)
        return packedElements();
    return Elements{ElementIterator(m_document, m_index + 1), ElementIterator(m_document, node.a)};
}

PlmJsonValue::ElementIterator& PlmJsonValue::ElementIterator::operator++()
{
    if (m_offset != 0)
        stepPacked();
    else
        m_index = PlmJsonValue(m_document, m_index).nextSibling(m_index);
    return *this;
}

PlmJsonValue PlmJsonValue::member(std::string_view key) const
{
    requireType(PlmJsonType::object, "Dictionary<String, Any>");
    const uint32_t end = m_document->m_nodes[m_index].a;
    uint32_t i = m_index + 1;
    while (i < end) {
        const std::string_view name = bytes(i);
        // Keys are short: compare them without a library call.
        bool same = name.size() == key.size();
        for (size_t k = 0; same && k < key.size(); ++k)
            same = name[k] == key[k];
        if (same)
            return PlmJsonValue(m_document, i + 1);
        i = nextSibling(i + 1);
    }
    return PlmJsonValue();
}
