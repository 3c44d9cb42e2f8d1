#include "library/LibraryWindowController.h"

#include "inspector/InspectorIcon.h"
#include "library/LibraryCoordinator.h"
#include "library/LibraryOutlineModel.h"
#include "library/LibraryOutlineView.h"
#include "library/LibraryQuickLook.h"
#include "desktop/CommandRouter.h"

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QToolBar>
#include <QToolButton>
#include <QUndoStack>

namespace {

// The commands of the window, as the toolbar, the menus and the command chain name them.
const QStringList& libraryCommands()
{
    static const QStringList commands = {
        QStringLiteral("openSelected:"),   QStringLiteral("openDocument:"),    QStringLiteral("newFolder:"),
        QStringLiteral("newMap:"),         QStringLiteral("importMaps:"),      QStringLiteral("showOnline:"),
        QStringLiteral("renameSelected:"), QStringLiteral("duplicate:"),       QStringLiteral("duplicateSelected:"),
        QStringLiteral("deleteSelected:"), QStringLiteral("delete:"),          QStringLiteral("moveToFolder:"),
        QStringLiteral("undo:"),           QStringLiteral("redo:"),            QStringLiteral("revealInFinder:"),
        QStringLiteral("quickLook:"),      QStringLiteral("createLibrary:"),   QStringLiteral("openLibrary:"),
        QStringLiteral("migrateLibrary:"),
    };
    return commands;
}

const char* const commandProperty = "libraryCommand";

} // namespace

// --- Toolbar ----------------------------------------------------------------------------

void LibraryWindowController::buildToolbar()
{
    toolbar_ = new QToolBar(QStringLiteral("Bibliothèque"));
    toolbar_->setObjectName(QStringLiteral("Bibliothèque"));
    toolbar_->setMovable(false);
    toolbar_->setFloatable(false);
    toolbar_->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    toolbar_->setIconSize(QSize(22, 22));
    window_->addToolBar(Qt::TopToolBarArea, toolbar_);

    // The library pull-down: the coordinator's create, open and copy commands.
    auto* libraryButton = new QToolButton;
    libraryButton->setObjectName(QStringLiteral("library"));
    libraryButton->setText(QStringLiteral("Bibliothèque"));
    libraryButton->setToolTip(QStringLiteral("Bibliothèque"));
    libraryButton->setIcon(InspectorIcon::symbol(QStringLiteral("books.vertical")));
    libraryButton->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    libraryButton->setPopupMode(QToolButton::InstantPopup);
    auto* libraryMenu = new QMenu(QStringLiteral("Bibliothèque"), libraryButton);
    for (const auto& [title, command] : {std::pair{QStringLiteral("Créer une bibliothèque…"), QStringLiteral("createLibrary:")},
                                         std::pair{QStringLiteral("Ouvrir une bibliothèque…"), QStringLiteral("openLibrary:")},
                                         std::pair{QStringLiteral("Copier l\u2019ancienne bibliothèque…"),
                                                   QStringLiteral("migrateLibrary:")}}) {
        QAction* action = libraryMenu->addAction(title);
        action->setProperty(commandProperty, command);
        const QString name = command; // a copy the lambda owns
        connect(action, &QAction::triggered, this, [this, name] { perform(name, nullptr); });
    }
    libraryButton->setMenu(libraryMenu);
    toolbar_->addWidget(libraryButton);

    const auto addCommand = [this](const QString& id, const QString& label, const QString& symbol, const QString& command) {
        QAction* action = toolbar_->addAction(InspectorIcon::symbol(symbol), label);
        action->setObjectName(id);
        action->setToolTip(label);
        action->setProperty(commandProperty, command);
        connect(action, &QAction::triggered, this, [this, command] { perform(command, nullptr); });
    };
    addCommand(QStringLiteral("folder"), QStringLiteral("Nouveau dossier"), QStringLiteral("folder.badge.plus"),
               QStringLiteral("newFolder:"));
    addCommand(QStringLiteral("map"), QStringLiteral("Nouveau fond"), QStringLiteral("doc.badge.plus"), QStringLiteral("newMap:"));
    addCommand(QStringLiteral("import"), QStringLiteral("Importer un fond…"), QStringLiteral("plus"), QStringLiteral("importMaps:"));
    addCommand(QStringLiteral("online"), QStringLiteral("Fonds en ligne…"), QStringLiteral("globe"), QStringLiteral("showOnline:"));

    auto* actionsButton = new QToolButton;
    actionsButton->setObjectName(QStringLiteral("actions"));
    actionsButton->setText(QStringLiteral("Actions"));
    actionsButton->setToolTip(QStringLiteral("Actions"));
    actionsButton->setIcon(InspectorIcon::symbol(QStringLiteral("ellipsis.circle")));
    actionsButton->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    actionsButton->setPopupMode(QToolButton::InstantPopup);
    actionsMenu_ = new QMenu(QStringLiteral("Actions"), actionsButton);
    connect(actionsMenu_, &QMenu::aboutToShow, this, [this] { fillMenu(actionsMenu_, false); });
    actionsButton->setMenu(actionsMenu_);
    toolbar_->addWidget(actionsButton);

    auto* spacer = new QWidget;
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    toolbar_->addWidget(spacer);

    search_ = new QLineEdit;
    search_->setObjectName(QStringLiteral("search"));
    search_->setPlaceholderText(QStringLiteral("Rechercher dans la bibliothèque"));
    search_->setToolTip(QStringLiteral("Recherche"));
    search_->setClearButtonEnabled(true);
    search_->setMinimumWidth(220);
    search_->setMaximumWidth(320);
    connect(search_, &QLineEdit::textChanged, this, [this] { reload(); });
    toolbar_->addWidget(search_);

    // The window answers the commands of the main menu (Édition › Annuler among them).
    CommandRouter::shared().attach(window_, this, this);
}

