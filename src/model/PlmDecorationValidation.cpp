// Validation of the layout records. The first failure ends the check; nothing is repaired.
#include "model/PlmBackgroundImage.h"
#include "model/PlmDecoration.h"
#include "model/PlmEditingStyle.h"
#include "model/PlmErrors.h"
#include "model/PlmTextFolding.h"
#include "model/PlmPresentation.h"
#include "model/PlmPrintPage.h"

#include <cmath>

namespace {

constexpr qsizetype maximumImageBytes = 33554432;  // 32 MiB

[[noreturn]] void fail(const QString& message)
{
    throw PlmWorkError(message);
}

// Written so that NaN fails every bound.
bool within(double value, double low, double high)
{
    return std::isfinite(value) && value >= low && value <= high;
}

bool withinMagnitude(double value, double bound)
{
    return std::isfinite(value) && std::fabs(value) <= bound;
}

// The integer codes are compared without sign, so any negative value fails.
bool codeAtMost(int value, unsigned high)
{
    return static_cast<unsigned>(value) <= high;
}

bool codeWithin(int value, unsigned low, unsigned high)
{
    return static_cast<unsigned>(value) >= low && static_cast<unsigned>(value) <= high;
}

// Blank after trimming white space and line breaks, as names typed by the user are stored.
bool isBlank(const QString& text)
{
    return PlmTextFolding::trimmed(text).isEmpty();
}

}  // namespace

void PlmEditingStyle::validate() const
{
    if (textWidth && !within(*textWidth, 0.5, 2))
        fail(QStringLiteral("Largeur des caractères incorrecte."));

    const bool numbersValid = within(tracking, -20, 100) && withinMagnitude(baseline, 100)
        && within(lineSpacing, 0, 300) && within(paragraphBefore, 0, 300) && within(paragraphAfter, 0, 300)
        && within(indent, 0, 300) && within(firstIndent, 0, 300) && within(tailIndent, 0, 300)
        && within(strokeWidth, 0, 40) && within(padding, 0, 100) && within(cornerRadius, 0, 200)
        && within(opacity, 0, 1) && withinMagnitude(shadowX, 100) && withinMagnitude(shadowY, 100)
        && within(shadowBlur, 0, 100) && withinMagnitude(rotation, 360) && within(legendSpacing, 0, 100)
        && within(swatchSize, 4, 100);
    const bool codesValid = codeWithin(columns, 1, 6) && codeAtMost(fontWeight, 3) && codeAtMost(dash, 2)
        && codeAtMost(cap, 2) && codeAtMost(join, 2) && codeAtMost(northStyle, 2) && codeAtMost(scaleStyle, 2)
        && codeAtMost(scaleUnit, 2);
    if (!numbersValid || !codesValid)
        fail(QStringLiteral("Propriété d’inspecteur incorrecte."));

    if (!stroke.hasValidComponents() || !frameFill.hasValidComponents() || !shadowColor.hasValidComponents())
        fail(QStringLiteral("Couleur d’inspecteur incorrecte."));
}

void PlmPresentation::validate() const
{
    if (editing)
        editing->validate();
    // No trimming here: a font name of blanks is still a name.
    if (fontName.isEmpty() || !within(fontSize, 6, 96) || (width && !within(*width, 40, 1200))
        || (height && !within(*height, 30, 1600)))
        fail(QStringLiteral("Présentation de texte incorrecte."));
    if (!color.hasValidComponents() || !background.hasValidComponents())
        fail(QStringLiteral("Couleur d’habillage incorrecte."));
}

void PlmPrintPage::validate() const
{
    const bool valid = within(width, 10, 2000) && within(height, 10, 2000) && std::isfinite(margin)
        && margin >= 0 && 2 * margin < std::min(width, height) && withinMagnitude(origin.x, 1e8)
        && withinMagnitude(origin.y, 1e8);
    if (!valid)
        fail(QStringLiteral("Page ou marges d’impression incorrectes."));
}

void PlmBackgroundImage::validate() const
{
    const bool valid = !data.isEmpty() && data.size() <= maximumImageBytes
        && (type == u"png" || type == u"jpg" || type == u"jpeg") && withinMagnitude(position.x, 1e8)
        && withinMagnitude(position.y, 1e8) && std::isfinite(width) && width > 0 && width <= 1e8
        && std::isfinite(height) && height > 0 && height <= 1e8 && within(opacity, 0, 1);
    if (!valid)
        fail(QStringLiteral("Image de fond ou dimensions incorrectes."));
}

void PlmDecoration::validate(const QSet<QString>& entityIDs) const
{
    if (printPage)
        printPage->validate();
    if (entityNameFontName && isBlank(*entityNameFontName))
        fail(QStringLiteral("Police des noms d’entités incorrecte."));
    if (entityNameFontSize && !(std::isfinite(*entityNameFontSize) && *entityNameFontSize > 0
                                && *entityNameFontSize <= 1000))
        fail(QStringLiteral("Taille des noms d’entités incorrecte."));
    if (entityNamePositions) {
        for (auto it = entityNamePositions->cbegin(); it != entityNamePositions->cend(); ++it) {
            if (it.key().isEmpty() || !std::isfinite(it.value().x) || !std::isfinite(it.value().y))
                fail(QStringLiteral("Position des noms d’entités incorrecte."));
        }
    }
    if (compositionSize && !(within(compositionSize->x, 100, 10000) && within(compositionSize->y, 100, 10000)))
        fail(QStringLiteral("Dimensions de composition incorrectes."));
    if (mapTransform) {
        const PlmTransform& t = *mapTransform;
        const bool valid = withinMagnitude(t.a, 1e8) && withinMagnitude(t.b, 1e8) && withinMagnitude(t.c, 1e8)
            && withinMagnitude(t.d, 1e8) && withinMagnitude(t.tx, 1e8) && withinMagnitude(t.ty, 1e8)
            && std::fabs(t.a * t.d - t.b * t.c) > 1e-10;
        if (!valid)
            fail(QStringLiteral("Transformation du fond incorrecte."));
    }
    if (viewport) {
        if (!std::isfinite(viewport->center.x) || !std::isfinite(viewport->center.y)
            || !within(viewport->unitsPerPoint, 1e-8, 1e8))
            fail(QStringLiteral("Cadrage incorrect."));
    }
    if (backgroundImage)
        backgroundImage->validate();
    legend.validate();
    secondLegend.validate();

    QSet<QString> seen;
    for (const PlmDecorationObject& object : objects) {
        const QString badPlacement = QStringLiteral("Position ou dimensions d’habillage incorrectes.");
        if (object.id.isEmpty() || seen.contains(object.id) || !within(object.width, 40, 2400)
            || !within(object.height, 30, 1600) || !withinMagnitude(object.position.x, 1e8)
            || !withinMagnitude(object.position.y, 1e8))
            fail(badPlacement);
        seen.insert(object.id);
        if (object.legendSeries && *object.legendSeries != 0 && *object.legendSeries != 1)
            fail(QStringLiteral("Référence de légende incorrecte."));
        object.presentation.validate();
        if (object.kind == PlmDecorationKind::scale && object.presentation.effectiveEditingStyle().rotation != 0)
            fail(QStringLiteral(
                "Une échelle reste parallèle aux distances géographiques calculées ; sa rotation doit être nulle."));
        if (object.bitmap && object.bitmap->size() > maximumImageBytes)
            fail(QStringLiteral("Image trop volumineuse."));
        if (object.symbol)
            object.symbol->validate(entityIDs);
    }
}
