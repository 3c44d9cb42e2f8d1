#include "support/PlmMapTestSupport.h"

#include "model/PlmErrors.h"
#include "model/PlmJson.h"
#include "model/PlmMapCodec.h"
#include "support/ErrorCapture.h"

#include <gtest/gtest.h>

using namespace PlmMapTest;

namespace {

QString decodingErrorOf(const QByteArray& bytes)
{
    try {
        PlmMapCodec::decode(bytes);
    } catch (const PlmJsonDecodingError& error) {
        return error.message();
    } catch (const PlmMapError& error) {
        return QStringLiteral("PlmMapError: ") + error.message();
    }
    return QStringLiteral("<no error>");
}

QByteArray envelope(const QByteArray& version, const QByteArray& map)
{
    return "{\"version\": " + version + ", \"map\": " + map + "}";
}

const QByteArray emptyMapJson = R"({"name": "M", "entities": [], "metadata": {}})";

} // namespace

TEST(PlmMapCodecTest, everyGeometryCaseRoundTrips)
{
    const PlmMap map = everyKindMap();
    const QByteArray bytes = PlmMapCodec::encode(map);
    const PlmMap decoded = PlmMapCodec::decode(bytes);
    EXPECT_EQ(decoded, map);
    // Writing again gives the same bytes: sorted keys make the text a function of the value.
    EXPECT_EQ(PlmMapCodec::encode(decoded), bytes);
    // An explicit false flag stays distinct from an absent one.
    EXPECT_EQ(decoded.entities.at(0).isHidden, std::optional<bool>(false));
    EXPECT_FALSE(decoded.entities.at(1).isHidden.has_value());
}

TEST(PlmMapCodecTest, emptyMapHasExactlyTheRequiredKeys)
{
    const PlmMap map(QStringLiteral("Vide"), {});
    const QByteArray bytes = PlmMapCodec::encode(map);
    const PlmJsonDocument document = PlmJsonDocument::parse(bytes);
    QStringList topKeys;
    for (auto [key, value] : document.root().members())
        topKeys << QString::fromUtf8(key.data(), qsizetype(key.size()));
    EXPECT_EQ(topKeys, QStringList({"map", "version"}));
    EXPECT_EQ(document.root().field<int>("version"), 1);
    QStringList mapKeys;
    for (auto [key, value] : document.root().member("map").members())
        mapKeys << QString::fromUtf8(key.data(), qsizetype(key.size()));
    EXPECT_EQ(mapKeys, QStringList({"entities", "metadata", "name"}));
    EXPECT_EQ(bytes, QByteArray("{\n  \"map\" : {\n    \"entities\" : [],\n    \"metadata\" : {},\n"
                                "    \"name\" : \"Vide\"\n  },\n  \"version\" : 1\n}"));
    EXPECT_EQ(PlmMapCodec::decode(bytes), map);
}

TEST(PlmMapCodecTest, versionIsCheckedAfterTheWholeDocumentDecoded)
{
    EXPECT_EQ(decodingErrorOf(envelope("2", emptyMapJson)),
              QStringLiteral("PlmMapError: Version .plmmap non prise en charge : 2"));
    EXPECT_EQ(decodingErrorOf(envelope("0", emptyMapJson)),
              QStringLiteral("PlmMapError: Version .plmmap non prise en charge : 0"));
    EXPECT_EQ(decodingErrorOf(envelope("1.5", emptyMapJson)),
              QStringLiteral("Parsed JSON number <1.5> does not fit in Int."));
    EXPECT_EQ(decodingErrorOf(envelope("\"1\"", emptyMapJson)),
              QStringLiteral("Expected to decode Int but found a string instead."));
    // A map that does not decode wins over a wrong version.
    EXPECT_EQ(decodingErrorOf(envelope("2", R"({"name": "M", "entities": []})")),
              QStringLiteral("No value associated with key \"metadata\"."));
    EXPECT_NO_THROW(PlmMapCodec::decode(envelope("1", emptyMapJson)));
}

