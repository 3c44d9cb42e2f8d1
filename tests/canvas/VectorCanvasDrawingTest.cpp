#include "canvas/CanvasPathBuilder.h"
#include "canvas/VectorCanvas.h"
#include "support/CanvasTestMaps.h"
#include "support/ImageBytes.h"
#include "support/PopplerTools.h"

#include <QBuffer>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPicture>
#include <QPixmap>
#include <gtest/gtest.h>

using namespace CanvasTestMaps;

namespace {

// A canvas of 100 × 100 points showing map units 1:1 (scale 1, no offset).
std::unique_ptr<VectorCanvas> canvasOf(const PlmMap& map)
{
    auto canvas = std::make_unique<VectorCanvas>(map, false, QStringLiteral("Aucun fond"));
    canvas->setFrame(QRectF(0, 0, 100, 100));
    canvas->fitted = true;
    canvas->tracksFit = false;
    canvas->backgroundColor = Qt::white;
    canvas->accentColor = QColor(0, 200, 0);
    return canvas;
}

const QColor red(255, 0, 0);
const QColor white(255, 255, 255);

} // namespace

TEST(CanvasDrawing, FilledSquareWhereExpected)
{
    auto canvas = canvasOf(mapOf({squareEntity("s", 20, 30, 60, 50)}));
    const QImage image = canvas->renderToImage();
    EXPECT_TRUE(isNear(pixelAt(image, 40, 40), red));
    EXPECT_TRUE(isNear(pixelAt(image, 21, 31), red));
    EXPECT_TRUE(isNear(pixelAt(image, 40, 55), white));
    EXPECT_TRUE(isNear(pixelAt(image, 65, 40), white));
}

TEST(CanvasDrawing, EvenOddHoleStaysEmptyWhateverTheOrientation)
{
    PlmPolygon polygon;
    polygon.exterior = rect(10, 10, 90, 90);
    polygon.holes = {rect(30, 30, 70, 70)};  // same orientation as the exterior
    PlmEntity e(QStringLiteral("h"), QString(), PlmGeometry::polygon(polygon), style({0, 0, 0, 1}, PlmColor{1, 0, 0, 1}, 0));
    auto canvas = canvasOf(mapOf({e}));
    const QImage image = canvas->renderToImage();
    EXPECT_TRUE(isNear(pixelAt(image, 50, 50), white));
    EXPECT_TRUE(isNear(pixelAt(image, 20, 50), red));
}

TEST(CanvasDrawing, DashedLineLeavesGaps)
{
    PlmEntity line = lineEntity("l", {{0, 50}, {100, 50}}, 4);
    line.style.dash = QList<double>{10, 10};
    auto canvas = canvasOf(mapOf({line}));
    const QImage image = canvas->renderToImage();
    // Dashes 0–10, 20–30…; gaps 10–20, 30–40… (in points, a map without sources).
    EXPECT_TRUE(isNear(pixelAt(image, 5, 50), Qt::black, 40));
    EXPECT_TRUE(isNear(pixelAt(image, 15, 50), white));
    EXPECT_TRUE(isNear(pixelAt(image, 25, 50), Qt::black, 40));
    EXPECT_TRUE(isNear(pixelAt(image, 35, 50), white));

    line.style.dash = QList<double>{0, 0};
    canvas->setMap(mapOf({line}));
    const QImage solid = canvas->renderToImage();
    EXPECT_TRUE(isNear(pixelAt(solid, 15, 50), Qt::black, 40));
}

TEST(CanvasDrawing, YAxisSignFlipsTheMap)
{
    PlmEntity top = squareEntity("t", 0, 0, 100, 20);  // y 0–20
    auto up = canvasOf(mapOf({top}));
    up->setOffset(QPointF(0, 0));
    const QImage upImage = up->renderToImage();
    EXPECT_TRUE(isNear(pixelAt(upImage, 50, 10), red));
    EXPECT_TRUE(isNear(pixelAt(upImage, 50, 90), white));

    auto down = canvasOf(mapOf({top}, {{"coordinates.yAxis", "down"}}));
    down->setOffset(QPointF(0, 100));  // y-down map: its origin at the top edge
    const QImage downImage = down->renderToImage();
    EXPECT_TRUE(isNear(pixelAt(downImage, 50, 90), red));
    EXPECT_TRUE(isNear(pixelAt(downImage, 50, 10), white));
}

TEST(CanvasDrawing, FillRulesOfLinesOverridesAndWidths)
{
    PlmEntity filledLine = lineEntity("l", {{10, 10}, {90, 10}, {90, 90}}, 1);
    filledLine.style.fill = PlmColor{0, 0, 1, 1};
    PlmEntity bare = squareEntity("q", 10, 60, 40, 90, std::nullopt);
    auto canvas = canvasOf(mapOf({filledLine, bare}));
    canvas->fillOverrides.insert("q", PlmColor{1, 0, 0, 1});
    canvas->fillOverrides.insert("l", PlmColor{1, 0, 0, 1});
    const QImage image = canvas->renderToImage();
    EXPECT_TRUE(isNear(pixelAt(image, 70, 30), white));  // inside the polyline's corner: never filled
    EXPECT_TRUE(isNear(pixelAt(image, 25, 75), red));    // override without a fill of its own

    // Width 0 is not stroked, unless the entity is selected alone.
    PlmEntity outline = squareEntity("o", 20, 20, 80, 80, std::nullopt, 0);
    auto bareCanvas = canvasOf(mapOf({outline}));
    EXPECT_TRUE(isNear(pixelAt(bareCanvas->renderToImage(), 20, 50), white));
    bareCanvas->selectedIndex = 0;
    EXPECT_TRUE(isNear(pixelAt(bareCanvas->renderToImage(), 20, 50), QColor(0, 200, 0), 40));
}

