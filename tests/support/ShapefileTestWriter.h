#pragma once

// Writes small Shapefiles and dBASE tables byte by byte, for the import tests.

#include "model/PlmPoint.h"

#include <QByteArray>
#include <QList>
#include <QtEndian>
#include <cstring>

namespace ShapefileTestWriter {

inline void putBE32(QByteArray& out, quint32 value)
{
    char bytes[4];
    qToBigEndian(value, bytes);
    out.append(bytes, 4);
}

inline void putLE32(QByteArray& out, quint32 value)
{
    char bytes[4];
    qToLittleEndian(value, bytes);
    out.append(bytes, 4);
}

inline void putLE16(QByteArray& out, quint16 value)
{
    char bytes[2];
    qToLittleEndian(value, bytes);
    out.append(bytes, 2);
}

inline void putDouble(QByteArray& out, double value)
{
    quint64 bits;
    std::memcpy(&bits, &value, 8);
    char bytes[8];
    qToLittleEndian(bits, bytes);
    out.append(bytes, 8);
}

// The main file: records added in order, numbered from 1.
struct Shp {
    QByteArray records;
    int count = 0;

    void addContent(const QByteArray& content)
    {
        putBE32(records, quint32(++count));
        putBE32(records, quint32(content.size() / 2));
        records += content;
    }
    void addNull()
    {
        QByteArray content;
        putLE32(content, 0);
        addContent(content);
    }
    void addPoint(double x, double y, quint32 type = 1)
    {
        QByteArray content;
        putLE32(content, type);
        putDouble(content, x);
        putDouble(content, y);
        addContent(content);
    }
    static QByteArray partsContent(quint32 type, const QList<QList<PlmPoint>>& parts)
    {
        QByteArray content;
        putLE32(content, type);
        content += QByteArray(32, '\0'); // bounding box, not read
        quint32 points = 0;
        for (const auto& part : parts)
            points += quint32(part.size());
        putLE32(content, quint32(parts.size()));
        putLE32(content, points);
        quint32 start = 0;
        for (const auto& part : parts) {
            putLE32(content, start);
            start += quint32(part.size());
        }
        for (const auto& part : parts)
            for (const PlmPoint& p : part) {
                putDouble(content, p.x);
                putDouble(content, p.y);
            }
        return content;
    }
    void addParts(quint32 type, const QList<QList<PlmPoint>>& parts) { addContent(partsContent(type, parts)); }
    void addMultiPoint(const QList<PlmPoint>& points, quint32 type = 8)
    {
        QByteArray content;
        putLE32(content, type);
        content += QByteArray(32, '\0');
        putLE32(content, quint32(points.size()));
        for (const PlmPoint& p : points) {
            putDouble(content, p.x);
            putDouble(content, p.y);
        }
        addContent(content);
    }
    QByteArray bytes(quint32 shapeType = 5) const
    {
        QByteArray out;
        putBE32(out, 9994);
        out += QByteArray(20, '\0');
        putBE32(out, quint32((100 + records.size()) / 2));
        putLE32(out, 1000);
        putLE32(out, shapeType);
        out += QByteArray(64, '\0');
        return out + records;
    }
};

// A dBASE table, of character fields unless a field says otherwise.
struct Dbf {
    struct Field {
        QByteArray name;
        int length;
        char type = 'C';
        int decimals = 0;
    };
    struct Row {
        QList<QByteArray> values;
        bool deleted = false;
    };
    QList<Field> fields;
    QList<Row> rows;
    quint8 languageDriver = 0;

    QByteArray bytes() const
    {
        int recordLength = 1;
        for (const Field& f : fields)
            recordLength += f.length;
        const int headerLength = 32 + 32 * int(fields.size()) + 1;
        QByteArray out;
        out.append(char(3));
        out += QByteArray(3, '\0');
        putLE32(out, quint32(rows.size()));
        putLE16(out, quint16(headerLength));
        putLE16(out, quint16(recordLength));
        out += QByteArray(17, '\0');
        out.append(char(languageDriver));
        out += QByteArray(2, '\0');
        for (const Field& f : fields) {
            QByteArray descriptor = f.name.left(11);
            descriptor += QByteArray(11 - descriptor.size(), '\0');
            descriptor.append(f.type);
            descriptor += QByteArray(4, '\0');
            descriptor.append(char(f.length));
            descriptor.append(char(f.decimals));
            descriptor += QByteArray(14, '\0');
            out += descriptor;
        }
        out.append(char(0x0D));
        for (const Row& row : rows) {
            out.append(row.deleted ? '*' : ' ');
            for (int k = 0; k < fields.size(); ++k) {
                const QByteArray value = row.values.value(k).left(fields[k].length);
                const QByteArray padding(fields[k].length - value.size(), ' ');
                // Numbers are aligned right, texts left.
                const bool numeric = fields[k].type == 'N' || fields[k].type == 'F';
                out += numeric ? padding + value : value + padding;
            }
        }
        out.append(char(0x1A));
        return out;
    }
};

inline QList<PlmPoint> square(double x, double y, double side)
{
    return {{x, y}, {x, y + side}, {x + side, y + side}, {x + side, y}, {x, y}};
}

} // namespace ShapefileTestWriter
