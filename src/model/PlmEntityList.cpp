#include "model/PlmEntityList.h"

#include "model/PlmEntity.h"
#include "model/PlmJson.h"
#include "model/PlmMapDecodingDepth.h"
#include "model/PlmParallel.h"

#include <algorithm>
#include <vector>

PlmEntityList::PlmEntityList(std::initializer_list<PlmEntity> entities)
{
    for (const PlmEntity& entity : entities)
        append(entity);
}

PlmEntityList::PlmEntityList(const QList<PlmEntity>& entities)
{
    reserve(entities.size());
    for (const PlmEntity& entity : entities)
        append(entity);
}

void PlmEntityList::appendHandle(Handle handle)
{
    if (m_chunks.isEmpty() || m_chunks.constLast().size() == chunkSize) {
        // A list that filled a chunk goes on growing; a short one (most groups hold a few
        // members, and a map may hold hundreds of thousands of groups) gets room for what it
        // holds, doubling up to a chunk.
        const bool growing = !m_chunks.isEmpty();
        m_chunks.append(Chunk());
        m_chunks.last().reserve(growing ? chunkSize : 1);
    }
    Chunk& last = m_chunks.last();
    if (last.size() == last.capacity())
        last.reserve(std::min(chunkSize, std::max<qsizetype>(4, 2 * last.size())));
    last.append(std::move(handle));
    ++m_size;
}

qsizetype PlmEntityList::capacity() const
{
    qsizetype room = m_chunks.capacity() * qsizetype(sizeof(Chunk)) / qsizetype(sizeof(Handle));
    for (const Chunk& chunk : m_chunks)
        room += chunk.capacity();
    return room;
}

QList<PlmEntityList::Handle> PlmEntityList::takeTail(qsizetype chunk)
{
    QList<Handle> tail;
    tail.reserve(m_size - chunk * chunkSize);
    for (qsizetype c = chunk; c < m_chunks.size(); ++c)
        tail.append(m_chunks.at(c));
    m_chunks.resize(chunk);
    m_size = chunk * chunkSize;
    return tail;
}

PlmEntity& PlmEntityList::edit(qsizetype i)
{
    Q_ASSERT(i >= 0 && i < m_size);
    // Detaches the list of chunks, then that chunk's handles, then the entity if shared.
    Handle& h = m_chunks[i >> chunkShift][i & (chunkSize - 1)];
    if (h.use_count() != 1)
        h = std::make_shared<PlmEntity>(*h);
    return *h;
}

void PlmEntityList::append(const PlmEntity& entity)
{
    appendHandle(std::make_shared<PlmEntity>(entity));
}

void PlmEntityList::append(PlmEntity&& entity)
{
    appendHandle(std::make_shared<PlmEntity>(std::move(entity)));
}

void PlmEntityList::append(const PlmEntityList& entities)
{
    for (const Chunk& chunk : entities.m_chunks)
        for (const Handle& h : chunk)
            appendHandle(h);
}

void PlmEntityList::prepend(const PlmEntity& entity)
{
    insert(0, entity);
}

void PlmEntityList::insert(qsizetype i, const PlmEntity& entity)
{
    Q_ASSERT(i >= 0 && i <= m_size);
    const qsizetype chunk = i >> chunkShift;
    QList<Handle> tail = takeTail(chunk);
    tail.insert(i - chunk * chunkSize, std::make_shared<PlmEntity>(entity));
    for (Handle& h : tail)
        appendHandle(std::move(h));
}

void PlmEntityList::replace(qsizetype i, const PlmEntity& entity)
{
    Q_ASSERT(i >= 0 && i < m_size);
    m_chunks[i >> chunkShift][i & (chunkSize - 1)] = std::make_shared<PlmEntity>(entity);
}

void PlmEntityList::removeAt(qsizetype i)
{
    Q_ASSERT(i >= 0 && i < m_size);
    const qsizetype chunk = i >> chunkShift;
    QList<Handle> tail = takeTail(chunk);
    tail.removeAt(i - chunk * chunkSize);
    for (Handle& h : tail)
        appendHandle(std::move(h));
}

