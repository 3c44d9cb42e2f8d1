#include "canvas/VectorCanvas.h"
#include "page/CarteAlignmentGuidesView.h"
#include "page/CarteBlockHandles.h"
#include "page/CartePrintPageGuide.h"
#include "page/DecorationObjectView.h"
#include "page/ThematicCanvas.h"
#include "page/ThematicLegend.h"
#include "support/ColourRuns.h"
#include "support/CompositionTestSupport.h"
#include "support/YUpImage.h"
#include "canvas/ProportionalOverlay.h"
#include "canvas/ProportionalShape.h"
#include "support/KeptRenders.h"

#include <QDir>
#include <QImage>
#include <gtest/gtest.h>

using namespace CompositionTestSupport;

namespace {

PlmDecorationObject rectangleObject(const QString& id, PlmPoint position, double w, double h, bool inPoints)
{
    PlmDecorationObject object;
    object.id = id;
    object.kind = PlmDecorationKind::rectangle;
    object.position = position;
    object.width = w;
    object.height = h;
    object.presentation.positionInPoints = inPoints ? std::optional<bool>(true) : std::nullopt;
    return object;
}

QStringList stackNames(const ThematicCanvas& canvas)
{
    QStringList names;
    for (ViewNode* node : canvas.subviews()) {
        if (node == canvas.vector())
            names << QStringLiteral("map");
        else if (node == canvas.symbols())
            names << QStringLiteral("symbols");
        else if (node == canvas.secondSymbols())
            names << QStringLiteral("secondSymbols");
        else if (node == canvas.legend())
            names << QStringLiteral("legend");
        else if (node == canvas.secondLegend())
            names << QStringLiteral("secondLegend");
        else if (node == canvas.guides())
            names << QStringLiteral("guides");
        else if (node == canvas.pageGuide())
            names << QStringLiteral("page");
        else if (dynamic_cast<CarteBlockHandles*>(node))
            names << QStringLiteral("handles");
        else if (auto* d = dynamic_cast<DecorationObjectView*>(node))
            names << d->object.id;
    }
    return names;
}

} // namespace

