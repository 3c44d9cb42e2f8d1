#pragma once

#include <QHash>
#include <QKeySequence>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

class CommandResponder;
class CommandRouter;
class QAction;
class QMainWindow;
class QMenu;
class QMenuBar;
class QWidget;

// One item of the main menu.
struct MainMenuItem {
    QString title;                  // empty for a separator
    QString command;                // the action's name, as "saveDocument:"
    QList<QKeySequence> shortcuts;  // the first is the item's own; any other is a Linux habit
    bool targetsDelegate = false;   // sent to the application delegate, else along the chain
};

// One menu of the bar.
struct MainMenuSection {
    QString title;        // in the bar
    QString submenuTitle; // the submenu's own title, empty when untitled
    QList<MainMenuItem> items;
};

// The French main menu. Linux gives every window its own menu bar, so each main window gets a
// bar of its own built from one shared set of actions: a shortcut is one action, whichever
// window is active. Items aimed at the delegate go straight to it and are always enabled;
// the others are bound to the command router, which validates them before a menu shows and
// before a shortcut fires.
class MainMenu : public QObject {
    Q_OBJECT
public:
    // The menus, left to right, with their items top to bottom.
    static QList<MainMenuSection> sections();

    // Set on a main window that must carry no menu bar.
    static const char* const noMainMenuProperty;

    MainMenu(CommandResponder* delegate, CommandRouter& router, QObject* parent = nullptr);
    ~MainMenu() override;

    QAction* action(const QString& command) const;
    QList<QAction*> actions() const { return actions_; }

    // A new menu bar with every menu (owned by the parent).
    QMenuBar* makeMenuBar(QWidget* parent = nullptr);
    // Gives the window its menu bar unless it has one or opted out.
    void install(QMainWindow* window);
    // From now on, every main window gets its menu bar as it first shows.
    void installOnMainWindows();

    // Visible top-level main windows in the order the "Fenêtre" menu lists them.
    static QList<QWidget*> listedWindows();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QAction* makeAction(const MainMenuItem& item);
    void fillWindowList(QMenu* menu);
    void beginMenuTracking(QMenuBar* bar);
    void endMenuTracking();

    QPointer<QObject> delegateObject_;
    CommandResponder* delegate_ = nullptr;
    CommandRouter& router_;
    QList<QAction*> actions_;
    QHash<QString, QAction*> byCommand_;
    bool watching_ = false;
    bool tracking_ = false;
    quint64 trackingGeneration_ = 0;
};
