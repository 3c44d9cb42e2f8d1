#pragma once

#include "librarystore/PlmLibraryItem.h"
#include "model/PlmMap.h"

#include <QMap>
#include <QString>
#include <functional>
#include <optional>

// The file store of one library: a root folder of ".plmmap" documents in nested folders.
// It keeps no state besides its two paths; every call re-reads the disk, checks its
// arguments, makes its one change and returns, or throws. Nothing ever leaves the root,
// hidden entries are never items, and a name never replaces anything.
class PlmLibraryStore {
public:
    // Throws PlmLibraryError (outsideLibrary when the root is a link, invalidFolder) or
    // PlmLibraryFileError.
    explicit PlmLibraryStore(const QString& root, const std::optional<QString>& trashDirectory = std::nullopt,
                             bool creatingRoot = false);

    QString root() const { return m_root; }
    std::optional<QString> trashDirectory() const { return m_trash; }

    static QString mapExtension(); // "plmmap"

    // --- Guards -------------------------------------------------------------------------
    QString containedURL(const QString& url, bool allowingRoot) const;
    void requireFolder(const QString& url) const;
    PlmLibraryItem item(const QString& url) const;
    static QString validatedName(const QString& proposed);
    // The map's name made usable as a file name ("/", ":" and controls become "–"; dots and
    // blanks trimmed; "Fond" when nothing is left).
    static QString cleanedName(const QString& mapName);

    // --- Operations ---------------------------------------------------------------------
    QList<PlmLibraryItem> tree(const QString& matching = {}) const;
    QString newFolder(const QString& name, const QString& parent) const;
    QString addMap(const PlmMap& map, const std::optional<QString>& name, const QString& folder) const;
    QString importMap(const QString& source, const QString& folder) const;
    PlmMap map(const QString& url) const;
    // Decodes the bytes of the map file at url. A damaged file throws PlmError with the
    // documents' sentence naming it, and the decoder's detail only when it is French.
    static PlmMap decodeMap(const QString& url, const QByteArray& bytes);
    QString rename(const QString& url, const QString& newName) const;
    QString moveTo(const QString& url, const QString& destination) const;
    QString moveInto(const QString& url, const QString& folder) const;
    QString duplicate(const QString& url) const;
    // Into the store's trash folder when it has one, else into the desktop's trash (or the
    // stand-in below); the record keeps an absolute path, whatever the working directory.
    PlmLibraryDeletion trash(const QString& url) const;
    // Puts a trashed item back, and drops the desktop trash's record of it.
    void restore(const PlmLibraryDeletion& deletion) const;
    // A folder that takes the desktop trash's place for every store without a trash folder of
    // its own (tests: the desktop's trash is shared by every process of the machine); none
    // gives the desktop's back.
    static void setDesktopTrashStandIn(const std::optional<QString>& folder);
    static std::optional<QString> desktopTrashStandIn();

    // --- The package around the root (PlmLibraryPackage.cpp) ---------------------------
    static QString packageExtension();  // "plmlibrary"
    static QString manifestName();      // ".plmlibrary.json"
    static PlmLibraryStore openPackage(const QString& url);
    static PlmLibraryStore createPackage(const QString& url, const std::optional<QString>& migratingFrom);
    static PlmLibraryStore legacyStore();
    static QString legacyFolderPath(); // the per-user data folder + "PelmoraStudio/Fonds", or empty
    // Relative path -> "directory" or the file's SHA-256 in lower-case hexadecimal.
    static QMap<QString, QString> fileDigests(const QString& folder);
    // Called between the copy of a migration and its proof (tests change files there).
    static void setMigrationCopyObserver(std::function<void()> observer);

    // --- SVG symbols in root/".symbols" (PlmLibrarySymbols.cpp) -----------------------
    // Each first checks the package's manifest, so symbols live only in a complete package.
    QList<PlmLibraryItem> symbolItems() const;
    QString addSymbol(const PlmMap& map, const QString& name) const;
    PlmLibraryDeletion deleteSymbol(const QString& url) const;

    bool operator==(const PlmLibraryStore&) const = default;

private:
    PlmLibraryStore() = default;
    QList<PlmLibraryItem> listing(const QString& folder, int depth) const;
    QString nextFreeName(const QString& folder, const QString& base, bool document) const;

    QString m_root;
    std::optional<QString> m_trash;
};
