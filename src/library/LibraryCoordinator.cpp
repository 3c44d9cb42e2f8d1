#include "library/LibraryCoordinator.h"

#include "library/LibraryWindowController.h"
#include "librarystore/PlmLibraryError.h"
#include "librarystore/PlmLibraryManifest.h"
#include "online/OnlineWindowController.h"
#include "platform/Bookmark.h"
#include "desktop/DialogHooks.h"
#include "desktop/DocumentController.h"
#include "platform/UserDefaults.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QUuid>

const QString LibraryCoordinator::packageType = QStringLiteral("ondrel.pelmorastudio.plmlibrary");
const QString LibraryCoordinator::packageExtension = QStringLiteral("plmlibrary");
const QString LibraryCoordinator::bookmarkKey = QStringLiteral("LibraryPackageBookmark");
const QString LibraryCoordinator::packageIDKey = QStringLiteral("LibraryPackageID");
const QString LibraryCoordinator::folderBookmarkKey = QStringLiteral("LibraryFolderBookmark");
const QString LibraryCoordinator::defaultPackageName = QStringLiteral("Bibliothèque Pelmora.plmlibrary");

namespace {

QString sentenceOf(const std::exception_ptr& error)
{
    try {
        if (error)
            std::rethrow_exception(error);
    } catch (const PlmError& e) {
        return e.message();
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what());
    } catch (...) {
    }
    return QStringLiteral("Une erreur inattendue s’est produite.");
}

[[noreturn]] void invalidPackage()
{
    throw PlmLibraryPackageError(PlmLibraryPackageError::Kind::invalidPackage);
}

// The manifest of the package must still be version 1 and, when an id is remembered, carry it:
// another library copied to the same place is not the one the user chose.
PlmLibraryManifest checkedManifest(const PlmLibraryStore& store)
{
    const PlmLibraryManifest manifest = PlmLibraryManifest::read(store.root());
    if (manifest.version != 1)
        invalidPackage();
    const QString stored = UserDefaults::stringValue(LibraryCoordinator::packageIDKey);
    if (!stored.isEmpty()) {
        const QUuid remembered = QUuid::fromString(stored);
        if (remembered.isNull() || remembered != manifest.id)
            invalidPackage();
    }
    return manifest;
}

QString withPackageExtension(const QString& path)
{
    if (QFileInfo(path).suffix().toLower() == LibraryCoordinator::packageExtension)
        return path;
    return path + QLatin1Char('.') + LibraryCoordinator::packageExtension;
}

// A library is made as a new package and never written over anything: what stands at its
// name is named before the person is asked anything (a folder, the save panel names itself).
QString packagePlaceTaken(const QString& path)
{
    const QFileInfo existing(path);
    if (existing.isDir() && QFileInfo::exists(QDir(path).filePath(PlmLibraryStore::manifestName())))
        return QStringLiteral("Une bibliothèque « %1 » existe déjà à cet endroit. Elle ne peut pas être remplacée.")
            .arg(existing.fileName());
    if (existing.isDir())
        return {};
    return QStringLiteral("%1 « %2 » existe déjà à cet endroit. Il ne peut pas être remplacé par une bibliothèque.")
        .arg(existing.isFile() ? QStringLiteral("Un fichier") : QStringLiteral("Un élément"), existing.fileName());
}

} // namespace

LibraryCoordinator& LibraryCoordinator::shared()
{
    static LibraryCoordinator* coordinator = [] {
        // As the loop ends every document is written before any window goes: the documents'
        // controller takes the end first.
        DocumentController::shared();
        auto* made = new LibraryCoordinator(qApp);
        // A child of the application goes only after the application itself, too late for
        // windows and for the thumbnails and previews still being drawn: they go as its
        // event loop ends.
        if (QCoreApplication* application = QCoreApplication::instance())
            connect(application, &QCoreApplication::aboutToQuit, made, &LibraryCoordinator::closeWindows);
        return made;
    }();
    return *coordinator;
}

LibraryCoordinator::LibraryCoordinator(QObject* parent)
    : QObject(parent)
{
}

LibraryCoordinator::~LibraryCoordinator()
{
    closeWindows();
    if (scopedLibrary_)
        Bookmark::stopAccessing(*scopedLibrary_);
}

QString LibraryCoordinator::migrationMessage()
{
    return QStringLiteral("Tous les fichiers et dossiers seront copiés et vérifiés. L’ancienne bibliothèque restera intacte.");
}

// --- The library window ---------------------------------------------------------------------------

