#include "librarystore/PlmLibraryStore.h"
#include "model/PlmMapCodec.h"
#include "model/PlmWorkCodec.h"
#include "support/EventWait.h"
#include "support/LibraryWindowTestSupport.h"
#include "support/ProgramFolders.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>

// Quitting the program for real: each row starts StudioProgramQuitProbe (the program's own
// start and event loop, built like main) on files handed over as on the command line, brings
// a scenario's windows on screen, and quits: by the menu's « Quitter Pelmora Studio », by
// closing the last window, by the end of the event loop alone, with documents still open
// (one of them under its save question), or by SIGTERM, with an edit that no autosave wrote
// yet (also while a question or a panel shows; which signals end the program, and how a second
// one is taken, is the watch's own test), or with a window going while a field of it holds the
// focus, beside a second changed work and an unsaved one. The program must end on its
// own with exit code 0, ask no question and show no panel after the quit, keep that edit in
// its file, and no widget may be deleted after the application object: it would crash there,
// or at best by chance not.

namespace {

// What the work's file holds afterwards of what the probe did before the quit.
enum class Kept { nothing, editedMapName, typedCell, writtenElsewhere, correctedSymbolSize };

struct QuitRow {
    const char* scenario; // as the probe names it
    bool library = false;  // the library package is handed over
    bool document = false; // a work document is handed over
    const char* quit;     // how the probe reports the quit
    Kept kept = Kept::nothing;
    bool unreadable = false; // a work that cannot be read is handed over too
    bool baseMap = false;    // a base map kept as a .plmmap is handed over too: its last write is refused
    // What the program writes on its standard error output besides the base map's refusal.
    const char* reported = "";
    // A second work is handed over too, and changed moments before the end: its change is kept.
    bool secondWork = false;
};

// The probe's edit of the work before a signal, and the text it types in a data cell without
// Return (as the probe names them).
const QString editedMapName = QStringLiteral("Croquis retouché");
const QString typedCell = QStringLiteral("0,5");
// The largest symbol size the probe types after its refusal.
const double correctedSize = 50;
// The second work's name once the probe changed it.
const QString retouchedName = QStringLiteral("Relevé retouché");
// The name of the version another program writes over the work's file.
const QString writtenElsewhereName = QStringLiteral("Réécrit ailleurs");
// What the program writes on its standard error output, a line each, when the base map's
// last write is refused.
const QString refusedBaseMapLine =
    QStringLiteral("Pelmora Studio : « Fond » : Enregistrez au format .plm pour conserver les données, l’habillage, "
                   "l’image de fond, la page d’impression et l’affichage des noms. Le .plmmap contient uniquement le "
                   "fond vectoriel.");

const char* const byTheMenu = "Quitter Pelmora Studio";
const char* const untitledLost =
    "Pelmora Studio : « Sans titre » : Ce document n’a jamais été enregistré : ses modifications sont perdues.";
const char* const loopEnded = "the application's event loop ended";

// Everything in a folder of its own: settings, caches, the single-instance socket, the
// temporary « Coup d’œil » files, the library (two maps) and a work document.
struct ProgramHome : ProgramFolders {
    QString library = dir.filePath(QStringLiteral("Atlas.plmlibrary"));
    QString document = dir.filePath(QStringLiteral("Croquis.plm"));
    QString unreadable = dir.filePath(QStringLiteral("Casse.plm"));
    QString baseMap = dir.filePath(QStringLiteral("Fond.plmmap"));
    QString secondWork = dir.filePath(QStringLiteral("Relevé.plm"));
    PlmWork work;
    QByteArray baseMapBytes;

