#include "model/PlmEntityListReader.h"

#include "model/PlmEntity.h"
#include "model/PlmJson.h"
#include "model/PlmJsonText.h"
#include "model/PlmMapDecodingDepth.h"
#include "model/PlmParallel.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <utility>
#include <vector>

namespace {

// Thrown inside the reader only: the text is not one it takes (the tree decoder will say why).
struct GiveUp {};

[[noreturn]] void giveUp()
{
    throw GiveUp{};
}

int keyIndex(std::string_view key, std::initializer_list<std::string_view> names)
{
    int index = 0;
    for (std::string_view name : names) {
        if (name == key)
            return index;
        ++index;
    }
    return -1;
}

// A pull reader over the text that builds the model objects as it goes. It checks the syntax
// as strictly as PlmJsonDocument's parser (the same grammar, UTF-8 and escape rules) and the
// types as strictly as the decoders, and reads the members of every object whatever their
// order; anything unusual gives up.
class Reader {
public:
    Reader(const char* begin, const char* end)
        : p(begin)
        , m_end(end)
    {
    }

    const char* p;

    void space()
    {
        while (p < m_end && PlmJsonText::isSpace(*p))
            ++p;
    }
    char peek() const { return p < m_end ? *p : '\0'; }
    void expect(char c)
    {
        if (p >= m_end || *p != c)
            giveUp();
        ++p;
    }

    // The string's bytes with escapes resolved; valid until the next string is read.
    std::string_view string()
    {
        expect('"');
        const char* start = p;
        m_scratch.clear();
        bool escaped = false;
        if (PlmJsonText::readString(p, m_end, m_scratch, escaped))
            giveUp();
        return escaped ? std::string_view(m_scratch) : std::string_view(start, size_t(p - 1 - start));
    }

    QString qstring()
    {
        const std::string_view bytes = string();
        return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
    }

    // Names that repeat from entity to entity (attribute names, fonts) share one string.
    QString shared(std::string_view bytes)
    {
        if (bytes.size() > 32)
            return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
        for (const auto& [known, string] : m_shared)
            if (known == bytes)
                return string;
        QString string = QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
        if (m_shared.size() < 32)
            m_shared.emplace_back(std::string(bytes), string);
        return string;
    }
    QString sharedString() { return shared(string()); }

    // Appends a run of decimal digits to `mantissa` (which wraps past 19 digits: the caller
    // then does not use it) and returns how many there were; eight at a time while it can.
    int readDigits(uint64_t& mantissa)
    {
        int count = 0;
        while (std::endian::native == std::endian::little && m_end - p >= 8) {
            uint64_t chunk;
            std::memcpy(&chunk, p, 8);
            if ((((chunk & 0xF0F0F0F0F0F0F0F0u) | (((chunk + 0x0606060606060606u) & 0xF0F0F0F0F0F0F0F0u) >> 4))
                 != 0x3333333333333333u))
                break;
            // Eight ASCII digits, the first in the lowest byte: pair them up, then in fours.
            chunk = (chunk & 0x0F0F0F0F0F0F0F0Fu) * 2561 >> 8;
            chunk = (chunk & 0x00FF00FF00FF00FFu) * 6553601 >> 16;
            chunk = (chunk & 0x0000FFFF0000FFFFu) * 42949672960001u >> 32;
            mantissa = mantissa * 100000000u + chunk;
            count += 8;
            p += 8;
        }
        while (p < m_end && *p >= '0' && *p <= '9') {
            mantissa = mantissa * 10 + uint64_t(*p++ - '0');
            ++count;
        }
        return count;
    }

    // Steps over one number token (RFC 8259 grammar); returns its shape.
    PlmJsonText::NumberShape numberToken()
    {
        const PlmJsonText::NumberShape shape = PlmJsonText::scanNumber(p, m_end);
        if (shape == PlmJsonText::NumberShape::none)
            giveUp();
        return shape;
    }

