#include "model/PlmErrors.h"
#include "model/PlmFormula.h"
#include "support/ErrorCapture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>

namespace {

PlmVariable numeric(const QString& id, const QString& name, PlmVariableType type = PlmVariableType::number)
{
    return PlmVariable(id, name, type, {}, std::nullopt);
}

const QList<PlmVariable> variables{
    numeric(QStringLiteral("a"), QStringLiteral("A")),
    numeric(QStringLiteral("b"), QStringLiteral("B")),
    numeric(QStringLiteral("c"), QStringLiteral("C"), PlmVariableType::percentage),
    numeric(QStringLiteral("pop"), QStringLiteral("Population totale")),
    numeric(QStringLiteral("reg"), QStringLiteral("Région")),
    numeric(QStringLiteral("y2020"), QStringLiteral("2020")),
    numeric(QStringLiteral("brk"), QStringLiteral("A]B")),
    numeric(QStringLiteral("taux"), QStringLiteral("Taux-actifs")),
    numeric(QStringLiteral("nom"), QStringLiteral("Nom"), PlmVariableType::text),
    numeric(QStringLiteral("reg2"), QStringLiteral("REGION")),
};

PlmExpression parse(const QString& text)
{
    return PlmFormula::parse(text, variables);
}

QString refusal(const QString& text)
{
    return thrownMessage<PlmWorkError>([&] { parse(text); });
}

std::optional<double> value(const QString& text, const QHash<QString, double>& values = {})
{
    return parse(text).evaluate(values);
}

QHash<QString, QString> names()
{
    QHash<QString, QString> map;
    for (const PlmVariable& variable : variables)
        map.insert(variable.id, variable.name);
    return map;
}

// parse → text → parse gives the same tree, constants bit for bit.
void expectRoundTrip(const QString& formula)
{
    const PlmExpression first = parse(formula);
    const QString text = first.formulaText(names());
    PlmExpression second;
    try {
        second = parse(text);
    } catch (const PlmWorkError& error) {
        FAIL() << formula.left(200).toStdString() << " -> " << error.what();
    }
    EXPECT_TRUE(first.isIdentical(second)) << formula.left(200).toStdString() << " -> "
                                           << text.left(200).toStdString();
}

QString repeated(const QString& unit, int count)
{
    QString text;
    for (int i = 0; i < count; ++i)
        text += unit;
    return text;
}

} // namespace

TEST(PlmFormulaTest, PrecedenceAndLeftGrouping)
{
    EXPECT_EQ(value(QStringLiteral("1 + 2 * 3")), 7);
    EXPECT_EQ(value(QStringLiteral("(1 + 2) * 3")), 9);
    EXPECT_EQ(value(QStringLiteral("10 - 4 - 3")), 3);
    EXPECT_EQ(value(QStringLiteral("8 / 4 / 2")), 1);
    EXPECT_EQ(value(QStringLiteral("2 × 3 − 1")), 5);
    EXPECT_EQ(value(QStringLiteral("6 ÷ 3")), 2);
    EXPECT_EQ(value(QStringLiteral("--1")), 1);
    EXPECT_EQ(value(QStringLiteral("+1")), 1);
    EXPECT_EQ(value(QStringLiteral("-2 * -3")), 6);
    EXPECT_EQ(value(QStringLiteral("1,5 + 1.5")), 3);
    EXPECT_EQ(value(QStringLiteral("\u00A01e3\u2003*\n2\u3000")), 2000);
}

TEST(PlmFormulaTest, TypedOperatorsAreStoredInAscii)
{
    EXPECT_EQ(parse(QStringLiteral("2 × 3 − 1")),
              PlmExpression::binary('-', PlmExpression::binary('*', PlmExpression::number(2), PlmExpression::number(3)),
                                    PlmExpression::number(1)));
    EXPECT_EQ(parse(QStringLiteral("6 ÷ 3")),
              PlmExpression::binary('/', PlmExpression::number(6), PlmExpression::number(3)));
    EXPECT_EQ(parse(QStringLiteral("−[A]")), PlmExpression::unary('-', PlmExpression::variable(QStringLiteral("a"))));
}

