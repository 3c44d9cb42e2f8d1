#include "basemaps/PlmSvgReader.h"
#include "basemaps/PlmVectorImporter.h"
#include "basemaps/SVGTree.h"
#include "model/PlmMapCodec.h"
#include "support/PlmMapTestSupport.h"
#include "support/TableReaderTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

PlmSvgReading readSvg(const QByteArray& body)
{
    return PlmSvgReader::read(body, QStringLiteral("Carte"));
}

// The document wrapped in a root element, read and validated as the importer would.
PlmSvgReading readInside(const QByteArray& content)
{
    PlmSvgReading reading = readSvg("<svg xmlns=\"http://www.w3.org/2000/svg\">" + content + "</svg>");
    PlmMapCodec::validate(reading.map);
    return reading;
}

QString svgError(const QByteArray& content)
{
    return errorOf([&] { readSvg("<svg>" + content + "</svg>"); });
}

const PlmPathMove* firstMove(const PlmEntity& entity)
{
    const PlmVectorPath* path = entity.geometry.asPath();
    return path && !path->commands.isEmpty() ? path->commands.first().asMove() : nullptr;
}

QStringList ids(const PlmEntityList& entities)
{
    QStringList list;
    for (const PlmEntity& e : entities)
        list << e.id;
    return list;
}

} // namespace

TEST(SvgReaderRecognition, RootAndMalformedDocuments)
{
    EXPECT_TRUE(PlmSvgReader::isSVG("<svg:svg xmlns:svg=\"http://www.w3.org/2000/svg\"/>"));
    EXPECT_TRUE(PlmSvgReader::isSVG("<?xml version=\"1.0\"?>\n<!DOCTYPE svg PUBLIC \"-//W3C//DTD SVG 1.1//EN\" "
                                    "\"http://www.w3.org/Graphics/SVG/1.1/DTD/svg11.dtd\">\n<svg/>"));
    EXPECT_FALSE(PlmSvgReader::isSVG("<html/>"));
    EXPECT_FALSE(PlmSvgReader::isSVG("<svg>"));
    EXPECT_FALSE(PlmSvgReader::isSVG("{\"type\": \"Feature\"}"));
    EXPECT_FALSE(PlmSvgReader::isSVG(""));
    EXPECT_EQ(errorOf([] { readSvg("<svg><g></svg>"); }), QStringLiteral("SVG invalide."));
    EXPECT_EQ(errorOf([] { readSvg("<html/>"); }), QStringLiteral("SVG invalide."));
    EXPECT_EQ(errorOf([] { readSvg(""); }), QStringLiteral("SVG invalide."));

    const PlmSvgReading prefixed = readSvg("<svg:svg xmlns:svg=\"http://www.w3.org/2000/svg\"><svg:rect width=\"1\" height=\"1\"/></svg:svg>");
    EXPECT_EQ(prefixed.map.entities.size(), 1);
}

TEST(SvgReaderRecognition, EntitiesAreNeverExpandedBeyondPlainText)
{
    // Drawing programs declare namespace names as entities: those are read.
    const QByteArray plain = "<!DOCTYPE svg [<!ENTITY ns \"http://www.w3.org/2000/svg\"><!ENTITY n \"Nom\">]>"
                             "<svg xmlns=\"&ns;\"><rect width=\"1\" height=\"1\" data-name=\"&n;\"/></svg>";
    EXPECT_EQ(readSvg(plain).map.entities.first().name, QStringLiteral("Nom"));
    // The entity bomb stops at its declaration.
    const QByteArray bomb = "<!DOCTYPE svg [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">"
                            "<!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\">]><svg><title>&c;</title></svg>";
    EXPECT_FALSE(PlmSvgReader::isSVG(bomb));
    EXPECT_EQ(errorOf([&] { readSvg(bomb); }), QStringLiteral("SVG invalide."));
    // One plain entity repeated past the expansion guard.
    QByteArray wide = "<!DOCTYPE svg [<!ENTITY a \"" + QByteArray(60000, 'x') + "\">]><svg><title>";
    for (int i = 0; i < 2000; ++i)
        wide += "&a;";
    wide += "</title></svg>";
    EXPECT_EQ(errorOf([&] { readSvg(wide); }), QStringLiteral("SVG trop volumineux ou trop imbriqué."));
    // An external entity is never fetched: its reference reads as nothing.
    const QByteArray external = "<!DOCTYPE svg [<!ENTITY x SYSTEM \"file:///etc/passwd\">]><svg><title>A&x;B</title></svg>";
    EXPECT_EQ(readSvg(external).map.metadata.value("svg.title"), QStringLiteral("AB"));
}

