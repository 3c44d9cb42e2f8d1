#include "canvas/VectorCanvas.h"
#include "page/CarteCompositionHost.h"
#include "page/MapScaleSlider.h"
#include "page/ThematicCanvas.h"
#include "support/CompositionTestSupport.h"
#include "support/WidgetInput.h"
#include "support/KeptRenders.h"

#include <QMouseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <gtest/gtest.h>

using namespace CompositionTestSupport;

namespace {

bool nearPoint(const QPointF& a, const QPointF& b, double tolerance = 1e-6)
{
    return std::abs(a.x() - b.x()) < tolerance && std::abs(a.y() - b.y()) < tolerance;
}

} // namespace

TEST(CarteCompositionHostLayout, ThePageFitsWithTwelvePointMarginsAndAFramingRectFillsTheHost)
{
    Hosted h = hosted(gridMap(2), {800, 600}, {824, 624});
    EXPECT_EQ(h.canvas->frame(), QRectF(12, 12, 800, 600));
    EXPECT_EQ(h.canvas->bounds(), QRectF(0, 0, 800, 600));
    // A host twice as large shows the page twice as large; its bounds stay the page.
    resizeWidget(*h.widget, 1624, 1224);
    EXPECT_EQ(h.canvas->frame(), QRectF(12, 12, 1600, 1200));
    EXPECT_EQ(h.canvas->bounds(), QRectF(0, 0, 800, 600));
    // A quarter of the page framed fills the host at zoom 1.
    h.host->framingRect = QRectF(400, 300, 400, 300);
    h.host->layoutComposition();
    EXPECT_TRUE(nearPoint(h.canvas->convertToSuperview(QPointF(400, 300)), QPointF(12, 12)));
    EXPECT_TRUE(nearPoint(h.canvas->convertToSuperview(QPointF(800, 600)), QPointF(1612, 1212)));
}

TEST(CarteCompositionHostLayout, AnEmptyHostLaysOutNothingAndTheFirstRealSizeMakesThePage)
{
    auto widget = std::make_unique<ViewHost>();
    widget->resize(0, 0);
    auto* canvas = new ThematicCanvas(gridMap(3));
    auto* host = new CarteCompositionHost(canvas);
    widget->setRootNode(host);
    host->layoutSubtreeIfNeeded();
    EXPECT_FALSE(canvas->compositionSize);
    resizeWidget(*widget, 500, 400);
    ASSERT_TRUE(canvas->compositionSize);
    EXPECT_EQ(*canvas->compositionSize, QSizeF(500, 400));
    ASSERT_TRUE(canvas->compositionViewport);
    // The map was fitted into the page: its drawn extent lies inside with the 32-point margin.
    const QRectF block = canvas->vector()->originalBlockBounds();
    EXPECT_GE(block.left(), 31.9);
    EXPECT_LE(block.right(), 500 - 31.9);
    // Later resizes only rescale the page.
    resizeWidget(*widget, 1000, 800);
    EXPECT_EQ(*canvas->compositionSize, QSizeF(500, 400));
    EXPECT_NEAR(canvas->boundsScale().x(), (1000 - 24) / 500.0 < (800 - 24) / 400.0 ? 976 / 500.0 : 776 / 400.0, 1e-12);
}

TEST(CarteCompositionHostZoom, ZoomKeepsThePointUnderThePointerAndStopsAtItsLimits)
{
    Hosted h = hosted(gridMap(2), {800, 600}, {824, 624});
    const QPointF anchor(200, 150);
    const QPointF before = h.canvas->convertToSuperview(anchor);
    h.host->zoomBy(2.5, anchor);
    EXPECT_DOUBLE_EQ(h.host->zoom, 2.5);
    EXPECT_TRUE(nearPoint(h.canvas->convertToSuperview(anchor), before));
    for (int i = 0; i < 20; ++i)
        h.host->zoomBy(2, anchor);
    EXPECT_DOUBLE_EQ(h.host->zoom, 20);
    const QPointF pan = h.host->pan;
    h.host->zoomBy(2, QPointF(700, 500));  // ratio 1 at the limit: the pan stays
    EXPECT_EQ(h.host->pan, pan);
    for (int i = 0; i < 40; ++i)
        h.host->zoomBy(0.5, anchor);
    EXPECT_DOUBLE_EQ(h.host->zoom, 0.1);
    // Panning from the map moves the page by the displacement shown at the current scale.
    h.host->zoom = 2;
    h.host->pan = {};
    h.host->layoutComposition();
    h.canvas->vector()->onCompositionPan(QPointF(10, -5));
    EXPECT_TRUE(nearPoint(h.host->pan, QPointF(20, -10)));
}

