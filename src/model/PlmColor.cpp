#include "model/PlmColor.h"

#include "model/PlmJson.h"

PlmColor PlmColor::fromJson(const PlmJsonValue& value)
{
    return PlmColor{value.field<double>("red"), value.field<double>("green"),
                    value.field<double>("blue"), value.field<double>("alpha")};
}

void PlmColor::writeJson(PlmJsonWriter& writer) const
{
    writer.beginObject();
    writer.field("alpha", alpha);
    writer.field("blue", blue);
    writer.field("green", green);
    writer.field("red", red);
    writer.endObject();
}
