#include "page/DecorationText.h"
#include "page/DecorationTextAttributes.h"
#include "export/SVGCarteExport.h"
#include "support/PresentationTestSupport.h"
#include "support/SvgTestSupport.h"

#include <QFontMetricsF>
#include <QGlyphRun>
#include <QRegularExpression>
#include <QTextLayout>

#include <algorithm>
#include <optional>
#include <utility>

#include <gtest/gtest.h>

using namespace SvgTestSupport;

namespace {

QString textOf(const QString& text, const PlmPresentation& presentation, const QRectF& rect)
{
    SVGCarteExport writer(emptyComposition(), plainPage());
    writer.appendText(text, presentation, rect);
    return bodyOf(writer);
}

// The x of each line's first glyph as the screen lays it out, from the box's left edge.
QList<double> firstGlyphX(const QString& text, const PlmPresentation& presentation, double width)
{
    const DecorationText laid(text, textAttributes(presentation), width);
    QList<double> xs;
    for (const auto& layout : laid.paragraphs())
        for (int i = 0; i < layout->lineCount(); ++i) {
            const QList<QGlyphRun> runs = layout->lineAt(i).glyphRuns();
            if (!runs.isEmpty() && !runs.first().positions().isEmpty())
                xs.append(runs.first().positions().first().x());
        }
    return xs;
}

TEST(SVGCarteExportTextTest, NothingIsWrittenWithoutTextOrRoom)
{
    const PlmPresentation presentation;
    EXPECT_EQ(textOf(QString(), presentation, QRectF(0, 0, 100, 50)), QString());
    EXPECT_EQ(textOf(QStringLiteral("a"), presentation, QRectF(0, 0, 0, 50)), QString());
    EXPECT_EQ(textOf(QStringLiteral("a"), presentation, QRectF(0, 0, 100, 0)), QString());
}

TEST(SVGCarteExportTextTest, EachLineIsOneTextElementAtItsBaseline)
{
    PlmPresentation presentation;
    presentation.fontName = QStringLiteral("Helvetica");
    const QString body = textOf(QStringLiteral("Première\nSeconde <b> & 'x'"), presentation, QRectF(10, 20, 200, 100));
    EXPECT_EQ(capturesOf(body, QStringLiteral("xml:space=\"preserve\">([^\\n]*)</text>")),
              (QStringList{QStringLiteral("Première"), QStringLiteral("Seconde &lt;b&gt; &amp; &apos;x&apos;")}));
    const QStringList ys = capturesOf(body, QStringLiteral("translate\\(10 ([^)]+)\\) scale\\(1 -1\\)"));
    ASSERT_EQ(ys.size(), 2);
    const double first = ys[0].toDouble();
    const double second = ys[1].toDouble();
    EXPECT_GT(first, second);
    EXPECT_LT(first, 120);
    EXPECT_NEAR(first - second, QFontMetricsF(textAttributes(presentation).layoutFont(), decorationReferenceDevice()).lineSpacing(), 1.5);
    EXPECT_TRUE(body.contains(QStringLiteral(
        "font-family=\"Helvetica, Nimbus Sans\" font-size=\"12\" letter-spacing=\"0\" text-decoration=\"none\" font-stretch=\"normal\" "
        "font-weight=\"normal\" font-style=\"normal\" fill=\"rgb(30.6,30.6,30.6)\" fill-opacity=\"1\"")))
        << qPrintable(body);
}

TEST(SVGCarteExportTextTest, CentredAndRightAlignedLinesStartWhereTheScreenPutsThem)
{
    for (PlmTextAlignment alignment : {PlmTextAlignment::center, PlmTextAlignment::right}) {
        PlmPresentation presentation;
        presentation.alignment = alignment;
        const QString body = textOf(QStringLiteral("Titre"), presentation, QRectF(0, 0, 300, 40));
        const QStringList xs = capturesOf(body, QStringLiteral("translate\\(([^ ]+) "));
        ASSERT_EQ(xs.size(), 1);
        EXPECT_NEAR(xs[0].toDouble(), firstGlyphX(QStringLiteral("Titre"), presentation, 300).first(), 0.01);
        EXPECT_GT(xs[0].toDouble(), 100);
    }
}

TEST(SVGCarteExportTextTest, JustifiedLinesPlaceEachWordWhereTheLayoutPutIt)
{
    PlmPresentation presentation;
    presentation.alignment = PlmTextAlignment::justified;
    const QString text = QStringLiteral("un deux trois quatre cinq six sept huit neuf dix onze douze");
    const QString body = textOf(text, presentation, QRectF(0, 0, 150, 200));
    const QStringList lines = body.split(QLatin1Char('\n'));
    ASSERT_GE(lines.size(), 2);
    EXPECT_EQ(capturesOf(lines[0], QStringLiteral("<tspan x=\"[^\"]+\">([^<]*)</tspan>")).join(QString()),
              text.left(capturesOf(lines[0], QStringLiteral("<tspan x=\"[^\"]+\">([^<]*)</tspan>")).join(QString()).size()));
    EXPECT_TRUE(lines[0].contains(QStringLiteral("<tspan x=\"0\">un </tspan><tspan x=\"")));
    // The first line is stretched to the box: its last word ends at the right edge.
    const QStringList xs = capturesOf(lines[0], QStringLiteral("<tspan x=\"([^\"]+)\">"));
    const QStringList words = capturesOf(lines[0], QStringLiteral("<tspan x=\"[^\"]+\">([^<]*)</tspan>"));
    const QFontMetricsF metrics(textAttributes(presentation).layoutFont(), decorationReferenceDevice());
    EXPECT_NEAR(xs.last().toDouble() + metrics.horizontalAdvance(words.last().trimmed()), 150, 1.0);
}

TEST(SVGCarteExportTextTest, WidthScaleAndTrackingKeepLaidOutDistances)
{
    PlmPresentation presentation;
    PlmEditingStyle style = presentation.effectiveEditingStyle();
    style.textWidth = 0.8;
    style.tracking = 2;
    style.underline = true;
    style.fontWeight = 2;
    presentation.setEffectiveEditingStyle(style);
    const QString body = textOf(QStringLiteral("Étroit"), presentation, QRectF(0, 0, 300, 40));
    EXPECT_TRUE(body.contains(QStringLiteral(" scale(0.8 -1)\"")));
    EXPECT_TRUE(body.contains(QStringLiteral(" letter-spacing=\"2.5\" text-decoration=\"underline\"")));
    EXPECT_TRUE(body.contains(QStringLiteral(" font-weight=\"600\"")));
}

// The underlines an SVG reader draws under the written lines, in order: a line's
// text-decoration across its advance (the letter spacing after each character, stretched by the
// scale), or a box of its own written after its line, whose rows are known too.
struct WrittenLine {
    QString text;
    double left = 0, right = 0;
    std::optional<std::pair<double, double>> rows;  // bottom and top of a box
};
QList<WrittenLine> underlinedLines(const QString& body, const PlmPresentation& presentation)
{
    static const QRegularExpression element(QStringLiteral(
        "<text transform=\"translate\\(([^ ]+) [^)]+\\) scale\\(([^ ]+) -1\\)\"[^>]* letter-spacing=\"([^\"]+)\" "
        "text-decoration=\"underline\"[^>]*>(.*)</text>|<path  d=\"([^\"]+)\""));
    static const QRegularExpression tag(QStringLiteral("<[^>]*>"));
    static const QRegularExpression number(QStringLiteral("-?[0-9.e+-]+"));
    const QFontMetricsF metrics(resolvedFont(presentation), decorationReferenceDevice());
    QList<WrittenLine> lines;
    QRegularExpressionMatchIterator it = element.globalMatch(body);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        if (m.capturedLength(5) > 0) {
            QList<double> xs, ys;
            QRegularExpressionMatchIterator n = number.globalMatch(m.captured(5));
            for (int i = 0; n.hasNext(); ++i)
                (i % 2 ? ys : xs).append(n.next().captured().toDouble());
            lines.append({QStringLiteral("(box)"), *std::min_element(xs.begin(), xs.end()),
                          *std::max_element(xs.begin(), xs.end()),
                          std::pair(*std::min_element(ys.begin(), ys.end()), *std::max_element(ys.begin(), ys.end()))});
            continue;
        }
        QString text = m.captured(4).remove(tag);
        text.replace(QStringLiteral("&apos;"), QStringLiteral("'")).replace(QStringLiteral("&amp;"), QStringLiteral("&"));
        const double x = m.captured(1).toDouble(), scale = m.captured(2).toDouble();
        const double advance = metrics.horizontalAdvance(text) + m.captured(3).toDouble() * text.size();
        lines.append({text, x, x + scale * advance, std::nullopt});
    }
    return lines;
}

