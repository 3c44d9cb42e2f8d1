#include "tables/ZIP.h"
#include "support/TableReaderTestSupport.h"
#include "support/ZipTestWriter.h"

#include <gtest/gtest.h>

using ZipTest::Entry;
using ZipTest::makeZip;
using ZipTest::patch16;
using ZipTest::patch32;

namespace {

const QString truncatedArchive = QStringLiteral("Archive XLSX tronquée.");
const QString unsupported = QStringLiteral("Archive XLSX non prise en charge.");
const QString refusedEntry = QStringLiteral("Archive chiffrée, trop volumineuse ou compression non prise en charge.");
const QString incorrect = QStringLiteral("Décompression XLSX incorrecte.");

QByteArray text(int n)
{
    QByteArray out;
    for (int i = 0; i < n; ++i)
        out += "<c r=\"A" + QByteArray::number(i) + "\"><v>" + QByteArray::number(i * 7) + "</v></c>";
    return out;
}

} // namespace

TEST(ZipArchiveOpen, StoredAndDeflatedEntriesRoundTrip)
{
    const QByteArray a = text(200), b = "court";
    const auto archive = makeZip({{"xl/a.xml", a, true}, {"b.txt", b, false}, {"vide", {}, false}});
    const ZIP zip(archive.bytes);
    EXPECT_EQ(zip.entries().size(), 3);
    EXPECT_EQ(zip.data(QStringLiteral("xl/a.xml")), a);
    EXPECT_EQ(zip.data(QStringLiteral("b.txt")), b);
    EXPECT_EQ(zip.entries().value(QStringLiteral("xl/a.xml")).method, 8);
    EXPECT_EQ(zip.entries().value(QStringLiteral("b.txt")).offset, archive.localOffsets.at(1));
    // An empty stored entry passes the CRC check (CRC 0).
    EXPECT_EQ(zip.entries().value(QStringLiteral("vide")).crc, 0u);
    EXPECT_TRUE(zip.data(QStringLiteral("vide")).isEmpty());
    EXPECT_EQ(errorOf([&] { zip.data(QStringLiteral("c.txt")); }), QStringLiteral("Fichier XLSX absent : c.txt."));
}

TEST(ZipArchiveOpen, EndRecordAndComments)
{
    EXPECT_EQ(errorOf([] { ZIP(QByteArray(21, 'x')); }), truncatedArchive);
    EXPECT_EQ(errorOf([] { ZIP(QByteArray(100, 'x')); }), unsupported);

    const QByteArray comment(65535, 'c');
    EXPECT_NO_THROW(ZIP(makeZip({{"a", "1", true}}, comment).bytes));

    // A comment length that does not reach the archive's end exactly.
    auto archive = makeZip({{"a", "1", true}}, "abc");
    patch16(archive.bytes, archive.endOffset + 20, 2);
    EXPECT_EQ(errorOf([&] { ZIP{archive.bytes}; }), unsupported);
    archive.bytes.append('x');
    patch16(archive.bytes, archive.endOffset + 20, 3);
    EXPECT_EQ(errorOf([&] { ZIP{archive.bytes}; }), unsupported);

    auto multiDisk = makeZip({{"a", "1", true}});
    patch16(multiDisk.bytes, multiDisk.endOffset + 6, 1);
    EXPECT_EQ(errorOf([&] { ZIP{multiDisk.bytes}; }), unsupported);
}

TEST(ZipArchiveOpen, EntryCountLimit)
{
    QList<Entry> entries;
    for (int i = 0; i < 9999; ++i)
        entries.append({"f" + QByteArray::number(i), {}, false});
    EXPECT_EQ(ZIP(makeZip(entries).bytes).entries().size(), 9999);
    entries.append({"last", {}, false});
    EXPECT_EQ(errorOf([&] { ZIP(makeZip(entries).bytes); }), QStringLiteral("Trop de fichiers dans le classeur."));
}