TEST(PlmMapCodecTest, invalidMapsAreNeitherWrittenNorRead)
{
    const PlmMap emptyGroup = mapOf({groupEntity(QStringLiteral("g"), {})});
    EXPECT_EQ(thrownMessage<PlmMapError>([&] { PlmMapCodec::encode(emptyGroup); }), QStringLiteral("Groupe vide."));
    const QByteArray file = envelope("1", R"({"name": "M", "metadata": {}, "entities": [
        {"id": "a", "name": "", "attributes": {}, "geometry": {"point": {"_0": {"x": 0, "y": 0}}},
         "style": {"stroke": {"red": 0, "green": 0, "blue": 0, "alpha": 1}, "lineWidth": 1, "pointRadius": 0}}]})");
    EXPECT_EQ(decodingErrorOf(file), QStringLiteral("PlmMapError: Style invalide : a"));
}

TEST(PlmMapCodecTest, geometryNeedsExactlyOneCaseKey)
{
    const QByteArray style = R"("style": {"stroke": {"red": 0, "green": 0, "blue": 0, "alpha": 1}, "lineWidth": 1, "pointRadius": 2})";
    auto file = [&](const QByteArray& geometry) {
        return envelope("1", R"({"name": "M", "metadata": {}, "entities": [{"id": "a", "name": "", "attributes": {}, "geometry": )"
                                 + geometry + ", " + style + "}]}");
    };
    EXPECT_EQ(decodingErrorOf(file(R"({"point": {"_0": {"x": 1, "y": 2}}, "polyline": {"_0": []}})")),
              QStringLiteral("Invalid number of keys found, expected one."));
    EXPECT_EQ(decodingErrorOf(file(R"({"note": 1})")),
              QStringLiteral("Invalid number of keys found, expected one."));
    const PlmMap map = PlmMapCodec::decode(file(R"({"point": {"_0": {"x": 1, "y": 2}}, "note": 1})"));
    EXPECT_EQ(map.entities.at(0).geometry, PlmGeometry::point({1, 2}));
    // Unknown keys elsewhere are ignored too; an explicit null optional reads as absent.
    const PlmMap withNull = PlmMapCodec::decode(envelope(
        "1", R"({"name": "M", "metadata": {}, "sources": null, "extra": [1], "entities": []})"));
    EXPECT_FALSE(withNull.sources.has_value());
}

TEST(PlmMapCodecTest, wrongTypesAndMissingKeysFailToDecode)
{
    EXPECT_EQ(decodingErrorOf(envelope("1", R"({"name": "M", "entities": []})")),
              QStringLiteral("No value associated with key \"metadata\"."));
    EXPECT_EQ(decodingErrorOf(envelope("1", R"({"name": 3, "metadata": {}, "entities": []})")),
              QStringLiteral("Expected to decode String but found number instead."));
    EXPECT_EQ(decodingErrorOf(envelope("1", R"({"name": "M", "metadata": {"k": 1}, "entities": []})")),
              QStringLiteral("Expected to decode String but found number instead."));
    EXPECT_EQ(decodingErrorOf(envelope("1", R"({"name": "M", "metadata": {}, "entities": [],
        "sources": [{"name": "a", "data": "AQ"}]})")),
              QStringLiteral("Encountered Data is not valid Base64."));
    EXPECT_EQ(decodingErrorOf("{\"version\": 1, \"map\": "), QStringLiteral(
        "The given data was not valid JSON (unexpected end of data at byte 22)."));
}

TEST(PlmMapCodecTest, deeplyNestedGroupsAreRefusedWhileDecoding)
{
    // A file of 100,000 nested groups: refused with the group message, without recursing
    // 100,000 levels in the decoder, the walks, equality or the destructors.
    const int levels = 100000;
    const QByteArray style = R"("style":{"stroke":{"red":0,"green":0,"blue":0,"alpha":1},"lineWidth":1,"pointRadius":2})";
    const QByteArray open = R"({"id":"g","name":"","attributes":{},)" + style + R"(,"geometry":{"group":{"_0":[)";
    const QByteArray close = "]}}}";
    const QByteArray leaf = R"({"id":"p","name":"","attributes":{},)" + style
        + R"(,"geometry":{"point":{"_0":{"x":0,"y":0}}}})";
    QByteArray body;
    body.reserve(levels * (open.size() + close.size()) + leaf.size());
    for (int i = 0; i < levels; ++i)
        body += open;
    body += leaf;
    for (int i = 0; i < levels; ++i)
        body += close;
    const QByteArray file = envelope("1", R"({"name":"M","metadata":{},"entities":[)" + body + "]}");
    EXPECT_EQ(decodingErrorOf(file), QStringLiteral("PlmMapError: Groupes trop profondément imbriqués."));

    // Arrays nested as deep in place of a ring: a plain decoding error, no recursion either.
    QByteArray arrays = R"({"name":"M","metadata":{},"entities":[{"id":"p","name":"","attributes":{},)" + style
        + R"(,"geometry":{"polyline":{"_0":)";
    arrays += QByteArray(levels, '[') + QByteArray(levels, ']') + "}}}]}";
    EXPECT_EQ(decodingErrorOf(envelope("1", arrays)),
              QStringLiteral("Expected to decode Dictionary<String, Any> but found an array instead."));
}

