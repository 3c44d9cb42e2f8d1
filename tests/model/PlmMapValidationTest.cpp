#include "support/PlmMapTestSupport.h"

#include "model/PlmErrors.h"
#include "model/PlmMapCodec.h"
#include "support/ErrorCapture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace PlmMapTest;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

QString failureOf(const PlmMap& map)
{
    return thrownMessage<PlmMapError>([&] { PlmMapCodec::validate(map); });
}

QString failureOf(const PlmEntity& entity)
{
    return failureOf(mapOf({entity}));
}

PlmEntity withPath(const QString& id, QList<PlmPathCommand> commands)
{
    PlmVectorPath path;
    path.commands = commands;
    return pathEntity(id, path);
}

PlmEntity svgSymbolPoint(const QString& id, const PlmMap& drawing)
{
    PlmEntity entity = pointEntity(id);
    entity.pointSymbol = PlmPointSymbol(std::nullopt, drawing);
    return entity;
}

PlmMap pathDrawing()
{
    return PlmMap(QStringLiteral("s"), {pathEntity(QStringLiteral("s"))});
}

} // namespace

TEST(PlmMapValidationTest, eachOfTheFifteenMessages)
{
    EXPECT_EQ(failureOf(nestedGroups(64, pointEntity("p"))), "Groupes trop profondément imbriqués.");

    PlmEntity symbolOnLine(QStringLiteral("l"), {}, PlmGeometry::polyline({{0, 0}, {1, 1}}), plainStyle());
    symbolOnLine.pointSymbol = PlmPointSymbol(QStringLiteral("star"), std::nullopt);
    EXPECT_EQ(failureOf(symbolOnLine), "Motif ponctuel invalide.");

    PlmEntity blankSymbol = pointEntity("p");
    blankSymbol.pointSymbol = PlmPointSymbol(QStringLiteral(" \n\t"), std::nullopt);
    EXPECT_EQ(failureOf(blankSymbol), "Nom de pictogramme vide.");

    EXPECT_EQ(failureOf(svgSymbolPoint("p", PlmMap(QStringLiteral("s"), {}))),
              "Symbole SVG sans tracés vectoriels.");

    EXPECT_EQ(failureOf(mapOf({pointEntity("a"), pointEntity("a")})), "Identifiant vide ou dupliqué : a");
    EXPECT_EQ(failureOf(pointEntity(QString())), "Identifiant vide ou dupliqué : ");

    EXPECT_EQ(failureOf(pointEntity("p", {kNaN, 0})), "Coordonnées non finies : p");
    // A hole's vertices are coordinates too.
    PlmEntity nonFiniteHole("h", {}, PlmGeometry::polygon(PlmPolygon{square(0, 0, 10), {{{1, 1}, {2, 1}, {1, kInf}}}}),
                            filledStyle());
    EXPECT_EQ(failureOf(nonFiniteHole), "Coordonnées non finies : h");

    PlmEntity shortLine(QStringLiteral("l"), {}, PlmGeometry::polyline({{0, 0}}), plainStyle());
    EXPECT_EQ(failureOf(shortLine), "Ligne trop courte : l");

    PlmEntity emptyMulti(QStringLiteral("m"), {}, PlmGeometry::multipolygon({}), filledStyle());
    EXPECT_EQ(failureOf(emptyMulti), "Multipolygone vide : m");

    PlmText badAnchor{QStringLiteral("x"), QStringLiteral("Helvetica"), 10, {}, QStringLiteral("Start")};
    EXPECT_EQ(failureOf(PlmEntity("t", {}, PlmGeometry::text(badAnchor), plainStyle())), "Texte invalide.");

    EXPECT_EQ(failureOf(groupEntity("g", {})), "Groupe vide.");

    PlmEntity badStyle = pointEntity("p");
    badStyle.style.pointRadius = 0;
    EXPECT_EQ(failureOf(badStyle), "Style invalide : p");

    PlmEntity flatRing(QStringLiteral("r"), {},
                       PlmGeometry::polygon(PlmPolygon{{{0, 0}, {1, 0}, {0, 0}, {1, 0}}, {}}), filledStyle());
    EXPECT_EQ(failureOf(flatRing), "Anneau : au moins trois sommets distincts requis.");

    EXPECT_EQ(failureOf(withPath("path", {PlmPathCommand::line({0, 0})})), "Tracé sans origine.");
    EXPECT_EQ(failureOf(withPath("path", {})), "Tracé sans origine.");

    EXPECT_EQ(failureOf(withPath("path", {PlmPathCommand::move({0, 0}),
                                          PlmPathCommand::arc({0, 0}, {1, 0}, {0, 1}, 0, 7)})),
              "Arc invalide.");

    PlmEntity badClip = pointEntity("p");
    badClip.clipPaths = QList<PlmVectorPath>{
        PlmVectorPath{{PlmPathCommand::move({0, 0}), PlmPathCommand::line({kNaN, 1})}, false}};
    EXPECT_EQ(failureOf(badClip), "Tracé non fini.");
}

