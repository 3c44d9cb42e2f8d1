#include "model/PlmJsonDocument.h"

#include "model/PlmBase64.h"
#include "model/PlmErrors.h"
#include "model/PlmJsonText.h"

#include <QStringList>

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

enum Kind : uint32_t { kNull, kBool, kNumber, kString, kArray, kObject };
constexpr uint32_t kKindMask = PlmJsonDocument::kindMask;
constexpr uint32_t kInPool = PlmJsonDocument::inPool;
constexpr uint32_t kIntegral = PlmJsonDocument::integral;
constexpr uint32_t kPacked = PlmJsonDocument::packed;
constexpr uint32_t kPackedArrays = PlmJsonDocument::packedArrays;

// From the end of one element of a packed array to the start of the next, or to the closing
// bracket after the last one.
const char* skipSeparator(const char* p)
{
    while (PlmJsonText::isSpace(*p))
        ++p;
    if (*p == ',') {
        ++p;
        while (PlmJsonText::isSpace(*p))
            ++p;
    }
    return p;
}

// The end of a number, or of an array of numbers, already checked by the parser (so the text
// goes on at least to the closing bracket of the packed array).
const char* skipNumber(const char* p)
{
    while ((*p >= '0' && *p <= '9') || *p == '-' || *p == '+' || *p == '.' || *p == 'e' || *p == 'E')
        ++p;
    return p;
}
const char* skipNumberArray(const char* p)
{
    while (*p != ']')
        ++p;
    return p + 1;
}
static_assert(kNull == uint32_t(PlmJsonType::null) && kBool == uint32_t(PlmJsonType::boolean)
              && kNumber == uint32_t(PlmJsonType::number) && kString == uint32_t(PlmJsonType::string)
              && kArray == uint32_t(PlmJsonType::array) && kObject == uint32_t(PlmJsonType::object));

} // namespace

struct PlmJsonDocument::Storage {
    QByteArray source;
    std::string pool;
    std::vector<Node> nodes;
    int depth = 0; // deepest nesting of arrays and objects met

    std::string_view bytes(const Node& node) const
    {
        const char* base = (node.kindAndFlags & kInPool) ? pool.data() : source.constData();
        return std::string_view(base + node.a, node.b);
    }
    const char* at(uint32_t offset) const { return source.constData() + offset; }
    // The nodes of the values inside packed arrays, the last two, after the root's (the array
    // one is also packed).
    uint32_t packedNumber() const { return uint32_t(nodes.size() - 2); }
    uint32_t packedArray() const { return uint32_t(nodes.size() - 1); }
    uint32_t next(uint32_t index) const
    {
        const Node& node = nodes[index];
        const uint32_t kind = node.kindAndFlags & kKindMask;
        return (kind == kArray || kind == kObject) ? node.a : index + 1;
    }
};

namespace {

class Parser {
public:
    Parser(PlmJsonDocument::Storage& storage, int maxDepth)
        : m_s(storage)
        , m_p(storage.source.constData())
        , m_begin(storage.source.constData())
        , m_end(storage.source.constData() + storage.source.size())
        , m_maxDepth(maxDepth)
    {
    }

