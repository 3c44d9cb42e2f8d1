#include "fond/FondEntityCommands.h"

#include "support/CanvasTestMaps.h"

#include <gtest/gtest.h>

#include <QRegularExpression>

using namespace CanvasTestMaps;
namespace Fond = FondEntityCommands;

namespace {

PlmEntity textEntity(const QString& id, const QString& text)
{
    PlmText value;
    value.text = text;
    value.fontName = QStringLiteral("Helvetica");
    value.fontSize = 14;
    value.transform.tx = 5;
    return PlmEntity(id, text, PlmGeometry::text(value), style({0, 0, 0, 1}, std::nullopt));
}

PlmVariable variable(const QString& id, const QMap<QString, double>& cells)
{
    QMap<QString, PlmValue> values;
    for (auto it = cells.begin(); it != cells.end(); ++it)
        values.insert(it.key(), PlmValue::number(it.value()));
    return PlmVariable(id, id, PlmVariableType::number, values, std::nullopt);
}

PlmWork sampleWork()
{
    PlmWork work;
    work.map = mapOf({squareEntity("A", 0, 0, 10, 10), squareEntity("B", 20, 0, 30, 10),
                      locked(squareEntity("L", 40, 0, 50, 10)), hidden(pointEntity("H", 5, 5)),
                      textEntity("T", "Titre"),
                      groupEntity("G", {squareEntity("g1", 0, 20, 5, 25), squareEntity("g2", 5, 20, 10, 25)})});
    work.variables = {variable("pop", {{"A", 10}, {"B", 20}, {"L", 30}}), variable("area", {{"A", 1.5}})};
    return work;
}

QStringList ids(const PlmMap& map)
{
    QStringList list;
    for (const PlmEntity& entity : map.entities)
        list.append(entity.id);
    return list;
}

} // namespace

TEST(FondEntityCommandsTest, NamesAndNewIdentifiers)
{
    EXPECT_EQ(Fond::renameActionName(), QStringLiteral("Renommer l’entité"));
    EXPECT_EQ(Fond::styleActionName(), QStringLiteral("Style des entités"));
    EXPECT_EQ(Fond::groupActionName(), QStringLiteral("Grouper les entités"));
    EXPECT_EQ(Fond::ungroupActionName(), QStringLiteral("Dégrouper les entités"));
    EXPECT_EQ(Fond::duplicateActionName(), QStringLiteral("Dupliquer les entités"));
    EXPECT_EQ(Fond::deleteActionName(), QStringLiteral("Supprimer les entités"));
    EXPECT_EQ(Fond::createActionName(), QStringLiteral("Créer une entité"));
    const QString id = Fond::newEntityID();
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}$"))
                    .match(id)
                    .hasMatch())
        << id.toStdString();
    EXPECT_NE(id, Fond::newEntityID());
}

TEST(FondEntityCommandsTest, RenameChangesTextsTooAndSkipsLockedOrEmpty)
{
    PlmWork work = sampleWork();
    EXPECT_TRUE(Fond::renameEntity(work, "T", "Nouveau titre"));
    const PlmEntity& text = work.map.entities.at(work.map.entities.indexOfId("T"));
    EXPECT_EQ(text.name, "Nouveau titre");
    ASSERT_TRUE(text.geometry.asText());
    EXPECT_EQ(text.geometry.asText()->text, "Nouveau titre");
    EXPECT_EQ(text.geometry.asText()->fontSize, 14);
    EXPECT_EQ(text.geometry.asText()->transform.tx, 5);

    const PlmWork before = work;
    EXPECT_FALSE(Fond::renameEntity(work, "L", "x"));
    EXPECT_FALSE(Fond::renameEntity(work, "A", ""));
    EXPECT_FALSE(Fond::renameEntity(work, "g1", "membre")); // members are not top-level
    EXPECT_EQ(work, before);
}

TEST(FondEntityCommandsTest, GroupTagsUnlockedOnlyAndUngroupRestoresTheWork)
{
    const PlmWork original = sampleWork();
    PlmWork work = original;
    EXPECT_EQ(Fond::setCreationGroup(work, {"A", "B", "L"}, QStringLiteral("G-1")), 2);
    const auto group = [&](const QString& id) {
        return work.map.entities.at(work.map.entities.indexOfId(id)).attributes.value(Fond::creationGroupKey());
    };
    EXPECT_EQ(group("A"), "G-1");
    EXPECT_EQ(group("B"), "G-1");
    EXPECT_EQ(group("L"), "");

    // A second grouping replaces the first: one creation group at a time.
    Fond::setCreationGroup(work, {"B", "T"}, QStringLiteral("G-2"));
    EXPECT_EQ(group("A"), "G-1");
    EXPECT_EQ(group("B"), "G-2");

    EXPECT_EQ(Fond::setCreationGroup(work, {"A", "B", "T"}, std::nullopt), 3);
    EXPECT_EQ(work, original);
    EXPECT_EQ(Fond::setCreationGroup(work, {}, std::nullopt), 0);
}