TEST(PlmFormulaTest, NamesResolveIgnoringCaseAccentsAndSpaces)
{
    EXPECT_EQ(parse(QStringLiteral("population totale*2")),
              PlmExpression::binary('*', PlmExpression::variable(QStringLiteral("pop")), PlmExpression::number(2)));
    // The first variable in list order wins: "Région" comes before "REGION".
    EXPECT_EQ(parse(QStringLiteral("region")), PlmExpression::variable(QStringLiteral("reg")));
    EXPECT_EQ(parse(QStringLiteral("[ RÉGION ]")), PlmExpression::variable(QStringLiteral("reg")));
    EXPECT_EQ(parse(QStringLiteral("2020")), PlmExpression::variable(QStringLiteral("y2020")));
    EXPECT_EQ(parse(QStringLiteral("[2020]")), PlmExpression::variable(QStringLiteral("y2020")));
    EXPECT_EQ(parse(QStringLiteral("2021")), PlmExpression::number(2021));
    EXPECT_EQ(parse(QStringLiteral("[A]]B]")), PlmExpression::variable(QStringLiteral("brk")));
    EXPECT_EQ(parse(QStringLiteral("[Taux-actifs] / 2")).referencedVariables(), QSet<QString>{QStringLiteral("taux")});
    EXPECT_EQ(parse(QStringLiteral("[A] - [B] * A + 3")).referencedVariables(),
              (QSet<QString>{QStringLiteral("a"), QStringLiteral("b")}));
    EXPECT_TRUE(parse(QStringLiteral("1 + 2")).referencedVariables().isEmpty());

    // A scope built once resolves like the list it was built from.
    const PlmFormulaScope scope(variables);
    EXPECT_EQ(PlmFormula::parse(QStringLiteral("REGION + [a]]b] + 2020"), scope),
              parse(QStringLiteral("REGION + [a]]b] + 2020")));
    EXPECT_EQ(scope.find(QStringLiteral("  région\n"))->id, QStringLiteral("reg"));
    EXPECT_EQ(scope.find(QStringLiteral("Régions")), nullptr);
}

TEST(PlmFormulaTest, EachFaultHasItsMessage)
{
    EXPECT_EQ(refusal(QString()), QStringLiteral("Saisissez une formule simple (maximum 4 096 caractères)."));
    EXPECT_EQ(refusal(QStringLiteral("   ")), QStringLiteral("Formule incomplète : une valeur ou une variable est attendue."));
    EXPECT_EQ(refusal(QStringLiteral("1 +")), QStringLiteral("Formule incomplète : une valeur ou une variable est attendue."));
    EXPECT_EQ(refusal(QStringLiteral("(1 + 2")), QStringLiteral("Il manque une parenthèse fermante."));
    EXPECT_EQ(refusal(QStringLiteral("(1 ]")), QStringLiteral("Il manque une parenthèse fermante."));
    EXPECT_EQ(refusal(QStringLiteral("[A")), QStringLiteral("Il manque ] après le nom de variable."));
    EXPECT_EQ(refusal(QStringLiteral("[A]]")), QStringLiteral("Il manque ] après le nom de variable."));
    EXPECT_EQ(refusal(QStringLiteral("1 * * 2")), QStringLiteral("Valeur ou nom de variable attendu."));
    EXPECT_EQ(refusal(QStringLiteral("()")), QStringLiteral("Valeur ou nom de variable attendu."));
    EXPECT_EQ(refusal(QStringLiteral("[nom] * 2")),
              QStringLiteral("« Nom » contient du texte : choisissez une variable numérique."));
    EXPECT_EQ(refusal(QStringLiteral("[]")),
              QStringLiteral("Variable inconnue : «  ». Choisissez un nom dans la liste des variables."));
    EXPECT_EQ(refusal(QStringLiteral("1 000")),
              QStringLiteral("Variable inconnue : « 1 000 ». Choisissez un nom dans la liste des variables."));
    EXPECT_EQ(refusal(QStringLiteral("3 4")),
              QStringLiteral("Variable inconnue : « 3 4 ». Choisissez un nom dans la liste des variables."));
    EXPECT_EQ(refusal(QStringLiteral("[x]]y] + 1")),
              QStringLiteral("Variable inconnue : « x]y ». Choisissez un nom dans la liste des variables."));
    EXPECT_EQ(refusal(QStringLiteral("1.234,5")),
              QStringLiteral("Variable inconnue : « 1.234,5 ». Choisissez un nom dans la liste des variables."));
    EXPECT_EQ(refusal(QStringLiteral(" inf ")),
              QStringLiteral("Variable inconnue : « inf ». Choisissez un nom dans la liste des variables."));
    const QString unexpected =
        QStringLiteral("Caractère inattendu dans la formule. Utilisez + − × ÷ et des parenthèses.");
    EXPECT_EQ(refusal(QStringLiteral("(2)3")), unexpected);
    EXPECT_EQ(refusal(QStringLiteral("2)")), unexpected);
    EXPECT_EQ(refusal(QStringLiteral("2 ]")), unexpected);
    EXPECT_EQ(refusal(QStringLiteral("[A] [B]")), unexpected);
}