    ProgramHome()
    {
        const PlmLibraryStore store = PlmLibraryStore::createPackage(library, std::nullopt);
        store.addMap(LibraryWindowScene::squares(QStringLiteral("Bocage"), 40), std::nullopt, store.root());
        store.addMap(LibraryWindowScene::squares(QStringLiteral("Causses"), 60), std::nullopt, store.root());
        work.map = LibraryWindowScene::squares(QStringLiteral("Croquis"), 5);
        work.addVariable(QStringLiteral("Part"), PlmVariableType::number);
        LibraryWindowScene::writeFile(document, PlmWorkCodec::encode(work));
        PlmWork second = work;
        second.map.name = QStringLiteral("Relevé");
        LibraryWindowScene::writeFile(secondWork, PlmWorkCodec::encode(second));
        // Made in the studio: it opens as itself, and stays a .plmmap.
        PlmMap map = LibraryWindowScene::squares(QStringLiteral("Fond"), 4);
        map.metadata.insert(QStringLiteral("studio.authored"), QStringLiteral("true"));
        LibraryWindowScene::writeFile(baseMap, PlmMapCodec::encode(map));
        baseMapBytes = fileBytes(baseMap);
        writeBytes(unreadable, "pas un document");
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
    program.setChildProcessModifier(restoreTerminationSignals);
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
    if (row.baseMap)
        arguments << home.baseMap;
    if (row.secondWork)
        arguments << home.secondWork;

    const ProbeRun run = runProbe(home, arguments);
    ASSERT_TRUE(run.ended) << "the program did not end: " << run.report;
    EXPECT_EQ(run.report, std::string("reached: ") + row.scenario + "\nquit: " + row.quit + "\n") << qPrintable(run.errors);
    EXPECT_EQ(run.status, QProcess::NormalExit) << qPrintable(run.errors);
    // What the end cannot keep (a refused write, a refused text, a document never saved) is
    // reported on the standard error output (nothing else the program says there), and the
    // program ends at once with status 1.
    QStringList expectedLines;
    if (row.baseMap)
        expectedLines << refusedBaseMapLine;
    if (*row.reported)
        expectedLines << QString::fromUtf8(row.reported);
    EXPECT_EQ(run.exitCode, expectedLines.isEmpty() ? 0 : 1) << qPrintable(run.errors);
    const QStringList reported = run.errors.split(QLatin1Char('\n')).filter(QRegularExpression(QStringLiteral("^Pelmora Studio : ")));
    EXPECT_EQ(reported.join(QLatin1Char('\n')).toStdString(), expectedLines.join(QLatin1Char('\n')).toStdString())
        << qPrintable(run.errors);
    const PlmWork kept = PlmWorkCodec::decode(fileBytes(home.document));
    PlmWork expected = home.work;
    if (row.kept == Kept::editedMapName)
        expected.map.name = editedMapName;
    if (row.kept == Kept::writtenElsewhere)
        expected.map.name = writtenElsewhereName;
    if (row.kept == Kept::typedCell)
        expected.setCell(expected.map.entities.first().id, expected.variables.first().id, typedCell);
    EXPECT_EQ(kept.map.name.toStdString(), expected.map.name.toStdString());
    EXPECT_TRUE(kept.variables == expected.variables) << "the data cell typed is not the file's";
    if (row.kept == Kept::correctedSymbolSize) {
        ASSERT_TRUE(kept.thematic && kept.thematic->proportional);
        EXPECT_EQ(kept.thematic->proportional->maximumSize, correctedSize);
    }
    // However the first work's windows went, the other work keeps its change.
    if (row.secondWork) {
        EXPECT_EQ(PlmWorkCodec::decode(fileBytes(home.secondWork)).map.name.toStdString(), retouchedName.toStdString());
    }
    if (row.baseMap) {
        EXPECT_EQ(fileBytes(home.baseMap), home.baseMapBytes);
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
                      QuitRow{"WorkWindowsShownWhenTheWorkIsClosed", false, true, "closing the work's window"},
                      QuitRow{"NewFondAndWorkOpenWhenTheLoopEnds", false, true, loopEnded},
                      // Nothing made as the program ends outlives it.
                      QuitRow{"NewFondMadeAfterTheLoopEnded", false, true, loopEnded},
                      QuitRow{"WindowClosedByCtrlWAnotherLeftOpen", false, true, loopEnded},
                      QuitRow{"OnlineCatalogueClosedWhenTheLoopEnds", true, true, loopEnded},
                      QuitRow{"ExportPanelShownWhenTheLoopEnds", false, true, loopEnded},
                      QuitRow{"SaveQuestionShowingWhenTheLoopEnds", false, true,
                              "the event loop ended under the save question"},
                      // A changed « Nouveau document » has no file to go to: said lost.
                      QuitRow{"WorkEditedWhenSIGTERMArrives", false, true, "SIGTERM", Kept::editedMapName, false, false,
                              untitledLost},
                      QuitRow{"UntitledGivenAVariableWhenSIGTERMArrives", false, true, "SIGTERM", Kept::nothing, false,
                              false, untitledLost},
                      QuitRow{"SaveQuestionShowingWhenSIGTERMArrives", false, true, "SIGTERM under the save question",
                              Kept::editedMapName, false, false, untitledLost},
                      QuitRow{"SavePanelShowingWhenSIGTERMArrives", false, true, "SIGTERM under the save panel",
                              Kept::editedMapName, false, false, untitledLost},
                      // A file another program wrote since is not replaced.
                      QuitRow{"WorkRewrittenElsewhereWhenSIGTERMArrives", false, true, "SIGTERM", Kept::writtenElsewhere,
                              false, false,
                              "Pelmora Studio : « Croquis » : Le fichier « Croquis.plm » a été modifié par une autre "
                              "application : il n’a pas été remplacé, les modifications de ce document sont perdues.\n"
                              "Pelmora Studio : « Sans titre » : Ce document n’a jamais été enregistré : ses "
                              "modifications sont perdues."},
                      QuitRow{"LaunchErrorShowingWhenSIGTERMArrives", true, false, "SIGTERM under an error at the launch",
                              Kept::nothing, true},
                      // What « Quitter » takes, a signal takes: the edit in progress first.
                      QuitRow{"CellTypedWhenSIGTERMArrives", false, true, "SIGTERM while a cell is typed", Kept::typedCell},
                      // A text refused is left out, and why goes where someone may read it, whatever
                      // field held it: the dialogs are unattended before the edits are taken.
                      QuitRow{"CellRefusedWhenSIGTERMArrives", false, true, "SIGTERM while a cell is typed", Kept::nothing,
                              false, false,
                              "Pelmora Studio : « Croquis » : Nombre attendu : utilisez par exemple 1234,5. Une cellule "
                              "vide signifie une donnée absente."},
                      QuitRow{"SymbolSizeRefusedWhenSIGTERMArrives", false, true, "SIGTERM while a symbol size is typed",
                              Kept::nothing, false, false,
                              "Pelmora Studio : « Croquis » : « Taille maximale (pt) » : Saisissez une taille positive en "
                              "points. Texte perdu : « abc »."},
                      // Refused on Return and read, the text still in its field is named all the same.
                      QuitRow{"ThresholdsRefusedOnReturnWhenSIGTERMArrives", false, true,
                              "SIGTERM while a refused text stays in its field", Kept::nothing, false, false,
                              "Pelmora Studio : « Croquis » : « Seuils » : Un seuil doit être un nombre. Séparez les seuils "
                              "par ;. Texte perdu : « abc »."},
                      // A symbol size refused on Return gives the stored size back at once:
                      // nothing is left to name.
                      QuitRow{"SymbolSizeRefusedOnReturnWhenSIGTERMArrives", false, true, "SIGTERM"},
                      // Left (Tab, a click on the page), the field shows what the work keeps: a
                      // Ctrl+S, then the end, have nothing to name.
                      QuitRow{"ThresholdsRefusedThenLeftByTabWhenSIGTERMArrives", false, true, "SIGTERM"},
                      QuitRow{"SymbolSizeRefusedThenLeftByAClickWhenSIGTERMArrives", false, true, "SIGTERM"},
                      // An ordinary Ctrl+S gives the refused text up, in front of the person: nothing
                      // goes to the standard error output.
                      QuitRow{"ThresholdsRefusedThenSavedWhenSIGTERMArrives", false, true, "SIGTERM"},
                      // Corrected after its refusal, the size typed is written, nothing named.
                      QuitRow{"SymbolSizeRefusedThenCorrectedWhenSIGTERMArrives", false, true,
                              "SIGTERM while a symbol size is typed", Kept::correctedSymbolSize},
                      // Left unanswered, the save question cancels: the base map's change is not
                      // dropped, its write refused at the end.
                      QuitRow{"BaseMapSaveQuestionShowingWhenSIGTERMArrives", false, true, "SIGTERM under the save question",
                              Kept::editedMapName, false, true},
                      // A logout: neither the kill during the teardown nor a last hang-up cuts it short.
                      QuitRow{"WorkEditedWhenSIGHUPThenSIGTERMArrive", false, true, "SIGHUP, then SIGTERM while ending",
                              Kept::editedMapName, false, false, untitledLost},
                      QuitRow{"BaseMapWriteRefusedWhenSIGTERMArrives", false, true, "SIGTERM", Kept::editedMapName, false,
                              true},
                      QuitRow{"BaseMapWriteRefusedWhenTheLoopEnds", false, true, loopEnded, Kept::editedMapName, false,
                              true},
                      // The library window goes once the work beside it was written.
                      QuitRow{"LibraryWindowBesideAChangedWorkWhenTheLoopEnds", true, true, loopEnded, Kept::editedMapName},
                      // The export panel in front, a field of it holding the focus (typed in or only
                      // clicked): its window goes answering none of its fields, after every work
                      // was written or its loss said.
                      QuitRow{.scenario = "ExportResolutionTypedWhenSIGTERMArrives", .document = true, .quit = "SIGTERM",
                              .reported = untitledLost, .secondWork = true},
                      QuitRow{.scenario = "ExportResolutionTypedWhenSIGINTArrives", .document = true, .quit = "SIGINT",
                              .reported = untitledLost, .secondWork = true},
                      QuitRow{.scenario = "ExportResolutionTypedWhenSIGHUPArrives", .document = true, .quit = "SIGHUP",
                              .reported = untitledLost, .secondWork = true},
                      // Its studio window closed from outside, the work goes alone; the others stay.
                      QuitRow{.scenario = "ExportResolutionTypedWhenItsStudioWindowIsClosedFromOutside", .document = true,
                              .quit = "closed from outside, then SIGTERM", .reported = untitledLost,
                              .secondWork = true}),
    [](const ::testing::TestParamInfo<QuitRow>& info) { return std::string(info.param.scenario); });
