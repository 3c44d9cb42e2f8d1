#include "model/PlmText.h"

#include "model/PlmJson.h"

PlmText PlmText::fromJson(const PlmJsonValue& value)
{
    return PlmText{value.field<QString>("text"), value.field<QString>("fontName"),
                   value.field<double>("fontSize"), value.field<PlmTransform>("transform"),
                   value.field<QString>("anchor")};
}

void PlmText::writeJson(PlmJsonWriter& writer) const
{
    writer.beginObject();
    writer.field("anchor", anchor);
    writer.field("fontName", fontName);
    writer.field("fontSize", fontSize);
    writer.field("text", text);
    writer.field("transform", transform);
    writer.endObject();
}
