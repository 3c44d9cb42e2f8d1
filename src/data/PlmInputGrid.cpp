#include "data/PlmInputGrid.h"

#if defined(Q_OS_LINUX)
#include <sys/mman.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <limits>
#include <type_traits>
#include <utility>

PlmInputGrid::PlmInputGrid(const QList<QStringList>& rows)
{
    reserve(rows.size());
    for (const QStringList& row : rows)
        append(row);
}

PlmInputGrid::PlmInputGrid(QList<QStringList>&& rows)
{
    // The cells are moved, so no count of references changes.
    QList<QStringList> taken = std::move(rows);
    m_store = new Store;
    Store* store = m_store.data();
    qsizetype total = 0;
    for (const QStringList& row : std::as_const(taken))
        total += row.size();
    store->strings.reserve(total);
    store->cells.reserve(total);
    store->rowEnds.reserve(taken.size());
    for (QStringList& row : taken) {
        for (QString& cell : row) {
            store->cells.append({quint32(store->strings.size()), -1});
            store->strings.append(std::move(cell));
        }
        store->rowEnds.append(store->cells.size());
        row = QStringList();
    }
}

PlmInputGrid::PlmInputGrid(std::initializer_list<QStringList> rows)
{
    reserve(qsizetype(rows.size()));
    for (const QStringList& row : rows)
        append(row);
}

qsizetype PlmInputGrid::rowSize(qsizetype row) const
{
    if (row < 0 || row >= size())
        return 0;
    const qsizetype end = m_store->rowEnds.at(row);
    return end - (row == 0 ? 0 : m_store->rowEnds.at(row - 1));
}

qsizetype PlmInputGrid::cellIndex(qsizetype row, qsizetype column) const
{
    if (row < 0 || row >= size() || column < 0)
        return -1;
    const qsizetype start = row == 0 ? 0 : m_store->rowEnds.at(row - 1);
    const qsizetype index = start + column;
    return index < m_store->rowEnds.at(row) ? index : -1;
}

QString PlmInputGrid::storedCell(qsizetype index) const
{
    if (!m_edits.isEmpty()) {
        const auto edited = m_edits.constFind(index);
        if (edited != m_edits.cend())
            return *edited;
    }
    const Cell cell = m_store->cells.at(index);
    if (cell.length < 0)
        return m_store->strings.at(cell.offset);
    if (cell.length == 0)
        return QString();
    // A run of the text, ended by a zero: the cell shares the text's block.
    QArrayData* block = const_cast<QString&>(m_store->text).data_ptr().d_ptr();
    block->ref();
    char16_t* begin = const_cast<char16_t*>(reinterpret_cast<const char16_t*>(m_store->text.constData())) + cell.offset;
    return QString(QString::DataPointer(static_cast<QTypedArrayData<char16_t>*>(block), begin, cell.length));
}

QStringView PlmInputGrid::storedView(qsizetype index) const
{
    if (!m_edits.isEmpty()) {
        const auto edited = m_edits.constFind(index);
        if (edited != m_edits.cend())
            return *edited;
    }
    const Cell cell = m_store->cells.at(index);
    if (cell.length < 0)
        return m_store->strings.at(cell.offset);
    return QStringView(m_store->text.constData() + cell.offset, cell.length);
}

QStringView PlmInputGrid::cellView(qsizetype row, qsizetype column) const
{
    const qsizetype index = cellIndex(row, column);
    return index < 0 ? QStringView() : storedView(index);
}

QString PlmInputGrid::cell(qsizetype row, qsizetype column) const
{
    const qsizetype index = cellIndex(row, column);
    return index < 0 ? QString() : storedCell(index);
}

QStringList PlmInputGrid::at(qsizetype row) const
{
    Q_ASSERT(row >= 0 && row < size());
    const qsizetype start = row == 0 ? 0 : m_store->rowEnds.at(row - 1);
    const qsizetype end = m_store->rowEnds.at(row);
    QStringList cells;
    cells.reserve(end - start);
    for (qsizetype i = start; i < end; ++i)
        cells.append(storedCell(i));
    return cells;
}

bool PlmInputGrid::rowHasText(qsizetype row) const
{
    const qsizetype start = row == 0 ? 0 : m_store->rowEnds.at(row - 1);
    const qsizetype end = m_store->rowEnds.at(row);
    for (qsizetype i = start; i < end; ++i)
        if (!storedView(i).isEmpty())
            return true;
    return false;
}

