#pragma once

#include <QList>
#include <QMap>
#include <QSharedData>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <initializer_list>
#include <iterator>
#include <utility>

// The rows of cell texts of a sheet, in one shared store. A grid read from delimited text holds
// the decoded text and one (offset, length) per cell rather than one list per row and one string
// per cell (a large table was mostly allocations and page faults): a cell stays where the reader
// found it, followed by a zero, so a cell handed out as a QString shares the text (no copy, no
// allocation). A workbook's grid is built the same way, its cells written one after another
// into its own text or found in the workbook's shared strings, a second text that every sheet
// shares. A grid given as lists of rows (older tables) keeps them as they are.
// Rows may differ in length. Copies are O(1); a cell edited through operator[] is kept beside
// the shared store, so editing one cell never copies the table.
class PlmInputGrid {
public:
    class RowRef;
    class const_iterator;
    using iterator = const_iterator;
    using value_type = QStringList;
    using size_type = qsizetype;

    PlmInputGrid() = default;
    // Implicit: grids are often written as lists of rows.
    PlmInputGrid(const QList<QStringList>& rows);
    PlmInputGrid(QList<QStringList>&& rows);
    PlmInputGrid(std::initializer_list<QStringList> rows);

    qsizetype size() const;
    qsizetype count() const { return size(); }
    bool isEmpty() const { return size() == 0; }
    qsizetype rowSize(qsizetype row) const;
    // The cell's text (empty past the end of its row); the view lasts while the grid is unchanged.
    QStringView cellView(qsizetype row, qsizetype column) const;
    QString cell(qsizetype row, qsizetype column) const;
    // A row as a list; its cells share the grid's text.
    QStringList at(qsizetype row) const;
    QStringList operator[](qsizetype row) const { return at(row); }
    QStringList first() const { return at(0); }
    QStringList last() const { return at(size() - 1); }
    // Whether some cell of the row is not empty.
    bool rowHasText(qsizetype row) const;
    // The row whose cells may be edited in place.
    RowRef operator[](qsizetype row);

    void reserve(qsizetype rows);
    void append(const QStringList& row);
    PlmInputGrid& operator<<(const QStringList& row)
    {
        append(row);
        return *this;
    }

    QList<QStringList> toList() const;
    QList<QStringList> mid(qsizetype from, qsizetype length = -1) const;
    operator QList<QStringList>() const { return toList(); }

    const_iterator begin() const;
    const_iterator end() const;
    const_iterator cbegin() const;
    const_iterator cend() const;

    friend bool operator==(const PlmInputGrid& a, const PlmInputGrid& b) { return a.equals(b); }
    friend bool operator==(const PlmInputGrid& a, const QList<QStringList>& b) { return a.equals(b); }

    // Maps the pages of a large buffer about to be written in one call rather than one fault
    // per page, where the system allows it.
    static void prefault(void* begin, qsizetype bytes);

    // Fills a grid with cells found in a text, for the readers.
    class TextBuilder;
    // Fills a grid with cells written row by row, for the workbook reader.
    class RunBuilder;

    // A run of the text: `length` characters at `offset`; with sharedRun set in the offset, of
    // the shared text.
    struct Cell {
        quint32 offset = 0;
        quint32 length = 0;
    };
    static constexpr quint32 sharedRun = 0x8000'0000u;
    // The most characters either text may hold, so that every offset fits beside the flag.
    static constexpr qsizetype maximumText = qsizetype(sharedRun) - 1;

private:
    // Either runs of one text (a grid read from delimited text) or the rows as they were given.
    struct Store : QSharedData {
        QString text;
        QString shared;           // runs flagged sharedRun
        QList<Cell> cells;
        QList<qsizetype> rowEnds; // one past each row's last cell in `cells`
        QList<QStringList> rows;  // when there is no text
    };

    bool runs() const { return m_store && !m_store->rowEnds.isEmpty(); }
    QString run(qsizetype index) const;
    QStringView runView(qsizetype index) const;
    const QString& textOf(Cell cell) const { return cell.offset & sharedRun ? m_store->shared : m_store->text; }
    qsizetype rowStart(qsizetype row) const { return row == 0 ? 0 : m_store->rowEnds.at(row - 1); }
    const QString* edited(qsizetype row, qsizetype column) const;
    QString& editableCell(qsizetype row, qsizetype column);
    template <typename Rows>
    bool equals(const Rows& other) const;

