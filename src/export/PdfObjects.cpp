#include "export/PdfObjects.h"

#include <QSet>

#include <functional>

#include <charconv>

namespace {

using Value = PdfObjects::Value;
using ValuePtr = PdfObjects::ValuePtr;

bool isWhite(char c) { return c == ' ' || c == '\n' || c == '\r' || c == '\t' || c == '\f' || c == '\0'; }
bool isDelimiter(char c)
{
    return c == '(' || c == ')' || c == '<' || c == '>' || c == '[' || c == ']' || c == '{' || c == '}' || c == '/'
        || c == '%';
}

class Reader {
public:
    explicit Reader(const QByteArray& data)
        : d(data)
    {
    }

    const QByteArray& d;
    qsizetype p = 0;

    bool atEnd() const { return p >= d.size(); }

    void skipSpace()
    {
        while (p < d.size()) {
            if (isWhite(d[p])) {
                ++p;
            } else if (d[p] == '%') {
                while (p < d.size() && d[p] != '\n' && d[p] != '\r')
                    ++p;
            } else {
                break;
            }
        }
    }

    QByteArray regular()
    {
        const qsizetype start = p;
        while (p < d.size() && !isWhite(d[p]) && !isDelimiter(d[p]))
            ++p;
        return d.mid(start, p - start);
    }

    static std::optional<long long> integer(const QByteArray& token)
    {
        if (token.isEmpty() || token.size() > 12)
            return std::nullopt;
        long long v = 0;
        const auto [end, ec] = std::from_chars(token.constData(), token.constData() + token.size(), v);
        if (ec != std::errc() || end != token.constData() + token.size())
            return std::nullopt;
        return v;
    }

    // One value; null at a token that does not start one (the token is consumed).
    ValuePtr value(int depth)
    {
        skipSpace();
        auto v = std::make_shared<Value>();
        if (atEnd() || depth > PdfObjects::maximumDepth) {
            p = d.size();
            return v;
        }
        const char c = d[p];
        if (c == '/') {
            ++p;
            v->type = Value::Type::name;
            v->text = regular();
            return v;
        }
        if (c == '(') {
            skipLiteralString();
            v->type = Value::Type::string;
            return v;
        }
        if (c == '<' && p + 1 < d.size() && d[p + 1] == '<') {
            p += 2;
            v->type = Value::Type::dictionary;
            readDictionary(*v, depth);
            return v;
        }
        if (c == '<') {
            const qsizetype end = d.indexOf('>', p);
            p = end < 0 ? d.size() : end + 1;
            v->type = Value::Type::string;
            return v;
        }
        if (c == '[') {
            ++p;
            v->type = Value::Type::array;
            while (true) {
                skipSpace();
                if (atEnd())
                    break;
                if (d[p] == ']') {
                    ++p;
                    break;
                }
                const qsizetype before = p;
                v->items.push_back(valueWithReference(depth + 1));
                if (p == before)
                    ++p;
            }
            return v;
        }
        if (isDelimiter(c)) {
            ++p;  // a stray ')', '>', ']', '{' or '}'
            return v;
        }
        const QByteArray token = regular();
        if (token == "true" || token == "false") {
            v->type = Value::Type::boolean;
        } else if (!token.isEmpty() && (token[0] == '-' || token[0] == '+' || token[0] == '.'
                                        || (token[0] >= '0' && token[0] <= '9'))) {
            v->type = Value::Type::number;
        }
        v->text = token;
        return v;
    }

    // A value, with "n g R" read as a reference.
    ValuePtr valueWithReference(int depth)
    {
        ValuePtr first = value(depth);
        if (first->type != Value::Type::number || !integer(first->text))
            return first;
        const qsizetype save = p;
        skipSpace();
        const QByteArray generation = regular();
        skipSpace();
        const QByteArray r = regular();
        if (integer(generation) && r == "R") {
            auto ref = std::make_shared<Value>();
            ref->type = Value::Type::reference;
            ref->objectNumber = int(*integer(first->text));
            return ref;
        }
        p = save;
        return first;
    }

    void readDictionary(Value& v, int depth)
    {
        while (true) {
            skipSpace();
            if (atEnd())
                return;
            if (d[p] == '>' && p + 1 < d.size() && d[p + 1] == '>') {
                p += 2;
                return;
            }
            if (d[p] != '/') {
                const qsizetype before = p;
                value(depth + 1);  // garbage: skipped
                if (p == before)
                    ++p;
                continue;
            }
            ++p;
            const QByteArray key = regular();
            v.entries.emplace_back(key, valueWithReference(depth + 1));
        }
    }

