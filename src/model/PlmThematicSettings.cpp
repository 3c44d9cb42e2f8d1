#include "model/PlmThematicSettings.h"

#include "model/PlmErrors.h"
#include "model/PlmJson.h"
#include "model/PlmVariable.h"

#include <cmath>

namespace {

bool within(double value, double low, double high)
{
    return std::isfinite(value) && value >= low && value <= high;
}

const PlmVariable* findVariable(const QList<PlmVariable>& variables, const QString& id)
{
    for (const PlmVariable& variable : variables)
        if (variable.id == id)
            return &variable;
    return nullptr;
}

}  // namespace

PlmThematicSettings::PlmThematicSettings(const std::optional<QString>& variableID, PlmClassificationMethod method,
                                         int classCount, const QList<double>& thresholds, PlmPalette palette,
                                         bool inverted, const PlmColor& missingColor, const PlmPoint& legendPosition)
    : variableID(variableID),
      method(method),
      classCount(classCount),
      thresholds(thresholds),
      palette(palette),
      inverted(inverted),
      missingColor(missingColor),
      legendPosition(legendPosition)
{
}

bool PlmThematicSettings::allowsConcentric() const
{
    return representation == PlmRepresentation::twoSymbols && proportional && secondSymbols
        && proportional->kind == secondSymbols->symbols.kind
        && (proportional->kind == PlmSymbolKind::circle || proportional->kind == PlmSymbolKind::square);
}

PlmThematicSettings PlmThematicSettings::singleSeries() const
{
    PlmThematicSettings copy = *this;
    copy.representation =
        isSymbolsOnly(effectiveRepresentation()) ? PlmRepresentation::proportional : PlmRepresentation::aplats;
    copy.secondSymbols.reset();
    copy.secondInFront.reset();
    copy.concentric.reset();
    return copy;
}

void PlmThematicSettings::validate(const QList<PlmVariable>& variables) const
{
    if (secondSymbols)
        secondSymbols->asThematicSettings().validate(variables);
    if (hasSecondLayer(effectiveRepresentation()) && !secondSymbols)
        throw PlmWorkError(QStringLiteral("La seconde série de symboles est absente."));
    if (concentric.value_or(false) && !allowsConcentric())
        throw PlmWorkError(QStringLiteral("Les symboles concentriques demandent deux cercles ou deux carrés."));

    bool valid = (!decimalPlaces || (*decimalPlaces >= 0 && *decimalPlaces <= 8)) && classCount >= 1
        && classCount <= 10 && thresholds.size() <= 9;
    for (qsizetype i = 0; valid && i < thresholds.size(); ++i)
        valid = std::isfinite(thresholds[i]) && (i == 0 || thresholds[i] > thresholds[i - 1]);
    if (valid && classColorOverrides)
        for (const PlmColor& color : *classColorOverrides)
            valid = valid && color.hasValidComponents();
    valid = valid && missingColor.hasValidComponents() && within(legendPosition.x, -1e8, 1e8)
        && within(legendPosition.y, -1e8, 1e8);
    if (valid && legendLabelVariableID)
        valid = findVariable(variables, *legendLabelVariableID) != nullptr;
    if (valid && variableID) {
        const PlmVariable* variable = findVariable(variables, *variableID);
        // A text variable has classes of categories but no sizes.
        valid = variable && (variable->type != PlmVariableType::text || showsAplats(effectiveRepresentation()));
    }
    if (!valid)
        throw PlmWorkError(QStringLiteral("Réglages de carte invalides : variable, classes, seuils ou couleurs."));
}

PlmThematicSettings PlmThematicSettings::fromJson(const PlmJsonValue& value)
{
    PlmThematicSettings settings;
    settings.representation = value.optionalField<PlmRepresentation>("representation");
    settings.proportional = value.optionalField<PlmProportionalSettings>("proportional");
    settings.secondSymbols = value.optionalField<PlmSecondSymbolSeries>("secondSymbols");
    settings.secondInFront = value.optionalField<bool>("secondInFront");
    settings.concentric = value.optionalField<bool>("concentric");
    settings.variableID = value.optionalField<QString>("variableID");
    settings.method = value.field<PlmClassificationMethod>("method");
    settings.classCount = value.field<int>("classCount");
    settings.thresholds = value.field<QList<double>>("thresholds");
    settings.palette = value.field<PlmPalette>("palette");
    settings.classColorOverrides = value.optionalField<QMap<QString, PlmColor>>("classColorOverrides");
    settings.inverted = value.field<bool>("inverted");
    settings.decimalPlaces = value.optionalField<int>("decimalPlaces");
    settings.hideMissingInLegend = value.optionalField<bool>("hideMissingInLegend");
    settings.legendLabelVariableID = value.optionalField<QString>("legendLabelVariableID");
    settings.missingColor = value.field<PlmColor>("missingColor");
    settings.legendPosition = value.field<PlmPoint>("legendPosition");
    return settings;
}

void PlmThematicSettings::writeJson(PlmJsonWriter& writer) const
{
    writer.beginObject();
    writer.optionalField("classColorOverrides", classColorOverrides);
    writer.field("classCount", classCount);
    writer.optionalField("concentric", concentric);
    writer.optionalField("decimalPlaces", decimalPlaces);
    writer.optionalField("hideMissingInLegend", hideMissingInLegend);
    writer.field("inverted", inverted);
    writer.optionalField("legendLabelVariableID", legendLabelVariableID);
    writer.field("legendPosition", legendPosition);
    writer.field("method", method);
    writer.field("missingColor", missingColor);
    writer.field("palette", palette);
    writer.optionalField("proportional", proportional);
    writer.optionalField("representation", representation);
    writer.optionalField("secondInFront", secondInFront);
    writer.optionalField("secondSymbols", secondSymbols);
    writer.field("thresholds", thresholds);
    writer.optionalField("variableID", variableID);
    writer.endObject();
}
