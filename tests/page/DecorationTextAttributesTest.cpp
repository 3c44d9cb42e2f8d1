#include "page/DecorationText.h"
#include "page/DecorationTextAttributes.h"
#include "support/PresentationTestSupport.h"
#include "support/CanvasTestMaps.h"
#include "support/UncoveredScripts.h"
#include "support/YUpImage.h"

#include <QFontDatabase>
#include <functional>
#include <limits>
#include <QFontInfo>
#include <QFontMetricsF>
#include <gtest/gtest.h>

namespace {


} // namespace

TEST(DecorationTextAttributes, APlainPresentationWrapsAtRegularWeightWithoutWidthScaling)
{
    const PlmPresentation p;
    const DecorationTextAttributes a = textAttributes(p);
    EXPECT_TRUE(a.paragraphStyle.wordWrap);
    EXPECT_EQ(a.font.weight(), QFont::Normal);
    EXPECT_FALSE(a.font.italic());
    EXPECT_EQ(a.font.stretch(), QFont(QStringLiteral("Helvetica")).stretch());
    EXPECT_DOUBLE_EQ(a.font.pointSizeF(), 12);
    EXPECT_EQ(a.paragraphStyle.alignment, PlmTextAlignment::left);
}

TEST(DecorationTextAttributes, FontNamesResolveByNameThenFamilyThenSystemFont)
{
    PlmPresentation p;
    p.fontName = QStringLiteral("Helvetica");
    // fontconfig gives the metric twin of Helvetica.
    EXPECT_EQ(decorationFontFamily(resolvedFont(p)), QStringLiteral("Nimbus Sans"));

    p.fontName = QStringLiteral("Helvetica-BoldOblique");
    const QFont postScript = resolvedFont(p);
    EXPECT_EQ(decorationFontFamily(postScript), QStringLiteral("Nimbus Sans"));
    EXPECT_TRUE(postScript.bold());
    EXPECT_TRUE(postScript.italic());

    p.fontName = QStringLiteral("Aucune police de ce nom");
    const QFont fallback = resolvedFont(p);
    EXPECT_EQ(fallback.family(), QFontDatabase::systemFont(QFontDatabase::GeneralFont).family());
    EXPECT_DOUBLE_EQ(fallback.pointSizeF(), 12);
}

TEST(DecorationTextAttributes, ParagraphKernBaselineAndUnderlineEntriesAreAlwaysSet)
{
    const PlmPresentation p = withEditingStyle([](PlmEditingStyle& s) {
        s.tailIndent = 20;
        s.indent = 4;
        s.firstIndent = 9;
        s.lineSpacing = 3;
        s.paragraphBefore = 2;
        s.paragraphAfter = 5;
        s.wraps = false;
    });
    const DecorationTextAttributes a = textAttributes(p);
    EXPECT_DOUBLE_EQ(a.paragraphStyle.tailIndent, -20);
    EXPECT_DOUBLE_EQ(a.paragraphStyle.headIndent, 4);
    EXPECT_DOUBLE_EQ(a.paragraphStyle.firstLineHeadIndent, 9);
    EXPECT_DOUBLE_EQ(a.paragraphStyle.lineSpacing, 3);
    EXPECT_DOUBLE_EQ(a.paragraphStyle.paragraphSpacingBefore, 2);
    EXPECT_DOUBLE_EQ(a.paragraphStyle.paragraphSpacing, 5);
    EXPECT_FALSE(a.paragraphStyle.wordWrap);
    EXPECT_EQ(a.underlineStyle, 0);
    EXPECT_DOUBLE_EQ(a.kern, 0);
    EXPECT_DOUBLE_EQ(a.baselineOffset, 0);

    const DecorationTextAttributes underlined =
        textAttributes(withEditingStyle([](PlmEditingStyle& s) { s.underline = true; s.tracking = 2.5; s.baseline = -3; }));
    EXPECT_EQ(underlined.underlineStyle, 1);
    EXPECT_DOUBLE_EQ(underlined.kern, 2.5);
    EXPECT_DOUBLE_EQ(underlined.baselineOffset, -3);
}

