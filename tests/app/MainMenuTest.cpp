#include "app/AppDelegate.h"
#include "app/MainMenu.h"
#include "app/PlmWorkDocument.h"
#include "app/StudioSplit.h"
#include "app/StudioWindowCommands.h"
#include "library/LibraryCoordinator.h"
#include "library/LibraryWindowController.h"
#include "desktop/CommandRouter.h"
#include "desktop/DialogHooks.h"
#include "desktop/DocumentController.h"
#include "platform/UserDefaults.h"

#include "support/LibraryTestSupport.h"
#include "support/WorkDocumentTestSupport.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QVBoxLayout>
#include <QWindow>
#include <gtest/gtest.h>
#include <memory>

// The key path of the window system, as the test library drives it.
Q_GUI_EXPORT void qt_handleKeyEvent(QWindow* w, QEvent::Type t, int k, Qt::KeyboardModifiers mods,
                                    const QString& text = QString(), bool autorep = false, ushort count = 1);

namespace {

// One line per item: "title|shortcut" ("title" alone without shortcut), "—" for a separator.
QStringList linesOf(const QMenu* menu)
{
    QStringList lines;
    for (const QAction* a : menu->actions()) {
        if (a->isSeparator()) {
            lines << QStringLiteral("—");
            continue;
        }
        const QString key = a->shortcut().toString(QKeySequence::PortableText);
        lines << (key.isEmpty() ? a->text() : a->text() + QLatin1Char('|') + key);
    }
    return lines;
}

// A responder that answers a fixed set of commands and records what it performed.
struct Recorder : CommandResponder {
    QStringList answers;
    QStringList disabled;
    QStringList performed;
    bool handles(const QString& c) const override { return answers.contains(c); }
    void perform(const QString& c, QObject*) override { performed << c; }
    CommandValidation validate(const QString& c, QAction*) const override
    {
        CommandValidation v;
        v.enabled = !disabled.contains(c);
        return v;
    }
};

// A window with two panes, each with its own responder attached, and a window responder.
struct PanedWindow {
    QMainWindow window;
    QLineEdit* fondView = new QLineEdit;
    QLineEdit* dataView = new QLineEdit;
    QWidget* fondPane = new QWidget;
    QWidget* dataPane = new QWidget;
    Recorder fond, data, studio;

    PanedWindow()
    {
        auto* body = new QWidget;
        auto* column = new QVBoxLayout(body);
        (new QVBoxLayout(fondPane))->addWidget(fondView);
        (new QVBoxLayout(dataPane))->addWidget(dataView);
        column->addWidget(fondPane);
        column->addWidget(dataPane);
        window.setCentralWidget(body);
        // Plain widgets: the text fields' own responders would answer copy: before the panes.
        fondView->setProperty("plmTextFieldCommands", true);
        dataView->setProperty("plmTextFieldCommands", true);
        CommandRouter& router = CommandRouter::shared();
        router.attach(fondPane, &fond, &window);
        router.attach(dataPane, &data, &window);
        router.attach(&window, &studio, &window);
    }
};

class MainMenuTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        delegate = std::make_unique<AppDelegate>(&documents);
        delegate->buildMainMenu();
        menu = delegate->mainMenu();
    }
    void TearDown() override
    {
        CommandRouter::shared().setStartWidget(nullptr);
        LibraryCoordinator::shared().closeWindows();
    }

    UserDefaults::TemporaryScope scope;
    RememberedLibrary library;
    DialogHooks::ScopedHooks hooks{DialogHooks::Hooks{[](const DialogHooks::Alert&) { return 0; }}};
    DocumentController documents;
    std::unique_ptr<AppDelegate> delegate;
    MainMenu* menu = nullptr;
};

} // namespace

TEST_F(MainMenuTest, barReadsLeftToRightWithEditionThird)
{
    std::unique_ptr<QMenuBar> bar(menu->makeMenuBar());
    QStringList titles;
    for (QAction* a : bar->actions())
        titles << a->text();
    EXPECT_EQ(titles, (QStringList{"Pelmora Studio", "Fichier", "Édition", "Présentation", "Fenêtre", "Studio", "Aide"}));
    QStringList submenuTitles;
    for (QAction* a : bar->actions())
        submenuTitles << a->menu()->property("submenuTitle").toString();
    EXPECT_EQ(submenuTitles, (QStringList{"", "", "", "", "Fenêtre", "Studio", "Aide"}));
}

