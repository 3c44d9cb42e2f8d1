#pragma once

#include <QList>
#include <QString>
#include <initializer_list>
#include <iterator>
#include <memory>

struct PlmEntity;
class PlmJsonValue;
class PlmJsonWriter;

// The entities of a map or of a group, in drawing order: a list of shared handles to
// immutable-by-default entities. Copying the list is O(1); changing one entity through
// edit(i) copies the list of handles and that one entity, never the others' geometries.
//
// Reading:  for (const PlmEntity& e : map.entities) ...;   map.entities.at(i).id
// Changing: map.entities.edit(i).name = "…";   map.entities.replace(i, entity);
//
// A reference returned by edit() is valid until the list is next changed or copied.
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
        const PlmEntity& operator*() const { return **m_it; }
        const PlmEntity* operator->() const { return m_it->get(); }
        const_iterator& operator++() { ++m_it; return *this; }
        const_iterator operator++(int) { const_iterator old = *this; ++m_it; return old; }
        const_iterator& operator--() { --m_it; return *this; }
        const_iterator& operator+=(qsizetype n) { m_it += n; return *this; }
        const_iterator operator+(qsizetype n) const { return const_iterator(m_it + n); }
        qsizetype operator-(const const_iterator& other) const { return m_it - other.m_it; }
        const PlmEntity& operator[](qsizetype n) const { return *m_it[n]; }
        bool operator==(const const_iterator& other) const { return m_it == other.m_it; }
        bool operator!=(const const_iterator& other) const { return m_it != other.m_it; }
        bool operator<(const const_iterator& other) const { return m_it < other.m_it; }

    private:
        friend class PlmEntityList;
        using Base = QList<std::shared_ptr<PlmEntity>>::const_iterator;
        explicit const_iterator(Base it) : m_it(it) {}
        Base m_it;
    };
    using iterator = const_iterator;
    using value_type = PlmEntity;

    PlmEntityList() = default;
    PlmEntityList(std::initializer_list<PlmEntity> entities);
    explicit PlmEntityList(const QList<PlmEntity>& entities);

    qsizetype size() const { return m_items.size(); }
    qsizetype count() const { return m_items.size(); }
    bool isEmpty() const { return m_items.isEmpty(); }
    void reserve(qsizetype size) { m_items.reserve(size); }

    const PlmEntity& at(qsizetype i) const { return *m_items.at(i); }
    const PlmEntity& operator[](qsizetype i) const { return *m_items.at(i); }
    const PlmEntity& first() const { return *m_items.first(); }
    const PlmEntity& last() const { return *m_items.last(); }
    const_iterator begin() const { return const_iterator(m_items.cbegin()); }
    const_iterator end() const { return const_iterator(m_items.cend()); }
    const_iterator cbegin() const { return begin(); }
    const_iterator cend() const { return end(); }

    // The entity at i, made unique to this list first (copy on write).
    PlmEntity& edit(qsizetype i);

    void append(const PlmEntity& entity);
    void append(PlmEntity&& entity);
    void append(const PlmEntityList& entities); // shares the handles
    void prepend(const PlmEntity& entity);
    void insert(qsizetype i, const PlmEntity& entity);
    void replace(qsizetype i, const PlmEntity& entity);
    void removeAt(qsizetype i);
    void move(qsizetype from, qsizetype to) { m_items.move(from, to); }
    void clear() { m_items.clear(); }
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
        return m_items.at(i) == other.m_items.at(j);
    }

private:
    QList<std::shared_ptr<PlmEntity>> m_items;
};
