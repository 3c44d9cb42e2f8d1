#include "canvas/CanvasPathBuilder.h"
#include "canvas/VectorCanvas.h"
#include "support/CanvasTestMaps.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace CanvasTestMaps;

namespace {

// Scale 1 and no offset: view points equal map units.
std::unique_ptr<VectorCanvas> canvasOf(const PlmMap& map)
{
    auto canvas = std::make_unique<VectorCanvas>(map, true, QString());
    canvas->setFrame(QRectF(0, 0, 200, 200));
    canvas->fitted = true;
    canvas->tracksFit = false;
    return canvas;
}

// top0: square; top1: group g { a, inner { b, c } }; top2: point.
PlmMap nestedMap()
{
    PlmEntity inner = groupEntity("inner", {squareEntity("b", 100, 100, 120, 120), squareEntity("c", 130, 100, 150, 120)});
    PlmEntity group = groupEntity("g", {squareEntity("a", 60, 60, 80, 80), inner});
    return mapOf({squareEntity("s", 0, 0, 20, 20), group, pointEntity("p", 180, 180, 2)});
}

} // namespace

TEST(CanvasIndexPaths, ResolveIdsIntoNestedGroups)
{
    auto canvas = canvasOf(nestedMap());
    EXPECT_EQ(canvas->indexPath(QStringList{"g", "inner", "c"}), (QList<int>{1, 1, 1}));
    EXPECT_EQ(canvas->indexPath(QStringList{"g"}), (QList<int>{1}));
    EXPECT_FALSE(canvas->indexPath(QStringList{"s", "x"}).has_value());  // s is not a group
    EXPECT_FALSE(canvas->indexPath(QStringList{"g", "zz"}).has_value());
    EXPECT_FALSE(canvas->indexPath(QStringList{}).has_value());
    EXPECT_EQ(canvas->entity({1, 1, 0})->id, QString("b"));
    EXPECT_FALSE(canvas->entity({1, 1, 2}).has_value());
    EXPECT_FALSE(canvas->entity({0, 0}).has_value());
    EXPECT_FALSE(canvas->entity({-1}).has_value());
}

// A large map is indexed by id after its first lookup: the first of equal ids still wins, and
// a changed map is read afresh.
TEST(CanvasIndexPaths, RepeatedLookupsOnALargeMapFollowItsChanges)
{
    PlmEntityList entities;
    for (int i = 0; i < 100; ++i)
        entities.append(squareEntity(i == 70 ? QStringLiteral("dup") : QStringLiteral("e%1").arg(i), i, 0, i + 1, 1));
    entities.append(squareEntity("dup", 0, 2, 1, 3));
    auto canvas = canvasOf(mapOf(entities));
    for (int lookup = 0; lookup < 2; ++lookup) {
        EXPECT_EQ(canvas->indexPath(QStringList{"dup"}), (QList<int>{70})) << lookup;
        EXPECT_EQ(canvas->indexPath(QStringList{"e99"}), (QList<int>{99})) << lookup;
        EXPECT_FALSE(canvas->indexPath(QStringList{"e70"}).has_value()) << lookup;
    }
    PlmMap changed = canvas->map();
    changed.entities.edit(70).id = QStringLiteral("e70");
    canvas->setMap(changed);
    for (int lookup = 0; lookup < 2; ++lookup) {
        EXPECT_EQ(canvas->indexPath(QStringList{"dup"}), (QList<int>{100})) << lookup;
        EXPECT_EQ(canvas->indexPath(QStringList{"e70"}), (QList<int>{70})) << lookup;
    }
}

