#include "desktop/ViewHost.h"
#include "desktop/ViewNode.h"
#include "support/ShownPixels.h"
#include "support/ViewHostEvents.h"

#include <QCoreApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

namespace {

// Fills its bounds and records the events it receives.
class ProbeNode : public ViewNode {
public:
    explicit ProbeNode(QColor c = Qt::red) : color(c) {}
    void draw(QPainter& p, const QRectF&) override
    {
        p.fillRect(bounds(), color);
        // A mark in the bottom-left corner, which y-up puts at the image's last rows.
        p.fillRect(QRectF(0, 0, 4, 4), Qt::blue);
    }
    void mouseDown(const ViewMouseEvent& e) override { downs.append(e.location); clicks = e.clickCount; }
    void mouseDragged(const ViewMouseEvent& e) override { drags.append(e.location); }
    void mouseUp(const ViewMouseEvent& e) override { ups.append(e.location); }
    void scrollWheel(const ViewWheelEvent& e) override { wheel = e.deltaY; wheelAt = e.location; }
    void keyDown(const ViewKeyEvent& e) override { keys.append(e.key); }
    bool acceptsFirstResponder() const override { return true; }
    void layout() override { ++layouts; }

    QColor color;
    QList<QPointF> downs, drags, ups;
    int clicks = 0;
    double wheel = 0;
    QPointF wheelAt;
    QList<int> keys;
    int layouts = 0;
};

// A host widget of the given size showing an empty root node.
struct HostedRoot {
    ViewHost host;
    ViewNode* root = new ViewNode;  // owned by the host
    HostedRoot(int width, int height)
    {
        host.resize(width, height);
        host.setRootNode(root);
    }
};

} // namespace

using namespace ViewHostEvents;

TEST(ViewNodeTree, HitTestFindsTopmostVisibleChildInLocalCoordinates)
{
    ViewNode root;
    root.setFrame(QRectF(0, 0, 200, 100));
    auto* a = new ProbeNode;
    a->setFrame(QRectF(10, 10, 50, 50));
    auto* b = new ProbeNode;
    b->setFrame(QRectF(40, 40, 50, 50));
    root.addSubview(a);
    root.addSubview(b);
    EXPECT_EQ(root.hitTest(QPointF(45, 45)), b);
    EXPECT_EQ(root.hitTest(QPointF(15, 15)), a);
    EXPECT_EQ(root.hitTest(QPointF(150, 90)), &root);
    EXPECT_EQ(root.hitTest(QPointF(250, 50)), nullptr);
    b->setHidden(true);
    EXPECT_EQ(root.hitTest(QPointF(45, 45)), a);
    EXPECT_EQ(b->convertToRoot(QPointF(1, 2)), QPointF(41, 42));
    EXPECT_EQ(b->convertFromRoot(QPointF(41, 42)), QPointF(1, 2));
}

TEST(ViewNodeTree, DeletingAChildDetachesItAndRemoveGivesOwnershipBack)
{
    ViewNode root;
    auto* a = new ProbeNode;
    root.addSubview(a);
    delete a;
    EXPECT_TRUE(root.subviews().empty());
    auto* b = new ProbeNode;
    root.addSubview(b);
    b->removeFromSuperview();
    EXPECT_TRUE(root.subviews().empty());
    EXPECT_EQ(b->superview(), nullptr);
    delete b;
}

TEST(ViewNodeTree, RenderToImageDrawsYUpward)
{
    ViewNode root;
    root.setFrame(QRectF(0, 0, 40, 30));
    auto* child = new ProbeNode;
    child->setFrame(QRectF(10, 5, 20, 10));
    root.addSubview(child);
    const QImage image = root.renderToImage(1.0);
    ASSERT_EQ(image.size(), QSize(40, 30));
    // The child's bottom-left mark is at y 5..9 from the bottom: image rows 21..24.
    EXPECT_EQ(QColor(image.pixel(11, 23)), QColor(Qt::blue));
    EXPECT_EQ(QColor(image.pixel(20, 18)), QColor(Qt::red));
    EXPECT_EQ(QColor(image.pixel(20, 5)), QColor(Qt::white));
    EXPECT_EQ(child->layouts, 1);
    // Doubled pixel ratio doubles the image.
    EXPECT_EQ(root.renderToImage(2.0).size(), QSize(80, 60));
}

