#include "model/PlmProportionalSettings.h"

#include "model/PlmEntity.h"
#include "model/PlmErrors.h"
#include "model/PlmTextFolding.h"
#include "model/PlmJson.h"
#include "model/PlmMapCodec.h"

#include <algorithm>
#include <cmath>

namespace {

bool within(double value, double low, double high)
{
    return std::isfinite(value) && value >= low && value <= high;
}

// Blank after trimming white space and line breaks, as names typed by the user are stored.
bool isBlank(const QString& text)
{
    return PlmTextFolding::trimmed(text).isEmpty();
}

// A custom symbol is drawn from its paths alone: every leaf must be one.
void validateVectorShape(const PlmMap& map)
{
    PlmMapCodec::validate(map);
    bool onlyPaths = !map.entities.isEmpty();
    if (onlyPaths) {
        for (const PlmEntity& leaf : PlmEntity::leafEntities(map.entities)) {
            if (!leaf.geometry.asPath()) {
                onlyPaths = false;
                break;
            }
        }
    }
    if (!onlyPaths)
        throw PlmWorkError(QStringLiteral("Un symbole personnalisé doit contenir des tracés vectoriels."));
}

}  // namespace

PlmProportionalSettings::PlmProportionalSettings(PlmSymbolKind kind, double maximumSize, const PlmColor& color,
                                                 const std::optional<QString>& sfSymbolName,
                                                 const std::optional<PlmSFSymbolConfiguration>& sfConfiguration,
                                                 const std::optional<PlmMap>& sfVector,
                                                 const std::optional<PlmMap>& svgVector,
                                                 const QMap<QString, PlmPoint>& manualPositions)
    : kind(kind),
      maximumSize(maximumSize),
      color(color),
      sfSymbolName(sfSymbolName),
      sfConfiguration(sfConfiguration),
      sfVector(sfVector),
      svgVector(svgVector),
      manualPositions(manualPositions)
{
}

std::optional<double> PlmProportionalSettings::symbolSize(std::optional<double> value,
                                                          std::optional<double> maximumValue) const
{
    if (!value || !std::isfinite(*value) || *value < 0)
        return std::nullopt;
    if (*value == 0)
        return 0.0;
    if (!maximumValue || !std::isfinite(*maximumValue) || *maximumValue <= 0)
        return std::nullopt;
    const double size = maximumSize * std::sqrt(*value) / std::sqrt(*maximumValue);
    if (!std::isfinite(size))
        return std::nullopt;
    return size;
}

void PlmProportionalSettings::setMinimumSize(double size, double minimumValue, double maximumValue)
{
    // Written positively so that a NaN anywhere is refused.
    if (!(std::isfinite(size) && size > 0 && minimumValue > 0 && minimumValue <= maximumValue))
        throw PlmWorkError(QStringLiteral("La taille minimale s’applique aux valeurs strictement positives."));
    const double maximum = size * std::sqrt(maximumValue) / std::sqrt(minimumValue);
    if (!within(maximum, 0.01, 1000))
        throw PlmWorkError(QStringLiteral(
            "Cette taille minimale imposerait un symbole maximal trop grand. Réduisez-la : les tailles min/max "
            "restent liées pour conserver les proportions."));
    maximumSize = maximum;
}

QList<double> PlmProportionalSettings::legendSampleValues(const QList<double>& values) const
{
    double largest = 0;
    for (double value : values)
        if (std::isfinite(value) && value > largest)
            largest = value;
    if (largest <= 0)
        return {};
    // The top sample is the value whose symbol is 70 points when the largest symbol would be bigger.
    const double factor = maximumSize > 70 ? 70 / maximumSize : 1;
    const double top = largest * factor * factor;
    QList<double> samples;
    for (double sample : {top / 9, 4 * top / 9, top})
        if (sample > 0)
            samples.append(sample);
    std::sort(samples.begin(), samples.end());
    return samples;
}

void PlmProportionalSettings::validate(const QSet<QString>& entityIDs) const
{
    bool valid = within(maximumSize, 0.01, 1000) && color.hasValidComponents();
    for (auto it = manualPositions.cbegin(); valid && it != manualPositions.cend(); ++it)
        valid = entityIDs.contains(it.key()) && std::isfinite(it.value().x) && std::isfinite(it.value().y);
    if (!valid)
        throw PlmWorkError(QStringLiteral("Taille, couleur ou position de symbole invalide."));

    if (outline && !(std::isfinite(outline->lineWidth) && outline->lineWidth >= 0 && outline->stroke.hasValidComponents()))
        throw PlmWorkError(QStringLiteral("Contour de symbole invalide."));

    if (kind == PlmSymbolKind::svg && !svgVector)
        throw PlmWorkError(QStringLiteral("Importez un symbole SVG vectoriel."));
    if (kind == PlmSymbolKind::sfSymbol && (!sfSymbolName || isBlank(*sfSymbolName)))
        throw PlmWorkError(QStringLiteral("Choisissez un pictogramme."));

    if (sfVector)
        validateVectorShape(*sfVector);
    if (svgVector)
        validateVectorShape(*svgVector);
}

PlmProportionalSettings PlmProportionalSettings::fromJson(const PlmJsonValue& value)
{
    PlmProportionalSettings settings;
    settings.kind = value.field<PlmSymbolKind>("kind");
    settings.maximumSize = value.field<double>("maximumSize");
    settings.color = value.field<PlmColor>("color");
    settings.automaticColor = value.optionalField<bool>("automaticColor");
    settings.outline = value.optionalField<PlmStyle>("outline");
    settings.outlineVisible = value.optionalField<bool>("outlineVisible");
    settings.sfSymbolName = value.optionalField<QString>("sfSymbolName");
    settings.sfConfiguration = value.optionalField<PlmSFSymbolConfiguration>("sfConfiguration");
    settings.sfVector = value.optionalField<PlmMap>("sfVector");
    settings.svgVector = value.optionalField<PlmMap>("svgVector");
    settings.manualPositions = value.field<QMap<QString, PlmPoint>>("manualPositions");
    return settings;
}

void PlmProportionalSettings::writeJson(PlmJsonWriter& writer) const
{
    writer.beginObject();
    writer.optionalField("automaticColor", automaticColor);
    writer.field("color", color);
    writer.field("kind", kind);
    writer.field("manualPositions", manualPositions);
    writer.field("maximumSize", maximumSize);
    writer.optionalField("outline", outline);
    writer.optionalField("outlineVisible", outlineVisible);
    writer.optionalField("sfConfiguration", sfConfiguration);
    writer.optionalField("sfSymbolName", sfSymbolName);
    writer.optionalField("sfVector", sfVector);
    writer.optionalField("svgVector", svgVector);
    writer.endObject();
}
