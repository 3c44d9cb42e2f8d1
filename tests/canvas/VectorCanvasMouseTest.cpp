#include "canvas/CanvasPathBuilder.h"
#include "canvas/VectorCanvas.h"
#include "support/CanvasEvents.h"
#include "support/CanvasTestMaps.h"

#include <gtest/gtest.h>

using namespace CanvasTestMaps;
using namespace CanvasEvents;

namespace {

struct Edit {
    int index;
    PlmEntity entity;
    QString action;
};

// top0: square s (0..20); top1: group g { a (60..80), b (100..120) }; top2: text t at (150, 150).
PlmMap sampleMap(bool lockB = false)
{
    PlmEntity b = squareEntity("b", 100, 100, 120, 120);
    if (lockB)
        b.isLocked = true;
    PlmText text;
    text.text = QStringLiteral("Lyon");
    text.fontName = QStringLiteral("Helvetica");
    text.fontSize = 18;
    text.transform = PlmTransform{1, 0, 0, 1, 150, 150};
    PlmEntity t(QStringLiteral("t"), QStringLiteral("t"), PlmGeometry::text(text), style({0, 0, 0, 1}, PlmColor{0, 0, 0, 1}));
    return mapOf({squareEntity("s", 0, 0, 20, 20), groupEntity("g", {squareEntity("a", 60, 60, 80, 80), b}), t});
}

Hosted editable(const PlmMap& map, QList<Edit>& edits)
{
    Hosted h = hosted(map);
    h.canvas->onEntityEdit = [&edits](int i, const PlmEntity& e, const QString& action) { edits.append({i, e, action}); };
    return h;
}

PlmPoint firstPoint(const PlmEntity& e)
{
    if (const PlmPolygon* p = e.geometry.asPolygon())
        return p->exterior.first();
    return e.geometry.asGroup()->at(0).geometry.asPolygon()->exterior.first();
}

// A view point where the entity is hit (a glyph of a text, say).
QPointF pointOn(VectorCanvas& canvas, const PlmEntity& e)
{
    const QRectF box = CanvasPathBuilder::toPainterPath(canvas.path(e.geometry, e.attributes)).boundingRect();
    for (double y = box.top(); y <= box.bottom(); y += 0.5)
        for (double x = box.left(); x <= box.right(); x += 0.5)
            if (canvas.hits(e, {x, y}))
                return {x, y};
    ADD_FAILURE() << "nothing of the entity can be hit";
    return box.center();
}

} // namespace

TEST(CanvasMouseMoves, DraggingAGroupMovesItLiveAndReportsOneEdit)
{
    QList<Edit> edits;
    Hosted h = editable(sampleMap(), edits);
    QList<std::optional<int>> selections;
    h.canvas->onSelection = [&](std::optional<int> i) { selections.append(i); };

    press(*h.host, {70, 70});
    EXPECT_EQ(h.canvas->selectedIndex, 1);
    drag(*h.host, {90, 75});
    // Live feedback on the canvas's own map, nothing reported yet.
    EXPECT_EQ(firstPoint(h.canvas->map().entities.at(1)), (PlmPoint{80, 65}));
    EXPECT_TRUE(edits.isEmpty());
    drag(*h.host, {100, 80});
    release(*h.host, {100, 80});

    ASSERT_EQ(edits.size(), 1);
    EXPECT_EQ(edits[0].index, 1);
    EXPECT_EQ(edits[0].action, QString("Déplacer le groupe"));
    EXPECT_EQ(firstPoint(edits[0].entity), (PlmPoint{90, 70}));  // moved from the original, no drift
    EXPECT_EQ(edits[0].entity.id, QString("g"));
    EXPECT_EQ(selections.first(), std::optional<int>(1));
    EXPECT_EQ(h.canvas->map().entities.at(0), sampleMap().entities.at(0));
}

