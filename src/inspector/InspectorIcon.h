#pragma once

#include <QColor>
#include <QIcon>
#include <QString>

// Icons of the studio's own monochrome icon set (SVG resources ":/icons/<name>.svg", named
// by symbol names such as "chevron.down" or "square.and.arrow.up"), drawn in one colour.
namespace InspectorIcon {

// Whether the icon set has this symbol.
bool exists(const QString& symbolName);

// The symbol tinted with a colour (the palette's button text colour when invalid);
// a null icon when the set lacks the symbol.
QIcon symbol(const QString& symbolName, const QColor& tint = QColor());

// A chevron drawn in code, for section headers even where the icon set is not linked in.
QIcon chevron(bool open, const QColor& tint = QColor());

} // namespace InspectorIcon
