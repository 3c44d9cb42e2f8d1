#include "app/StudioObjectEdits.h"
#include "app/StudioObjectNode.h"
#include "model/PlmWork.h"

#include <gtest/gtest.h>

namespace {

using namespace StudioObjectEdits;

PlmEntity point(const QString& id, const QString& name = {})
{
    return PlmEntity(id, name, PlmGeometry::point(PlmPoint{0, 0}), PlmStyle());
}

PlmEntity group(const QString& id, const QList<PlmEntity>& members)
{
    return PlmEntity(id, QString(), PlmGeometry::group(PlmEntityList(members)), PlmStyle());
}

PlmEntity text(const QString& id, const QString& string)
{
    PlmText geometry;
    geometry.text = string;
    geometry.fontName = QStringLiteral("Helvetica");
    return PlmEntity(id, string, PlmGeometry::text(geometry), PlmStyle());
}

// A, a group G of M1, M2, M3 (M3 drawn last), and C.
PlmWork sampleWork()
{
    PlmWork work;
    work.map.entities = PlmEntityList({point("A", "Alpha"), group("G", {point("M1"), point("M2"), point("M3")}), point("C")});
    return work;
}

QStringList ids(const PlmEntityList& list)
{
    QStringList out;
    for (const PlmEntity& entity : list)
        out.append(entity.id);
    return out;
}

QStringList memberIDs(const PlmWork& work, const QString& groupID)
{
    return ids(*entityAtPath(work.map.entities, {groupID})->geometry.asGroup());
}

QStringList titles(const QList<StudioObjectNode>& nodes)
{
    QStringList out;
    for (const StudioObjectNode& node : nodes)
        out.append(node.title);
    return out;
}

const auto everythingEditable = [](const QStringList&) { return true; };

TEST(StudioObjectTreeTest, ListsSectionsInReverseDrawingOrder)
{
    PlmWork work = sampleWork();
    QList<StudioObjectNode> roots = studioObjectTree(work);
    ASSERT_EQ(roots.size(), 1); // no layout: only "Fond"
    EXPECT_EQ(roots[0].key(), StudioObjectNode::fondSectionKey);
    EXPECT_EQ(titles(roots[0].children), QStringList({"C", "G", "Alpha"}));
    const StudioObjectNode& groupNode = roots[0].children[1];
    EXPECT_EQ(titles(groupNode.children), QStringList({"M3", "M2", "M1"}));
    EXPECT_EQ(groupNode.children[0].reference, StudioObjectReference::entity({"G", "M3"}));
    EXPECT_EQ(groupNode.children[0].key(), QStringLiteral(R"({"entity":{"_0":["G","M3"]}})"));

    // A layout without objects and no thematic settings adds no section.
    work.decoration = PlmDecoration();
    EXPECT_EQ(studioObjectTree(work).size(), 1);

    PlmDecorationObject first = PlmDecorationObject::make("d1", PlmDecorationKind::title, QStringLiteral("Ligne 1\nLigne 2"));
    PlmDecorationObject second = PlmDecorationObject::make("d2", PlmDecorationKind::rectangle, QString());
    PlmDecorationObject third = PlmDecorationObject::make("d3", PlmDecorationKind::text);
    third.presentation.title = QStringLiteral("Nommé");
    work.decoration->objects = {first, second, third};
    work.thematic = PlmThematicSettings();
    work.thematic->secondSymbols = PlmSecondSymbolSeries();
    roots = studioObjectTree(work);
    ASSERT_EQ(roots.size(), 2);
    EXPECT_EQ(roots[0].key(), StudioObjectNode::habillageSectionKey);
    EXPECT_EQ(titles(roots[0].children), QStringList({"Nommé", "Rectangle", "Ligne 1", "Légende", "Légende secondaire"}));
    EXPECT_EQ(roots[0].children[4].reference, StudioObjectReference::legend("secondLegend"));
}

TEST(StudioObjectStateTest, ReadsFlagsAndRefusesBrokenPaths)
{
    PlmWork work = sampleWork();
    work.map.entities.edit(1).geometry.asGroup()->edit(0).isLocked = true;
    EXPECT_EQ(objectState(work, StudioObjectReference::entity({"G", "M1"})), (State{true, false, true}));
    EXPECT_EQ(objectState(work, StudioObjectReference::entity({"G", "X"})), State{});
    EXPECT_EQ(objectState(work, StudioObjectReference::entity({"A", "M1"})), State{}); // A is no group
    EXPECT_EQ(objectState(work, StudioObjectReference::entity({})), State{});
    // A legend needs a layout.
    EXPECT_FALSE(objectState(work, StudioObjectReference::legend("legend")).available);
    work.decoration = PlmDecoration();
    EXPECT_TRUE(objectState(work, StudioObjectReference::legend("legend")).available);
    EXPECT_FALSE(objectState(work, StudioObjectReference::decoration("nope")).available);
}

TEST(StudioObjectStateTest, TogglesEntitiesAndLayoutElements)
{
    PlmWork work = sampleWork();
    const StudioObjectReference member = StudioObjectReference::entity({"G", "M2"});
    const State before = objectState(work, member);
    setObjectState(work, member, true, false);
    EXPECT_EQ(stateActionName(before, true, false), QStringLiteral("Visibilité de l’objet"));
    EXPECT_TRUE(entityAtPath(work.map.entities, {"G", "M2"})->hidden());
    EXPECT_FALSE(entityAtPath(work.map.entities, {"G", "M2"})->isLocked.has_value());

    work.decoration = PlmDecoration();
    work.decoration->objects = {PlmDecorationObject::make("d1", PlmDecorationKind::title)};
    const StudioObjectReference element = StudioObjectReference::decoration("d1");
    ASSERT_FALSE(work.decoration->objects[0].presentation.editing.has_value());
    EXPECT_EQ(stateActionName(objectState(work, element), false, true), QStringLiteral("Verrouillage de l’objet"));
    setObjectState(work, element, false, true);
    // The effective style is stored first, then locked.
    ASSERT_TRUE(work.decoration->objects[0].presentation.editing.has_value());
    EXPECT_TRUE(work.decoration->objects[0].presentation.editing->lockPosition);
    EXPECT_TRUE(objectState(work, element).locked);
    // The copy the change started from keeps its state.
    const PlmWork shared = work;
    setObjectState(work, element, false, false);
    EXPECT_TRUE(objectState(shared, element).locked);
    EXPECT_FALSE(objectState(work, element).locked);
    renameObject(work, element, QStringLiteral("Titre renommé"));
    EXPECT_FALSE(shared.decoration->objects[0].presentation.title.has_value());
    setObjectState(work, StudioObjectReference::legend("secondLegend"), true, false);
    EXPECT_TRUE(work.decoration->secondLegend.hidden.value_or(false));
    EXPECT_FALSE(work.decoration->legend.hidden.value_or(false));
}

TEST(StudioObjectRenameTest, TrimsAndFollowsTexts)
{
    PlmWork work = sampleWork();
    work.map.entities.append(text("T", "ancien"));
    EXPECT_FALSE(renameObject(work, StudioObjectReference::entity({"A"}), QStringLiteral(" \n\t")));
    EXPECT_EQ(entityAtPath(work.map.entities, {"A"})->name, QStringLiteral("Alpha"));
    EXPECT_TRUE(renameObject(work, StudioObjectReference::entity({"T"}), QStringLiteral("  nouveau\n")));
    const PlmEntity* renamed = entityAtPath(work.map.entities, {"T"});
    EXPECT_EQ(renamed->name, QStringLiteral("nouveau"));
    EXPECT_EQ(renamed->geometry.asText()->text, QStringLiteral("nouveau"));
    EXPECT_TRUE(renameObject(work, StudioObjectReference::entity({"G", "M1"}), QStringLiteral("Membre")));
    EXPECT_EQ(entityAtPath(work.map.entities, {"G", "M1"})->name, QStringLiteral("Membre"));
    EXPECT_FALSE(renameObject(work, StudioObjectReference::legend("legend"), QStringLiteral("L"))); // no layout

    EXPECT_TRUE(setTextEntityValue(work, {"T"}, QStringLiteral("valeur")));
    EXPECT_EQ(entityAtPath(work.map.entities, {"T"})->geometry.asText()->text, QStringLiteral("valeur"));
    EXPECT_EQ(entityAtPath(work.map.entities, {"T"})->name, QStringLiteral("nouveau"));
}

TEST(StudioObjectMoveTest, DropsWithinAGroupInOutlineOrder)
{
    const PlmWork work = sampleWork();
    const QList<StudioObjectNode> roots = studioObjectTree(work);
    const StudioObjectNode& groupNode = roots[0].children[1];

    // M1 dropped at the top of the group's rows lands last in drawing order.
    const std::optional<DropPlan> top = dropPlan(work, StudioObjectReference::entity({"G", "M1"}), groupNode, 0,
                                                 everythingEditable);
    ASSERT_TRUE(top);
    EXPECT_EQ(top->targetIndex, 3);
    PlmWork moved = work;
    EXPECT_TRUE(moveObject(moved, top->reference, top->targetIndex));
    EXPECT_EQ(memberIDs(moved, "G"), QStringList({"M2", "M3", "M1"}));

    const std::optional<DropPlan> bottom = dropPlan(work, StudioObjectReference::entity({"G", "M3"}), groupNode, 3,
                                                    everythingEditable);
    ASSERT_TRUE(bottom);
    EXPECT_EQ(bottom->targetIndex, 0);
    moved = work;
    EXPECT_TRUE(moveObject(moved, bottom->reference, bottom->targetIndex));
    EXPECT_EQ(memberIDs(moved, "G"), QStringList({"M3", "M1", "M2"}));
    // The rest of the map is shared, not copied.
    EXPECT_TRUE(moved.map.entities.sharesEntity(0, work.map.entities, 0));

    // Dropping at its own place changes nothing.
    moved = work;
    EXPECT_FALSE(moveObject(moved, StudioObjectReference::entity({"G", "M2"}), 2));
    EXPECT_EQ(moved, work);
}

TEST(StudioObjectMoveTest, RefusesDropsOutsideTheOwnList)
{
    const PlmWork work = sampleWork();
    const QList<StudioObjectNode> roots = studioObjectTree(work);
    const StudioObjectNode& fond = roots[0];
    const StudioObjectNode& groupNode = fond.children[1];
    // A member into the section, a top-level entity into a group.
    EXPECT_FALSE(dropPlan(work, StudioObjectReference::entity({"G", "M1"}), fond, 0, everythingEditable));
    EXPECT_FALSE(dropPlan(work, StudioObjectReference::entity({"A"}), groupNode, 0, everythingEditable));
    // Out of range, locked (not editable).
    EXPECT_FALSE(dropPlan(work, StudioObjectReference::entity({"A"}), fond, 4, everythingEditable));
    EXPECT_FALSE(dropPlan(work, StudioObjectReference::entity({"A"}), fond, 0, [](const QStringList&) { return false; }));
    // Top level: C, G, A listed; A to the top becomes last drawn.
    const std::optional<DropPlan> plan = dropPlan(work, StudioObjectReference::entity({"A"}), fond, 0, everythingEditable);
    ASSERT_TRUE(plan);
    PlmWork moved = work;
    EXPECT_TRUE(moveObject(moved, plan->reference, plan->targetIndex));
    EXPECT_EQ(ids(moved.map.entities), QStringList({"G", "C", "A"}));
}

TEST(StudioObjectMoveTest, MovesLayoutElementsAmongElementsOnly)
{
    PlmWork work = sampleWork();
    work.decoration = PlmDecoration();
    work.decoration->objects = {PlmDecorationObject::make("d1", PlmDecorationKind::title),
                                PlmDecorationObject::make("d2", PlmDecorationKind::text),
                                PlmDecorationObject::make("d3", PlmDecorationKind::source)};
    work.thematic = PlmThematicSettings();
    const QList<StudioObjectNode> roots = studioObjectTree(work);
    const StudioObjectNode& habillage = roots[0];
    ASSERT_EQ(habillage.children.size(), 4); // d3, d2, d1, legend
    // d1 to the top of the rows: drawn last.
    const std::optional<DropPlan> plan = dropPlan(work, StudioObjectReference::decoration("d1"), habillage, 0, {});
    ASSERT_TRUE(plan);
    EXPECT_EQ(plan->targetIndex, 3);
    PlmWork moved = work;
    EXPECT_TRUE(moveObject(moved, plan->reference, plan->targetIndex));
    QStringList order;
    for (const PlmDecorationObject& object : moved.decoration->objects)
        order.append(object.id);
    EXPECT_EQ(order, QStringList({"d2", "d3", "d1"}));
    // Below the legend row, or into "Fond": no plan.
    EXPECT_FALSE(dropPlan(work, StudioObjectReference::decoration("d1"), habillage, 4, {}));
    EXPECT_FALSE(dropPlan(work, StudioObjectReference::decoration("d1"), roots[1], 0, {}));
    // A locked element cannot be dragged.
    setObjectState(work, StudioObjectReference::decoration("d1"), false, true);
    EXPECT_FALSE(dropPlan(work, StudioObjectReference::decoration("d1"), habillage, 0, {}));
}

TEST(StudioObjectMoveTest, MovedIndexFollowsTheGapRule)
{
    EXPECT_EQ(movedIndex(0, 3, 3), 2);
    EXPECT_EQ(movedIndex(2, 0, 3), 0);
    EXPECT_EQ(movedIndex(1, 1, 3), 1);
    EXPECT_FALSE(movedIndex(0, 4, 3));
    EXPECT_FALSE(movedIndex(0, -1, 3));
    EXPECT_FALSE(movedIndex(-1, 0, 3));
}

TEST(StudioObjectDeleteTest, OnlyMembersTakeTheirGroupsAlong)
{
    PlmWork work;
    work.map.entities = PlmEntityList({group("Outer", {group("Inner", {point("Leaf")})}), point("B")});
    EXPECT_EQ(deletionPath(work, {"Outer", "Inner", "Leaf"}), QStringList({"Outer"}));

    PlmWork other = sampleWork();
    EXPECT_EQ(deletionPath(other, {"G", "M2"}), QStringList({"G", "M2"}));
    EXPECT_TRUE(removeGroupMember(other, {"G", "M2"}));
    EXPECT_EQ(memberIDs(other, "G"), QStringList({"M1", "M3"}));
    EXPECT_FALSE(removeGroupMember(other, {"G", "M2"}));
    EXPECT_FALSE(removeGroupMember(other, {"A"}));
}

} // namespace
