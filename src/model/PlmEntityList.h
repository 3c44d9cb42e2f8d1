#pragma once

#include <QList>
#include <QString>
#include <initializer_list>
#include <iterator>
#include <memory>

struct PlmEntity;
class PlmJsonValue;
class PlmJsonWriter;

// The entities of a map or of a group, in drawing order: shared handles to entities, kept in
// fixed-size chunks that are shared too. Copying the list is O(1); changing one entity through
// edit(i) copies that entity, the handles of its chunk and the short list of chunks, never the
// other entities: a few microseconds whatever the size of the map.
//
// Reading:  for (const PlmEntity& e : map.entities) ...;   map.entities.at(i).id
// Changing: map.entities.edit(i).name = "…";   map.entities.replace(i, entity);
//
// A reference returned by edit() is valid until the list is next changed or copied.
// Inserting or removing in the middle rewrites the chunks after that place (linear).
class PlmEntityList {
public:
    class const_iterator {
    public:
        using iterator_category = std::random_access_iterator_tag;
        using value_type = PlmEntity;
        using difference_type = qsizetype;
        using pointer = const PlmEntity*;
        using reference = const PlmEntity&;

        const_iterator() = default;
        const PlmEntity& operator*() const { return m_list->at(m_index); }
        const PlmEntity* operator->() const { return &m_list->at(m_index); }
        const_iterator& operator++() { ++m_index; return *this; }
        const_iterator operator++(int) { const_iterator old = *this; ++m_index; return old; }
        const_iterator& operator--() { --m_index; return *this; }
        const_iterator& operator+=(qsizetype n) { m_index += n; return *this; }
        const_iterator operator+(qsizetype n) const { return const_iterator(m_list, m_index + n); }
        qsizetype operator-(const const_iterator& other) const { return m_index - other.m_index; }
        const PlmEntity& operator[](qsizetype n) const { return m_list->at(m_index + n); }
        bool operator==(const const_iterator& other) const { return m_index == other.m_index; }
        bool operator!=(const const_iterator& other) const { return m_index != other.m_index; }
        bool operator<(const const_iterator& other) const { return m_index < other.m_index; }

    private:
        friend class PlmEntityList;
        const_iterator(const PlmEntityList* list, qsizetype index) : m_list(list), m_index(index) {}
        const PlmEntityList* m_list = nullptr;
        qsizetype m_index = 0;
    };
    using iterator = const_iterator;
    using value_type = PlmEntity;

    PlmEntityList() = default;
    PlmEntityList(std::initializer_list<PlmEntity> entities);
    explicit PlmEntityList(const QList<PlmEntity>& entities);

    qsizetype size() const { return m_size; }
    qsizetype count() const { return m_size; }
    bool isEmpty() const { return m_size == 0; }
    void reserve(qsizetype size) { m_chunks.reserve(size / chunkSize + 1); }
    // The handles the list has room for, its chunks' own list counted as handles: what it costs
    // beyond its entities, kept near its size however short the list.
    qsizetype capacity() const;

    const PlmEntity& at(qsizetype i) const { return *handle(i); }
    const PlmEntity& operator[](qsizetype i) const { return *handle(i); }
    const PlmEntity& first() const { return *handle(0); }
    const PlmEntity& last() const { return *handle(m_size - 1); }
    const_iterator begin() const { return const_iterator(this, 0); }
    const_iterator end() const { return const_iterator(this, m_size); }
    const_iterator cbegin() const { return begin(); }
    const_iterator cend() const { return end(); }

    // The entity at i, made unique to this list first (copy on write).
    PlmEntity& edit(qsizetype i);

    void append(const PlmEntity& entity);
    void append(PlmEntity&& entity);
    void append(const PlmEntityList& entities); // shares the handles
    // Appends entity i of another list, sharing it.
    void appendFrom(const PlmEntityList& other, qsizetype i) { appendHandle(other.handle(i)); }
    void prepend(const PlmEntity& entity);
    void insert(qsizetype i, const PlmEntity& entity);
    void replace(qsizetype i, const PlmEntity& entity);
    void removeAt(qsizetype i);
    void move(qsizetype from, qsizetype to);
    void clear()
    {
        m_chunks.clear();
        m_size = 0;
    }
    PlmEntityList mid(qsizetype position, qsizetype length = -1) const;

    // Index of the first entity with this id, or -1.
    qsizetype indexOfId(const QString& id) const;

    QList<PlmEntity> toList() const;

    // Element by element; shared handles compare equal without looking inside.
    bool operator==(const PlmEntityList& other) const;
    bool operator!=(const PlmEntityList& other) const { return !(*this == other); }

    // A JSON array of entities.
    static PlmEntityList fromJson(const PlmJsonValue& value);
    void writeJson(PlmJsonWriter& writer) const;

    // Whether entity i of both lists is the very same shared entity (for tests of sharing).
    bool sharesEntity(qsizetype i, const PlmEntityList& other, qsizetype j) const
    {
        return handle(i) == other.handle(j);
    }
    // Whether both lists hold the very same shared entities in the same order: then no entity,
    // and no id, can differ. O(1) for a copy, O(chunks) for a list changed and changed back.
    bool sharesAllEntities(const PlmEntityList& other) const;

private:
    using Handle = std::shared_ptr<PlmEntity>;
    using Chunk = QList<Handle>;
    static constexpr qsizetype chunkShift = 8;
    static constexpr qsizetype chunkSize = qsizetype(1) << chunkShift;

    const Handle& handle(qsizetype i) const
    {
        return m_chunks.at(i >> chunkShift).at(i & (chunkSize - 1));
    }
    void appendHandle(Handle handle);
    // The handles from chunk `chunk` on, removed from the list (to be changed and put back).
    QList<Handle> takeTail(qsizetype chunk);

    // Every chunk holds chunkSize handles except the last, which is never empty.
    QList<Chunk> m_chunks;
    qsizetype m_size = 0;
};
