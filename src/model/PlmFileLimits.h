#pragma once

#include <QFileInfo>
#include <QString>

// Files larger than this are refused before they are read, documents and imports alike:
// decoding holds the file and a parsed tree of about nine times its size, so this is what a
// machine of 16 GB opens comfortably.
inline constexpr qint64 plmMaximumFileBytes = qint64(256) << 20;

// "Le fichier « name » est trop volumineux pour être ouvert (256 Mo au plus)."
inline QString plmLargeFileMessage(const QString& path)
{
    return QStringLiteral("Le fichier « %1 » est trop volumineux pour être ouvert (%2 Mo au plus).")
        .arg(QFileInfo(path).fileName())
        .arg(plmMaximumFileBytes >> 20);
}