TEST(CanvasIndexPaths, SelectingANestedPathEntersGroupEditing)
{
    auto canvas = canvasOf(nestedMap());
    QList<bool> editing;
    canvas->onEditingGroup = [&](bool on) { editing.append(on); };
    EXPECT_TRUE(canvas->select(QStringList{"g", "inner", "c"}));
    EXPECT_EQ(canvas->selectedIndex, 1);
    EXPECT_EQ(canvas->keyboardPath, (QList<int>{1, 1, 1}));
    EXPECT_EQ(canvas->editingGroup, (QList<int>{1, 1}));
    EXPECT_EQ(canvas->selectedEntityIDPath(), (QStringList{"g", "inner", "c"}));
    EXPECT_TRUE(canvas->select(QStringList{"s"}));
    EXPECT_FALSE(canvas->editingGroup.has_value());
    EXPECT_FALSE(canvas->select(QStringList{"missing"}));
    EXPECT_EQ(canvas->selectedIndex, 0);
    canvas->select(QStringList{"g", "a"});
    canvas->clearSelection();
    EXPECT_EQ(editing, (QList<bool>{true, false, true, false}));
    EXPECT_FALSE(canvas->selectedEntityIDPath().has_value());

    // A keyboard path that starts elsewhere gives the top-level id alone.
    canvas->selectedIndex = 0;
    canvas->keyboardPath = QList<int>{1, 0};
    EXPECT_EQ(canvas->selectedEntityIDPath(), QStringList{"s"});
}

TEST(CanvasIndexPaths, LockedAndHiddenMembers)
{
    PlmMap map = nestedMap();
    PlmEntity group = map.entities.at(1);
    PlmEntityList members = *group.geometry.asGroup();
    PlmEntity locked = members.at(0);
    locked.isLocked = true;
    members.replace(0, locked);
    group.geometry = PlmGeometry::group(members);
    map.entities.replace(1, group);
    auto canvas = canvasOf(map);
    EXPECT_FALSE(canvas->isEditable({1, 0}, false));
    EXPECT_FALSE(canvas->isEditable({1}, false));  // a group with a locked member
    EXPECT_TRUE(canvas->isEditable({1, 1, 0}, false));
    EXPECT_TRUE(canvas->isEditable({0}, false));
    EXPECT_FALSE(canvas->isEditable({}, false));
    EXPECT_FALSE(canvas->isEditable({9}, false));
    // The locked member is still hit; the caller decides what may be done.
    canvas->select(QStringList{"g", "a"});
    EXPECT_EQ(canvas->indexPath(QPointF(70, 70)), (QList<int>{1, 0}));

    PlmEntity hiddenTop = map.entities.at(0);
    hiddenTop.isHidden = true;
    map.entities.replace(0, hiddenTop);
    canvas->setMap(map);
    EXPECT_FALSE(canvas->isPathVisible({0}));
    EXPECT_FALSE(canvas->isEditable({0}, false));
    EXPECT_TRUE(canvas->isEditable({0}, true));
    EXPECT_TRUE(canvas->hiddenEntityIDs.contains("s"));
    canvas->clearSelection();
    EXPECT_FALSE(canvas->indexPath(QPointF(10, 10)).has_value());
}

TEST(CanvasHitTesting, TolerancesOfPointsAndLines)
{
    PlmEntity thin = lineEntity("l", {{20, 100}, {100, 100}, {100, 180}}, 0.5);
    auto canvas = canvasOf(mapOf({thin, pointEntity("p", 150, 30, 2)}));
    EXPECT_TRUE(canvas->hits(thin, QPointF(50, 97.1)));
    EXPECT_FALSE(canvas->hits(thin, QPointF(50, 96.5)));
    EXPECT_TRUE(canvas->hits(thin, QPointF(70, 140)));  // inside the area it would enclose
    // A point of radius 2 is hit on its 6-point circle.
    EXPECT_EQ(canvas->indexPath(QPointF(156, 30)), QList<int>{1});
    EXPECT_FALSE(canvas->indexPath(QPointF(156.5, 30)).has_value());
    EXPECT_EQ(canvas->indexPath(QPointF(50, 97.1)), QList<int>{0});
    EXPECT_FALSE(canvas->indexPath(QPointF(50, 96)).has_value());
}

