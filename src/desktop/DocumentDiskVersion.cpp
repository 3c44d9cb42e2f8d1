#include "desktop/DocumentDiskVersion.h"

#include "desktop/DialogHooks.h"
#include "desktop/Document.h"
#include "model/PlmFileLimits.h"
#include "platform/AtomicFileWriter.h"

#include <QFile>
#include <QFileInfo>

#include <xxhash.h>

QByteArray DocumentDiskVersion::digestOf(const QByteArray& bytes)
{
    // It only has to tell two versions of a file apart, not to stand against a forger: XXH3's
    // 128 bits do that at memory speed (a few milliseconds for a 75 MB work), where a
    // cryptographic digest cost a tenth of every open.
    const XXH128_hash_t hash = XXH3_128bits(bytes.constData(), size_t(bytes.size()));
    XXH128_canonical_t canonical;
    XXH128_canonicalFromHash(&canonical, hash);
    return QByteArray(reinterpret_cast<const char*>(canonical.digest), sizeof canonical.digest);
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

DocumentDiskVersion::Written DocumentDiskVersion::write(const QString& path, const QByteArray& data,
                                                        const QString& cannotWrite,
                                                        const std::optional<FileVersion>& expected,
                                                        const std::function<void()>& beforeComparing)
{
    AtomicFileWriter::Options options;
    options.expected = expected;
    options.beforeComparing = beforeComparing;
    const AtomicFileWriter::Result written = AtomicFileWriter::write(path, data, options);
    Written result;
    if (written.refusal == AtomicFileWriter::Refusal::changedMeanwhile) {
        result.changedMeanwhile = true;
    } else if (!written.written()) {
        result.error = cannotWrite;
    } else {
        result.version = written.version;
        result.digest = digestOf(data);
    }
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