    void run()
    {
        // Pretty-printed documents hold roughly one node per 12 bytes.
        m_s.nodes.reserve(size_t(m_end - m_begin) / 12 + 16);
        std::vector<uint32_t> stack;
        // A UTF-8 byte order mark, as some editors write, is not part of the text.
        if (m_end - m_p >= 3 && std::memcmp(m_p, "\xEF\xBB\xBF", 3) == 0)
            m_p += 3;
        skipSpace();
        for (;;) {
            // A value starts here.
            if (m_p >= m_end)
                fail("unexpected end of data");
            const char c = *m_p;
            if (c == '{' || c == '[') {
                const bool object = c == '{';
                if (int(stack.size()) >= m_maxDepth)
                    fail("too many nested arrays or dictionaries");
                // An array keeps the offset of its bracket until it closes, for packing.
                const uint32_t index = push(object ? kObject : kArray, object ? 0 : uint32_t(m_p - m_begin), 0);
                stack.push_back(index);
                if (int(stack.size()) > m_s.depth)
                    m_s.depth = int(stack.size());
                ++m_p;
                skipSpace();
                if (m_p < m_end && *m_p == (object ? '}' : ']')) {
                    ++m_p;
                    m_s.nodes[index].a = uint32_t(m_s.nodes.size());
                    stack.pop_back();
                } else if (object) {
                    readKey(index);
                    continue;
                } else {
                    continue;
                }
            } else if (c == '"') {
                readString();
            } else if (c == 't') {
                literal("true");
                push(kBool, 1, 0);
            } else if (c == 'f') {
                literal("false");
                push(kBool, 0, 0);
            } else if (c == 'n') {
                literal("null");
                push(kNull, 0, 0);
            } else if (c == '-' || (c >= '0' && c <= '9')) {
                readNumber();
            } else {
                fail("unexpected character");
            }
            // After a value: count it in its container, then a comma or the container's end.
            for (;;) {
                if (stack.empty()) {
                    skipSpace();
                    if (m_p != m_end)
                        fail("garbage after the end of the document");
                    // The nodes of every number and every array of numbers inside a packed array.
                    push(kNumber, 0, 0);
                    push(kArray | kPacked, 0, 0);
                    return;
                }
                const uint32_t top = stack.back();
                ++m_s.nodes[top].b;
                skipSpace();
                if (m_p >= m_end)
                    fail("unexpected end of data");
                const bool object = (m_s.nodes[top].kindAndFlags & kKindMask) == kObject;
                if (*m_p == ',') {
                    ++m_p;
                    skipSpace();
                    if (object)
                        readKey(top);
                    break;
                }
                if (*m_p != (object ? '}' : ']'))
                    fail(object ? "expected ',' or '}'" : "expected ',' or ']'");
                ++m_p;
                if (object || !pack(top))
                    m_s.nodes[top].a = uint32_t(m_s.nodes.size());
                stack.pop_back();
            }
        }
    }

private:
    [[noreturn]] void fail(const char* what) const
    {
        throw PlmJsonDecodingError(
            PlmJsonDecodingError::Kind::dataCorrupted,
            QStringLiteral("The given data was not valid JSON (%1 at byte %2).")
                .arg(QString::fromLatin1(what))
                .arg(qint64(m_p - m_begin)),
            QString());
    }

    // Packs a closed, non-empty array whose elements are all numbers, or all packed arrays
    // of numbers: its elements' nodes give way to one node holding the first one's offset.
    bool pack(uint32_t index)
    {
        std::vector<PlmJsonDocument::Node>& nodes = m_s.nodes;
        const uint32_t count = nodes[index].b;
        const size_t span = nodes.size() - index - 1;
        uint32_t flags = kPacked;
        if (span == count) {
            for (size_t i = index + 1; i < nodes.size(); ++i)
                if ((nodes[i].kindAndFlags & kKindMask) != kNumber)
                    return false;
        } else if (span == size_t(count) * 2) {
            for (size_t i = index + 1; i < nodes.size(); i += 2)
                if ((nodes[i].kindAndFlags & (kKindMask | kPacked | kPackedArrays)) != (kArray | kPacked))
                    return false;
            flags |= kPackedArrays;
        } else {
            return false;
        }
        const char* first = m_begin + nodes[index].a + 1; // after the bracket
        while (PlmJsonText::isSpace(*first))
            ++first;
        nodes.resize(index + 1);
        nodes[index].kindAndFlags |= flags;
        nodes[index].a = index + 2;
        push(kNull, uint32_t(first - m_begin), 0);
        return true;
    }

    uint32_t push(uint32_t kind, uint32_t a, uint32_t b)
    {
        m_s.nodes.push_back({kind, a, b});
        return uint32_t(m_s.nodes.size() - 1);
    }

