#include "support/PlmMapTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace PlmMapTest;

namespace {

QStringList idsOf(const PlmEntityList& entities)
{
    QStringList ids;
    for (const PlmEntity& entity : entities)
        ids << entity.id;
    return ids;
}

PlmEntity svgLeaf(const QString& id, std::optional<PlmColor> fill, PlmColor stroke, double lineWidth)
{
    PlmEntity entity = pathEntity(id);
    entity.style = PlmStyle(stroke, fill, lineWidth, 1);
    return entity;
}

PlmPointSymbol svgSymbol(const PlmEntityList& leaves)
{
    return PlmPointSymbol(std::nullopt, PlmMap(QStringLiteral("s"), leaves));
}

} // namespace

TEST(PlmEntityWalksTest, leavesExpandGroupsDepthFirst)
{
    PlmEntity hiddenPoint = pointEntity("h");
    hiddenPoint.isHidden = true;
    const PlmEntity group = groupEntity("g", {groupEntity("empty", {}), hiddenPoint});
    EXPECT_EQ(idsOf(group.leafEntities()), QStringList({"h"}));
    EXPECT_TRUE(group.visibleLeafEntities().isEmpty());

    PlmEntity hiddenGroup = groupEntity("hg", {pointEntity("v")});
    hiddenGroup.isHidden = true;
    EXPECT_TRUE(hiddenGroup.visibleLeafEntities().isEmpty());

    PlmEntity shown = pointEntity("s");
    shown.isHidden = false;
    const PlmEntityList list{pointEntity("a"), groupEntity("g", {pointEntity("b"), groupEntity("g2", {pointEntity("c")}), shown}), hiddenGroup};
    EXPECT_EQ(idsOf(PlmEntity::leafEntities(list)), QStringList({"a", "b", "c", "s", "v"}));
    EXPECT_EQ(idsOf(PlmEntity::visibleLeafEntities(list)), QStringList({"a", "b", "c", "s"}));
    EXPECT_EQ(idsOf(pointEntity("x").leafEntities()), QStringList({"x"}));
}

TEST(PlmEntityWalksTest, areaFeatures)
{
    EXPECT_TRUE(polygonEntity("p").isAreaFeature());
    PlmEntity filledOpen = pathEntity("o", PlmVectorPath{{PlmPathCommand::move({0, 0}), PlmPathCommand::line({1, 1}),
                                                          PlmPathCommand::line({0, 1})}, false});
    EXPECT_FALSE(filledOpen.isAreaFeature());
    PlmEntity unfilledClosed = pathEntity("c");
    unfilledClosed.style.fill.reset();
    EXPECT_FALSE(unfilledClosed.isAreaFeature());
    EXPECT_TRUE(pathEntity("f").isAreaFeature());
    EXPECT_FALSE(groupEntity("g", {pointEntity("a")}).isAreaFeature());
    EXPECT_TRUE(groupEntity("g", {pointEntity("a"), groupEntity("h", {polygonEntity("p")})}).isAreaFeature());
    EXPECT_FALSE(groupEntity("g", {}).isAreaFeature());
}

TEST(PlmEntityWalksTest, lockedAnywhereInsideAGroup)
{
    PlmEntity locked = pointEntity("l");
    locked.isLocked = true;
    EXPECT_TRUE(groupEntity("g", {pointEntity("a"), groupEntity("h", {locked})}).containsLocked());
    PlmEntity unlocked = locked;
    unlocked.isLocked = false;
    EXPECT_FALSE(groupEntity("g", {unlocked}).containsLocked());
}

// A text is one em wide per character the reader sees, however many code units it takes.
TEST(PlmEntityWalksTest, theExtentOfATextCountsUserPerceivedCharacters)
{
    struct Row {
        const char* name;
        QString text;
        double width;
    };
    const QList<Row> rows = {
        {"plain", QStringLiteral("Lyon"), 40},
        {"precomposed accent", QStringLiteral("Vall\u00e9e"), 60},
        {"combining accent", QStringLiteral("Valle\u0301e"), 60},
        {"emoji outside the basic plane", QStringLiteral("a\U0001F600"), 20},
        {"flag of two regional indicators", QStringLiteral("\U0001F1EB\U0001F1F7"), 10},
        {"family joined by zero-width joiners", QStringLiteral("\U0001F468\u200D\U0001F469\u200D\U0001F467"), 10},
        {"carriage return and line feed", QStringLiteral("a\r\nb"), 30},
        {"empty", QString(), 0},
    };
    for (const Row& row : rows) {
        const PlmText text{row.text, QStringLiteral("Helvetica"), 10, PlmTransform::translation(5, 5), QStringLiteral("start")};
        EXPECT_EQ(PlmGeometry::text(text).extentPoints(), (QList<PlmPoint>{{5, 5}, {5 + row.width, 15}})) << row.name;
    }
}

