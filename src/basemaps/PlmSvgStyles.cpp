#include "basemaps/PlmSvgStyles.h"

#include "basemaps/PlmStrokeScale.h"
#include "basemaps/PlmSvgNumbers.h"
#include "basemaps/PlmSvgPathData.h"
#include "basemaps/SVGTree.h"
#include "model/PlmErrors.h"

#include <QSet>

#include <algorithm>
#include <cmath>

using PlmSvgNumbers::isSpace;
using PlmSvgNumbers::trimmed;

void SVGStyleSheet::add(const SVGStyleRule& rule)
{
    m_bySelector[rule.selector].append(m_rules.size());
    m_rules.append(rule);
}

QList<const SVGStyleRule*> SVGStyleSheet::matching(const SVGNode& node) const
{
    QList<qsizetype> indexes;
    if (m_rules.isEmpty())
        return {};
    auto collect = [&](const QString& key) {
        const auto it = m_bySelector.constFind(key);
        if (it != m_bySelector.cend())
            indexes.append(*it);
    };
    collect(node.tag);
    collect(QStringLiteral("*"));
    // An element without an id has no id to match: "#" alone selects nothing.
    const QString id = node.attribute(QStringLiteral("id"));
    if (!id.isEmpty())
        collect(QLatin1Char('#') + id);
    const QString classes = node.attribute(QStringLiteral("class"));
    if (!classes.isEmpty()) {
        const QStringList pieces = classes.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        for (const QString& piece : pieces)
            collect(QLatin1Char('.') + piece);
    }
    std::sort(indexes.begin(), indexes.end());
    indexes.erase(std::unique(indexes.begin(), indexes.end()), indexes.end());
    QList<const SVGStyleRule*> rules;
    rules.reserve(indexes.size());
    for (qsizetype i : indexes)
        rules.append(&m_rules.at(i));
    return rules;
}

