#pragma once

#include <QGlyphRun>
#include <QList>

class QRawFont;
class QTextLayout;

// Letters of a script that no installed font covers (Devanagari, Syriac, Thaana, Khmer,
// Sinhala with the usual fonts) are laid out by Qt with a stand-in engine that keeps no
// description of itself: it calls itself valid, yet asking it for its family name reads an
// empty list and crashes. Such letters are drawn nowhere, so every glyph run taken from a
// text layout comes through here, and no other part of the program asks such a font anything.
namespace UsableFonts {

// Whether a raw font is a real font that may be asked for its names, outlines and metrics.
bool isUsable(const QRawFont& font);

// The glyph runs of a laid-out text that a usable font draws, in the layout's order; the
// others are left out, their glyphs keeping the room they were given.
QList<QGlyphRun> glyphRuns(const QTextLayout& layout);

} // namespace UsableFonts
