// A program built like pelmora-studio's main() (the application object on main's stack, then
// StudioProgram::run()), for StudioProgramQuitTest: it brings the windows of one scenario on
// screen, quits through the application's own quit command (the « Quitter Pelmora Studio »
// action of the main menu), by closing the last window, by ending the event loop, by ending
// it under a document's save question, by sending itself SIGTERM, SIGINT or SIGHUP (as a
// logout, kill, Ctrl+C or a closed terminal would), or by closing a studio window from outside
// first (StudioProgramQuitProbeTeardown.cpp), and reports on stdout what it saw:
//   reached: <scenario>              the scenario's windows were there when it quit
//   not reached: <what>              what did not come on screen
//   quit: <how>                      the event loop ended after that quit
//   destroyed after the application: <class>   a widget deleted once QApplication was gone
// Usage: StudioProgramQuitProbe --scenario=<name> [files to open, as on the command line].
// Any question asked along the way is answered at once and reported as "question: <text>",
// any open, save, colour or font panel as "panel: <title>".

#include "app/AppDelegate.h"
#include "app/MainMenu.h"
#include "app/PlmWorkDocument.h"
#include "app/StudioProgram.h"
#include "app/StudioProgramQuitProbe.h"
#include "app/StudioWindowController.h"
#include "canvas/SymbolPickerLauncher.h"
#include "carte/CarteInspector.h"
#include "carte/CarteWindowController.h"
#include "catalogue/OnlineError.h"
#include "data/DataCellField.h"
#include "data/DataTableModel.h"
#include "data/DataWindowController.h"
#include "desktop/CommandRouter.h"
#include "desktop/DialogHooks.h"
#include "desktop/DocumentController.h"
#include "export/CarteExportPanel.h"
#include "library/LibraryCoordinator.h"
#include "library/LibraryOutlineView.h"
#include "library/LibraryQuickLook.h"
#include "library/LibraryThumbnails.h"
#include "library/LibraryWindowController.h"
#include "model/PlmWorkCodec.h"
#include "online/OnlineWindowController.h"
#include "page/DecorationController.h"

#include <QAction>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QApplication>
#include <QLineEdit>
#include <QFile>
#include <QPointer>
#include <QSaveFile>
#include <QSet>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <functional>
#include <memory>
#include <utility>

namespace QuitProbe {

// Each line goes out at once: the program may yet crash, or report from its static objects.
void say(const QString& line)
{
    std::printf("%s\n", line.toUtf8().constData());
    std::fflush(stdout);
}

void trigger(const char* command)
{
    dynamic_cast<AppDelegate*>(CommandRouter::shared().applicationResponder())->mainMenu()->action(QLatin1String(command))->trigger();
}

QList<PlmWorkDocument*> workDocuments()
{
    QList<PlmWorkDocument*> works;
    for (Document* document : DocumentController::shared().documents())
        if (auto* work = qobject_cast<PlmWorkDocument*>(document))
            works << work;
    return works;
}

StudioWindowController* studioWindowOf(PlmWorkDocument* work)
{
    return work ? dynamic_cast<StudioWindowController*>(work->studioController()) : nullptr;
}

bool studioShown(StudioWindowController* studio)
{
    return studio && studio->isWindowLoaded() && studio->window()->isVisible();
}

// The work document made by a menu command: the last one, without a file.
PlmWorkDocument* newWorkDocument()
{
    const QList<PlmWorkDocument*> works = workDocuments();
    return works.size() > 1 && works.last()->filePath().isEmpty() ? works.last() : nullptr;
}

QString missingUnless(bool reached, const char* what)
{
    return reached ? QString() : QString::fromUtf8(what);
}

// A « Nouveau document » given a variable, which has no file to go to.
QString untitledDraftGivenAVariable()
{
    trigger("newStudioDocument:");
    PlmWorkDocument* draft = newWorkDocument();
    if (!draft)
        return QStringLiteral("« Nouveau document »");
    draft->updateWork(QStringLiteral("Ajouter une variable"),
                      [](PlmWork& edited) { edited.addVariable(QStringLiteral("Densité"), PlmVariableType::number); });
    return missingUnless(draft->isDocumentEdited() && studioShown(studioWindowOf(draft)),
                         "a changed « Nouveau document »");
}

const Quit byTheMenu{"Quitter Pelmora Studio", [] { trigger("terminate:"); }};
// As when the desktop ends the program: no window is closed and no question asked, the loop
// simply ends (QCoreApplication::quit() would close the windows first).
const Quit byEndingTheLoop{"the application's event loop ended", [] { QCoreApplication::exit(0); }};

} // namespace QuitProbe

using namespace QuitProbe;