    // As PlmJsonValue::toDouble(). Most coordinates have at most 15 or 16 digits: those are
    // an exact integer divided by an exact power of ten, one correctly rounded division, the
    // same double as from_chars gives. Others go to from_chars.
    double number()
    {
        static constexpr double powers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                            1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                            1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
        const char* start = p;
        const bool negative = p < m_end && *p == '-';
        if (negative)
            ++p;
        uint64_t mantissa = 0;
        int digits = 0;
        int fraction = 0;
        if (p < m_end && *p == '0') {
            ++p;
        } else if (p < m_end && *p >= '1' && *p <= '9') {
            digits = readDigits(mantissa);
        } else {
            giveUp();
        }
        if (p < m_end && *p == '.') {
            ++p;
            if (p >= m_end || *p < '0' || *p > '9')
                giveUp();
            fraction = readDigits(mantissa);
            digits += fraction;
        }
        const bool exponent = p < m_end && (*p == 'e' || *p == 'E');
        if (!exponent && digits <= 19 && mantissa <= (uint64_t(1) << 53) && fraction <= 22) {
            const double value = double(mantissa) / powers[fraction];
            return negative ? -value : value;
        }
        if (exponent) { // rare: the whole token again, checked as any other
            p = start;
            numberToken();
        }
        double value = 0;
        const auto result = std::from_chars(start, p, value);
        if (result.ec != std::errc() || result.ptr != p || !std::isfinite(value))
            giveUp();
        return value;
    }

    // As PlmJsonValue::toInt(), for numbers written without fraction or exponent.
    int integer()
    {
        const char* start = p;
        if (numberToken() != PlmJsonText::NumberShape::integer)
            giveUp();
        qint64 value = 0;
        const auto result = std::from_chars(start, p, value);
        if (result.ec != std::errc() || result.ptr != p
            || value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max())
            giveUp();
        return int(value);
    }

    bool boolean()
    {
        if (literal("true"))
            return true;
        if (literal("false"))
            return false;
        giveUp();
    }

    // Steps over "null" if it is next.
    bool null() { return literal("null"); }

    // Steps over any value, checking it. Nesting is bounded: deeper texts go to the tree.
    void skipValue()
    {
        int depth = 0;
        for (;;) {
            space();
            const char c = peek();
            if (c == '{' || c == '[') {
                if (++depth > 256)
                    giveUp();
                ++p;
                space();
                if (peek() == (c == '{' ? '}' : ']')) {
                    ++p;
                    --depth;
                } else {
                    if (c == '{')
                        key();
                    m_closers.push_back(c == '{' ? '}' : ']');
                    continue;
                }
            } else if (c == '"') {
                string();
            } else if (c == 't' || c == 'f') {
                boolean();
            } else if (c == 'n') {
                if (!null())
                    giveUp();
            } else {
                numberToken();
            }
            // After a value: a comma or the end of containers.
            for (;;) {
                if (depth == 0)
                    return;
                space();
                const char closer = m_closers.back();
                if (peek() == ',') {
                    ++p;
                    space();
                    if (closer == '}')
                        key();
                    break;
                }
                expect(closer);
                m_closers.pop_back();
                --depth;
            }
        }
    }

    // A key and its colon; leaves the reader on the value.
    std::string_view key()
    {
        space();
        const std::string_view name = string();
        space();
        expect(':');
        space();
        return name;
    }

    // Calls member(key) on each member of an object; member reads the value.
    template <typename Member>
    void members(Member&& member)
    {
        sequence('{', '}', [&] { member(key()); });
    }

    // Calls element() for each element of an array; element reads the value.
    template <typename Element>
    void elements(Element&& element)
    {
        sequence('[', ']', element);
    }

    // The items of an object or an array, between their brackets and separated by commas.
    template <typename Item>
    void sequence(char open, char close, Item&& item)
    {
        space();
        expect(open);
        space();
        if (peek() == close) {
            ++p;
            return;
        }
        for (;;) {
            space();
            item();
            space();
            if (peek() == ',') {
                ++p;
                continue;
            }
            expect(close);
            return;
        }
    }

    // A value read through the JSON tree, as the tree decoder reads it (shapes rare enough
    // in large documents not to need a reader of their own).
    template <typename T>
    T throughTree()
    {
        space();
        const char* start = p;
        skipValue();
        const PlmJsonDocument document = PlmJsonDocument::parse(QByteArray(start, qsizetype(p - start)),
                                                                PlmJsonDocument::unboundedDepth);
        return document.root().as<T>();
    }

