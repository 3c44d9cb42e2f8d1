#include "app/StudioSplitLayout.h"

#include <gtest/gtest.h>
#include <limits>

namespace {

StudioSplitLayout columns(double w, QList<double> sizes = {240, 320}, QSet<int> hidden = {})
{
    StudioSplitLayout layout;
    layout.vertical = true;
    layout.paneCount = 3;
    layout.bounds = QSizeF(w, 700);
    layout.sizes = sizes;
    layout.hiddenPanels = hidden;
    return layout;
}

StudioSplitLayout bottom(double h, double size = 260, bool expanded = false, QSet<int> hidden = {})
{
    StudioSplitLayout layout;
    layout.vertical = false;
    layout.paneCount = 2;
    layout.bounds = QSizeF(900, h);
    layout.sizes = {size};
    layout.expanded = expanded;
    layout.hiddenPanels = hidden;
    return layout;
}

} // namespace

TEST(StudioSplitLayoutColumns, DefaultSizesAtWidth1000KeepRoomForTheCentre)
{
    const auto frames = columns(1000).arrange();
    ASSERT_TRUE(frames.arranged);
    EXPECT_EQ(frames.panes.at(0), QRectF(0, 0, 220, 700));   // min(240, 1000 - 780)
    EXPECT_EQ(frames.panes.at(2), QRectF(680, 0, 320, 700)); // min(320, 1000 - 220 - 440)
    EXPECT_EQ(frames.panes.at(1), QRectF(221, 0, 1000 - 220 - 320 - 2, 700));
}

TEST(StudioSplitLayoutColumns, StoredLeftWidthIsCappedByTheReservedSpace)
{
    const auto frames = columns(1100, {500, 320}).arrange();
    EXPECT_EQ(frames.panes.at(0).width(), 320);
    EXPECT_EQ(frames.panes.at(2).width(), 320);
}

TEST(StudioSplitLayoutColumns, SmallStoredSizesGrowToTheMinimums)
{
    const auto frames = columns(1600, {100, 50}).arrange();
    EXPECT_EQ(frames.panes.at(0).width(), 230);
    EXPECT_EQ(frames.panes.at(2).width(), 280);
}

TEST(StudioSplitLayoutColumns, NarrowWindowLeavesNoObjectsWidthAndLimitsTheInspector)
{
    const auto frames = columns(700).arrange();
    EXPECT_EQ(frames.panes.at(0).width(), 0);
    EXPECT_FALSE(frames.hidden.at(0));
    EXPECT_EQ(frames.panes.at(2).width(), 260); // W - 440
    EXPECT_EQ(frames.panes.at(1).x(), 0);      // no divider after an empty column
}

TEST(StudioSplitLayoutColumns, InspectorNeverWiderThanWidthLessLeftLess440)
{
    for (double w : {900.0, 1000.0, 1100.0, 1300.0, 2000.0}) {
        const auto layout = columns(w, {400, 900});
        const auto frames = layout.arrange();
        const double left = frames.panes.at(0).width();
        EXPECT_LE(frames.panes.at(2).width(), std::max(w - left - 440, 0.0)) << w;
        EXPECT_GE(frames.panes.at(1).width(), 0) << w;
    }
}

TEST(StudioSplitLayoutColumns, HiddenObjectsColumnKeepsItsFrameAndTheCentreStartsAtZero)
{
    const auto layout = columns(1400, {240, 320}, {0});
    const auto frames = layout.arrange();
    EXPECT_TRUE(frames.hidden.at(0));
    EXPECT_EQ(frames.panes.at(0).width(), 240);
    EXPECT_EQ(frames.panes.at(1).x(), 0);
    EXPECT_EQ(frames.panes.at(1).width(), 1400 - 320 - 1);
    EXPECT_TRUE(layout.isDividerHidden(0));
    EXPECT_TRUE(layout.effectiveDividerRect(0, frames.panes).isEmpty());
    EXPECT_FALSE(layout.isDividerHidden(1));

    const auto narrowHidden = columns(1400, {100, 320}, {0}).arrange();
    EXPECT_EQ(narrowHidden.panes.at(0).width(), 230);
}

TEST(StudioSplitLayoutColumns, HiddenInspectorGivesItsRoomToTheCentre)
{
    const auto frames = columns(1400, {240, 320}, {2}).arrange();
    EXPECT_TRUE(frames.hidden.at(2));
    EXPECT_EQ(frames.panes.at(1).width(), 1400 - 240 - 1);
    EXPECT_EQ(frames.panes.at(2).x(), 1400);
    EXPECT_EQ(frames.panes.at(2).width(), 320);
}

TEST(StudioSplitLayoutColumns, UnusableSizesCountAsTheMinimum)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const auto frames = columns(1600, {nan, inf}).arrange();
    EXPECT_EQ(frames.panes.at(0).width(), 230);
    EXPECT_EQ(frames.panes.at(2).width(), 280);
    const auto missing = columns(1600, {}).arrange();
    EXPECT_EQ(missing.panes.at(0).width(), 230);
}

TEST(StudioSplitLayoutColumns, DividerLimits)
{
    const auto layout = columns(1400);
    const auto panes = layout.arrange().panes;
    EXPECT_EQ(layout.dividerLimits(0, panes), std::make_pair(230.0, 420.0));
    EXPECT_EQ(layout.dividerLimits(1, panes), std::make_pair(240.0 + 420.0, 1400.0 - 280.0));
    const auto narrow = columns(1000);
    const auto narrowPanes = narrow.arrange().panes;
    EXPECT_EQ(narrow.dividerLimits(0, narrowPanes).second, 1000.0 - 320.0 - 420.0);
    EXPECT_EQ(narrow.clampDivider(0, 900, narrowPanes), 260);
    EXPECT_EQ(narrow.clampDivider(0, 10, narrowPanes), 230);
}

