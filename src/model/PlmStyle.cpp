#include "model/PlmStyle.h"

#include "model/PlmJson.h"

PlmStyle PlmStyle::fromJson(const PlmJsonValue& value)
{
    PlmStyle style(value.field<PlmColor>("stroke"), value.optionalField<PlmColor>("fill"),
                   value.field<double>("lineWidth"), value.field<double>("pointRadius"));
    style.dash = value.optionalField<QList<double>>("dash");
    style.lineCap = value.optionalField<int>("lineCap");
    style.lineJoin = value.optionalField<int>("lineJoin");
    return style;
}

void PlmStyle::writeJson(PlmJsonWriter& writer) const
{
    writer.beginObject();
    writer.optionalField("dash", dash);
    writer.optionalField("fill", fill);
    writer.optionalField("lineCap", lineCap);
    writer.optionalField("lineJoin", lineJoin);
    writer.field("lineWidth", lineWidth);
    writer.field("pointRadius", pointRadius);
    writer.field("stroke", stroke);
    writer.endObject();
}
