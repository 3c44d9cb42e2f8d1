#include "library/LibraryWindowController.h"

#include "platform/CommandRouter.h"
#include "platform/DialogHooks.h"
#include "platform/DocumentController.h"
#include "platform/UndoCommand.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QUndoStack>
#include <QVBoxLayout>
#include <memory>

namespace {

const char* const commandProperty = "libraryCommand";
constexpr int pathRole = Qt::UserRole;
constexpr int folderRole = Qt::UserRole + 1;

LibraryWindowController::MapOpener& mapOpener()
{
    static LibraryWindowController::MapOpener opener;
    return opener;
}

QString sentenceOf(const std::exception& error)
{
    return QString::fromUtf8(error.what());
}

} // namespace

LibraryWindowController::LibraryWindowController(const PlmLibraryStore& store, QObject* parent)
    : QObject(parent)
    , store_(store)
    , undo_(new QUndoStack(this))
{
}

LibraryWindowController::~LibraryWindowController()
{
    delete window_.data();
}

void LibraryWindowController::setMapOpener(MapOpener opener)
{
    mapOpener() = std::move(opener);
}

QMainWindow* LibraryWindowController::window()
{
    if (!window_)
        buildWindow();
    return window_;
}

void LibraryWindowController::buildWindow()
{
    window_ = new QMainWindow;
    window_->setObjectName(QStringLiteral("Bibliothèque"));
    window_->setWindowTitle(QStringLiteral("Bibliothèque — ") + QFileInfo(store_.root()).completeBaseName());
    window_->resize(560, 480);

    auto* body = new QWidget;
    auto* column = new QVBoxLayout(body);
    column->setContentsMargins(16, 16, 16, 16);
    column->setSpacing(10);

    outline_ = new QTreeWidget;
    outline_->setObjectName(QStringLiteral("Bibliothèque-liste"));
    outline_->setHeaderHidden(true);
    outline_->setColumnCount(1);
    outline_->setSelectionMode(QAbstractItemView::SingleSelection);
    connect(outline_, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item, int) { itemActivated(item); });
    connect(outline_, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item, int) { itemActivated(item); });
    column->addWidget(outline_, 1);

    message_ = new QLabel;
    message_->setObjectName(QStringLiteral("Library.Message"));
    message_->setWordWrap(true);
    message_->hide();
    column->addWidget(message_);

    auto* row = new QHBoxLayout;
    row->addStretch(1);
    const QList<std::pair<QString, QString>> buttons = {
        {QStringLiteral("Nouveau document"), QStringLiteral("newStudioDocument:")},
        {QStringLiteral("Nouveau fond"), QStringLiteral("newFondDocument:")},
        {QStringLiteral("Ouvrir…"), QStringLiteral("openAnyDocument:")},
    };
    for (const auto& entry : buttons) {
        const QString command = entry.second;   // a named copy: clang before 16 cannot capture a binding
        auto* button = new QPushButton(entry.first);
        button->setProperty(commandProperty, command);
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this, [this, command] { send(command); });
        row->addWidget(button);
    }
    column->addLayout(row);
    window_->setCentralWidget(body);
    reload();
}

QPushButton* LibraryWindowController::button(const QString& command) const
{
    if (!window_)
        return nullptr;
    for (QPushButton* b : window_->findChildren<QPushButton*>())
        if (b->property(commandProperty).toString() == command)
            return b;
    return nullptr;
}

void LibraryWindowController::send(const QString& command)
{
    // The buttons reach the application delegate through the command chain of this window.
    QWidget* start = button(command);
    for (CommandResponder* responder : CommandRouter::shared().chainFrom(start)) {
        if (!responder->handles(command))
            continue;
        if (responder->validate(command, nullptr).enabled)
            responder->perform(command, start);
        return;
    }
}

void LibraryWindowController::showWindow()
{
    QMainWindow* w = window();
    if (w->isMinimized())
        w->showNormal();
    w->show();
    w->raise();
    w->activateWindow();
}

void LibraryWindowController::close()
{
    if (window_)
        window_->hide();
}

