#pragma once

#include <QHash>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>
#include <gtest/gtest.h>

#include <functional>
#include <utility>

// A plain HTTP server on 127.0.0.1, served by the event loop of the thread that made it. Each
// connection reads one request head (bounded) and gets the whole answer the handler writes for
// it; a null answer holds the request, unanswered until release() (a slow or silent provider).
class LoopbackHttpServer {
public:
    using Handler = std::function<QByteArray(const QByteArray& head)>;

    explicit LoopbackHttpServer(Handler handler)
        : m_handler(std::move(handler))
    {
        EXPECT_TRUE(m_server.listen(QHostAddress::LocalHost, 0));
        QObject::connect(&m_server, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* socket = m_server.nextPendingConnection()) {
                ++m_connections;
                QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { serve(socket); });
                QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
    }
    LoopbackHttpServer(const LoopbackHttpServer&) = delete;
    LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

    quint16 port() const { return m_server.serverPort(); }
    QUrl url(const QString& path) const { return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(port()).arg(path)); }
    int connections() const { return m_connections; }
    const QList<QByteArray>& heads() const { return m_heads; }

    // Answers every request held so far with this answer.
    void release(const QByteArray& answer)
    {
        for (const QPointer<QTcpSocket>& socket : std::exchange(m_held, {})) {
            if (socket && socket->state() == QAbstractSocket::ConnectedState) {
                socket->write(answer);
                socket->disconnectFromHost();
            }
        }
    }
    qsizetype heldCount() const { return m_held.size(); }

    static QByteArray ok(const QByteArray& body, const QByteArray& extraHeaders = {})
    {
        return "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: " + QByteArray::number(body.size())
            + "\r\nConnection: close\r\n" + extraHeaders + "\r\n" + body;
    }
    static QByteArray status(int code)
    {
        return "HTTP/1.1 " + QByteArray::number(code) + " Refused\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
    }
    // The path and query of the request line.
    static QByteArray pathOf(const QByteArray& head)
    {
        const QList<QByteArray> parts = head.left(head.indexOf("\r\n")).split(' ');
        return parts.size() > 1 ? parts.at(1) : QByteArray();
    }

private:
    void serve(QTcpSocket* socket)
    {
        QByteArray& head = m_partial[socket];
        head += socket->readAll();
        if (head.size() > 64 * 1024) {
            socket->abort();
            return;
        }
        if (!head.contains("\r\n\r\n"))
            return;
        m_heads.append(head);
        const QByteArray answer = m_handler(std::exchange(head, {}));
        if (answer.isNull()) {
            m_held.append(QPointer<QTcpSocket>(socket));
            return;
        }
        socket->write(answer);
        socket->disconnectFromHost();
    }

    QTcpServer m_server;
    Handler m_handler;
    int m_connections = 0;
    QList<QByteArray> m_heads;
    QHash<QTcpSocket*, QByteArray> m_partial;
    QList<QPointer<QTcpSocket>> m_held;
};
