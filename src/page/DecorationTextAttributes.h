#pragma once

#include "model/PlmPresentation.h"

#include <QColor>
#include <QFont>
#include <Qt>

class QPaintDevice;

// Paragraph settings of a layout text; lengths in points.
struct DecorationParagraphStyle {
    PlmTextAlignment alignment = PlmTextAlignment::left;
    bool wordWrap = true;  // false: lines are clipped at the box
    double lineSpacing = 0;
    double paragraphSpacingBefore = 0;
    double paragraphSpacing = 0;
    double headIndent = 0;
    double firstLineHeadIndent = 0;
    // Negative or zero: an inset from the trailing edge of the box.
    double tailIndent = 0;

    bool operator==(const DecorationParagraphStyle&) const = default;
};

// Everything a layout text is set and measured with. Weight, bold, italic, condensed
// and width live in the font alone.
struct DecorationTextAttributes {
    QFont font;
    QColor foregroundColor;
    DecorationParagraphStyle paragraphStyle;
    double kern = 0;            // extra advance per character, points
    double baselineOffset = 0;  // points, upward
    int underlineStyle = 0;     // 0 none, 1 single line

    // The font with the kern and underline applied, as texts are laid out.
    QFont layoutFont() const;
};

// The font a presentation's texts are drawn in. Font sizes are points of the page: texts are
// laid out against decorationReferenceDevice(), where a point is a pixel. Never fails (the
// system font is the last resort).
QFont resolvedFont(const PlmPresentation& presentation);
DecorationTextAttributes textAttributes(const PlmPresentation& presentation);

// A 72-dpi device: one point is one unit, whatever the painter draws on later.
QPaintDevice* decorationReferenceDevice();

QColor decorationColor(const PlmColor& color);
// The paragraph alignment Qt lays a text out with.
Qt::Alignment decorationQtAlignment(PlmTextAlignment alignment);
// The family a font was matched to, without the foundry Qt appends for twin installs.
QString decorationFontFamily(const QFont& font);