namespace PlmSvgStyles {

const QStringList& presentationProperties()
{
    static const QStringList names = {
        QStringLiteral("fill"),           QStringLiteral("stroke"),          QStringLiteral("stroke-width"),
        QStringLiteral("fill-rule"),      QStringLiteral("font-family"),     QStringLiteral("font-size"),
        QStringLiteral("font-weight"),    QStringLiteral("font-style"),      QStringLiteral("text-anchor"),
        QStringLiteral("fill-opacity"),   QStringLiteral("stroke-opacity"),  QStringLiteral("stroke-dasharray"),
        QStringLiteral("stroke-linecap"), QStringLiteral("stroke-linejoin"), QStringLiteral("display"),
        QStringLiteral("visibility"),     QStringLiteral("clip-path"),       QStringLiteral("mask"),
        QStringLiteral("filter"),
    };
    return names;
}

namespace {

// CSS comments say nothing about the rules; left in, they would glue onto the next selector.
QString withoutComments(const QString& css)
{
    if (!css.contains(QLatin1String("/*")))
        return css;
    QString out;
    out.reserve(css.size());
    qsizetype i = 0;
    while (i < css.size()) {
        const qsizetype open = css.indexOf(QLatin1String("/*"), i);
        if (open < 0) {
            out += QStringView(css).mid(i);
            break;
        }
        out += QStringView(css).mid(i, open - i);
        const qsizetype close = css.indexOf(QLatin1String("*/"), open + 2);
        if (close < 0)
            break;
        out += QLatin1Char(' ');
        i = close + 2;
    }
    return out;
}

void readStyleText(const QString& text, SVGStyleSheet& sheet, SVGUnconverted& unconverted)
{
    // The blocks "selectors { declarations }" with no brace inside either part.
    const QString css = withoutComments(text);
    const qsizetype n = css.size();
    auto isBrace = [&](qsizetype k) { return css[k] == u'{' || css[k] == u'}'; };
    auto nextBrace = [&](qsizetype from) {
        for (qsizetype k = from; k < n; ++k)
            if (isBrace(k))
                return k;
        return qsizetype(-1);
    };
    qsizetype i = 0;
    while (i < n) {
        while (i < n && isBrace(i))
            ++i;
        const qsizetype open = nextBrace(i);
        if (open < 0)
            break;
        if (css[open] == u'}') {
            i = open;
            continue;
        }
        const qsizetype close = nextBrace(open + 1);
        if (close < 0)
            break;
        if (css[close] == u'{') {
            i = open + 1;
            continue;
        }
        const QStringView selectors = QStringView(css).mid(i, open - i);
        const QMap<QString, QString> declarations = parseSVGDeclarations(QStringView(css).mid(open + 1, close - open - 1));
        for (QStringView piece : selectors.split(u',', Qt::SkipEmptyParts)) {
            const QStringView selector = trimmed(piece);
            if (selector.isEmpty())
                continue;
            if (selector.contains(u' ') || selector.contains(u':') || selector.contains(u'[')
                || selector.contains(u'>')) {
                unconverted[QStringLiteral("sélecteur CSS complexe")] += 1;
                continue;
            }
            sheet.add(SVGStyleRule{selector.toString(), declarations});
        }
        i = close + 1;
    }
}

void collectFrom(const SVGNode& node, SVGStyleSheet& sheet, SVGUnconverted& unconverted)
{
    // The text of a style element already holds that of any element inside it: reading those
    // again would read their rules twice and keep one copy of the text per level.
    if (node.tag == QLatin1String("style")) {
        readStyleText(node.text(), sheet, unconverted);
        return;
    }
    for (const auto& child : node.children)
        collectFrom(*child, sheet, unconverted);
}

[[noreturn]] void invalidLength(QStringView text)
{
    throw PlmImportError::invalid(QStringLiteral("Longueur SVG invalide : ") + text.toString());
}

// The user units in one of a unit that needs no viewport; none for "%" and for units SVG does
// not have. CSS units are case-insensitive ("2PX" is 2px).
std::optional<double> unitFactor(QStringView unit, double fontSize)
{
    const auto is = [&](QStringView name) { return unit.compare(name, Qt::CaseInsensitive) == 0; };
    if (unit.isEmpty() || is(u"px"))
        return 1;
    if (is(u"pt"))
        return 4.0 / 3.0;
    if (is(u"pc"))
        return 16;
    if (is(u"mm"))
        return 96 / 25.4;
    if (is(u"cm"))
        return 96 / 2.54;
    if (is(u"in"))
        return 96;
    if (is(u"em"))
        return fontSize;
    if (is(u"ex"))
        return fontSize / 2;
    return std::nullopt;
}

// A length's number and its unit as written, when it reads as a finite number followed by
// letters or "%".
std::optional<std::pair<double, QStringView>> splitLength(QStringView value)
{
    const qsizetype numberLength = PlmSvgNumbers::matchLength(value, 0);
    if (numberLength == 0)
        return std::nullopt;
    const QStringView unit = value.mid(numberLength);
    for (QChar c : unit) {
        const char16_t u = c.unicode();
        if (!((u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') || u == u'%'))
            return std::nullopt;
    }
    const std::optional<double> number = PlmSvgNumbers::toDouble(value.left(numberLength));
    if (!number || !std::isfinite(*number))
        return std::nullopt;
    return std::pair(*number, unit);
}

// None for a text that is not a length or overflows; a unit SVG does not have, or one with
// nothing to resolve against, still throws, as the length itself is well formed.
std::optional<double> readLength(QStringView value, double fontSize, const SVGViewport& viewport, SVGAxis axis)
{
    const auto split = splitLength(value);
    if (!split)
        return std::nullopt;
    const auto [number, unit] = *split;
    std::optional<double> factor = unitFactor(unit, fontSize);
    if (!factor && unit == u"%" && viewport.known)
        factor = (axis == SVGAxis::horizontal ? viewport.width
                  : axis == SVGAxis::vertical ? viewport.height
                  : std::hypot(viewport.width, viewport.height) / std::sqrt(2.0)) / 100;
    if (!factor)
        throw PlmImportError::invalid(QStringLiteral("Unité SVG non représentable : ") + value.toString());
    const double length = number * *factor;
    if (!std::isfinite(length)) // "1e308in"
        return std::nullopt;
    return length;
}

// The values every CSS property takes, whose meaning is found in the cascade rather than in
// the property.
enum class WideKeyword { none, inherit, initial, unset, revert, revertLayer };

WideKeyword wideKeyword(QStringView value)
{
    const QStringView word = trimmed(value);
    // Most values are colours, numbers and names: one letter tells them apart.
    const char16_t first = word.isEmpty() ? 0 : word.front().toLower().unicode();
    if (first != u'i' && first != u'u' && first != u'r')
        return WideKeyword::none;
    const auto is = [&](QLatin1String name) { return word.compare(name, Qt::CaseInsensitive) == 0; };
    if (is(QLatin1String("inherit")))
        return WideKeyword::inherit;
    if (is(QLatin1String("initial")))
        return WideKeyword::initial;
    if (is(QLatin1String("unset")))
        return WideKeyword::unset;
    if (is(QLatin1String("revert")))
        return WideKeyword::revert;
    if (is(QLatin1String("revert-layer")))
        return WideKeyword::revertLayer;
    return WideKeyword::none;
}

// Of the presentation properties, those a child takes from its parent when nothing sets them.
bool isInherited(const QString& property)
{
    return property != QLatin1String("display") && property != QLatin1String("clip-path")
        && property != QLatin1String("mask") && property != QLatin1String("filter");
}

// A stroke width CSS would take: a length that is not negative, in a unit SVG has, that does
// not overflow. A percentage is one whatever the viewport; it is resolved, or refused, later.
bool isStrokeWidth(QStringView text)
{
    const auto split = splitLength(trimmed(text));
    if (!split || split->first < 0)
        return false;
    if (split->second == u"%")
        return true;
    const std::optional<double> factor = unitFactor(split->second, 12);
    return factor && std::isfinite(split->first * *factor);
}

// CSS drops a declaration whose value its property cannot take, so that the earlier or
// inherited one applies. Only the width is checked: the other values are read where they are
// used, and what cannot be read there is counted.
bool isAcceptedValue(QStringView property, QStringView value)
{
    return property != u"stroke-width" || wideKeyword(value) != WideKeyword::none || isStrokeWidth(value);
}

} // namespace

void collectSVGStyleRules(const SVGNode& root, SVGStyleSheet& sheet, SVGUnconverted& unconverted)
{
    collectFrom(root, sheet, unconverted); // depth bounded by the parser
}

QMap<QString, QString> parseSVGDeclarations(QStringView text)
{
    QMap<QString, QString> declarations;
    static const QString important = QStringLiteral("!important");
    for (QStringView piece : text.split(u';', Qt::SkipEmptyParts)) {
        const qsizetype colon = piece.indexOf(u':');
        if (colon < 0)
            continue;
        // Line breaks are white space too: a declaration on its own line is still read.
        const QStringView name = trimmed(piece.left(colon));
        QStringView value = trimmed(piece.mid(colon + 1));
        if (value.endsWith(important, Qt::CaseInsensitive))
            value = trimmed(value.chopped(important.size()));
        if (name.isEmpty() || !isAcceptedValue(name, value))
            continue;
        declarations.insert(name.toString(), value.toString());
    }
    return declarations;
}

namespace {

// A property's value as it applies: nothing in the outer optional when CSS drops the
// declaration, nothing in the inner one for the initial value (a missing property, which the
// reader draws as that value).
using Resolved = std::optional<std::optional<QString>>;

// `value` of `property`, given what the document's own lower layers resolve it to (none when
// they leave it alone, or for the lowest layer).
Resolved resolve(const QString& property, const QString& value, const Resolved& lowerLayers,
                 const SVGComputedStyle& inherited)
{
    const auto parent = [&]() -> std::optional<QString> {
        const auto it = inherited.constFind(property);
        return it != inherited.cend() ? std::optional<QString>(*it) : std::nullopt;
    };
    // No style of the user or of the program's own is modelled: « revert » leaves what the
    // property has without any style.
    const auto reverted = [&]() -> std::optional<QString> { return isInherited(property) ? parent() : std::nullopt; };
    switch (wideKeyword(value)) {
    case WideKeyword::inherit: return parent();
    case WideKeyword::initial: return std::optional<QString>();
    case WideKeyword::unset:
    case WideKeyword::revert: return reverted();
    case WideKeyword::revertLayer: return lowerLayers ? lowerLayers : Resolved(reverted());
    case WideKeyword::none: break;
    }
    if (!isAcceptedValue(property, value))
        return std::nullopt;
    return std::optional<QString>(value);
}

} // namespace

SVGComputedStyle computedStyle(const SVGNode& node, const SVGComputedStyle& inherited, const SVGStyleSheet& sheet)
{
    SVGComputedStyle style = inherited;
    // The document's own styles come in layers: the presentation attributes lowest, then the
    // style sheet's rules, then the `style` attribute. Within a layer a later source outranks an
    // earlier one unless CSS drops its value; « revert-layer » rolls back to what the layers
    // below its own give.
    enum class Layer { attributes, rules, styleAttribute };
    QHash<QString, std::optional<QString>> fromAttributes;
    QHash<QString, std::optional<QString>> fromRules;
    const auto below = [&](const QString& property, Layer layer) -> Resolved {
        if (layer == Layer::styleAttribute)
            if (const auto it = fromRules.constFind(property); it != fromRules.cend())
                return *it;
        if (layer != Layer::attributes)
            if (const auto it = fromAttributes.constFind(property); it != fromAttributes.cend())
                return *it;
        return std::nullopt;
    };
    const auto apply = [&](const QString& property, const QString& value, Layer layer) {
        const Resolved resolved = resolve(property, value, below(property, layer), inherited);
        if (!resolved)
            return;
        if (layer == Layer::attributes)
            fromAttributes.insert(property, *resolved);
        else if (layer == Layer::rules)
            fromRules.insert(property, *resolved);
        if (*resolved)
            style.insert(property, **resolved);
        else
            style.remove(property);
    };
    if (!node.attributes.isEmpty())
        for (const QString& property : presentationProperties()) {
            const auto it = node.attributes.constFind(property);
            if (it != node.attributes.cend())
                apply(property, *it, Layer::attributes);
        }
    for (const SVGStyleRule* rule : sheet.matching(node))
        for (auto it = rule->declarations.cbegin(); it != rule->declarations.cend(); ++it)
            apply(it.key(), it.value(), Layer::rules);
    const auto styleAttribute = node.attributes.constFind(QStringLiteral("style"));
    if (styleAttribute != node.attributes.cend()) {
        const QMap<QString, QString> declarations = parseSVGDeclarations(*styleAttribute);
        for (auto it = declarations.cbegin(); it != declarations.cend(); ++it)
            apply(it.key(), it.value(), Layer::styleAttribute);
    }
    return style;
}

double svgOwnOpacity(const SVGNode& node, double parentOpacity)
{
    // Opacity is not inherited: « inherit » alone takes the parent's; the other keywords leave
    // the initial 1.
    const auto resolved = [&](const QString& value) {
        const WideKeyword keyword = wideKeyword(value);
        if (keyword == WideKeyword::none)
            return svgOpacity(value);
        return keyword == WideKeyword::inherit ? parentOpacity : 1.0;
    };
    // The `style` attribute outranks the presentation attribute, as for every other property;
    // « revert-layer » there rolls back to the attribute.
    const auto styleAttribute = node.attributes.constFind(QStringLiteral("style"));
    if (styleAttribute != node.attributes.cend()) {
        const QMap<QString, QString> declarations = parseSVGDeclarations(*styleAttribute);
        const auto declared = declarations.constFind(QStringLiteral("opacity"));
        if (declared != declarations.cend() && wideKeyword(*declared) != WideKeyword::revertLayer)
            return resolved(*declared);
    }
    const auto attribute = node.attributes.constFind(QStringLiteral("opacity"));
    return attribute != node.attributes.cend() ? resolved(*attribute) : 1.0;
}

namespace {

std::optional<PlmColor> hexColor(QStringView digits)
{
    QString hex;
    if (digits.size() == 3 || digits.size() == 4) {
        for (QChar c : digits) {
            hex += c;
            hex += c;
        }
    } else if (digits.size() == 6 || digits.size() == 8) {
        hex = digits.toString();
    } else {
        return std::nullopt;
    }
    quint64 value = 0;
    for (QChar c : hex) {
        const char16_t u = c.unicode();
        int digit;
        if (u >= u'0' && u <= u'9')
            digit = u - u'0';
        else if (u >= u'a' && u <= u'f')
            digit = u - u'a' + 10;
        else
            return std::nullopt;
        value = value * 16 + quint64(digit);
    }
    double alpha = 1;
    if (hex.size() == 8) {
        alpha = double(value & 0xff) / 255;
        value >>= 8;
    }
    return PlmColor{double((value >> 16) & 0xff) / 255, double((value >> 8) & 0xff) / 255,
                    double(value & 0xff) / 255, alpha};
}

double unitClamped(double value)
{
    return std::clamp(value, 0.0, 1.0);
}

std::optional<PlmColor> functionalColor(QStringView text)
{
    // rgb()/rgba(): numbers with their positions, so that a percentage alpha reads as one.
    QList<double> values;
    QList<bool> percent;
    qsizetype start = 0;
    qsizetype end = 0;
    qsizetype from = 0;
    while (PlmSvgNumbers::findNext(text, from, start, end)) {
        const std::optional<double> value = PlmSvgNumbers::toDouble(text.mid(start, end - start));
        if (value && std::isfinite(*value)) {
            values.append(*value);
            percent.append(end < text.size() && text[end] == u'%');
        }
        from = end;
    }
    if (values.size() < 3)
        return std::nullopt;
    const double divisor = text.contains(u'%') ? 100 : 255;
    double alpha = 1;
    if (values.size() == 4)
        alpha = percent[3] ? values[3] / 100 : values[3];
    // CSS clamps out-of-range components; unclamped they would make the whole map invalid.
    return PlmColor{unitClamped(values[0] / divisor), unitClamped(values[1] / divisor),
                    unitClamped(values[2] / divisor), unitClamped(alpha)};
}

} // namespace

std::optional<PlmColor> svgColor(QStringView text)
{
    const QString value = trimmed(text).toString().toLower();
    if (value == QLatin1String("none"))
        return std::nullopt;
    static const QHash<QString, QString> named = {
        {QStringLiteral("black"), QStringLiteral("000000")},   {QStringLiteral("white"), QStringLiteral("ffffff")},
        {QStringLiteral("red"), QStringLiteral("ff0000")},     {QStringLiteral("green"), QStringLiteral("008000")},
        {QStringLiteral("blue"), QStringLiteral("0000ff")},    {QStringLiteral("yellow"), QStringLiteral("ffff00")},
        {QStringLiteral("gray"), QStringLiteral("808080")},    {QStringLiteral("grey"), QStringLiteral("808080")},
        {QStringLiteral("orange"), QStringLiteral("ffa500")},  {QStringLiteral("purple"), QStringLiteral("800080")},
        {QStringLiteral("transparent"), QStringLiteral("00000000")},
    };
    const auto it = named.constFind(value);
    if (it != named.cend())
        return hexColor(*it);
    if (value.startsWith(QLatin1Char('#')))
        return hexColor(QStringView(value).mid(1));
    if (value.startsWith(QLatin1String("rgb")))
        return functionalColor(value);
    return std::nullopt;
}

double svgLength(QStringView text, double fontSize)
{
    return svgLength(text, fontSize, SVGViewport(), SVGAxis::other);
}

SVGAxis svgAxis(const QString& name)
{
    static const QSet<QString> horizontal = {QStringLiteral("x"),  QStringLiteral("x1"), QStringLiteral("x2"),
                                             QStringLiteral("cx"), QStringLiteral("dx"), QStringLiteral("rx"),
                                             QStringLiteral("width")};
    static const QSet<QString> vertical = {QStringLiteral("y"),  QStringLiteral("y1"), QStringLiteral("y2"),
                                           QStringLiteral("cy"), QStringLiteral("dy"), QStringLiteral("ry"),
                                           QStringLiteral("height")};
    if (horizontal.contains(name))
        return SVGAxis::horizontal;
    if (vertical.contains(name))
        return SVGAxis::vertical;
    return SVGAxis::other;
}

SVGViewport svgRootViewport(const QMap<QString, QString>& attributes)
{
    SVGViewport viewport;
    const QList<double> box = PlmSvgNumbers::numbers(attributes.value(QStringLiteral("viewBox")));
    if (box.size() == 4 && box[2] > 0 && box[3] > 0 && std::isfinite(box[2]) && std::isfinite(box[3])) {
        viewport = {box[2], box[3], true};
        return viewport;
    }
    // Without a viewBox, an absolute width and height (a percentage there has nothing to
    // resolve against).
    const QString width = attributes.value(QStringLiteral("width"));
    const QString height = attributes.value(QStringLiteral("height"));
    if (width.isEmpty() || height.isEmpty() || width.contains(QLatin1Char('%')) || height.contains(QLatin1Char('%')))
        return viewport;
    try {
        const double w = svgLength(width, 12);
        const double h = svgLength(height, 12);
        if (w > 0 && h > 0)
            viewport = {w, h, true};
    } catch (const PlmImportError&) {
    }
    return viewport;
}

double svgLength(QStringView text, double fontSize, const SVGViewport& viewport, SVGAxis axis)
{
    const QStringView value = trimmed(text);
    const std::optional<double> length = readLength(value, fontSize, viewport, axis);
    if (!length)
        invalidLength(value);
    return *length;
}

double svgLengthAttribute(const QString& name, const QMap<QString, QString>& attributes, double defaultValue,
                          const SVGViewport& viewport)
{
    const auto it = attributes.constFind(name);
    if (it == attributes.cend())
        return defaultValue;
    return svgLength(*it, 12, viewport, svgAxis(name));
}

double svgOpacity(const QString& text)
{
    const std::optional<double> value = PlmSvgNumbers::plainNumber(text);
    return value ? unitClamped(*value) : 1.0;
}

namespace {

bool isNone(const QString& value)
{
    return trimmed(value).compare(QLatin1String("none"), Qt::CaseInsensitive) == 0;
}

std::optional<int> code(const QString& value, const QStringList& names)
{
    const qsizetype index = names.indexOf(trimmed(value).toString());
    if (index < 0)
        return std::nullopt;
    return int(index);
}

// SVG repeats an odd list to make it even; a negative length or an all-zero list draws a
// solid line (and a dash pattern of zeros would never advance along the line).
std::optional<QList<double>> dashPattern(const QString& value, double scale)
{
    QList<double> lengths = PlmSvgNumbers::numbers(value);
    double total = 0;
    for (double length : lengths) {
        if (length < 0)
            return std::nullopt;
        total += length;
    }
    if (lengths.isEmpty() || !(total > 0))
        return std::nullopt;
    if (lengths.size() % 2 == 1)
        lengths += QList<double>(lengths);
    lengths = PlmSvgPathData::scaledDash(lengths, scale);
    for (double length : lengths)
        if (!std::isfinite(length))
            return std::nullopt;
    return lengths;
}

} // namespace

PlmStyle svgStyle(const SVGComputedStyle& style, const PlmTransform& transform, double opacity,
                  SVGUnconverted& unconverted, const SVGViewport& viewport)
{
    PlmStyle result;
    result.pointRadius = 4;

    const auto fill = style.constFind(QStringLiteral("fill"));
    if (fill == style.cend()) {
        result.fill = PlmColor{0, 0, 0, 1};
    } else if (!isNone(*fill)) {
        result.fill = svgColor(*fill);
        if (!result.fill)
            unconverted[QStringLiteral("remplissage ") + *fill] += 1;
    }

    double strokeWidth = 0;
    const auto stroke = style.constFind(QStringLiteral("stroke"));
    if (stroke == style.cend() || isNone(*stroke)) {
        result.stroke = PlmColor{0, 0, 0, 0};
    } else {
        const std::optional<PlmColor> color = svgColor(*stroke);
        if (color) {
            result.stroke = *color;
        } else {
            result.stroke = PlmColor{0, 0, 0, 0};
            unconverted[QStringLiteral("contour ") + *stroke] += 1;
        }
        // A width CSS would drop (negative, unreadable, in a unit SVG does not have, overflowing)
        // acts as none: the initial one, rather than refusing the file.
        const QStringView written = trimmed(style.value(QStringLiteral("stroke-width"), QStringLiteral("1")));
        strokeWidth = isStrokeWidth(written) ? readLength(written, 12, viewport, SVGAxis::other).value_or(1) : 1;
    }

    const double fillOpacity = svgOpacity(style.value(QStringLiteral("fill-opacity"), QStringLiteral("1")));
    const double strokeOpacity = svgOpacity(style.value(QStringLiteral("stroke-opacity"), QStringLiteral("1")));
    const double elementOpacity = unitClamped(opacity);
    if (result.fill)
        result.fill->alpha *= elementOpacity * fillOpacity;
    result.stroke.alpha *= elementOpacity * strokeOpacity;

    const double scale = PlmStrokeScale::of(transform);
    // No stroke has no width even under a scale that overflowed (0 × ∞); a product that
    // overflows cannot be held and acts as no width, the initial one under the same scale.
    result.lineWidth = strokeWidth > 0 ? strokeWidth * scale : 0;
    if (!std::isfinite(result.lineWidth))
        result.lineWidth = std::isfinite(scale) ? scale : 1;
    if (strokeWidth > 0) {
        const bool uniform = std::abs(std::hypot(transform.a, transform.b) - std::hypot(transform.c, transform.d)) <= 1e-9
            && std::abs(transform.a * transform.c + transform.b * transform.d) <= 1e-9;
        if (!uniform)
            unconverted[QStringLiteral("épaisseur de contour sous transformation non uniforme")] += 1;
    }

    const auto dash = style.constFind(QStringLiteral("stroke-dasharray"));
    if (dash != style.cend() && !isNone(*dash))
        result.dash = dashPattern(*dash, scale);

    static const QStringList caps = {QStringLiteral("butt"), QStringLiteral("round"), QStringLiteral("square")};
    static const QStringList joins = {QStringLiteral("miter"), QStringLiteral("round"), QStringLiteral("bevel")};
    result.lineCap = code(style.value(QStringLiteral("stroke-linecap"), QStringLiteral("butt")), caps);
    result.lineJoin = code(style.value(QStringLiteral("stroke-linejoin"), QStringLiteral("miter")), joins);
    return result;
}

} // namespace PlmSvgStyles
