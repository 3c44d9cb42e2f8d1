#include "canvas/ProportionalShapeSvgImport.h"

#include "canvas/VectorCanvas.h"
#include "model/PlmErrors.h"
#include "model/PlmMapCodec.h"

#include <QStringList>
#include <algorithm>
#include <cmath>
#include <numbers>

namespace ProportionalShapeSvgImport {

QString notSvgMessage() { return QStringLiteral("Choisissez un fichier SVG vectoriel."); }
QString emptyPathMessage() { return QStringLiteral("SVG sans tracé représentable."); }
QString unrepresentableElementMessage()
{
    return QStringLiteral("Ce tracé utilise un élément SVG non représentable. Aucun symbole n’a été ajouté.");
}
QString emptySvgMessage() { return QStringLiteral("SVG vide."); }

QString unconvertedMessage(const QMap<QString, int>& unconverted)
{
    // QMap keys come sorted; only the first four kinds are named, counts are not shown.
    QStringList kinds = unconverted.keys();
    std::sort(kinds.begin(), kinds.end());
    if (kinds.size() > 4)
        kinds = kinds.mid(0, 4);
    return QStringLiteral("Ce SVG contient des éléments non convertibles : ") + kinds.join(QStringLiteral(", "))
        + QStringLiteral(". Le symbole n’a pas été ajouté.");
}

namespace {

PlmPoint lerpTowards(PlmPoint from, PlmPoint to, double t)
{
    return {from.x + t * (to.x - from.x), from.y + t * (to.y - from.y)};
}

PlmEntity convert(const PlmEntity& entity, const VectorCanvas& canvas, int depth)
{
    // Untrusted input: stop runaway nesting before the stack does.
    if (depth > PlmMapCodec::maximumGroupDepth)
        throw PlmMapError::invalid(QStringLiteral("Groupes trop profondément imbriqués."));
    PlmEntity result = entity;
    if (const PlmEntityList* members = entity.geometry.asGroup()) {
        PlmEntityList converted;
        converted.reserve(members->size());
        for (const PlmEntity& member : *members)
            converted.append(convert(member, canvas, depth + 1));
        result.geometry = PlmGeometry::group(converted);
        return result;
    }
    const PlmVectorPath drawn = canvas.path(entity.geometry, entity.attributes);
    if (drawn.commands.isEmpty())
        throw PlmWorkError::invalid(emptyPathMessage());
    result.geometry = PlmGeometry::path(pathCommands(drawn));
    return result;
}

} // namespace

PlmVectorPath pathCommands(const QList<BezierElement>& elements, bool evenOdd)
{
    PlmVectorPath out;
    out.evenOdd = evenOdd;
    out.commands.reserve(elements.size());
    PlmPoint current{0, 0};
    PlmPoint subpathStart{0, 0};
    for (const BezierElement& e : elements) {
        const qsizetype need = e.type == BezierElement::Type::curveTo ? 3
            : e.type == BezierElement::Type::quadraticCurveTo        ? 2
            : e.type == BezierElement::Type::closePath               ? 0
                                                                      : 1;
        if (e.type == BezierElement::Type::other || e.points.size() < need)
            throw PlmWorkError::invalid(unrepresentableElementMessage());
        switch (e.type) {
        case BezierElement::Type::moveTo:
            current = subpathStart = e.points[0];
            out.commands.append(PlmPathCommand::move(current));
            break;
        case BezierElement::Type::lineTo:
            current = e.points[0];
            out.commands.append(PlmPathCommand::line(current));
            break;
        case BezierElement::Type::curveTo:
            out.commands.append(PlmPathCommand::cubic(e.points[0], e.points[1], e.points[2]));
            current = e.points[2];
            break;
        case BezierElement::Type::closePath:
            out.commands.append(PlmPathCommand::close());
            current = subpathStart;
            break;
        case BezierElement::Type::quadraticCurveTo: {
            const PlmPoint q = e.points[0];
            const PlmPoint end = e.points[1];
            out.commands.append(PlmPathCommand::cubic(lerpTowards(current, q, 2.0 / 3.0),
                                                      lerpTowards(end, q, 2.0 / 3.0), end));
            current = end;
            break;
        }
        case BezierElement::Type::other:
            break;
        }
    }
    return out;
}

PlmVectorPath pathCommands(const QPainterPath& path)
{
    QList<BezierElement> elements;
    elements.reserve(path.elementCount());
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        switch (e.type) {
        case QPainterPath::MoveToElement:
            elements.append({BezierElement::Type::moveTo, {PlmPoint{e.x, e.y}}});
            break;
        case QPainterPath::LineToElement:
            elements.append({BezierElement::Type::lineTo, {PlmPoint{e.x, e.y}}});
            break;
        case QPainterPath::CurveToElement: {
            // A curve is followed by its two data elements; a truncated one is not representable.
            if (i + 2 >= path.elementCount() || path.elementAt(i + 1).type != QPainterPath::CurveToDataElement
                || path.elementAt(i + 2).type != QPainterPath::CurveToDataElement)
                throw PlmWorkError::invalid(unrepresentableElementMessage());
            const QPainterPath::Element c2 = path.elementAt(i + 1);
            const QPainterPath::Element end = path.elementAt(i + 2);
            elements.append({BezierElement::Type::curveTo,
                             {PlmPoint{e.x, e.y}, PlmPoint{c2.x, c2.y}, PlmPoint{end.x, end.y}}});
            i += 2;
            break;
        }
        default:
            elements.append({BezierElement::Type::other, {}});
            break;
        }
    }
    return pathCommands(elements, path.fillRule() == Qt::OddEvenFill);
}

