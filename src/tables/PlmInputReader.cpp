#include "tables/PlmInputReader.h"

#include "model/PlmErrors.h"
#include "model/PlmTextFolding.h"
#include "model/PlmValue.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace {

[[noreturn]] void fail(const QString& message)
{
    throw PlmWorkError::invalid(message);
}

const QString notATable = QStringLiteral("Fichier texte ou XLSX attendu.");

// Below this size a text file is read whole before it is decoded: the difference is too small.
constexpr qint64 streamedTextSize = 1'048'576;

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
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        fail(QStringLiteral("Lecture du fichier impossible : %1").arg(file.errorString()));
    // A large text is decoded as it is read; anything else is read whole below.
    if (info.size() >= streamedTextSize) {
        if (std::optional<PlmInputSheet> sheet = readUtf8TextFile(file, info.size(), info.fileName()))
            return {std::move(*sheet)};
        if (!file.seek(0))
            fail(QStringLiteral("Lecture du fichier impossible : %1").arg(file.errorString()));
    }
    // One byte past the limit is enough to refuse a file that grew after its size was asked.
    // The buffer is sized for the file found (its pages mapped at once), grown if it grew.
    QByteArray data(std::clamp<qint64>(info.size(), 0, maximumFileSize) + 1, Qt::Uninitialized);
    PlmInputGrid::prefault(data.data(), data.size());
    qsizetype filled = 0;
    for (;;) {
        if (filled == data.size()) {
            if (data.size() > maximumFileSize)
                break;
            data.resize(std::min<qsizetype>(2 * data.size(), maximumFileSize + 1));
        }
        const qint64 got = file.read(data.data() + filled, data.size() - filled);
        if (got < 0 || file.error() != QFileDevice::NoError)
            fail(QStringLiteral("Lecture du fichier impossible : %1").arg(file.errorString()));
        if (got == 0)
            break;
        filled += got;
    }
    data.truncate(filled);
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
    return {readTextSheet(data, fileName)};
}

bool PlmInputReader::hasHeaderRow(const PlmInputGrid& grid)
{
    if (grid.size() < 2)
        return false;
    // Columns empty in every row (a spacer column of a workbook) take no part in the guess.
    qsizetype width = 0;
    for (qsizetype r = 0; r < grid.size(); ++r)
        width = std::max(width, grid.rowSize(r));
    QList<bool> used(width, false);
    for (qsizetype r = 0; r < grid.size(); ++r)
        for (qsizetype c = 0; c < grid.rowSize(r); ++c)
            if (!used.at(c) && !grid.cellView(r, c).isEmpty())
                used[c] = true;
    QStringList first;
    for (qsizetype c = 0; c < grid.rowSize(0); ++c)
        if (used.at(c))
            first.append(grid.cell(0, c));
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
        for (qsizetype c = 0; c < grid.rowSize(r); ++c)
            if (readsAs(grid.cell(r, c), PlmVariableType::number))
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
