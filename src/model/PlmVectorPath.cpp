#include "model/PlmVectorPath.h"

#include "model/PlmJson.h"

PlmVectorPath PlmVectorPath::applying(const PlmTransform& transform) const
{
    PlmVectorPath result;
    result.evenOdd = evenOdd;
    result.commands.reserve(commands.size());
    for (const PlmPathCommand& command : commands)
        result.commands.append(command.applying(transform));
    return result;
}

bool PlmVectorPath::hasClose() const
{
    for (const PlmPathCommand& command : commands)
        if (command.isClose())
            return true;
    return false;
}

PlmVectorPath PlmVectorPath::fromJson(const PlmJsonValue& value)
{
    return PlmVectorPath{value.field<QList<PlmPathCommand>>("commands"), value.field<bool>("evenOdd")};
}

void PlmVectorPath::writeJson(PlmJsonWriter& writer) const
{
    writer.beginObject();
    writer.field("commands", commands);
    writer.field("evenOdd", evenOdd);
    writer.endObject();
}
