#include "library/LibraryCoordinator.h"

#include "library/LibraryWindowController.h"
#include "online/OnlineWindowController.h"
#include "platform/DialogHooks.h"

#include <QCoreApplication>
#include <QFileInfo>

const QString LibraryCoordinator::packageType = QStringLiteral("ondrel.pelmorastudio.plmlibrary");
const QString LibraryCoordinator::packageExtension = QStringLiteral("plmlibrary");
const QString LibraryCoordinator::bookmarkKey = QStringLiteral("LibraryPackageBookmark");

namespace {

QString sentenceOf(const std::exception_ptr& error)
{
    try {
        if (error)
            std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what());
    } catch (...) {
    }
    return QStringLiteral("Une erreur inattendue s’est produite.");
}

} // namespace

LibraryCoordinator& LibraryCoordinator::shared()
{
    static LibraryCoordinator* coordinator = new LibraryCoordinator(qApp);
    return *coordinator;
}

LibraryCoordinator::LibraryCoordinator(QObject* parent)
    : QObject(parent)
{
}

LibraryCoordinator::~LibraryCoordinator() = default;

QString LibraryCoordinator::notAvailableMessage()
{
    return QStringLiteral("La bibliothèque n’est pas encore disponible dans cette version.");
}

LibraryWindowController* LibraryCoordinator::libraryWindowController()
{
    if (!controller_)
        controller_ = new LibraryWindowController(this);
    return controller_;
}

void LibraryCoordinator::showLibrary()
{
    LibraryWindowController* controller = nullptr;
    try {
        controller = libraryWindowController();
    } catch (...) {
        presentUnavailable(std::current_exception());
        return;
    }
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

void LibraryCoordinator::tellNotAvailable(const QString& detail)
{
    DialogHooks::Alert alert;
    alert.message = notAvailableMessage();
    alert.informativeText = detail;
    alert.style = DialogHooks::AlertStyle::Informational;
    DialogHooks::runAlert(alert);
}

void LibraryCoordinator::openLibrary(const QString& packagePath)
{
    tellNotAvailable(QStringLiteral("La bibliothèque « %1 » n’a pas été ouverte.")
                         .arg(QFileInfo(packagePath).completeBaseName()));
    // The package was the reason to show a window: the library window stands in for it.
    showLibrary();
}

void LibraryCoordinator::createLibrary(const std::optional<QString>& migrating)
{
    tellNotAvailable(migrating ? QStringLiteral("L’ancienne bibliothèque n’a pas été copiée et reste intacte.")
                               : QStringLiteral("Aucune bibliothèque n’a été créée."));
}

void LibraryCoordinator::chooseLibrary()
{
    tellNotAvailable(QStringLiteral("Aucune bibliothèque n’a été ouverte."));
}

void LibraryCoordinator::migrateOldLibrary()
{
    createLibrary(QString());
}

OnlineWindowController* LibraryCoordinator::onlineWindowController()
{
    if (!online)
        online = new OnlineWindowController(this);
    return online;
}

void LibraryCoordinator::showOnline(const std::optional<QString>& destination, bool opensInStudio)
{
    LibraryWindowController* controller = nullptr;
    try {
        controller = libraryWindowController();
    } catch (...) {
        presentUnavailable(std::current_exception());
        return;
    }
    if (!controller)
        return;
    onlineWindowController()->present(destination ? destination : controller->selectedFolderURL(), opensInStudio);
}

void LibraryCoordinator::closeWindows()
{
    delete controller_.data();
    delete online.data();
}
