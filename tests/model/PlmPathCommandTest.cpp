#include "model/PlmErrors.h"
#include "model/PlmJson.h"
#include "model/PlmPathCommand.h"
#include "model/PlmSource.h"
#include "model/PlmText.h"
#include "model/PlmVectorPath.h"
#include "support/ErrorCapture.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

PlmPathCommand decodeCommand(const QByteArray& json)
{
    return PlmJson::decode<PlmPathCommand>(json);
}

QString commandErrorOf(const QByteArray& json)
{
    return thrownMessage<PlmJsonDecodingError>([&] { decodeCommand(json); });
}

QByteArray compact(QByteArray json)
{
    return json.replace(' ', "").replace('\n', "");
}

} // namespace

TEST(PlmPathCommandTest, concatenationAppliesTheReceiverFirst)
{
    const PlmTransform translate = PlmTransform::translation(1, 0);
    const PlmTransform scale = PlmTransform::scale(2, 2);
    EXPECT_EQ(translate.concatenating(scale).tx, 2);
    EXPECT_EQ(scale.concatenating(translate).tx, 1);
    const PlmTransform skew{1, 0.5, 0.25, 1, 3, 4};
    const PlmPoint p{2, -1};
    const PlmPoint viaBoth = skew.concatenating(scale).apply(p);
    EXPECT_EQ(viaBoth, scale.apply(skew.apply(p)));
}

TEST(PlmPathCommandTest, arcsMapTheirCentreAsAPointAndTheirAxesAsVectors)
{
    const PlmPathCommand arc = PlmPathCommand::arc({1, 2}, {3, 0}, {0, 2}, 0.5, -1);
    EXPECT_EQ(arc.applying(PlmTransform::translation(5, 5)),
              PlmPathCommand::arc({6, 7}, {3, 0}, {0, 2}, 0.5, -1));
    EXPECT_EQ(arc.applying(PlmTransform::scale(2, 2)), PlmPathCommand::arc({2, 4}, {6, 0}, {0, 4}, 0.5, -1));
    EXPECT_EQ(PlmPathCommand::close().applying(PlmTransform::scale(3, 3)), PlmPathCommand::close());
    EXPECT_EQ(PlmPathCommand::cubic({0, 0}, {1, 0}, {1, 1}).applying(PlmTransform::translation(1, 1)),
              PlmPathCommand::cubic({1, 1}, {2, 1}, {2, 2}));
}

TEST(PlmPathCommandTest, extentOfAnArcIsItsWholeEllipse)
{
    EXPECT_EQ(PlmPathCommand::arc({0, 0}, {3, 0}, {0, 2}, 0.3, 0.1).extentPoints(),
              (QList<PlmPoint>{{-3, -2}, {3, 2}}));
    const double h = std::hypot(4.0, 1.0);
    EXPECT_EQ(PlmPathCommand::arc({0, 0}, {3, 4}, {0, 1}, 0, 6).extentPoints(),
              (QList<PlmPoint>{{-3, -h}, {3, h}}));
    EXPECT_TRUE(PlmPathCommand::close().extentPoints().isEmpty());
}

TEST(PlmPathCommandTest, jsonFormsOfEveryCommand)
{
    EXPECT_EQ(compact(PlmJson::encode(PlmPathCommand::close())), QByteArray(R"({"close":{}})"));
    EXPECT_EQ(compact(PlmJson::encode(PlmPathCommand::cubic({1, 2}, {3, 4}, {5, 6}))),
              QByteArray(R"({"cubic":{"_0":{"x":1,"y":2},"_1":{"x":3,"y":4},"_2":{"x":5,"y":6}}})"));
    EXPECT_EQ(compact(PlmJson::encode(PlmPathCommand::arc({1, 2}, {3, 0}, {0, 2}, 0.5, -1))),
              QByteArray(R"({"arc":{"axisX":{"x":3,"y":0},"axisY":{"x":0,"y":2},"center":{"x":1,"y":2},"start":0.5,"sweep":-1}})"));
    const QList<PlmPathCommand> all{PlmPathCommand::move({1, 2}), PlmPathCommand::line({-0.5, 1e-9}),
                                    PlmPathCommand::cubic({1, 2}, {3, 4}, {5, 6}), PlmPathCommand::close(),
                                    PlmPathCommand::arc({1, 2}, {3, 0}, {0, 2}, 0.5, -1)};
    EXPECT_EQ(PlmJson::decode<QList<PlmPathCommand>>(PlmJson::encode(all)), all);
}

