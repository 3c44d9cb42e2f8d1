#include "platform/UsableFonts.h"
#include "support/UncoveredScripts.h"

#include <QFont>
#include <QRawFont>
#include <QTextLayout>

#include <memory>
#include <ostream>

#include <gtest/gtest.h>

namespace {

QFont testFont()
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(40);
    return font;
}

// A text laid out on one line in the test font.
std::unique_ptr<QTextLayout> laidOut(const QString& text)
{
    auto layout = std::make_unique<QTextLayout>(text, testFont());
    layout->beginLayout();
    QTextLine line = layout->createLine();
    line.setLineWidth(1e6);
    layout->endLayout();
    return layout;
}

// What runs draw: each glyph, where along the line (the stand-in's own height may deepen the
// line, moving its baseline), and in which face.
struct Glyph {
    quint32 index = 0;
    double x = 0;
    QString family;
    bool operator==(const Glyph&) const = default;
};

void PrintTo(const Glyph& glyph, std::ostream* out)
{
    *out << glyph.index << " at " << glyph.x << " in " << qPrintable(glyph.family);
}

QList<Glyph> glyphsOf(const QList<QGlyphRun>& runs)
{
    QList<Glyph> glyphs;
    for (const QGlyphRun& run : runs) {
        // Asking a stand-in font for its family is what crashed: every run kept must answer.
        EXPECT_TRUE(UsableFonts::isUsable(run.rawFont()));
        const QString family = run.rawFont().familyName();
        EXPECT_FALSE(family.isEmpty());
        for (qsizetype i = 0; i < run.glyphIndexes().size(); ++i)
            glyphs.append({run.glyphIndexes()[i], run.positions().value(i).x(), family});
    }
    return glyphs;
}

// Each text, and the text whose own layout draws the same glyphs at the same places.
std::vector<UncoveredScripts::DrawnAs> runsCases()
{
    std::vector<UncoveredScripts::DrawnAs> rows = {
        {"Latin", QStringLiteral("Paris"), QStringLiteral("Paris")},
        {"LatinBeforeDevanagari", QStringLiteral("Delhi नई"), QStringLiteral("Delhi ")},
        // Scripts that no font here covers either, but that Qt sets in the font's own
        // missing-glyph box: a real font, kept.
        {"ThaiInTheMissingGlyph", QStringLiteral("ไทย"), QStringLiteral("ไทย")},
        {"ChineseInTheMissingGlyph", QStringLiteral("中文"), QStringLiteral("中文")},
    };
    for (const UncoveredScripts::Sample& sample : UncoveredScripts::samples())
        rows.push_back({std::string(sample.name) + "Alone", sample.text, QString()});
    return rows;
}

class UsableFontsRuns : public testing::TestWithParam<UncoveredScripts::DrawnAs> {};

TEST_P(UsableFontsRuns, KeepOnlyTheRunsThatARealFontDraws)
{
    if (const QString covered = UncoveredScripts::coveredHere(); !covered.isEmpty())
        GTEST_SKIP() << qPrintable(covered);
    const UncoveredScripts::DrawnAs& row = GetParam();
    const auto layout = laidOut(row.text);
    ASSERT_FALSE(layout->glyphRuns().isEmpty());  // Qt lays every text out, in some face
    const auto expected = laidOut(row.drawn);
    EXPECT_EQ(glyphsOf(UsableFonts::glyphRuns(*layout)), glyphsOf(expected->glyphRuns()));
}

INSTANTIATE_TEST_SUITE_P(Texts, UsableFontsRuns, testing::ValuesIn(runsCases()), UncoveredScripts::rowName);

// A font with no description (the stand-in's is so) is not usable; a font from the database is.
TEST(UsableFonts, AFontWithoutDescriptionIsNotUsable)
{
    EXPECT_FALSE(UsableFonts::isUsable(QRawFont()));
    EXPECT_TRUE(UsableFonts::isUsable(QRawFont::fromFont(testFont())));
}

} // namespace