TEST(CanvasDrawing, StrokeWidthsFollowMapUnitsOnlyWithSources)
{
    PlmEntity line = lineEntity("l", {{0, 20}, {50, 20}}, 1);
    PlmMap withSources = mapOf({line});
    withSources.sources = QList<PlmSource>{};
    auto canvas = canvasOf(withSources);
    canvas->setScale(2);  // the line now lies at view y 40, 2 points wide
    const QImage image = canvas->renderToImage(4.0);
    auto darkRows = [&](const QImage& img) {
        int n = 0;
        for (int y = 0; y < img.height(); ++y)
            n += QColor(img.pixel(40, y)).red() < 128 ? 1 : 0;
        return n;
    };
    EXPECT_NEAR(darkRows(image), 8, 1);  // 2 points at 4 pixels per point
    canvas->setMap(mapOf({line}));
    EXPECT_NEAR(darkRows(canvas->renderToImage(4.0)), 4, 1);
}

TEST(CanvasDrawing, HiddenMembersAndGroupSelectionFrame)
{
    PlmEntity hiddenMember = squareEntity("b", 60, 10, 90, 40);
    hiddenMember.isHidden = true;
    PlmEntity group = groupEntity("g", {squareEntity("a", 10, 10, 40, 40), hiddenMember});
    auto canvas = canvasOf(mapOf({group}));
    QImage image = canvas->renderToImage();
    EXPECT_TRUE(isNear(pixelAt(image, 25, 25), red));
    EXPECT_TRUE(isNear(pixelAt(image, 75, 25), white));
    canvas->selectedIndex = 0;
    image = canvas->renderToImage(2.0);
    // The frame surrounds both members' paths (hidden ones included), 3 points out.
    EXPECT_TRUE(isNear(pixelAt(image, 2 * 50, 2 * 43), QColor(0, 200, 0), 60));
    EXPECT_TRUE(isNear(pixelAt(image, 2 * 93, 2 * 25), QColor(0, 200, 0), 60));
}

TEST(CanvasDrawing, BackgroundPaintingImageAndBlockTransform)
{
    auto canvas = canvasOf(mapOf({squareEntity("s", 0, 0, 20, 20)}));
    canvas->paintsBackground = false;
    EXPECT_EQ(qAlpha(canvas->renderToImage(1.0, true).pixel(90, 10)), 0);

    PlmBackgroundImage background;
    background.data = plainPng(QColor(0, 0, 255), 8, 8);
    background.type = "png";
    background.position = PlmPoint{50, 50};
    background.width = 40;
    background.height = 40;
    canvas->setBackgroundImage(background);
    ASSERT_TRUE(canvas->backgroundBitmap.has_value());
    const qint64 key = canvas->backgroundBitmap->cacheKey();
    background.opacity = 0.5;
    canvas->setBackgroundImage(background);
    EXPECT_EQ(canvas->backgroundBitmap->cacheKey(), key);

    canvas->paintsBackground = true;
    canvas->blockTransform = QTransform::fromTranslate(30, 0);
    const QImage image = canvas->renderToImage();
    EXPECT_TRUE(isNear(pixelAt(image, 40, 10), red));    // the square moved right by 30
    EXPECT_TRUE(isNear(pixelAt(image, 5, 10), white));
    EXPECT_TRUE(isNear(pixelAt(image, 70, 70), QColor(127, 127, 255), 12));  // the image did not move, half opaque

    background.data = QByteArray("not an image");
    canvas->setBackgroundImage(background);
    EXPECT_FALSE(canvas->backgroundBitmap.has_value());
}

TEST(CanvasDrawing, PointSymbolsFillTheirSquareInTheirColour)
{
    PlmVectorPath square;
    square.commands = {PlmPathCommand::move({0, 0}), PlmPathCommand::line({10, 0}), PlmPathCommand::line({10, 10}),
                       PlmPathCommand::line({0, 10}), PlmPathCommand::close()};
    PlmEntity part(QStringLiteral("part"), QString(), PlmGeometry::path(square), style({0, 0.5, 0, 1}, PlmColor{0, 0.5, 0, 1}, 0));
    PlmEntity symbol = pointEntity("s", 10, 10, 5);
    symbol.style.stroke = PlmColor{0, 0, 0, 0.5};
    symbol.pointSymbol = PlmPointSymbol(std::nullopt, mapOf({part}));
    auto canvas = canvasOf(mapOf({symbol}));
    canvas->setScale(4);  // radius 5 map units: a 40-point square around (40, 40)
    canvas->fillOverrides.insert("s", PlmColor{1, 0, 0, 0.5});
    const QImage image = canvas->renderToImage();
    EXPECT_TRUE(isNear(pixelAt(image, 40, 40), QColor(255, 191, 191), 4));  // red at 0.5 × 0.5
    EXPECT_TRUE(isNear(pixelAt(image, 22, 58), QColor(255, 191, 191), 4));
    EXPECT_TRUE(isNear(pixelAt(image, 17, 40), white));
    EXPECT_TRUE(isNear(pixelAt(image, 40, 63), white));

    // A glyph symbol without an override takes the entity's stroke colour.
    PlmEntity glyph = pointEntity("g", 10, 10, 5);
    glyph.style.stroke = PlmColor{0, 0, 1, 1};
    glyph.pointSymbol = PlmPointSymbol(QStringLiteral("circle.fill"), std::nullopt);
    canvas->fillOverrides.clear();
    canvas->setMap(mapOf({glyph}));
    canvas->usesSFExportFallback = true;  // as the PDF export draws it
    const QImage glyphImage = canvas->renderToImage();
    EXPECT_TRUE(isNear(pixelAt(glyphImage, 40, 40), QColor(0, 0, 255)));
    EXPECT_TRUE(isNear(pixelAt(glyphImage, 22, 22), white));  // the disc's corner
}

