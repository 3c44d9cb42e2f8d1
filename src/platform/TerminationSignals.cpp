#include "platform/TerminationSignals.h"

#include "platform/AtomicFileWriter.h"

#include <QSocketNotifier>
#include <QtGlobal>

#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr std::array<int, 3> watched{SIGTERM, SIGINT, SIGHUP};
// A kill or a Ctrl+C: once one came, the next kill or Ctrl+C means "now". A hang-up neither
// means it nor makes a kill mean it: a logout sends SIGTERM and SIGHUP together, and the kernel
// delivers the hang-up first; a closing terminal sends two (the shell's, the kernel's).
constexpr bool insists(int number)
{
    return number == SIGTERM || number == SIGINT;
}

// What the handler reads: all set before the handler is installed, and the descriptor
// taken away before it is closed.
std::atomic<int> signalWriteEnd{-1};
static_assert(std::atomic<int>::is_always_lock_free, "the handler may only use lock-free atomics");
// Whether a kill or a Ctrl+C came: the next one ends the process at once.
std::atomic<bool> insisted{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the handler may only use lock-free atomics");
// Whether a signal reached the running watch, before its event loop could deliver it.
std::atomic<bool> caught{false};
std::array<bool, watched.size()> handled{};
std::array<struct sigaction, watched.size()> previous{};
struct sigaction byDefault {};

// Async-signal-safe only: unlink, sigaction, raise and write, errno kept for the code interrupted.
extern "C" void onTerminationSignal(int number)
{
    const int savedErrno = errno;
    if (insists(number) && insisted.exchange(true)) {
        // "Now": the writes in flight are given up, and their temporaries with them. The signal
        // then ends the process as it would unwatched, once this handler returns.
        AtomicFileWriter::removeTemporariesInFlight();
        sigaction(number, &byDefault, nullptr);
        raise(number);
        errno = savedErrno;
        return;
    }
    const int fd = signalWriteEnd.load();
    if (fd >= 0) {
        caught.store(true);
        const char byte = char(number);
        [[maybe_unused]] const ssize_t written = ::write(fd, &byte, 1);
    }
    errno = savedErrno;
}

} // namespace

TerminationSignals::TerminationSignals(QObject* parent)
    : QObject(parent)
{
    if (signalWriteEnd.load() >= 0) {
        qWarning("TerminationSignals: a watch is already running");
        return;
    }
    int ends[2];
    // Non-blocking: the handler never waits, and reading stops once the pair is empty.
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, ends) != 0) {
        qWarning("TerminationSignals: no socket pair, the signals end the program at once");
        return;
    }
    readEnd_ = ends[0];
    writeEnd_ = ends[1];
    notifier_ = new QSocketNotifier(readEnd_, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &TerminationSignals::deliver);

    insisted.store(false);
    caught.store(false);
    byDefault.sa_handler = SIG_DFL;
    sigemptyset(&byDefault.sa_mask);
    byDefault.sa_flags = 0;
    signalWriteEnd.store(writeEnd_);

    struct sigaction action {};
    action.sa_handler = onTerminationSignal;
    // The watched signals wait while one is handled, so that one sent with it finds the action
    // that handler left. Interrupted system calls resume.
    sigemptyset(&action.sa_mask);
    for (int number : watched)
        sigaddset(&action.sa_mask, number);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < watched.size(); ++i) {
        handled[i] = false;
        if (sigaction(watched[i], nullptr, &previous[i]) != 0)
            continue;
        // Ignored on purpose (nohup, a session that keeps the program): left so.
        if (!(previous[i].sa_flags & SA_SIGINFO) && previous[i].sa_handler == SIG_IGN)
            continue;
        handled[i] = true;
        if (sigaction(watched[i], &action, nullptr) != 0)
            handled[i] = false;
    }
}

TerminationSignals::~TerminationSignals()
{
    if (writeEnd_ < 0)
        return;
    // Held, the handler stays with what it reads: it then only changes the actions.
    if (!holdsUntilExit_) {
        for (std::size_t i = 0; i < watched.size(); ++i) {
            if (handled[i])
                sigaction(watched[i], &previous[i], nullptr);
            handled[i] = false;
        }
    }
    signalWriteEnd.store(-1);
    if (!holdsUntilExit_)
        caught.store(false);
    delete notifier_;
    ::close(readEnd_);
    ::close(writeEnd_);
}

bool TerminationSignals::caughtAny()
{
    return caught.load();
}

QList<int> TerminationSignals::watchedSignals()
{
    return QList<int>(watched.begin(), watched.end());
}

void TerminationSignals::deliver()
{
    char bytes[16];
    ssize_t count;
    int first = 0;
    while ((count = ::read(readEnd_, bytes, sizeof bytes)) > 0 || (count < 0 && errno == EINTR))
        if (count > 0 && first == 0)
            first = static_cast<unsigned char>(bytes[0]);
    if (first == 0 || received_ != 0)
        return;
    received_ = first;
    emit terminationRequested(first);
}
