#include "basemaps/PlmInstalledFonts.h"
#include "support/UncoveredScripts.h"

#include <QFont>
#include <QGlyphRun>
#include <QRawFont>
#include <QTextLayout>

#include <gtest/gtest.h>

namespace {

QFont dejaVu()
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(40);
    return font;
}

// The faces a text is laid out in, run by run.
QList<QRawFont> facesOf(const QString& text)
{
    QTextLayout layout(text, dejaVu());
    layout.beginLayout();
    layout.createLine().setLineWidth(1e6);
    layout.endLayout();
    QList<QRawFont> faces;
    for (const QGlyphRun& run : layout.glyphRuns())
        faces << run.rawFont();
    return faces;
}

} // namespace

// Letters that no font covers are laid out in a stand-in face that calls itself valid but has
// no family to give: the imports' font list leaves it out and keeps the real faces around it.
TEST(PlmInstalledFonts, TheFontListLeavesOutAStandInFace)
{
    if (const QString covered = UncoveredScripts::coveredHere(); !covered.isEmpty())
        GTEST_SKIP() << qPrintable(covered);
    const QList<QRawFont> uncovered = facesOf(UncoveredScripts::devanagari());
    ASSERT_EQ(uncovered.size(), 1);
    const QRawFont standIn = uncovered.first();
    ASSERT_TRUE(standIn.isValid());
    const QRawFont real = QRawFont::fromFont(dejaVu());
    ASSERT_EQ(real.familyName(), QStringLiteral("DejaVu Sans"));
    EXPECT_EQ(PlmInstalledFonts::readableFaces({real, standIn, real}), (QList<QRawFont>{real, real}));
}
