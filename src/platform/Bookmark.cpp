#include "platform/Bookmark.h"

#include <QDir>
#include <QFileInfo>

namespace Bookmark {
namespace {

// A path longer than any file system accepts cannot be a bookmark.
constexpr qsizetype maxPathBytes = 16 * 1024;

QString missing(const QString& path)
{
    return QStringLiteral("Le fichier « %1 » est introuvable.").arg(path);
}

} // namespace

QByteArray make(const QString& path)
{
    if (path.isEmpty())
        throw Error(QStringLiteral("Aucun fichier à mémoriser."));
    const QFileInfo info(path);
    if (!info.exists())
        throw Error(missing(path));
    return QDir::cleanPath(info.absoluteFilePath()).toUtf8();
}

QString resolve(const QByteArray& data)
{
    if (data.isEmpty() || data.size() > maxPathBytes || data.contains('\0'))
        throw Error(QStringLiteral("Le signet du document est illisible."));
    const QString path = QString::fromUtf8(data);
    if (!QDir::isAbsolutePath(path))
        throw Error(QStringLiteral("Le signet du document est illisible."));
    if (!QFileInfo::exists(path))
        throw Error(missing(path));
    return QDir::cleanPath(path);
}

bool startAccessing(const QString&)
{
    return true;
}

void stopAccessing(const QString&) {}

} // namespace Bookmark