TEST(DecorationTextAttributes, ColourIsTakenAsSRGBWithItsAlpha)
{
    PlmPresentation p;
    p.color = PlmColor{1, 0.5, 0, 0.25};
    const QColor c = textAttributes(p).foregroundColor;
    EXPECT_NEAR(c.redF(), 1, 1e-3);
    EXPECT_NEAR(c.greenF(), 0.5, 1e-3);
    EXPECT_NEAR(c.blueF(), 0, 1e-3);
    EXPECT_NEAR(c.alphaF(), 0.25, 1e-3);
}

TEST(DecorationTextAttributes, HalfTextWidthHalvesTheAdvanceButKeepsTheLineHeight)
{
    const PlmPresentation plain = withEditingStyle([](PlmEditingStyle&) {});
    const PlmPresentation narrow = withEditingStyle([](PlmEditingStyle& s) { s.textWidth = 0.5; });
    const QString text = QStringLiteral("Carte du département");
    const double normal = DecorationText::singleLineWidth(text, textAttributes(plain));
    const double half = DecorationText::singleLineWidth(text, textAttributes(narrow));
    ASSERT_GT(normal, 50);
    EXPECT_NEAR(half, normal / 2, normal * 0.03);
    const QFontMetricsF a(textAttributes(plain).font, decorationReferenceDevice());
    const QFontMetricsF b(textAttributes(narrow).font, decorationReferenceDevice());
    EXPECT_NEAR(a.height(), b.height(), 0.5);
}

TEST(DecorationTextAttributes, WeightIndexIsAppliedOnlyWithAStoredStyleAndBoldComesAfterIt)
{
    const QFont light = resolvedFont(withEditingStyle([](PlmEditingStyle& s) { s.fontWeight = 0; }));
    EXPECT_EQ(light.weight(), QFont::Light);
    EXPECT_EQ(resolvedFont(withEditingStyle([](PlmEditingStyle& s) { s.fontWeight = 3; })).weight(), QFont::Bold);

    PlmPresentation bold = withEditingStyle([](PlmEditingStyle& s) { s.fontWeight = 0; });
    bold.bold = true;
    const QFont boldFont = resolvedFont(bold);
    EXPECT_TRUE(boldFont.bold());
    EXPECT_EQ(decorationFontFamily(boldFont), QStringLiteral("Nimbus Sans"));

    PlmPresentation italic = withEditingStyle([](PlmEditingStyle& s) { s.italic = true; });
    EXPECT_TRUE(resolvedFont(italic).italic());
}

TEST(DecorationTextAttributes, CondensedPicksTheNarrowFamilyWhenThereIsOne)
{
    const QFont narrow = resolvedFont(withEditingStyle([](PlmEditingStyle& s) { s.condensed = true; }));
    if (!QFontDatabase::hasFamily(QStringLiteral("Nimbus Sans Narrow")))
        GTEST_SKIP() << "no narrow face installed";
    EXPECT_EQ(decorationFontFamily(narrow), QStringLiteral("Nimbus Sans Narrow"));
}

TEST(DecorationText, WrappedLinesAndParagraphSpacingAddUpInTheUsedHeight)
{
    PlmPresentation p = withEditingStyle([](PlmEditingStyle& s) { s.paragraphAfter = 10; });
    const DecorationTextAttributes a = textAttributes(p);
    const DecorationText one(QStringLiteral("Un"), a, 300);
    const DecorationText two(QStringLiteral("Un\nDeux"), a, 300);
    EXPECT_NEAR(two.usedHeight(), 2 * one.usedHeight() + 10, 0.01);
    const DecorationText wrapped(QStringLiteral("mot mot mot mot mot mot"), a, 40);
    EXPECT_GT(wrapped.usedHeight(), 2.5 * one.usedHeight());
    ASSERT_TRUE(one.hasGlyphs());
    EXPECT_GT(one.inkRect().top(), 0);
    EXPECT_LT(one.inkRect().bottom(), one.usedHeight());
    EXPECT_FALSE(DecorationText(QStringLiteral("   "), a, 300).hasGlyphs());
}