TEST(CanvasMouseMoves, ATopLevelShapeIsNotMovedButPansTheView)
{
    QList<Edit> edits;
    Hosted h = editable(sampleMap(), edits);
    int viewportChanges = 0;
    h.canvas->onViewportChange = [&] { ++viewportChanges; };
    h.canvas->tracksFit = true;
    dragFromTo(*h.host, {10, 10}, {30, 10});
    EXPECT_TRUE(edits.isEmpty());
    EXPECT_EQ(h.canvas->map(), sampleMap());
    // The pan starts where the 3-point threshold was crossed.
    EXPECT_GT(h.canvas->offset().x(), 10);
    EXPECT_LE(h.canvas->offset().x(), 20);
    EXPECT_FALSE(h.canvas->tracksFit);
    EXPECT_GT(viewportChanges, 0);
    EXPECT_EQ(viewportChanges % 2, 0);  // each pan step reports x, then y
}

TEST(CanvasMouseMoves, GroupEditingMovesOneMemberUnderItsOwnName)
{
    QList<Edit> edits;
    Hosted h = editable(sampleMap(), edits);
    QList<bool> editing;
    h.canvas->onEditingGroup = [&](bool on) { editing.append(on); };
    doubleClick(*h.host, {70, 70});
    EXPECT_EQ(editing, QList<bool>{true});
    EXPECT_EQ(h.canvas->editingGroup, (QList<int>{1}));
    ASSERT_TRUE(edits.isEmpty());

    dragFromTo(*h.host, {110, 110}, {130, 140});
    ASSERT_EQ(edits.size(), 1);
    EXPECT_EQ(edits[0].action, QString("Déplacer un objet du groupe"));
    EXPECT_EQ(edits[0].index, 1);
    const PlmEntityList members = *edits[0].entity.geometry.asGroup();
    EXPECT_EQ(members.at(1).geometry.asPolygon()->exterior.first(), (PlmPoint{120, 130}));
    EXPECT_EQ(members.at(0), sampleMap().entities.at(1).geometry.asGroup()->at(0));
    EXPECT_EQ(h.canvas->keyboardPath, (QList<int>{1, 1}));
}

TEST(CanvasMouseMoves, ALockedMemberIsSelectedButPansInstead)
{
    QList<Edit> edits;
    Hosted h = editable(sampleMap(true), edits);
    h.canvas->editingGroup = QList<int>{1};
    QList<QStringList> studio;
    h.canvas->onStudioObjectSelection = [&](const QStringList& ids) { studio.append(ids); };
    dragFromTo(*h.host, {110, 110}, {130, 110});
    EXPECT_TRUE(edits.isEmpty());
    EXPECT_EQ(h.canvas->map(), sampleMap(true));
    EXPECT_EQ(studio, (QList<QStringList>{{"g", "b"}}));
    EXPECT_GT(h.canvas->offset().x(), 0);
}

TEST(CanvasMouseClicks, ShortDragIsAClickAndEmptySpaceClears)
{
    QList<Edit> edits;
    Hosted h = editable(sampleMap(), edits);
    dragFromTo(*h.host, {70, 70}, {72, 72});  // under 3 points
    EXPECT_TRUE(edits.isEmpty());
    EXPECT_EQ(h.canvas->selectedIndex, 1);
    EXPECT_EQ(h.canvas->offset(), QPointF(0, 0));
    click(*h.host, {190, 10});
    EXPECT_FALSE(h.canvas->selectedIndex.has_value());
}

TEST(CanvasMouseClicks, HiddenEntitiesAreNeverHit)
{
    PlmMap map = sampleMap();
    PlmEntity cover = squareEntity("cover", 0, 0, 40, 40);
    cover.isHidden = true;
    map.entities.append(cover);
    QList<Edit> edits;
    Hosted h = editable(map, edits);
    click(*h.host, {30, 30});  // only the hidden square lies there
    EXPECT_FALSE(h.canvas->selectedIndex.has_value());
    click(*h.host, {10, 10});  // the square below the hidden one
    EXPECT_EQ(h.canvas->selectedIndex, 0);
}

