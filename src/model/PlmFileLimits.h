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

// "Le document « name » n’a pas pu être ouvert.", with the reader's own text under it when it
// says more: what a document or a library map that cannot be read tells the person.
inline QString plmDocumentOpenFailure(const QString& path, const QString& detail)
{
    const QString heading = QStringLiteral("Le document « %1 » n’a pas pu être ouvert.").arg(QFileInfo(path).fileName());
    return detail.isEmpty() || detail == heading ? heading : heading + QStringLiteral("\n\n") + detail;
}
