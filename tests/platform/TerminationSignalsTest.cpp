#include "platform/AtomicFileWriter.h"
#include "platform/TerminationSignals.h"
#include "support/EventWait.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <csignal>
#include <map>
#include <optional>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

// The watch runs in this test's own process: a signal it failed to catch ends the test.

namespace {

struct sigaction actionOf(int number)
{
    struct sigaction action {};
    sigaction(number, nullptr, &action);
    return action;
}

bool actsAs(int number, void (*handler)(int))
{
    const struct sigaction action = actionOf(number);
    return !(action.sa_flags & SA_SIGINFO) && action.sa_handler == handler;
}

void setAction(int number, void (*handler)(int))
{
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    sigaction(number, &action, nullptr);
}

// How a child process ended; nothing when it still runs after the guard (it is then killed).
std::optional<int> endOf(pid_t child)
{
    const QDeadlineTimer deadline(EventWait::guard);
    int status = 0;
    while (::waitpid(child, &status, WNOHANG) == 0) {
        if (deadline.hasExpired()) {
            ::kill(child, SIGKILL);
            ::waitpid(child, nullptr, 0);
            return std::nullopt;
        }
        ::usleep(1000);
    }
    return status;
}

// Whether the signal, sent now, ends the process at once: tried on a copy of this process, which
// takes the signal as this one would (the copy's report to the event loop lands in this one's
// socket, after every report of this one's own signals).
bool endsAtOnce(int number)
{
    const pid_t child = ::fork();
    if (child == 0) {
        std::raise(number);
        ::_exit(0);
    }
    if (child < 0)
        return false;
    const std::optional<int> status = endOf(child);
    return status && WIFSIGNALED(*status) && WTERMSIG(*status) == number;
}

volatile std::sig_atomic_t ownHandlerCalls = 0;
extern "C" void ownHandler(int)
{
    ownHandlerCalls = ownHandlerCalls + 1;
}

// Every watched signal starts with its default action, whatever the test runner left (a
// runner started under nohup ignores SIGHUP), and gets back the runner's afterwards.
class TerminationSignalsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (int number : TerminationSignals::watchedSignals()) {
            runners[number] = actionOf(number);
            setAction(number, SIG_DFL);
        }
    }
    void TearDown() override
    {
        for (const auto& [number, action] : runners)
            sigaction(number, &action, nullptr);
    }

    // What the watch delivered, in order.
    QList<int> delivered;
    void record(TerminationSignals& watch)
    {
        QObject::connect(&watch, &TerminationSignals::terminationRequested, [this](int number) { delivered << number; });
    }

private:
    std::map<int, struct sigaction> runners;
};

// Signals in the order they come; the first is the one delivered.
struct SignalRow {
    const char* name;
    QList<int> numbers;
    bool killOrCtrlCEndsItAfter; // a kill or a Ctrl+C coming then ends the process at once
};

void PrintTo(const SignalRow& row, std::ostream* os)
{
    *os << row.name;
}

class TerminationSignalsDeliveryTest : public TerminationSignalsTest, public ::testing::WithParamInterface<SignalRow> {};

} // namespace

TEST_P(TerminationSignalsDeliveryTest, theFirstIsDeliveredByTheEventLoopAndOnlyAKillOrCtrlCMeansNow)
{
    const SignalRow& row = GetParam();
    TerminationSignals watch;
    record(watch);

    // The process lives on: the handler only took note, and the event loop delivers.
    for (int number : row.numbers)
        ASSERT_EQ(std::raise(number), 0);
    EXPECT_TRUE(delivered.isEmpty());
    EXPECT_EQ(watch.received(), 0);
    EXPECT_EQ(endsAtOnce(SIGTERM), row.killOrCtrlCEndsItAfter);
    EXPECT_EQ(endsAtOnce(SIGINT), row.killOrCtrlCEndsItAfter);
    EXPECT_FALSE(endsAtOnce(SIGHUP));

    ASSERT_TRUE(waitUntil([&] { return !delivered.isEmpty(); }));
    QCoreApplication::processEvents();
    EXPECT_EQ(delivered, QList<int>{row.numbers.first()});
    EXPECT_EQ(watch.received(), row.numbers.first());
}