TEST(SvgReaderRecognition, DepthAndSizeBounds)
{
    QByteArray deep = "<svg>";
    for (int i = 0; i < 300; ++i)
        deep += "<g>";
    for (int i = 0; i < 300; ++i)
        deep += "</g>";
    deep += "</svg>";
    EXPECT_TRUE(PlmSvgReader::isSVG(deep));
    EXPECT_EQ(errorOf([&] { readSvg(deep); }), QStringLiteral("SVG trop volumineux ou trop imbriqué."));

    // Nested named groups within the parser's bound but beyond the map's.
    QByteArray groups = "<svg>";
    for (int i = 0; i < 70; ++i)
        groups += "<g id=\"g" + QByteArray::number(i) + "\">";
    groups += "<rect width=\"1\" height=\"1\"/>";
    for (int i = 0; i < 70; ++i)
        groups += "</g>";
    groups += "</svg>";
    const PlmSvgReading reading = readSvg(groups);
    EXPECT_EQ(errorOf([&] { PlmMapCodec::validate(reading.map); }), QStringLiteral("Groupes trop profondément imbriqués."));
}

TEST(SvgReaderMetadata, ViewBoxTitlesAndEmptyDocument)
{
    const PlmSvgReading empty = readSvg("<svg/>");
    EXPECT_TRUE(empty.map.entities.isEmpty());
    EXPECT_EQ(empty.map.metadata, (QMap<QString, QString>{{"source.format", "SVG"}}));
    EXPECT_TRUE(empty.unconverted.isEmpty());
    EXPECT_EQ(empty.map.name, QStringLiteral("Carte"));

    const PlmSvgReading r = readSvg("<svg viewBox=\"0 0 100 50\"><title>Un <b>titre</b></title><desc>d1</desc><desc> d2 </desc>"
                                    "<metadata><x>m</x></metadata><rect x=\"10\" y=\"20\" width=\"5\" height=\"5\"/></svg>");
    EXPECT_EQ(r.map.metadata.value("svg.viewBox"), QStringLiteral("0 0 100 50"));
    EXPECT_EQ(r.map.metadata.value("svg.title"), QStringLiteral("Un titre"));
    EXPECT_EQ(r.map.metadata.value("svg.desc"), QStringLiteral(" d2 "));
    EXPECT_EQ(r.map.metadata.value("svg.metadata"), QStringLiteral("m"));
    ASSERT_EQ(r.map.entities.size(), 1);
    const PlmPathMove* move = firstMove(r.map.entities.first());
    ASSERT_NE(move, nullptr);
    EXPECT_EQ(move->point, (PlmPoint{10, -20})); // the viewBox moves nothing; y is negated
}

TEST(SvgReaderEntities, PathsShapesAttributesAndNames)
{
    const PlmSvgReading r = readInside(
        "<path id=\"p\" d=\"M0 0 L10 0 L10 10 Z\" fill-rule=\"evenodd\" class=\"k\" transform=\"translate(5 5)\"/>"
        "<polyline points=\"0,0 1,1\" data-name=\"Ligne\"/>"
        "<circle r=\"2\"><title>Cercle</title></circle>"
        "<path d=\"\"/>");
    ASSERT_EQ(r.map.entities.size(), 3);
    const PlmEntity& path = r.map.entities.at(0);
    EXPECT_EQ(path.id, QStringLiteral("p"));
    EXPECT_EQ(path.name, QStringLiteral("p"));
    EXPECT_TRUE(path.geometry.asPath()->evenOdd);
    EXPECT_EQ(firstMove(path)->point, (PlmPoint{5, -5}));
    EXPECT_EQ(path.attributes.value("d"), QStringLiteral("M0 0 L10 0 L10 10 Z"));
    EXPECT_EQ(path.attributes.value("class"), QStringLiteral("k"));
    EXPECT_EQ(path.attributes.value("svg.style.fill-rule"), QStringLiteral("evenodd"));
    EXPECT_FALSE(path.attributes.contains("layer"));

    const PlmEntity& line = r.map.entities.at(1);
    EXPECT_EQ(line.id, QStringLiteral("import:2"));
    EXPECT_EQ(line.name, QStringLiteral("Ligne"));
    EXPECT_FALSE(line.geometry.asPath()->hasClose());
    EXPECT_FALSE(line.geometry.asPath()->evenOdd);
    EXPECT_EQ(r.map.entities.at(2).name, QStringLiteral("Cercle"));
    EXPECT_TRUE(r.unconverted.isEmpty());
}