namespace {

using QuitProbe::studioShown; // beside the overload below

int lateDeletions = 0;

// Reports the widget, once per class, if it is deleted after the application object (as late
// as the program's static objects).
void watchForLateDeletion(QWidget* widget)
{
    QObject::connect(widget, &QObject::destroyed, [className = QByteArray(widget->metaObject()->className())] {
        if (QCoreApplication::instance())
            return;
        static auto* reported = new QSet<QByteArray>; // never freed: it outlives every static
        if (reported->contains(className))
            return;
        reported->insert(className);
        ++lateDeletions;
        say(QStringLiteral("destroyed after the application: ") + QString::fromLatin1(className));
    });
}

// How the program was asked to end, as reported; empty until then.
QString quitRequested;

// A window, or a controller's window, on screen.
template <typename Window>
bool shown(Window* window)
{
    return window && window->window() && window->window()->isVisible();
}

LibraryWindowController* libraryWindow()
{
    return LibraryCoordinator::shared().libraryWindowController();
}

StudioWindowController* studioWindow()
{
    const QList<PlmWorkDocument*> works = workDocuments();
    return works.isEmpty() ? nullptr : studioWindowOf(works.first());
}

bool studioShown()
{
    return studioShown(studioWindow());
}

// Ctrl+W on a window: « Fermer » closes the active window.
void closeByCtrlW(QWidget* window)
{
    QApplication::setActiveWindow(window);
    trigger("performClose:");
}

// The one window on screen; none when there are more or none.
QWidget* onlyWindow()
{
    QWidget* only = nullptr;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->isVisible() && std::exchange(only, widget))
            return nullptr;
    return only;
}

DialogHooks::Hooks reportedQuestions();

void reached(const QString& name, const Quit& quit)
{
    say(QStringLiteral("reached: ") + name);
    quitRequested = QString::fromUtf8(quit.how);
}

// The work handed over on the command line, and the base map (kept as a .plmmap).
PlmWorkDocument* documentWithFile(bool baseMap)
{
    for (PlmWorkDocument* work : workDocuments())
        if (!work->filePath().isEmpty() && (work->fileType() == PlmWorkDocument::plmMapType()) == baseMap)
            return work;
    return nullptr;
}
PlmWorkDocument* workWithFile()
{
    return documentWithFile(false);
}
PlmWorkDocument* mapWithFile()
{
    return documentWithFile(true);
}

// The name the work's map takes by the edit that no autosave writes, and the one another
// program writes over its file (as the test names them).
const QString editedMapName = QStringLiteral("Croquis retouché");
const QString writtenElsewhereName = QStringLiteral("Réécrit ailleurs");
// What is typed in a data cell before a signal (as the test names it), and a text refused
// there and in a symbol size.
const QString typedCell = QStringLiteral("0,5");
const QString refusedText = QStringLiteral("abc");
// The largest symbol size typed after its refusal (as the test names it).
const QString correctedSize = QStringLiteral("50");

// Sent as the desktop or the terminal would; the work's edit must still wait for its autosave.
void sendSignal(int number)
{
    if (PlmWorkDocument* work = workWithFile(); work && !work->isDocumentEdited())
        say(QStringLiteral("not reached: the work's edit still unsaved"));
    std::raise(number);
}

// SIGTERM comes from the loop of the question or panel just shown.
void sigtermWhileShown()
{
    QTimer::singleShot(0, qApp, [] {
        const QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible())
            say(QStringLiteral("not reached: the question or panel on screen"));
        sendSignal(SIGTERM);
    });
}

