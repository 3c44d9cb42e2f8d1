#include "app/TextFieldCommands.h"
#include "desktop/CommandRouter.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QVBoxLayout>
#include <gtest/gtest.h>

namespace {

// The pane behind the fields: answers undo: like a document would.
struct Pane : CommandResponder {
    QStringList performed;
    bool handles(const QString& c) const override { return c == QLatin1String("undo:") || c == QLatin1String("copy:"); }
    void perform(const QString& c, QObject*) override { performed << c; }
};

class MainMenuTextFieldTest : public ::testing::Test {
protected:
    MainMenuTextFieldTest()
    {
        auto* column = new QVBoxLayout(&window);
        column->addWidget(line);
        column->addWidget(plain);
        router.attach(&window, &pane, &window);
        commands.adopt(line);
        commands.adopt(plain);
    }
    ~MainMenuTextFieldTest() override { router.setStartWidget(nullptr); }

    CommandRouter router;
    TextFieldCommands commands{router};
    QWidget window;
    QLineEdit* line = new QLineEdit;
    QPlainTextEdit* plain = new QPlainTextEdit;
    Pane pane;
};

} // namespace

TEST_F(MainMenuTextFieldTest, focusedFieldAnswersTheEditingCommandsBeforeItsPane)
{
    line->setText(QStringLiteral("Île-de-France"));
    router.setStartWidget(line);
    EXPECT_NE(router.target("copy:"), &pane);
    EXPECT_FALSE(router.validate("copy:").enabled); // nothing selected
    EXPECT_TRUE(router.validate("selectAll:").enabled);
    EXPECT_TRUE(router.perform("selectAll:"));
    EXPECT_TRUE(router.validate("copy:").enabled);
    EXPECT_TRUE(router.perform("copy:"));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("Île-de-France"));
    EXPECT_TRUE(router.perform("delete:"));
    EXPECT_TRUE(line->text().isEmpty());
    EXPECT_TRUE(router.validate("paste:").enabled);
    EXPECT_TRUE(router.perform("paste:"));
    EXPECT_EQ(line->text(), QStringLiteral("Île-de-France"));
    EXPECT_TRUE(pane.performed.isEmpty());

    // A read-only field copies but neither cuts nor pastes.
    line->selectAll();
    line->setReadOnly(true);
    EXPECT_TRUE(router.validate("copy:").enabled);
    EXPECT_FALSE(router.validate("cut:").enabled);
    EXPECT_FALSE(router.validate("paste:").enabled);
}

TEST_F(MainMenuTextFieldTest, undoGoesToTheFieldOnlyWhileItHasTypingToUndo)
{
    router.setStartWidget(plain);
    EXPECT_EQ(router.target("undo:"), &pane);
    plain->insertPlainText(QStringLiteral("Légende"));
    EXPECT_NE(router.target("undo:"), &pane);
    EXPECT_TRUE(router.perform("undo:"));
    EXPECT_TRUE(plain->toPlainText().isEmpty());
    EXPECT_TRUE(router.validate("redo:").enabled);
    EXPECT_TRUE(router.perform("redo:"));
    EXPECT_EQ(plain->toPlainText(), QStringLiteral("Légende"));
    EXPECT_TRUE(pane.performed.isEmpty());
    // Other widgets are not adopted.
    EXPECT_FALSE(commands.adopt(&window));
}