TEST(SvgReaderEntities, CountedElements)
{
    const PlmSvgReading r = readInside(
        "<image href=\"x.png\"/><sodipodi:namedview xmlns:sodipodi=\"s\"/>"
        "<rect width=\"1\" height=\"1\" display=\"none\"/><rect width=\"1\" height=\"1\" style=\"visibility:hidden\"/>"
        "<rect width=\"1\" height=\"1\" filter=\"url(#f)\"/><rect width=\"1\" height=\"1\" clip-path=\"none\"/>"
        "<g style=\"mask:url(#m)\"><rect width=\"1\" height=\"1\"/></g>"
        "<svg><rect width=\"1\" height=\"1\"/></svg><defs><rect id=\"d\" width=\"1\" height=\"1\"/></defs>"
        "<symbol><rect width=\"1\" height=\"1\"/></symbol><clipPath><rect width=\"1\" height=\"1\"/></clipPath>");
    EXPECT_EQ(r.map.entities.size(), 1); // the rect whose clip-path is "none"
    EXPECT_EQ(r.unconverted, (QMap<QString, int>{{"élément SVG image", 1},
                                                  {"élément SVG namedview", 1},
                                                  {"élément masqué", 2},
                                                  {"élément avec filter conservé en source", 1},
                                                  {"élément avec mask conservé en source", 1},
                                                  {"viewport SVG imbriqué", 1}}));
}

TEST(SvgReaderEntities, FaultsEndTheImportWithTheirMessage)
{
    EXPECT_EQ(svgError("<path d=\"L 1 1\"/>"), QStringLiteral("Le tracé SVG doit commencer par M."));
    EXPECT_EQ(svgError("<rect width=\"50%\"/>"), QStringLiteral("Unité SVG non représentable : 50%"));
    EXPECT_EQ(svgError("<rect x=\"10 20\"/>"), QStringLiteral("Longueur SVG invalide : 10 20"));
    EXPECT_EQ(svgError("<g transform=\"spin(3)\"><rect/></g>"), QStringLiteral("Transformation SVG invalide : spin."));
    EXPECT_EQ(svgError("<polygon points=\"0,0 10,0 10\"/>"), QStringLiteral("Sommets SVG invalides."));
    EXPECT_EQ(svgError("<text x=\"1 2\">a</text>"), QStringLiteral("Longueur SVG invalide : 1 2"));
    EXPECT_EQ(svgError("<rect style=\"stroke:red;stroke-width:2%\"/>"), QStringLiteral("Unité SVG non représentable : 2%"));
}

TEST(SvgReaderGroups, NamedLayerAndDissolvedGroups)
{
    const PlmSvgReading r = readInside(
        "<g id=\"G\" fill=\"red\"><rect width=\"1\" height=\"1\"/><rect width=\"2\" height=\"2\"/></g>"
        "<g><rect id=\"loose\" width=\"1\" height=\"1\"/></g>"
        "<g inkscape:label=\"Calque\" inkscape:groupmode=\"layer\" xmlns:inkscape=\"i\">"
        "  <g><rect width=\"1\" height=\"1\"/></g><rect id=\"inLayer\" width=\"1\" height=\"1\"/></g>"
        "<g data-code=\"75\" data-name=\"Paris\"><rect width=\"1\" height=\"1\"/></g>"
        "<g id=\"hidden\"><rect display=\"none\"/><rect visibility=\"hidden\"/></g>"
        "<rect width=\"1\" height=\"1\"/>");
    EXPECT_EQ(ids(r.map.entities), (QStringList{"G", "loose", "import:6", "inLayer", "75", "import:10"}));
    const PlmEntity& group = r.map.entities.at(0);
    ASSERT_TRUE(group.geometry.isGroup());
    EXPECT_EQ(group.geometry.asGroup()->size(), 2);
    EXPECT_EQ(group.geometry.asGroup()->at(0).style.fill, (PlmColor{1, 0, 0, 1}));
    EXPECT_EQ(group.geometry.asGroup()->at(0).attributes.value("layer"), QStringLiteral("G"));

    // A group without a name of its own inside a layer stays a group, named by the builder.
    const PlmEntity& unnamed = r.map.entities.at(2);
    ASSERT_TRUE(unnamed.geometry.isGroup());
    EXPECT_EQ(unnamed.name, QStringLiteral("import:6"));
    EXPECT_EQ(unnamed.attributes.value("layer"), QStringLiteral("Calque"));
    EXPECT_EQ(r.map.entities.at(3).attributes.value("layer"), QStringLiteral("Calque"));

    EXPECT_EQ(r.map.entities.at(4).name, QStringLiteral("Paris"));
    EXPECT_EQ(r.unconverted, (QMap<QString, int>{{"élément masqué", 2}}));
}

