#include "canvas/VectorCanvas.h"
#include "export/SVGCarteExport.h"
#include "model/PlmErrors.h"
#include "model/PlmPointSymbol.h"
#include "model/PlmSource.h"
#include "support/CanvasTestMaps.h"
#include "support/SvgTestSupport.h"

#include <gtest/gtest.h>

using namespace CanvasTestMaps;
using namespace SvgTestSupport;

namespace {

// A map view at scale 1 without offset: view points are map points.
struct EntityScene {
    VectorCanvas vector;
    SVGCarteExport writer{emptyComposition(), plainPage()};

    explicit EntityScene(const PlmEntityList& entities)
        : vector(mapOf(entities), false, QString())
    {
        vector.setFrame(QRectF(0, 0, 400, 300));
        vector.setScale(1);
        vector.setOffset(QPointF(0, 0));
    }

    QString write(double strokeScale = 1)
    {
        const PlmMap& map = vector.map();
        for (qsizetype i = 0; i < map.entities.size(); ++i)
            writer.appendEntity(map.entities.at(i), map.entities.at(i).id, std::to_string(i), vector, strokeScale);
        return bodyOf(writer);
    }
};

TEST(SVGCarteExportEntitiesTest, HiddenMembersOfAGroupAreLeftOutAndOthersKeepTheirIndexPath)
{
    PlmEntity group = groupEntity(QStringLiteral("g"), {hidden(squareEntity(QStringLiteral("a"), 0, 0, 1, 1)),
                                                         squareEntity(QStringLiteral("b"), 2, 2, 3, 3)});
    EntityScene scene({squareEntity(QStringLiteral("x"), 0, 0, 1, 1), hidden(squareEntity(QStringLiteral("y"), 0, 0, 1, 1)),
                       group, hidden(groupEntity(QStringLiteral("h"), {squareEntity(QStringLiteral("c"), 0, 0, 1, 1)}))});
    const QString body = scene.write();
    EXPECT_EQ(capturesOf(body, QStringLiteral("data-entity-id=\"([^\"]+)\"")),
              (QStringList{QStringLiteral("x"), QStringLiteral("g"), QStringLiteral("b")}));
    EXPECT_EQ(capturesOf(body, QStringLiteral(" id=\"(entity-[^\"]+)\"")),
              (QStringList{QStringLiteral("entity-0"), QStringLiteral("entity-2-1")}));
}

TEST(SVGCarteExportEntitiesTest, AnAreaWritesItsGroupPathFillAndStroke)
{
    PlmEntity area = squareEntity(QStringLiteral("a"), 0, 0, 10, 20, PlmColor{1, 0, 0, 0.5}, 2);
    area.name = QStringLiteral("Nord & \"Sud\" <x>");
    area.style.lineCap = 1;
    area.style.lineJoin = 2;
    EntityScene scene({area});
    EXPECT_EQ(scene.write(),
              QStringLiteral("<g data-entity-id=\"a\" data-name=\"Nord &amp; &quot;Sud&quot; &lt;x&gt;\">\n\n"
                             "<path id=\"entity-0\" d=\"M 0 0 L 10 0 L 10 20 L 0 20 Z\" fill=\"rgb(255,0,0)\" "
                             "fill-opacity=\"0.5\" fill-rule=\"evenodd\" stroke=\"rgb(0,0,0)\" stroke-opacity=\"1\" "
                             "stroke-width=\"2\" stroke-linecap=\"round\" stroke-linejoin=\"bevel\"/>\n\n</g>"));
}

TEST(SVGCarteExportEntitiesTest, DashesAndWidthsFollowTheStrokeScale)
{
    PlmEntity line = lineEntity(QStringLiteral("l"), {{0, 0}, {10, 0}}, 4);
    line.style.dash = QList<double>{4, 2};
    PlmEntity thin = lineEntity(QStringLiteral("t"), {{0, 0}, {10, 0}}, 0);
    thin.style.dash = QList<double>{4, 2};
    EntityScene scene({line, thin});
    const QString body = scene.write(0.5);
    EXPECT_EQ(capturesOf(body, QStringLiteral("stroke-width=\"([^\"]+)\"")), QStringList{QStringLiteral("2")});
    EXPECT_EQ(capturesOf(body, QStringLiteral("stroke-dasharray=\"([^\"]+)\"")), QStringList{QStringLiteral("2 1")});
    EXPECT_EQ(capturesOf(body, QStringLiteral("fill=\"([^\"]+)\"")), (QStringList{QStringLiteral("none"), QStringLiteral("none")}));
}

TEST(SVGCarteExportEntitiesTest, ThematicColoursFillAreasOfTheTopLevelEntityAndNeverLines)
{
    PlmEntity group = groupEntity(QStringLiteral("g"), {squareEntity(QStringLiteral("m"), 0, 0, 1, 1),
                                                         lineEntity(QStringLiteral("n"), {{0, 0}, {1, 1}})});
    EntityScene scene({squareEntity(QStringLiteral("a"), 0, 0, 1, 1), group, squareEntity(QStringLiteral("b"), 0, 0, 1, 1)});
    scene.vector.fillOverrides.insert(QStringLiteral("a"), PlmColor{0, 0.5, 1, 0.25});
    scene.vector.fillOverrides.insert(QStringLiteral("g"), PlmColor{0, 1, 0, 1});
    scene.vector.fillOverrides.insert(QStringLiteral("m"), PlmColor{0, 0, 0, 1});  // a member's own id is no key
    const QString body = scene.write();
    EXPECT_EQ(capturesOf(body, QStringLiteral("fill=\"([^\"]+)\" fill-opacity=\"[^\"]+\"")),
              (QStringList{QStringLiteral("rgb(0,127.5,255)"), QStringLiteral("rgb(0,255,0)"), QStringLiteral("none"),
                           QStringLiteral("rgb(255,0,0)")}));
    EXPECT_TRUE(body.contains(QStringLiteral("fill=\"rgb(0,127.5,255)\" fill-opacity=\"0.25\"")));
}

TEST(SVGCarteExportEntitiesTest, APointWithoutSymbolIsItsOval)
{
    EntityScene scene({pointEntity(QStringLiteral("p"), 10, 20, 3)});
    const QString body = scene.write();
    const QStringList data = capturesOf(body, QStringLiteral(" d=\"([^\"]+)\""));
    ASSERT_EQ(data.size(), 1);
    EXPECT_TRUE(data.first().startsWith(QStringLiteral("M 13 20 C ")));
    EXPECT_TRUE(data.first().endsWith(QStringLiteral("Z")));
    EXPECT_TRUE(body.contains(QStringLiteral("fill=\"rgb(0,0,255)\"")));
}

TEST(SVGCarteExportEntitiesTest, ClipPathsOpenNestedGroupsAroundTheEntity)
{
    PlmEntity clipped = squareEntity(QStringLiteral("c"), 0, 0, 10, 10);
    PlmVectorPath first;
    first.commands = {PlmPathCommand::move({0, 0}), PlmPathCommand::line({5, 0}), PlmPathCommand::line({5, 5}),
                      PlmPathCommand::close()};
    PlmVectorPath second = first;
    second.evenOdd = true;
    clipped.clipPaths = QList<PlmVectorPath>{first, second};
    EntityScene scene({clipped});
    EXPECT_EQ(scene.write(),
              QStringLiteral("<g data-entity-id=\"c\" data-name=\"c\">\n"
                             "<g clip-path=\"url(#clip-1)\"><g clip-path=\"url(#clip-2)\">\n"
                             "<path id=\"entity-0\" d=\"M 0 0 L 10 0 L 10 10 L 0 10 Z\" fill=\"rgb(255,0,0)\" "
                             "fill-opacity=\"1\" fill-rule=\"evenodd\"/>\n</g></g>\n</g>"));
    EXPECT_EQ(definitionsOf(scene.writer),
              QStringLiteral("<clipPath id=\"clip-1\" clipPathUnits=\"userSpaceOnUse\"><path d=\"M 0 0 L 5 0 L 5 5 Z\" "
                             "clip-rule=\"nonzero\"/></clipPath>"
                             "<clipPath id=\"clip-2\" clipPathUnits=\"userSpaceOnUse\"><path d=\"M 0 0 L 5 0 L 5 5 Z\" "
                             "clip-rule=\"evenodd\"/></clipPath>"));
}

TEST(SVGCarteExportEntitiesTest, TextEntitiesAreOutlinesWithOneNote)
{
    PlmText text;
    text.text = QStringLiteral("Paris");
    text.fontSize = 12;
    PlmEntity a(QStringLiteral("t1"), QStringLiteral("t1"), PlmGeometry::text(text), style({0, 0, 0, 1}, PlmColor{0, 0, 0, 1}, 0));
    PlmEntity b = a;
    b.id = QStringLiteral("t2");
    EntityScene scene({a, b});
    const QString body = scene.write();
    EXPECT_EQ(capturesOf(body, QStringLiteral(" id=\"(entity-[^\"]+)\" d=\"M ")).size(), 2);
    EXPECT_EQ(scene.writer.notes,
              (std::set<QString>{QStringLiteral("Textes historiques du fond : contours vectoriels pour conserver "
                                                "leurs transformations exactes.")}));
}

TEST(SVGCarteExportEntitiesTest, APointSymbolInAGroupTakesTheGroupsThematicColour)
{
    PlmEntity star = pointEntity(QStringLiteral("m"), 10, 20, 5);
    star.pointSymbol = PlmPointSymbol(std::nullopt, mapOf({squareEntity(QStringLiteral("p"), 0, 0, 4, 4, PlmColor{1, 0, 0, 1})}));
    ASSERT_TRUE(star.pointSymbol->isMonochrome());
    EntityScene scene({groupEntity(QStringLiteral("g"), {star})});
    scene.vector.fillOverrides.insert(QStringLiteral("g"), PlmColor{0, 1, 0, 1});
    scene.vector.fillOverrides.insert(QStringLiteral("m"), PlmColor{0, 0, 0, 1});  // a member's own id is no key
    EXPECT_EQ(capturesOf(scene.write(), QStringLiteral("fill=\"([^\"]+)\"")), QStringList{QStringLiteral("rgb(0,255,0)")});
}

TEST(SVGCarteExportEntitiesTest, AnSvgPointSymbolWithItsOwnColoursIsWrappedInTheColoursOpacity)
{
    PlmEntity star = pointEntity(QStringLiteral("s"), 10, 20, 5);
    PlmMap symbolMap = mapOf({squareEntity(QStringLiteral("p1"), 0, 0, 4, 4, PlmColor{1, 0, 0, 1}),
                              squareEntity(QStringLiteral("p2"), 4, 4, 8, 8, PlmColor{0, 1, 0, 1})});
    star.pointSymbol = PlmPointSymbol(std::nullopt, symbolMap);
    star.style.stroke.alpha = 0.5;
    EntityScene scene({star});
    const QString body = scene.write();
    EXPECT_TRUE(body.startsWith(QStringLiteral("<g data-entity-id=\"s\" data-name=\"s\">\n\n<g opacity=\"0.5\">\n"
                                               "<g id=\"entity-0\">")))
        << qPrintable(body);
    EXPECT_TRUE(body.endsWith(QStringLiteral("</g>\n</g>\n\n</g>")));
    // The symbol's larger side is the point's diameter, centred on the point.
    EXPECT_TRUE(body.contains(QStringLiteral("<path d=\"M 5 15 L 10 15 L 10 20 L 5 20 Z\"")));
}

TEST(SVGCarteExportEntitiesTest, TheMapViewWritesItsBackgroundPictureBlockMatrixAndNameLabels)
{
    for (const char* type : {"png", "jpg"}) {
        PlmEntity named = squareEntity(QStringLiteral("a"), 0, 0, 100, 100);
        named.name = QStringLiteral("A & B");
        VectorCanvas vector(mapOf({named}), false, QString());
        vector.setFrame(QRectF(0, 0, 400, 300));
        vector.setScale(1);
        vector.setOffset(QPointF(0, 0));
        vector.blockTransform = QTransform(2, 0, 0, 2, 5, 6);
        vector.showEntityNames = true;
        PlmBackgroundImage picture;
        picture.data = QByteArray("\x01\x02\x03", 3);
        picture.type = QString::fromLatin1(type);
        picture.position = {10, 20};
        picture.width = 50;
        picture.height = 40;
        picture.opacity = 0.5;
        vector.setBackgroundImage(picture);
        const SvgComposition composition = mapComposition(vector);
        SVGCarteExport writer(composition, plainPage());
        const QString text = QString::fromUtf8(writer.makeDocument().data);
        const QString mime = QString::fromLatin1(type) == QLatin1String("png") ? QStringLiteral("image/png") : QStringLiteral("image/jpeg");
        EXPECT_TRUE(text.contains(QStringLiteral("<image data-plm-background=\"true\" transform=\"translate(10 60) scale(1 -1)\" "
                                                 "width=\"50\" height=\"40\" opacity=\"0.5\" preserveAspectRatio=\"none\" "
                                                 "href=\"data:") + mime + QStringLiteral(";base64,AQID\"/>\n"
                                                 "<g transform=\"matrix(2 0 0 2 5 6)\">")))
            << type;
        EXPECT_EQ(capturesOf(text, QStringLiteral("<path data-entity-name=\"([^\"]+)\" paint-order=\"stroke fill\" d=\"M ")),
                  QStringList{QStringLiteral("A &amp; B")});
        EXPECT_TRUE(text.contains(QStringLiteral("fill=\"rgb(0,0,0)\" fill-opacity=\"1\"")));
        EXPECT_FALSE(vector.rendersOriginalBlock);
    }
}

TEST(SVGCarteExportEntitiesTest, MapsWithSourcesScaleTheirStrokesWithTheView)
{
    PlmMap map = mapOf({lineEntity(QStringLiteral("l"), {{0, 0}, {10, 0}}, 2)});
    map.sources = QList<PlmSource>{};
    VectorCanvas vector(map, false, QString());
    vector.setFrame(QRectF(0, 0, 400, 300));
    vector.setScale(4);
    const SvgComposition composition = mapComposition(vector);
    SVGCarteExport writer(composition, plainPage());
    EXPECT_EQ(capturesOf(QString::fromUtf8(writer.makeDocument().data), QStringLiteral("stroke-width=\"([^\"]+)\"")),
              QStringList{QStringLiteral("8")});
}

} // namespace

