#include "page/DecorationTextAttributes.h"

#include "model/PlmClampedInt.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QHash>
#include <QImage>

#include <algorithm>
#include <cmath>

namespace {

// Qt names a family installed by two foundries "Nimbus Sans [urw]"; the family is the part before.
QString plainFamily(const QString& family)
{
    const qsizetype bracket = family.indexOf(QLatin1String(" ["));
    return bracket > 0 ? family.left(bracket) : family;
}

// Sizes outside what a font can take (never in a validated work) fall back to 12 points.
double usableSize(double size)
{
    return std::isfinite(size) && size > 0 ? std::min(size, 10000.0) : 12.0;
}

QFont fontAt(const QString& family, double size)
{
    QFont font(family);
    font.setPointSizeF(usableSize(size));
    return font;
}

// What fontconfig answers for a name it does not know; a name that resolves to something
// else is known, as a family or as an alias such as "Helvetica" for its metric twin.
QString unknownNameFamily()
{
    static const QString family =
        QFontInfo(QFont(QStringLiteral("Pelmora No Such Font 7f3a"))).family();
    return family;
}

bool lookUpFamily(const QString& name)
{
    if (name.trimmed().isEmpty())
        return false;
    if (QFontDatabase::hasFamily(name))
        return true;
    const QString resolved = QFontInfo(QFont(name)).family();
    return resolved.compare(unknownNameFamily(), Qt::CaseInsensitive) != 0
           || name.compare(unknownNameFamily(), Qt::CaseInsensitive) == 0;
}

// The installed fonts do not change while the program runs; asking fontconfig again for every
// label of a legend cost most of its layout time. Main thread only, like every caller.
bool familyKnown(const QString& name)
{
    static QHash<QString, bool> known;
    const auto found = known.constFind(name);
    if (found != known.constEnd())
        return *found;
    if (known.size() > 512)
        known.clear();
    const bool result = lookUpFamily(name);
    known.insert(name, result);
    return result;
}

// Step 1: a PostScript name ("Helvetica-BoldOblique") or a family name.
std::optional<QFont> fontNamed(const QString& name, double size)
{
    if (familyKnown(name) && !name.contains(QLatin1Char('-')))
        return fontAt(name, size);
    const qsizetype dash = name.lastIndexOf(QLatin1Char('-'));
    if (dash <= 0)
        return std::nullopt;
    const QString family = name.left(dash);
    const QString face = name.mid(dash + 1).toLower();
    if (!familyKnown(family))
        return familyKnown(name) ? std::optional<QFont>(fontAt(name, size)) : std::nullopt;
    static const QStringList faces = {
        QStringLiteral("roman"),       QStringLiteral("regular"),   QStringLiteral("bold"),
        QStringLiteral("italic"),      QStringLiteral("oblique"),   QStringLiteral("bolditalic"),
        QStringLiteral("boldoblique"), QStringLiteral("light"),     QStringLiteral("medium"),
        QStringLiteral("semibold"),    QStringLiteral("lightitalic"), QStringLiteral("lightoblique")};
    if (!faces.contains(face))
        return std::nullopt;
    QFont font = fontAt(family, size);
    if (face.contains(QLatin1String("bold")))
        font.setWeight(face.startsWith(QLatin1String("semi")) ? QFont::DemiBold : QFont::Bold);
    else if (face.startsWith(QLatin1String("light")))
        font.setWeight(QFont::Light);
    else if (face == QLatin1String("medium"))
        font.setWeight(QFont::Medium);
    if (face.contains(QLatin1String("italic")) || face.contains(QLatin1String("oblique")))
        font.setItalic(true);
    return font;
}

// The platform weights 3, 5, 7, 9 of the four weight indexes.
QFont::Weight weightForIndex(int index)
{
    switch (index) {
    case 0: return QFont::Light;
    case 2: return QFont::DemiBold;
    case 3: return QFont::Bold;
    default: return QFont::Normal;
    }
}

// A condensed face lives in a family of its own under fontconfig ("Nimbus Sans Narrow");
// without one the font stays as it is.
QFont condensed(const QFont& font)
{
    const QString family = plainFamily(QFontInfo(font).family());
    for (const QString& suffix : {QStringLiteral(" Narrow"), QStringLiteral(" Condensed")}) {
        if (QFontDatabase::hasFamily(family + suffix)) {
            QFont result = font;
            result.setFamily(family + suffix);
            return result;
        }
    }
    return font;
}

} // namespace

