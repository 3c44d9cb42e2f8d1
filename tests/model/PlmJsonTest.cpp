#include "model/PlmErrors.h"
#include "model/PlmJson.h"
#include "model/PlmPoint.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <limits>
#include <random>

namespace {

PlmJsonDecodingError decodingErrorOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const PlmJsonDecodingError& error) {
        return error;
    }
    return PlmJsonDecodingError(PlmJsonDecodingError::Kind::dataCorrupted, QStringLiteral("<none>"), QString());
}

bool parses(const QByteArray& text)
{
    try {
        PlmJsonDocument::parse(text);
        return true;
    } catch (const PlmJsonDecodingError&) {
        return false;
    }
}

} // namespace

TEST(PlmJsonTest, writerPrettyPrintsWithSortedKeys)
{
    PlmJsonWriter w;
    w.beginObject();
    w.field("a", QList<int>{1, 2});
    w.field("b", QList<int>{});
    w.key("c");
    w.beginObject();
    w.endObject();
    w.field("d", QString::fromUtf8("é\"\\\n\x01/"));
    w.field("e", 0.1);
    w.field("f", -0.0);
    w.field("g", 1e21);
    w.optionalField("h", std::optional<bool>());
    w.optionalField("i", std::optional<bool>(false));
    w.endObject();
    EXPECT_EQ(w.takeBytes(), QByteArray("{\n  \"a\" : [\n    1,\n    2\n  ],\n  \"b\" : [],\n  \"c\" : {},\n"
                                        "  \"d\" : \"é\\\"\\\\\\n\\u0001/\",\n  \"e\" : 0.1,\n  \"f\" : -0,\n"
                                        "  \"g\" : 1e+21,\n  \"i\" : false\n}"));
}

TEST(PlmJsonTest, writerIndentsOnlyTheShallowLevels)
{
    PlmJsonWriter w;
    for (int i = 0; i < 6; ++i)
        w.beginArray();
    w.beginObject();
    w.field("a", 1);
    w.field("b", QList<int>{2, 3});
    w.endObject();
    for (int i = 0; i < 6; ++i)
        w.endArray();
    EXPECT_EQ(w.takeBytes(), QByteArray("[\n  [\n    [\n      [\n        [\n          [{\"a\":1,\"b\":[2,3]}]\n"
                                        "        ]\n      ]\n    ]\n  ]\n]"));
}

TEST(PlmJsonTest, writerRefusesATextPastItsMaximum)
{
    const QByteArray twelve("123456789abc");
    struct Case {
        const char* name;
        size_t maximum;
        bool fits;
    };
    for (const Case& row : {Case{"exact", 18, true}, Case{"oneByteShort", 17, false}}) {
        for (bool base64 : {false, true}) {
            PlmJsonWriter w(4, row.maximum);
            auto write = [&] {
                if (base64)
                    w.writeBase64(twelve); // 16 characters and the quotes
                else
                    w.writeUtf8String("0123456789abcdef");
            };
            if (row.fits) {
                write();
                EXPECT_EQ(w.takeBytes().size(), 18) << row.name;
            } else {
                EXPECT_THROW(write(), PlmJsonTooLargeError) << row.name;
            }
        }
    }
}

TEST(PlmJsonTest, writerRefusesWhatJsonCannotHold)
{
    PlmJsonWriter w;
    w.beginObject();
    w.key("b");
    w.writeInteger(1);
    EXPECT_THROW(w.key("a"), PlmJsonEncodingError);
    EXPECT_THROW(w.key("b"), PlmJsonEncodingError);
    PlmJsonWriter nan;
    EXPECT_THROW(nan.writeDouble(std::numeric_limits<double>::quiet_NaN()), PlmJsonEncodingError);
    PlmJsonWriter inf;
    EXPECT_THROW(inf.writeDouble(-std::numeric_limits<double>::infinity()), PlmJsonEncodingError);
    PlmJsonWriter open;
    open.beginArray();
    EXPECT_THROW(open.takeBytes(), PlmJsonEncodingError);
}

