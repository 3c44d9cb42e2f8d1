#include "model/PlmErrors.h"
#include "model/PlmJson.h"
#include "model/PlmWorkCodec.h"
#include "support/PlmWorkTestSupport.h"
#include "support/ErrorCapture.h"

#include <gtest/gtest.h>

using namespace PlmWorkTest;

namespace {

QString failureOf(const QByteArray& bytes)
{
    return thrownMessage([&] { PlmWorkCodec::decode(bytes); });
}

PlmWork richWork()
{
    PlmWork work;
    work.map = mapWithEntities({"A", "B", "C", "D"});
    work.map.metadata = {{"source", "test"}};
    work.sourceMapURL = QStringLiteral("file:///tmp/communes.plmmap");
    work.variables = {
        numberVariable("pop", "Population", {{"A", 100}, {"B", 250.5}, {"C", 12}, {"D", 4000}}),
        numberVariable("act", "Actifs", {{"A", 40}, {"B", 100}, {"D", 1500}}),
        textVariable("zone", "Zone", {{"A", "Nord"}, {"B", " Sud"}}),
        calculatedVariable("part", "Part des actifs", "[Actifs] / [Population] * 100",
                           PlmVariableType::percentage, 1),
    };
    PlmThematicSettings settings;
    settings.variableID = "part";
    settings.method = PlmClassificationMethod::jenks;
    settings.classCount = 3;
    settings.palette = PlmPalette::redBlue;
    settings.classColorOverrides = QMap<QString, PlmColor>{{"class:1", PlmColor{0.5, 0.25, 0, 1}}};
    work.thematic = settings;
    work.decoration = PlmDecoration();
    return work;
}

// The work as the codec hands it back: derived data recomputed.
PlmWork recomputed(PlmWork work)
{
    work.recomputeCalculatedVariables();
    work.recomputeThematicThresholds();
    return work;
}

TEST(PlmWorkCodec, RoundTripGivesTheSameWorkAndBytes)
{
    const PlmWork work = richWork();
    const PlmWork before = work;
    const QByteArray bytes = PlmWorkCodec::encode(work);
    EXPECT_EQ(work, before); // encoding never changes its input

    const PlmWork read = PlmWorkCodec::decode(bytes);
    EXPECT_EQ(read, recomputed(work));
    EXPECT_EQ(read.variable("part")->values.value("A"), PlmValue::percentage(40));
    EXPECT_FALSE(read.thematic->thresholds.isEmpty());
    EXPECT_EQ(PlmWorkCodec::encode(read), bytes);

    EXPECT_TRUE(bytes.startsWith("{\n"));
    EXPECT_LT(bytes.indexOf("\"version\""), bytes.indexOf("\"work\""));
}

TEST(PlmWorkCodec, EmptyWorkLeavesOptionalKeysOut)
{
    PlmWork work;
    work.map = mapWithEntities({"A"});
    const QByteArray bytes = PlmWorkCodec::encode(work);
    EXPECT_FALSE(bytes.contains("\"thematic\""));
    EXPECT_FALSE(bytes.contains("\"decoration\""));
    EXPECT_FALSE(bytes.contains("\"sourceMapURL\""));
    const PlmWork read = PlmWorkCodec::decode(bytes);
    EXPECT_EQ(read, work);
    EXPECT_FALSE(read.thematic || read.decoration);
}

TEST(PlmWorkCodec, OtherVersionsAreRefused)
{
    QByteArray bytes = PlmWorkCodec::encode(richWork());
    bytes.replace("\"version\" : 1", "\"version\" : 2");
    ASSERT_TRUE(bytes.contains("\"version\" : 2"));
    EXPECT_EQ(failureOf(bytes), QStringLiteral("Version .plm non prise en charge : 2"));
    // Even when the rest has a shape this reader does not know.
    EXPECT_EQ(failureOf(R"({"version": 3, "work": {"layers": []}})"),
              QStringLiteral("Version .plm non prise en charge : 3"));
}

TEST(PlmWorkCodec, MalformedFilesGiveTheDecoderError)
{
    EXPECT_THROW(PlmWorkCodec::decode("{\"version\": 1"), PlmJsonDecodingError);
    EXPECT_THROW(PlmWorkCodec::decode(R"({"version": 1})"), PlmJsonDecodingError);
    EXPECT_THROW(PlmWorkCodec::decode(R"({"version": "1", "work": {}})"), PlmJsonDecodingError);
    EXPECT_THROW(PlmWorkCodec::decode(R"({"version": 1, "work": {"map": {"entities": [], "metadata": {},
                  "name": ""}, "variables": [{"id": "x", "name": "X", "type": "number",
                  "values": {"A": {"number": {"_0": 1}, "text": {"_0": "a"}}}}]}})"),
                 PlmJsonDecodingError);
    // Hostile nesting stops with an error, not a stack overflow.
    QByteArray deep = R"({"version": 1, "work": {"map": )";
    deep += QByteArray(200000, '[') + QByteArray(200000, ']') + "}}";
    EXPECT_THROW(PlmWorkCodec::decode(deep), PlmJsonDecodingError);
}