TEST(CanvasHitTesting, CurvedOutlinesAndWideStrokes)
{
    PlmVectorPath arc;
    arc.commands = {PlmPathCommand::move({150, 100}), PlmPathCommand::arc({100, 100}, {50, 0}, {0, 50}, 0, 3.14159265358979 / 2)};
    PlmEntity curve(QStringLiteral("a"), QString(), PlmGeometry::path(arc), style({0, 0, 0, 1}, std::nullopt, 1));
    auto canvas = canvasOf(mapOf({curve}));
    const double d = 1 / std::sqrt(2.0);
    auto at = [&](double r) { return QPointF(100 + r * d, 100 + r * d); };
    EXPECT_EQ(canvas->indexPath(at(52.9)), QList<int>{0});
    EXPECT_FALSE(canvas->indexPath(at(53.3)).has_value());
    EXPECT_TRUE(canvas->hits(curve, at(52.9)));
    EXPECT_FALSE(canvas->hits(curve, at(53.3)));

    PlmEntity wide = lineEntity("w", {{0, 20}, {100, 20}}, 20);
    auto wideCanvas = canvasOf(mapOf({wide}));
    EXPECT_EQ(wideCanvas->indexPath(QPointF(50, 29.5)), QList<int>{0});  // half of 20
    EXPECT_EQ(wideCanvas->indexPath(QPointF(108, 20)), QList<int>{0});   // round cap
    EXPECT_FALSE(wideCanvas->indexPath(QPointF(50, 30.5)).has_value());
}

TEST(CanvasHitTesting, ClipsOrderAndGroupEditing)
{
    PlmEntity clipped = squareEntity("c", 0, 0, 100, 100);
    PlmVectorPath clip;
    clip.commands = {PlmPathCommand::move({0, 0}), PlmPathCommand::line({50, 0}), PlmPathCommand::line({50, 100}),
                     PlmPathCommand::line({0, 100}), PlmPathCommand::close()};
    clipped.clipPaths = QList<PlmVectorPath>{clip};
    auto canvas = canvasOf(mapOf({clipped}));
    EXPECT_TRUE(canvas->hits(clipped, QPointF(25, 50)));
    EXPECT_FALSE(canvas->hits(clipped, QPointF(75, 50)));
    EXPECT_FALSE(canvas->hits(clipped, QPointF(100, 50)));  // its own outline, outside the clip
    EXPECT_FALSE(canvas->indexPath(QPointF(75, 50)).has_value());

    auto overlapping = canvasOf(mapOf({squareEntity("a", 0, 0, 50, 50), squareEntity("b", 25, 25, 75, 75)}));
    EXPECT_EQ(overlapping->indexPath(QPointF(30, 30)), QList<int>{1});
    EXPECT_EQ(overlapping->indexPath(QPointF(10, 10)), QList<int>{0});

    auto nested = canvasOf(nestedMap());
    EXPECT_EQ(nested->indexPath(QPointF(110, 110)), QList<int>{1});
    nested->select(QStringList{"g", "a"});
    EXPECT_EQ(nested->indexPath(QPointF(110, 110)), (QList<int>{1, 1}));
    EXPECT_FALSE(nested->indexPath(QPointF(10, 10)).has_value());  // top-level entity outside the group
}

TEST(CanvasHitTesting, HiddenMembersAreNeverHit)
{
    PlmEntity hidden = squareEntity("b", 60, 0, 80, 20);
    hidden.isHidden = true;
    PlmEntity group = groupEntity("g", {squareEntity("a", 0, 0, 20, 20), hidden});
    auto canvas = canvasOf(mapOf({group}));
    EXPECT_EQ(canvas->indexPath(QPointF(10, 10)), QList<int>{0});
    EXPECT_FALSE(canvas->indexPath(QPointF(70, 10)).has_value());
    EXPECT_FALSE(canvas->hits(group, QPointF(70, 10)));
    ASSERT_TRUE(canvas->select(QStringList{"g", "a"}));
    EXPECT_EQ(canvas->indexPath(QPointF(10, 10)), (QList<int>{0, 0}));
    EXPECT_FALSE(canvas->indexPath(QPointF(70, 10)).has_value());
    // A hidden member selected by id leaves no group editing behind it.
    ASSERT_TRUE(canvas->select(QStringList{"g", "b"}));
    EXPECT_FALSE(canvas->editingGroup.has_value());
    EXPECT_FALSE(canvas->isEditable({0, 1}, false));
}

