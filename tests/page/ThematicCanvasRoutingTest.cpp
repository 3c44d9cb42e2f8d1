#include "canvas/VectorCanvas.h"
#include "page/CarteBlockHandles.h"
#include "page/CartePrintPageGuide.h"
#include "page/DecorationObjectView.h"
#include "page/ThematicCanvas.h"
#include "support/PresentationTestSupport.h"
#include "support/CanvasEvents.h"
#include "support/CompositionTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace CompositionTestSupport;

namespace {

// An 800 × 600 page shown unscaled at (12, 12) in its host: a legend, a rectangle decoration,
// symbols over the map, handles and a print page, each where a row can aim at it.
struct RoutedPage {
    Hosted h;
    DecorationObjectView* decoration;
    CarteBlockHandles* handles;
    QRectF printRect;

    RoutedPage() : h(hosted(gridMap(4), {800, 600}, {824, 624}))
    {
        ThematicCanvas& canvas = *h.canvas;
        canvas.legend()->setTitle(QStringLiteral("Légende"));
        canvas.legendPosition = {0.5, 0.5};  // the middle of the page
        canvas.legend()->setPresentation([] {
            PlmPresentation p = PlmDecoration::defaultLegend();
            p.positionInPoints = true;
            return p;
        }());
        canvas.legendPosition = {600, 40};
        PlmDecorationObject object;
        object.id = QStringLiteral("r");
        object.kind = PlmDecorationKind::rectangle;
        object.position = {40, 480};
        object.width = 200;
        object.height = 40;
        object.presentation.positionInPoints = true;
        object.presentation.background = PlmColor{1, 1, 1, 1};  // filled: hit anywhere inside
        decoration = new DecorationObjectView(object);
        canvas.addSubview(decoration);
        handles = new CarteBlockHandles(&canvas);
        canvas.addSubview(handles);
        canvas.symbols()->setHidden(false);
        canvas.symbols()->setItems(itemsAtCentres(canvas.vector()->map(), 0));
        PlmPrintPage page;
        page.origin = {20, 20};
        page.width = 700 * 25.4 / 72;
        page.height = 560 * 25.4 / 72;
        canvas.printPage = page;
        printRect = ThematicCanvas::printPageRect(page);
        canvas.restackSubviews(PlmRepresentation::proportional, true);
        canvas.layoutComposition();
    }
    QPointF symbolCentre(int i) const
    {
        return h.canvas->symbols()->placedCenter(h.canvas->symbols()->items().at(i).point);
    }
    QPointF legendCentre() const { return h.canvas->legend()->frame().center(); }
};

enum class Target { nothing, map, legend, decoration, symbols, handles, pageGuide };

Target targetOf(const RoutedPage& t, const ViewNode* hit)
{
    const ThematicCanvas& c = *t.h.canvas;
    if (!hit)
        return Target::nothing;
    if (hit == c.vector())
        return Target::map;
    if (hit == c.legend())
        return Target::legend;
    if (hit == t.decoration)
        return Target::decoration;
    if (hit == c.symbols())
        return Target::symbols;
    if (hit == t.handles)
        return Target::handles;
    if (hit == c.pageGuide())
        return Target::pageGuide;
    ADD_FAILURE() << "an unexpected view was hit";
    return Target::nothing;
}

} // namespace