TEST_F(MainMenuTest, everyMenuHasItsItemsAndShortcuts)
{
    std::unique_ptr<QMenuBar> bar(menu->makeMenuBar());
    const QList<QAction*> menus = bar->actions();
    ASSERT_EQ(menus.size(), 7);
    EXPECT_EQ(linesOf(menus[0]->menu()),
              (QStringList{"À propos de Pelmora Studio", "—", "Quitter Pelmora Studio|Ctrl+Q"}));
    EXPECT_EQ(linesOf(menus[1]->menu()),
              (QStringList{"Nouveau document|Ctrl+N", "Nouveau fond|Ctrl+Shift+N", "Ouvrir…|Ctrl+O", "Importer…|Ctrl+I",
                           "Ajouter à la bibliothèque", "—", "Créer une bibliothèque…", "Ouvrir une bibliothèque…", "—",
                           "Enregistrer|Ctrl+S", "Enregistrer sous…|Ctrl+Shift+S", "Exporter la carte…|Ctrl+Shift+E",
                           "Fermer|Ctrl+W"}));
    EXPECT_EQ(linesOf(menus[2]->menu()),
              (QStringList{"Annuler|Ctrl+Z", "Rétablir|Ctrl+Shift+Z", "—", "Couper|Ctrl+X", "Copier|Ctrl+C",
                           "Coller|Ctrl+V", "Dupliquer|Ctrl+D", "Grouper les entités|Ctrl+G",
                           "Dégrouper les entités|Ctrl+Shift+G", "Supprimer", "Tout sélectionner|Ctrl+A"}));
    EXPECT_EQ(linesOf(menus[3]->menu()),
              (QStringList{"Ajuster le fond|Ctrl+0", "Zoom avant|Ctrl++", "Zoom arrière|Ctrl+-",
                           "Afficher/Masquer la page", "Afficher les noms des entités"}));
    EXPECT_EQ(linesOf(menus[4]->menu()),
              (QStringList{"Bibliothèque|Ctrl+L", "Fonds en ligne…", "—", "Réduire|Ctrl+M", "Tout ramener au premier plan"}));
    EXPECT_EQ(linesOf(menus[5]->menu()),
              (QStringList{"Fond|Ctrl+Alt+1", "Données — panneau inférieur|Ctrl+Alt+2", "Carte|Ctrl+Alt+3", "—",
                           "Objets / Calques", "Panneau inférieur", "Inspecteur"}));
    EXPECT_EQ(linesOf(menus[6]->menu()), (QStringList{"Aide Pelmora Studio|Ctrl+?"}));
}

TEST_F(MainMenuTest, itemsNameTheirCommandsAndTargets)
{
    QStringList delegateCommands;
    QStringList all;
    for (const MainMenuSection& section : MainMenu::sections())
        for (const MainMenuItem& item : section.items)
            if (!item.title.isEmpty()) {
                all << item.command;
                if (item.targetsDelegate)
                    delegateCommands << item.command;
            }
    EXPECT_EQ(delegateCommands,
              (QStringList{"newStudioDocument:", "newFondDocument:", "openAnyDocument:", "importVector:", "createLibrary:",
                           "openLibrary:", "showLibrary:", "showOnline:", "showManual:"}));
    EXPECT_EQ(all.size(), 39);
    EXPECT_EQ(all.removeDuplicates(), 0);
    // Chain items carry their command for the router; the delegate's go to it directly.
    EXPECT_EQ(CommandRouter::commandOf(menu->action("undo:")), QStringLiteral("undo:"));
    EXPECT_TRUE(CommandRouter::commandOf(menu->action("newStudioDocument:")).isEmpty());
    // Items with no meaning on Linux are left out.
    for (const MainMenuSection& section : MainMenu::sections())
        for (const MainMenuItem& item : section.items)
            for (const char* absent : {"Services", "Masquer", "Tout afficher"})
                EXPECT_FALSE(item.title.startsWith(QString::fromUtf8(absent))) << item.title.toStdString();
}

TEST_F(MainMenuTest, everyMainWindowCarriesTheSameMenu)
{
    QMainWindow plain;
    plain.show();
    auto* bar = qobject_cast<QMenuBar*>(plain.menuWidget());
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->actions().size(), 7);
    EXPECT_TRUE(bar->actions()[1]->menu()->actions().contains(menu->action("saveDocument:")));

    QMainWindow bare;
    bare.setProperty(MainMenu::noMainMenuProperty, true);
    bare.show();
    EXPECT_EQ(bare.menuWidget(), nullptr);

    // The library window and a studio window get the same actions.
    LibraryWindowController* library = LibraryCoordinator::shared().libraryWindowController();
    ASSERT_NE(library, nullptr);
    library->showWindow();
    auto* libraryBar = qobject_cast<QMenuBar*>(library->window()->menuWidget());
    ASSERT_NE(libraryBar, nullptr);
    EXPECT_TRUE(libraryBar->actions()[2]->menu()->actions().contains(menu->action("undo:")));

    PlmWorkDocument::registerDocumentTypes();
    StudioWindowCommands::install();
    auto* document = new PlmWorkDocument;
    documents.addDocument(document);
    document->showStudioWindow();
    auto* studio = qobject_cast<QMainWindow*>(document->studioController()->window());
    ASSERT_NE(studio, nullptr);
    auto* studioBar = qobject_cast<QMenuBar*>(studio->menuWidget());
    ASSERT_NE(studioBar, nullptr);
    EXPECT_TRUE(studioBar->actions()[5]->menu()->actions().contains(menu->action("studioFond:")));
    PlmWorkDocument::setStudioWindowFactory(nullptr);
}

