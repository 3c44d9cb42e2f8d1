#include "canvas/VectorCanvas.h"
#include "support/CanvasEvents.h"
#include "support/CanvasTestMaps.h"

#include <gtest/gtest.h>

#include <numbers>

using namespace CanvasTestMaps;
using namespace CanvasEvents;
using Tool = VectorCanvas::DrawingTool;

namespace {

struct Created {
    PlmGeometry geometry;
    QString name;
};

struct Drawing {
    Hosted h;
    QList<Created> created;
};

std::unique_ptr<Drawing> drawing(Tool tool, const PlmMap& map = mapOf({}))
{
    auto d = std::make_unique<Drawing>();
    d->h = hosted(map);
    d->h.canvas->creationEnabled = true;
    d->h.canvas->onCreate = [raw = d.get()](const PlmGeometry& g, const QString& n) { raw->created.append({g, n}); };
    d->h.canvas->setDrawingTool(tool);
    return d;
}

} // namespace

TEST(CanvasShapeTools, RectangleLineAndEllipseFromADrag)
{
    auto d = drawing(Tool::rectangle);
    dragFromTo(*d->h.host, {20, 30}, {120, 80});
    ASSERT_EQ(d->created.size(), 1);
    EXPECT_EQ(d->created[0].name, QString("Rectangle"));
    EXPECT_EQ(d->created[0].geometry.asPolygon()->exterior, (QList<PlmPoint>{{20, 30}, {120, 30}, {120, 80}, {20, 80}}));
    EXPECT_TRUE(d->created[0].geometry.asPolygon()->holes.isEmpty());
    EXPECT_TRUE(d->h.canvas->drawingPoints.isEmpty());
    EXPECT_EQ(d->h.canvas->drawingTool(), Tool::rectangle);  // the owner sets the tool back

    d->h.canvas->setDrawingTool(Tool::line);
    dragFromTo(*d->h.host, {10, 10}, {60, 90});
    ASSERT_EQ(d->created.size(), 2);
    EXPECT_EQ(d->created[1].name, QString("Ligne"));
    EXPECT_EQ(*d->created[1].geometry.asPolyline(), (QList<PlmPoint>{{10, 10}, {60, 90}}));

    // Right to left: the path starts at the right-hand edge all the same.
    d->h.canvas->setDrawingTool(Tool::ellipse);
    dragFromTo(*d->h.host, {150, 40}, {50, 100});
    ASSERT_EQ(d->created.size(), 3);
    EXPECT_EQ(d->created[2].name, QString("Ellipse"));
    const PlmVectorPath& path = *d->created[2].geometry.asPath();
    ASSERT_EQ(path.commands.size(), 3);
    EXPECT_EQ(path.commands[0].asMove()->point, (PlmPoint{150, 70}));
    const PlmPathArc& arc = *path.commands[1].asArc();
    EXPECT_EQ(arc.center, (PlmPoint{100, 70}));
    EXPECT_EQ(arc.axisX, (PlmPoint{50, 0}));
    EXPECT_EQ(arc.axisY, (PlmPoint{0, 30}));
    EXPECT_EQ(arc.sweep, 2 * std::numbers::pi);
    EXPECT_TRUE(path.commands[2].isClose());
    EXPECT_FALSE(path.evenOdd);
}

TEST(CanvasShapeTools, FlatOrMotionlessShapesCreateNothing)
{
    auto d = drawing(Tool::rectangle);
    dragFromTo(*d->h.host, {20, 30}, {120, 30});  // height 0
    d->h.canvas->setDrawingTool(Tool::ellipse);
    dragFromTo(*d->h.host, {20, 30}, {20, 90});
    d->h.canvas->setDrawingTool(Tool::line);
    click(*d->h.host, {40, 40});  // no drag: no end
    EXPECT_TRUE(d->created.isEmpty());
    EXPECT_TRUE(d->h.canvas->drawingPoints.isEmpty());
}

