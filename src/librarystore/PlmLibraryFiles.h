#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// The file operations the library is built on. Each refuses to replace what exists and
// reports a failure as PlmLibraryFileError (or PlmLibraryError::collision when the target
// appeared), so a caller never loses a user's file through a race.
namespace PlmLibraryFiles {

// Absolute, with "." and ".." removed; symbolic links are not followed.
QString standardized(const QString& path);
// The standardized path with every symbolic link resolved; the part that does not exist yet
// is kept as written.
QString resolved(const QString& path);

// Whether `path` is `folder` itself or lies below it, compared by whole components of the
// standardized paths: "/a/library" is not in "/a/lib", and trailing slashes, "." and ".." do not
// count. As written, links are not followed (library items never run through one); alsoResolved
// also compares the paths with their links resolved, so a link cannot hide the nesting.
enum class Links { asWritten, alsoResolved };
bool isWithin(const QString& path, const QString& folder, Links links = Links::asWritten);

struct Kind {
    bool exists = false;
    bool isSymLink = false;
    bool isDirectory = false; // not following a link
    bool isRegularFile = false;
};
// What lies at the path itself (lstat).
Kind kindOf(const QString& path);
bool exists(const QString& path); // a dangling link counts

// Reads a whole file; `limit` bounds its size (a longer file throws readFailed).
QByteArray read(const QString& path, qint64 limit = -1);
// Creates the file and writes the bytes; an existing file throws collision. The bytes go to a
// hidden temporary in the same folder, synced, then renamed without replacing: a kill never
// leaves a partial file under the final name, and a failed write removes its temporary.
void writeNew(const QString& path, const QByteArray& bytes);
// Writes through a temporary file in the same folder, then renames it into place (replacing).
void writeAtomically(const QString& path, const QByteArray& bytes);
// rename(2) that refuses an existing target (collision), then syncs the folders involved.
void moveNoReplace(const QString& from, const QString& to);
void makeFolder(const QString& path); // one level; an existing path throws collision
// Copies a file or a folder with all its contents, hidden entries included, under a hidden
// temporary name renamed into place once whole. Symbolic links and special files are refused
// with outsideLibrary. Nothing is replaced; on failure the partial copy is removed.
void copyTree(const QString& from, const QString& to);
// Removes a folder tree that this program made; errors are ignored.
void removeTreeQuietly(const QString& path);
// Removes, in the folder and every folder below it, the hidden temporaries that a killed
// write left behind. A write holds its temporary under a lock while it lasts: what this program
// or another sharing the library is still writing stays. Errors are ignored.
void removeStaleTemporaries(const QString& root);
// Every entry of a folder (hidden ones included), in the order the system lists them.
QStringList entries(const QString& folder);

} // namespace PlmLibraryFiles
