#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>

// Big-endian reads and Mac OS Roman names shared by the older Pelmora readers. Callers check
// the bounds first; these helpers only read.
namespace PlmPelmoraBytes {

inline unsigned byteAt(const QByteArray& data, qint64 offset)
{
    return static_cast<unsigned char>(data.at(static_cast<qsizetype>(offset)));
}

// Whether `length` bytes from `offset` lie inside the data (no overflow for any input).
inline bool fits(const QByteArray& data, qint64 offset, qint64 length)
{
    return offset >= 0 && length >= 0 && offset <= data.size() && length <= data.size() - offset;
}

inline unsigned word(const QByteArray& data, qint64 offset)
{
    return (byteAt(data, offset) << 8) | byteAt(data, offset + 1);
}

inline quint32 longWord(const QByteArray& data, qint64 offset)
{
    return (quint32(byteAt(data, offset)) << 24) | (quint32(byteAt(data, offset + 1)) << 16)
         | (quint32(byteAt(data, offset + 2)) << 8) | quint32(byteAt(data, offset + 3));
}

// A signed 32-bit 16.16 fixed-point number.
inline double fixed(const QByteArray& data, qint64 offset)
{
    return double(static_cast<qint32>(longWord(data, offset))) / 65536.0;
}

inline bool matches(const QByteArray& data, qint64 offset, const char* bytes, qint64 length)
{
    return fits(data, offset, length) && data.mid(offset, length) == QByteArray(bytes, length);
}

// Mac OS Roman maps every byte to a character, so decoding never fails.
QString macRoman(const QByteArray& bytes);

// The bytes of a fixed name field before its first zero byte, decoded.
QString zeroTerminatedName(const QByteArray& data, qint64 offset, qint64 width);

QString decimal(qint64 value);

} // namespace PlmPelmoraBytes
