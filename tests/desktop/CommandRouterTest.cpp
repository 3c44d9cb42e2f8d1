#include "support/PlatformTestSupport.h"

#include "desktop/CommandRouter.h"
#include "desktop/DocumentWindowController.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMainWindow>
#include <QMenu>
#include <QVBoxLayout>
#include <QWidget>
#include <gtest/gtest.h>
#include <memory>

namespace {

// A responder that answers a fixed set of commands and logs what it is asked to do.
class FakeResponder : public CommandResponder {
public:
    FakeResponder(QString name, QStringList commands, QStringList* log)
        : name_(std::move(name)), commands_(std::move(commands)), log_(log) {}

    bool enabled = true;
    std::optional<bool> checked;

    bool handles(const QString& command) const override { return commands_.contains(command); }
    void perform(const QString& command, QObject*) override { *log_ << name_ + QLatin1Char(':') + command; }
    CommandValidation validate(const QString&, QAction*) const override
    {
        CommandValidation v;
        v.enabled = enabled;
        v.checked = checked;
        return v;
    }

private:
    QString name_;
    QStringList commands_;
    QStringList* log_;
};

// A widget that is a responder itself, as a focused view is.
class ResponderWidget : public QWidget, public FakeResponder {
public:
    ResponderWidget(QWidget* parent, QStringList commands, QStringList* log)
        : QWidget(parent), FakeResponder(QStringLiteral("vue"), std::move(commands), log) {}
};

class FakeOwner : public QObject {};

class CommandRouterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        window = std::make_unique<QMainWindow>();
        auto* central = new QWidget;
        pane = new QWidget(central);
        view = new ResponderWidget(pane, {QStringLiteral("copy:"), QStringLiteral("selectAll:")}, &log);
        window->setCentralWidget(central);

        router.attach(pane, &paneResponder, &paneOwner);
        router.attach(window.get(), &windowResponder, &windowOwner);
        router.attach(window.get(), &documentResponder, &documentOwner);
        router.setApplicationResponder(&appResponder);
        router.setStartWidget(view);
    }

    QStringList log;
    std::unique_ptr<QMainWindow> window;
    QWidget* pane = nullptr;
    ResponderWidget* view = nullptr;
    FakeOwner paneOwner, windowOwner, documentOwner;
    FakeResponder paneResponder{QStringLiteral("volet"), {QStringLiteral("fit:"), QStringLiteral("copy:"), QStringLiteral("delete:")}, &log};
    FakeResponder windowResponder{QStringLiteral("fenêtre"), {QStringLiteral("fit:"), QStringLiteral("studioCarte:")}, &log};
    FakeResponder documentResponder{QStringLiteral("document"), {QStringLiteral("saveDocument:"), QStringLiteral("fit:")}, &log};
    FakeResponder appResponder{QStringLiteral("délégué"), {QStringLiteral("newStudioDocument:"), QStringLiteral("saveDocument:")}, &log};
    CommandRouter router;
};

TEST_F(CommandRouterTest, ChainRunsFromFocusThroughPaneWindowDocumentToDelegate)
{
    const QList<CommandResponder*> chain = router.currentChain();
    ASSERT_EQ(chain.size(), 5);
    EXPECT_EQ(chain[0], static_cast<CommandResponder*>(view));
    EXPECT_EQ(chain[1], &paneResponder);
    EXPECT_EQ(chain[2], &windowResponder);
    EXPECT_EQ(chain[3], &documentResponder);
    EXPECT_EQ(chain[4], &appResponder);
}

TEST_F(CommandRouterTest, FirstResponderThatAnswersPerformsTheCommand)
{
    EXPECT_TRUE(router.perform(QStringLiteral("copy:")));
    EXPECT_TRUE(router.perform(QStringLiteral("fit:")));
    EXPECT_TRUE(router.perform(QStringLiteral("studioCarte:")));
    EXPECT_TRUE(router.perform(QStringLiteral("saveDocument:")));
    EXPECT_TRUE(router.perform(QStringLiteral("newStudioDocument:")));
    EXPECT_FALSE(router.perform(QStringLiteral("zoomIn:")));
    EXPECT_EQ(log, (QStringList{QStringLiteral("vue:copy:"), QStringLiteral("volet:fit:"), QStringLiteral("fenêtre:studioCarte:"),
                                QStringLiteral("document:saveDocument:"), QStringLiteral("délégué:newStudioDocument:")}));
}

TEST_F(CommandRouterTest, FocusElsewhereChangesTheAnswerer)
{
    router.setStartWidget(pane);
    EXPECT_TRUE(router.perform(QStringLiteral("copy:")));
    EXPECT_FALSE(router.perform(QStringLiteral("selectAll:"))); // only the view answers it

    // No focus and no active window: only the delegate is asked.
    router.setStartWidget(nullptr);
    ASSERT_EQ(QApplication::activeWindow(), nullptr);
    EXPECT_FALSE(router.perform(QStringLiteral("fit:")));
    EXPECT_TRUE(router.perform(QStringLiteral("saveDocument:")));
    EXPECT_EQ(log, (QStringList{QStringLiteral("volet:copy:"), QStringLiteral("délégué:saveDocument:")}));
}