// The first call is answered by the real dialog, on screen in its own loop, under which
// SIGTERM comes; any later one as before.
template <typename Hook>
Hook realFirstUnderSigterm(const Hook& real, const Hook& later)
{
    return [real, later, shown = std::make_shared<bool>(false)](const auto&... arguments) {
        if (std::exchange(*shown, true))
            return later(arguments...);
        sigtermWhileShown();
        return real(arguments...);
    };
}
const Quit byClosingTheLastWindow{"closing the last window", [] { onlyWindow()->close(); }};
const Quit byClosingTheWork{"closing the work's window", [] { studioWindow()->window()->close(); }};
// The new document's window is closed while it has unsaved changes; the loop ends while its
// save question shows, and the person cancels the question. Any later question is reported.
const Quit underTheSaveQuestion{"the event loop ended under the save question", [] {
    DialogHooks::Hooks hooks = reportedQuestions();
    const auto reportAgain = hooks.askSaveChanges;
    // The hooks are copied at every question: the flag is shared, not captured.
    hooks.askSaveChanges = [reportAgain, asked = std::make_shared<bool>(false)](const QString& name, QWidget* window) {
        if (std::exchange(*asked, true))
            return reportAgain(name, window);
        QCoreApplication::exit(0);
        return DialogHooks::SaveChangesAnswer::Cancel;
    };
    DialogHooks::install(hooks);
    studioWindowOf(newWorkDocument())->window()->close();
}};
const Quit bySigterm{"SIGTERM", [] { sendSignal(SIGTERM); }};
// A command that comes in as the program ends, once its documents were closed: « Nouveau fond ».
const Quit byEndingTheLoopBeforeACommand{"the application's event loop ended", [] {
    QObject::connect(qApp, &QCoreApplication::aboutToQuit, [] { trigger("newFondDocument:"); });
    QCoreApplication::exit(0);
}};
// Nothing is changed yet: what is typed is still in its field.
const Quit bySigtermWhileTyping{"SIGTERM while a cell is typed", [] { std::raise(SIGTERM); }};
const Quit bySigtermWhileASizeIsTyped{"SIGTERM while a symbol size is typed", [] { std::raise(SIGTERM); }};
const Quit bySigtermWhileTheRefusedTextStays{"SIGTERM while a refused text stays in its field", [] { std::raise(SIGTERM); }};
// Nothing of the work's own is left to write.
const Quit bySigtermBesideTheWork{"SIGTERM", [] { std::raise(SIGTERM); }};
// A logout: the hang-up ends the loop, the kill comes while the program tears down, and a
// closing terminal's second hang-up once the application is gone.
const Quit byHangUpThenKillWhileEnding{
    "SIGHUP, then SIGTERM while ending",
    [] {
        QObject::connect(qApp, &QCoreApplication::aboutToQuit, [] { std::raise(SIGTERM); });
        sendSignal(SIGHUP);
    },
    [] { std::raise(SIGHUP); }};
// The real save question of the changed « Nouveau document » whose window is closed.
const Quit bySigtermUnderTheSaveQuestion{"SIGTERM under the save question", [] {
    DialogHooks::Hooks hooks = reportedQuestions();
    hooks.askSaveChanges = DialogHooks::defaultHooks().askSaveChanges; // asks through the alert
    hooks.alert = realFirstUnderSigterm(DialogHooks::defaultHooks().alert, hooks.alert);
    DialogHooks::install(hooks);
    studioWindowOf(newWorkDocument())->window()->close();
}};
// « Fermer » on the base map given a variable: its write is refused (the person reads why),
// then the real save question shows.
const Quit bySigtermUnderTheBaseMapsSaveQuestion{"SIGTERM under the save question", [] {
    DialogHooks::Hooks hooks = reportedQuestions();
    hooks.presentError = [](const QString&, QWidget*) {};
    hooks.askSaveChanges = DialogHooks::defaultHooks().askSaveChanges; // asks through the alert
    hooks.alert = realFirstUnderSigterm(DialogHooks::defaultHooks().alert, hooks.alert);
    DialogHooks::install(hooks);
    closeByCtrlW(studioWindowOf(mapWithFile())->window());
}};
// The real « Enregistrer sous » panel of the work.
const Quit bySigtermUnderTheSavePanel{"SIGTERM under the save panel", [] {
    DialogHooks::Hooks hooks = reportedQuestions();
    hooks.savePanel = realFirstUnderSigterm(DialogHooks::defaultHooks().savePanel, hooks.savePanel);
    DialogHooks::install(hooks);
    workWithFile()->saveDocumentAs();
}};
// The file that could not be read is reported before the program's loop runs: the real
// alert shows in a loop of its own, under which SIGTERM comes.
const Quit bySigtermUnderALaunchError{"SIGTERM under an error at the launch", [] {
    say(QStringLiteral("not reached: the error at the launch"));
    QCoreApplication::exit(2);
}};