    // Pretty-printed documents are mostly indentation: runs of white space are skipped 16
    // bytes at a time.
    void skipSpace()
    {
        if (m_p >= m_end || !PlmJsonText::isSpace(*m_p))
            return;
#ifdef __SSE2__
        const __m128i space = _mm_set1_epi8(' ');
        const __m128i newline = _mm_set1_epi8('\n');
        const __m128i ret = _mm_set1_epi8('\r');
        const __m128i tab = _mm_set1_epi8('\t');
        while (m_end - m_p >= 16) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(m_p));
            const __m128i blank = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, space), _mm_cmpeq_epi8(v, newline)),
                                               _mm_or_si128(_mm_cmpeq_epi8(v, ret), _mm_cmpeq_epi8(v, tab)));
            const unsigned other = ~unsigned(_mm_movemask_epi8(blank)) & 0xffffu;
            if (other != 0) {
                m_p += __builtin_ctz(other);
                return;
            }
            m_p += 16;
        }
#endif
        while (m_p < m_end && PlmJsonText::isSpace(*m_p))
            ++m_p;
    }

    void literal(const char* word)
    {
        const size_t length = std::strlen(word);
        if (size_t(m_end - m_p) < length || std::memcmp(m_p, word, length) != 0)
            fail("unexpected character");
        m_p += length;
    }

    void readKey(uint32_t object)
    {
        if (m_p >= m_end || *m_p != '"')
            fail("expected a string key");
        readString();
        skipSpace();
        if (m_p >= m_end || *m_p != ':')
            fail("expected ':'");
        ++m_p;
        skipSpace();
    }

    void readNumber()
    {
        const char* start = m_p;
        const PlmJsonText::NumberShape shape = PlmJsonText::scanNumber(m_p, m_end);
        if (shape == PlmJsonText::NumberShape::none)
            fail("invalid number");
        push(kNumber | (shape == PlmJsonText::NumberShape::integer ? kIntegral : 0), uint32_t(start - m_begin),
             uint32_t(m_p - start));
    }

    void readString()
    {
        ++m_p; // opening quote
        const char* start = m_p;
        const size_t poolStart = m_s.pool.size();
        bool escaped = false;
        if (const char* problem = PlmJsonText::readString(m_p, m_end, m_s.pool, escaped))
            fail(problem);
        if (!escaped) {
            push(kString, uint32_t(start - m_begin), uint32_t(m_p - 1 - start));
            return;
        }
        // Escapes resolved: the string lives in the pool.
        if (m_s.pool.size() > 0xffffffffu)
            fail("document too large");
        push(kString | kInPool, uint32_t(poolStart), uint32_t(m_s.pool.size() - poolStart));
    }

    PlmJsonDocument::Storage& m_s;
    const char* m_p;
    const char* m_begin;
    const char* m_end;
    int m_maxDepth;
};

const char* foundTypeName(uint32_t kind)
{
    switch (kind) {
    case kNull: return "null";
    case kBool: return "bool";
    case kNumber: return "number";
    case kString: return "a string";
    case kArray: return "an array";
    case kObject: return "a dictionary";
    }
    return "unknown";
}

} // namespace

PlmJsonDocument::PlmJsonDocument()
    : m_storage(std::make_unique<Storage>())
{
}
PlmJsonDocument::PlmJsonDocument(PlmJsonDocument&&) noexcept = default;
PlmJsonDocument& PlmJsonDocument::operator=(PlmJsonDocument&&) noexcept = default;
PlmJsonDocument::~PlmJsonDocument() = default;

PlmJsonDocument PlmJsonDocument::parse(const QByteArray& utf8, int maxDepth)
{
    PlmJsonDocument document;
    if (quint64(utf8.size()) >= 0xffffffffull)
        throw PlmJsonDecodingError(PlmJsonDecodingError::Kind::dataCorrupted,
                                   QStringLiteral("The given data was not valid JSON (document too large)."),
                                   QString());
    document.m_storage->source = utf8;
    Parser(*document.m_storage, maxDepth < 1 ? 1 : maxDepth).run();
    document.cacheStorage();
    return document;
}

