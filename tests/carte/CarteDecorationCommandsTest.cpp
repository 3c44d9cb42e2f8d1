#include "page/DecorationController.h"
#include "page/DecorationObjectView.h"
#include "inspector/InspectorScroll.h"
#include "page/ThematicCanvas.h"
#include "support/CartePaneTestSupport.h"

#include <QAction>
#include <gtest/gtest.h>

using namespace CartePaneTest;

// The pane's Édition commands and refresh reach the decoration controller.
TEST(CarteDecorationCommands, EditCommandsReachTheLayoutController)
{
    PlmWork work = gridWork(4, {1, 2, 3, 4});
    work.decoration = PlmDecoration();
    work.decoration->objects = {PlmDecorationObject::make(QStringLiteral("t"), PlmDecorationKind::title)};
    Pane p(work);
    DecorationController* decorations = p.pane->decorationController();
    // The views follow the stored work; the inspector sits in the pane's column.
    ASSERT_EQ(decorations->objectViews().size(), 1);
    EXPECT_EQ(decorations->bar()->parentWidget(), p.pane->inspectorScroll()->stack());

    EXPECT_FALSE(p.pane->validate(QStringLiteral("copy:"), nullptr).enabled);  // nothing selected
    decorations->select(QStringLiteral("t"), false);
    EXPECT_TRUE(p.pane->validate(QStringLiteral("copy:"), nullptr).enabled);
    p.pane->perform(QStringLiteral("copy:"), nullptr);
    EXPECT_TRUE(p.pane->validate(QStringLiteral("paste:"), nullptr).enabled);
    p.pane->perform(QStringLiteral("paste:"), nullptr);
    EXPECT_EQ(p.document.undoName(), QStringLiteral("Coller / dupliquer"));
    ASSERT_EQ(p.document.work().decoration->objects.size(), 2);
    EXPECT_EQ(decorations->objectViews().size(), 2);
    p.pane->perform(QStringLiteral("duplicate:"), nullptr);
    EXPECT_EQ(p.document.work().decoration->objects.size(), 3);
    p.pane->perform(QStringLiteral("delete:"), nullptr);
    EXPECT_EQ(p.document.undoName(), QStringLiteral("Supprimer l’habillage"));
    EXPECT_EQ(p.document.work().decoration->objects.size(), 2);
    p.pane->perform(QStringLiteral("selectAll:"), nullptr);
    EXPECT_TRUE(decorations->selectedIDs.contains(QStringLiteral("t")));
    p.pane->perform(QStringLiteral("cut:"), nullptr);
    EXPECT_TRUE(p.document.work().decoration->objects.isEmpty());
    EXPECT_TRUE(p.errors.isEmpty());
}
