#include "canvas/VectorCanvas.h"

#include "canvas/CanvasPathBuilder.h"
#include "canvas/ProportionalShape.h"

PlmVectorPath VectorCanvas::path(const PlmGeometry& geometry, const QMap<QString, QString>& attributes) const
{
    return CanvasPathBuilder::vectorPath(geometry, attributes, mapToViewTransform());
}

void VectorCanvas::appendRing(const QList<PlmPoint>& ring, bool closing, PlmVectorPath& path) const
{
    VectorPathSink sink(path);
    CanvasPathBuilder::appendRing(sink, ring, closing, mapToViewTransform());
}

void VectorCanvas::appendPolygon(const PlmPolygon& polygon, PlmVectorPath& path) const
{
    VectorPathSink sink(path);
    CanvasPathBuilder::appendPolygon(sink, polygon, mapToViewTransform());
}

double VectorCanvas::pointRadiusInView(const PlmEntity& entity) const
{
    return usesMapUnitRadius(entity) ? entity.style.pointRadius * m_scale : entity.style.pointRadius;
}

std::shared_ptr<const ProportionalShape> VectorCanvas::pointShape(const PlmEntity& entity)
{
    if (!entity.pointSymbol)
        return nullptr;
    if (auto it = pointShapes.constFind(entity.id); it != pointShapes.constEnd())
        return *it;
    const PlmPointSymbol& symbol = *entity.pointSymbol;
    PlmProportionalSettings settings;
    // The defaults of a new series: maximum size 60 and the series colour.
    settings.maximumSize = 60;
    settings.color = PlmColor{0.8, 0.18, 0.16, 0.85};
    bool monochrome = false;
    if (symbol.svgVector) {
        settings.kind = PlmSymbolKind::svg;
        settings.svgVector = symbol.svgVector;
        monochrome = symbol.isMonochrome();
    } else {
        settings.kind = PlmSymbolKind::sfSymbol;
        settings.sfSymbolName = symbol.sfSymbolName;
    }
    auto shape = std::make_shared<const ProportionalShape>(settings, monochrome);
    pointShapes.insert(entity.id, shape);
    return shape;
}

PlmColor VectorCanvas::pointSymbolColor(const PlmEntity& entity, const QString* classID) const
{
    if (entity.pointSymbol) {
        const PlmPointSymbol& symbol = *entity.pointSymbol;
        const bool automatic = symbol.colorMode.value_or(PlmPointSymbolColorMode::automatic) != PlmPointSymbolColorMode::fixed;
        if (automatic && symbol.isMonochrome()) {
            if (auto it = fillOverrides.constFind(classID ? *classID : entity.id); it != fillOverrides.constEnd())
                return PlmColor{it->red, it->green, it->blue, it->alpha * entity.style.stroke.alpha};
            if (symbol.svgVector) {
                const PlmEntityList leaves = PlmEntity::leafEntities(symbol.svgVector->entities);
                if (!leaves.isEmpty()) {
                    const PlmStyle& first = leaves.first().style;
                    const PlmColor c = first.fill ? *first.fill : first.stroke;
                    return PlmColor{c.red, c.green, c.blue, entity.style.stroke.alpha};
                }
            }
        }
    }
    return entity.style.stroke;
}
