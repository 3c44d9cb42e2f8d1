#include "librarystore/PlmLibraryError.h"

#include "model/PlmFileLimits.h"

#include <QFileInfo>
#include <cstring>

PlmLibraryError::PlmLibraryError(Kind kind)
    : PlmError(description(kind))
    , m_kind(kind)
{
}

QString PlmLibraryError::description(Kind kind)
{
    switch (kind) {
    case Kind::invalidName:
        return QStringLiteral("Choisissez un nom non vide, sans / ni :, qui ne commence pas par un point.");
    case Kind::outsideLibrary:
        return QStringLiteral("Cette opération doit rester dans la bibliothèque locale, sans lien symbolique.");
    case Kind::invalidFolder:
        return QStringLiteral("Le dossier de destination n’existe pas.");
    case Kind::descendantMove:
        return QStringLiteral("Un dossier ne peut pas être déplacé dans lui-même ou dans un de ses sous-dossiers.");
    case Kind::unsupportedFile:
        return QStringLiteral("Seuls les documents .plmmap sont acceptés.");
    case Kind::collision:
        return QStringLiteral("Un élément portant ce nom existe déjà.");
    }
    return {};
}

PlmLibraryPackageError::PlmLibraryPackageError(Kind kind)
    : PlmError(description(kind))
    , m_kind(kind)
{
}

QString PlmLibraryPackageError::description(Kind kind)
{
    switch (kind) {
    case Kind::invalidPackage:
        return QStringLiteral("Ce package n’est pas une bibliothèque Pelmora valide ou sa version n’est pas prise en charge.");
    case Kind::unavailable:
        return QStringLiteral("La bibliothèque est indisponible. Reconnectez son disque ou localisez le package déplacé. "
                              "Aucun dossier de remplacement n’a été créé.");
    case Kind::integrity:
        return QStringLiteral("La copie ne correspond pas à l’ancienne bibliothèque, ou celle-ci a changé pendant la "
                              "migration. L’original est conservé.");
    }
    return {};
}

namespace {

QString fileMessage(PlmLibraryFileError::Kind kind, const QString& path, int errorNumber)
{
    // The file's name only: a user message never spells out where the library lives.
    const QString shown = QFileInfo(path).fileName();
    switch (kind) {
    case PlmLibraryFileError::Kind::noSuchFile:
        return QStringLiteral("Le fichier « %1 » est introuvable.").arg(shown);
    case PlmLibraryFileError::Kind::readFailed:
        return QStringLiteral("Le fichier « %1 » n’a pas pu être lu.").arg(shown);
    case PlmLibraryFileError::Kind::writeFailed:
        return QStringLiteral("Le fichier « %1 » n’a pas pu être enregistré.").arg(shown);
    case PlmLibraryFileError::Kind::tooLarge:
        return plmLargeFileMessage(path);
    case PlmLibraryFileError::Kind::posix:
        break;
    }
    return QStringLiteral("L’opération sur « %1 » a échoué (%2).")
        .arg(shown, QString::fromLocal8Bit(std::strerror(errorNumber)));
}

} // namespace

PlmLibraryFileError::PlmLibraryFileError(Kind kind, const QString& path, int errorNumber)
    : PlmError(fileMessage(kind, path, errorNumber))
    , m_kind(kind)
    , m_path(path)
    , m_errno(errorNumber)
{
}
