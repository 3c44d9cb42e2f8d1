#include "canvas/VectorCanvas.h"
#include "support/CanvasEvents.h"
#include "support/CanvasTestMaps.h"

#include <gtest/gtest.h>

using namespace CanvasTestMaps;
using namespace CanvasEvents;

namespace {

using Pairs = QList<QPair<int, PlmEntity>>;

struct Report {
    Pairs entities;
    QString action;
};

PlmPoint firstPoint(const PlmEntity& e)
{
    return e.geometry.asPolygon()->exterior.first();
}

PlmMap threeSquares()
{
    PlmEntity locked = squareEntity("l", 140, 140, 160, 160);
    locked.isLocked = true;
    return mapOf({squareEntity("s", 0, 0, 20, 20), squareEntity("t", 40, 40, 60, 60), locked});
}

} // namespace

TEST(CanvasArrowKeys, MoveTheSelectedEntityByOneOrTenViewPoints)
{
    Hosted h = hosted(threeSquares());
    h.canvas->setScale(2);  // 10 view points are 5 map units
    QList<QPair<int, QString>> edits;
    PlmEntity last;
    h.canvas->onEntityEdit = [&](int i, const PlmEntity& e, const QString& a) {
        edits.append({i, a});
        last = e;
    };
    h.canvas->selectedIndex = 1;
    key(*h.host, Qt::Key_Right);
    EXPECT_EQ(firstPoint(last), (PlmPoint{40.5, 40}));
    key(*h.host, Qt::Key_Up, Qt::ShiftModifier);  // y grows upward
    EXPECT_EQ(firstPoint(last), (PlmPoint{40.5, 45}));
    key(*h.host, Qt::Key_Down);
    key(*h.host, Qt::Key_Left, Qt::ShiftModifier);
    EXPECT_EQ(firstPoint(last), (PlmPoint{35.5, 44.5}));
    ASSERT_EQ(edits.size(), 4);
    EXPECT_EQ(edits[0], (QPair<int, QString>{1, "Déplacer l’objet avec les flèches"}));
    EXPECT_EQ(h.canvas->map().entities.at(1), last);  // live on the canvas too
    EXPECT_EQ(h.canvas->offset(), QPointF(0, 0));
}

TEST(CanvasArrowKeys, ALockedSelectionNeitherMovesNorPans)
{
    Hosted h = hosted(threeSquares());
    int edits = 0;
    h.canvas->onEntityEdit = [&](int, const PlmEntity&, const QString&) { ++edits; };
    h.canvas->selectedIndex = 2;
    key(*h.host, Qt::Key_Left);
    EXPECT_EQ(edits, 0);
    EXPECT_EQ(h.canvas->offset(), QPointF(0, 0));
    EXPECT_EQ(h.canvas->map(), threeSquares());
}

TEST(CanvasArrowKeys, WithoutSelectionTheViewPans)
{
    Hosted h = hosted(threeSquares());
    key(*h.host, Qt::Key_Left);
    EXPECT_EQ(h.canvas->offset(), QPointF(30, 0));
    key(*h.host, Qt::Key_Up);
    EXPECT_EQ(h.canvas->offset(), QPointF(30, -30));
    EXPECT_FALSE(h.canvas->tracksFit);

    // Inside the composition the owner pans: left gives (+30, 0), down (0, +30).
    QList<QPointF> pans;
    h.canvas->onCompositionPan = [&](const QPointF& d) { pans.append(d); };
    key(*h.host, Qt::Key_Left);
    key(*h.host, Qt::Key_Down);
    EXPECT_EQ(pans, (QList<QPointF>{{30, 0}, {0, 30}}));
    EXPECT_EQ(h.canvas->offset(), QPointF(30, -30));
}