TEST(PlmJsonTest, dictionariesAreWrittenInCodePointOrder)
{
    // U+FFFD sorts before U+1F600 by code point, after it by UTF-16 code unit.
    const QMap<QString, QString> map{{QString::fromUtf8("\xF0\x9F\x98\x80"), "smile"},
                                     {QString::fromUtf8("\xEF\xBF\xBD"), "replacement"},
                                     {"B", "b"},
                                     {"a", "a"}};
    const QByteArray json = PlmJson::encode(map);
    EXPECT_LT(json.indexOf("\"B\""), json.indexOf("\"a\""));
    EXPECT_LT(json.indexOf("replacement"), json.indexOf("smile"));
    EXPECT_EQ((PlmJson::decode<QMap<QString, QString>>(json)), map);
}

TEST(PlmJsonTest, readerFollowsTheGrammarStrictly)
{
    EXPECT_TRUE(parses(" \t\r\n{ \"a\" : [ 1 , -0.5e-3 , true , false , null , \"x\" ] } \n"));
    EXPECT_TRUE(parses("0"));
    EXPECT_TRUE(parses("\xEF\xBB\xBF{}"));
    EXPECT_TRUE(parses("\"\\ud83d\\ude00\""));
    for (const char* bad : {"", "[1,]", "{\"a\":1,}", "01", "+1", ".5", "1.", "1e", "NaN", "Infinity", "[1 2]",
                            "{\"a\" 1}", "{a:1}", "\"\x01\"", "\"\\x\"", "\"\\ud800\"", "\"\\udc00\"",
                            "\"\xC0\xAF\"", "\"\xED\xA0\x80\"", "\"\xF5\x80\x80\x80\"", "[1] [2]", "tru", "'a'"})
        EXPECT_FALSE(parses(QByteArray(bad))) << bad;
    const PlmJsonDocument surrogates = PlmJsonDocument::parse("\"a\\u00e9\\ud83d\\ude00\\n\"");
    EXPECT_EQ(surrogates.root().toString(), QString::fromUtf8("aé\xF0\x9F\x98\x80\n"));
}

TEST(PlmJsonTest, numbersAndIntegersAreTyped)
{
    const PlmJsonDocument d = PlmJsonDocument::parse(
        R"({"i": 42, "f": 1.5, "s": "1", "big": 1e400, "whole": 2.0, "neg": -7, "b": true, "huge": 99999999999})");
    const PlmJsonValue root = d.root();
    EXPECT_EQ(root.field<int>("i"), 42);
    EXPECT_EQ(root.field<int>("whole"), 2);
    EXPECT_EQ(root.field<qint64>("neg"), -7);
    EXPECT_EQ(root.field<qint64>("huge"), 99999999999);
    EXPECT_EQ(root.field<double>("i"), 42.0);
    EXPECT_EQ(decodingErrorOf([&] { root.field<int>("f"); }).message(),
              QStringLiteral("Parsed JSON number <1.5> does not fit in Int."));
    EXPECT_EQ(decodingErrorOf([&] { root.field<int>("huge"); }).message(),
              QStringLiteral("Parsed JSON number <99999999999> does not fit in Int."));
    EXPECT_EQ(decodingErrorOf([&] { root.field<int>("s"); }).kind(), PlmJsonDecodingError::Kind::typeMismatch);
    EXPECT_EQ(decodingErrorOf([&] { root.field<double>("s"); }).kind(), PlmJsonDecodingError::Kind::typeMismatch);
    EXPECT_EQ(decodingErrorOf([&] { root.field<bool>("i"); }).kind(), PlmJsonDecodingError::Kind::typeMismatch);
    EXPECT_EQ(decodingErrorOf([&] { root.field<double>("big"); }).kind(), PlmJsonDecodingError::Kind::dataCorrupted);
}

TEST(PlmJsonTest, doublesRoundTripExactly)
{
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> uniform(-1e6, 1e6);
    QList<double> values{0.1, 1.0 / 3.0, 5e-324, 1.7976931348623157e308, -0.0, 123456789.125};
    for (int i = 0; i < 2000; ++i)
        values.append(uniform(random) * std::pow(10.0, double(int(random() % 40) - 20)));
    const QList<double> decoded = PlmJson::decode<QList<double>>(PlmJson::encode(values));
    ASSERT_EQ(decoded.size(), values.size());
    for (qsizetype i = 0; i < values.size(); ++i) {
        EXPECT_EQ(decoded[i], values[i]);
        EXPECT_EQ(std::signbit(decoded[i]), std::signbit(values[i]));
    }
}

