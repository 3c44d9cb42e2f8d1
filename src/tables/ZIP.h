#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

#include <functional>

// A ZIP archive held in memory, as much as a workbook needs: one disk, no encryption, no
// ZIP64, stored or deflated entries, hard limits on entry count and uncompressed sizes.
// Every refusal is a PlmWorkError with a French sentence about the workbook.
class ZIP {
public:
    struct Entry {
        qint64 offset = 0;     // of the local file header
        qint64 compressed = 0; // bytes stored
        qint64 size = 0;       // bytes once inflated
        int method = 0;        // 0 stored, 8 deflated
        quint32 crc = 0;

        bool operator==(const Entry&) const = default;
    };

    static constexpr qint64 endRecordSize = 22;
    static constexpr qint64 endRecordSearch = 65'557;
    static constexpr qint64 maximumEntries = 9'999;
    static constexpr qint64 maximumEntrySize = 67'108'864;
    static constexpr qint64 maximumTotalSize = 134'217'728;
    // Deflate cannot expand one byte to more than about 1,032; an entry claiming more is lying
    // and is refused before its buffer is made.
    static constexpr qint64 maximumDeflateRatio = 1'032;

    // Reads the end record and the central directory.
    explicit ZIP(const QByteArray& data);

    const QByteArray& data() const { return m_data; }
    const QHash<QString, Entry>& entries() const { return m_entries; }
    bool contains(const QString& path) const { return m_entries.contains(path); }

    // The uncompressed bytes of one entry, size and CRC-32 checked.
    QByteArray data(const QString& entryPath) const;
    // The same bytes handed to sink piece by piece as they are inflated, so that a large part
    // is never held whole; the checks and their messages are those of data(), made once every
    // piece has been given (sink must not throw). Returns the entry's size.
    qint64 stream(const QString& entryPath, const std::function<void(const char*, qsizetype)>& sink) const;

    // count bytes from offset; "Archive XLSX tronquée." when the range leaves the data.
    QByteArray bytes(qint64 offset, qint64 count) const;
    quint32 readUInt32(qint64 offset) const;
    quint16 readUInt16(qint64 offset) const;

private:
    // The entry and where its stored bytes start, checked as data() checks them.
    std::pair<Entry, qint64> locate(const QString& entryPath) const;

    QByteArray m_data;
    QHash<QString, Entry> m_entries;
};
