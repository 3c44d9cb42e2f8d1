#include "app/MainMenu.h"

#include "platform/CommandResponder.h"
#include "desktop/CommandRouter.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>
#include <algorithm>

const char* const MainMenu::noMainMenuProperty = "plmNoMainMenu";

namespace {

const char* const delegateCommandProperty = "plmDelegateCommand";
const char* const windowListProperty = "plmWindowListItem";

QKeySequence ctrl(Qt::Key key, Qt::KeyboardModifiers more = {})
{
    return QKeySequence(QKeyCombination(Qt::ControlModifier | more, key));
}

MainMenuItem chain(const QString& title, const QString& command, QList<QKeySequence> keys = {})
{
    return {title, command, std::move(keys), false};
}

MainMenuItem delegate(const QString& title, const QString& command, QList<QKeySequence> keys = {})
{
    return {title, command, std::move(keys), true};
}

MainMenuItem separator()
{
    return {};
}

// The window title without Qt's placeholder of the edited mark.
QString listedTitle(const QWidget* window)
{
    QString title = window->windowTitle();
    title.replace(QStringLiteral("[*]"), QString());
    return title.isEmpty() ? QStringLiteral("Sans titre") : title;
}

} // namespace

QList<MainMenuSection> MainMenu::sections()
{
    const QString app = QStringLiteral("Pelmora Studio");
    const auto shift = Qt::ShiftModifier;

    MainMenuSection application{app, QString(), {
        chain(QStringLiteral("À propos de Pelmora Studio"), QStringLiteral("orderFrontStandardAboutPanel:")),
        separator(),
        chain(QStringLiteral("Quitter Pelmora Studio"), QStringLiteral("terminate:"), {ctrl(Qt::Key_Q)}),
    }};

    MainMenuSection file{QStringLiteral("Fichier"), QString(), {
        delegate(QStringLiteral("Nouveau document"), QStringLiteral("newStudioDocument:"), {ctrl(Qt::Key_N)}),
        delegate(QStringLiteral("Nouveau fond"), QStringLiteral("newFondDocument:"), {ctrl(Qt::Key_N, shift)}),
        delegate(QStringLiteral("Ouvrir…"), QStringLiteral("openAnyDocument:"), {ctrl(Qt::Key_O)}),
        delegate(QStringLiteral("Importer…"), QStringLiteral("importVector:"), {ctrl(Qt::Key_I)}),
        chain(QStringLiteral("Ajouter à la bibliothèque"), QStringLiteral("addToLibrary:")),
        separator(),
        delegate(QStringLiteral("Créer une bibliothèque…"), QStringLiteral("createLibrary:")),
        delegate(QStringLiteral("Ouvrir une bibliothèque…"), QStringLiteral("openLibrary:")),
        separator(),
        chain(QStringLiteral("Enregistrer"), QStringLiteral("saveDocument:"), {ctrl(Qt::Key_S)}),
        chain(QStringLiteral("Enregistrer sous…"), QStringLiteral("saveDocumentAs:"), {ctrl(Qt::Key_S, shift)}),
        chain(QStringLiteral("Exporter la carte…"), QStringLiteral("exportCarte:"), {ctrl(Qt::Key_E, shift)}),
        chain(QStringLiteral("Fermer"), QStringLiteral("performClose:"), {ctrl(Qt::Key_W)}),
    }};

    MainMenuSection edit{QStringLiteral("Édition"), QString(), {
        chain(QStringLiteral("Annuler"), QStringLiteral("undo:"), {ctrl(Qt::Key_Z)}),
        chain(QStringLiteral("Rétablir"), QStringLiteral("redo:"), {ctrl(Qt::Key_Z, shift)}),
        separator(),
        chain(QStringLiteral("Couper"), QStringLiteral("cut:"), {ctrl(Qt::Key_X)}),
        chain(QStringLiteral("Copier"), QStringLiteral("copy:"), {ctrl(Qt::Key_C)}),
        chain(QStringLiteral("Coller"), QStringLiteral("paste:"), {ctrl(Qt::Key_V)}),
        chain(QStringLiteral("Dupliquer"), QStringLiteral("duplicate:"), {ctrl(Qt::Key_D)}),
        chain(QStringLiteral("Grouper les entités"), QStringLiteral("groupEntities:"), {ctrl(Qt::Key_G)}),
        chain(QStringLiteral("Dégrouper les entités"), QStringLiteral("ungroupEntities:"), {ctrl(Qt::Key_G, shift)}),
        chain(QStringLiteral("Supprimer"), QStringLiteral("delete:")),
        chain(QStringLiteral("Tout sélectionner"), QStringLiteral("selectAll:"), {ctrl(Qt::Key_A)}),
    }};

    // Ctrl+= is where "+" sits unshifted on most keyboards.
    MainMenuSection view{QStringLiteral("Présentation"), QString(), {
        chain(QStringLiteral("Ajuster le fond"), QStringLiteral("fit:"), {ctrl(Qt::Key_0)}),
        chain(QStringLiteral("Zoom avant"), QStringLiteral("zoomIn:"), {ctrl(Qt::Key_Plus), ctrl(Qt::Key_Equal)}),
        chain(QStringLiteral("Zoom arrière"), QStringLiteral("zoomOut:"), {ctrl(Qt::Key_Minus)}),
        chain(QStringLiteral("Afficher/Masquer la page"), QStringLiteral("togglePrintPage:")),
        chain(QStringLiteral("Afficher les noms des entités"), QStringLiteral("toggleEntityNames:")),
    }};

    MainMenuSection window{QStringLiteral("Fenêtre"), QStringLiteral("Fenêtre"), {
        delegate(QStringLiteral("Bibliothèque"), QStringLiteral("showLibrary:"), {ctrl(Qt::Key_L)}),
        delegate(QStringLiteral("Fonds en ligne…"), QStringLiteral("showOnline:")),
        separator(),
        chain(QStringLiteral("Réduire"), QStringLiteral("performMiniaturize:"), {ctrl(Qt::Key_M)}),
        chain(QStringLiteral("Tout ramener au premier plan"), QStringLiteral("arrangeInFront:")),
    }};

    // The modes take their digit from their place in the list, with Ctrl and Alt.
    MainMenuSection studio{QStringLiteral("Studio"), QStringLiteral("Studio"), {}};
    const QList<std::pair<QString, QString>> modes = {
        {QStringLiteral("Fond"), QStringLiteral("studioFond:")},
        {QStringLiteral("Données — panneau inférieur"), QStringLiteral("studioData:")},
        {QStringLiteral("Carte"), QStringLiteral("studioCarte:")},
    };
    for (int i = 0; i < modes.size(); ++i)
        studio.items.append(chain(modes[i].first, modes[i].second,
                                  {ctrl(Qt::Key(Qt::Key_1 + i), Qt::AltModifier)}));
    studio.items.append(separator());
    studio.items.append(chain(QStringLiteral("Objets / Calques"), QStringLiteral("toggleObjects:")));
    studio.items.append(chain(QStringLiteral("Panneau inférieur"), QStringLiteral("toggleBottom:")));
    studio.items.append(chain(QStringLiteral("Inspecteur"), QStringLiteral("toggleInspector:")));

    // F1 is the help key of Linux desktops.
    MainMenuSection help{QStringLiteral("Aide"), QStringLiteral("Aide"), {
        delegate(QStringLiteral("Aide Pelmora Studio"), QStringLiteral("showManual:"),
                 {ctrl(Qt::Key_Question), QKeySequence(Qt::Key_F1)}),
    }};

    return {application, file, edit, view, window, studio, help};
}