TEST_F(MainMenuTest, chainCommandsReachThePaneWithTheFocus)
{
    PanedWindow w;
    w.fond.answers = {"copy:", "duplicate:", "fit:"};
    w.data.answers = {"copy:", "paste:"};
    w.studio.answers = {"fit:", "toggleObjects:"};
    CommandRouter& router = CommandRouter::shared();

    router.setStartWidget(w.fondView);
    menu->action("copy:")->trigger();
    menu->action("fit:")->trigger();
    menu->action("toggleObjects:")->trigger();
    menu->action("paste:")->trigger(); // nobody on this side answers it
    EXPECT_EQ(w.fond.performed, (QStringList{"copy:", "fit:"}));
    EXPECT_EQ(w.studio.performed, (QStringList{"toggleObjects:"}));

    router.setStartWidget(w.dataView);
    menu->action("copy:")->trigger();
    menu->action("paste:")->trigger();
    menu->action("fit:")->trigger();
    EXPECT_EQ(w.data.performed, (QStringList{"copy:", "paste:"}));
    EXPECT_EQ(w.studio.performed, (QStringList{"toggleObjects:", "fit:"}));
    EXPECT_EQ(w.fond.performed.size(), 2);

    // The platform's commands end at the delegate, unless a window answers them first.
    w.studio.answers << "performMiniaturize:";
    router.setStartWidget(w.fondView);
    EXPECT_EQ(router.target("terminate:"), delegate.get());
    EXPECT_EQ(router.target("performMiniaturize:"), &w.studio);
}

TEST_F(MainMenuTest, itemsWithNoAnswererAreDisabled)
{
    PanedWindow w;
    w.fond.answers = {"fit:", "delete:"};
    w.fond.disabled = {"delete:"};
    CommandRouter& router = CommandRouter::shared();
    router.setStartWidget(w.fondView);

    std::unique_ptr<QMenuBar> bar(menu->makeMenuBar());
    QMenu* edit = bar->actions()[2]->menu();
    QMenu* view = bar->actions()[3]->menu();
    emit edit->aboutToShow();
    emit view->aboutToShow();
    EXPECT_TRUE(menu->action("fit:")->isEnabled());
    EXPECT_FALSE(menu->action("delete:")->isEnabled());       // answered, but refused now
    EXPECT_FALSE(menu->action("groupEntities:")->isEnabled()); // nobody answers
    EXPECT_FALSE(menu->action("zoomIn:")->isEnabled());
    // A disabled item does nothing when triggered.
    menu->action("delete:")->trigger();
    EXPECT_TRUE(w.fond.performed.isEmpty());

    // The delegate's items work with no document and no answerer at all.
    router.setStartWidget(nullptr);
    router.setApplicationResponder(nullptr);
    router.validateAll();
    for (const char* command : {"newStudioDocument:", "newFondDocument:", "openAnyDocument:", "importVector:",
                                "createLibrary:", "openLibrary:", "showLibrary:", "showOnline:", "showManual:"})
        EXPECT_TRUE(menu->action(command)->isEnabled()) << command;
    menu->action("showLibrary:")->trigger();
    LibraryWindowController* library = LibraryCoordinator::shared().libraryWindowController();
    ASSERT_NE(library, nullptr);
    EXPECT_TRUE(library->window()->isVisible());
}

