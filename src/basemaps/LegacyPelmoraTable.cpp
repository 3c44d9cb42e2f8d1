#include "basemaps/LegacyPelmoraTable.h"
#include "model/PlmFrenchCount.h"

#include "tables/PlmInputReader.h"
#include "basemaps/PlmPelmoraBytes.h"
#include "model/PlmErrors.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <vector>

using namespace PlmPelmoraBytes;

namespace {

constexpr qint64 headerSize = 2052;
constexpr qint64 rowRecordSize = 32;

[[noreturn]] void fail(const QString& message)
{
    throw PlmMapError::invalid(message);
}

} // namespace

bool LegacyPelmoraTable::isRecognized(const QByteArray& data)
{
    if (data.size() < headerSize)
        return false;
    const unsigned version = word(data, 6);
    return byteAt(data, 4) == 0x00 && byteAt(data, 5) == 0x01 && (version == 9 || version == 10);
}

unsigned LegacyPelmoraTable::readWord(qint64 offset, const QByteArray& data)
{
    if (!fits(data, offset, 2))
        fail(QStringLiteral("Tableau historique tronqué."));
    return word(data, offset);
}

QString LegacyPelmoraTable::readName(qint64 offset, int width, const QByteArray& data)
{
    if (width < 1 || !fits(data, offset, width))
        fail(QStringLiteral("Tableau historique tronqué."));
    const unsigned length = byteAt(data, offset);
    if (length >= unsigned(width))
        fail(QStringLiteral("Nom historique invalide."));
    return zeroTerminatedName(data, offset + 1, length);
}

double LegacyPelmoraTable::extendedValue(const QByteArray& data, qint64 offset)
{
    const unsigned head = word(data, offset);
    const int exponent = int(head & 0x7fff);
    quint64 mantissa = 0;
    for (int i = 0; i < 8; ++i)
        mantissa = (mantissa << 8) | byteAt(data, offset + 2 + i);
    if (exponent == 32767)
        return std::nan("");
    if (mantissa == 0)
        return 0.0;
    const double value = std::ldexp(double(mantissa), std::max(exponent, 1) - 16383 - 63);
    return (head & 0x8000) ? -value : value;
}

LegacyPelmoraTable LegacyPelmoraTable::read(const QByteArray& data, int nameWidth, int valueSize)
{
    const qint64 n = data.size();
    const QString truncated = QStringLiteral("Tableau historique tronqué.");
    if (n < 4)
        fail(truncated);
    const unsigned rowCount = word(data, 0);
    const unsigned variableCount = word(data, 2);
    if (rowCount == 0 || variableCount == 0 || variableCount > 4096)
        fail(QStringLiteral("Dimensions historiques invalides."));

    LegacyPelmoraTable table;
    QStringList unnamedWarnings;
    qint64 nonFinite = 0;
    std::vector<bool> seenVariables(variableCount, false);
    // The number of the variable that last used a row index: no clearing between variables.
    std::vector<unsigned> rowSeenBy(rowCount, 0);
    const qint64 cellSize = valueSize + 4;
    qint64 o = headerSize;
    for (unsigned p = 1; p <= variableCount; ++p) {
        if (o > n - (nameWidth + 10))
            fail(truncated);
        const unsigned index = word(data, o);
        const QString name = readName(o + 4, nameWidth, data);
        if (index >= variableCount || seenVariables[index])
            fail(QStringLiteral("Indice de variable historique invalide."));
        seenVariables[index] = true;
        const unsigned cells = word(data, o + nameWidth + 8);
        if (cells > rowCount)
            fail(QStringLiteral("Nombre de cellules historique invalide."));
        Column column;
        for (unsigned k = 0; k < cells; ++k) {
            const qint64 c = o + nameWidth + 10 + qint64(k) * cellSize;
            if (c > n - cellSize)
                fail(truncated);
            const unsigned row = word(data, c);
            if (row >= rowCount || rowSeenBy[row] == p)
                fail(QStringLiteral("Indice de ligne historique invalide."));
            rowSeenBy[row] = p;
            const double value = valueSize == 10 ? extendedValue(data, c + 4)
                                                 : double(std::bit_cast<float>(longWord(data, c + 4)));
            if (std::isfinite(value))
                column.values.insert(int(row), value);
            else
                ++nonFinite;
        }
        o += nameWidth + 10 + qint64(cells) * cellSize;
        if (name.isEmpty() && cells == 0)
            continue;
        column.name = name;
        if (name.isEmpty()) {
            column.name = QStringLiteral("Variable historique ") + decimal(p);
            unnamedWarnings << QStringLiteral("Une variable sans nom est conservée sous « ") + column.name
                                   + QStringLiteral(" ».");
        }
        table.columns.append(column);
    }
    if (o + rowRecordSize * qint64(rowCount) != n)
        fail(QStringLiteral("Fin du tableau historique non reconnue."));
    std::vector<bool> seenRows(rowCount, false);
    for (unsigned r = 0; r < rowCount; ++r, o += rowRecordSize) {
        const unsigned id = word(data, o);
        if (id >= rowCount || seenRows[id])
            fail(QStringLiteral("Identifiant de ligne historique invalide."));
        seenRows[id] = true;
        table.rows.append(Row{int(id), readName(o + 4, 28, data)});
    }
    table.warnings = unnamedWarnings;
    if (nonFinite > 0)
        table.warnings << PlmFrenchCount::counted(nonFinite, QStringLiteral("valeur non finie conservée comme donnée absente."),
                             QStringLiteral("valeurs non finies conservées comme données absentes."));
    table.warnings << QStringLiteral("Tableau Pelmora historique ; lignes absentes = données manquantes. Les mots de "
                                     "mise en forme ne sont pas interprétés.");
    return table;
}

LegacyPelmoraTable LegacyPelmoraTable::parse(const QByteArray& data)
{
    if (!isRecognized(data))
        fail(QStringLiteral("Tableau Pelmora : en-tête historique non reconnu."));
    static const int layouts[4][2] = {{256, 10}, {256, 4}, {26, 10}, {26, 4}};
    for (const auto& layout : layouts) {
        try {
            return read(data, layout[0], layout[1]);
        } catch (const PlmMapError&) {
            // The next layout is tried; the fault says nothing useful to the user.
        }
    }
    fail(QStringLiteral("Tableau Pelmora : structure non qualifiée ou fichier tronqué (noms/cellules/lignes). "
                        "L’original est conservé intact."));
}

void LegacyPelmoraTable::registerWithInputReader()
{
    PlmInputReader::setLegacyTableParser([](const QByteArray& data) {
        const LegacyPelmoraTable table = parse(data);
        PlmLegacyTableContent content;
        for (const Row& row : table.rows)
            content.rows.append(PlmLegacyTableContent::Row{row.index, row.label});
        for (const Column& column : table.columns)
            content.columns.append(PlmLegacyTableContent::Column{column.name, column.values});
        content.warnings = table.warnings;
        return content;
    });
}
