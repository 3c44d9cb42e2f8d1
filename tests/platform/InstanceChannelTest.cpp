#include "platform/InstanceChannel.h"
#include "platform/FileVersion.h"
#include "platform/LaunchLock.h"
#include "platform/TerminationSignals.h"
#include "support/EventWait.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>
#include <QUuid>
#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <cstring>
#include <memory>
#include <optional>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

QString uniqueName()
{
    return QStringLiteral("pelmora-test-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
}

// handOver blocks until acknowledged, so the sender runs on its own thread while the
// receiving channel is served by this thread's event loop.
QStringList sendAndReceive(const QString& name, const QStringList& paths, bool* delivered)
{
    InstanceChannel receiver(name);
    EXPECT_TRUE(receiver.listen());
    QStringList received;
    bool got = false;
    QObject::connect(&receiver, &InstanceChannel::filesReceived, [&](const QStringList& p) {
        received = p;
        got = true;
    });
    std::atomic<bool> done{false};
    std::atomic<bool> ok{false};
    QThread* sender = QThread::create([&] {
        InstanceChannel client(name);
        ok = client.handOver(paths);
        done = true;
    });
    sender->start();
    waitUntil([&] { return done && got; });
    sender->wait();
    delete sender;
    *delivered = ok;
    EXPECT_TRUE(got);
    return received;
}

} // namespace

TEST(InstanceChannel, HandsPathsToTheRunningInstanceInOrder)
{
    bool delivered = false;
    const QStringList paths{QStringLiteral("/tmp/a carte.plm"), QStringLiteral("/tmp/Région é.plmmap")};
    EXPECT_EQ(sendAndReceive(uniqueName(), paths, &delivered), paths);
    EXPECT_TRUE(delivered);
}

TEST(InstanceChannel, AnEmptyHandOverIsStillDelivered)
{
    bool delivered = false;
    EXPECT_TRUE(sendAndReceive(uniqueName(), {}, &delivered).isEmpty());
    EXPECT_TRUE(delivered);
}

TEST(InstanceChannel, NoRunningInstanceMeansNoHandOver)
{
    InstanceChannel client(uniqueName());
    EXPECT_FALSE(client.handOver({QStringLiteral("/tmp/x.plm")}));
}

// The first launch is still deciding, for longer than a launch takes to decide: the second
// waits for it rather than becoming a second running instance.
TEST(InstanceChannel, OfTwoLaunchesTogetherTheLaterHandsItsFilesToTheFirst)
{
    const QString name = uniqueName();
    InstanceChannel first(name);
    QStringList received;
    QObject::connect(&first, &InstanceChannel::filesReceived, [&](const QStringList& p) { received = p; });
    auto deciding = std::make_unique<LaunchLock>(first.electionLockPath(), std::chrono::milliseconds(0));
    ASSERT_TRUE(deciding->isHeld());
    std::atomic<bool> done{false};
    std::atomic<bool> handedOver{false};
    QThread* second = QThread::create([&] {
        InstanceChannel channel(name);
        handedOver = channel.handOverOrListen({QStringLiteral("/tmp/carte.plm")});
        done = true;
    });
    second->start();
    QThread::sleep(1); // the second launch tries meanwhile, which it must not do yet
    EXPECT_FALSE(done);
    ASSERT_TRUE(first.listen());
    deciding.reset();
    waitUntil([&] { return done && (!handedOver || !received.isEmpty()); });
    second->wait();
    delete second;
    EXPECT_TRUE(handedOver);
    EXPECT_EQ(received, QStringList{QStringLiteral("/tmp/carte.plm")});
}

TEST(InstanceChannel, DecodingIgnoresEmptyParts)
{
    EXPECT_EQ(InstanceChannel::decode(QByteArray("a\0\0b\0", 6)), (QStringList{"a", "b"}));
    EXPECT_EQ(InstanceChannel::decode(InstanceChannel::encode({"x", "y"})), (QStringList{"x", "y"}));
}

