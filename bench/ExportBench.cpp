#include "support/BenchGuard.h"
#include "canvas/VectorCanvas.h"
#include "page/LegendDrawing.h"
#include "page/LegendLayout.h"
#include "export/CarteBitmapExport.h"
#include "export/CarteExportComposition.h"
#include "export/CartePDFExport.h"
#include "export/SFExportPDFRenderer.h"
#include "export/PlmPngWriter.h"
#include "support/BenchMaps.h"
#include "canvas/ProportionalShape.h"

#include <QBuffer>
#include <QImageWriter>
#include <QPainter>
#include <benchmark/benchmark.h>

// Export of the large generated map (35,000 entities) laid out as a choropleth with
// proportional circles on a tenth of the entities and a legend: PNG at 300 dpi on A4 and the
// vector PDF of the same page. The page is a stand-in built here, laid out and drawn once
// before timing, as the page on screen is when the person asks for the export; each Export row
// runs from there to the file's bytes, the wait before the save panel (writing the file after
// it is not timed). Rows named "Only" time a part: the drawing without the encoding, or the
// encoding of a drawn page. The drawing prepares the map on every core and the PNG encoder
// compresses bands on other threads: wall time throughout.
namespace {

class Page : public ViewNode {
public:
    void draw(QPainter& painter, const QRectF&) override { painter.fillRect(bounds(), Qt::white); }
};

class Legend : public ViewNode {
public:
    LegendData data;
    void draw(QPainter& painter, const QRectF&) override
    {
        LegendData d = data;
        d.size = bounds().size();
        drawLegendContent(painter, d, false, false, QColor(0, 122, 255));
    }
};

class Symbols : public ViewNode {
public:
    VectorCanvas* vector = nullptr;
    std::shared_ptr<const ProportionalShape> shape;
    QList<QPair<QPointF, double>> items;  // map point, size
    void draw(QPainter& painter, const QRectF&) override
    {
        for (const auto& [point, size] : items)
            shape->draw(painter, vector->viewPoint(point), size, PlmColor{0.8, 0.18, 0.16, 0.85}, 1);
    }
};

const PlmColor classColors[5] = {{0.94, 0.95, 1, 1}, {0.74, 0.84, 0.93, 1}, {0.42, 0.68, 0.84, 1},
                                 {0.19, 0.51, 0.74, 1}, {0.03, 0.27, 0.58, 1}};

class Composition : public CarteExportComposition {
public:
    Composition()
    {
        static const PlmMap map = BenchMaps::makeLargeMap(35000);
        page.setFrame(QRectF(0, 0, 842, 595));
        vector = new VectorCanvas(map, false, QString());
        vector->setFrame(QRectF(0, 0, 842, 595));
        vector->paintsBackground = false;
        vector->fit(true);
        int i = 0;
        for (const PlmEntity& e : map.entities)
            vector->fillOverrides.insert(e.id, classColors[(i++ * 7) % 5]);
        page.addSubview(vector);
        auto* symbols = new Symbols;
        symbols->vector = vector;
        symbols->setFrame(QRectF(0, 0, 842, 595));
        symbols->shape = std::make_shared<ProportionalShape>(PlmProportionalSettings(), false);
        for (int k = 0; k < map.entities.size(); k += 10) {
            const PlmEntity& e = map.entities[k];
            const std::optional<QRectF> b = vector->entityCache().entry(k).hasBounds
                ? std::optional<QRectF>(vector->entityCache().entry(k).bounds)
                : std::nullopt;
            if (b)
                symbols->items.append({b->center(), 2.0 + (k % 13)});
            (void)e;
        }
        page.addSubview(symbols);
        auto* legend = new Legend;
        legend->data.title = QStringLiteral("Densité de population");
        for (int c = 0; c < 5; ++c) {
            legend->data.labels << QStringLiteral("Classe %1").arg(c + 1);
            legend->data.colors << classColors[c];
        }
        legend->setFrame(QRectF(660, 380, LegendLayout::preferredWidth(legend->data), 180));
        page.addSubview(legend);
    }

    Page page;
    VectorCanvas* vector = nullptr;

