#include "model/PlmMap.h"

#include "model/PlmEntity.h"
#include "model/PlmJson.h"
#include "model/PlmMapDecodingDepth.h"

double PlmMap::yAxisSign(const QMap<QString, QString>& metadata)
{
    if (metadata.isEmpty())
        return 1;
    const auto axis = metadata.constFind(QStringLiteral("coordinates.yAxis"));
    if (axis != metadata.constEnd())
        return *axis == QLatin1String("down") ? -1 : 1;
    const auto variant = metadata.constFind(QStringLiteral("legacy.variant"));
    if (variant != metadata.constEnd()
        && (*variant == QLatin1String("compact-v1")
            || *variant == QLatin1String("extended-fixed16.16-v1")))
        return -1;
    return 1;
}

PlmPoint PlmMap::orientedPoint(const PlmPoint& point) const
{
    return PlmPoint{point.x, point.y * yAxisSign()};
}

PlmMap PlmMap::fromJson(const PlmJsonValue& value)
{
    const PlmMapDecodingDepth depth = PlmMapDecodingDepth::enterMap();
    PlmMap map;
    map.name = value.field<QString>("name");
    map.entities = value.field<PlmEntityList>("entities");
    map.metadata = value.field<QMap<QString, QString>>("metadata");
    map.sources = value.optionalField<QList<PlmSource>>("sources");
    return map;
}

void PlmMap::writeJson(PlmJsonWriter& writer) const
{
    writer.beginObject();
    writer.field("entities", entities);
    writer.field("metadata", metadata);
    writer.field("name", name);
    writer.optionalField("sources", sources);
    writer.endObject();
}