TEST(PlmPathCommandTest, decodingRefusesAmbiguousOrIncompleteCommands)
{
    EXPECT_EQ(commandErrorOf(R"({"move": {"_0": {"x": 1, "y": 2}}, "line": {"_0": {"x": 1, "y": 2}}})"),
              QStringLiteral("Invalid number of keys found, expected one."));
    EXPECT_EQ(commandErrorOf("{}"), QStringLiteral("Invalid number of keys found, expected one."));
    EXPECT_EQ(decodeCommand(R"({"move": {"_0": {"x": 1, "y": 2}}, "note": 3})"), PlmPathCommand::move({1, 2}));
    EXPECT_EQ(commandErrorOf(R"({"cubic": {"_0": {"x": 1, "y": 2}, "_1": {"x": 1, "y": 2}}})"),
              QStringLiteral("No value associated with key \"_2\"."));
    EXPECT_EQ(commandErrorOf(R"({"arc": {"center": {"x": 0, "y": 0}, "axisX": {"x": 1, "y": 0}, "axisY": {"x": 0, "y": 1}, "start": "0", "sweep": 1}})"),
              QStringLiteral("Expected to decode Double but found a string instead."));
}

TEST(PlmPathCommandTest, equalityOfPathsTextsAndSources)
{
    PlmVectorPath a{{PlmPathCommand::move({0, 0}), PlmPathCommand::close()}, false};
    PlmVectorPath b = a;
    b.evenOdd = true;
    EXPECT_NE(a, b);
    EXPECT_EQ(PlmPathCommand::move({0, 0}), PlmPathCommand::move({-0.0, 0}));
    EXPECT_NE(PlmPathCommand::move({NAN, 0}), PlmPathCommand::move({NAN, 0}));
    EXPECT_NE(PlmPathCommand::move({0, 0}), PlmPathCommand::line({0, 0}));

    PlmText t1{QStringLiteral("a"), QStringLiteral("f"), 10, {}, QStringLiteral("start")};
    PlmText t2 = t1;
    t2.anchor = QStringLiteral("end");
    EXPECT_NE(t1, t2);
    EXPECT_EQ(PlmJson::decode<PlmText>(PlmJson::encode(t1)), t1);
}

TEST(PlmPathCommandTest, sourceBytesAreStandardBase64)
{
    const PlmSource source{QStringLiteral("f.bin"), QByteArray("\xfb\xff\x00hi", 5)};
    const QByteArray json = PlmJson::encode(source);
    EXPECT_TRUE(json.contains("\"data\" : \"+/8AaGk=\""));
    EXPECT_EQ(PlmJson::decode<PlmSource>(json), source);
    const PlmSource empty{QStringLiteral("vide"), QByteArray()};
    EXPECT_TRUE(PlmJson::encode(empty).contains("\"data\" : \"\""));
    EXPECT_EQ(PlmJson::decode<PlmSource>(PlmJson::encode(empty)), empty);
    EXPECT_THROW(PlmJson::decode<PlmSource>(R"({"name": "x", "data": "aGk"})"), PlmJsonDecodingError);
    EXPECT_THROW(PlmJson::decode<PlmSource>(R"({"name": "x", "data": "aG k="})"), PlmJsonDecodingError);
}
