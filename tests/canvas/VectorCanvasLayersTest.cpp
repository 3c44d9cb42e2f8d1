#include "canvas/VectorCanvas.h"
#include "desktop/ViewHost.h"
#include "support/CanvasTestMaps.h"
#include "support/EventWait.h"

#include <QCoreApplication>
#include <QImage>
#include <QPixmap>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>

using namespace CanvasTestMaps;

namespace {

constexpr int kWidth = 420;
constexpr int kHeight = 300;

// Communes that share their edges: a grid whose inner vertices are moved a
// little, so that the edges run at every angle; one in five has a hole, some
// are islands of two parts, one is a group, one a river.
PlmMap communes()
{
    const int columns = 14;
    const int rows = 10;
    auto vertex = [](int i, int j) {
        const double jitter = (i > 0 && i < 14 && j > 0 && j < 10) ? 1 : 0;
        return PlmPoint{i * 10.0 + jitter * 3.1 * std::sin(i * 1.7 + j * 2.3),
                        j * 10.0 + jitter * 2.9 * std::cos(i * 2.9 + j * 1.1)};
    };
    PlmEntityList entities;
    for (int j = 0; j < rows; ++j) {
        for (int i = 0; i < columns; ++i) {
            const int n = j * columns + i;
            const QString id = QStringLiteral("C%1").arg(n);
            PlmPolygon polygon;
            polygon.exterior = {vertex(i, j), vertex(i + 1, j), vertex(i + 1, j + 1), vertex(i, j + 1)};
            if (n % 5 == 2) {
                const PlmPoint c{(vertex(i, j).x + vertex(i + 1, j + 1).x) / 2, (vertex(i, j).y + vertex(i + 1, j + 1).y) / 2};
                polygon.holes.append(rect(c.x - 1.5, c.y - 1.5, c.x + 1.5, c.y + 1.5));
            }
            const PlmColor fill{(n % 7) / 7.0, (n % 3) / 3.0, 1 - (n % 11) / 11.0, 1};
            entities.append(PlmEntity(id, id, PlmGeometry::polygon(polygon), style({0.2, 0.2, 0.2, 1}, fill, 0.5)));
        }
    }
    const PlmColor sea{0.3, 0.5, 0.8, 1};
    entities.append(PlmEntity(QStringLiteral("islands"), QStringLiteral("islands"),
                              PlmGeometry::multipolygon({PlmPolygon{rect(143, 10, 149, 17), {}},
                                                         PlmPolygon{rect(144, 40, 150.5, 52.5), {}}}),
                              style({0.2, 0.2, 0.2, 1}, sea, 1)));
    entities.append(groupEntity(QStringLiteral("group"),
                                {squareEntity(QStringLiteral("g1"), 142, 70, 148, 76, PlmColor{0.9, 0.8, 0.1, 1}, 0.5),
                                 squareEntity(QStringLiteral("g2"), 142, 80, 148, 88, PlmColor{0.1, 0.8, 0.3, 1}, 0.5)}));
    entities.append(lineEntity(QStringLiteral("river"), {{3, 3}, {40, 31}, {77, 22}, {120, 61}}, 1.5));
    return mapOf(entities);
}

struct Screen {
    ViewHost host;
    VectorCanvas* canvas = nullptr;

    explicit Screen(const PlmMap& map)
    {
        host.resize(kWidth, kHeight);
        canvas = new VectorCanvas(map, false, QString());
        canvas->backgroundColor = Qt::white;
        canvas->accentColor = QColor(0, 200, 0);
        host.setRootNode(canvas);
        canvas->fit(true);
    }
    QImage picture(bool layers)
    {
        canvas->usesScreenLayers = layers;
        const QImage image = host.grab().toImage().convertToFormat(QImage::Format_ARGB32);
        canvas->usesScreenLayers = true;
        return image;
    }
};

// Edge pixels may mix their neighbours a little differently; nothing else may differ.
void expectSamePicture(Screen& screen, const char* row)
{
    const QImage layered = screen.picture(true);
    const QImage direct = screen.picture(false);
    EXPECT_LT(shareOfDifferentPixels(layered, direct), 0.005) << row;
}

} // namespace

