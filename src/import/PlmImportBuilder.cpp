#include "import/PlmImportBuilder.h"

PlmImportBuilder::PlmImportBuilder(const QString& name, const QString& format)
    : name(name)
{
    metadata.insert(QStringLiteral("source.format"), format);
}

void PlmImportBuilder::addEntity(const PlmGeometry& geometry, const std::optional<QString>& id,
                                 const std::optional<QString>& entityName, const PlmStyle& style,
                                 const QMap<QString, QString>& attributes)
{
    const QString requested = id && !id->isEmpty()
                                ? *id
                                : QStringLiteral("import:") + QString::number(entities.size() + 1);
    QString chosen = requested;
    if (usedIDs.contains(requested)) {
        int suffix = nextSuffix_.value(requested, 2);
        do {
            chosen = requested + QLatin1Char(':') + QString::number(suffix++);
        } while (usedIDs.contains(chosen));
        nextSuffix_.insert(requested, suffix);
    }
    PlmEntity entity(chosen, entityName ? *entityName : requested, geometry, style, attributes);
    if (chosen != requested) {
        entity.attributes.insert(QStringLiteral("source.id"), requested);
        note(QStringLiteral("identifiant dupliqué, conservé en attribut"));
    }
    usedIDs.insert(chosen);
    entities.append(std::move(entity));
}

void PlmImportBuilder::addSource(const QString& sourceName, const QByteArray& data)
{
    if (!sources)
        sources.emplace();
    sources->append(PlmSource{sourceName, data});
}

PlmImportResult PlmImportBuilder::result() const
{
    PlmImportResult result;
    result.map.name = name;
    result.map.entities = PlmEntityList(entities);
    result.map.metadata = metadata;
    result.map.sources = sources;
    result.unconverted = unconverted;
    result.isNativeDocument = false;
    return result;
}
