#pragma once

#include "librarystore/PlmLibraryStore.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <exception>
#include <optional>

class LibraryWindowController;
class OnlineWindowController;

// Decides which library package is current and owns the one library window and the one
// online catalogue window. The package is remembered across launches by a bookmark and the
// manifest's id in the user defaults, and checked again each time the library is needed.
// Every question goes through DialogHooks. Main thread only.
class LibraryCoordinator : public QObject {
    Q_OBJECT
public:
    // The application's coordinator, a child of the application object; its windows are
    // closed and deleted as the application's event loop ends.
    static LibraryCoordinator& shared();

    static const QString packageType;      // "ondrel.pelmorastudio.plmlibrary"
    static const QString packageExtension; // "plmlibrary"
    static const QString bookmarkKey;      // "LibraryPackageBookmark"
    static const QString packageIDKey;     // "LibraryPackageID"
    static const QString folderBookmarkKey; // "LibraryFolderBookmark"
    static const QString defaultPackageName; // "Bibliothèque Pelmora.plmlibrary"
    // The sentence that says the migration keeps the older folder (shown with its panel).
    static QString migrationMessage();

    explicit LibraryCoordinator(QObject* parent = nullptr);
    ~LibraryCoordinator() override;

    // The library window of the current package, made when needed and checked again on every
    // call. Throws the library's errors (a French sentence in what()); nullptr when there is
    // no library and the user did not choose one in the first-run alert.
    LibraryWindowController* libraryWindowController();
    // The current store; without prompting and without a remembered library, none and no alert.
    std::optional<PlmLibraryStore> currentStore(bool prompting);
    // Shows the library window in front; an error goes to presentUnavailable().
    void showLibrary();
    // The alert "Bibliothèque indisponible" with the error's sentence.
    void presentUnavailable(const std::exception_ptr& error);

    // Adopts the package at that path (errors are presented; the current library stays).
    void openLibrary(const QString& packagePath);
    // Asks where to create a package, copying the older folder into it when one is given.
    void createLibrary(const std::optional<QString>& migrating);
    // Open panel for an existing package.
    void chooseLibrary();
    // Open panel for the older library folder, then creation with migration.
    void migrateOldLibrary();
    void migrateLibrary() { migrateOldLibrary(); }
    // The older library folder: its bookmark, else the per-user data folder + "PelmoraStudio/Fonds".
    std::optional<QString> legacyFolderURL() const;

    // Adds the map to the library window's current folder under the name derived from the
    // map, undoably ("Ajouter à la bibliothèque"); returns the new file's path.
    std::optional<QString> addToLibrary(const PlmMap& map);

    // The online catalogue window, made on first use and kept until another package is adopted.
    OnlineWindowController* onlineWindowController();
    // Shows the online catalogue with the destination, or the library window's folder.
    void showOnline(const std::optional<QString>& destination, bool opensInStudio);
    QPointer<OnlineWindowController> online;

    // The package whose access this coordinator holds open.
    std::optional<QString> scopedLibrary() const { return scopedLibrary_; }

    // Closes and forgets both windows (the remembered library stays).
    void closeWindows();

private:
    void presentError(const std::exception_ptr& error);
    // The library window controller, or none after the unavailable alert or a declined first run.
    LibraryWindowController* availableWindowController();
    QPointer<LibraryWindowController> controller_;
    std::optional<QString> scopedLibrary_;
};
