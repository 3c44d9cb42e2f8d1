#include "tables/PlmInputReader.h"

#include "model/PlmErrors.h"

#include <QHash>
#include <QStringDecoder>

#include <algorithm>
#include <cstring>
#include <functional>
#include <array>
#include <optional>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

const QChar quote = u'"';

[[noreturn]] void fail(const char16_t* message)
{
    throw PlmWorkError::invalid(QString::fromUtf16(message));
}

[[noreturn]] void tooLarge()
{
    fail(u"Table trop volumineuse.");
}

// UTF-16 after its byte-order mark; none for an odd byte count or an unpaired surrogate.
std::optional<QString> decodeUtf16(const QByteArray& data, bool littleEndian)
{
    const qsizetype bytes = data.size() - 2;
    if (bytes % 2 != 0)
        return std::nullopt;
    QString text(bytes / 2, Qt::Uninitialized);
    const auto* in = reinterpret_cast<const unsigned char*>(data.constData()) + 2;
    char16_t* out = reinterpret_cast<char16_t*>(text.data());
    for (qsizetype i = 0; i < bytes / 2; ++i) {
        const unsigned char a = in[2 * i], b = in[2 * i + 1];
        out[i] = littleEndian ? char16_t(a | (b << 8)) : char16_t((a << 8) | b);
    }
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate()) {
            if (i + 1 >= text.size() || !text.at(i + 1).isLowSurrogate())
                return std::nullopt;
            ++i;
        } else if (c.isLowSurrogate()) {
            return std::nullopt;
        }
    }
    return text;
}

std::optional<QString> decodeUtf8(const QByteArray& data)
{
    // The mark is kept here and removed once, with the marks of the other encodings.
    QStringDecoder decoder(QStringConverter::Utf8,
                           QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom);
    QString text(decoder.requiredSpace(data.size()), Qt::Uninitialized);
    PlmInputGrid::prefault(text.data(), text.size() * qsizetype(sizeof(QChar)));
    const QChar* end = decoder.appendToBuffer(text.data(), data);
    if (decoder.hasError())
        return std::nullopt;
    text.truncate(end - text.constData());
    return text;
}

// Windows-1252; the five bytes the code page leaves undefined make the decoding fail.
std::optional<QString> decodeWindows1252(const QByteArray& data)
{
    static constexpr std::array<char16_t, 32> high = {
        0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
    QString text(data.size(), Qt::Uninitialized);
    char16_t* out = reinterpret_cast<char16_t*>(text.data());
    for (qsizetype i = 0; i < data.size(); ++i) {
        const unsigned char byte = static_cast<unsigned char>(data.at(i));
        char16_t c = byte;
        if (byte >= 0x80 && byte < 0xA0) {
            c = high[byte - 0x80];
            if (c == 0)
                return std::nullopt;
        }
        out[i] = c;
    }
    return text;
}

bool isLineBreak(QChar c)
{
    const char16_t u = c.unicode();
    return u == u'\n' || u == u'\r' || u == 0x0B || u == 0x0C || u == 0x85 || u == 0x2028 || u == 0x2029;
}

bool hasUnevenRows(const PlmInputGrid& grid)
{
    std::optional<qsizetype> width;
    for (qsizetype r = 0; r < grid.size(); ++r) {
        if (!grid.rowHasText(r))
            continue;
        if (width && *width != grid.rowSize(r))
            return true;
        width = grid.rowSize(r);
    }
    return false;
}

} // namespace

namespace {

// Whether the code point at i extends the character before it (a combining mark or a
// joiner), which then is no longer a bare separator or quote.
bool extendsPrevious(QStringView text, qsizetype i)
{
    if (i >= text.size())
        return false;
    char32_t c = text.at(i).unicode();
    if (c < 0x300)
        return false; // below the first combining mark: the usual case, answered at once
    if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
        c = QChar::surrogateToUcs4(text.at(i).unicode(), text.at(i + 1).unicode());
    if (c == 0x200D)
        return true;
    const QChar::Category category = QChar::category(c);
    return category == QChar::Mark_NonSpacing || category == QChar::Mark_SpacingCombining
        || category == QChar::Mark_Enclosing;
}

// The fields and rows of a split, counted against the limits. The row limit is checked on
// the row that receives the field, so no row (the last one included) ever holds more than
// the allowed number of fields.
struct Limits {
    qsizetype fieldCount = 0;
    qsizetype rowCount = 0;

