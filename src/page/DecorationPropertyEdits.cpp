#include "page/DecorationController.h"

#include <cmath>

namespace {

// Sets one field of a presentation's editing style.
template <typename T>
DecorationController::PresentationChange styleFieldChange(T PlmEditingStyle::*field, const T& value)
{
    return [field, value](PlmPresentation& p) {
        PlmEditingStyle style = p.effectiveEditingStyle();
        style.*field = value;
        p.setEffectiveEditingStyle(style);
    };
}

} // namespace

void DecorationController::setFontName(const QString& name)
{
    if (!selected)
        return;
    applyPresentationChange(QStringLiteral("Police"), [&name](PlmPresentation& p) { p.fontName = name; });
}

void DecorationController::setBold(bool bold)
{
    if (!selected)
        return;
    applyPresentationChange(QStringLiteral("Graisse"), [bold](PlmPresentation& p) { p.bold = bold; });
}

void DecorationController::setFontSize(double size)
{
    if (!selected)
        return;
    applyPresentationChange(QStringLiteral("Taille de texte"), [size](PlmPresentation& p) { p.fontSize = size; });
}

void DecorationController::setTextColor(const PlmColor& color)
{
    if (!selected)
        return;
    applyPresentationChange(QStringLiteral("Couleur du texte"), [&color](PlmPresentation& p) { p.color = color; });
}

void DecorationController::setTextOpacity(double alpha)
{
    if (!selected)
        return;
    applyPresentationChange(QStringLiteral("Opacité du texte"), [alpha](PlmPresentation& p) { p.color.alpha = alpha; });
}

void DecorationController::setTextAlignment(int segment)
{
    if (!selected || segment < 0 || segment > 3)
        return;
    static const PlmTextAlignment alignments[] = {PlmTextAlignment::left, PlmTextAlignment::center,
                                                  PlmTextAlignment::right, PlmTextAlignment::justified};
    const PlmTextAlignment alignment = alignments[segment];
    applyPresentationChange(QStringLiteral("Alignement du texte"),
                            [alignment](PlmPresentation& p) { p.alignment = alignment; });
}

void DecorationController::setBackground(const PlmColor& color)
{
    if (!selected)
        return;
    applyPresentationChange(QStringLiteral("Remplissage"), [&color](PlmPresentation& p) { p.background = color; });
}

void DecorationController::setFrameShown(bool shown)
{
    if (!selected)
        return;
    applyPresentationChange(QStringLiteral("Afficher / masquer le cadre"),
                            [shown](PlmPresentation& p) { p.frameHidden = !shown; });
}

void DecorationController::setBorder(bool border)
{
    if (!selected)
        return;
    applyPresentationChange(QStringLiteral("Contour du cadre"), [border](PlmPresentation& p) { p.border = border; });
}

void DecorationController::setSymbolColor(const PlmColor& color)
{
    if (!selected)
        return;
    applyPresentationChange(QStringLiteral("Couleur du symbole"), [&color](PlmPresentation& p) { p.color = color; });
}

void DecorationController::setAutomaticTitle()
{
    if (!selected)
        return;
    applyPresentationChange(QStringLiteral("Titre automatique"), [](PlmPresentation& p) { p.title.reset(); });
}

void DecorationController::setLegendFitsContent(bool fits)
{
    if (!selected)
        return;
    applyPresentationChange(QStringLiteral("Ajuster le cadre de légende"),
                            [fits](PlmPresentation& p) { p.legendFitsContent = fits; });
}

void DecorationController::setColumns(double value)
{
    if (!selected)
        return;
    if (value != std::floor(value) || value < 1 || value > 6) {
        if (beep)
            beep();
        return;
    }
    setStyleInt(&PlmEditingStyle::columns, int(value), QStringLiteral("Colonnes de légende"));
}

void DecorationController::setStyleDouble(double PlmEditingStyle::*field, double value, const QString& actionName)
{
    if (!selected)
        return;
    if (field == &PlmEditingStyle::rotation) {
        // A scale bar measures a horizontal ground distance: it keeps no rotation, whether it
        // is the primary selection or one of several selected elements.
        const std::optional<PlmDecorationObject> object = selectedObject();
        if (object && object->kind == PlmDecorationKind::scale) {
            if (beep)
                beep();
            return;
        }
        const QSet<QString> ids = selectedIDs;
        applyChange(actionName, [&](PlmDecoration& d) {
            QSet<QString> turned = ids;
            for (const PlmDecorationObject& o : d.objects)
                if (o.kind == PlmDecorationKind::scale)
                    turned.remove(o.id);
            updatePresentations(d, turned, [value](PlmPresentation& p) { setRotation(value, p); });
        });
        return;
    }
    applyPresentationChange(actionName, styleFieldChange(field, value));
}

void DecorationController::setStyleBool(bool PlmEditingStyle::*field, bool value, const QString& actionName)
{
    if (!selected)
        return;
    applyPresentationChange(actionName, styleFieldChange(field, value));
}

void DecorationController::setStyleInt(int PlmEditingStyle::*field, int value, const QString& actionName)
{
    if (!selected)
        return;
    applyPresentationChange(actionName, styleFieldChange(field, value));
}

void DecorationController::setStyleColor(PlmColor PlmEditingStyle::*field, const PlmColor& value,
                                         const QString& actionName)
{
    if (!selected)
        return;
    applyPresentationChange(actionName, styleFieldChange(field, value));
}

void DecorationController::chooseSymbol()
{
    const std::optional<PlmDecorationObject> object = selectedObject();
    if (!object || !chooseSFSymbol)
        return;
    const QString id = object->id;
    QPointer<DecorationController> self(this);
    chooseSFSymbol([self, id](const QString& name) {
        if (!self || name.isEmpty())
            return;
        self->applyChange(QStringLiteral("Changer le pictogramme"), [&](PlmDecoration& d) {
            for (PlmDecorationObject& o : d.objects)
                if (o.id == id)
                    o.symbol = symbolSettings(name, std::nullopt);
        });
    });
}
