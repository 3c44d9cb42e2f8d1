#include "desktop/WindowTeardown.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QPointer>
#include <QVBoxLayout>
#include <QWidget>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

// A window as the studio builds them: a field in a row of a group, a window of its own under
// it (a dialog of the window) with a popup, an action, each connected to a handler of the
// window's owner.
struct Scene {
    std::unique_ptr<QWidget> other = std::make_unique<QWidget>();
    QPointer<QWidget> window = new QWidget(nullptr, Qt::Window);
    QLineEdit* field = nullptr;
    QComboBox* popup = nullptr;
    QAction* action = nullptr;
    int handled = 0; // what the owner's handlers saw
    int destroyedSeen = 0;

    Scene()
    {
        auto* column = new QVBoxLayout(window);
        auto* group = new QWidget;
        auto* row = new QVBoxLayout(group);
        // A value shown as a form loads it: the field ends its editing on its next focus loss.
        field = new QLineEdit;
        field->setText(QStringLiteral("10,0"));
        row->addWidget(field);
        column->addWidget(group);
        auto* dialog = new QDialog(window);
        popup = new QComboBox(dialog);
        popup->addItems({QStringLiteral("PDF"), QStringLiteral("SVG")});
        action = new QAction(window);
        window->addAction(action);
        QObject::connect(field, &QLineEdit::editingFinished, [this] { ++handled; });
        QObject::connect(popup, &QComboBox::currentIndexChanged, [this] { ++handled; });
        QObject::connect(action, &QAction::triggered, [this] { ++handled; });
        QObject::connect(window, &QWidget::windowTitleChanged, [this] { ++handled; });
        // The owners' bookkeeping (a list of open windows, a weak table) hears of the end.
        QObject::connect(window, &QObject::destroyed, [this] { ++destroyedSeen; });
        QObject::connect(field, &QObject::destroyed, [this] { ++destroyedSeen; });
        other->show();
        window->show();
        QApplication::setActiveWindow(window);
        field->setFocus();
    }
    ~Scene() { delete window.data(); }
};

} // namespace

// Silenced, a window and everything under it reach no handler any more, however deep the
// object sits and whatever it is (a field losing its focus as another window comes in front, a
// popup in a window of the window, an action, the window itself); it still tells its end to
// whoever keeps track of it.
TEST(WindowTeardown, ASilencedWindowReachesNoHandlerAndStillTellsItsEnd)
{
    struct Row {
        const char* name;
        std::function<void(Scene&)> deed;
    };
    const Row rows[] = {
        {"a field in a group loses its focus to another window",
         [](Scene& scene) {
             ASSERT_TRUE(scene.field->hasFocus());
             QApplication::setActiveWindow(scene.other.get());
             ASSERT_FALSE(scene.field->hasFocus());
         }},
        {"a popup of a window of the window changes", [](Scene& scene) { scene.popup->setCurrentIndex(1); }},
        {"an action of the window is triggered", [](Scene& scene) { scene.action->trigger(); }},
        {"the window's own title changes", [](Scene& scene) { scene.window->setWindowTitle(QStringLiteral("Fin")); }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Scene scene;
        WindowTeardown::silence(scene.window);
        row.deed(scene);
        EXPECT_EQ(scene.handled, 0);
        WindowTeardown::destroy(scene.window);
        EXPECT_TRUE(scene.window.isNull());
        EXPECT_EQ(scene.destroyedSeen, 2);
    }
}