TEST(PlmMapValidationTest, stepsRunInTheirOrder)
{
    // Depth before everything else.
    PlmEntity deepBad = pointEntity(QString());
    deepBad.style.pointRadius = -1;
    EXPECT_EQ(failureOf(nestedGroups(64, deepBad)), "Groupes trop profondément imbriqués.");

    // A clip path is checked before the id is looked at.
    PlmEntity clipAndDuplicate = pointEntity("a");
    clipAndDuplicate.clipPaths = QList<PlmVectorPath>{PlmVectorPath{{PlmPathCommand::close()}, false}};
    EXPECT_EQ(failureOf(mapOf({pointEntity("a"), clipAndDuplicate})), "Tracé sans origine.");

    // A point symbol on a line fails before the duplicate id.
    PlmEntity symbolOnLine(QStringLiteral("a"), {}, PlmGeometry::polyline({{0, 0}, {1, 1}}), plainStyle());
    symbolOnLine.pointSymbol = PlmPointSymbol(QStringLiteral("star"), std::nullopt);
    EXPECT_EQ(failureOf(mapOf({pointEntity("a"), symbolOnLine})), "Motif ponctuel invalide.");

    // Coordinates come before the path check: a NaN point in a path geometry names the id,
    // the same path as a clip path gives the path message.
    const QList<PlmPathCommand> nanPath{PlmPathCommand::move({0, 0}), PlmPathCommand::line({kNaN, 0})};
    EXPECT_EQ(failureOf(withPath("p", nanPath)), "Coordonnées non finies : p");
    PlmEntity clipped = pointEntity("c");
    clipped.clipPaths = QList<PlmVectorPath>{PlmVectorPath{nanPath, false}};
    EXPECT_EQ(failureOf(clipped), "Tracé non fini.");

    // A non-finite point deep in a group is reported with the outermost group's id.
    EXPECT_EQ(failureOf(groupEntity("outer", {groupEntity("inner", {pointEntity("p", {0, kInf})})})),
              "Coordonnées non finies : outer");
}

TEST(PlmMapValidationTest, groupStyleIsCheckedAfterItsMembers)
{
    PlmEntity shortLine(QStringLiteral("l"), {}, PlmGeometry::polyline({{0, 0}}), plainStyle());
    PlmEntity group = groupEntity("g", {shortLine});
    group.style.lineWidth = -1;
    EXPECT_EQ(failureOf(group), "Ligne trop courte : l");
    group.geometry = PlmGeometry::group({pointEntity("p")});
    EXPECT_EQ(failureOf(group), "Style invalide : g");
}

TEST(PlmMapValidationTest, idsAreUniqueAmongSiblingsOnly)
{
    EXPECT_EQ(failureOf(mapOf({pointEntity("a"), groupEntity("g", {pointEntity("a")})})), QString());
    EXPECT_EQ(failureOf(mapOf({groupEntity("g1", {pointEntity("a")}), groupEntity("g2", {pointEntity("a")})})),
              QString());
    EXPECT_EQ(failureOf(groupEntity("g", {pointEntity("a"), pointEntity("a")})),
              "Identifiant vide ou dupliqué : a");
    // White space is an id like any other.
    EXPECT_EQ(failureOf(mapOf({pointEntity(" "), pointEntity("  ")})), QString());
}

TEST(PlmMapValidationTest, depthLimits)
{
    EXPECT_EQ(failureOf(PlmMap()), QString());
    EXPECT_EQ(failureOf(nestedGroups(63, pointEntity("p"))), QString());
    EXPECT_EQ(failureOf(nestedGroups(15, svgSymbolPoint("p", pathDrawing()))), QString());
    EXPECT_EQ(failureOf(nestedGroups(16, svgSymbolPoint("p", pathDrawing()))),
              "Symbole SVG sans tracés vectoriels.");
}

TEST(PlmMapValidationTest, svgSymbolsHoldOnlyPaths)
{
    // Leaves of every level are looked at, hidden ones included.
    PlmEntity hiddenPoint = pointEntity("h");
    hiddenPoint.isHidden = true;
    PlmMap drawing(QStringLiteral("s"), {groupEntity("g", {pathEntity("a"), hiddenPoint})});
    EXPECT_EQ(failureOf(svgSymbolPoint("p", drawing)), "Symbole SVG sans tracés vectoriels.");

    PlmEntity pathWithSymbol = pathEntity("a");
    pathWithSymbol.pointSymbol = PlmPointSymbol(QStringLiteral("star"), std::nullopt);
    EXPECT_EQ(failureOf(svgSymbolPoint("p", PlmMap(QStringLiteral("s"), {pathWithSymbol}))),
              "Symbole SVG sans tracés vectoriels.");

    // Once every leaf is a path, the drawing is validated as a map of its own.
    PlmMap duplicated(QStringLiteral("s"), {pathEntity("a"), pathEntity("a")});
    EXPECT_EQ(failureOf(svgSymbolPoint("p", duplicated)), "Identifiant vide ou dupliqué : a");

    PlmEntity both = pointEntity("p");
    both.pointSymbol = PlmPointSymbol(QStringLiteral("star"), pathDrawing());
    EXPECT_EQ(failureOf(both), "Motif ponctuel invalide.");
    PlmEntity neither = pointEntity("p");
    neither.pointSymbol = PlmPointSymbol();
    EXPECT_EQ(failureOf(neither), "Motif ponctuel invalide.");
}