TEST(FondEntityCommandsTest, DuplicateMakesNewIdsDropsTheGroupAndCopiesValues)
{
    PlmWork work = sampleWork();
    Fond::setCreationGroup(work, {"A", "G"}, QStringLiteral("K"));
    const QStringList newIDs = Fond::duplicateEntities(work, {"G", "A", "L"});
    ASSERT_EQ(newIDs.size(), 3);
    // Sources in map order, copies appended in that order.
    EXPECT_EQ(ids(work.map).mid(0, 6), QStringList({"A", "B", "L", "H", "T", "G"}));
    EXPECT_EQ(ids(work.map).mid(6), newIDs);

    const PlmEntity& copyA = work.map.entities.at(6);
    EXPECT_EQ(copyA.name, "A copie");
    EXPECT_FALSE(copyA.attributes.contains(Fond::creationGroupKey()));
    ASSERT_TRUE(copyA.geometry.asPolygon());
    EXPECT_EQ(copyA.geometry.asPolygon()->exterior.first(), (PlmPoint{20, 20}));
    EXPECT_EQ(work.variables[0].values.value(copyA.id), PlmValue::number(10));
    EXPECT_EQ(work.variables[1].values.value(copyA.id), PlmValue::number(1.5));

    const PlmEntity& copyL = work.map.entities.at(7);
    EXPECT_TRUE(copyL.locked()); // duplicate copies locked entities, still locked
    EXPECT_EQ(work.variables[0].values.value(copyL.id), PlmValue::number(30));
    EXPECT_FALSE(work.variables[1].values.contains(copyL.id));

    const PlmEntity& copyG = work.map.entities.at(8);
    EXPECT_EQ(copyG.name, "G copie");
    EXPECT_FALSE(copyG.attributes.contains(Fond::creationGroupKey()));
    const PlmEntityList* members = copyG.geometry.asGroup();
    ASSERT_TRUE(members);
    ASSERT_EQ(members->size(), 2);
    EXPECT_EQ(members->at(0).name, "g1 copie");
    EXPECT_EQ(members->at(1).name, "g2 copie");
    EXPECT_NE(members->at(0).id, "g1");
    EXPECT_NE(members->at(0).id, members->at(1).id);
    EXPECT_EQ(members->at(0).geometry.asPolygon()->exterior.first(), (PlmPoint{20, 40}));
    // The source keeps its creation group.
    EXPECT_EQ(work.map.entities.at(5).attributes.value(Fond::creationGroupKey()), "K");

    EXPECT_TRUE(Fond::duplicateEntities(work, {}).isEmpty());
}

TEST(FondEntityCommandsTest, DeleteRemovesValuesAndManualPositionsButKeepsOrder)
{
    PlmWork work = sampleWork();
    PlmThematicSettings thematic;
    thematic.proportional = PlmProportionalSettings();
    thematic.proportional->manualPositions = {{"A", {1, 1}}, {"B", {2, 2}}};
    thematic.secondSymbols = PlmSecondSymbolSeries();
    thematic.secondSymbols->symbols.manualPositions = {{"A", {3, 3}}, {"T", {4, 4}}};
    work.thematic = thematic;

    EXPECT_EQ(Fond::deleteEntities(work, {"A", "T", "nothing"}), 2);
    EXPECT_EQ(ids(work.map), QStringList({"B", "L", "H", "G"}));
    EXPECT_FALSE(work.variables[0].values.contains("A"));
    EXPECT_TRUE(work.variables[0].values.contains("B"));
    EXPECT_TRUE(work.variables[1].values.isEmpty());
    EXPECT_EQ(work.thematic->proportional->manualPositions.keys(), QStringList({"B"}));
    EXPECT_TRUE(work.thematic->secondSymbols->symbols.manualPositions.isEmpty());

    const PlmWork before = work;
    EXPECT_EQ(Fond::deleteEntities(work, {"g1"}), 0); // a member is no top-level entity
    EXPECT_EQ(work, before);
}