    PlmPoint point()
    {
        // The writer's form, {"x":1,"y":2}, read directly.
        if (m_end - p > 5 && std::memcmp(p, "{\"x\":", 5) == 0) {
            const char* saved = p;
            p += 5;
            space();
            PlmPoint point;
            point.x = number();
            if (m_end - p > 5 && std::memcmp(p, ",\"y\":", 5) == 0) {
                p += 5;
                space();
                point.y = number();
                space();
                if (peek() == '}') {
                    ++p;
                    return point;
                }
            }
            p = saved;
        }
        double values[2] = {0, 0};
        unsigned seen = 0;
        members([&](std::string_view key) {
            const int index = keyIndex(key, {"x", "y"});
            if (index < 0)
                return skipValue();
            once(seen, index);
            values[index] = number();
        });
        if (seen != 3)
            giveUp();
        return PlmPoint{values[0], values[1]};
    }

    QList<PlmPoint> points()
    {
        m_points.clear();
        elements([&] { m_points.push_back(point()); });
        return QList<PlmPoint>(m_points.begin(), m_points.end());
    }

    PlmPolygon polygon()
    {
        PlmPolygon polygon;
        unsigned seen = 0;
        members([&](std::string_view key) {
            const int index = keyIndex(key, {"exterior", "holes"});
            if (index < 0)
                return skipValue();
            once(seen, index);
            if (index == 0) {
                polygon.exterior = points();
            } else {
                QList<QList<PlmPoint>> holes;
                elements([&] { holes.append(points()); });
                polygon.holes = std::move(holes);
            }
        });
        if (seen != 3)
            giveUp();
        return polygon;
    }

    PlmColor color()
    {
        double values[4] = {0, 0, 0, 1};
        unsigned seen = 0;
        members([&](std::string_view key) {
            const int index = keyIndex(key, {"red", "green", "blue", "alpha"});
            if (index < 0)
                return skipValue();
            once(seen, index);
            values[index] = number();
        });
        if (seen != 15)
            giveUp();
        return PlmColor{values[0], values[1], values[2], values[3]};
    }

    PlmStyle style()
    {
        PlmStyle style;
        unsigned seen = 0;
        members([&](std::string_view key) {
            const int index = keyIndex(key, {"stroke", "lineWidth", "pointRadius", "fill", "dash", "lineCap", "lineJoin"});
            if (index < 0)
                return skipValue();
            once(seen, index);
            if (index >= 3 && null())
                return;
            switch (index) {
            case 0: style.stroke = color(); break;
            case 1: style.lineWidth = number(); break;
            case 2: style.pointRadius = number(); break;
            case 3: style.fill = color(); break;
            case 4: {
                QList<double> values;
                elements([&] { values.append(number()); });
                style.dash = std::move(values);
                break;
            }
            case 5: style.lineCap = integer(); break;
            case 6: style.lineJoin = integer(); break;
            }
        });
        if ((seen & 7) != 7)
            giveUp();
        return style;
    }

    PlmTransform transform()
    {
        double values[6] = {1, 0, 0, 1, 0, 0};
        unsigned seen = 0;
        members([&](std::string_view key) {
            const int index = keyIndex(key, {"a", "b", "c", "d", "tx", "ty"});
            if (index < 0)
                return skipValue();
            once(seen, index);
            values[index] = number();
        });
        if (seen != 63)
            giveUp();
        return PlmTransform{values[0], values[1], values[2], values[3], values[4], values[5]};
    }

    PlmText text()
    {
        PlmText text;
        unsigned seen = 0;
        members([&](std::string_view key) {
            const int index = keyIndex(key, {"text", "fontName", "fontSize", "transform", "anchor"});
            if (index < 0)
                return skipValue();
            once(seen, index);
            switch (index) {
            case 0: text.text = qstring(); break;
            case 1: text.fontName = sharedString(); break;
            case 2: text.fontSize = number(); break;
            case 3: text.transform = transform(); break;
            case 4: text.anchor = sharedString(); break;
            }
        });
        if (seen != 31)
            giveUp();
        return text;
    }

    PlmEntityList entities()
    {
        PlmEntityList list;
        elements([&] { list.append(entity()); });
        return list;
    }