    QSharedDataPointer<Store> m_store;
    QMap<std::pair<qsizetype, qsizetype>, QString> m_edits; // by row and column
};

class PlmInputGrid::RowRef {
public:
    QString& operator[](qsizetype column) { return m_grid->editableCell(m_row, column); }
    qsizetype size() const { return m_grid->rowSize(m_row); }
    QStringList toList() const { return std::as_const(*m_grid).at(m_row); }
    operator QStringList() const { return toList(); }

private:
    friend class PlmInputGrid;
    RowRef(PlmInputGrid* grid, qsizetype row) : m_grid(grid), m_row(row) {}
    PlmInputGrid* m_grid;
    qsizetype m_row;
};

class PlmInputGrid::const_iterator {
public:
    using iterator_category = std::input_iterator_tag;
    using value_type = QStringList;
    using difference_type = qsizetype;
    using pointer = void;
    using reference = QStringList;

    const_iterator() = default;
    QStringList operator*() const { return m_grid->at(m_row); }
    const_iterator& operator++()
    {
        ++m_row;
        return *this;
    }
    const_iterator operator++(int)
    {
        const_iterator before = *this;
        ++m_row;
        return before;
    }
    bool operator==(const const_iterator& other) const { return m_row == other.m_row; }

private:
    friend class PlmInputGrid;
    const_iterator(const PlmInputGrid* grid, qsizetype row) : m_grid(grid), m_row(row) {}
    const PlmInputGrid* m_grid = nullptr;
    qsizetype m_row = 0;
};

inline PlmInputGrid::RowRef PlmInputGrid::operator[](qsizetype row) { return {this, row}; }
inline PlmInputGrid::const_iterator PlmInputGrid::begin() const { return {this, 0}; }
inline PlmInputGrid::const_iterator PlmInputGrid::end() const { return {this, size()}; }
inline PlmInputGrid::const_iterator PlmInputGrid::cbegin() const { return begin(); }
inline PlmInputGrid::const_iterator PlmInputGrid::cend() const { return end(); }

// Builds a grid over a text that it then owns: each cell is a run of the text, which the
// builder ends with a zero written over the character after it (a run must never be followed
// by a character still to be read). Runs come in text order.
class PlmInputGrid::TextBuilder {
public:
    explicit TextBuilder(QString text);
    // The writable characters of the text, where the cells are found.
    char16_t* characters() { return m_characters; }
    QStringView text() const { return m_raw->text; }
    // Room for about this many cells, mapped ahead.
    void reserve(qsizetype cells);
    void cell(QStringView run);
    void endRow() { m_raw->rowEnds.append(m_raw->cells.size()); }
    PlmInputGrid take();

private:
    QSharedDataPointer<Store> m_store;
    Store* m_raw = nullptr; // the store, reached without the check for sharing
    char16_t* m_characters = nullptr;
};

// Builds a grid over texts that it owns, row by row: the grid's own text, where write() copies
// each cell followed by a zero, and a shared text given whole to resolveShared() (each run
// followed by a zero too).
class PlmInputGrid::RunBuilder {
public:
    RunBuilder();
    // The run of the characters written at the end of the own text (none when empty).
    Cell write(QStringView characters);
    // A run of the shared text.
    static Cell shared(quint32 offset, quint32 length) { return {length ? offset | sharedRun : 0, length}; }
    // A cell to be found later by its index in the list of runs given to resolveShared().
    static Cell sharedIndex(quint32 index) { return {index | sharedRun, 0}; }
    // Sets the shared text and replaces every sharedIndex() cell by its run of it.
    void resolveShared(QString text, const QList<Cell>& runs);
    qsizetype textSize() const { return m_raw->text.size(); }
    void row(const Cell* cells, qsizetype count);
    qsizetype rows() const { return m_raw->rowEnds.size(); }
    PlmInputGrid take();

private:
    QSharedDataPointer<Store> m_store;
    Store* m_raw = nullptr;
};