TEST(CanvasDrawing, BackgroundImageIsDrawnUpright)
{
    QImage picture(10, 10, QImage::Format_ARGB32);
    picture.fill(Qt::blue);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 10; ++x)
            picture.setPixel(x, y, qRgb(255, 0, 0));  // the picture's top half is red
    PlmBackgroundImage background;
    background.data = encodedImage(picture);
    background.type = "png";
    background.position = PlmPoint{0, 0};
    background.width = 100;
    background.height = 100;
    for (const char* axis : {"up", "down"}) {
        auto canvas = canvasOf(mapOf({}, {{"coordinates.yAxis", axis}}));
        if (QByteArray(axis) == "down")
            canvas->setOffset(QPointF(0, 100));
        canvas->setBackgroundImage(background);
        const QImage image = canvas->renderToImage();
        EXPECT_TRUE(isNear(pixelAt(image, 50, 80), red)) << axis;
        EXPECT_TRUE(isNear(pixelAt(image, 50, 20), QColor(0, 0, 255))) << axis;
    }
}

TEST(CanvasDrawing, OriginalBlockBoundsIgnoreTheBlockTransform)
{
    auto empty = canvasOf(mapOf({}));
    EXPECT_TRUE(empty->originalBlockBounds().isNull());
    EXPECT_FALSE(empty->rendersOriginalBlock);

    PlmEntity symbol = pointEntity("p", 80, 80, 5);
    symbol.pointSymbol = PlmPointSymbol(QStringLiteral("circle.fill"), std::nullopt);
    auto canvas = canvasOf(mapOf({squareEntity("s", 10, 20, 30, 40), symbol, pointEntity("screen", -50, -50)}));
    canvas->blockTransform = QTransform::fromTranslate(500, 500);
    const QRectF b = canvas->originalBlockBounds();
    EXPECT_EQ(b, QRectF(QPointF(10, 20), QPointF(85, 85)));
    EXPECT_FALSE(canvas->rendersOriginalBlock);
}

TEST(CanvasDrawing, OriginalBlockBoundsFollowTheEntitiesAndTheViewport)
{
    auto canvas = canvasOf(mapOf({squareEntity("s", 10, 20, 30, 40)}));
    EXPECT_EQ(canvas->originalBlockBounds(), QRectF(QPointF(10, 20), QPointF(30, 40)));
    canvas->blockTransform = QTransform::fromTranslate(500, 500);  // the block moves, not its original bounds
    EXPECT_EQ(canvas->originalBlockBounds(), QRectF(QPointF(10, 20), QPointF(30, 40)));
    canvas->setMap(mapOf({squareEntity("s", 0, 0, 10, 10)}));
    const QRectF moved = canvas->originalBlockBounds();
    EXPECT_EQ(moved.size(), QSizeF(10 * canvas->scale(), 10 * canvas->scale()));
    canvas->setScale(canvas->scale() * 2);
    EXPECT_EQ(canvas->originalBlockBounds().size(), QSizeF(2 * moved.width(), 2 * moved.height()));
    const QRectF scaled = canvas->originalBlockBounds();
    canvas->setOffset(canvas->offset() + QPointF(5, 7));
    EXPECT_EQ(canvas->originalBlockBounds(), scaled.translated(5, 7));
}

TEST(CanvasDrawing, NameLabelsArePickedTopmostWithinTwoPoints)
{
    PlmEntity a = squareEntity("a", 20, 20, 60, 60);
    a.name = QStringLiteral("Alpha");
    PlmEntity b = squareEntity("b", 20, 20, 60, 60);
    b.name = QStringLiteral("Alpha");
    auto canvas = canvasOf(mapOf({a, b}));
    canvas->showEntityNames = true;
    EXPECT_FALSE(canvas->entityNameLabel(QPointF(40, 40)).has_value());  // no move callback
    canvas->onEntityNameMove = [](const QString&, const PlmPoint&) {};
    const QList<VectorCanvas::NameLabel> labels = canvas->entityNameLabels();
    ASSERT_EQ(labels.size(), 2);
    const QRectF box = CanvasPathBuilder::bounds(labels[1].path);
    EXPECT_NEAR(box.center().x(), 40, 1.5);
    EXPECT_EQ(canvas->entityNameLabel(box.center()), QString("b"));
    EXPECT_EQ(canvas->entityNameLabel(QPointF(box.right() + 1, box.center().y())), QString("b"));
    EXPECT_FALSE(canvas->entityNameLabel(QPointF(box.right() + 3, box.center().y())).has_value());
    b.isLocked = true;
    canvas->setMap(mapOf({a, b}));
    EXPECT_EQ(canvas->entityNameLabel(box.center()), QString("a"));

    // Labels are drawn: black glyphs just above the anchor's baseline.
    const QImage image = canvas->renderToImage(2.0);
    int dark = 0;
    for (int x = 50; x < 110; ++x)
        for (int y = 95; y < 120; ++y)
            dark += qGray(image.pixel(x, y)) < 60 ? 1 : 0;
    EXPECT_GT(dark, 20);
}