TEST(CarteCompositionHostZoom, AZoomRectangleFillsTheVisibleExtentAroundItsOwnCentre)
{
    Hosted h = hosted(gridMap(2), {800, 600}, {824, 624});
    // Eight points or less in either direction does nothing.
    h.canvas->vector()->onCompositionZoomRect(QRectF(100, 100, 8, 200));
    EXPECT_EQ(h.host->zoom, 1);
    // Already zoomed in twice: a rectangle a quarter of the visible width (and of a tighter
    // height) must fill the view, so the factor comes from the visible extent (400 × 300
    // page points), not from the whole page.
    h.host->zoomBy(2, QPointF(400, 300));
    const QRectF visible = h.host->visibleCanvasRect();
    EXPECT_NEAR(visible.width(), 412, 1e-9);  // 824 host points at 2 host points per page point
    const QRectF r(300, 250, 103, 50);
    ASSERT_TRUE(h.host->zoomRectFactor(r));
    EXPECT_NEAR(*h.host->zoomRectFactor(r), 4, 1e-9);
    h.canvas->vector()->onCompositionZoomRect(r);
    EXPECT_NEAR(h.host->zoom, 8, 1e-9);
    // Its centre is now the centre of the host, and it spans the whole visible width.
    EXPECT_TRUE(nearPoint(h.canvas->convertToSuperview(r.center()), h.host->bounds().center()));
    EXPECT_NEAR(h.host->visibleCanvasRect().width(), r.width(), 1e-6);
}

TEST(MapScaleSliderTracking, APressStartsTrackingAndTheReleaseEndsIt)
{
    MapScaleSlider slider(100, 0.1, 1000);
    slider.resize(200, 20);
    QList<bool> tracking;
    slider.onTracking = [&](bool on) { tracking.append(on); };
    sendMouse(&slider, QEvent::MouseButtonPress, QPoint(100, 10));
    EXPECT_EQ(tracking, QList<bool>{true});
    sendMouse(&slider, QEvent::MouseButtonRelease, QPoint(120, 10));
    EXPECT_EQ(tracking, (QList<bool>{true, false}));
}

TEST(CarteCompositionHostDrawing, AZoomedPageDrawsEachElementWhereTheHostShowsIt)
{
    const PlmMap map = gridMap(4);
    Hosted h = hosted(map, {400, 300}, {424, 324});
    ThematicCanvas& canvas = *h.canvas;
    canvas.symbols()->setHidden(false);
    canvas.symbols()->setItems(itemsAtCentres(map, 10));
    canvas.symbols()->setColor({0, 0.6, 0, 1});
    canvas.legend()->setTitle(QStringLiteral("Titre"));
    canvas.layoutComposition();
    h.host->zoomBy(2, QPointF(150, 150));
    const QImage image = h.host->renderToImage(1.0);
    KeptRenders::keep(QStringLiteral("composition-zoomed.png"), image);
    // A symbol inside the visible part lands where the host maps its centre, green.
    int checked = 0;
    for (const ProportionalOverlay::Item& item : canvas.symbols()->items()) {
        const QPointF shown = canvas.convertToSuperview(canvas.symbols()->placedCenter(item.point));
        if (!h.host->bounds().adjusted(10, 10, -10, -10).contains(shown))
            continue;
        const QColor c = CanvasTestMaps::pixelAt(image, shown.x(), shown.y());
        EXPECT_GT(c.green(), 120);
        EXPECT_LT(c.red(), 60);
        ++checked;
    }
    EXPECT_GT(checked, 2);
    // Beyond the page, the host's own background.
    EXPECT_EQ(CanvasTestMaps::pixelAt(image, 1, 1), QColor(Qt::white));
}

TEST(CarteCompositionHostZoom, ZoomAndPanMoveOnlyTheCanvasFrameThePageIsNotLaidOutAgain)
{
    // Counts the page's layout passes.
    class CountingCanvas : public ThematicCanvas {
    public:
        using ThematicCanvas::ThematicCanvas;
        void layout() override
        {
            ++layouts;
            ThematicCanvas::layout();
        }
        int layouts = 0;
    };
    auto widget = std::make_unique<ViewHost>();
    widget->resize(424, 324);
    auto* canvas = new CountingCanvas(gridMap(3));
    canvas->compositionSize = QSizeF(400, 300);
    auto* host = new CarteCompositionHost(canvas);
    widget->setRootNode(host);
    host->layoutSubtreeIfNeeded();
    const int settled = canvas->layouts;
    const QRectF legend = canvas->legend()->frame();
    host->zoomBy(1.5, QPointF(100, 100));
    canvas->vector()->onCompositionPan(QPointF(20, 10));
    host->layoutSubtreeIfNeeded();
    EXPECT_EQ(canvas->layouts, settled);
    EXPECT_EQ(canvas->legend()->frame(), legend);
    EXPECT_NE(canvas->frame(), QRectF(12, 12, 400, 300));
}
