#include "basemaps/LegacyPelmoraImporter.h"
#include "basemaps/LegacyPelmoraLayout.h"
#include "basemaps/LegacyPelmoraTable.h"
#include "model/PlmErrors.h"
#include "support/PelmoraTestFiles.h"

#include <gtest/gtest.h>

#include <random>

using namespace PelmoraTestFiles;

namespace {

// Mutated copies of valid files: every reader must answer with a map, a table, a count or one
// French sentence; nothing may crash, hang or throw anything else.
QByteArray mutate(QByteArray bytes, std::mt19937& random)
{
    const int edits = 1 + int(random() % 4);
    for (int e = 0; e < edits && !bytes.isEmpty(); ++e) {
        const qsizetype at = qsizetype(random() % quint32(bytes.size()));
        switch (random() % 4) {
        case 0: bytes[at] = char(random()); break;
        case 1: bytes[at] = char(0xFF); break;
        case 2: bytes.truncate(at); break;
        default: bytes.insert(at, char(random())); break;
        }
    }
    return bytes;
}

template <typename Read>
int survive(const QByteArray& seed, int rounds, Read read)
{
    std::mt19937 random(1234);
    int refused = 0;
    for (int i = 0; i < rounds; ++i) {
        const QByteArray bytes = mutate(seed, random);
        try {
            read(bytes);
        } catch (const PlmError& error) {
            EXPECT_FALSE(error.message().isEmpty());
            ++refused;
        }
    }
    return refused;
}

TEST(PelmoraFuzzTest, BaseMapReadersSurviveMutations)
{
    const auto read = [](const QByteArray& b) {
        LegacyPelmoraImporter::isLegacyBaseMap(b);
        LegacyPelmoraImporter::importMap(b, QStringLiteral("f"), QStringLiteral("f"));
    };
    QByteArray collection;
    putWord(collection, 1);
    collection.append(QByteArray(4000, '\0'));
    setLong(collection, 2, 4002);
    QByteArray entry = nameField("E");
    entry.append(QByteArray(6, '\0'));
    entry += compactMap(2, 1, 1).mid(36);
    setLong(entry, 24, entry.size() - 2);
    collection += entry;
    const QList<QByteArray> seeds = {compactMap(3, 2, 2), detailedMap({{{0, 0}, {1, 0}, {0, 1}}}, {{{1, 1}, {2, 2}}}, {{0, 0}}),
                                     dressedMap({{{0, 0}, {1, 0}, {0, 1}}}, {{1, 1}}), collection};
    for (const QByteArray& seed : seeds)
        EXPECT_GT(survive(seed, 400, read), 0);
}

TEST(PelmoraFuzzTest, TableAndLayoutSurviveMutations)
{
    const QByteArray tab = table({{"A", {{0, 1}, {1, 2}}}, {"", {{1, 3}}}}, {"x", "y"});
    EXPECT_GT(survive(tab, 300, [](const QByteArray& b) { LegacyPelmoraTable::parse(b); }), 0);
    const QByteArray hab = layoutFile(1, 0, 1);
    ASSERT_EQ(LegacyPelmoraLayout::countObjects(hab), 2);
    EXPECT_GT(survive(hab, 300, [](const QByteArray& b) { LegacyPelmoraLayout::countObjects(b); }), 0);
}

TEST(PelmoraFuzzTest, HugeCountsAreRefusedWithoutReadingPastTheFile)
{
    QByteArray compact = compactHeader(0xFFFF, 0xFFFF, 0xFFFF);
    EXPECT_THROW(LegacyPelmoraImporter::importMap(compact, "f", "f"), PlmMapError);
    QByteArray detailed = detailedMap({}, {}, {});
    detailed[80] = char(0xFF);
    EXPECT_THROW(LegacyPelmoraImporter::importMap(detailed, "f", "f"), PlmMapError);
    QByteArray tab = table({{"A", {}}}, {"x"});
    tab[2] = char(0x10); // 4,096 variables announced, one present
    tab[3] = 0;
    EXPECT_THROW(LegacyPelmoraTable::parse(tab), PlmMapError);
}

} // namespace
