#include "model/PlmEntityList.h"

#include "model/PlmEntity.h"
#include "model/PlmJson.h"

PlmEntityList::PlmEntityList(std::initializer_list<PlmEntity> entities)
{
    m_items.reserve(qsizetype(entities.size()));
    for (const PlmEntity& entity : entities)
        m_items.append(std::make_shared<PlmEntity>(entity));
}

PlmEntityList::PlmEntityList(const QList<PlmEntity>& entities)
{
    m_items.reserve(entities.size());
    for (const PlmEntity& entity : entities)
        m_items.append(std::make_shared<PlmEntity>(entity));
}

PlmEntity& PlmEntityList::edit(qsizetype i)
{
    std::shared_ptr<PlmEntity>& handle = m_items[i]; // detaches the list of handles
    if (handle.use_count() != 1)
        handle = std::make_shared<PlmEntity>(*handle);
    return *handle;
}

void PlmEntityList::append(const PlmEntity& entity)
{
    m_items.append(std::make_shared<PlmEntity>(entity));
}

void PlmEntityList::append(PlmEntity&& entity)
{
    m_items.append(std::make_shared<PlmEntity>(std::move(entity)));
}

void PlmEntityList::append(const PlmEntityList& entities)
{
    m_items.append(entities.m_items);
}

void PlmEntityList::prepend(const PlmEntity& entity)
{
    m_items.prepend(std::make_shared<PlmEntity>(entity));
}

void PlmEntityList::insert(qsizetype i, const PlmEntity& entity)
{
    m_items.insert(i, std::make_shared<PlmEntity>(entity));
}

void PlmEntityList::replace(qsizetype i, const PlmEntity& entity)
{
    m_items.replace(i, std::make_shared<PlmEntity>(entity));
}

void PlmEntityList::removeAt(qsizetype i)
{
    m_items.removeAt(i);
}

PlmEntityList PlmEntityList::mid(qsizetype position, qsizetype length) const
{
    PlmEntityList result;
    result.m_items = m_items.mid(position, length);
    return result;
}

qsizetype PlmEntityList::indexOfId(const QString& id) const
{
    for (qsizetype i = 0; i < m_items.size(); ++i)
        if (m_items[i]->id == id)
            return i;
    return -1;
}

QList<PlmEntity> PlmEntityList::toList() const
{
    QList<PlmEntity> list;
    list.reserve(m_items.size());
    for (const auto& handle : m_items)
        list.append(*handle);
    return list;
}

bool PlmEntityList::operator==(const PlmEntityList& other) const
{
    if (m_items.size() != other.m_items.size())
        return false;
    for (qsizetype i = 0; i < m_items.size(); ++i) {
        const auto& a = m_items[i];
        const auto& b = other.m_items[i];
        if (a != b && !(*a == *b))
            return false;
    }
    return true;
}

PlmEntityList PlmEntityList::fromJson(const PlmJsonValue& value)
{
    PlmEntityList list;
    list.reserve(value.size());
    for (PlmJsonValue element : value.elements())
        list.m_items.append(std::make_shared<PlmEntity>(PlmEntity::fromJson(element)));
    return list;
}

void PlmEntityList::writeJson(PlmJsonWriter& writer) const
{
    writer.beginArray();
    for (const auto& handle : m_items)
        handle->writeJson(writer);
    writer.endArray();
}
