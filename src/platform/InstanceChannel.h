#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <chrono>
#include <memory>

// One running Pelmora Studio per desktop session: a second launch hands its files to the first
// over a local socket and exits. The running instance receives each hand-over as a list of
// absolute paths (empty when the second launch had no file: the user just asked to see the
// application again).
//
// The socket is served on a thread of its own, which answers a launch at once and queues its
// files for the event loop: an instance whose main thread is busy (reading a big work) still
// answers, and keeps its name — unless the program's end is asked for (holdLaunches). A socket that accepts a connection belongs to a live instance,
// however slow, and is never removed; only one that refuses connections (left by an instance
// that ended without removing it) is taken over.
class InstanceChannel : public QObject {
    Q_OBJECT
public:
    explicit InstanceChannel(const QString& name, QObject* parent = nullptr);
    // Stops listening.
    ~InstanceChannel() override;

    // Sends the paths to the instance listening under this name and waits for its answer as
    // long as it lives. True when it took them; false when nobody listens there, or the
    // instance ended before answering.
    bool handOver(const QStringList& paths) const;

    // Starts listening; false when a live instance has the name or the socket cannot be made.
    bool listen();
    // Gives the name up, as the program ends: a later launch becomes the running instance
    // rather than handing its files to a program that will not open them. The launches held
    // are let go unanswered: they decide again, and the first becomes the running instance.
    void stopListening();
    // The end of the program is asked for (a question may still cancel it): a launch is read
    // but not answered, so that its files are never acknowledged by a program that will not
    // open them. resumeLaunches, once the end is cancelled, answers those held and receives
    // their files; stopListening, once it is decided, lets them go.
    void holdLaunches();
    void resumeLaunches();
    // A launch: hands the paths over to the running instance (true), else becomes it and
    // listens (false; isListening() tells whether the socket could be made). One launch at a
    // time decides, so that two launches together never both become the running instance; the
    // file that keeps them one at a time is `electionLockPath`, and a launch waits at most
    // `electionPatience` for another deciding.
    bool handOverOrListen(const QStringList& paths);
    static constexpr std::chrono::milliseconds electionPatience{10000};
    QString electionLockPath() const;
    // The socket's file: the name itself when absolute, else that name in the temporary folder.
    QString socketPath() const;
    bool isListening() const;

    // The name used by default: one per desktop session, so a launch on another display or
    // session never hands its files to an instance the user cannot see.
    static QString defaultName();
    // A socket in the session's runtime folder when there is one, named after the display
    // (its host and number: the screen is left out, ":0" and ":0.1" are one session); else a
    // name in the temporary folder that carries the user as well.
    static QString sessionName(const QString& runtimeDir, const QString& display, const QString& user);

    // Wire format: UTF-8 paths separated by NUL bytes. Unknown or malformed data is ignored.
    static QByteArray encode(const QStringList& paths);
    static QStringList decode(const QByteArray& bytes);

signals:
    void filesReceived(const QStringList& paths);

private:
    class Listener;
    enum class Claim { listening, taken, unmakeable };
    Claim claim();

    QString m_name;
    std::unique_ptr<Listener> m_listener;
};