TEST(ZipArchiveOpen, DirectoryFaults)
{
    auto archive = makeZip({{"a", "1", true}, {"b", "2", true}});
    QByteArray bytes = archive.bytes;
    patch32(bytes, archive.centralOffsets.at(1), 0x12345678);
    EXPECT_EQ(errorOf([&] { ZIP{bytes}; }), QStringLiteral("Index ZIP invalide."));

    bytes = archive.bytes;
    patch32(bytes, archive.endOffset + 16, quint32(archive.endOffset - 10));
    EXPECT_EQ(errorOf([&] { ZIP{bytes}; }), QStringLiteral("Index ZIP invalide."));
    patch32(bytes, archive.endOffset + 16, 0xFFFFFFF0u);
    EXPECT_EQ(errorOf([&] { ZIP{bytes}; }), truncatedArchive);

    bytes = archive.bytes;
    bytes[archive.centralOffsets.at(0) + 8] = 1; // encrypted
    EXPECT_EQ(errorOf([&] { ZIP{bytes}; }), refusedEntry);
    bytes = archive.bytes;
    patch16(bytes, archive.centralOffsets.at(0) + 10, 12); // bzip2
    EXPECT_EQ(errorOf([&] { ZIP{bytes}; }), refusedEntry);
    bytes = archive.bytes;
    patch32(bytes, archive.centralOffsets.at(0) + 24, ZIP::maximumEntrySize + 1);
    EXPECT_EQ(errorOf([&] { ZIP{bytes}; }), refusedEntry);
    bytes = archive.bytes;
    patch32(bytes, archive.centralOffsets.at(0) + 20, quint32(bytes.size() + 1));
    EXPECT_EQ(errorOf([&] { ZIP{bytes}; }), refusedEntry);

    EXPECT_EQ(errorOf([] { ZIP(makeZip({{"a", "1", true}, {"a", "2", true}}).bytes); }),
              QStringLiteral("Fichier ZIP répété."));
}

TEST(ZipArchiveOpen, TotalUncompressedSizeLimit)
{
    auto archive = makeZip({{"a", "1", false}, {"b", "2", false}, {"c", "", false}});
    patch32(archive.bytes, archive.centralOffsets.at(0) + 24, ZIP::maximumEntrySize);
    patch32(archive.bytes, archive.centralOffsets.at(1) + 24, ZIP::maximumEntrySize);
    EXPECT_NO_THROW(ZIP{archive.bytes}); // exactly 128 MiB declared
    patch32(archive.bytes, archive.centralOffsets.at(2) + 24, 1);
    EXPECT_EQ(errorOf([&] { ZIP{archive.bytes}; }), QStringLiteral("Classeur décompressé trop volumineux."));
}

TEST(ZipArchiveExtract, LargestEntryIsInflated)
{
    const QByteArray zeros(ZIP::maximumEntrySize, '\0');
    const ZIP zip(makeZip({{"big", zeros, true}}).bytes);
    EXPECT_EQ(zip.data(QStringLiteral("big")).size(), ZIP::maximumEntrySize);
}

TEST(ZipArchiveExtract, DeflateStreamFaults)
{
    const QByteArray content = text(100);
    const auto archive = makeZip({{"a", content, true}});
    const qint64 central = archive.centralOffsets.at(0);

    QByteArray bytes = archive.bytes;
    patch32(bytes, central + 24, quint32(content.size() - 1));
    EXPECT_EQ(errorOf([&] { ZIP(bytes).data(QStringLiteral("a")); }), incorrect);
    patch32(bytes, central + 24, quint32(content.size() + 1));
    EXPECT_EQ(errorOf([&] { ZIP(bytes).data(QStringLiteral("a")); }), incorrect);

    // A truncated stream: the declared compressed size stops short of the stream's end.
    bytes = archive.bytes;
    const quint32 compressed = ZipTest::rawDeflate(content).size();
    patch32(bytes, central + 20, compressed - 4);
    EXPECT_EQ(errorOf([&] { ZIP(bytes).data(QStringLiteral("a")); }), incorrect);
    // Garbage after the stream is not consumed.
    patch32(bytes, central + 20, compressed + 4);
    EXPECT_EQ(errorOf([&] { ZIP(bytes).data(QStringLiteral("a")); }), incorrect);

    // A size no deflate stream of that length can reach is refused before inflating.
    auto tiny = makeZip({{"a", "x", true}});
    patch32(tiny.bytes, tiny.centralOffsets.at(0) + 24, 60'000'000);
    EXPECT_EQ(errorOf([&] { ZIP(tiny.bytes).data(QStringLiteral("a")); }), incorrect);
}