TEST(CanvasShapeTools, PolygonNeedsThreeDistinctClicks)
{
    auto d = drawing(Tool::polygon);
    click(*d->h.host, {10, 10});
    doubleClick(*d->h.host, {90, 10});
    EXPECT_TRUE(d->created.isEmpty());  // two points make no polygon
    EXPECT_TRUE(d->h.canvas->drawingPoints.isEmpty());

    click(*d->h.host, {10, 10});
    click(*d->h.host, {90, 10});
    doubleClick(*d->h.host, {50, 70});  // the second press of the double-click adds nothing
    ASSERT_EQ(d->created.size(), 1);
    EXPECT_EQ(d->created[0].name, QString("Polygone"));
    EXPECT_EQ(d->created[0].geometry.asPolygon()->exterior, (QList<PlmPoint>{{10, 10}, {90, 10}, {50, 70}}));
}

TEST(CanvasShapeTools, PolylineOfCoincidentPointsCreatesNothing)
{
    auto d = drawing(Tool::polyline);
    d->h.canvas->drawingPoints = {{5, 5}, {5, 5}, {5.0005, 5}};
    d->h.canvas->finishDrawing();
    EXPECT_TRUE(d->created.isEmpty());
    EXPECT_TRUE(d->h.canvas->drawingPoints.isEmpty());
}

TEST(CanvasTextTool, TheTypedWordNamesAHelveticaText)
{
    auto d = drawing(Tool::text, mapOf({}, {{"coordinates.yAxis", "down"}}));
    QList<VectorCanvas::TextPrompt> prompts;
    std::optional<QString> answer = QStringLiteral("Brest");
    d->h.canvas->promptForText = [&](const VectorCanvas::TextPrompt& p) {
        prompts.append(p);
        return answer;
    };
    d->h.canvas->setOffset({0, 200});  // y down: map y 50 at view y 150
    click(*d->h.host, {30, 150});
    ASSERT_EQ(prompts.size(), 1);
    EXPECT_EQ(prompts[0].message, QString("Texte de l’entité"));
    EXPECT_EQ(prompts[0].text, QString());
    EXPECT_EQ(prompts[0].buttons, (QStringList{"Ajouter", "Annuler"}));
    ASSERT_EQ(d->created.size(), 1);
    EXPECT_EQ(d->created[0].name, QString("Brest"));
    const PlmText& text = *d->created[0].geometry.asText();
    EXPECT_EQ(text.text, QString("Brest"));
    EXPECT_EQ(text.fontName, QString("Helvetica"));
    EXPECT_EQ(text.fontSize, 18);
    EXPECT_EQ(text.anchor, QString("start"));
    EXPECT_EQ(text.transform, (PlmTransform{1, 0, 0, -1, 30, 50}));

    answer = QString();  // confirmed empty
    click(*d->h.host, {30, 150});
    answer.reset();  // cancelled
    click(*d->h.host, {30, 150});
    EXPECT_EQ(d->created.size(), 1);
}

TEST(CanvasPointTool, NamedAfterThePendingSymbol)
{
    auto d = drawing(Tool::point);
    click(*d->h.host, {40, 60});
    d->h.canvas->pendingPointSymbol = PlmPointSymbol(QStringLiteral("star.fill"), std::nullopt);
    click(*d->h.host, {50, 60});
    ASSERT_EQ(d->created.size(), 2);
    EXPECT_EQ(d->created[0].name, QString("Point"));
    EXPECT_EQ(*d->created[0].geometry.asPoint(), (PlmPoint{40, 60}));
    EXPECT_EQ(d->created[1].name, QString("star.fill"));
    EXPECT_FALSE(d->h.canvas->tracksFit);
}

TEST(CanvasDrawingState, ChangingTheToolClearsTheDrawing)
{
    auto d = drawing(Tool::polygon);
    int changes = 0;
    d->h.canvas->onDrawingToolChange = [&] { ++changes; };
    click(*d->h.host, {10, 10});
    d->h.canvas->drawingEnd = PlmPoint{1, 1};
    d->h.canvas->setDrawingTool(Tool::polyline);
    EXPECT_EQ(changes, 1);
    EXPECT_TRUE(d->h.canvas->drawingPoints.isEmpty());
    EXPECT_FALSE(d->h.canvas->drawingEnd.has_value());
    EXPECT_EQ(VectorCanvas::drawingName(Tool::vertices), QString("Forme"));
}

