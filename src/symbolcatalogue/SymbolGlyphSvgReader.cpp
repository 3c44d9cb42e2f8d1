#include "symbolcatalogue/SymbolGlyphSvgReader.h"

#include "canvas/CanvasPathBuilder.h"
#include "basemaps/PlmSvgReader.h"
#include "model/PlmEntity.h"
#include "model/PlmErrors.h"
#include "platform/SymbolGlyphProvider.h"

#include <QFile>
#include <QPainterPathStroker>
#include <QTransform>

#include <algorithm>
#include <cmath>

namespace SymbolGlyphSvgReader {

namespace {

// Qt's path operations (simplified, united, subtracted) cut each curve into chords of their
// own choosing, about one per unit of the curve's extent: at the icons' own 16 units a
// rounded nose became two chords, a corner on a pictogram printed large. The parts are cut
// here first, finely enough for a glyph printed 100 mm wide to show no corner.
constexpr double kChordError = 1.0 / 2000;  // of the glyph's larger side
constexpr int kMostChords = 1024;           // per curve, whatever its control points

// The path with each curve cut into evenly spaced chords, none departing from the curve by
// more than `error`: a cubic's chords of parameter step 1/n depart from it by at most
// 3·M / (4·n²), M the larger second difference of its control points.
QPainterPath cutCurves(const QPainterPath& path, double error)
{
    QPainterPath result;
    result.setFillRule(path.fillRule());
    QPointF last;
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element element = path.elementAt(i);
        if (element.isMoveTo()) {
            last = element;
            result.moveTo(last);
        } else if (element.isLineTo()) {
            last = element;
            result.lineTo(last);
        } else if (element.isCurveTo() && i + 2 < path.elementCount()) {
            const QPointF c1 = element, c2 = path.elementAt(i + 1), end = path.elementAt(i + 2);
            const QPointF d1 = last - 2 * c1 + c2, d2 = c1 - 2 * c2 + end;
            const double m = std::max(std::hypot(d1.x(), d1.y()), std::hypot(d2.x(), d2.y()));
            const double wanted = std::ceil(std::sqrt(0.75 * m / error));
            const int n = std::isfinite(wanted) ? int(std::clamp(wanted, 1.0, double(kMostChords))) : 1;
            for (int k = 1; k < n; ++k) {
                const double t = double(k) / n, u = 1 - t;
                result.lineTo(u * u * u * last + 3 * u * u * t * c1 + 3 * u * t * t * c2 + t * t * t * end);
            }
            last = end;
            result.lineTo(last);
            i += 2;
        }
    }
    return result;
}

// Whether a path fills the same area under either fill rule: no two of its subpaths wind
// over one place.
bool windsOnce(const QPainterPath& path)
{
    if (path.fillRule() == Qt::OddEvenFill)
        return true;
    QPainterPath evenOdd = path;
    evenOdd.setFillRule(Qt::OddEvenFill);
    return path.subtracted(evenOdd).isEmpty();
}

} // namespace

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
    struct Part {
        QPainterPath path;
        double strokeWidth = 0;  // 0 for a filled part
    };
    QList<Part> parts;
    QRectF reach;
    for (const PlmEntity& leaf : PlmEntity::leafEntities(reading.map.entities)) {
        const PlmVectorPath commands = CanvasPathBuilder::vectorPath(leaf.geometry, leaf.attributes, toShape);
        Part part{CanvasPathBuilder::toPainterPath(commands)};
        if (part.path.isEmpty())
            continue;
        // A glyph is one filled shape. The icons paint in the text colour ("currentColor"),
        // which the reader leaves unfilled: an element without a fill or a stroke is filled.
        // Stroked lines are widened into the area they cover.
        const bool stroked = leaf.style.lineWidth > 0 && std::isfinite(leaf.style.lineWidth);
        if (!leaf.style.fill && stroked)
            part.strokeWidth = leaf.style.lineWidth;
        const double half = part.strokeWidth / 2;
        reach |= part.path.boundingRect().adjusted(-half, -half, half, half);
        parts.append(std::move(part));
    }
    const double side = std::max(reach.width(), reach.height());
    if (parts.isEmpty() || !(side > 0) || !std::isfinite(side))
        return std::nullopt;
    const double error = side * kChordError;
    // The parts' areas, their curves cut into chords; the stroked lines widened first.
    QList<QPainterPath> areas;
    for (const Part& part : parts) {
        QPainterPath area = part.path;
        if (part.strokeWidth > 0) {
            QPainterPathStroker stroker;
            stroker.setWidth(part.strokeWidth);
            stroker.setCapStyle(Qt::RoundCap);
            stroker.setJoinStyle(Qt::RoundJoin);
            stroker.setCurveThreshold(error);
            area = stroker.createStroke(area);
        }
        areas.append(cutCurves(area, error));
    }

    // Filled parts that each wind once and never overlap are the outline as they are, their
    // curves kept: filled even-odd, a part inside another's hole stays filled. (The checks
    // run on the chords: an overlap thinner than their error goes unseen.)
    QList<QRectF> boxes;
    for (const QPainterPath& area : areas)
        boxes.append(area.controlPointRect());
    bool asTheyAre = true;
    for (qsizetype i = 0; asTheyAre && i < parts.size(); ++i) {
        asTheyAre = parts[i].strokeWidth == 0 && windsOnce(areas[i]);
        for (qsizetype j = 0; asTheyAre && j < i; ++j)
            asTheyAre = !boxes[i].intersects(boxes[j]) || !areas[i].intersects(areas[j]);
    }
    QPainterPath result;
    if (asTheyAre) {
        for (const Part& part : parts)
            result.addPath(part.path);
        result.setFillRule(Qt::OddEvenFill);
        return result;
    }
    // Otherwise the chords become one area, even-odd parts the area they fill.
    result.setFillRule(Qt::WindingFill);
    for (const QPainterPath& area : areas) {
        const QPainterPath simple = area.simplified();
        result = result.isEmpty() ? simple : result.united(simple);
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