TEST(ThematicCanvasPlacement, StoredPositionsGiveFramesByFractionsOfTheFreeSpaceOrInPoints)
{
    struct Row {
        const char* name;
        PlmPoint position;
        bool inPoints;
        QSizeF size;
        QPointF origin;
    };
    const QSizeF page(1000, 600);
    const Row rows[] = {
        {"half of the free width", {0.5, 0}, false, {200, 100}, {400, 0}},
        {"wider than the page", {0.5, 0.5}, false, {1200, 100}, {0, 250}},
        {"upper right corner", {1, 1}, false, {200, 100}, {800, 500}},
        {"points", {30, 40}, true, {200, 100}, {30, 40}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const QPointF origin = ThematicCanvas::placement(row.position, row.inPoints, row.size, page);
        EXPECT_EQ(origin, row.origin);
        // Invariant: a fraction placement never puts an element that fits outside the page.
        if (!row.inPoints && row.size.width() <= page.width()) {
            EXPECT_LE(origin.x() + row.size.width(), page.width());
        }
    }
}

TEST(ThematicCanvasLayout, LegendsStartNearTheLowerAndUpperRightCornersAndDecorationsFollowTheirObjects)
{
    Hosted h = hosted(gridMap(3), {800, 600}, {824, 624});
    ThematicCanvas& canvas = *h.canvas;
    canvas.legend()->setTitle(QStringLiteral("Population"));
    canvas.legend()->setLabels({QStringLiteral("moins de 10"), QStringLiteral("10 et plus")});
    canvas.secondLegend()->setHidden(false);
    canvas.secondLegend()->setTitle(QStringLiteral("Emplois"));
    auto* wide = new DecorationObjectView(rectangleObject(QStringLiteral("wide"), {0.5, 0.5}, 1000, 50, false));
    auto* placed = new DecorationObjectView(rectangleObject(QStringLiteral("placed"), {20, 30}, 100, 50, true));
    canvas.addSubview(wide);
    canvas.addSubview(placed);
    canvas.layoutComposition();

    const QRectF first = canvas.legend()->frame();
    EXPECT_DOUBLE_EQ(first.left(), 0.96 * (800 - first.width()));
    EXPECT_DOUBLE_EQ(first.top(), 0.08 * (600 - first.height()));
    const QRectF second = canvas.secondLegend()->frame();
    EXPECT_DOUBLE_EQ(second.left(), 0.96 * (800 - second.width()));
    EXPECT_DOUBLE_EQ(second.top(), 0.95 * (600 - second.height()));
    // A decoration wider than the page is shrunk to it; a legend never is.
    EXPECT_EQ(wide->frame(), QRectF(0, 275, 800, 50));
    EXPECT_EQ(placed->frame(), QRectF(20, 30, 100, 50));
}

TEST(ThematicCanvasLayout, AutomaticPlacementKeepsEveryElementInsideThePrintMarginsDirectionByDirection)
{
    // An A4 portrait page at 10 mm margins on a larger composition, as the export panel leaves
    // it: the printable area is 538.6 points wide, narrower than a new title or source.
    Hosted h = hosted(gridMap(3), {1000, 900}, {1024, 924});
    ThematicCanvas& canvas = *h.canvas;
    canvas.legend()->setTitle(QStringLiteral("Population"));
    canvas.legend()->setLabels({QStringLiteral("moins de 10"), QStringLiteral("10 et plus")});
    PlmPrintPage page;
    page.origin = {200, 30};
    page.width = 210;
    page.height = 297;
    page.landscape = false;
    page.margin = 10;
    const QRectF area = ThematicCanvas::printableRect(page);
    ASSERT_NEAR(area.width(), 538.58, 0.01);
    // y grows upward: the area's top as the person sees it is its largest y.
    const double left = area.left(), right = area.right(), bottom = area.top(), top = area.bottom();
    struct Row {
        const char* name;
        PlmDecorationKind kind;
        PlmPoint position;
        bool inPoints;
        std::optional<QSizeF> size;  // the kind's own size when absent
        QPointF inside;              // the origin with the print page
    };
    const Row rows[] = {
        {"new title, wider than the area: starts at its left edge", PlmDecorationKind::title, {0.5, 0.98}, false, {},
         {left, top - 52}},
        {"new source, wider than the area, on its bottom edge", PlmDecorationKind::source, {0.02, 0}, false, {},
         {left, bottom}},
        {"new subtitle, wider than the area, left where it is down", PlmDecorationKind::subtitle, {0.5, 0.82}, false,
         {}, {left, 0.82 * (900 - 40)}},
        {"new author in the lower right corner", PlmDecorationKind::author, {0.97, 0}, false, {}, {right - 200, bottom}},
        {"new north arrow, right of the page, kept across only", PlmDecorationKind::north, {0.92, 0.88}, false, {},
         {right - 64, 0.88 * (900 - 100)}},
        {"new scale bar in the lower left corner", PlmDecorationKind::scale, {0.06, 0.06}, false, {}, {left, bottom}},
        {"new rectangle in the middle, not moved", PlmDecorationKind::rectangle, {0.5, 0.5}, false, {},
         {0.5 * (1000 - 180), 0.5 * (900 - 100)}},
        {"ellipse in the upper left corner", PlmDecorationKind::ellipse, {0, 1}, false, {}, {left, top - 100}},
        {"line in the lower right corner", PlmDecorationKind::line, {1, 0}, false, {}, {right - 180, bottom}},
        {"arrow above the page", PlmDecorationKind::arrow, {0.5, 1}, false, {}, {0.5 * (1000 - 180), top - 100}},
        {"text wider than the area", PlmDecorationKind::text, {0.5, 0.08}, false, QSizeF(780, 58),
         {left, 0.08 * (900 - 58)}},
        {"image taller than the area: starts at its top", PlmDecorationKind::image, {0.5, 0}, false, QSizeF(100, 850),
         {0.5 * (1000 - 100), top - 850}},
        {"SVG drawing wider and taller than the area", PlmDecorationKind::svg, {1, 1}, false, QSizeF(560, 800),
         {left, top - 800}},
        {"pictogram near the lower right corner", PlmDecorationKind::sfSymbol, {0.99, 0.01}, false, QSizeF(60, 60),
         {right - 60, bottom}},
        {"legend object in the upper right corner", PlmDecorationKind::legend, {1, 1}, false, {},
         {right - 180, top - 100}},
        {"text placed by the person in the margin", PlmDecorationKind::text, {205, 845}, true, {}, {205, 845}},
        {"pictogram placed by the person off the page", PlmDecorationKind::sfSymbol, {900, 10}, true, QSizeF(60, 60),
         {900, 10}},
    };
    QList<DecorationObjectView*> views;
    for (const Row& row : rows) {
        PlmDecorationObject object = PlmDecorationObject::make(QString::fromLatin1(row.name), row.kind);
        object.position = row.position;
        if (row.size) {
            object.width = row.size->width();
            object.height = row.size->height();
        }
        object.presentation.positionInPoints = row.inPoints ? std::optional<bool>(true) : std::nullopt;
        views.append(new DecorationObjectView(object));
        canvas.addSubview(views.last());
    }
    for (const bool withPage : {true, false}) {
        canvas.printPage = withPage ? std::optional<PlmPrintPage>(page) : std::nullopt;
        canvas.layoutComposition();
        for (qsizetype i = 0; i < views.size(); ++i) {
            const Row& row = rows[i];
            SCOPED_TRACE(std::string(row.name) + (withPage ? " with a print page" : " without print page"));
            const QRectF frame = views[i]->frame();
            // Without print page the placement rule alone places everything.
            const QPointF expected = withPage ? row.inside
                                              : ThematicCanvas::placement(row.position, row.inPoints, frame.size(),
                                                                          {1000, 900});
            EXPECT_NEAR(frame.left(), expected.x(), 1e-9);
            EXPECT_NEAR(frame.top(), expected.y(), 1e-9);
            // Invariant: an element placed automatically lies inside the area in each direction
            // where it fits, and begins at the area's left or top edge where it does not.
            if (withPage && !row.inPoints) {
                if (frame.width() <= area.width())
                    EXPECT_TRUE(frame.left() >= left - 1e-9 && frame.right() <= right + 1e-9);
                else
                    EXPECT_NEAR(frame.left(), left, 1e-9);
                if (frame.height() <= area.height())
                    EXPECT_TRUE(frame.top() >= bottom - 1e-9 && frame.bottom() <= top + 1e-9);
                else
                    EXPECT_NEAR(frame.bottom(), top, 1e-9);
            }
        }
    }
    // The legend's default place, near the lower right corner, lies within the margins.
    canvas.printPage = page;
    canvas.layoutComposition();
    EXPECT_TRUE(area.contains(canvas.legend()->frame()));
}

TEST(ThematicCanvasLayout, SymbolOverlaysCoverThePrintPageBesideTheComposition)
{
    Hosted h = hosted(gridMap(2), {800, 600}, {824, 624});
    ThematicCanvas& canvas = *h.canvas;
    EXPECT_EQ(canvas.symbols()->frame(), QRectF(0, 0, 800, 600));
    PlmPrintPage page;
    page.origin = {700, -100};
    page.width = 100 * 25.4 / 72;
    page.height = 200 * 25.4 / 72;
    canvas.printPage = page;
    canvas.layoutComposition();
    const QRectF covered(0, -100, 800, 700);
    for (ProportionalOverlay* overlay : {canvas.symbols(), canvas.secondSymbols()}) {
        EXPECT_NEAR(overlay->frame().top(), covered.top(), 1e-9);
        EXPECT_NEAR(overlay->frame().height(), covered.height(), 1e-9);
        // Overlay coordinates are page coordinates.
        EXPECT_EQ(overlay->convertToSuperview(QPointF(5, -50)), QPointF(5, -50));
    }
}

TEST(ThematicCanvasStacking, RestackPutsTheSecondSeriesBelowTheMapOnlyForAreasWithSymbolsBehind)
{
    Hosted h = hosted(gridMap(2), {400, 300}, {424, 324});
    ThematicCanvas& canvas = *h.canvas;
    canvas.addSubview(new DecorationObjectView(rectangleObject(QStringLiteral("title"), {0, 0}, 10, 10, true)));
    auto* handles = new CarteBlockHandles(&canvas);
    canvas.addSubview(handles);
    canvas.restackSubviews(PlmRepresentation::aplatsAndSymbols, false);
    EXPECT_EQ(stackNames(canvas).join(u' '),
              QStringLiteral("secondSymbols map symbols page legend secondLegend title guides handles"));
    canvas.layoutComposition();
    EXPECT_EQ(stackNames(canvas).last(), QStringLiteral("page"));

    canvas.restackSubviews(PlmRepresentation::twoSymbols, true);
    canvas.layoutComposition();
    EXPECT_EQ(stackNames(canvas).join(u' '),
              QStringLiteral("map symbols secondSymbols legend secondLegend title guides handles page"));
    canvas.restackSubviews(std::nullopt, false);
    EXPECT_EQ(stackNames(canvas).mid(0, 3).join(u' '), QStringLiteral("map secondSymbols symbols"));
}

TEST(ThematicCanvasRender, APageWithMapSymbolsLegendAndPrintGuideDrawsEachInItsPlace)
{
    const PlmMap map = gridMap(6);
    Hosted h = hosted(map, {600, 420}, {624, 444});
    ThematicCanvas& canvas = *h.canvas;
    canvas.symbols()->setHidden(false);
    canvas.symbols()->setItems(itemsAtCentres(map, 30));
    canvas.legend()->setTitle(QStringLiteral("Densité"));
    canvas.legend()->setLabels({QStringLiteral("faible"), QStringLiteral("forte")});
    canvas.legend()->setColors({PlmColor{0.9, 0.9, 0.6, 1}, PlmColor{0.2, 0.5, 0.2, 1}});
    canvas.legendPosition = {0.98, 0.04};
    canvas.secondLegend()->setHidden(false);
    canvas.secondLegend()->setTitle(QStringLiteral("Habitants"));
    canvas.secondLegend()->setProportionalShape(canvas.symbols()->sharedShape());
    canvas.secondLegend()->setReferenceSizes({34, 18, 6});
    canvas.secondLegend()->setLabels({QStringLiteral("12 000"), QStringLiteral("3 500"), QStringLiteral("400")});
    canvas.secondLegendPosition = {0.98, 0.97};
    PlmPrintPage page;
    page.origin = {20, 20};
    page.width = 190;
    page.height = 135;
    page.margin = 10;
    canvas.printPage = page;
    canvas.layoutComposition();

    const QImage image = canvas.renderToImage(1.0);
    ASSERT_EQ(image.size(), QSize(600, 420));
    KeptRenders::keep(QStringLiteral("composition-page.png"), image);

    // A symbol at the centre of a map square, in the series' colour.
    const ProportionalOverlay::Item item = canvas.symbols()->items().at(14);
    const QPointF c = canvas.symbols()->placedCenter(item.point);
    const QColor symbol = CanvasTestMaps::pixelAt(image, c.x(), c.y());
    EXPECT_GT(symbol.red(), 180);
    EXPECT_LT(symbol.green(), 110);
    // The legend's box sits in the lower right, white over the page.
    const QRectF legend = canvas.legend()->frame();
    EXPECT_GT(legend.left(), 400);
    // The symbol legend's largest reference symbol, in the series' colour, in the upper right.
    const QRectF symbols = canvas.secondLegend()->frame();
    EXPECT_GT(symbols.top(), 210);
    bool symbolDrawn = false;
    for (int y = int(symbols.top()); y < int(symbols.bottom()) && !symbolDrawn; ++y)
        for (int x = int(symbols.left()); x < int(symbols.right()) && !symbolDrawn; ++x) {
            const QColor c = CanvasTestMaps::pixelAt(image, x, y);
            symbolDrawn = c.red() > 180 && c.green() < 110;
        }
    EXPECT_TRUE(symbolDrawn);
    // The print page's outline in the accent colour (a 1-pt line on a pixel edge covers two
    // rows at half strength), and plain page inside it.
    const QRectF r = ThematicCanvas::printPageRect(page);
    const QColor outline = CanvasTestMaps::pixelAt(image, r.left() + 40, r.top());
    EXPECT_GT(outline.blue() - outline.red(), 60);
    EXPECT_EQ(CanvasTestMaps::pixelAt(image, r.left() + 10, r.top() + 10), QColor(Qt::white));
}

TEST(ThematicCanvasGuides, ASelectedCentredDecorationRaisesTheGuideThatNeverTakesAClick)
{
    Hosted h = hosted(gridMap(2), {400, 300}, {424, 324});
    ThematicCanvas& canvas = *h.canvas;
    // 5.9 points right of the page centre: centred; the guide is drawn down the middle.
    auto* view = new DecorationObjectView(rectangleObject(QStringLiteral("r"), {155.9, 20}, 100, 40, true));
    canvas.addSubview(view);
    canvas.restackSubviews(std::nullopt, true);
    canvas.layoutComposition();
    const auto guideAt = [&](double y) {
        const QImage image = canvas.renderToImage(1.0);
        const QColor c = CanvasTestMaps::pixelAt(image, 200, y);
        return c.blue() - c.red() > 30;
    };
    // Find a dash: the line is dashed 4 on 4 off, so one of eight rows shows it.
    auto anyDash = [&] {
        for (int y = 250; y < 258; ++y)
            if (guideAt(y))
                return true;
        return false;
    };
    EXPECT_FALSE(anyDash());  // unselected: no guide
    view->selected = true;
    EXPECT_TRUE(anyDash());
    EXPECT_EQ(canvas.guides()->hitTest(QPointF(200, 255)), nullptr);
    view->object.position.x = 156;  // exactly 6 points off: not centred
    canvas.layoutComposition();
    EXPECT_FALSE(anyDash());
}

// A page that follows its fit is refitted to another map at the next layout, as a fresh page
// would be, and an unchanged map keeps the same viewport.
TEST(ThematicCanvasLayout, APageFollowingItsFitRefitsAnotherMapAndKeepsTheSameOne)
{
    Hosted h = hosted(gridMap(2), {800, 600}, {824, 624});
    ThematicCanvas& canvas = *h.canvas;
    canvas.layoutComposition();
    const PlmDecorationViewport small = canvas.vector()->currentViewport();
    canvas.setNeedsLayout();
    canvas.layoutComposition();
    EXPECT_EQ(canvas.vector()->currentViewport(), small);

    canvas.vector()->setMap(gridMap(5));
    canvas.layoutComposition();
    Hosted fresh = hosted(gridMap(5), {800, 600}, {824, 624});
    fresh.canvas->layoutComposition();
    EXPECT_EQ(canvas.vector()->currentViewport(), fresh.canvas->vector()->currentViewport());
    EXPECT_FALSE(canvas.vector()->currentViewport() == small);
}

// A fresh page is fitted once: its map's layout fit is not repeated by the page's own.
TEST(ThematicCanvasLayout, AFreshPageFitsItsMapOnce)
{
    Hosted h = hosted(gridMap(2), {800, 600}, {824, 624});
    ThematicCanvas& canvas = *h.canvas;
    canvas.layoutComposition();
    EXPECT_EQ(canvas.vector()->fitCount(), 1u);
    Hosted fresh = hosted(gridMap(2), {800, 600}, {824, 624});
    fresh.canvas->vector()->setFrame(canvas.vector()->frame());
    fresh.canvas->vector()->setBounds(canvas.vector()->bounds());
    fresh.canvas->vector()->fit(true);
    EXPECT_EQ(canvas.vector()->currentViewport(), fresh.canvas->vector()->currentViewport());
}

namespace {

const PlmColor kCircles{0.8, 0.1, 0.1, 1};

// Circles on gridMap(3): 36 points at the middle square, 18 at the last one, and the page's
// first legend for them, in one colour.
void showCircles(ThematicCanvas& canvas, const PlmMap& map)
{
    PlmProportionalSettings settings;
    settings.kind = PlmSymbolKind::circle;
    const auto shape = std::make_shared<const ProportionalShape>(settings, false);
    canvas.symbols()->setShape(shape);
    canvas.symbols()->setColor(kCircles);
    canvas.symbols()->setItems({{map.entities[4].id, 36, PlmPoint{14.5, 14.5}}, {map.entities[8].id, 18, PlmPoint{24.5, 24.5}}});
    canvas.symbols()->setHidden(false);
    canvas.legend()->setProportionalShape(shape);
    canvas.legend()->setSymbolColor(kCircles);
    canvas.legend()->setTitle(QStringLiteral("Population"));
    canvas.legend()->setLabels({QStringLiteral("36"), QStringLiteral("18")});
    canvas.legend()->setReferenceSizes({36, 18});
}

// The widest circle drawn on the map (outside the legend) and in the legend, in points.
std::pair<double, double> widestCircles(ThematicCanvas& canvas)
{
    const QImage image = canvas.renderToImage(3);
    const QSizeF page = canvas.bounds().size();
    const QRectF legend = canvas.legend()->frame();
    const QColor colour = QColor::fromRgbF(kCircles.red, kCircles.green, kCircles.blue);
    return {widestRun(image, page, colour, QRectF(QPointF(0, 0), page), {legend}),
            widestRun(image, page, colour, legend)};
}

} // namespace

// The map can hold a scaled block that nothing announced (a stored transform set as it is).
// A page following its fit, with no size of its own, is laid out again without its view
// moving and so without a viewport notice: that layout still gives the legend the block's
// scale, and the legend's largest circle is as wide as the map's.
TEST(ThematicCanvasLegendScale, ALayoutWithoutAViewportChangeGivesTheLegendTheBlocksScale)
{
    const PlmMap map = gridMap(3);
    ThematicCanvas canvas(map);
    canvas.setFrame(QRectF(0, 0, 800, 600));
    canvas.setBounds(QRectF(0, 0, 800, 600));
    showCircles(canvas, map);
    canvas.layoutComposition();
    const PlmDecorationViewport viewport = canvas.vector()->currentViewport();
    // Twice the size about the page's centre, as stored.
    canvas.vector()->blockTransform = QTransform(2, 0, 0, 2, -400, -300);
    canvas.layoutComposition();
    ASSERT_EQ(canvas.vector()->currentViewport(), viewport);

    const auto [onMap, inLegend] = widestCircles(canvas);
    EXPECT_NEAR(onMap, 72, 0.5);
    EXPECT_NEAR(inLegend, onMap, 0.5);
}
