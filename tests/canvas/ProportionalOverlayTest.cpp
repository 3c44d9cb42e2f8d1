#include "canvas/VectorCanvas.h"
#include "desktop/ViewHost.h"
#include "support/CanvasEvents.h"
#include "support/CanvasTestMaps.h"
#include "canvas/ProportionalOverlay.h"

#include <QAction>
#include <QMenu>
#include <gtest/gtest.h>

using namespace CanvasEvents;
using CanvasTestMaps::pixelAt;

namespace {

using Item = ProportionalOverlay::Item;

// A 200 × 200 map view at scale 2 (a map unit is 2 points) with one overlay over it, and
// everything the overlay reports.
struct OverlayPage {
    std::unique_ptr<ViewHost> widget = std::make_unique<ViewHost>();
    ViewNode* root = new ViewNode;
    VectorCanvas* vector;
    ProportionalOverlay* overlay = new ProportionalOverlay;
    QStringList selections;
    QList<std::tuple<QString, PlmPoint, bool>> positions;
    int resets = 0;

    OverlayPage()
    {
        PlmEntityList entities;
        for (const char* id : {"a", "b", "c", "d"})
            entities.append(CanvasTestMaps::pointEntity(QString::fromLatin1(id), 0, 0));
        vector = new VectorCanvas(CanvasTestMaps::mapOf(entities), true, QString());
        widget->resize(200, 200);
        widget->setRootNode(root);
        vector->setFrame(QRectF(0, 0, 200, 200));
        vector->fitted = true;
        vector->tracksFit = false;
        vector->setScale(2);
        vector->paintsBackground = false;
        root->addSubview(vector);
        overlay->setFrame(QRectF(0, 0, 200, 200));
        overlay->vector = vector;
        root->addSubview(overlay);
        overlay->onSelection = [this](const QString& id) { selections.append(id); };
        overlay->onPosition = [this](const QString& id, const PlmPoint& p, bool done) {
            positions.append({id, p, done});
        };
        overlay->onReset = [this] { ++resets; };
    }
};

} // namespace

TEST(ProportionalOverlayOrder, WithoutPartnerItemsKeepTheirOrderWithOneTheSeriesMergeLargerFirst)
{
    OverlayPage t;
    const QList<Item> items = {{"b", 10, {10, 10}}, {"a", 30, {20, 20}}, {"c", 10, {30, 30}}};
    t.overlay->setItems(items);
    EXPECT_EQ(t.overlay->sortedItems(), items);

    auto* partner = new ProportionalOverlay;
    partner->vector = t.vector;
    t.root->addSubview(partner);
    partner->setItems({{"c", 40, {90, 90}}, {"d", 10, {50, 50}}});
    t.overlay->setConcentricPartner(partner);
    const QList<Item> expected = {{"c", 40, {30, 30}}, {"a", 30, {20, 20}}, {"b", 10, {10, 10}}, {"d", 10, {50, 50}}};
    EXPECT_EQ(t.overlay->sortedItems(), expected);
    // The cached order follows a change of the partner's items and of the hidden entities.
    partner->setItems({{"d", 50, {50, 50}}});
    t.vector->hiddenEntityIDs = {QStringLiteral("a")};
    EXPECT_EQ(t.overlay->sortedItems(), (QList<Item>{{"d", 50, {50, 50}}, {"b", 10, {10, 10}}, {"c", 10, {30, 30}}}));
}

TEST(ProportionalOverlayHits, TheTopmostSymbolIsHitTinyOnesWithinFourPointsHiddenOnesNever)
{
    OverlayPage t;
    // Centres: a at (40, 40) size 40, b at (40, 40) size 10, c at (100, 100) size 2.
    t.overlay->setItems({{"a", 40, {20, 20}}, {"b", 10, {20, 20}}, {"c", 2, {50, 50}}});
    t.overlay->setConcentricPartner(nullptr);
    EXPECT_EQ(t.overlay->item({41, 41})->id, QStringLiteral("b"));
    EXPECT_EQ(t.overlay->item({55, 40})->id, QStringLiteral("a"));
    EXPECT_EQ(t.overlay->item({103.9, 96.1})->id, QStringLiteral("c"));
    EXPECT_FALSE(t.overlay->item({104.1, 100}));
    t.vector->hiddenEntityIDs = {QStringLiteral("b")};
    EXPECT_EQ(t.overlay->item({41, 41})->id, QStringLiteral("a"));
    // Clicks between symbols fall through to the map view.
    EXPECT_EQ(t.root->hitTest({150, 20}), t.vector);
    EXPECT_EQ(t.root->hitTest({40, 40}), t.overlay);
    // The block transform moves the symbols and their hits.
    t.vector->blockTransform = QTransform::fromTranslate(50, 0);
    EXPECT_EQ(t.overlay->item({90, 40})->id, QStringLiteral("a"));
    EXPECT_FALSE(t.overlay->item({40, 40}));
}

