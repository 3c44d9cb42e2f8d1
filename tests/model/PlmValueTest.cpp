#include "model/PlmErrors.h"
#include "model/PlmJson.h"
#include "model/PlmValue.h"
#include "support/ErrorCapture.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

const QString numberMessage = QStringLiteral(
    "Nombre attendu : utilisez par exemple 1234,5. Une cellule vide signifie une donnée absente.");
const QString percentageMessage = QStringLiteral(
    "Pourcentage attendu : utilisez par exemple 12,5 %. Une cellule vide signifie une donnée absente.");

QString refusal(const QString& text, PlmVariableType type)
{
    return thrownMessage<PlmWorkError>([&] { PlmValue::parse(text, type); });
}

std::optional<double> number(const QString& text)
{
    const auto value = PlmValue::parse(text, PlmVariableType::number);
    EXPECT_TRUE(value.has_value());
    EXPECT_EQ(value->kind(), PlmValue::Kind::number);
    return value->numericValue();
}

} // namespace

TEST(PlmValueTest, BlankTextsAreMissingValuesForEveryType)
{
    for (PlmVariableType type : allPlmVariableTypes()) {
        EXPECT_FALSE(PlmValue::parse(QString(), type).has_value());
        EXPECT_FALSE(PlmValue::parse(QStringLiteral(" \t\r\n\u00A0"), type).has_value());
    }
}

TEST(PlmValueTest, TextsAreKeptUntrimmed)
{
    const auto value = PlmValue::parse(QStringLiteral("  Nord "), PlmVariableType::text);
    ASSERT_TRUE(value);
    EXPECT_EQ(*value, PlmValue::text(QStringLiteral("  Nord ")));
    EXPECT_FALSE(value->numericValue());
    EXPECT_EQ(PlmValue::parse(QStringLiteral("12 %"), PlmVariableType::text)->textValue(), QStringLiteral("12 %"));
}

TEST(PlmValueTest, NumbersAcceptGroupingSpacesAndEitherDecimalMark)
{
    EXPECT_EQ(number(QStringLiteral("1 234,5")), 1234.5);
    EXPECT_EQ(number(QStringLiteral("1\u00A0234,5")), 1234.5);
    EXPECT_EQ(number(QStringLiteral("1\u202F234\u202F567,8")), 1234567.8);
    EXPECT_EQ(number(QStringLiteral("1234.5")), 1234.5);
    EXPECT_EQ(number(QStringLiteral(" \n1e3\t")), 1000);
    EXPECT_EQ(number(QStringLiteral(",5")), 0.5);
    EXPECT_EQ(number(QStringLiteral("-,5")), -0.5);
    EXPECT_EQ(number(QStringLiteral("+2")), 2);
    EXPECT_EQ(number(QStringLiteral("5.")), 5);
    EXPECT_EQ(number(QStringLiteral("1E+3")), 1000);
    EXPECT_EQ(number(QStringLiteral("1e-400")), 0); // underflow is not an overflow
    // Leading zeros and a large exponent: 1e-50001 underflows, while 1e49999 overflows.
    const QString zeros = QStringLiteral("0.") + QString(150000, QLatin1Char('0'));
    EXPECT_EQ(number(zeros + QStringLiteral("1e100000")), 0);
    EXPECT_EQ(refusal(zeros + QStringLiteral("1e200000"), PlmVariableType::number), numberMessage);
    EXPECT_EQ(refusal(QStringLiteral("1e99999999999999999999999999"), PlmVariableType::number), numberMessage);
}

TEST(PlmValueTest, MalformedNumbersAreRefusedWithTheTypeMessage)
{
    for (const char* text : {"1.234,5", "1,234.5", "12 %", "inf", "nan", "1e999", "-1e999", "1\t234",
                             "1\n234", "abc", "1e", ".", "+-1", "--1", "0x10", "1,5,", "١٢", "12a",
                             "Infinity"})
        EXPECT_EQ(refusal(QString::fromUtf8(text), PlmVariableType::number), numberMessage) << text;
}

