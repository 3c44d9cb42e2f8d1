#include "app/StudioWindowText.h"
#include "model/PlmFrenchCount.h"

#include "model/PlmDistribution.h"
#include "model/PlmNumberText.h"
#include "model/PlmVariable.h"
#include "model/PlmWork.h"

#include <QStringList>
#include <algorithm>
#include <charconv>
#include <cmath>

namespace StudioWindowText {

namespace {

// The shortest text that reads back to the number, in plain decimal notation between 1e-4
// and 2^53 (a population of 3,000,000 reads "3000000", not "3e+06"), in exponent form
// outside; a whole number carries no fraction.
QString shortestDecimal(double value)
{
    char buffer[400];
    const double magnitude = std::fabs(value);
    const bool plain = magnitude == 0 || (magnitude >= 1e-4 && magnitude < 9007199254740992.0);
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value,
                                      plain ? std::chars_format::fixed : std::chars_format::scientific);
    if (result.ec != std::errc())
        return PlmNumberText::shortest(value);
    return QString::fromLatin1(buffer, result.ptr - buffer);
}

} // namespace

const QString noNumericVariable = QStringLiteral(
    "Aucune variable numérique dans ce document.\nAjoutez ou importez des données pour afficher leurs statistiques.");

QString statusLine(qsizetype entities, qsizetype variables, qsizetype selectedRows)
{
    QString text = PlmFrenchCount::counted(entities, QStringLiteral("entité"), QStringLiteral("entités")) + QStringLiteral(" · ")
        + PlmFrenchCount::counted(variables, QStringLiteral("variable"), QStringLiteral("variables"));
    if (selectedRows > 0)
        text += QStringLiteral(" · ") + PlmFrenchCount::counted(selectedRows, QStringLiteral("sélectionnée"), QStringLiteral("sélectionnées"));
    return text;
}

QString statisticNumber(std::optional<double> value)
{
    if (!value || !std::isfinite(*value))
        return QStringLiteral("—");
    QString text = shortestDecimal(*value);
    text.replace(QLatin1Char('.'), QLatin1Char(','));
    return text;
}

namespace {

// A mean or a deviation is computed, not read: its last digits are arithmetic noise
// ("4223,919999999999" for a mean of 4223,92). It cannot be more precise than the data it
// comes from, so it is rounded to fifteen significant digits of the largest magnitude.
std::optional<double> computed(std::optional<double> value, const PlmDistribution& distribution)
{
    if (!value || !std::isfinite(*value) || !distribution.minimum || !distribution.maximum)
        return value;
    const double largest = std::max(std::fabs(*distribution.minimum), std::fabs(*distribution.maximum));
    if (largest == 0 || !std::isfinite(largest))
        return value;
    const int decimals = 14 - int(std::floor(std::log10(largest)));
    if (decimals < 0 || decimals > 330)
        return value;
    char buffer[400];
    const auto written = std::to_chars(buffer, buffer + sizeof buffer, *value, std::chars_format::fixed, decimals);
    double rounded = *value;
    if (written.ec == std::errc())
        std::from_chars(buffer, written.ptr, rounded);
    return rounded == 0 ? 0.0 : rounded; // no "-0"
}

QString summaryOfNumbers(const QString& name, const QList<double>& numbers)
{
    const PlmDistribution distribution(numbers);
    return name + QLatin1Char('\n') + PlmFrenchCount::counted(distribution.sorted.size(), QStringLiteral("valeur"), QStringLiteral("valeurs"))
        + QStringLiteral(" · Min ")
        + statisticNumber(distribution.minimum) + QStringLiteral(" · Max ") + statisticNumber(distribution.maximum)
        + QStringLiteral("\nMoyenne ") + statisticNumber(computed(distribution.mean, distribution)) + QStringLiteral(" · Écart-type ")
        + statisticNumber(computed(distribution.standardDeviation, distribution));
}

template <typename Values>
QList<double> numbersOf(const Values& values)
{
    QList<double> numbers;
    numbers.reserve(values.size());
    for (const PlmValue& value : values) {
        if (const auto number = value.numericValue())
            numbers.append(*number);
    }
    return numbers;
}

} // namespace

QString statisticsSummary(const QString& name, const QList<PlmValue>& values)
{
    return summaryOfNumbers(name, numbersOf(values));
}

QString statisticsText(const PlmVariable& variable)
{
    // Read in place: a large variable's values are not copied into a list first.
    return summaryOfNumbers(variable.name, numbersOf(variable.values));
}

QString statisticsText(const PlmWork& work)
{
    QStringList blocks;
    for (const PlmVariable& variable : work.variables) {
        if (variable.type == PlmVariableType::number || variable.type == PlmVariableType::percentage)
            blocks.append(statisticsText(variable));
    }
    return blocks.isEmpty() ? noNumericVariable : blocks.join(QStringLiteral("\n\n"));
}

int printFormatIndex(double width, double height)
{
    const double shorter = std::min(width, height);
    const double longer = std::max(width, height);
    if (shorter == 210 && longer == 297)
        return 0;
    if (shorter == 297 && longer == 420)
        return 1;
    return 2;
}

PageSize printFormatSize(int index)
{
    return index == 1 ? PageSize{297, 420} : PageSize{210, 297};
}

QString printDimension(double millimetres)
{
    QString text = shortestDecimal(millimetres);
    // A whole number keeps one decimal, as the fields have always shown it ("297,0").
    if (std::isfinite(millimetres) && !text.contains(QLatin1Char('.')) && !text.contains(QLatin1Char('e')))
        text += QStringLiteral(".0");
    text.replace(QLatin1Char('.'), QLatin1Char(','));
    return text;
}

} // namespace StudioWindowText
