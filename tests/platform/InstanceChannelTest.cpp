#include "platform/InstanceChannel.h"
#include "support/EventWait.h"

#include <QCoreApplication>
#include <QLocalSocket>
#include <QLockFile>
#include <QThread>
#include <QUuid>
#include <gtest/gtest.h>

#include <atomic>
#include <memory>

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
    EXPECT_FALSE(client.handOver({QStringLiteral("/tmp/x.plm")}, 200));
}

TEST(InstanceChannel, OfTwoLaunchesTogetherTheLaterHandsItsFilesToTheFirst)
{
    const QString name = uniqueName();
    InstanceChannel first(name);
    QStringList received;
    QObject::connect(&first, &InstanceChannel::filesReceived, [&](const QStringList& p) { received = p; });
    // The first launch is deciding: nobody listens yet.
    auto deciding = std::make_unique<QLockFile>(first.electionLockPath());
    ASSERT_TRUE(deciding->tryLock(0));
    std::atomic<bool> done{false};
    std::atomic<bool> handedOver{false};
    QThread* second = QThread::create([&] {
        InstanceChannel channel(name);
        handedOver = channel.handOverOrListen({QStringLiteral("/tmp/carte.plm")});
        done = true;
    });
    second->start();
    QThread::msleep(200); // time for the second launch to try, which it must not do yet
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

// A failed hand-over shows an alert whose event loop may delete the socket (its peer has left);
// the files must reach the receiver only once the socket is done with them.
TEST(InstanceChannel, TheReceiverMayDestroyTheSocketWhileHandlingTheFiles)
{
    const QString name = uniqueName();
    InstanceChannel receiver(name);
    ASSERT_TRUE(receiver.listen());
    QStringList received;
    QObject::connect(&receiver, &InstanceChannel::filesReceived, [&](const QStringList& paths) {
        received = paths;
        // The socket that carried the files is done with them by now...
        for (QLocalSocket* socket : receiver.findChildren<QLocalSocket*>())
            EXPECT_NE(socket->state(), QLocalSocket::ConnectedState);
        // ...so the alert's nested event loop may delete it, as it does once the second launch left.
        for (QLocalSocket* socket : receiver.findChildren<QLocalSocket*>())
            delete socket;
    });
    std::atomic<bool> done{false};
    QThread* sender = QThread::create([&] {
        InstanceChannel client(name);
        client.handOver({QStringLiteral("/tmp/abîmé.plm")});
        done = true;
    });
    sender->start();
    waitUntil([&] { return done && !received.isEmpty(); });
    sender->wait();
    delete sender;
    QCoreApplication::processEvents();
    EXPECT_EQ(received, QStringList{QStringLiteral("/tmp/abîmé.plm")});
}

// One instance per desktop session: the socket lives in the session's runtime folder and its
// name carries the display, so two displays of one user never share an instance.
TEST(InstanceChannel, TheDefaultNameBelongsToTheSessionAndItsDisplay)
{
    struct Row {
        const char* name;
        QByteArray runtimeDir, wayland, display;
        QString expected;
    };
    const QList<Row> rows = {
        {"x11 in the runtime folder", "/run/user/1000", "", ":1", QStringLiteral("/run/user/1000/pelmora-studio-:1")},
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