void PlmJsonDocument::cacheStorage()
{
    m_nodes = m_storage->nodes.data();
    m_source = m_storage->source.constData();
    m_pool = m_storage->pool.data();
}

int PlmJsonDocument::depth() const
{
    return m_storage->depth;
}

// ---- PlmJsonValue ----------------------------------------------------------------------------

static const PlmJsonDocument::Node& nodeOf(const PlmJsonDocument* document, uint32_t index)
{
    return document->storage().nodes[index];
}

void PlmJsonValue::throwTypeMismatch(const char* expectedType) const
{
    if (!isPresent() || type() == PlmJsonType::null) {
        throw PlmJsonDecodingError(PlmJsonDecodingError::Kind::valueNotFound,
                                   expectedType ? QStringLiteral("Expected %1 value but found null instead.")
                                                      .arg(QString::fromLatin1(expectedType))
                                                : QStringLiteral("Expected a value but found null instead."),
                                   codingPath());
    }
    const uint32_t kind = uint32_t(type());
    throw PlmJsonDecodingError(PlmJsonDecodingError::Kind::typeMismatch,
                               QStringLiteral("Expected to decode %1 but found %2 instead.")
                                   .arg(QString::fromLatin1(expectedType ? expectedType : "a value"),
                                        QString::fromLatin1(foundTypeName(kind))),
                               codingPath());
}

void PlmJsonValue::throwDataCorrupted(const QString& message) const
{
    throw PlmJsonDecodingError(PlmJsonDecodingError::Kind::dataCorrupted, message,
                               isPresent() ? codingPath() : QString());
}

void PlmJsonValue::throwKeyNotFound(std::string_view key) const
{
    const QString name = QString::fromUtf8(key.data(), qsizetype(key.size()));
    const QString path = codingPath();
    throw PlmJsonDecodingError(PlmJsonDecodingError::Kind::keyNotFound,
                               QStringLiteral("No value associated with key \"%1\".").arg(name),
                               path.isEmpty() ? name : path + QLatin1Char('.') + name);
}

bool PlmJsonValue::toBool() const
{
    requireType(PlmJsonType::boolean, "Bool");
    return nodeOf(m_document, m_index).a != 0;
}

std::string_view PlmJsonValue::numberText() const
{
    const PlmJsonDocument::Storage& s = m_document->storage();
    if (m_offset == 0)
        return s.bytes(s.nodes[m_index]);
    const char* start = s.at(m_offset);
    return std::string_view(start, size_t(skipNumber(start) - start));
}

qsizetype PlmJsonValue::packedSize() const
{
    // An array of numbers inside a packed array: one more element than commas.
    qsizetype count = 1;
    for (const char* p = m_document->storage().at(m_offset); *p != ']'; ++p)
        count += *p == ',';
    return count;
}

PlmJsonValue::Elements PlmJsonValue::packedElements() const
{
    const PlmJsonDocument::Storage& s = m_document->storage();
    const uint32_t number = s.packedNumber();
    if (m_offset != 0) {
        // An array of numbers inside a packed array of arrays; never empty.
        const char* first = s.at(m_offset) + 1;
        while (PlmJsonText::isSpace(*first))
            ++first;
        return Elements{ElementIterator(m_document, number, uint32_t(first - s.source.constData())),
                        ElementIterator(m_document, number)};
    }
    const PlmJsonDocument::Node& node = s.nodes[m_index];
    const uint32_t element = (node.kindAndFlags & kPackedArrays) ? s.packedArray() : number;
    return Elements{ElementIterator(m_document, element, s.nodes[m_index + 1].a),
                    ElementIterator(m_document, element)};
}

