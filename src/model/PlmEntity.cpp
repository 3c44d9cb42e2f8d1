#include "model/PlmEntity.h"

#include "model/PlmJson.h"

PlmEntity PlmEntity::fromJson(const PlmJsonValue& value)
{
    PlmEntity entity;
    entity.id = value.field<QString>("id");
    entity.name = value.field<QString>("name");
    entity.geometry = value.field<PlmGeometry>("geometry");
    entity.style = value.field<PlmStyle>("style");
    entity.attributes = value.field<QMap<QString, QString>>("attributes");
    entity.pointSymbol = value.optionalField<PlmPointSymbol>("pointSymbol");
    entity.clipPaths = value.optionalField<QList<PlmVectorPath>>("clipPaths");
    entity.isHidden = value.optionalField<bool>("isHidden");
    entity.isLocked = value.optionalField<bool>("isLocked");
    return entity;
}

void PlmEntity::writeJson(PlmJsonWriter& writer) const
{
    writer.beginObject();
    writer.field("attributes", attributes);
    writer.optionalField("clipPaths", clipPaths);
    writer.field("geometry", geometry);
    writer.field("id", id);
    writer.optionalField("isHidden", isHidden);
    writer.optionalField("isLocked", isLocked);
    writer.field("name", name);
    writer.optionalField("pointSymbol", pointSymbol);
    writer.field("style", style);
    writer.endObject();
}
