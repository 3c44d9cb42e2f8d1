#include "carte/CarteInspectorTexts.h"

#include "model/PlmErrors.h"
#include "model/PlmFrenchNumber.h"
#include "model/PlmFrenchNumberDigits.h"
#include "model/PlmNumberText.h"
#include "model/PlmValue.h"

#include <cmath>

namespace CarteInspectorTexts {

namespace {

QString standard(double value)
{
    const std::string text = PlmDecimalDigits::standardText(value);
    return QString::fromLatin1(text.data(), qsizetype(text.size()));
}

QString f(std::optional<double> value, int decimals)
{
    return formatFrenchNumber(value, 10, decimals);
}

// The typed number of a field; none for a blank text or one that is no number. The parser's
// refusal speaks of a data cell: each field gives its own.
std::optional<double> typedNumber(const QString& text)
{
    try {
        const std::optional<PlmValue> value = PlmValue::parse(text, PlmVariableType::number);
        return value ? value->numericValue() : std::nullopt;
    } catch (const PlmError&) {
        return std::nullopt;
    }
}

} // namespace

QString thresholdText(const QList<double>& thresholds)
{
    QStringList parts;
    for (double threshold : thresholds) {
        QString text = standard(threshold);
        if (text.endsWith(QLatin1String(".0")))
            text.chop(2);
        text.replace(QLatin1Char('.'), QLatin1Char(','));
        parts.append(text);
    }
    return parts.join(QStringLiteral(" ; "));
}

QStringList classLabels(const PlmDistribution& distribution, const QList<double>& thresholds, int decimals)
{
    if (!distribution.minimum || !distribution.maximum)
        return {};
    if (thresholds.isEmpty())
        return {f(distribution.minimum, decimals) + QStringLiteral(" à ") + f(distribution.maximum, decimals)};
    QList<double> bounds{*distribution.minimum};
    bounds.append(thresholds);
    bounds.append(*distribution.maximum);
    const qsizetype n = bounds.size() - 1;
    QStringList labels;
    labels.append(QStringLiteral("≤ ") + f(bounds[1], decimals));
    for (qsizetype i = 1; i < n - 1; ++i)
        labels.append(QStringLiteral("> ") + f(bounds[i], decimals) + QStringLiteral(" à ") + f(bounds[i + 1], decimals));
    labels.append(QStringLiteral("> ") + f(bounds[n - 1], decimals));
    return labels;
}

QString statisticsLine(const PlmDistribution& distribution, int entityCount, int decimals)
{
    const qsizetype count = distribution.sorted.size();
    const qsizetype missing = entityCount - count;
    return QString::number(count) + QStringLiteral(" valeurs · ") + QString::number(missing)
        + QStringLiteral(" sans donnée    Min ") + f(distribution.minimum, decimals) + QStringLiteral("    Max ")
        + f(distribution.maximum, decimals) + QStringLiteral("    Moyenne ") + f(distribution.mean, decimals)
        + QStringLiteral("    Écart-type ") + f(distribution.standardDeviation, decimals);
}

QString choroplethNotice(bool hasVariable, const PlmDistribution& distribution, int thresholdCount, int classCount)
{
    if (!hasVariable)
        return QStringLiteral("Choisissez une variable. Créez ou importez vos variables dans Données.");
    if (distribution.sorted.isEmpty())
        return QStringLiteral("Cette variable n’a pas encore de valeur : toutes les zones sont « Sans donnée ».");
    const int effective = thresholdCount + 1;
    if (effective == classCount)
        return QString();
    return QStringLiteral(" ") + QString::number(effective)
        + QStringLiteral(" classes effectives (valeurs identiques ou seuils hors distribution).");
}

QString categoryStatisticsLine(int classedEntities, int categoryCount)
{
    return QString::number(classedEntities) + QStringLiteral(" valeurs · ") + QString::number(categoryCount)
        + QStringLiteral(" catégories");
}

QString symbolCountsLine(int itemCount, const PlmDistribution& distribution, int entityCount)
{
    int zeros = 0;
    int negatives = 0;
    for (double value : distribution.sorted) {
        if (value == 0)
            ++zeros;
        else if (value < 0)
            ++negatives;
    }
    const qsizetype missing = entityCount - distribution.sorted.size();
    QString line = QString::number(itemCount) + QStringLiteral(" symboles · ") + QString::number(zeros)
        + QStringLiteral(" valeurs nulles · ") + QString::number(missing) + QStringLiteral(" sans donnée");
    if (negatives > 0)
        line += QStringLiteral(" · ") + QString::number(negatives) + QStringLiteral(" valeurs négatives non représentées");
    return line;
}

QString symbolNotice(bool hasVariable, bool symbolUnavailable)
{
    if (!hasVariable)
        return QStringLiteral("Choisissez une variable numérique dans Données.");
    if (symbolUnavailable)
        return QStringLiteral("Ce pictogramme est indisponible sur cet ordinateur. Son nom et ses réglages sont conservés ; "
                              "choisissez un autre symbole pour l’afficher.");
    return QStringLiteral("Surface proportionnelle à la valeur ; min et max restent liés. 0 et donnée absente : "
                          "aucun symbole. Glissez un symbole pour le déplacer.");
}

QString legendTitle(const std::optional<PlmVariable>& variable)
{
    if (!variable)
        return QString();
    return variable->type == PlmVariableType::percentage ? variable->name + QStringLiteral(" (%)") : variable->name;
}

PlmThematicSettings typedThresholds(const PlmThematicSettings& edited, const QString& text,
                                    const QList<PlmVariable>& variables)
{
    const QString trimmed = text.trimmed();
    QList<double> list;
    if (!trimmed.isEmpty()) {
        for (const QString& piece : trimmed.split(QLatin1Char(';'))) {
            const std::optional<double> number = typedNumber(piece);
            if (!number)
                throw PlmWorkError(QStringLiteral("Un seuil doit être un nombre. Séparez les seuils par ;."));
            list.append(*number);
        }
    }
    const qsizetype expected =
        edited.method == PlmClassificationMethod::manual ? edited.classCount - 1 : edited.thresholds.size();
    if (list.size() != expected)
        throw PlmWorkError(QStringLiteral("Cette discrétisation attend ") + QString::number(expected)
                           + QStringLiteral(" seuils, dans l’ordre strictement croissant."));
    PlmThematicSettings settings = edited;
    settings.method = PlmClassificationMethod::manual;
    settings.classCount = int(expected) + 1;
    settings.thresholds = list;
    settings.validate(variables);
    return settings;
}

PlmThematicSettings typedSize(const PlmThematicSettings& edited, SizeField field, const QString& text,
                              const PlmDistribution& distribution, const QSet<QString>& entityIDs)
{
    const QString refusal = QStringLiteral("Saisissez une taille positive en points.");
    if (!edited.proportional)
        throw PlmWorkError(refusal);
    const std::optional<double> size = typedNumber(text);
    if (!size)
        throw PlmWorkError(refusal);
    PlmThematicSettings settings = edited;
    PlmProportionalSettings& symbols = *settings.proportional;
    if (field == SizeField::minimum) {
        std::optional<double> smallest;
        std::optional<double> largest;
        for (double value : distribution.sorted) {
            if (value > 0) {
                if (!smallest)
                    smallest = value;
                largest = value;
            }
        }
        if (!smallest)
            throw PlmWorkError(QStringLiteral("Cette variable n’a pas de valeur positive."));
        symbols.setMinimumSize(*size, *smallest, *largest);
    } else {
        symbols.maximumSize = *size;
    }
    symbols.validate(entityIDs);
    return settings;
}

PlmThematicSettings appearance(const PlmThematicSettings& edited, const SymbolAppearance& controls, bool secondSeries)
{
    const PlmWorkError range(QStringLiteral("Opacité : 0 à 100 %. Épaisseur : nombre positif ou nul, en points."));
    PlmThematicSettings settings = edited;
    if (!settings.proportional)
        return settings;
    PlmProportionalSettings& symbols = *settings.proportional;
    if (controls.sliderOpacity || controls.opacityText) {
        const std::optional<double> opacity =
            controls.sliderOpacity ? controls.sliderOpacity : typedNumber(*controls.opacityText);
        if (!opacity || !(*opacity >= 0 && *opacity <= 100))
            throw range;
        symbols.color.alpha = *opacity / 100;
    }
    if (controls.automaticFill) {
        symbols.automaticColor = *controls.automaticFill;
        if (*controls.automaticFill) {
            const PlmColor base = secondSeries ? PlmColor{0.18, 0.42, 0.8, 0.85} : PlmColor{0.8, 0.18, 0.16, 0.85};
            symbols.color.red = base.red;
            symbols.color.green = base.green;
            symbols.color.blue = base.blue;
        }
    }
    if (controls.outlineWidthText || controls.outlineColor || controls.outlineVisible) {
        // A series without an outline gets the one its controls show.
        PlmStyle outline = symbols.outline.value_or(PlmStyle(PlmColor{0, 0, 0, 1}, std::nullopt, 1, 4));
        if (controls.outlineWidthText) {
            const std::optional<double> width = typedNumber(*controls.outlineWidthText);
            if (!width || !std::isfinite(*width) || *width < 0)
                throw range;
            outline.lineWidth = *width;
        }
        if (controls.outlineColor)
            outline.stroke = *controls.outlineColor;
        symbols.outline = outline;
        if (controls.outlineVisible)
            symbols.outlineVisible = *controls.outlineVisible;
    }
    return settings;
}

QString minimumSizeText(double size)
{
    return formatFrenchNumber(size, 4);
}

QString maximumSizeText(double size)
{
    return formatFrenchNumber(size, 6);
}

QString opacityText(double alpha)
{
    return formatFrenchNumber(alpha * 100, 10, 0);
}

QString outlineWidthText(double width)
{
    return formatFrenchNumber(width, 4);
}

std::optional<double> entityNameSize(const QString& text)
{
    QString plain = text;
    plain.replace(QLatin1Char(','), QLatin1Char('.'));
    // A whole C-locale number: optional sign, digits, fraction, exponent; no blank around it.
    QString core = plain;
    if (core.startsWith(QLatin1Char('+')))
        core.remove(0, 1);
    if (core.isEmpty() || core.startsWith(QLatin1Char('+')) || core.front().isSpace())
        return std::nullopt;
    std::optional<double> number = PlmNumberText::parseDouble(QStringView(core));
    if (!number && core.endsWith(QLatin1Char('.')))
        number = PlmNumberText::parseDouble(QStringView(core).chopped(1));
    if (!number && core.startsWith(QLatin1Char('.')))
        number = PlmNumberText::parseDouble(QStringLiteral("0") + core);
    if (!number || !(*number > 0 && *number <= 1000))
        return std::nullopt;
    return number;
}

QString entityNameSizeText(double size)
{
    return standard(size).replace(QLatin1Char('.'), QLatin1Char(','));
}

} // namespace CarteInspectorTexts