TEST(CanvasDrawing, EmptyMapShowsItsTextOnlyWithoutImage)
{
    auto canvas = canvasOf(mapOf({}));
    canvas->setFrame(QRectF(0, 0, 300, 120));
    canvas->secondaryLabelColor = Qt::black;
    auto inkIn = [](const QImage& img) {
        int n = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                n += qGray(img.pixel(x, y)) < 128 ? 1 : 0;
        return n;
    };
    EXPECT_GT(inkIn(canvas->renderToImage()), 30);

    // The text is 15 view points high, drawn upright from the top-left corner
    // of the bounds inset by 32: a capital H spans about 11 rows below y = 88.
    canvas->emptyText = QStringLiteral("H");
    const QImage h = canvas->renderToImage();
    int top = -1, bottom = -1;
    for (int y = 0; y < h.height(); ++y) {
        bool ink = false;
        for (int x = 0; x < h.width(); ++x)
            ink = ink || qGray(h.pixel(x, y)) < 128;
        if (ink && top < 0)
            top = y;
        if (ink)
            bottom = y;
    }
    EXPECT_GE(top, 32);
    EXPECT_LE(top, 40);
    EXPECT_GE(bottom - top + 1, 9);
    EXPECT_LE(bottom - top + 1, 12);
    canvas->emptyText = QStringLiteral("Aucun fond");
    PlmBackgroundImage background;
    background.data = plainPng(Qt::white, 2, 2);
    background.width = background.height = 1;
    canvas->setBackgroundImage(background);
    EXPECT_EQ(inkIn(canvas->renderToImage()), 0);
}

namespace {

const QColor accent(0, 200, 0);

// Colour at a view point of an image rendered at `ratio` pixels per point.
QColor probe(const QImage& image, double ratio, double x, double y)
{
    return QColor(image.pixel(int(x * ratio), image.height() - 1 - int(y * ratio)));
}

} // namespace

TEST(CanvasStrokes, CapsJoinsAndDashesFollowTheStyle)
{
    // Caps: a 10-point line from x 20 to 80; butt stops at the end, square
    // and round go 5 points further (round only near the axis).
    PlmEntity capped = lineEntity("c", {{20, 50}, {80, 50}}, 10);
    auto canvas = canvasOf(mapOf({capped}));
    EXPECT_TRUE(isNear(pixelAt(canvas->renderToImage(), 83, 50), white));
    capped.style.lineCap = 2;
    canvas->setMap(mapOf({capped}));
    QImage image = canvas->renderToImage();
    EXPECT_TRUE(isNear(pixelAt(image, 83, 50), Qt::black, 40));
    EXPECT_TRUE(isNear(pixelAt(image, 83, 54), Qt::black, 40));
    capped.style.lineCap = 1;
    canvas->setMap(mapOf({capped}));
    image = canvas->renderToImage();
    EXPECT_TRUE(isNear(pixelAt(image, 83, 50), Qt::black, 40));
    EXPECT_TRUE(isNear(pixelAt(image, 84, 54), white, 40));

    // Joins at the apex (50, 80) of a 10-point chevron: the miter reaches
    // 11.2 points above it, the round join 5, the bevel 2.2.
    PlmEntity chevron = lineEntity("j", {{20, 20}, {50, 80}, {80, 20}}, 10);
    auto joined = canvasOf(mapOf({chevron}));
    image = joined->renderToImage(4.0);
    EXPECT_TRUE(isNear(probe(image, 4, 50, 89), Qt::black, 40));
    chevron.style.lineJoin = 1;
    joined->setMap(mapOf({chevron}));
    image = joined->renderToImage(4.0);
    EXPECT_TRUE(isNear(probe(image, 4, 50, 84), Qt::black, 40));
    EXPECT_TRUE(isNear(probe(image, 4, 50, 86), white, 40));
    chevron.style.lineJoin = 2;
    joined->setMap(mapOf({chevron}));
    image = joined->renderToImage(4.0);
    EXPECT_TRUE(isNear(probe(image, 4, 50, 84), white, 40));
    EXPECT_TRUE(isNear(probe(image, 4, 50, 81), Qt::black, 40));

    // Dashes are view points without sources and map units with them.
    PlmEntity dashed = lineEntity("d", {{0, 25}, {50, 25}}, 1);
    dashed.style.dash = QList<double>{5, 5};
    auto plain = canvasOf(mapOf({dashed}));
    plain->setScale(2);  // the line lies at view y 50, from x 0 to 100
    image = plain->renderToImage(4.0);
    EXPECT_TRUE(isNear(probe(image, 4, 12, 50), Qt::black, 60));  // 10–15 on
    EXPECT_TRUE(isNear(probe(image, 4, 17, 50), white, 40));      // 15–20 off
    PlmMap withSources = mapOf({dashed});
    withSources.sources = QList<PlmSource>{};
    plain->setMap(withSources);
    image = plain->renderToImage(4.0);
    EXPECT_TRUE(isNear(probe(image, 4, 5, 50), Qt::black, 60));  // 0–10 on
    EXPECT_TRUE(isNear(probe(image, 4, 12, 50), white, 40));     // 10–20 off
    EXPECT_TRUE(isNear(probe(image, 4, 17, 50), white, 40));
    EXPECT_TRUE(isNear(probe(image, 4, 25, 50), Qt::black, 60));
}

