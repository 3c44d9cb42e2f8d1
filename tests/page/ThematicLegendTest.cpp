#include "page/ThematicLegend.h"
#include "desktop/ViewHost.h"
#include "support/CanvasEvents.h"
#include "support/PresentationTestSupport.h"

#include <QAction>
#include <QMenu>
#include <gtest/gtest.h>

using namespace CanvasEvents;

namespace {

// Records what a parent hears of its children's unhandled keys.
class PageNode : public ViewNode {
public:
    void keyDown(const ViewKeyEvent& e) override { keys.append(e.key); }
    QList<int> keys;
};

// A 400 × 300 page in a widget with a 120 × 80 legend at (100, 100), every report recorded.
struct LegendPage {
    std::unique_ptr<ViewHost> widget = std::make_unique<ViewHost>();
    PageNode* page = new PageNode;
    ThematicLegend* legend = new ThematicLegend;
    QList<std::pair<PlmPoint, bool>> positions;
    QList<std::pair<QSizeF, PlmPoint>> sizes;
    QList<double> rotations;
    QStringList commands;
    QStringList calls;

    LegendPage()
    {
        widget->resize(400, 300);
        widget->setRootNode(page);
        page->addSubview(legend);
        legend->setFrame(QRectF(100, 100, 120, 80));
        legend->onPosition = [this](const PlmPoint& p, bool done) { positions.append({p, done}); };
        legend->onSize = [this](const QSizeF& s, const PlmPoint& o) { sizes.append({s, o}); };
        legend->onRotation = [this](double r) { rotations.append(r); };
        legend->onCommand = [this](const QString& c) { commands.append(c); };
        legend->onSelect = [this] { calls.append(QStringLiteral("select")); };
        legend->onEdit = [this] { calls.append(QStringLiteral("edit")); };
    }

    void setStyle(const EditingStyleChange& change)
    {
        PlmPresentation p = legend->presentation();
        changeEditingStyle(p, change);
        legend->setPresentation(p);
    }
};

} // namespace

TEST(ThematicLegendGestures, AMoveBelowThreePointsReportsNothingBeyondItTheFrameFollowsAndTheEndIsFinal)
{
    LegendPage t;
    press(*t.widget, {160, 140});
    drag(*t.widget, {162.9, 140});
    release(*t.widget, {162.9, 140});
    EXPECT_TRUE(t.positions.isEmpty());
    EXPECT_EQ(t.legend->frame(), QRectF(100, 100, 120, 80));
    EXPECT_EQ(t.calls, QStringList{QStringLiteral("select")});

    dragFromTo(*t.widget, {160, 140}, {180, 130});
    EXPECT_EQ(t.legend->frame(), QRectF(120, 90, 120, 80));
    ASSERT_FALSE(t.positions.isEmpty());
    EXPECT_EQ(t.positions.last(), std::make_pair(PlmPoint{120, 90}, true));
    for (int i = 0; i + 1 < t.positions.size(); ++i)
        EXPECT_FALSE(t.positions[i].second);
    EXPECT_FALSE(t.legend->isManipulating);
}

TEST(ThematicLegendGestures, ACornerPressResizesAgainstTheOppositeCornerWithinTheLimits)
{
    LegendPage t;
    // 10 pt from the left and bottom edges: the top-right corner stays.
    dragFromTo(*t.widget, {110, 110}, {140, 120});
    EXPECT_EQ(t.legend->frame(), QRectF(130, 110, 90, 70));
    ASSERT_EQ(t.sizes.size(), 1);
    EXPECT_EQ(t.sizes[0], std::make_pair(QSizeF(90, 70), PlmPoint{130, 110}));
    EXPECT_EQ(t.legend->presentation().legendFitsContent, std::optional<bool>(false));
    EXPECT_EQ(t.legend->presentation().width, std::optional<double>(90));
    EXPECT_TRUE(t.positions.isEmpty());

    // Narrower than 40 pt stops at 40; with Shift the height follows the start's ratio.
    LegendPage narrow;
    dragFromTo(*narrow.widget, {215, 175}, {100, 175}, Qt::ShiftModifier);
    EXPECT_EQ(narrow.legend->frame(), QRectF(100, 100, 40, std::max(40 * 80.0 / 120, 30.0)));
}

