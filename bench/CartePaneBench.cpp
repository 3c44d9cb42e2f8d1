#include "support/BenchGuard.h"
#include "app/PlmWorkDocument.h"
#include "canvas/FondWindowControllerDocument.h"
#include "decorations/CarteCompositionHost.h"
#include "decorations/ThematicCanvas.h"
#include "layout/CarteInspector.h"
#include "layout/CarteWindowController.h"
#include "platform/ViewHost.h"
#include "support/BenchWorks.h"

#include <QComboBox>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <benchmark/benchmark.h>

// The Carte pane on the large work (35,000 areas, 10 variables): one inspector change, as
// the person makes it, until the page is painted again — the stored change, the threshold
// recomputation the work document runs, the pane's refresh and a paint of the whole page.
namespace {

const PlmWork& largeWork()
{
    static const PlmWork work = [] {
        PlmWork w = BenchWorks::makeLargeWork(35000, 10);
        w.decoration = PlmDecoration();
        w.decoration->compositionSize = PlmPoint{1000, 700};
        return w;
    }();
    return work;
}

// The real work document: each update recomputes what it must, validates and stores one
// undo step, then the pane is refreshed (the studio's reload after workChanged).
struct BenchDocument {
    PlmWorkDocument document;
    CarteWindowController* pane = nullptr;
    BenchDocument()
    {
        document.setWork(largeWork());
        QObject::connect(&document, &PlmWorkDocument::workChanged, [this] {
            if (pane)
                pane->refreshControls();
        });
    }
    FondDocument link() { return FondDocument::of(&document); }
};

struct BenchPane {
    BenchDocument document;
    std::unique_ptr<CarteWindowController> pane;
    QImage image{1000, 700, QImage::Format_ARGB32_Premultiplied};

    BenchPane()
    {
        pane = std::make_unique<CarteWindowController>(document.link());
        document.pane = pane.get();
        auto* host = dynamic_cast<ViewHost*>(pane->view());
        host->resize(1000, 700);
        host->rootNode()->setFrame(QRectF(0, 0, 1000, 700));
        host->rootNode()->layoutSubtreeIfNeeded();
        pane->fitComposition();
        paint();
    }
    void paint()
    {
        // As the host widget paints: layout, then the tree flipped once at the boundary.
        image.fill(Qt::white);
        ViewNode* root = pane->compositionHost();
        root->layoutSubtreeIfNeeded();
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        ViewNode::flipPainter(painter, image.height());
        const QTransform toRoot = root->transformToSuperview();
        painter.setTransform(toRoot, true);
        root->drawTree(painter, toRoot.inverted().mapRect(QRectF(0, 0, 1000, 700)));
    }
};

void choose(QComboBox* popup, int index)
{
    popup->setCurrentIndex(index);
    emit popup->activated(index);
}

void BM_CarteChangeVariable(benchmark::State& state)
{
    BenchPane bench;
    CarteInspector& ui = *bench.pane->inspector();
    int flip = 0;
    for (auto _ : state) {
        flip = 1 - flip;
        choose(ui.variable, 1 + flip); // the first two numeric variables
        bench.paint();
    }
}
PLM_BENCHMARK(BM_CarteChangeVariable)->Unit(benchmark::kMillisecond);

void BM_CarteChangeClassification(benchmark::State& state)
{
    BenchPane bench;
    CarteInspector& ui = *bench.pane->inspector();
    int flip = 0;
    for (auto _ : state) {
        flip = 1 - flip;
        choose(ui.method, flip ? 2 : 3); // quantiles, Jenks
        bench.paint();
    }
}
PLM_BENCHMARK(BM_CarteChangeClassification)->Unit(benchmark::kMillisecond);

void BM_CarteChangePalette(benchmark::State& state)
{
    BenchPane bench;
    CarteInspector& ui = *bench.pane->inspector();
    int flip = 0;
    for (auto _ : state) {
        flip = 1 - flip;
        choose(ui.palette, flip ? 1 : 4);
        bench.paint();
    }
}
PLM_BENCHMARK(BM_CarteChangePalette)->Unit(benchmark::kMillisecond);

void BM_CarteTypeThresholds(benchmark::State& state)
{
    BenchPane bench;
    CarteInspector& ui = *bench.pane->inspector();
    QList<double> thresholds = bench.document.document.work().thematic->thresholds;
    int flip = 0;
    for (auto _ : state) {
        flip = 1 - flip;
        QStringList parts;
        for (qsizetype i = 0; i < thresholds.size(); ++i)
            parts.append(QString::number(thresholds[i] + (i == 0 ? flip * 0.5 : 0)));
        ui.thresholds->setText(parts.join(QStringLiteral(" ; ")));
        emit ui.thresholds->editingFinished();
        bench.paint();
    }
}
PLM_BENCHMARK(BM_CarteTypeThresholds)->Unit(benchmark::kMillisecond);

// A change elsewhere (an entity name moved): the refresh recomputes no thematic layer.
void BM_CarteUnrelatedRefresh(benchmark::State& state)
{
    BenchPane bench;
    const QString id = bench.document.document.work().map.entities.at(17500).id;
    const int before = bench.pane->layerComputations;
    double x = 0;
    for (auto _ : state) {
        x += 1;
        bench.pane->moveEntityName(id, PlmPoint{x, 0});
    }
    state.counters["layerComputations"] = bench.pane->layerComputations - before;
}
PLM_BENCHMARK(BM_CarteUnrelatedRefresh)->Unit(benchmark::kMillisecond);

} // namespace

namespace {

// The two halves of a change: the stored change with the pane's refresh, and the paint.
void BM_CartePaletteWithoutPaint(benchmark::State& state)
{
    BenchPane bench;
    CarteInspector& ui = *bench.pane->inspector();
    int flip = 0;
    for (auto _ : state) {
        flip = 1 - flip;
        choose(ui.palette, flip ? 1 : 4);
    }
}
PLM_BENCHMARK(BM_CartePaletteWithoutPaint)->Unit(benchmark::kMillisecond);

void BM_CarteVariableWithoutPaint(benchmark::State& state)
{
    BenchPane bench;
    CarteInspector& ui = *bench.pane->inspector();
    int flip = 0;
    for (auto _ : state) {
        flip = 1 - flip;
        choose(ui.variable, 1 + flip);
    }
}
PLM_BENCHMARK(BM_CarteVariableWithoutPaint)->Unit(benchmark::kMillisecond);

void BM_CarteThresholdsWithoutPaint(benchmark::State& state)
{
    BenchPane bench;
    CarteInspector& ui = *bench.pane->inspector();
    const QList<double> thresholds = bench.document.document.work().thematic->thresholds;
    int flip = 0;
    for (auto _ : state) {
        flip = 1 - flip;
        QStringList parts;
        for (qsizetype i = 0; i < thresholds.size(); ++i)
            parts.append(QString::number(thresholds[i] + (i == 0 ? flip * 0.5 : 0)));
        ui.thresholds->setText(parts.join(QStringLiteral(" ; ")));
        emit ui.thresholds->editingFinished();
    }
}
PLM_BENCHMARK(BM_CarteThresholdsWithoutPaint)->Unit(benchmark::kMillisecond);

void BM_CartePaintOnly(benchmark::State& state)
{
    BenchPane bench;
    for (auto _ : state)
        bench.paint();
}
PLM_BENCHMARK(BM_CartePaintOnly)->Unit(benchmark::kMillisecond);

} // namespace