void LibraryWindowController::fill(QTreeWidgetItem* parent, const QList<PlmLibraryItem>& items,
                                   const std::optional<QString>& selecting)
{
    for (const PlmLibraryItem& item : items) {
        auto* row = new QTreeWidgetItem;
        row->setText(0, item.displayName());
        row->setData(0, pathRole, item.url);
        row->setData(0, folderRole, item.isFolder);
        row->setToolTip(0, item.url);
        if (parent)
            parent->addChild(row);
        else
            outline_->addTopLevelItem(row);
        fill(row, item.children, selecting);
        if (selecting && *selecting == item.url) {
            outline_->setCurrentItem(row);
            for (QTreeWidgetItem* up = row->parent(); up; up = up->parent())
                up->setExpanded(true);
        }
    }
}

void LibraryWindowController::reload(const std::optional<QString>& selecting)
{
    if (!outline_) {
        window();
        if (!selecting)
            return; // buildWindow() has just filled it
    }
    outline_->clear();
    try {
        const QList<PlmLibraryItem> items = store_.tree();
        fill(nullptr, items, selecting);
        message_->setVisible(items.isEmpty());
        message_->setText(items.isEmpty() ? QStringLiteral("La bibliothèque est vide. Ajoutez-y un fond depuis le studio.")
                                          : QString());
    } catch (const std::exception& error) {
        message_->setText(sentenceOf(error));
        message_->show();
    }
}

std::optional<QString> LibraryWindowController::selectedItemURL() const
{
    if (!outline_ || !outline_->currentItem())
        return std::nullopt;
    return outline_->currentItem()->data(0, pathRole).toString();
}

std::optional<QString> LibraryWindowController::selectedFolderURL() const
{
    QTreeWidgetItem* current = outline_ ? outline_->currentItem() : nullptr;
    if (!current)
        return store_.root();
    if (current->data(0, folderRole).toBool())
        return current->data(0, pathRole).toString();
    if (QTreeWidgetItem* parent = current->parent())
        return parent->data(0, pathRole).toString();
    return store_.root();
}

void LibraryWindowController::itemActivated(QTreeWidgetItem* item)
{
    if (!item || item->data(0, folderRole).toBool())
        return;
    openMap(item->data(0, pathRole).toString());
}

void LibraryWindowController::openMap(const QString& path)
{
    // The item check keeps the opening inside the library, whatever the outline still shows.
    QString checked;
    try {
        const PlmLibraryItem item = store_.item(path);
        if (item.isFolder)
            return;
        checked = item.url;
    } catch (const std::exception& error) {
        DialogHooks::presentError(sentenceOf(error), window_);
        return;
    }
    if (mapOpener()) {
        mapOpener()(checked);
        return;
    }
    QPointer<QMainWindow> owner = window_;
    DocumentController::shared().openDocument(checked, true, [owner](Document*, bool, const QString& error) {
        if (!error.isEmpty())
            DialogHooks::presentError(error, owner);
    });
}

void LibraryWindowController::registerAddition(const QString& path, const QString& actionName)
{
    // The deletion record is shared by undo and redo: undo trashes the file, redo restores it.
    auto deletion = std::make_shared<std::optional<PlmLibraryDeletion>>();
    const PlmLibraryStore store = store_;
    QPointer<LibraryWindowController> self(this);
    auto undo = [store, path, deletion, self] {
        try {
            *deletion = store.trash(path);
        } catch (const std::exception& error) {
            DialogHooks::presentError(sentenceOf(error), self ? self->window_ : nullptr);
        }
        if (self)
            self->reload();
    };
    auto redo = [store, deletion, self] {
        if (!*deletion)
            return;
        try {
            store.restore(**deletion);
            const QString restored = (*deletion)->originalURL;
            deletion->reset();
            if (self)
                self->reload(restored);
        } catch (const std::exception& error) {
            DialogHooks::presentError(sentenceOf(error), self ? self->window_ : nullptr);
        }
    };
    undo_->push(new FunctionUndoCommand(actionName, undo, redo));
}
