#include "basemaps/PlmSvgPathData.h"
#include "support/TableReaderTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

using namespace PlmSvgPathData;

namespace {

constexpr double pi = std::numbers::pi;

void expectNear(const PlmPoint& p, double x, double y)
{
    EXPECT_NEAR(p.x, x, 1e-9);
    EXPECT_NEAR(p.y, y, 1e-9);
}

QList<PlmPathCommand::Kind> kinds(const QList<PlmPathCommand>& commands)
{
    QList<PlmPathCommand::Kind> result;
    for (const PlmPathCommand& c : commands)
        result.append(c.kind());
    return result;
}

using K = PlmPathCommand::Kind;

} // namespace

TEST(SvgTransform, ItemsAndTheirOrder)
{
    EXPECT_EQ(svgTransform(u"translate(10)"), (PlmTransform{1, 0, 0, 1, 10, 0}));
    EXPECT_EQ(svgTransform(u"scale(2)"), (PlmTransform{2, 0, 0, 2, 0, 0}));
    EXPECT_EQ(svgTransform(u""), PlmTransform::identity());
    EXPECT_EQ(svgTransform(u"  , "), PlmTransform::identity());
    expectNear(svgTransform(u"translate(10,20) scale(2)").apply({1, 1}), 12, 22);
    // The other order scales the translation too.
    expectNear(svgTransform(u"scale(2) translate(10,20)").apply({1, 1}), 22, 42);
    expectNear(svgTransform(u"rotate(90 10 10)").apply({20, 10}), 10, 20);
    expectNear(svgTransform(u"rotate(90)").apply({1, 0}), 0, 1);
    expectNear(svgTransform(u"skewX(45)").apply({0, 1}), 1, 1);
    expectNear(svgTransform(u"skewY(45)").apply({1, 0}), 1, 1);
    EXPECT_EQ(svgTransform(u"matrix(1 2 3 4 5 6)"), (PlmTransform{1, 2, 3, 4, 5, 6}));
    // Units and separators between arguments are skipped.
    EXPECT_EQ(svgTransform(u"translate(10px, 5px)"), (PlmTransform{1, 0, 0, 1, 10, 5}));
    EXPECT_EQ(svgTransform(u"scale (3,1),translate(1)"), (PlmTransform{3, 0, 0, 1, 3, 0}));
}

TEST(SvgTransform, RefusedTexts)
{
    EXPECT_EQ(errorOf([] { svgTransform(u"Translate(1)"); }), QStringLiteral("Transformation SVG invalide : Translate."));
    EXPECT_EQ(errorOf([] { svgTransform(u"matrix(1 2 3)"); }), QStringLiteral("Transformation SVG invalide : matrix."));
    EXPECT_EQ(errorOf([] { svgTransform(u"rotate(1 2)"); }), QStringLiteral("Transformation SVG invalide : rotate."));
    EXPECT_EQ(errorOf([] { svgTransform(u"scale(2) junk"); }), QStringLiteral("Transformation SVG invalide."));
    EXPECT_EQ(errorOf([] { svgTransform(u"scale(2"); }), QStringLiteral("Transformation SVG invalide."));
    EXPECT_EQ(errorOf([] { svgTransform(u"scale(1e308) scale(1e308)"); }), QStringLiteral("Transformation SVG invalide."));
    // A long text of unclosed items is refused in one pass, not one scan per item.
    QString unclosed;
    for (int i = 0; i < 200000; ++i)
        unclosed += QStringLiteral("a(");
    EXPECT_EQ(errorOf([&] { svgTransform(unclosed); }), QStringLiteral("Transformation SVG invalide."));
}

TEST(SvgPathData, ImplicitRepetitionAndRelativeMoves)
{
    const QList<PlmPathCommand> c = svgPathCommands(u"M0 0 10 0 10 10z");
    EXPECT_EQ(kinds(c), (QList<K>{K::move, K::line, K::line, K::close}));
    const QList<PlmPathCommand> m = svgPathCommands(u"m10 10 5 5");
    ASSERT_EQ(m.size(), 2);
    EXPECT_EQ(m[0], PlmPathCommand::move({10, 10}));
    EXPECT_EQ(m[1], PlmPathCommand::line({15, 15}));
    // "10-5" is two numbers, "1.5.5" is 1.5 and .5, "1e1" is one number.
    const QList<PlmPathCommand> packed = svgPathCommands(u"M10-5L1.5.5l1e1,0");
    ASSERT_EQ(packed.size(), 3);
    EXPECT_EQ(packed[0], PlmPathCommand::move({10, -5}));
    EXPECT_EQ(packed[1], PlmPathCommand::line({1.5, 0.5}));
    EXPECT_EQ(packed[2], PlmPathCommand::line({11.5, 0.5}));
    EXPECT_TRUE(svgPathCommands(u" \n").isEmpty());
}

