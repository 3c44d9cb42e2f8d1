#include "data/PlmInputReader.h"

#include "model/PlmErrors.h"
#include "model/PlmTextFolding.h"
#include "model/PlmValue.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <algorithm>
#include <array>

namespace {

[[noreturn]] void fail(const QString& message)
{
    throw PlmWorkError::invalid(message);
}

const QString notATable = QStringLiteral("Fichier texte ou XLSX attendu.");

bool startsWith(const QByteArray& data, std::initializer_list<unsigned char> prefix)
{
    if (data.size() < qsizetype(prefix.size()))
        return false;
    qsizetype i = 0;
    for (unsigned char byte : prefix)
        if (static_cast<unsigned char>(data.at(i++)) != byte)
            return false;
    return true;
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

PlmInputSheet readText(const QByteArray& data, const QString& fileName)
{
    std::optional<QString> decoded;
    if (startsWith(data, {0xFF, 0xFE}))
        decoded = decodeUtf16(data, true);
    else if (startsWith(data, {0xFE, 0xFF}))
        decoded = decodeUtf16(data, false);
    else
        decoded = decodeUtf8(data);
    bool windows1252 = false;
    if (!decoded) {
        decoded = decodeWindows1252(data);
        windows1252 = true;
    }
    if (!decoded || decoded->contains(QChar(0)))
        fail(notATable);
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
            rows = PlmInputReader::parseDelimited(text, candidate);
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
        fail(QStringLiteral("Texte vide ou guillemets mal formés."));

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

bool readsAs(const QString& cell, PlmVariableType type)
{
    try {
        return PlmValue::parse(cell, type).has_value();
    } catch (const PlmWorkError&) {
        return false;
    }
}

QString foldedWithoutSpaces(const QString& text)
{
    const QString folded = PlmTextFolding::folded(text);
    QString result;
    result.reserve(folded.size());
    for (qsizetype i = 0; i < folded.size(); ++i) {
        const char32_t c = folded.at(i).unicode();
        if (!PlmTextFolding::isWhiteSpace(c))
            result.append(folded.at(i));
    }
    return result;
}

} // namespace

const QStringList& PlmInputReader::knownHeaderWords()
{
    static const QStringList words = {
        QStringLiteral("id"),         QStringLiteral("identifiant"), QStringLiteral("code"),
        QStringLiteral("nom"),        QStringLiteral("name"),        QStringLiteral("zone"),
        QStringLiteral("population"), QStringLiteral("part"),        QStringLiteral("valeur"),
        QStringLiteral("insee"),      QStringLiteral("region"),      QStringLiteral("departement"),
        QStringLiteral("commune")};
    return words;
}

const QStringList& PlmInputReader::knownHeaderPrefixes()
{
    static const QStringList prefixes = {QStringLiteral("code_"), QStringLiteral("nom_"),
                                         QStringLiteral("id_"), QStringLiteral("population_")};
    return prefixes;
}

QList<PlmInputSheet> PlmInputReader::read(const QString& filePath)
{
    const QFileInfo info(filePath);
    if (info.exists() && info.size() > maximumFileSize)
        fail(QStringLiteral("Fichier trop volumineux (maximum 64 Mo)."));
    // A pipe or a device could block or never end; only plain files are tables.
    if (info.exists() && !info.isFile())
        fail(notATable);
    QFile file(filePath);
    if (!file.open(QIODevice::ReadOnly))
        fail(QStringLiteral("Lecture du fichier impossible : %1").arg(file.errorString()));
    // One byte past the limit is enough to refuse a file that grew after its size was asked.
    const QByteArray data = file.read(maximumFileSize + 1);
    if (file.error() != QFileDevice::NoError)
        fail(QStringLiteral("Lecture du fichier impossible : %1").arg(file.errorString()));
    return read(data, info.fileName());
}

QList<PlmInputSheet> PlmInputReader::read(const QByteArray& data, const QString& fileName)
{
    if (data.size() > maximumFileSize)
        fail(QStringLiteral("Fichier trop volumineux."));
    if (isLegacyTable(data))
        return {legacySheet(parseLegacyTable(data), fileName)};
    if (startsWith(data, {0x50, 0x4B}))
        return readWorkbook(data);
    if (startsWith(data, {0xD0, 0xCF, 0x11, 0xE0}))
        fail(QStringLiteral("Ce classeur ancien ou chiffré ne peut pas être lu. "
                            "Enregistrez une copie .xlsx non chiffrée."));
    return {readText(data, fileName)};
}

bool PlmInputReader::hasHeaderRow(const QList<QStringList>& grid)
{
    if (grid.size() < 2)
        return false;
    const QStringList& first = grid.first();
    if (first.isEmpty())
        return false;
    QStringList folded;
    for (const QString& cell : first) {
        if (cell.isEmpty())
            return false;
        const QString key = foldedWithoutSpaces(cell);
        if (folded.contains(key))
            return false;
        folded.append(key);
    }
    for (qsizetype i = 0; i < first.size(); ++i) {
        if (knownHeaderWords().contains(folded.at(i)))
            return true;
        const QString lower = first.at(i).toLower();
        for (const QString& prefix : knownHeaderPrefixes())
            if (lower.startsWith(prefix))
                return true;
    }
    for (const QString& cell : first)
        if (readsAs(cell, PlmVariableType::number))
            return false;
    const qsizetype last = std::min<qsizetype>(grid.size(), 1 + headerProbeRows);
    for (qsizetype r = 1; r < last; ++r)
        for (const QString& cell : grid.at(r))
            if (readsAs(cell, PlmVariableType::number))
                return true;
    return false;
}

PlmVariableType PlmInputReader::suggestedType(qsizetype column, const QList<QStringList>& rows)
{
    QStringList kept;
    for (const QStringList& row : rows) {
        if (column < 0 || column >= row.size())
            continue;
        const QString cell = PlmTextFolding::trimmed(row.at(column));
        if (!cell.isEmpty())
            kept.append(cell);
    }
    if (kept.isEmpty())
        return PlmVariableType::text;
    const auto all = [&](PlmVariableType type) {
        return std::all_of(kept.cbegin(), kept.cend(), [type](const QString& c) { return readsAs(c, type); });
    };
    const bool markedPercent =
        std::any_of(kept.cbegin(), kept.cend(), [](const QString& c) { return c.endsWith(u'%'); });
    if (markedPercent && all(PlmVariableType::percentage))
        return PlmVariableType::percentage;
    for (const QString& cell : kept)
        if (cell.startsWith(u'0') && cell.size() >= 2 && !cell.contains(u',') && !cell.contains(u'.'))
            return PlmVariableType::text;
    return all(PlmVariableType::number) ? PlmVariableType::number : PlmVariableType::text;
}
