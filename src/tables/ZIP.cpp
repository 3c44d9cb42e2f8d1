#include "tables/ZIP.h"

#include "model/PlmErrors.h"

#include <zlib.h>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace {

[[noreturn]] void fail(const QString& message)
{
    throw PlmWorkError::invalid(message);
}

const QString unsupported = QStringLiteral("Archive XLSX non prise en charge.");
const QString refusedEntry =
    QStringLiteral("Archive chiffrée, trop volumineuse ou compression non prise en charge.");

constexpr quint32 endSignature = 0x06054b50;
constexpr quint32 centralSignature = 0x02014b50;
constexpr quint32 localSignature = 0x04034b50;

} // namespace

QByteArray ZIP::bytes(qint64 offset, qint64 count) const
{
    if (offset < 0 || count < 0 || offset > m_data.size() || count > m_data.size() - offset)
        fail(QStringLiteral("Archive XLSX tronquée."));
    return m_data.mid(offset, count);
}

quint32 ZIP::readUInt32(qint64 offset) const
{
    const QByteArray b = bytes(offset, 4);
    const auto* u = reinterpret_cast<const unsigned char*>(b.constData());
    return quint32(u[0]) | (quint32(u[1]) << 8) | (quint32(u[2]) << 16) | (quint32(u[3]) << 24);
}

quint16 ZIP::readUInt16(qint64 offset) const
{
    const QByteArray b = bytes(offset, 2);
    const auto* u = reinterpret_cast<const unsigned char*>(b.constData());
    return quint16(u[0] | (u[1] << 8));
}

ZIP::ZIP(const QByteArray& data)
    : m_data(data)
{
    const qint64 count = m_data.size();
    if (count < endRecordSize)
        fail(QStringLiteral("Archive XLSX tronquée."));

    qint64 end = -1;
    const qint64 lowest = std::max<qint64>(0, count - endRecordSearch);
    for (qint64 position = count - endRecordSize; position >= lowest; --position) {
        if (readUInt32(position) == endSignature
            && position + endRecordSize + readUInt16(position + 20) == count) {
            end = position;
            break;
        }
    }
    if (end < 0)
        fail(unsupported);
    if (readUInt16(end + 4) != 0 || readUInt16(end + 6) != 0)
        fail(unsupported);
    const qint64 total = readUInt16(end + 10);
    if (total > maximumEntries)
        fail(QStringLiteral("Trop de fichiers dans le classeur."));

    qint64 position = readUInt32(end + 16);
    qint64 totalSize = 0;
    m_entries.reserve(total);
    for (qint64 i = 0; i < total; ++i) {
        if (readUInt32(position) != centralSignature)
            fail(QStringLiteral("Index ZIP invalide."));
        const QByteArray header = bytes(position, 46);
        const bool encrypted = (static_cast<unsigned char>(header.at(8)) & 1) != 0;
        Entry entry;
        entry.method = readUInt16(position + 10);
        entry.crc = readUInt32(position + 16);
        entry.compressed = readUInt32(position + 20);
        entry.size = readUInt32(position + 24);
        const qint64 nameLength = readUInt16(position + 28);
        const qint64 extraLength = readUInt16(position + 30);
        const qint64 commentLength = readUInt16(position + 32);
        entry.offset = readUInt32(position + 42);
        if (encrypted || (entry.method != 0 && entry.method != 8) || entry.size > maximumEntrySize
            || entry.compressed > count)
            fail(refusedEntry);
        const QString name = QString::fromUtf8(bytes(position + 46, nameLength));
        if (m_entries.contains(name))
            fail(QStringLiteral("Fichier ZIP répété."));
        totalSize += entry.size;
        if (totalSize > maximumTotalSize)
            fail(QStringLiteral("Classeur décompressé trop volumineux."));
        m_entries.insert(name, entry);
        position += 46 + nameLength + extraLength + commentLength;
    }
}

std::pair<ZIP::Entry, qint64> ZIP::locate(const QString& entryPath) const
{
    const auto found = m_entries.constFind(entryPath);
    const QString absent = QStringLiteral("Fichier XLSX absent : %1.").arg(entryPath);
    if (found == m_entries.cend())
        fail(absent);
    const Entry entry = *found;
    if (entry.offset > m_data.size() - 4 || readUInt32(entry.offset) != localSignature)
        fail(absent);
    const qint64 start = entry.offset + 30 + readUInt16(entry.offset + 26) + readUInt16(entry.offset + 28);
    // Checks the range before anything is allocated for the result.
    if (start > m_data.size() || entry.compressed > m_data.size() - start)
        fail(QStringLiteral("Archive XLSX tronquée."));
    return {entry, start};
}

QByteArray ZIP::data(const QString& entryPath) const
{
    const auto [entry, start] = locate(entryPath);
    const char* input = m_data.constData() + start;

    QByteArray result;
    if (entry.method == 0) {
        if (entry.compressed != entry.size)
            fail(QStringLiteral("Taille ZIP incorrecte."));
        result = QByteArray(input, entry.size);
    } else {
        const QString incorrect = QStringLiteral("Décompression XLSX incorrecte.");
        if (entry.size > std::max<qint64>(entry.compressed, 1) * maximumDeflateRatio)
            fail(incorrect);
        result = QByteArray(std::max<qint64>(entry.size, 1), '\0');
        z_stream stream{};
        if (inflateInit2(&stream, -15) != Z_OK)
            fail(QStringLiteral("Décompression XLSX indisponible."));
        stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(input));
        stream.avail_in = static_cast<uInt>(entry.compressed);
        stream.next_out = reinterpret_cast<Bytef*>(result.data());
        stream.avail_out = static_cast<uInt>(result.size());
        const int status = inflate(&stream, Z_FINISH);
        const qint64 produced = qint64(stream.total_out);
        const qint64 consumed = qint64(stream.total_in);
        inflateEnd(&stream);
        if (status != Z_STREAM_END || produced != entry.size || consumed != entry.compressed)
            fail(incorrect);
        result.truncate(entry.size);
    }
    const uLong crc = crc32(0L, reinterpret_cast<const Bytef*>(result.constData()), static_cast<uInt>(result.size()));
    if (quint32(crc) != entry.crc)
        fail(QStringLiteral("Classeur XLSX endommagé (CRC)."));
    return result;
}