    void field(qsizetype fieldsInRow)
    {
        ++fieldCount;
        if (fieldsInRow > PlmInputReader::maximumFieldsPerRow || fieldCount > PlmInputReader::maximumFields)
            tooLarge();
    }
    void row()
    {
        ++rowCount;
        if (rowCount > PlmInputReader::maximumRows)
            tooLarge();
    }
};

// Keeps every field in a grid over the text being split: a field that is a run of the text
// stays there (the builder ends it with a zero), so no cell is allocated.
struct GridSink {
    Limits limits;
    PlmInputGrid::TextBuilder& builder;
    qsizetype fieldsInRow = 0;

    char16_t* writable() { return builder.characters(); }
    void field(QStringView text)
    {
        builder.cell(text);
        limits.field(++fieldsInRow);
    }
    bool done() const { return false; }
    void endRow()
    {
        limits.row();
        builder.endRow();
        fieldsInRow = 0;
    }
};

// Keeps every field as a string of its own, for a text the split may not write to.
struct ListSink {
    Limits limits;
    QList<QStringList> rows;
    QStringList row;

    char16_t* writable() { return nullptr; }
    void field(QStringView text)
    {
        row.append(text.toString());
        limits.field(row.size());
    }
    bool done() const { return false; }
    void endRow()
    {
        limits.row();
        const qsizetype width = row.size();
        rows.append(std::move(row));
        row = QStringList();
        row.reserve(width); // rows are mostly as wide as the one before
    }
};

// Keeps only what the separator's score reads: the width of the sampled rows and whether
// they hold anything; the walk stops after them.
struct ScoreSink {
    Limits limits;
    QHash<qsizetype, qint64> widths; // non-blank sampled rows by field count
    qsizetype fieldsInRow = 0;
    bool blank = true;
    QStringView whole; // the text split, to tell how far the sampled rows went
    qsizetype reached = 0;

    void field(QStringView text)
    {
        ++fieldsInRow;
        blank = blank && text.isEmpty();
        limits.field(fieldsInRow);
        // A field joined from pieces lies elsewhere and tells nothing.
        const quintptr at = quintptr(text.utf16()), from = quintptr(whole.utf16());
        if (text.isEmpty() || at < from || at >= from + quintptr(whole.size()) * sizeof(char16_t))
            return;
        reached = std::max(reached, qsizetype((at - from) / sizeof(char16_t)) + text.size());
    }
    // The fields of the whole text, guessed from the sampled rows.
    qsizetype expectedFields() const
    {
        if (reached == 0)
            return 0;
        const double perCharacter = double(limits.fieldCount) / double(reached);
        return qsizetype(std::min<double>(perCharacter * double(whole.size()) * 1.02 + 64, PlmInputReader::maximumFields));
    }
    char16_t* writable() { return nullptr; }
    bool done() const { return limits.rowCount >= PlmInputReader::sampledRows; }
    void endRow()
    {
        if (limits.rowCount < PlmInputReader::sampledRows && !blank)
            ++widths[fieldsInRow];
        limits.row();
        fieldsInRow = 0;
        blank = true;
    }
    qint64 score() const
    {
        qint64 best = 0;
        for (auto it = widths.cbegin(); it != widths.cend(); ++it)
            if (it.key() > 1)
                best = std::max(best, it.value() * PlmInputReader::rowCountWeight + it.key());
        return best;
    }
};

// The first index from j on (n if none) of a character that ends a run outside quotes: a
// line break, a quote or the separator. Eight characters at a time where SSE2 is there: most
// of a split is spent here.
qsizetype findRunEnd(const char16_t* chars, qsizetype j, qsizetype n, char16_t sep)
{
#if defined(__SSE2__)
    const __m128i lineFeed = _mm_set1_epi16(short(u'\n'));
    const __m128i carriageReturn = _mm_set1_epi16(short(u'\r'));
    const __m128i quoteMark = _mm_set1_epi16(short(u'"'));
    const __m128i separator = _mm_set1_epi16(short(sep));
    for (; j + 8 <= n; j += 8) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(chars + j));
        const __m128i hits = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi16(v, lineFeed), _mm_cmpeq_epi16(v, carriageReturn)),
                                          _mm_or_si128(_mm_cmpeq_epi16(v, quoteMark), _mm_cmpeq_epi16(v, separator)));
        if (const int mask = _mm_movemask_epi8(hits))
            return j + qCountTrailingZeroBits(unsigned(mask)) / 2;
    }