QHash<QString, Scenario> scenarios()
{
    const auto nothingMore = [] { return QString(); };
    const auto exportPanel = [] {
        StudioWindowController* studio = studioWindow();
        studio->perform(QStringLiteral("exportCarte:"), nullptr);
        return missingUnless(studio->carte() && shown(studio->carte()->exportPanel()), "export panel");
    };
    // The work gets an edit that only autosave would write, and later (its delay is made
    // long enough that nothing else can), beside a « Nouveau document » with a change.
    const auto editBesideAnUntitledDraft = [] {
        PlmWorkDocument* work = workWithFile();
        if (!work)
            return QStringLiteral("the work handed over");
        work->setAutosaveDelay(int(std::chrono::milliseconds(std::chrono::hours(1)).count()));
        work->updateWork(QStringLiteral("Renommer"), [](PlmWork& edited) { edited.map.name = editedMapName; });
        if (const QString missing = untitledDraftGivenAVariable(); !missing.isEmpty())
            return missing;
        return missingUnless(work->isDocumentEdited() && work->isAutosaveScheduled(), "an edit not yet autosaved");
    };
    // A data cell of the work typed without Return.
    const auto cellTypedWith = [](const QString& typed) {
        PlmWorkDocument* work = workWithFile();
        StudioWindowController* studio = studioWindowOf(work);
        if (!studio || !studio->selectTab(0))
            return QStringLiteral("the data pane");
        work->setAutosaveDelay(int(std::chrono::milliseconds(std::chrono::hours(1)).count()));
        const PlmWork current = work->work();
        if (current.variables.isEmpty() || current.map.entities.isEmpty())
            return QStringLiteral("a variable of the work");
        DataWindowController* data = studio->data;
        const QString entity = current.map.entities.first().id;
        const int column = data->tableModel()->column(current.variables.first().id);
        data->selectRows({entity});
        data->activateColumn(column);
        const QModelIndex cell = data->tableModel()->index(data->tableModel()->row(entity), column);
        data->table()->setCurrentIndex(cell);
        data->table()->edit(cell);
        QApplication::processEvents();
        DataCellField* field = data->table()->findChild<DataCellField*>();
        if (!field || !field->isVisible())
            return QStringLiteral("the cell's field");
        field->setText(typed);
        return missingUnless(!work->isDocumentEdited(), "a cell typed, not yet taken");
    };
    // The Carte pane's largest symbol size typed without Return.
    const auto symbolSizeTyped = [] {
        PlmWorkDocument* work = workWithFile();
        StudioWindowController* studio = studioWindowOf(work);
        if (!studio || !studio->switchMode(StudioWindowController::Mode::carte, true) || !studio->carte())
            return QStringLiteral("the Carte pane");
        work->setAutosaveDelay(int(std::chrono::milliseconds(std::chrono::hours(1)).count()));
        work->updateWork(QStringLiteral("Symboles proportionnels"), [](PlmWork& edited) {
            PlmThematicSettings symbols;
            symbols.variableID = edited.variables.first().id;
            symbols.representation = PlmRepresentation::proportional;
            symbols.proportional = PlmProportionalSettings(PlmSymbolKind::circle, 30, PlmColor{0.8, 0.18, 0.16, 0.85});
            edited.thematic = symbols;
        });
        QLineEdit* size = studio->carte()->inspector()->maximumSize;
        QApplication::setActiveWindow(studio->window());
        size->setFocus();
        size->setText(refusedText);
        size->setModified(true); // as the person's keys leave it
        return missingUnless(size->isEnabled() && size->hasFocus(), "a symbol size typed, not yet taken");
    };

    // A text typed in a Carte field and confirmed with Return: refused, its refusal read (by
    // nobody reporting it here, and only once); then what the person does next.
    using AfterRefusal = std::function<QString(StudioWindowController*, QLineEdit*)>;
    const auto refusedOnReturnThen = [](QLineEdit* CarteInspector::*which, bool symbols, AfterRefusal next) {
        return [which, symbols, next] {
            PlmWorkDocument* work = workWithFile();
            StudioWindowController* studio = studioWindowOf(work);
            if (!studio || !studio->switchMode(StudioWindowController::Mode::carte, true) || !studio->carte())
                return QStringLiteral("the Carte pane");
            work->setAutosaveDelay(int(std::chrono::milliseconds(std::chrono::hours(1)).count()));
            if (symbols)
                work->updateWork(QStringLiteral("Symboles proportionnels"), [](PlmWork& edited) {
                    PlmThematicSettings settings = *edited.thematic;
                    settings.representation = PlmRepresentation::proportional;
                    settings.proportional =
                        PlmProportionalSettings(PlmSymbolKind::circle, 30, PlmColor{0.8, 0.18, 0.16, 0.85});
                    edited.thematic = settings;
                });
            int refusals = 0;
            DialogHooks::Hooks hooks = reportedQuestions();
            hooks.presentError = [&refusals](const QString&, QWidget*) { ++refusals; };
            const DialogHooks::ScopedHooks read(hooks);
            QLineEdit* field = studio->carte()->inspector()->*which;
            QApplication::setActiveWindow(studio->window());
            field->setFocus();
            field->setText(refusedText);
            field->setModified(true);
            QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
            QApplication::sendEvent(field, &press);
            // A symbol size refused gives the stored size back; the thresholds keep the text.
            if (refusals != 1 || (field->text() == refusedText) == symbols)
                return QStringLiteral("a text refused on Return");
            const QString missing = next(studio, field);
            return missing.isEmpty() ? missingUnless(refusals == 1, "the refusal presented once") : missing;
        };
    };
    // The person then goes to another program, the field still holding the text.
    const auto refusedOnReturn = [refusedOnReturnThen](QLineEdit* CarteInspector::*which, bool symbols) {
        return refusedOnReturnThen(which, symbols, [symbols](StudioWindowController* studio, QLineEdit* field) {
            QApplication::setActiveWindow(nullptr);
            return missingUnless(studio->window()->focusWidget() == field && (field->text() == refusedText) != symbols,
                                 "a text refused on Return, left in its field, another program in front");
        });
    };
    // The field shows what the work keeps once the person leaves it, and a Ctrl+S changes nothing.
    const auto leftThenSaved = [](std::function<void(StudioWindowController*, QLineEdit*)> leave) {
        return [leave](StudioWindowController* studio, QLineEdit* field) {
            leave(studio, field);
            if (field->hasFocus() || field->text() == refusedText)
                return QStringLiteral("the field left showing what the work keeps");
            trigger("saveDocument:");
            return missingUnless(field->text() != refusedText, "the field after a Ctrl+S");
        };
    };
    const auto byTab = [](StudioWindowController*, QLineEdit* field) {
        QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
        QApplication::sendEvent(field, &tab);
    };
    const auto byAClickOnThePage = [](StudioWindowController* studio, QLineEdit*) {
        QWidget* page = studio->carte()->view();
        page->setFocus(Qt::MouseFocusReason); // as the window system's own click gives it
        for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
            QMouseEvent click(type, QPointF(4, 4), page->mapToGlobal(QPointF(4, 4)), Qt::LeftButton,
                              type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
            QApplication::sendEvent(page, &click);
        }
    };
    // An ordinary Ctrl+S while the refused text is still in its field: it is given up there.
    const auto savedWhileItStays = [](StudioWindowController*, QLineEdit* field) {
        trigger("saveDocument:");
        return missingUnless(!field->hasFocus() && field->text() != refusedText, "the refused text given up by Ctrl+S");
    };
    // The person types a size that fits, without Return.
    const auto corrected = [](StudioWindowController*, QLineEdit* field) {
        field->setText(correctedSize);
        field->setModified(true);
        return missingUnless(field->hasFocus(), "a corrected size typed, not yet taken");
    };

    // The work edited, and the base map given a variable, which only a work document keeps:
    // its last write is refused.
    const auto variableInTheBaseMap = [] {
        PlmWorkDocument* work = workWithFile();
        PlmWorkDocument* map = mapWithFile();
        if (!work || !map)
            return QStringLiteral("the work and the base map handed over");
        for (PlmWorkDocument* document : {work, map})
            document->setAutosaveDelay(int(std::chrono::milliseconds(std::chrono::hours(1)).count()));
        work->updateWork(QStringLiteral("Renommer"), [](PlmWork& edited) { edited.map.name = editedMapName; });
        map->updateWork(QStringLiteral("Ajouter une variable"),
                        [](PlmWork& edited) { edited.addVariable(QStringLiteral("Densité"), PlmVariableType::number); });
        return missingUnless(work->isDocumentEdited() && map->isDocumentEdited(), "the two documents edited");
    };
    const auto newFondBesideTheWork = [] {
        trigger("newFondDocument:");
        return missingUnless(studioShown() && studioShown(studioWindowOf(newWorkDocument())),
                             "« Nouveau fond » beside the work");
    };
    QHash<QString, Scenario> all = teardownScenarios();
    all.insert({
        {QStringLiteral("LibraryWindowOpen"), {nothingMore}},
        {QStringLiteral("LibraryWindowClosedAgain"),
         {[] {
             // Closed, shown again from the studio's menu (Ctrl+L), closed again.
             libraryWindow()->window()->close();
             trigger("showLibrary:");
             if (!shown(libraryWindow()))
                 return QStringLiteral("library window shown again");
             libraryWindow()->window()->close();
             return missingUnless(!shown(libraryWindow()) && studioShown(), "library window closed, studio window left");
         }}},
        {QStringLiteral("LibraryWindowClosedLast"),
         {[] { return missingUnless(onlyWindow(), "library window alone"); }, byClosingTheLastWindow}},
        {QStringLiteral("QuickLookShown"),
         {[] {
             LibraryWindowController* library = libraryWindow();
             QStringList maps;
             for (const PlmLibraryItem& item : library->store().tree())
                 if (!item.isFolder)
                     maps << item.url;
             library->select(maps);
             library->perform(QStringLiteral("quickLook:"), nullptr);
             return missingUnless(shown(library->quickLook()) && library->previewURLs().size() == 2,
                                  "« Coup d’œil » of two maps");
         }}},
        {QStringLiteral("ThumbnailsBeingMade"),
         {[] {
             // Drawing the rows asks for their pictures, made on worker threads; their results
             // can only come back through the event loop, after the quit.
             libraryWindow()->outline()->viewport()->repaint();
             return missingUnless(libraryWindow()->thumbnails()->pendingCount() > 0, "thumbnails being made");
         }}},
        {QStringLiteral("OnlineCatalogueLoading"),
         {[] {
             trigger("showOnline:");
             return missingUnless(shown(LibraryCoordinator::shared().online.data()), "online catalogue window");
         }}},
        {QStringLiteral("StudioWindowOpenWhenTheLoopEnds"), {nothingMore, byEndingTheLoop}},
        {QStringLiteral("NewFondMadeAfterTheLoopEnded"), {nothingMore, byEndingTheLoopBeforeACommand}},
        {QStringLiteral("ExportPanelShown"), {exportPanel}},
        {QStringLiteral("ExportPanelShownWhenTheLoopEnds"), {exportPanel, byEndingTheLoop}},
        {QStringLiteral("NewFondAndWorkOpenWhenTheLoopEnds"), {newFondBesideTheWork, byEndingTheLoop}},
        {QStringLiteral("WindowClosedByCtrlWAnotherLeftOpen"),
         {[newFondBesideTheWork] {
             if (const QString missing = newFondBesideTheWork(); !missing.isEmpty())
                 return missing;
             closeByCtrlW(studioWindowOf(newWorkDocument())->window());
             return missingUnless(workDocuments().size() == 1 && studioShown(), "« Nouveau fond » closed, the work left");
         },
          byEndingTheLoop}},
        {QStringLiteral("OnlineCatalogueClosedWhenTheLoopEnds"),
         {[] {
             trigger("showOnline:");
             const QPointer<OnlineWindowController> online = LibraryCoordinator::shared().online;
             if (!shown(online.data()))
                 return QStringLiteral("online catalogue window");
             online->window()->close();
             return missingUnless(!shown(online.data()) && studioShown(), "online catalogue closed, studio window left");
         },
          byEndingTheLoop}},
        {QStringLiteral("SaveQuestionShowingWhenTheLoopEnds"),
         {[] {
             trigger("newStudioDocument:");
             PlmWorkDocument* untitled = newWorkDocument();
             if (!untitled)
                 return QStringLiteral("« Nouveau document »");
             untitled->updateChangeCount(Document::ChangeType::Done);
             return missingUnless(studioShown(studioWindowOf(untitled)), "« Nouveau document » with unsaved changes");
         },
          underTheSaveQuestion}},
        {QStringLiteral("WorkEditedWhenSIGTERMArrives"), {editBesideAnUntitledDraft, bySigterm}},
        {QStringLiteral("UntitledGivenAVariableWhenSIGTERMArrives"), {untitledDraftGivenAVariable, bySigtermBesideTheWork}},
        {QStringLiteral("WorkRewrittenElsewhereWhenSIGTERMArrives"),
         {[editBesideAnUntitledDraft] {
              if (const QString missing = editBesideAnUntitledDraft(); !missing.isEmpty())
                  return missing;
              // Another program saves another version of the work over its file.
              QFile read(workWithFile()->filePath());
              if (!read.open(QIODevice::ReadOnly))
                  return QStringLiteral("the work's file");
              PlmWork theirs = PlmWorkCodec::decode(read.readAll());
              theirs.map.name = writtenElsewhereName;
              QSaveFile file(read.fileName());
              const bool written = file.open(QIODevice::WriteOnly) && file.write(PlmWorkCodec::encode(theirs)) > 0 && file.commit();
              return missingUnless(written, "the work's file written over by another program");
          },
          bySigterm}},
        {QStringLiteral("ThresholdsRefusedOnReturnWhenSIGTERMArrives"),
         {refusedOnReturn(&CarteInspector::thresholds, false), bySigtermWhileTheRefusedTextStays}},
        {QStringLiteral("SymbolSizeRefusedOnReturnWhenSIGTERMArrives"),
         {refusedOnReturn(&CarteInspector::maximumSize, true), bySigtermBesideTheWork}},
        {QStringLiteral("ThresholdsRefusedThenLeftByTabWhenSIGTERMArrives"),
         {refusedOnReturnThen(&CarteInspector::thresholds, false, leftThenSaved(byTab)), bySigtermBesideTheWork}},
        {QStringLiteral("SymbolSizeRefusedThenLeftByAClickWhenSIGTERMArrives"),
         {refusedOnReturnThen(&CarteInspector::maximumSize, true, leftThenSaved(byAClickOnThePage)),
          bySigtermBesideTheWork}},
        {QStringLiteral("ThresholdsRefusedThenSavedWhenSIGTERMArrives"),
         {refusedOnReturnThen(&CarteInspector::thresholds, false, savedWhileItStays), bySigtermBesideTheWork}},
        {QStringLiteral("SymbolSizeRefusedThenCorrectedWhenSIGTERMArrives"),
         {refusedOnReturnThen(&CarteInspector::maximumSize, true, corrected), bySigtermWhileASizeIsTyped}},
        {QStringLiteral("CellTypedWhenSIGTERMArrives"), {[cellTypedWith] { return cellTypedWith(typedCell); }, bySigtermWhileTyping}},
        {QStringLiteral("CellRefusedWhenSIGTERMArrives"), {[cellTypedWith] { return cellTypedWith(refusedText); }, bySigtermWhileTyping}},
        {QStringLiteral("SymbolSizeRefusedWhenSIGTERMArrives"), {symbolSizeTyped, bySigtermWhileASizeIsTyped}},
        {QStringLiteral("BaseMapSaveQuestionShowingWhenSIGTERMArrives"), {variableInTheBaseMap, bySigtermUnderTheBaseMapsSaveQuestion}},
        {QStringLiteral("WorkEditedWhenSIGHUPThenSIGTERMArrive"), {editBesideAnUntitledDraft, byHangUpThenKillWhileEnding}},
        {QStringLiteral("BaseMapWriteRefusedWhenSIGTERMArrives"), {variableInTheBaseMap, bySigterm}},
        {QStringLiteral("BaseMapWriteRefusedWhenTheLoopEnds"), {variableInTheBaseMap, byEndingTheLoop}},
        {QStringLiteral("SaveQuestionShowingWhenSIGTERMArrives"), {editBesideAnUntitledDraft, bySigtermUnderTheSaveQuestion}},
        {QStringLiteral("SavePanelShowingWhenSIGTERMArrives"), {editBesideAnUntitledDraft, bySigtermUnderTheSavePanel}},
        {QStringLiteral("LaunchErrorShowingWhenSIGTERMArrives"),
         {nothingMore, bySigtermUnderALaunchError, [](const QString& name) {
              DialogHooks::Hooks hooks = reportedQuestions();
              hooks.presentError = DialogHooks::defaultHooks().presentError; // shows through the alert
              const auto reportAgain = hooks.alert;
              hooks.alert = [name, real = realFirstUnderSigterm(DialogHooks::defaultHooks().alert, reportAgain),
                             first = std::make_shared<bool>(true)](const DialogHooks::Alert& alert) {
                  if (std::exchange(*first, false))
                      reached(name, bySigtermUnderALaunchError);
                  return real(alert);
              };
              DialogHooks::install(hooks);
          }}},
        // The only work's own windows beside its studio window: closing the work takes them
        // all, and nothing is left to keep the program running.
        {QStringLiteral("WorkWindowsShownWhenTheWorkIsClosed"),
         {[] {
             StudioWindowController* studio = studioWindow();
             PlmWorkDocument* work = workWithFile();
             if (!studio || !work || !studio->switchMode(StudioWindowController::Mode::carte, true))
                 return QStringLiteral("Carte mode");
             // The page the Carte made is the file's: the close asks nothing.
             if (!work->saveToFile(work->filePath(), work->fileType(), Document::SaveOperation::Save))
                 return QStringLiteral("the page saved");
             studio->carte()->decorationController()->chooseSymbolToAdd([](const QString&) {}, {});
             studio->carte()->openSymbolPicker();
             studio->data->perform(QStringLiteral("newCalculation:"), nullptr);
             studio->perform(QStringLiteral("exportCarte:"), nullptr);
             const QWidgetList tops = QApplication::topLevelWidgets();
             return missingUnless(std::count_if(tops.begin(), tops.end(), [](QWidget* w) { return w->isVisible(); }) == 5,
                                  "two symbol catalogues, the formula window and the export panel beside the work");
         },
          byClosingTheWork}},
        {QStringLiteral("SymbolCatalogueShown"),
         {[] {
             SymbolPickerLauncher::Request request;
             request.completion = [](const QString&) {};
             const QPointer<QWidget> picker = SymbolPickerLauncher::open(request);
             return missingUnless(picker && picker->isVisible(), "symbol catalogue window");
         }}},
    });
    return all;
}

