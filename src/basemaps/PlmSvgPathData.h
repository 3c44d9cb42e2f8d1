#pragma once

#include "basemaps/PlmSvgStyles.h"

#include "model/PlmPathCommand.h"
#include "model/PlmTransform.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QStringView>

// SVG transform lists, path data and the outlines of the basic shapes, in SVG user
// coordinates. Every function succeeds exactly or throws PlmImportError with one French
// sentence.
namespace PlmSvgPathData {

// Commands beyond this many in one document end the import ("SVG trop volumineux…").
inline constexpr qsizetype maximumCommands = 10'000'000;

// "translate(10, 20) scale(2)": the rightmost item applies first; empty is the identity.
PlmTransform svgTransform(QStringView text);

// Path data ("M0 0 L10 0 …"). At most `limit` commands are made, past it the document is too
// large.
QList<PlmPathCommand> svgPathCommands(QStringView text, qsizetype limit = maximumCommands);

// Points and centres mapped by the whole transform, arc axes by its linear part.
QList<PlmPathCommand> transformedCommands(const QList<PlmPathCommand>& commands, const PlmTransform& transform);

// Every length times the factor.
QList<double> scaledDash(const QList<double>& lengths, double factor);

// The outlines of "line", "polyline", "polygon", "rect", "circle" and "ellipse" from the
// element's attributes; an empty list for any other tag.
QList<PlmPathCommand> shapeCommands(const QString& tag, const QMap<QString, QString>& attributes,
                                    const PlmSvgStyles::SVGViewport& viewport = {});

} // namespace PlmSvgPathData