TEST(CanvasArrowKeys, CreationSelectionMovesTogetherInOneReport)
{
    Hosted h = hosted(threeSquares());
    h.canvas->creationEnabled = true;
    h.canvas->creationSelection = {"s", "t", "l"};
    QList<Report> reports;
    h.canvas->onCreationEdit = [&](const Pairs& p, const QString& a) { reports.append({p, a}); };
    key(*h.host, Qt::Key_Right, Qt::ShiftModifier);
    ASSERT_EQ(reports.size(), 1);
    EXPECT_EQ(reports[0].action, QString("Déplacer les entités avec les flèches"));
    ASSERT_EQ(reports[0].entities.size(), 2);  // the locked one stays
    EXPECT_EQ(reports[0].entities[0].first, 0);
    EXPECT_EQ(firstPoint(reports[0].entities[0].second), (PlmPoint{10, 0}));
    EXPECT_EQ(reports[0].entities[1].first, 1);
    EXPECT_EQ(h.canvas->map(), threeSquares());  // the owner brings the new map back

    // In group editing the keyboard-selected member moves instead.
    PlmMap grouped = mapOf({groupEntity("g", {squareEntity("a", 0, 0, 10, 10), squareEntity("b", 20, 0, 30, 10)})});
    h.canvas->setMap(grouped);
    h.canvas->creationSelection = {"g"};
    h.canvas->select(QStringList{"g", "b"});
    QList<QString> actions;
    PlmEntity moved;
    h.canvas->onEntityEdit = [&](int, const PlmEntity& e, const QString& a) {
        actions.append(a);
        moved = e;
    };
    key(*h.host, Qt::Key_Down);
    EXPECT_EQ(reports.size(), 1);
    EXPECT_EQ(actions, QList<QString>{"Déplacer l’objet avec les flèches"});
    EXPECT_EQ(moved.geometry.asGroup()->at(1).geometry.asPolygon()->exterior.first(), (PlmPoint{20, -1}));
    EXPECT_EQ(moved.geometry.asGroup()->at(0), grouped.entities.at(0).geometry.asGroup()->at(0));
}

TEST(CanvasKeys, EscapeCancelsADrawingAndClearsTheSelection)
{
    Hosted h = hosted(threeSquares());
    h.canvas->creationEnabled = true;
    int toolChanges = 0;
    h.canvas->onDrawingToolChange = [&] { ++toolChanges; };
    QList<std::optional<int>> selections;
    h.canvas->onSelection = [&](std::optional<int> i) { selections.append(i); };
    h.canvas->setDrawingTool(VectorCanvas::DrawingTool::polygon);
    h.canvas->selectedIndex = 1;
    click(*h.host, {100, 100});
    click(*h.host, {150, 100});
    ASSERT_EQ(h.canvas->drawingPoints.size(), 2);
    key(*h.host, Qt::Key_Escape);
    EXPECT_TRUE(h.canvas->drawingPoints.isEmpty());
    EXPECT_EQ(h.canvas->drawingTool(), VectorCanvas::DrawingTool::selection);
    EXPECT_EQ(toolChanges, 2);
    EXPECT_FALSE(h.canvas->selectedIndex.has_value());
    EXPECT_EQ(selections, QList<std::optional<int>>{std::nullopt});

    // In group editing Escape leaves the group and keeps the selection.
    h.canvas->setMap(mapOf({groupEntity("g", {squareEntity("a", 0, 0, 10, 10)})}));
    h.canvas->select(QStringList{"g", "a"});
    QList<bool> editing;
    h.canvas->onEditingGroup = [&](bool on) { editing.append(on); };
    key(*h.host, Qt::Key_Escape);
    EXPECT_EQ(editing, QList<bool>{false});
    EXPECT_EQ(h.canvas->selectedIndex, 0);
}

TEST(CanvasKeys, DeleteAndReturn)
{
    Hosted h = hosted(threeSquares());
    h.canvas->creationEnabled = true;
    QStringList commands;
    h.canvas->onCreationCommand = [&](const QString& c) { commands.append(c); };
    key(*h.host, Qt::Key_Backspace);
    key(*h.host, Qt::Key_Delete);
    EXPECT_EQ(commands, (QStringList{"delete", "delete"}));

    QList<QPair<PlmGeometry, QString>> created;
    h.canvas->onCreate = [&](const PlmGeometry& g, const QString& n) { created.append({g, n}); };
    h.canvas->setDrawingTool(VectorCanvas::DrawingTool::polyline);
    click(*h.host, {10, 100});
    click(*h.host, {60, 120});
    key(*h.host, Qt::Key_Return);
    ASSERT_EQ(created.size(), 1);
    EXPECT_EQ(created[0].second, QString("Tracé"));
    EXPECT_EQ(*created[0].first.asPolyline(), (QList<PlmPoint>{{10, 100}, {60, 120}}));
}