// A file written as is, without the codec's validation and recomputation.
QByteArray rawFile(const PlmWork& work)
{
    PlmWorkCodec::Document document;
    document.work = work;
    return PlmJson::encode(document);
}

TEST(PlmWorkCodec, StaleDerivedDataIsReplacedNotRefused)
{
    const PlmWork work = richWork();

    // Calculated values for an entity deleted since, of the wrong case, or made up.
    PlmWork staleValues = work;
    staleValues.variables[3].values = {{"Z", PlmValue::number(1)}, {"A", PlmValue::text(" ")},
                                       {"B", PlmValue::percentage(99)}};
    EXPECT_THROW(staleValues.validate(), PlmWorkError);
    const PlmWork read = PlmWorkCodec::decode(rawFile(staleValues));
    EXPECT_EQ(read, recomputed(work));
    EXPECT_FALSE(read.variable("part")->values.contains("Z"));

    // Automatic thresholds that no longer fit: unordered and too many.
    PlmWork staleThresholds = work;
    staleThresholds.thematic->thresholds = {9, 8, 7, 6, 5, 4, 3, 2, 1, 0};
    EXPECT_THROW(staleThresholds.validate(), PlmWorkError);
    EXPECT_EQ(PlmWorkCodec::decode(rawFile(staleThresholds)), recomputed(work));

    // Encoding is as forgiving as decoding, and writes the recomputed data.
    EXPECT_EQ(PlmWorkCodec::encode(staleThresholds), PlmWorkCodec::encode(work));
}

TEST(PlmWorkCodec, InvalidEnteredDataIsStillRefused)
{
    const QByteArray good = PlmWorkCodec::encode(richWork());

    // An input cell for an entity that does not exist.
    QByteArray badCell = good;
    badCell.replace("\"B\" : {\"number\":{\"_0\":250.5", "\"Q\" : {\"number\":{\"_0\":250.5");
    ASSERT_NE(badCell, good);
    EXPECT_EQ(failureOf(badCell), QStringLiteral("Cellule associée à une entité absente ou de type incorrect."));

    // Manual thresholds are the user's: out of order, they are refused.
    PlmWork manual = richWork();
    manual.thematic->method = PlmClassificationMethod::manual;
    manual.thematic->thresholds = {10, 20};
    QByteArray manualBytes = PlmWorkCodec::encode(manual);
    manualBytes.replace("\"thresholds\" : [\n        10,\n        20\n      ]",
                        "\"thresholds\" : [\n        20,\n        10\n      ]");
    ASSERT_TRUE(manualBytes.contains("20,\n        10"));
    EXPECT_EQ(failureOf(manualBytes),
              QStringLiteral("Réglages de carte invalides : variable, classes, seuils ou couleurs."));

    // Duplicate names, and a broken formula.
    PlmWork names = richWork();
    names.variables[1].name = "Région";
    names.variables[2].name = "region";
    EXPECT_THROW(PlmWorkCodec::encode(names), PlmWorkError);
    PlmWork formula = richWork();
    formula.variables[3].calculation->expression = "[Actifs] / (";
    EXPECT_EQ(thrownMessage<PlmWorkError>([&] { PlmWorkCodec::encode(formula); }),
              QStringLiteral("Formule incomplète : une valeur ou une variable est attendue."));
}

TEST(PlmWorkCodec, HostileCountsAreRefusedBeforeUse)
{
    const QString settingsMessage =
        QStringLiteral("Réglages de carte invalides : variable, classes, seuils ou couleurs.");
    for (const int count : {0, -1, 2147483647, -2147483647 - 1}) {
        PlmWork work = richWork();
        work.thematic->classCount = count;
        EXPECT_EQ(failureOf(rawFile(work)), settingsMessage) << count;
        work = richWork();
        work.thematic->decimalPlaces = count;
        EXPECT_EQ(failureOf(rawFile(work)), count == 0 ? QString() : settingsMessage) << count;
    }
    // A million automatic thresholds are derived data: dropped and recomputed.
    PlmWork many = richWork();
    many.thematic->thresholds.resize(1000000);
    for (qsizetype i = 0; i < many.thematic->thresholds.size(); ++i)
        many.thematic->thresholds[i] = double(i);
    EXPECT_EQ(PlmWorkCodec::decode(rawFile(many)), recomputed(richWork()));
    // Entered by hand, they are refused.
    many.thematic->method = PlmClassificationMethod::manual;
    EXPECT_EQ(failureOf(rawFile(many)), settingsMessage);
    // Integers beyond 32 bits do not fit the fields at all.
    QByteArray wide = rawFile(richWork());
    wide.replace("\"classCount\" : 3", "\"classCount\" : 4294967299");
    ASSERT_TRUE(wide.contains("4294967299"));
    EXPECT_THROW(PlmWorkCodec::decode(wide), PlmJsonDecodingError);
}

TEST(PlmWorkCodec, CancellationYieldsNoBytes)
{
    const PlmCancellationToken token = PlmCancellationToken::make();
    token.cancel();
    EXPECT_THROW(PlmWorkCodec::encode(richWork(), token), PlmCancellationError);
}

} // namespace
