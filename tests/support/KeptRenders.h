#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QString>

// PELMORA_KEEP_RENDERS=<folder> keeps the tests' pictures and files there, to be looked at;
// without it nothing is written.
namespace KeptRenders {

inline QString folder()
{
    const QString dir = qEnvironmentVariable("PELMORA_KEEP_RENDERS");
    if (!dir.isEmpty())
        QDir().mkpath(dir);
    return dir;
}

inline void keep(const QString& name, const QImage& image)
{
    if (!folder().isEmpty())
        image.save(QDir(folder()).filePath(name));
}

inline void keep(const QString& name, const QByteArray& bytes)
{
    if (folder().isEmpty())
        return;
    QFile file(QDir(folder()).filePath(name));
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
}

} // namespace KeptRenders