TEST(SvgReaderGroups, GeneratedIdsNeverMeetOneAnother)
{
    // Members taken into a group must not free their generated ids for the next entity.
    const PlmSvgReading r = readInside("<g id=\"G\"><rect width=\"1\" height=\"1\"/><rect width=\"1\" height=\"1\"/></g>"
                                       "<rect width=\"1\" height=\"1\"/>");
    EXPECT_EQ(ids(r.map.entities), (QStringList{"G", "import:4"}));
    EXPECT_TRUE(r.unconverted.isEmpty());
    const PlmSvgReading dup = readInside("<rect id=\"A\" width=\"1\" height=\"1\"/><rect id=\"A\" width=\"1\" height=\"1\"/>");
    EXPECT_EQ(ids(dup.map.entities), (QStringList{"A", "A:2"}));
    EXPECT_EQ(dup.map.entities.at(1).attributes.value("source.id"), QStringLiteral("A"));
    EXPECT_EQ(dup.unconverted.value(QStringLiteral("identifiant dupliqué, conservé en attribut")), 1);
}

TEST(SvgReaderUse, ReferencesChainsAndCycles)
{
    const PlmSvgReading twice = readInside(
        "<defs><symbol id=\"s\"><circle r=\"1\"/></symbol></defs>"
        "<use id=\"u1\" href=\"#s\" x=\"10\"/><use id=\"u2\" xlink:href=\"#s\" y=\"5\" xmlns:xlink=\"x\"/>");
    ASSERT_EQ(twice.map.entities.size(), 2);
    EXPECT_EQ(twice.map.entities.at(0).attributes.value("source.use.id"), QStringLiteral("u1"));
    EXPECT_EQ(twice.map.entities.at(1).attributes.value("source.use.id"), QStringLiteral("u2"));
    EXPECT_EQ(firstMove(twice.map.entities.at(0))->point, (PlmPoint{11, 0}));
    EXPECT_EQ(firstMove(twice.map.entities.at(1))->point, (PlmPoint{1, -5}));

    const PlmSvgReading self = readInside("<use id=\"me\" href=\"#me\"/><use href=\"missing\"/><use/>");
    EXPECT_TRUE(self.map.entities.isEmpty());
    EXPECT_EQ(self.unconverted.value(QStringLiteral("référence SVG non résolue")), 3);

    // A two-element cycle is followed once round, then refused.
    const PlmSvgReading cycle = readInside("<g id=\"a\"><rect width=\"1\" height=\"1\"/><use href=\"#b\"/></g>"
                                           "<defs><g id=\"b\"><use href=\"#a\"/></g></defs>");
    EXPECT_GE(cycle.unconverted.value(QStringLiteral("référence SVG non résolue")), 1);

    // A chain of uses is followed 32 deep; the 33rd is refused.
    QByteArray chain = "<defs><rect id=\"r0\" width=\"1\" height=\"1\"/>";
    for (int i = 1; i <= 33; ++i)
        chain += "<use id=\"r" + QByteArray::number(i) + "\" href=\"#r" + QByteArray::number(i - 1) + "\"/>";
    chain += "</defs>";
    const PlmSvgReading deep32 = readInside(chain + "<use href=\"#r31\"/>");
    EXPECT_EQ(deep32.map.entities.size(), 1);
    EXPECT_TRUE(deep32.unconverted.isEmpty());
    const PlmSvgReading deep33 = readInside(chain + "<use href=\"#r32\"/>");
    EXPECT_TRUE(deep33.map.entities.isEmpty());
    EXPECT_EQ(deep33.unconverted.value(QStringLiteral("référence SVG non résolue")), 1);
}

