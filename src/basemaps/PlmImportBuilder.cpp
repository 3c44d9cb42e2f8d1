#include "basemaps/PlmImportBuilder.h"

#include <algorithm>
#include <cmath>

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

namespace {

// Pixels across the longer side of a map fitted in the studio window's canvas.
constexpr double fittedViewPixels = 1000;

struct Extent {
    double minX = INFINITY, minY = INFINITY, maxX = -INFINITY, maxY = -INFINITY;
    void add(const PlmPoint& p)
    {
        minX = std::min(minX, p.x);
        minY = std::min(minY, p.y);
        maxX = std::max(maxX, p.x);
        maxY = std::max(maxY, p.y);
    }
    void add(const QList<PlmPoint>& points)
    {
        for (const PlmPoint& p : points)
            add(p);
    }
    double width() const { return maxX - minX; }
    double height() const { return maxY - minY; }
};

void addGeometry(Extent& extent, const PlmGeometry& geometry)
{
    // The common cases without building the extent point list.
    if (const PlmPoint* point = geometry.asPoint())
        extent.add(*point);
    else if (const QList<PlmPoint>* line = geometry.asPolyline())
        extent.add(*line);
    else if (const PlmPolygon* polygon = geometry.asPolygon())
        extent.add(polygon->exterior);
    else if (const QList<PlmPolygon>* polygons = geometry.asMultipolygon())
        for (const PlmPolygon& p : *polygons)
            extent.add(p.exterior);
    else
        extent.add(geometry.extentPoints());
}

Extent extentOf(const QList<PlmEntity>& entities)
{
    Extent extent;
    for (const PlmEntity& entity : entities)
        addGeometry(extent, entity.geometry);
    return extent;
}

// About one pixel once the longer side fills the fitted view; nothing for an extent without size.
std::optional<double> fittedOutlineWidth(double extentWidth, double extentHeight)
{
    const double longer = std::max(extentWidth, extentHeight);
    if (!std::isfinite(longer) || !(longer > 0))
        return std::nullopt;
    return longer / fittedViewPixels;
}

} // namespace

double PlmImportBuilder::degreeOutlineWidth(double extentWidth, double extentHeight, double writtenDefault)
{
    const std::optional<double> fitted = fittedOutlineWidth(extentWidth, extentHeight);
    return fitted ? std::max(writtenDefault, *fitted) : writtenDefault;
}

void PlmImportBuilder::widenDegreeOutlines(double writtenDefault)
{
    const Extent extent = extentOf(entities);
    replaceOutlineWidth(writtenDefault, degreeOutlineWidth(extent.width(), extent.height(), writtenDefault));
}

void PlmImportBuilder::fitOutlinesToExtent(double writtenDefault)
{
    const Extent extent = extentOf(entities);
    replaceOutlineWidth(writtenDefault, fittedOutlineWidth(extent.width(), extent.height()).value_or(writtenDefault));
}

void PlmImportBuilder::keepWrittenWidths(qsizetype first)
{
    writtenWidths_.resize(size_t(entities.size()), false);
    for (qsizetype i = std::max(first, qsizetype(0)); i < entities.size(); ++i)
        writtenWidths_[size_t(i)] = true;
}

void PlmImportBuilder::replaceOutlineWidth(double writtenDefault, double width)
{
    if (width == writtenDefault)
        return;
    for (qsizetype i = 0; i < entities.size(); ++i) {
        const bool written = size_t(i) < writtenWidths_.size() && writtenWidths_[size_t(i)];
        if (!written && entities.at(i).style.lineWidth == writtenDefault)
            entities[i].style.lineWidth = width;
    }
}