TEST_F(MainMenuTest, typedShortcutsFireOnlyWithTheirModifiers)
{
    PanedWindow w;
    w.studio.answers = {"studioFond:", "studioData:", "studioCarte:"};
    w.window.show();
    w.window.activateWindow();
    w.fondView->setFocus();
    QCoreApplication::processEvents();
    ASSERT_NE(w.window.windowHandle(), nullptr);

    const auto type = [&](int key, Qt::KeyboardModifiers modifiers) {
        qt_handleKeyEvent(w.window.windowHandle(), QEvent::KeyPress, key, modifiers);
        qt_handleKeyEvent(w.window.windowHandle(), QEvent::KeyRelease, key, modifiers);
        QCoreApplication::processEvents();
    };
    type(Qt::Key_1, Qt::ControlModifier | Qt::AltModifier);
    type(Qt::Key_3, Qt::ControlModifier | Qt::AltModifier);
    type(Qt::Key_1, Qt::ControlModifier); // Ctrl-1 alone is no item of this menu
    EXPECT_EQ(w.studio.performed, (QStringList{"studioFond:", "studioCarte:"}));

    // A shortcut whose command is refused at that moment does not fire.
    w.studio.disabled = {"studioData:"};
    type(Qt::Key_2, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_EQ(w.studio.performed.size(), 2);
}

TEST_F(MainMenuTest, windowMenuListsTheOpenWindows)
{
    QMainWindow first;
    first.setWindowTitle(QStringLiteral("Alpes[*]"));
    first.show();
    QMainWindow second;
    second.setWindowTitle(QStringLiteral("Bretagne"));
    second.show();
    std::unique_ptr<QMenuBar> bar(menu->makeMenuBar());
    QMenu* windows = bar->actions()[4]->menu();
    emit windows->aboutToShow();
    emit windows->aboutToShow(); // listed once, however often the menu shows
    const QStringList lines = linesOf(windows);
    ASSERT_GE(lines.size(), 8);
    EXPECT_EQ(lines.mid(5, 3), (QStringList{"—", "Alpes", "Bretagne"}));
    second.hide();
    emit windows->aboutToShow();
    EXPECT_FALSE(linesOf(windows).contains(QStringLiteral("Bretagne")));
}

TEST_F(MainMenuTest, studioCommandsArriveFromEveryPane)
{
    PlmWorkDocument::registerDocumentTypes();
    StudioWindowCommands::install();
    auto* document = new PlmWorkDocument;
    document->setWork(smallWork());
    documents.addDocument(document);
    document->showStudioWindow();
    auto* studio = dynamic_cast<StudioWindowController*>(document->studioController());
    ASSERT_NE(studio, nullptr);
    CommandRouter& router = CommandRouter::shared();

    for (QWidget* const* slot : {&studio->fondContent, &studio->dataContent, &studio->carteContent}) {
        // The Carte pane is made on its first visit.
        if (slot == &studio->carteContent)
            ASSERT_TRUE(studio->switchMode(StudioWindowController::Mode::carte, true));
        QWidget* pane = *slot;
        ASSERT_NE(pane, nullptr);
        router.setStartWidget(pane);
        router.validateAll(); // as when the menu shows
        // The window's own command, from inside the pane.
        const bool hidden = studio->horizontal->isPanelHidden(0);
        menu->action("toggleObjects:")->trigger();
        EXPECT_NE(studio->horizontal->isPanelHidden(0), hidden);
        // A change undone through the menu, whoever answers it on the way to the document.
        document->updateWork(QStringLiteral("Renommer le fond"), [](PlmWork& w) { w.map.name = QStringLiteral("Autre"); });
        router.validateAll();
        EXPECT_EQ(menu->action("undo:")->text(), QStringLiteral("Annuler Renommer le fond"));
        menu->action("undo:")->trigger();
        EXPECT_EQ(document->work().map.name, QStringLiteral("Régions"));
        // The application's commands still end at the delegate.
        EXPECT_EQ(router.target("newStudioDocument:"), delegate.get());
    }
    PlmWorkDocument::setStudioWindowFactory(nullptr);
}

TEST_F(MainMenuTest, aWindowsMenuActsOnThatWindowEvenWhenNoneIsActive)
{
    PanedWindow w;
    w.data.answers = {"copy:"};
    menu->install(&w.window);
    w.dataView->setFocus(); // the window's focus child, though the window is not active
    ASSERT_EQ(QApplication::activeWindow(), nullptr);
    auto* bar = qobject_cast<QMenuBar*>(w.window.menuWidget());
    ASSERT_NE(bar, nullptr);
    QMenu* edit = bar->actions()[2]->menu();
    CommandRouter& router = CommandRouter::shared();

    emit edit->aboutToShow();
    EXPECT_TRUE(menu->action("copy:")->isEnabled());
    emit edit->aboutToHide();
    menu->action("copy:")->trigger(); // an item is performed just after its menu hides
    EXPECT_EQ(w.data.performed, (QStringList{"copy:"}));
    QCoreApplication::processEvents();
    EXPECT_EQ(router.target("copy:"), nullptr);

    // Moving on to the next menu of the bar keeps the window's chain.
    emit edit->aboutToShow();
    emit edit->aboutToHide();
    emit bar->actions()[3]->menu()->aboutToShow();
    QCoreApplication::processEvents();
    EXPECT_EQ(router.target("copy:"), &w.data);
    emit bar->actions()[3]->menu()->aboutToHide();
    QCoreApplication::processEvents();
    EXPECT_EQ(router.target("copy:"), nullptr);
}
