#include "model/PlmMapCodec.h"

#include "model/PlmErrors.h"
#include "model/PlmFileLimits.h"
#include "model/PlmJson.h"

QByteArray PlmMapCodec::encode(const PlmMap& map)
{
    validate(map);
    PlmJsonWriter writer(0, size_t(plmMaximumFileBytes));
    writer.beginObject();
    writer.field("map", map);
    writer.field("version", qint64(version));
    writer.endObject();
    return writer.takeBytes();
}

PlmMap PlmMapCodec::decode(const QByteArray& bytes)
{
    // The JSON tree is flat and parsed without recursion; the decoder bounds the nesting of
    // groups itself, with the French message, so the parser's own limit is not needed here.
    return decode(PlmJsonDocument::parse(bytes, PlmJsonDocument::unboundedDepth));
}

PlmMap PlmMapCodec::decode(const PlmJsonDocument& document)
{
    const PlmJsonValue root = document.root();
    const PlmMap map = root.field<PlmMap>("map");
    const qint64 fileVersion = root.field<qint64>("version");
    if (fileVersion != version)
        throw PlmMapError::invalid(QStringLiteral("Version .plmmap non prise en charge : ")
                                   + QString::number(fileVersion));
    validate(map);
    return map;
}
