#include "support/BenchGuard.h"
#include "canvas/VectorCanvas.h"
#include "library/LibraryDropPreview.h"
#include "library/LibraryOutlineModel.h"
#include "library/LibraryOutlineView.h"
#include "library/LibraryThumbnails.h"
#include "library/LibraryWindowController.h"
#include "model/PlmMapCodec.h"
#include "desktop/DialogHooks.h"
#include "desktop/ViewHost.h"
#include "support/BenchMaps.h"
#include "support/PeakMemory.h"
#include "support/BenchViews.h"
#include "support/BenchWindow.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QMainWindow>
#include <QScrollBar>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

// The library window on large libraries, in a shown 1060 × 700 window and timed until its final
// picture on screen: opening a library of 2,000 maps, scrolling its outline a page, and the live
// preview of the 35,000-entity map when it is selected (its cached picture first, a part). Also
// the memory of « Importer un fond… » of a 150 MB map of nested groups, at its peak and once the
// import has ended (run it alone: the peak is the whole process's).
namespace {

QTemporaryDir& benchDir()
{
    static QTemporaryDir dir;
    return dir;
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(bytes);
}

// 2,000 small maps in 40 folders of 50.
const QString& libraryOf2000()
{
    static const QString root = [] {
        const QString path = benchDir().filePath(QStringLiteral("Grande.plmlibrary"));
        const PlmMap small = BenchMaps::makeLargeMap(20);
        for (int folder = 0; folder < 40; ++folder)
            for (int map = 0; map < 50; ++map) {
                PlmMap copy = small;
                copy.name = QStringLiteral("Fond %1-%2").arg(folder).arg(map);
                writeFile(QStringLiteral("%1/Dossier %2/%3.plmmap").arg(path).arg(folder).arg(copy.name), PlmMapCodec::encode(copy));
            }
        return path;
    }();
    return root;
}

const QString& libraryWithLargeMap()
{
    static const QString root = [] {
        const QString path = benchDir().filePath(QStringLiteral("Départements.plmlibrary"));
        writeFile(path + QStringLiteral("/France.plmmap"), PlmMapCodec::encode(BenchMaps::makeLargeMap(35000)));
        return path;
    }();
    return root;
}

void silence()
{
    DialogHooks::Hooks hooks;
    hooks.presentError = [](const QString&, QWidget*) {};
    DialogHooks::install(hooks);
    // The pictures' disk cache goes with the benchmark's folder rather than the user's.
    qputenv("XDG_CACHE_HOME", benchDir().filePath(QStringLiteral("cache")).toUtf8());
}

bool thumbnailsPending(const LibraryWindowController& window)
{
    return window.thumbnails()->pendingCount() > 0;
}

// From the window made on the library (the tree read, the outline built) to its first final
// picture: shown, exposed, the outline painted with the pictures of its visible rows (drawn off
// the main thread, then painted). Every folder is open, as after a search: all 2,040 rows are in
// the outline. The pictures come from the disk cache after the first opening, as in a session.
void BM_OpenLibraryOf2000Maps(benchmark::State& state)
{
    silence();
    const QString root = libraryOf2000();
    for (auto _ : state) {
        auto window = std::make_unique<LibraryWindowController>(PlmLibraryStore(root));
        window->outline()->expandAll();
        LibraryWindowController* controller = window.get();
        BenchWindow watch(window->outline()->viewport(), [controller] { return thumbnailsPending(*controller); });
        const bool shown = watch.show(state, QSize(1060, 700));
        benchmark::DoNotOptimize(window->model()->rowCount());
        BenchWindow::pauseTiming(state);
        window->thumbnails()->waitForPending();
        window.reset();
        BenchWindow::resumeTiming(state);
        if (!shown)
            break;
    }
}
PLM_BENCHMARK(BM_OpenLibraryOf2000Maps)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

// One page further down, until the outline has painted it with the pictures of its rows.
void BM_ScrollLibraryOf2000Maps(benchmark::State& state)
{
    silence();
    LibraryWindowController window{PlmLibraryStore(libraryOf2000())};
    window.outline()->expandAll();
    BenchWindow watch(window.outline()->viewport(), [&window] { return thumbnailsPending(window); });
    if (!watch.show(state, QSize(1060, 700)))
        return;
    QScrollBar* bar = window.outline()->verticalScrollBar();
    int step = 0;
    for (auto _ : state) {
        const int target = (++step * bar->pageStep()) % std::max(1, bar->maximum());
        if (target == bar->value())
            continue;
        watch.mark();
        bar->setValue(target);
        if (!watch.waitForPicture(state))
            break;
    }
    window.thumbnails()->waitForPending();
}
PLM_BENCHMARK(BM_ScrollLibraryOf2000Maps)->Unit(benchmark::kMillisecond)->UseRealTime();

// The library window on the large map, shown; the preview column's paints are watched (its
// views are made for each selection). The live map view's picture is final once the view
// itself has painted and has no refinement left.
struct PreviewWindow {
    LibraryWindowController window;
    QString map;
    std::unique_ptr<BenchWindow> watch;
    bool selected = false;