TEST(SvgPathData, LinesCurvesAndClose)
{
    const QList<PlmPathCommand> c = svgPathCommands(u"M 1 1 H 5 v 2 h -1 V 0 Z l 1 1");
    ASSERT_EQ(c.size(), 7);
    EXPECT_EQ(c[1], PlmPathCommand::line({5, 1}));
    EXPECT_EQ(c[2], PlmPathCommand::line({5, 3}));
    EXPECT_EQ(c[3], PlmPathCommand::line({4, 3}));
    EXPECT_EQ(c[4], PlmPathCommand::line({4, 0}));
    EXPECT_TRUE(c[5].isClose());
    EXPECT_EQ(c[6], PlmPathCommand::line({2, 2})); // from the subpath start

    const QList<PlmPathCommand> s = svgPathCommands(u"M0 0 C 0 10 10 10 10 0 S 20 -10 20 0");
    ASSERT_EQ(s.size(), 3);
    EXPECT_EQ(s[2], PlmPathCommand::cubic({10, -10}, {20, -10}, {20, 0}));
    // S after a line takes the current point as first control.
    EXPECT_EQ(svgPathCommands(u"M0 0 L 5 5 S 6 6 7 7")[2], PlmPathCommand::cubic({5, 5}, {6, 6}, {7, 7}));

    const QList<PlmPathCommand> q = svgPathCommands(u"M0 0 Q 3 3 6 0 T 12 0");
    ASSERT_EQ(q.size(), 3);
    expectNear(q[1].asCubic()->control1, 2, 2);
    expectNear(q[1].asCubic()->control2, 4, 2);
    // T reflects the control point (3, 3) about (6, 0): (9, -3).
    expectNear(q[2].asCubic()->control1, 8, -2);
    expectNear(q[2].asCubic()->control2, 10, -2);
}

TEST(SvgPathData, Arcs)
{
    const QList<PlmPathCommand> half = svgPathCommands(u"M0 0 A 5 5 0 0 1 20 0");
    ASSERT_EQ(half.size(), 2);
    const PlmPathArc* arc = half[1].asArc();
    ASSERT_NE(arc, nullptr);
    expectNear(arc->center, 10, 0);
    expectNear(arc->axisX, 10, 0);
    expectNear(arc->axisY, 0, 10);
    EXPECT_NEAR(std::abs(arc->sweep), pi, 1e-9);
    EXPECT_NEAR(arc->sweep, pi, 1e-9); // sweep flag 1: positive angles
    // The arc's end is the path's end point.
    const double end = arc->start + arc->sweep;
    expectNear({arc->center.x + std::cos(end) * arc->axisX.x + std::sin(end) * arc->axisY.x,
                arc->center.y + std::cos(end) * arc->axisX.y + std::sin(end) * arc->axisY.y},
               20, 0);

    EXPECT_EQ(svgPathCommands(u"M0 0 A 10 10 0 0 1 0 0").size(), 1);
    EXPECT_EQ(svgPathCommands(u"M0 0 A 0 10 0 0 1 20 0")[1], PlmPathCommand::line({20, 0}));
    // Packed flags: large-arc 0, sweep 1, x 50.
    const QList<PlmPathCommand> packed = svgPathCommands(u"M0 0 a5 5 0 0150 10");
    ASSERT_EQ(packed.size(), 2);
    EXPECT_EQ(packed[1].kind(), K::arc);
    const QList<PlmPathCommand> large = svgPathCommands(u"M0 0 A 10 10 0 1 0 10 10");
    EXPECT_GT(std::abs(large[1].asArc()->sweep), pi);
    EXPECT_LT(large[1].asArc()->sweep, 0);
}

TEST(SvgPathData, RefusedPathData)
{
    EXPECT_EQ(errorOf([] { svgPathCommands(u"L 10 10"); }), QStringLiteral("Le tracé SVG doit commencer par M."));
    EXPECT_EQ(errorOf([] { svgPathCommands(u"10 10"); }), QStringLiteral("Commande SVG absente."));
    EXPECT_EQ(errorOf([] { svgPathCommands(u"M0 0 Z 5 5"); }), QStringLiteral("Commande SVG absente."));
    EXPECT_EQ(errorOf([] { svgPathCommands(u"M 0 0 L 10"); }), QStringLiteral("Arguments du tracé SVG incomplets."));
    EXPECT_EQ(errorOf([] { svgPathCommands(u"M 0 0 L 1e999 0"); }), QStringLiteral("Arguments du tracé SVG incomplets."));
    EXPECT_EQ(errorOf([] { svgPathCommands(u"M0 0 B 1 1"); }), QStringLiteral("Commande SVG inconnue : B."));
    EXPECT_EQ(errorOf([] { svgPathCommands(u"M0 0 A 10 10 0 2 1 5 5"); }), QStringLiteral("Drapeau d’arc SVG invalide."));
    EXPECT_EQ(errorOf([] { svgPathCommands(u"M0 0 L 5 # 5"); }), QStringLiteral("Syntaxe de tracé SVG invalide."));
    // The syntax of the whole text is checked before any command.
    EXPECT_EQ(errorOf([] { svgPathCommands(u"L0 0 é"); }), QStringLiteral("Syntaxe de tracé SVG invalide."));
}

