#include "support/CanvasTestMaps.h"
#include "canvas/ProportionalShapeSvgImport.h"

#include "model/PlmErrors.h"
#include "support/ErrorCapture.h"

#include <gtest/gtest.h>

using namespace CanvasTestMaps;
using namespace ProportionalShapeSvgImport;
using Type = BezierElement::Type;

namespace {

QMap<QString, QString> svgMetadata()
{
    return {{QStringLiteral("source.format"), QStringLiteral("SVG")},
            {QStringLiteral("source.file"), QStringLiteral("a.svg")}};
}

PlmEntity textEntity(const QString& id, const QString& text)
{
    PlmText t;
    t.text = text;
    t.fontName = QStringLiteral("DejaVu Sans");
    t.fontSize = 20;
    return PlmEntity(id, QStringLiteral("Légende"), PlmGeometry::text(t), style({0, 0, 0, 1}, PlmColor{0, 0, 0, 1}));
}

} // namespace

TEST(ProportionalShapeSvgImportTest, RefusesWhatIsNotAnSvgOrNotFullyConverted)
{
    const PlmMap square = mapOf({squareEntity(QStringLiteral("a"), 0, 0, 10, 10)},
                                {{QStringLiteral("source.format"), QStringLiteral("GeoJSON")}});
    EXPECT_EQ(thrownMessage([&] { importSVGSymbol(square, {}); }),
              QStringLiteral("Choisissez un fichier SVG vectoriel."));
    const PlmMap noFormat = mapOf({squareEntity(QStringLiteral("a"), 0, 0, 10, 10)});
    EXPECT_EQ(thrownMessage([&] { importSVGSymbol(noFormat, {}); }),
              QStringLiteral("Choisissez un fichier SVG vectoriel."));

    const PlmMap svg = mapOf({squareEntity(QStringLiteral("a"), 0, 0, 10, 10)}, svgMetadata());
    const QMap<QString, int> two{{QStringLiteral("viewport SVG imbriqué"), 1},
                                 {QStringLiteral("référence SVG non résolue"), 3}};
    EXPECT_EQ(thrownMessage([&] { importSVGSymbol(svg, two); }),
              QStringLiteral("Ce SVG contient des éléments non convertibles : référence SVG non résolue, "
                             "viewport SVG imbriqué. Le symbole n’a pas été ajouté."));

    const QMap<QString, int> six{{"f", 1}, {"b", 1}, {"e", 1}, {"a", 2}, {"d", 1}, {"c", 1}};
    EXPECT_EQ(thrownMessage([&] { importSVGSymbol(svg, six); }),
              QStringLiteral("Ce SVG contient des éléments non convertibles : a, b, c, d. Le symbole n’a pas été ajouté."));
}

TEST(ProportionalShapeSvgImportTest, EmptyMapAndEmptyTextFail)
{
    const PlmMap empty = mapOf({}, svgMetadata());
    EXPECT_EQ(thrownMessage([&] { importSVGSymbol(empty, {}); }), QStringLiteral("SVG vide."));
    // The unconverted elements are reported before the emptiness.
    EXPECT_EQ(thrownMessage([&] { importSVGSymbol(empty, {{QStringLiteral("filtre"), 1}}); }),
              QStringLiteral("Ce SVG contient des éléments non convertibles : filtre. Le symbole n’a pas été ajouté."));

    const PlmMap blank = mapOf({textEntity(QStringLiteral("t"), QString())}, svgMetadata());
    EXPECT_EQ(thrownMessage([&] { importSVGSymbol(blank, {}); }), QStringLiteral("SVG sans tracé représentable."));
}