    explicit PreviewWindow(const QString& root)
        : window(PlmLibraryStore(root)), map(PlmLibraryStore(root).root() + QStringLiteral("/France.plmmap"))
    {
        watch = std::make_unique<BenchWindow>(window.preview(), [this] { return selected && !liveViewIsFinal(); },
                                              BenchWindow::Scope::withChildren);
    }
    bool liveViewIsFinal() const
    {
        const VectorCanvas* canvas = window.previewCanvas();
        return canvas && canvas->host() && watch->lastPainted() == canvas->host() && !canvas->hasPendingRefinement();
    }
    bool open(benchmark::State& state)
    {
        if (!watch->show(state, QSize(1060, 700)))
            return false;
        // The first time: read and drawn off the main thread, then cached.
        return selectMap(state);
    }
    bool clearSelection(benchmark::State& state)
    {
        watch->mark();
        selected = false;
        window.select(QStringList());
        return watch->waitForPaint(state);
    }
    // The selection until the live map view is painted.
    bool selectMap(benchmark::State& state)
    {
        watch->mark();
        selected = true;
        window.select({map});
        return watch->waitForPicture(state);
    }
};

// From the selection of the 35k map to its live map view on screen (the map read and decoded
// off the main thread, the window answering meanwhile; the details and the cached picture show
// first). The return to no selection is not timed.
void BM_LivePreviewOfThe35kMap(benchmark::State& state)
{
    silence();
    PreviewWindow preview(libraryWithLargeMap());
    if (!preview.open(state))
        return;
    // A paint of the live view is not yet its picture in the window: the window is read back.
    BenchViews::ShownAfterSteps shown([&preview] { return preview.window.previewCanvas(); }, "the live map view",
                                      "shown_share");
    for (auto _ : state) {
        BenchWindow::pauseTiming(state);
        const bool cleared = preview.clearSelection(state);
        BenchWindow::resumeTiming(state);
        if (!cleared || !preview.selectMap(state) || !shown.afterStep(state))
            break;
    }
    shown.afterLoop(state);
}
PLM_BENCHMARK(BM_LivePreviewOfThe35kMap)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// A part of it: the selection of the 35k map once it has been seen, until the preview column has
// painted the details' picture from the cache; the live view that follows is not timed.
void BM_LivePreviewOfThe35kMap_PartCachedPicture(benchmark::State& state)
{
    silence();
    PreviewWindow preview(libraryWithLargeMap());
    if (!preview.open(state))
        return;
    for (auto _ : state) {
        BenchWindow::pauseTiming(state);
        bool ok = preview.clearSelection(state);
        BenchWindow::resumeTiming(state);
        if (!ok)
            break;
        preview.watch->mark();
        preview.selected = true;
        preview.window.select({preview.map});
        ok = preview.watch->waitForPaint(state);
        BenchWindow::pauseTiming(state);
        if (ok && preview.window.previewCanvas()) {
            state.SkipWithError("the live view came before the cached picture");
            ok = false;
        }
        ok = ok && preview.watch->waitForPicture(state);
        BenchWindow::resumeTiming(state);
        if (!ok)
            break;
    }
}
PLM_BENCHMARK(BM_LivePreviewOfThe35kMap_PartCachedPicture)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);


