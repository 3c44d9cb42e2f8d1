// The package around a library store: opening and checking it, creating it, and migrating
// the older library folder into it with a proof by SHA-256 digests.
#include "librarystore/PlmLibraryError.h"
#include "librarystore/PlmLibraryFiles.h"
#include "librarystore/PlmLibraryManifest.h"
#include "librarystore/PlmLibraryStore.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace Files = PlmLibraryFiles;

namespace {

// The digest walk recurses; a folder nested deeper than this is not a library.
constexpr int maximumDigestDepth = 256;

std::function<void()>& migrationCopyObserver()
{
    static std::function<void()> observer;
    return observer;
}

QString sha256Hex(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) {
        const int error = errno;
        if (error == ELOOP)
            throw PlmLibraryError(PlmLibraryError::Kind::outsideLibrary);
        throw PlmLibraryFileError(error == ENOENT ? PlmLibraryFileError::Kind::noSuchFile
                                                  : PlmLibraryFileError::Kind::readFailed,
                                  path, error);
    }
    QCryptographicHash hash(QCryptographicHash::Sha256);
    QByteArray buffer(1024 * 1024, Qt::Uninitialized);
    for (;;) {
        const ssize_t n = ::read(fd, buffer.data(), size_t(buffer.size()));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            const int error = errno;
            ::close(fd);
            throw PlmLibraryFileError(PlmLibraryFileError::Kind::readFailed, path, error);
        }
        if (n == 0)
            break;
        hash.addData(QByteArrayView(buffer.constData(), n));
    }
    ::close(fd);
    return QString::fromLatin1(hash.result().toHex());
}

void digestWalk(const QString& folder, const QString& prefix, int depth, QMap<QString, QString>& digests)
{
    if (depth > maximumDigestDepth)
        throw PlmLibraryPackageError(PlmLibraryPackageError::Kind::integrity);
    for (const QString& name : Files::entries(folder)) {
        const QString relative = prefix + name;
        if (relative == PlmLibraryStore::manifestName())
            continue;
        const QString path = folder + QLatin1Char('/') + name;
        const Files::Kind kind = Files::kindOf(path);
        if (!kind.exists)
            throw PlmLibraryFileError(PlmLibraryFileError::Kind::noSuchFile, path, ENOENT);
        if (kind.isSymLink)
            throw PlmLibraryError(PlmLibraryError::Kind::outsideLibrary);
        if (kind.isDirectory) {
            digests.insert(relative, QStringLiteral("directory"));
            digestWalk(path, relative + QLatin1Char('/'), depth + 1, digests);
        } else if (!kind.isRegularFile) {
            throw PlmLibraryPackageError(PlmLibraryPackageError::Kind::integrity);
        } else {
            digests.insert(relative, sha256Hex(path));
        }
    }
}

bool hasPackageExtension(const QString& path)
{
    return QFileInfo(path).suffix().toLower() == PlmLibraryStore::packageExtension();
}

} // namespace

QString PlmLibraryStore::packageExtension()
{
    return QStringLiteral("plmlibrary");
}

QString PlmLibraryStore::manifestName()
{
    return QStringLiteral(".plmlibrary.json");
}

void PlmLibraryStore::setMigrationCopyObserver(std::function<void()> observer)
{
    migrationCopyObserver() = std::move(observer);
}

PlmLibraryStore PlmLibraryStore::openPackage(const QString& url)
{
    const QString path = Files::standardized(url);
    if (!hasPackageExtension(path))
        throw PlmLibraryPackageError(PlmLibraryPackageError::Kind::invalidPackage);
    const Files::Kind kind = Files::kindOf(path);
    if (!kind.exists)
        throw PlmLibraryPackageError(PlmLibraryPackageError::Kind::unavailable);
    if (kind.isSymLink)
        throw PlmLibraryError(PlmLibraryError::Kind::outsideLibrary);
    PlmLibraryStore store;
    store.m_root = Files::resolved(path);
    store.requireFolder(store.m_root);
    PlmLibraryManifest::read(store.m_root);
    // Only publishing makes a map visible: what a killed write left is of no use, and a copy of
    // the folder would carry it along.
    Files::removeStaleTemporaries(store.m_root);
    return store;
}

QMap<QString, QString> PlmLibraryStore::fileDigests(const QString& folder)
{
    const QString path = Files::standardized(folder);
    const Files::Kind kind = Files::kindOf(path);
    if (!kind.exists)
        throw PlmLibraryFileError(PlmLibraryFileError::Kind::noSuchFile, path, ENOENT);
    if (!kind.isDirectory || kind.isSymLink)
        throw PlmLibraryError(PlmLibraryError::Kind::invalidFolder);
    QMap<QString, QString> digests;
    digestWalk(path, QString(), 0, digests);
    return digests;
}

PlmLibraryStore PlmLibraryStore::createPackage(const QString& url, const std::optional<QString>& migratingFrom)
{
    const QString package = Files::standardized(url);
    if (!hasPackageExtension(package))
        throw PlmLibraryPackageError(PlmLibraryPackageError::Kind::invalidPackage);
    if (Files::exists(package))
        throw PlmLibraryError(PlmLibraryError::Kind::collision);
    const QString parent = QFileInfo(package).absolutePath();
    const Files::Kind parentKind = Files::kindOf(Files::resolved(parent));
    if (!parentKind.exists) {
        // A parent path running through a plain file cannot be made a folder.
        QString probe = parent;
        while (!Files::exists(probe) && probe != QLatin1String("/"))
            probe = QFileInfo(probe).absolutePath();
        if (!QFileInfo(probe).isDir())
            throw PlmLibraryPackageError(PlmLibraryPackageError::Kind::unavailable);
        throw PlmLibraryFileError(PlmLibraryFileError::Kind::noSuchFile, parent, ENOENT);
    }
    if (!parentKind.isDirectory)
        throw PlmLibraryPackageError(PlmLibraryPackageError::Kind::unavailable);

    QString legacy;
    QMap<QString, QString> before;
    if (migratingFrom) {
        legacy = Files::standardized(*migratingFrom);
        if (Files::isWithin(package, legacy, Files::Links::alsoResolved))
            throw PlmLibraryError(PlmLibraryError::Kind::descendantMove);
        before = fileDigests(legacy);
    }

    Files::makeFolder(package); // mode 0755, one level; EEXIST is a collision
    try {
        if (migratingFrom) {
            for (const QString& name : Files::entries(legacy))
                Files::copyTree(legacy + QLatin1Char('/') + name, package + QLatin1Char('/') + name);
            if (migrationCopyObserver())
                migrationCopyObserver()();
            if (fileDigests(package) != before)
                throw PlmLibraryPackageError(PlmLibraryPackageError::Kind::integrity);
            if (fileDigests(legacy) != before)
                throw PlmLibraryPackageError(PlmLibraryPackageError::Kind::integrity);
        }
        Files::writeAtomically(package + QLatin1Char('/') + manifestName(), PlmLibraryManifest::make().encode());
    } catch (...) {
        Files::removeTreeQuietly(package);
        throw;
    }
    return openPackage(package);
}

QString PlmLibraryStore::legacyFolderPath()
{
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (data.isEmpty())
        return {};
    return Files::standardized(data + QStringLiteral("/PelmoraStudio/Fonds"));
}

PlmLibraryStore PlmLibraryStore::legacyStore()
{
    const QString folder = legacyFolderPath();
    if (folder.isEmpty())
        throw PlmLibraryPackageError(PlmLibraryPackageError::Kind::unavailable);
    return PlmLibraryStore(folder, std::nullopt, true);
}
