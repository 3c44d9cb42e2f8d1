#include "catalogue/PlmCatalogueConversion.h"

#include "basemaps/PlmImportBuilder.h"
#include "basemaps/PlmVectorImporter.h"
#include "model/PlmMapCodec.h"

#include <QSet>
#include <algorithm>
#include <cmath>

namespace PlmCatalogueConversion {

namespace {

QString fileNameOf(const QUrl& url)
{
    QString name = url.fileName();
    if (name.isEmpty())
        name = QStringLiteral("fond.geojson");
    return name;
}

OnlineError badIdentifier()
{
    return OnlineError::invalid(QStringLiteral("Identifiant du fournisseur absent ou répété."));
}

} // namespace

PlmImportResult convert(const OnlineResponse& response, const OnlineMap& entry)
{
    return convert(response, entry, QDateTime::currentDateTimeUtc());
}

PlmImportResult convert(const OnlineResponse& response, const OnlineMap& entry, const QDateTime& now)
{
    PlmImportResult result = PlmVectorImporter::importData(response.data, fileNameOf(entry.downloadURL));
    PlmMap& map = result.map;
    if (map.metadata.value(QStringLiteral("source.format")) != QLatin1String("GeoJSON") || map.entities.size() == 0)
        throw OnlineError::invalid(QStringLiteral("Aucune géométrie GeoJSON utilisable."));

    map.name = entry.name + QStringLiteral(" — ") + entry.vintage;

    // The category's width, or wider when the map's extent needs it to show at the fitted view.
    double minX = INFINITY, minY = INFINITY, maxX = -INFINITY, maxY = -INFINITY;
    for (const PlmEntity& entity : map.entities)
        for (const PlmPoint& p : entity.geometry.extentPoints()) {
            minX = std::min(minX, p.x);
            minY = std::min(minY, p.y);
            maxX = std::max(maxX, p.x);
            maxY = std::max(maxY, p.y);
        }
    const double width = PlmImportBuilder::degreeOutlineWidth(
        maxX - minX, maxY - minY, entry.category == OnlineCategory::world ? 0.06 : 0.008);
    QSet<QString> used;
    for (qsizetype i = 0; i < map.entities.size(); ++i) {
        const PlmEntity& current = map.entities.at(i);
        QString candidate = current.id;
        if (!entry.identifierAttribute.isEmpty()) {
            const auto found = current.attributes.constFind(entry.identifierAttribute);
            if (found == current.attributes.constEnd())
                throw badIdentifier();
            candidate = found.value();
        }
        if (candidate.isEmpty() || used.contains(candidate))
            throw badIdentifier();
        used.insert(candidate);
        const QString name = current.attributes.value(entry.nameAttribute);
        PlmEntity& entity = map.entities.edit(i);
        entity.id = candidate;
        if (!entry.nameAttribute.isEmpty() && !name.isEmpty())
            entity.name = name;
        entity.style.lineWidth = width;
    }

    QMap<QString, QString>& meta = map.metadata;
    meta.insert(QStringLiteral("source"), entry.source);
    meta.insert(QStringLiteral("source.category"), onlineCategoryRawValue(entry.category));
    meta.insert(QStringLiteral("source.url"), entry.originURL.toString());
    meta.insert(QStringLiteral("source.downloadURL"), entry.downloadURL.toString());
    meta.insert(QStringLiteral("source.resolvedURL"), response.finalURL.toString());
    meta.insert(QStringLiteral("source.vintage"), entry.vintage);
    meta.insert(QStringLiteral("source.license"), entry.license);
    meta.insert(QStringLiteral("source.licenseURL"), entry.licenseURL.toString());
    meta.insert(QStringLiteral("source.attribution"), entry.attribution);
    meta.insert(QStringLiteral("source.catalogID"), entry.id);
    meta.insert(QStringLiteral("source.description"), entry.detail);
    meta.insert(QStringLiteral("source.downloadedAt"), now.toUTC().toString(Qt::ISODate));

    PlmMapCodec::validate(map);
    return result;
}

} // namespace PlmCatalogueConversion
