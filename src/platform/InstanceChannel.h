#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

class QLocalServer;

// One running Pelmora Studio per desktop session: a second launch hands its files to the first
// over a local socket and exits. The running instance receives each hand-over as a list of
// absolute paths (empty when the second launch had no file: the user just asked to see the
// application again).
class InstanceChannel : public QObject {
    Q_OBJECT
public:
    explicit InstanceChannel(const QString& name, QObject* parent = nullptr);
    ~InstanceChannel() override;

    // Sends the paths to an instance already listening under this name. True when one took them.
    bool handOver(const QStringList& paths, int timeoutMs = 2000) const;

    // Starts listening; false when the name cannot be taken.
    bool listen();
    // A launch: hands the paths over to the running instance (true), else becomes it and
    // listens. One launch at a time decides, so that two launches together never both become
    // the running instance. The file that keeps them one at a time is `electionLockPath`.
    bool handOverOrListen(const QStringList& paths, int timeoutMs = 2000);
    QString electionLockPath() const;
    bool isListening() const;

    // The name used by default: one per desktop session, so a launch on another display or
    // session never hands its files to an instance the user cannot see.
    static QString defaultName();
    // A socket in the session's runtime folder when there is one, named after the display;
    // else a name in the temporary folder that carries the user as well.
    static QString sessionName(const QString& runtimeDir, const QString& display, const QString& user);

    // Wire format: UTF-8 paths separated by NUL bytes. Unknown or malformed data is ignored.
    static QByteArray encode(const QStringList& paths);
    static QStringList decode(const QByteArray& bytes);

signals:
    void filesReceived(const QStringList& paths);

private:
    void acceptConnections();

    QString m_name;
    QLocalServer* m_server = nullptr;
};
