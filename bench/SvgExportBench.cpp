#include "support/BenchGuard.h"
#include "canvas/VectorCanvas.h"
#include "page/LegendLayout.h"
#include "page/ThematicCanvas.h"
#include "export/CarteExportPanel.h"
#include "export/SvgCompositionExport.h"
#include "export/ThematicCanvasExport.h"
#include "export/SVGCarteExport.h"
#include "model/PlmPaletteRamps.h"
#include "support/BenchPages.h"
#include "support/BenchWorks.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

// The SVG export of the large generated work (35,000 entities, about 2 million points) as a
// choropleth in five classes with its legend and a title, on an A4 landscape page. The Page row
// is the export as the person asks for it: from the studio's page, laid out before timing as on
// screen, to the file written where the save panel pointed (the wait before the panel and the
// write after it; the panel itself is not timed). The WriterOnly row is its part after the
// page's walk: the SVG writer on a description of the page built by hand, bytes in memory. The
// writer uses other threads: wall time throughout.
namespace {

constexpr double kWidth = 1000;
constexpr double kHeight = 700;

struct LargeComposition {
    PlmWork work = BenchWorks::makeLargeWork(35000, 2);
    VectorCanvas vector{work.map, false, QString()};
    SvgComposition composition;

    LargeComposition()
    {
        vector.setFrame(QRectF(0, 0, kWidth, kHeight));
        vector.fit(true);
        const PlmThematicSettings settings = *work.thematic;
        const QStringList keys = work.thematicClassKeys(settings);
        const QList<PlmColor> colours = classColors(settings, keys);
        for (const PlmEntity& entity : work.map.entities)
            if (std::optional<int> index = work.thematicClassIndex(entity.id, settings, keys); index && *index < colours.size())
                vector.fillOverrides.insert(entity.id, colours[*index]);

        composition.size = QSizeF(kWidth, kHeight);
        composition.title = work.map.name;
        SvgCompositionView map;
        map.kind = SvgCompositionView::Kind::map;
        map.frame = QRectF(0, 0, kWidth, kHeight);
        map.vector = &vector;
        SvgCompositionView legend;
        legend.kind = SvgCompositionView::Kind::legend;
        legend.legend.title = QStringLiteral("Variable 1");
        for (int i = 0; i < keys.size(); ++i)
            legend.legend.labels.append(QStringLiteral("Classe ") + QString::number(i + 1));
        legend.legend.colors = colours;
        legend.legend.size = QSizeF(LegendLayout::preferredWidth(legend.legend), 200);
        legend.frame = QRectF(QPointF(kWidth - legend.legend.size.width() - 20, 20), legend.legend.size);
        SvgCompositionView title;
        title.kind = SvgCompositionView::Kind::decoration;
        title.frame = QRectF(20, kHeight - 80, 400, 60);
        title.object = PlmDecorationObject(QStringLiteral("t"), PlmDecorationKind::title, QStringLiteral("Grande carte"));
        composition.views = {map, legend, title};
    }
};

void BM_SvgExportLargeChoroplethWriterOnly(benchmark::State& state)
{
    LargeComposition scene;
    SvgPage page;
    page.width = 297;
    page.height = 210;
    page.margin = 10;
    const double w = page.width * 72 / 25.4;
    const double h = page.height * 72 / 25.4;
    const double m2 = 2 * (page.margin * 72 / 25.4);
    page.scale = std::min((w - m2) / kWidth, (h - m2) / kHeight);
    page.offsetX = (w - kWidth * page.scale) / 2;
    page.offsetY = (h - kHeight * page.scale) / 2;
    qsizetype bytes = 0;
    for (auto _ : state) {
        SVGCarteExport writer(scene.composition, page);
        const PlmExportResult result = writer.makeDocument();
        bytes = result.data.size();
        benchmark::DoNotOptimize(result.data.constData());
    }
    state.counters["MB"] = double(bytes) / 1e6;
}
PLM_BENCHMARK(BM_SvgExportLargeChoroplethWriterOnly)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// The same work through the composition page of the layout window: its map view coloured by
// class, its legend, walked and written by the export entry on an A4 landscape page, then the
// file written by the export panel's own save into a temporary folder on disk. Each file is new,
// as an export usually is: the previous one is removed untimed.
void BM_SvgExportLargeChoroplethPage(benchmark::State& state)
{
    const PlmWork work = BenchWorks::makeLargeWork(35000, 2);
    ThematicCanvas canvas(work.map);
    BenchPages::layOutLargeChoropleth(canvas, work, QSizeF(kWidth, kHeight));
    canvas.renderToImage(0.1); // drawn once, as the page on screen is
    ThematicCanvasExport composition(canvas);
    PlmExportSize size;
    size.width = 297;
    size.height = 210;
    size.margin = 10;
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("Grande carte.svg"));
    if (!folder.isValid()) {
        state.SkipWithError("no temporary folder to write the export into");
        return;
    }
    qsizetype bytes = 0;
    qint64 writeNanoseconds = 0;
    for (auto _ : state) {
        state.PauseTiming();
        QFile::remove(path);
        state.ResumeTiming();
        const PlmExportResult result = SvgCompositionExport::exportSVG(composition, size);
        QElapsedTimer write;
        write.start();
        if (!CarteExportPanel::writeFile(path, result.data)) {
            state.SkipWithError("the export could not be written");
            break;
        }
        writeNanoseconds += write.nsecsElapsed();
        bytes = result.data.size();
    }
    // The write's share of the wait.
    state.counters["write_ms"] = benchmark::Counter(double(writeNanoseconds) / 1e6, benchmark::Counter::kAvgIterations);
    if (QFileInfo(path).size() != bytes && !state.error_occurred())
        state.SkipWithError("the written file does not hold the export's bytes");
    state.counters["MB"] = double(bytes) / 1e6;
    if (qEnvironmentVariableIsSet("PELMORA_KEEP_RENDERS")) {
        QFile::remove(QStringLiteral("/tmp/bench-page.svg"));
        QFile::copy(path, QStringLiteral("/tmp/bench-page.svg"));
    }
}
PLM_BENCHMARK(BM_SvgExportLargeChoroplethPage)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

} // namespace
