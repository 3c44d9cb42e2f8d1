#include "desktop/DocumentDiskVersion.h"

#include "desktop/DialogHooks.h"
#include "desktop/Document.h"
#include "model/PlmFileLimits.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

QByteArray DocumentDiskVersion::digestOf(const QByteArray& bytes)
{
    // BLAKE2b: of Qt's digests with no known collision, the fastest here (a tenth of a second
    // for a 75 MB work, on the threads that hold the bytes anyway).
    return QCryptographicHash::hash(bytes, QCryptographicHash::Blake2b_256);
}

void DocumentDiskVersion::note(const QString& path, const std::optional<FileVersion>& version, const QByteArray& digest)
{
    path_ = cleanAbsolutePath(path);
    version_ = version;
    digest_ = digest;
    declined.reset();
    otherBytes_.reset();
}

void DocumentDiskVersion::adopt(const DocumentDiskVersion& other)
{
    path_ = other.path_;
    version_ = other.version_;
    digest_ = other.digest_;
}

std::optional<FileVersion> DocumentDiskVersion::versionAt(const QString& path) const
{
    if (path.isEmpty() || cleanAbsolutePath(path) != path_)
        return std::nullopt;
    return version_;
}

namespace {

struct ReadVersion {
    FileVersion version;
    QByteArray digest;
};

// The file's digest and the version read, no larger than a document may be; nothing when it
// cannot be read whole.
std::optional<ReadVersion> readVersion(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > plmMaximumFileBytes)
        return std::nullopt;
    const QByteArray data = file.read(plmMaximumFileBytes + 1);
    const std::optional<FileVersion> version = FileVersion::ofOpenFile(file.handle());
    if (data.size() > plmMaximumFileBytes || file.error() != QFileDevice::NoError || !version)
        return std::nullopt;
    return ReadVersion{*version, DocumentDiskVersion::digestOf(data)};
}

} // namespace

DocumentDiskVersion::Look DocumentDiskVersion::look(const QString& path)
{
    Look look;
    const std::optional<FileVersion> known = versionAt(path);
    if (!known)
        return look;
    look.now = FileVersion::of(path);
    if (!look.now || *look.now == *known)
        return look;
    if (look.now != otherBytes_) {
        if (const std::optional<ReadVersion> read = readVersion(path); read && read->digest == digest_) {
            version_ = read->version;
            look.now = read->version;
            return look;
        }
        otherBytes_ = look.now;
    }
    look.changed = true;
    return look;
}

void DocumentDiskVersion::replaceAsked(const std::optional<FileVersion>& now)
{
    version_ = now;
    declined.reset();
}

namespace {

// The file a path names: a link's target, as a save through a link replaces the target.
QString linkTarget(const QString& path)
{
    QFileInfo info(path);
    for (int depth = 0; depth < 128 && info.isSymLink(); ++depth)
        info.setFile(info.symLinkTarget());
    return info.isSymLink() ? path : info.filePath();
}

// A new file beside the target, made with the target's permissions (a new file's follow the
// umask); -1 when none can be made.
int makeTemporary(const QString& target, QByteArray* name)
{
    struct stat existing {};
    const bool exists = ::stat(QFile::encodeName(target).constData(), &existing) == 0;
    for (int attempt = 0; attempt < 64; ++attempt) {
        *name = QFile::encodeName(target) + '.' + QByteArray::number(QRandomGenerator::global()->generate(), 36);
        // Until it holds the target's permissions, nobody else may open it.
        const int descriptor = ::open(name->constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, exists ? 0600 : 0666);
        if (descriptor < 0 && errno == EEXIST)
            continue;
        if (descriptor >= 0 && exists && ::fchmod(descriptor, existing.st_mode & 07777) != 0) {
            ::close(descriptor);
            ::unlink(name->constData());
            return -1;
        }
        return descriptor;
    }
    return -1;
}

bool writeAll(int descriptor, const QByteArray& data)
{
    const char* next = data.constData();
    qint64 left = data.size();
    while (left > 0) {
        const ssize_t written = ::write(descriptor, next, size_t(std::min<qint64>(left, qint64(1) << 30)));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        next += written;
        left -= written;
    }
    return ::fsync(descriptor) == 0;
}

} // namespace

