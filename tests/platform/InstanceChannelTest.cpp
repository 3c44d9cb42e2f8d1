#include "platform/InstanceChannel.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLocalSocket>
#include <QThread>
#include <QUuid>
#include <gtest/gtest.h>

#include <atomic>

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
    QElapsedTimer timer;
    timer.start();
    while ((!done || !got) && timer.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
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
    QElapsedTimer timer;
    timer.start();
    while (socket.state() != QLocalSocket::ConnectedState && timer.elapsed() < 2000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    ASSERT_EQ(socket.state(), QLocalSocket::ConnectedState);
    socket.write("999999999999\nabc");
    socket.flush();
    timer.restart();
    while (socket.state() == QLocalSocket::ConnectedState && timer.elapsed() < 2000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_FALSE(got);
    EXPECT_NE(socket.state(), QLocalSocket::ConnectedState);
}
