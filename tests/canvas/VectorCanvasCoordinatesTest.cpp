#include "canvas/CanvasPathBuilder.h"
#include "canvas/VectorCanvas.h"
#include "desktop/ViewHost.h"
#include "support/CanvasTestMaps.h"

#include <QCoreApplication>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <cmath>

using namespace CanvasTestMaps;

namespace {

std::unique_ptr<VectorCanvas> canvasOf(const PlmMap& map, double w = 400, double h = 300)
{
    auto canvas = std::make_unique<VectorCanvas>(map, true, QStringLiteral("Vide"));
    canvas->setFrame(QRectF(0, 0, w, h));
    return canvas;
}

} // namespace

TEST(VectorCanvasFit, SinglePointCountsAsOneMapUnitAndSitsInTheCentre)
{
    auto canvas = canvasOf(mapOf({pointEntity("p", 5, 7)}));
    canvas->fit(true);
    EXPECT_DOUBLE_EQ(canvas->scale(), 236.0);  // min(400 - 64, 300 - 64)
    const QPointF v = canvas->viewPoint(QPointF(5, 7));
    EXPECT_NEAR(v.x(), 200, 1e-9);
    EXPECT_NEAR(v.y(), 150, 1e-9);
    EXPECT_TRUE(canvas->fitted);
    EXPECT_TRUE(canvas->tracksFit);
}

TEST(VectorCanvasFit, RectangleIsFramedWithA32PointMargin)
{
    auto canvas = canvasOf(mapOf({squareEntity("r", 0, 0, 10, 5)}));
    canvas->fit(true);
    EXPECT_DOUBLE_EQ(canvas->scale(), std::min(336.0 / 10, 236.0 / 5));
    EXPECT_NEAR(canvas->offset().x(), 200 - 5 * canvas->scale(), 1e-9);
    EXPECT_NEAR(canvas->offset().y(), 150 - 2.5 * canvas->scale(), 1e-9);
}

// A fit measures the map it shows: a replaced map, or one entity moved, is framed anew.
TEST(VectorCanvasFit, AChangedMapIsMeasuredAgain)
{
    auto canvas = canvasOf(mapOf({squareEntity("r", 0, 0, 10, 5), squareEntity("s", 2, 2, 3, 3)}));
    canvas->fit(true);
    canvas->setMap(mapOf({squareEntity("r", 0, 0, 10, 5), squareEntity("s", 2, 2, 20, 3)}));
    canvas->fit(true);
    EXPECT_DOUBLE_EQ(canvas->scale(), std::min(336.0 / 20, 236.0 / 5));
    canvas->setMap(mapOf({squareEntity("t", 0, 0, 1, 1)}));
    canvas->fit(false);
    EXPECT_DOUBLE_EQ(canvas->scale(), 236.0);
    EXPECT_NEAR(canvas->offset().x(), 200 - 0.5 * 236.0, 1e-9);
}

TEST(VectorCanvasFit, ExtentUnderOneMapUnitStillFillsTheView)
{
    // A town in degrees: 0.05° wide. Only a zero extent counts as one unit.
    auto canvas = canvasOf(mapOf({squareEntity("t", 2.30, 48.80, 2.35, 48.82)}));
    canvas->fit(true);
    EXPECT_NEAR(canvas->scale(), std::min(336.0 / 0.05, 236.0 / 0.02), 1e-6);
    // A horizontal line: zero height counts as one unit, the width decides.
    auto line = canvasOf(mapOf({lineEntity("l", {{0, 0}, {0.5, 0}})}));
    line->fit(true);
    EXPECT_NEAR(line->scale(), std::min(336.0 / 0.5, 236.0 / 1), 1e-9);
}

TEST(VectorCanvasFit, RegionsSymbolsAndHiddenEntities)
{
    PlmMap france = mapOf({pointEntity("p", 100, 100)}, {{"source.category", "France"}});
    auto canvas = canvasOf(france);
    ASSERT_TRUE(canvas->fitRegion.has_value());
    EXPECT_EQ(*canvas->fitRegion, QRectF(-6, 41, 16, 11));
    canvas->layout();
    EXPECT_DOUBLE_EQ(canvas->scale(), std::min(336.0 / 16, 236.0 / 11));
    canvas->fit(true);
    EXPECT_FALSE(canvas->fitRegion.has_value());
    EXPECT_DOUBLE_EQ(canvas->scale(), 236.0);

    PlmEntity symbol = pointEntity("s", 0, 0, 5);
    symbol.pointSymbol = PlmPointSymbol(QStringLiteral("star.fill"), std::nullopt);
    PlmEntity hidden = pointEntity("h", 40, 0);
    hidden.isHidden = true;
    auto withSymbol = canvasOf(mapOf({symbol}));
    withSymbol->fit(true);
    EXPECT_DOUBLE_EQ(withSymbol->scale(), 236.0 / 10);  // a 10 × 10 square
    auto withHidden = canvasOf(mapOf({pointEntity("a", 0, 0), hidden}));
    withHidden->fit(true);
    EXPECT_DOUBLE_EQ(withHidden->scale(), 336.0 / 40);
}

