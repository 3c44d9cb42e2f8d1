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

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMainWindow>
#include <QScrollBar>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

// The library window on large libraries: opening a library of 2,000 maps (the tree read,
// the outline built and first drawn; thumbnails are only asked for, drawn off the main
// thread), and showing the preview of the 35,000-entity map when it is selected.
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
}

void BM_OpenLibraryOf2000Maps(benchmark::State& state)
{
    silence();
    const QString root = libraryOf2000();
    const QString cache = benchDir().filePath(QStringLiteral("cache"));
    for (auto _ : state) {
        LibraryWindowController window{PlmLibraryStore(root)};
        window.window()->resize(1060, 700);
        // Every folder open, as after a search: all 2,040 rows are in the outline.
        window.outline()->expandAll();
        window.outline()->viewport()->grab(); // the first drawing (asks for the visible thumbnails)
        benchmark::DoNotOptimize(window.model()->rowCount());
        state.PauseTiming();
        window.thumbnails()->waitForPending();
        state.ResumeTiming();
    }
}
PLM_BENCHMARK(BM_OpenLibraryOf2000Maps)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_ScrollLibraryOf2000Maps(benchmark::State& state)
{
    silence();
    LibraryWindowController window{PlmLibraryStore(libraryOf2000())};
    window.window()->resize(1060, 700);
    window.outline()->expandAll();
    QScrollBar* bar = window.outline()->verticalScrollBar();
    int step = 0;
    for (auto _ : state) {
        // One page further down and drawn: the main thread never draws a map.
        bar->setValue((step++ * bar->pageStep()) % std::max(1, bar->maximum()));
        window.outline()->viewport()->grab();
    }
    window.thumbnails()->waitForPending();
}
PLM_BENCHMARK(BM_ScrollLibraryOf2000Maps)->Unit(benchmark::kMillisecond);

// Waits until the window shows the live map view of the selection.
void waitForLivePreview(LibraryWindowController& window)
{
    QElapsedTimer waited;
    waited.start();
    while (!window.previewCanvas() && waited.elapsed() < 60000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
}

// Selecting the 35k map once it has been seen (its row drawn or selected before): the
// details and the picture from the cache at once; the live view follows off the main thread.
void BM_PreviewOfThe35kMap(benchmark::State& state)
{
    silence();
    const QString root = libraryWithLargeMap();
    LibraryWindowController window{PlmLibraryStore(root)};
    window.window()->resize(1060, 700);
    window.window()->show();
    QCoreApplication::processEvents();
    const QString map = PlmLibraryStore(root).root() + QStringLiteral("/France.plmmap");
    window.select({map});
    waitForLivePreview(window); // the first time: read and drawn off the main thread, then cached
    for (auto _ : state) {
        window.select(QStringList());
        window.select({map});
        window.preview()->grab(); // drawn on screen
        state.PauseTiming();
        waitForLivePreview(window);
        state.ResumeTiming();
    }
}
PLM_BENCHMARK(BM_PreviewOfThe35kMap)->Unit(benchmark::kMillisecond)->Iterations(5);

// From the selection to the live map view of the 35k map (read and decoded off the main
// thread, the window answering meanwhile).
void BM_LivePreviewOfThe35kMap(benchmark::State& state)
{
    silence();
    const QString root = libraryWithLargeMap();
    LibraryWindowController window{PlmLibraryStore(root)};
    window.window()->resize(1060, 700);
    window.window()->show();
    QCoreApplication::processEvents();
    const QString map = PlmLibraryStore(root).root() + QStringLiteral("/France.plmmap");
    for (auto _ : state) {
        window.select(QStringList());
        window.select({map});
        waitForLivePreview(window);
        window.preview()->grab();
    }
}
PLM_BENCHMARK(BM_LivePreviewOfThe35kMap)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