    void skipLiteralString()
    {
        ++p;
        int nesting = 1;
        while (p < d.size() && nesting > 0) {
            const char c = d[p++];
            if (c == '\\')
                ++p;
            else if (c == '(')
                ++nesting;
            else if (c == ')')
                --nesting;
        }
    }

    // After a stream dictionary: skips "stream" … "endstream" using a direct /Length when it
    // fits, else the next "endstream".
    void skipStreamData(const Value& dictionary)
    {
        if (p < d.size() && d[p] == '\r')
            ++p;
        if (p < d.size() && d[p] == '\n')
            ++p;
        if (ValuePtr length = dictionary.entry("Length"); length && length->type == Value::Type::number) {
            if (const auto n = integer(length->text); n && *n >= 0 && *n <= d.size() - p) {
                const qsizetype end = p + qsizetype(*n);
                Reader probe(d);
                probe.p = end;
                probe.skipSpace();
                if (probe.regular() == "endstream") {
                    p = probe.p;
                    return;
                }
            }
        }
        const qsizetype end = d.indexOf("endstream", p);
        p = end < 0 ? d.size() : end + 9;
    }
};

} // namespace

PdfObjects::ValuePtr PdfObjects::Value::entry(const QByteArray& key) const
{
    for (const auto& [k, v] : entries)
        if (k == key)
            return v;
    return nullptr;
}

PdfObjects::PdfObjects(const QByteArray& pdf)
{
    if (!pdf.startsWith("%PDF-"))
        return;
    Reader r(pdf);
    // Tokens are read in order; "n g obj" starts an object. Anything else is passed over.
    // The last two tokens when they were integers, else -1.
    long long previous = -1;
    long long beforePrevious = -1;
    while (!r.atEnd()) {
        r.skipSpace();
        if (r.atEnd())
            break;
        const char c = pdf[r.p];
        if (isDelimiter(c)) {
            const qsizetype before = r.p;
            r.value(0);
            if (r.p == before)
                ++r.p;
            beforePrevious = -1;
            previous = -1;
            continue;
        }
        const QByteArray token = r.regular();
        const long long number = beforePrevious;
        if (token == "obj" && previous >= 0 && number >= 0 && number <= 8'388'607) {
            ValuePtr object = r.valueWithReference(0);
            r.skipSpace();
            const qsizetype save = r.p;
            if (object->type == Value::Type::dictionary && r.regular() == "stream") {
                auto stream = std::make_shared<Value>(*object);
                stream->type = Value::Type::stream;
                r.skipStreamData(*stream);
                object = stream;
            } else {
                r.p = save;
            }
            m_objects.insert(int(number), object);
        } else if (token == "trailer") {
            ValuePtr t = r.value(0);
            if (t->type == Value::Type::dictionary)
                m_trailer = t;
        }
        beforePrevious = previous;
        previous = Reader::integer(token).value_or(-1);
        if (token.isEmpty())
            ++r.p;
    }
}

PdfObjects::ValuePtr PdfObjects::resolve(const ValuePtr& value) const
{
    ValuePtr v = value;
    for (int i = 0; v && v->type == Value::Type::reference && i < 8; ++i)
        v = m_objects.value(v->objectNumber);
    return v && v->type == Value::Type::reference ? nullptr : v;
}

QList<PdfObjects::ValuePtr> PdfObjects::pages() const
{
    ValuePtr root = m_trailer ? resolve(m_trailer->entry("Root")) : nullptr;
    if (!root) {
        // Without a trailer (a cross-reference stream), the catalogue is found by its type.
        for (const ValuePtr& object : m_objects) {
            ValuePtr type = object->entry("Type");
            if (type && type->type == Value::Type::name && type->text == "Catalog") {
                root = object;
                break;
            }
        }
    }
    QList<ValuePtr> result;
    if (!root || root->type != Value::Type::dictionary)
        return result;
    QSet<const Value*> seen;
    // Page tree walk, bounded in depth; a node met twice is not walked again.
    std::function<void(const ValuePtr&, int)> walk = [&](const ValuePtr& node, int depth) {
        if (!node || node->type != Value::Type::dictionary || depth > maximumDepth || seen.contains(node.get()))
            return;
        seen.insert(node.get());
        ValuePtr kids = resolve(node->entry("Kids"));
        if (kids && kids->type == Value::Type::array) {
            for (const ValuePtr& kid : kids->items)
                walk(resolve(kid), depth + 1);
            return;
        }
        ValuePtr type = node->entry("Type");
        if (!type || type->text == "Page")
            result.append(node);
    };
    walk(resolve(root->entry("Pages")), 0);
    return result;
}