// ---- Vertex menu and vertex commands ----

namespace {

Hosted vertexCanvas(const PlmMap& map, int selected)
{
    Hosted h = hosted(map);
    h.canvas->creationEnabled = true;
    h.canvas->setDrawingTool(VectorCanvas::DrawingTool::vertices);
    h.canvas->selectedIndex = selected;
    return h;
}

PlmMap shapes()
{
    PlmPolygon triangle;
    triangle.exterior = {{0, 0}, {100, 0}, {50, 80}};
    PlmPolygon square;
    square.exterior = rect(100, 100, 180, 180);
    PlmEntity multi(QStringLiteral("m"), QStringLiteral("m"), PlmGeometry::multipolygon({square}), style({0, 0, 0, 1}, std::nullopt));
    return mapOf({PlmEntity("tri", "tri", PlmGeometry::polygon(triangle), style({0, 0, 0, 1}, std::nullopt)),
                  lineEntity("two", {{0, 150}, {80, 150}}), squareEntity("sq", 100, 100, 180, 180), multi});
}

} // namespace

TEST(CanvasVertexMenu, AppliesOnlyToAnEditableLineOrPolygon)
{
    Hosted h = vertexCanvas(shapes(), 3);
    EXPECT_EQ(h.canvas->vertexMenu({120, 120}), VectorCanvas::VertexMenu::none);  // a multipolygon: no menu at all
    h.canvas->selectedIndex = 2;
    EXPECT_EQ(h.canvas->vertexMenu({178, 120}), VectorCanvas::VertexMenu::shown);
    EXPECT_EQ(h.canvas->vertexMenuIndex, 1);  // (180, 100) is nearest
    h.canvas->setDrawingTool(VectorCanvas::DrawingTool::selection);
    EXPECT_EQ(h.canvas->vertexMenu({178, 120}), VectorCanvas::VertexMenu::inherited);
    h.canvas->setDrawingTool(VectorCanvas::DrawingTool::vertices);
    h.canvas->selectedIndex = 9;
    EXPECT_EQ(h.canvas->vertexMenu({178, 120}), VectorCanvas::VertexMenu::inherited);
}

TEST(CanvasVertexMenu, SnapsTheRecordedPointHalvesAwayFromZero)
{
    Hosted h = vertexCanvas(shapes(), 2);
    h.canvas->snapsToGrid = true;
    h.canvas->gridStep = 20;
    h.canvas->vertexMenu({29.9, 109});
    EXPECT_EQ(h.canvas->vertexMenuPoint, (PlmPoint{20, 100}));
    h.canvas->vertexMenu({30, 110});
    EXPECT_EQ(h.canvas->vertexMenuPoint, (PlmPoint{40, 120}));
    // A grid step of zero snaps nothing instead of making every point NaN.
    h.canvas->gridStep = 0;
    h.canvas->vertexMenu({31, 111});
    EXPECT_EQ(h.canvas->vertexMenuPoint, (PlmPoint{31, 111}));
}

TEST(CanvasVertexCommands, DeleteKeepsTrianglesAndTwoPointLines)
{
    Hosted h = vertexCanvas(shapes(), 0);
    QList<Report> reports;
    h.canvas->onCreationEdit = [&](const Pairs& p, const QString& a) { reports.append({p, a}); };
    h.canvas->vertexMenu({50, 79});
    h.canvas->editVertex(false);
    h.canvas->selectedIndex = 1;
    h.canvas->vertexMenu({0, 150});
    h.canvas->editVertex(false);
    EXPECT_TRUE(reports.isEmpty());

    h.canvas->selectedIndex = 2;
    h.canvas->vertexMenu({181, 181});
    h.canvas->editVertex(false);
    ASSERT_EQ(reports.size(), 1);
    EXPECT_EQ(reports[0].action, QString("Supprimer un sommet"));
    EXPECT_EQ(reports[0].entities[0].first, 2);
    EXPECT_EQ(reports[0].entities[0].second.geometry.asPolygon()->exterior,
              (QList<PlmPoint>{{100, 100}, {180, 100}, {100, 180}}));
    EXPECT_EQ(h.canvas->map(), shapes());  // reported, not applied
}

