#include "model/PlmSource.h"

#include "model/PlmJson.h"

PlmSource PlmSource::fromJson(const PlmJsonValue& value)
{
    return PlmSource{value.field<QString>("name"), value.field<QByteArray>("data")};
}

void PlmSource::writeJson(PlmJsonWriter& writer) const
{
    writer.beginObject();
    writer.field("data", data);
    writer.field("name", name);
    writer.endObject();
}
