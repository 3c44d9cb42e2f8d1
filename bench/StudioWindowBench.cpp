#include "support/BenchGuard.h"
#include "support/BenchWorks.h"

#include "app/PlmWorkDocument.h"
#include "app/StudioWindowCommands.h"
#include "app/StudioWindowController.h"
#include "platform/UserDefaults.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEvent>
#include <QTimer>
#include <QWidget>

#include <benchmark/benchmark.h>
#include <memory>

// The studio window on the large work (35,000 entities, ten variables): opening it until its
// first paint, the refresh after a typed cell (the update included), a refresh when nothing
// changed, and a renamed entity until the window has painted the change.
namespace {

const PlmWork& largeWork()
{
    static const PlmWork work = BenchWorks::makeLargeWork(35000, 8, 2);
    return work;
}

// Counts the paint events of one window's widgets, so that a benchmark can run the event loop
// until what the person would see is on screen.
class PaintWatch : public QObject {
public:
    explicit PaintWatch(QWidget* window)
        : m_window(window)
    {
        QCoreApplication::instance()->installEventFilter(this);
    }
    ~PaintWatch() override { QCoreApplication::instance()->removeEventFilter(this); }

    // Runs the event loop until the window has painted since the last call: the pass that
    // paints ends inside one event (the expose of a first show, or the update request after a
    // change), so when the loop returns with a paint counted, that pass is done.
    bool waitForPaint()
    {
        const QDeadlineTimer deadline(10000);
        while (m_paints == 0 && !deadline.hasExpired()) {
            QTimer::singleShot(50, [] {}); // wakes the wait below when nothing else comes
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        }
        const bool painted = m_paints > 0;
        m_paints = 0;
        return painted;
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && watched->isWidgetType()
            && static_cast<QWidget*>(watched)->window() == m_window)
            ++m_paints;
        return false;
    }

private:
    QWidget* m_window;
    int m_paints = 0;
};

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

// Shown and painted once, as a document opened by the person.
template <typename Window = StudioWindowController>
struct ShownStudio : OpenStudio<Window> {
    std::unique_ptr<PaintWatch> watch;

    ShownStudio()
    {
        watch = std::make_unique<PaintWatch>(this->controller->window());
        this->controller->showWindow();
        watch->waitForPaint();
    }
};

// Construction, show and the event loop up to the end of the first paint; closing is not timed.
template <typename Window>
void BM_StudioWindowOpen(benchmark::State& state)
{
    largeWork(); // generated once, outside the timed opening
    for (auto _ : state) {
        auto studio = std::make_unique<ShownStudio<Window>>();
        benchmark::DoNotOptimize(studio->controller);
        state.PauseTiming();
        studio.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        state.ResumeTiming();
    }
}
PLM_BENCHMARK(BM_StudioWindowOpen<StudioWindowController>)->Unit(benchmark::kMillisecond)->Iterations(3);
PLM_BENCHMARK(BM_StudioWindowOpen<StudioWindowCommands>)->Unit(benchmark::kMillisecond)->Iterations(3);

template <typename Window>
void BM_StudioWindowCellEdit(benchmark::State& state)
{
    OpenStudio<Window> studio;
    const QString variableID = BenchWorks::inputVariableID(1);
    const PlmWork start = studio.document->work();
    qsizetype row = 0;
    double value = 1000.5;
    for (auto _ : state) {
        const QString entityID = start.map.entities.at(row).id;
        studio.document->updateWork(QStringLiteral("Saisir une cellule"), [&](PlmWork& work) {
            work.variables[work.variableIndex(variableID)].values.insert(entityID, PlmValue::number(value));
        });
        row = (row + 97) % start.map.entities.size();
        value += 1;
    }
}
PLM_BENCHMARK(BM_StudioWindowCellEdit<StudioWindowController>)->Unit(benchmark::kMillisecond);
PLM_BENCHMARK(BM_StudioWindowCellEdit<StudioWindowCommands>)->Unit(benchmark::kMillisecond);

template <typename Window>
void BM_StudioWindowRefreshUnchanged(benchmark::State& state)
{
    OpenStudio<Window> studio;
    for (auto _ : state)
        studio.controller->reloadObjects();
}
PLM_BENCHMARK(BM_StudioWindowRefreshUnchanged<StudioWindowController>)->Unit(benchmark::kMillisecond);
PLM_BENCHMARK(BM_StudioWindowRefreshUnchanged<StudioWindowCommands>)->Unit(benchmark::kMillisecond);

// One entity renamed in the shown window: the map changed, so the map views, the table and the
// outline follow; timed until the window has painted the change.
template <typename Window>
void BM_StudioWindowEntityEdit(benchmark::State& state)
{
    ShownStudio<Window> studio;
    qsizetype row = 0;
    int count = 0;
    for (auto _ : state) {
        studio.document->updateWork(QStringLiteral("Renommer"), [&](PlmWork& work) {
            PlmEntity entity = work.map.entities.at(row);
            entity.name = QStringLiteral("Nom %1").arg(++count);
            work.map.entities.replace(row, entity);
        });
        if (!studio.watch->waitForPaint())
            state.SkipWithError("the window did not paint the change");
        row = (row + 97) % 35000;
    }
}
PLM_BENCHMARK(BM_StudioWindowEntityEdit<StudioWindowController>)->Unit(benchmark::kMillisecond);
PLM_BENCHMARK(BM_StudioWindowEntityEdit<StudioWindowCommands>)->Unit(benchmark::kMillisecond);

// Everything selected (as after selecting all in the map view), then one typed cell: the
// table, the outline and the status line carry the whole selection through the refresh.
template <typename Window>
void BM_StudioWindowCellEditAllSelected(benchmark::State& state)
{
    OpenStudio<Window> studio;
    const PlmWork start = studio.document->work();
    studio.document->select(start.topLevelEntityIDs(), start.map.entities.first().id);
    const QString variableID = BenchWorks::inputVariableID(1);
    qsizetype row = 0;
    double value = 1000.5;
    for (auto _ : state) {
        const QString entityID = start.map.entities.at(row).id;
        studio.document->updateWork(QStringLiteral("Saisir une cellule"), [&](PlmWork& work) {
            work.variables[work.variableIndex(variableID)].values.insert(entityID, PlmValue::number(value));
        });
        row = (row + 97) % start.map.entities.size();
        value += 1;
    }
}
PLM_BENCHMARK(BM_StudioWindowCellEditAllSelected<StudioWindowController>)->Unit(benchmark::kMillisecond);
PLM_BENCHMARK(BM_StudioWindowCellEditAllSelected<StudioWindowCommands>)->Unit(benchmark::kMillisecond);

template <typename Window>
void BM_StudioWindowSelectAll(benchmark::State& state)
{
    OpenStudio<Window> studio;
    const PlmWork work = studio.document->work();
    const QSet<QString> all = work.topLevelEntityIDs();
    for (auto _ : state) {
        studio.document->select(all, work.map.entities.first().id);
        studio.document->select(QSet<QString>(), std::nullopt);
    }
}
PLM_BENCHMARK(BM_StudioWindowSelectAll<StudioWindowController>)->Unit(benchmark::kMillisecond);
PLM_BENCHMARK(BM_StudioWindowSelectAll<StudioWindowCommands>)->Unit(benchmark::kMillisecond);

} // namespace
