#include "support/StudioWindowTestSupport.h"

#include "fond/FondWindowController.h"
#include "data/DataWindowController.h"
#include "desktop/CommandRouter.h"

#include <QTreeView>

namespace {

PlmEntity square(const QString& id, double x)
{
    PlmPolygon polygon;
    polygon.exterior = {{x, 0}, {x + 50, 0}, {x + 50, 50}, {x, 50}};
    return PlmEntity(id, id, PlmGeometry::polygon(polygon), PlmStyle(PlmColor{0, 0, 0, 1}, PlmColor{1, 0, 0, 1}, 1, 3));
}

PlmWork twoSquares()
{
    PlmWork work;
    work.map.name = QStringLiteral("Carte");
    work.map.entities = PlmEntityList({square("A", 0), square("B", 50)});
    return work;
}

QStringList entityIDs(const PlmWork& work)
{
    QStringList ids;
    for (const PlmEntity& entity : work.map.entities)
        ids.append(entity.id);
    return ids;
}

class StudioCommandRoutingTest : public StudioWindowFixture {
protected:
    ~StudioCommandRoutingTest() override { router.setStartWidget(nullptr); }

    CommandRouter& router = CommandRouter::shared();
};

TEST_F(StudioCommandRoutingTest, EntityCommandsReachTheFondPaneFromTheOutline)
{
    open(twoSquares());
    ASSERT_TRUE(window->switchMode(StudioWindowController::Mode::fond, false));
    router.setStartWidget(window->objects);

    // Nothing selected: answered by the pane, refused for now.
    document->select({}, std::nullopt);
    EXPECT_EQ(router.target(QStringLiteral("delete:")), window);
    EXPECT_FALSE(router.validate(QStringLiteral("delete:")).enabled);
    EXPECT_FALSE(router.validate(QStringLiteral("duplicate:")).enabled);
    EXPECT_TRUE(router.validate(QStringLiteral("selectAll:")).enabled);

    document->select({QStringLiteral("A")}, QStringLiteral("A"));
    for (const char* command : {"delete:", "duplicate:"})
        EXPECT_TRUE(router.validate(QString::fromLatin1(command)).enabled) << command;
    EXPECT_FALSE(router.validate(QStringLiteral("groupEntities:")).enabled); // one entity only

    ASSERT_TRUE(router.perform(QStringLiteral("duplicate:")));
    EXPECT_EQ(work().map.entities.size(), 3);
    EXPECT_EQ(undoCount(), 1);

    // The copy is now the selection; deleting it leaves the two squares.
    ASSERT_TRUE(router.perform(QStringLiteral("delete:")));
    EXPECT_EQ(entityIDs(work()), (QStringList{"A", "B"}));
    EXPECT_EQ(undoCount(), 2);

    // After undoing from the menu (the window answers it), the pane still answers.
    ASSERT_TRUE(router.perform(QStringLiteral("undo:")));
    EXPECT_EQ(work().map.entities.size(), 3);
    document->select({QStringLiteral("B")}, QStringLiteral("B"));
    EXPECT_TRUE(router.validate(QStringLiteral("delete:")).enabled);
}

TEST_F(StudioCommandRoutingTest, TheWindowWithNoFocusWidgetReachesTheFondPane)
{
    open(twoSquares());
    ASSERT_TRUE(window->switchMode(StudioWindowController::Mode::fond, false));
    router.setStartWidget(window->window());
    document->select({QStringLiteral("A"), QStringLiteral("B")}, QStringLiteral("A"));
    EXPECT_TRUE(router.validate(QStringLiteral("groupEntities:")).enabled);
    ASSERT_TRUE(router.perform(QStringLiteral("delete:")));
    EXPECT_TRUE(work().map.entities.isEmpty());
}

TEST_F(StudioCommandRoutingTest, AFocusedPaneAnswersFirst)
{
    open(twoSquares());
    ASSERT_TRUE(window->switchMode(StudioWindowController::Mode::fond, false));
    document->select({QStringLiteral("A")}, QStringLiteral("A"));

    // The data table copies its own cells and selects its own rows.
    router.setStartWidget(window->dataContent);
    CommandResponder* data = window->data;
    EXPECT_EQ(router.target(QStringLiteral("copy:")), data);
    EXPECT_EQ(router.target(QStringLiteral("selectAll:")), data);
    // "Supprimer" from the table never deletes the entity selected on the map.
    const int entities = int(document->work().map.entities.size());
    EXPECT_FALSE(router.validate(QStringLiteral("delete:")).enabled);
    EXPECT_FALSE(router.perform(QStringLiteral("delete:")));
    EXPECT_EQ(int(document->work().map.entities.size()), entities);

    // The map view's pane answers from its own view before the window.
    router.setStartWidget(window->fondContent);
    CommandResponder* fond = window->fond;
    EXPECT_EQ(router.target(QStringLiteral("duplicate:")), fond);
    // The window's own commands stay its own.
    router.setStartWidget(window->objects);
    EXPECT_EQ(router.target(QStringLiteral("undo:")), window);
    EXPECT_EQ(router.target(QStringLiteral("toggleObjects:")), window);
}

TEST_F(StudioCommandRoutingTest, TheFondPaneDoesNotAnswerInCarteMode)
{
    open(twoSquares());
    ASSERT_TRUE(window->switchMode(StudioWindowController::Mode::carte, true));
    document->select({QStringLiteral("A")}, QStringLiteral("A"));
    router.setStartWidget(window->objects);
    router.perform(QStringLiteral("delete:"));
    EXPECT_EQ(entityIDs(work()), (QStringList{"A", "B"}));

    // Back in Fond, the same item deletes the selected entity.
    ASSERT_TRUE(window->switchMode(StudioWindowController::Mode::fond, false));
    document->select({QStringLiteral("A")}, QStringLiteral("A"));
    router.setStartWidget(window->objects);
    ASSERT_TRUE(router.perform(QStringLiteral("delete:")));
    EXPECT_EQ(entityIDs(work()), (QStringList{"B"}));
}

} // namespace