QString& PlmInputGrid::editableCell(qsizetype row, qsizetype column)
{
    const qsizetype index = std::as_const(*this).cellIndex(row, column);
    Q_ASSERT(index >= 0);
    auto edited = m_edits.find(index);
    if (edited == m_edits.end())
        edited = m_edits.insert(index, std::as_const(*this).storedCell(index));
    return *edited;
}

void PlmInputGrid::reserve(qsizetype rows)
{
    if (!m_store)
        m_store = new Store;
    m_store->rowEnds.reserve(rows);
}

void PlmInputGrid::append(const QStringList& row)
{
    if (!m_store)
        m_store = new Store;
    Store& store = *m_store;
    for (const QString& cell : row) {
        store.cells.append({quint32(store.strings.size()), -1});
        store.strings.append(cell);
    }
    store.rowEnds.append(store.cells.size());
}

QList<QStringList> PlmInputGrid::toList() const
{
    QList<QStringList> rows;
    rows.reserve(size());
    for (qsizetype r = 0; r < size(); ++r)
        rows.append(at(r));
    return rows;
}

QList<QStringList> PlmInputGrid::mid(qsizetype from, qsizetype length) const
{
    from = std::clamp<qsizetype>(from, 0, size());
    const qsizetype end = length < 0 ? size() : std::min(size(), from + length);
    QList<QStringList> rows;
    rows.reserve(end - from);
    for (qsizetype r = from; r < end; ++r)
        rows.append(at(r));
    return rows;
}

void PlmInputGrid::prefault(void* begin, qsizetype bytes)
{
#if defined(Q_OS_LINUX) && defined(MADV_POPULATE_WRITE)
    static const quintptr page = quintptr(sysconf(_SC_PAGESIZE));
    if (bytes < qsizetype(16 * page))
        return;
    // Only whole pages inside the buffer: the advice is refused (harmlessly) on older systems.
    const quintptr first = (quintptr(begin) + page - 1) & ~(page - 1);
    const quintptr last = (quintptr(begin) + quintptr(bytes)) & ~(page - 1);
    if (last > first)
        madvise(reinterpret_cast<void*>(first), last - first, MADV_POPULATE_WRITE);
#else
    Q_UNUSED(begin);
    Q_UNUSED(bytes);
#endif
}

template <typename Rows>
bool PlmInputGrid::equals(const Rows& other) const
{
    if (size() != other.size())
        return false;
    for (qsizetype r = 0; r < size(); ++r) {
        const qsizetype width = rowSize(r);
        if constexpr (std::is_same_v<Rows, PlmInputGrid>) {
            if (width != other.rowSize(r))
                return false;
            for (qsizetype c = 0; c < width; ++c)
                if (cellView(r, c) != other.cellView(r, c))
                    return false;
        } else {
            const QStringList& row = other.at(r);
            if (width != row.size())
                return false;
            for (qsizetype c = 0; c < width; ++c)
                if (cellView(r, c) != row.at(c))
                    return false;
        }
    }
    return true;
}

template bool PlmInputGrid::equals(const PlmInputGrid&) const;
template bool PlmInputGrid::equals(const QList<QStringList>&) const;

PlmInputGrid::TextBuilder::TextBuilder(QString text) : m_store(new Store)
{
    m_raw = m_store.data();
    m_raw->text = std::move(text);
    m_raw->text.detach(); // the cells end in it, and only the builder writes there
    m_characters = reinterpret_cast<char16_t*>(m_raw->text.data());
}

void PlmInputGrid::TextBuilder::cell(QStringView run)
{
    if (run.isEmpty()) {
        m_raw->cells.append({0, 0});
        return;
    }
    const qsizetype offset = run.utf16() - m_characters;
    Q_ASSERT(offset >= 0 && offset + run.size() <= m_raw->text.size());
    // The text is at most 64 MiB, far below the range of an offset.
    static_assert(std::numeric_limits<quint32>::max() > 2 * 67'108'864);
    m_characters[offset + run.size()] = u'\0';
    m_raw->cells.append({quint32(offset), qint32(run.size())});
}

void PlmInputGrid::TextBuilder::reserve(qsizetype cells)
{
    m_raw->cells.reserve(cells);
    prefault(m_raw->cells.data(), cells * qsizetype(sizeof(Cell)));
}

PlmInputGrid PlmInputGrid::TextBuilder::take()
{
    PlmInputGrid grid;
    grid.m_store = std::move(m_store);
    m_raw = nullptr;
    m_characters = nullptr;
    return grid;
}
