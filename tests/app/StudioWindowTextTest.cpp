#include "app/StudioWindowText.h"

#include "model/PlmVariable.h"
#include "model/PlmWork.h"

#include <gtest/gtest.h>

#include <random>
#include <limits>

using namespace StudioWindowText;

namespace {

PlmVariable variable(const QString& name, PlmVariableType type, const QList<std::pair<QString, PlmValue>>& cells)
{
    QMap<QString, PlmValue> values;
    for (const auto& [id, value] : cells)
        values.insert(id, value);
    return PlmVariable(name.toLower(), name, type, values, std::nullopt);
}

} // namespace

TEST(StudioWindowTextStatus, CountsAndSelection)
{
    EXPECT_EQ(statusLine(12, 3, 2), QStringLiteral("12 entités · 3 variables · 2 sélectionnées"));
    EXPECT_EQ(statusLine(12, 3, 1), QStringLiteral("12 entités · 3 variables · 1 sélectionnée"));
    EXPECT_EQ(statusLine(1, 1, 0), QStringLiteral("1 entité · 1 variable"));
    EXPECT_EQ(statusLine(0, 0, -1), QStringLiteral("0 entité · 0 variable"));
}

TEST(StudioWindowTextStatistics, TwoAndFour)
{
    EXPECT_EQ(statisticsSummary(QStringLiteral("X"), {PlmValue::number(2), PlmValue::number(4)}),
              QStringLiteral("X\n2 valeurs · Min 2 · Max 4\nMoyenne 3 · Écart-type 1"));
}

TEST(StudioWindowTextStatistics, TextsAndNonFiniteNumbersAreSkipped)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(statisticsSummary(QStringLiteral("Taux"), {PlmValue::percentage(12.5), PlmValue::text(QStringLiteral("n.d.")),
                                                        PlmValue::number(nan), PlmValue::number(-0.25)}),
              QStringLiteral("Taux\n2 valeurs · Min -0,25 · Max 12,5\nMoyenne 6,125 · Écart-type 6,375"));
}

TEST(StudioWindowTextStatistics, NoNumericValueGivesDashes)
{
    EXPECT_EQ(statisticsSummary(QStringLiteral("Nom"), {PlmValue::text(QStringLiteral("a"))}),
              QStringLiteral("Nom\n0 valeur · Min — · Max —\nMoyenne — · Écart-type —"));
    EXPECT_EQ(statisticNumber(std::nullopt), QStringLiteral("—"));
    EXPECT_EQ(statisticNumber(1e21), QStringLiteral("1e+21"));
    EXPECT_EQ(statisticNumber(0.1), QStringLiteral("0,1"));
}

TEST(StudioWindowTextStatistics, LargePopulationsAreWrittenInFull)
{
    // Plain decimals from 1e-4 up to 2^53; the exponent form only outside.
    EXPECT_EQ(statisticNumber(3000000), QStringLiteral("3000000"));
    EXPECT_EQ(statisticNumber(1234567.25), QStringLiteral("1234567,25"));
    EXPECT_EQ(statisticNumber(-45000), QStringLiteral("-45000"));
    EXPECT_EQ(statisticNumber(0.0001), QStringLiteral("0,0001"));
    EXPECT_EQ(statisticNumber(0.00005), QStringLiteral("5e-05"));
    EXPECT_EQ(statisticNumber(1e16), QStringLiteral("1e+16"));
    EXPECT_EQ(statisticNumber(0), QStringLiteral("0"));
    EXPECT_EQ(statisticsSummary(QStringLiteral("Population"), {PlmValue::number(2000000), PlmValue::number(4000000)}),
              QStringLiteral("Population\n2 valeurs · Min 2000000 · Max 4000000\nMoyenne 3000000 · Écart-type 1000000"));
    EXPECT_EQ(printDimension(1000000), QStringLiteral("1000000,0"));
}

// Decimal data prints its mean as the decimal it is, not with the noise of binary arithmetic.
TEST(StudioWindowTextStatistics, TheMeanOfDecimalDataPrintsAsADecimal)
{
    std::mt19937 random(14);
    std::uniform_int_distribution<qint64> cents(-2000000, 2000000);
    for (int trial = 0; trial < 300; ++trial) {
        const int n = 3 + trial % 40;
        QList<qint64> values;
        qint64 total = 0;
        for (int i = 0; i < n; ++i) {
            values << cents(random);
            total += values.last();
        }
        // The last value takes up the remainder, so the mean is a whole number of cents.
        values.last() -= total % n;
        total -= total % n;
        QList<PlmValue> data;
        for (qint64 v : values)
            data << PlmValue::number(double(v) / 100); // as a reader gives the decimal
        const qint64 mean = total / n;
        QString expected = QString::number(mean / 100) + QLatin1Char(',')
                         + QStringLiteral("%1").arg(std::abs(mean % 100), 2, 10, QLatin1Char('0'));
        if (mean < 0 && mean / 100 == 0)
            expected.prepend(QLatin1Char('-'));
        while (expected.endsWith(QLatin1Char('0')))
            expected.chop(1);
        if (expected.endsWith(QLatin1Char(',')))
            expected.chop(1);
        const QString text = statisticsSummary(QStringLiteral("X"), data);
        const qsizetype at = text.indexOf(QStringLiteral("Moyenne ")) + 8;
        EXPECT_EQ(text.mid(at, text.indexOf(QLatin1Char(' '), at) - at), expected) << "trial " << trial;
    }
}

TEST(StudioWindowTextStatistics, WorkTextListsNumericVariablesInOrder)
{
    PlmWork work;
    EXPECT_EQ(statisticsText(work), noNumericVariable);
    work.variables.append(variable(QStringLiteral("Région"), PlmVariableType::text, {{"a", PlmValue::text("Nord")}}));
    EXPECT_EQ(statisticsText(work),
              QStringLiteral("Aucune variable numérique dans ce document.\n"
                             "Ajoutez ou importez des données pour afficher leurs statistiques."));
    work.variables.append(variable(QStringLiteral("Pop"), PlmVariableType::number, {{"a", PlmValue::number(10)}}));
    work.variables.append(variable(QStringLiteral("Part"), PlmVariableType::percentage, {}));
    EXPECT_EQ(statisticsText(work), QStringLiteral("Pop\n1 valeur · Min 10 · Max 10\nMoyenne 10 · Écart-type 0"
                                                   "\n\n"
                                                   "Part\n0 valeur · Min — · Max —\nMoyenne — · Écart-type —"));
}

TEST(StudioWindowTextPrint, FormatItemIgnoresOrientation)
{
    EXPECT_EQ(printFormatIndex(420, 297), 1);
    EXPECT_EQ(printFormatIndex(297, 420), 1);
    EXPECT_EQ(printFormatIndex(297, 210), 0);
    EXPECT_EQ(printFormatIndex(210, 297), 0);
    EXPECT_EQ(printFormatIndex(210, 420), 2);
    EXPECT_EQ(printFormatIndex(297.5, 210), 2);
    EXPECT_EQ(printFormatIndex(std::numeric_limits<double>::quiet_NaN(), 297), 2);
}

TEST(StudioWindowTextPrint, DimensionsKeepOneDecimal)
{
    EXPECT_EQ(printDimension(297), QStringLiteral("297,0"));
    EXPECT_EQ(printDimension(148.5), QStringLiteral("148,5"));
    EXPECT_EQ(printDimension(10), QStringLiteral("10,0"));
}