TEST(InstanceChannel, AnOversizedLengthIsRefusedWithoutDelivery)
{
    const QString name = uniqueName();
    InstanceChannel receiver(name);
    ASSERT_TRUE(receiver.listen());
    bool got = false;
    QObject::connect(&receiver, &InstanceChannel::filesReceived, [&](const QStringList&) { got = true; });
    QLocalSocket socket;
    socket.connectToServer(name);
    ASSERT_TRUE(waitUntil([&] { return socket.state() == QLocalSocket::ConnectedState; }));
    socket.write("999999999999\nabc");
    socket.flush();
    EXPECT_TRUE(waitUntil([&] { return socket.state() != QLocalSocket::ConnectedState; }));
    EXPECT_FALSE(got);
}

// One instance per desktop session: the socket lives in the session's runtime folder and its
// name carries the display, so two displays of one user never share an instance. An X display
// is its host and number: a screen of it, or the local socket written "unix", is the same
// session; another host, "localhost" as an SSH forwarding writes it too, is another.
TEST(InstanceChannel, TheDefaultNameBelongsToTheSessionAndItsDisplay)
{
    struct Row {
        const char* name;
        QByteArray runtimeDir, wayland, display;
        QString expected;
    };
    const QList<Row> rows = {
        {"x11 in the runtime folder", "/run/user/1000", "", ":1", QStringLiteral("/run/user/1000/pelmora-studio-:1")},
        {"a screen of that display", "/run/user/1000", "", ":1.0", QStringLiteral("/run/user/1000/pelmora-studio-:1")},
        {"its local socket named", "/run/user/1000", "", "unix:1.2", QStringLiteral("/run/user/1000/pelmora-studio-:1")},
        {"a display of another host", "/run/user/1000", "", "localhost:10.0", QStringLiteral("/run/user/1000/pelmora-studio-localhost:10")},
        {"wayland before x11", "/run/user/1000", "wayland-0", ":0", QStringLiteral("/run/user/1000/pelmora-studio-wayland-0")},
        {"wayland as a path", "/run/user/1000", "/tmp/w/sock", "", QStringLiteral("/run/user/1000/pelmora-studio-_tmp_w_sock")},
        {"no runtime folder", "", "", ":2", QStringLiteral("pelmora-studio-:2-ana")},
        {"no display", "/run/user/1000", "", "", QStringLiteral("/run/user/1000/pelmora-studio")},
    };
    const QByteArray saved[] = {qgetenv("XDG_RUNTIME_DIR"), qgetenv("WAYLAND_DISPLAY"), qgetenv("DISPLAY"), qgetenv("USER")};
    for (const Row& row : rows) {
        qputenv("XDG_RUNTIME_DIR", row.runtimeDir);
        qputenv("WAYLAND_DISPLAY", row.wayland);
        qputenv("DISPLAY", row.display);
        qputenv("USER", "ana");
        EXPECT_EQ(InstanceChannel::defaultName(), row.expected) << row.name;
    }
    qputenv("XDG_RUNTIME_DIR", saved[0]);
    qputenv("WAYLAND_DISPLAY", saved[1]);
    qputenv("DISPLAY", saved[2]);
    qputenv("USER", saved[3]);
}

namespace {

// A running instance seen from outside, written as the wire format asks: it answers a
// complete hand-over with "ok" once its thread's events run, keeping the paths.
struct AnsweringServer {
    QLocalServer server;
    QStringList received;

    explicit AnsweringServer(const QString& path)
    {
        EXPECT_TRUE(server.listen(path));
        QObject::connect(&server, &QLocalServer::newConnection, [this] {
            while (QLocalSocket* socket = server.nextPendingConnection()) {
                QObject::connect(socket, &QLocalSocket::readyRead, socket, [this, socket] {
                    const QByteArray bytes = socket->peek(socket->bytesAvailable());
                    const qsizetype newline = bytes.indexOf('\n');
                    if (newline < 0 || bytes.size() - newline - 1 < bytes.left(newline).toLongLong())
                        return;
                    received += InstanceChannel::decode(socket->readAll().mid(newline + 1));
                    socket->write("ok");
                    socket->disconnectFromServer();
                });
            }
        });
    }
};

std::optional<FileVersion> socketFile(const InstanceChannel& channel)
{
    struct stat status {};
    if (::lstat(QFile::encodeName(channel.socketPath()).constData(), &status) != 0)
        return std::nullopt;
    FileVersion version;
    version.device = status.st_dev;
    version.inode = status.st_ino;
    return version;
}

} // namespace

