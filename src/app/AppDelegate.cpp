#include "app/AppDelegate.h"

#include "app/MainMenu.h"
#include "app/PlmWorkDocument.h"
#include "app/TextFieldCommands.h"
#include "mapimport/VectorImportUI.h"
#include "library/LibraryCoordinator.h"
#include "desktop/CommandRouter.h"
#include "desktop/DialogHooks.h"
#include "desktop/Document.h"
#include "desktop/DocumentController.h"
#include "desktop/DocumentWindowController.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QMetaObject>
#include <QUrl>
#include <QWidget>

AppDelegate::AppDelegate(DocumentController* documents, QObject* parent)
    : QObject(parent)
    , documents_(documents)
    , usesSharedController_(documents == nullptr)
{
    registerCommands();
}

AppDelegate::~AppDelegate()
{
    CommandRouter& router = CommandRouter::shared();
    if (router.applicationResponder() == this)
        router.setApplicationResponder(nullptr);
}

DocumentController& AppDelegate::documentController() const
{
    if (!usesSharedController_ && documents_)
        return *documents_;
    return DocumentController::shared();
}

// --- Launch ----------------------------------------------------------------------------

void AppDelegate::applicationDidFinishLaunching()
{
    buildMainMenu();
    // Queued, so that the files handed over during launch are seen first.
    QPointer<AppDelegate> weak(this);
    QMetaObject::invokeMethod(
        this,
        [weak] {
            if (weak)
                weak->launchDefaultDocument();
        },
        Qt::QueuedConnection);
}

void AppDelegate::buildMainMenu()
{
    CommandRouter& router = CommandRouter::shared();
    router.setApplicationResponder(this);
    if (!mainMenu_) {
        mainMenu_ = std::make_unique<MainMenu>(this, router);
        mainMenu_->installOnMainWindows();
    }
    if (!textFields_)
        textFields_ = new TextFieldCommands(router, this);
}

void AppDelegate::launchDefaultDocument()
{
    if (receivedExternalOpen)
        return;
    showStudioDocument();
}

void AppDelegate::showStudioDocument()
{
    if (openingExternalDocument || restoringLastDocument)
        return;
    PlmWorkDocument* last = nullptr;
    for (Document* d : documentController().documents())
        if (auto* work = qobject_cast<PlmWorkDocument*>(d); work && !work->isClosed())
            last = work;
    if (last) {
        last->showStudioWindow(); // un-minimises it too
        return;
    }
    restoringLastDocument = true;
    QPointer<AppDelegate> weak(this);
    PlmWorkDocument::restoreLastDocument(
        [weak](bool opened) {
            if (weak)
                weak->finishRestore(opened);
        },
        documentController());
}

void AppDelegate::finishRestore(bool opened)
{
    restoringLastDocument = false;
    if (!opened && documentController().documents().isEmpty())
        showLibraryOrNewDocument();
}

bool AppDelegate::hasVisibleWindows()
{
    for (QWidget* w : QApplication::topLevelWidgets()) {
        const Qt::WindowType type = w->windowType();
        if ((type == Qt::Window || type == Qt::Dialog) && w->isVisible() && !w->isMinimized())
            return true;
    }
    return false;
}

bool AppDelegate::applicationShouldHandleReopen(bool visibleWindows)
{
    if (!visibleWindows) {
        showStudioDocument();
        return true;
    }
    // The window system does not bring a running program forward by itself here.
    QWidget* front = QApplication::activeWindow();
    if (!front) {
        const QList<QWidget*> windows = MainMenu::listedWindows();
        front = windows.isEmpty() ? nullptr : windows.last();
    }
    if (front) {
        front->raise();
        front->activateWindow();
    }
    return true;
}

void AppDelegate::handOverReceived(const QStringList& paths)
{
    if (paths.isEmpty())
        applicationShouldHandleReopen(hasVisibleWindows());
    else
        openURLs(paths);
}

// --- Files handed over -------------------------------------------------------------------

QStringList AppDelegate::filesOfArguments(const QStringList& arguments)
{
    QStringList files;
    bool optionsEnded = false;
    for (const QString& argument : arguments.mid(1)) {
        if (!optionsEnded && argument == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        if (!optionsEnded && argument.startsWith(QLatin1Char('-')))
            continue;
        QString path = argument;
        // Desktop launchers may pass addresses rather than paths.
        if (argument.startsWith(QLatin1String("file:"))) {
            const QUrl url(argument);
            if (!url.isLocalFile())
                continue;
            path = url.toLocalFile();
        } else if (argument.contains(QLatin1String("://"))) {
            continue; // a remote address: nothing to open here
        }
        if (!path.isEmpty())
            files.append(QDir::cleanPath(QFileInfo(path).absoluteFilePath()));
    }
    return files;
}

void AppDelegate::openURLs(const QStringList& paths)
{
    receivedExternalOpen = true;
    openingExternalDocument = true;
    for (const QString& path : paths)
        openExternalURLs(path);
}

void AppDelegate::openExternalURLs(const QString& path)
{
    const QString extension = QFileInfo(path).suffix().toLower();
    if (extension == LibraryCoordinator::packageExtension) {
        openingExternalDocument = false;
        LibraryCoordinator::shared().openLibrary(path);
        return;
    }
    static const QStringList documentExtensions = {QStringLiteral("plm"), QStringLiteral("plmmap")};
    if (documentExtensions.contains(extension)) {
        QPointer<AppDelegate> weak(this);
        documentController().openDocument(path, true, [weak, path](Document* document, bool alreadyOpen, const QString& error) {
            if (weak)
                weak->finishExternalOpen(document, alreadyOpen,
                                         error.isEmpty() ? error : DialogHooks::documentOpenFailure(path, error));
        });
        return;
    }
    openingExternalDocument = false;
    VectorImportUI::importFileLater(path, usesSharedController_ ? nullptr : documents_.data());
}

void AppDelegate::finishExternalOpen(Document*, bool, const QString& error)
{
    openingExternalDocument = false;
    if (error.isEmpty())
        return;
    DialogHooks::presentError(error);
    if (documentController().documents().isEmpty())
        showLibraryOrNewDocument();
}