TEST_F(CommandRouterTest, ValidationComesFromTheAnsweringResponderOnly)
{
    paneResponder.enabled = false; // answers fit: but cannot act now
    EXPECT_FALSE(router.validate(QStringLiteral("fit:")).enabled);
    EXPECT_FALSE(router.perform(QStringLiteral("fit:")));
    EXPECT_TRUE(log.isEmpty()); // the window, further down, is not asked instead

    EXPECT_FALSE(router.validate(QStringLiteral("exportCarte:")).enabled); // nobody answers
    windowResponder.checked = true;
    const CommandValidation v = router.validate(QStringLiteral("studioCarte:"));
    EXPECT_TRUE(v.enabled);
    EXPECT_EQ(v.checked, std::optional<bool>(true));
}

TEST_F(CommandRouterTest, BoundActionsValidateWhenTheirMenuShows)
{
    QMenu menu;
    auto* fit = menu.addAction(QStringLiteral("Ajuster le fond"));
    auto* carte = menu.addAction(QStringLiteral("Carte"));
    auto* export_ = menu.addAction(QStringLiteral("Exporter la carte…"));
    router.bind(fit, QStringLiteral("fit:"));
    router.bind(carte, QStringLiteral("studioCarte:"));
    router.bind(export_, QStringLiteral("exportCarte:"));
    router.watchMenu(&menu);

    paneResponder.enabled = false;
    windowResponder.checked = true;
    emit menu.aboutToShow();
    EXPECT_FALSE(fit->isEnabled());
    EXPECT_TRUE(carte->isEnabled());
    EXPECT_TRUE(carte->isChecked());
    EXPECT_FALSE(export_->isEnabled());

    paneResponder.enabled = true;
    windowResponder.checked = false;
    emit menu.aboutToShow();
    EXPECT_TRUE(fit->isEnabled());
    EXPECT_FALSE(carte->isChecked());

    fit->trigger();
    EXPECT_EQ(log, QStringList{QStringLiteral("volet:fit:")});
    EXPECT_EQ(CommandRouter::commandOf(fit), QStringLiteral("fit:"));
}

TEST_F(CommandRouterTest, ShortcutIsValidatedBeforeItFires)
{
    QAction action(QStringLiteral("Supprimer"));
    action.setShortcut(QKeySequence(Qt::CTRL | Qt::Key_D));
    router.bind(&action, QStringLiteral("delete:"));
    action.setEnabled(false); // stale state from an earlier validation

    QKeyEvent override_(QEvent::ShortcutOverride, Qt::Key_D, Qt::ControlModifier);
    QCoreApplication::sendEvent(view, &override_);
    EXPECT_TRUE(action.isEnabled());

    paneResponder.enabled = false;
    QKeyEvent again(QEvent::ShortcutOverride, Qt::Key_D, Qt::ControlModifier);
    QCoreApplication::sendEvent(view, &again);
    EXPECT_FALSE(action.isEnabled());
}

TEST_F(CommandRouterTest, AttachmentEndsWithItsOwner)
{
    auto* shortLived = new FakeOwner;
    FakeResponder temporary{QStringLiteral("temporaire"), {QStringLiteral("paste:")}, &log};
    router.attach(pane, &temporary, shortLived);
    EXPECT_TRUE(router.validate(QStringLiteral("paste:")).enabled);
    delete shortLived;
    EXPECT_FALSE(router.validate(QStringLiteral("paste:")).enabled);
    EXPECT_EQ(router.currentChain().size(), 5);
}

TEST_F(CommandRouterTest, DocumentAnswersUndoWithTheActionNameInTheTitle)
{
    registerFakeTypes();
    FakeTextDocument doc;
    QMainWindow docWindow;
    auto* focus = new QWidget(&docWindow);
    docWindow.setCentralWidget(focus);
    router.attach(&docWindow, &doc, &doc);
    router.setStartWidget(focus);

    QAction undo(QStringLiteral("Annuler"));
    QAction redo(QStringLiteral("Rétablir"));
    router.bind(&undo, QStringLiteral("undo:"));
    router.bind(&redo, QStringLiteral("redo:"));
    router.validateAll();
    EXPECT_FALSE(undo.isEnabled());
    EXPECT_EQ(undo.text(), QStringLiteral("Annuler"));

    doc.edit(QStringLiteral("42"), QStringLiteral("Saisir une cellule"));
    router.validateAll();
    EXPECT_TRUE(undo.isEnabled());
    EXPECT_EQ(undo.text(), QStringLiteral("Annuler Saisir une cellule"));
    EXPECT_FALSE(redo.isEnabled());

    undo.trigger();
    EXPECT_EQ(doc.text, QString());
    router.validateAll();
    EXPECT_EQ(redo.text(), QStringLiteral("Rétablir Saisir une cellule"));
    EXPECT_EQ(undo.text(), QStringLiteral("Annuler"));
}

TEST_F(CommandRouterTest, WindowControllerAndDocumentJoinTheWindowChain)
{
    registerFakeTypes();
    FakeTextDocument doc;
    auto* wc = new DocumentWindowController;
    doc.addWindowController(wc);
    QWidget* w = wc->window();
    router.setStartWidget(w);
    // The shared router is the one windows attach to.
    const QList<CommandResponder*> chain = CommandRouter::shared().chainFrom(w);
    ASSERT_FALSE(chain.isEmpty());
    EXPECT_EQ(chain.first(), static_cast<CommandResponder*>(&doc));
}

} // namespace
