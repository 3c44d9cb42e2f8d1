#include "support/PlmMapTestSupport.h"

#include "model/PlmErrors.h"
#include "model/PlmJson.h"
#include "support/ErrorCapture.h"

#include <gtest/gtest.h>

using namespace PlmMapTest;

TEST(PlmMapValuesTest, absentAndFalseFlagsDiffer)
{
    PlmEntity absent = pointEntity("p");
    PlmEntity shown = absent;
    shown.isHidden = false;
    EXPECT_NE(absent, shown);
    EXPECT_FALSE(shown.hidden());
    EXPECT_FALSE(absent.hidden());
}

TEST(PlmMapValuesTest, absentOptionalsAreLeftOutAndReadBackEqual)
{
    const PlmStyle style(PlmColor{0, 0.5, 1, 1}, std::nullopt, 0, 2);
    const QByteArray json = PlmJson::encode(style);
    for (const char* key : {"\"fill\"", "\"dash\"", "\"lineCap\"", "\"lineJoin\""})
        EXPECT_FALSE(json.contains(key)) << key;
    EXPECT_EQ(PlmJson::decode<PlmStyle>(json), style);

    const QByteArray entityJson = PlmJson::encode(pointEntity("p"));
    for (const char* key : {"\"pointSymbol\"", "\"clipPaths\"", "\"isHidden\"", "\"isLocked\""})
        EXPECT_FALSE(entityJson.contains(key)) << key;
    EXPECT_TRUE(entityJson.contains("\"attributes\" : {}"));

    EXPECT_TRUE(PlmJson::encode(PlmPolygon{square(0, 0, 1), {}}).contains("\"holes\" : []"));
}

TEST(PlmMapValuesTest, requiredEmptyContainersMustBePresent)
{
    const QByteArray entity = R"({"id": "a", "name": "", "geometry": {"point": {"_0": {"x": 0, "y": 0}}},
        "style": {"stroke": {"red": 0, "green": 0, "blue": 0, "alpha": 1}, "lineWidth": 1, "pointRadius": 2}})";
    EXPECT_EQ(thrownMessage<PlmJsonDecodingError>([&] { PlmJson::decode<PlmEntity>(entity); }),
              QStringLiteral("No value associated with key \"attributes\"."));
}

TEST(PlmMapValuesTest, colorModesAreStoredByName)
{
    PlmPointSymbol symbol(QStringLiteral("star"), std::nullopt);
    symbol.colorMode = PlmPointSymbolColorMode::fixed;
    const QByteArray json = PlmJson::encode(symbol);
    EXPECT_TRUE(json.contains("\"colorMode\" : \"fixed\""));
    EXPECT_EQ(PlmJson::decode<PlmPointSymbol>(json), symbol);
    EXPECT_THROW(PlmJson::decode<PlmPointSymbol>(R"({"sfSymbolName": "star", "colorMode": "Fixed"})"),
                 PlmJsonDecodingError);
}

TEST(PlmMapValuesTest, dictionariesCompareByContent)
{
    const PlmMap a = PlmJson::decode<PlmMap>(R"({"name": "m", "entities": [], "metadata": {"a": "1", "b": "2"}})");
    const PlmMap b = PlmJson::decode<PlmMap>(R"({"metadata": {"b": "2", "a": "1"}, "entities": [], "name": "m"})");
    EXPECT_EQ(a, b);
}

TEST(PlmMapValuesTest, geometriesCompareByCaseAndPayload)
{
    EXPECT_NE(PlmGeometry::polyline({{0, 0}, {1, 1}}), PlmGeometry::multipolygon({}));
    EXPECT_EQ(PlmGeometry::group({pointEntity("a")}), PlmGeometry::group({pointEntity("a")}));
    EXPECT_NE(PlmGeometry::group({pointEntity("a")}), PlmGeometry::group({pointEntity("b")}));
    EXPECT_NE(PlmGeometry::point({NAN, 0}), PlmGeometry::point({NAN, 0}));
}
