// JSON form of a work (the .plm envelope is PlmWorkCodec's).
#include "model/PlmWork.h"

#include "model/PlmJson.h"

PlmWork PlmWork::fromJson(const PlmJsonValue& value)
{
    PlmWork work;
    work.decoration = value.optionalField<PlmDecoration>("decoration");
    work.map = value.field<PlmMap>("map");
    work.sourceMapURL = value.optionalField<QString>("sourceMapURL");
    work.thematic = value.optionalField<PlmThematicSettings>("thematic");
    work.variables = value.field<QList<PlmVariable>>("variables");
    return work;
}

void PlmWork::writeJson(PlmJsonWriter& writer) const
{
    writer.beginObject();
    writer.optionalField("decoration", decoration);
    writer.field("map", map);
    writer.optionalField("sourceMapURL", sourceMapURL);
    writer.optionalField("thematic", thematic);
    writer.field("variables", variables);
    writer.endObject();
}
