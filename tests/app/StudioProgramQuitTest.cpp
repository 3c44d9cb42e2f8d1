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
// closing the last window, or by the end of the event loop alone. The program must end on
// its own with exit code 0, and no widget may be deleted after the application object: it
// would crash there, or at best by chance not.

namespace {

struct QuitRow {
    const char* name;
    const char* scenario;
    bool library;  // the library package is handed over
    bool document; // a work document is handed over
    const char* report;
};

// Everything in a folder of its own: settings, caches, the single-instance socket, the
// temporary « Coup d’œil » files, the library (two maps) and a work document.
struct ProgramHome {
    QTemporaryDir dir;
    QString library = dir.filePath(QStringLiteral("Atlas.plmlibrary"));
    QString document = dir.filePath(QStringLiteral("Croquis.plm"));

    ProgramHome()
    {
        for (const char* folder : {"home", "config", "data", "cache", "runtime", "tmp"})
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
        env.insert(QStringLiteral("HOME"), dir.filePath(QStringLiteral("home")));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("XDG_DATA_HOME"), dir.filePath(QStringLiteral("data")));
        env.insert(QStringLiteral("XDG_CACHE_HOME"), dir.filePath(QStringLiteral("cache")));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir.filePath(QStringLiteral("runtime")));
        env.insert(QStringLiteral("TMPDIR"), dir.filePath(QStringLiteral("tmp")));
        return env;
    }
};

void PrintTo(const QuitRow& row, std::ostream* os)
{
    *os << row.name;
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

    EXPECT_EQ(report, row.report) << qPrintable(errors);
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit) << qPrintable(errors);
    EXPECT_EQ(program.exitCode(), 0) << qPrintable(errors);
}

INSTANTIATE_TEST_SUITE_P(
    Scenarios, StudioProgramQuitTest,
    ::testing::Values(
        QuitRow{"LibraryWindowOpen", "library-open", true, false,
                "reached: library window shown\nquit: Quitter Pelmora Studio\n"},
        QuitRow{"LibraryWindowClosedAgain", "library-closed", true, true,
                "reached: library window closed again\nquit: Quitter Pelmora Studio\n"},
        QuitRow{"LibraryWindowClosedLast", "library-last-window", true, false,
                "reached: library window alone\nquit: closing the last window\n"},
        QuitRow{"QuickLookShown", "quick-look", true, false,
                "reached: « Coup d’œil » shown\nquit: Quitter Pelmora Studio\n"},
        QuitRow{"ThumbnailsBeingMade", "thumbnails", true, false,
                "reached: thumbnails being made\nquit: Quitter Pelmora Studio\n"},
        QuitRow{"OnlineCatalogueLoading", "online", true, false,
                "reached: online catalogue loading\nquit: Quitter Pelmora Studio\n"},
        QuitRow{"StudioWindowOpenWhenTheLoopEnds", "studio-loop-ended", false, true,
                "reached: studio window shown\nquit: the application's event loop ended\n"},
        QuitRow{"ExportPanelShown", "export-panel", false, true,
                "reached: export panel shown\nquit: Quitter Pelmora Studio\n"},
        QuitRow{"SymbolCatalogueShown", "symbol-picker", false, true,
                "reached: symbol catalogue shown\nquit: Quitter Pelmora Studio\n"}),
    [](const ::testing::TestParamInfo<QuitRow>& info) { return std::string(info.param.name); });