TEST(PlmMapValidationTest, ringsCountDistinctVertices)
{
    auto polygon = [](QList<PlmPoint> ring) {
        return PlmEntity("r", {}, PlmGeometry::polygon(PlmPolygon{ring, {}}), filledStyle());
    };
    EXPECT_EQ(failureOf(polygon({{0, 0}, {1, 0}, {0, 1}})), QString());
    EXPECT_EQ(failureOf(polygon({{0, 0}, {1, 0}, {0, 0}})), "Anneau : au moins trois sommets distincts requis.");
    // 0 and -0 are different vertices.
    EXPECT_EQ(failureOf(polygon({{0, 0}, {-0.0, 0}, {0, -0.0}})), QString());
    // Holes are rings too.
    PlmEntity holed("h", {}, PlmGeometry::polygon(PlmPolygon{square(0, 0, 10), {{{1, 1}, {2, 2}}}}), filledStyle());
    EXPECT_EQ(failureOf(holed), "Anneau : au moins trois sommets distincts requis.");
}

TEST(PlmMapValidationTest, styleRules)
{
    auto styled = [](auto change) {
        PlmEntity entity = pointEntity("s");
        change(entity.style);
        return failureOf(entity);
    };
    const QString bad = QStringLiteral("Style invalide : s");
    EXPECT_EQ(styled([](PlmStyle& s) { s.lineWidth = 0; }), QString());
    EXPECT_EQ(styled([](PlmStyle& s) { s.dash = QList<double>{0, 0}; }), QString());
    EXPECT_EQ(styled([](PlmStyle& s) { s.dash = QList<double>{-0.0, 1}; }), QString());
    EXPECT_EQ(styled([](PlmStyle& s) { s.stroke.red = -0.0; }), QString());
    EXPECT_EQ(styled([](PlmStyle& s) { s.lineCap = 2; s.lineJoin = 0; }), QString());
    EXPECT_EQ(styled([](PlmStyle& s) { s.pointRadius = 0; }), bad);
    EXPECT_EQ(styled([](PlmStyle& s) { s.pointRadius = kInf; }), bad);
    EXPECT_EQ(styled([](PlmStyle& s) { s.lineWidth = -1; }), bad);
    EXPECT_EQ(styled([](PlmStyle& s) { s.lineWidth = kNaN; }), bad);
    EXPECT_EQ(styled([](PlmStyle& s) { s.dash = QList<double>{1, -1}; }), bad);
    EXPECT_EQ(styled([](PlmStyle& s) { s.dash = QList<double>{kInf}; }), bad);
    EXPECT_EQ(styled([](PlmStyle& s) { s.lineCap = 3; }), bad);
    EXPECT_EQ(styled([](PlmStyle& s) { s.lineJoin = -1; }), bad);
    EXPECT_EQ(styled([](PlmStyle& s) { s.stroke.alpha = 1.0000001; }), bad);
    EXPECT_EQ(styled([](PlmStyle& s) { s.stroke.green = kNaN; }), bad);
    EXPECT_EQ(styled([](PlmStyle& s) { s.fill = PlmColor{0, 0, 2, 1}; }), bad);
}

TEST(PlmMapValidationTest, textAndPathRules)
{
    auto text = [](PlmText t) { return failureOf(PlmEntity("t", {}, PlmGeometry::text(t), plainStyle())); };
    const PlmText good{QString(), QString(), 10, {}, QStringLiteral("end")};
    EXPECT_EQ(text(good), QString());
    PlmText t = good;
    t.fontSize = 0;
    EXPECT_EQ(text(t), "Texte invalide.");
    t = good;
    t.transform.c = kNaN;
    // A NaN in the transform is first a non-finite coordinate of the text's extent.
    EXPECT_EQ(text(t), "Coordonnées non finies : t");
    t = good;
    t.anchor = QStringLiteral("middle ");
    EXPECT_EQ(text(t), "Texte invalide.");

    const PlmPathCommand move = PlmPathCommand::move({0, 0});
    EXPECT_EQ(failureOf(withPath("p", {move, PlmPathCommand::arc({0, 0}, {1, 0}, {0, 1}, 0, -6.283185307279586)})),
              QString());
    EXPECT_EQ(failureOf(withPath("p", {move, PlmPathCommand::arc({0, 0}, {1, 0}, {0, 1}, 0, -6.2831853072796)})),
              "Arc invalide.");
    EXPECT_EQ(failureOf(withPath("p", {move, PlmPathCommand::arc({0, 0}, {1, 0}, {0, 1}, kNaN, 1)})),
              "Arc invalide.");
}

TEST(PlmMapValidationTest, validationNeverChangesTheMap)
{
    const PlmMap map = mapOf({pointEntity("a"), pointEntity("a")});
    const PlmMap copy = map;
    EXPECT_FALSE(failureOf(map).isEmpty());
    EXPECT_EQ(map, copy);
}