PlmVectorPath pathCommands(const PlmVectorPath& path)
{
    PlmVectorPath out;
    out.evenOdd = path.evenOdd;
    out.commands.reserve(path.commands.size());
    bool hasCurrent = false;
    PlmPoint current{0, 0};
    PlmPoint subpathStart{0, 0};
    for (const PlmPathCommand& command : path.commands) {
        switch (command.kind()) {
        case PlmPathCommand::Kind::move:
            current = subpathStart = command.asMove()->point;
            hasCurrent = true;
            out.commands.append(command);
            break;
        case PlmPathCommand::Kind::line:
            current = command.asLine()->point;
            out.commands.append(command);
            break;
        case PlmPathCommand::Kind::cubic:
            current = command.asCubic()->end;
            out.commands.append(command);
            break;
        case PlmPathCommand::Kind::close:
            current = subpathStart;
            out.commands.append(command);
            break;
        case PlmPathCommand::Kind::arc: {
            const PlmPathArc& a = *command.asArc();
            if (!std::isfinite(a.start) || !std::isfinite(a.sweep))
                throw PlmWorkError::invalid(unrepresentableElementMessage());
            // More than a full turn only retraces the ellipse; bounding it bounds the output.
            const double sweep = std::clamp(a.sweep, -2 * std::numbers::pi, 2 * std::numbers::pi);
            const auto at = [&](double t) {
                return PlmPoint{a.center.x + std::cos(t) * a.axisX.x + std::sin(t) * a.axisY.x,
                                a.center.y + std::cos(t) * a.axisX.y + std::sin(t) * a.axisY.y};
            };
            const auto tangent = [&](double t) {
                return PlmPoint{-std::sin(t) * a.axisX.x + std::cos(t) * a.axisY.x,
                                -std::sin(t) * a.axisX.y + std::cos(t) * a.axisY.y};
            };
            const PlmPoint first = at(a.start);
            out.commands.append(hasCurrent ? PlmPathCommand::line(first) : PlmPathCommand::move(first));
            if (!hasCurrent)
                subpathStart = first;
            hasCurrent = true;
            const int segments = std::max(1, int(std::ceil(std::abs(sweep) / (std::numbers::pi / 2) - 1e-9)));
            const double step = sweep / segments;
            const double k = 4.0 / 3.0 * std::tan(step / 4);
            for (int s = 0; s < segments; ++s) {
                const double t0 = a.start + s * step;
                const double t1 = t0 + step;
                const PlmPoint p0 = at(t0), p1 = at(t1), d0 = tangent(t0), d1 = tangent(t1);
                out.commands.append(PlmPathCommand::cubic({p0.x + k * d0.x, p0.y + k * d0.y},
                                                          {p1.x - k * d1.x, p1.y - k * d1.y}, p1));
                current = p1;
            }
            break;
        }
        }
    }
    return out;
}

PlmEntity representableEntity(const PlmEntity& entity, const VectorCanvas& canvas)
{
    return convert(entity, canvas, 0);
}

PlmMap importSVGSymbol(const PlmMap& imported, const QMap<QString, int>& unconverted)
{
    const auto format = imported.metadata.constFind(QStringLiteral("source.format"));
    if (format == imported.metadata.constEnd() || *format != QStringLiteral("SVG"))
        throw PlmWorkError::invalid(notSvgMessage());
    if (!unconverted.isEmpty())
        throw PlmWorkError::invalid(unconvertedMessage(unconverted));

    // Never shown: it only maps map coordinates to path coordinates at scale 1.
    const VectorCanvas canvas(imported, false, QString());
    PlmEntityList converted;
    converted.reserve(imported.entities.size());
    for (const PlmEntity& entity : imported.entities)
        converted.append(representableEntity(entity, canvas));
    if (converted.isEmpty())
        throw PlmWorkError::invalid(emptySvgMessage());

    PlmMap result(imported.name, converted, imported.metadata);
    result.sources = imported.sources;
    PlmMapCodec::validate(result);
    return result;
}

} // namespace ProportionalShapeSvgImport
