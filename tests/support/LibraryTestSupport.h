#pragma once

#include "library/LibraryCoordinator.h"
#include "librarystore/PlmLibraryStore.h"
#include "platform/Bookmark.h"
#include "platform/UserDefaults.h"

#include <QTemporaryDir>
#include <optional>

// A library package in a temporary folder, remembered as the current library, so that asking
// for the library window makes it without the first-run question. Create it inside a
// UserDefaults::TemporaryScope; its windows are closed when it goes.
struct RememberedLibrary {
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