TEST(SVGCarteExportEntitiesTest, AManyEntityMapIsWrittenInEntityOrderAsOneAtATime)
{
    // Enough entities for several batches, with groups (one holding a text), texts, clips and
    // hidden ones among them.
    PlmVectorPath clip;
    clip.commands = {PlmPathCommand::move({0, 0}), PlmPathCommand::line({5, 0}), PlmPathCommand::line({5, 5}),
                     PlmPathCommand::close()};
    PlmText label;
    label.text = QStringLiteral("Lyon");
    label.fontSize = 9;
    PlmEntityList entities;
    for (int i = 0; i < 700; ++i) {
        const QString id = QStringLiteral("e%1").arg(i);
        PlmEntity entity = squareEntity(id, i % 40, i / 40, i % 40 + 0.7, i / 40 + 0.3);
        if (i % 97 == 5)
            entity = groupEntity(id, {squareEntity(id + QStringLiteral("a"), 0, 0, 1, 1), squareEntity(id + QStringLiteral("b"), 2, 2, 3, 3)});
        else if (i % 151 == 13)
            entity = groupEntity(id, {hidden(squareEntity(id + QStringLiteral("a"), 0, 0, 1, 1)),
                                      PlmEntity(id + QStringLiteral("t"), id, PlmGeometry::text(label), style({0, 0, 0, 1}, PlmColor{0, 0, 0, 1}, 0))});
        else if (i % 131 == 7)
            entity = PlmEntity(id, id, PlmGeometry::text(label), style({0, 0, 0, 1}, PlmColor{0, 0, 0, 1}, 0));
        else if (i % 113 == 9)
            entity.clipPaths = QList<PlmVectorPath>{clip};
        else if (i % 89 == 11)
            entity = hidden(entity);
        entities.append(entity);
    }
    EntityScene scene(entities);
    scene.writer.serial = 1;  // the map view's own clip comes first in the document
    const QString oneAtATime = scene.write();

    VectorCanvas vector(mapOf(entities), false, QString());
    vector.setFrame(QRectF(0, 0, 400, 300));
    vector.setScale(1);
    vector.setOffset(QPointF(0, 0));
    const SvgComposition composition = mapComposition(vector);
    SVGCarteExport writer(composition, plainPage());
    const QString document = QString::fromUtf8(writer.makeDocument().data);
    const QString opening = QStringLiteral("<g transform=\"matrix(1 0 0 1 0 0)\">\n");
    const qsizetype start = document.indexOf(opening) + opening.size();
    EXPECT_EQ(document.mid(start, oneAtATime.size()), oneAtATime);
    EXPECT_EQ(writer.notes, scene.writer.notes);

    // A coordinate that is not finite fails the export wherever its entity falls.
    PlmEntityList broken = entities;
    broken.replace(600, squareEntity(QStringLiteral("nan"), 0, 0, std::nan(""), 1));
    VectorCanvas brokenVector(mapOf(broken), false, QString());
    brokenVector.setFrame(QRectF(0, 0, 400, 300));
    brokenVector.setScale(1);
    brokenVector.setOffset(QPointF(0, 0));
    SVGCarteExport brokenWriter(mapComposition(brokenVector), plainPage());
    try {
        brokenWriter.makeDocument();
        ADD_FAILURE() << "no error";
    } catch (const PlmError& error) {
        EXPECT_EQ(error.message(), QStringLiteral("Tracé non fini dans le cadrage exporté."));
    }
}