TEST(FondEntityCommandsTest, LockedAndHiddenRules)
{
    const PlmWork work = sampleWork();
    EXPECT_EQ(Fond::unlockedIDs(work.map, {"A", "L", "H", "g1"}), QSet<QString>({"A", "H"}));

    const auto [selected, primary] = Fond::selectAllIDs(work.map);
    EXPECT_FALSE(selected.contains("H"));
    EXPECT_TRUE(selected.contains("L")); // locked entities are selected, never edited
    EXPECT_EQ(selected.size(), 5);
    EXPECT_EQ(primary, QStringLiteral("A"));
    EXPECT_EQ(Fond::selectAllIDs(PlmMap()).second, std::nullopt);

    PlmWork restyled = work;
    EXPECT_EQ(Fond::restyleEntities(restyled, {"A", "L", "G"}, [](PlmStyle& s) { s.lineWidth = 7; }), 2);
    const auto width = [&](const QString& id) {
        return restyled.map.entities.at(restyled.map.entities.indexOfId(id)).style.lineWidth;
    };
    EXPECT_EQ(width("A"), 7);
    EXPECT_EQ(width("L"), 0);
    EXPECT_EQ(width("G"), 7);
    // Group members keep their own styles.
    EXPECT_EQ(restyled.map.entities.at(5).geometry.asGroup()->at(0).style.lineWidth, 0);
}

TEST(FondEntityCommandsTest, ReplacingAnEditFindsItsEntityById)
{
    PlmWork work = sampleWork();
    PlmEntity movedA = work.map.entities.at(0);
    movedA.translate(5, 0);
    PlmEntity movedB = work.map.entities.at(1);
    movedB.translate(0, 5);
    // B reported at a stale index still replaces B; an entity gone is not written anywhere.
    PlmEntity gone = squareEntity("Z", 0, 0, 1, 1);
    EXPECT_EQ(Fond::replaceEntities(work, {{0, movedA}, {4, movedB}, {2, gone}}), 2);
    EXPECT_EQ(work.map.entities.at(0), movedA);
    EXPECT_EQ(work.map.entities.at(1), movedB);
    EXPECT_EQ(work.map.entities.at(2).id, "L");
    EXPECT_EQ(work.map.entities.at(4).id, "T");
    EXPECT_EQ(work.map.entities.size(), 6);
}

TEST(FondEntityCommandsTest, StyleTextsParseFrenchNumbersWithinTheirRanges)
{
    PlmStyle s = style({0, 0, 0, 1}, PlmColor{1, 0, 0, 1}, 1, 4);
    EXPECT_TRUE(Fond::applyStyleText(s, Fond::opacityTag, "50"));
    EXPECT_DOUBLE_EQ(s.stroke.alpha, 0.5);
    EXPECT_DOUBLE_EQ(s.fill->alpha, 0.5);
    EXPECT_FALSE(Fond::applyStyleText(s, Fond::opacityTag, "150"));
    EXPECT_FALSE(Fond::applyStyleText(s, Fond::opacityTag, "-1"));
    EXPECT_DOUBLE_EQ(s.stroke.alpha, 0.5);

    EXPECT_TRUE(Fond::applyStyleText(s, Fond::pointSizeTag, "12"));
    EXPECT_DOUBLE_EQ(s.pointRadius, 6);
    EXPECT_FALSE(Fond::applyStyleText(s, Fond::pointSizeTag, "0"));
    EXPECT_FALSE(Fond::applyStyleText(s, Fond::pointSizeTag, "2500"));
    EXPECT_TRUE(Fond::applyStyleText(s, Fond::pointSizeTag, "2000"));
    EXPECT_DOUBLE_EQ(s.pointRadius, 1000);

    EXPECT_TRUE(Fond::applyStyleText(s, Fond::lineWidthTag, " 2,5 "));
    EXPECT_DOUBLE_EQ(s.lineWidth, 2.5);
    EXPECT_TRUE(Fond::applyStyleText(s, Fond::lineWidthTag, "0"));
    EXPECT_FALSE(Fond::applyStyleText(s, Fond::lineWidthTag, "-0,5"));
    EXPECT_FALSE(Fond::applyStyleText(s, Fond::lineWidthTag, "épais"));
    EXPECT_FALSE(Fond::applyStyleText(s, Fond::lineWidthTag, ""));
    EXPECT_FALSE(Fond::applyStyleText(s, Fond::lineWidthTag, "1e400"));
    EXPECT_DOUBLE_EQ(s.lineWidth, 0);

    // Without a fill, opacity goes to the stroke alone.
    PlmStyle line = style({0, 0, 0, 1}, std::nullopt);
    EXPECT_TRUE(Fond::applyStyleText(line, Fond::opacityTag, "25"));
    EXPECT_FALSE(line.fill.has_value());
    EXPECT_DOUBLE_EQ(line.stroke.alpha, 0.25);
}