TEST(PlmMapCodecTest, groupDepthLimitIsSixtyThreeBothWays)
{
    const PlmMap deepest = mapOf({nestedGroups(63, pointEntity(QStringLiteral("p")))});
    const QByteArray bytes = PlmMapCodec::encode(deepest);
    EXPECT_EQ(PlmMapCodec::decode(bytes), deepest);

    const PlmMap tooDeep = mapOf({nestedGroups(64, pointEntity(QStringLiteral("p")))});
    EXPECT_EQ(thrownMessage<PlmMapError>([&] { PlmMapCodec::encode(tooDeep); }),
              QStringLiteral("Groupes trop profondément imbriqués."));
    // The same structure written without validation is refused when read.
    PlmJsonWriter writer;
    writer.beginObject();
    writer.field("map", tooDeep);
    writer.field("version", 1);
    writer.endObject();
    EXPECT_EQ(decodingErrorOf(writer.takeBytes()),
              QStringLiteral("PlmMapError: Groupes trop profondément imbriqués."));
}

TEST(PlmMapCodecTest, yAxisSignFollowsTheMetadata)
{
    using Metadata = QMap<QString, QString>;
    EXPECT_EQ(PlmMap::yAxisSign(Metadata{}), 1);
    EXPECT_EQ(PlmMap::yAxisSign(Metadata{{"coordinates.yAxis", "up"}, {"legacy.variant", "compact-v1"}}), 1);
    EXPECT_EQ(PlmMap::yAxisSign(Metadata{{"legacy.variant", "compact-v1"}}), -1);
    EXPECT_EQ(PlmMap::yAxisSign(Metadata{{"legacy.variant", "extended-fixed16.16-v1"}}), -1);
    EXPECT_EQ(PlmMap::yAxisSign(Metadata{{"coordinates.yAxis", "Down"}}), 1);
    EXPECT_EQ(PlmMap::yAxisSign(Metadata{{"coordinates.yAxis", "down"}}), -1);
    EXPECT_EQ(PlmMap::yAxisSign(Metadata{{"legacy.variant", "indexed-compact-v1"}}), 1);

    PlmMap map(QStringLiteral("M"), {}, {{"coordinates.yAxis", "down"}});
    EXPECT_EQ(map.yAxisSign(), -1);
    EXPECT_EQ(map.orientedPoint({3, 4}), (PlmPoint{3, -4}));
}

TEST(PlmMapCodecTest, damagedFilesFailCleanly)
{
    // Truncations and byte changes of a valid file either decode or throw one of our errors.
    const QByteArray bytes = PlmMapCodec::encode(everyKindMap());
    unsigned seed = 99;
    int refused = 0;
    for (int round = 0; round < 400; ++round) {
        seed = seed * 1664525u + 1013904223u;
        QByteArray damaged = bytes;
        if (round % 2 == 0) {
            damaged.truncate(qsizetype(seed % unsigned(bytes.size())));
        } else {
            for (int k = 0; k < 3; ++k) {
                seed = seed * 1664525u + 1013904223u;
                damaged[qsizetype(seed % unsigned(bytes.size()))] = char("{}[]\",:0-e.\\ax"[(seed >> 20) % 15]);
            }
        }
        try {
            PlmMapCodec::decode(damaged);
        } catch (const PlmError&) {
            ++refused;
        }
    }
    EXPECT_GT(refused, 200);
}

