#pragma once

#include <QHash>
#include <QHostAddress>
#include <QPointer>
#include <QTimer>
#include <QList>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>

#include <functional>

// A canned HTTP server on 127.0.0.1, run by the thread that made it. Each connection reads one
// request head (bounded) and gets the answer the handler writes for it; a null answer is never
// sent (a server that hangs).
class LocalHttpServer {
public:
    using Handler = std::function<QByteArray(const QByteArray& path)>;

    explicit LocalHttpServer(Handler handler)
        : m_handler(std::move(handler))
    {
        m_server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&m_server, &QTcpServer::newConnection, [this]() {
            while (QTcpSocket* socket = m_server.nextPendingConnection()) {
                QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket]() {
                    QByteArray& head = m_partial[socket];
                    head += socket->readAll();
                    if (head.size() > 64 * 1024) {
                        socket->abort();
                        return;
                    }
                    if (!head.contains("\r\n\r\n"))
                        return;
                    const QList<QByteArray> parts = head.left(head.indexOf("\r\n")).split(' ');
                    const QByteArray path = parts.size() > 1 ? parts.at(1) : QByteArray();
                    m_paths.append(path);
                    head.clear();
                    const QByteArray answer = m_handler(path);
                    if (answer.isNull())
                        return;
                    const int delay = answerDelay ? answerDelay(path) : 0;
                    QPointer<QTcpSocket> later(socket);
                    QTimer::singleShot(delay, socket, [later, answer] {
                        if (!later)
                            return;
                        later->write(answer);
                        later->disconnectFromHost();
                    });
                });
                QObject::connect(socket, &QTcpSocket::disconnected, socket, [this, socket] {
                    m_partial.remove(socket);
                    socket->deleteLater();
                });
            }
        });
    }

    // Milliseconds to wait before answering a path (a slow server); none by default.
    std::function<int(const QByteArray& path)> answerDelay;

    bool isListening() const { return m_server.isListening(); }
    quint16 port() const { return m_server.serverPort(); }
    // Any address, served here: "http://127.0.0.1:port/<host><path>".
    QUrl localURL(const QUrl& url) const
    {
        return QUrl(QStringLiteral("http://127.0.0.1:%1/%2%3").arg(port()).arg(url.host(), url.path()));
    }
    const QList<QByteArray>& paths() const { return m_paths; }

    static QByteArray ok(const QByteArray& body, const QByteArray& type = "application/json")
    {
        return "HTTP/1.1 200 OK\r\nContent-Type: " + type + "\r\nContent-Length: " + QByteArray::number(body.size())
            + "\r\nConnection: close\r\n\r\n" + body;
    }
    static QByteArray status(int code)
    {
        return "HTTP/1.1 " + QByteArray::number(code) + " Erreur\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
    }

private:
    QTcpServer m_server;
    Handler m_handler;
    QList<QByteArray> m_paths;
    QHash<QTcpSocket*, QByteArray> m_partial;
};