TEST(FondEntityCommandsTest, ShownNumbersRoundTripAndOpacityFollowsTheKind)
{
    PlmStyle s = style({0, 0, 0, 0.85}, PlmColor{1, 0, 0, 0.4}, 0.125, 62.5);
    EXPECT_EQ(Fond::pointSizeText(s), "125");
    EXPECT_EQ(Fond::lineWidthText(s), "0,125");
    const PlmEntity polygon = squareEntity("A", 0, 0, 1, 1);
    const PlmEntity point = pointEntity("P", 0, 0);
    const PlmEntity line = lineEntity("L", {{0, 0}, {1, 1}});
    EXPECT_EQ(Fond::opacityText(s, &polygon), "40");
    EXPECT_EQ(Fond::opacityText(s, &point), "85");
    EXPECT_EQ(Fond::opacityText(s, &line), "85");
    EXPECT_EQ(Fond::opacityText(s, nullptr), "40");
    s.fill.reset();
    EXPECT_EQ(Fond::opacityText(s, nullptr), "85");
    // A shown value committed again stores the same value.
    PlmStyle again = s;
    EXPECT_TRUE(Fond::applyStyleText(again, Fond::pointSizeTag, Fond::pointSizeText(s)));
    EXPECT_TRUE(Fond::applyStyleText(again, Fond::opacityTag, Fond::opacityText(s, nullptr)));
    EXPECT_EQ(again, s);
}

TEST(FondEntityCommandsTest, CreatedEntitiesAndTheAuthoredMark)
{
    PlmPointSymbol symbol(QStringLiteral("star.fill"), std::nullopt);
    const PlmStyle traced = style({0, 0, 0, 1}, PlmColor{0.85, 0.9, 0.95, 1});
    const PlmEntity point = Fond::createdEntity("P1", PlmGeometry::point({1, 2}), "Point", traced, symbol, true);
    EXPECT_EQ(point.attributes.value("studio.point.units"), "map");
    EXPECT_EQ(point.pointSymbol, symbol);
    EXPECT_DOUBLE_EQ(point.style.fill->alpha, 0); // traced over the image
    const PlmEntity shape = Fond::createdEntity("R1", PlmGeometry::polyline({{0, 0}, {1, 1}}), "Ligne", traced,
                                                symbol, false);
    EXPECT_TRUE(shape.attributes.isEmpty());
    EXPECT_FALSE(shape.pointSymbol.has_value());
    EXPECT_DOUBLE_EQ(shape.style.fill->alpha, 1);

    PlmWork authored;
    Fond::appendCreatedEntity(authored, shape);
    EXPECT_EQ(authored.map.metadata.value("studio.authored"), "true");
    PlmWork imported;
    imported.map.sources = QList<PlmSource>();
    Fond::appendCreatedEntity(imported, shape);
    EXPECT_FALSE(imported.map.metadata.contains("studio.authored"));
    EXPECT_EQ(imported.map.entities.size(), 1);
}

TEST(FondEntityCommandsTest, Details)
{
    const PlmWork work = sampleWork();
    const PlmEntity group = groupEntity("G", {squareEntity("a", 0, 0, 1, 1), squareEntity("b", 0, 0, 1, 1),
                                              squareEntity("c", 0, 0, 1, 1)});
    EXPECT_EQ(Fond::entityDetails(group, false), "G\n\nIdentifiant : G\n3 objets vectoriels");
    EXPECT_EQ(Fond::entityDetails(group, true),
              "G\n\nIdentifiant : G\n3 objets vectoriels\n\nÉdition interne du groupe");
    EXPECT_EQ(Fond::mapDetails(work.map), "test\n\n6 entités");
}

TEST(FondEntityCommandsTest, ManyIdsTakeTheSamePathsAsFew)
{
    PlmEntityList entities;
    for (int i = 0; i < 40; ++i)
        entities.append(pointEntity(QStringLiteral("e%1").arg(i), i, 0));
    PlmWork work;
    work.map = mapOf(entities);
    QSet<QString> even;
    for (int i = 0; i < 40; i += 2)
        even.insert(QStringLiteral("e%1").arg(i));
    even.insert(QStringLiteral("absent"));
    EXPECT_EQ(Fond::topLevelIndexes(work.map.entities, even).size(), 20);
    EXPECT_EQ(Fond::topLevelIndexes(work.map.entities, {"e7", "e3", "absent"}), (QList<qsizetype>{3, 7}));

    PlmWork many = work;
    EXPECT_EQ(Fond::deleteEntities(many, even), 20);
    PlmWork few = work;
    for (const QString& id : even)
        Fond::deleteEntities(few, {id});
    EXPECT_EQ(many, few);
    ASSERT_EQ(many.map.entities.size(), 20);
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(many.map.entities.at(i).id, QStringLiteral("e%1").arg(2 * i + 1));
}