TEST(PlmEntityWalksTest, extentPointsOfEveryKind)
{
    const PlmText abc{QStringLiteral("abc"), QStringLiteral("Helvetica"), 10, PlmTransform::translation(5, 5),
                      QStringLiteral("start")};
    EXPECT_EQ(PlmGeometry::text(abc).extentPoints(), (QList<PlmPoint>{{5, 5}, {35, 15}}));

    const PlmPolygon holed{{{0, 0}, {4, 0}, {0, 4}}, {{{1, 1}, {2, 1}, {1, 2}}}};
    EXPECT_EQ(PlmGeometry::multipolygon({holed}).extentPoints(),
              (QList<PlmPoint>{{0, 0}, {4, 0}, {0, 4}, {1, 1}, {2, 1}, {1, 2}}));
    PlmVectorPath path{{PlmPathCommand::move({1, 1}), PlmPathCommand::cubic({2, 2}, {3, 3}, {4, 4}),
                        PlmPathCommand::close(), PlmPathCommand::arc({0, 0}, {3, 0}, {0, 2}, 1, 1)},
                       false};
    EXPECT_EQ(PlmGeometry::path(path).extentPoints(),
              (QList<PlmPoint>{{1, 1}, {2, 2}, {3, 3}, {4, 4}, {-3, -2}, {3, 2}}));
    EXPECT_EQ(PlmGeometry::group({pointEntity("a", {1, 2}), groupEntity("g", {pointEntity("b", {3, 4})})}).extentPoints(),
              (QList<PlmPoint>{{1, 2}, {3, 4}}));
}

TEST(PlmEntityWalksTest, monochromeSymbols)
{
    const PlmColor black{0, 0, 0, 1};
    const PlmColor halfBlack{0, 0, 0, 0.5};
    EXPECT_FALSE(svgSymbol({svgLeaf("a", PlmColor{1, 0, 0, 0}, black, 0)}).isMonochrome());
    EXPECT_TRUE(svgSymbol({svgLeaf("a", black, halfBlack, 1), svgLeaf("b", black, halfBlack, 1)}).isMonochrome());
    EXPECT_FALSE(svgSymbol({svgLeaf("a", black, black, 0), svgLeaf("b", PlmColor{0.01, 0, 0, 1}, black, 0)}).isMonochrome());
    EXPECT_FALSE(PlmPointSymbol().isMonochrome());
    EXPECT_TRUE(PlmPointSymbol(QStringLiteral("star"), std::nullopt).isMonochrome());

    PlmPointSymbol fixed(QStringLiteral("star"), std::nullopt);
    fixed.colorMode = PlmPointSymbolColorMode::fixed;
    EXPECT_FALSE(fixed.isAutomaticallyColored());
    fixed.colorMode = PlmPointSymbolColorMode::automatic;
    EXPECT_TRUE(fixed.isAutomaticallyColored());
}

TEST(PlmEntityWalksTest, transformsMoveEveryKind)
{
    PlmEntity point = pointEntity("p", {1, 1});
    point.apply(PlmTransform::scale(2, 2));
    EXPECT_EQ(point.geometry, PlmGeometry::point({2, 2}));
    EXPECT_DOUBLE_EQ(point.style.pointRadius, 6);
    point.apply(PlmTransform::scale(-1, 1));
    EXPECT_DOUBLE_EQ(point.style.pointRadius, 6);

    PlmEntity text("t", {}, PlmGeometry::text(PlmText{QStringLiteral("x"), {}, 12, PlmTransform::translation(1, 0), QStringLiteral("start")}),
                   plainStyle());
    text.apply(PlmTransform::scale(2, 2));
    const PlmText& moved = *text.geometry.asText();
    EXPECT_EQ(moved.fontSize, 12);
    EXPECT_EQ(moved.transform, (PlmTransform{2, 0, 0, 2, 2, 0}));

    PlmEntity group = groupEntity("g", {polygonEntity("a"), pointEntity("b", {1, 0})});
    group.clipPaths = QList<PlmVectorPath>{closedSquarePath()};
    const PlmEntity before = group;
    group.translate(10, 20);
    const PlmEntityList& members = *group.geometry.asGroup();
    EXPECT_EQ(members.at(0).geometry.asPolygon()->exterior.first(), (PlmPoint{10, 20}));
    EXPECT_EQ(*members.at(1).geometry.asPoint(), (PlmPoint{11, 20}));
    EXPECT_EQ(members.at(1).style.pointRadius, 3);
    EXPECT_EQ(group.clipPaths->first().commands.at(1), PlmPathCommand::line({11, 20}));
    EXPECT_EQ(group.id, before.id);
    // The copy taken before is untouched: members are copied on write.
    EXPECT_EQ(before.geometry.asGroup()->at(1).geometry, PlmGeometry::point({1, 0}));

    PlmEntity noClip = polygonEntity("n");
    noClip.clipPaths = QList<PlmVectorPath>{};
    noClip.translate(1, 1);
    EXPECT_TRUE(noClip.clipPaths.has_value() && noClip.clipPaths->isEmpty());
}