TEST(ViewNodeTree, RenderIntoScalesTheTreeIntoADeviceRectangle)
{
    ProbeNode node(Qt::green);
    node.setFrame(QRectF(0, 0, 10, 10));
    QImage image(60, 40, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    node.renderInto(painter, QRectF(20, 10, 20, 20));
    painter.end();
    EXPECT_EQ(QColor(image.pixel(30, 12)), QColor(Qt::green));
    EXPECT_EQ(QColor(image.pixel(21, 28)), QColor(Qt::blue));  // bottom-left mark, doubled
    EXPECT_EQ(QColor(image.pixel(10, 20)), QColor(Qt::white));
    EXPECT_EQ(QColor(image.pixel(45, 20)), QColor(Qt::white));
}

TEST(ViewNodeTree, LayoutRunsAgainOnlyAfterASizeChange)
{
    ProbeNode node;
    node.setFrame(QRectF(0, 0, 10, 10));
    node.layoutSubtreeIfNeeded();
    node.layoutSubtreeIfNeeded();
    EXPECT_EQ(node.layouts, 1);
    node.setFrame(QRectF(5, 5, 10, 10));
    node.layoutSubtreeIfNeeded();
    EXPECT_EQ(node.layouts, 1);
    node.setFrame(QRectF(5, 5, 20, 10));
    node.layoutSubtreeIfNeeded();
    EXPECT_EQ(node.layouts, 2);
}

TEST(ViewHostEvents, MouseEventsArriveFlippedAndFollowTheNodeThatWasPressed)
{
    HostedRoot t(200, 100);
    EXPECT_EQ(t.root->frame(), QRectF(0, 0, 200, 100));
    auto* probe = new ProbeNode;
    probe->setFrame(QRectF(0, 0, 100, 50));  // the lower-left quarter
    t.root->addSubview(probe);

    // Widget (10, 90) is 10 points above the bottom edge; the points are the widget's own here,
    // so that the flip under test is not also the one that places the events.
    mouseAtWidget(t.host, QEvent::MouseButtonPress, QPointF(10, 90));
    mouseAtWidget(t.host, QEvent::MouseMove, QPointF(150, 20));
    mouseAtWidget(t.host, QEvent::MouseButtonRelease, QPointF(150, 20));
    ASSERT_EQ(probe->downs.size(), 1);
    EXPECT_EQ(probe->downs[0], QPointF(10, 10));
    ASSERT_EQ(probe->drags.size(), 1);
    EXPECT_EQ(probe->drags[0], QPointF(150, 80));  // outside the node, still its drag
    ASSERT_EQ(probe->ups.size(), 1);
    EXPECT_EQ(t.host.firstResponder(), probe);

    key(t.host, Qt::Key_Left);
    EXPECT_EQ(probe->keys, QList<int>{Qt::Key_Left});
}

TEST(ViewHostEvents, OneWheelNotchZoomsAboutTenPercent)
{
    const QPointF notch = ViewHost::scrollingDelta(QPoint(0, 120), QPoint());
    EXPECT_NEAR(std::exp(notch.y() * 0.02), 1.10, 0.01);
    const QPointF pixels = ViewHost::scrollingDelta(QPoint(0, 120), QPoint(0, 4));
    EXPECT_DOUBLE_EQ(pixels.y(), 1.0);

    ViewHost host;
    host.resize(100, 100);
    auto* probe = new ProbeNode;
    host.setRootNode(probe);
    QWheelEvent wheel(QPointF(30, 40), QPointF(30, 40), QPoint(), QPoint(0, -120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(&host, &wheel);
    EXPECT_DOUBLE_EQ(probe->wheel, -4.8);
    EXPECT_EQ(probe->wheelAt, QPointF(30, 60));
}

TEST(ViewHostEvents, DeletedNodeIsForgottenByTheHost)
{
    HostedRoot t(100, 100);
    auto* probe = new ProbeNode;
    probe->setFrame(QRectF(0, 0, 100, 100));
    t.root->addSubview(probe);
    t.host.setFirstResponder(probe);
    delete probe;
    EXPECT_EQ(t.host.firstResponder(), nullptr);
    key(t.host, Qt::Key_A);  // goes to the root, no crash
}

TEST(ViewHostEvents, DetachedSubtreeIsForgottenByTheHost)
{
    HostedRoot t(100, 100);
    auto* container = new ViewNode;
    container->setFrame(QRectF(0, 0, 100, 100));
    t.root->addSubview(container);
    auto* probe = new ProbeNode;
    probe->setFrame(QRectF(0, 0, 100, 100));
    container->addSubview(probe);

    // A press makes the probe the mouse target and the first responder.
    press(t.host, QPointF(50, 50));
    ASSERT_EQ(t.host.firstResponder(), probe);

    // Detaching the container, then deleting it, must not leave the host
    // pointing at the probe.
    container->removeFromSuperview();
    EXPECT_EQ(t.host.firstResponder(), nullptr);
    delete container;
    key(t.host, Qt::Key_A);
    drag(t.host, QPointF(60, 50));
    release(t.host, QPointF(60, 50));
}

TEST(ViewHostEvents, ANodeOfTheShownTreeCanBecomeTheRoot)
{
    HostedRoot t(100, 80);
    auto* probe = new ProbeNode;
    probe->setFrame(QRectF(10, 10, 20, 20));
    t.root->addSubview(probe);
    t.host.setRootNode(probe);  // the old root goes, the probe survives it
    EXPECT_EQ(t.host.rootNode(), probe);
    EXPECT_EQ(probe->superview(), nullptr);
    EXPECT_EQ(probe->frame(), QRectF(0, 0, 100, 80));
}

TEST(ViewNodeBounds, AScaledBoundsMapsEventsDrawingAndConversionsFromBoundsToFrame)
{
    HostedRoot t(200, 100);
    // A page of 100 × 50 points shown at half size in a 50 × 25 frame at (20, 10).
    auto* page = new ProbeNode(Qt::green);
    page->setFrame(QRectF(20, 10, 50, 25));
    page->setBoundsSize(QSizeF(100, 50));
    t.root->addSubview(page);
    EXPECT_EQ(page->bounds(), QRectF(0, 0, 100, 50));
    EXPECT_EQ(page->boundsScale(), QPointF(0.5, 0.5));
    EXPECT_EQ(page->convertToRoot(QPointF(100, 50)), QPointF(70, 35));
    EXPECT_EQ(page->convertFromRoot(QPointF(45, 20)), QPointF(50, 20));

    // A press at root (45, 20) reaches the page at its own (50, 20).
    press(t.host, QPointF(45, 20));
    ASSERT_EQ(page->downs.size(), 1);
    EXPECT_EQ(page->downs[0], QPointF(50, 20));

    // Its 4 × 4 corner mark is drawn 2 × 2 at the frame's corner.
    const QImage image = t.root->renderToImage(1.0);
    EXPECT_EQ(QColor(image.pixel(21, 100 - 1 - 11)), QColor(Qt::blue));
    EXPECT_EQ(QColor(image.pixel(23, 100 - 1 - 13)), QColor(Qt::green));
    // The explicit size stays when the frame grows: the scale changes.
    page->setFrame(QRectF(20, 10, 100, 50));
    EXPECT_EQ(page->bounds(), QRectF(0, 0, 100, 50));
    EXPECT_EQ(page->boundsScale(), QPointF(1, 1));
}

TEST(ViewNodeBounds, ABoundsOriginEqualToTheFrameOriginGivesTheParentsCoordinates)
{
    ViewNode root;
    root.setFrame(QRectF(0, 0, 100, 100));
    auto* overlay = new ProbeNode;
    overlay->setFrame(QRectF(10, -20, 50, 50));
    overlay->setBoundsOrigin(QPointF(10, -20));
    root.addSubview(overlay);
    EXPECT_EQ(overlay->convertToSuperview(QPointF(15, -5)), QPointF(15, -5));
    EXPECT_EQ(overlay->convertFromSuperview(QPointF(30, 0)), QPointF(30, 0));
    EXPECT_EQ(root.hitTest(QPointF(30, 0)), overlay);
    EXPECT_EQ(overlay->bounds(), QRectF(10, -20, 50, 50));
}

TEST(ViewNodeBounds, ANodeThatDoesNotClipDrawsOutsideItsFrame)
{
    // Paints a square 10 points beyond its own bounds.
    class Overflowing : public ViewNode {
    public:
        void draw(QPainter& p, const QRectF&) override { p.fillRect(QRectF(-10, -10, 10, 10), Qt::red); }
    };
    ViewNode root;
    root.setFrame(QRectF(0, 0, 60, 60));
    auto* node = new Overflowing;
    node->setFrame(QRectF(20, 20, 20, 20));
    root.addSubview(node);
    EXPECT_EQ(QColor(root.renderToImage().pixel(15, 60 - 1 - 15)), QColor(Qt::white));
    node->setClipsToBounds(false);
    EXPECT_EQ(QColor(root.renderToImage().pixel(15, 60 - 1 - 15)), QColor(Qt::red));
}

TEST(ViewNodeDisplay, MovesAndChangesRepaintAllThatANodePaintsBeyondItsFrame)
{
    // Paints a shadow `reach` points beyond its lower-right corner.
    class Shadowed : public ViewNode {
    public:
        double reach = 10;
        Shadowed() { setClipsToBounds(false); }
        QRectF paintedRect() const override { return bounds().adjusted(0, -reach, reach, 0); }
        void draw(QPainter& p, const QRectF&) override
        {
            p.fillRect(bounds().translated(reach, -reach), Qt::darkGray);
            p.fillRect(bounds(), Qt::red);
        }
    };
    class Page : public ViewNode {
    public:
        void draw(QPainter& p, const QRectF&) override { p.fillRect(bounds(), Qt::white); }
    };
    ViewHost host;
    host.resize(200, 200);
    host.setRootNode(new Page);
    auto* node = new Shadowed;
    node->setFrame(QRectF(50, 100, 40, 40));
    host.rootNode()->addSubview(node);
    host.show();
    ASSERT_EQ(ShownPixels::staleCount(host), 0);
    const struct {
        const char* name;
        std::function<void()> change;
    } rows[] = {
        {"moved", [&] { node->setFrame(node->frame().translated(30, 25)); }},
        {"shadow shortened", [&] {
             node->reach = 2;
             node->setNeedsDisplay();
         }},
        {"hidden", [&] { node->setHidden(true); }},
    };
    for (const auto& row : rows) {
        row.change();
        EXPECT_EQ(ShownPixels::staleCount(host), 0) << row.name;
    }
}

TEST(ViewNodeOrder, InsertingBelowOrAboveASiblingMovesOnlyThatNodeAndKeepsTheFirstResponder)
{
    HostedRoot t(100, 100);
    ViewNode* root = t.root;
    auto* a = new ProbeNode;
    auto* b = new ProbeNode;
    auto* c = new ProbeNode;
    for (ProbeNode* n : {a, b, c}) {
        n->setFrame(QRectF(0, 0, 100, 100));
        root->addSubview(n);
    }
    t.host.setFirstResponder(c);
    root->insertSubview(c, ViewNode::Placement::below, b);
    EXPECT_EQ(root->subviews(), (std::vector<ViewNode*>{a, c, b}));
    root->insertSubview(a, ViewNode::Placement::above, b);
    EXPECT_EQ(root->subviews(), (std::vector<ViewNode*>{c, b, a}));
    root->insertSubview(a, ViewNode::Placement::below);
    EXPECT_EQ(root->subviews(), (std::vector<ViewNode*>{a, c, b}));
    EXPECT_EQ(t.host.firstResponder(), c);
    // A new node goes in at the asked place too.
    auto* d = new ProbeNode;
    root->insertSubview(d, ViewNode::Placement::above, a);
    EXPECT_EQ(root->subviews(), (std::vector<ViewNode*>{a, d, c, b}));
    EXPECT_EQ(d->superview(), root);
}
