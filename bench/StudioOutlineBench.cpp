#include "support/BenchGuard.h"
#include "support/BenchWorks.h"

#include "app/PlmWorkDocument.h"
#include "app/StudioObjectNode.h"
#include "app/StudioObjectsOutline.h"
#include "app/StudioOutlineModel.h"
#include "app/StudioWindowCommands.h"
#include "platform/UserDefaults.h"

#include <benchmark/benchmark.h>
#include <memory>

// The objects outline on the large work (35,000 entities): the rows of a work, and the
// rebuild of the outline in the window after one entity was renamed.
namespace {

const PlmWork& largeWork()
{
    static const PlmWork work = BenchWorks::makeLargeWork(35000, 2, 0);
    return work;
}

void BM_OutlineTree(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(studioObjectTree(largeWork()));
}
PLM_BENCHMARK(BM_OutlineTree)->Unit(benchmark::kMillisecond);

void BM_OutlineRebuildInWindow(benchmark::State& state)
{
    UserDefaults::TemporaryScope scope;
    auto document = std::make_unique<PlmWorkDocument>();
    document->setWork(largeWork());
    auto* window = new StudioWindowCommands(document.get());
    document->addWindowController(window);
    PlmWork work = largeWork();
    int round = 0;
    for (auto _ : state) {
        work.map.entities.edit(0).name = QStringLiteral("Nom %1").arg(++round);
        window->outline()->rebuildObjects(work);
    }
}
PLM_BENCHMARK(BM_OutlineRebuildInWindow)->Unit(benchmark::kMillisecond);

// The document selecting every entity of the large map (select all in the Fond map view): the
// outline selects every top-level row.
void BM_OutlineSelectAll(benchmark::State& state)
{
    UserDefaults::TemporaryScope scope;
    auto document = std::make_unique<PlmWorkDocument>();
    document->setWork(largeWork());
    auto* window = new StudioWindowCommands(document.get());
    document->addWindowController(window);
    QSet<QString> all;
    for (const PlmEntity& entity : largeWork().map.entities)
        all.insert(entity.id);
    const QString primary = largeWork().map.entities.at(0).id;
    window->window()->resize(1200, 800);
    window->window()->show();
    // Again with everything already selected, as after each change while all stays selected.
    for (auto _ : state)
        window->outline()->selectObjects(all, primary);
}
PLM_BENCHMARK(BM_OutlineSelectAll)->Unit(benchmark::kMillisecond);

} // namespace