TEST(SvgReaderUse, ExponentialExpansionIsRefused)
{
    // Each level draws the previous one ten times: 10^12 rectangles if nothing stopped it.
    QByteArray doc = "<svg><defs><rect id=\"l0\" width=\"1\" height=\"1\"/>";
    for (int level = 1; level <= 12; ++level) {
        doc += "<g id=\"l" + QByteArray::number(level) + "\">";
        for (int i = 0; i < 10; ++i)
            doc += "<use href=\"#l" + QByteArray::number(level - 1) + "\"/>";
        doc += "</g>";
    }
    doc += "</defs><use href=\"#l12\"/></svg>";
    EXPECT_EQ(errorOf([&] { readSvg(doc); }), QStringLiteral("SVG trop volumineux ou trop imbriqué."));
}

namespace {

// Nested groups, each drawing the previous level twice through <use>: `single` levels draw it
// once, which keeps the copied elements below their cap.
QByteArray doublingSvg(int levels, const QList<int>& single)
{
    QByteArray doc = "<svg xmlns=\"http://www.w3.org/2000/svg\"><defs><g id=\"l0\"><path d=\"M0 0h1v1z\"/></g>";
    for (int level = 1; level <= levels; ++level) {
        const QByteArray use = "<use href=\"#l" + QByteArray::number(level - 1) + "\"/>";
        doc += "<g id=\"l" + QByteArray::number(level) + "\">" + use + (single.contains(level) ? "" : use) + "</g>";
    }
    return doc + "</defs><use href=\"#l" + QByteArray::number(levels) + "\"/></svg>";
}

} // namespace

TEST(SvgReaderUse, WhatCopiesCreateIsBoundedByDepth)
{
    // 16,384 paths 17 groups deep from about a kilobyte, with fewer than 100,000 elements copied.
    const QByteArray deep = doublingSvg(16, {5, 11});
    EXPECT_LT(deep.size(), 1500);
    EXPECT_EQ(errorOf([&] { readSvg(deep); }), QStringLiteral("SVG trop volumineux ou trop imbriqué."));

    // As many copies side by side, or a shallower tree, are what maps are made of.
    QByteArray wide = "<svg><defs><path id=\"s\" d=\"M0 0h1v1z\"/></defs>";
    for (int i = 0; i < 16384; ++i)
        wide += "<use href=\"#s\" x=\"" + QByteArray::number(i) + "\"/>";
    EXPECT_EQ(readSvg(wide + "</svg>").map.entities.size(), 16384);
    const PlmSvgReading shallow = readSvg(doublingSvg(12, {}));
    ASSERT_EQ(shallow.map.entities.size(), 1);
    EXPECT_EQ(shallow.map.entities.at(0).id, QStringLiteral("l12"));
}

TEST(SvgReaderText, TextEntities)
{
    const PlmSvgReading r = readInside(
        "<text id=\"t\" x=\"10\" y=\"20\" dx=\"1\" font-family=\"'DejaVu Sans', serif\" font-size=\"2em\" "
        "font-weight=\"bold\" text-anchor=\"middle\" transform=\"scale(2)\">A<tspan>B</tspan>C</text>"
        "<text style=\"text-anchor:inherit\">x<tspan x=\"3\">y</tspan></text>"
        "<text font-size=\"0\">caché</text>");
    ASSERT_EQ(r.map.entities.size(), 2);
    const PlmEntity& t = r.map.entities.at(0);
    const PlmText* text = t.geometry.asText();
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->text, QStringLiteral("ABC"));
    EXPECT_EQ(text->fontName, QStringLiteral("DejaVu Sans"));
    EXPECT_EQ(text->fontSize, 24);
    EXPECT_EQ(text->anchor, QStringLiteral("middle"));
    // Glyphs upright: (1, 0, 0, -1, 11, 20) then scale(2) then the y negation.
    EXPECT_EQ(text->transform, (PlmTransform{2, 0, 0, 2, 22, -40}));
    EXPECT_EQ(t.attributes.value("text.font-weight"), QStringLiteral("bold"));
    EXPECT_FALSE(t.attributes.contains("text.font-style"));
    EXPECT_EQ(t.name, QStringLiteral("t"));

    const PlmEntity& second = r.map.entities.at(1);
    EXPECT_EQ(second.geometry.asText()->anchor, QStringLiteral("start"));
    EXPECT_EQ(second.geometry.asText()->fontName, QStringLiteral("Helvetica"));
    EXPECT_EQ(second.geometry.asText()->fontSize, 12);
    EXPECT_EQ(second.name, QStringLiteral("xy"));
    EXPECT_EQ(r.unconverted, (QMap<QString, int>{{"position/style de fragment de texte", 1}, {"élément masqué", 1}}));
    EXPECT_EQ(svgError("<text font-size=\"-3\">a</text>"), QStringLiteral("Longueur SVG invalide : -3"));
}

