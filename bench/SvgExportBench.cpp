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

#include <QBuffer>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include <benchmark/benchmark.h>

// The SVG export of the large generated work (35,000 entities, about 2 million points) as a
// choropleth in five classes with its legend and a title, on an A4 landscape page. The Page row
// is the export as the person asks for it: from the studio's page, laid out before timing as on
// screen, to the file written where the save panel pointed (the wait before the panel and the
// write after it; the panel itself is not timed). The WriterOnly row is its part after the
// page's walk: the SVG writer on a description of the page built by hand, bytes in memory. The
// writer uses other threads: wall time throughout. After the timed loop, each row reads its SVG
// back and fails unless it holds every entity of the page's map.
namespace {

constexpr double kWidth = 1000;
constexpr double kHeight = 700;

// What an exported SVG must hold of its map: a group per entity shown, named by its id, and a
// drawn element per leaf (an entity that is not a group).
struct MapEntities {
    QSet<QString> ids;
    qsizetype leaves = 0;
};

void addShown(const PlmEntityList& entities, MapEntities& into)
{
    for (const PlmEntity& entity : entities) {
        if (entity.hidden())
            continue;
        into.ids.insert(entity.id);
        if (const PlmEntityList* members = entity.geometry.asGroup())
            addShown(*members, into);
        else
            ++into.leaves;
    }
}

// What the SVG holds, read back by meaning: the ids of its entity groups, and its drawn entity
// elements (an id "entity-…"; a path counts only with its geometry).
struct WrittenEntities {
    QSet<QString> ids;
    qsizetype groups = 0;
    qsizetype drawn = 0;
    QString error;  // the XML reader's, when the file is not well formed
};

WrittenEntities readWrittenEntities(QIODevice& svg)
{
    WrittenEntities written;
    QXmlStreamReader reader(&svg);
    while (reader.readNext() != QXmlStreamReader::EndDocument && !reader.hasError()) {
        if (!reader.isStartElement())
            continue;
        const QXmlStreamAttributes attributes = reader.attributes();
        if (reader.name() == QLatin1String("g") && attributes.hasAttribute(QLatin1String("data-entity-id"))) {
            written.ids.insert(attributes.value(QLatin1String("data-entity-id")).toString());
            ++written.groups;
        }
        if (attributes.value(QLatin1String("id")).startsWith(QLatin1String("entity-"))
            && (reader.name() != QLatin1String("path") || !attributes.value(QLatin1String("d")).trimmed().isEmpty()))
            ++written.drawn;
    }
    if (reader.hasError())
        written.error = reader.errorString();
    return written;
}

// Whether the SVG holds every entity of the map that the page shows, each once; otherwise the
// benchmark fails, saying what is missing. A file that lost its entities' paths (a tenth of
// its size left) would pass for an export by its size alone. Untimed: read after the loop.
bool holdsEveryEntity(benchmark::State& state, const PlmMap& map, QIODevice& svg)
{
    MapEntities expected;
    addShown(map.entities, expected);
    const WrittenEntities written = readWrittenEntities(svg);
    QString failure;
    if (!written.error.isEmpty())
        failure = QStringLiteral("the SVG is not well formed: ") + written.error;
    else if (written.ids != expected.ids || written.groups != expected.ids.size())
        failure = QStringLiteral("the SVG holds %1 entity groups (%2 of the map's entities) for the %3 the page shows")
                      .arg(written.groups)
                      .arg((written.ids & expected.ids).size())
                      .arg(expected.ids.size());
    else if (written.drawn != expected.leaves)
        failure = QStringLiteral("the SVG holds %1 drawn entity elements with their geometry for the %2 the page shows")
                      .arg(written.drawn)
                      .arg(expected.leaves);
    state.counters["entities"] = double(written.groups);
    if (failure.isEmpty())
        return true;
    state.SkipWithError(failure.toUtf8().constData());
    return false;
}

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
    QByteArray last;
    for (auto _ : state) {
        SVGCarteExport writer(scene.composition, page);
        PlmExportResult result = writer.makeDocument();
        benchmark::DoNotOptimize(result.data.constData());
        // Kept for the check after the loop; the previous bytes are freed here, as each
        // iteration's were.
        last.swap(result.data);
    }
    state.counters["MB"] = double(last.size()) / 1e6;
    QBuffer svg(&last);
    svg.open(QIODevice::ReadOnly);
    if (!state.error_occurred())
        holdsEveryEntity(state, scene.vector.map(), svg);
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
    QFile written(path);
    if (!state.error_occurred() && !written.open(QIODevice::ReadOnly))
        state.SkipWithError("the written file cannot be read back");
    if (!state.error_occurred())
        holdsEveryEntity(state, canvas.vector()->map(), written);
    if (qEnvironmentVariableIsSet("PELMORA_KEEP_RENDERS")) {
        QFile::remove(QStringLiteral("/tmp/bench-page.svg"));
        QFile::copy(path, QStringLiteral("/tmp/bench-page.svg"));
    }
}
PLM_BENCHMARK(BM_SvgExportLargeChoroplethPage)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

} // namespace