MainMenu::MainMenu(CommandResponder* delegate, CommandRouter& router, QObject* parent)
    : QObject(parent)
    , delegateObject_(dynamic_cast<QObject*>(delegate))
    , delegate_(delegate)
    , router_(router)
{
    for (const MainMenuSection& section : sections())
        for (const MainMenuItem& item : section.items)
            if (!item.title.isEmpty())
                makeAction(item);
}

MainMenu::~MainMenu()
{
    if (watching_ && qApp)
        qApp->removeEventFilter(this);
}

QAction* MainMenu::makeAction(const MainMenuItem& item)
{
    auto* action = new QAction(item.title, this);
    action->setShortcuts(item.shortcuts);
    action->setObjectName(item.command);
    if (item.targetsDelegate) {
        action->setProperty(delegateCommandProperty, item.command);
        const QString command = item.command;
        connect(action, &QAction::triggered, this, [this, command, action] {
            if (delegate_ && delegateObject_)
                delegate_->perform(command, action);
        });
    } else {
        router_.bind(action, item.command);
    }
    actions_.append(action);
    byCommand_.insert(item.command, action);
    return action;
}

QAction* MainMenu::action(const QString& command) const
{
    return byCommand_.value(command);
}

QMenuBar* MainMenu::makeMenuBar(QWidget* parent)
{
    auto* bar = new QMenuBar(parent);
    bar->setObjectName(QStringLiteral("MainMenu"));
    for (const MainMenuSection& section : sections()) {
        QMenu* menu = bar->addMenu(section.title);
        menu->setObjectName(section.title);
        // A menu's own title is its entry in the bar; the submenu's title is kept beside it.
        menu->setProperty("submenuTitle", section.submenuTitle);
        for (const MainMenuItem& item : section.items) {
            if (item.title.isEmpty())
                menu->addSeparator();
            else
                menu->addAction(byCommand_.value(item.command));
        }
        // The bar belongs to its window: while its menu is open, commands start from what has
        // the focus in that window, whatever the window system says is active (a popup takes
        // the application's focus, and without a window manager no window may be active).
        connect(menu, &QMenu::aboutToShow, this, [this, bar] { beginMenuTracking(bar); });
        connect(menu, &QMenu::aboutToHide, this, [this] { endMenuTracking(); });
        router_.watchMenu(menu);
        if (section.submenuTitle == QStringLiteral("Fenêtre"))
            connect(menu, &QMenu::aboutToShow, this, [this, menu] { fillWindowList(menu); });
    }
    return bar;
}

