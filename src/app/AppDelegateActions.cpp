#include "app/AppDelegate.h"

#include "app/PlmWorkDocument.h"
#include "app/StudioWindowController.h"
#include "mapimport/VectorImportUI.h"
#include "library/LibraryCoordinator.h"
#include "library/LibraryWindowController.h"
#include "model/PlmWork.h"
#include "online/OnlineWindowController.h"
#include "desktop/DialogHooks.h"
#include "desktop/Document.h"
#include "desktop/DocumentController.h"
#include "platform/LocalFileOpener.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

std::optional<QString>& manualPathOverride()
{
    static std::optional<QString> path;
    return path;
}

} // namespace

QString AppDelegate::openPanelTitle()
{
    return QStringLiteral("Ouvrir un fond ou un document");
}

QString AppDelegate::manualUnavailableMessage()
{
    return QStringLiteral("Le manuel local n’a pas pu être ouvert.");
}

// --- New documents and the open panel ------------------------------------------------------

void AppDelegate::switchToFondMode(Document* document)
{
    auto* work = qobject_cast<PlmWorkDocument*>(document);
    if (!work)
        return;
    if (auto* studio = dynamic_cast<StudioWindowController*>(work->studioController()))
        studio->switchMode(StudioWindowController::Mode::fond, false);
}

void AppDelegate::newStudioDocument()
{
    DocumentController& documents = documentController();
    QString error;
    Document* document = documents.makeUntitledDocument(PlmWorkDocument::plmType, &error);
    if (!document) {
        DialogHooks::presentError(error);
        return;
    }
    documents.addDocument(document);
    document->makeWindowControllers();
    document->showWindows();
    switchToFondMode(document);
}

void AppDelegate::newFondDocument()
{
    auto* document = new PlmWorkDocument;
    PlmWork work;
    work.map = PlmMap(QStringLiteral("Nouveau fond"), PlmEntityList(),
                      {{QStringLiteral("studio.authored"), QStringLiteral("true")}});
    document->setWork(work);
    // Saved as ".plmmap" by default.
    document->setFileType(PlmWorkDocument::plmMapType());
    documentController().addDocument(document);
    document->makeWindowControllers();
    document->showStudioWindow();
    switchToFondMode(document);
}

void AppDelegate::openAnyDocument()
{
    DialogHooks::OpenPanelRequest panel;
    VectorImportUI::configureOpenPanel(panel);
    panel.title = openPanelTitle();
    panel.allowsMultipleSelection = true;
    panel.prompt = QStringLiteral("Ouvrir");
    panel.filters = {{QString(), QStringLiteral("Documents Pelmora"),
                      {QStringLiteral("plm"), QStringLiteral("plmmap"), QStringLiteral("plmlibrary")}},
                     VectorImportUI::baseMapFiles()};
    panel.folderKey = QStringLiteral("OpenPanel.Documents.Folder");
    const std::optional<QStringList> chosen = DialogHooks::runOpenPanel(panel);
    if (!chosen)
        return;
    for (const QString& path : *chosen)
        openExternalURLs(path);
}

void AppDelegate::importVector()
{
    VectorImportUI::importBaseMap(usesSharedController_ ? nullptr : documents_.data());
}

// --- Library and online catalogue -----------------------------------------------------------

namespace {

// The library window's controller, or none after the reason it is unavailable was presented.
LibraryWindowController* libraryWindowControllerOrPresentUnavailable(LibraryCoordinator& coordinator)
{
    try {
        return coordinator.libraryWindowController();
    } catch (...) {
        coordinator.presentUnavailable(std::current_exception());
        return nullptr;
    }
}

} // namespace

bool AppDelegate::showLibraryWindow()
{
    LibraryCoordinator& coordinator = LibraryCoordinator::shared();
    LibraryWindowController* controller = libraryWindowControllerOrPresentUnavailable(coordinator);
    if (!controller)
        return false;
    controller->reload(std::nullopt);
    controller->showWindow();
    return true;
}

void AppDelegate::showLibraryOrNewDocument()
{
    // Without a menu bar of its own the program would otherwise run on with nothing on screen.
    if (!showLibraryWindow() && documentController().documents().isEmpty())
        newStudioDocument();
}

void AppDelegate::presentOnlineCatalogue()
{
    LibraryCoordinator& coordinator = LibraryCoordinator::shared();
    LibraryWindowController* controller = libraryWindowControllerOrPresentUnavailable(coordinator);
    if (!controller)
        return;
    coordinator.onlineWindowController()->present(controller->selectedFolderURL(), false);
}

void AppDelegate::createLibrary()
{
    LibraryCoordinator::shared().createLibrary(std::nullopt);
}

void AppDelegate::openLibrary()
{
    LibraryCoordinator::shared().chooseLibrary();
}

void AppDelegate::migrateLibrary()
{
    LibraryCoordinator::shared().migrateOldLibrary();
}

// --- The manual ----------------------------------------------------------------------------------

QString AppDelegate::manualPath()
{
    if (manualPathOverride())
        return *manualPathOverride();
    const QString name = QStringLiteral("pelmora-studio/Manuel.html");
    const QString beside = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("../share/") + name);
    if (QFileInfo(beside).isFile())
        return QDir::cleanPath(QFileInfo(beside).absoluteFilePath());
    return QStandardPaths::locate(QStandardPaths::GenericDataLocation, name);
}

void AppDelegate::setManualPathOverride(std::optional<QString> path)
{
    manualPathOverride() = std::move(path);
}

void AppDelegate::showManual()
{
    const auto unavailable = [] {
        DialogHooks::Alert alert;
        alert.message = manualUnavailableMessage();
        DialogHooks::runAlert(alert);
    };
    const QString path = manualPath();
    if (path.isEmpty() || !QFileInfo(path).isFile()) {
        unavailable();
        return;
    }
    // Only the opener's end tells whether an application took the file (none without a browser).
    LocalFileOpener::open(path, [unavailable](bool opened) {
        if (!opened)
            unavailable();
    });
}
