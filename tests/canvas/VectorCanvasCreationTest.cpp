#include "canvas/VectorCanvas.h"
#include "support/CanvasEvents.h"
#include "support/CanvasTestMaps.h"

#include <gtest/gtest.h>

using namespace CanvasTestMaps;
using namespace CanvasEvents;
using Tool = VectorCanvas::DrawingTool;

namespace {

using Pairs = QList<QPair<int, PlmEntity>>;

struct Selection {
    QSet<QString> ids;
    std::optional<QString> primary;
};

struct Creation {
    Hosted h;
    QList<Selection> selections;
    QList<QPair<Pairs, QString>> edits;
};

// The Fond pane's wiring: the selection the canvas reports comes back to it.
std::unique_ptr<Creation> creation(const PlmMap& map, Tool tool = Tool::selection)
{
    auto c = std::make_unique<Creation>();
    c->h = hosted(map);
    VectorCanvas* canvas = c->h.canvas;
    canvas->creationEnabled = true;
    canvas->setDrawingTool(tool);
    canvas->onSelectionSet = [raw = c.get()](const QSet<QString>& ids, const std::optional<QString>& primary) {
        raw->selections.append({ids, primary});
    };
    canvas->onCreationEdit = [raw = c.get()](const Pairs& p, const QString& a) { raw->edits.append({p, a}); };
    return c;
}

PlmEntity member(PlmEntity e, const QString& group)
{
    e.attributes.insert(QStringLiteral("studio.creation.group"), group);
    return e;
}

// Two squares of creation group G, a free square, a locked one.
PlmMap groupedMap()
{
    PlmEntity locked = squareEntity("l", 150, 150, 170, 170);
    locked.isLocked = true;
    return mapOf({member(squareEntity("a", 0, 0, 20, 20), "G"), squareEntity("f", 50, 50, 70, 70),
                  member(squareEntity("b", 100, 0, 120, 20), "G"), locked});
}

PlmPoint firstPoint(const PlmEntity& e)
{
    return e.geometry.asPolygon()->exterior.first();
}

} // namespace

TEST(CanvasCreationGroups, AClickSelectsTheWholeGroupAndShiftRemovesIt)
{
    auto c = creation(groupedMap());
    EXPECT_EQ(c->h.canvas->creationGroupMembers("G"), (QStringList{"a", "b"}));
    click(*c->h.host, {110, 10});
    ASSERT_EQ(c->selections.size(), 1);
    EXPECT_EQ(c->selections[0].ids, (QSet<QString>{"a", "b"}));
    EXPECT_EQ(c->selections[0].primary, QString("b"));
    EXPECT_EQ(c->h.canvas->creationSelection, (QSet<QString>{"a", "b"}));
    EXPECT_EQ(c->h.canvas->selectedIndex, 2);

    click(*c->h.host, {60, 60}, Qt::ShiftModifier);
    EXPECT_EQ(c->h.canvas->creationSelection, (QSet<QString>{"a", "b", "f"}));
    click(*c->h.host, {10, 10}, Qt::ControlModifier);  // Command: the whole group leaves
    EXPECT_EQ(c->h.canvas->creationSelection, QSet<QString>{"f"});
    EXPECT_EQ(c->h.canvas->selectedIndex, 1);  // the first selected entity in map order

    click(*c->h.host, {190, 100}, Qt::ShiftModifier);  // nothing hit, extending: unchanged
    EXPECT_EQ(c->h.canvas->creationSelection, QSet<QString>{"f"});
    click(*c->h.host, {190, 100});
    EXPECT_TRUE(c->h.canvas->creationSelection.isEmpty());
    EXPECT_FALSE(c->selections.last().primary.has_value());
    EXPECT_TRUE(c->edits.isEmpty());  // clicks move nothing
}

TEST(CanvasCreationDrag, MovesTheSelectionLiveAndReportsItOnce)
{
    auto c = creation(groupedMap());
    dragFromTo(*c->h.host, {10, 10}, {40, 30});
    ASSERT_EQ(c->edits.size(), 1);
    EXPECT_EQ(c->edits[0].second, QString("Modifier les entités"));
    const Pairs& moved = c->edits[0].first;
    ASSERT_EQ(moved.size(), 2);
    EXPECT_EQ(moved[0].first, 0);
    EXPECT_EQ(firstPoint(moved[0].second), (PlmPoint{30, 20}));
    EXPECT_EQ(moved[1].first, 2);
    EXPECT_EQ(firstPoint(moved[1].second), (PlmPoint{130, 20}));
    EXPECT_EQ(c->h.canvas->map().entities.at(2), moved[1].second);
    EXPECT_EQ(c->h.canvas->map().entities.at(1), groupedMap().entities.at(1));
    EXPECT_FALSE(c->h.canvas->creationStart.has_value());
    EXPECT_TRUE(c->h.canvas->creationOriginals.isEmpty());

    // The moved entities are hit where they went, not where they were.
    click(*c->h.host, {135, 25});
    EXPECT_EQ(c->h.canvas->creationSelection, (QSet<QString>{"a", "b"}));
    click(*c->h.host, {190, 100});
    click(*c->h.host, {110, 10});
    EXPECT_TRUE(c->h.canvas->creationSelection.isEmpty());
}

TEST(CanvasCreationDrag, ALockedEntityIsSelectedButNotMoved)
{
    auto c = creation(groupedMap());
    dragFromTo(*c->h.host, {160, 160}, {190, 190});
    EXPECT_EQ(c->h.canvas->creationSelection, QSet<QString>{"l"});
    EXPECT_TRUE(c->edits.isEmpty());
    EXPECT_EQ(c->h.canvas->map(), groupedMap());
}