// --- Menus ------------------------------------------------------------------------------

void LibraryWindowController::fillMenu(QMenu* menu, bool isContextMenu)
{
    menu->clear();
    if (isContextMenu) {
        const QModelIndex clicked = outline_->indexAt(outline_->viewport()->mapFromGlobal(QCursor::pos()));
        if (clicked.isValid() && !outline_->selectionModel()->isSelected(clicked))
            select({model_->itemAt(clicked).url});
    }
    const auto add = [this](QMenu* into, const QString& title, const QString& command, const QVariant& object = {}) {
        QAction* action = into->addAction(title);
        action->setProperty(commandProperty, command);
        action->setData(object);
        const CommandValidation v = validate(command, action);
        action->setEnabled(v.enabled);
        connect(action, &QAction::triggered, this, [this, action, command] { perform(command, action); });
        return action;
    };
    add(menu, QStringLiteral("Ouvrir"), QStringLiteral("openSelected:"));
    add(menu, QStringLiteral("Coup d\u2019œil"), QStringLiteral("quickLook:"));
    menu->addSeparator();
    add(menu, QStringLiteral("Nouveau dossier…"), QStringLiteral("newFolder:"));
    add(menu, QStringLiteral("Nouveau fond…"), QStringLiteral("newMap:"));
    add(menu, QStringLiteral("Importer des fonds…"), QStringLiteral("importMaps:"));
    add(menu, QStringLiteral("Fonds en ligne…"), QStringLiteral("showOnline:"));
    menu->addSeparator();
    add(menu, QStringLiteral("Renommer…"), QStringLiteral("renameSelected:"));
    QMenu* moveMenu = menu->addMenu(QStringLiteral("Déplacer vers"));
    add(moveMenu, QStringLiteral("Racine de la bibliothèque"), QStringLiteral("moveToFolder:"), store_.root());
    try {
        fillMoveMenu(moveMenu, store_.tree());
    } catch (...) {
        presentError(std::current_exception());
    }
    add(menu, QStringLiteral("Dupliquer"), QStringLiteral("duplicateSelected:"));
    add(menu, QStringLiteral("Placer dans la Corbeille"), QStringLiteral("deleteSelected:"));
    menu->addSeparator();
    add(menu, QStringLiteral("Afficher dans le gestionnaire de fichiers"), QStringLiteral("revealInFinder:"));
}

void LibraryWindowController::fillMoveMenu(QMenu* menu, const QList<PlmLibraryItem>& folders)
{
    for (const PlmLibraryItem& folder : folders) {
        if (!folder.isFolder)
            continue;
        QMenu* sub = menu->addMenu(folder.displayName());
        QAction* into = sub->addAction(QStringLiteral("Dans « ") + folder.displayName() + QStringLiteral(" »"));
        into->setProperty(commandProperty, QStringLiteral("moveToFolder:"));
        into->setData(folder.url);
        into->setEnabled(validate(QStringLiteral("moveToFolder:"), into).enabled);
        connect(into, &QAction::triggered, this, [this, into] { perform(QStringLiteral("moveToFolder:"), into); });
        fillMoveMenu(sub, folder.children);
    }
}