// Documents of thousands of entities are decoded and validated on several threads, written
// on one line or with an entity per line as the writer does (read in stretches): the result,
// and the error met first in the order of the file, are those of a decoding in order.
TEST(PlmMapCodecTest, largeDocumentsDecodeAsInOrder)
{
    const PlmEntityList rich = everyKindMap().entities;
    PlmEntityList entities;
    for (int i = 0; i < 5000; ++i) {
        PlmEntity entity = rich[i % 6]; // the group, whose members' ids repeat, comes once
        entity.id = QStringLiteral("e%1").arg(i);
        entities.append(entity);
    }
    entities.append(rich[6]);
    const PlmMap large(QStringLiteral("Grand fond"), entities, {});
    EXPECT_EQ(PlmMapCodec::decode(PlmMapCodec::encode(large)), large);

    const QByteArray style = R"("style":{"stroke":{"red":0,"green":0,"blue":0,"alpha":1},"lineWidth":1,"pointRadius":2})";
    // Entities of 1 kB: several megabytes in all.
    const QByteArray rest = R"("attributes":{"texte":")" + QByteArray(1000, 'x') + R"("},)" + style
        + R"(,"geometry":{"point":{"_0":{"x":0,"y":0}}}})";
    const auto document = [&](const QMap<int, QByteArray>& broken, const char* separator) {
        QByteArray body;
        for (int i = 0; i < 5000; ++i) {
            body += i ? "," : "";
            body += separator;
            body += broken.value(i, R"({"id":"e)" + QByteArray::number(i) + R"(","name":"",)" + rest);
        }
        return envelope("1", R"({"name":"M","metadata":{},"entities":[)" + body + "]}");
    };
    const QByteArray numberName = R"({"id":"x","name":1,)" + rest;
    const QByteArray noId = R"({"name":"",)" + rest;
    const QByteArray duplicateId = R"({"id":"e5","name":"",)" + rest;
    const QByteArray badStyle = R"({"id":"b","name":"","attributes":{},"geometry":{"point":{"_0":{"x":0,"y":0}}},)"
                                R"("style":{"stroke":{"red":0,"green":0,"blue":0,"alpha":1},"lineWidth":-1,"pointRadius":2}})";
    const QByteArray noColon = R"({"id" "x"})";
    const QByteArray tooDeep = PlmJson::encode(groupEntity(QStringLiteral("g"),
                                                           {nestedGroups(64, pointEntity(QStringLiteral("p")))}));
    // Symbols whose maps nest three deep inside the document's own map.
    PlmEntity symbols = pointEntity(QStringLiteral("s"));
    for (int k = 0; k < 3; ++k) {
        PlmEntity outer = pointEntity(QStringLiteral("s"));
        outer.pointSymbol = PlmPointSymbol(std::nullopt, PlmMap(QStringLiteral("symbole"), PlmEntityList{symbols}));
        symbols = outer;
    }
    const struct {
        const char* name;
        QMap<int, QByteArray> broken;
        QString error;
    } rows[] = {
        {"type first", {{1300, numberName}, {4700, noId}}, QStringLiteral("Expected to decode String but found number instead.")},
        {"missing key first", {{1300, noId}, {4700, numberName}}, QStringLiteral("No value associated with key \"id\".")},
        {"groups first", {{3000, tooDeep}, {4999, noId}}, QStringLiteral("PlmMapError: Groupes trop profondément imbriqués.")},
        {"symbol maps first", {{2600, PlmJson::encode(symbols)}, {4000, noId}},
         QStringLiteral("PlmMapError: Symbole SVG sans tracés vectoriels.")},
        {"syntax anywhere first", {{300, numberName}, {4800, noColon}},
         QStringLiteral("The given data was not valid JSON (expected ':' at byte %1).")},
        {"duplicate id first", {{2000, duplicateId}, {4000, badStyle}},
         QStringLiteral("PlmMapError: Identifiant vide ou dupliqué : e5")},
        {"invalid style first", {{1000, badStyle}, {4000, duplicateId}}, QStringLiteral("PlmMapError: Style invalide : b")},
    };
    for (const auto& row : rows)
        for (const char* separator : {"", "\n      "}) {
            const QByteArray bytes = document(row.broken, separator);
            const QString error = row.error.contains(QLatin1String("%1"))
                ? row.error.arg(bytes.indexOf(noColon) + 6)
                : row.error;
            EXPECT_EQ(decodingErrorOf(bytes), error) << row.name << (*separator ? " (lines)" : "");
        }
}