TEST(ThematicLegendGestures, TheTopKnobRotatesSoThatThePointerRightOfTheCentreGivesMinusNinety)
{
    LegendPage t;
    dragFromTo(*t.widget, {160, 176}, {260, 140});
    ASSERT_EQ(t.rotations.size(), 1);
    EXPECT_NEAR(t.rotations[0], -90, 1e-9);
    EXPECT_NEAR(t.legend->presentation().effectiveEditingStyle().rotation, -90, 1e-9);
    EXPECT_TRUE(t.positions.isEmpty());
    EXPECT_EQ(t.legend->frame(), QRectF(100, 100, 120, 80));
}

TEST(ThematicLegendGestures, ARotatedLegendTestsItsCornersWhereTheyAreDrawn)
{
    LegendPage t;
    t.setStyle([](PlmEditingStyle& s) { s.rotation = 180; });
    // Drawn lower-left corner of a legend turned half round: its own upper-right corner.
    press(*t.widget, {105, 105});
    EXPECT_TRUE(t.legend->resizing);
    EXPECT_FALSE(t.legend->resizingLeft);
    EXPECT_FALSE(t.legend->resizingBottom);
    release(*t.widget, {105, 105});
}

TEST(ThematicLegendGestures, ALockedPositionNeitherMovesNorNudges)
{
    LegendPage t;
    t.setStyle([](PlmEditingStyle& s) { s.lockPosition = true; });
    dragFromTo(*t.widget, {160, 140}, {200, 140});
    key(*t.widget, Qt::Key_Left);
    EXPECT_TRUE(t.positions.isEmpty());
    EXPECT_EQ(t.legend->frame(), QRectF(100, 100, 120, 80));
    EXPECT_EQ(t.page->keys, QList<int>{Qt::Key_Left});  // handed on
}

TEST(ThematicLegendKeys, CommandsDeletionAndArrowsAreReportedAndOtherKeysHandedOn)
{
    struct Row {
        const char* name;
        int key;
        Qt::KeyboardModifiers modifiers;
        QStringList commands;
        std::optional<PlmPoint> position;
        bool handedOn;
    };
    const Row rows[] = {
        {"copy", Qt::Key_C, Qt::ControlModifier, {QStringLiteral("copy")}, std::nullopt, false},
        {"paste", Qt::Key_V, Qt::ControlModifier, {QStringLiteral("paste")}, std::nullopt, false},
        {"cut", Qt::Key_X, Qt::ControlModifier, {QStringLiteral("cut")}, std::nullopt, false},
        {"duplicate", Qt::Key_D, Qt::ControlModifier, {QStringLiteral("duplicate")}, std::nullopt, false},
        {"undo is not ours", Qt::Key_Z, Qt::ControlModifier, {}, std::nullopt, true},
        {"delete", Qt::Key_Backspace, {}, {QStringLiteral("delete")}, std::nullopt, false},
        {"forward delete", Qt::Key_Delete, {}, {QStringLiteral("delete")}, std::nullopt, false},
        {"shift left", Qt::Key_Left, Qt::ShiftModifier, {}, PlmPoint{90, 100}, false},
        {"up", Qt::Key_Up, {}, {}, PlmPoint{100, 101}, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        LegendPage t;
        t.widget->setFirstResponder(t.legend);
        key(*t.widget, row.key, row.modifiers);
        EXPECT_EQ(t.commands, row.commands);
        if (row.position) {
            ASSERT_EQ(t.positions.size(), 1);
            EXPECT_EQ(t.positions[0], std::make_pair(*row.position, true));
        } else {
            EXPECT_TRUE(t.positions.isEmpty());
        }
        EXPECT_EQ(t.page->keys.size(), row.handedOn ? 1 : 0);
        // The owner moves the legend: a nudge never moves the frame itself.
        EXPECT_EQ(t.legend->frame(), QRectF(100, 100, 120, 80));
    }
}

TEST(ThematicLegendMenu, TheOnlyItemEditsTheTitleAfterSelecting)
{
    LegendPage t;
    QMenu* menu = t.legend->menuForEvent(ViewMouseEvent());
    ASSERT_EQ(menu->actions().size(), 1);
    EXPECT_EQ(menu->actions()[0]->text(), QStringLiteral("Modifier le titre de la légende"));
    menu->actions()[0]->trigger();
    EXPECT_EQ(t.calls, (QStringList{QStringLiteral("select"), QStringLiteral("edit")}));
}

TEST(ThematicLegendMenu, ADoubleClickSelectsThenEdits)
{
    LegendPage t;
    doubleClick(*t.widget, {160, 140});
    EXPECT_EQ(t.calls, (QStringList{QStringLiteral("select"), QStringLiteral("select"), QStringLiteral("edit")}));
}
