#include "model/PlmSecondSymbolSeries.h"

#include "model/PlmJson.h"
#include "model/PlmThematicSettings.h"

PlmThematicSettings PlmSecondSymbolSeries::asThematicSettings() const
{
    PlmThematicSettings settings(variableID, PlmClassificationMethod::quantiles, 5, {}, PlmPalette::blues, false,
                                 PlmColor{0.78, 0.78, 0.78, 1}, legendPosition);
    settings.representation = PlmRepresentation::proportional;
    settings.proportional = symbols;
    settings.decimalPlaces = decimalPlaces;
    settings.hideMissingInLegend = hideMissingInLegend;
    return settings;
}

PlmSecondSymbolSeries PlmSecondSymbolSeries::fromJson(const PlmJsonValue& value)
{
    PlmSecondSymbolSeries series;
    series.variableID = value.optionalField<QString>("variableID");
    series.decimalPlaces = value.optionalField<int>("decimalPlaces");
    series.hideMissingInLegend = value.optionalField<bool>("hideMissingInLegend");
    series.symbols = value.field<PlmProportionalSettings>("symbols");
    series.legendPosition = value.field<PlmPoint>("legendPosition");
    return series;
}

void PlmSecondSymbolSeries::writeJson(PlmJsonWriter& writer) const
{
    writer.beginObject();
    writer.optionalField("decimalPlaces", decimalPlaces);
    writer.optionalField("hideMissingInLegend", hideMissingInLegend);
    writer.field("legendPosition", legendPosition);
    writer.field("symbols", symbols);
    writer.optionalField("variableID", variableID);
    writer.endObject();
}
