#include "canvas/TextOutline.h"
#include "platform/UsableFonts.h"
#include "support/UncoveredScripts.h"

#include <gtest/gtest.h>

namespace {

// A map text in a script no installed font covers: its letters leave no outline and no glyph to
// draw, and the letters that a font covers are drawn exactly as without them, on their lines.
// (Which scripts and runs are left out is the platform's rule, tested there.)
std::vector<UncoveredScripts::DrawnAs> uncoveredCases()
{
    const QString devanagari = UncoveredScripts::devanagari();
    return {
        {"Alone", devanagari, QString()},
        {"AfterLatin", QStringLiteral("Delhi ") + devanagari, QStringLiteral("Delhi ")},
        {"BetweenLatinLines", QStringLiteral("Delhi\r") + devanagari + QStringLiteral("\nAgra"),
         QStringLiteral("Delhi\n\nAgra")},
    };
}

class TextOutlineUncovered : public testing::TestWithParam<UncoveredScripts::DrawnAs> {};

TEST_P(TextOutlineUncovered, DrawsOnlyTheLettersAFontCovers)
{
    if (const QString covered = UncoveredScripts::coveredHere(); !covered.isEmpty())
        GTEST_SKIP() << qPrintable(covered);
    const UncoveredScripts::DrawnAs& row = GetParam();
    const QString font = QStringLiteral("Helvetica");
    for (const bool bold : {false, true}) {
        SCOPED_TRACE(bold ? "bold" : "regular");
        EXPECT_EQ(TextOutline::outline(row.text, font, 20, QStringLiteral("start"), bold, false),
                  TextOutline::outline(row.drawn, font, 20, QStringLiteral("start"), bold, false));
    }
    // Name labels draw the same glyphs from fonts at their own size, every one usable.
    QList<quint32> glyphs;
    for (const QGlyphRun& run : TextOutline::labelGlyphRuns(row.text, font, 12)) {
        EXPECT_TRUE(UsableFonts::isUsable(run.rawFont()));
        EXPECT_DOUBLE_EQ(run.rawFont().pixelSize(), 12);
        glyphs << run.glyphIndexes();
    }
    QList<quint32> expected;
    for (const QGlyphRun& run : TextOutline::labelGlyphRuns(row.drawn, font, 12))
        expected << run.glyphIndexes();
    EXPECT_EQ(glyphs, expected);
    EXPECT_EQ(glyphs.isEmpty(), row.drawn.trimmed().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Texts, TextOutlineUncovered, testing::ValuesIn(uncoveredCases()), UncoveredScripts::rowName);

} // namespace