TEST(CanvasStrokes, PointDiscsKeepTheirViewRadiusAndShowTheirSelection)
{
    PlmEntity dot = pointEntity("p", 50, 50, 4);  // blue fill, black 1-point stroke
    auto canvas = canvasOf(mapOf({dot}));
    for (double scale : {1.0, 10.0}) {
        canvas->setScale(scale);
        canvas->setOffset(QPointF(50 - 50 * scale, 50 - 50 * scale));  // the point stays at (50, 50)
        const QImage image = canvas->renderToImage(4.0);
        EXPECT_TRUE(isNear(probe(image, 4, 52, 50), QColor(0, 0, 255), 40)) << scale;
        EXPECT_TRUE(isNear(probe(image, 4, 56, 50), white)) << scale;
    }
    canvas->selectedIndex = 0;  // stroked in the accent colour, at least 3 points wide
    const QImage selected = canvas->renderToImage(4.0);
    EXPECT_TRUE(isNear(probe(selected, 4, 55.2, 50), accent, 40));
    EXPECT_TRUE(isNear(probe(selected, 4, 50, 52.9), accent, 40));
}

TEST(CanvasStrokes, ClipPathsCutTheirEntity)
{
    PlmEntity square = squareEntity("s", 10, 10, 90, 90);
    PlmVectorPath left;
    left.commands = {PlmPathCommand::move({0, 0}), PlmPathCommand::line({50, 0}), PlmPathCommand::line({50, 100}),
                     PlmPathCommand::line({0, 100}), PlmPathCommand::close()};
    square.clipPaths = QList<PlmVectorPath>{left};
    auto canvas = canvasOf(mapOf({square}));
    const QImage image = canvas->renderToImage();
    EXPECT_TRUE(isNear(pixelAt(image, 25, 50), red));
    EXPECT_TRUE(isNear(pixelAt(image, 75, 50), white));
}

TEST(CanvasTexts, MapTextsAndNameLabelsAreUprightOnBothAxes)
{
    // A capital T: its bar is at the top, its stem alone near the baseline.
    PlmText text;
    text.text = QStringLiteral("T");
    text.fontName = QStringLiteral("Helvetica");
    text.fontSize = 40;
    text.anchor = QStringLiteral("start");
    const PlmStyle ink = style({0, 0, 0, 0}, PlmColor{0, 0, 0, 1}, 0);
    auto inkAt = [](const QImage& image, double x, double y) { return qGray(pixelAt(image, x, y).rgb()) < 100; };
    for (const bool down : {false, true}) {
        text.transform = down ? PlmTransform{1, 0, 0, -1, 30, 70} : PlmTransform::translation(30, 30);
        PlmEntity t(QStringLiteral("t"), QString(), PlmGeometry::text(text), ink);
        auto canvas = down ? canvasOf(mapOf({t}, {{"coordinates.yAxis", "down"}})) : canvasOf(mapOf({t}));
        if (down)
            canvas->setOffset(QPointF(0, 100));  // baseline at view y 30 either way
        const QImage image = canvas->renderToImage();
        const QRectF box = CanvasPathBuilder::bounds(canvas->path(t.geometry, {}));
        ASSERT_FALSE(box.isNull()) << down;
        EXPECT_NEAR(box.top(), 30, 1.5) << down;  // y up: top() is the lowest y, the baseline
        const double barY = box.bottom() - 2, stemY = box.top() + 4;
        EXPECT_TRUE(inkAt(image, box.left() + 3, barY)) << down;
        EXPECT_FALSE(inkAt(image, box.left() + 3, stemY)) << down;
        EXPECT_TRUE(inkAt(image, box.center().x(), stemY)) << down;
    }

    // The name label of a point sits above it and reads upright.
    PlmEntity point = pointEntity("p", 50, 20, 4);
    point.name = QStringLiteral("T");
    for (const bool down : {false, true}) {
        if (down)
            point.geometry = PlmGeometry::point({50, 80});
        auto canvas = down ? canvasOf(mapOf({point}, {{"coordinates.yAxis", "down"}})) : canvasOf(mapOf({point}));
        if (down)
            canvas->setOffset(QPointF(0, 100));  // the point at view (50, 20) either way
        canvas->showEntityNames = true;
        canvas->entityNameFontSize = 40;
        const QList<VectorCanvas::NameLabel> labels = canvas->entityNameLabels();
        ASSERT_EQ(labels.size(), 1);
        const QRectF box = CanvasPathBuilder::bounds(labels[0].path);
        EXPECT_NEAR(box.top(), 20 + 4 + 10, 1.5) << down;  // 10 points above the disc
        EXPECT_NEAR(box.center().x(), 50, 1.5) << down;
        const QImage image = canvas->renderToImage();
        const double barY = box.bottom() - 2, stemY = box.top() + 4;
        EXPECT_TRUE(inkAt(image, box.left() + 3, barY)) << down;
        EXPECT_FALSE(inkAt(image, box.left() + 3, stemY)) << down;
        EXPECT_TRUE(inkAt(image, box.center().x(), stemY)) << down;
    }
}

