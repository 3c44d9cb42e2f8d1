#include "desktop/DocumentDiskVersion.h"

#include <QSet>

#include <gtest/gtest.h>

// The digest tells apart two versions of a work that differ in a single byte, wherever that byte
// lies, to the very last one; the hundreds of versions here are more than a byte has values.
TEST(DocumentDiskVersionDigest, OneByteChangedAnywhereGivesAnotherDigest)
{
    QByteArray base(4099, '\0');
    for (qsizetype i = 0; i < base.size(); ++i)
        base[i] = char('a' + i % 23);
    QSet<QByteArray> digests{DocumentDiskVersion::digestOf(base)};
    int versions = 1;
    for (qsizetype at = 0; at < base.size(); at += 13) {
        for (qsizetype changed : {at, base.size() - 1 - at}) {
            QByteArray other = base;
            other[changed] = char(other[changed] ^ 0x01);
            digests.insert(DocumentDiskVersion::digestOf(other));
            ++versions;
        }
    }
    EXPECT_EQ(digests.size(), versions);
}