TEST(CanvasLayers, ScreenPictureMatchesTheDirectDrawing)
{
    struct Row {
        const char* name;
        std::function<void(VectorCanvas&)> setUp;
    };
    const Row rows[] = {
        {"fitted", [](VectorCanvas&) {}},
        {"zoomed, wide outlines", [](VectorCanvas& c) { c.zoom(4, QPointF(150, 120)); }},
        {"selected commune", [](VectorCanvas& c) { c.selectedIndex = 30; }},
        {"selected group", [](VectorCanvas& c) { c.selectedIndex = 141; }},
        {"hidden commune and group member",
         [](VectorCanvas& c) {
             PlmMap map = c.map();
             map.entities.edit(33).isHidden = true;
             PlmEntity& group = map.entities.edit(141);
             PlmEntityList members = *group.geometry.asGroup();
             members.edit(0).isHidden = true;
             group.geometry = PlmGeometry::group(members);
             c.setMap(map);
         }},
        {"class colours",
         [](VectorCanvas& c) {
             for (int n = 0; n < 140; n += 3)
                 c.fillOverrides.insert(QStringLiteral("C%1").arg(n), PlmColor{0.95, 0.4, 0.1, 1});
             c.fillOverrides.insert(QStringLiteral("group"), PlmColor{0.5, 0.1, 0.6, 1});
         }},
    };
    for (const Row& row : rows) {
        Screen screen(communes());
        row.setUp(*screen.canvas);
        expectSamePicture(screen, row.name);
        EXPECT_GT(screen.canvas->layerRenderCount(), 0) << row.name;
    }
}

TEST(CanvasLayers, RecolouringDrawsNoGeometryAgain)
{
    Screen screen(communes());
    for (int n = 0; n < 140; ++n)
        screen.canvas->fillOverrides.insert(QStringLiteral("C%1").arg(n), PlmColor{0.9, 0.9, 0.2, 1});
    screen.picture(true);
    const int rendered = screen.canvas->layerRenderCount();
    // The classes change in place, as the Carte pane recolours them.
    int n = 0;
    for (auto it = screen.canvas->fillOverrides.begin(); it != screen.canvas->fillOverrides.end(); ++it, ++n)
        *it = n % 2 ? PlmColor{0.1, 0.3, 0.7, 1} : PlmColor{0.8, 0.1, 0.1, 1};
    expectSamePicture(screen, "recoloured");
    EXPECT_EQ(screen.canvas->layerRenderCount(), rendered);
}

// The overrides given by class colour the screen exactly as the same overrides by id.
TEST(CanvasLayers, ClassOverridesDrawAsTheOverridesByID)
{
    Screen screen(communes());
    VectorCanvas& canvas = *screen.canvas;
    QStringList keys;
    QList<int> classes;
    for (int n = 0; n < 140; n += 2) {
        keys.append(QStringLiteral("C%1").arg(n));
        classes.append(n % 5 - 1);  // -1: the missing colour
    }
    keys.append(QStringLiteral("group"));
    classes.append(7);                   // out of range: the missing colour
    keys.append(QStringLiteral("C4"));  // a later duplicate wins
    classes.append(2);
    auto drawBoth = [&](const VectorCanvasFillClasses& given, const char* row) {
        canvas.fillOverrides.clear();
        for (qsizetype k = 0; k < given.keys.size(); ++k) {
            const int c = given.classes[k];
            canvas.fillOverrides.insert(given.keys[k], c >= 0 && c < given.colours.size() ? given.colours[c] : given.missing);
        }
        canvas.fillClasses = given;
        const QImage byClass = screen.picture(true);
        canvas.fillClasses = {};
        EXPECT_EQ(byClass, screen.picture(true)) << row;
    };
    VectorCanvasFillClasses given{keys, classes, {{0.9, 0.1, 0.1, 1}, {0.1, 0.9, 0.1, 1}, {0.1, 0.1, 0.9, 1}, {0.5, 0.5, 0, 1}},
                                  {0.7, 0.7, 0.7, 1}};
    drawBoth(given, "classes");
    std::reverse(given.colours.begin(), given.colours.end());
    drawBoth(given, "recoloured");
    given.classes[0] = 3;
    drawBoth(given, "reclassed");
    given.keys = QStringList(keys.mid(3));
    given.classes = classes.mid(3);
    drawBoth(given, "other keys");
}