TEST(CanvasMouseClicks, ATripleClickActsAsASingleClick)
{
    QList<Edit> edits;
    Hosted h = editable(sampleMap(), edits);
    ViewMouseEvent e;
    e.location = {70, 70};
    e.clickCount = 3;
    h.canvas->mouseDown(e);
    EXPECT_FALSE(h.canvas->editingGroup.has_value());
    EXPECT_EQ(h.canvas->movingPath, (QList<int>{1}));
}

TEST(CanvasMouseText, DoubleClickEditsTheTextAndAcceptsAnEmptyOne)
{
    QList<Edit> edits;
    Hosted h = editable(sampleMap(), edits);
    QList<VectorCanvas::TextPrompt> prompts;
    std::optional<QString> answer;
    h.canvas->promptForText = [&](const VectorCanvas::TextPrompt& p) {
        prompts.append(p);
        return answer;
    };
    const QPointF onText = pointOn(*h.canvas, h.canvas->map().entities.at(2));
    doubleClick(*h.host, onText);  // dismissed
    ASSERT_EQ(prompts.size(), 1);
    EXPECT_EQ(prompts[0].message, QString("Modifier le texte"));
    EXPECT_EQ(prompts[0].text, QString("Lyon"));
    EXPECT_EQ(prompts[0].buttons, (QStringList{"Valider", "Annuler"}));
    EXPECT_TRUE(edits.isEmpty());

    answer = QString();
    doubleClick(*h.host, onText);
    ASSERT_EQ(edits.size(), 1);
    EXPECT_EQ(edits[0].action, QString("Modifier un texte du groupe"));
    EXPECT_EQ(edits[0].index, 2);
    EXPECT_EQ(edits[0].entity.geometry.asText()->text, QString());
    EXPECT_EQ(edits[0].entity.geometry.asText()->fontSize, 18);
}

TEST(CanvasMouseZoom, OptionDragZoomsOnlyOnARectangleOver8Points)
{
    QList<Edit> edits;
    Hosted h = editable(sampleMap(), edits);
    // The tip names the key of this keyboard.
    EXPECT_EQ(h.canvas->toolTip(), QStringLiteral("Molette ou pincement : zoom · Glisser : déplacer · Alt-glisser : "
                                                  "zoom sur une zone · Ajuster : cadrage du fond"));
    dragFromTo(*h.host, {50, 50}, {58, 150}, Qt::AltModifier);
    EXPECT_EQ(h.canvas->scale(), 1);
    EXPECT_FALSE(h.canvas->zoomRectangle.has_value());

    dragFromTo(*h.host, {50, 50}, {59, 59}, Qt::AltModifier);
    EXPECT_NEAR(h.canvas->scale(), 200.0 / 9, 1e-9);
    // The rectangle's centre comes to the view's centre.
    const QPointF centre = h.canvas->viewPoint(QPointF(54.5, 54.5));
    EXPECT_NEAR(centre.x(), 100, 1e-6);
    EXPECT_NEAR(centre.y(), 100, 1e-6);
    EXPECT_TRUE(edits.isEmpty());
}

TEST(CanvasMouseZoom, InsideTheCompositionTheOwnerPansAndZooms)
{
    Hosted h = hosted(sampleMap());
    QList<QPointF> pans;
    QList<QRectF> rects;
    h.canvas->onCompositionPan = [&](const QPointF& d) { pans.append(d); };
    h.canvas->onCompositionZoomRect = [&](const QRectF& r) { rects.append(r); };
    h.canvas->tracksFit = true;
    dragFromTo(*h.host, {150, 20}, {170, 20});
    EXPECT_EQ(h.canvas->offset(), QPointF(0, 0));
    EXPECT_TRUE(h.canvas->tracksFit);
    ASSERT_FALSE(pans.isEmpty());
    double total = 0;
    for (const QPointF& d : pans)
        total += d.x();
    EXPECT_GT(total, 10);

    dragFromTo(*h.host, {10, 10}, {14, 12}, Qt::AltModifier);  // any size goes to the owner
    ASSERT_EQ(rects.size(), 1);
    EXPECT_EQ(rects[0], QRectF(10, 10, 4, 2));
}