TEST(CanvasCreationGrid, SnapsHalvesAwayFromZero)
{
    auto c = creation(mapOf({}), Tool::polygon);
    c->h.canvas->snapsToGrid = true;
    c->h.canvas->gridStep = 20;
    c->h.canvas->setOffset({100, 100});  // map (0, 0) at the view's centre
    click(*c->h.host, {129.9, 90});      // map (29.9, −10)
    click(*c->h.host, {130, 110});       // map (30, 10)
    click(*c->h.host, {131, 111});       // the same snapped point: no new vertex
    EXPECT_EQ(c->h.canvas->drawingPoints, (QList<PlmPoint>{{20, -20}, {40, 20}}));
}

TEST(CanvasCreationHandles, FlatSelectionMovesTheNearerEndOfEachTwoPointLine)
{
    auto c = creation(mapOf({lineEntity("l1", {{20, 100}, {80, 100}}), lineEntity("l2", {{100, 100}, {180, 100}}),
                             pointEntity("p", 120, 100, 0)}));
    c->h.canvas->creationSelection = {"l1", "l2", "p"};
    // The frame runs from (20, 100) to (180, 100): drag its right-hand corner.
    dragFromTo(*c->h.host, {179, 101}, {170, 130});
    ASSERT_EQ(c->edits.size(), 1);
    const Pairs& moved = c->edits[0].first;
    ASSERT_EQ(moved.size(), 3);
    EXPECT_EQ(*moved[0].second.geometry.asPolyline(), (QList<PlmPoint>{{20, 100}, {170, 130}}));
    EXPECT_EQ(*moved[1].second.geometry.asPolyline(), (QList<PlmPoint>{{100, 100}, {170, 130}}));
    EXPECT_EQ(*moved[2].second.geometry.asPoint(), (PlmPoint{111, 129}));  // translated by the drag
}

TEST(CanvasCreationHandles, ResizingNeverMirrors)
{
    auto c = creation(mapOf({squareEntity("s", 50, 50, 150, 150)}));
    c->h.canvas->creationSelection = {"s"};
    // Corner 2 (maxX, maxY) onto the opposite corner (50, 50): 2 % of the size.
    dragFromTo(*c->h.host, {150, 150}, {50, 50});
    ASSERT_EQ(c->edits.size(), 1);
    const QList<PlmPoint> shrunk = c->edits[0].first[0].second.geometry.asPolygon()->exterior;
    EXPECT_EQ(shrunk[0], (PlmPoint{50, 50}));
    EXPECT_NEAR(shrunk[2].x, 52, 1e-9);
    EXPECT_NEAR(shrunk[2].y, 52, 1e-9);

    // Beyond the anchor the selection grows again, on the same side.
    c->h.canvas->setMap(mapOf({squareEntity("s", 50, 50, 150, 150)}));
    dragFromTo(*c->h.host, {150, 150}, {10, 30});
    ASSERT_EQ(c->edits.size(), 2);
    const QList<PlmPoint> grown = c->edits[1].first[0].second.geometry.asPolygon()->exterior;
    EXPECT_EQ(grown[0], (PlmPoint{50, 50}));
    EXPECT_NEAR(grown[2].x, 90, 1e-9);
    EXPECT_NEAR(grown[2].y, 70, 1e-9);
}

TEST(CanvasCreationVertices, DraggingAVertexMovesThatPointOnly)
{
    auto c = creation(mapOf({squareEntity("s", 50, 50, 150, 150)}), Tool::vertices);
    c->h.canvas->creationSelection = {"s"};
    c->h.canvas->selectedIndex = 0;
    dragFromTo(*c->h.host, {148, 52}, {170, 30});  // near (150, 50)
    ASSERT_EQ(c->edits.size(), 1);
    EXPECT_EQ(c->edits[0].first[0].second.geometry.asPolygon()->exterior,
              (QList<PlmPoint>{{50, 50}, {170, 30}, {150, 150}, {50, 150}}));
}

TEST(CanvasCreationClicks, DoubleClickEntersAGroupOrEditsAText)
{
    PlmText text;
    text.text = QStringLiteral("Nantes");
    text.fontName = QStringLiteral("Helvetica");
    text.fontSize = 30;
    text.transform = PlmTransform{1, 0, 0, 1, 20, 150};
    auto c = creation(mapOf({groupEntity("g", {squareEntity("a", 0, 0, 40, 40)}),
                             PlmEntity("t", "t", PlmGeometry::text(text), style({0, 0, 0, 1}, PlmColor{0, 0, 0, 1}))}));
    QList<bool> editing;
    c->h.canvas->onEditingGroup = [&](bool on) { editing.append(on); };
    QStringList prompts;
    c->h.canvas->promptForText = [&](const VectorCanvas::TextPrompt& p) {
        prompts.append(p.message);
        return std::nullopt;
    };
    c->h.canvas->onEntityEdit = [](int, const PlmEntity&, const QString&) {};
    doubleClick(*c->h.host, {20, 20});
    EXPECT_EQ(editing, QList<bool>{true});
    EXPECT_EQ(c->h.canvas->editingGroup, (QList<int>{0}));
    key(*c->h.host, Qt::Key_Escape);

    // A point on the glyphs away from the frame's corner handles.
    const PlmEntity& t = c->h.canvas->map().entities.at(1);
    std::optional<QPointF> on;
    for (double y = 160; y < 180 && !on; y += 0.5)
        for (double x = 30; x < 120 && !on; x += 0.5)
            if (c->h.canvas->hits(t, {x, y}))
                on = QPointF(x, y);
    ASSERT_TRUE(on.has_value());
    doubleClick(*c->h.host, *on);
    EXPECT_EQ(prompts, QStringList{"Modifier le texte"});
}
