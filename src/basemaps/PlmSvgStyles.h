#pragma once

#include "model/PlmColor.h"
#include "model/PlmStyle.h"
#include "model/PlmTransform.h"

#include <QHash>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>

class SVGNode;

// One simple CSS selector of a `style` element with its declarations.
struct SVGStyleRule {
    QString selector;
    QMap<QString, QString> declarations;
};

// The rules of a document in document order, indexed by selector so that matching an element
// costs what matches it rather than the length of the style sheet.
class SVGStyleSheet {
public:
    void add(const SVGStyleRule& rule);
    const QList<SVGStyleRule>& rules() const { return m_rules; }
    // The rules that match the element (its tag, "*", "#" + its id, "." + one of its
    // classes), in document order.
    QList<const SVGStyleRule*> matching(const SVGNode& node) const;

private:
    QList<SVGStyleRule> m_rules;
    QHash<QString, QList<qsizetype>> m_bySelector;
};

// Property name to value as written, one per element, handed down to its children.
using SVGComputedStyle = QMap<QString, QString>;
// Counts of elements left unconverted, by French phrase.
using SVGUnconverted = QMap<QString, int>;

namespace PlmSvgStyles {

// The 19 presentation properties, in the order the cascade reads them.
const QStringList& presentationProperties();

// Reads every `style` element of the tree, in pre-order, into the sheet; each selector that is
// not simple counts "sélecteur CSS complexe".
void collectSVGStyleRules(const SVGNode& root, SVGStyleSheet& sheet, SVGUnconverted& unconverted);

// "name: value; …" → name to value; a later name replaces an earlier one, unless CSS drops its
// value (a stroke width it cannot take).
QMap<QString, QString> parseSVGDeclarations(QStringView text);

// The inherited style, then presentation attributes, then matching rules, then the `style`
// attribute; a stroke width CSS drops leaves the value before it. The CSS-wide keywords take
// what CSS gives: « inherit » the parent's value, « initial » none (the initial value), « unset »
// and « revert » the parent's for an inherited property and none for the others, « revert-layer »
// what the layers below give (from the `style` attribute the style sheet's rules, else the
// presentation attribute; from a rule the presentation attribute), else as « revert ».
SVGComputedStyle computedStyle(const SVGNode& node, const SVGComputedStyle& inherited,
                               const SVGStyleSheet& sheet);

// The element's own opacity, between 0 and 1: its `style` attribute's, else its presentation
// attribute's, else 1; « inherit » takes `parentOpacity`, the parent's own.
double svgOwnOpacity(const SVGNode& node, double parentOpacity);

// A colour keyword, "#rgb[a]", "#rrggbb[aa]", "rgb(…)" or "rgba(…)"; none for "none" and for
// paints that cannot be read. Components are kept between 0 and 1.
std::optional<PlmColor> svgColor(QStringView text);

// A length in user units, its unit in any case. Throws PlmImportError "Longueur SVG invalide : …"
// or "Unité SVG non représentable : …".
double svgLength(QStringView text, double fontSize);

// The nearest viewport, against which percentages resolve: x and widths against its width,
// y and heights against its height, other lengths against its normalised diagonal. An
// unknown viewport leaves percentages unrepresentable.
struct SVGViewport {
    double width = 0;
    double height = 0;
    bool known = false;
};
enum class SVGAxis { horizontal, vertical, other };
double svgLength(QStringView text, double fontSize, const SVGViewport& viewport, SVGAxis axis);
// The axis that an attribute's percentage resolves against ("x", "width", "cx"… horizontal).
SVGAxis svgAxis(const QString& attributeName);
// The viewport that the root element establishes: its viewBox, or else its absolute size.
SVGViewport svgRootViewport(const QMap<QString, QString>& rootAttributes);
// The attribute's length with a font size of 12, or the default when it is absent.
double svgLengthAttribute(const QString& name, const QMap<QString, QString>& attributes, double defaultValue,
                          const SVGViewport& viewport = {});

// An opacity written as a plain decimal number, 1 when it does not read, kept within 0 and 1.
double svgOpacity(const QString& text);

// The drawing style of an element from its computed style, its transform and its opacity.
PlmStyle svgStyle(const SVGComputedStyle& style, const PlmTransform& transform, double opacity,
                  SVGUnconverted& unconverted, const SVGViewport& viewport = {});

} // namespace PlmSvgStyles