QPaintDevice* decorationReferenceDevice()
{
    static QImage device = [] {
        QImage image(1, 1, QImage::Format_ARGB32_Premultiplied);
        const int dotsPerMeter = int(std::lround(72.0 / 0.0254));
        image.setDotsPerMeterX(dotsPerMeter);
        image.setDotsPerMeterY(dotsPerMeter);
        return image;
    }();
    return &device;
}

Qt::Alignment decorationQtAlignment(PlmTextAlignment alignment)
{
    switch (alignment) {
    case PlmTextAlignment::center: return Qt::AlignHCenter;
    case PlmTextAlignment::right: return Qt::AlignRight;
    case PlmTextAlignment::justified: return Qt::AlignJustify;
    case PlmTextAlignment::left: break;
    }
    return Qt::AlignLeft;
}

QColor decorationColor(const PlmColor& color)
{
    auto unit = [](double v) { return std::isfinite(v) ? std::clamp(v, 0.0, 1.0) : 0.0; };
    return QColor::fromRgbF(float(unit(color.red)), float(unit(color.green)), float(unit(color.blue)),
                            float(unit(color.alpha)));
}

QFont resolvedFont(const PlmPresentation& presentation)
{
    const double size = presentation.fontSize;
    std::optional<QFont> font = fontNamed(presentation.fontName, size);
    if (!font && familyKnown(presentation.fontName)) {
        font = fontAt(presentation.fontName, size);
        font->setWeight(QFont::Normal);
    }
    if (!font) {
        font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
        font->setPointSizeF(usableSize(size));
    }
    const PlmEditingStyle style = presentation.effectiveEditingStyle();
    if (presentation.editing) {
        const QString family = plainFamily(QFontInfo(*font).family());
        if (!family.isEmpty() && QFontDatabase::hasFamily(family)) {
            QFont weighted = fontAt(family, size);
            weighted.setWeight(weightForIndex(style.fontWeight));
            font = weighted;
        }
    }
    if (style.condensed)
        font = condensed(*font);
    if (presentation.bold)
        font->setBold(true);
    if (style.italic)
        font->setItalic(true);
    if (style.textWidth && std::isfinite(*style.textWidth) && *style.textWidth > 0)
        font->setStretch(plmClampedInt(std::round(*style.textWidth * 100), 1, 4000));
    return *font;
}

DecorationTextAttributes textAttributes(const PlmPresentation& presentation)
{
    const PlmEditingStyle style = presentation.effectiveEditingStyle();
    DecorationTextAttributes attributes;
    DecorationParagraphStyle& paragraph = attributes.paragraphStyle;
    paragraph.alignment = presentation.alignment;
    paragraph.wordWrap = style.wraps;
    paragraph.lineSpacing = style.lineSpacing;
    paragraph.paragraphSpacingBefore = style.paragraphBefore;
    paragraph.paragraphSpacing = style.paragraphAfter;
    paragraph.headIndent = style.indent;
    paragraph.firstLineHeadIndent = style.firstIndent;
    paragraph.tailIndent = -style.tailIndent;
    attributes.font = resolvedFont(presentation);
    attributes.foregroundColor = decorationColor(presentation.color);
    attributes.kern = style.tracking;
    attributes.baselineOffset = style.baseline;
    attributes.underlineStyle = style.underline ? 1 : 0;
    return attributes;
}

QFont DecorationTextAttributes::layoutFont() const
{
    QFont result = font;
    if (kern != 0)
        result.setLetterSpacing(QFont::AbsoluteSpacing, kern);
    result.setUnderline(underlineStyle != 0);
    // Unhinted outlines measure the same on screen, in bitmaps and in PDF or SVG.
    result.setHintingPreference(QFont::PreferNoHinting);
    return result;
}

QString decorationFontFamily(const QFont& font)
{
    return plainFamily(QFontInfo(font).family());
}