TEST(PlmJsonTest, fieldsNameTheirPathWhenMissingOrMistyped)
{
    const PlmJsonDocument d = PlmJsonDocument::parse(R"({"points": [{"x": 1, "y": 2}, {"x": 1}], "n": null})");
    const PlmJsonDecodingError missing = decodingErrorOf([&] { d.root().field<QList<PlmPoint>>("points"); });
    EXPECT_EQ(missing.kind(), PlmJsonDecodingError::Kind::keyNotFound);
    EXPECT_EQ(missing.message(), QStringLiteral("No value associated with key \"y\"."));
    EXPECT_EQ(missing.codingPath(), QStringLiteral("points[1].y"));

    const PlmJsonDecodingError null = decodingErrorOf([&] { d.root().field<QString>("n"); });
    EXPECT_EQ(null.kind(), PlmJsonDecodingError::Kind::valueNotFound);
    EXPECT_EQ(null.codingPath(), QStringLiteral("n"));
    EXPECT_FALSE(d.root().optionalField<QString>("n").has_value());
    EXPECT_FALSE(d.root().optionalField<QString>("absent").has_value());
}

TEST(PlmJsonTest, payloadEnumerationsNeedExactlyOneCase)
{
    const PlmJsonDocument d = PlmJsonDocument::parse(R"([{"a": {"_0": 1}, "zz": 2}, {"a": {}, "b": {}}, {"c": 1}])");
    QList<PlmJsonValue> cases;
    for (PlmJsonValue v : d.root().elements())
        cases.append(v);
    const auto [index, payload] = cases[0].singleCase({"a", "b"});
    EXPECT_EQ(index, 0);
    EXPECT_EQ(payload.field<int>("_0"), 1);
    for (int i : {1, 2}) {
        const PlmJsonDecodingError error = decodingErrorOf([&] { cases[i].singleCase({"a", "b"}); });
        EXPECT_EQ(error.message(), QStringLiteral("Invalid number of keys found, expected one."));
        EXPECT_EQ(error.kind(), PlmJsonDecodingError::Kind::typeMismatch);
        EXPECT_EQ(error.codingPath(), QStringLiteral("[%1]").arg(i));
    }
    PlmJsonWriter w;
    w.beginCase("a");
    w.field("_0", 1);
    w.endCase();
    EXPECT_EQ(w.takeBytes(), QByteArray("{\n  \"a\" : {\n    \"_0\" : 1\n  }\n}"));
}

namespace {

// The text a value reads back as through the public accessors, to compare whole documents.
std::string readBack(const PlmJsonValue& value)
{
    switch (value.type()) {
    case PlmJsonType::null: return "null";
    case PlmJsonType::boolean: return value.toBool() ? "true" : "false";
    case PlmJsonType::number: {
        char buffer[32];
        const auto end = std::to_chars(buffer, buffer + sizeof buffer, value.toDouble()).ptr;
        return std::string(buffer, end);
    }
    case PlmJsonType::string: return '"' + std::string(value.toUtf8()) + '"';
    case PlmJsonType::array: {
        std::string out = "[" + std::to_string(value.size()) + ":";
        for (PlmJsonValue element : value.elements())
            out += readBack(element) + ",";
        return out + "]";
    }
    case PlmJsonType::object: {
        std::string out = "{";
        for (auto [key, member] : value.members())
            out += std::string(key) + ":" + readBack(member) + ",";
        return out + "}";
    }
    }
    return "?";
}

} // namespace

