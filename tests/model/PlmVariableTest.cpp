#include "model/PlmJson.h"
#include "model/PlmVariable.h"

#include <gtest/gtest.h>

namespace {

PlmVariable variable(PlmVariableType type, std::optional<int> decimals)
{
    QMap<QString, PlmValue> values;
    values.insert(QStringLiteral("a"), PlmValue::number(1234.5));
    values.insert(QStringLiteral("b"), PlmValue::percentage(12.5));
    values.insert(QStringLiteral("c"), PlmValue::text(QStringLiteral(" Nord")));
    values.insert(QStringLiteral("d"), PlmValue::number(-0.004));
    values.insert(QStringLiteral("e"), PlmValue::number(2.675));
    std::optional<PlmCalculation> calculation;
    if (decimals)
        calculation = PlmCalculation{QStringLiteral("[A] * 2"), *decimals};
    return PlmVariable(QStringLiteral("v1"), QStringLiteral("Population"), type, values, calculation);
}

} // namespace

TEST(PlmVariableTest, TypesHaveRawValuesAndFrenchLabels)
{
    ASSERT_EQ(allPlmVariableTypes().size(), 3);
    EXPECT_EQ(rawValue(allPlmVariableTypes().at(2)), QStringLiteral("percentage"));
    EXPECT_EQ(label(PlmVariableType::number), QStringLiteral("Nombre"));
    EXPECT_EQ(label(PlmVariableType::text), QStringLiteral("Texte"));
    EXPECT_EQ(label(PlmVariableType::percentage), QStringLiteral("Pourcentage"));
    EXPECT_EQ(plmVariableTypeFromRawValue(u"text"), PlmVariableType::text);
    EXPECT_FALSE(plmVariableTypeFromRawValue(u"Text"));
}

TEST(PlmVariableTest, InputCellsShowTheirEditingText)
{
    const PlmVariable input = variable(PlmVariableType::number, std::nullopt);
    EXPECT_EQ(input.displayText(QStringLiteral("a")), QStringLiteral("1234,5"));
    EXPECT_EQ(input.displayText(QStringLiteral("b")), QStringLiteral("12,5 %"));
    EXPECT_EQ(input.displayText(QStringLiteral("c")), QStringLiteral(" Nord"));
    EXPECT_FALSE(input.displayText(QStringLiteral("zz")));
}

TEST(PlmVariableTest, CalculatedCellsShowFixedDecimals)
{
    const PlmVariable twoDecimals = variable(PlmVariableType::number, 2);
    EXPECT_EQ(twoDecimals.displayText(QStringLiteral("a")), QStringLiteral("1234,50"));
    EXPECT_EQ(twoDecimals.displayText(QStringLiteral("b")), QStringLiteral("12,50"));
    EXPECT_EQ(twoDecimals.displayText(QStringLiteral("c")), QStringLiteral(" Nord"));
    EXPECT_EQ(twoDecimals.displayText(QStringLiteral("d")), QStringLiteral("0,00"));
    EXPECT_EQ(twoDecimals.displayText(QStringLiteral("e")), QStringLiteral("2,68"));

    const PlmVariable percent = variable(PlmVariableType::percentage, 2);
    EXPECT_EQ(percent.displayText(QStringLiteral("b")), QStringLiteral("12,50 %"));
    EXPECT_EQ(percent.displayText(QStringLiteral("a")), QStringLiteral("1234,50 %"));
    const PlmVariable percentNoDecimals = variable(PlmVariableType::percentage, 0);
    EXPECT_EQ(percentNoDecimals.displayText(QStringLiteral("b")), QStringLiteral("12 %"));
}

TEST(PlmVariableTest, JsonRoundTripLeavesOutAnAbsentCalculation)
{
    for (const PlmVariable& original : {variable(PlmVariableType::number, std::nullopt),
                                        variable(PlmVariableType::percentage, 3)}) {
        const QByteArray json = PlmJson::encode(original);
        EXPECT_EQ(json.contains("calculation"), original.isCalculated());
        EXPECT_EQ(PlmJson::decode<PlmVariable>(json), original);
    }
    const PlmVariable read = PlmJson::decode<PlmVariable>(
        R"({"values": {"e1": {"text": {"_0": "x"}}}, "type": "text", "name": "Nom", "id": "i"})");
    EXPECT_EQ(read.values.value(QStringLiteral("e1")), PlmValue::text(QStringLiteral("x")));
    EXPECT_FALSE(read.calculation);
}

TEST(PlmVariableTest, JsonRefusesMissingKeysAndWrongTypes)
{
    const char* bad[] = {
        R"({"type": "number", "name": "N", "values": {}})",
        R"({"id": "i", "type": "number", "values": {}})",
        R"({"id": "i", "name": "N", "type": "decimal", "values": {}})",
        R"({"id": "i", "name": "N", "type": "number", "values": []})",
        R"({"id": "i", "name": "N", "type": "number", "values": {}, "calculation": {"expression": "1"}})",
        R"({"id": "i", "name": "N", "type": "number", "values": {}, "calculation": {"expression": "1", "decimals": 1.5}})",
        R"({"id": 1, "name": "N", "type": "number", "values": {}})",
    };
    for (const char* json : bad)
        EXPECT_THROW(PlmJson::decode<PlmVariable>(json), PlmJsonDecodingError) << json;
}

TEST(PlmVariableTest, SameDefinitionsIgnoreTheValuesOnly)
{
    const PlmVariable base = variable(PlmVariableType::number, 2);
    PlmVariable otherValues = base;
    otherValues.values.clear();
    EXPECT_TRUE(PlmVariable::sameDefinitions({base}, {otherValues}));

    PlmVariable renamed = base;
    renamed.name = QStringLiteral("Superficie");
    PlmVariable retyped = base;
    retyped.type = PlmVariableType::percentage;
    PlmVariable reformulated = base;
    reformulated.calculation->decimals = 3;
    PlmVariable input = base;
    input.calculation.reset();
    for (const PlmVariable& changed : {renamed, retyped, reformulated, input})
        EXPECT_FALSE(PlmVariable::sameDefinitions({base}, {changed}));

    PlmVariable second = base;
    second.id = QStringLiteral("v2");
    EXPECT_FALSE(PlmVariable::sameDefinitions({base, second}, {second, base})); // order counts
    EXPECT_FALSE(PlmVariable::sameDefinitions({base}, {base, second}));
}
