#include "basemaps/PlmPelmoraBytes.h"

#include "basemaps/PlmMacRoman.h"

#include <array>

namespace PlmPelmoraBytes {

QString macRoman(const QByteArray& bytes)
{
    return plmMacRomanText(bytes);
}

QString zeroTerminatedName(const QByteArray& data, qint64 offset, qint64 width)
{
    if (!fits(data, offset, width))
        return {};
    QByteArray field = data.mid(offset, width);
    const qsizetype zero = field.indexOf('\0');
    if (zero >= 0)
        field.truncate(zero);
    return macRoman(field);
}

QString decimal(qint64 value)
{
    return QString::number(value);
}

} // namespace PlmPelmoraBytes
