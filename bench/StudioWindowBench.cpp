#include "support/BenchGuard.h"
#include "support/BenchViews.h"
#include "support/BenchWindow.h"
#include "support/BenchWorks.h"

#include "app/PlmWorkDocument.h"
#include "app/StudioWindowCommands.h"
#include "app/StudioWindowController.h"
#include "canvas/VectorCanvas.h"
#include "carte/CarteWindowController.h"
#include "desktop/DocumentController.h"
#include "desktop/ViewHost.h"
#include "fond/FondWindowController.h"
#include "platform/UserDefaults.h"

#include <QCoreApplication>
#include <QEvent>
#include <QPointer>
#include <QTemporaryDir>
#include <QToolButton>
#include <QWidget>

#include <benchmark/benchmark.h>
#include <memory>

// The studio window on the large work (35,000 entities, ten variables), timed until what the
// person sees is painted: opening the saved work from its file until the first picture of the
// window (the process's first open, as at launch, and the later ones), the first switch to the
// Carte mode until the page's final picture, a typed cell, a renamed entity and a selection of
// every entity, each until the window has painted it. Every row then reads back what the
// window shows of its map view (untimed) and fails when the map's picture is not there: the
// other views' paints alone would pass for it.
// Parts (the window built from a work already in memory, a refresh with nothing to paint) have
// rows of their own, named as parts.
namespace {

const PlmWork& largeWork()
{
    static const PlmWork work = BenchWorks::makeLargeWork(35000, 8, 2);
    return work;
}

// The large work written once as a ".plm" file by the document's own saver; empty when it
// could not be written.
const QString& savedWorkPath()
{
    static QTemporaryDir dir;
    static const QString path = [] {
        const QString file = dir.filePath(QStringLiteral("Communes.plm"));
        PlmWorkDocument document;
        document.setWork(largeWork());
        return document.writeToFile(file, PlmWorkDocument::plmType) ? file : QString();
    }();
    return path;
}

// The person types into, or renames, a row they see: the first rows of the table and of the
// outline, in the window's first size.
constexpr qsizetype kVisibleRows = 5;

bool fondPending(const StudioWindowController* studio)
{
    return studio && studio->fond && studio->fond->canvas()->hasPendingRefinement();
}

bool fondShown(benchmark::State& state, const StudioWindowController* studio)
{
    return BenchViews::viewShown(state, studio && studio->fond ? studio->fond->canvas() : nullptr,
                                 "the Fond map view", "fond_shown_share");
}

// Saved works opened so far in this process: the first one meets what a person launching the
// program meets (the first window, fonts and glyphs, worker threads, code not yet paged in).
int opensInProcess = 0;

// A saved work opened as the application opens a file given to it: the file read (decoded on
// a worker), the studio window made and shown, until the platform exposed it and its first
// picture is final, in user defaults of its own (the Fond mode, no saved frame). The document
// is closed when this goes.
struct OpenedStudio {
    UserDefaults::TemporaryScope scope;
    DocumentController controller;
    QPointer<PlmWorkDocument> document;
    StudioWindowController* studio = nullptr;
    std::unique_ptr<BenchWindow> watch;

