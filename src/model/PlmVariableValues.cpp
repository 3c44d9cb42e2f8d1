#include "model/PlmVariableValues.h"

#include <algorithm>

PlmVariableValues::PlmVariableValues(std::initializer_list<std::pair<QString, PlmValue>> list)
{
    for (const auto& [key, value] : list)
        insert(key, value);
}

PlmVariableValues::PlmVariableValues(const QMap<QString, PlmValue>& map)
{
    for (auto it = map.cbegin(); it != map.cend(); ++it)
        append(it.key(), it.value());
}

QMap<QString, PlmValue> PlmVariableValues::toMap() const
{
    QMap<QString, PlmValue> map;
    for (auto it = cbegin(); it != cend(); ++it)
        map.insert(map.cend(), it.key(), it.value());
    return map;
}

PlmValue PlmVariableValues::value(const QString& key, const PlmValue& defaultValue) const
{
    const const_iterator it = constFind(key);
    return it == cend() ? defaultValue : it.value();
}

const QString& PlmVariableValues::firstKey() const
{
    Q_ASSERT(!isEmpty());
    return d->blocks.front()->entries.front().key;
}

const QString& PlmVariableValues::lastKey() const
{
    Q_ASSERT(!isEmpty());
    return d->blocks.back()->entries.back().key;
}

PlmVariableValues::const_iterator PlmVariableValues::lowerBound(const QString& key) const
{
    if (!d)
        return cend();
    const auto [block, entry] = locate(key);
    return const_iterator(d.data(), block, entry);
}

PlmValue PlmVariableValues::take(const QString& key)
{
    const PlmValue taken = value(key);
    remove(key);
    return taken;
}

QList<QString> PlmVariableValues::keys() const
{
    QList<QString> list;
    list.reserve(size());
    for (auto it = cbegin(); it != cend(); ++it)
        list.append(it.key());
    return list;
}

PlmKeyOrder::PlmKeyOrder(const QList<QString>& keys)
    : m_keys(keys)
    , m_sorted(std::size_t(keys.size()))
{
    for (qsizetype i = 0; i < keys.size(); ++i)
        m_sorted[std::size_t(i)] = i;
    std::stable_sort(m_sorted.begin(), m_sorted.end(), [&](qsizetype a, qsizetype b) { return m_keys[a] < m_keys[b]; });
}

std::vector<const PlmValue*> PlmVariableValues::cellsOf(const PlmKeyOrder& order) const
{
    const QList<QString>& keys = order.keys();
    std::vector<const PlmValue*> cells(std::size_t(keys.size()), nullptr);
    if (!d)
        return cells;
    // Both sides ascend: each step moves past a key or past an entry.
    auto block = d->blocks.cbegin();
    const auto blocksEnd = d->blocks.cend();
    std::size_t entry = 0;
    for (qsizetype position : order.sorted()) {
        const QString& key = keys[position];
        // Whole blocks below the key are skipped on their last key.
        while (block != blocksEnd && (*block)->entries.back().key < key) {
            ++block;
            entry = 0;
        }
        if (block == blocksEnd)
            break;
        const std::vector<Entry>& entries = (*block)->entries;
        while (entries[entry].key < key)
            ++entry; // the block's last key is not below the key
        if (entries[entry].key == key)
            cells[std::size_t(position)] = &entries[entry].value;
    }
    return cells;
}

PlmVariableValues::const_iterator PlmVariableValues::cbegin() const
{
    return const_iterator(d.data(), 0, 0);
}

PlmVariableValues::const_iterator PlmVariableValues::cend() const
{
    return const_iterator(d.data(), d ? qsizetype(d->blocks.size()) : 0, 0);
}