TEST(CanvasOverlay, GridLinesStayAbout8PointsApart)
{
    EXPECT_EQ(VectorCanvas::gridSpacing(20, 0.1), 80);     // a step of 2 points: every 4 steps
    EXPECT_EQ(VectorCanvas::gridSpacing(20, 0.025), 320);  // 0.5 points: every 16 steps
    EXPECT_EQ(VectorCanvas::gridSpacing(20, 5), 20);       // never less than a step
}

TEST(CanvasOverlay, ExportRenderingDrawsNoGridHandleOrPreview)
{
    const PlmMap map = mapOf({squareEntity("s", 40, 40, 60, 60)});
    auto plain = drawing(Tool::selection, map);
    plain.get()->h.canvas->creationEnabled = false;
    const QImage reference = plain->h.canvas->renderToImage();

    auto d = drawing(Tool::polygon, map);
    d->h.canvas->accentColor = Qt::green;
    d->h.canvas->showsGrid = true;
    d->h.canvas->gridStep = 10;
    d->h.canvas->drawingPoints = {{100, 100}, {150, 100}, {150, 150}};
    const QImage onScreen = d->h.canvas->renderToImage();
    EXPECT_NE(onScreen, reference);
    EXPECT_TRUE(isNear(pixelAt(onScreen, 100, 100), Qt::green, 40));  // a collected point's dot
    d->h.canvas->rendersForExport = true;
    EXPECT_EQ(d->h.canvas->renderToImage(), reference);
}

TEST(CanvasOverlay, SelectionFrameUnitesTheSelectedEntities)
{
    auto d = drawing(Tool::selection, mapOf({squareEntity("s", 40, 40, 60, 60), lineEntity("l", {{100, 150}, {160, 150}}),
                                             pointEntity("p", 10, 180, 4)}));
    EXPECT_TRUE(d->h.canvas->creationSelectionBounds().isNull());
    d->h.canvas->creationSelection = {"s", "l"};
    EXPECT_EQ(d->h.canvas->creationSelectionBounds(), QRectF(QPointF(40, 40), QPointF(160, 150)));
    d->h.canvas->creationSelection = {"l"};
    EXPECT_EQ(d->h.canvas->creationSelectionBounds(), QRectF(100, 150, 60, 0));  // a flat frame is kept
    d->h.canvas->creationSelection = {"p"};
    EXPECT_EQ(d->h.canvas->creationSelectionBounds(), QRectF(6, 176, 8, 8));
}

TEST(CanvasOverlay, SelectionFrameCoversEveryEntityOfASharedId)
{
    // Ids should be unique, but a frame that skipped a copy would hide it from the resize handles.
    auto d = drawing(Tool::selection, mapOf({squareEntity("x", 10, 10, 20, 20), squareEntity("y", 50, 50, 60, 60),
                                             squareEntity("x", 100, 100, 110, 110)}));
    d->h.canvas->creationSelection = {"x"};
    EXPECT_EQ(d->h.canvas->creationSelectionBounds(), QRectF(QPointF(10, 10), QPointF(110, 110)));
    EXPECT_EQ(d->h.canvas->topLevelIndices({"x"}), (QList<int>{0, 2}));
    // Looked up by id on a map of unique ids, in map order all the same.
    PlmEntityList many;
    for (int i = 0; i < 20; ++i)
        many.append(squareEntity(QString::number(i), i * 5, 0, i * 5 + 4, 4));
    d->h.canvas->setMap(mapOf(many));
    EXPECT_EQ(d->h.canvas->topLevelIndices({"17", "3", "z"}), (QList<int>{3, 17}));
    d->h.canvas->creationSelection = {"17", "3"};
    EXPECT_EQ(d->h.canvas->creationSelectionBounds(), QRectF(QPointF(15, 0), QPointF(89, 4)));
    many.replace(3, squareEntity("renamed", 15, 0, 19, 4));
    d->h.canvas->setMap(mapOf(many));
    EXPECT_EQ(d->h.canvas->topLevelIndices({"17", "3"}), QList<int>{17});
}
