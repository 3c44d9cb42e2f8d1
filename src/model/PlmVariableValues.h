#pragma once

#include "model/PlmValue.h"

#include <QExplicitlySharedDataPointer>
#include <QList>
#include <QMap>
#include <QSharedData>
#include <QString>

#include <algorithm>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The values of one variable keyed by entity id, in key order, with the reading interface of
// QMap<QString, PlmValue> (constFind, value, contains, key/value iterators, insert, remove).
//
// A work is copied on every edit and kept by undo, so a copy is O(1) and a copy changed in one
// cell must not copy the column: the entries sit in sorted blocks of at most 2 × blockSize,
// each shared between copies, under a shared list of block handles. Changing one cell of a
// copy copies the list of handles (rows / blockSize of them) and that one block. Two columns
// that share a block can skip it when looking for their differences (forEachDifference).
class PlmKeyOrder;

class PlmVariableValues {
public:
    static constexpr qsizetype blockSize = 64;

    class const_iterator;
    using iterator = const_iterator; // cells change through insert() and remove() only
    using key_type = QString;
    using mapped_type = PlmValue;
    using size_type = qsizetype;

    PlmVariableValues() = default;
    PlmVariableValues(std::initializer_list<std::pair<QString, PlmValue>> list);
    // Implicit, so that code building a QMap of cells can hand it over as before.
    PlmVariableValues(const QMap<QString, PlmValue>& map);
    QMap<QString, PlmValue> toMap() const;

    qsizetype size() const { return d ? d->size : 0; }
    qsizetype count() const { return size(); }
    bool isEmpty() const { return size() == 0; }
    bool empty() const { return isEmpty(); }

    bool contains(const QString& key) const;
    qsizetype count(const QString& key) const { return contains(key) ? 1 : 0; }
    PlmValue value(const QString& key, const PlmValue& defaultValue = PlmValue()) const;
    PlmValue operator[](const QString& key) const { return value(key); }
    // The first and last keys; the column must not be empty.
    const QString& firstKey() const;
    const QString& lastKey() const;
    // The first cell whose key is not below the key.
    const_iterator lowerBound(const QString& key) const;
    const_iterator constFind(const QString& key) const;
    const_iterator find(const QString& key) const;
    QList<QString> keys() const;

    const_iterator cbegin() const;
    const_iterator cend() const;
    const_iterator constBegin() const;
    const_iterator constEnd() const;
    const_iterator begin() const;
    const_iterator end() const;

    // Sets the cell of a key (replacing its value).
    void insert(const QString& key, const PlmValue& value);
    // The same; the position is a hint only (kept for code written against QMap).
    void insert(const const_iterator& hint, const QString& key, const PlmValue& value);
    // Removes the cell of a key; returns 1 if there was one, else 0.
    qsizetype remove(const QString& key);
    // Removes the cell of a key and returns its value (the default value without one).
    PlmValue take(const QString& key);
    void clear() { d.reset(); }

    // The cell of each key of a list, in the list's order (null for a key without cell), found
    // by one walk through the column beside the keys in key order instead of a search per key.
    // The pointers stay valid while this column is neither changed nor destroyed.
    std::vector<const PlmValue*> cellsOf(const PlmKeyOrder& keys) const;

    // Same storage: equal without looking.
    bool isSharedWith(const PlmVariableValues& other) const { return d == other.d; }

    friend bool operator==(const PlmVariableValues& a, const PlmVariableValues& b);
    friend bool operator!=(const PlmVariableValues& a, const PlmVariableValues& b) { return !(a == b); }

    // Calls f(key, fromValue, toValue) in key order for every key whose cell may differ between
    // two columns: present on one side only (the other pointer null), or present on both but
    // not within a block the two share. Shared blocks are skipped whole, so the walk costs the
    // blocks that differ, not the rows.
    template <typename F>
    static void forEachDifference(const PlmVariableValues& from, const PlmVariableValues& to, F&& f);

private:
    struct Entry {
        QString key;
        PlmValue value;
    };
    struct Block : QSharedData {
        std::vector<Entry> entries; // sorted by key, never empty
    };
    struct Data : QSharedData {
        std::vector<QExplicitlySharedDataPointer<Block>> blocks;
        qsizetype size = 0;
    };

    // The block that holds the key or would receive it, and the entry position within it.
    std::pair<qsizetype, qsizetype> locate(const QString& key) const;
    Data& mutableData();
    Block& mutableBlock(Data& data, qsizetype index);
    void append(const QString& key, const PlmValue& value); // key greater than every key

    QExplicitlySharedDataPointer<Data> d;

    friend class const_iterator;
};

// A list of keys with their positions in key order, sorted once for a list that is looked up
// in many columns (the map's entity identifiers: each variable, each change).
class PlmKeyOrder {
public:
    PlmKeyOrder() = default;
    explicit PlmKeyOrder(const QList<QString>& keys);
    const QList<QString>& keys() const { return m_keys; }
    // Positions in keys(), the smaller key first (equal keys in list order).
    const std::vector<qsizetype>& sorted() const { return m_sorted; }

private:
    QList<QString> m_keys;
    std::vector<qsizetype> m_sorted;
};

class PlmVariableValues::const_iterator {
public:
    using iterator_category = std::bidirectional_iterator_tag;
    using value_type = PlmValue;
    using difference_type = qptrdiff;
    using pointer = const PlmValue*;
    using reference = const PlmValue&;