// Asks again at every turn of the event loop (a document is read in a loop of its own, which
// runs timers too, before the program's) until the windows of the files handed over show: the
// library window for a library, the studio window for a work document.
void actWhenLaunched(const QString& name, const Scenario& scenario)
{
    if (!quitRequested.isEmpty())
        return; // already ending, from the launch
    const QStringList files = QCoreApplication::arguments().mid(1);
    const bool library = std::any_of(files.begin(), files.end(), [](const QString& f) { return f.endsWith(".plmlibrary"); });
    const bool document = std::any_of(files.begin(), files.end(), [](const QString& f) { return f.endsWith(".plm"); });
    if ((library && !shown(libraryWindow())) || (document && !studioShown()) || (scenario.launched && !scenario.launched()))
        return (void)QTimer::singleShot(0, qApp, [name, scenario] { actWhenLaunched(name, scenario); });
    if (const QString missing = scenario.bring(); !missing.isEmpty()) {
        say(QStringLiteral("not reached: ") + missing);
        return QCoreApplication::exit(2);
    }
    reached(name, scenario.quit);
    scenario.quit.act();
}

// Every question is answered at once, as a cancel, and reported.
DialogHooks::Hooks reportedQuestions()
{
    DialogHooks::Hooks hooks;
    hooks.alert = [](const DialogHooks::Alert& alert) {
        say(QStringLiteral("question: ") + alert.message);
        return int(alert.buttons.size()) - 1;
    };
    hooks.sheet = [](const DialogHooks::Alert& alert, std::function<void(int)> completion) {
        say(QStringLiteral("question: ") + alert.message);
        if (completion)
            completion(int(alert.buttons.size()) - 1);
    };
    hooks.presentError = [](const QString& message, QWidget*) { say(QStringLiteral("question: ") + message); };
    hooks.askSaveChanges = [](const QString& name, QWidget*) {
        say(QStringLiteral("question: save ") + name);
        return DialogHooks::SaveChangesAnswer::DontSave;
    };
    hooks.openPanel = [](const DialogHooks::OpenPanelRequest& request) {
        say(QStringLiteral("panel: ") + request.title);
        return std::optional<QStringList>();
    };
    hooks.savePanel = [](const DialogHooks::SavePanelRequest& request) {
        say(QStringLiteral("panel: ") + request.title);
        return std::optional<DialogHooks::SavePanelResult>();
    };
    hooks.colorPanel = [](const QColor&, const QString& title, QWidget*) {
        say(QStringLiteral("panel: couleurs ") + title);
        return std::optional<QColor>();
    };
    hooks.fontPanel = [](const QFont&, const QString& title, QWidget*) {
        say(QStringLiteral("panel: polices ") + title);
        return std::optional<QFont>();
    };
    return hooks;
}