TEST(ProportionalShapeSvgImportTest, GroupsAndTextsBecomePaths)
{
    PlmEntity group = groupEntity(QStringLiteral("g"), {squareEntity(QStringLiteral("r1"), 0, 0, 10, 10),
                                                        squareEntity(QStringLiteral("r2"), 20, 0, 30, 10)});
    group.name = QStringLiteral("Groupe");
    const PlmEntity text = textEntity(QStringLiteral("t"), QStringLiteral("Ab"));
    PlmMap imported = mapOf({group, text}, svgMetadata());
    imported.name = QStringLiteral("logo");

    const PlmMap result = importSVGSymbol(imported, {});
    EXPECT_EQ(result.name, QStringLiteral("logo"));
    EXPECT_EQ(result.metadata, imported.metadata);
    ASSERT_EQ(result.entities.size(), 2);

    const PlmEntityList* members = result.entities[0].geometry.asGroup();
    ASSERT_NE(members, nullptr);
    EXPECT_EQ(result.entities[0].id, QStringLiteral("g"));
    EXPECT_EQ(result.entities[0].name, QStringLiteral("Groupe"));
    ASSERT_EQ(members->size(), 2);
    for (qsizetype i = 0; i < 2; ++i) {
        EXPECT_EQ(members->at(i).geometry.kind(), PlmGeometry::Kind::path);
        EXPECT_EQ(members->at(i).id, group.geometry.asGroup()->at(i).id);
        EXPECT_EQ(members->at(i).style, group.geometry.asGroup()->at(i).style);
    }
    const PlmEntity& outlined = result.entities[1];
    EXPECT_EQ(outlined.id, QStringLiteral("t"));
    EXPECT_EQ(outlined.style, text.style);
    ASSERT_EQ(outlined.geometry.kind(), PlmGeometry::Kind::path);
    const PlmVectorPath* glyphs = outlined.geometry.asPath();
    ASSERT_NE(glyphs, nullptr);
    EXPECT_GT(glyphs->commands.size(), 4);
    for (const PlmPathCommand& c : glyphs->commands)
        EXPECT_NE(c.kind(), PlmPathCommand::Kind::arc);
}

TEST(ProportionalShapeSvgImportTest, BezierElementsBecomeCommands)
{
    const PlmVectorPath quad = pathCommands({{Type::moveTo, {{0, 0}}},
                                             {Type::quadraticCurveTo, {{3, 3}, {6, 0}}},
                                             {Type::closePath, {}}},
                                            false);
    const QList<PlmPathCommand> expected{PlmPathCommand::move({0, 0}),
                                         PlmPathCommand::cubic({2, 2}, {4, 2}, {6, 0}), PlmPathCommand::close()};
    ASSERT_EQ(quad.commands.size(), 3);
    const PlmPathCubic* c = quad.commands[1].asCubic();
    ASSERT_NE(c, nullptr);
    EXPECT_NEAR(c->control1.x, 2, 1e-12);
    EXPECT_NEAR(c->control1.y, 2, 1e-12);
    EXPECT_NEAR(c->control2.x, 4, 1e-12);
    EXPECT_NEAR(c->control2.y, 2, 1e-12);
    EXPECT_EQ(quad.commands[0], expected[0]);
    EXPECT_EQ(quad.commands[2], expected[2]);
    EXPECT_FALSE(quad.evenOdd);

    // After a close the current point is the subpath start again.
    const PlmVectorPath afterClose = pathCommands({{Type::moveTo, {{1, 1}}},
                                                   {Type::lineTo, {{9, 1}}},
                                                   {Type::closePath, {}},
                                                   {Type::quadraticCurveTo, {{1, 4}, {1, 7}}}},
                                                  true);
    EXPECT_TRUE(afterClose.evenOdd);
    EXPECT_NEAR(afterClose.commands[3].asCubic()->control1.y, 3, 1e-12);

    EXPECT_EQ(thrownMessage([] { pathCommands({{Type::moveTo, {{0, 0}}}, {Type::other, {}}}, false); }),
              QStringLiteral("Ce tracé utilise un élément SVG non représentable. Aucun symbole n’a été ajouté."));
    EXPECT_EQ(thrownMessage([] { pathCommands({{Type::curveTo, {{0, 0}}}}, false); }),
              QStringLiteral("Ce tracé utilise un élément SVG non représentable. Aucun symbole n’a été ajouté."));
}

TEST(ProportionalShapeSvgImportTest, PainterPathsAndArcsNeverYieldArcs)
{
    QPainterPath p;
    p.setFillRule(Qt::OddEvenFill);
    p.moveTo(0, 0);
    p.cubicTo(1, 2, 3, 4, 5, 6);
    const PlmVectorPath fromQt = pathCommands(p);
    EXPECT_TRUE(fromQt.evenOdd);
    ASSERT_EQ(fromQt.commands.size(), 2);
    EXPECT_EQ(fromQt.commands[1], PlmPathCommand::cubic({1, 2}, {3, 4}, {5, 6}));

    PlmVectorPath circle;
    circle.commands = {PlmPathCommand::arc({0, 0}, {2, 0}, {0, 2}, 0, 1e300)};
    const PlmVectorPath cubics = pathCommands(circle);
    ASSERT_EQ(cubics.commands.size(), 5); // a move then four quarter turns, however large the sweep
    const PlmPathCubic* q = cubics.commands[1].asCubic();
    ASSERT_NE(q, nullptr);
    EXPECT_NEAR(q->end.x, 0, 1e-9);
    EXPECT_NEAR(q->end.y, 2, 1e-9);
}