void PlmJsonValue::ElementIterator::stepPacked()
{
    const PlmJsonDocument::Storage& s = m_document->storage();
    const char* p = s.at(m_offset);
    p = skipSeparator(m_index == s.packedArray() ? skipNumberArray(p) : skipNumber(p));
    if (*p == ']') { // the end
        m_offset = 0;
    } else {
        m_offset = uint32_t(p - s.source.constData());
    }
}

bool PlmJsonValue::readDouble(double& value) const
{
    const PlmJsonDocument::Storage& s = m_document->storage();
    // A number inside a packed array ends where the parse stops: it was checked as JSON.
    const char* start = m_offset != 0 ? s.at(m_offset) : s.bytes(s.nodes[m_index]).data();
    const char* end = m_offset != 0 ? s.source.constData() + s.source.size() : start + s.nodes[m_index].b;
    const auto result = std::from_chars(start, end, value);
    return result.ec == std::errc() && std::isfinite(value);
}

double PlmJsonValue::parsedDouble() const
{
    double value = 0;
    if (!readDouble(value)) {
        const std::string_view text = numberText();
        throwDataCorrupted(QStringLiteral("Parsed JSON number <%1> does not fit in Double.")
                               .arg(QString::fromLatin1(text.data(), qsizetype(text.size()))));
    }
    return value;
}

std::optional<double> PlmJsonValue::toDoubleIfHeld() const
{
    requireType(PlmJsonType::number, "Double");
    double value = 0;
    if (!readDouble(value))
        return std::nullopt;
    return value;
}

qint64 PlmJsonValue::toInteger() const
{
    requireType(PlmJsonType::number, "Int");
    const std::string_view text = numberText();
    const QString shown = QString::fromLatin1(text.data(), qsizetype(text.size()));
    const bool integral = m_offset != 0 ? text.find_first_of(".eE") == std::string_view::npos
                                        : (nodeOf(m_document, m_index).kindAndFlags & kIntegral) != 0;
    if (integral) {
        qint64 value = 0;
        const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
        if (result.ec == std::errc() && result.ptr == text.data() + text.size())
            return value;
    } else {
        // 1.0 and 2e3 are integers written otherwise; 1.5 is not.
        double value = 0;
        const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
        if (result.ec == std::errc() && std::isfinite(value) && std::trunc(value) == value
            && value >= -9.2e18 && value <= 9.2e18)
            return qint64(value);
    }
    throwDataCorrupted(QStringLiteral("Parsed JSON number <%1> does not fit in Int.").arg(shown));
}

int PlmJsonValue::toInt() const
{
    const qint64 value = toInteger();
    if (value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max())
        throwDataCorrupted(QStringLiteral("Parsed JSON number <%1> does not fit in Int.").arg(value));
    return int(value);
}

QString PlmJsonValue::toString() const
{
    const std::string_view bytes = toUtf8();
    return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
}

QByteArray PlmJsonValue::toBase64Data() const
{
    requireType(PlmJsonType::string, "Data");
    const std::optional<QByteArray> data = PlmBase64::decode(toUtf8());
    if (!data)
        throwDataCorrupted(QStringLiteral("Encountered Data is not valid Base64."));
    return *data;
}

PlmJsonValue::Members PlmJsonValue::members() const
{
    requireType(PlmJsonType::object, "Dictionary<String, Any>");
    const PlmJsonDocument::Node& node = nodeOf(m_document, m_index);
    return Members{MemberIterator(m_document, m_index + 1), MemberIterator(m_document, node.a)};
}

std::pair<std::string_view, PlmJsonValue> PlmJsonValue::MemberIterator::operator*() const
{
    const PlmJsonDocument::Storage& s = m_document->storage();
    return {s.bytes(s.nodes[m_index]), PlmJsonValue(m_document, m_index + 1)};
}

PlmJsonValue::MemberIterator& PlmJsonValue::MemberIterator::operator++()
{
    m_index = m_document->storage().next(m_index + 1);
    return *this;
}