// --- The command chain ------------------------------------------------------------------

bool LibraryWindowController::handles(const QString& command) const
{
    return libraryCommands().contains(command);
}

CommandValidation LibraryWindowController::validate(const QString& command, QAction* action) const
{
    CommandValidation v;
    const QList<PlmLibraryItem> selected = selectedItems();
    if (command == QLatin1String("openSelected:") || command == QLatin1String("openDocument:")
        || command == QLatin1String("duplicate:") || command == QLatin1String("duplicateSelected:")
        || command == QLatin1String("deleteSelected:") || command == QLatin1String("delete:")) {
        v.enabled = !selected.isEmpty();
    } else if (command == QLatin1String("renameSelected:")) {
        v.enabled = selected.size() == 1;
    } else if (command == QLatin1String("quickLook:")) {
        v.enabled = std::any_of(selected.cbegin(), selected.cend(), [](const PlmLibraryItem& i) { return !i.isFolder; });
    } else if (command == QLatin1String("moveToFolder:")) {
        const QVariant object = action ? action->data() : QVariant();
        QStringList urls;
        for (const PlmLibraryItem& item : selectedTopLevelItems())
            urls << item.url;
        v.enabled = object.typeId() == QMetaType::QString && canMove(urls, object.toString());
    } else if (command == QLatin1String("undo:")) {
        v.enabled = undo_->canUndo();
        v.title = v.enabled && !undo_->undoText().isEmpty() ? QStringLiteral("Annuler ") + undo_->undoText()
                                                             : QStringLiteral("Annuler");
    } else if (command == QLatin1String("redo:")) {
        v.enabled = undo_->canRedo();
        v.title = v.enabled && !undo_->redoText().isEmpty() ? QStringLiteral("Rétablir ") + undo_->redoText()
                                                             : QStringLiteral("Rétablir");
    }
    return v;
}

void LibraryWindowController::perform(const QString& command, QObject* sender)
{
    if (!validate(command, qobject_cast<QAction*>(sender)).enabled)
        return;
    LibraryCoordinator* coordinator = qobject_cast<LibraryCoordinator*>(parent());
    if (!coordinator)
        coordinator = &LibraryCoordinator::shared();
    QStringList topLevel;
    for (const PlmLibraryItem& item : selectedTopLevelItems())
        topLevel << item.url;

    if (command == QLatin1String("openSelected:") || command == QLatin1String("openDocument:"))
        openSelection({});
    else if (command == QLatin1String("newFolder:"))
        newFolder();
    else if (command == QLatin1String("newMap:"))
        newMap();
    else if (command == QLatin1String("importMaps:"))
        importMaps();
    else if (command == QLatin1String("showOnline:"))
        showOnline();
    else if (command == QLatin1String("renameSelected:"))
        renameSelected();
    else if (command == QLatin1String("duplicate:") || command == QLatin1String("duplicateSelected:"))
        duplicateSelected();
    else if (command == QLatin1String("deleteSelected:") || command == QLatin1String("delete:"))
        deleteItems(topLevel);
    else if (command == QLatin1String("moveToFolder:"))
        moveItems(topLevel, qobject_cast<QAction*>(sender)->data().toString());
    else if (command == QLatin1String("undo:"))
        undo_->undo();
    else if (command == QLatin1String("redo:"))
        undo_->redo();
    else if (command == QLatin1String("revealInFinder:"))
        revealInFileManager();
    else if (command == QLatin1String("quickLook:"))
        toggleQuickLook();
    else if (command == QLatin1String("createLibrary:"))
        coordinator->createLibrary(std::nullopt);
    else if (command == QLatin1String("openLibrary:"))
        coordinator->chooseLibrary();
    else if (command == QLatin1String("migrateLibrary:"))
        coordinator->migrateLibrary();
}

void LibraryWindowController::showOnline()
{
    LibraryCoordinator* coordinator = qobject_cast<LibraryCoordinator*>(parent());
    if (!coordinator)
        coordinator = &LibraryCoordinator::shared();
    coordinator->showOnline(selectedFolderURL(), false);
}