#endif
    while (j < n && chars[j] != u'\n' && chars[j] != u'\r' && chars[j] != u'"' && chars[j] != sep)
        ++j;
    return j;
}

// One walk over the text: a field is either a run of characters up to a bare separator or
// line break, or a quoted run whose doubled quotes stand for one quote. Where the sink lets the
// split write to the text (its characters given by writable()), a quoted field with doubled
// quotes is joined in place, over the characters already read; otherwise it is copied once.
// The sink may overwrite the character that ends a field (never one read later).
// The walk compares whole characters: a quote or a separator followed by a combining mark is
// another character. Line breaks and the tab are never extended.
template <typename Sink>
void splitDelimited(QStringView text, QChar separator, Sink& sink)
{
    const qsizetype n = text.size();
    const char16_t* chars = text.utf16();
    char16_t* writable = sink.writable();
    Q_ASSERT(!writable || writable == chars);
    const char16_t sep = separator.unicode();
    const bool separatorExtends = sep != u'\t' && sep != u'\n' && sep != u'\r';
    const auto bareQuote = [&](qsizetype i) { return i < n && chars[i] == u'"' && !extendsPrevious(text, i + 1); };

    qsizetype i = 0;
    bool rowOpen = false; // a field or separator was met since the last line break
    char16_t next = 0; // the character after a field, read before the sink may overwrite it
    for (;;) {
        // At the start of a field.
        if (bareQuote(i)) {
            QString copied;
            const qsizetype start = i + 1;
            qsizetype written = start; // end of the joined field, when written in place
            qsizetype from = start;
            qsizetype j = from;
            bool doubled = false;
            const auto keep = [&](qsizetype end) {
                if (writable) {
                    if (written != from)
                        std::copy(chars + from, chars + end, writable + written);
                    written += end - from;
                } else {
                    copied.append(QStringView(chars + from, end - from));
                }
            };
            for (;;) {
                while (j < n && chars[j] != u'"')
                    ++j;
                if (j >= n)
                    fail(u"Guillemet non fermé.");
                if (extendsPrevious(text, j + 1)) {
                    ++j; // a quote with a mark is text
                    continue;
                }
                if (bareQuote(j + 1)) {
                    keep(j + 1); // one quote kept
                    doubled = true;
                    j += 2;
                    from = j;
                    continue;
                }
                break;
            }
            QStringView field(chars + from, j - from);
            if (doubled) {
                keep(j);
                field = writable ? QStringView(chars + start, written - start) : QStringView(copied);
            }
            i = j + 1;
            // Only a separator, a line break or the end may follow a closing quote.
            if (i < n) {
                const char16_t c = chars[i];
                const bool separatorHere = c == sep && (!separatorExtends || !extendsPrevious(text, i + 1));
                if (!separatorHere && c != u'\n' && c != u'\r')
                    fail(u"Guillemets mal formés.");
            }
            next = i < n ? chars[i] : 0;
            sink.field(field);
        } else {
            qsizetype j = i;
            for (;; ++j) {
                j = findRunEnd(chars, j, n, sep);
                if (j >= n)
                    break;
                const char16_t c = chars[j];
                if (c == u'"') {
                    if (extendsPrevious(text, j + 1))
                        continue; // text
                    fail(u"Guillemets mal formés.");
                }
                if (c == sep && c != u'\n' && c != u'\r' && separatorExtends && extendsPrevious(text, j + 1))
                    continue; // a separator with a mark is text
                break;
            }
            if (j >= n && j == i && !rowOpen) {
                // Nothing after the last line break: no row, unless the text is empty.
                if (sink.limits.rowCount == 0) {
                    sink.field(QStringView());
                    sink.endRow();
                }
                return;
            }
            next = j < n ? chars[j] : 0;
            sink.field(QStringView(chars + i, j - i));
            i = j;
        }
        // After a field: a separator, a line break or the end.
        if (i >= n) {
            sink.endRow();
            return;
        }
        const char16_t c = next;
        if (c == u'\n' || c == u'\r') {
            // CR LF is one break.
            i += (c == u'\r' && i + 1 < n && chars[i + 1] == u'\n') ? 2 : 1;
            sink.endRow();
            rowOpen = false;
            if (sink.done())
                return;
        } else {
            ++i; // the separator
            rowOpen = true;
        }
    }
}

} // namespace