TEST(CanvasOverlays, EditingGroupFrameAndZoomRectangle)
{
    // g { a, inner { b, c } }; editing inner: a dashed frame 4 points around
    // inner's members, apart from the selection frame of g.
    PlmEntity inner = groupEntity("inner", {squareEntity("b", 50, 50, 60, 60), squareEntity("c", 70, 50, 80, 60)});
    PlmEntity group = groupEntity("g", {squareEntity("a", 10, 10, 20, 20), inner});
    auto canvas = canvasOf(mapOf({group}));
    ASSERT_TRUE(canvas->select(QStringList{"g", "inner", "b"}));
    ASSERT_EQ(canvas->editingGroup, (QList<int>{0, 1}));
    canvas->backgroundColor = Qt::white;
    // Along the frame's left edge (x 46), away from g's frame (x 7 to 83):
    // accent dashes and white gaps alternate.
    auto dashesOnLeftEdge = [&](const QImage& image) {
        int changes = 0, on = 0;
        bool last = false;
        for (double y = 48; y <= 62; y += 0.25) {
            const bool now = isNear(probe(image, 4, 46, y), accent, 60);
            on += now ? 1 : 0;
            changes += (y > 48 && now != last) ? 1 : 0;
            last = now;
        }
        return std::make_pair(changes, on);
    };
    const auto [changes, on] = dashesOnLeftEdge(canvas->renderToImage(4.0));
    EXPECT_GE(changes, 3);
    EXPECT_GT(on, 10);
    EXPECT_TRUE(isNear(probe(canvas->renderToImage(4.0), 4, 48, 55), white));

    // Only while the edited group belongs to the selected entity.
    canvas->selectedIndex.reset();
    EXPECT_EQ(dashesOnLeftEdge(canvas->renderToImage(4.0)).second, 0);

    canvas->zoomRectangle = QRectF(10, 70, 20, 20);
    const QImage zoomed = canvas->renderToImage(4.0);
    EXPECT_TRUE(isNear(probe(zoomed, 4, 10, 80), accent, 60));
    EXPECT_TRUE(isNear(probe(zoomed, 4, 20, 80), white));
}

namespace {

// The label under a point as the labels' list defines it: topmost first,
// locked entities skipped, bounds grown by 2 points.
std::optional<QString> labelByList(const QList<QPair<QString, QRectF>>& boxes, const QPointF& p)
{
    for (auto it = boxes.crbegin(); it != boxes.crend(); ++it)
        if (it->second.adjusted(-2, -2, 2, 2).contains(p))
            return it->first;
    return std::nullopt;
}

} // namespace

TEST(CanvasNameLabelPicking, MatchesTheLabelListUnderBlockTransforms)
{
    // A grid of named points, some locked, with names of varied lengths.
    PlmEntityList entities;
    for (int i = 0; i < 120; ++i) {
        PlmEntity p = pointEntity(QStringLiteral("p%1").arg(i), (i % 12) * 9, (i / 12) * 10, 2);
        p.name = QString(1 + i % 7, QChar(u'A' + i % 26)) + (i % 11 == 0 ? QStringLiteral("\r\nbis") : QString());
        p.isLocked = i % 13 == 0;
        entities.append(p);
    }
    auto canvas = canvasOf(mapOf(entities));
    canvas->showEntityNames = true;
    canvas->entityNameFontSize = 9;
    canvas->onEntityNameMove = [](const QString&, const PlmPoint&) {};
    QTransform rotated;
    rotated.translate(50, 50);
    rotated.rotate(45);
    rotated.scale(0.7, 0.7);
    rotated.translate(-50, -50);
    int found = 0;
    for (const QTransform& block : {QTransform(), rotated}) {
        canvas->blockTransform = block;
        QList<QPair<QString, QRectF>> boxes;
        for (const VectorCanvas::NameLabel& label : canvas->entityNameLabels())
            if (!canvas->lockedEntityIDs.contains(label.id))
                boxes.append({label.id, CanvasPathBuilder::bounds(label.path)});
        for (double x = -10; x < 110; x += 2.3)
            for (double y = -10; y < 110; y += 1.9) {
                const std::optional<QString> expected = labelByList(boxes, QPointF(x, y));
                ASSERT_EQ(canvas->entityNameLabel(QPointF(x, y)), expected) << x << " " << y;
                found += expected ? 1 : 0;
            }
    }
    EXPECT_GT(found, 300);
}

