#include "data/PlmInputReader.h"

#include "model/PlmErrors.h"

#include <QHash>
#include <QStringDecoder>

#include <algorithm>
#include <array>
#include <optional>

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

// The splitter's state between two characters.
struct Splitter {
    QList<QStringList> rows;
    QStringList row;
    QString field;
    bool inQuotes = false;
    bool justClosed = false;
    qsizetype fieldCount = 0;

    // Ends the field. The row limit is checked on the row that receives the field, so no row
    // (the last one included) ever holds more than the allowed number of fields.
    void endField()
    {
        row.append(field);
        field = QString();
        inQuotes = false;
        justClosed = false;
        ++fieldCount;
        if (row.size() > PlmInputReader::maximumFieldsPerRow || fieldCount > PlmInputReader::maximumFields)
            tooLarge();
    }

    void endRow()
    {
        endField();
        rows.append(row);
        row = QStringList();
        if (rows.size() > PlmInputReader::maximumRows)
            tooLarge();
    }
};

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
    QString text = decoder.decode(data);
    if (decoder.hasError())
        return std::nullopt;
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

// The candidates' score: the field count shared by most non-blank sampled rows, weighted.
qint64 separatorScore(const QList<QStringList>& rows)
{
    QHash<qsizetype, qint64> counts;
    const qsizetype sampled = std::min<qsizetype>(rows.size(), PlmInputReader::sampledRows);
    for (qsizetype i = 0; i < sampled; ++i) {
        const QStringList& row = rows.at(i);
        if (std::any_of(row.cbegin(), row.cend(), [](const QString& f) { return !f.isEmpty(); }))
            ++counts[row.size()];
    }
    qint64 best = 0;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        if (it.key() > 1)
            best = std::max(best, it.value() * PlmInputReader::rowCountWeight + it.key());
    return best;
}

bool hasUnevenRows(const QList<QStringList>& rows)
{
    std::optional<qsizetype> width;
    for (const QStringList& row : rows) {
        if (!std::any_of(row.cbegin(), row.cend(), [](const QString& f) { return !f.isEmpty(); }))
            continue;
        if (width && *width != row.size())
            return true;
        width = row.size();
    }
    return false;
}

} // namespace

PlmInputSheet PlmInputReader::readTextSheet(const QByteArray& data, const QString& fileName)
{
    std::optional<QString> decoded;
    if (data.startsWith("\xFF\xFE"))
        decoded = decodeUtf16(data, true);
    else if (data.startsWith("\xFE\xFF"))
        decoded = decodeUtf16(data, false);
    else
        decoded = decodeUtf8(data);
    bool windows1252 = false;
    if (!decoded) {
        decoded = decodeWindows1252(data);
        windows1252 = true;
    }
    if (!decoded || decoded->contains(QChar(0)))
        throw PlmWorkError::invalid(QStringLiteral("Fichier texte ou XLSX attendu."));
    QString text = *decoded;
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);

    QList<QChar> candidates = {u'\t', u';', u','};
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

    std::optional<QChar> winner;
    QList<QStringList> grid;
    qint64 bestScore = -1;
    for (QChar candidate : candidates) {
        QList<QStringList> rows;
        try {
            rows = parseDelimited(text, candidate);
        } catch (const PlmWorkError&) {
            continue;
        }
        const qint64 score = separatorScore(rows);
        if (score > bestScore) {
            bestScore = score;
            winner = candidate;
            grid = std::move(rows);
        }
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

namespace {

// Whether the code point at i extends the character before it (a combining mark or a
// joiner), which then is no longer a bare separator or quote.
bool extendsPrevious(const QString& text, qsizetype i)
{
    if (i >= text.size())
        return false;
    char32_t c = text.at(i).unicode();
    if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
        c = QChar::surrogateToUcs4(text.at(i), text.at(i + 1));
    if (c == 0x200D)
        return true;
    const QChar::Category category = QChar::category(c);
    return category == QChar::Mark_NonSpacing || category == QChar::Mark_SpacingCombining
        || category == QChar::Mark_Enclosing;
}

} // namespace

// The walk compares whole characters: a quote or a separator followed by a combining mark is
// another character. Line breaks and the tab are never extended.
QList<QStringList> PlmInputReader::parseDelimited(const QString& text, QChar separator)
{
    Splitter s;
    const qsizetype n = text.size();
    const QChar* chars = text.constData();
    const auto bare = [&](qsizetype i, QChar expected) {
        return i < n && chars[i] == expected && !extendsPrevious(text, i + 1);
    };
    const bool separatorExtends = separator != u'\t' && separator != u'\n' && separator != u'\r';
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = chars[i];
        if (s.inQuotes) {
            if (bare(i, quote)) {
                if (bare(i + 1, quote)) {
                    s.field.append(quote);
                    ++i;
                } else {
                    s.inQuotes = false;
                    s.justClosed = true;
                }
            } else {
                s.field.append(c);
            }
            continue;
        }
        if (c == separator && (!separatorExtends || !extendsPrevious(text, i + 1))) {
            s.endField();
        } else if (c == u'\n' || c == u'\r') {
            // CR LF is one break.
            if (c == u'\r' && i + 1 < n && chars[i + 1] == u'\n')
                ++i;
            s.endRow();
        } else if (bare(i, quote)) {
            if (!s.field.isEmpty() || s.justClosed)
                fail(u"Guillemets mal formés.");
            s.inQuotes = true;
        } else {
            if (s.justClosed)
                fail(u"Guillemets mal formés.");
            s.field.append(c);
        }
    }
    if (s.inQuotes)
        fail(u"Guillemet non fermé.");
    if (!s.row.isEmpty() || !s.field.isEmpty() || s.justClosed || s.rows.isEmpty())
        s.endRow();
    return s.rows;
}
