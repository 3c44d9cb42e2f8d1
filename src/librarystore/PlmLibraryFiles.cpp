#include "librarystore/PlmLibraryFiles.h"

#include "librarystore/PlmLibraryError.h"
#include "platform/AtomicFileWriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUuid>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace PlmLibraryFiles {
namespace {

QByteArray native(const QString& path)
{
    return QFile::encodeName(path);
}

[[noreturn]] void throwErrno(const QString& path, int error)
{
    if (error == ENOENT || error == ENOTDIR)
        throw PlmLibraryFileError(PlmLibraryFileError::Kind::noSuchFile, path, error);
    throw PlmLibraryFileError(PlmLibraryFileError::Kind::posix, path, error);
}

constexpr qint64 chunkSize = 1024 * 1024;

// Opens a new file for writing only when nothing is there (O_EXCL also refuses a link).
int createExclusive(const QString& path)
{
    const int fd = ::open(native(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        if (errno == EEXIST)
            throw PlmLibraryError(PlmLibraryError::Kind::collision);
        throwErrno(path, errno);
    }
    return fd;
}

void writeAll(int fd, const char* data, qint64 size, const QString& path)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size_t(std::min(size, chunkSize)));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw PlmLibraryFileError(PlmLibraryFileError::Kind::writeFailed, path, errno);
        }
        data += n;
        size -= n;
    }
}

void finishFile(int fd, const QString& path)
{
    const bool synced = ::fsync(fd) == 0 || errno == EINVAL;
    const int saved = errno;
    if (::close(fd) != 0 || !synced)
        throw PlmLibraryFileError(PlmLibraryFileError::Kind::writeFailed, path, synced ? errno : saved);
}

const QString temporaryPrefix = QStringLiteral(".tmp-");

// A hidden name beside `path` that the library listing skips: what is being written stays
// there until it is whole, so that a kill never leaves a truncated map under its final name.
// It is held under the writer's lock for as long as the object lives, so that no clean-up (of
// this program or of another sharing the library) takes it for one a kill left behind.
class Temporary {
public:
    explicit Temporary(const QString& path)
        : m_folder(QFileInfo(path).absolutePath())
    {
    }
    ~Temporary()
    {
        if (m_lock >= 0)
            ::close(m_lock);
    }
    Temporary(const Temporary&) = delete;
    Temporary& operator=(const Temporary&) = delete;
    operator const QString&() const { return m_path; }

