#pragma once

// Census tracts as GIS programs write their Shapefile: the identifier ID a real number written
// to fifteen decimals in a field of 24 (28801.000000000000000…), a text CODE with leading zeros
// (0001…), the median income the same way, filled with '*' where it is missing, and a share
// written in floating-point notation, blank where it is missing; beside them the CSV of incomes
// a person brings, keyed by the ids as plain numbers.

#include "support/ShapefileTestWriter.h"

#include <QByteArray>
#include <QMap>
#include <QString>
#include <optional>

namespace CensusTractsFixture {

constexpr int tractCount = 12;

inline int id(int k)
{
    return 28801 + k;
}

// The median of tract k in cents, none for every fifth tract from the third.
inline std::optional<int> medianCents(int k)
{
    if (k % 5 == 2)
        return std::nullopt;
    return 3812550 + 12525 * k;
}

inline ShapefileTestWriter::Shp shp()
{
    ShapefileTestWriter::Shp out;
    for (int k = 0; k < tractCount; ++k)
        out.addParts(5, {ShapefileTestWriter::square(k % 4, k / 4, 1)});
    return out;
}

inline ShapefileTestWriter::Dbf dbf()
{
    ShapefileTestWriter::Dbf out;
    out.fields = {{"ID", 24, 'N', 15}, {"CODE", 4}, {"median", 24, 'N', 15}, {"share", 19, 'F', 11}};
    for (int k = 0; k < tractCount; ++k) {
        const std::optional<int> cents = medianCents(k);
        const QByteArray median = cents ? QByteArray::number(*cents / 100) + '.' + QByteArray::number(*cents % 100).rightJustified(2, '0')
                                              + QByteArray(13, '0')
                                        : QByteArray(24, '*');
        const QByteArray share = cents ? QByteArray::number(k % 10) + QByteArray(".50000000000e-01") : QByteArray();
        out.rows << ShapefileTestWriter::Dbf::Row{
            {QByteArray::number(id(k)) + ".000000000000000", QByteArray::number(k + 1).rightJustified(4, '0'), median, share}};
    }
    out.languageDriver = 0x57;
    return out;
}

// The attributes of tract k as the import gives them: numbers as the numbers they are, no
// value where the file has none, the code as written.
inline QMap<QString, QString> attributes(int k)
{
    QString median, share;
    if (const std::optional<int> cents = medianCents(k)) {
        median = QString::number(*cents / 100);
        QString fraction = QString::number(*cents % 100).rightJustified(2, QLatin1Char('0'));
        while (fraction.endsWith(QLatin1Char('0')))
            fraction.chop(1);
        if (!fraction.isEmpty())
            median += QLatin1Char('.') + fraction;
        share = QStringLiteral("0.%1").arg(k % 10) + QLatin1Char('5');
    }
    return {{QStringLiteral("ID"), QString::number(id(k))},
            {QStringLiteral("CODE"), QString::number(k + 1).rightJustified(4, QLatin1Char('0'))},
            {QStringLiteral("median"), median},
            {QStringLiteral("share"), share}};
}

inline QByteArray incomeCsv()
{
    QByteArray text = "ID;revenu\n";
    for (int k = tractCount - 1; k >= 0; --k)
        text += QByteArray::number(id(k)) + ';' + QByteArray::number(41000 + 613 * k) + '\n';
    return text;
}

} // namespace CensusTractsFixture