    bool open(benchmark::State& state, const QString& path)
    {
        ++opensInProcess;
        QString error;
        controller.openDocument(path, true, [&](Document* opened, bool, const QString& message) {
            document = qobject_cast<PlmWorkDocument*>(opened);
            error = message;
        });
        if (!document) {
            state.SkipWithError(error.isEmpty() ? "the saved work did not open" : error.toUtf8().constData());
            return false;
        }
        studio = dynamic_cast<StudioWindowController*>(document->studioController());
        if (!studio) {
            state.SkipWithError("the document has no studio window");
            return false;
        }
        // Nothing is painted before the platform exposes the window, which comes from the
        // event loop: the watch set now sees the first paint.
        watch = std::make_unique<BenchWindow>(studio->window(), [this] { return fondPending(studio); },
                                              BenchWindow::Scope::withChildren);
        return watch->waitForExposure(state);
    }
    ~OpenedStudio()
    {
        watch.reset();
        if (document)
            document->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
};

// The saved work, with the application's document types and its full studio window installed
// to open it; empty, the benchmark failed, when the work could not be saved.
QString installedStudioAndSavedWork(benchmark::State& state)
{
    PlmWorkDocument::registerDocumentTypes();
    StudioWindowCommands::install();
    const QString path = savedWorkPath();
    if (path.isEmpty())
        state.SkipWithError("the work could not be saved");
    return path;
}

// From the saved file on disk to the first painted window: the read and decoding of the work,
// the document, the studio window with its outline, table and Fond map view built, shown and
// exposed, and the Fond map fitted and drawn. Closing is not timed.
void timeOpens(benchmark::State& state, const QString& path)
{
    for (auto _ : state) {
        auto studio = std::make_unique<OpenedStudio>();
        const bool opened = studio->open(state, path);
        BenchWindow::pauseTiming(state);
        const bool shown = opened && fondShown(state, studio->studio);
        if (opened)
            state.counters["fond_layer_renders"] = studio->studio->fond->canvas()->layerRenderCount();
        studio.reset();
        BenchWindow::resumeTiming(state);
        if (!shown)
            break;
    }
}

// The first open of the process, once: what the person meets on launching the program with a
// saved work (the work generated and saved just before is not timed). Registered first, so that
// it runs first; it cannot be repeated in one process.
void BM_StudioOpenSavedWorkFirst(benchmark::State& state)
{
    const QString path = installedStudioAndSavedWork(state);
    if (path.isEmpty())
        return;
    if (opensInProcess > 0) {
        state.SkipWithError("a work was already opened in this process: the first open can only be timed once, first");
        return;
    }
    timeOpens(state, path);
}
PLM_BENCHMARK(BM_StudioOpenSavedWorkFirst)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

// The same open again in the same session, after a first one (made untimed when this row runs
// alone).
void BM_StudioOpenSavedWorkAgain(benchmark::State& state)
{
    const QString path = installedStudioAndSavedWork(state);
    if (path.isEmpty())
        return;
    if (opensInProcess == 0 && !OpenedStudio().open(state, path))
        return;
    timeOpens(state, path);
}
PLM_BENCHMARK(BM_StudioOpenSavedWorkAgain)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// The first switch to the Carte mode in a session, the saved work just opened in Fond: a click
// on the mode button, the Carte pane made with its composition, thematic layers and inspector,
// until the Carte page is painted with its final picture.
void BM_StudioFirstSwitchToCarte(benchmark::State& state)
{
    const QString path = installedStudioAndSavedWork(state);
    if (path.isEmpty())
        return;
    for (auto _ : state) {
        BenchWindow::pauseTiming(state);
        auto studio = std::make_unique<OpenedStudio>();
        const bool opened = studio->open(state, path);
        QToolButton* button = opened ? studio->studio->modeItems.value(StudioWindowController::Mode::carte) : nullptr;
        if (opened && (!button || studio->studio->loadedCarte())) {
            state.SkipWithError("no Carte mode button, or the Carte pane was made before the switch");
            break;
        }
        BenchWindow::resumeTiming(state);
        if (!opened)
            break;
        button->click();
        CarteWindowController* carte = studio->studio->loadedCarte();
        ViewHost* page = carte ? dynamic_cast<ViewHost*>(carte->view()) : nullptr;
        if (!page) {
            state.SkipWithError("the switch made no Carte page");
            break;
        }
        // The page is painted from the event loop once the click has returned: the watch set now
        // sees its first paint.
        BenchWindow pageWatch(page, [carte] { return carte->mapView()->hasPendingRefinement(); });
        const bool painted = pageWatch.waitForPicture(state);
        BenchWindow::pauseTiming(state);
        const bool shown
            = painted && BenchViews::viewShown(state, carte->mapView(), "the Carte map view", "page_shown_share");
        state.counters["page_layer_renders"] = carte->mapView()->layerRenderCount();
        studio.reset();
        BenchWindow::resumeTiming(state);
        if (!shown)
            break;
    }
}
PLM_BENCHMARK(BM_StudioFirstSwitchToCarte)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// Window: the bare window, or the full one with its commands, outline and background image.
template <typename Window = StudioWindowController>
struct OpenStudio {
    UserDefaults::TemporaryScope scope;
    std::unique_ptr<PlmWorkDocument> document = std::make_unique<PlmWorkDocument>();
    StudioWindowController* controller = nullptr;

