#include "basemaps/PlmSvgStyles.h"
#include "basemaps/SVGTree.h"
#include "support/TableReaderTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace PlmSvgStyles;

namespace {

// A document's root with the rules of its style sheets.
struct StyledDocument {
    std::unique_ptr<SVGNode> root;
    SVGStyleSheet sheet;
    SVGUnconverted unconverted;
};

StyledDocument styled(const char* xml)
{
    SVGTree::Parsed parsed = SVGTree::parse(QByteArray(xml));
    EXPECT_EQ(parsed.status, SVGTree::Status::ok);
    StyledDocument document{std::move(parsed.root), {}, {}};
    collectSVGStyleRules(*document.root, document.sheet, document.unconverted);
    return document;
}

const SVGNode& firstChild(const SVGNode& node, const char* tag)
{
    for (const auto& child : node.children)
        if (child->tag == QLatin1String(tag))
            return *child;
    ADD_FAILURE() << "no " << tag;
    return node;
}

void expectColor(const std::optional<PlmColor>& color, double r, double g, double b, double a)
{
    ASSERT_TRUE(color.has_value());
    EXPECT_NEAR(color->red, r, 1e-9);
    EXPECT_NEAR(color->green, g, 1e-9);
    EXPECT_NEAR(color->blue, b, 1e-9);
    EXPECT_NEAR(color->alpha, a, 1e-9);
}

} // namespace

TEST(SvgLength, Units)
{
    EXPECT_DOUBLE_EQ(svgLength(u"0.5in", 12), 48);
    EXPECT_DOUBLE_EQ(svgLength(u"3pt", 12), 4);
    EXPECT_DOUBLE_EQ(svgLength(u"1pc", 12), 16);
    EXPECT_NEAR(svgLength(u"10mm", 12), 37.795, 1e-3);
    EXPECT_NEAR(svgLength(u"1cm", 12), 37.795, 1e-3);
    EXPECT_DOUBLE_EQ(svgLength(u"1E2", 12), 100);
    EXPECT_DOUBLE_EQ(svgLength(u" 2em\n", 12), 24);
    EXPECT_DOUBLE_EQ(svgLength(u"1ex", 12), 6);
    EXPECT_DOUBLE_EQ(svgLength(u"-4px", 12), -4);
    EXPECT_DOUBLE_EQ(svgLength(u"1e-400", 12), 0);
    EXPECT_DOUBLE_EQ(svgLength(u"2PX", 12), 2);
}

TEST(SvgLength, RefusedLengths)
{
    EXPECT_EQ(errorOf([] { svgLength(u"50%", 12); }), QStringLiteral("Unité SVG non représentable : 50%"));
    EXPECT_EQ(errorOf([] { svgLength(u"2foo", 12); }), QStringLiteral("Unité SVG non représentable : 2foo"));
    EXPECT_EQ(errorOf([] { svgLength(u"abc", 12); }), QStringLiteral("Longueur SVG invalide : abc"));
    EXPECT_EQ(errorOf([] { svgLength(u" 10 20 ", 12); }), QStringLiteral("Longueur SVG invalide : 10 20"));
    EXPECT_EQ(errorOf([] { svgLength(u"", 12); }), QStringLiteral("Longueur SVG invalide : "));
    EXPECT_EQ(errorOf([] { svgLength(u"1e999", 12); }), QStringLiteral("Longueur SVG invalide : 1e999"));
    EXPECT_EQ(errorOf([] { svgLength(u"1e308in", 12); }), QStringLiteral("Longueur SVG invalide : 1e308in"));
    EXPECT_EQ(svgLengthAttribute(QStringLiteral("x"), {}, 7), 7);
    EXPECT_EQ(errorOf([] { svgLengthAttribute(QStringLiteral("x"), {{"x", "10 20"}}, 0); }),
              QStringLiteral("Longueur SVG invalide : 10 20"));
}

