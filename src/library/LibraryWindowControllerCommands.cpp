#include "library/LibraryWindowController.h"

#include "library/LibraryOutlineModel.h"
#include "library/LibraryOutlineView.h"
#include "library/LibraryUndoGroup.h"
#include "librarystore/PlmLibraryFiles.h"
#include "desktop/DialogHooks.h"
#include "platform/LocalFileOpener.h"
#include "platform/UndoCommand.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QUndoStack>
#include <QVBoxLayout>
#include <memory>

namespace {

LibraryWindowController::NamePrompt& namePrompt()
{
    static LibraryWindowController::NamePrompt prompt;
    return prompt;
}

// The real name question: the title, a field of 320 by 24 points holding the proposed
// name (selected, ready to be typed over), "Valider" and "Annuler".
std::optional<QString> runNameDialog(const QString& title, const QString& defaultText, QWidget* window)
{
    QDialog dialog(window);
    dialog.setWindowTitle(title);
    dialog.setWindowModality(Qt::WindowModal);
    auto* column = new QVBoxLayout(&dialog);
    auto* label = new QLabel(title);
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    auto* field = new QLineEdit(defaultText);
    field->setMinimumSize(320, 24);
    field->selectAll();
    auto* buttons = new QDialogButtonBox;
    buttons->addButton(QStringLiteral("Valider"), QDialogButtonBox::AcceptRole)->setDefault(true);
    buttons->addButton(QStringLiteral("Annuler"), QDialogButtonBox::RejectRole);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    column->addWidget(label);
    column->addWidget(field);
    column->addWidget(buttons);
    field->setFocus();
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return field->text();
}

} // namespace

void LibraryWindowController::setNamePrompt(NamePrompt prompt)
{
    namePrompt() = std::move(prompt);
}

std::optional<QString> LibraryWindowController::askName(const QString& title, const QString& defaultText)
{
    QWidget* window = sheetWindow();
    if (namePrompt())
        return namePrompt()(title, defaultText, window);
    return runNameDialog(title, defaultText, window);
}

// --- Undo steps -------------------------------------------------------------------------

QUndoCommand* LibraryWindowController::additionStep(const QString& path, const QString& actionName)
{
    // Undo trashes the added item, redo brings it back from where undo put it.
    auto deletion = std::make_shared<std::optional<PlmLibraryDeletion>>();
    QPointer<LibraryWindowController> self(this);
    auto undo = [self, path, deletion] {
        if (!self)
            return;
        if (std::optional<PlmLibraryDeletion> trashed = self->trashAndReload(path))
            *deletion = std::move(trashed);
    };
    auto redo = [self, deletion] {
        if (!self || !*deletion)
            return;
        if (self->restoreAndReload(**deletion))
            deletion->reset();
    };
    return new FunctionUndoCommand(actionName, undo, redo);
}

QUndoCommand* LibraryWindowController::deletionStep(const PlmLibraryDeletion& deletion)
{
    // Undo restores the item; redo trashes it again (a new place in the trash each time).
    auto record = std::make_shared<PlmLibraryDeletion>(deletion);
    QPointer<LibraryWindowController> self(this);
    auto undo = [self, record] {
        if (self)
            self->restoreAndReload(*record);
    };
    auto redo = [self, record] {
        if (!self)
            return;
        if (std::optional<PlmLibraryDeletion> trashed = self->trashAndReload(record->originalURL))
            *record = std::move(*trashed);
    };
    return new FunctionUndoCommand(QStringLiteral("Supprimer"), undo, redo);
}

std::optional<PlmLibraryDeletion> LibraryWindowController::trashAndReload(const QString& path)
{
    std::optional<PlmLibraryDeletion> deletion;
    try {
        deletion = store_.trash(path);
    } catch (...) {
        presentError(std::current_exception());
    }
    reload();
    return deletion;
}

bool LibraryWindowController::restoreAndReload(const PlmLibraryDeletion& deletion)
{
    try {
        store_.restore(deletion);
        reload(deletion.originalURL);
        return true;
    } catch (...) {
        presentError(std::current_exception());
        return false;
    }
}

QUndoCommand* LibraryWindowController::moveStep(const QString& from, const QString& to, const QString& actionName)
{
    // Undo moves the item back, redo moves it again: they alternate for ever.
    QPointer<LibraryWindowController> self(this);
    auto move = [self](const QString& source, const QString& target) {
        if (!self)
            return;
        try {
            self->reload(self->store_.moveTo(source, target));
        } catch (...) {
            self->presentError(std::current_exception());
        }
    };
    return new FunctionUndoCommand(actionName, [move, from, to] { move(to, from); }, [move, from, to] { move(from, to); });
}

void LibraryWindowController::pushGroup(LibraryUndoGroup* group)
{
    if (group->isEmpty()) {
        delete group; // nothing was done: no empty « Annuler » step
        return;
    }
    undo_->push(group);
}

