#include "page/DecorationObjectView.h"

#include "support/DecorationTestPage.h"
#include "support/PresentationTestSupport.h"

#include <QMenu>
#include <gtest/gtest.h>

using namespace DecorationTestSupport;

namespace {

// One view on a 600 × 400 page, its reports recorded.
struct ViewOnPage {
    ViewNode page;
    DecorationObjectView* view;
    QList<std::pair<QRectF, bool>> geometry;
    QList<std::pair<double, bool>> rotations;
    QStringList reports;

    explicit ViewOnPage(const PlmDecorationObject& object)
    {
        page.setFrame(QRectF(0, 0, 600, 400));
        view = new DecorationObjectView(object);
        page.addSubview(view);
        view->setFrame(QRectF(object.position.x, object.position.y, object.width, object.height));
        view->onGeometry = [this](const PlmPoint& o, double w, double h, bool ended) {
            geometry.append({QRectF(o.x, o.y, w, h), ended});
        };
        view->onRotation = [this](double angle, bool ended) { rotations.append({angle, ended}); };
        view->onCommand = [this](const QString& command) { reports.append(command); };
        view->onDelete = [this] { reports.append(QStringLiteral("delete")); };
        view->onEdit = [this] { reports.append(QStringLiteral("edit")); };
        view->onDeselect = [this] { reports.append(QStringLiteral("deselect")); };
        view->onSelect = [this] { reports.append(QStringLiteral("select")); };
    }
    // Press at a point of the view, drag by a page offset, release.
    void drag(const QPointF& at, const QPointF& by, Qt::KeyboardModifiers m = {})
    {
        const QPointF start = view->convertToRoot(at);
        view->mouseDown({at, start, Qt::LeftButton, m, 1});
        view->mouseDragged({at + by, start + by, Qt::LeftButton, m, 1});
        view->mouseUp({at + by, start + by, Qt::LeftButton, m, 1});
    }
    void key(int key, Qt::KeyboardModifiers m = {}) { view->keyDown({key, QString(), m, false}); }
};

// A 200 × 100 rectangle at (100, 100) whose editing style is changed.
PlmDecorationObject rectangleWith(const EditingStyleChange& change)
{
    PlmDecorationObject object = placed("r", PlmDecorationKind::rectangle, 100, 100, 200, 100);
    changeEditingStyle(object.presentation, change);
    return object;
}

} // namespace

TEST(DecorationObjectViewGestures, MovesResizesAndRotations)
{
    {
        ViewOnPage t(placed("r", PlmDecorationKind::rectangle, 100, 100, 200, 100));
        t.drag({100, 50}, {30, -10});
        ASSERT_EQ(t.geometry.size(), 2);
        EXPECT_EQ(t.geometry.last(), std::make_pair(QRectF(130, 90, 200, 100), true));
        EXPECT_FALSE(t.view->isManipulating);
    }
    {
        // A left corner dragged past the minimum width keeps 40 points and still moves x.
        ViewOnPage t(placed("r", PlmDecorationKind::rectangle, 100, 100, 200, 100));
        t.drag({5, 5}, {300, 0});
        EXPECT_EQ(t.geometry.last().first, QRectF(400, 100, 40, 100));
    }
    {
        // With fixed proportions the stored object's ratio rules.
        ViewOnPage t(rectangleWith([](PlmEditingStyle& style) { style.lockRatio = true; }));
        t.view->setFrame(QRectF(100, 100, 200, 150));
        t.drag({195, 145}, {100, 0});
        EXPECT_EQ(t.geometry.last().first, QRectF(100, 100, 300, 150));
    }
    {
        // The knob: straight to the left of the centre is a quarter turn.
        ViewOnPage t(placed("r", PlmDecorationKind::ellipse, 100, 100, 200, 100));
        t.drag({100, 95}, {-100, -45});
        ASSERT_EQ(t.rotations.size(), 2);
        EXPECT_DOUBLE_EQ(t.rotations.last().first, 90);
        EXPECT_TRUE(t.rotations.last().second);
        EXPECT_TRUE(t.geometry.isEmpty());
    }
    {
        // A scale bar never turns: the same press moves it.
        ViewOnPage t(placed("s", PlmDecorationKind::scale, 100, 100, 200, 100));
        t.drag({100, 95}, {-100, -45});
        EXPECT_TRUE(t.rotations.isEmpty());
        EXPECT_EQ(t.geometry.last().first, QRectF(0, 55, 200, 100));
    }
    {
        // A fixed position: selected, but never moved.
        ViewOnPage t(rectangleWith([](PlmEditingStyle& style) { style.lockPosition = true; }));
        t.drag({100, 50}, {30, -10});
        t.key(Qt::Key_Left);
        EXPECT_TRUE(t.geometry.isEmpty());
        EXPECT_EQ(t.reports, QStringList({"select"}));
    }
}

TEST(DecorationObjectViewGestures, KeysAndMenu)
{
    ViewOnPage text(placed("t", PlmDecorationKind::text, 100, 100, 200, 100));
    text.key(Qt::Key_Right, Qt::ShiftModifier);
    text.key(Qt::Key_Down);
    EXPECT_EQ(text.geometry, (QList<std::pair<QRectF, bool>>{{QRectF(110, 100, 200, 100), true},
                                                             {QRectF(110, 99, 200, 100), true}}));
    text.key(Qt::Key_C, Qt::ControlModifier);
    text.key(Qt::Key_D, Qt::ControlModifier);
    text.key(Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);  // an uppercase C is no command
    text.key(Qt::Key_Backspace, Qt::ControlModifier);
    text.key(Qt::Key_Return);
    text.key(Qt::Key_Escape);
    EXPECT_EQ(text.reports, QStringList({"copy", "duplicate", "delete", "edit", "deselect"}));

    QMenu* menu = text.view->menuForEvent({});
    ASSERT_EQ(menu->actions().size(), 2);
    EXPECT_EQ(menu->actions().at(0)->text(), QStringLiteral("Modifier le texte"));
    ViewOnPage shape(placed("r", PlmDecorationKind::rectangle, 100, 100, 200, 100));
    menu = shape.view->menuForEvent({});
    ASSERT_EQ(menu->actions().size(), 1);
    EXPECT_EQ(menu->actions().at(0)->text(), QStringLiteral("Supprimer"));
    menu->actions().at(0)->trigger();
    EXPECT_EQ(shape.reports, QStringList({"select", "select", "delete"}));  // the menu selects first
    shape.key(Qt::Key_Return);  // a shape has no text to edit
    EXPECT_EQ(shape.reports.size(), 3);
}
