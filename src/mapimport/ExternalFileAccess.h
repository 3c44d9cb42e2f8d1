#pragma once

#include "basemaps/PlmImportResult.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

// Imports a base-map file together with the files beside it: the ".tab", ".num" and ".hab"
// companions of an older Pelmora map are read, described in the map's metadata and kept as
// sources. When the folder cannot be listed the user is asked once for it (through the dialog
// hooks); the folders allowed are remembered as bookmarks (absolute paths on Linux) under
// the user default "HistoricalImportFolderBookmarks".
namespace ExternalFileAccess {

inline const QString bookmarksKey = QStringLiteral("HistoricalImportFolderBookmarks");

// Throws what PlmVectorImporter::importMap throws; a companion never fails the import.
PlmImportResult importWithRelatedFiles(const QString& path);

// The companions looked for, in order (existing or not), judged from the file's first bytes.
QStringList candidates(const QString& path, const QByteArray& head);

// Asks for the folder of `path` (on the main thread); a folder that contains the file is added
// to `accessed` and remembered under `defaultsKey`. Nothing when cancelled or unrelated.
std::optional<QString> requestFolderAccess(const QString& path, QStringList& accessed, const QString& defaultsKey);
// The folder panel itself.
std::optional<QString> chooseFolder(const QString& path);
// The whole file, or nothing on any error (including a file above the import size limit).
std::optional<QByteArray> readOptionalData(const QString& path);
void stopAccessing(const QStringList& folders);

} // namespace ExternalFileAccess