TEST(ProportionalOverlayGestures, ADragBeyondThreePointsReportsAnchorsInMapUnitsThenAFinalOne)
{
    OverlayPage t;
    t.overlay->setItems({{"a", 20, {20, 20}}});
    press(*t.widget, {42, 40});
    drag(*t.widget, {45, 40});
    release(*t.widget, {45, 40});
    EXPECT_EQ(t.selections, QStringList{QStringLiteral("a")});
    EXPECT_TRUE(t.positions.isEmpty());

    dragFromTo(*t.widget, {42, 40}, {62, 20});
    ASSERT_GE(t.positions.size(), 2);
    // The grab offset is kept: the anchor moves by the pointer's 20, -20 points = 10, -10 units.
    EXPECT_EQ(t.positions.last(), std::make_tuple(QStringLiteral("a"), PlmPoint{30, 10}, true));
    EXPECT_FALSE(std::get<2>(t.positions.first()));
    EXPECT_FALSE(t.overlay->moving);
    EXPECT_EQ(t.overlay->selectedID(), std::optional<QString>(QStringLiteral("a")));
}

TEST(ProportionalOverlayGestures, ALockedSymbolIsSelectedButNeitherDraggedNudgedNorReset)
{
    OverlayPage t;
    t.overlay->setItems({{"a", 20, {20, 20}}});
    t.vector->lockedEntityIDs = {QStringLiteral("a")};
    dragFromTo(*t.widget, {40, 40}, {80, 80});
    EXPECT_EQ(t.selections, QStringList{QStringLiteral("a")});
    key(*t.widget, Qt::Key_Right);
    t.overlay->reset();
    EXPECT_TRUE(t.positions.isEmpty());
    EXPECT_EQ(t.resets, 0);
}

TEST(ProportionalOverlayKeys, ArrowsMoveTheSelectedSymbolTenViewPointsWhateverTheZoom)
{
    OverlayPage t;
    t.overlay->setItems({{"a", 20, {20, 20}}, {"b", 20, {70, 70}}});
    click(*t.widget, {40, 40});
    key(*t.widget, Qt::Key_Right);
    key(*t.widget, Qt::Key_Down, Qt::ShiftModifier);
    ASSERT_EQ(t.positions.size(), 2);
    EXPECT_EQ(t.positions[0], std::make_tuple(QStringLiteral("a"), PlmPoint{25, 20}, true));
    EXPECT_EQ(t.positions[1], std::make_tuple(QStringLiteral("a"), PlmPoint{20, 15}, true));
    // A hidden selected symbol takes no key.
    t.vector->hiddenEntityIDs = {QStringLiteral("a")};
    key(*t.widget, Qt::Key_Up);
    EXPECT_EQ(t.positions.size(), 2);
}

TEST(ProportionalOverlayMenu, TheResetItemIsAlwaysOfferedAndKeepsTheSelectionOverAnEmptySpot)
{
    OverlayPage t;
    t.overlay->setItems({{"a", 20, {20, 20}}});
    ViewMouseEvent empty;
    empty.location = {150, 150};
    QMenu* menu = t.overlay->menuForEvent(empty);
    ASSERT_EQ(menu->actions().size(), 1);
    EXPECT_EQ(menu->actions()[0]->text(), QStringLiteral("Rétablir la position automatique"));
    menu->actions()[0]->trigger();
    EXPECT_EQ(t.resets, 1);  // no selection at all: reported all the same
    ViewMouseEvent over;
    over.location = {40, 40};
    t.overlay->menuForEvent(over);
    EXPECT_EQ(t.overlay->selectedID(), std::optional<QString>(QStringLiteral("a")));
    t.overlay->menuForEvent(empty)->actions()[0]->trigger();
    EXPECT_EQ(t.overlay->selectedID(), std::optional<QString>(QStringLiteral("a")));
    EXPECT_EQ(t.resets, 2);
}

TEST(ProportionalOverlayDrawing, ConcentricSymbolsDrawTheLargerBelowAndTheSelectionAroundTheLarger)
{
    OverlayPage t;
    auto* partner = new ProportionalOverlay;
    partner->vector = t.vector;
    t.root->addSubview(partner);
    t.overlay->setColor({1, 0, 0, 1});
    partner->setColor({0, 0, 1, 1});
    t.overlay->setItems({{"a", 20, {20, 20}}, {"b", 30, {70, 70}}});
    partner->setItems({{"a", 40, {20, 20}}, {"b", 30, {70, 70}}});
    t.overlay->setConcentricPartner(partner);
    partner->setHidden(true);  // the partner's symbols are drawn by this overlay
    t.overlay->setSelectedID(QStringLiteral("a"));
    QImage image = t.root->renderToImage();
    EXPECT_EQ(pixelAt(image, 40, 40), QColor(255, 0, 0));   // the smaller red one on top
    EXPECT_EQ(pixelAt(image, 40, 56), QColor(0, 0, 255));   // the larger blue ring below
    EXPECT_EQ(pixelAt(image, 140, 140), QColor(0, 0, 255)); // equal sizes: the partner in front
    // The selection square: half side 40 / 2 + 3 = 23 around the larger symbol.
    const QColor mark = pixelAt(image, 40, 40 + 23);
    EXPECT_GT(mark.blue(), 150);
    EXPECT_LT(mark.red(), 150);
    t.overlay->setPartnerInFront(false);
    image = t.root->renderToImage();
    EXPECT_EQ(pixelAt(image, 140, 140), QColor(255, 0, 0));
}