TEST(ZipArchiveExtract, StoredEntryFaults)
{
    const auto archive = makeZip({{"a", "0123456789", false}});
    QByteArray bytes = archive.bytes;
    bytes[archive.localOffsets.at(0) + 30 + 1 + 4] = 'X';
    EXPECT_EQ(errorOf([&] { ZIP(bytes).data(QStringLiteral("a")); }), QStringLiteral("Classeur XLSX endommagé (CRC)."));

    bytes = archive.bytes;
    patch32(bytes, archive.centralOffsets.at(0) + 24, 9);
    EXPECT_EQ(errorOf([&] { ZIP(bytes).data(QStringLiteral("a")); }), QStringLiteral("Taille ZIP incorrecte."));

    bytes = archive.bytes;
    patch32(bytes, archive.localOffsets.at(0), 0);
    EXPECT_EQ(errorOf([&] { ZIP(bytes).data(QStringLiteral("a")); }), QStringLiteral("Fichier XLSX absent : a."));
    bytes = archive.bytes;
    patch32(bytes, archive.centralOffsets.at(0) + 42, 0x7FFFFFFF);
    EXPECT_EQ(errorOf([&] { ZIP(bytes).data(QStringLiteral("a")); }), QStringLiteral("Fichier XLSX absent : a."));
    // An extra length that sends the data past the end.
    bytes = archive.bytes;
    patch16(bytes, archive.localOffsets.at(0) + 28, 0xFFFF);
    EXPECT_EQ(errorOf([&] { ZIP(bytes).data(QStringLiteral("a")); }), truncatedArchive);
}

TEST(ZipArchiveOpen, InvalidUtf8NamesAreRepaired)
{
    const ZIP zip(makeZip({{"x\xFFy", "1", false}}).bytes);
    EXPECT_TRUE(zip.contains(QStringLiteral("x\uFFFDy")));
    EXPECT_EQ(zip.data(QStringLiteral("x\uFFFDy")), QByteArray("1"));
}

TEST(ZipArchiveBytes, RangesAreChecked)
{
    const ZIP zip(makeZip({{"a", "1", false}}).bytes);
    EXPECT_EQ(zip.readUInt32(0), 0x04034b50u);
    EXPECT_EQ(zip.bytes(0, 2), QByteArray("PK"));
    EXPECT_EQ(errorOf([&] { zip.bytes(-1, 2); }), truncatedArchive);
    EXPECT_EQ(errorOf([&] { zip.bytes(0, -1); }), truncatedArchive);
    EXPECT_EQ(errorOf([&] { zip.bytes(zip.data().size() - 1, 2); }), truncatedArchive);
    EXPECT_EQ(zip.bytes(zip.data().size(), 0), QByteArray());
}

TEST(ZipArchiveExtract, StreamingGivesTheBytesAndRefusalsOfAWholeExtraction)
{
    // Small entries are inflated in place, large ones on a second thread: both are covered.
    QByteArray large;
    for (int i = 0; large.size() < 3'000'000; ++i)
        large += "<row r=\"" + QByteArray::number(i) + "\"/>";
    const struct {
        const char* name;
        QByteArray content;
        bool deflate;
    } rows[] = {{"small deflated", "0123456789", true}, {"small stored", "0123456789", false},
                {"large deflated", large, true}};
    const auto streamed = [](const ZIP& zip) {
        QByteArray out;
        zip.stream(QStringLiteral("a"), [&out](const char* bytes, qsizetype count) { out.append(bytes, count); });
        return out;
    };
    for (const auto& row : rows) {
        const auto archive = makeZip({{"a", row.content, row.deflate}});
        EXPECT_EQ(streamed(ZIP(archive.bytes)), row.content) << row.name;

        QByteArray damaged = archive.bytes;
        patch32(damaged, archive.centralOffsets.at(0) + 16, 0);
        EXPECT_EQ(errorOf([&] { streamed(ZIP(damaged)); }), errorOf([&] { ZIP(damaged).data(QStringLiteral("a")); }))
            << row.name;
        EXPECT_EQ(errorOf([&] { streamed(ZIP(damaged)); }), QStringLiteral("Classeur XLSX endommagé (CRC)."));

        // A size one byte short of what the stream holds.
        damaged = archive.bytes;
        patch32(damaged, archive.centralOffsets.at(0) + 24, quint32(row.content.size() - 1));
        EXPECT_EQ(errorOf([&] { streamed(ZIP(damaged)); }), errorOf([&] { ZIP(damaged).data(QStringLiteral("a")); }))
            << row.name;
    }
}