namespace {

QString preparedText(QString text, QList<QChar>& candidates)
{
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);

    candidates = {u'\t', u';', u','};
    qsizetype lineEnd = 0;
    while (lineEnd < text.size() && !isLineBreak(text.at(lineEnd)))
        ++lineEnd;
    if (lineEnd == 5 && text.left(4).toLower() == QLatin1String("sep=")) {
        const QChar chosen = text.at(4);
        if (chosen == u',' || chosen == u';' || chosen == u'\t') {
            candidates = {chosen};
            qsizetype cut = lineEnd;
            if (cut < text.size())
                cut += (text.at(cut) == u'\r' && cut + 1 < text.size() && text.at(cut + 1) == u'\n') ? 2 : 1;
            text.remove(0, cut);
        }
    }
    return text;
}

// The text of the bytes without its byte-order mark and "sep=" line, with the encoding used
// and the separators left to try.
QString decodedText(const QByteArray& data, bool& windows1252, QList<QChar>& candidates)
{
    std::optional<QString> decoded;
    const bool isUtf16 = data.startsWith("\xFF\xFE") || data.startsWith("\xFE\xFF");
    if (data.startsWith("\xFF\xFE"))
        decoded = decodeUtf16(data, true);
    else if (data.startsWith("\xFE\xFF"))
        decoded = decodeUtf16(data, false);
    else
        decoded = decodeUtf8(data);
    windows1252 = false;
    if (!decoded) {
        decoded = decodeWindows1252(data);
        windows1252 = true;
    }
    // A NUL character comes from a zero byte, or a zero code unit in UTF-16.
    if (!decoded || (isUtf16 ? decoded->contains(QChar(0)) : data.contains('\0')))
        throw PlmWorkError::invalid(QStringLiteral("Fichier texte ou XLSX attendu."));
    return preparedText(std::move(*decoded), candidates);
}

// The sheet of a prepared text. A split that fails spoils the text: `fresh` gives it anew for
// the next separator, or nothing, and then there is no sheet (the caller starts over).
std::optional<PlmInputSheet> textSheet(QString text, const QList<QChar>& candidates, bool windows1252,
                                       const QString& fileName, const std::function<std::optional<QString>()>& fresh)
{
    // The best-scoring separator whose whole text splits wins. The score reads only the first
    // rows, so candidates are ranked on those, and split whole in that order until one
    // succeeds: the text is split once unless the leader fails further on.
    struct Ranked {
        QChar separator;
        qint64 score;
        qsizetype expectedFields;
    };
    QList<Ranked> ranked;
    for (QChar candidate : candidates) {
        ScoreSink score;
        score.whole = text;
        try {
            splitDelimited(text, candidate, score);
        } catch (const PlmWorkError&) {
            continue; // already fails within the sampled rows
        }
        ranked.append({candidate, score.score(), score.expectedFields()});
    }
    std::stable_sort(ranked.begin(), ranked.end(), [](const Ranked& a, const Ranked& b) { return a.score > b.score; });
    std::optional<QChar> winner;
    PlmInputGrid grid;
    for (const Ranked& candidate : std::as_const(ranked)) {
        // The grid takes the text: its cells stay there.
        PlmInputGrid::TextBuilder builder(std::move(text));
        builder.reserve(candidate.expectedFields);
        GridSink sink{{}, builder};
        try {
            splitDelimited(builder.text(), candidate.separator, sink);
        } catch (const PlmWorkError&) {
            // The failed split ended its fields in the text: the next one starts afresh.
            if (&candidate != &ranked.constLast()) {
                std::optional<QString> again = fresh();
                if (!again)
                    return std::nullopt;
                text = std::move(*again);
            }
            continue;
        }
        grid = builder.take();
        winner = candidate.separator;
        break;
    }
    if (!winner)
        throw PlmWorkError::invalid(QStringLiteral("Texte vide ou guillemets mal formés."));

    PlmInputSheet sheet;
    sheet.name = fileName;
    sheet.warnings.append(QStringLiteral("Séparateur détecté : ")
                          + (*winner == u'\t' ? QStringLiteral("tabulation") : QString(*winner))
                          + QLatin1Char('.'));
    if (windows1252)
        sheet.warnings.append(QStringLiteral("Texte lu en Windows-1252."));
    if (hasUnevenRows(grid))
        sheet.warnings.append(QStringLiteral("Les lignes ont des longueurs différentes ; "
                                             "les cellules manquantes restent vides."));
    sheet.grid = std::move(grid);
    return sheet;
}