TEST(SvgReaderStyles, CascadeOpacityAndTransforms)
{
    const PlmSvgReading r = readInside(
        "<style>.a { fill: blue; stroke: red }</style>"
        "<g opacity=\"0.5\" stroke-width=\"2\" transform=\"scale(2)\">"
        "  <rect class=\"a\" fill=\"green\" style=\"fill:yellow\" opacity=\"0.5\" width=\"1\" height=\"1\"/>"
        "  <rect width=\"1\" height=\"1\" style=\"opacity:0.5\" opacity=\"1\"/></g>");
    ASSERT_EQ(r.map.entities.size(), 2);
    const PlmStyle& s = r.map.entities.at(0).style;
    EXPECT_EQ(s.fill->red, 1);
    EXPECT_EQ(s.fill->green, 1);
    EXPECT_DOUBLE_EQ(s.fill->alpha, 0.25);
    EXPECT_DOUBLE_EQ(s.stroke.alpha, 0.25);
    EXPECT_DOUBLE_EQ(s.lineWidth, 4);
    EXPECT_EQ(r.map.entities.at(0).attributes.value("svg.style.stroke-width"), QStringLiteral("2"));
    EXPECT_DOUBLE_EQ(r.map.entities.at(1).style.fill->alpha, 0.25);
}

// CSS drops a width it cannot take, so the earlier or inherited one applies; zero is a width, that
// of no outline. The CSS-wide keywords give what CSS gives: « inherit » the parent's width,
// « initial » the initial 1, « unset » and « revert » the parent's (the width is inherited),
// « revert-layer » the element's presentation attribute.
TEST(SvgReaderStyles, AWidthThroughTheCascade)
{
    const struct {
        const char* name;
        QByteArray path;
        double lineWidth;
    } rows[] = {
        {"none", "<path d=\"M0 0h1\"/>", 5},
        {"inherit", "<path d=\"M0 0h1\" stroke-width=\"inherit\"/>", 5},
        {"inherit over an attribute", "<path d=\"M0 0h1\" stroke-width=\"3\" style=\"stroke-width:inherit\"/>", 5},
        {"unreadable", "<path d=\"M0 0h1\" stroke-width=\"abc\"/>", 5},
        {"negative", "<path d=\"M0 0h1\" stroke-width=\"-1\"/>", 5},
        {"unknown unit", "<path d=\"M0 0h1\" stroke-width=\"1rem\"/>", 5},
        {"unit in capitals", "<path d=\"M0 0h1\" stroke-width=\"2PX\"/>", 2},
        {"later declaration invalid", "<path d=\"M0 0h1\" style=\"stroke-width:4;stroke-width:auto\"/>", 4},
        {"rule invalid", "<style>path{stroke-width:2foo}</style><path d=\"M0 0h1\"/>", 5},
        {"zero", "<path d=\"M0 0h1\" stroke-width=\"0\"/>", 0},
        {"initial", "<path d=\"M0 0h1\" stroke-width=\"initial\"/>", 1},
        {"unset after a width", "<path d=\"M0 0h1\" style=\"stroke-width:3;stroke-width:unset\"/>", 5},
        {"revert in a later rule", "<style>path{stroke-width:3} path{stroke-width:Revert}</style><path d=\"M0 0h1\"/>", 5},
        {"revert-layer over an attribute", "<path d=\"M0 0h1\" stroke-width=\"3\" style=\"stroke-width:revert-layer\"/>", 3},
    };
    for (const auto& row : rows) {
        const PlmSvgReading r = readInside("<g stroke=\"black\" stroke-width=\"5\">" + row.path + "</g>");
        ASSERT_EQ(r.map.entities.size(), 1) << row.name;
        EXPECT_EQ(r.map.entities.at(0).style.lineWidth, row.lineWidth) << row.name;
    }
}