    // Makes it, an empty folder or an empty file, and holds it.
    void create(bool folder)
    {
        for (int attempt = 0; attempt < 64; ++attempt) {
            m_path = m_folder + QLatin1Char('/') + temporaryPrefix + QUuid::createUuid().toString(QUuid::WithoutBraces);
            const QByteArray name = native(m_path);
            const int made = folder ? ::mkdir(name.constData(), 0755)
                                    : ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
            if (made < 0) {
                if (errno == EEXIST)
                    continue;
                throwErrno(m_path, errno);
            }
            if (!folder)
                ::close(made);
            // A folder cannot be opened for writing: the lock is held on a reading descriptor,
            // the file's too, and kept until the copy is published.
            const int lock = ::open(name.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
            if (lock >= 0 && AtomicFileWriter::holdWhileWriting(lock, name)) {
                m_lock = lock;
                return;
            }
            // Another program's clean-up took it before the lock: it removes it.
            if (lock >= 0)
                ::close(lock);
        }
        throw PlmLibraryFileError(PlmLibraryFileError::Kind::posix, m_folder, EEXIST);
    }

private:
    QString m_folder;
    QString m_path;
    int m_lock = -1;
};

// Removes a temporary left behind: one that no living writer holds. The clean-up's own lock is
// held while it removes it, so a writer that comes at that instant starts again elsewhere.
void removeUnlessBeingWritten(const QString& path)
{
    const QByteArray name = native(path);
    // Not blocking on a special file; one that cannot be opened cannot be told, and stays.
    const int fd = ::open(name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return;
    struct stat held {};
    struct stat named {};
    if (::flock(fd, LOCK_SH | LOCK_NB) == 0 && ::fstat(fd, &held) == 0 && ::lstat(name.constData(), &named) == 0
        && held.st_dev == named.st_dev && held.st_ino == named.st_ino)
        removeTreeQuietly(path);
    ::close(fd);
}

bool isTemporaryName(const QString& name)
{
    return name.size() == temporaryPrefix.size() + 36 && name.startsWith(temporaryPrefix)
        && !QUuid::fromString(QStringView(name).mid(temporaryPrefix.size())).isNull();
}

// Makes a rename in `folder` durable.
void syncFolder(const QString& folder)
{
    const int fd = ::open(native(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return; // the rename itself is done; a folder that cannot be opened cannot be synced
    ::fsync(fd);
    ::close(fd);
}

// Renames a finished temporary to its final name, refusing to replace anything there; the
// temporary is removed when the rename fails.
void publish(const QString& temporary, const QString& path)
{
    try {
        moveNoReplace(temporary, path); // syncs the folder
    } catch (const PlmLibraryFileError& error) {
        // The temporary is this write's own: the failure is the rename's, on the final name.
        removeTreeQuietly(temporary);
        throw PlmLibraryFileError(PlmLibraryFileError::Kind::posix, path, error.errorNumber());
    } catch (...) {
        removeTreeQuietly(temporary);
        throw;
    }
}

// The store's own refusals for a write through the common writer, as its own steps made them:
// a name taken is a collision; the temporary's creation, writing and flushing are reported on
// the temporary; the rename on the name.
void throwRefusal(const AtomicFileWriter::Result& written, const QString& path)
{
    using Refusal = AtomicFileWriter::Refusal;
    switch (written.refusal) {
    case Refusal::none:
    case Refusal::changedMeanwhile: // not asked for
        return;
    case Refusal::exists: throw PlmLibraryError(PlmLibraryError::Kind::collision);
    case Refusal::noFileName:
    case Refusal::temporary: throwErrno(written.temporary.isEmpty() ? path : written.temporary, written.error);
    case Refusal::writing:
    case Refusal::syncing: throw PlmLibraryFileError(PlmLibraryFileError::Kind::writeFailed, written.temporary, written.error);
    case Refusal::isFolder:
    case Refusal::notWritable: throwErrno(path, written.error);
    // The temporary is the writer's own: a rename that fails says why, never that a file is
    // missing.
    case Refusal::renaming: throw PlmLibraryFileError(PlmLibraryFileError::Kind::posix, path, written.error);
    }
}

// Copies into a new file; `made` when the temporary holding the copy made it already, empty.
void copyFile(const QString& from, const QString& to, bool made = false)
{
    const int in = ::open(native(from).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (in < 0)
        throwErrno(from, errno);
    int out = -1;
    try {
        if (made) {
            out = ::open(native(to).constData(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC);
            if (out < 0)
                throwErrno(to, errno);
        } else {
            out = createExclusive(to);
        }
        QByteArray buffer(int(chunkSize), Qt::Uninitialized);
        for (;;) {
            const ssize_t n = ::read(in, buffer.data(), size_t(buffer.size()));
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                throw PlmLibraryFileError(PlmLibraryFileError::Kind::readFailed, from, errno);
            }
            if (n == 0)
                break;
            writeAll(out, buffer.constData(), n, to);
        }
        const int done = out;
        out = -1;
        finishFile(done, to);
    } catch (...) {
        if (out >= 0) {
            ::close(out);
            ::unlink(native(to).constData());
        }
        ::close(in);
        throw;
    }
    ::close(in);
}

// What a copy may take: a file or a folder, never a link or a special file.
Kind copiable(const QString& from)
{
    const Kind kind = kindOf(from);
    if (!kind.exists)
        throw PlmLibraryFileError(PlmLibraryFileError::Kind::noSuchFile, from, ENOENT);
    if (kind.isSymLink)
        throw PlmLibraryError(PlmLibraryError::Kind::outsideLibrary);
    if (!kind.isDirectory && !kind.isRegularFile)
        throw PlmLibraryFileError(PlmLibraryFileError::Kind::posix, from, EINVAL);
    return kind;
}

// Copies a folder's entries into `to`, which exists.
void copyEntries(const QString& from, const QString& to);

void copyInto(const QString& from, const QString& to)
{
    if (copiable(from).isDirectory) {
        makeFolder(to);
        copyEntries(from, to);
        return;
    }
    copyFile(from, to);
}

void copyEntries(const QString& from, const QString& to)
{
    for (const QString& name : entries(from))
        copyInto(from + QLatin1Char('/') + name, to + QLatin1Char('/') + name);
}

} // namespace

QString standardized(const QString& path)
{
    return QDir::cleanPath(QDir::isAbsolutePath(path) ? path : QDir::current().absoluteFilePath(path));
}

QString resolved(const QString& path)
{
    QString head = standardized(path);
    QStringList tail;
    for (;;) {
        char buffer[PATH_MAX];
        if (::realpath(native(head).constData(), buffer)) {
            QString result = QFile::decodeName(buffer);
            for (const QString& part : tail)
                result += (result.endsWith(QLatin1Char('/')) ? QString() : QStringLiteral("/")) + part;
            return result;
        }
        const qsizetype slash = head.lastIndexOf(QLatin1Char('/'));
        if (slash < 0 || head == QLatin1String("/"))
            return standardized(path);
        tail.prepend(head.mid(slash + 1));
        head = slash == 0 ? QStringLiteral("/") : head.left(slash);
    }
}

bool isWithin(const QString& path, const QString& folder, Links links)
{
    const auto within = [](const QString& inner, const QString& outer) {
        // Only the root keeps its slash once standardized.
        return inner == outer || inner.startsWith(outer.endsWith(QLatin1Char('/')) ? outer : outer + QLatin1Char('/'));
    };
    return within(standardized(path), standardized(folder))
        || (links == Links::alsoResolved && within(resolved(path), resolved(folder)));
}

Kind kindOf(const QString& path)
{
    Kind kind;
    struct stat info;
    if (::lstat(native(path).constData(), &info) != 0)
        return kind;
    kind.exists = true;
    kind.isSymLink = S_ISLNK(info.st_mode);
    kind.isDirectory = S_ISDIR(info.st_mode);
    kind.isRegularFile = S_ISREG(info.st_mode);
    return kind;
}

bool exists(const QString& path)
{
    return kindOf(path).exists;
}

QByteArray read(const QString& path, qint64 limit)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (!exists(path))
            throw PlmLibraryFileError(PlmLibraryFileError::Kind::noSuchFile, path, ENOENT);
        throw PlmLibraryFileError(PlmLibraryFileError::Kind::readFailed, path, EACCES);
    }
    // The size is checked before anything is read; the read is bounded too, for a file that
    // grows meanwhile.
    if (limit >= 0 && file.size() > limit)
        throw PlmLibraryFileError(PlmLibraryFileError::Kind::tooLarge, path, EFBIG);
    QByteArray bytes = limit >= 0 ? file.read(limit + 1) : file.readAll();
    if (limit >= 0 && bytes.size() > limit)
        throw PlmLibraryFileError(PlmLibraryFileError::Kind::tooLarge, path, EFBIG);
    if (file.error() != QFileDevice::NoError)
        throw PlmLibraryFileError(PlmLibraryFileError::Kind::readFailed, path, EIO);
    return bytes;
}

void writeNew(const QString& path, const QByteArray& bytes)
{
    AtomicFileWriter::Options options;
    options.replaceExisting = false;
    options.newFileMode = 0644;
    throwRefusal(AtomicFileWriter::write(path, bytes, options), path);
}

void writeAtomically(const QString& path, const QByteArray& bytes)
{
    AtomicFileWriter::Options options;
    options.newFileMode = 0644;
    const AtomicFileWriter::Result written = AtomicFileWriter::write(path, bytes, options);
    if (written.refusal == AtomicFileWriter::Refusal::renaming || written.refusal == AtomicFileWriter::Refusal::notWritable
        || written.refusal == AtomicFileWriter::Refusal::isFolder)
        throw PlmLibraryFileError(PlmLibraryFileError::Kind::writeFailed, path, written.error);
    throwRefusal(written, path);
}

void moveNoReplace(const QString& from, const QString& to)
{
    // A rename lasts once the folders that hold both names are synced.
    auto synced = [&] {
        const QString target = QFileInfo(to).absolutePath();
        syncFolder(target);
        if (QFileInfo(from).absolutePath() != target)
            syncFolder(QFileInfo(from).absolutePath());
    };
    if (::renameat2(AT_FDCWD, native(from).constData(), AT_FDCWD, native(to).constData(), RENAME_NOREPLACE) == 0) {
        synced();
        return;
    }
    const int error = errno;
    if (error == EEXIST || error == ENOTEMPTY)
        throw PlmLibraryError(PlmLibraryError::Kind::collision);
    if (error == EINVAL || error == ENOSYS) {
        // A file system without the no-replace flag: test, then rename, as close together as we can.
        if (exists(to))
            throw PlmLibraryError(PlmLibraryError::Kind::collision);
        if (::rename(native(from).constData(), native(to).constData()) == 0) {
            synced();
            return;
        }
        throwErrno(from, errno);
    }
    if (error == EXDEV)
        throw PlmLibraryFileError(PlmLibraryFileError::Kind::posix, to, error);
    throwErrno(exists(from) ? to : from, error);
}

void makeFolder(const QString& path)
{
    if (::mkdir(native(path).constData(), 0755) == 0)
        return;
    if (errno == EEXIST)
        throw PlmLibraryError(PlmLibraryError::Kind::collision);
    throwErrno(path, errno);
}

void copyTree(const QString& from, const QString& to)
{
    // The copy is made under a hidden name and renamed whole; what is at `to` (someone
    // else's file or folder) is never touched.
    if (exists(to))
        throw PlmLibraryError(PlmLibraryError::Kind::collision);
    const bool folder = copiable(from).isDirectory;
    Temporary temporary(to);
    temporary.create(folder);
    try {
        if (folder)
            copyEntries(from, temporary);
        else
            copyFile(from, temporary, true);
    } catch (...) {
        removeTreeQuietly(temporary);
        throw;
    }
    publish(temporary, to);
}

void removeTreeQuietly(const QString& path)
{
    const Kind kind = kindOf(path);
    if (!kind.exists)
        return;
    if (kind.isDirectory)
        QDir(path).removeRecursively(); // removes links, never follows them
    else
        ::unlink(native(path).constData());
}

void removeStaleTemporaries(const QString& root)
{
    // Iterative, links never followed; a temporary folder is removed whole, not entered.
    QStringList pending{root};
    while (!pending.isEmpty()) {
        const QString folder = pending.takeLast();
        QDir dir(folder);
        const QStringList names = dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        for (const QString& name : names) {
            const QString path = folder + QLatin1Char('/') + name;
            const Kind kind = kindOf(path);
            if (isTemporaryName(name)) {
                removeUnlessBeingWritten(path);
            } else if (AtomicFileWriter::isTemporaryName(name) && kind.isRegularFile) {
                if (!AtomicFileWriter::isWritingTemporary(path))
                    removeUnlessBeingWritten(path);
            } else if (kind.isDirectory && !kind.isSymLink) {
                pending.append(path);
            }
        }
    }
}

QStringList entries(const QString& folder)
{
    const Kind kind = kindOf(folder);
    if (!kind.exists)
        throw PlmLibraryFileError(PlmLibraryFileError::Kind::noSuchFile, folder, ENOENT);
    QDir dir(folder);
    if (!dir.isReadable())
        throw PlmLibraryFileError(PlmLibraryFileError::Kind::readFailed, folder, EACCES);
    return dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Unsorted);
}

} // namespace PlmLibraryFiles