TEST(PlmFormulaTest, LengthIsCountedInUserPerceivedCharacters)
{
    const QString limit = QStringLiteral("1") + repeated(QStringLiteral(" "), 4095);
    EXPECT_EQ(value(limit), 1);
    EXPECT_EQ(refusal(limit + QLatin1Char(' ')), QStringLiteral("Saisissez une formule simple (maximum 4 096 caractères)."));
    // "é" written as e + combining accent is one character; CR LF is one too.
    const QString decomposed = QStringLiteral("[A]+0*[") + repeated(QStringLiteral("e\u0301"), 4080) + QStringLiteral("]");
    EXPECT_EQ(refusal(decomposed),
              QStringLiteral("Variable inconnue : « ") + repeated(QStringLiteral("e\u0301"), 4080)
                  + QStringLiteral(" ». Choisissez un nom dans la liste des variables."));
    EXPECT_EQ(value(QStringLiteral("2") + repeated(QStringLiteral("\r\n"), 4095)), 2);
    // One letter with 200,000 accents is one character: read, folded and refused at once.
    QString accented = QStringLiteral("e");
    for (int i = 0; i < 200000; ++i)
        accented += QChar(i % 2 ? 0x0301 : 0x0316);
    EXPECT_EQ(refusal(accented),
              QStringLiteral("Variable inconnue : « ") + accented
                  + QStringLiteral(" ». Choisissez un nom dans la liste des variables."));
    // A huge text is refused without trouble.
    EXPECT_EQ(refusal(repeated(QStringLiteral("(((((((((("), 100000)),
              QStringLiteral("Saisissez une formule simple (maximum 4 096 caractères)."));
}

TEST(PlmFormulaTest, NestingStopsAtSixtyThreeLevels)
{
    EXPECT_EQ(value(repeated(QStringLiteral("("), 63) + QStringLiteral("1") + repeated(QStringLiteral(")"), 63)), 1);
    EXPECT_EQ(refusal(repeated(QStringLiteral("("), 64) + QStringLiteral("1") + repeated(QStringLiteral(")"), 64)),
              QStringLiteral("Trop de parenthèses dans cette formule simple."));
    EXPECT_EQ(value(repeated(QStringLiteral("-"), 63) + QStringLiteral("1")), -1);
    EXPECT_EQ(refusal(repeated(QStringLiteral("-"), 64) + QStringLiteral("1")),
              QStringLiteral("Trop de parenthèses dans cette formule simple."));
    EXPECT_EQ(refusal(repeated(QStringLiteral("(-"), 2000)), QStringLiteral("Trop de parenthèses dans cette formule simple."));
    // Long flat chains are not nesting.
    EXPECT_EQ(value(QStringLiteral("0") + repeated(QStringLiteral("+1"), 2000)), 2000);
}

