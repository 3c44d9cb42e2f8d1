#include "model/PlmWorkCodec.h"

#include "model/PlmEntityListReader.h"
#include "model/PlmErrors.h"
#include "model/PlmFileLimits.h"
#include "model/PlmJson.h"

namespace {

// Validation and recomputation in the order that keeps the entered data checked first.
PlmWork checkedAndRecomputed(PlmWork work, const PlmCancellationToken& cancellation)
{
    PlmWorkCodec::dropDerivedData(work);
    work.validate();
    work.recomputeCalculatedVariables(cancellation);
    work.recomputeThematicThresholds();
    return work;
}

} // namespace

PlmWorkCodec::Document PlmWorkCodec::Document::fromJson(const PlmJsonValue& value)
{
    Document document;
    // The version first: a file of another version gets the version message rather than
    // a decoding error about a shape this reader does not know.
    document.version = value.field<qint64>("version");
    if (document.version != PlmWorkCodec::version)
        throw PlmWorkError::invalid(QStringLiteral("Version .plm non prise en charge : ")
                                    + QString::number(document.version));
    document.work = value.field<PlmWork>("work");
    return document;
}

void PlmWorkCodec::Document::writeJson(PlmJsonWriter& writer) const
{
    writer.beginObject();
    writer.field("version", version);
    writer.field("work", work);
    writer.endObject();
}

QByteArray PlmWorkCodec::encode(const PlmWork& work, const PlmCancellationToken& cancellation)
{
    Document document;
    document.work = checkedAndRecomputed(work, cancellation);
    PlmJsonWriter writer(0, size_t(plmMaximumFileBytes));
    writer.write(document);
    return writer.takeBytes();
}

PlmWork PlmWorkCodec::decode(const QByteArray& bytes, const PlmCancellationToken& cancellation)
{
    // The map's entity list straight from the text, the rest through the tree; anything that
    // road does not take (every refusal among others) takes the tree road below, as for a
    // ".plmmap".
    if (std::optional<PlmEntityListReader::Split> split
        = PlmEntityListReader::read(bytes, {"work", "map", "entities"})) {
        std::optional<Document> document;
        try {
            const PlmJsonDocument rest = PlmJsonDocument::parse(split->rest, PlmJsonDocument::unboundedDepth);
            document = rest.root().as<Document>();
        } catch (...) {
            document.reset();
        }
        if (document) {
            document->work.map.entities = std::move(split->entities);
            return checkedAndRecomputed(std::move(document->work), cancellation);
        }
    }
    // The parser is iterative; the map decoder bounds group nesting itself with its own
    // French message, as for a ".plmmap".
    const PlmJsonDocument json = PlmJsonDocument::parse(bytes, PlmJsonDocument::unboundedDepth);
    Document document = json.root().as<Document>();
    return checkedAndRecomputed(std::move(document.work), cancellation);
}

void PlmWorkCodec::dropDerivedData(PlmWork& work)
{
    for (qsizetype i = 0; i < work.variables.size(); ++i)
        if (std::as_const(work.variables)[i].calculation && !std::as_const(work.variables)[i].values.isEmpty())
            work.variables[i].values.clear();

    if (!work.thematic || work.thematic->thresholds.isEmpty())
        return;
    const PlmThematicSettings& settings = *work.thematic;
    const PlmVariable* mapped = settings.variableID ? work.variable(*settings.variableID) : nullptr;
    // Thresholds survive the recomputation only for a numeric variable drawn without
    // classes or classified by hand; those are the user's and are validated.
    const bool kept = mapped && mapped->type != PlmVariableType::text
        && (!showsAplats(settings.effectiveRepresentation())
            || settings.method == PlmClassificationMethod::manual);
    if (!kept)
        work.thematic->thresholds.clear();
}
