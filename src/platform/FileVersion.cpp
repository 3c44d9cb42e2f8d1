#include "platform/FileVersion.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

namespace {

// Two writes within one second differ only by their nanoseconds.
qint64 nanoseconds(const struct timespec& time)
{
    return qint64(time.tv_sec) * 1000000000 + qint64(time.tv_nsec);
}

std::optional<FileVersion> versionOf(const struct stat& status)
{
    FileVersion version;
    version.device = quint64(status.st_dev);
    version.inode = quint64(status.st_ino);
    version.size = qint64(status.st_size);
    version.modifiedNs = nanoseconds(status.st_mtim);
    version.changedNs = nanoseconds(status.st_ctim);
    return version;
}

// A path whose file may not exist yet: its folder with links resolved, then its name.
QString resolvedPath(const QString& path)
{
    const QFileInfo info(cleanAbsolutePath(path));
    const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
    return (folder.isEmpty() ? info.absolutePath() : folder) + QLatin1Char('/') + info.fileName();
}

} // namespace

std::optional<FileVersion> FileVersion::of(const QString& path)
{
    if (path.isEmpty())
        return std::nullopt;
    struct stat status {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        return std::nullopt;
    return versionOf(status);
}

std::optional<FileVersion> FileVersion::ofOpenFile(int descriptor)
{
    struct stat status {};
    if (descriptor < 0 || ::fstat(descriptor, &status) != 0)
        return std::nullopt;
    return versionOf(status);
}

QString cleanAbsolutePath(const QString& path)
{
    return path.isEmpty() ? QString() : QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

bool isSameFile(const QString& first, const QString& second)
{
    if (first.isEmpty() || second.isEmpty())
        return false;
    const std::optional<FileVersion> a = FileVersion::of(first);
    const std::optional<FileVersion> b = FileVersion::of(second);
    if (a && b)
        return a->isSameFileAs(*b);
    if (a || b)
        return false;
    return resolvedPath(first) == resolvedPath(second);
}