TEST(VectorCanvasFit, ExtremeExtentsKeepAFiniteScaleWithinTheZoomRange)
{
    // Two vertices a denormal apart: the extent is not zero, yet dividing by it overflows.
    auto tiny = canvasOf(mapOf({lineEntity("l", {{0, 0}, {1e-320, 1e-320}})}));
    tiny->fit(true);
    EXPECT_DOUBLE_EQ(tiny->scale(), 1e8);
    EXPECT_TRUE(std::isfinite(tiny->offset().x()) && std::isfinite(tiny->offset().y()));
    tiny->zoom(0.5);
    EXPECT_DOUBLE_EQ(tiny->scale(), 5e7);
    EXPECT_TRUE(std::isfinite(tiny->offset().x()));

    // An extent that overflows to infinity must not give a zero scale.
    auto huge = canvasOf(mapOf({lineEntity("l", {{-1.5e308, 0}, {1.5e308, 1}})}));
    huge->fit(true);
    EXPECT_DOUBLE_EQ(huge->scale(), 1e-8);
    const QPointF back = huge->mapPoint(huge->viewPoint(QPointF(1e6, 1)));
    EXPECT_NEAR(back.x(), 1e6, 1);
}

TEST(VectorCanvasFit, BackgroundImagesAndTextsAreFramedWhole)
{
    PlmBackgroundImage image;
    image.position = PlmPoint{0, 0};
    image.width = 100;
    image.height = 50;
    auto canvas = canvasOf(mapOf({pointEntity("p", 0, 0)}));
    canvas->setBackgroundImage(image);
    canvas->fit(true);
    EXPECT_DOUBLE_EQ(canvas->scale(), std::min(336.0 / 100, 236.0 / 50));
    EXPECT_NEAR(canvas->viewPoint(QPointF(50, 25)).x(), 200, 1e-9);
    // A fit region frames the region alone, the image aside.
    canvas->fitRegion = QRectF(0, 0, 10, 10);
    canvas->fit(false);
    EXPECT_DOUBLE_EQ(canvas->scale(), 23.6);

    // A text is framed by its glyphs, on either y axis.
    PlmText text;
    text.text = QStringLiteral("Lac");
    text.fontName = QStringLiteral("Helvetica");
    text.fontSize = 20;
    text.anchor = QStringLiteral("start");
    for (const bool down : {false, true}) {
        text.transform = PlmTransform{1, 0, 0, down ? -1.0 : 1.0, 5, 5};
        PlmEntity t(QStringLiteral("t"), QString(), PlmGeometry::text(text), style({0, 0, 0, 1}, PlmColor{0, 0, 0, 1}, 0));
        auto framed = down ? canvasOf(mapOf({t}, {{"coordinates.yAxis", "down"}})) : canvasOf(mapOf({t}));
        framed->fit(true);
        const QRectF drawn = CanvasPathBuilder::bounds(framed->path(t.geometry, t.attributes));
        EXPECT_NEAR(drawn.center().x(), 200, 1e-6) << down;
        EXPECT_NEAR(drawn.center().y(), 150, 1e-6) << down;
        EXPECT_TRUE(std::abs(drawn.width() - 336) < 1e-6 || std::abs(drawn.height() - 236) < 1e-6) << down;
    }
}

TEST(VectorCanvasFit, EmptyViewOrEmptyMapKeepsTheTransform)
{
    VectorCanvas zero(mapOf({pointEntity("p", 1, 1)}), true, QString());
    zero.fit(true);
    EXPECT_FALSE(zero.fitted);
    EXPECT_DOUBLE_EQ(zero.scale(), 1);

    int reports = 0;
    auto empty = canvasOf(mapOf({}));
    empty->onViewportChange = [&] { ++reports; };
    empty->fit(true);
    EXPECT_TRUE(empty->fitted);
    EXPECT_EQ(reports, 0);
    EXPECT_DOUBLE_EQ(empty->scale(), 1);
}