TEST(ThematicCanvasRouting, ClicksFollowTheElementPriority)
{
    struct Row {
        const char* name;
        std::function<QPointF(RoutedPage&)> point;  // canvas coordinates
        std::function<void(RoutedPage&)> setUp;
        Qt::KeyboardModifiers modifiers;
        Target expected;
    };
    auto none = [](RoutedPage&) {};
    const auto quarterTurn = [](RoutedPage& t) {
        changeEditingStyle(t.decoration->object.presentation, [](PlmEditingStyle& s) { s.rotation = 90; });
    };
    const Row rows[] = {
        {"a symbol", [](RoutedPage& t) { return t.symbolCentre(5); }, none, {}, Target::symbols},
        {"the map between symbols", [](RoutedPage& t) { return t.symbolCentre(5) + QPointF(0, 25); }, none, {},
         Target::map},
        {"beside the page, inside the host", [](RoutedPage&) { return QPointF(-5, 300); }, none, {}, Target::map},
        {"outside the host", [](RoutedPage&) { return QPointF(-20, 300); }, none, {}, Target::nothing},
        {"the legend", [](RoutedPage& t) { return t.legendCentre(); }, none, {}, Target::legend},
        {"the decoration", [](RoutedPage&) { return QPointF(140, 500); }, none, {}, Target::decoration},
        {"Option reaches the map through a legend", [](RoutedPage& t) { return t.legendCentre(); }, none,
         Qt::AltModifier, Target::map},
        {"Option reaches the map through a decoration", [](RoutedPage&) { return QPointF(140, 500); }, none,
         Qt::AltModifier, Target::map},
        {"Option reaches the map through a symbol", [](RoutedPage& t) { return t.symbolCentre(5); }, none,
         Qt::AltModifier, Target::map},
        {"a hidden legend never", [](RoutedPage& t) { return t.legendCentre(); },
         [](RoutedPage& t) { t.h.canvas->legend()->setHidden(true); }, {}, Target::map},
        {"a hidden decoration never", [](RoutedPage&) { return QPointF(140, 500); },
         [](RoutedPage& t) { t.decoration->setHidden(true); }, {}, Target::map},
        {"a hidden overlay never", [](RoutedPage& t) { return t.symbolCentre(5); },
         [](RoutedPage& t) { t.h.canvas->symbols()->setHidden(true); }, {}, Target::map},
        {"the print page's border over the legend",
         [](RoutedPage& t) { return QPointF(t.printRect.right(), t.legendCentre().y()); },
         [](RoutedPage& t) {
             PlmPrintPage p = *t.h.canvas->printPage;
             p.origin.x = t.legendCentre().x() - t.printRect.width();
             t.h.canvas->printPage = p;
             t.printRect = ThematicCanvas::printPageRect(p);
             t.h.canvas->layoutComposition();
         },
         {}, Target::pageGuide},
        {"selected handles before symbols", [](RoutedPage& t) { return t.symbolCentre(5); },
         [](RoutedPage& t) { t.handles->setSelected(true); }, {}, Target::handles},
        {"a decoration turned a quarter, where it is drawn", [](RoutedPage&) { return QPointF(140, 590); },
         quarterTurn,
         {}, Target::decoration},
        {"… and not where its unrotated frame lies", [](RoutedPage&) { return QPointF(60, 500); },
         quarterTurn,
         {}, Target::map},
        {"exporting answers outside the host", [](RoutedPage&) { return QPointF(-200, 300); },
         [](RoutedPage& t) { t.h.canvas->isExporting = true; }, {}, Target::map},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        RoutedPage t;
        row.setUp(t);
        const QPointF p = row.point(t);
        const ViewNode* hit = t.h.canvas->routeHit(t.h.canvas->convertToSuperview(p), row.modifiers);
        EXPECT_EQ(int(targetOf(t, hit)), int(row.expected));
    }
}

TEST(ThematicCanvasRouting, AnOpenTextEditorKeepsEveryClickInsideIt)
{
    RoutedPage t;
    ViewNode* editor = t.decoration;
    t.h.canvas->textEditorHit = [&](const QPointF& p) { return QRectF(0, 0, 800, 600).contains(p) ? editor : nullptr; };
    EXPECT_EQ(t.h.canvas->routeHit(t.h.canvas->convertToSuperview(t.legendCentre()), Qt::AltModifier), editor);
}

TEST(ThematicCanvasRouting, TheHostHandsEveryClickInsideItToTheCanvasRouting)
{
    RoutedPage t;
    EXPECT_EQ(t.h.host->hitTest(QPointF(-1, 10)), nullptr);
    EXPECT_EQ(t.h.host->hitTest(QPointF(2, 2)), t.h.canvas->vector());
    EXPECT_EQ(t.h.host->hitTest(t.legendCentre() + QPointF(12, 12)), t.h.canvas->legend());
    // A real press on the legend through the widget selects it.
    int selections = 0;
    t.h.canvas->legend()->onSelect = [&] { ++selections; };
    CanvasEvents::click(*t.h.widget, t.legendCentre() + QPointF(12, 12));
    EXPECT_EQ(selections, 1);
}

TEST(ThematicCanvasZoomGestures, TheWheelZoomsThePageAtMostByEToThePointThirtyFive)
{
    RoutedPage t;
    ViewWheelEvent wheel;
    wheel.windowLocation = QPointF(412, 312);
    wheel.deltaY = 100;
    t.h.canvas->scrollWheel(wheel);
    EXPECT_NEAR(t.h.host->zoom, std::exp(0.35), 1e-12);
    wheel.deltaY = 17.5;
    t.h.canvas->scrollWheel(wheel);
    EXPECT_NEAR(t.h.host->zoom, std::exp(0.7), 1e-12);
    ViewMagnifyEvent pinch;
    pinch.windowLocation = wheel.windowLocation;
    pinch.magnification = -0.7;
    t.h.canvas->magnify(pinch);
    EXPECT_NEAR(t.h.host->zoom, 1, 1e-12);
    t.h.canvas->vector()->isInteractive = false;
    t.h.canvas->scrollWheel(wheel);
    t.h.canvas->magnify(pinch);
    EXPECT_NEAR(t.h.host->zoom, 1, 1e-12);
}