// Arrays of numbers and arrays of such arrays (coordinates) are kept compactly; they read as
// any other array, whatever the spacing, next to the arrays that are not packed.
TEST(PlmJsonTest, arraysOfNumbersReadAsAnyOtherArray)
{
    struct Case {
        const char* name;
        const char* text;
        const char* readBack;
    };
    const Case cases[] = {
        {"numbers", "[1, -2.5e1 ,3]", "[3:1,-25,3,]"},
        {"rings", R"({"c":[ [ [0 , 1],[2,3.5] ] , [[4,5]] ],"n":7})", "{c:[2:[2:[2:0,1,],[2:2,3.5,],],[1:[2:4,5,],],],n:7,}"},
        {"spacing", "[\n [ 1\t,\r2 ]\n,\n[3] ]", "[2:[2:1,2,],[1:3,],]"},
        {"mixed", R"([[1,"a"],[[1],2],[],[[]],[true]])", "[5:[2:1,\"a\",],[2:[1:1,],2,],[0:],[1:[0:],],[1:true,],]"},
        {"deeper", "[[[[1,2]]],[[3]]]", "[2:[1:[1:[2:1,2,],],],[1:[1:3,],],]"},
    };
    for (const Case& row : cases) {
        const PlmJsonDocument d = PlmJsonDocument::parse(row.text);
        EXPECT_EQ(readBack(d.root()), row.readBack) << row.name;
    }

    const PlmJsonDocument d = PlmJsonDocument::parse(R"({"c": [[1, 2], [3, 4.5, 1e400]], "i": [7, 2.0, 3e0, 0.5]})");
    const PlmJsonDecodingError fraction = decodingErrorOf([&] { d.root().field<QList<int>>("i"); });
    EXPECT_EQ(fraction.message(), QStringLiteral("Parsed JSON number <0.5> does not fit in Int."));
    EXPECT_EQ(fraction.codingPath(), QStringLiteral("i[3]"));
    const PlmJsonDecodingError big = decodingErrorOf([&] { d.root().field<QList<QList<double>>>("c"); });
    EXPECT_EQ(big.message(), QStringLiteral("Parsed JSON number <1e400> does not fit in Double."));
    EXPECT_EQ(big.codingPath(), QStringLiteral("c[1][2]"));
    const PlmJsonDecodingError mistyped = decodingErrorOf([&] { d.root().field<QList<QList<QString>>>("c"); });
    EXPECT_EQ(mistyped.message(), QStringLiteral("Expected to decode String but found number instead."));
    EXPECT_EQ(mistyped.codingPath(), QStringLiteral("c[0][0]"));
    const PlmJsonDecodingError notObject = decodingErrorOf([&] { d.root().field<QList<PlmPoint>>("c"); });
    EXPECT_EQ(notObject.message(), QStringLiteral("Expected to decode Dictionary<String, Any> but found an array instead."));
    EXPECT_EQ(notObject.codingPath(), QStringLiteral("c[0]"));
}

TEST(PlmJsonTest, nestingIsBoundedWithoutRecursion)
{
    auto nested = [](int depth) { return QByteArray(depth, '[') + QByteArray(depth, ']'); };
    EXPECT_TRUE(parses(nested(PlmJsonDocument::defaultMaxDepth)));
    EXPECT_FALSE(parses(nested(PlmJsonDocument::defaultMaxDepth + 1)));
    EXPECT_EQ(decodingErrorOf([&] { PlmJsonDocument::parse(nested(1025)); }).message(),
              QStringLiteral("The given data was not valid JSON (too many nested arrays or dictionaries at byte 1024)."));
    // Documents whose decoder bounds its own recursion may go deeper: parsing is iterative.
    const PlmJsonDocument deep = PlmJsonDocument::parse(nested(200000), PlmJsonDocument::unboundedDepth);
    EXPECT_EQ(deep.root().size(), 1);
    // The depth met tells a reader with a smaller bound what it would have refused.
    EXPECT_EQ(deep.depth(), 200000);
    EXPECT_EQ(PlmJsonDocument::parse(R"({"a": [1, {"b": []}], "c": {}})").depth(), 4);
    EXPECT_EQ(PlmJsonDocument::parse("12").depth(), 0);
}

TEST(PlmJsonTest, base64IsStrict)
{
    const QByteArray bytes("\x00\x10\x83\x10\x51\x87\x20\x92\x8b\x30\xd3\x8f", 12);
    for (int n = 0; n <= bytes.size(); ++n) {
        const QByteArray part = bytes.left(n);
        const QByteArray json = PlmJson::encode(part);
        EXPECT_EQ(json, '"' + part.toBase64() + '"');
        EXPECT_EQ(PlmJson::decode<QByteArray>(json), part);
    }
    for (const char* bad : {"\"QQ\"", "\"QQ=\"", "\"Q===\"", "\"QR==\"", "\"QQ==QQ==\"", "\"QUJD\\n\"", "\"QU JD\"", "\"QUJ-\""})
        EXPECT_THROW(PlmJson::decode<QByteArray>(QByteArray(bad)), PlmJsonDecodingError) << bad;
}