// A running instance that is slow to answer (its main thread reading a big work; the whole
// program stopped for a while) is alive: a launch that reached it waits for its answer, hands
// its files over, and leaves the instance its socket.
TEST(InstanceChannel, ALiveInstanceKeepsItsNameHoweverLongItTakesToAnswer)
{
    enum class Instance { busyMainThread, stoppedProgram };
    struct Row {
        const char* name;
        Instance instance;
    };
    const Row rows[] = {
        {"its main thread busy until the launch has ended", Instance::busyMainThread},
        {"the whole program stopped for 3 s", Instance::stoppedProgram},
    };
    const QStringList files{QStringLiteral("/tmp/Région lente.plm")};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const QString name = QDir::temp().filePath(uniqueName());
        InstanceChannel running(name);
        QStringList channelReceived;
        QObject::connect(&running, &InstanceChannel::filesReceived, [&](const QStringList& p) { channelReceived += p; });
        std::unique_ptr<AnsweringServer> stopped;
        if (row.instance == Instance::busyMainThread)
            ASSERT_TRUE(running.listen());
        else
            stopped = std::make_unique<AnsweringServer>(name);
        const std::optional<FileVersion> socket = socketFile(running);
        ASSERT_TRUE(socket);
        const QStringList& received = stopped ? stopped->received : channelReceived;

        std::atomic<bool> handedOver{false};
        QThread* launch = QThread::create([&] {
            InstanceChannel channel(name);
            handedOver = channel.handOverOrListen(files);
        });
        launch->start();
        // No event of this thread runs meanwhile.
        if (row.instance == Instance::busyMainThread)
            EXPECT_TRUE(launch->wait(QDeadlineTimer(EventWait::guard))) << "the answer waited for the main thread";
        else
            QThread::sleep(3);
        waitUntil([&] { return launch->isFinished() && (!handedOver || !received.isEmpty()); });
        launch->wait();
        delete launch;
        EXPECT_TRUE(handedOver);
        EXPECT_EQ(received, files);
        const std::optional<FileVersion> after = socketFile(running);
        EXPECT_TRUE(after && after->isSameFileAs(*socket)) << "the running instance's socket was replaced";
    }
}

