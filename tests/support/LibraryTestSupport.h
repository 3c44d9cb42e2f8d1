#pragma once

#include "library/LibraryCoordinator.h"
#include "librarystore/PlmLibraryStore.h"
#include "platform/Bookmark.h"
#include "platform/UserDefaults.h"

#include <QDir>
#include <QTemporaryDir>
#include <optional>

// A trash folder of the test's own for every store that would use the desktop's trash: that
// one is shared by every process of the machine, test programs run side by side included.
struct OwnTrash {
    QTemporaryDir dir;
    std::optional<QString> previous = PlmLibraryStore::desktopTrashStandIn();

    OwnTrash() { PlmLibraryStore::setDesktopTrashStandIn(dir.path()); }
    ~OwnTrash() { PlmLibraryStore::setDesktopTrashStandIn(previous); }
    OwnTrash(const OwnTrash&) = delete;
    OwnTrash& operator=(const OwnTrash&) = delete;
    // What lies in it, by name.
    QStringList entries() const { return QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot); }
};

// A library package in a temporary folder, remembered as the current library, so that asking
// for the library window makes it without the first-run question; what it trashes goes to a
// trash of its own. Create it inside a UserDefaults::TemporaryScope; its windows are closed
// when it goes.
struct RememberedLibrary {
    OwnTrash trash;
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("Bibliothèque.plmlibrary"));

    RememberedLibrary()
    {
        PlmLibraryStore::createPackage(path, std::nullopt);
        UserDefaults::setValue(LibraryCoordinator::bookmarkKey, Bookmark::make(path));
    }
    ~RememberedLibrary() { LibraryCoordinator::shared().closeWindows(); }
    RememberedLibrary(const RememberedLibrary&) = delete;
    RememberedLibrary& operator=(const RememberedLibrary&) = delete;
};
