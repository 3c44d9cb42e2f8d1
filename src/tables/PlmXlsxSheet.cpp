#include "tables/PlmXlsxSheet.h"

#include "tables/PlmXlsxCell.h"
#include "tables/XMLEventStream.h"
#include "tables/ZIP.h"

#include "model/PlmErrors.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <optional>
#include <vector>

namespace {

[[noreturn]] void fail(const QString& message)
{
    throw PlmWorkError::invalid(message);
}

const QString formulaWarning =
    QStringLiteral("Formules : seules les valeurs déjà enregistrées sont lues ; aucune formule n’est calculée.");
const QString mergedWarning =
    QStringLiteral("Cellules fusionnées : seule la cellule supérieure gauche contient une valeur.");

std::optional<qint64> readInteger(const char* text)
{
    if (!text || !*text)
        return std::nullopt;
    const char* end = text + std::strlen(text);
    if (*text == '+' && end - text > 1 && text[1] != '-')
        ++text;
    qint64 value = 0;
    const auto result = std::from_chars(text, end, value);
    if (result.ec != std::errc() || result.ptr != end)
        return std::nullopt;
    return value;
}

// The type attribute of a cell; `other` keeps the text of an unknown one for its message.
enum class CellType : unsigned char { n, s, str, inlineStr, b, e, d, other };

CellType cellType(const char* type)
{
    if (!type || !*type)
        return CellType::n;
    static constexpr std::pair<const char*, CellType> known[] = {
        {"n", CellType::n}, {"s", CellType::s}, {"str", CellType::str}, {"inlineStr", CellType::inlineStr},
        {"b", CellType::b}, {"e", CellType::e}, {"d", CellType::d}};
    for (const auto& [text, value] : known)
        if (std::strcmp(text, type) == 0)
            return value;
    return CellType::other;
}

// Whether an element's name is this one: most names are told apart by their length alone.
template <std::size_t N>
bool is(const QString& name, const char16_t (&literal)[N])
{
    return name.size() == qsizetype(N - 1)
        && std::equal(literal, literal + N - 1, reinterpret_cast<const char16_t*>(name.constData()));
}

// Where character data goes: only the innermost element's own text counts.
enum class Slot : unsigned char { none, value, text };

struct Cell {
    int depth = 0;
    std::string reference; // short enough to stay inside the string: no allocation per cell
    CellType type = CellType::n;
    std::string otherType;
    qint64 style = 0;
    bool formula = false;
    bool hasValue = false;
    QString value;
    QString inlineText;
};

struct Row {
    int depth = 0;
    qsizetype slot = 0;
    std::vector<PlmInputGrid::Cell> cells;
};

class SheetHandler : public XMLEventHandler {
public:
    SheetHandler(const PlmXlsxSheet::Context& context, qint64& cells)
        : m_context(context)
        , m_cells(cells)
    {
    }

    PlmXlsxSheet::Content content;

    // The grid once every row has ended, its shared strings found.
    PlmInputGrid takeGrid()
    {
        Q_ASSERT(m_finished.empty() && m_rows.empty());
        if (m_usesShared) {
            const PlmXlsxSheet::SharedStrings& strings = m_context.sharedStrings->strings();
            m_grid.resolveShared(strings.text, strings.runs);
        }
        return m_grid.take();
    }