// The program's watch ends before the process does (the application is torn down and the
// settings written afterwards): held, the signals coming then are taken as while it ran.
TEST_P(TerminationSignalsDeliveryTest, afterAHeldWatchTheyAreTakenAsWhileItRanWithNothingDelivered)
{
    const SignalRow& row = GetParam();
    {
        TerminationSignals watch;
        record(watch);
        watch.holdUntilExit();
    }
    // The watch's descriptors are taken again (the lowest free ones go first): a handler that
    // kept writing to its old one would write into whatever file has that number now.
    std::array<std::array<int, 2>, 8> reused{};
    for (auto& pair : reused)
        ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0, pair.data()), 0);
    for (int number : row.numbers)
        ASSERT_EQ(std::raise(number), 0);
    EXPECT_EQ(endsAtOnce(SIGTERM), row.killOrCtrlCEndsItAfter);
    EXPECT_EQ(endsAtOnce(SIGINT), row.killOrCtrlCEndsItAfter);
    EXPECT_FALSE(endsAtOnce(SIGHUP));
    QCoreApplication::processEvents();
    EXPECT_TRUE(delivered.isEmpty());
    int written = 0;
    for (const auto& pair : reused) {
        for (int fd : pair) {
            char byte;
            written += int(std::max<ssize_t>(::recv(fd, &byte, 1, MSG_DONTWAIT), 0));
            ::close(fd);
        }
    }
    EXPECT_EQ(written, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Signals, TerminationSignalsDeliveryTest,
    ::testing::Values(SignalRow{"SIGTERM", {SIGTERM}, true}, SignalRow{"SIGINT", {SIGINT}, true},
                      SignalRow{"SIGHUP", {SIGHUP}, false},
                      // A closing terminal: the shell's hang-up, then the kernel's.
                      SignalRow{"SIGHUPTwice", {SIGHUP, SIGHUP}, false},
                      // A logout, as the kernel delivers it (the lower number first), or not.
                      SignalRow{"SIGHUPThenSIGTERM", {SIGHUP, SIGTERM}, true},
                      SignalRow{"SIGTERMThenSIGHUP", {SIGTERM, SIGHUP}, true}),
    [](const ::testing::TestParamInfo<SignalRow>& info) { return std::string(info.param.name); });

TEST_F(TerminationSignalsTest, anIgnoredSignalStaysIgnoredAndEachActionComesBackAfterTheWatch)
{
    ownHandlerCalls = 0;
    setAction(SIGHUP, SIG_IGN);
    setAction(SIGTERM, ownHandler);
    {
        TerminationSignals watch;
        record(watch);
        EXPECT_TRUE(actsAs(SIGHUP, SIG_IGN));
        // The socket keeps the order: an ignored SIGHUP noted would come first.
        ASSERT_EQ(std::raise(SIGHUP), 0);
        ASSERT_EQ(std::raise(SIGTERM), 0);
        ASSERT_TRUE(waitUntil([&] { return !delivered.isEmpty(); }));
        QCoreApplication::processEvents();
        EXPECT_EQ(delivered, QList<int>{SIGTERM});
        EXPECT_EQ(ownHandlerCalls, 0);
    }
    EXPECT_TRUE(actsAs(SIGHUP, SIG_IGN));
    EXPECT_TRUE(actsAs(SIGTERM, ownHandler));
    EXPECT_TRUE(actsAs(SIGINT, SIG_DFL));
    ASSERT_EQ(std::raise(SIGTERM), 0);
    EXPECT_EQ(ownHandlerCalls, 1);
}

// A signal ignored when the watch starts (SIGINT for a program started with a script's `&`,
// SIGHUP under nohup) stays ignored whatever comes, even once a kill or a Ctrl+C gives the
// others their default action back.
namespace {

struct IgnoredRow {
    const char* name;
    int ignored;
    int comes;
};

void PrintTo(const IgnoredRow& row, std::ostream* os)
{
    *os << row.name;
}

class TerminationSignalsIgnoredTest : public TerminationSignalsTest, public ::testing::WithParamInterface<IgnoredRow> {};

} // namespace

