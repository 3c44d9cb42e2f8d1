#include "model/PlmDecorationDefaults.h"

#include "model/PlmDecoration.h"
#include "model/PlmDecorationObject.h"
#include "model/PlmPresentation.h"

PlmDecorationKindDefaults decorationKindDefaults(PlmDecorationKind kind)
{
    const PlmColor white{1, 1, 1, 0.9};
    const PlmColor blueGrey{0.85, 0.9, 0.95, 1};
    switch (kind) {
    case PlmDecorationKind::title: return {600, 52, {0.5, 0.98}, 24, true, white};
    case PlmDecorationKind::subtitle: return {560, 40, {0.5, 0.82}, 16, false, white};
    case PlmDecorationKind::text: return {300, 58, {0.5, 0.08}, 12, false, white};
    case PlmDecorationKind::source: return {600, 32, {0.02, 0}, 12, false, white};
    case PlmDecorationKind::author: return {200, 32, {0.97, 0}, 12, false, white};
    case PlmDecorationKind::scale: return {220, 64, {0.06, 0.06}, 12, false, white};
    case PlmDecorationKind::north: return {64, 100, {0.92, 0.88}, 12, false, white};
    case PlmDecorationKind::rectangle:
    case PlmDecorationKind::ellipse:
    case PlmDecorationKind::line:
    case PlmDecorationKind::arrow:
    case PlmDecorationKind::image:
    case PlmDecorationKind::svg:
    case PlmDecorationKind::sfSymbol:
    case PlmDecorationKind::legend:
        break;
    }
    return {180, 100, {0.5, 0.5}, 12, false, blueGrey};
}

PlmEditingStyle PlmPresentation::effectiveEditingStyle() const
{
    if (editing)
        return *editing;
    PlmEditingStyle style;
    style.frameFill = background;
    return style;
}

void PlmPresentation::setEffectiveEditingStyle(const PlmEditingStyle& style)
{
    editing = style;
}

PlmDecorationObject::PlmDecorationObject(const QString& id, PlmDecorationKind kind, const std::optional<QString>& text,
                                         const std::optional<PlmPoint>& position)
    : id(id), kind(kind), text(text.value_or(defaultTitle(kind)))
{
    const PlmDecorationKindDefaults defaults = decorationKindDefaults(kind);
    this->position = position.value_or(defaults.position);
    width = defaults.width;
    height = defaults.height;
    presentation.fontSize = defaults.fontSize;
    presentation.bold = defaults.bold;
    presentation.background = defaults.background;
}

PlmDecorationObject PlmDecorationObject::make(const QString& id, PlmDecorationKind kind,
                                              const std::optional<QString>& text,
                                              const std::optional<PlmPoint>& position)
{
    return PlmDecorationObject(id, kind, text, position);
}

PlmPresentation PlmDecoration::defaultLegend()
{
    PlmPresentation legend;
    legend.color = PlmColor{0, 0, 0, 1};
    legend.background = PlmColor{1, 1, 1, 0.96};
    legend.border = true;
    return legend;
}

PlmPresentation PlmDecoration::defaultSecondLegend()
{
    PlmPresentation legend = defaultLegend();
    legend.color = PlmColor{0.12, 0.12, 0.12, 1};
    return legend;
}