// A 150 MB map of 40 nested groups (81,920 leaves 16 groups deep), written once as text.
const QString& nestedMapFile()
{
    static const QString file = [] {
        const QString path = benchDir().filePath(QStringLiteral("Imbrications.plmmap"));
        return BenchMaps::writeNestedMapFile(path, 40) ? path : QString();
    }();
    return file;
}

// Runs the event loop until `done` answers true; false after `seconds`.
bool runUntil(const std::function<bool()>& done, int seconds)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > seconds * 1000)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return true;
}

// « Importer un fond… » in the shown library window: the open panel gives the nested map, every
// question is answered « Importer le fond », and the import ends with the new map selected, its
// live preview drawn and its row's picture made, as the person sees it. Counters: the
// process's resident memory before the import (MiB), its peak during it, and what it still
// holds once the import, its picture and its preview are done and the events that follow have
// run. Only the memory of the map shown (the preview's view) may stay; run alone
// (--benchmark_filter=BM_ImportNestedMapInWindow) for a peak of this import only.
void BM_ImportNestedMapInWindow(benchmark::State& state)
{
    const QString file = nestedMapFile();
    if (file.isEmpty()) {
        state.SkipWithError("the nested map could not be written");
        return;
    }
    const QString library = benchDir().filePath(QStringLiteral("Import.plmlibrary"));
    DialogHooks::Hooks hooks;
    hooks.presentError = [](const QString&, QWidget*) {};
    hooks.openPanel = [file](const DialogHooks::OpenPanelRequest&) { return std::optional<QStringList>(QStringList{file}); };
    hooks.alert = [](const DialogHooks::Alert&) { return 0; };
    hooks.sheet = [](const DialogHooks::Alert&, std::function<void(int)> completion) { completion(0); };
    DialogHooks::install(hooks);
    qputenv("XDG_CACHE_HOME", benchDir().filePath(QStringLiteral("cache")).toUtf8());

    for (auto _ : state) {
        BenchWindow::pauseTiming(state);
        QDir(library).removeRecursively();
        QDir().mkpath(library);
        LibraryWindowController window{PlmLibraryStore(library)};
        window.showWindow();
        runUntil([] { return false; }, 1);
        const long before = residentMemoryMiB();
        bool finished = false;
        QObject::connect(&window, &LibraryWindowController::importFinished, [&finished] { finished = true; });
        BenchWindow::resumeTiming(state);
        window.importMaps();
        const bool shown = runUntil([&] { return finished && !thumbnailsPending(window) && window.previewCanvas(); }, 900);
        BenchWindow::pauseTiming(state);
        if (!shown) {
            state.SkipWithError("the import did not end with the map shown");
            break;
        }
        runUntil([] { return false; }, 2);
        state.counters["before_MiB"] = double(before);
        state.counters["peak_MiB"] = double(peakMemoryMiB());
        state.counters["retained_MiB"] = double(residentMemoryMiB());
        BenchWindow::resumeTiming(state);
    }
}
PLM_BENCHMARK(BM_ImportNestedMapInWindow)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1);

// What the import is set against: the same map read from its file and shown in a map view of the
// same size, as a work shows it at the least. Counters as above; run alone as well.
void BM_NestedMapInAMapView(benchmark::State& state)
{
    const QString file = nestedMapFile();
    if (file.isEmpty()) {
        state.SkipWithError("the nested map could not be written");
        return;
    }
    for (auto _ : state) {
        const long before = residentMemoryMiB();
        QFile in(file);
        if (!in.open(QIODevice::ReadOnly)) {
            state.SkipWithError("the nested map could not be read");
            break;
        }
        auto host = std::make_unique<ViewHost>();
        auto* canvas = new VectorCanvas(PlmMapCodec::decode(in.readAll()), false, QStringLiteral("Fond vide"));
        in.close();
        host->setRootNode(canvas);
        host->resize(700, 560);
        host->show();
        runUntil([canvas] { return !canvas->hasPendingRefinement(); }, 300);
        runUntil([] { return false; }, 2);
        BenchWindow::pauseTiming(state);
        state.counters["before_MiB"] = double(before);
        state.counters["peak_MiB"] = double(peakMemoryMiB());
        state.counters["retained_MiB"] = double(residentMemoryMiB());
        BenchWindow::resumeTiming(state);
    }
}
PLM_BENCHMARK(BM_NestedMapInAMapView)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1);

} // namespace