TEST(SvgColor, NamesHexAndFunctions)
{
    expectColor(svgColor(u"RED"), 1, 0, 0, 1);
    expectColor(svgColor(u" red "), 1, 0, 0, 1);
    expectColor(svgColor(u"#F00"), 1, 0, 0, 1);
    expectColor(svgColor(u"#f00c"), 1, 0, 0, 0xcc / 255.0);
    expectColor(svgColor(u"#00800080"), 0, 128 / 255.0, 0, 128 / 255.0);
    expectColor(svgColor(u"green"), 0, 128 / 255.0, 0, 1);
    expectColor(svgColor(u"transparent"), 0, 0, 0, 0);
    expectColor(svgColor(u"rgb(100%, 0%, 0%)"), 1, 0, 0, 1);
    expectColor(svgColor(u"rgba(255, 0, 0, 0.5)"), 1, 0, 0, 0.5);
    expectColor(svgColor(u"rgba(255, 0, 0, 50%)"), 1, 0, 0, 0.5);
    // Out-of-range components are clamped, as CSS does, so the map stays valid.
    expectColor(svgColor(u"rgb(300, -20, 0)"), 1, 0, 0, 1);
    expectColor(svgColor(u"rgba(0, 0, 0, 2)"), 0, 0, 0, 1);
    EXPECT_FALSE(svgColor(u"none"));
    EXPECT_FALSE(svgColor(u"rgb(255 0)"));
    EXPECT_FALSE(svgColor(u"#12345"));
    EXPECT_FALSE(svgColor(u"#ggg"));
    EXPECT_FALSE(svgColor(u"#+12345"));
    EXPECT_FALSE(svgColor(u"url(#g1)"));
    EXPECT_FALSE(svgColor(u"currentColor"));
    EXPECT_FALSE(svgColor(u"hsl(0, 100%, 50%)"));
    EXPECT_FALSE(svgColor(u"navy"));
}

TEST(SvgDeclarations, ParsingRules)
{
    const QMap<QString, QString> d = parseSVGDeclarations(u"fill:red; ;stroke : blue;fill:\tgreen;junk;font-family:a:b");
    EXPECT_EQ(d.value("fill"), QStringLiteral("green"));
    EXPECT_EQ(d.value("stroke"), QStringLiteral("blue"));
    EXPECT_EQ(d.value("font-family"), QStringLiteral("a:b"));
    EXPECT_FALSE(d.contains("junk"));
    // A declaration on its own line is read; "!important" is no part of the value.
    const QMap<QString, QString> lines = parseSVGDeclarations(u"\n  fill: red;\n  stroke: blue !important;\n");
    EXPECT_EQ(lines.value("fill"), QStringLiteral("red"));
    EXPECT_EQ(lines.value("stroke"), QStringLiteral("blue"));
    EXPECT_FALSE(parseSVGDeclarations(u"FILL:red").contains("fill"));
}

TEST(SvgStyleSheet, SimpleSelectorsAndComplexOnesCounted)
{
    const StyledDocument d = styled("<svg><style>.a, g > path { fill: red } rect{stroke:blue} #x{fill:green} "
                                    "*{stroke-width:3} rect.a{fill:yellow} a:hover{fill:red} [x]{fill:red}"
                                    "/* a comment */ .b { fill: purple }</style><rect class=\"b a\" id=\"x\"/></svg>");
    EXPECT_EQ(d.unconverted.value(QStringLiteral("sélecteur CSS complexe")), 3);
    QStringList selectors;
    for (const SVGStyleRule& rule : d.sheet.rules())
        selectors << rule.selector;
    EXPECT_EQ(selectors, (QStringList{".a", "rect", "#x", "*", "rect.a", ".b"}));

    // Document order decides, not specificity; "rect.a" matches nothing.
    const SVGComputedStyle style = computedStyle(firstChild(*d.root, "rect"), {}, d.sheet);
    EXPECT_EQ(style.value("fill"), QStringLiteral("purple"));
    EXPECT_EQ(style.value("stroke"), QStringLiteral("blue"));
    EXPECT_EQ(style.value("stroke-width"), QStringLiteral("3"));
}

