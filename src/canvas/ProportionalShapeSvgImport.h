#pragma once

#include "model/PlmEntity.h"
#include "model/PlmMap.h"
#include "model/PlmVectorPath.h"

#include <QList>
#include <QMap>
#include <QPainterPath>
#include <QString>

class VectorCanvas;

// Turns an imported SVG drawing into the small map a proportional-symbol series keeps: every
// leaf entity becomes a plain vector path. Failures throw PlmWorkError with a French sentence;
// map validation failures pass through unchanged. Main thread (the canvas is a view).
namespace ProportionalShapeSvgImport {

// One element of a drawn bezier path, as read back from the drawing layer.
struct BezierElement {
    enum class Type { moveTo, lineTo, curveTo, closePath, quadraticCurveTo, other };
    Type type = Type::other;
    QList<PlmPoint> points; // 1 for move/line, 3 for a cubic (c1, c2, end), 2 for a quadratic (q, end)
};

// The importer's map and its unconverted kinds (kind → count) made into a symbol map.
PlmMap importSVGSymbol(const PlmMap& imported, const QMap<QString, int>& unconverted);

// The entity with its geometry replaced by the path the canvas draws for it (groups member by
// member); every other field is kept.
PlmEntity representableEntity(const PlmEntity& entity, const VectorCanvas& canvas);

// The path commands of a bezier path; quadratics become cubics, arcs are never produced.
PlmVectorPath pathCommands(const QList<BezierElement>& elements, bool evenOdd);
PlmVectorPath pathCommands(const QPainterPath& path);
// Our own commands with every arc replaced by cubics (at most 90° each).
PlmVectorPath pathCommands(const PlmVectorPath& path);

// The user-facing sentences.
QString notSvgMessage();
QString emptyPathMessage();
QString unrepresentableElementMessage();
QString emptySvgMessage();
QString unconvertedMessage(const QMap<QString, int>& unconverted);

} // namespace ProportionalShapeSvgImport