void PlmEntityList::move(qsizetype from, qsizetype to)
{
    Q_ASSERT(from >= 0 && from < m_size && to >= 0 && to < m_size);
    if (from == to)
        return;
    const qsizetype chunk = std::min(from, to) >> chunkShift;
    QList<Handle> tail = takeTail(chunk);
    tail.move(from - chunk * chunkSize, to - chunk * chunkSize);
    for (Handle& h : tail)
        appendHandle(std::move(h));
}

PlmEntityList PlmEntityList::mid(qsizetype position, qsizetype length) const
{
    PlmEntityList result;
    if (position < 0)
        position = 0;
    const qsizetype end = (length < 0 || position + length > m_size) ? m_size : position + length;
    for (qsizetype i = position; i < end; ++i)
        result.appendHandle(handle(i));
    return result;
}

qsizetype PlmEntityList::indexOfId(const QString& id) const
{
    for (qsizetype i = 0; i < m_size; ++i)
        if (handle(i)->id == id)
            return i;
    return -1;
}

QList<PlmEntity> PlmEntityList::toList() const
{
    QList<PlmEntity> list;
    list.reserve(m_size);
    for (const Chunk& chunk : m_chunks)
        for (const Handle& h : chunk)
            list.append(*h);
    return list;
}

bool PlmEntityList::operator==(const PlmEntityList& other) const
{
    if (m_size != other.m_size)
        return false;
    for (qsizetype c = 0; c < m_chunks.size(); ++c) {
        const Chunk& a = m_chunks.at(c);
        const Chunk& b = other.m_chunks.at(c);
        if (a.constData() == b.constData())
            continue; // the same shared chunk
        for (qsizetype k = 0; k < a.size(); ++k)
            if (a.at(k) != b.at(k) && !(*a.at(k) == *b.at(k)))
                return false;
    }
    return true;
}

PlmEntityList PlmEntityList::fromJson(const PlmJsonValue& value)
{
    PlmEntityList list;
    const qsizetype count = value.size();
    list.reserve(count);
    // The entities of a large document are decoded on all cores: each is a value of its own.
    // Lists inside groups and symbols stay on the thread that meets them.
    constexpr qsizetype parallelFrom = 4096;
    constexpr qsizetype run = 512;
    const PlmMapDecodingDepth::Level level = PlmMapDecodingDepth::currentLevel();
    if (count < parallelFrom || level.groupDepth != 0 || level.mapNesting > 1) {
        for (PlmJsonValue element : value.elements())
            list.appendHandle(std::make_shared<PlmEntity>(PlmEntity::fromJson(element)));
        return list;
    }
    std::vector<PlmJsonValue> elements;
    elements.reserve(size_t(count));
    for (PlmJsonValue element : value.elements())
        elements.push_back(element);
    std::vector<Handle> handles(static_cast<size_t>(count));
    PlmParallel::forRuns(count, run, [&](qsizetype begin, qsizetype end) {
        const PlmMapDecodingDepth::AdoptedLevel adopted(level);
        for (qsizetype i = begin; i < end; ++i)
            handles[size_t(i)] = std::make_shared<PlmEntity>(PlmEntity::fromJson(elements[size_t(i)]));
    });
    for (Handle& handle : handles)
        list.appendHandle(std::move(handle));
    return list;
}

void PlmEntityList::writeJson(PlmJsonWriter& writer) const
{
    writer.beginArray();
    for (const Chunk& chunk : m_chunks)
        for (const Handle& h : chunk)
            h->writeJson(writer);
    writer.endArray();
}

bool PlmEntityList::sharesAllEntities(const PlmEntityList& other) const
{
    if (m_size != other.m_size)
        return false;
    if (m_chunks.isSharedWith(other.m_chunks))
        return true;
    // Both lists cut their chunks at the same places, so chunk c of one faces chunk c of the other.
    for (qsizetype c = 0; c < m_chunks.size(); ++c) {
        const Chunk& mine = m_chunks.at(c);
        const Chunk& theirs = other.m_chunks.at(c);
        if (mine.isSharedWith(theirs))
            continue;
        for (qsizetype i = 0; i < mine.size(); ++i)
            if (mine.at(i) != theirs.at(i))
                return false;
    }
    return true;
}