TEST_P(TerminationSignalsIgnoredTest, anIgnoredSignalStaysIgnoredOnceAnotherCame)
{
    const IgnoredRow& row = GetParam();
    setAction(row.ignored, SIG_IGN);
    TerminationSignals watch;
    record(watch);
    ASSERT_EQ(std::raise(row.comes), 0);
    ASSERT_TRUE(waitUntil([&] { return !delivered.isEmpty(); }));
    EXPECT_TRUE(actsAs(row.ignored, SIG_IGN));
    EXPECT_EQ(delivered, QList<int>{row.comes});
}

INSTANTIATE_TEST_SUITE_P(Signals, TerminationSignalsIgnoredTest,
                         ::testing::Values(IgnoredRow{"SIGINTUnderAScriptsAmpersandThenSIGTERM", SIGINT, SIGTERM},
                                           IgnoredRow{"SIGTERMIgnoredThenCtrlC", SIGTERM, SIGINT},
                                           IgnoredRow{"SIGHUPUnderNohupThenSIGTERM", SIGHUP, SIGTERM}),
                         [](const ::testing::TestParamInfo<IgnoredRow>& info) { return std::string(info.param.name); });

// Only the first signal ends the loop: one coming once it was delivered, even a kill after a
// hang-up, delivers nothing more.
TEST_F(TerminationSignalsTest, onlyTheFirstSignalIsEverDelivered)
{
    TerminationSignals watch;
    record(watch);
    ASSERT_EQ(std::raise(SIGHUP), 0);
    ASSERT_TRUE(waitUntil([&] { return !delivered.isEmpty(); }));
    // The handler writes to the socket before raise returns: the next turn of the loop reads it.
    ASSERT_EQ(std::raise(SIGTERM), 0);
    QCoreApplication::processEvents();
    ASSERT_EQ(std::raise(SIGHUP), 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(delivered, QList<int>{SIGHUP});
    EXPECT_EQ(watch.received(), SIGHUP);
}

// A watch ended leaves nothing behind: the next one starts and delivers.
TEST_F(TerminationSignalsTest, aWatchStartsAfterAnotherEnded)
{
    { TerminationSignals first; }
    TerminationSignals second;
    record(second);
    ASSERT_FALSE(actsAs(SIGHUP, SIG_DFL)) << "the second watch did not start";
    ASSERT_EQ(std::raise(SIGHUP), 0);
    ASSERT_TRUE(waitUntil([&] { return !delivered.isEmpty(); }));
    EXPECT_EQ(delivered, QList<int>{SIGHUP});
}

// The end's writes run under the watch: a kill that insists, coming while one of them is under
// way, ends the process at once (as designed, status 143), and the write's temporary goes with
// it: the folder holds the file as it was, and nothing else.
TEST_F(TerminationSignalsTest, aWriteCutShortByTheNextKillLeavesNoTemporaryBehind)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("Communes.plm"));
    writeBytes(file, "ancien");
    TerminationSignals watch;
    int flushing[2];
    ASSERT_EQ(::pipe(flushing), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // The first kill: the end begins, and writes the work; the write is held as it flushes.
        std::raise(SIGTERM);
        AtomicFileWriter::Hooks held;
        held.sync = [&](int) {
            const char byte = 1;
            [[maybe_unused]] const ssize_t told = ::write(flushing[1], &byte, 1);
            for (;;)
                ::pause();
            return 0;
        };
        const AtomicFileWriter::ScopedHooks scoped(held);
        AtomicFileWriter::write(file, QByteArray(1 << 20, 'n'));
        ::_exit(0);
    }
    ::close(flushing[1]);
    char byte = 0;
    const bool held = ::read(flushing[0], &byte, 1) == 1;
    ::close(flushing[0]);
    QStringList during = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    ::kill(child, SIGTERM);
    const std::optional<int> status = endOf(child);

    ASSERT_TRUE(status) << "the kill did not end the process";    ASSERT_TRUE(held) << "the write never reached its flush";
    ASSERT_EQ(during.size(), 2);
    EXPECT_TRUE(AtomicFileWriter::isTemporaryName(during.first())) << during.first().toStdString();
    EXPECT_TRUE(WIFSIGNALED(*status) && WTERMSIG(*status) == SIGTERM);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
              QStringList{QStringLiteral("Communes.plm")});
    EXPECT_EQ(fileBytes(file), QByteArray("ancien"));
}