TEST(CanvasVertexCommands, InsertOnTheNearestSegmentClosingOneIncluded)
{
    Hosted h = vertexCanvas(shapes(), 2);
    QList<Report> reports;
    h.canvas->onCreationEdit = [&](const Pairs& p, const QString& a) { reports.append({p, a}); };
    h.canvas->vertexMenu({101, 140});  // beside the closing segment (100, 180) → (100, 100)
    h.canvas->editVertex(true);
    ASSERT_EQ(reports.size(), 1);
    EXPECT_EQ(reports[0].action, QString("Insérer un sommet"));
    EXPECT_EQ(reports[0].entities[0].second.geometry.asPolygon()->exterior,
              (QList<PlmPoint>{{100, 100}, {180, 100}, {180, 180}, {100, 180}, {101, 140}}));

    h.canvas->selectedIndex = 1;
    h.canvas->vertexMenu({40, 152});
    h.canvas->editVertex(true);
    ASSERT_EQ(reports.size(), 2);
    EXPECT_EQ(*reports[1].entities[0].second.geometry.asPolyline(), (QList<PlmPoint>{{0, 150}, {40, 152}, {80, 150}}));

    // A stale index (the map lost points meanwhile) does nothing.
    h.canvas->vertexMenuIndex = 7;
    h.canvas->editVertex(true);
    EXPECT_EQ(reports.size(), 2);
}

TEST(CanvasVertexCommands, SegmentDistance)
{
    const QList<PlmPoint> points{{0, 0}, {10, 0}, {10, 10}};
    EXPECT_DOUBLE_EQ(VectorCanvas::segmentDistance({5, 3}, 0, points), 3);
    EXPECT_DOUBLE_EQ(VectorCanvas::segmentDistance({-4, 3}, 0, points), 5);  // beyond the end: to the end point
    EXPECT_NEAR(VectorCanvas::segmentDistance({0, 5}, 2, points), 5 / std::sqrt(2.0), 1e-12);  // the closing segment
    EXPECT_DOUBLE_EQ(VectorCanvas::segmentDistance({3, 4}, 0, {{0, 0}, {0, 0}}), 5);  // a segment of no length
}

TEST(CanvasVertexMenu, ASecondaryClickOffersBothCommandsInOrder)
{
    Hosted h = vertexCanvas(shapes(), 3);
    QList<Report> reports;
    h.canvas->onCreationEdit = [&](const Pairs& p, const QString& a) { reports.append({p, a}); };
    auto rightClick = [&](const QPointF& p) {
        const QPointF w = h.host->widgetPoint(p);
        QMouseEvent event(QEvent::MouseButtonPress, w, h.host->mapToGlobal(w), Qt::RightButton, Qt::RightButton, {});
        QCoreApplication::sendEvent(h.host.get(), &event);
    };
    rightClick({120, 120});  // a multipolygon: no menu
    EXPECT_EQ(h.host->findChild<QMenu*>(), nullptr);

    h.canvas->selectedIndex = 2;
    rightClick({101, 140});
    QMenu* menu = h.host->findChild<QMenu*>();
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(menu->actions().size(), 2);
    EXPECT_EQ(menu->actions()[0]->text(), QString("Insérer un sommet ici"));
    EXPECT_EQ(menu->actions()[1]->text(), QString("Supprimer le sommet proche"));
    EXPECT_TRUE(menu->actions()[0]->shortcut().isEmpty());
    menu->actions()[1]->trigger();
    ASSERT_EQ(reports.size(), 1);
    EXPECT_EQ(reports[0].action, QString("Supprimer un sommet"));
    EXPECT_EQ(reports[0].entities[0].second.geometry.asPolygon()->exterior.size(), 3);
    menu->close();
}
