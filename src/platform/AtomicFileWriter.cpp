#include "platform/AtomicFileWriter.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

const QByteArray temporarySuffix = QByteArrayLiteral(".pelmora-tmp");
constexpr int randomLength = 8;

AtomicFileWriter::Hooks& hooks()
{
    static AtomicFileWriter::Hooks installed;
    return installed;
}

// The temporaries being written, for the signal handler: fixed slots that it reads without a lock.
// A slot is claimed, filled, then published; each claim moves its generation, so that a reader
// who met a slot published and finds the same generation after copying its path copied it whole.
struct InFlight {
    std::atomic<int> state{0}; // 0 free, 1 being filled or emptied, 2 published
    std::atomic<unsigned> generation{0};
    char path[PATH_MAX];
};
static_assert(std::atomic<int>::is_always_lock_free && std::atomic<unsigned>::is_always_lock_free,
              "the signal handler may only use lock-free atomics");
std::array<InFlight, 16> inFlight;

// Holds a slot for a temporary while it lives; none when every slot is taken or the path is too
// long for one (that write then is not removed at a second signal).
class InFlightEntry {
public:
    explicit InFlightEntry(const QByteArray& path)
    {
        if (path.size() >= PATH_MAX)
            return;
        for (InFlight& candidate : inFlight) {
            int expected = 0;
            if (candidate.state.compare_exchange_strong(expected, 1)) {
                candidate.generation.fetch_add(1);
                std::memcpy(candidate.path, path.constData(), size_t(path.size()) + 1);
                candidate.state.store(2);
                slot_ = &candidate;
                return;
            }
        }
    }
    ~InFlightEntry()
    {
        if (!slot_)
            return;
        slot_->state.store(1);
        slot_->generation.fetch_add(1);
        slot_->state.store(0);
    }
    InFlightEntry(const InFlightEntry&) = delete;
    InFlightEntry& operator=(const InFlightEntry&) = delete;

private:
    InFlight* slot_ = nullptr;
};

bool endsWithSuffix(const char* path)
{
    const size_t length = std::strlen(path);
    const size_t suffix = size_t(temporarySuffix.size());
    return length > suffix && std::memcmp(path + length - suffix, temporarySuffix.constData(), suffix) == 0;
}

// The file a path names: a link's target, as far as 128 links lead; the link itself past that.
QString linkTarget(const QString& path)
{
    QFileInfo info(path);
    for (int depth = 0; depth < 128 && info.isSymLink(); ++depth)
        info.setFile(info.symLinkTarget());
    return info.isSymLink() ? path : info.filePath();
}

// Cuts a name to at most `limit` bytes without splitting a UTF-8 character.
QByteArray shortened(const QByteArray& name, qsizetype limit)
{
    if (name.size() <= limit)
        return name;
    qsizetype end = limit;
    while (end > 0 && (uchar(name.at(end)) & 0xC0) == 0x80)
        --end;
    return name.left(end);
}

QByteArray temporaryPathFor(const QByteArray& target)
{
    const qsizetype slash = target.lastIndexOf('/');
    const QByteArray folder = target.left(slash + 1);
    const qsizetype room = NAME_MAX - 2 - randomLength - temporarySuffix.size();
    QByteArray random(randomLength, Qt::Uninitialized);
    static constexpr char alphabet[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    for (char& c : random)
        c = alphabet[QRandomGenerator::global()->bounded(36)];
    return folder + '.' + shortened(target.mid(slash + 1), room) + '.' + random + temporarySuffix;
}

bool writeAll(int descriptor, const QByteArray& data)
{
    const char* next = data.constData();
    qint64 left = data.size();
    while (left > 0) {
        const ssize_t written = ::write(descriptor, next, size_t(std::min<qint64>(left, qint64(1) << 30)));
        if (written < 0 && errno == EINTR)
            continue;
        if (written == 0)
            errno = EIO;
        if (written <= 0)
            return false;
        next += written;
        left -= written;
    }
    return true;
}

// Makes the rename last: the folder that holds the name is flushed too. A folder that cannot be
// opened or flushed changes nothing: the file itself is in place.
void syncFolder(const QByteArray& target)
{
    const QByteArray folder = target.left(std::max<qsizetype>(target.lastIndexOf('/'), 1));
    const int descriptor = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor < 0)
        return;
    ::fsync(descriptor);
    ::close(descriptor);
}

// rename(2) that never replaces: where the file system lacks the flag, a test just before.
int renameWithoutReplacing(const char* from, const char* to)
{
    if (::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return -1;
    struct stat there {};
    if (::lstat(to, &there) == 0) {
        errno = EEXIST;
        return -1;
    }
    return ::rename(from, to);
}

} // namespace

bool AtomicFileWriter::holdWhileWriting(int descriptor, const QByteArray& path)
{
    if (::flock(descriptor, LOCK_EX | LOCK_NB) != 0)
        // A file system without locks: nobody can take one to remove it either.
        return errno != EWOULDBLOCK;
    struct stat held {};
    struct stat named {};
    return ::fstat(descriptor, &held) == 0 && ::lstat(path.constData(), &named) == 0 && held.st_dev == named.st_dev
        && held.st_ino == named.st_ino;
}

