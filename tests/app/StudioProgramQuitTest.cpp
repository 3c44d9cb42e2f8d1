#include "librarystore/PlmLibraryStore.h"
#include "model/PlmWorkCodec.h"
#include "support/EventWait.h"
#include "support/LibraryWindowTestSupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// Quitting the program for real: each row starts StudioProgramQuitProbe (the program's own
// start and event loop, built like main) on files handed over as on the command line, brings
// a scenario's windows on screen, and quits: by the menu's « Quitter Pelmora Studio », by
// closing the last window, or by the end of the event loop alone, with documents still open
// (one of them under its save question). The program must end on its own with exit code 0,
// ask no question after the quit, and no widget may be deleted after the application object:
// it would crash there, or at best by chance not.

namespace {

struct QuitRow {
    const char* scenario; // as the probe names it
    bool library;         // the library package is handed over
    bool document;        // a work document is handed over
    const char* quit;     // how the probe reports the quit
};

const char* const byTheMenu = "Quitter Pelmora Studio";
const char* const loopEnded = "the application's event loop ended";

// Everything in a folder of its own: settings, caches, the single-instance socket, the
// temporary « Coup d’œil » files, the library (two maps) and a work document.
struct ProgramHome {
    QTemporaryDir dir;
    QString library = dir.filePath(QStringLiteral("Atlas.plmlibrary"));
    QString document = dir.filePath(QStringLiteral("Croquis.plm"));
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

    QProcess program;
    program.setProcessEnvironment(home.environment());
    program.start(QStringLiteral(STUDIO_QUIT_PROBE), arguments);
    ASSERT_TRUE(program.waitForStarted(-1));
    // A program that never reaches its scenario or never ends is killed rather than left to
    // hang the run.
    if (!program.waitForFinished(int(std::chrono::milliseconds(EventWait::guard).count()))) {
        program.kill();
        program.waitForFinished(-1);
        FAIL() << "the program did not end: " << program.readAllStandardOutput().toStdString();
    }
    const std::string report = program.readAllStandardOutput().toStdString();
    const QString errors = QString::fromUtf8(program.readAllStandardError());

    EXPECT_EQ(report, std::string("reached: ") + row.scenario + "\nquit: " + row.quit + "\n") << qPrintable(errors);
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit) << qPrintable(errors);
    EXPECT_EQ(program.exitCode(), 0) << qPrintable(errors);
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
                              "the event loop ended under the save question"}),
    [](const ::testing::TestParamInfo<QuitRow>& info) { return std::string(info.param.scenario); });