TEST(CanvasHitTesting, HitsFollowZoomAndTheBlockTransform)
{
    auto canvas = canvasOf(mapOf({squareEntity("a", 0, 0, 10, 10)}));
    canvas->setScale(10);
    canvas->blockTransform = QTransform::fromTranslate(50, 0);
    EXPECT_EQ(canvas->indexPath(QPointF(145, 95)), QList<int>{0});
    EXPECT_FALSE(canvas->indexPath(QPointF(45, 50)).has_value());
}

TEST(CanvasMapReplacement, SelectionFollowsIdsAndCachesRebuildOnlyWhatChanged)
{
    PlmMap map = nestedMap();
    auto canvas = canvasOf(map);
    canvas->select(QStringList{"g", "inner", "b"});
    canvas->entityCache().ensureAll();

    PlmMap reordered = map;
    reordered.entities.move(1, 0);  // g now first
    canvas->setMap(reordered);
    EXPECT_EQ(canvas->selectedIndex, 0);
    EXPECT_EQ(canvas->keyboardPath, (QList<int>{0, 1, 0}));
    EXPECT_EQ(canvas->selectedEntityIDPath(), (QStringList{"g", "inner", "b"}));
    canvas->entityCache().ensureAll();
    EXPECT_EQ(canvas->entityCache().builtSinceReset(), 0);

    PlmMap edited = reordered;
    edited.entities.edit(1).translate(5, 0);
    canvas->setMap(edited);
    canvas->entityCache().ensureAll();
    EXPECT_EQ(canvas->entityCache().builtSinceReset(), 1);

    int editingOff = 0;
    canvas->onEditingGroup = [&](bool on) { editingOff += on ? 0 : 1; };
    PlmMap without = edited;
    without.entities.removeAt(0);
    canvas->setMap(without);
    EXPECT_FALSE(canvas->selectedIndex.has_value());
    EXPECT_FALSE(canvas->editingGroup.has_value());
    EXPECT_EQ(editingOff, 1);
    EXPECT_EQ(canvas->indexPath(QPointF(22, 10)), QList<int>{0});  // the moved square is hit where it is now
}

TEST(CanvasMapReplacement, ReplaceEntityWritesNestedMembers)
{
    auto canvas = canvasOf(nestedMap());
    PlmEntity moved = *canvas->entity({1, 1, 1});
    moved.name = QStringLiteral("nouveau");
    canvas->replaceEntity({1, 1, 1}, moved);
    EXPECT_EQ(canvas->entity({1, 1, 1})->name, QString("nouveau"));
    EXPECT_EQ(canvas->entity({0})->id, QString("s"));
    const PlmMap before = canvas->map();
    canvas->replaceEntity({0, 3}, moved);  // s is not a group: nothing changes
    EXPECT_EQ(canvas->map(), before);
}

TEST(CanvasNameLabels, PointLabelSitsAboveThePointOnAYDownMap)
{
    PlmEntity p = pointEntity("p", 50, 50, 4);
    p.name = QStringLiteral("Ville");
    auto canvas = canvasOf(mapOf({p}, {{"coordinates.yAxis", "down"}}));
    canvas->setOffset(QPointF(0, 200));
    canvas->showEntityNames = true;
    const std::optional<PlmPoint> anchor = canvas->entityNameAnchor(p);
    ASSERT_TRUE(anchor.has_value());
    const QPointF pointView = canvas->viewPoint(QPointF(50, 50));
    const QPointF anchorView = canvas->viewPoint(QPointF(anchor->x, anchor->y));
    EXPECT_NEAR(anchorView.y() - pointView.y(), 14, 1e-9);  // radius 4 + 10 points, upward on screen
    EXPECT_EQ(canvas->entityNameAutomaticPositions.value("p"), (PlmPoint{50, 50}));
    const auto label = canvas->entityNameLabel(p);
    ASSERT_TRUE(label.has_value());
    EXPECT_GT(CanvasPathBuilder::bounds(label->path).top(), pointView.y());

    canvas->entityNamePositions.insert("p", PlmPoint{1, 2});
    EXPECT_EQ(canvas->entityNameAnchor(p), (PlmPoint{1, 2}));
    p.name.clear();
    EXPECT_FALSE(canvas->entityNameLabel(p).has_value());
}