LibraryWindowController* LibraryCoordinator::libraryWindowController()
{
    if (controller_) {
        const PlmLibraryStore store = PlmLibraryStore::openPackage(controller_->store().root());
        checkedManifest(store);
        return controller_;
    }

    const QByteArray bookmark = UserDefaults::dataValue(bookmarkKey);
    if (!bookmark.isEmpty()) {
        QString path;
        try {
            path = Bookmark::resolve(bookmark);
        } catch (const Bookmark::Error&) {
            // The disk is gone or the package moved: say so, and create nothing in its place.
            throw PlmLibraryPackageError(PlmLibraryPackageError::Kind::unavailable);
        }
        const bool accessing = Bookmark::startAccessing(path);
        std::optional<PlmLibraryStore> store;
        try {
            store = PlmLibraryStore::openPackage(path);
            checkedManifest(*store);
        } catch (...) {
            if (accessing)
                Bookmark::stopAccessing(path);
            throw;
        }
        if (scopedLibrary_ && *scopedLibrary_ != path)
            Bookmark::stopAccessing(*scopedLibrary_);
        scopedLibrary_ = accessing ? std::optional<QString>(path) : std::nullopt;
        controller_ = new LibraryWindowController(*store, this);
        return controller_;
    }

    DialogHooks::Alert alert;
    alert.message = QStringLiteral("Votre bibliothèque Pelmora");
    alert.informativeText = QStringLiteral("Choisissez son emplacement sur cet ordinateur ou un disque externe. "
                                           "Vous pouvez aussi copier votre ancienne bibliothèque, qui sera conservée.");
    alert.buttons = {QStringLiteral("Créer une bibliothèque…"), QStringLiteral("Ouvrir une bibliothèque…"),
                     QStringLiteral("Copier l’ancienne…"), QStringLiteral("Annuler")};
    alert.style = DialogHooks::AlertStyle::Informational;
    switch (DialogHooks::runAlert(alert)) {
    case 0: createLibrary(std::nullopt); break;
    case 1: chooseLibrary(); break;
    case 2: migrateOldLibrary(); break;
    default: break;
    }
    return controller_;
}

std::optional<PlmLibraryStore> LibraryCoordinator::currentStore(bool prompting)
{
    if (!controller_ && UserDefaults::dataValue(bookmarkKey).isEmpty() && !prompting)
        return std::nullopt;
    LibraryWindowController* controller = libraryWindowController();
    if (!controller)
        return std::nullopt;
    return controller->store();
}

LibraryWindowController* LibraryCoordinator::availableWindowController()
{
    try {
        return libraryWindowController();
    } catch (...) {
        presentUnavailable(std::current_exception());
        return nullptr;
    }
}

void LibraryCoordinator::showLibrary()
{
    LibraryWindowController* controller = availableWindowController();
    if (!controller)
        return;
    controller->reload(std::nullopt);
    controller->showWindow();
}

void LibraryCoordinator::presentUnavailable(const std::exception_ptr& error)
{
    DialogHooks::Alert alert;
    alert.message = QStringLiteral("Bibliothèque indisponible");
    alert.informativeText = sentenceOf(error)
        + QStringLiteral("\nReconnectez le disque puis réessayez, ou sélectionnez son nouvel emplacement.");
    alert.buttons = {QStringLiteral("Réessayer"), QStringLiteral("Localiser / ouvrir…"), QStringLiteral("Annuler")};
    switch (DialogHooks::runAlert(alert)) {
    case 0: showLibrary(); break;
    case 1: chooseLibrary(); break;
    default: break;
    }
}

void LibraryCoordinator::presentError(const std::exception_ptr& error)
{
    DialogHooks::presentError(sentenceOf(error));
}

// --- Adopting, creating, choosing -----------------------------------------------------------------

void LibraryCoordinator::openLibrary(const QString& packagePath)
{
    const QString path = QDir::cleanPath(QFileInfo(packagePath).absoluteFilePath());
    const bool accessing = Bookmark::startAccessing(path);
    std::optional<PlmLibraryStore> store;
    QByteArray bookmark;
    PlmLibraryManifest manifest;
    try {
        store = PlmLibraryStore::openPackage(path);
        bookmark = Bookmark::make(path);
        manifest = PlmLibraryManifest::read(store->root());
        if (manifest.version != 1)
            invalidPackage();
    } catch (...) {
        if (accessing)
            Bookmark::stopAccessing(path);
        presentError(std::current_exception());
        return;
    }

    closeWindows();
    if (scopedLibrary_ && *scopedLibrary_ != path)
        Bookmark::stopAccessing(*scopedLibrary_);
    scopedLibrary_ = accessing ? std::optional<QString>(path) : std::nullopt;
    UserDefaults::setValue(bookmarkKey, bookmark);
    UserDefaults::setValue(packageIDKey, manifest.idString());
    controller_ = new LibraryWindowController(*store, this);

    showLibrary();
}