TEST(SvgStyleSheet, StyleAttributeOverRuleOverPresentationAttribute)
{
    const StyledDocument d = styled("<svg><style>.c{fill:green;stroke:green}</style>"
                                    "<rect class=\"c\" fill=\"blue\" stroke=\"blue\" stroke-width=\"2\" style=\"fill:red\"/>"
                                    "<circle id=\"\" fill=\"blue\"/></svg>");
    const SVGComputedStyle inherited = {{"font-size", "20"}, {"fill", "black"}};
    const SVGComputedStyle style = computedStyle(firstChild(*d.root, "rect"), inherited, d.sheet);
    EXPECT_EQ(style.value("fill"), QStringLiteral("red"));
    EXPECT_EQ(style.value("stroke"), QStringLiteral("green"));
    EXPECT_EQ(style.value("stroke-width"), QStringLiteral("2"));
    EXPECT_EQ(style.value("font-size"), QStringLiteral("20"));
    EXPECT_EQ(computedStyle(firstChild(*d.root, "circle"), inherited, d.sheet).value("fill"), QStringLiteral("blue"));
}

// « revert-layer » rolls back to the document's layers below its own: the `style` attribute to
// the style sheet's rules, a rule to the presentation attribute, the attribute (the lowest) to
// what « revert » gives, the parent's fill.
TEST(SvgStyleSheet, RevertLayerRollsBackToTheLayerBelow)
{
    const struct {
        const char* name;
        const char* svg;
        const char* fill;
    } rows[] = {
        {"a presentation attribute", "<svg><rect fill=\"revert-layer\"/></svg>", "black"},
        {"a rule", "<svg><style>rect{fill:revert-layer}</style><rect fill=\"green\"/></svg>", "green"},
        {"the style attribute over a rule",
         "<svg><style>rect{fill:red}</style><rect fill=\"green\" style=\"fill:revert-layer\"/></svg>", "red"},
        {"the style attribute with no rule", "<svg><rect fill=\"green\" style=\"fill:revert-layer\"/></svg>", "green"},
        {"every layer", "<svg><style>rect{fill:revert-layer}</style><rect fill=\"revert-layer\" style=\"fill:revert-layer\"/></svg>",
         "black"},
    };
    for (const auto& row : rows) {
        const StyledDocument d = styled(row.svg);
        EXPECT_EQ(computedStyle(firstChild(*d.root, "rect"), {{"fill", "black"}}, d.sheet).value("fill"), QString(row.fill))
            << row.name;
    }
}

TEST(SvgStyle, FillsAndStrokes)
{
    SVGUnconverted unconverted;
    const PlmStyle plain = svgStyle({}, PlmTransform(), 1, unconverted);
    ASSERT_TRUE(plain.fill);
    EXPECT_EQ(*plain.fill, (PlmColor{0, 0, 0, 1}));
    EXPECT_EQ(plain.stroke, (PlmColor{0, 0, 0, 0}));
    EXPECT_EQ(plain.lineWidth, 0);
    EXPECT_EQ(plain.pointRadius, 4);
    EXPECT_EQ(plain.lineCap, 0);
    EXPECT_EQ(plain.lineJoin, 0);
    EXPECT_FALSE(plain.dash);

    EXPECT_FALSE(svgStyle({{"fill", "none"}}, PlmTransform(), 1, unconverted).fill);
    EXPECT_EQ(svgStyle({{"fill", "transparent"}}, PlmTransform(), 1, unconverted).fill->alpha, 0);
    EXPECT_TRUE(unconverted.isEmpty());

    const PlmStyle unread = svgStyle({{"fill", "rgb(255 0)"}, {"stroke", "url(#g)"}}, PlmTransform(), 1, unconverted);
    EXPECT_FALSE(unread.fill);
    EXPECT_EQ(unread.stroke, (PlmColor{0, 0, 0, 0}));
    EXPECT_EQ(unconverted.value(QStringLiteral("remplissage rgb(255 0)")), 1);
    EXPECT_EQ(unconverted.value(QStringLiteral("contour url(#g)")), 1);

    const PlmStyle faded = svgStyle({{"fill", "red"}, {"fill-opacity", "0.5"}, {"stroke", "blue"},
                                     {"stroke-opacity", "abc"}, {"stroke-linecap", "round"}, {"stroke-linejoin", "bevel"}},
                                    PlmTransform(), 0.5, unconverted);
    EXPECT_DOUBLE_EQ(faded.fill->alpha, 0.25);
    EXPECT_DOUBLE_EQ(faded.stroke.alpha, 0.5);
    EXPECT_EQ(faded.lineWidth, 1);
    EXPECT_EQ(faded.lineCap, 1);
    EXPECT_EQ(faded.lineJoin, 2);
    EXPECT_FALSE(svgStyle({{"stroke-linecap", "inherit"}}, PlmTransform(), 1, unconverted).lineCap);
    // Opacities above 1 would make colours invalid; they are kept within 0 and 1.
    EXPECT_EQ(svgStyle({{"fill-opacity", "3"}}, PlmTransform(), 1, unconverted).fill->alpha, 1);
}