DocumentDiskVersion::Written DocumentDiskVersion::write(const QString& path, const QByteArray& data,
                                                        const QString& cannotWrite,
                                                        const std::optional<FileVersion>& expected,
                                                        const std::function<void()>& beforeComparing)
{
    Written result;
    const QString target = linkTarget(path);
    QByteArray temporary;
    const int descriptor = makeTemporary(target, &temporary);
    if (descriptor < 0) {
        result.error = cannotWrite;
        return result;
    }
    const auto discard = [&] {
        ::close(descriptor);
        ::unlink(temporary.constData());
    };
    if (!writeAll(descriptor, data)) {
        discard();
        result.error = cannotWrite;
        return result;
    }
    result.digest = digestOf(data);
    if (beforeComparing)
        beforeComparing();
    if (expected) {
        const std::optional<FileVersion> now = FileVersion::of(target);
        if (now && *now != *expected) {
            discard();
            result.changedMeanwhile = true;
            return result;
        }
    }
    if (::rename(temporary.constData(), QFile::encodeName(target).constData()) != 0) {
        discard();
        result.error = cannotWrite;
        return result;
    }
    // The file this write made, taken from it after the rename (which moves its change time):
    // whatever happens at the path afterwards is another program's.
    result.version = FileVersion::ofOpenFile(descriptor);
    ::close(descriptor);
    return result;
}

// The document's side: its version, its check before a write in place and the question.

std::optional<FileVersion> Document::diskVersion() const
{
    return disk_.versionAt(filePath_);
}

void Document::adoptDiskVersion(const Document& other)
{
    disk_.adopt(other.disk_);
}

void Document::noteDiskVersion(const QString& path, const std::optional<FileVersion>& version, const QByteArray& digest)
{
    disk_.note(path, version, digest);
}

namespace {

// Asked before a write in place over a file another program changed.
DialogHooks::Alert changedOnDiskQuestion(const QString& displayName, const QString& path)
{
    DialogHooks::Alert alert;
    alert.message = QStringLiteral("Le fichier du document « %1 » a été modifié par une autre application.").arg(displayName);
    alert.informativeText =
        QStringLiteral("« %1 » a changé depuis que ce document l’a ouvert ou enregistré. Voulez-vous le remplacer "
                       "par ce document, ou garder le fichier du disque et le rouvrir ? En gardant le fichier du "
                       "disque, vous abandonnez les modifications faites ici.")
            .arg(QFileInfo(path).fileName());
    alert.buttons = {QStringLiteral("Remplacer"), QStringLiteral("Garder le fichier du disque"), QStringLiteral("Annuler")};
    alert.defaultButton = 2;
    return alert;
}

} // namespace

Document::InPlace Document::checkFileOnDisk(bool autosaving, QString* error)
{
    const DocumentDiskVersion::Look look = disk_.look(filePath_);
    if (!look.changed)
        return InPlace::write;
    if (DialogHooks::isUnattended()) {
        if (error)
            *error = QStringLiteral("Le fichier « %1 » a été modifié par une autre application : il n’a pas été "
                                    "remplacé, les modifications de ce document sont perdues.")
                         .arg(QFileInfo(filePath_).fileName());
        return InPlace::skip;
    }
    // An autosave does not ask again about the version the person chose not to replace, nor
    // while the question shows.
    if (disk_.asking || (autosaving && disk_.declined == look.now))
        return InPlace::skip;
    // Nor does it take the keys out of a text being typed: it asks once the typing stopped.
    if (autosaving && DialogHooks::isTextBeingTyped()) {
        scheduleAutosave();
        return InPlace::skip;
    }
    DialogHooks::Alert question = changedOnDiskQuestion(displayName(), filePath_);
    question.window = windowForSheet();
    disk_.asking = true;
    ++disk_.questions;
    const int answer = DialogHooks::runAlert(question);
    disk_.asking = false;
    switch (answer) {
    case 0:
        disk_.replaceAsked(look.now);
        return InPlace::write;
    case 1: {
        QString readError;
        if (revertToFile(&readError))
            return InPlace::reverted;
        // Said as opening the file says it; the changes made here stay.
        presentError(DialogHooks::documentOpenFailure(filePath_, readError));
        break;
    }
    default: break;
    }
    disk_.declined = look.now;
    return InPlace::skip;
}