qint64 ZIP::stream(const QString& entryPath, const std::function<void(const char*, qsizetype)>& sink) const
{
    const auto located = locate(entryPath);
    // Named, not a structured binding: the inflating lambda below captures it.
    const auto& entry = located.first;
    const char* input = m_data.constData() + located.second;
    uLong crc = crc32(0L, nullptr, 0);
    if (entry.method == 0) {
        if (entry.compressed != entry.size)
            fail(QStringLiteral("Taille ZIP incorrecte."));
        sink(input, entry.size);
        crc = crc32(crc, reinterpret_cast<const Bytef*>(input), static_cast<uInt>(entry.size));
    } else {
        const QString incorrect = QStringLiteral("Décompression XLSX incorrecte.");
        if (entry.size > std::max<qint64>(entry.compressed, 1) * maximumDeflateRatio)
            fail(incorrect);
        z_stream stream{};
        if (inflateInit2(&stream, -15) != Z_OK)
            fail(QStringLiteral("Décompression XLSX indisponible."));
        stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(input));
        stream.avail_in = static_cast<uInt>(entry.compressed);
        // Small enough to stay in the cache between inflating and parsing.
        constexpr qint64 pieceSize = 64 * 1024;
        int status = Z_OK;
        // Inflates into the pieces `next` hands out and passes each filled one to `filled`.
        const auto inflatePieces = [&](const std::function<char*()>& next,
                                       const std::function<void(char*, qint64)>& filled) {
            // data() gives inflate room for exactly the declared size: no more is asked for here.
            while (status == Z_OK) {
                const qint64 room =
                    std::min<qint64>(pieceSize, std::max<qint64>(entry.size, 1) - qint64(stream.total_out));
                if (room <= 0)
                    break;
                char* piece = next();
                stream.next_out = reinterpret_cast<Bytef*>(piece);
                stream.avail_out = static_cast<uInt>(room);
                status = inflate(&stream, Z_FINISH);
                const qint64 produced = room - qint64(stream.avail_out);
                const qint64 useful =
                    std::max<qint64>(0, std::min<qint64>(produced, entry.size - (qint64(stream.total_out) - produced)));
                crc = crc32(crc, reinterpret_cast<const Bytef*>(piece), static_cast<uInt>(useful));
                filled(piece, useful);
                if (status == Z_BUF_ERROR && stream.avail_out == 0)
                    status = Z_OK; // only out of room for this piece
            }
        };
        if (entry.size <= pieceSize * 16) {
            std::vector<char> piece(pieceSize);
            inflatePieces([&piece] { return piece.data(); },
                          [&sink](char* bytes, qint64 count) {
                              if (count > 0)
                                  sink(bytes, count);
                          });
        } else {
            // A large part is inflated on a second thread while the caller consumes the pieces
            // already made: a few pieces in turn, each handed back once consumed.
            constexpr int pieceCount = 4;
            std::vector<char> pieces(std::size_t(pieceSize) * pieceCount);
            std::mutex mutex;
            std::condition_variable changed;
            std::deque<std::pair<char*, qint64>> ready; // filled pieces in order; a null one ends
            std::deque<char*> free;
            for (int i = 0; i < pieceCount; ++i)
                free.push_back(pieces.data() + std::size_t(pieceSize) * i);
            std::thread producer([&] {
                inflatePieces(
                    [&]() -> char* {
                        std::unique_lock lock(mutex);
                        changed.wait(lock, [&] { return !free.empty(); });
                        char* piece = free.front();
                        free.pop_front();
                        return piece;
                    },
                    [&](char* bytes, qint64 count) {
                        std::lock_guard lock(mutex);
                        ready.emplace_back(bytes, count);
                        changed.notify_all();
                    });
                std::lock_guard lock(mutex);
                ready.emplace_back(nullptr, 0);
                changed.notify_all();
            });
            for (;;) {
                std::pair<char*, qint64> piece;
                {
                    std::unique_lock lock(mutex);
                    changed.wait(lock, [&] { return !ready.empty(); });
                    piece = ready.front();
                    ready.pop_front();
                }
                if (!piece.first)
                    break;
                if (piece.second > 0)
                    sink(piece.first, piece.second);
                std::lock_guard lock(mutex);
                free.push_back(piece.first);
                changed.notify_all();
            }
            producer.join();
        }
        const qint64 produced = qint64(stream.total_out);
        const qint64 consumed = qint64(stream.total_in);
        inflateEnd(&stream);
        if (status != Z_STREAM_END || produced != entry.size || consumed != entry.compressed)
            fail(incorrect);
    }
    if (quint32(crc) != entry.crc)
        fail(QStringLiteral("Classeur XLSX endommagé (CRC)."));
    return entry.size;
}