TEST(SVGCarteExportTextTest, UnderlinesOfWrappedLinesEndAtTheLastLetterAsOnThePage)
{
    const QString wrapped = QStringLiteral("Population des communes rurales et urbaines en l’an deux mille");
    const QRectF box(20, 10, 190, 120);
    const struct {
        const char* name;
        PlmTextAlignment alignment;
        double tracking;
        QString text;
    } rows[] = {
        {"left", PlmTextAlignment::left, 0, wrapped},
        {"centred", PlmTextAlignment::center, 0, wrapped},
        {"right", PlmTextAlignment::right, 0, wrapped},
        {"right, tracked", PlmTextAlignment::right, 1.5, wrapped},
        // Spread lines are underlined across the box, the paragraph's last under its words.
        {"justified", PlmTextAlignment::justified, 0, wrapped},
        // Blanks ending a paragraph take room on the page, and are underlined there.
        {"blanks ending paragraphs", PlmTextAlignment::left, 0, QStringLiteral("Nord  \n   \nSud")},
        // A line of no natural width has no underline on the page.
        {"zero-width space alone on a line", PlmTextAlignment::left, 0, QStringLiteral("Nord\n\u200B\nSud")},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        PlmPresentation presentation;
        presentation.fontName = QStringLiteral("Helvetica");
        presentation.fontSize = 18;
        presentation.alignment = row.alignment;
        PlmEditingStyle style = presentation.effectiveEditingStyle();
        style.underline = true;
        style.tracking = row.tracking;
        presentation.setEffectiveEditingStyle(style);
        // The underlines the screen, the PNG and the PDF draw, from the box's top left.
        const QList<QRectF> drawn = DecorationText(row.text, textAttributes(presentation), box.width()).underlines();
        const QList<WrittenLine> written = underlinedLines(textOf(row.text, presentation, box), presentation);
        ASSERT_GE(drawn.size(), 2);
        ASSERT_EQ(written.size(), drawn.size());
        for (qsizetype i = 0; i < drawn.size(); ++i) {
            EXPECT_NEAR(written[i].left, box.left() + drawn[i].left(), 0.3) << qPrintable(written[i].text);
            EXPECT_NEAR(written[i].right, box.left() + drawn[i].right(), 0.3) << qPrintable(written[i].text);
            if (written[i].rows) {
                EXPECT_NEAR(written[i].rows->first, box.bottom() - drawn[i].bottom(), 0.01);
                EXPECT_NEAR(written[i].rows->second, box.bottom() - drawn[i].top(), 0.01);
            }
        }
    }
}

