#pragma once

#include <QByteArray>
#include <QPainterPath>
#include <QString>

#include <optional>

// Reads the icon files of the symbol glyphs with the program's own SVG reader, so glyphs stay
// vectors from the screen to PDF and SVG exports. Callable from any thread.
namespace SymbolGlyphSvgReader {

// Icons larger than this are not glyphs and are refused unread.
inline constexpr qint64 maximumFileSize = 256 * 1024;

// The filled outline of every drawable element of the SVG bytes, y growing upward; none when
// the bytes are no readable SVG or draw nothing. Filled elements that neither overlap nor wind
// twice over one place keep their curves (filled even-odd); elements merged into one area are
// cut into chords first, none departing from its curve by more than 1/2000 of the outline's
// larger side.
std::optional<QPainterPath> outline(const QByteArray& svg);
std::optional<QPainterPath> outlineOfFile(const QString& path);

// Makes the glyph provider read its icons through outlineOfFile (once; later calls do nothing).
void install();

} // namespace SymbolGlyphSvgReader
