#include "model/PlmPoint.h"

#include "model/PlmJson.h"

PlmPoint PlmPoint::fromJson(const PlmJsonValue& value)
{
    return PlmPoint{value.field<double>("x"), value.field<double>("y")};
}

void PlmPoint::writeJson(PlmJsonWriter& writer) const
{
    writer.beginObject();
    writer.field("x", x);
    writer.field("y", y);
    writer.endObject();
}