void MainMenu::beginMenuTracking(QMenuBar* bar)
{
    QWidget* window = bar->parentWidget() ? bar->window() : nullptr;
    if (!window)
        return;
    QWidget* start = window->focusWidget();
    router_.setStartWidget(start ? start : window);
    tracking_ = true;
    ++trackingGeneration_;
}

void MainMenu::endMenuTracking()
{
    if (!tracking_)
        return;
    // The chosen item is performed right after its menu hides: keep the start until then.
    // Moving to the next menu of the bar begins a new tracking before this one ends.
    const quint64 generation = trackingGeneration_;
    QTimer::singleShot(0, this, [this, generation] {
        if (!tracking_ || generation != trackingGeneration_)
            return;
        tracking_ = false;
        router_.setStartWidget(nullptr);
    });
}

void MainMenu::install(QMainWindow* window)
{
    if (!window || window->menuWidget() || window->property(noMainMenuProperty).toBool())
        return;
    window->setMenuBar(makeMenuBar(window));
}

void MainMenu::installOnMainWindows()
{
    if (watching_ || !qApp)
        return;
    watching_ = true;
    qApp->installEventFilter(this);
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* main = qobject_cast<QMainWindow*>(w); main && main->isVisible())
            install(main);
}

bool MainMenu::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Show && watched->isWidgetType()) {
        auto* main = qobject_cast<QMainWindow*>(watched);
        if (main && main->isWindow())
            install(main);
    }
    return QObject::eventFilter(watched, event);
}

QList<QWidget*> MainMenu::listedWindows()
{
    QList<QWidget*> windows;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (qobject_cast<QMainWindow*>(w) && w->isVisible())
            windows.append(w);
    std::stable_sort(windows.begin(), windows.end(), [](QWidget* a, QWidget* b) {
        return QString::localeAwareCompare(listedTitle(a), listedTitle(b)) < 0;
    });
    return windows;
}

void MainMenu::fillWindowList(QMenu* menu)
{
    // The platform lists the open windows at the end of the windows menu.
    for (QAction* a : menu->actions())
        if (a->property(windowListProperty).toBool())
            delete a;
    const QList<QWidget*> windows = listedWindows();
    if (windows.isEmpty())
        return;
    QAction* line = menu->addSeparator();
    line->setProperty(windowListProperty, true);
    QWidget* active = QApplication::activeWindow();
    for (QWidget* w : windows) {
        QAction* item = menu->addAction(listedTitle(w));
        item->setProperty(windowListProperty, true);
        item->setCheckable(true);
        item->setChecked(w == active);
        QPointer<QWidget> target(w);
        connect(item, &QAction::triggered, this, [target] {
            if (!target)
                return;
            if (target->isMinimized())
                target->showNormal();
            target->raise();
            target->activateWindow();
        });
    }
}