void LibraryCoordinator::createLibrary(const std::optional<QString>& migrating)
{
    DialogHooks::SavePanelRequest panel;
    panel.title = migrating ? QStringLiteral("Copier l’ancienne bibliothèque") : QStringLiteral("Créer une bibliothèque");
    panel.suggestedName = QFileInfo(defaultPackageName).completeBaseName();
    panel.types = {{packageType, QStringLiteral("Bibliothèque Pelmora"), {packageExtension}}};
    panel.selectedType = packageType;
    panel.replacementRefusal = packagePlaceTaken;
    const std::optional<DialogHooks::SavePanelResult> chosen = DialogHooks::runSavePanel(panel);
    if (!chosen || chosen->path.isEmpty())
        return;

    const QString package = withPackageExtension(QDir::cleanPath(QFileInfo(chosen->path).absoluteFilePath()));
    const bool accessingPackage = Bookmark::startAccessing(package);
    const bool accessingFolder = migrating && Bookmark::startAccessing(*migrating);
    bool created = false;
    try {
        PlmLibraryStore::createPackage(package, migrating);
        created = true;
    } catch (...) {
        presentError(std::current_exception());
    }
    if (created)
        openLibrary(package);
    if (accessingFolder)
        Bookmark::stopAccessing(*migrating);
    if (accessingPackage)
        Bookmark::stopAccessing(package);
}

void LibraryCoordinator::chooseLibrary()
{
    DialogHooks::OpenPanelRequest panel;
    panel.title = QStringLiteral("Ouvrir une bibliothèque");
    panel.prompt = QStringLiteral("Ouvrir");
    panel.extensions = {packageExtension};
    // A package is a folder on this system: the panel picks it as a whole, and opening it
    // refuses any folder without the package's extension.
    panel.canChooseDirectories = true;
    panel.canChooseFiles = false;
    const std::optional<QStringList> chosen = DialogHooks::runOpenPanel(panel);
    if (!chosen || chosen->isEmpty())
        return;
    openLibrary(chosen->first());
}

void LibraryCoordinator::migrateOldLibrary()
{
    DialogHooks::OpenPanelRequest panel;
    panel.title = QStringLiteral("Choisir l’ancienne bibliothèque de fonds");
    panel.prompt = QStringLiteral("Copier ce dossier");
    panel.message = migrationMessage();
    panel.canChooseDirectories = true;
    panel.canChooseFiles = false;
    if (const std::optional<QString> legacy = legacyFolderURL())
        panel.directory = *legacy;
    const std::optional<QStringList> chosen = DialogHooks::runOpenPanel(panel);
    if (!chosen || chosen->isEmpty())
        return;
    createLibrary(chosen->first());
}

std::optional<QString> LibraryCoordinator::legacyFolderURL() const
{
    const QByteArray bookmark = UserDefaults::dataValue(folderBookmarkKey);
    if (!bookmark.isEmpty()) {
        try {
            return Bookmark::resolve(bookmark);
        } catch (const Bookmark::Error&) {
        }
    }
    const QString folder = PlmLibraryStore::legacyFolderPath();
    if (folder.isEmpty())
        return std::nullopt;
    return folder;
}

// --- Adding a map ---------------------------------------------------------------------------------

std::optional<QString> LibraryCoordinator::addToLibrary(const PlmMap& map)
{
    LibraryWindowController* controller = nullptr;
    QString added;
    try {
        controller = libraryWindowController();
        if (!controller)
            return std::nullopt;
        const PlmLibraryStore store = controller->store();
        added = store.addMap(map, std::nullopt, controller->selectedFolderURL().value_or(store.root()));
    } catch (...) {
        presentUnavailable(std::current_exception());
        return std::nullopt;
    }
    controller->registerAddition(added, QStringLiteral("Ajouter à la bibliothèque"));
    controller->reload(added);
    controller->showWindow();
    return added;
}

// --- The online catalogue ----------------------------------------------------------------------------

OnlineWindowController* LibraryCoordinator::onlineWindowController()
{
    if (!online) {
        online = new OnlineWindowController(this);
        // A converted download goes into the library through its window, so that the
        // addition is one undoable step there.
        online->setLibraryAdder([this](const PlmMap& map, const QString& folder, bool showingLibrary) {
            LibraryWindowController* controller = libraryWindowController();
            if (!controller)
                throw PlmLibraryPackageError(PlmLibraryPackageError::Kind::unavailable);
            const QString added = controller->store().addMap(map, std::nullopt, folder);
            controller->registerAddition(added, QStringLiteral("Ajouter à la bibliothèque"));
            controller->reload(added);
            if (showingLibrary)
                controller->showWindow();
            return added;
        });
    }
    return online;
}

void LibraryCoordinator::showOnline(const std::optional<QString>& destination, bool opensInStudio)
{
    LibraryWindowController* controller = availableWindowController();
    if (!controller)
        return;
    onlineWindowController()->present(destination ? destination : controller->selectedFolderURL(), opensInStudio);
}

void LibraryCoordinator::closeWindows()
{
    delete controller_.data();
    delete online.data();
}
