#include "model/PlmWorkCodec.h"
#include "support/EventWait.h"
#include "support/PlmWorkTestSupport.h"
#include "support/ProgramFolders.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <linux/capability.h>
#include <sys/prctl.h>
#include <unistd.h>

// One running program per desktop session, launched for real: StudioProgramLaunchProbe (the
// program's own start, built like main) is launched on a work, then launched again on another
// as a person double-clicking it would, on the same display.

namespace {

// Settings, caches, the session's runtime folder and two works, in a folder of their own.
struct Session : ProgramFolders {
    QString first = dir.filePath(QStringLiteral("Premier.plm"));
    QString second = dir.filePath(QStringLiteral("Second.plm"));

    Session()
    {
        PlmWork work;
        work.map = PlmWorkTest::mapWithEntities({QStringLiteral("a"), QStringLiteral("b")});
        writeBytes(first, PlmWorkCodec::encode(work));
        writeBytes(second, PlmWorkCodec::encode(work));
    }

    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = ProgramFolders::environment();
        env.insert(QStringLiteral("DISPLAY"), QStringLiteral(":77"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        return env;
    }
};

// Started as from a desktop launcher, with the termination signals' default actions; where
// nothing may be made in a folder the user may not write, not even by root.
void launch(QProcess& program, const Session& session, const QStringList& arguments)
{
    program.setProcessEnvironment(session.environment());
    program.setChildProcessModifier([] {
        restoreTerminationSignals();
        if (::geteuid() == 0)
            for (int capability : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH})
                ::prctl(PR_CAPBSET_DROP, capability, 0, 0, 0);
    });
    program.start(QStringLiteral(STUDIO_LAUNCH_PROBE), arguments);
}

// What the program wrote on its standard output until now, or until it ended.
bool waitForOutput(QProcess& program, QByteArray& output, const QByteArray& line)
{
    const QDeadlineTimer deadline(EventWait::guard);
    while (!output.contains(line) && !deadline.hasExpired()) {
        if (!program.waitForReadyRead(100) && program.state() == QProcess::NotRunning)
            break;
        output += program.readAllStandardOutput();
    }
    return output.contains(line);
}

// The lines a person reads on the standard error output: the program's own.
std::string said(QProcess& program)
{
    return QString::fromUtf8(program.readAllStandardError())
        .split(QLatin1Char('\n'))
        .filter(QRegularExpression(QStringLiteral("^Pelmora Studio : ")))
        .join(QLatin1Char('\n'))
        .toStdString();
}

} // namespace

// A work is open in the running program; the person opens another from the file manager. The
// later launch hands it over and leaves, without a window of its own. Where the session's
// runtime folder takes nothing, each launch opens its own window, and says so once.
TEST(StudioProgramInstance, ALaterLaunchsFilesOpenInTheRunningProgram)
{
    struct Row {
        const char* name;
        bool runtimeWritable;
    };
    const Row rows[] = {
        {"a second launch", true},
        {"a runtime folder where nothing can be made", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Session session;
        ASSERT_TRUE(session.dir.isValid());
        if (!row.runtimeWritable)
            QFile::setPermissions(session.runtime(), QFile::ReadOwner | QFile::ExeOwner);
        const std::string told = row.runtimeWritable
            ? std::string()
            : QStringLiteral("Pelmora Studio : « %1 » ne peut pas être créé : les lancements suivants ouvriront chacun "
                             "leur propre fenêtre.")
                  .arg(QDir(session.runtime()).filePath(QStringLiteral("pelmora-studio-:77")))
                  .toStdString();

        QProcess running;
        QByteArray runningOutput;
        launch(running, session, {session.first});
        ASSERT_TRUE(waitForOutput(running, runningOutput, "opened: Premier.plm\n")) << runningOutput.constData();

        QProcess later;
        launch(later, session, {QStringLiteral("--quit-once-open"), session.second});
        ASSERT_TRUE(later.waitForFinished(int(std::chrono::milliseconds(EventWait::guard).count())));
        EXPECT_EQ(later.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(later.exitCode(), 0);
        const std::string laterOutput = later.readAllStandardOutput().toStdString();
        EXPECT_EQ(laterOutput, row.runtimeWritable ? "" : "opened: Second.plm\n");
        EXPECT_EQ(said(later), told);

        // Once handed over, the work opens in the running program.
        if (row.runtimeWritable && laterOutput.empty())
            EXPECT_TRUE(waitForOutput(running, runningOutput, "opened: Second.plm\n"));
        running.terminate();
        ASSERT_TRUE(running.waitForFinished(int(std::chrono::milliseconds(EventWait::guard).count())));
        runningOutput += running.readAllStandardOutput();
        EXPECT_EQ(running.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(running.exitCode(), 0);
        EXPECT_EQ(runningOutput.toStdString(),
                  row.runtimeWritable ? "opened: Premier.plm\nopened: Second.plm\n" : "opened: Premier.plm\n");
        EXPECT_EQ(said(running), told);
    }
}

// The running program's loop has ended and it is still busy ending (its documents being
// written): a launch then becomes the running program and opens its work itself, rather than
// handing it to a program that will not open it.
TEST(StudioProgramInstance, ALaunchAfterTheLoopEndedOpensItsOwnWork)
{
    Session session;
    ASSERT_TRUE(session.dir.isValid());
    QProcess ending;
    QByteArray endingOutput;
    launch(ending, session, {QStringLiteral("--quit-once-open"), QStringLiteral("--linger-at-end"), session.first});
    ASSERT_TRUE(waitForOutput(ending, endingOutput, "ending\n")) << endingOutput.constData();

    QProcess later;
    launch(later, session, {QStringLiteral("--quit-once-open"), session.second});
    ASSERT_TRUE(later.waitForFinished(int(std::chrono::milliseconds(EventWait::guard).count())));
    EXPECT_EQ(later.exitCode(), 0);
    EXPECT_EQ(later.readAllStandardOutput().toStdString(), "opened: Second.plm\n");
    ASSERT_TRUE(ending.waitForFinished(int(std::chrono::milliseconds(EventWait::guard).count())));
    endingOutput += ending.readAllStandardOutput();
    EXPECT_EQ(endingOutput.toStdString(), "opened: Premier.plm\nending\n");
}
