#pragma once

// Older Pelmora files built byte by byte for the tests of their readers.

#include <QByteArray>
#include <QList>
#include <QString>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <utility>

namespace PelmoraTestFiles {

inline void putWord(QByteArray& b, unsigned value)
{
    b.append(char((value >> 8) & 0xff));
    b.append(char(value & 0xff));
}

inline void putLong(QByteArray& b, quint32 value)
{
    putWord(b, value >> 16);
    putWord(b, value & 0xffff);
}

inline void setLong(QByteArray& b, qsizetype at, quint32 value)
{
    b[at] = char(value >> 24);
    b[at + 1] = char(value >> 16);
    b[at + 2] = char(value >> 8);
    b[at + 3] = char(value);
}

inline QByteArray nameField(const QByteArray& name, int width = 24)
{
    QByteArray f = name.left(width);
    f.append(QByteArray(width - f.size(), '\0'));
    return f;
}

using Vertices = QList<std::pair<int, int>>;

// Compact line record: name, v, opaque word, xs, ys.
inline QByteArray compactLine(const QByteArray& name, const Vertices& vertices, unsigned opaque = 7)
{
    QByteArray b = nameField(name);
    putWord(b, vertices.size());
    putWord(b, opaque);
    for (const auto& v : vertices)
        putWord(b, unsigned(v.first) & 0xffff);
    for (const auto& v : vertices)
        putWord(b, unsigned(v.second) & 0xffff);
    return b;
}

inline QByteArray compactPoint(const QByteArray& name, int x, int y, unsigned opaque = 3)
{
    QByteArray b = nameField(name);
    putWord(b, opaque);
    putWord(b, unsigned(x) & 0xffff);
    putWord(b, unsigned(y) & 0xffff);
    return b;
}

inline QByteArray compactHeader(unsigned a, unsigned b, unsigned c, const QByteArray& headerName = {})
{
    QByteArray h("\x00\x01\x00\x00\x00\x04", 6);
    h.append(nameField(headerName, 30));
    putWord(h, a);
    putWord(h, b);
    putWord(h, c);
    return h;
}

inline const Vertices triangle = {{0, 0}, {10, 0}, {0, 10}};

// A compact map of `polygons` triangles, `polylines` two-vertex lines and `points` points.
inline QByteArray compactMap(int polygons, int polylines, int points)
{
    QByteArray b = compactHeader(polygons, polylines, points);
    for (int i = 0; i < polygons; ++i)
        b += compactLine("P" + QByteArray::number(i), {{i, 0}, {i + 10, 0}, {i, 10}});
    for (int i = 0; i < polylines; ++i)
        b += compactLine("L", {{0, i}, {5, i}});
    for (int i = 0; i < points; ++i)
        b += compactPoint("Pt", i, -i);
    return b;
}

// A PackBits block unpacking to exactly 51,840 bytes: repeat runs of 128 bytes.
inline QByteArray packBitsBlock(int missing = 0)
{
    QByteArray b;
    int left = 51840 - missing;
    while (left > 0) {
        const int run = left >= 128 ? 128 : left;
        if (run >= 2) {
            b.append(char(257 - run));
            b.append('\x55');
        } else {
            b.append('\x00');
            b.append('\x55');
        }
        left -= run;
    }
    return b;
}

// A layout: 24 header bytes, two PackBits blocks, the counts, then `first` objects of the first
// kind and `second` of the second, each of `vertices` vertices, and `records` text records.
inline QByteArray layoutFile(int first, int second, int records, int vertices = 3)
{
    QByteArray b(24, '\0');
    const QByteArray block = packBitsBlock();
    putLong(b, block.size());
    b += block;
    putLong(b, block.size());
    b += block;
    putWord(b, first);
    putWord(b, second);
    putWord(b, records);
    for (int i = 0; i < first + second; ++i) {
        QByteArray object(32, '\0');
        putWord(object, vertices);
        object.append(QByteArray((i < first ? 55 : 47) + 4 * vertices - 34, '\0'));
        b += object;
    }
    b.append(QByteArray(39 * records, '\0'));
    return b;
}

inline void putFixed(QByteArray& b, double value)
{
    putLong(b, quint32(qint32(std::lround(value * 65536))));
}

// A dressed map: 68 header bytes, two blocks, then the records.
using FixedVertices = QList<std::pair<double, double>>;

inline QByteArray dressedMap(const QList<FixedVertices>& polygons, const QList<std::pair<double, double>>& points,
                             const QByteArray& firstBlock = packBitsBlock())
{
    QByteArray b(68, '\0');
    b.replace(12, 10, QByteArray("\xBF\xFF\x80\x00\x00\x00\x00\x00\x00\x00", 10));
    b.replace(40, 4, QByteArray("\x00\x00\x00\x01", 4));
    b[44] = '\x12';
    putLong(b, firstBlock.size());
    b += firstBlock;
    const QByteArray second = packBitsBlock();
    putLong(b, second.size());
    b += second;
    putWord(b, polygons.size());
    putWord(b, 0);
    putWord(b, points.size());
    for (const FixedVertices& polygon : polygons) {
        QByteArray r = nameField("Zone");
        r.append(QByteArray(8, '\0'));
        putWord(r, polygon.size());
        for (const auto& v : polygon)
            putFixed(r, v.first);
        for (const auto& v : polygon)
            putFixed(r, v.second);
        r.append(QByteArray(54, '\x77'));
        b += r;
    }
    for (const auto& p : points) {
        QByteArray r = nameField("Ville");
        r.append(QByteArray(8, '\0'));
        putFixed(r, p.first);
        putFixed(r, p.second);
        r.append(QByteArray(112 - 40, '\0'));
        b += r;
    }
    return b;
}

// A detailed map: 80 header bytes, counts, then records.
inline QByteArray detailedMap(const QList<QList<std::pair<double, double>>>& polygons,
                              const QList<QList<std::pair<double, double>>>& polylines,
                              const QList<std::pair<double, double>>& points)
{
    QByteArray b(80, '\0');
    b.replace(40, 10, QByteArray("\x00\x00\x00\x01\x00\x01\x00\x00\x00\x04", 10));
    putWord(b, polygons.size());
    putWord(b, polylines.size());
    putWord(b, points.size());
    const auto line = [&](const QList<std::pair<double, double>>& vs) {
        QByteArray r = nameField("Trait");
        r.append(QByteArray(48, '\0'));
        putWord(r, vs.size() - 1);
        putWord(r, 0);
        for (const auto& v : vs)
            putFixed(r, v.first);
        for (const auto& v : vs)
            putFixed(r, v.second);
        b += r;
    };
    for (const auto& p : polygons)
        line(p);
    for (const auto& p : polylines)
        line(p);
    for (const auto& p : points) {
        QByteArray r = nameField("Lieu");
        r.append(QByteArray(50, '\0'));
        putFixed(r, p.first);
        putFixed(r, p.second);
        b += r;
    }
    return b;
}

// Table: header, variable records (name width w, value size s), rows.
struct TableCell {
    unsigned row;
    double value;
};
struct TableVariable {
    QByteArray name;
    QList<TableCell> cells;
};

inline void putExtended(QByteArray& b, double value)
{
    if (value == 0) {
        b.append(QByteArray(10, '\0'));
        return;
    }
    int exponent = 0;
    const double fraction = std::frexp(std::fabs(value), &exponent); // in [0.5, 1)
    const quint64 mantissa = quint64(std::ldexp(fraction, 64));
    putWord(b, (value < 0 ? 0x8000 : 0) | unsigned(exponent - 1 + 16383));
    putLong(b, quint32(mantissa >> 32));
    putLong(b, quint32(mantissa));
}

inline QByteArray table(const QList<TableVariable>& variables, const QList<QByteArray>& labels, int width = 256,
                        int size = 10)
{
    QByteArray b;
    putWord(b, labels.size());
    putWord(b, variables.size());
    putWord(b, 1);
    putWord(b, 10);
    b.append(QByteArray(2044, '\0'));
    for (int i = 0; i < variables.size(); ++i) {
        putWord(b, i);
        putWord(b, 0);
        QByteArray field(width, '\0');
        field[0] = char(variables[i].name.size());
        field.replace(1, variables[i].name.size(), variables[i].name);
        b += field;
        putLong(b, 0);
        putWord(b, variables[i].cells.size());
        for (const TableCell& cell : variables[i].cells) {
            putWord(b, cell.row);
            putWord(b, 0);
            if (size == 10) {
                putExtended(b, cell.value);
            } else {
                const float f = float(cell.value);
                quint32 bits;
                std::memcpy(&bits, &f, 4);
                putLong(b, bits);
            }
        }
    }
    for (int r = 0; r < labels.size(); ++r) {
        putWord(b, r);
        putWord(b, 0);
        QByteArray field(28, '\0');
        field[0] = char(labels[r].size());
        field.replace(1, labels[r].size(), labels[r]);
        b += field;
    }
    return b;
}

} // namespace PelmoraTestFiles