// A transfer that lasts until it is told to stop: the catalogue is still loading at the quit.
OnlineResponse endlessTransfer(const QUrl&, const OnlineDownloadOptions& options)
{
    while (!options.cancelled || !options.cancelled->load())
        QThread::msleep(5);
    throw OnlineCancelled();
}

} // namespace

int main(int argc, char** argv)
{
    int exitCode = 0;
    std::function<void()> afterTheApplication;
    {
        QApplication app(argc, argv);
        QCoreApplication::setOrganizationName(QStringLiteral("Pelmora"));
        QCoreApplication::setApplicationName(QStringLiteral("Pelmora Studio"));
        // Never the network, whatever a scenario opens.
        QStandardPaths::setTestModeEnabled(true);
        OnlineWindowController::setFetch(endlessTransfer);
        DialogHooks::setFallbackHooks(reportedQuestions());

        QString name;
        for (const QString& argument : QCoreApplication::arguments())
            if (argument.startsWith(QLatin1String("--scenario=")))
                name = argument.mid(int(qstrlen("--scenario=")));
        const Scenario scenario = scenarios().value(name);
        if (!scenario.bring) {
            std::fprintf(stderr, "unknown scenario: %s\n", qPrintable(name));
            return 64;
        }
        if (scenario.beforeLaunch)
            scenario.beforeLaunch(name);
        QTimer::singleShot(0, &app, [name, scenario] { actWhenLaunched(name, scenario); });

        afterTheApplication = scenario.quit.afterTheApplication;
        exitCode = StudioProgram::run();
        if (!quitRequested.isEmpty())
            say(QStringLiteral("quit: ") + quitRequested);
        // Every document is closed while the application exists, however late it was made.
        if (const qsizetype left = DocumentController::shared().documents().size())
            say(QStringLiteral("documents left open: ") + QString::number(left));

        // Whatever is still alive now goes with the application object or later still: it
        // must not be a widget.
        for (QWidget* widget : QApplication::allWidgets())
            watchForLateDeletion(widget);
    }
    if (afterTheApplication)
        afterTheApplication();
    return lateDeletions == 0 ? exitCode : 3;
}