TEST(DecorationText, DrawsUprightFromTheTopOfItsBoxWithItsAlignment)
{
    PlmPresentation p;
    p.fontSize = 60;
    p.color = PlmColor{0, 0, 0, 1};
    p.alignment = PlmTextAlignment::right;
    YUpImage image(200, 100);
    drawDecorationText(*image.painter, QStringLiteral("L"), QRectF(0, 0, 200, 100), textAttributes(p));
    image.finish();
    // Image rows run downward: the foot of the L is the lowest inked row and the widest.
    int lowest = -1, widestRow = -1, widest = 0, leftmost = 200;
    for (int y = 0; y < 100; ++y) {
        int count = 0;
        for (int x = 0; x < 200; ++x) {
            if (image.image.pixelColor(x, y).lightness() < 100) {
                ++count;
                leftmost = std::min(leftmost, x);
            }
        }
        if (count > 0)
            lowest = y;
        if (count > widest) {
            widest = count;
            widestRow = y;
        }
    }
    ASSERT_GT(lowest, 0);
    EXPECT_GE(widestRow, lowest - 6);
    // Set from the top: the ink ends well above the bottom of a 100-point box.
    EXPECT_LT(lowest, 70);
    // Right-aligned: the L sits in the right half.
    EXPECT_GT(leftmost, 120);
}

TEST(DecorationTextAttributes, UnusableFontSizesFallBackToTwelvePoints)
{
    PlmPresentation p;
    p.fontSize = std::numeric_limits<double>::quiet_NaN();
    EXPECT_DOUBLE_EQ(resolvedFont(p).pointSizeF(), 12);
    p.fontSize = -3;
    EXPECT_DOUBLE_EQ(resolvedFont(p).pointSizeF(), 12);
    p.fontSize = 9.5;
    EXPECT_DOUBLE_EQ(resolvedFont(p).pointSizeF(), 9.5);
}

TEST(DecorationText, TrackingWidensEveryLineBeforeItIsBrokenAndAligned)
{
    // Five characters, five spacings (the last one too, as every renderer adds it).
    const QString word = QStringLiteral("Carte");
    const DecorationTextAttributes plain = textAttributes(withEditingStyle([](PlmEditingStyle&) {}));
    const DecorationTextAttributes tracked = textAttributes(withEditingStyle([](PlmEditingStyle& s) { s.tracking = 8; }));
    EXPECT_NEAR(DecorationText::singleLineWidth(word, tracked) - DecorationText::singleLineWidth(word, plain), 40, 0.1);
    const DecorationText line(word, tracked, 300);
    ASSERT_EQ(line.paragraphs().size(), 1u);
    EXPECT_NEAR(line.paragraphs()[0]->lineAt(0).naturalTextWidth(), DecorationText::singleLineWidth(word, tracked), 0.01);
    // A width that holds the plain words on one line breaks the tracked ones.
    const QString words = QStringLiteral("Carte des densités");
    const double width = DecorationText::singleLineWidth(words, plain) + 10;
    EXPECT_EQ(DecorationText(words, plain, width).paragraphs()[0]->lineCount(), 1);
    EXPECT_GT(DecorationText(words, tracked, width).paragraphs()[0]->lineCount(), 1);
}

TEST(DecorationText, AnUnderlineRunsUnderEachLineWhereItsTextIs)
{
    const DecorationTextAttributes a = textAttributes(withEditingStyle([](PlmEditingStyle& s) { s.underline = true; }));
    DecorationTextAttributes right = a;
    right.paragraphStyle.alignment = PlmTextAlignment::right;
    const DecorationText text(QStringLiteral("Source"), right, 300);
    const QList<QRectF> lines = text.underlines();
    ASSERT_EQ(lines.size(), 1);
    const QRectF ink = text.inkRect();
    EXPECT_NEAR(lines[0].right(), 300, 1.0);
    EXPECT_NEAR(lines[0].left(), ink.left(), 2.0);
    EXPECT_GT(lines[0].top(), ink.bottom() - 3);  // below the baseline, under the letters
    EXPECT_TRUE(DecorationText(QStringLiteral("Source"), textAttributes(PlmPresentation()), 300).underlines().isEmpty());
}

