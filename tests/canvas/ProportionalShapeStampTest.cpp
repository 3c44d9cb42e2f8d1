#include "support/CanvasTestMaps.h"
#include "canvas/ProportionalShape.h"
#include "canvas/ProportionalShapeStamp.h"

#include <QImage>
#include <QPainter>
#include <QPicture>
#include <gtest/gtest.h>

#include <cmath>

namespace {

QImage page()
{
    QImage image(240, 120, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    return image;
}

void flip(QPainter& painter)
{
    painter.translate(0, 120);
    painter.scale(1, -1);
}

struct Symbol {
    QPointF centre;
    double size;
};

// Sizes from under a pixel to beyond the bitmap limit, at fractional positions.
const QList<Symbol> symbols = {{{10.3, 10.8}, 0.6}, {{30.25, 20.5}, 3.3}, {{60.7, 40.1}, 9.9},
                               {{100.5, 60.5}, 17.25}, {{160.1, 60.9}, 46}, {{215, 60}, 60}};

// How many pixels differ by more than `tolerance` in some channel.
int differing(const QImage& a, const QImage& b, int tolerance)
{
    int count = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QColor p = a.pixelColor(x, y), q = b.pixelColor(x, y);
            if (std::abs(p.red() - q.red()) > tolerance || std::abs(p.green() - q.green()) > tolerance
                || std::abs(p.blue() - q.blue()) > tolerance)
                ++count;
        }
    return count;
}

} // namespace

TEST(ProportionalShapeStamp, StampedSymbolsLookLikeDrawnOnesWithinHalfAPixelOfAntialiasing)
{
    PlmProportionalSettings settings;
    settings.outline = PlmStyle(PlmColor{0, 0, 0, 1}, std::nullopt, 1.5, 4);
    settings.outlineVisible = true;
    for (PlmSymbolKind kind : {PlmSymbolKind::circle, PlmSymbolKind::square, PlmSymbolKind::triangle}) {
        SCOPED_TRACE(int(kind));
        settings.kind = kind;
        const auto shape = std::make_shared<const ProportionalShape>(settings, false);
        const PlmColor colour{0.8, 0.2, 0.1, 0.85};
        QImage drawn = page(), stamped = page();
        {
            QPainter painter(&drawn);
            painter.setRenderHint(QPainter::Antialiasing);
            flip(painter);
            for (const Symbol& s : symbols)
                shape->draw(painter, s.centre, s.size, colour, 1);
        }
        {
            QPainter painter(&stamped);
            painter.setRenderHint(QPainter::Antialiasing);
            flip(painter);
            const ProportionalShapeStamp stamp(shape, colour);
            stamp.beginBatch(painter);
            for (const Symbol& s : symbols)
                stamp.draw(painter, s.centre, s.size);
            stamp.endBatch(painter);
        }
        // Edges move by at most a quarter pixel: only antialiased edge pixels may differ,
        // and none by much.
        EXPECT_EQ(differing(drawn, stamped, 160), 0);
        EXPECT_LT(differing(drawn, stamped, 24), 300);
        for (const Symbol& s : symbols) {
            if (s.size < 4)
                continue;
            const QPoint p(int(s.centre.x()), 119 - int(s.centre.y()));
            EXPECT_EQ(drawn.pixelColor(p), stamped.pixelColor(p));
        }
    }
}

TEST(ProportionalShapeStamp, OnlyARasterDeviceUnderAnUnrotatedUniformTransformStampsBitmaps)
{
    const auto shape = std::make_shared<const ProportionalShape>(PlmProportionalSettings(), false);
    const ProportionalShapeStamp stamp(shape, PlmColor{0, 0, 1, 1});
    struct Row {
        const char* name;
        std::function<void(QPainter&)> setUp;
        bool raster;
        bool stamps;
    };
    const Row rows[] = {
        {"flipped raster page", [](QPainter& p) { flip(p); }, true, true},
        {"scaled raster page", [](QPainter& p) { p.scale(3, 3); }, true, true},
        {"rotated raster page", [](QPainter& p) { p.rotate(30); }, true, false},
        {"stretched raster page", [](QPainter& p) { p.scale(2, 1); }, true, false},
        {"recorded picture (vector exports)", [](QPainter&) {}, false, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        QImage image = page();
        QPicture picture;
        QPainter painter;
        if (row.raster)
            painter.begin(&image);
        else
            painter.begin(&picture);
        row.setUp(painter);
        stamp.beginBatch(painter);
        EXPECT_EQ(stamp.stampsBitmaps(), row.stamps);
        const QTransform world = painter.worldTransform();
        stamp.draw(painter, {30, 30}, 5);
        stamp.endBatch(painter);
        EXPECT_EQ(painter.worldTransform(), world);
        EXPECT_FALSE(stamp.stampsBitmaps());
        painter.end();
    }
}

// A widget inside a window paints through an offset the world transform does not hold (the
// backing store's redirection, like a viewport here): stamps land where vectors do.
TEST(ProportionalShapeStamp, StampsLandWhereVectorsDoUnderAnOffsetViewport)
{
    const auto shape = std::make_shared<const ProportionalShape>(PlmProportionalSettings(), false);
    const PlmColor colour{0.8, 0.2, 0.1, 1};
    auto render = [&](bool stamped) {
        QImage image = page();
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setViewport(70, 30, 240, 120);
        flip(painter);
        const ProportionalShapeStamp stamp(shape, colour);
        if (stamped)
            stamp.beginBatch(painter);
        for (const Symbol& s : symbols) {
            if (stamped)
                stamp.draw(painter, s.centre, s.size);
            else
                shape->draw(painter, s.centre, s.size, colour, 1);
        }
        stamp.endBatch(painter);
        return image;
    };
    const QImage drawn = render(false), stamped = render(true);
    EXPECT_EQ(differing(drawn, stamped, 160), 0);
    // The 17.25-pt symbol at (100.5, 60.5): its centre pixel is coloured in both.
    const QPoint centre(70 + 100, 30 + 119 - 60);
    EXPECT_EQ(stamped.pixelColor(centre), drawn.pixelColor(centre));
    EXPECT_GT(stamped.pixelColor(centre).red(), 180);
}

TEST(ProportionalShapeStamp, AnOutlineTooWideForASpriteIsDrawnAsVectors)
{
    // A crafted file may give a symbol outline far wider than any sprite: its side must not be
    // converted to int, and the batch draws the symbol as vectors, as outside a batch.
    PlmProportionalSettings settings;
    settings.outline = PlmStyle(PlmColor{0, 0, 0, 1}, std::nullopt, 1e10, 4);
    settings.outlineVisible = true;
    const auto shape = std::make_shared<const ProportionalShape>(settings, false);
    const PlmColor colour{0.8, 0.2, 0.1, 1};
    QImage drawn = page(), stamped = page();
    const ProportionalShapeStamp stamp(shape, colour);
    {
        QPainter painter(&drawn);
        flip(painter);
        stamp.draw(painter, QPointF(60, 60), 10);
    }
    {
        QPainter painter(&stamped);
        flip(painter);
        stamp.beginBatch(painter);
        stamp.draw(painter, QPointF(60, 60), 10);
        stamp.endBatch(painter);
    }
    EXPECT_EQ(drawn, stamped);
}