    void startElement(const QString& name, const char** attributes, int depth) override
    {
        m_slots.push_back(Slot::none);
        if (is(name, u"mergeCell"))
            content.warnings.insert(mergedWarning);
        if (m_inCell) {
            if (depth == m_cell.depth + 1 && is(name, u"v") && !m_cell.hasValue) {
                m_cell.hasValue = true;
                m_slots.back() = Slot::value;
            } else if (depth == m_cell.depth + 1 && is(name, u"f")) {
                m_cell.formula = true;
            } else if (is(name, u"t")) {
                m_slots.back() = Slot::text;
            }
            return;
        }
        if (is(name, u"row") && depth >= 2) {
            // Rows keep the order of their start tags, as a walk of the tree would give.
            m_rows.push_back({depth, m_rowCount++, std::move(m_spare)});
            m_rows.back().cells.clear();
            // Rows are mostly as wide as the widest so far; rows × widest is bounded below.
            m_rows.back().cells.reserve(m_widest);
        } else if (is(name, u"c") && !m_rows.empty() && depth == m_rows.back().depth + 1) {
            // One cell is read at a time into the same buffers.
            Cell& cell = m_cell;
            cell.depth = depth;
            cell.formula = false;
            cell.hasValue = false;
            cell.value.resize(0);
            cell.inlineText.resize(0);
            // One pass over the attributes for the three a cell has (the parser refuses repeats).
            const char* reference = nullptr;
            const char* type = nullptr;
            const char* style = nullptr;
            for (int i = 0; attributes[i] && attributes[i + 1]; i += 2) {
                const char* key = attributes[i];
                if (key[0] != '\0' && key[1] == '\0') {
                    if (key[0] == 'r')
                        reference = attributes[i + 1];
                    else if (key[0] == 't')
                        type = attributes[i + 1];
                    else if (key[0] == 's')
                        style = attributes[i + 1];
                }
            }
            if (reference)
                cell.reference = reference;
            else
                cell.reference.clear();
            cell.type = cellType(type);
            if (cell.type == CellType::other)
                cell.otherType = type;
            cell.style = readInteger(style).value_or(0);
            m_inCell = true;
        }
    }

    void characters(QStringView text) override
    {
        if (!m_inCell || m_slots.empty())
            return;
        if (m_slots.back() == Slot::value)
            m_cell.value += text;
        else if (m_slots.back() == Slot::text)
            m_cell.inlineText += text;
    }

    void endElement(int depth) override
    {
        m_slots.pop_back();
        if (m_inCell) {
            if (depth == m_cell.depth) {
                finishCell(m_cell);
                m_inCell = false;
            }
            return;
        }
        if (!m_rows.empty() && depth == m_rows.back().depth) {
            Row row = std::move(m_rows.back());
            m_rows.pop_back();
            const qsizetype width = qsizetype(row.cells.size());
            m_widest = std::max(m_widest, width);
            m_cells += width;
            addRow(std::move(row));
            if (m_rowCount > PlmXlsxSheet::maximumRows
                || qint64(m_rowCount) * m_widest > PlmXlsxSheet::maximumCells
                || m_cells > PlmXlsxSheet::maximumCells)
                fail(QStringLiteral("Table XLSX trop volumineuse."));
        }
    }

private:
    // Rows go to the grid in the order of their start tags: a row ended before the one around
    // it waits for it.
    void addRow(Row row)
    {
        if (row.slot != m_grid.rows()) {
            m_finished.emplace(row.slot, std::move(row.cells));
            return;
        }
        m_grid.row(row.cells.data(), qsizetype(row.cells.size()));
        m_spare = std::move(row.cells);
        for (auto next = m_finished.begin(); next != m_finished.end() && next->first == m_grid.rows();
             next = m_finished.erase(next))
            m_grid.row(next->second.data(), qsizetype(next->second.size()));
    }

    void finishCell(const Cell& cell)
    {
        const int column = columnOf(cell.reference);
        std::vector<PlmInputGrid::Cell>& cells = m_rows.back().cells;
        if (qsizetype(cells.size()) < column)
            cells.resize(std::size_t(column));
        cells[std::size_t(column) - 1] = cellText(cell);
    }

    // Characters copied to the grid's text.
    PlmInputGrid::Cell write(QStringView text)
    {
        if (m_grid.textSize() + text.size() + 1 > PlmInputGrid::maximumText)
            fail(QStringLiteral("Table XLSX trop volumineuse."));
        return m_grid.write(text);
    }