TEST(PlmFormulaTest, MissingOperandsDivisionByZeroAndOverflowGiveNoValue)
{
    const PlmExpression ratio = parse(QStringLiteral("[A] / [B]"));
    EXPECT_EQ(ratio.evaluate({{QStringLiteral("a"), 3}, {QStringLiteral("b"), 4}}), 0.75);
    EXPECT_FALSE(ratio.evaluate({{QStringLiteral("a"), 3}, {QStringLiteral("b"), 0}}));
    EXPECT_FALSE(ratio.evaluate({{QStringLiteral("a"), 3}, {QStringLiteral("b"), -0.0}}));
    EXPECT_FALSE(ratio.evaluate({{QStringLiteral("a"), 3}}));
    EXPECT_FALSE(ratio.evaluate({{QStringLiteral("a"), std::numeric_limits<double>::infinity()},
                                 {QStringLiteral("b"), 1}}));
    EXPECT_FALSE(value(QStringLiteral("[A] * 1e308 * 10"), {{QStringLiteral("a"), 1}}));
    EXPECT_FALSE(value(QStringLiteral("0 * (1e308 * 10)")));
    EXPECT_EQ(value(QStringLiteral("[C] / [A] * 100"), {{QStringLiteral("a"), 200}, {QStringLiteral("c"), 25}}), 12.5);

    int lookups = 0;
    const auto counting = [&lookups](const QString&) -> std::optional<double> {
        ++lookups;
        return 2.0;
    };
    EXPECT_EQ(parse(QStringLiteral("[A] * [B] + A")).evaluate(counting), 6);
    EXPECT_EQ(lookups, 3);
}

TEST(PlmFormulaTest, NormalFormIsFullyParenthesised)
{
    EXPECT_EQ(parse(QStringLiteral("[Population totale] × 2")).formulaText(names()),
              QStringLiteral("([Population totale] * 2.0)"));
    EXPECT_EQ(parse(QStringLiteral("−[A] + [B]/[C]")).formulaText(names()),
              QStringLiteral("(-([A]) + ([B] / [C]))"));
    EXPECT_EQ(parse(QStringLiteral("[A] - -2")).formulaText(names()), QStringLiteral("([A] - -(2.0))"));
    EXPECT_EQ(parse(QStringLiteral("0,5 + [A]]B]")).formulaText(names()), QStringLiteral("(0.5 + [A]]B])"));
    EXPECT_EQ(parse(QStringLiteral("2020 * 1")).formulaText(names()), QStringLiteral("([2020] * 1.0)"));
    EXPECT_EQ(parse(QStringLiteral("[A]")).formulaText({}), QStringLiteral("[]"));
    // Renaming a variable to a number-like name keeps it a name.
    EXPECT_EQ(parse(QStringLiteral("[A] + 100")).formulaText({{QStringLiteral("a"), QStringLiteral("100")}}),
              QStringLiteral("([100] + 100.0)"));
    EXPECT_EQ(PlmFormula::reference(QStringLiteral("a]]b")), QStringLiteral("[a]]]]b]"));
}

TEST(PlmFormulaTest, NormalFormNumbersReadBackExactly)
{
    for (const char* formula : {"0.1 + 0.2", "0,00001 * [A]", "0.0001", "12345678901234567890", "1e16",
                                "9007199254740993", "1e308", "0.000000000000000000000000123", "0.1e0",
                                "3.141592653589793", "123456.789e3", "[A] - -2", "0.00000025 / 7"})
        expectRoundTrip(QString::fromUtf8(formula));
    // Tiny constants are written out in full: their exponent would need a sign.
    const QString tiny = QStringLiteral("0.") + repeated(QStringLiteral("0"), 323) + QStringLiteral("5");
    expectRoundTrip(tiny);
    EXPECT_EQ(parse(tiny).formulaText({}), tiny);
    EXPECT_EQ(parse(QStringLiteral("1e16")).formulaText({}), QStringLiteral("1e16"));
    EXPECT_EQ(parse(QStringLiteral("1e20")).formulaText({}), QStringLiteral("1e20"));
}

