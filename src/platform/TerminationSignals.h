#pragma once

#include <QList>
#include <QObject>

class QSocketNotifier;

// The signals that end the program from outside — SIGTERM (logout, shutdown, kill), SIGINT
// (Ctrl+C in its terminal), SIGHUP (its terminal closed) — handed to the event loop, so that
// the program can end in order rather than at once. The handler only writes the signal's
// number to a socket pair and gives every watched signal back its default action: a second
// signal, while the first is being handled or later, ends the process at once as it would
// unwatched. A signal ignored when the watch starts stays ignored. One watch at a time, made
// and delivered on the main thread.
class TerminationSignals : public QObject {
    Q_OBJECT
public:
    explicit TerminationSignals(QObject* parent = nullptr);
    // Gives each watched signal back the action it had before the watch.
    ~TerminationSignals() override;
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

    // SIGTERM, SIGINT, SIGHUP.
    static QList<int> watchedSignals();
    // The signal delivered, or 0 while none came.
    int received() const { return received_; }

signals:
    // Once, from the event loop, for the first signal.
    void terminationRequested(int signalNumber);

private:
    void deliver();

    int readEnd_ = -1;
    int writeEnd_ = -1;
    QSocketNotifier* notifier_ = nullptr;
    int received_ = 0;
};