TEST(SVGCarteExportTextTest, ATextReachingPastItsBoxIsClippedWhereThePageClipsIt)
{
    PlmPresentation plain;
    plain.fontName = QStringLiteral("Helvetica");
    plain.fontSize = 18;
    PlmPresentation unwrapped = plain, underlined = plain;
    changeEditingStyle(unwrapped, [](PlmEditingStyle& s) { s.wraps = false; });
    changeEditingStyle(underlined, [](PlmEditingStyle& s) { s.underline = true; });
    // A box tall enough for the letters of a line but not for its underline: its bottom midway
    // between the bottoms of the two.
    const DecorationText nord(QStringLiteral("Nord"), textAttributes(underlined), 300);
    ASSERT_EQ(nord.underlines().size(), 1);
    const double inkBottom = nord.inkRect().bottom();
    const double underlineBottom = nord.underlines().first().bottom() - textAttributes(underlined).baselineOffset;
    ASSERT_LT(inkBottom + 0.5, underlineBottom);
    const double lineSpacing = QFontMetricsF(textAttributes(plain).layoutFont(), decorationReferenceDevice()).lineSpacing();
    const struct {
        const char* name;
        QString text;
        PlmPresentation presentation;
        QRectF box;
        bool clipped;
    } rows[] = {
        {"fits", QStringLiteral("Nord"), plain, QRectF(20, 10, 300, 40), false},
        {"unwrapped line too long", QStringLiteral("Une ligne bien trop longue"), unwrapped, QRectF(20, 10, 80, 40), true},
        {"second line cut across", QStringLiteral("Nord\nSud"), plain, QRectF(20, 10, 300, 1.5 * lineSpacing), true},
        {"underline alone below the box", QStringLiteral("Nord"), underlined,
         QRectF(20, 10, 300, (inkBottom + underlineBottom) / 2), true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        SVGCarteExport writer(emptyComposition(), plainPage());
        writer.appendText(row.text, row.presentation, row.box);
        QList<ClippedElement> drawn = clippedElements(writer);
        drawn.removeIf([](const ClippedElement& element) { return element.name == QLatin1String("g"); });
        ASSERT_FALSE(drawn.isEmpty());
        // The page clips a text to its rectangle, here the box itself, y-up.
        const QList<QPolygonF> expected = row.clipped ? QList<QPolygonF>{QPolygonF(row.box)} : QList<QPolygonF>();
        for (const ClippedElement& element : drawn) {
            QList<QPolygonF> clips;
            for (const QPainterPath& clip : element.clips)
                clips.append(clip.toFillPolygon());
            EXPECT_EQ(clips, expected) << qPrintable(element.name);
        }
    }
}

TEST(SVGCarteExportTextTest, TheRequestedFamilyComesBeforeItsStandIn)
{
    // A reader that has the requested font shows it; a family picked for a face of its own
    // (the narrow family of condensed text) stays first.
    const struct {
        const char* name;
        QString fontName;
        bool condensed;
        QString family;
    } rows[] = {
        {"metric twin", QStringLiteral("Helvetica-Bold"), false, QStringLiteral("Helvetica, Nimbus Sans")},
        {"font not installed", QStringLiteral("Pelmora Absente"), false,
         QStringLiteral("Pelmora Absente, ") + decorationFontFamily(QFont(QStringLiteral("Pelmora Absente")))},
        {"installed family", QStringLiteral("DejaVu Sans"), false, QStringLiteral("DejaVu Sans")},
        {"narrow face", QStringLiteral("Helvetica"), true, QStringLiteral("Nimbus Sans Narrow, Helvetica")},
    };
    for (const auto& row : rows) {
        PlmPresentation presentation;
        presentation.fontName = row.fontName;
        PlmEditingStyle style = presentation.effectiveEditingStyle();
        style.condensed = row.condensed;
        presentation.setEffectiveEditingStyle(style);
        const QString body = textOf(QStringLiteral("Nom"), presentation, QRectF(0, 0, 300, 40));
        EXPECT_EQ(capturesOf(body, QStringLiteral("font-family=\"([^\"]*)\"")), QStringList{row.family}) << row.name;
    }
}

} // namespace
