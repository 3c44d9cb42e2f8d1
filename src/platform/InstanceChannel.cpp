#include "platform/InstanceChannel.h"

#include "platform/LaunchLock.h"
#include "platform/TerminationSignals.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// A hand-over is a handful of paths; anything larger is not ours.
constexpr qint64 kMaxMessageBytes = 1 << 20;
// The decimal length and its newline.
constexpr qsizetype kMaxHeaderBytes = 32;
// Launches being answered at once; more wait in the socket's queue.
constexpr std::size_t kMaxClients = 32;
// A launch sends its files as soon as it is connected: one silent for this long has gone
// astray, and its place is given to the next.
constexpr std::chrono::seconds kClientPatience{30};
// A launch decides again when the instance it reached ended before answering; an instance
// that never answers anybody (not ours) is given up after a few rounds.
constexpr int kElectionRounds = 4;

std::optional<sockaddr_un> addressOf(const QString& path)
{
    const QByteArray bytes = QFile::encodeName(path);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (bytes.isEmpty() || std::size_t(bytes.size()) >= sizeof(address.sun_path))
        return std::nullopt;
    std::memcpy(address.sun_path, bytes.constData(), std::size_t(bytes.size()));
    return address;
}

// Only a program of this user is handed files, or keeps this launch from taking the name: in
// the temporary folder, anybody may have made a socket of that name first.
int ofThisUser(int fd, int* error)
{
    ucred peer{};
    socklen_t length = sizeof(peer);
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &length) == 0 && peer.uid == ::geteuid())
        return fd;
    ::close(fd);
    *error = EACCES;
    return -1;
}

// A connection to the socket at the path, or -1 with the reason in `error`. The connection
// waits while a live instance's queue is full: it is still there.
int connectTo(const QString& path, int* error)
{
    const std::optional<sockaddr_un> address = addressOf(path);
    if (!address) {
        *error = ENAMETOOLONG;
        return -1;
    }
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        *error = errno;
        return -1;
    }
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&*address), sizeof(*address)) == 0)
        return ofThisUser(fd, error);
    *error = errno;
    if (*error == EINTR) {
        // The connection goes on by itself: its outcome comes once the socket is writable.
        pollfd ready{fd, POLLOUT, 0};
        while (::poll(&ready, 1, -1) < 0 && errno == EINTR) {
        }
        socklen_t length = sizeof(*error);
        if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, error, &length) == 0 && *error == 0)
            return ofThisUser(fd, error);
    }
    ::close(fd);
    return -1;
}

bool sendAll(int fd, const QByteArray& bytes)
{
    qsizetype sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.constData() + sent, std::size_t(bytes.size() - sent), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        sent += n;
    }
    return true;
}

// Sends the hand-over on the connection and waits for the answer as long as the other end
// lives (it closes the connection once it answered, or as it ends). Closes the connection.
bool deliverTo(int fd, const QStringList& paths)
{
    const QByteArray payload = InstanceChannel::encode(paths);
    bool answered = sendAll(fd, QByteArray::number(payload.size()) + '\n' + payload);
    QByteArray answer;
    while (answered && answer.size() < 2) {
        char chunk[2];
        const ssize_t n = ::recv(fd, chunk, sizeof(chunk), 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        answer.append(chunk, n);
    }
    ::close(fd);
    return answered && answer.startsWith("ok");
}

struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    bool operator==(const FileIdentity&) const = default;
};

std::optional<FileIdentity> identityOf(const QString& path)
{
    struct stat status {};
    if (::lstat(QFile::encodeName(path).constData(), &status) != 0)
        return std::nullopt;
    return FileIdentity{status.st_dev, status.st_ino};
}

} // namespace

// Accepts launches and answers them on a thread of its own; their files go to the channel's
// thread through its event queue.
class InstanceChannel::Listener {
public:
    // Takes the listening socket and the pipe that stops its thread.
    Listener(int socket, const int wake[2], QString path, InstanceChannel* channel)
        : socket_(socket), wake_{wake[0], wake[1]}, path_(std::move(path)), identity_(identityOf(path_)), channel_(channel)
    {
        thread_ = std::thread([this] { serve(); });
    }

    ~Listener()
    {
        const char stop = 0;
        while (::write(wake_[1], &stop, 1) < 0 && errno == EINTR) {
        }
        thread_.join();
        // The name goes first: the launches let go below then find nobody under it, and the
        // first of them becomes the running instance. The file is removed only while it is
        // still this socket's; a launch that meets it afterwards is refused and decides again.
        if (identity_ && identityOf(path_) == identity_)
            ::unlink(QFile::encodeName(path_).constData());
        ::close(socket_);
        for (const Client& client : clients_)
            ::close(client.fd);
        for (const Held& launch : held_)
            ::close(launch.fd);
        for (const int fd : wake_)
            ::close(fd);
    }

    Listener(const Listener&) = delete;
    Listener& operator=(const Listener&) = delete;

