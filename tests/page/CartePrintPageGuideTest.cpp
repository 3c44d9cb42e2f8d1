#include "page/CartePrintPageGuide.h"
#include "page/ThematicCanvas.h"
#include "support/CanvasEvents.h"
#include "support/CompositionTestSupport.h"

#include <gtest/gtest.h>

using namespace CompositionTestSupport;

namespace {

PlmPrintPage pageOf(double width, double height, double margin, PlmPoint origin = {100, 100})
{
    PlmPrintPage page;
    page.origin = origin;
    page.width = width;
    page.height = height;
    page.margin = margin;
    return page;
}

// Canvas points to the widget's root points: the 800 × 600 page sits at (12, 12) unscaled.
QPointF onScreen(const QPointF& canvasPoint) { return canvasPoint + QPointF(12, 12); }

} // namespace

TEST(CartePrintPageGuideCaption, NumbersComeFromTheFormatNotTheFrenchFormatter)
{
    struct Row {
        const char* name;
        PlmPrintPage page;
        QString caption;
    };
    const Row rows[] = {
        {"portrait A4", pageOf(210, 297, 10), QStringLiteral("210 × 297 mm · marges 10.0 mm")},
        {"landscape without margin", pageOf(297, 210, 0), QStringLiteral("297 × 210 mm · marges 0.0 mm")},
        {"rounded width", pageOf(210.6, 297, 12.25), QStringLiteral("211 × 297 mm · marges 12.2 mm")},
        {"large", pageOf(1200, 1500, 5), QStringLiteral("1200 × 1500 mm · marges 5.0 mm")},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(CartePrintPageGuide::caption(row.page), row.caption);
    }
}

TEST(CartePrintPageGuideBand, TheBandIsSixViewUnitsEachSideAndAtMostSixtyPageUnits)
{
    Hosted h = hosted(gridMap(2), {800, 600}, {824, 624});
    ThematicCanvas& canvas = *h.canvas;
    CartePrintPageGuide& guide = *canvas.pageGuide();
    canvas.printPage = pageOf(72 * 2, 72 * 2, 10);  // a 144 × 144-point square at (100, 100)
    canvas.layoutComposition();
    const QRectF r = ThematicCanvas::printPageRect(*canvas.printPage);
    EXPECT_TRUE(guide.borderContains({r.left() + 5.9, r.center().y()}));
    EXPECT_TRUE(guide.borderContains({r.left() - 5.9, r.center().y()}));
    EXPECT_FALSE(guide.borderContains({r.left() + 6.1, r.center().y()}));
    EXPECT_FALSE(guide.borderContains(r.center()));
    // A guide whose own scale is a twentieth is limited by the 0.1 floor: 60 units.
    guide.setBoundsSize(QSizeF(16000, 12000));
    EXPECT_TRUE(guide.borderContains({r.left() + 59, r.center().y()}));
    EXPECT_FALSE(guide.borderContains({r.left() + 61, r.center().y()}));
    // Hidden or exporting: no band.
    canvas.isExporting = true;
    EXPECT_FALSE(guide.borderContains({r.left(), r.center().y()}));
    canvas.isExporting = false;
    canvas.printPage->visible = false;
    EXPECT_FALSE(guide.borderContains({r.left(), r.center().y()}));
}

TEST(CartePrintPageGuideDrag, TheBorderMovesThePageAndOnlyAMovedPageIsReported)
{
    Hosted h = hosted(gridMap(2), {800, 600}, {824, 624});
    ThematicCanvas& canvas = *h.canvas;
    canvas.printPage = pageOf(100, 80, 5);
    const PlmPrintPage original = *canvas.printPage;
    QList<PlmPrintPage> reports;
    canvas.onPrintPageChange = [&](const PlmPrintPage& p) { reports.append(p); };
    canvas.layoutComposition();
    const QPointF edge(100, 120);  // on the left edge

    CanvasEvents::press(*h.widget, onScreen(edge));
    CanvasEvents::drag(*h.widget, onScreen(edge + QPointF(30, 0)));
    CanvasEvents::drag(*h.widget, onScreen(edge));
    CanvasEvents::release(*h.widget, onScreen(edge));
    EXPECT_TRUE(reports.isEmpty());

    CanvasEvents::dragFromTo(*h.widget, onScreen(edge), onScreen(edge + QPointF(40, -25)));
    ASSERT_EQ(reports.size(), 1);
    PlmPrintPage moved = original;
    moved.origin = {140, 75};
    EXPECT_EQ(reports[0], moved);  // only the origin moves: the printed size never changes
    EXPECT_EQ(canvas.printPage, moved);
    // The symbol overlays followed the page.
    EXPECT_TRUE(canvas.symbols()->frame().contains(ThematicCanvas::printPageRect(moved)));
}

TEST(CartePrintPageGuideDrawing, TheDashedLineLiesOnThePrintableRectangle)
{
    Hosted h = hosted(gridMap(2), {800, 600}, {824, 624});
    ThematicCanvas& canvas = *h.canvas;
    CartePrintPageGuide& guide = *canvas.pageGuide();
    canvas.printPage = pageOf(150, 100, 10, {120.3, 80.6});
    canvas.layoutComposition();
    // Four pixels a point: the 1-point line covers four pixels across, half a point each side.
    const double ratio = 4;
    const QImage image = guide.renderToImage(ratio);
    const QRectF printable = ThematicCanvas::printableRect(*canvas.printPage);
    const auto covered = [&](const QPointF& p) {
        return CanvasTestMaps::pixelAt(image, p.x() * ratio, p.y() * ratio).red() < 128;
    };
    struct Edge {
        const char* name;
        QPointF from, to;  // along the edge, short of the corners
        QPointF across;    // a unit step across it
    };
    const double inset = 6;
    const Edge edges[] = {
        {"left", {printable.left(), printable.top() + inset}, {printable.left(), printable.bottom() - inset}, {1, 0}},
        {"right", {printable.right(), printable.top() + inset}, {printable.right(), printable.bottom() - inset}, {1, 0}},
        {"bottom", {printable.left() + inset, printable.top()}, {printable.right() - inset, printable.top()}, {0, 1}},
        {"top", {printable.left() + inset, printable.bottom()}, {printable.right() - inset, printable.bottom()}, {0, 1}},
    };
    for (const Edge& edge : edges) {
        SCOPED_TRACE(edge.name);
        const QPointF along = edge.to - edge.from;
        const int steps = int(std::hypot(along.x(), along.y()) / 0.25);
        int onLine = 0, within = 0, beside = 0;
        for (int i = 0; i <= steps; ++i) {
            const QPointF p = edge.from + along * (double(i) / steps);
            // Both halves of the line are drawn at the same places (the dashes), nothing a
            // point away from it.
            const bool inner = covered(p - 0.3 * edge.across), outer = covered(p + 0.3 * edge.across);
            onLine += inner && outer;
            within += inner || outer;
            beside += covered(p - edge.across) + covered(p + edge.across);
        }
        EXPECT_EQ(beside, 0);
        // Dashed: four points drawn, four left out.
        EXPECT_GT(onLine, 0.35 * steps);
        EXPECT_LT(within, 0.65 * steps);
    }
}
