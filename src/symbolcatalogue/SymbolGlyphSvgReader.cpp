#include "symbolcatalogue/SymbolGlyphSvgReader.h"

#include "canvas/CanvasPathBuilder.h"
#include "basemaps/PlmSvgReader.h"
#include "model/PlmEntity.h"
#include "model/PlmErrors.h"
#include "platform/SymbolGlyphProvider.h"

#include <QFile>
#include <QPainterPathStroker>
#include <QTransform>

#include <cmath>

namespace SymbolGlyphSvgReader {

std::optional<QPainterPath> outline(const QByteArray& svg)
{
    PlmSvgReading reading;
    try {
        reading = PlmSvgReader::read(svg, QStringLiteral("glyph"));
    } catch (const PlmError&) {
        return std::nullopt;
    }
    // The map's own y sign, so that the outline grows upward whatever the reader chose.
    const QTransform toShape(1, 0, 0, PlmMap::yAxisSign(reading.map.metadata), 0, 0);
    QPainterPath result;
    result.setFillRule(Qt::WindingFill);
    for (const PlmEntity& leaf : PlmEntity::leafEntities(reading.map.entities)) {
        const PlmVectorPath commands = CanvasPathBuilder::vectorPath(leaf.geometry, leaf.attributes, toShape);
        QPainterPath part = CanvasPathBuilder::toPainterPath(commands);
        if (part.isEmpty())
            continue;
        // A glyph is one filled shape. The icons paint in the text colour ("currentColor"),
        // which the reader leaves unfilled: an element without a fill or a stroke is filled.
        // Stroked lines are widened into the area they cover; even-odd parts become the area
        // they fill.
        const bool stroked = leaf.style.lineWidth > 0 && std::isfinite(leaf.style.lineWidth);
        if (!leaf.style.fill && stroked) {
            QPainterPathStroker stroker;
            stroker.setWidth(leaf.style.lineWidth);
            stroker.setCapStyle(Qt::RoundCap);
            stroker.setJoinStyle(Qt::RoundJoin);
            part = stroker.createStroke(part);
        }
        part = part.simplified();
        result = result.isEmpty() ? part : result.united(part);
    }
    if (result.isEmpty())
        return std::nullopt;
    return result;
}

std::optional<QPainterPath> outlineOfFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > maximumFileSize)
        return std::nullopt;
    return outline(file.read(maximumFileSize + 1));
}

void install()
{
    if (!SymbolGlyphProvider::hasOutlineReader())
        SymbolGlyphProvider::setOutlineReader(&outlineOfFile);
}

} // namespace SymbolGlyphSvgReader
