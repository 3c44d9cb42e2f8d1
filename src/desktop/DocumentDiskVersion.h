#pragma once

#include "platform/FileVersion.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>

// The version of a document's file as the document last read or wrote it, with a digest of the
// bytes it held then. A file whose version moved while its bytes stayed the same (touched,
// its mode changed, the same bytes renamed over it by a sync tool) was not changed by anyone:
// only its bytes tell, so the file is read to compare them, once, when its version moved.
// Main thread; the static functions run on any thread, where the bytes are.
class DocumentDiskVersion {
public:
    // The digest kept of a file's bytes.
    static QByteArray digestOf(const QByteArray& bytes);

    void note(const QString& path, const std::optional<FileVersion>& version, const QByteArray& digest);
    void adopt(const DocumentDiskVersion& other);
    // The version known of the file at that path; nothing when none is, or it is of another path.
    std::optional<FileVersion> versionAt(const QString& path) const;

    struct Look {
        bool changed = false;            // another program put other bytes there
        std::optional<FileVersion> now;  // the version there now; nothing when there is no file
    };
    // The file at the path against the version known. A new version holding the known bytes
    // becomes the known one. A file gone is no change: it is simply written again.
    Look look(const QString& path);
    // The person chose to replace the version there now: it is no change any more.
    void replaceAsked(const std::optional<FileVersion>& now);

    // A version the person chose not to replace: an autosave does not ask about it again.
    std::optional<FileVersion> declined;
    bool asking = false;  // the question shows
    quint64 questions = 0; // questions asked so far

    // What a write through a temporary file made.
    struct Written {
        QString error;                  // the French message; empty when written
        bool changedMeanwhile = false;  // another program wrote the file first: it was kept
        std::optional<FileVersion> version; // the file this write made
        QByteArray digest;              // of the bytes written
    };
    // Writes the bytes atomically (AtomicFileWriter: a link's target, the file's permissions
    // kept, a file the person may not write refused). With an expected version, the file is
    // compared with it just before the rename and kept when it is another (a file gone is written
    // again). A failed write leaves the file as it was. beforeComparing runs just before that
    // comparison (tests).
    static Written write(const QString& path, const QByteArray& data, const QString& cannotWrite,
                         const std::optional<FileVersion>& expected, const std::function<void()>& beforeComparing);

private:
    QString path_;
    std::optional<FileVersion> version_;
    QByteArray digest_;
    std::optional<FileVersion> otherBytes_; // a version read and found to hold other bytes
};