    OpenStudio()
    {
        document->setWork(largeWork());
        controller = new Window(document.get());
        document->addWindowController(controller);
    }
};

// Shown, exposed and painted once, as a document opened by the person.
template <typename Window = StudioWindowController>
struct ShownStudio : OpenStudio<Window> {
    std::unique_ptr<BenchWindow> watch;

    bool show(benchmark::State& state)
    {
        StudioWindowController* studio = this->controller;
        watch = std::make_unique<BenchWindow>(studio->window(), [studio] { return fondPending(studio); },
                                              BenchWindow::Scope::withChildren);
        this->controller->showWindow();
        return watch->waitForExposure(state);
    }
    // Whether the window shows the Fond map's picture (untimed: see BenchViews::viewShown).
    bool showsMap(benchmark::State& state) { return fondShown(state, this->controller); }
    // Shown for the timed edits that follow (untimed).
    bool showWithMap(benchmark::State& state) { return show(state) && showsMap(state); }
    // After the timed steps (the loop over, nothing timed): the map still shows, so that no
    // step's paint dropped it.
    void showsMapAfterSteps(benchmark::State& state)
    {
        if (!state.error_occurred())
            showsMap(state);
    }
    // One change, then the event loop until the window has painted it.
    template <typename Change>
    bool step(benchmark::State& state, Change&& change)
    {
        watch->mark();
        change();
        return watch->waitForPicture(state);
    }
};

// A part of the opening: the window built from a work already in memory (no file read), shown
// and painted once. Closing is not timed.
template <typename Window>
void BM_StudioWindowOpen_PartFromMemory(benchmark::State& state)
{
    largeWork(); // generated once, outside the timed opening
    for (auto _ : state) {
        auto studio = std::make_unique<ShownStudio<Window>>();
        const bool painted = studio->show(state);
        BenchWindow::pauseTiming(state);
        const bool shown = painted && studio->showsMap(state);
        studio.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        BenchWindow::resumeTiming(state);
        if (!shown)
            break;
    }
}
PLM_BENCHMARK(BM_StudioWindowOpen_PartFromMemory<StudioWindowController>)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
PLM_BENCHMARK(BM_StudioWindowOpen_PartFromMemory<StudioWindowCommands>)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// Each timed step types a number into a cell of a row in sight (the work document's update
// included) until the window has painted it.
template <typename Studio>
void typeCells(benchmark::State& state, Studio& studio)
{
    const QString variableID = BenchWorks::inputVariableID(1);
    const PlmWork start = studio.document->work();
    qsizetype row = 0;
    double value = 1000.5;
    for (auto _ : state) {
        const QString entityID = start.map.entities.at(row).id;
        const bool painted = studio.step(state, [&] {
            studio.document->updateWork(QStringLiteral("Saisir une cellule"), [&](PlmWork& work) {
                work.variables[work.variableIndex(variableID)].values.insert(entityID, PlmValue::number(value));
            });
        });
        if (!painted)
            break;
        row = (row + 1) % kVisibleRows;
        value += 1;
    }
    studio.showsMapAfterSteps(state);
}

// One typed cell until the window has painted it.
template <typename Window>
void BM_StudioWindowCellEdit(benchmark::State& state)
{
    ShownStudio<Window> studio;
    if (!studio.showWithMap(state))
        return;
    typeCells(state, studio);
}
PLM_BENCHMARK(BM_StudioWindowCellEdit<StudioWindowController>)->Unit(benchmark::kMillisecond)->UseRealTime();
PLM_BENCHMARK(BM_StudioWindowCellEdit<StudioWindowCommands>)->Unit(benchmark::kMillisecond)->UseRealTime();

// A part: the window's refresh when nothing changed (nothing to paint).
template <typename Window>
void BM_StudioWindowRefresh_PartUnchanged(benchmark::State& state)
{
    OpenStudio<Window> studio;
    for (auto _ : state)
        studio.controller->reloadObjects();
}
PLM_BENCHMARK(BM_StudioWindowRefresh_PartUnchanged<StudioWindowController>)->Unit(benchmark::kMillisecond)->UseRealTime();
PLM_BENCHMARK(BM_StudioWindowRefresh_PartUnchanged<StudioWindowCommands>)->Unit(benchmark::kMillisecond)->UseRealTime();

// One entity renamed in the shown window: the map changed, so the map views, the table and the
// outline follow; timed until the window has painted the change.
template <typename Window>
void BM_StudioWindowEntityEdit(benchmark::State& state)
{
    ShownStudio<Window> studio;
    if (!studio.showWithMap(state))
        return;
    qsizetype row = 0;
    int count = 0;
    for (auto _ : state) {
        const bool painted = studio.step(state, [&] {
            studio.document->updateWork(QStringLiteral("Renommer"), [&](PlmWork& work) {
                PlmEntity entity = work.map.entities.at(row);
                entity.name = QStringLiteral("Nom %1").arg(++count);
                work.map.entities.replace(row, entity);
            });
        });
        if (!painted)
            break;
        row = (row + 1) % kVisibleRows;
    }
    studio.showsMapAfterSteps(state);
}
PLM_BENCHMARK(BM_StudioWindowEntityEdit<StudioWindowController>)->Unit(benchmark::kMillisecond)->UseRealTime();
PLM_BENCHMARK(BM_StudioWindowEntityEdit<StudioWindowCommands>)->Unit(benchmark::kMillisecond)->UseRealTime();

// Everything selected (as after selecting all in the map view), then one typed cell until
// painted: the table, the outline and the status line carry the whole selection through the
// refresh.
template <typename Window>
void BM_StudioWindowCellEditAllSelected(benchmark::State& state)
{
    ShownStudio<Window> studio;
    if (!studio.showWithMap(state))
        return;
    const PlmWork start = studio.document->work();
    if (!studio.step(state, [&] { studio.document->select(start.topLevelEntityIDs(), start.map.entities.first().id); }))
        return;
    typeCells(state, studio);
}
PLM_BENCHMARK(BM_StudioWindowCellEditAllSelected<StudioWindowController>)->Unit(benchmark::kMillisecond)->UseRealTime();
PLM_BENCHMARK(BM_StudioWindowCellEditAllSelected<StudioWindowCommands>)->Unit(benchmark::kMillisecond)->UseRealTime();

// Every entity selected, from none, until the window has painted the selection; the return to
// no selection is not timed.
template <typename Window>
void BM_StudioWindowSelectAll(benchmark::State& state)
{
    ShownStudio<Window> studio;
    if (!studio.showWithMap(state))
        return;
    const PlmWork work = studio.document->work();
    const QSet<QString> all = work.topLevelEntityIDs();
    for (auto _ : state) {
        if (!studio.step(state, [&] { studio.document->select(all, work.map.entities.first().id); }))
            break;
        BenchWindow::pauseTiming(state);
        const bool cleared = studio.step(state, [&] { studio.document->select(QSet<QString>(), std::nullopt); });
        BenchWindow::resumeTiming(state);
        if (!cleared)
            break;
    }
    studio.showsMapAfterSteps(state);
}
PLM_BENCHMARK(BM_StudioWindowSelectAll<StudioWindowController>)->Unit(benchmark::kMillisecond)->UseRealTime();
PLM_BENCHMARK(BM_StudioWindowSelectAll<StudioWindowCommands>)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