    PlmInputGrid::Cell cellText(const Cell& cell)
    {
        const auto reference = [&cell] { return QString::fromStdString(cell.reference); };
        if (cell.formula) {
            // A formula whose text result is empty keeps an empty value element: that is a
            // stored value, not a missing one.
            const bool emptyText = cell.hasValue && cell.type == CellType::str;
            if (cell.value.isEmpty() && !emptyText)
                fail(QStringLiteral("La cellule %1 contient une formule sans valeur enregistrée. "
                                    "Recalculez le classeur dans votre tableur puis enregistrez-le.")
                         .arg(reference()));
            content.warnings.insert(formulaWarning);
        }
        switch (cell.type) {
        case CellType::s: {
            const auto index = PlmXlsxSheet::readInteger(cell.value);
            if (!index || *index < 0 || !m_context.sharedStrings || !m_context.sharedStrings->has(*index))
                fail(QStringLiteral("Texte XLSX invalide en %1.").arg(reference()));
            // The index for now: the strings may still be being read.
            m_usesShared = true;
            return PlmInputGrid::RunBuilder::sharedIndex(quint32(*index));
        }
        case CellType::inlineStr:
            return write(cell.inlineText);
        case CellType::b:
            return write(cell.value == QLatin1String("1") ? u"Vrai" : u"Faux");
        case CellType::e:
            fail(QStringLiteral("Erreur Excel %1 en %2. Corrigez le classeur avant l’import.").arg(cell.value, reference()));
        case CellType::str:
        case CellType::d:
            return write(cell.value);
        case CellType::n: {
            const PlmXlsxCell::NumberStyle& style = numberStyle(cell.style);
            if (PlmXlsxCell::keepsStoredText(style)) {
                PlmXlsxCell::checkNumber(cell.value, cell.reference);
                return write(cell.value);
            }
            return write(PlmXlsxCell::numberText(cell.value, cell.reference, style));
        }
        case CellType::other:
            break;
        }
        fail(QStringLiteral("Type de cellule XLSX non pris en charge : %1.").arg(QString::fromStdString(cell.otherType)));
    }

    // The number style of a cell style index, looked up once per index.
    const PlmXlsxCell::NumberStyle& numberStyle(qint64 index)
    {
        const bool known = index >= 0 && index < m_context.styleFormats.size();
        const qsizetype slot = known ? qsizetype(index) + 1 : 0;
        if (qsizetype(m_styles.size()) <= slot)
            m_styles.resize(slot + 1);
        std::optional<PlmXlsxCell::NumberStyle>& style = m_styles[slot];
        if (!style) {
            const int formatId = known ? m_context.styleFormats.at(index) : 0;
            style = PlmXlsxCell::numberStyle(formatId, m_context.formats.value(formatId), m_context.dayZero);
        }
        return *style;
    }

    // The column of a reference from its bytes, as PlmXlsxSheet::columnOf reads its text.
    static int columnOf(const std::string& reference)
    {
        int column = 0;
        for (const char c : reference) {
            if (c < 'A' || c > 'Z')
                break;
            column = column * 26 + (c - 'A' + 1);
            if (column > PlmXlsxSheet::maximumColumns)
                fail(QStringLiteral("Trop de colonnes XLSX."));
        }
        if (column == 0)
            fail(QStringLiteral("Adresse de cellule XLSX absente."));
        return column;
    }

    const PlmXlsxSheet::Context& m_context;
    qint64& m_cells;
    std::vector<Slot> m_slots;
    std::vector<Row> m_rows;
    qsizetype m_rowCount = 0; // rows started
    std::vector<PlmInputGrid::Cell> m_spare; // the cells of the last row added, to reuse
    std::map<qsizetype, std::vector<PlmInputGrid::Cell>> m_finished; // ended before an outer row
    PlmInputGrid::RunBuilder m_grid;
    Cell m_cell;
    bool m_inCell = false;
    bool m_usesShared = false;
    qsizetype m_widest = 0;
    std::vector<std::optional<PlmXlsxCell::NumberStyle>> m_styles; // slot 0: an unknown index
};

class SharedStringsHandler : public XMLEventHandler {
public:
    explicit SharedStringsHandler(std::atomic<qint64>& count) : m_count(count) {}

    PlmXlsxSheet::SharedStrings strings;

    void startElement(const QString& name, const char**, int depth) override
    {
        m_slots.push_back(Slot::none);
        if (depth == 2 && is(name, u"si")) {
            m_inString = true;
            m_start = strings.text.size();
        } else if (m_inString && is(name, u"t")) {
            m_slots.back() = Slot::text;
        }
    }

    void characters(QStringView text) override
    {
        if (m_inString && !m_slots.empty() && m_slots.back() == Slot::text)
            strings.text += text;
    }

