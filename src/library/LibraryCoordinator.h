#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <exception>
#include <optional>

class LibraryWindowController;
class OnlineWindowController;

// Decides which library is current and owns the one library window and the one online
// catalogue window. Library packages cannot be created or opened in this version: those
// commands say so in French, and the library window is the stand-in that offers the ways
// into the studio. Main thread only.
class LibraryCoordinator : public QObject {
    Q_OBJECT
public:
    static LibraryCoordinator& shared();

    static const QString packageType;     // "ondrel.pelmorastudio.plmlibrary"
    static const QString packageExtension; // "plmlibrary"
    static const QString bookmarkKey;     // "LibraryPackageBookmark"
    static QString notAvailableMessage();

    explicit LibraryCoordinator(QObject* parent = nullptr);
    ~LibraryCoordinator() override;

    // The library window, made on first use. Throws the library's errors (a French sentence
    // in what()); nullptr when the user declined to choose a library.
    LibraryWindowController* libraryWindowController();
    // Shows the library window in front; an error goes to presentUnavailable().
    void showLibrary();
    // The alert "Bibliothèque indisponible" with the error's sentence.
    void presentUnavailable(const std::exception_ptr& error);

    void openLibrary(const QString& packagePath);
    void createLibrary(const std::optional<QString>& migrating);
    void chooseLibrary();
    void migrateOldLibrary();

    // The online catalogue window, made on first use and kept.
    OnlineWindowController* onlineWindowController();
    // Shows the online catalogue with the destination, or the library window's folder.
    void showOnline(const std::optional<QString>& destination, bool opensInStudio);
    QPointer<OnlineWindowController> online;

    // Closes and forgets both windows.
    void closeWindows();

private:
    void tellNotAvailable(const QString& detail);

    QPointer<LibraryWindowController> controller_;
};
