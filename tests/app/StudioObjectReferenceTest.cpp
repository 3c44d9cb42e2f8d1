#include "app/StudioObjectReference.h"
#include "model/PlmErrors.h"
#include "support/ErrorCapture.h"

#include <gtest/gtest.h>

namespace {

QString decodingMessage(const QByteArray& json)
{
    return thrownMessage<PlmJsonDecodingError>([&] { StudioObjectReference::fromJson(json); });
}

TEST(StudioObjectReferenceTest, WritesCompactJsonOfEachCase)
{
    EXPECT_EQ(StudioObjectReference::entity({"A", "B"}).toJson(), QByteArray(R"({"entity":{"_0":["A","B"]}})"));
    EXPECT_EQ(StudioObjectReference::decoration("d1").toJson(), QByteArray(R"({"decoration":{"_0":"d1"}})"));
    EXPECT_EQ(StudioObjectReference::legend("legend").key(), QStringLiteral(R"({"legend":{"_0":"legend"}})"));
    EXPECT_EQ(StudioObjectReference::pasteboardType, QStringLiteral("ondrel.pelmorastudio.studio-object"));
}

TEST(StudioObjectReferenceTest, ReadsBackWhatItWritesWithAnySpacing)
{
    const StudioObjectReference path = StudioObjectReference::entity({"A", "B"});
    EXPECT_EQ(StudioObjectReference::fromJson(path.toJson()), path);
    EXPECT_EQ(StudioObjectReference::fromJson(QByteArray(R"({"entity": {"_0": ["A", "B"]}})")), path);
    EXPECT_EQ(StudioObjectReference::fromJson(QByteArray(R"({"legend":{"_0":"secondLegend"}})")),
              StudioObjectReference::legend("secondLegend"));
    // Unknown keys beside the case are ignored.
    EXPECT_EQ(StudioObjectReference::fromJson(QByteArray(R"({"x":1,"decoration":{"_0":"d1"}})")),
              StudioObjectReference::decoration("d1"));
}

TEST(StudioObjectReferenceTest, EscapedIdsRoundTrip)
{
    const StudioObjectReference odd = StudioObjectReference::entity({"a\"b", "c\\d", "é\n\x01"});
    EXPECT_EQ(StudioObjectReference::fromJson(odd.toJson()), odd);
    EXPECT_NE(odd.key(), StudioObjectReference::entity({"a\"b", "c\\d"}).key());
}

TEST(StudioObjectReferenceTest, RefusesAnythingButExactlyOneCase)
{
    const QString twoKeys = QStringLiteral("Invalid number of keys found, expected one.");
    EXPECT_EQ(decodingMessage(R"({"entity":{"_0":["A"]},"legend":{"_0":"legend"}})"), twoKeys);
    EXPECT_EQ(decodingMessage(R"({})"), twoKeys);
    EXPECT_EQ(decodingMessage(R"({"other":{"_0":"x"}})"), twoKeys);
    // Wrong payload types and shapes.
    EXPECT_FALSE(StudioObjectReference::read(R"({"entity":{"_0":"A"}})"));
    EXPECT_FALSE(StudioObjectReference::read(R"({"decoration":{"_0":["d"]}})"));
    EXPECT_FALSE(StudioObjectReference::read(R"({"legend":{}})"));
    EXPECT_FALSE(StudioObjectReference::read(R"(["entity"])"));
    EXPECT_FALSE(StudioObjectReference::read("not json"));
    EXPECT_FALSE(StudioObjectReference::read(QByteArray(100000, '[')));
}

} // namespace
