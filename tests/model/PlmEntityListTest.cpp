#include "model/PlmMapCodec.h"
#include "support/PlmMapTestSupport.h"

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

TEST(PlmEntityListTest, largeListsBehaveLikeAPlainList)
{
    // Past the size of one chunk, every operation must keep the order a plain list would.
    PlmEntityList list;
    QStringList expected;
    for (int i = 0; i < 1000; ++i) {
        list.append(pointEntity(QString::number(i)));
        expected.append(QString::number(i));
    }
    auto ids = [](const PlmEntityList& entities) {
        QStringList result;
        for (const PlmEntity& entity : entities)
            result << entity.id;
        return result;
    };
    const PlmEntityList before = list;
    unsigned seed = 12345;
    for (int step = 0; step < 300; ++step) {
        seed = seed * 1103515245u + 12345u;
        const qsizetype i = qsizetype((seed >> 8) % unsigned(expected.size()));
        const qsizetype j = qsizetype((seed >> 3) % unsigned(expected.size()));
        switch (step % 4) {
        case 0:
            list.insert(i, pointEntity(QStringLiteral("n%1").arg(step)));
            expected.insert(i, QStringLiteral("n%1").arg(step));
            break;
        case 1:
            list.removeAt(i);
            expected.removeAt(i);
            break;
        case 2:
            list.move(i, j);
            expected.move(i, j);
            break;
        case 3:
            list.edit(i).id = QStringLiteral("e%1").arg(step);
            expected[i] = QStringLiteral("e%1").arg(step);
            break;
        }
    }
    EXPECT_EQ(ids(list), expected);
    EXPECT_EQ(list.size(), expected.size());
    EXPECT_EQ(before.size(), 1000);
    EXPECT_EQ(before.at(999).id, QStringLiteral("999"));
    EXPECT_EQ(ids(list.mid(250, 10)), expected.mid(250, 10));

    PlmEntityList copy = before;
    copy.edit(700).name = QStringLiteral("x");
    EXPECT_TRUE(copy.sharesEntity(699, before, 699));
    EXPECT_FALSE(copy.sharesEntity(700, before, 700));
    EXPECT_NE(copy, before);
    copy.edit(700).name = before.at(700).name;
    EXPECT_EQ(copy, before);
}

TEST(PlmEntityListTest, sharesAllEntitiesOnlyWhenEveryHandleIsTheSame)
{
    PlmEntityList list;
    for (int i = 0; i < 600; ++i) // three chunks, the last one partial
        list.append(pointEntity(QString::number(i)));
    const PlmEntityList copy = list;
    EXPECT_TRUE(copy.sharesAllEntities(list));

    // An equal list of other entities is not the same entities.
    PlmEntityList rebuilt;
    for (const PlmEntity& entity : list)
        rebuilt.append(entity);
    EXPECT_EQ(rebuilt, list);
    EXPECT_FALSE(rebuilt.sharesAllEntities(list));

    // One edited entity, in the middle chunk, is seen even though the other chunks are shared.
    PlmEntityList edited = list;
    edited.edit(300).name = QStringLiteral("changed");
    EXPECT_FALSE(edited.sharesAllEntities(list));
    EXPECT_FALSE(list.sharesAllEntities(edited));

    // Rebuilt chunks that hold the same handles again count as shared.
    PlmEntityList moved = list;
    moved.move(599, 0);
    moved.move(0, 599);
    EXPECT_TRUE(moved.sharesAllEntities(list));

    PlmEntityList shorter = list;
    shorter.removeAt(599);
    EXPECT_FALSE(shorter.sharesAllEntities(list));
    EXPECT_TRUE(PlmEntityList().sharesAllEntities(PlmEntityList()));
}

// A map may hold hundreds of thousands of short member lists (a group of groups of one):
// each list's room stays near what it holds, whether appended to or decoded, while a long
// list still grows a chunk at a time.
TEST(PlmEntityListTest, roomStaysNearTheSize)
{
    const auto appended = [](int count) {
        PlmEntityList list;
        for (int i = 0; i < count; ++i)
            list.append(pointEntity(QString::number(i)));
        return list;
    };
    const auto decodedMembers = [](int count) {
        PlmEntityList members;
        for (int i = 0; i < count; ++i)
            members.append(pointEntity(QString::number(i)));
        const PlmMap decoded = PlmMapCodec::decode(PlmMapCodec::encode(mapOf({groupEntity("g", members)})));
        return *decoded.entities.at(0).geometry.asGroup();
    };
    const struct {
        const char* name;
        PlmEntityList list;
        qsizetype size;
    } rows[] = {
        {"one appended", appended(1), 1},
        {"three appended", appended(3), 3},
        {"a chunk's worth", appended(256), 256},
        {"one past a chunk", appended(257), 257},
        {"several chunks", appended(700), 700},
        {"a decoded group of one", decodedMembers(1), 1},
        {"a decoded group of two", decodedMembers(2), 2},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(row.list.size(), row.size);
        EXPECT_GE(row.list.capacity(), row.size);
        EXPECT_LE(row.list.capacity(), 2 * row.size + 8);
    }
}
