#include "library/LibraryWindowController.h"

#include "mapimport/VectorImportUI.h"
#include "library/LibraryOutlineModel.h"
#include "library/LibraryOutlineView.h"
#include "library/LibraryQuickLook.h"
#include "librarystore/PlmLibraryFiles.h"

#include "model/PlmErrors.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMimeData>
#include <QUuid>

namespace {

// The paths less those inside another of them that is a folder.
QStringList topLevel(const QStringList& paths)
{
    QStringList kept;
    for (const QString& path : paths) {
        const bool nested = std::any_of(paths.cbegin(), paths.cend(), [&path](const QString& other) {
            return other != path && PlmLibraryFiles::isWithin(path, other) && QFileInfo(other).isDir();
        });
        if (!nested && !kept.contains(path))
            kept << path;
    }
    return kept;
}

} // namespace

// --- « Coup d’œil » ---------------------------------------------------------------------

void LibraryWindowController::preparePreviews()
{
    const QString previous = previewDirectory_;
    const QString folder = QDir::tempPath() + QStringLiteral("/PlmQuickLook-") + QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    if (!QDir().mkpath(folder)) {
        previewURLs_.clear();
        presentError(QStringLiteral("Le dossier temporaire des aperçus n’a pas pu être créé."));
        return;
    }
    previewDirectory_ = folder;
    previewURLs_.clear();
    int made = 0;
    for (const PlmLibraryItem& item : selectedItems()) {
        if (item.isFolder)
            continue;
        try {
            const QString sub = folder + QLatin1Char('/') + QString::number(made);
            if (!QDir().mkpath(sub))
                throw PlmError(QStringLiteral("Le dossier temporaire des aperçus n’a pas pu être créé."));
            const PlmMap map = store_.map(item.url);
            const QString file = sub + QLatin1Char('/') + item.displayName() + QStringLiteral(".pdf");
            LibraryQuickLook::writePreviewPDF(map, file);
            previewURLs_ << file;
            ++made;
        } catch (...) {
            previewURLs_.clear();
            presentError(std::current_exception());
            break;
        }
    }
    if (quickLook_)
        quickLook_->setFiles(previewURLs_);
    if (!previous.isEmpty() && previous != folder)
        QDir(previous).removeRecursively();
}

void LibraryWindowController::toggleQuickLook()
{
    if (quickLook_ && quickLook_->isVisible()) {
        quickLook_->hide();
        return;
    }
    preparePreviews();
    if (previewURLs_.isEmpty())
        return;
    if (!quickLook_) {
        quickLook_ = new LibraryQuickLook(window_);
        quickLook_->onOutlineKey = [this](QKeyEvent* event) {
            QKeyEvent copy(event->type(), event->key(), event->modifiers(), event->text());
            QCoreApplication::sendEvent(outline_, &copy);
        };
        // An existing window was handed the previews by preparePreviews(); loading them
        // again would read and lay out the first PDF twice.
        quickLook_->setFiles(previewURLs_);
    }
    quickLook_->show();
    quickLook_->raise();
    quickLook_->activateWindow();
}

// --- Drag and drop ----------------------------------------------------------------------

QString LibraryWindowController::dropDestination(const QModelIndex& proposed) const
{
    if (!proposed.isValid())
        return store_.root();
    const PlmLibraryItem item = model_->itemAt(proposed);
    return item.isFolder ? item.url : QFileInfo(item.url).absolutePath();
}

bool LibraryWindowController::canDrop(const QStringList& files) const
{
    return !files.isEmpty() && std::all_of(files.cbegin(), files.cend(), [](const QString& f) { return VectorImportUI::canImportFile(f); });
}

Qt::DropAction LibraryWindowController::validateDrop(const QMimeData* data, const QModelIndex& proposed) const
{
    const QString destination = dropDestination(proposed);
    // Rows of this library move; files from elsewhere are imported.
    const QStringList items = topLevel(LibraryOutlineModel::libraryItemURLs(data));
    if (!items.isEmpty())
        return canMove(items, destination) ? Qt::MoveAction : Qt::IgnoreAction;
    return canDrop(LibraryOutlineModel::fileURLs(data)) ? Qt::CopyAction : Qt::IgnoreAction;
}

bool LibraryWindowController::acceptDrop(const QMimeData* data, const QModelIndex& proposed)
{
    const QString destination = dropDestination(proposed);
    const QStringList items = topLevel(LibraryOutlineModel::libraryItemURLs(data));
    if (!items.isEmpty()) {
        moveItems(items, destination);
        return true;
    }
    const QStringList files = LibraryOutlineModel::fileURLs(data);
    if (files.isEmpty())
        return false;
    importFiles(files, destination); // reports later
    return true;
}

void LibraryWindowController::startDragging(const QModelIndexList& rows)
{
    QStringList paths;
    for (const QModelIndex& row : rows)
        paths << model_->itemAt(row).url;
    draggingURLs_ = topLevel(paths);
}
