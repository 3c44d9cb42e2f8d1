#include "model/PlmPolygon.h"

#include "model/PlmJson.h"

PlmPolygon PlmPolygon::fromJson(const PlmJsonValue& value)
{
    return PlmPolygon{value.field<QList<PlmPoint>>("exterior"),
                      value.field<QList<QList<PlmPoint>>>("holes")};
}

void PlmPolygon::writeJson(PlmJsonWriter& writer) const
{
    writer.beginObject();
    writer.field("exterior", exterior);
    writer.field("holes", holes);
    writer.endObject();
}
