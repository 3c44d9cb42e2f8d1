#pragma once

#include "page/DecorationTextAttributes.h"

#include <QList>
#include <QRectF>
#include <QString>
#include <QTextLayout>

#include <memory>
#include <optional>
#include <vector>

class QPainter;

// A layout text set in a box of a given width: paragraphs, indents, spacing and wrapping
// as the attributes say. Coordinates here run downward from the top of the box, as a
// text is read; drawing un-flips into the y-up views.
class DecorationText {
public:
    DecorationText(const QString& text, const DecorationTextAttributes& attributes, double width);

    bool hasGlyphs() const { return !inkRect().isNull(); }
    // The union of the glyphs' ink, from the top of the box; null when nothing is inked.
    // Measured on first use: drawing does not need it.
    QRectF inkRect() const;
    // Height used by the laid-out lines.
    double usedHeight() const { return m_usedHeight; }

    // The laid-out paragraphs, lines placed from the top of the box (the SVG writer reads them).
    const std::vector<std::unique_ptr<QTextLayout>>& paragraphs() const { return m_paragraphs; }
    const DecorationTextAttributes& attributes() const { return m_attributes; }

    // The underline of each laid-out line (from the top of the box, before the baseline
    // offset); none unless the attributes underline.
    QList<QRectF> underlines() const;
    // The underline of one of the laid-out lines; null when it has none (nothing underlined, or
    // a line of no natural width).
    QRectF underline(const QTextLine& line) const;

    // Draws into a y-up rectangle of the painter, from its top edge, clipped to it.
    void draw(QPainter& painter, const QRectF& rect) const;
    // What draw() inks of that rectangle: the glyphs and underlines as clipped to it, in the
    // painter's y-up coordinates; null when nothing shows.
    QRectF drawnRect(const QRectF& rect) const;

    // Width of the widest line when nothing wraps.
    static double singleLineWidth(const QString& text, const DecorationTextAttributes& attributes);

    // The font a text is laid out in and the device it is laid out against (the reference
    // device, or one where Qt keeps the tracking); a point is one unit on either.
    static QFont layoutFontOn(const DecorationTextAttributes& attributes, QPaintDevice** device);

private:
    DecorationTextAttributes m_attributes;
    std::vector<std::unique_ptr<QTextLayout>> m_paragraphs;
    // The paragraphs' glyph runs that a usable font draws, in order: taken from the layouts
    // once, for drawing and for the ink alike.
    QList<QGlyphRun> m_runs;
    mutable std::optional<QRectF> m_ink;
    // The underline's top below the baseline (x) and its thickness (y).
    mutable std::optional<QPointF> m_underlineBand;
    double m_usedHeight = 0;
};

// Draws a text into a y-up rectangle with the given attributes.
void drawDecorationText(QPainter& painter, const QString& text, const QRectF& rect,
                        const DecorationTextAttributes& attributes);
// What drawDecorationText() inks of the rectangle (DecorationText::drawnRect).
QRectF decorationTextDrawnRect(const QString& text, const QRectF& rect, const DecorationTextAttributes& attributes);