PlmJsonValue PlmJsonValue::requiredMember(std::string_view key) const
{
    const PlmJsonValue value = member(key);
    if (!value.isPresent())
        throwKeyNotFound(key);
    return value;
}

std::pair<int, PlmJsonValue>
PlmJsonValue::singleCase(std::initializer_list<std::string_view> caseNames) const
{
    requireType(PlmJsonType::object, "Dictionary<String, Any>");
    const PlmJsonDocument::Storage& s = m_document->storage();
    const uint32_t end = s.nodes[m_index].a;
    int found = -1;
    uint32_t foundValue = 0;
    int recognised = 0;
    for (uint32_t i = m_index + 1; i < end; i = s.next(i + 1)) {
        const std::string_view key = s.bytes(s.nodes[i]);
        int index = 0;
        for (std::string_view name : caseNames) {
            if (name == key) {
                if (found != index) // a repeated key is still one case
                    ++recognised;
                found = index;
                foundValue = i + 1;
                break;
            }
            ++index;
        }
    }
    if (recognised != 1)
        throw PlmJsonDecodingError(PlmJsonDecodingError::Kind::typeMismatch,
                                   QStringLiteral("Invalid number of keys found, expected one."),
                                   codingPath());
    return {found, PlmJsonValue(m_document, foundValue)};
}

QString PlmJsonValue::codingPath() const
{
    if (!isPresent())
        return QString();
    // Walk down from the root to this value (errors only, so no parent links are kept).
    const PlmJsonDocument::Storage& s = m_document->storage();
    // A value inside a packed array: first the path of that array, the packed node that
    // starts last before the value.
    uint32_t target = m_index;
    if (m_offset != 0) {
        for (uint32_t i = 0; i + 2 < s.nodes.size(); i = (s.nodes[i].kindAndFlags & kPacked) ? i + 2 : i + 1)
            if ((s.nodes[i].kindAndFlags & kPacked) && s.nodes[i + 1].a <= m_offset)
                target = i;
    }
    QStringList parts;
    uint32_t container = 0;
    while (container != target) {
        const bool object = (s.nodes[container].kindAndFlags & kKindMask) == kObject;
        const uint32_t end = s.next(container);
        uint32_t child = container + 1;
        qsizetype position = 0;
        for (;;) {
            if (child >= end || target >= end)
                return QString(); // not inside: cannot happen for values of this document
            const uint32_t value = object ? child + 1 : child;
            const uint32_t after = s.next(value);
            if (target < after) {
                if (object) {
                    const std::string_view key = s.bytes(s.nodes[child]);
                    parts.append(QString::fromUtf8(key.data(), qsizetype(key.size())));
                } else {
                    parts.append(QStringLiteral("[%1]").arg(position));
                }
                container = value;
                break;
            }
            child = after;
            ++position;
        }
    }
    if (m_offset != 0) {
        // Inside the packed array: count the elements before this value.
        qsizetype position = 0;
        for (PlmJsonValue element : PlmJsonValue(m_document, target).elements()) {
            if (element.m_offset == m_offset) {
                parts.append(QStringLiteral("[%1]").arg(position));
                break;
            }
            if (element.isArray() && m_offset > element.m_offset
                && s.at(m_offset) < skipNumberArray(s.at(element.m_offset))) {
                parts.append(QStringLiteral("[%1]").arg(position));
                qsizetype inner = 0;
                for (PlmJsonValue number : element.elements()) {
                    if (number.m_offset == m_offset)
                        break;
                    ++inner;
                }
                parts.append(QStringLiteral("[%1]").arg(inner));
                break;
            }
            ++position;
        }
    }
    QString path;
    for (const QString& part : parts) {
        if (!path.isEmpty() && !part.startsWith(QLatin1Char('[')))
            path += QLatin1Char('.');
        path += part;
    }
    return path;
}