TEST(SvgStyle, WidthsAndDashesUnderTransforms)
{
    SVGUnconverted unconverted;
    const SVGComputedStyle stroked = {{"stroke", "black"}, {"stroke-width", "2"}, {"stroke-dasharray", "1px, 3"}};
    const PlmStyle uniform = svgStyle(stroked, PlmTransform::scale(2, 2), 1, unconverted);
    EXPECT_DOUBLE_EQ(uniform.lineWidth, 4);
    EXPECT_EQ(uniform.dash, (QList<double>{2, 6}));
    EXPECT_TRUE(unconverted.isEmpty());
    const PlmStyle stretched = svgStyle(stroked, PlmTransform::scale(2, 1), 1, unconverted);
    EXPECT_NEAR(stretched.lineWidth, 2.83, 0.01);
    EXPECT_EQ(unconverted.value(QStringLiteral("épaisseur de contour sous transformation non uniforme")), 1);

    // An odd list is repeated; zeros only, or a negative length, draw a solid line.
    EXPECT_EQ(svgStyle({{"stroke-dasharray", "1 2 3"}}, PlmTransform(), 1, unconverted).dash,
              (QList<double>{1, 2, 3, 1, 2, 3}));
    EXPECT_FALSE(svgStyle({{"stroke-dasharray", "0 0"}}, PlmTransform(), 1, unconverted).dash);
    EXPECT_FALSE(svgStyle({{"stroke-dasharray", "4 -1"}}, PlmTransform(), 1, unconverted).dash);
    EXPECT_FALSE(svgStyle({{"stroke-dasharray", "none"}}, PlmTransform(), 1, unconverted).dash);
    // A width that cannot be read or held acts as none, the initial one under the transform; an
    // unstroked element has none.
    const struct {
        const char* name;
        SVGComputedStyle style;
        PlmTransform transform;
        double lineWidth;
        std::optional<QList<double>> dash = std::nullopt;
    } widths[] = {
        {"negative", {{"stroke", "red"}, {"stroke-width", "-3"}}, PlmTransform(), 1},
        {"unreadable", {{"stroke", "red"}, {"stroke-width", "abc"}}, PlmTransform::scale(2, 2), 2},
        {"unknown unit", {{"stroke", "red"}, {"stroke-width", "1rem"}}, PlmTransform::scale(2, 2), 2},
        {"unit in capitals", {{"stroke", "red"}, {"stroke-width", "2PX"}}, PlmTransform(), 2},
        {"overflowing unit", {{"stroke", "red"}, {"stroke-width", "1e308in"}}, PlmTransform(), 1},
        {"overflowing product", {{"stroke", "red"}, {"stroke-width", "1e300"}}, PlmTransform::scale(1e10, 1e10), 1e10},
        {"unstroked, overflowing scale", {}, PlmTransform::scale(1e200, 1e200), 0},
        {"scale past 1e154", {{"stroke", "red"}, {"stroke-width", "1e-154"}, {"stroke-dasharray", "1e-154 2e-154"}},
         PlmTransform::scale(1e155, 1e155), 10, QList<double>{10, 20}},
        {"scale under 1e-154", {{"stroke", "red"}, {"stroke-width", "1e171"}}, PlmTransform::scale(1e-170, 1e-170), 10},
        {"infinite scale", {{"stroke", "red"}, {"stroke-width", "2"}}, PlmTransform::scale(INFINITY, INFINITY), 1},
    };
    for (const auto& row : widths) {
        const PlmStyle style = svgStyle(row.style, row.transform, 1, unconverted);
        EXPECT_EQ(style.lineWidth, row.lineWidth) << row.name;
        EXPECT_EQ(style.dash, row.dash) << row.name;
    }
    EXPECT_EQ(errorOf([&] { svgStyle({{"stroke", "red"}, {"stroke-width", "10%"}}, PlmTransform(), 1, unconverted); }),
              QStringLiteral("Unité SVG non représentable : 10%"));
}