TEST(CanvasMouseLabels, DraggingANameLabelReportsItsNewPlace)
{
    Hosted h = hosted(mapOf({squareEntity("Nord", 40, 40, 160, 160)}));
    h.canvas->showEntityNames = true;
    QList<QPair<QString, PlmPoint>> moves;
    h.canvas->onEntityNameMove = [&](const QString& id, const PlmPoint& p) { moves.append({id, p}); };
    const QList<VectorCanvas::NameLabel> labels = h.canvas->entityNameLabels();
    ASSERT_EQ(labels.size(), 1);
    const QPointF onLabel = CanvasPathBuilder::toPainterPath(labels[0].path).boundingRect().center();
    const PlmPoint origin = *h.canvas->entityNameAnchor(h.canvas->map().entities.at(0));

    dragFromTo(*h.host, onLabel, onLabel + QPointF(10, -20));
    ASSERT_EQ(moves.size(), 1);
    EXPECT_EQ(moves[0].first, QString("Nord"));
    EXPECT_NEAR(moves[0].second.x, origin.x + 10, 1e-9);
    EXPECT_NEAR(moves[0].second.y, origin.y - 20, 1e-9);
    EXPECT_EQ(h.canvas->selectedIndex, 0);

    // Back exactly where it started: no report.
    const QPointF moved = onLabel + QPointF(10, -20);
    press(*h.host, moved);
    drag(*h.host, moved + QPointF(0, 20));
    drag(*h.host, moved);
    release(*h.host, moved);
    EXPECT_EQ(moves.size(), 1);
}

TEST(CanvasMouseMoves, EachMoveRebuildsTheMovedEntityAlone)
{
    PlmEntityList entities;
    for (int i = 0; i < 300; ++i)
        entities.append(squareEntity(QString::number(i), (i % 20) * 10, (i / 20) * 10, (i % 20) * 10 + 6, (i / 20) * 10 + 6));
    entities.append(groupEntity("g", {squareEntity("m", 100, 180, 120, 195)}));
    QList<Edit> edits;
    Hosted h = editable(mapOf(entities), edits);
    press(*h.host, {110, 190});
    ASSERT_EQ(h.canvas->movingPath, (QList<int>{300}));
    const int built = h.canvas->entityCache().builtSinceReset();
    drag(*h.host, {120, 190});
    drag(*h.host, {130, 185});
    drag(*h.host, {140, 180});
    EXPECT_EQ(h.canvas->entityCache().builtSinceReset(), built + 3);
    // Hit tests see the group where it went.
    EXPECT_EQ(h.canvas->indexPath(QPointF(145, 175)), (QList<int>{300}));
    release(*h.host, {140, 180});
    ASSERT_EQ(edits.size(), 1);
    EXPECT_EQ(h.canvas->entityCache().builtSinceReset(), built + 3);
}

TEST(CanvasMouseMoves, AMapReplacedDuringADragIsNotOverwritten)
{
    QList<Edit> edits;
    Hosted h = editable(sampleMap(), edits);
    press(*h.host, {70, 70});
    drag(*h.host, {90, 70});
    // The owner moves the selection elsewhere, then brings a map where
    // another entity sits at the group's index.
    h.canvas->selectedIndex.reset();
    PlmMap reordered = sampleMap();
    reordered.entities.move(0, 1);
    h.canvas->setMap(reordered);
    drag(*h.host, {100, 70});
    release(*h.host, {100, 70});
    EXPECT_TRUE(edits.isEmpty());
    EXPECT_EQ(h.canvas->map(), reordered);
}

TEST(CanvasKeysElsewhere, AViewThatCannotEditIgnoresKeys)
{
    Hosted h = hosted(sampleMap());
    h.canvas->isInteractive = false;
    key(*h.host, Qt::Key_Left);
    key(*h.host, Qt::Key_Escape);
    EXPECT_EQ(h.canvas->offset(), QPointF(0, 0));
    press(*h.host, {70, 70});
    EXPECT_FALSE(h.canvas->selectedIndex.has_value());
}
