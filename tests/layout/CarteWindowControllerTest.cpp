#include "layout/CarteWindowController.h"

#include "canvas/VectorCanvas.h"
#include "model/PlmDecoration.h"

#include <gtest/gtest.h>

namespace {

PlmWork workWithDecoration(const std::optional<PlmDecoration>& decoration)
{
    PlmWork work;
    work.map.name = QStringLiteral("Communes");
    work.decoration = decoration;
    return work;
}

} // namespace

TEST(CarteWindowController, TheLayoutMapFollowsTheEntityNameSettings)
{
    PlmWork work = workWithDecoration(std::nullopt);
    CarteWindowController pane([&work] { return std::optional<PlmWork>(work); });
    pane.refreshControls();
    VectorCanvas* view = pane.mapView();
    EXPECT_FALSE(view->showEntityNames);
    EXPECT_EQ(view->entityNameFontName, QStringLiteral("Helvetica"));
    EXPECT_EQ(view->entityNameFontSize, 12.0);

    PlmDecoration decoration;
    decoration.showEntityNames = true;
    decoration.entityNameFontName = QStringLiteral("Times");
    decoration.entityNameFontSize = 9.5;
    decoration.entityNamePositions = QMap<QString, PlmPoint>{{QStringLiteral("A"), PlmPoint{1, 2}}};
    work = workWithDecoration(decoration);
    pane.refreshControls();
    EXPECT_TRUE(view->showEntityNames);
    EXPECT_EQ(view->entityNameFontName, QStringLiteral("Times"));
    EXPECT_EQ(view->entityNameFontSize, 9.5);
    ASSERT_TRUE(view->entityNamePositions.contains(QStringLiteral("A")));
    EXPECT_EQ(view->entityNamePositions.value(QStringLiteral("A")).y, 2.0);

    // Turning the names off again (an undo) hides them and forgets the placed positions.
    work = workWithDecoration(PlmDecoration());
    pane.refreshControls();
    EXPECT_FALSE(view->showEntityNames);
    EXPECT_TRUE(view->entityNamePositions.isEmpty());
}