TEST(PlmFormulaTest, RenderedFormsOfValidFormulasAlwaysParseBack)
{
    for (const char* formula : {"[A] - ([B] - [C])", "[A] / ([B] * [C])", "([A] + [B]) * -([C] - 1)",
                                "-(-(-[A]))", "+[A] * +2", "[A]]B] - [Taux-actifs] / 2020"})
        expectRoundTrip(QString::fromUtf8(formula));
    // A chain of 70 additions is flat when typed but 69 parentheses deep when fully
    // parenthesised: the rendering falls back to the form the parser accepts.
    const QString chain = QStringLiteral("[A]") + repeated(QStringLiteral(" + 1"), 69);
    expectRoundTrip(chain);
    const QString text = parse(chain).formulaText(names());
    EXPECT_TRUE(text.startsWith(QStringLiteral("[A]+1+1"))) << text.left(40).toStdString();
    // The longest flat chain the parser takes, and deep signs at the limit.
    expectRoundTrip(QStringLiteral("1") + repeated(QStringLiteral("+1"), 2047));
    expectRoundTrip(QStringLiteral("[A]") + repeated(QStringLiteral("-,5*[B]"), 500));
    expectRoundTrip(repeated(QStringLiteral("-"), 63) + QStringLiteral("[A]"));
    expectRoundTrip(repeated(QStringLiteral("-("), 31) + QStringLiteral("1+2") + repeated(QStringLiteral(")"), 31));
    expectRoundTrip(repeated(QStringLiteral("1-("), 63) + QStringLiteral("1") + repeated(QStringLiteral(")"), 63));
}

namespace {

PlmExpression randomExpression(std::mt19937_64& rng, int depth)
{
    static const QStringList ids{QStringLiteral("a"), QStringLiteral("brk"), QStringLiteral("pop"),
                                 QStringLiteral("y2020"), QStringLiteral("taux")};
    const int pick = int(rng() % (depth >= 6 ? 2 : 5));
    switch (pick) {
    case 0: {
        // Any non-negative finite double, from subnormals to the largest.
        double number = 0;
        do {
            const quint64 bits = rng() & 0x7FFFFFFFFFFFFFFFull;
            std::memcpy(&number, &bits, sizeof number);
        } while (!std::isfinite(number));
        return PlmExpression::number(number);
    }
    case 1:
        return PlmExpression::variable(ids[qsizetype(rng() % quint64(ids.size()))]);
    case 2:
        return PlmExpression::unary(rng() % 2 ? '-' : '+', randomExpression(rng, depth + 1));
    default:
        return PlmExpression::binary("+-*/"[rng() % 4], randomExpression(rng, depth + 1),
                                     randomExpression(rng, depth + 1));
    }
}

} // namespace

TEST(PlmFormulaTest, RandomExpressionsSurviveTheirNormalForm)
{
    std::mt19937_64 rng(2024);
    for (int i = 0; i < 2000; ++i) {
        const PlmExpression expression = randomExpression(rng, 0);
        const QString text = expression.formulaText(names());
        const PlmExpression back = parse(text);
        ASSERT_TRUE(back.isIdentical(expression)) << text.left(300).toStdString();
    }
}

TEST(PlmFormulaTest, ArbitraryTextsParseOrFailWithAMessage)
{
    std::mt19937_64 rng(99);
    const QString alphabet = QStringLiteral("()[]]+-−*×/÷ \t\n1,.e5AaBé\u0301\r%");
    for (int i = 0; i < 5000; ++i) {
        QString text;
        const int length = int(rng() % 40);
        for (int k = 0; k < length; ++k)
            text += alphabet.at(qsizetype(rng() % quint64(alphabet.size())));
        try {
            const PlmExpression expression = parse(text);
            expression.evaluate({{QStringLiteral("a"), 1.5}});
            expectRoundTrip(text);
        } catch (const PlmWorkError& error) {
            EXPECT_FALSE(error.message().isEmpty());
        }
    }
}