    PlmGeometry geometry()
    {
        std::optional<PlmGeometry> geometry;
        members([&](std::string_view key) {
            const int kind = keyIndex(key, {"point", "polyline", "polygon", "multipolygon", "path", "text", "group"});
            if (kind < 0)
                return skipValue();
            if (geometry) // a second case, or the same one again
                giveUp();
            bool payloadRead = false;
            members([&](std::string_view payloadKey) {
                if (payloadKey != "_0")
                    return skipValue();
                if (payloadRead)
                    giveUp();
                payloadRead = true;
                switch (PlmGeometry::Kind(kind)) {
                case PlmGeometry::Kind::point: geometry = PlmGeometry::point(point()); break;
                case PlmGeometry::Kind::polyline: geometry = PlmGeometry::polyline(points()); break;
                case PlmGeometry::Kind::polygon: geometry = PlmGeometry::polygon(polygon()); break;
                case PlmGeometry::Kind::multipolygon: {
                    QList<PlmPolygon> polygons;
                    elements([&] { polygons.append(polygon()); });
                    geometry = PlmGeometry::multipolygon(polygons);
                    break;
                }
                case PlmGeometry::Kind::path: geometry = PlmGeometry::path(throughTree<PlmVectorPath>()); break;
                case PlmGeometry::Kind::text: geometry = PlmGeometry::text(text()); break;
                case PlmGeometry::Kind::group: {
                    space();
                    const char* start = p;
                    expect('[');
                    space();
                    if (peek() == ']') {
                        ++p;
                        geometry = PlmGeometry::group(PlmEntityList());
                        break;
                    }
                    p = start;
                    // Bounds this reader's recursion as it bounds the tree decoder's.
                    const PlmMapDecodingDepth depth = PlmMapDecodingDepth::enterGroupMembers();
                    geometry = PlmGeometry::group(entities());
                    break;
                }
                }
            });
            if (!payloadRead)
                giveUp();
        });
        if (!geometry)
            giveUp();
        return std::move(*geometry);
    }

    PlmEntity entity()
    {
        PlmEntity entity;
        unsigned seen = 0;
        members([&](std::string_view key) {
            const int index = keyIndex(key, {"id", "name", "geometry", "style", "attributes", "pointSymbol",
                                             "clipPaths", "isHidden", "isLocked"});
            if (index < 0)
                return skipValue();
            once(seen, index);
            if (index >= 5 && null())
                return;
            switch (index) {
            case 0: entity.id = qstring(); break;
            case 1: entity.name = qstring(); break;
            case 2: entity.geometry = geometry(); break;
            case 3: entity.style = style(); break;
            case 4: {
                QMap<QString, QString> attributes;
                members([&](std::string_view name) {
                    const QString attribute = shared(name);
                    attributes.insert(attribute, qstring());
                });
                entity.attributes = std::move(attributes);
                break;
            }
            case 5: entity.pointSymbol = throughTree<PlmPointSymbol>(); break;
            case 6: entity.clipPaths = throughTree<QList<PlmVectorPath>>(); break;
            case 7: entity.isHidden = boolean(); break;
            case 8: entity.isLocked = boolean(); break;
            }
        });
        if ((seen & 31) != 31)
            giveUp();
        return entity;
    }

private:
    // Repeated keys are left to the tree decoder, which knows which one counts.
    static void once(unsigned& seen, int index)
    {
        if (seen & (1u << index))
            giveUp();
        seen |= 1u << index;
    }

    bool literal(std::string_view word)
    {
        if (size_t(m_end - p) < word.size() || std::memcmp(p, word.data(), word.size()) != 0)
            return false;
        p += word.size();
        return true;
    }

    const char* m_end;
    std::string m_scratch;
    std::vector<char> m_closers;
    std::vector<PlmPoint> m_points;
    std::vector<std::pair<std::string, QString>> m_shared;
};

// One stretch of the entity list, read by one thread.
struct Stretch {
    const char* begin = nullptr;
    const char* limit = nullptr; // where the next stretch begins (nullptr for the last)
    enum class Outcome { failed, continues, closes } outcome = Outcome::failed;
    const char* closedAt = nullptr; // just after the list's ']'
    std::vector<PlmEntity> entities;
};

void readStretch(Stretch& stretch, const char* textEnd, bool first)
{
    try {
        // A stretch reads nothing past the next one's start: whatever the text, each byte is
        // read, and each entity built, once at most.
        Reader reader(stretch.begin, stretch.limit ? stretch.limit : textEnd);
        if (first && reader.peek() == ']') {
            ++reader.p;
            stretch.closedAt = reader.p;
            stretch.outcome = Stretch::Outcome::closes;
            return;
        }
        for (;;) {
            if (reader.peek() != '{')
                giveUp();
            stretch.entities.push_back(reader.entity());
            reader.space();
            if (reader.peek() == ']') {
                ++reader.p;
                stretch.closedAt = reader.p;
                stretch.outcome = Stretch::Outcome::closes;
                return;
            }
            reader.expect(',');
            reader.space();
            if (reader.p == stretch.limit) {
                stretch.outcome = Stretch::Outcome::continues;
                return;
            }
        }
    } catch (...) {
        stretch.entities.clear();
        stretch.outcome = Stretch::Outcome::failed;
    }
}

} // namespace