TEST(CanvasNameLabelPicking, ALabelWhoseLinesReachTheViewIsDrawn)
{
    // The anchor lies below the view; carriage returns stack lines downward,
    // so only a name with many lines above its anchor could show. Here the
    // point sits above the view and its label's later lines come down into it.
    PlmEntity p = pointEntity("p", 50, 160, 0);
    p.name = QStringLiteral("M\rM\rM\rM\rM\rM\rM\rM\rM\rM\rM\rM");
    auto canvas = canvasOf(mapOf({p}));
    canvas->showEntityNames = true;
    const QList<VectorCanvas::NameLabel> labels = canvas->entityNameLabels();
    ASSERT_EQ(labels.size(), 1);
    const QRectF box = CanvasPathBuilder::bounds(labels[0].path);
    ASSERT_LT(box.top(), 60);  // its last lines lie inside the 100-point view
    const QImage image = canvas->renderToImage();
    int dark = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 40; x < 60; ++x)
            dark += qGray(image.pixel(x, y)) < 60 ? 1 : 0;
    EXPECT_GT(dark, 20);
}

TEST(CanvasNameLabelDrawing, ImagesDrawTheSameLabelsAsVectorDevices)
{
    // Images draw labels through the glyph cache; vector devices (PDF, SVG,
    // pictures) stroke and fill their outlines. Both must agree.
    PlmPolygon area;
    area.exterior = rect(0, 0, 200, 60);
    PlmEntity ground(QStringLiteral("bg"), QString(), PlmGeometry::polygon(area), style({0, 0, 0, 1}, PlmColor{0.3, 0.5, 0.8, 1}, 0));
    PlmEntity a = pointEntity("a", 100, 20, 3);
    a.name = QStringLiteral("Saint-Étienne-du-Rouvray");
    PlmEntity b = pointEntity("b", 100, 0, 3);
    b.name = QStringLiteral("Ligne 1\nLigne deux");
    auto canvas = canvasOf(mapOf({ground, a, b}));
    canvas->setFrame(QRectF(0, 0, 200, 60));
    canvas->showEntityNames = true;
    const double ratio = 4;
    const QImage raster = canvas->renderToImage(ratio);

    QPicture picture;
    {
        QPainter p(&picture);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(ratio, ratio);
        ViewNode::flipPainter(p, 60);
        canvas->drawTree(p, canvas->bounds());
    }
    QImage vector(raster.size(), QImage::Format_ARGB32_Premultiplied);
    vector.fill(Qt::white);
    {
        QPainter p(&vector);
        p.setRenderHint(QPainter::Antialiasing);
        p.drawPicture(0, 0, picture);
    }
    int black = 0, white = 0, different = 0;
    for (int y = 0; y < raster.height(); ++y)
        for (int x = 0; x < raster.width(); ++x) {
            const int g = qGray(raster.pixel(x, y));
            black += g < 40 ? 1 : 0;
            white += g > 240 ? 1 : 0;
            different += std::abs(g - qGray(vector.pixel(x, y))) > 96 ? 1 : 0;
        }
    EXPECT_GT(black, 3000);  // the glyphs
    EXPECT_GT(white, 3000);  // their halo
    EXPECT_LT(different, 1000) << "of " << raster.width() * raster.height();
}

TEST(CanvasStrokes, PathFillRulesSurviveTheDrawingCopies)
{
    // Two nested squares turning the same way, with many collinear points so
    // that the drawn copy is simplified: non-zero fills the inner one,
    // even-odd leaves it empty.
    auto square = [](double a, double b) {
        QList<PlmPathCommand> commands{PlmPathCommand::move({a, a})};
        const QList<PlmPoint> corners{{b, a}, {b, b}, {a, b}, {a, a}};
        PlmPoint from{a, a};
        for (const PlmPoint& to : corners) {
            for (int k = 1; k <= 10; ++k)
                commands.append(PlmPathCommand::line({from.x + (to.x - from.x) * k / 10, from.y + (to.y - from.y) * k / 10}));
            from = to;
        }
        commands.append(PlmPathCommand::close());
        return commands;
    };
    PlmVectorPath nested;
    nested.commands = square(10, 90) + square(30, 70);
    for (const bool evenOdd : {false, true}) {
        nested.evenOdd = evenOdd;
        PlmEntity e(QStringLiteral("n"), QString(), PlmGeometry::path(nested), style({0, 0, 0, 1}, PlmColor{1, 0, 0, 1}, 0));
        auto canvas = canvasOf(mapOf({e}));
        const QImage image = canvas->renderToImage();
        EXPECT_TRUE(isNear(pixelAt(image, 20, 50), red)) << evenOdd;
        EXPECT_TRUE(isNear(pixelAt(image, 50, 50), evenOdd ? white : red)) << evenOdd;
    }
}

TEST(CanvasDrawing, GroupedAreasTakeTheirTopLevelEntitysClassColour)
{
    // A country stored as a group: the class colour is keyed by the group, never by its parts.
    PlmEntityList parts;
    parts.append(squareEntity("mainland", 10, 10, 40, 40, PlmColor{1, 1, 1, 1}));
    parts.append(squareEntity("island", 60, 60, 90, 90, PlmColor{1, 1, 1, 1}));
    const PlmEntity country = groupEntity("FR", parts);
    const PlmEntity neighbour = squareEntity("BE", 60, 10, 90, 40, PlmColor{1, 1, 1, 1});
    auto canvas = canvasOf(mapOf({country, neighbour}));
    canvas->fillOverrides.insert("FR", PlmColor{0, 0, 1, 1});
    canvas->fillOverrides.insert("island", PlmColor{1, 0, 0, 1}); // a leaf's own id is no class key
    const QImage image = canvas->renderToImage();
    EXPECT_TRUE(isNear(pixelAt(image, 25, 25), QColor(0, 0, 255)));
    EXPECT_TRUE(isNear(pixelAt(image, 75, 75), QColor(0, 0, 255)));
    EXPECT_TRUE(isNear(pixelAt(image, 75, 25), QColor(255, 255, 255)));
}