// The CSS-wide keywords on the other properties, inherited or not: each element reads as the one
// with the value CSS gives written out, under a group that sets them all.
TEST(SvgReaderStyles, KeywordsReadAsTheValueCssGives)
{
    const struct {
        const char* name;
        QByteArray keyword;
        QByteArray plain;
    } rows[] = {
        {"fill initial", "fill=\"initial\"", "fill=\"black\""},
        {"stroke unset after a colour", "style=\"stroke:green;stroke:unset\"", ""},
        {"opacity inherit", "opacity=\"inherit\"", "opacity=\"0.5\""},
        {"opacity unset", "style=\"opacity:0.3;opacity:unset\"", "opacity=\"1\""},
        {"opacity revert-layer", "opacity=\"0.3\" style=\"opacity:revert-layer\"", "opacity=\"0.3\""},
        {"clip-path revert-layer", "clip-path=\"url(#c)\" style=\"clip-path:revert-layer\"", "clip-path=\"url(#c)\""},
    };
    const auto read = [](const QByteArray& attributes) {
        return readInside("<g fill=\"red\" stroke=\"blue\" stroke-width=\"5\" opacity=\"0.5\">"
                          "<path d=\"M0 0h1v1z\" " + attributes + "/></g>");
    };
    for (const auto& row : rows) {
        const PlmSvgReading keyword = read(row.keyword);
        const PlmSvgReading plain = read(row.plain);
        EXPECT_EQ(keyword.unconverted, plain.unconverted) << row.name;
        ASSERT_EQ(keyword.map.entities.size(), plain.map.entities.size()) << row.name;
        if (!plain.map.entities.isEmpty())
            EXPECT_EQ(keyword.map.entities.first().style, plain.map.entities.first().style) << row.name;
    }
}

TEST(SvgReaderImport, ResultOfTheImporter)
{
    const PlmImportResult result = PlmSvgReader::importSVG("<svg><rect width=\"1\" height=\"1\" fill=\"url(#g)\"/></svg>",
                                                           QStringLiteral("Fond"));
    EXPECT_FALSE(result.isNativeDocument);
    EXPECT_EQ(result.map.name, QStringLiteral("Fond"));
    EXPECT_EQ(result.map.metadata.value("source.format"), QStringLiteral("SVG"));
    EXPECT_EQ(result.map.entities.size(), 1);
    EXPECT_EQ(result.unconverted, (QMap<QString, int>{{"remplissage url(#g)", 1}}));
}

TEST(SvgReaderImport, ThroughTheVectorImporter)
{
    const QByteArray bytes = "<?xml version=\"1.0\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\">"
                             "<rect id=\"A\" width=\"1\" height=\"1\"/><rect id=\"A\" width=\"1\" height=\"1\"/>"
                             "<image/></svg>";
    const PlmImportResult result = PlmVectorImporter::importData(bytes, QStringLiteral("/tmp/dessin.xml"));
    EXPECT_FALSE(result.isNativeDocument);
    EXPECT_EQ(result.map.name, QStringLiteral("dessin"));
    EXPECT_EQ(result.map.metadata.value("source.format"), QStringLiteral("SVG"));
    EXPECT_EQ(result.map.metadata.value("source.filename"), QStringLiteral("dessin.xml"));
    EXPECT_EQ(result.map.metadata.value("import.unconverted"),
              QStringLiteral("identifiant dupliqué, conservé en attribut: 1; élément SVG image: 1"));
    ASSERT_TRUE(result.map.sources.has_value());
    EXPECT_EQ(result.map.sources->size(), 1);
    EXPECT_EQ(result.map.sources->first().data, bytes);
    // A broken SVG is refused by the SVG reader's words, or not recognised at all.
    EXPECT_EQ(errorOf([] { PlmVectorImporter::importData("<svg><path d=\"Z\"/></svg>", QStringLiteral("/tmp/a.svg")); }),
              QStringLiteral("Le tracé SVG doit commencer par M."));
    EXPECT_EQ(errorOf([] { PlmVectorImporter::importData("<svg><g></svg>", QStringLiteral("/tmp/b.svg")); }),
              QStringLiteral("Format vectoriel non reconnu : b.svg."));
}