std::optional<PlmEntityListReader::Split> PlmEntityListReader::read(const QByteArray& bytes,
                                                                    std::initializer_list<std::string_view> keys,
                                                                    qsizetype stretchBytes)
{
    if (quint64(bytes.size()) >= 0xffffffffull)
        return std::nullopt;
    const char* const text = bytes.constData();
    const char* const textEnd = text + bytes.size();
    const char* listStart = nullptr;
    const char* first = nullptr;
    try {
        Reader reader(text, textEnd);
        if (bytes.size() >= 3 && std::memcmp(text, "\xEF\xBB\xBF", 3) == 0)
            reader.p += 3;
        // Down to the list: at each level, the first member of that name.
        for (std::string_view wanted : keys) {
            reader.space();
            reader.expect('{');
            for (;;) {
                if (reader.key() == wanted)
                    break;
                reader.skipValue();
                reader.space();
                reader.expect(',');
            }
        }
        if (reader.peek() != '[')
            return std::nullopt;
        listStart = reader.p;
        ++reader.p;
        reader.space();
        first = reader.p;
    } catch (...) {
        return std::nullopt;
    }

    // Stretches start where the writer starts an entity: a new line, the first entity's
    // indentation, '{'. A line break outside a string is always white space, so a guess is
    // checked by the stretch before it ending exactly there after a comma.
    std::vector<Stretch> stretches(1);
    stretches[0].begin = first;
    const char* lineStart = first;
    while (lineStart > listStart && *(lineStart - 1) != '\n')
        --lineStart;
    if (lineStart > listStart + 1 && *first == '{') {
        const std::string_view pattern(lineStart - 1, size_t(first - lineStart) + 2); // "\n", indentation, '{'
        const qsizetype count = std::min<qsizetype>((textEnd - first) / std::max<qsizetype>(stretchBytes, 1), 256);
        const std::string_view rest(first, size_t(textEnd - first));
        for (qsizetype i = 1; i < count; ++i) {
            const size_t from = size_t(i * ((textEnd - first) / count));
            if (from <= size_t(stretches.back().begin - first))
                continue;
            const size_t found = rest.find(pattern, from);
            if (found == std::string_view::npos)
                break;
            const char* begin = first + found + pattern.size() - 1;
            if (begin <= stretches.back().begin)
                continue;
            stretches.back().limit = begin;
            stretches.emplace_back().begin = begin;
        }
    }

    const PlmMapDecodingDepth::Level level{0, 1};
    PlmParallel::forRuns(qsizetype(stretches.size()), 1, [&](qsizetype begin, qsizetype end) {
        const PlmMapDecodingDepth::AdoptedLevel adopted(level);
        for (qsizetype i = begin; i < end; ++i)
            readStretch(stretches[size_t(i)], textEnd, i == 0);
    });

    Split split;
    const char* listEnd = nullptr;
    size_t total = 0;
    for (const Stretch& stretch : stretches) {
        if (stretch.outcome == Stretch::Outcome::failed)
            return std::nullopt;
        total += stretch.entities.size();
        ++split.stretches;
        if (stretch.outcome == Stretch::Outcome::closes) {
            listEnd = stretch.closedAt;
            break;
        }
    }
    if (!listEnd)
        return std::nullopt;
    split.entities.reserve(qsizetype(total));
    for (Stretch& stretch : stretches) {
        for (PlmEntity& entity : stretch.entities)
            split.entities.append(std::move(entity));
        if (stretch.outcome == Stretch::Outcome::closes)
            break;
    }
    split.rest.reserve(qsizetype(listStart - text) + 2 + qsizetype(textEnd - listEnd));
    split.rest.append(text, qsizetype(listStart - text));
    split.rest.append("[]", 2);
    split.rest.append(listEnd, qsizetype(textEnd - listEnd));
    return split;
}