TEST(VectorCanvasTransform, YAxisDownFlipsAndRoundTrips)
{
    auto down = canvasOf(mapOf({pointEntity("p", 0, 0)}, {{"coordinates.yAxis", "down"}}));
    EXPECT_DOUBLE_EQ(down->yAxisSign(), -1);
    EXPECT_LT(down->viewPoint(QPointF(0, 10)).y(), down->viewPoint(QPointF(0, 0)).y());
    down->setScale(3.5);
    down->setOffset(QPointF(12, -4));
    const QPointF v(33.25, 71.5);
    const QPointF back = down->viewPoint(down->mapPoint(v));
    EXPECT_NEAR(back.x(), v.x(), 1e-9);
    EXPECT_NEAR(back.y(), v.y(), 1e-9);

    auto legacy = canvasOf(mapOf({}, {{"legacy.variant", "compact-v1"}}));
    EXPECT_DOUBLE_EQ(legacy->yAxisSign(), -1);
    auto overridden = canvasOf(mapOf({}, {{"legacy.variant", "compact-v1"}, {"coordinates.yAxis", "up"}}));
    EXPECT_DOUBLE_EQ(overridden->yAxisSign(), 1);
}

TEST(VectorCanvasTransform, BlockTransformShiftsConversionsUnlessOriginalBlock)
{
    auto canvas = canvasOf(mapOf({}));
    canvas->setScale(2);
    canvas->blockTransform = QTransform::fromTranslate(100, 0);
    const QPointF plain(2 * 3, 2 * 4);
    EXPECT_EQ(canvas->viewPoint(QPointF(3, 4)), plain + QPointF(100, 0));
    EXPECT_EQ(canvas->mapPoint(plain + QPointF(100, 0)), QPointF(3, 4));
    canvas->rendersOriginalBlock = true;
    EXPECT_EQ(canvas->viewPoint(QPointF(3, 4)), plain);
}

TEST(VectorCanvasTransform, ViewportRoundTripStopsTracking)
{
    auto canvas = canvasOf(mapOf({squareEntity("r", 0, 0, 10, 5)}, {{"coordinates.yAxis", "down"}}));
    canvas->fit(true);
    canvas->zoom(3, QPointF(50, 60));
    const double s = canvas->scale();
    const QPointF o = canvas->offset();
    const PlmDecorationViewport viewport = canvas->currentViewport();
    canvas->fit(true);
    canvas->apply(viewport);
    EXPECT_NEAR(canvas->scale(), s, 1e-9 * s);
    EXPECT_NEAR(canvas->offset().x(), o.x(), 1e-9);
    EXPECT_NEAR(canvas->offset().y(), o.y(), 1e-9);
    EXPECT_TRUE(canvas->fitted);
    EXPECT_FALSE(canvas->tracksFit);
    // A layout now keeps the framing.
    canvas->setFrame(QRectF(0, 0, 500, 500));
    canvas->layout();
    EXPECT_NEAR(canvas->scale(), s, 1e-9 * s);
}

TEST(VectorCanvasZoom, MapPointUnderThePointerStays)
{
    auto canvas = canvasOf(mapOf({squareEntity("r", 0, 0, 10, 5)}));
    canvas->fit(true);
    const QPointF pointer(123, 45);
    const QPointF before = canvas->mapPoint(pointer);
    canvas->zoom(2.5, pointer);
    const QPointF after = canvas->mapPoint(pointer);
    EXPECT_NEAR(after.x(), before.x(), 1e-9);
    EXPECT_NEAR(after.y(), before.y(), 1e-9);
    EXPECT_FALSE(canvas->tracksFit);
    EXPECT_TRUE(canvas->fitted);
}

TEST(VectorCanvasZoom, ScaleIsClampedAndBothStoresAreReported)
{
    auto canvas = canvasOf(mapOf({}));
    canvas->setScale(1e8);
    canvas->setOffset(QPointF(7, 8));
    int reports = 0;
    canvas->onViewportChange = [&] { ++reports; };
    canvas->zoom(10, QPointF(30, 40));
    EXPECT_DOUBLE_EQ(canvas->scale(), 1e8);
    EXPECT_EQ(canvas->offset(), QPointF(7, 8));
    EXPECT_EQ(reports, 2);
    canvas->setScale(1e-8);
    canvas->zoom(0.001);
    EXPECT_DOUBLE_EQ(canvas->scale(), 1e-8);
}

