#pragma once

#include <QList>
#include <QObject>

class QSocketNotifier;

// The signals that end the program from outside — SIGTERM (logout, shutdown, kill), SIGINT
// (Ctrl+C in its terminal), SIGHUP (its terminal closed) — handed to the event loop, so that
// the program can end in order rather than at once. The handler only writes the signal's
// number to a socket pair; the event loop delivers the first. After a SIGTERM or a SIGINT,
// another one, while the end is being handled or later, ends the process at once as it would
// unwatched (status 143 or 130), once the handler removed the temporary files of the writes in
// flight (AtomicFileWriter), which are given up. SIGHUP stays caught and changes nothing: a closing
// terminal sends it twice (the shell's, the kernel's), and a logout sends SIGTERM and SIGHUP
// together, the hang-up delivered first; neither means "now". A signal ignored when the watch
// starts stays ignored. One watch at a time, made and delivered on the main thread.
class TerminationSignals : public QObject {
    Q_OBJECT
public:
    explicit TerminationSignals(QObject* parent = nullptr);
    // Gives each watched signal back the action it had before the watch, unless the watch holds
    // until the process exits.
    ~TerminationSignals() override;
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

    // SIGTERM, SIGINT, SIGHUP.
    static QList<int> watchedSignals();
    // The signal delivered, or 0 while none came.
    int received() const { return received_; }
    // Whether a signal reached the running watch, delivered or not yet (the event loop busy):
    // the end is asked for. Safe on any thread.
    static bool caughtAny();
    // Once this watch is destroyed, the signals are still taken as while it ran, until the
    // process exits: nothing is delivered any more, but a hang-up never kills, and a kill or a
    // Ctrl+C kills only after a kill or a Ctrl+C. The program tears down and writes its settings
    // after its loop has ended; a logout's signals coming then must not cut that short.
    void holdUntilExit() { holdsUntilExit_ = true; }

signals:
    // Once, from the event loop, for the first signal.
    void terminationRequested(int signalNumber);

private:
    void deliver();

    int readEnd_ = -1;
    int writeEnd_ = -1;
    QSocketNotifier* notifier_ = nullptr;
    int received_ = 0;
    bool holdsUntilExit_ = false;
};