std::pair<qsizetype, qsizetype> PlmVariableValues::locate(const QString& key) const
{
    const auto& blocks = d->blocks;
    // The first block whose last key is not below the key; past the end when every key is.
    const auto block = std::partition_point(blocks.cbegin(), blocks.cend(), [&](const auto& b) {
        return b->entries.back().key < key;
    });
    if (block == blocks.cend())
        return {qsizetype(blocks.size()), 0};
    const auto& entries = (*block)->entries;
    const auto entry = std::partition_point(entries.cbegin(), entries.cend(),
                                            [&](const Entry& e) { return e.key < key; });
    return {qsizetype(block - blocks.cbegin()), qsizetype(entry - entries.cbegin())};
}

PlmVariableValues::const_iterator PlmVariableValues::constFind(const QString& key) const
{
    if (!d)
        return cend();
    const auto [block, entry] = locate(key);
    if (block == qsizetype(d->blocks.size()) || d->blocks[std::size_t(block)]->entries[std::size_t(entry)].key != key)
        return cend();
    return const_iterator(d.data(), block, entry);
}

PlmVariableValues::Data& PlmVariableValues::mutableData()
{
    if (!d)
        d = new Data;
    else if (d->ref.loadRelaxed() != 1)
        d = new Data(*d); // copies the handles; the blocks stay shared
    return *d;
}

PlmVariableValues::Block& PlmVariableValues::mutableBlock(Data& data, qsizetype index)
{
    QExplicitlySharedDataPointer<Block>& block = data.blocks[std::size_t(index)];
    if (block->ref.loadRelaxed() != 1)
        block = new Block(*block);
    return *block;
}

void PlmVariableValues::append(const QString& key, const PlmValue& value)
{
    Data& data = mutableData();
    if (data.blocks.empty() || qsizetype(data.blocks.back()->entries.size()) >= blockSize) {
        data.blocks.emplace_back(new Block);
        data.blocks.back()->entries.reserve(std::size_t(blockSize));
    }
    mutableBlock(data, qsizetype(data.blocks.size()) - 1).entries.push_back({key, value});
    ++data.size;
}

void PlmVariableValues::insert(const QString& key, const PlmValue& value)
{
    if (!d || d->blocks.back()->entries.back().key < key) {
        append(key, value); // building in key order fills blocks one after the other
        return;
    }
    auto [blockIndex, entryIndex] = locate(key);
    Data& data = mutableData();
    Block& block = mutableBlock(data, blockIndex);
    auto& entries = block.entries;
    if (entries[std::size_t(entryIndex)].key == key) {
        entries[std::size_t(entryIndex)].value = value;
        return;
    }
    entries.insert(entries.begin() + entryIndex, Entry{key, value});
    ++data.size;
    if (qsizetype(entries.size()) > 2 * blockSize) {
        // Split in halves, so that a block copied for one change stays small.
        QExplicitlySharedDataPointer<Block> second(new Block);
        second->entries.assign(std::make_move_iterator(entries.begin() + blockSize),
                               std::make_move_iterator(entries.end()));
        entries.resize(std::size_t(blockSize));
        data.blocks.insert(data.blocks.begin() + blockIndex + 1, std::move(second));
    }
}

qsizetype PlmVariableValues::remove(const QString& key)
{
    if (!d)
        return 0;
    const auto [blockIndex, entryIndex] = locate(key);
    if (blockIndex == qsizetype(d->blocks.size())
        || d->blocks[std::size_t(blockIndex)]->entries[std::size_t(entryIndex)].key != key)
        return 0;
    Data& data = mutableData();
    if (data.blocks[std::size_t(blockIndex)]->entries.size() == 1) {
        data.blocks.erase(data.blocks.begin() + blockIndex);
    } else {
        auto& entries = mutableBlock(data, blockIndex).entries;
        entries.erase(entries.begin() + entryIndex);
    }
    if (--data.size == 0)
        d.reset();
    return 1;
}

bool operator==(const PlmVariableValues& a, const PlmVariableValues& b)
{
    if (a.isSharedWith(b))
        return true;
    if (a.size() != b.size())
        return false;
    bool equal = true;
    PlmVariableValues::forEachDifference(a, b, [&](const QString&, const PlmValue* x, const PlmValue* y) {
        equal = equal && x && y && *x == *y;
    });
    return equal;
}