TEST(SvgPathData, CommandLimitEndsTheImport)
{
    EXPECT_EQ(errorOf([] { svgPathCommands(u"M0 0 1 1 2 2 3 3", 3); }),
              QStringLiteral("SVG trop volumineux ou trop imbriqué."));
    EXPECT_EQ(svgPathCommands(u"M0 0 1 1 2 2", 3).size(), 3);
}

TEST(SvgShapes, Outlines)
{
    const QList<PlmPathCommand> rect = shapeCommands(QStringLiteral("rect"),
                                                     {{"x", "10"}, {"y", "20"}, {"width", "30"}, {"height", "5"}});
    EXPECT_EQ(kinds(rect), (QList<K>{K::move, K::line, K::line, K::line, K::close}));
    EXPECT_EQ(rect[2], PlmPathCommand::line({40, 25}));

    // rx 30 on 40 × 20: rx 20, ry 10.
    const QList<PlmPathCommand> rounded = shapeCommands(QStringLiteral("rect"),
                                                        {{"width", "40"}, {"height", "20"}, {"rx", "30"}});
    ASSERT_EQ(rounded.size(), 10);
    EXPECT_EQ(rounded[0], PlmPathCommand::move({20, 0}));
    EXPECT_EQ(rounded[2].asArc()->axisX, (PlmPoint{20, 0}));
    EXPECT_EQ(rounded[2].asArc()->axisY, (PlmPoint{0, 10}));
    // rx alone: ry takes the same value.
    const QList<PlmPathCommand> same = shapeCommands(QStringLiteral("rect"), {{"width", "40"}, {"height", "40"}, {"rx", "5"}});
    EXPECT_EQ(same[2].asArc()->axisY, (PlmPoint{0, 5}));

    const QList<PlmPathCommand> circle = shapeCommands(QStringLiteral("circle"), {{"cx", "5"}, {"cy", "6"}, {"r", "2"}});
    EXPECT_EQ(kinds(circle), (QList<K>{K::move, K::arc, K::close}));
    EXPECT_EQ(circle[0], PlmPathCommand::move({7, 6}));
    EXPECT_DOUBLE_EQ(circle[1].asArc()->sweep, 2 * pi);
    EXPECT_EQ(shapeCommands(QStringLiteral("ellipse"), {{"rx", "0"}}).size(), 3); // zero radius keeps its outline

    const QList<PlmPathCommand> line = shapeCommands(QStringLiteral("line"), {{"x2", "3"}, {"y2", "4"}});
    EXPECT_EQ(line, (QList<PlmPathCommand>{PlmPathCommand::move({0, 0}), PlmPathCommand::line({3, 4})}));
    EXPECT_EQ(kinds(shapeCommands(QStringLiteral("polygon"), {{"points", "0,0 10,0 10,10"}})),
              (QList<K>{K::move, K::line, K::line, K::close}));
    EXPECT_EQ(kinds(shapeCommands(QStringLiteral("polyline"), {{"points", "0,0 10,0"}})), (QList<K>{K::move, K::line}));
}

TEST(SvgShapes, RefusedShapes)
{
    EXPECT_EQ(errorOf([] { shapeCommands(QStringLiteral("polygon"), {{"points", "0,0 10,0 10"}}); }),
              QStringLiteral("Sommets SVG invalides."));
    EXPECT_EQ(errorOf([] { shapeCommands(QStringLiteral("polyline"), {{"points", "1 2"}}); }),
              QStringLiteral("Sommets SVG invalides."));
    EXPECT_EQ(errorOf([] { shapeCommands(QStringLiteral("rect"), {{"width", "-1"}}); }),
              QStringLiteral("Rectangle SVG invalide."));
    EXPECT_EQ(errorOf([] { shapeCommands(QStringLiteral("circle"), {{"r", "-1"}}); }),
              QStringLiteral("Ellipse SVG invalide."));
    EXPECT_EQ(errorOf([] { shapeCommands(QStringLiteral("circle"), {{"r", "50%"}}); }),
              QStringLiteral("Unité SVG non représentable : 50%"));
}

TEST(SvgTransformedCommands, ArcAxesIgnoreTheTranslation)
{
    const QList<PlmPathCommand> commands = {PlmPathCommand::move({1, 1}),
                                            PlmPathCommand::arc({2, 2}, {1, 0}, {0, 1}, 0.5, 1), PlmPathCommand::close()};
    const QList<PlmPathCommand> moved = transformedCommands(commands, PlmTransform{2, 0, 0, -1, 10, 0});
    EXPECT_EQ(moved[0], PlmPathCommand::move({12, -1}));
    EXPECT_EQ(moved[1], PlmPathCommand::arc({14, -2}, {2, 0}, {0, -1}, 0.5, 1));
    EXPECT_TRUE(moved[2].isClose());
    EXPECT_EQ(scaledDash({1, 2.5}, 2), (QList<double>{2, 5}));
}