TEST(CanvasLayers, ChangesOfGeometryAndFillsDrawTheLayersAgain)
{
    Screen screen(communes());
    screen.picture(true);
    PlmMap moved = screen.canvas->map();
    moved.entities.edit(20).translate(2, 1);
    screen.canvas->setMap(moved);
    expectSamePicture(screen, "moved commune");

    // An area without a fill of its own takes a class colour: it now hides what lies under it.
    PlmMap unfilled = screen.canvas->map();
    unfilled.entities.edit(7).style.fill.reset();
    screen.canvas->setMap(unfilled);
    screen.canvas->fillOverrides.insert(QStringLiteral("C7"), PlmColor{0, 0, 0, 1});
    expectSamePicture(screen, "overridden fill");
}

TEST(CanvasLayers, OnlyChangesTheAreasShowDrawTheLayersAgain)
{
    struct Row {
        const char* name;
        std::function<void(PlmEntity&)> change;
        bool drawsAgain;
    };
    const Row rows[] = {
        {"moved", [](PlmEntity& e) { e.translate(2, 1); }, true},
        {"outline colour", [](PlmEntity& e) { e.style.stroke = PlmColor{0.8, 0.1, 0.1, 1}; }, true},
        {"renamed", [](PlmEntity& e) { e.name = QStringLiteral("Nouveau nom"); }, false},
        {"attribute", [](PlmEntity& e) { e.attributes.insert(QStringLiteral("code"), QStringLiteral("42")); }, false},
        // Its class colour goes by id: the commune shows its own fill again.
        {"new id", [](PlmEntity& e) { e.id = QStringLiteral("C20bis"); }, false},
    };
    for (const Row& row : rows) {
        Screen screen(communes());
        screen.canvas->showEntityNames = true;
        screen.canvas->fillOverrides.insert(QStringLiteral("C20"), PlmColor{0.95, 0.4, 0.1, 1});
        const QImage before = screen.picture(true);
        const int rendered = screen.canvas->layerRenderCount();
        PlmMap map = screen.canvas->map();
        row.change(map.entities.edit(20));
        screen.canvas->setMap(map);
        const QImage after = screen.picture(true);
        EXPECT_EQ(screen.canvas->layerRenderCount(), rendered + (row.drawsAgain ? 1 : 0)) << row.name;
        expectSamePicture(screen, row.name);
        if (row.name != std::string_view("attribute"))
            EXPECT_NE(after, before) << row.name;  // the new name shows, as do a move and colours
    }
}

TEST(CanvasLayers, ZoomShowsTheMovedPictureUntilTheViewRests)
{
    Screen screen(communes());
    screen.picture(true);
    const int rendered = screen.canvas->layerRenderCount();
    screen.canvas->zoom(1.25, QPointF(100, 100));
    screen.picture(true);
    EXPECT_EQ(screen.canvas->layerRenderCount(), rendered);
    EXPECT_TRUE(screen.canvas->hasPendingRefinement());
    ASSERT_TRUE(waitUntil([&] { return !screen.canvas->hasPendingRefinement(); }));
    expectSamePicture(screen, "after the zoom");
    EXPECT_EQ(screen.canvas->layerRenderCount(), rendered + 1);
}

TEST(CanvasLayers, PicturesAndExportsDrawVectors)
{
    Screen screen(communes());
    const QImage image = screen.canvas->renderToImage();
    EXPECT_FALSE(image.isNull());
    EXPECT_EQ(screen.canvas->layerRenderCount(), 0);
}