TEST(StudioSplitLayoutColumns, DividerLimitsIgnoreTheFrameAHiddenColumnKeeps)
{
    // At 1000 points the hidden inspector's kept 320-point frame would hold the objects
    // divider at 260; hidden, it takes no room.
    const auto noInspector = columns(1000, {240, 320}, {2});
    EXPECT_EQ(noInspector.dividerLimits(0, noInspector.arrange().panes), std::make_pair(230.0, 420.0));
    // A hidden objects column keeps a 240-point frame; the inspector divider starts from 0.
    const auto noObjects = columns(1400, {240, 320}, {0});
    EXPECT_EQ(noObjects.dividerLimits(1, noObjects.arrange().panes), std::make_pair(420.0, 1400.0 - 280.0));
    // Limits that cross: the minimum wins.
    const auto tight = columns(900);
    const auto tightPanes = tight.arrange().panes;
    EXPECT_EQ(tight.clampDivider(0, 600, tightPanes), 230);
}

TEST(StudioSplitLayoutColumns, DraggingADividerRemembersTheNewWidths)
{
    const auto layout = columns(1400);
    const auto panes = layout.arrange().panes;
    const auto moved = layout.framesAfterMovingDivider(0, 300, panes);
    EXPECT_EQ(moved.at(0).width(), 300);
    EXPECT_EQ(moved.at(1).x(), 301);
    EXPECT_EQ(moved.at(1).x() + moved.at(1).width(), panes.at(1).x() + panes.at(1).width());
    EXPECT_EQ(layout.sizesAfterResize(moved), (QList<double>{300, 320}));

    const auto right = layout.framesAfterMovingDivider(1, 1000, panes);
    EXPECT_EQ(right.at(2).width(), 399);
    EXPECT_EQ(layout.sizesAfterResize(right), (QList<double>{240, 399}));
}

TEST(StudioSplitLayoutColumns, HiddenPanesKeepTheirRememberedSizes)
{
    const auto layout = columns(1400, {240, 320}, {0, 2});
    const auto frames = layout.arrange().panes;
    EXPECT_EQ(layout.sizesAfterResize(frames), (QList<double>{240, 320}));
}

TEST(StudioSplitLayoutColumns, EffectiveDividerIsWidenedFourPointsEachSide)
{
    const auto layout = columns(1400);
    const auto panes = layout.arrange().panes;
    EXPECT_EQ(layout.dividerRect(0, panes), QRectF(240, 0, 1, 700));
    EXPECT_EQ(layout.effectiveDividerRect(0, panes), QRectF(236, 0, 9, 700));
}

TEST(StudioSplitLayoutBottom, ExpandedPanelTakesAllButEightyPoints)
{
    const auto frames = bottom(600, 260, true).arrange();
    EXPECT_EQ(frames.panes.at(1), QRectF(0, 80, 900, 520));
    EXPECT_EQ(frames.panes.at(0).height(), 600 - 520 - 1);
}

TEST(StudioSplitLayoutBottom, PanelHeightBetweenMinimumAndReservedSpace)
{
    EXPECT_EQ(bottom(600, 260).arrange().panes.at(1), QRectF(0, 340, 900, 260));
    EXPECT_EQ(bottom(600, 20).arrange().panes.at(1).height(), 160);
    EXPECT_EQ(bottom(300, 260).arrange().panes.at(1).height(), 220);
    EXPECT_EQ(bottom(50, 260).arrange().panes.at(1).height(), 0);
}

TEST(StudioSplitLayoutBottom, HiddenPanelGivesTheWholeHeightToTheUpperArea)
{
    const auto layout = bottom(600, 200, false, {1});
    const auto frames = layout.arrange();
    EXPECT_EQ(frames.panes.at(0).height(), 600);
    EXPECT_EQ(frames.panes.at(1).height(), 200);
    EXPECT_TRUE(frames.hidden.at(1));
    EXPECT_TRUE(layout.isDividerHidden(0));
}

TEST(StudioSplitLayoutBottom, ExpandedHeightIsNotRemembered)
{
    const auto layout = bottom(600, 260, true);
    const auto frames = layout.arrange().panes;
    EXPECT_EQ(layout.sizesAfterResize(frames), (QList<double>{260}));
    const auto normal = bottom(600, 260);
    const auto dragged = normal.framesAfterMovingDivider(0, 300, normal.arrange().panes);
    EXPECT_EQ(normal.sizesAfterResize(dragged), (QList<double>{299}));
    EXPECT_EQ(normal.dividerLimits(0, dragged), std::make_pair(80.0, 440.0));
    EXPECT_EQ(normal.effectiveDividerRect(0, dragged), QRectF(0, 296, 900, 9));
}

TEST(StudioSplitLayout, EmptyBoundsOrUnexpectedPaneCountArrangeNothing)
{
    auto empty = columns(0);
    EXPECT_FALSE(empty.arrange().arranged);
    auto two = columns(1400);
    two.paneCount = 2;
    const auto frames = two.arrange();
    EXPECT_FALSE(frames.arranged);
    EXPECT_EQ(frames.hidden.size(), 2);
    auto nan = bottom(std::numeric_limits<double>::quiet_NaN());
    EXPECT_FALSE(nan.arrange().arranged);
}