// The end of the last whole UTF-8 sequence of the bytes: a sequence cut by the end of a read
// is decoded with the next one.
qsizetype wholeSequencesEnd(const char* bytes, qsizetype size)
{
    for (qsizetype back = 1; back <= 3 && back <= size; ++back) {
        const unsigned char byte = static_cast<unsigned char>(bytes[size - back]);
        if ((byte & 0xC0) == 0x80)
            continue; // a continuation byte
        const qsizetype length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
        return length > back ? size - back : size;
    }
    return size;
}

} // namespace

PlmInputSheet PlmInputReader::readTextSheet(const QByteArray& data, const QString& fileName)
{
    bool windows1252 = false;
    QList<QChar> candidates;
    QString text = decodedText(data, windows1252, candidates);
    return *textSheet(std::move(text), candidates, windows1252, fileName, [&]() -> std::optional<QString> {
        return decodedText(data, windows1252, candidates);
    });
}

std::optional<PlmInputSheet> PlmInputReader::readUtf8TextFile(QIODevice& file, qint64 expectedSize,
                                                              const QString& fileName)
{
    if (expectedSize <= 0 || expectedSize > maximumFileSize)
        return std::nullopt;
    constexpr qsizetype chunk = 262'144;
    QByteArray bytes(chunk, Qt::Uninitialized);
    // The decoder is stateless: each read is decoded up to its last whole sequence.
    QStringDecoder decoder(QStringConverter::Utf8,
                           QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom);
    QString text(decoder.requiredSpace(expectedSize), Qt::Uninitialized);
    PlmInputGrid::prefault(text.data(), text.size() * qsizetype(sizeof(QChar)));
    QChar* out = text.data();
    qint64 total = 0;
    qsizetype kept = 0; // bytes of a cut sequence, at the start of the buffer
    for (bool first = true;; first = false) {
        const qint64 got = file.read(bytes.data() + kept, chunk - kept);
        if (got < 0)
            return std::nullopt;
        total += got;
        if (total > expectedSize)
            return std::nullopt; // it grew: read whole
        const qsizetype size = kept + qsizetype(got);
        const QByteArrayView view(bytes.constData(), size);
        // Anything but UTF-8 or plain text (an older table, a workbook, UTF-16, a NUL) is read whole.
        if (first && (isLegacyTable(bytes.left(size)) || view.startsWith("PK") || view.startsWith("\xD0\xCF\x11\xE0")
                      || view.startsWith("\xFF\xFE") || view.startsWith("\xFE\xFF")))
            return std::nullopt;
        if (view.contains('\0'))
            return std::nullopt;
        const qsizetype whole = got == 0 ? size : wholeSequencesEnd(bytes.constData(), size);
        out = decoder.appendToBuffer(out, view.first(whole));
        if (decoder.hasError())
            return std::nullopt;
        kept = size - whole;
        if (kept > 0)
            std::memmove(bytes.data(), bytes.constData() + whole, kept);
        if (got == 0)
            break;
    }
    text.truncate(out - text.constData());
    QList<QChar> candidates;
    text = preparedText(std::move(text), candidates);
    return textSheet(std::move(text), candidates, false, fileName, [] { return std::optional<QString>(); });
}

QList<QStringList> PlmInputReader::parseDelimited(const QString& text, QChar separator)
{
    ListSink sink;
    splitDelimited(text, separator, sink);
    return std::move(sink.rows);
}
