#include "model/PlmMapCodec.h"

#include "model/PlmEntityListReader.h"
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

namespace {

void checkVersion(qint64 fileVersion)
{
    if (fileVersion != PlmMapCodec::version)
        throw PlmMapError::invalid(QStringLiteral("Version .plmmap non prise en charge : ")
                                   + QString::number(fileVersion));
}

} // namespace

PlmMap PlmMapCodec::decode(const QByteArray& bytes)
{
    // Our own documents: the entity list straight from the text, the rest through the tree.
    // Whatever that road does not take (every refusal among others) takes the tree road
    // below, which says why exactly as before.
    if (std::optional<PlmEntityListReader::Split> split = PlmEntityListReader::read(bytes, {"map", "entities"})) {
        std::optional<PlmMap> map;
        qint64 fileVersion = 0;
        try {
            const PlmJsonDocument rest = PlmJsonDocument::parse(split->rest, PlmJsonDocument::unboundedDepth);
            map = rest.root().field<PlmMap>("map");
            fileVersion = rest.root().field<qint64>("version");
        } catch (...) {
            map.reset();
        }
        if (map) {
            map->entities = std::move(split->entities);
            checkVersion(fileVersion);
            validate(*map);
            return std::move(*map);
        }
    }
    // The JSON tree is flat and parsed without recursion; the decoder bounds the nesting of
    // groups itself, with the French message, so the parser's own limit is not needed here.
    return decode(PlmJsonDocument::parse(bytes, PlmJsonDocument::unboundedDepth));
}

PlmMap PlmMapCodec::decode(const PlmJsonDocument& document)
{
    const PlmJsonValue root = document.root();
    const PlmMap map = root.field<PlmMap>("map");
    checkVersion(root.field<qint64>("version"));
    validate(map);
    return map;
}
