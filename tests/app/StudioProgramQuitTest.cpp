#include "librarystore/PlmLibraryStore.h"
#include "model/PlmWorkCodec.h"
#include "support/EventWait.h"
#include "support/LibraryWindowTestSupport.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>

// Quitting the program for real: each row starts StudioProgramQuitProbe (the program's own
// start and event loop, built like main) on files handed over as on the command line, brings
// a scenario's windows on screen, and quits: by the menu's « Quitter Pelmora Studio », by
// closing the last window, by the end of the event loop alone, with documents still open
// (one of them under its save question), or by SIGTERM, with an edit that no autosave wrote
// yet (also while a question or a panel shows; which signals end the program, and how a second
// one is taken, is the watch's own test). The program must end on its
// own with exit code 0, ask no question and show no panel after the quit, keep that edit in
// its file, and no widget may be deleted after the application object: it would crash there,
// or at best by chance not.

namespace {

struct QuitRow {
    const char* scenario; // as the probe names it
    bool library;         // the library package is handed over
    bool document;        // a work document is handed over
    const char* quit;     // how the probe reports the quit
    bool keepsEdit = false;  // the work's file holds the probe's edit afterwards
    bool unreadable = false; // a work that cannot be read is handed over too
};

// The probe's edit of the work before a signal (as the probe names it).
const QString editedMapName = QStringLiteral("Croquis retouché");

const char* const byTheMenu = "Quitter Pelmora Studio";
const char* const loopEnded = "the application's event loop ended";

// Everything in a folder of its own: settings, caches, the single-instance socket, the
// temporary « Coup d’œil » files, the library (two maps) and a work document.
struct ProgramHome {
    QTemporaryDir dir;
    QString library = dir.filePath(QStringLiteral("Atlas.plmlibrary"));
    QString document = dir.filePath(QStringLiteral("Croquis.plm"));
    QString unreadable = dir.filePath(QStringLiteral("Casse.plm"));
    static constexpr std::pair<const char*, const char*> folders[] = {
        {"HOME", "home"}, {"XDG_CONFIG_HOME", "config"}, {"XDG_DATA_HOME", "data"},
        {"XDG_CACHE_HOME", "cache"}, {"XDG_RUNTIME_DIR", "runtime"}, {"TMPDIR", "tmp"}};

    ProgramHome()
    {
        for (const auto& [variable, folder] : folders)
            QDir().mkpath(dir.filePath(QLatin1String(folder)));
        QFile::setPermissions(dir.filePath(QStringLiteral("runtime")), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        const PlmLibraryStore store = PlmLibraryStore::createPackage(library, std::nullopt);
        store.addMap(LibraryWindowScene::squares(QStringLiteral("Bocage"), 40), std::nullopt, store.root());
        store.addMap(LibraryWindowScene::squares(QStringLiteral("Causses"), 60), std::nullopt, store.root());
        PlmWork work;
        work.map = LibraryWindowScene::squares(QStringLiteral("Croquis"), 5);
        LibraryWindowScene::writeFile(document, PlmWorkCodec::encode(work));
        writeBytes(unreadable, "pas un document");
    }

    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        for (const auto& [variable, folder] : folders)
            env.insert(QLatin1String(variable), dir.filePath(QLatin1String(folder)));
        return env;
    }
};

void PrintTo(const QuitRow& row, std::ostream* os)
{
    *os << row.scenario;
}

struct ProbeRun {
    bool ended = false; // else killed after the guard
    std::string report;
    QString errors;
    QProcess::ExitStatus status = QProcess::NormalExit;
    int exitCode = -1;
};

// Runs the probe to its end, started as from a desktop launcher: whatever this test's runner
// ignores or blocks (nohup ignores SIGHUP), the program starts with the termination signals'
// default actions.
ProbeRun runProbe(const ProgramHome& home, const QStringList& arguments)
{
    QProcess program;
    program.setProcessEnvironment(home.environment());
    program.setChildProcessModifier([] {
        sigset_t watched;
        sigemptyset(&watched);
        for (int number : {SIGTERM, SIGINT, SIGHUP}) {
            std::signal(number, SIG_DFL);
            sigaddset(&watched, number);
        }
        sigprocmask(SIG_UNBLOCK, &watched, nullptr);
    });
    program.start(QStringLiteral(STUDIO_QUIT_PROBE), arguments);
    ProbeRun run;
    if (!program.waitForStarted(-1))
        return run;
    // A program that never reaches its scenario or never ends is killed rather than left to
    // hang the run.
    run.ended = program.waitForFinished(int(std::chrono::milliseconds(EventWait::guard).count()));
    if (!run.ended) {
        program.kill();
        program.waitForFinished(-1);
    }
    run.report = program.readAllStandardOutput().toStdString();
    run.errors = QString::fromUtf8(program.readAllStandardError());
    run.status = program.exitStatus();
    run.exitCode = program.exitCode();
    return run;
}

class StudioProgramQuitTest : public ::testing::TestWithParam<QuitRow> {};

} // namespace

