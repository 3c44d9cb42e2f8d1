#include "canvas/VectorCanvas.h"
#include "page/CarteBlockHandles.h"
#include "page/ThematicCanvas.h"
#include "support/CanvasEvents.h"
#include "support/CompositionTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace CompositionTestSupport;

namespace {

// An 800 × 600 page shown unscaled at (12, 12), with selected handles over it.
struct BlockPage {
    Hosted h;
    CarteBlockHandles* handles;
    int changes = 0;
    int previews = 0;

    explicit BlockPage(const PlmMap& map = gridMap(3)) : h(hosted(map, {800, 600}, {824, 624}))
    {
        handles = new CarteBlockHandles(h.canvas);
        h.canvas->addSubview(handles);
        h.canvas->layoutComposition();
        handles->setSelected(true);
        handles->onChange = [this] { ++changes; };
        handles->onPreview = [this] { ++previews; };
    }
    QPointF screen(const QPointF& canvasPoint) const { return canvasPoint + QPointF(12, 12); }
    QTransform transform() const { return h.canvas->vector()->blockTransform; }
    QRectF block() const { return handles->blockBounds(); }
};

bool near(const QPointF& a, const QPointF& b) { return std::hypot(a.x() - b.x(), a.y() - b.y()) < 1e-6; }

} // namespace

TEST(CarteBlockHandlesGeometry, HandlesRunCounterClockwiseAndTheKnobStands28PointsAboveTheTop)
{
    BlockPage t;
    const QRectF b = t.block();
    ASSERT_FALSE(b.isNull());
    const auto points = t.handles->handlePoints();
    EXPECT_TRUE(near(points[0], QPointF(b.left(), b.top())));  // y up: top() is the lowest edge
    EXPECT_TRUE(near(points[4], QPointF(b.right(), b.bottom())));
    EXPECT_TRUE(near(points[7], QPointF(b.left(), b.center().y())));
    EXPECT_TRUE(near(t.handles->rotationHandlePoint(), QPointF(b.center().x(), b.bottom() + 28)));
    // Scaled three times vertically, the knob still stands 28 points above the edge.
    t.h.canvas->vector()->blockTransform = QTransform(1, 0, 0, 3, 0, 0);
    EXPECT_TRUE(near(t.handles->rotationHandlePoint(), QPointF(b.center().x(), 3 * b.bottom() + 28)));
}

TEST(CarteBlockHandlesHits, HandlesAndTheBlockTakeClicksOnlyWhileSelectedAndNotExporting)
{
    PlmEntityList entities;
    entities.append(CanvasTestMaps::squareEntity(QStringLiteral("wide"), 0, 0, 100, 20));
    BlockPage t(CanvasTestMaps::mapOf(entities));
    const QRectF b = t.block();
    ASSERT_GT(b.width(), 2 * b.height());
    EXPECT_EQ(t.handles->hitTarget(b.center()), t.handles);
    EXPECT_EQ(t.handles->hitTarget(QPointF(b.left() - 9, b.top())), t.handles);
    EXPECT_EQ(t.handles->hitTarget(QPointF(b.left() - 11, b.top() - 11)), nullptr);
    // Turned a quarter about its centre, the block is hit inside its turned outline, not in
    // the part of its unrotated bounds that the turn left.
    const QPointF c = b.center();
    t.h.canvas->vector()->blockTransform =
        QTransform::fromTranslate(-c.x(), -c.y()) * QTransform().rotate(90) * QTransform::fromTranslate(c.x(), c.y());
    EXPECT_EQ(t.handles->hitTarget(c + QPointF(0, b.width() * 0.4)), t.handles);
    EXPECT_EQ(t.handles->hitTarget(c + QPointF(b.width() * 0.4, 0)), nullptr);
    t.h.canvas->isExporting = true;
    EXPECT_EQ(t.handles->hitTarget(c), nullptr);
    t.h.canvas->isExporting = false;
    t.handles->setSelected(false);
    EXPECT_EQ(t.handles->hitTarget(c), nullptr);
}

TEST(CarteBlockHandlesDrag, MovingReportsOnReleaseOnlyAndAClickReportsNothing)
{
    BlockPage t;
    const QPointF c = t.block().center();
    CanvasEvents::click(*t.h.widget, t.screen(c));
    EXPECT_EQ(t.changes, 0);
    EXPECT_TRUE(t.transform().isIdentity());
    CanvasEvents::press(*t.h.widget, t.screen(c));
    CanvasEvents::drag(*t.h.widget, t.screen(c + QPointF(30, -20)));
    EXPECT_EQ(t.changes, 0);
    EXPECT_EQ(t.previews, 1);
    CanvasEvents::release(*t.h.widget, t.screen(c + QPointF(30, -20)));
    EXPECT_EQ(t.changes, 1);
    EXPECT_EQ(t.transform(), QTransform::fromTranslate(30, -20));
}