    const_iterator() = default;

    const QString& key() const { return entry().key; }
    const PlmValue& value() const { return entry().value; }
    const PlmValue& operator*() const { return value(); }
    const PlmValue* operator->() const { return &value(); }

    const_iterator& operator++()
    {
        if (++m_entry == qsizetype(m_data->blocks[std::size_t(m_block)]->entries.size())) {
            ++m_block;
            m_entry = 0;
        }
        return *this;
    }
    const_iterator operator++(int)
    {
        const_iterator before = *this;
        ++*this;
        return before;
    }
    const_iterator& operator--()
    {
        if (m_entry == 0) {
            --m_block;
            m_entry = qsizetype(m_data->blocks[std::size_t(m_block)]->entries.size());
        }
        --m_entry;
        return *this;
    }
    const_iterator operator--(int)
    {
        const_iterator before = *this;
        --*this;
        return before;
    }
    bool operator==(const const_iterator& other) const
    {
        return m_block == other.m_block && m_entry == other.m_entry;
    }
    bool operator!=(const const_iterator& other) const { return !(*this == other); }

private:
    friend class PlmVariableValues;
    const_iterator(const Data* data, qsizetype block, qsizetype entry)
        : m_data(data)
        , m_block(block)
        , m_entry(entry)
    {
    }
    const Entry& entry() const { return m_data->blocks[std::size_t(m_block)]->entries[std::size_t(m_entry)]; }
    const Block* block() const { return m_data->blocks[std::size_t(m_block)].data(); }
    bool atEnd() const { return !m_data || m_block == qsizetype(m_data->blocks.size()); }

    const Data* m_data = nullptr;
    qsizetype m_block = 0;
    qsizetype m_entry = 0;
};

inline bool PlmVariableValues::contains(const QString& key) const
{
    return constFind(key) != cend();
}
inline PlmVariableValues::const_iterator PlmVariableValues::find(const QString& key) const
{
    return constFind(key);
}
inline PlmVariableValues::const_iterator PlmVariableValues::constBegin() const
{
    return cbegin();
}
inline PlmVariableValues::const_iterator PlmVariableValues::constEnd() const
{
    return cend();
}
inline PlmVariableValues::const_iterator PlmVariableValues::begin() const
{
    return cbegin();
}
inline PlmVariableValues::const_iterator PlmVariableValues::end() const
{
    return cend();
}
inline void PlmVariableValues::insert(const const_iterator&, const QString& key, const PlmValue& value)
{
    insert(key, value);
}

template <typename F>
void PlmVariableValues::forEachDifference(const PlmVariableValues& from, const PlmVariableValues& to, F&& f)
{
    if (from.isSharedWith(to))
        return;
    const_iterator a = from.cbegin();
    const_iterator b = to.cbegin();
    while (!a.atEnd() || !b.atEnd()) {
        if (!a.atEnd() && !b.atEnd()) {
            if (a.m_entry == 0 && b.m_entry == 0 && a.block() == b.block()) {
                ++a.m_block;
                ++b.m_block;
                continue;
            }
            const QString& x = a.key();
            const QString& y = b.key();
            const int order = x.constData() == y.constData() && x.size() == y.size() ? 0 : (x < y ? -1 : (y < x ? 1 : 0));
            if (order == 0) {
                f(y, &a.value(), &b.value());
                ++a;
                ++b;
            } else if (order < 0) {
                f(x, &a.value(), static_cast<const PlmValue*>(nullptr));
                ++a;
            } else {
                f(y, static_cast<const PlmValue*>(nullptr), &b.value());
                ++b;
            }
        } else if (!a.atEnd()) {
            f(a.key(), &a.value(), static_cast<const PlmValue*>(nullptr));
            ++a;
        } else {
            f(b.key(), static_cast<const PlmValue*>(nullptr), &b.value());
            ++b;
        }
    }
}

// A JSON object of cells, as the dictionary it replaces: keys sorted by the writer.
template <>
struct PlmJsonCoding<PlmVariableValues> {
    static PlmVariableValues read(const PlmJsonValue& value)
    {
        PlmVariableValues values;
        for (auto [key, member] : value.members()) // throws unless an object; a repeated key keeps the last
            values.insert(QString::fromUtf8(key.data(), qsizetype(key.size())), PlmJsonCoding<PlmValue>::read(member));
        return values;
    }
    static void write(PlmJsonWriter& writer, const PlmVariableValues& values)
    {
        // Keys are kept in UTF-16 order, the writer sorts by UTF-8 bytes; the two differ only
        // around surrogates, so sort only when needed.
        std::vector<std::pair<std::string, PlmVariableValues::const_iterator>> keys;
        keys.reserve(std::size_t(values.size()));
        for (auto it = values.cbegin(); it != values.cend(); ++it)
            keys.emplace_back(it.key().toStdString(), it);
        const auto byKey = [](const auto& x, const auto& y) { return x.first < y.first; };
        if (!std::is_sorted(keys.begin(), keys.end(), byKey))
            std::sort(keys.begin(), keys.end(), byKey);
        writer.beginObject();
        for (const auto& [key, it] : keys) {
            writer.key(std::string_view(key));
            PlmJsonCoding<PlmValue>::write(writer, it.value());
        }
        writer.endObject();
    }
};
