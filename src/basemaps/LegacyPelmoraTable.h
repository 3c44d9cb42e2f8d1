#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

// A table file (".tab") of the older Pelmora program: its rows, its numeric columns keyed by
// row index, and French notes for the user. Reading is pure and callable from any thread;
// faults throw PlmMapError with one French sentence.
struct LegacyPelmoraTable {
    struct Row {
        int index = 0;
        QString label;
        bool operator==(const Row&) const = default;
    };
    struct Column {
        QString name;
        QMap<int, double> values; // missing rows and non-finite cells are absent
        bool operator==(const Column&) const = default;
    };

    QList<Row> rows;
    QList<Column> columns;
    QStringList warnings;

    bool operator==(const LegacyPelmoraTable&) const = default;

    // At least 2,052 bytes, 00 01 at offset 4 and a word of 9 or 10 at offset 6.
    static bool isRecognized(const QByteArray& data);
    // Tries the four layouts (name width 256 or 26, value size 10 or 4) and keeps the first
    // that reads; throws one of two messages of its own, never an attempt's fault.
    static LegacyPelmoraTable parse(const QByteArray& data);
    // One layout; throws on the first fault.
    static LegacyPelmoraTable read(const QByteArray& data, int nameWidth, int valueSize);
    static unsigned readWord(qint64 offset, const QByteArray& data);
    static QString readName(qint64 offset, int width, const QByteArray& data);
    // An 80-bit big-endian extended-precision number at the offset (bounds checked by callers).
    static double extendedValue(const QByteArray& data, qint64 offset);

    // Hands parse() to the data tables' reader, which sits below the import and cannot call it.
    static void registerWithInputReader();
};