// A name nobody answers under any more is taken over: a socket left by an instance that ended
// (it refuses connections), and an instance that ends as the launch reaches it. The launch
// then runs, and a later launch's files come to it.
TEST(InstanceChannel, ANameNobodyAnswersUnderIsTakenOver)
{
    struct Row {
        const char* name;
        bool leftBehind; // else an instance ends before answering
    };
    const Row rows[] = {
        {"a socket left behind", true},
        {"an instance ending as it is reached", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const QString name = QDir::temp().filePath(uniqueName());
        std::unique_ptr<QLocalServer> ending;
        if (row.leftBehind) {
            // Bound, and never served again: connections are refused.
            const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            std::strcpy(address.sun_path, QFile::encodeName(name).constData());
            ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
            ::close(fd);
        } else {
            ending = std::make_unique<QLocalServer>();
            ASSERT_TRUE(ending->listen(name));
            QObject::connect(ending.get(), &QLocalServer::newConnection, [&ending] {
                QLocalSocket* reached = ending->nextPendingConnection();
                ending->close();
                reached->abort();
            });
        }
        ASSERT_TRUE(QFileInfo::exists(name));

        InstanceChannel launch(name);
        QStringList received;
        QObject::connect(&launch, &InstanceChannel::filesReceived, [&](const QStringList& p) { received += p; });
        std::atomic<bool> done{false};
        std::atomic<bool> handedOver{true};
        QThread* launching = QThread::create([&] {
            handedOver = launch.handOverOrListen({QStringLiteral("/tmp/premier.plm")});
            done = true;
        });
        launching->start();
        ASSERT_TRUE(waitUntil([&] { return done.load(); }));
        launching->wait();
        delete launching;
        EXPECT_FALSE(handedOver);
        EXPECT_TRUE(launch.isListening());

        std::atomic<bool> laterHandedOver{false};
        QThread* later = QThread::create([&] {
            InstanceChannel channel(name);
            laterHandedOver = channel.handOverOrListen({QStringLiteral("/tmp/ensuite.plm")});
        });
        later->start();
        waitUntil([&] { return later->isFinished() && (!laterHandedOver || !received.isEmpty()); });
        later->wait();
        delete later;
        EXPECT_TRUE(laterHandedOver);
        EXPECT_EQ(received, QStringList{QStringLiteral("/tmp/ensuite.plm")});
    }
}

// The program's end is asked for, its questions still showing: a launch reaching it then waits,
// unanswered. Once the end is cancelled its files come to the program; once it is decided, the
// launch becomes the running instance itself. Either way they open somewhere.
TEST(InstanceChannel, ALaunchDuringTheEndIsNeitherAnsweredNorLost)
{
    struct Row {
        const char* name;
        bool cancelled;
        // The end asked for by a signal the busy program has not delivered yet, rather than
        // by « Quitter ».
        bool bySignal = false;
    };
    const Row rows[] = {
        {"the end cancelled", true},
        {"the end decided", false},
        {"a signal caught, not delivered yet", false, true},
    };
    const QStringList files{QStringLiteral("/tmp/Autre carte.plm")};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const QString name = QDir::temp().filePath(uniqueName());
        InstanceChannel ending(name);
        ASSERT_TRUE(ending.listen());
        QStringList received;
        QObject::connect(&ending, &InstanceChannel::filesReceived, [&](const QStringList& p) { received += p; });
        std::optional<TerminationSignals> watch;
        if (row.bySignal) {
            watch.emplace();
            std::raise(SIGHUP);
        } else {
            ending.holdLaunches();
        }

        std::atomic<bool> done{false};
        std::atomic<bool> handedOver{false};
        std::atomic<bool> runsItself{false};
        QThread* launch = QThread::create([&] {
            InstanceChannel channel(name);
            handedOver = channel.handOverOrListen(files);
            runsItself = channel.isListening();
            done = true;
        });
        launch->start();
        // Long enough for an answer to reach the launch and its files the program.
        for (const QDeadlineTimer meanwhile(1500); !meanwhile.hasExpired() && !done && received.isEmpty();)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        EXPECT_FALSE(done || !received.isEmpty()) << "the launch was answered while the end was asked for";
        if (row.cancelled)
            ending.resumeLaunches();
        else
            ending.stopListening();
        waitUntil([&] { return done && (!row.cancelled || !received.isEmpty()); });
        launch->wait();
        delete launch;
        EXPECT_EQ(handedOver, row.cancelled);
        EXPECT_EQ(runsItself, !row.cancelled);
        EXPECT_EQ(received, row.cancelled ? files : QStringList());
    }
}

// Where every user may make a socket of our name first (the temporary folder), another user's
// program listening under it is never handed a launch's files, nor has its socket removed.
TEST(InstanceChannel, AnotherUsersSocketOfOurNameIsRefused)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "a second user takes root to make";
    const QString name = QDir::temp().filePath(uniqueName());
    const QByteArray path = QFile::encodeName(name);
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t other = ::fork();
    ASSERT_GE(other, 0);
    if (other == 0) {
        // The other user, made of system calls alone: it answers any hand-over, as ours would.
        const uid_t nobody = 65534;
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strcpy(address.sun_path, path.constData());
        if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 || ::chown(path.constData(), nobody, nobody) != 0
            || ::setgid(nobody) != 0 || ::setuid(nobody) != 0 || ::listen(fd, 8) != 0)
            ::_exit(3);
        [[maybe_unused]] const ssize_t told = ::write(ready[1], "r", 1);
        for (;;) {
            const int peer = ::accept(fd, nullptr, nullptr);
            char bytes[256];
            if (::recv(peer, bytes, sizeof bytes, 0) > 0) {
                [[maybe_unused]] const ssize_t answered = ::send(peer, "ok", 2, MSG_NOSIGNAL);
                ::_exit(2);
            }
            ::close(peer);
        }
    }
    ::close(ready[1]);
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1) << "the other user's program did not start";
    ::close(ready[0]);

    InstanceChannel launch(name);
    EXPECT_FALSE(launch.handOverOrListen({QStringLiteral("/tmp/Ma carte.plm")}));
    EXPECT_FALSE(launch.isListening());
    EXPECT_TRUE(QFileInfo::exists(name)) << "the other user's socket was removed";
    ::kill(other, SIGKILL);
    int status = 0;
    ::waitpid(other, &status, 0);
    EXPECT_FALSE(WIFEXITED(status) && WEXITSTATUS(status) == 2) << "the other user was handed the files";
    QFile::remove(name);
}
