#include "export/SvgOutput.h"
#include "export/SvgPathData.h"
#include "model/PlmErrors.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <limits>
#include <random>

namespace {

struct NumberRow {
    const char* name;
    double value;
    const char* text;
};

TEST(SvgOutputTest, NumbersAreWrittenWithFifteenSignificantDigits)
{
    const NumberRow rows[] = {
        {"one", 1.0, "1"},
        {"negative zero", -0.0, "0"},
        {"zero", 0.0, "0"},
        {"a third", 1.0 / 3.0, "0.333333333333333"},
        {"large", 1e20, "1e+20"},
        {"negative", -2.5, "-2.5"},
        {"small", 0.00001, "1e-05"},
        {"millimetres of A4", 210 * 72.0 / 25.4, "595.275590551181"},
        {"integer with fifteen digits", 123456789012345.0, "123456789012345"},
    };
    for (const NumberRow& row : rows)
        EXPECT_EQ(svgNumber(row.value), row.text) << row.name;
}

TEST(SvgOutputTest, ColoursScaleEachComponentWithoutRounding)
{
    EXPECT_EQ(svgColor(1, 0, 0), "rgb(255,0,0)");
    EXPECT_EQ(svgColor(0.5, 0.5, 0.5), "rgb(127.5,127.5,127.5)");
}

TEST(SvgOutputTest, EscapingReplacesTheFiveMarkupCharactersAndKeepsOtherTextInUtf8)
{
    EXPECT_EQ(svgEscaped(QStringLiteral("A & B <1>")), "A &amp; B &lt;1&gt;");
    EXPECT_EQ(svgEscaped(QStringLiteral("<b> & 'x'")), "&lt;b&gt; &amp; &apos;x&apos;");
    EXPECT_EQ(svgEscaped(QStringLiteral("\"q\"")), "&quot;q&quot;");
    const QString french = QStringLiteral("Évolution démographique – 2020 « Île‑de‑France » 🗺");
    EXPECT_EQ(svgEscaped(french), french.toStdString());
}

TEST(SvgOutputTest, ALoneSurrogateCannotBeEncoded)
{
    QString broken = QStringLiteral("ab");
    broken.insert(1, QChar(0xD800));
    try {
        svgEscaped(broken);
        FAIL() << "no error";
    } catch (const PlmWorkError& error) {
        EXPECT_EQ(error.message(), QStringLiteral("Impossible d’encoder le SVG."));
    }
}

// What XML 1.0 cannot carry, even escaped, is refused; the white space it allows is kept.
TEST(SvgOutputTest, CharactersThatXmlCannotCarryAreRefused)
{
    const struct {
        const char* name;
        char16_t character;
    } refused[] = {{"start of heading", 0x01}, {"escape", 0x1B}, {"U+FFFE", 0xFFFE}, {"U+FFFF", 0xFFFF}};
    for (const auto& row : refused) {
        try {
            svgEscaped(QStringLiteral("Avant") + QChar(row.character) + QStringLiteral("après"));
            ADD_FAILURE() << row.name << ": no error";
        } catch (const PlmWorkError& error) {
            EXPECT_EQ(error.message(),
                      QStringLiteral("Un texte de la carte contient un caractère incompatible avec le format SVG."))
                << row.name;
        }
    }
    EXPECT_EQ(svgEscaped(QStringLiteral("a\tb\nc\rd\uFFFDe")), "a\tb\nc\rd\xEF\xBF\xBD" "e");
}

TEST(SvgOutputTest, PathDataClosesSubpathsAndRefusesPointsThatAreNotFinite)
{
    PlmVectorPath path;
    path.commands = {PlmPathCommand::move({0, 0}), PlmPathCommand::line({10, 0}),
                     PlmPathCommand::cubic({10, 5}, {5, 10}, {0, 10}), PlmPathCommand::close()};
    SvgOutput out;
    EXPECT_FALSE(SvgPathData::write(out, path));
    EXPECT_EQ(out.str(), "M 0 0 L 10 0 C 10 5 5 10 0 10 Z");

    QPainterPath box;
    box.addRect(QRectF(1, 2, 3, 4));
    SvgOutput boxOut;
    SvgPathData::write(boxOut, box);
    EXPECT_EQ(boxOut.str(), "M 1 2 L 4 2 L 4 6 L 1 6 L 1 2 Z");

    PlmVectorPath bad;
    bad.commands = {PlmPathCommand::move({0, std::numeric_limits<double>::quiet_NaN()})};
    SvgOutput badOut;
    try {
        SvgPathData::write(badOut, bad);
        FAIL() << "no error";
    } catch (const PlmWorkError& error) {
        EXPECT_EQ(error.message(), QStringLiteral("Tracé non fini dans le cadrage exporté."));
    }
}

TEST(SvgOutputTest, AnArcBecomesCubicSegments)
{
    PlmVectorPath path;
    path.commands = {PlmPathCommand::move({1, 0}), PlmPathCommand::arc({0, 0}, {1, 0}, {0, 1}, 0, 3.14159265358979 / 2)};
    SvgOutput out;
    SvgPathData::write(out, path);
    EXPECT_EQ(out.str().substr(0, 8), "M 1 0 C ");
    EXPECT_EQ(out.str().find('A'), std::string::npos);
}

} // namespace

namespace {

// The fast number writer against the library's own "%.15g", on values of every magnitude,
// coordinates with full precision, and the half-way and carry cases.
TEST(SvgOutputTest, NumbersMatchTheLibraryFormattingOnRandomValues)
{
    std::mt19937_64 random(42);
    std::uniform_real_distribution<double> unit(-1, 1);
    std::uniform_int_distribution<int> power(-30, 30);
    QList<double> values = {0.5, 9.99999999999999e14, 999999999999999.5, 0.000099999999999999995, 1e15, 1e-5, 123.45,
                            1.0000000000000005, 2.5e-300, 1.7976931348623157e308, 4.9e-324, 0.1 + 0.2, 652345.1234567891,
                            1e-4, std::nextafter(1e-4, 0.0), 99999999999999.95, 1e14, std::nextafter(1e14, 0.0),
                            0.00012345678901234567, 2.0000000000000025, 1234.5678901234525};
    for (int i = 0; i < 200000; ++i)
        values.append(unit(random) * std::pow(10.0, power(random)));
    // Coordinates and other values written without an exponent, where the fast path applies.
    std::uniform_int_distribution<int> plainPower(-5, 16);
    for (int i = 0; i < 200000; ++i)
        values.append(unit(random) * std::pow(10.0, plainPower(random)));
    for (double v : values) {
        char expected[64];
        const char* end = std::to_chars(expected, expected + sizeof expected, v, std::chars_format::general, 15).ptr;
        ASSERT_EQ(svgNumber(v), std::string(expected, size_t(end - expected))) << std::string(expected, size_t(end - expected));
    }
}

} // namespace

TEST(SvgOutputTest, TakingTheTextPutsTheFrontAndBackAroundItAndEmptiesTheOutput)
{
    const std::string large(10000, 'x');  // past the first block
    for (const std::string& text : {std::string(), std::string("<g/>"), large}) {
        SvgOutput out;
        out.raw(text);
        const QByteArray taken = out.take("<svg>", "</svg>");
        EXPECT_EQ(taken.toStdString(), "<svg>" + text + "</svg>") << text.size();
        EXPECT_EQ(out.size(), 0u);
        out.raw("a");
        EXPECT_EQ(out.str(), "a");
    }
}
