#include "export/SVGCarteExport.h"

#include "canvas/CanvasPathBuilder.h"
#include "canvas/VectorCanvas.h"
#include "export/SvgPathData.h"
#include "model/PlmEntity.h"

void SVGCarteExport::appendEntity(const PlmEntity& entity, const QString& fillKey, const std::string& idPath,
                                  VectorCanvas& vector, double strokeScale)
{
    if (entity.hidden())
        return;
    piece().raw("<g data-entity-id=\"").escaped(entity.id).raw("\" data-name=\"").escaped(entity.name).raw("\">");

    const PlmGeometry& geometry = entity.geometry;
    if (const PlmEntityList* members = geometry.asGroup()) {
        std::string memberPath;
        for (qsizetype i = 0; i < members->size(); ++i) {
            memberPath = idPath + '-' + std::to_string(i);
            appendEntity(members->at(i), fillKey, memberPath, vector, strokeScale);
        }
        piece().raw("</g>");
        return;
    }

    const QTransform toView = vector.mapToViewTransform();
    QList<PlmVectorPath> clips;
    if (entity.clipPaths)
        clips = *entity.clipPaths;
    auto openClips = [&] {
        if (clips.isEmpty())
            piece();
        else
            piece().raw(openClipGroups(clips, toView));
    };
    auto closeClips = [&] {
        SvgOutput& out = piece();
        for (qsizetype i = 0; i < clips.size(); ++i)
            out.raw("</g>");
    };

    if (const PlmPoint* point = geometry.asPoint()) {
        const QPointF centre = vector.viewPoint(QPointF(point->x, point->y));
        const double r = vector.pointRadiusInView(entity);
        if (std::shared_ptr<const ProportionalShape> shape = vector.pointShape(entity)) {
            const PlmColor color = vector.pointSymbolColor(entity, &fillKey);
            openClips();
            if (shape->useSourceColors)
                piece().raw("<g opacity=\"").number(color.alpha).raw("\">");
            SvgOutput id;
            id.raw("id=\"entity-").raw(idPath).raw('"');
            appendSymbol(*shape, id.view(), centre, 2 * r, color);
            if (shape->useSourceColors)
                piece().raw("</g>");
            closeClips();
            piece().raw("</g>");
            return;
        }
    }

    openClips();
    writeEntityPath(piece(), entity, fillKey, idPath, vector, toView, strokeScale);
    closeClips();
    if (geometry.kind() == PlmGeometry::Kind::text)
        notes.insert(QStringLiteral("Textes historiques du fond : contours vectoriels pour conserver leurs "
                                    "transformations exactes."));
    piece().raw("</g>");
}

void SVGCarteExport::writeEntityPath(SvgOutput& out, const PlmEntity& entity, const QString& fillKey,
                                     std::string_view idPath, const VectorCanvas& vector, const QTransform& toView,
                                     double strokeScale) const
{
    const PlmGeometry& geometry = entity.geometry;
    out.raw("<path id=\"entity-").raw(idPath).raw("\" d=\"");
    bool evenOdd = false;
    bool area = true;
    if (const PlmPoint* point = geometry.asPoint()) {
        const QPointF c = vector.viewPoint(QPointF(point->x, point->y));
        const double r = vector.pointRadiusInView(entity);
        QPainterPath oval;
        oval.addEllipse(QRectF(c.x() - r, c.y() - r, 2 * r, 2 * r));
        SvgPathData::write(out, oval);  // an oval fills the same under either rule
    } else {
        SvgPathData sink(out);
        evenOdd = CanvasPathBuilder::append(sink, geometry, entity.attributes, toView);
        area = geometry.kind() != PlmGeometry::Kind::polyline;
    }
    out.raw('"');
    std::optional<PlmColor> fill;
    if (area) {
        const auto override = vector.fillOverrides.constFind(fillKey);
        if (override != vector.fillOverrides.constEnd() && entity.isAreaFeature())
            fill = *override;
        else
            fill = entity.style.fill;
    }
    writeFill(out, fill, evenOdd);
    const PlmStyle& style = entity.style;
    const double w = strokeScale * style.lineWidth;
    if (w > 0)
        writeStroke(out, style, w, strokeScale);
    out.raw("/>");
}

bool SVGCarteExport::isPlainEntity(const PlmEntity& entity)
{
    if (entity.hidden())
        return true;
    if (const PlmEntityList* members = entity.geometry.asGroup()) {
        // A group's own clips are not written; its members are what matter.
        for (const PlmEntity& member : *members)
            if (!isPlainEntity(member))
                return false;
        return true;
    }
    const PlmGeometry::Kind kind = entity.geometry.kind();
    return kind != PlmGeometry::Kind::point && kind != PlmGeometry::Kind::text
        && (!entity.clipPaths || entity.clipPaths->isEmpty());
}

void SVGCarteExport::writePlainEntity(SvgOutput& out, const PlmEntity& entity, const QString& fillKey,
                                      std::string_view idPath, const VectorCanvas& vector, const QTransform& toView,
                                      double strokeScale) const
{
    if (entity.hidden())
        return;
    // The pieces appendEntity() writes, each after its line feed: the group, the empty clip
    // opening, the path, the empty clip closing and the group's end; or the group, its members
    // and its end.
    out.raw("\n<g data-entity-id=\"").escaped(entity.id).raw("\" data-name=\"").escaped(entity.name).raw("\">");
    if (const PlmEntityList* members = entity.geometry.asGroup()) {
        std::string memberPath;
        for (qsizetype i = 0; i < members->size(); ++i) {
            memberPath = std::string(idPath) + '-' + std::to_string(i);
            writePlainEntity(out, members->at(i), fillKey, memberPath, vector, toView, strokeScale);
        }
        out.raw("\n</g>");
        return;
    }
    out.raw("\n\n");
    writeEntityPath(out, entity, fillKey, idPath, vector, toView, strokeScale);
    out.raw("\n\n</g>");
}
