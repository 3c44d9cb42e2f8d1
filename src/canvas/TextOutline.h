#pragma once

#include <QFont>
#include <QGlyphRun>
#include <QList>
#include <QPainterPath>
#include <QString>

// Glyph outlines of a map text, in the text's own space: y grows upward, the
// first baseline lies on y = 0 and each further line sits 1.2 × fontSize lower.
class TextOutline {
public:
    // "bold", or a number of at least 600 read in the C locale; an absent
    // weight counts as "0".
    static bool isBoldWeight(const QString& weight);
    // Exactly "italic" or "oblique".
    static bool isItalicStyle(const QString& style);

    // The font that draws a map text; fontName names a family ("Helvetica")
    // or a PostScript-like name ("Helvetica-Bold"); an empty name gives the
    // system font. The size is a reference size: outlines are scaled after.
    static QFont font(const QString& fontName, bool bold, bool italic);

    // Outlines of the text at fontSize; anchor "middle" centres each line on
    // x = 0, "end" ends it there, anything else starts it there.
    static QPainterPath outline(const QString& text, const QString& fontName, double fontSize,
                                const QString& anchor, bool bold, bool italic);

    // A box, around the anchor, that surely holds the outline of a text
    // anchored "middle" at fontSize, without laying it out: each character
    // is given more than any glyph's advance, each line (a carriage return
    // breaks one too) more than its height.
    static QRectF labelBox(const QString& text, double fontSize);

    // The glyphs of a name label (regular face, anchor "middle") ready to
    // draw at fontSize with the glyph cache, in y-down label space: the
    // first baseline on y = 0, each line 1.2 × fontSize lower, placed exactly
    // as outline() places their outlines.
    static QList<QGlyphRun> labelGlyphRuns(const QString& text, const QString& fontName, double fontSize);

    // Typographic width of one line at fontSize.
    static double lineWidth(const QString& line, const QString& fontName, double fontSize, bool bold,
                            bool italic);
};
