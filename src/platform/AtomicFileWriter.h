#pragma once

#include "platform/FileVersion.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>

// The one way the program writes a file: the bytes go to a temporary file beside it, are flushed
// to disk, and the temporary is renamed over the file, so that the file holds its old bytes or the
// new ones, never part of them, and a failed write leaves it as it was. A file the person may not
// write is refused, as the system judges it for them (a read-only file in a folder they may write
// is not renamed over). A name that is a link writes its target, as far as 128 links lead.
//
// The temporaries are named ".NAME.XXXXXXXX.pelmora-tmp" beside the file NAME (hidden; eight
// random lower-case letters or digits; NAME shortened when the whole would pass the system's
// limit on a name). One that a kill left behind is recognisable by that name alone; those being
// written when the program is ended by a second signal are removed by the signal's handler.
// For as long as its write lasts, a temporary is held under an exclusive flock(2): another
// program sharing the folder (a second session of the person's) tells it from one left behind:
// a clean-up removes only what it could lock itself.
class AtomicFileWriter {
public:
    // Why a write was refused; the file is then as it was, and no temporary is left.
    enum class Refusal {
        none,
        noFileName,       // an empty path
        isFolder,         // the name is a folder's, through links too
        notWritable,      // a file is there that the person may not write
        exists,           // a write that replaces nothing found the name taken
        temporary,        // no temporary could be made beside the file (a folder not writable)
        writing,          // the bytes could not all be written (a full disk)
        syncing,          // they could not be flushed to disk
        changedMeanwhile, // the file is not the version expected any more: it was kept
        renaming,         // the temporary could not take the file's name
    };

    struct Options {
        // In place: the version the file must still be just before the rename; another one is
        // kept (changedMeanwhile). No file there is no change: it is simply written again.
        std::optional<FileVersion> expected;
        // Off: a name taken (a dangling link included) is refused, never replaced, even when it
        // appears during the write; links are then not followed.
        bool replaceExisting = true;
        // The permissions of a new file, less the umask; a replaced file keeps its own.
        int newFileMode = 0666;
        // Runs just before the file is compared with the expected version (tests).
        std::function<void()> beforeComparing;
    };

    struct Result {
        Refusal refusal = Refusal::none;
        int error = 0;      // the system's error number of the step refused, when it has one
        QString target;     // the file written: the path, or the target of a link
        QString temporary;  // the temporary used, gone by now
        std::optional<FileVersion> version; // the file this write made, as its rename left it
        bool written() const { return refusal == Refusal::none; }
    };

    static Result write(const QString& path, const QByteArray& data, const Options& options);
    static Result write(const QString& path, const QByteArray& data) { return write(path, data, Options()); }

    // Whether a file name is a temporary's of this writer.
    static bool isTemporaryName(const QString& fileName);
    // Whether this process is writing the temporary at that path now.
    static bool isWritingTemporary(const QString& path);
    // The lock a write holds on what it is making (a file or a folder, open at `descriptor`):
    // false when another program's clean-up held it first, or removed the name meanwhile — the
    // writer then starts again under another name. Held until the descriptor is closed.
    static bool holdWhileWriting(int descriptor, const QByteArray& path);
    // Removes every temporary this process is writing now. Safe in a signal handler: the process
    // is about to end, and the writes in flight are given up.
    static void removeTemporariesInFlight() noexcept;

    // What tests watch or hold: the flush of the temporary to disk (answering as fsync does), and
    // the moment right after the rename, before the version of the file written is taken.
    struct Hooks {
        std::function<int(int descriptor)> sync;
        std::function<void(const QString& target)> afterRename;
    };
    // Sets the hooks for its life; writes must not be running when it starts or ends.
    class ScopedHooks {
    public:
        explicit ScopedHooks(Hooks hooks);
        ~ScopedHooks();
        ScopedHooks(const ScopedHooks&) = delete;
        ScopedHooks& operator=(const ScopedHooks&) = delete;

    private:
        Hooks previous_;
    };
};