    // From now on a launch is read but not answered: it waits, its files still its own.
    void hold()
    {
        const std::lock_guard lock(mutex_);
        holding_ = true;
    }

    // The launches held are answered and their files received; the next ones are again at once.
    void resume()
    {
        std::vector<Held> held;
        {
            const std::lock_guard lock(mutex_);
            holding_ = false;
            held.swap(held_);
        }
        for (const Held& launch : held) {
            take(launch.fd, launch.paths);
            ::close(launch.fd);
        }
    }

private:
    struct Client {
        int fd;
        QByteArray buffer;
        QDeadlineTimer deadline;
    };
    struct Held {
        int fd;
        QStringList paths;
    };
    enum class Read { pending, done, held };

    void serve()
    {
        std::vector<Client>& clients = clients_;
        for (;;) {
            std::vector<pollfd> watched{{wake_[0], POLLIN, 0},
                                        {socket_, short(clients.size() < kMaxClients ? POLLIN : 0), 0}};
            QDeadlineTimer nextDeadline = QDeadlineTimer::Forever;
            for (const Client& client : clients) {
                watched.push_back({client.fd, POLLIN, 0});
                nextDeadline = std::min(nextDeadline, client.deadline);
            }
            const int timeout = nextDeadline.isForever() ? -1 : int(nextDeadline.remainingTime());
            if (::poll(watched.data(), watched.size(), timeout) < 0) {
                if (errno == EINTR)
                    continue;
                break;
            }
            if (watched[0].revents != 0)
                break;
            for (std::size_t i = clients.size(); i-- > 0;) {
                const Read read = watched[i + 2].revents == 0 ? Read::pending : readFrom(clients[i]);
                if (read == Read::held) {
                    clients.erase(clients.begin() + std::ptrdiff_t(i));
                } else if (read == Read::done || clients[i].deadline.hasExpired()) {
                    ::close(clients[i].fd);
                    clients.erase(clients.begin() + std::ptrdiff_t(i));
                }
            }
            if (watched[1].revents & POLLIN) {
                const int fd = ::accept4(socket_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
                if (fd >= 0)
                    clients.push_back({fd, {}, QDeadlineTimer(kClientPatience)});
            }
        }
    }

    // Takes what the launch sent: done once answered, malformed or gone; held while the end
    // of the program is asked for.
    Read readFrom(Client& client)
    {
        char chunk[4096];
        const ssize_t n = ::recv(client.fd, chunk, sizeof(chunk), 0);
        if (n < 0)
            return errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK ? Read::pending : Read::done;
        if (n == 0)
            return Read::done;
        client.buffer.append(chunk, n);
        const qsizetype newline = client.buffer.indexOf('\n');
        if (newline < 0)
            return client.buffer.size() <= kMaxHeaderBytes ? Read::pending : Read::done;
        bool ok = false;
        const qint64 length = client.buffer.left(newline).toLongLong(&ok);
        if (!ok || length < 0 || length > kMaxMessageBytes)
            return Read::done;
        if (client.buffer.size() - newline - 1 < length)
            return Read::pending;
        const QStringList paths = decode(client.buffer.mid(newline + 1, length));
        {
            // Answered now, the launch would leave its files to a program that is ending: a
            // signal caught while the program is busy asks for the end before it is delivered.
            const std::lock_guard lock(mutex_);
            if (holding_ || TerminationSignals::caughtAny()) {
                held_.push_back({client.fd, paths});
                return Read::held;
            }
        }
        take(client.fd, paths);
        return Read::done;
    }

    // The launch may exit once answered: its files are the channel's from now on.
    void take(int fd, const QStringList& paths)
    {
        [[maybe_unused]] const ssize_t answered = ::send(fd, "ok", 2, MSG_NOSIGNAL);
        InstanceChannel* channel = channel_;
        QMetaObject::invokeMethod(channel, [channel, paths] { emit channel->filesReceived(paths); }, Qt::QueuedConnection);
    }

    int socket_;
    int wake_[2];
    QString path_;
    std::optional<FileIdentity> identity_;
    InstanceChannel* channel_;
    std::vector<Client> clients_; // the serving thread's until it is joined
    std::mutex mutex_;
    bool holding_ = false;
    std::vector<Held> held_;
    std::thread thread_;
};

InstanceChannel::InstanceChannel(const QString& name, QObject* parent)
    : QObject(parent), m_name(name)
{
}

InstanceChannel::~InstanceChannel()
{
    stopListening();
}

QString InstanceChannel::defaultName()
{
    QString display = qEnvironmentVariable("WAYLAND_DISPLAY");
    if (display.isEmpty()) {
        // An X display is [host]:number[.screen]: the screen is part of the same session, and
        // "unix" is the local socket an empty host stands for. Another host, "localhost"
        // included (the way a forwarded display over SSH is written), is another session.
        display = qEnvironmentVariable("DISPLAY");
        if (const qsizetype colon = display.lastIndexOf(QLatin1Char(':')); colon >= 0) {
            QString host = display.left(colon).toLower();
            if (host == QLatin1String("unix"))
                host.clear();
            display = host + QLatin1Char(':') + display.mid(colon + 1).section(QLatin1Char('.'), 0, 0);
        }
    }
    return sessionName(qEnvironmentVariable("XDG_RUNTIME_DIR"), display,
                       qEnvironmentVariable("USER", QStringLiteral("user")));
}

QString InstanceChannel::sessionName(const QString& runtimeDir, const QString& display, const QString& user)
{
    // A display may be written as a path (a Wayland socket); keep it one file name.
    QString screen = display;
    screen.replace(QLatin1Char('/'), QLatin1Char('_'));
    const QString base = screen.isEmpty() ? QStringLiteral("pelmora-studio")
                                          : QStringLiteral("pelmora-studio-") + screen;
    // The runtime folder belongs to the user's session already; the temporary folder is
    // shared by every user, so the name carries the user there.
    if (!runtimeDir.isEmpty() && QDir::isAbsolutePath(runtimeDir))
        return QDir(runtimeDir).filePath(base);
    return base + QLatin1Char('-') + user;
}

QByteArray InstanceChannel::encode(const QStringList& paths)
{
    QByteArray bytes;
    for (const QString& path : paths) {
        bytes += path.toUtf8();
        bytes += '\0';
    }
    return bytes;
}

QStringList InstanceChannel::decode(const QByteArray& bytes)
{
    QStringList paths;
    for (const QByteArray& part : bytes.split('\0')) {
        if (!part.isEmpty())
            paths.append(QString::fromUtf8(part));
    }
    return paths;
}

QString InstanceChannel::socketPath() const
{
    return QDir::isAbsolutePath(m_name) ? m_name : QDir(QDir::tempPath()).filePath(m_name);
}

QString InstanceChannel::electionLockPath() const
{
    return socketPath() + QStringLiteral(".lock");
}

bool InstanceChannel::handOver(const QStringList& paths) const
{
    int error = 0;
    const int fd = connectTo(socketPath(), &error);
    return fd >= 0 && deliverTo(fd, paths);
}

bool InstanceChannel::listen()
{
    return claim() == Claim::listening;
}

InstanceChannel::Claim InstanceChannel::claim()
{
    if (m_listener)
        return Claim::listening;
    const QString path = socketPath();
    const std::optional<sockaddr_un> address = addressOf(path);
    if (!address)
        return Claim::unmakeable;
    // Twice at most: once more after removing a socket nobody serves.
    for (int attempt = 0; attempt < 2; ++attempt) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0)
            return Claim::unmakeable;
        if (::bind(fd, reinterpret_cast<const sockaddr*>(&*address), sizeof(*address)) == 0) {
            // Only the user may connect; nobody can before listen() anyway.
            int wake[2];
            if (::chmod(address->sun_path, S_IRUSR | S_IWUSR) != 0 || ::listen(fd, 64) != 0
                || ::pipe2(wake, O_CLOEXEC) != 0) {
                ::unlink(address->sun_path);
                ::close(fd);
                return Claim::unmakeable;
            }
            m_listener = std::make_unique<Listener>(fd, wake, path, this);
            return Claim::listening;
        }
        const int bindError = errno;
        ::close(fd);
        if (bindError != EADDRINUSE)
            return Claim::unmakeable;
        // Something has the name. An instance that accepts the connection is alive, however
        // slow its answers: its socket stays. One that refuses it was left behind.
        int error = 0;
        if (const int peer = connectTo(path, &error); peer >= 0) {
            ::close(peer);
            return Claim::taken;
        }
        if (error != ECONNREFUSED)
            return Claim::unmakeable;
        ::unlink(address->sun_path);
    }
    return Claim::unmakeable;
}

void InstanceChannel::stopListening()
{
    m_listener.reset();
}

void InstanceChannel::holdLaunches()
{
    if (m_listener)
        m_listener->hold();
}

void InstanceChannel::resumeLaunches()
{
    if (m_listener)
        m_listener->resume();
}

bool InstanceChannel::handOverOrListen(const QStringList& paths)
{
    // Without the lock, the second of two launches finds nobody listening yet, and both listen:
    // two programs, each opening the same file.
    for (int round = 0; round < kElectionRounds; ++round) {
        LaunchLock election(electionLockPath(), electionPatience);
        int error = 0;
        if (const int peer = connectTo(socketPath(), &error); peer >= 0) {
            // The running instance is there: others may reach it too while it answers.
            election.release();
            if (deliverTo(peer, paths))
                return true;
            continue; // it ended before answering
        }
        switch (claim()) {
        case Claim::listening: return false;
        case Claim::taken: continue; // a launch that could not wait for this one listens now
        case Claim::unmakeable: return false;
        }
    }
    return false;
}

bool InstanceChannel::isListening() const
{
    return m_listener != nullptr;
}