TEST(CarteBlockHandlesDrag, ResizingStopsAtAHundredthAndShiftScalesUniformlyAboutTheFixedPoint)
{
    struct Row {
        const char* name;
        int handle;
        QPointF delta;
        Qt::KeyboardModifiers modifiers;
        double fx, fy;
        bool fixedLeft, fixedBottom;  // which block corner stays
    };
    const Row rows[] = {
        {"left handle past the right edge", 7, {5000, 0}, {}, 0.01, 1, false, false},
        {"top middle with shift", 5, {0, 0}, Qt::ShiftModifier, 1.5, 1.5, false, true},
        {"right handle", 3, {0, 0}, {}, 1.25, 1, true, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        BlockPage t;
        const QRectF b = t.block();
        QPointF delta = row.delta;
        if (row.handle == 5)
            delta = {0, b.height() * 0.5};
        if (row.handle == 3)
            delta = {b.width() * 0.25, 0};
        const QPointF from = t.handles->handlePoints()[size_t(row.handle)];
        CanvasEvents::dragFromTo(*t.h.widget, t.screen(from), t.screen(from + delta), row.modifiers);
        ASSERT_EQ(t.handles->handle, std::optional<int>(row.handle));
        const QTransform m = t.transform();
        EXPECT_NEAR(m.m11(), row.fx, 1e-9);
        EXPECT_NEAR(m.m22(), row.fy, 1e-9);
        // The fixed point: the opposite side's middle (or the bottom middle for handle 5).
        const double fixedX = row.handle == 7 ? b.right() : row.handle == 3 ? b.left() : b.center().x();
        const double fixedY = row.handle == 5 ? b.top() : b.center().y();
        EXPECT_TRUE(near(m.map(QPointF(fixedX, fixedY)), QPointF(fixedX, fixedY)));
        EXPECT_EQ(t.changes, 1);
    }
}

TEST(CarteBlockHandlesDrag, ABlockWithoutWidthKeepsFactorOneOnThatAxis)
{
    // A vertical line: the block has height but no width.
    PlmEntityList entities;
    entities.append(CanvasTestMaps::lineEntity(QStringLiteral("l"), {{50, 0}, {50, 100}}, 0));
    BlockPage t(CanvasTestMaps::mapOf(entities));
    const QRectF b = t.block();
    ASSERT_EQ(b.width(), 0);
    t.handles->handle = 4;  // top-right corner
    t.handles->start = t.handles->handlePoints()[4];
    t.handles->original = QTransform();
    const QTransform m = t.handles->draggedTransform(t.handles->start + QPointF(40, b.height() / 2), {});
    EXPECT_EQ(m.m11(), 1);
    EXPECT_NEAR(m.m22(), 1.5, 1e-9);
    EXPECT_TRUE(std::isfinite(m.dx()) && std::isfinite(m.dy()));
}

TEST(CarteBlockHandlesDrag, TheRotationHandleTurnsTheBlockAboutItsCentre)
{
    BlockPage t;
    const QRectF b = t.block();
    const QPointF c = b.center();
    const QPointF knob = t.handles->rotationHandlePoint();
    const double r = knob.y() - c.y();
    CanvasEvents::dragFromTo(*t.h.widget, t.screen(knob), t.screen(c + QPointF(-r, 0)));
    EXPECT_EQ(t.handles->handle, std::optional<int>(8));
    const QTransform m = t.transform();
    EXPECT_NEAR(std::atan2(m.m12(), m.m11()) * 180 / M_PI, 90, 1e-9);
    EXPECT_TRUE(near(m.map(c), c));
}

TEST(CarteBlockHandlesKeys, ArrowsReportAtOnceEscapeDeselectsAndADoubleClickLeavesTheBlock)
{
    BlockPage t;
    t.h.widget->setFirstResponder(t.handles);
    CanvasEvents::key(*t.h.widget, Qt::Key_Right);
    CanvasEvents::key(*t.h.widget, Qt::Key_Up, Qt::ShiftModifier);
    EXPECT_EQ(t.changes, 2);
    EXPECT_EQ(t.transform(), QTransform::fromTranslate(1, 10));
    CanvasEvents::key(*t.h.widget, Qt::Key_Escape);
    EXPECT_FALSE(t.handles->selected);
    t.handles->setSelected(true);
    CanvasEvents::doubleClick(*t.h.widget, t.screen(t.block().center()));
    EXPECT_FALSE(t.handles->selected);
}
