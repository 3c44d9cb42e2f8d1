#include "platform/InstanceChannel.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>

#include <memory>

namespace {
// A hand-over is a handful of paths; anything larger is not ours.
constexpr qint64 kMaxMessageBytes = 1 << 20;
}

InstanceChannel::InstanceChannel(const QString& name, QObject* parent)
    : QObject(parent), m_name(name)
{
}

InstanceChannel::~InstanceChannel() = default;

QString InstanceChannel::defaultName()
{
    QString display = qEnvironmentVariable("WAYLAND_DISPLAY");
    if (display.isEmpty())
        display = qEnvironmentVariable("DISPLAY");
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

bool InstanceChannel::handOver(const QStringList& paths, int timeoutMs) const
{
    QLocalSocket socket;
    socket.connectToServer(m_name);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    const QByteArray payload = encode(paths);
    QByteArray message = QByteArray::number(payload.size()) + '\n' + payload;
    socket.write(message);
    if (!socket.waitForBytesWritten(timeoutMs))
        return false;
    // Wait for the acknowledgement so the files are never lost when this process exits.
    if (!socket.waitForReadyRead(timeoutMs))
        return false;
    return socket.readAll().startsWith("ok");
}

bool InstanceChannel::listen()
{
    if (m_server)
        return m_server->isListening();
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(m_name)) {
        // A crashed instance may have left its socket file behind.
        QLocalServer::removeServer(m_name);
        if (!m_server->listen(m_name)) {
            delete m_server;
            m_server = nullptr;
            return false;
        }
    }
    connect(m_server, &QLocalServer::newConnection, this, &InstanceChannel::acceptConnections);
    return true;
}

QString InstanceChannel::electionLockPath() const
{
    // Beside the socket: a bare name lives in the temporary folder, as the socket's does.
    const QString socket = QDir::isAbsolutePath(m_name) ? m_name : QDir(QDir::tempPath()).filePath(m_name);
    return socket + QStringLiteral(".lock");
}

bool InstanceChannel::handOverOrListen(const QStringList& paths, int timeoutMs)
{
    // Without it, the second of two launches finds nobody listening yet, and its listen takes
    // the name over from the first: two programs, each opening the same file. A lock left by a
    // launch that died is taken over; one never given up is waited for a while, then ignored.
    QLockFile election(electionLockPath());
    election.tryLock(10 * timeoutMs);
    if (handOver(paths, timeoutMs))
        return true;
    listen();
    return false;
}

bool InstanceChannel::isListening() const
{
    return m_server && m_server->isListening();
}

void InstanceChannel::acceptConnections()
{
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        auto buffer = std::make_shared<QByteArray>();
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket, buffer] {
            *buffer += socket->readAll();
            const qsizetype newline = buffer->indexOf('\n');
            if (newline < 0) {
                if (buffer->size() > 32)
                    socket->abort();
                return;
            }
            bool ok = false;
            const qint64 length = buffer->left(newline).toLongLong(&ok);
            if (!ok || length < 0 || length > kMaxMessageBytes) {
                socket->abort();
                return;
            }
            if (buffer->size() - newline - 1 < length)
                return;
            const QStringList paths = decode(buffer->mid(newline + 1, length));
            buffer->clear();
            socket->write("ok");
            socket->flush();
            // One hand-over per connection: the socket is done once it has answered.
            socket->disconnectFromServer();
            // Delivered after that: the receiver may run an alert whose event loop deletes this
            // socket, and control must not come back into it afterwards.
            QMetaObject::invokeMethod(this, [this, paths] { emit filesReceived(paths); }, Qt::QueuedConnection);
        });
    }
}