    ViewNode& canvas() override { return page; }
    VectorCanvas* mapView() override { return vector; }
    ViewRole role(const ViewNode& view) const override
    {
        if (&view == vector)
            return ViewRole::map;
        return dynamic_cast<const Legend*>(&view) ? ViewRole::legend : ViewRole::plain;
    }
    void setExporting(bool) override {}
    CarteExportSelection selection() const override { return {}; }
    void setSelection(const CarteExportSelection&) override {}
    bool showsUnavailableSymbol() const override { return false; }
    QList<std::shared_ptr<const ProportionalShape>> shownSymbolShapes() const override { return {}; }
    QList<PlmDecorationObject> decorationObjects() const override { return {}; }
    std::optional<PlmWork> work() const override { return std::nullopt; }
    std::optional<PlmDecorationObject> decorationObject(const ViewNode&) const override { return std::nullopt; }
    QString legendTitle(const ViewNode&) const override { return {}; }
    QString outlineTitle(const ViewNode&) const override { return {}; }
    bool drawSymbolFallback(ViewNode&, QPainter&, SFExportPDFRenderer&) override { return false; }
};

Composition& composition()
{
    static Composition c;
    return c;
}

PlmExportSize a4Landscape()
{
    PlmExportSize s;
    s.width = 297;
    s.height = 210;
    return s;
}

void BM_ExportPNG300dpiA4(benchmark::State& state)
{
    Composition& c = composition();
    c.page.renderToImage(0.1);  // paths cached, as after the screen's first draw
    qsizetype bytes = 0;
    for (auto _ : state)
        bytes = CarteBitmapExport::render(c, a4Landscape(), 300, CarteBitmapExport::Format::png, false).data.size();
    state.counters["MB"] = bytes / 1e6;
}
PLM_BENCHMARK(BM_ExportPNG300dpiA4)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ExportJPEG300dpiA4(benchmark::State& state)
{
    Composition& c = composition();
    c.page.renderToImage(0.1);
    for (auto _ : state)
        CarteBitmapExport::render(c, a4Landscape(), 300, CarteBitmapExport::Format::jpeg, false);
}
PLM_BENCHMARK(BM_ExportJPEG300dpiA4)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ExportPDFA4(benchmark::State& state)
{
    Composition& c = composition();
    c.page.renderToImage(0.1);
    qsizetype bytes = 0;
    for (auto _ : state)
        bytes = CartePDFExport::exportPDF(c, a4Landscape()).data.size();
    state.counters["MB"] = bytes / 1e6;
}
PLM_BENCHMARK(BM_ExportPDFA4)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

namespace {

// The drawing alone, without encoding: what the page costs before the file format. The
// argument hides one view (0 the map, 1 the symbols, 2 the legend; -1 none) to give its share.
void BM_ExportImage300dpiA4Only(benchmark::State& state)
{
    Composition& c = composition();
    c.page.renderToImage(0.1);
    const int hide = int(state.range(0));
    for (int i = 0; i < int(c.page.subviews().size()); ++i)
        c.page.subviews()[i]->setHidden(i == hide);
    for (auto _ : state)
        benchmark::DoNotOptimize(
            CarteBitmapExport::renderImage(c, a4Landscape(), 300, CarteBitmapExport::Format::png, false).width());
    // The rows after this one draw the whole page.
    for (ViewNode* view : c.page.subviews())
        view->setHidden(false);
}
PLM_BENCHMARK(BM_ExportImage300dpiA4Only)->Arg(-1)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

namespace {

// Encoding the rendered page alone: the banded encoder against Qt's PNG writer.
const QImage& renderedPage()
{
    static const QImage image = [] {
        Composition& c = composition();
        return CarteBitmapExport::renderImage(c, a4Landscape(), 300, CarteBitmapExport::Format::png, false);
    }();
    return image;
}

void BM_EncodePngBandedOnly(benchmark::State& state)
{
    const QImage& image = renderedPage();
    qsizetype bytes = 0;
    for (auto _ : state)
        bytes = PlmPngWriter::encode(image, 300, false, int(state.range(0))).size();
    state.counters["MB"] = bytes / 1e6;
}
PLM_BENCHMARK(BM_EncodePngBandedOnly)->Arg(1)->Arg(0)->Arg(16)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_EncodePngQtOnly(benchmark::State& state)
{
    const QImage image = renderedPage().convertToFormat(QImage::Format_RGB32);
    for (auto _ : state) {
        QByteArray data;
        QBuffer buffer(&data);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "png");
        writer.setQuality(80);
        writer.write(image);
        benchmark::DoNotOptimize(data.size());
    }
}
PLM_BENCHMARK(BM_EncodePngQtOnly)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