    void endElement(int depth) override
    {
        m_slots.pop_back();
        if (depth == 2 && m_inString) {
            // No sheet can use more strings than it may hold cells; an endless list of empty
            // strings would only fill memory.
            if (strings.runs.size() >= PlmXlsxSheet::maximumCells)
                fail(QStringLiteral("Table XLSX trop volumineuse."));
            // The part is at most a few hundred million bytes: the offsets fit.
            strings.runs.append({quint32(m_start), quint32(strings.text.size() - m_start)});
            strings.text.append(QChar(u'\0'));
            m_inString = false;
            m_count.store(strings.runs.size(), std::memory_order_release);
            m_count.notify_all();
        }
    }

private:
    std::vector<Slot> m_slots;
    std::atomic<qint64>& m_count; // the strings read so far, for the sheet read meanwhile
    bool m_inString = false;
    qsizetype m_start = 0; // of the current string in the text
};

} // namespace

int PlmXlsxSheet::columnOf(const QString& reference)
{
    int column = 0;
    for (QChar c : reference) {
        if (c < u'A' || c > u'Z')
            break;
        column = column * 26 + (c.unicode() - u'A' + 1);
        if (column > maximumColumns)
            fail(QStringLiteral("Trop de colonnes XLSX."));
    }
    if (column == 0)
        fail(QStringLiteral("Adresse de cellule XLSX absente."));
    return column;
}

// Short texts are converted on the stack.
std::optional<qint64> PlmXlsxSheet::readInteger(QStringView text)
{
    char bytes[32];
    if (text.size() >= qsizetype(sizeof bytes))
        return ::readInteger(text.toUtf8().constData());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c == 0 || c >= 0x80)
            return std::nullopt; // never part of an integer; a NUL would end the text early
        bytes[i] = char(c);
    }
    bytes[text.size()] = '\0';
    return ::readInteger(bytes);
}

namespace {

// The archive's checks come first, then the total inflated, then what the parser found: the
// order of inflating the whole part before parsing it.
void parsePart(const ZIP& zip, const QString& path, qint64& extracted, XMLEventHandler& handler)
{
    XMLEventStream stream(handler);
    extracted += zip.stream(path, [&stream](const char* bytes, qsizetype count) { stream.feed(bytes, count); });
    if (extracted > ZIP::maximumTotalSize)
        fail(QStringLiteral("Classeur décompressé trop volumineux."));
    stream.finish();
}

} // namespace

PlmXlsxSheet::Content PlmXlsxSheet::read(const ZIP& zip, const QString& path, const Context& context, qint64& cells,
                                         qint64& extracted)
{
    SheetHandler handler(context, cells);
    parsePart(zip, path, extracted, handler);
    handler.content.grid = handler.takeGrid();
    return std::move(handler.content);
}

PlmXlsxSheet::SharedStringsReader::SharedStringsReader(const ZIP& zip, const QString& path, qint64 extracted)
{
    m_thread = std::thread([this, &zip, path, extracted]() mutable {
        try {
            SharedStringsHandler handler(m_count);
            parsePart(zip, path, extracted, handler);
            m_strings = std::move(handler.strings);
        } catch (...) {
            m_error = std::current_exception();
        }
        m_count.store(finished, std::memory_order_release);
        m_count.notify_all();
    });
}

PlmXlsxSheet::SharedStringsReader::~SharedStringsReader()
{
    if (m_thread.joinable())
        m_thread.join();
}

void PlmXlsxSheet::SharedStringsReader::wait()
{
    if (m_thread.joinable())
        m_thread.join();
    if (m_error)
        std::rethrow_exception(m_error);
}

bool PlmXlsxSheet::SharedStringsReader::has(qint64 index)
{
    // Strings once counted stay: an index past them waits for more, or for the end.
    for (;;) {
        const qint64 count = m_count.load(std::memory_order_acquire);
        if (count == finished)
            break;
        if (index < count)
            return true;
        m_count.wait(count, std::memory_order_acquire);
    }
    wait();
    return index < m_strings.runs.size();
}

const PlmXlsxSheet::SharedStrings& PlmXlsxSheet::SharedStringsReader::strings()
{
    wait();
    return m_strings;
}
