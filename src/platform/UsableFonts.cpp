#include "platform/UsableFonts.h"

#include <QRawFont>
#include <QTextLayout>

namespace UsableFonts {

bool isUsable(const QRawFont& font)
{
    // The stand-in keeps the empty description it was made with, whose size is -1; every font
    // opened from the font database carries the positive size that it was asked for.
    return font.isValid() && font.pixelSize() > 0;
}

QList<QGlyphRun> glyphRuns(const QTextLayout& layout)
{
    QList<QGlyphRun> runs = layout.glyphRuns();
    runs.removeIf([](const QGlyphRun& run) { return !isUsable(run.rawFont()); });
    return runs;
}

} // namespace UsableFonts