TEST(PlmValueTest, PercentagesTakeAnOptionalSign)
{
    for (const char* text : {"12,5 %", "12,5%", "12,5", " 12.5\u00A0% "}) {
        const auto value = PlmValue::parse(QString::fromUtf8(text), PlmVariableType::percentage);
        ASSERT_TRUE(value) << text;
        EXPECT_EQ(*value, PlmValue::percentage(12.5)) << text;
    }
    // "%" alone is not blank before the sign is removed: it is refused, not missing.
    EXPECT_EQ(refusal(QStringLiteral("%"), PlmVariableType::percentage), percentageMessage);
    EXPECT_EQ(refusal(QStringLiteral("12 %%"), PlmVariableType::percentage), percentageMessage);
    // Only spaces are trimmed before the sign, not line breaks.
    EXPECT_EQ(refusal(QStringLiteral("12\n%"), PlmVariableType::percentage), percentageMessage);
    EXPECT_EQ(refusal(QStringLiteral("%12"), PlmVariableType::percentage), percentageMessage);
}

TEST(PlmValueTest, EditingTextIsShortestWithDecimalComma)
{
    EXPECT_EQ(PlmValue::number(3.0).editingText(), QStringLiteral("3"));
    EXPECT_EQ(PlmValue::number(1234.5).editingText(), QStringLiteral("1234,5"));
    EXPECT_EQ(PlmValue::number(-0.5).editingText(), QStringLiteral("-0,5"));
    EXPECT_EQ(PlmValue::number(0.00001).editingText(), QStringLiteral("1e-05"));
    EXPECT_EQ(PlmValue::number(0.0001).editingText(), QStringLiteral("0,0001"));
    EXPECT_EQ(PlmValue::number(100000).editingText(), QStringLiteral("100000"));
    EXPECT_EQ(PlmValue::number(1e16).editingText(), QStringLiteral("1e+16"));
    EXPECT_EQ(PlmValue::number(0.1 + 0.2).editingText(), QStringLiteral("0,30000000000000004"));
    EXPECT_EQ(PlmValue::percentage(12.5).editingText(), QStringLiteral("12,5 %"));
    EXPECT_EQ(PlmValue::percentage(100).editingText(), QStringLiteral("100 %"));
    EXPECT_EQ(PlmValue::text(QStringLiteral(" a ")).editingText(), QStringLiteral(" a "));
}

TEST(PlmValueTest, EditingTextParsesBackToTheSameValue)
{
    const double samples[] = {0, -0.0, 1, -1, 0.1, 1.0 / 3, 2.5e-7, 123456789.125, 9007199254740993.0,
                              1.7976931348623157e308, 5e-324, 12.5, -1e-5};
    for (double sample : samples) {
        for (const PlmValue& value : {PlmValue::number(sample), PlmValue::percentage(sample)}) {
            const auto back = PlmValue::parse(value.editingText(), value.type());
            ASSERT_TRUE(back);
            EXPECT_EQ(*back, value) << value.editingText().toStdString();
            EXPECT_EQ(std::signbit(*back->numericValue()), std::signbit(sample));
        }
    }
}

TEST(PlmValueTest, JsonHoldsExactlyOneCase)
{
    for (const PlmValue& value : {PlmValue::number(1234.5), PlmValue::text(QStringLiteral("Nord")),
                                  PlmValue::percentage(12.5)})
        EXPECT_EQ(PlmJson::decode<PlmValue>(PlmJson::encode(value)), value);
    EXPECT_EQ(PlmJson::decode<PlmValue>(R"({"percentage": {"_0": 12.5}})"), PlmValue::percentage(12.5));

    for (const char* json : {R"({})", R"({"other": {"_0": 1}})",
                             R"({"number": {"_0": 1}, "text": {"_0": "a"}})"}) {
        EXPECT_EQ(thrownMessage<PlmJsonDecodingError>([&] { PlmJson::decode<PlmValue>(json); }),
                  QStringLiteral("Invalid number of keys found, expected one."))
            << json;
    }
    EXPECT_THROW(PlmJson::decode<PlmValue>(R"({"number": {"_0": "1"}})"), PlmJsonDecodingError);
    EXPECT_THROW(PlmJson::decode<PlmValue>(R"({"text": {}})"), PlmJsonDecodingError);
    EXPECT_THROW(PlmJson::decode<PlmValue>(R"({"number": 1})"), PlmJsonDecodingError);
}
