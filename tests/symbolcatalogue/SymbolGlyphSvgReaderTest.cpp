#include "symbolcatalogue/SymbolGlyphSvgReader.h"
#include "platform/SymbolGlyphProvider.h"
#include "canvas/ProportionalShape.h"

#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

namespace {

class SymbolGlyphSvgReaderTest : public ::testing::Test {
protected:
    SymbolGlyphSvgReaderTest() { SymbolGlyphSvgReader::install(); }
};

TEST_F(SymbolGlyphSvgReaderTest, EveryNameOfTheTableHasItsIconInstalled)
{
    for (const QString& name : SymbolGlyphProvider::tableNames())
        EXPECT_TRUE(QFileInfo(SymbolGlyphProvider::iconFile(name)).isFile()) << name.toStdString();
    QStringList expected = SymbolGlyphProvider::tableNames();
    for (const QString& drawn : {"circle", "circle.fill", "square", "square.fill", "triangle", "triangle.fill",
                                 "diamond.fill", "star", "star.fill", "heart.fill", "mappin", "plus"})
        expected.append(drawn);
    std::sort(expected.begin(), expected.end());
    expected.erase(std::unique(expected.begin(), expected.end()), expected.end());
    EXPECT_EQ(SymbolGlyphProvider::availableNames(), expected);
}

TEST_F(SymbolGlyphSvgReaderTest, AGlyphIsTheIconsOutlineUprightInItsBox)
{
    // The icon's triangle has its apex at the top: in the y-up box its wide side is low.
    const std::optional<SymbolGlyph> glyph = SymbolGlyphProvider::glyph(QStringLiteral("triangle.fill"));
    ASSERT_TRUE(glyph);
    EXPECT_DOUBLE_EQ(std::max(glyph->size.width(), glyph->size.height()), 100.0);
    const double w = glyph->size.width(), h = glyph->size.height();
    EXPECT_TRUE(glyph->outline.contains(QPointF(w * 0.1, h * 0.05)));
    EXPECT_TRUE(glyph->outline.contains(QPointF(w * 0.5, h * 0.9)));
    EXPECT_FALSE(glyph->outline.contains(QPointF(w * 0.1, h * 0.9)));
    // A hole stays a hole: the ring of "circle" is empty in its middle.
    const std::optional<SymbolGlyph> ring = SymbolGlyphProvider::glyph(QStringLiteral("circle"));
    ASSERT_TRUE(ring);
    EXPECT_FALSE(ring->outline.contains(QPointF(50, 50)));
    EXPECT_TRUE(ring->outline.contains(QPointF(50, 2)));
}

TEST_F(SymbolGlyphSvgReaderTest, StrokedLinesAreWidenedAndBadBytesGiveNothing)
{
    const std::optional<QPainterPath> line = SymbolGlyphSvgReader::outline(
        R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 16 16"><path d="M2 8 H14" fill="none" stroke="#000" stroke-width="2"/></svg>)");
    ASSERT_TRUE(line);
    EXPECT_NEAR(line->boundingRect().height(), 2.0, 1e-6);
    EXPECT_NEAR(line->boundingRect().width(), 14.0, 1e-6); // 12 long plus the round caps
    EXPECT_FALSE(SymbolGlyphSvgReader::outline("pas du SVG"));
    EXPECT_FALSE(SymbolGlyphSvgReader::outline(R"(<svg xmlns="http://www.w3.org/2000/svg"/>)"));
}

TEST_F(SymbolGlyphSvgReaderTest, ASymbolDrawsItsIconAtAnySize)
{
    PlmProportionalSettings settings;
    settings.kind = PlmSymbolKind::sfSymbol;
    settings.sfSymbolName = QStringLiteral("car.fill");
    const ProportionalShape shape(settings, false);
    ASSERT_FALSE(shape.nativeSymbolUnavailable);
    QImage image(200, 200, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        shape.draw(painter, QPointF(100, 100), 160, PlmColor{0, 0, 0, 1}, 1);
    }
    int black = 0;
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 200; ++x)
            black += qGray(image.pixel(x, y)) < 64 ? 1 : 0;
    // A car seen from the front fills a good part of its 160-point box, never all of it.
    EXPECT_GT(black, 160 * 160 / 5);
    EXPECT_LT(black, 160 * 160 * 9 / 10);
}

} // namespace