void LibraryWindowController::registerAddition(const QString& path, const QString& actionName)
{
    undo_->push(additionStep(path, actionName));
}

// --- Commands ---------------------------------------------------------------------------

void LibraryWindowController::openSelection(const QModelIndex& clicked)
{
    if (clicked.isValid()) {
        const PlmLibraryItem item = model_->itemAt(clicked);
        if (item.isFolder)
            outline_->setExpanded(clicked, !outline_->isExpanded(clicked));
        else
            openMap(item.url);
        return;
    }
    for (const PlmLibraryItem& item : selectedItems()) {
        if (item.isFolder)
            outline_->setExpanded(model_->indexForURL(item.url), true);
        else
            openMap(item.url);
    }
}

void LibraryWindowController::newFolder()
{
    const QString folder = selectedFolderURL().value_or(store_.root());
    const std::optional<QString> name = askName(QStringLiteral("Nouveau dossier"), QStringLiteral("Nouveau dossier"));
    if (!name)
        return;
    QString made;
    try {
        made = store_.newFolder(*name, folder);
    } catch (...) {
        presentError(std::current_exception());
        return;
    }
    registerAddition(made, QStringLiteral("Ajouter à la bibliothèque"));
    reload(made);
}

void LibraryWindowController::newMap()
{
    const QString folder = selectedFolderURL().value_or(store_.root());
    const std::optional<QString> name = askName(QStringLiteral("Nouveau fond"), QStringLiteral("Nouveau fond"));
    if (!name)
        return;
    PlmMap map;
    map.name = *name;
    QString made;
    try {
        made = store_.addMap(map, std::nullopt, folder);
    } catch (...) {
        presentError(std::current_exception());
        return;
    }
    registerAddition(made, QStringLiteral("Ajouter à la bibliothèque"));
    reload(made);
    openMap(made);
}

void LibraryWindowController::renameSelected()
{
    const QList<PlmLibraryItem> items = selectedItems();
    if (items.size() != 1)
        return;
    const PlmLibraryItem item = items.first();
    const std::optional<QString> name =
        askName(QStringLiteral("Renommer « ") + item.displayName() + QStringLiteral(" »"), item.displayName());
    if (!name)
        return;
    QString renamed;
    try {
        renamed = store_.rename(item.url, *name);
    } catch (...) {
        presentError(std::current_exception());
        return;
    }
    if (renamed != item.url)
        undo_->push(moveStep(item.url, renamed, QStringLiteral("Renommer")));
    reload(renamed);
}

void LibraryWindowController::duplicateSelected()
{
    auto* group = new LibraryUndoGroup;
    QStringList copies;
    for (const PlmLibraryItem& item : selectedTopLevelItems()) {
        try {
            const QString copy = store_.duplicate(item.url);
            group->add(additionStep(copy, QStringLiteral("Dupliquer")));
            copies << copy;
        } catch (...) {
            presentError(std::current_exception());
            break;
        }
    }
    pushGroup(group);
    reload(copies);
}

void LibraryWindowController::deleteItems(const QStringList& urls)
{
    auto* group = new LibraryUndoGroup;
    for (const QString& url : urls) {
        try {
            group->add(deletionStep(store_.trash(url)));
        } catch (...) {
            presentError(std::current_exception());
            break;
        }
    }
    pushGroup(group);
    reload();
}

void LibraryWindowController::moveItems(const QStringList& urls, const QString& destination)
{
    auto* group = new LibraryUndoGroup;
    QStringList moved;
    for (const QString& url : urls) {
        try {
            const PlmLibraryItem item = store_.item(url);
            store_.requireFolder(store_.containedURL(destination, true));
            const QString target = QDir::cleanPath(destination) + QLatin1Char('/') + QFileInfo(item.url).fileName();
            const QString result = store_.moveTo(item.url, target);
            if (result != item.url)
                group->add(moveStep(item.url, result, QStringLiteral("Déplacer")));
            moved << result;
        } catch (...) {
            presentError(std::current_exception());
            break;
        }
    }
    pushGroup(group);
    reload(moved);
}

bool LibraryWindowController::canMove(const QStringList& urls, const QString& destination) const
{
    if (urls.isEmpty())
        return false;
    const QString folder = QDir::cleanPath(destination);
    for (const QString& url : urls) {
        const QFileInfo info(url);
        if (info.absolutePath() == folder || PlmLibraryFiles::isWithin(folder, url)
            || QFileInfo::exists(folder + QLatin1Char('/') + info.fileName()))
            return false;
    }
    return true;
}

void LibraryWindowController::revealInFileManager()
{
    // The desktop's file manager opens the folder that holds the first selected item (the
    // package itself when nothing is selected).
    const QList<PlmLibraryItem> items = selectedItems();
    const QString folder = items.isEmpty() ? store_.root() : QFileInfo(items.first().url).absolutePath();
    LocalFileOpener::open(folder);
}
