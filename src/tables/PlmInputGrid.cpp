#include "tables/PlmInputGrid.h"

#if defined(Q_OS_LINUX)
#include <sys/mman.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <limits>
#include <type_traits>
#include <utility>

PlmInputGrid::PlmInputGrid(const QList<QStringList>& rows) : m_store(new Store)
{
    m_store->rows = rows;
}

PlmInputGrid::PlmInputGrid(QList<QStringList>&& rows) : m_store(new Store)
{
    m_store->rows = std::move(rows);
}

PlmInputGrid::PlmInputGrid(std::initializer_list<QStringList> rows) : m_store(new Store)
{
    m_store->rows = QList<QStringList>(rows);
}

qsizetype PlmInputGrid::size() const
{
    if (!m_store)
        return 0;
    return runs() ? m_store->rowEnds.size() : m_store->rows.size();
}

qsizetype PlmInputGrid::rowSize(qsizetype row) const
{
    if (row < 0 || row >= size())
        return 0;
    if (!runs())
        return m_store->rows.at(row).size();
    return m_store->rowEnds.at(row) - rowStart(row);
}

const QString* PlmInputGrid::edited(qsizetype row, qsizetype column) const
{
    if (m_edits.isEmpty())
        return nullptr;
    const auto found = m_edits.constFind({row, column});
    return found == m_edits.cend() ? nullptr : &*found;
}

QString PlmInputGrid::run(qsizetype index) const
{
    const Cell cell = m_store->cells.at(index);
    if (cell.length == 0)
        return QString();
    // A run of the text, ended by a zero: the cell shares the text's block.
    QString& text = const_cast<QString&>(textOf(cell));
    QArrayData* block = text.data_ptr().d_ptr();
    block->ref();
    char16_t* begin = const_cast<char16_t*>(reinterpret_cast<const char16_t*>(text.constData())) + (cell.offset & ~sharedRun);
    return QString(QString::DataPointer(static_cast<QTypedArrayData<char16_t>*>(block), begin, cell.length));
}

QStringView PlmInputGrid::runView(qsizetype index) const
{
    const Cell cell = m_store->cells.at(index);
    return QStringView(textOf(cell).constData() + (cell.offset & ~sharedRun), cell.length);
}

QStringView PlmInputGrid::cellView(qsizetype row, qsizetype column) const
{
    if (column < 0 || column >= rowSize(row))
        return QStringView();
    if (const QString* text = edited(row, column))
        return *text;
    return runs() ? runView(rowStart(row) + column) : QStringView(m_store->rows.at(row).at(column));
}

QString PlmInputGrid::cell(qsizetype row, qsizetype column) const
{
    if (column < 0 || column >= rowSize(row))
        return QString();
    if (const QString* text = edited(row, column))
        return *text;
    return runs() ? run(rowStart(row) + column) : m_store->rows.at(row).at(column);
}

QStringList PlmInputGrid::at(qsizetype row) const
{
    Q_ASSERT(row >= 0 && row < size());
    if (!runs() && m_edits.isEmpty())
        return m_store->rows.at(row);
    QStringList cells;
    const qsizetype width = rowSize(row);
    cells.reserve(width);
    for (qsizetype c = 0; c < width; ++c)
        cells.append(cell(row, c));
    return cells;
}

bool PlmInputGrid::rowHasText(qsizetype row) const
{
    const qsizetype width = rowSize(row);
    for (qsizetype c = 0; c < width; ++c)
        if (!cellView(row, c).isEmpty())
            return true;
    return false;
}

QString& PlmInputGrid::editableCell(qsizetype row, qsizetype column)
{
    Q_ASSERT(column >= 0 && column < rowSize(row));
    auto found = m_edits.find({row, column});
    if (found == m_edits.end())
        found = m_edits.insert({row, column}, std::as_const(*this).cell(row, column));
    return *found;
}

void PlmInputGrid::reserve(qsizetype rows)
{
    if (!m_store)
        m_store = new Store;
    if (!runs())
        m_store->rows.reserve(rows);
}

void PlmInputGrid::append(const QStringList& row)
{
    if (runs()) {
        // Rows added to a grid read from text: it is kept as lists from then on.
        QList<QStringList> rows = toList();
        m_edits.clear();
        m_store = new Store;
        m_store->rows = std::move(rows);
    }
    if (!m_store)
        m_store = new Store;
    m_store->rows.append(row);
}

QList<QStringList> PlmInputGrid::toList() const
{
    if (!runs() && m_edits.isEmpty())
        return m_store ? m_store->rows : QList<QStringList>();
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
    m_raw->cells.append({quint32(offset), quint32(run.size())});
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

PlmInputGrid::RunBuilder::RunBuilder() : m_store(new Store)
{
    m_raw = m_store.data();
}

PlmInputGrid::Cell PlmInputGrid::RunBuilder::write(QStringView characters)
{
    if (characters.isEmpty())
        return {};
    Q_ASSERT(m_raw->text.size() + characters.size() < maximumText);
    const Cell cell{quint32(m_raw->text.size()), quint32(characters.size())};
    m_raw->text.append(characters);
    m_raw->text.append(QChar(u'\0'));
    return cell;
}

void PlmInputGrid::RunBuilder::resolveShared(QString text, const QList<Cell>& runs)
{
    m_raw->shared = std::move(text);
    for (Cell& cell : m_raw->cells) {
        if (cell.offset & sharedRun) {
            const Cell run = runs.at(cell.offset & ~sharedRun);
            cell = shared(run.offset, run.length);
        }
    }
}

void PlmInputGrid::RunBuilder::row(const Cell* cells, qsizetype count)
{
    const qsizetype start = m_raw->cells.size();
    m_raw->cells.resize(start + count); // grows geometrically
    std::copy(cells, cells + count, m_raw->cells.data() + start);
    m_raw->rowEnds.append(m_raw->cells.size());
}

PlmInputGrid PlmInputGrid::RunBuilder::take()
{
    PlmInputGrid grid;
    if (m_raw->rowEnds.isEmpty())
        grid.m_store = new Store; // no rows: an empty list of rows
    else
        grid.m_store = std::move(m_store);
    m_raw = nullptr;
    return grid;
}