TEST(VectorCanvasZoom, WheelIsBoundedAndCanBeHandedToTheComposition)
{
    auto canvas = canvasOf(mapOf({}));
    ViewWheelEvent wheel;
    wheel.location = QPointF(10, 10);
    wheel.deltaY = 100;
    canvas->scrollWheel(wheel);
    EXPECT_NEAR(canvas->scale(), std::exp(0.35), 1e-12);
    canvas->setScale(1);
    wheel.deltaY = -1;
    canvas->scrollWheel(wheel);
    EXPECT_NEAR(canvas->scale(), std::exp(-0.02), 1e-12);

    canvas->setScale(1);
    double reported = 0;
    canvas->onCompositionZoom = [&](double f, const QPointF&) { reported = f; };
    wheel.deltaY = 10;
    canvas->scrollWheel(wheel);
    EXPECT_DOUBLE_EQ(canvas->scale(), 1);
    EXPECT_NEAR(reported, std::exp(0.2), 1e-12);

    VectorCanvas passive(mapOf({}), false, QString());
    passive.scrollWheel(wheel);
    ViewMagnifyEvent pinch;
    pinch.magnification = 0.5;
    passive.magnify(pinch);
    EXPECT_DOUBLE_EQ(passive.scale(), 1);
}

TEST(VectorCanvasCreation, DragCommitReportsOnlyAChange)
{
    auto canvas = canvasOf(mapOf({squareEntity("a", 0, 0, 1, 1)}));
    int calls = 0;
    QString name;
    canvas->onCreationEdit = [&](const QList<QPair<int, PlmEntity>>& edits, const QString& n) {
        ++calls;
        name = n;
        EXPECT_EQ(edits.size(), 1);
    };
    EXPECT_FALSE(canvas->finishCreationGesture());  // creation mode off
    canvas->creationEnabled = true;
    canvas->creationStart = PlmPoint{0, 0};
    canvas->creationOriginals = {{0, canvas->map().entities.at(0)}};
    EXPECT_TRUE(canvas->finishCreationGesture());
    EXPECT_EQ(calls, 0);
    EXPECT_FALSE(canvas->creationStart.has_value());

    canvas->creationStart = PlmPoint{0, 0};
    canvas->creationOriginals = {{0, canvas->map().entities.at(0)}};
    PlmEntity moved = canvas->map().entities.at(0);
    moved.translate(2, 0);
    canvas->replaceEntity({0}, moved);
    EXPECT_TRUE(canvas->finishCreationGesture());
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(name, QStringLiteral("Modifier les entités"));

    canvas->setDrawingTool(VectorCanvas::DrawingTool::polygon);
    EXPECT_TRUE(canvas->finishCreationGesture());
    EXPECT_EQ(VectorCanvas::drawingToolFromRaw(8), VectorCanvas::DrawingTool::point);
    EXPECT_FALSE(VectorCanvas::drawingToolFromRaw(9).has_value());
    EXPECT_EQ(VectorCanvas::allDrawingTools().size(), 9);
}

TEST(VectorCanvasHosted, AWheelNotchOverTheHostZoomsAboutTenPercentAroundThePointer)
{
    ViewHost host;
    host.resize(400, 300);
    auto* canvas = new VectorCanvas(mapOf({squareEntity("r", 0, 0, 10, 5)}), true, QString());
    host.setRootNode(canvas);
    canvas->layoutSubtreeIfNeeded();  // the first layout fits
    ASSERT_TRUE(canvas->fitted);
    const double fitted = canvas->scale();
    const QPointF pointer = host.rootPoint(QPointF(120, 80));
    const QPointF under = canvas->mapPoint(pointer);
    QWheelEvent wheel(QPointF(120, 80), QPointF(120, 80), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(&host, &wheel);
    EXPECT_NEAR(canvas->scale() / fitted, std::exp(0.096), 1e-9);
    const QPointF still = canvas->mapPoint(pointer);
    EXPECT_NEAR(still.x(), under.x(), 1e-9);
    EXPECT_NEAR(still.y(), under.y(), 1e-9);
    // Resizing the host keeps the zoomed framing (no longer tracking the fit).
    host.resize(600, 400);
    canvas->layoutSubtreeIfNeeded();
    EXPECT_NEAR(canvas->scale() / fitted, std::exp(0.096), 1e-9);
}
