#include "support/BenchGuard.h"
#include "support/BenchWorks.h"

#include "app/PlmWorkDocument.h"
#include "app/StudioObjectNode.h"
#include "app/StudioObjectsOutline.h"
#include "app/StudioOutlineModel.h"
#include "app/StudioWindowCommands.h"
#include "canvas/VectorCanvas.h"
#include "fond/FondWindowController.h"
#include "platform/UserDefaults.h"
#include "support/BenchWindow.h"

#include <benchmark/benchmark.h>
#include <memory>

// The objects outline on the large work (35,000 entities) in the shown studio window, timed
// until the window has painted it: the outline rebuilt after one entity was renamed, and every
// entity selected. Parts have rows of their own: the rows of a work alone, and selecting every
// entity again when all already are (nothing to paint).
namespace {

const PlmWork& largeWork()
{
    static const PlmWork work = BenchWorks::makeLargeWork(35000, 2, 0);
    return work;
}

void BM_OutlineRebuild_PartTree(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(studioObjectTree(largeWork()));
}
PLM_BENCHMARK(BM_OutlineRebuild_PartTree)->Unit(benchmark::kMillisecond)->UseRealTime();

// The full studio window on the large work, shown and painted once.
struct ShownWindow {
    UserDefaults::TemporaryScope scope;
    std::unique_ptr<PlmWorkDocument> document = std::make_unique<PlmWorkDocument>();
    StudioWindowCommands* window = nullptr;
    std::unique_ptr<BenchWindow> watch;

    ShownWindow()
    {
        document->setWork(largeWork());
        window = new StudioWindowCommands(document.get());
        document->addWindowController(window);
        StudioWindowCommands* studio = window;
        watch = std::make_unique<BenchWindow>(
            window->window(), [studio] { return studio->fond->canvas()->hasPendingRefinement(); },
            BenchWindow::Scope::withChildren);
    }
    bool show(benchmark::State& state) { return watch->show(state, QSize(1200, 800)); }
    template <typename Change>
    bool step(benchmark::State& state, Change&& change)
    {
        watch->mark();
        change();
        return watch->waitForPicture(state);
    }
};

// The first entity (a row in sight) renamed, the outline rebuilt, until painted.
void BM_OutlineRebuildInWindow(benchmark::State& state)
{
    ShownWindow shown;
    if (!shown.show(state))
        return;
    PlmWork work = largeWork();
    int round = 0;
    for (auto _ : state) {
        const bool painted = shown.step(state, [&] {
            work.map.entities.edit(0).name = QStringLiteral("Nom %1").arg(++round);
            shown.window->outline()->rebuildObjects(work);
        });
        if (!painted)
            break;
    }
}
PLM_BENCHMARK(BM_OutlineRebuildInWindow)->Unit(benchmark::kMillisecond)->UseRealTime();

QSet<QString> allEntityIDs()
{
    QSet<QString> all;
    for (const PlmEntity& entity : largeWork().map.entities)
        all.insert(entity.id);
    return all;
}

// The document selecting every entity of the large map (select all in the Fond map view): the
// outline selects every top-level row, from none, until painted; the return to no selection is
// not timed.
void BM_OutlineSelectAll(benchmark::State& state)
{
    ShownWindow shown;
    if (!shown.show(state))
        return;
    const QSet<QString> all = allEntityIDs();
    const QString primary = largeWork().map.entities.at(0).id;
    for (auto _ : state) {
        if (!shown.step(state, [&] { shown.window->outline()->selectObjects(all, primary); }))
            break;
        BenchWindow::pauseTiming(state);
        const bool cleared = shown.step(state, [&] { shown.window->outline()->selectObjects({}, std::nullopt); });
        BenchWindow::resumeTiming(state);
        if (!cleared)
            break;
    }
}
PLM_BENCHMARK(BM_OutlineSelectAll)->Unit(benchmark::kMillisecond)->UseRealTime();

// A part: again with everything already selected, as after each change while all stays
// selected (nothing to paint).
void BM_OutlineSelectAll_PartAgain(benchmark::State& state)
{
    ShownWindow shown;
    if (!shown.show(state))
        return;
    const QSet<QString> all = allEntityIDs();
    const QString primary = largeWork().map.entities.at(0).id;
    shown.window->outline()->selectObjects(all, primary);
    for (auto _ : state)
        shown.window->outline()->selectObjects(all, primary);
}
PLM_BENCHMARK(BM_OutlineSelectAll_PartAgain)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