TEST_P(StudioProgramQuitTest, quitsCleanlyWithTheScenariosWindows)
{
    const QuitRow& row = GetParam();
    ProgramHome home;
    ASSERT_TRUE(home.dir.isValid());
    QStringList arguments{QStringLiteral("--scenario=") + QLatin1String(row.scenario)};
    if (row.library)
        arguments << home.library;
    if (row.document)
        arguments << home.document;
    if (row.unreadable)
        arguments << home.unreadable;

    const ProbeRun run = runProbe(home, arguments);
    ASSERT_TRUE(run.ended) << "the program did not end: " << run.report;
    EXPECT_EQ(run.report, std::string("reached: ") + row.scenario + "\nquit: " + row.quit + "\n") << qPrintable(run.errors);
    EXPECT_EQ(run.status, QProcess::NormalExit) << qPrintable(run.errors);
    EXPECT_EQ(run.exitCode, 0) << qPrintable(run.errors);
    if (row.keepsEdit) {
        EXPECT_EQ(PlmWorkCodec::decode(fileBytes(home.document)).map.name.toStdString(), editedMapName.toStdString());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Scenarios, StudioProgramQuitTest,
    ::testing::Values(QuitRow{"LibraryWindowOpen", true, false, byTheMenu},
                      QuitRow{"LibraryWindowClosedAgain", true, true, byTheMenu},
                      QuitRow{"LibraryWindowClosedLast", true, false, "closing the last window"},
                      QuitRow{"QuickLookShown", true, false, byTheMenu},
                      QuitRow{"ThumbnailsBeingMade", true, false, byTheMenu},
                      QuitRow{"OnlineCatalogueLoading", true, false, byTheMenu},
                      QuitRow{"StudioWindowOpenWhenTheLoopEnds", false, true, loopEnded},
                      QuitRow{"ExportPanelShown", false, true, byTheMenu},
                      QuitRow{"SymbolCatalogueShown", false, true, byTheMenu},
                      QuitRow{"NewFondAndWorkOpenWhenTheLoopEnds", false, true, loopEnded},
                      QuitRow{"WindowClosedByCtrlWAnotherLeftOpen", false, true, loopEnded},
                      QuitRow{"OnlineCatalogueClosedWhenTheLoopEnds", true, true, loopEnded},
                      QuitRow{"ExportPanelShownWhenTheLoopEnds", false, true, loopEnded},
                      QuitRow{"SaveQuestionShowingWhenTheLoopEnds", false, true,
                              "the event loop ended under the save question"},
                      QuitRow{"WorkEditedWhenSIGTERMArrives", false, true, "SIGTERM", true},
                      QuitRow{"SaveQuestionShowingWhenSIGTERMArrives", false, true, "SIGTERM under the save question", true},
                      QuitRow{"SavePanelShowingWhenSIGTERMArrives", false, true, "SIGTERM under the save panel", true},
                      QuitRow{"LaunchErrorShowingWhenSIGTERMArrives", true, false, "SIGTERM under an error at the launch",
                              false, true}),
    [](const ::testing::TestParamInfo<QuitRow>& info) { return std::string(info.param.scenario); });