AtomicFileWriter::Result AtomicFileWriter::write(const QString& path, const QByteArray& data, const Options& options)
{
    Result result;
    const auto refuse = [&result](Refusal refusal, int error) {
        result.refusal = refusal;
        result.error = error;
        return result;
    };
    if (path.isEmpty())
        return refuse(Refusal::noFileName, ENOENT);
    // A write that replaces nothing takes the name itself, a link there included.
    result.target = cleanAbsolutePath(options.replaceExisting ? linkTarget(path) : path);
    const QByteArray target = QFile::encodeName(result.target);

    struct stat existing {};
    const bool exists = options.replaceExisting ? ::stat(target.constData(), &existing) == 0
                                                : ::lstat(target.constData(), &existing) == 0;
    if (exists && !options.replaceExisting)
        return refuse(Refusal::exists, EEXIST);
    if (exists && S_ISDIR(existing.st_mode))
        return refuse(Refusal::isFolder, EISDIR);
    // Judged as the system judges a write by this person, not by the folder's permission that
    // lets the rename through: a read-only file is theirs to keep.
    if (exists && ::faccessat(AT_FDCWD, target.constData(), W_OK, AT_EACCESS) != 0
        && (errno == EACCES || errno == EPERM || errno == EROFS))
        return refuse(Refusal::notWritable, errno);

    QByteArray temporary;
    std::optional<InFlightEntry> entry;
    int descriptor = -1;
    for (int attempt = 0; attempt < 64 && descriptor < 0; ++attempt) {
        temporary = temporaryPathFor(target);
        entry.emplace(temporary);
        // Until it holds the file's permissions, nobody else may open it.
        descriptor = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                            exists ? 0600 : mode_t(options.newFileMode));
        if (descriptor < 0 && errno != EEXIST)
            break;
        if (descriptor >= 0 && !holdWhileWriting(descriptor, temporary)) {
            // Another program's clean-up took it in the instant before the lock: it removes it.
            ::close(descriptor);
            descriptor = -1;
            errno = EEXIST;
        }
    }
    result.temporary = QFile::decodeName(temporary);
    if (descriptor < 0) {
        const int error = errno;
        entry.reset();
        return refuse(Refusal::temporary, error);
    }
    const auto discard = [&](Refusal refusal, int error) {
        ::close(descriptor);
        ::unlink(temporary.constData());
        entry.reset();
        return refuse(refusal, error);
    };
    if (exists && ::fchmod(descriptor, existing.st_mode & 07777) != 0)
        return discard(Refusal::temporary, errno);
    if (!writeAll(descriptor, data))
        return discard(Refusal::writing, errno);
    const Hooks& installed = hooks();
    // A file system that cannot flush this kind of file says so with EINVAL: nothing is lost.
    if ((installed.sync ? installed.sync(descriptor) : ::fsync(descriptor)) != 0 && errno != EINVAL)
        return discard(Refusal::syncing, errno);
    if (options.beforeComparing)
        options.beforeComparing();
    if (options.expected) {
        const std::optional<FileVersion> now = FileVersion::of(result.target);
        if (now && *now != *options.expected)
            return discard(Refusal::changedMeanwhile, 0);
    }
    const int renamed = options.replaceExisting ? ::rename(temporary.constData(), target.constData())
                                                : renameWithoutReplacing(temporary.constData(), target.constData());
    if (renamed != 0)
        return discard(errno == EEXIST && !options.replaceExisting ? Refusal::exists : Refusal::renaming, errno);
    entry.reset();
    if (installed.afterRename)
        installed.afterRename(result.target);
    // Taken from the file written, after the rename (which moves its change time): whatever
    // happens at the path afterwards is another program's.
    result.version = FileVersion::ofOpenFile(descriptor);
    ::close(descriptor);
    syncFolder(target);
    return result;
}

bool AtomicFileWriter::isTemporaryName(const QString& fileName)
{
    const QByteArray name = QFile::encodeName(fileName);
    const qsizetype random = name.size() - temporarySuffix.size() - randomLength;
    if (!name.startsWith('.') || !name.endsWith(temporarySuffix) || random < 3 || name.at(random - 1) != '.')
        return false;
    return std::all_of(name.begin() + random, name.begin() + random + randomLength,
                       [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z'); });
}

bool AtomicFileWriter::isWritingTemporary(const QString& path)
{
    const QByteArray wanted = QFile::encodeName(cleanAbsolutePath(path));
    for (const InFlight& slot : inFlight)
        if (slot.state.load() == 2 && wanted == QByteArray(slot.path))
            return true;
    return false;
}

void AtomicFileWriter::removeTemporariesInFlight() noexcept
{
    for (InFlight& slot : inFlight) {
        const unsigned generation = slot.generation.load();
        if (slot.state.load() != 2)
            continue;
        char path[PATH_MAX];
        std::memcpy(path, slot.path, sizeof path);
        path[PATH_MAX - 1] = '\0';
        // Copied whole only if the slot was not given up and taken again meanwhile.
        if (slot.state.load() == 2 && slot.generation.load() == generation && endsWithSuffix(path))
            ::unlink(path);
    }
}

AtomicFileWriter::ScopedHooks::ScopedHooks(Hooks installed)
    : previous_(std::exchange(hooks(), std::move(installed)))
{
}

AtomicFileWriter::ScopedHooks::~ScopedHooks()
{
    hooks() = std::move(previous_);
}
