#include "app/StudioSplit.h"
#include "platform/UserDefaults.h"
#include "support/WidgetInput.h"

#include <QSettings>
#include <QApplication>
#include <QMouseEvent>
#include <gtest/gtest.h>
#include <limits>

inline void PrintTo(const QRect& r, std::ostream* os)
{
    *os << "QRect(" << r.x() << ", " << r.y() << ", " << r.width() << ", " << r.height() << ")";
}

namespace {

// Each test reads and writes its own settings file.
class StudioSplitTest : public ::testing::Test {
protected:

    static StudioSplit* makeColumns(QWidget* parent, int w = 1400, int h = 700)
    {
        auto* split = new StudioSplit(true, QStringLiteral("Studio.Columns"), {240, 320}, parent);
        for (int i = 0; i < 3; ++i)
            split->addPane(new QWidget);
        split->resize(w, h);
        return split;
    }
    static StudioSplit* makeBottom(QWidget* parent, int h = 600)
    {
        auto* split = new StudioSplit(false, QStringLiteral("Studio.Bottom"), {260}, parent);
        split->addPane(new QWidget);
        split->addPane(new QWidget);
        split->resize(900, h);
        return split;
    }

    UserDefaults::TemporaryScope m_scope;
};

} // namespace

TEST_F(StudioSplitTest, UnusableStoredSizesGiveTheDefaults)
{
    QSettings& settings = UserDefaults::settings();
    settings.setValue("Studio.Columns.Size.0", 0.0);
    settings.setValue("Studio.Columns.Size.1", -5.0);
    settings.setValue("Studio.Bottom.Size.0", "abc");
    StudioSplit columnsSplit(true, "Studio.Columns", {240, 320});
    EXPECT_EQ(columnsSplit.sizes(), (QList<double>{240, 320}));
    StudioSplit bottomSplit(false, "Studio.Bottom", {260});
    EXPECT_EQ(bottomSplit.sizes(), (QList<double>{260}));
}

TEST_F(StudioSplitTest, RestoresSizesHiddenPanesAndExpandedState)
{
    QSettings& settings = UserDefaults::settings();
    settings.setValue("Studio.Columns.Size.0", 300.5);
    settings.setValue("Studio.Columns.Hidden.2", true);
    settings.setValue("Studio.Columns.Expanded", true);
    StudioSplit split(true, "Studio.Columns", {240, 320});
    EXPECT_EQ(split.sizes(), (QList<double>{300.5, 320}));
    EXPECT_EQ(split.hiddenPanels(), (QSet<int>{2}));
    EXPECT_TRUE(split.isExpanded());
    EXPECT_EQ(split.key(), "Studio.Columns");
}

TEST_F(StudioSplitTest, ColumnsAreLaidOutOnResize)
{
    QWidget window;
    StudioSplit* split = makeColumns(&window, 1000);
    window.show();
    EXPECT_EQ(split->pane(0)->geometry(), QRect(0, 0, 220, 700));
    EXPECT_EQ(split->pane(2)->geometry(), QRect(680, 0, 320, 700));
    split->resize(1100, 700);
    EXPECT_EQ(split->pane(0)->width(), 240);
    EXPECT_EQ(split->sizeHint(), QSize(1100, 600));
}

TEST_F(StudioSplitTest, TogglingAPanelHidesItKeepsItsFrameAndRemembersIt)
{
    QWidget window;
    StudioSplit* split = makeColumns(&window);
    window.show();
    split->togglePanel(0);
    EXPECT_TRUE(split->pane(0)->isHidden());
    EXPECT_EQ(split->pane(0)->width(), 240);
    EXPECT_EQ(split->pane(1)->x(), 0);
    EXPECT_TRUE(split->effectiveDividerRect(0).isEmpty());
    EXPECT_TRUE(UserDefaults::settings().value("Studio.Columns.Hidden.0").toBool());

    StudioSplit restored(true, "Studio.Columns", {240, 320});
    EXPECT_TRUE(restored.isPanelHidden(0));

    split->togglePanel(0);
    EXPECT_FALSE(split->pane(0)->isHidden());
    EXPECT_FALSE(UserDefaults::settings().value("Studio.Columns.Hidden.0", true).toBool());
}

TEST_F(StudioSplitTest, ExpandingTheBottomShowsItAndKeepsItsRememberedHeight)
{
    QWidget window;
    StudioSplit* split = makeBottom(&window);
    window.show();
    split->togglePanel(1);
    ASSERT_TRUE(split->pane(1)->isHidden());
    split->toggleExpanded();
    EXPECT_FALSE(split->pane(1)->isHidden());
    EXPECT_EQ(split->pane(1)->geometry(), QRect(0, 80, 900, 520));
    QSettings& settings = UserDefaults::settings();
    EXPECT_TRUE(settings.value("Studio.Bottom.Expanded").toBool());
    EXPECT_FALSE(settings.value("Studio.Bottom.Hidden.1", true).toBool());

    split->moveDivider(0, 200); // a drag while expanded does not overwrite the height
    EXPECT_EQ(split->sizes(), (QList<double>{260}));
    split->toggleExpanded();
    EXPECT_EQ(split->pane(1)->height(), 260);
}

TEST_F(StudioSplitTest, DraggingADividerWithTheMouseStoresTheSizes)
{
    QWidget window;
    StudioSplit* split = makeColumns(&window);
    window.show();
    QWidget* handle = split->findChild<QWidget*>("StudioSplit.Divider.0");
    ASSERT_NE(handle, nullptr);
    ASSERT_TRUE(handle->isVisible());
    const QPoint start = handle->rect().center();
    sendMouse(handle, QEvent::MouseButtonPress, start);
    sendMouse(handle, QEvent::MouseMove, start + QPoint(60, 0));
    sendMouse(handle, QEvent::MouseButtonRelease, start + QPoint(60, 0));
    EXPECT_EQ(split->pane(0)->width(), 300);
    EXPECT_DOUBLE_EQ(UserDefaults::settings().value("Studio.Columns.Size.0").toDouble(), 300);
    EXPECT_DOUBLE_EQ(UserDefaults::settings().value("Studio.Columns.Size.1").toDouble(), 320);
}

TEST_F(StudioSplitTest, DraggingIsClampedToTheDividerLimits)
{
    QWidget window;
    StudioSplit* split = makeColumns(&window);
    StudioSplit* bottomSplit = makeBottom(&window);
    window.show();
    split->moveDivider(0, 1000);
    EXPECT_EQ(split->pane(0)->width(), 420);
    split->moveDivider(1, 100); // at least 420 right of the objects column
    EXPECT_EQ(split->sizes().at(1), 1400 - 841);
    EXPECT_EQ(split->pane(2)->width(), 1400 - 420 - 440); // then laid out within the reserved space
    split->moveDivider(0, std::numeric_limits<double>::quiet_NaN());
    split->moveDivider(0, -std::numeric_limits<double>::infinity());
    EXPECT_EQ(split->pane(0)->width(), 420);
    EXPECT_EQ(split->sizes().at(0), 420);
    bottomSplit->moveDivider(0, 10);
    EXPECT_EQ(bottomSplit->pane(0)->height(), 80);
    EXPECT_EQ(bottomSplit->pane(1)->height(), 519);
}