TEST(DecorationText, AJustifiedLineSpreadsItsBlanksAndLeavesALoneWordAtItsStart)
{
    // The glyphs of one line, from the top of the box.
    const auto glyphsOf = [](const DecorationText& text, int line) {
        QList<QPointF> positions;
        for (const QGlyphRun& run : text.paragraphs()[0]->lineAt(line).glyphRuns())
            positions += run.positions();
        return positions;
    };
    constexpr double kWidth = 228;
    const struct {
        const char* name;
        QString text;
        int line;
        bool spread;  // or set as a line aligned to its start is
        // The alignment that sets a line at its start, and a font that has the row's letters.
        PlmTextAlignment start = PlmTextAlignment::left;
        QString fontName = QStringLiteral("Helvetica");
    } rows[] = {
        {"words of a line", QStringLiteral("Routes et Départementales du réseau"), 0, true},
        {"lone word before others", QStringLiteral("Voies Départementales et routes"), 0, false},
        {"part of a word too long for the box", QStringLiteral("Anticonstitutionnellement dit"), 0, false},
        {"last line", QStringLiteral("Voies Départementales et routes"), 2, false},
        // A right-to-left paragraph starts its lines at the right edge.
        {"lone Hebrew word before others", QStringLiteral("ההתיישבותיות והכפרים של הארץ"), 0, false,
         PlmTextAlignment::right, QStringLiteral("DejaVu Sans")},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        PlmPresentation p;
        p.fontSize = 24;
        p.fontName = row.fontName;
        DecorationTextAttributes atStart = textAttributes(p);
        atStart.paragraphStyle.alignment = row.start;
        DecorationTextAttributes justified = atStart;
        justified.paragraphStyle.alignment = PlmTextAlignment::justified;
        const DecorationText set(row.text, justified, kWidth);
        const DecorationText plain(row.text, atStart, kWidth);
        ASSERT_EQ(set.paragraphs()[0]->lineCount(), plain.paragraphs()[0]->lineCount());
        ASSERT_GT(set.paragraphs()[0]->lineCount(), row.line);
        const QTextLine line = set.paragraphs()[0]->lineAt(row.line);
        ASSERT_EQ(line.textLength(), plain.paragraphs()[0]->lineAt(row.line).textLength());
        const QList<QPointF> glyphs = glyphsOf(set, row.line), startGlyphs = glyphsOf(plain, row.line);
        ASSERT_EQ(glyphs.size(), startGlyphs.size());
        ASSERT_GE(glyphs.size(), 2);
        // The line's text begins at the box's edge on its start side.
        const QRectF natural = line.naturalTextRect();
        EXPECT_NEAR(row.start == PlmTextAlignment::right ? natural.right() : natural.left(),
                    row.start == PlmTextAlignment::right ? kWidth : 0, 0.5);
        // A spread line moves its last glyph away from its start; its first stays.
        EXPECT_NEAR(glyphs.first().x(), startGlyphs.first().x(), 0.01);
        if (row.spread)
            EXPECT_GT(glyphs.last().x() - startGlyphs.last().x(), 5);
        else
            EXPECT_EQ(glyphs, startGlyphs);
    }
}

TEST(DecorationText, LettersNoFontCoversLeaveNoInkAndDrawNothing)
{
    if (const QString covered = UncoveredScripts::coveredHere(); !covered.isEmpty())
        GTEST_SKIP() << qPrintable(covered);
    PlmPresentation p;
    p.fontSize = 30;
    p.color = PlmColor{0, 0, 0, 1};
    const DecorationTextAttributes a = textAttributes(p);
    const QString devanagari = UncoveredScripts::devanagari();
    const auto drawn = [&](const QString& text) {
        YUpImage image(300, 120);
        drawDecorationText(*image.painter, text, QRectF(0, 0, 300, 120), a);
        image.finish();
        return image.image;
    };
    const struct {
        const char* name;
        QString text;
        QString drawnAs;  // the text that measures and draws the same
    } rows[] = {
        {"alone", devanagari, QString()},
        {"own paragraph after a title", QStringLiteral("Titre\n") + devanagari, QStringLiteral("Titre")},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const DecorationText laid(row.text, a, 300);
        const DecorationText expected(row.drawnAs, a, 300);
        EXPECT_EQ(laid.hasGlyphs(), expected.hasGlyphs());
        EXPECT_EQ(laid.inkRect(), expected.inkRect());
        EXPECT_EQ(CanvasTestMaps::shareOfDifferentPixels(drawn(row.text), drawn(row.drawnAs), 0), 0);
    }
    // On the title's own line the stand-in may deepen the line, but adds no ink along it.
    const QRectF shared = DecorationText(QStringLiteral("Titre ") + devanagari, a, 300).inkRect();
    const QRectF title = DecorationText(QStringLiteral("Titre"), a, 300).inkRect();
    EXPECT_DOUBLE_EQ(shared.left(), title.left());
    EXPECT_DOUBLE_EQ(shared.width(), title.width());
    EXPECT_DOUBLE_EQ(shared.height(), title.height());
}
