#pragma once

#include "model/PlmErrors.h"

#include <QString>

// The store's refusals: each is raised before anything on disk changes, and its French
// sentence is shown to the user unchanged.
class PlmLibraryError : public PlmError {
public:
    enum class Kind { invalidName, outsideLibrary, invalidFolder, descendantMove, unsupportedFile, collision };

    explicit PlmLibraryError(Kind kind);
    Kind kind() const { return m_kind; }
    static QString description(Kind kind);
    bool operator==(const PlmLibraryError& other) const { return m_kind == other.m_kind; }

private:
    Kind m_kind;
};

// The refusals of a library package (its manifest, its place, the proof of a migration).
class PlmLibraryPackageError : public PlmError {
public:
    enum class Kind { invalidPackage, unavailable, integrity };

    explicit PlmLibraryPackageError(Kind kind);
    Kind kind() const { return m_kind; }
    static QString description(Kind kind);
    bool operator==(const PlmLibraryPackageError& other) const { return m_kind == other.m_kind; }

private:
    Kind m_kind;
};

// A failure of the file system itself (a missing file, a refused permission, a full disk),
// passed to the caller with the path it concerns.
class PlmLibraryFileError : public PlmError {
public:
    enum class Kind { noSuchFile, readFailed, writeFailed, tooLarge, posix };

    PlmLibraryFileError(Kind kind, const QString& path, int errorNumber = 0);
    Kind kind() const { return m_kind; }
    QString path() const { return m_path; }
    int errorNumber() const { return m_errno; }

private:
    Kind m_kind;
    QString m_path;
    int m_errno;
};