TEST(CanvasDrawing, VectorOutputsWriteEachOpaqueAreaFilledAndStrokedOnce)
{
    // Areas with holes are paths, not rings: a PDF gets each one as a single
    // fill-and-stroke operation, unless a colour is translucent, and the holes stay empty.
    auto holed = [](const QString& id, double x, PlmColor fill) {
        PlmPolygon polygon;
        polygon.exterior = rect(x, 10, x + 40, 90);
        polygon.holes = {rect(x + 10, 40, x + 30, 60)};
        return PlmEntity(id, QString(), PlmGeometry::polygon(polygon), style({0, 0, 0, 1}, fill, 2));
    };
    const PlmColor red{1, 0, 0, 1};
    struct Row {
        const char* name;
        PlmColor secondFill;
        int together;
        int apart;
    };
    for (const Row& row : {Row{"opaque", red, 2, 0}, Row{"translucent", PlmColor{1, 0, 0, 0.5}, 1, 1}}) {
        auto canvas = canvasOf(mapOf({holed("a", 5, red), holed("b", 55, row.secondFill)}));
        QByteArray pdf;
        {
            QBuffer buffer(&pdf);
            buffer.open(QIODevice::WriteOnly);
            QPdfWriter writer(&buffer);
            writer.setResolution(72);
            writer.setPageLayout(QPageLayout(QPageSize(QSizeF(100, 100), QPageSize::Point), QPageLayout::Portrait,
                                             QMarginsF()));
            QPainter painter(&writer);
            ViewNode::flipPainter(painter, 100);
            canvas->drawTree(painter, canvas->bounds());
        }
        const qsizetype start = pdf.indexOf("stream\n", pdf.indexOf("/FlateDecode")) + 7;
        const QByteArray packed = pdf.mid(start, pdf.indexOf("endstream", start) - start);
        const QList<QByteArray> operators = qUncompress(QByteArray("\0\0\x10\0", 4) + packed).simplified().split(' ');
        EXPECT_EQ(operators.count("B*"), row.together) << row.name;
        EXPECT_EQ(operators.count("f*") + operators.count("S"), 2 * row.apart) << row.name;
        // Areas of one colour in a row share the brush: it is written once.
        EXPECT_EQ(operators.count("scn"), row.secondFill == red ? 2 : 3) << row.name;  // the page's white, then red
        if (row.secondFill == red) {
            const QImage page = PopplerTools::raster(pdf);
            ASSERT_FALSE(page.isNull());
            for (const double x : {10.0, 60.0}) {
                EXPECT_TRUE(isNear(pixelAt(page, x, 30), QColor(255, 0, 0))) << x;
                EXPECT_TRUE(isNear(pixelAt(page, x + 15, 50), QColor(255, 255, 255))) << x;
                EXPECT_TRUE(isNear(pixelAt(page, x, 90), QColor(0, 0, 0), 60)) << x;
            }
        }
    }
}

TEST(CanvasDrawing, ExportedImagesOfLargeMapsDrawTheSamePixelsInBands)
{
    // Large maps are drawn into exported images in bands, on several threads: every pixel
    // must come out as when the map is drawn in one go (here on a pixmap, never banded).
    PlmEntityList entities;
    for (int i = 0; i < 1200; ++i) {
        const double x = (i % 40) * 2.5, y = (i / 40) * 2.5 + 12;  // touching squares, overlapping strokes
        PlmPolygon polygon;
        polygon.exterior = rect(x, y, x + 2.5, y + 2.5);
        if (i % 3 == 0)
            polygon.holes = {rect(x + 0.8, y + 0.8, x + 1.7, y + 1.7)};
        const PlmColor fill{(i % 7) / 7.0, (i % 5) / 5.0, 0.6, i % 11 == 0 ? 0.5 : 1};
        entities.append(PlmEntity(QStringLiteral("e%1").arg(i), QString(), PlmGeometry::polygon(polygon),
                                  style({0.1, 0.1, 0.1, 1}, fill, 0.3)));
    }
    auto canvas = canvasOf(mapOf(entities));
    canvas->rendersForExport = true;
    const double ratio = 5;
    const QImage banded = canvas->renderToImage(ratio);
    QPixmap whole(banded.size());
    whole.fill(Qt::white);
    {
        QPainter p(&whole);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(ratio, ratio);
        ViewNode::flipPainter(p, 100);
        canvas->drawTree(p, canvas->bounds());
    }
    const QImage reference = whole.toImage().convertToFormat(banded.format());
    int different = 0;
    for (int y = 0; y < banded.height(); ++y)
        for (int x = 0; x < banded.width(); ++x)
            different += banded.pixel(x, y) != reference.pixel(x, y) ? 1 : 0;
    EXPECT_EQ(different, 0);
    EXPECT_TRUE(isNear(pixelAt(banded, 3.75 * ratio, 13.75 * ratio), QColor(36, 51, 153))) << "the second area shows";
}
