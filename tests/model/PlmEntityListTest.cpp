#include "PlmMapTestSupport.h"

#include <gtest/gtest.h>

using namespace PlmMapTest;

TEST(PlmEntityListTest, copiesShareEntitiesUntilOneIsChanged)
{
    PlmMap map = mapOf({polygonEntity("a"), polygonEntity("b"), polygonEntity("c")});
    PlmMap copy = map;
    copy.entities.edit(1).name = QStringLiteral("changed");

    EXPECT_EQ(map.entities.at(1).name, QStringLiteral("b"));
    EXPECT_EQ(copy.entities.at(1).name, QStringLiteral("changed"));
    EXPECT_TRUE(copy.entities.sharesEntity(0, map.entities, 0));
    EXPECT_FALSE(copy.entities.sharesEntity(1, map.entities, 1));
    EXPECT_TRUE(copy.entities.sharesEntity(2, map.entities, 2));
    // The unchanged polygon's points are the very same storage.
    EXPECT_EQ(copy.entities.at(1).geometry.asPolygon()->exterior.constData(),
              map.entities.at(1).geometry.asPolygon()->exterior.constData());
    EXPECT_NE(map, copy);
}

TEST(PlmEntityListTest, editingAnUnsharedListChangesInPlace)
{
    PlmEntityList list{pointEntity("a")};
    const PlmEntity* before = &list.at(0);
    list.edit(0).name = QStringLiteral("x");
    EXPECT_EQ(&list.at(0), before);
}

TEST(PlmEntityListTest, changesInsideGroupsLeaveOtherCopiesAlone)
{
    const PlmMap original = mapOf({groupEntity("g", {pointEntity("p", {1, 1}), pointEntity("q", {2, 2})})});
    PlmMap moved = original;
    moved.entities.edit(0).translate(1, 0);
    EXPECT_EQ(*original.entities.at(0).geometry.asGroup()->at(0).geometry.asPoint(), (PlmPoint{1, 1}));
    EXPECT_EQ(*moved.entities.at(0).geometry.asGroup()->at(0).geometry.asPoint(), (PlmPoint{2, 1}));
}

TEST(PlmEntityListTest, listOperations)
{
    PlmEntityList list{pointEntity("a"), pointEntity("b")};
    list.insert(1, pointEntity("x"));
    list.prepend(pointEntity("first"));
    list.append(pointEntity("last"));
    list.removeAt(2);
    list.replace(0, pointEntity("zero"));
    list.move(0, 3);
    QStringList ids;
    for (const PlmEntity& entity : list)
        ids << entity.id;
    EXPECT_EQ(ids, QStringList({"a", "b", "last", "zero"}));
    EXPECT_EQ(list.indexOfId("last"), 2);
    EXPECT_EQ(list.indexOfId("nope"), -1);
    EXPECT_EQ(list.mid(1, 2).size(), 2);
    EXPECT_EQ(PlmEntityList(list.toList()), list);
    // Equal contents compare equal whether or not the entities are shared.
    EXPECT_EQ(PlmEntityList({pointEntity("a")}), PlmEntityList({pointEntity("a")}));
}
