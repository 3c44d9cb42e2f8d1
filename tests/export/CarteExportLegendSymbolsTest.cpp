#include "canvas/VectorCanvas.h"
#include "page/CarteMapBlockEditor.h"
#include "export/CarteBitmapExport.h"
#include "export/CartePDFExport.h"
#include "export/SvgCompositionExport.h"
#include "export/ThematicCanvasExport.h"
#include "support/ColourRuns.h"
#include "support/DecorationTestPage.h"
#include "support/ExportTestComposition.h"
#include "support/KeptRenders.h"
#include "support/PopplerTools.h"
#include "support/SvgTestSupport.h"
#include "support/YUpImage.h"

#include <functional>
#include <ostream>

#include <gtest/gtest.h>

using namespace CompositionTestSupport;

// The symbol legends show their circles at the size the map draws them: with the map block
// scaled (« Échelle du fond »), the largest circle of each legend on the page, the legend
// objects included, is as wide as the largest circle of its series on the map, on screen and in
// every export. PELMORA_KEEP_RENDERS=dir keeps the pictures.
namespace {

constexpr double kWidth = 800;
constexpr double kHeight = 600;
constexpr double kPixelsPerPoint = 3;
const PlmExportSize kPage = ExportTest::compositionPage({kWidth, kHeight});
const PlmColor kFirst{0.8, 0.1, 0.1, 1};
const PlmColor kSecond{0.1, 0.2, 0.8, 1};

// The centre of square i of gridMap(3).
PlmPoint centreOf(int i) { return {(i % 3) * 10 + 4.5, (i / 3) * 10 + 4.5}; }

// A fill attribute written for a colour.
bool filledWith(const QString& fill, const PlmColor& colour)
{
    const QStringList parts =
        SvgTestSupport::capturesOf(fill, QStringLiteral("rgb\\(([^)]*)\\)")).value(0).split(QLatin1Char(','));
    if (parts.size() != 3)
        return false;
    const double wanted[] = {colour.red, colour.green, colour.blue};
    for (int i = 0; i < 3; ++i)
        if (std::abs(parts[i].toDouble() - wanted[i] * 255) > 0.5)
            return false;
    return true;
}

// Two series of circles (twoSymbols) over a 3 × 3 grid framed small in the middle of the page,
// each with its legend, and an extra legend object of the second series; the block is then
// scaled with the editor's slider, as the person does.
struct ScaledPage {
    DecorationTestDocument document;
    PlmMap map = gridMap(3);
    Hosted h = hosted(map, {kWidth, kHeight}, {kWidth + 24, kHeight + 24});
    ThematicCanvas& canvas = *h.canvas;
    std::unique_ptr<CarteMapBlockEditor> editor;
    DecorationObjectView* extraLegend = nullptr;
    ThematicCanvasExport composition{canvas};

    explicit ScaledPage(double percent)
    {
        frameMap(canvas, PlmPoint{14.5, 14.5}, 0.25);
        // The largest circles lie on different squares, apart at any scale used here.
        series(canvas.symbols(), canvas.legend(), kFirst, {{4, 36}, {8, 18}});
        series(canvas.secondSymbols(), canvas.secondLegend(), kSecond, {{0, 24}, {2, 12}});
        PlmDecorationObject legend(QStringLiteral("l"), PlmDecorationKind::legend);
        legend.legendSeries = 1;
        extraLegend = addDecoration(canvas, legend, QRectF(10, 380, 100, 100));
        // Linked to its series' legend as the decoration controller links it.
        extraLegend->legendSource = [this] { return std::optional<LegendData>(canvas.secondLegend()->legendData()); };
        canvas.layoutComposition();
        document.work.map = map;
        editor = std::make_unique<CarteMapBlockEditor>(document.link(), &canvas);
        document.onStored = [this] { editor->refresh(); };
        editor->refresh();
        editor->slideScale(percent);
        canvas.layoutSubtreeIfNeeded();
    }

    void series(ProportionalOverlay* overlay, ThematicLegend* legend, const PlmColor& colour,
                const QList<std::pair<int, double>>& symbols)
    {
        PlmProportionalSettings circle;
        circle.kind = PlmSymbolKind::circle;
        const auto shape = std::make_shared<const ProportionalShape>(circle, false);
        QList<ProportionalOverlay::Item> items;
        QStringList labels;
        QList<double> sizes;
        for (const auto& [entity, size] : symbols) {
            items.append({map.entities[entity].id, size, centreOf(entity)});
            labels.prepend(QString::number(size));
            sizes.prepend(size);
        }
        overlay->setShape(shape);
        overlay->setColor(colour);
        overlay->setItems(items);
        overlay->setHidden(false);
        legend->setProportionalShape(shape);
        legend->setSymbolColor(colour);
        legend->setTitle(QStringLiteral("Population"));
        legend->setLabels(labels);
        legend->setReferenceSizes(sizes);
        legend->setHidden(false);
    }

    QList<QRectF> legendFrames() const
    {
        return {canvas.legend()->frame(), canvas.secondLegend()->frame(), extraLegend->frame()};
    }
};

// The widest circles of a drawing, in points: each series' on the map, and each legend's.
struct Widths {
    double firstMap = 0, secondMap = 0;
    double firstLegend = 0, secondLegend = 0, extraLegend = 0;
};

std::ostream& operator<<(std::ostream& out, const Widths& w)
{
    return out << "map " << w.firstMap << " / " << w.secondMap << ", legends " << w.firstLegend << " / "
               << w.secondLegend << " / " << w.extraLegend;
}

Widths measured(const QImage& image, const ScaledPage& page)
{
    const QRectF whole(0, 0, kWidth, kHeight);
    const QList<QRectF> legends = page.legendFrames();
    const QSizeF size(kWidth, kHeight);
    const QColor first = ExportTest::qcolor(kFirst);
    const QColor second = ExportTest::qcolor(kSecond);
    return {widestRun(image, size, first, whole, legends), widestRun(image, size, second, whole, legends),
            widestRun(image, size, first, legends[0]), widestRun(image, size, second, legends[1]),
            widestRun(image, size, second, legends[2])};
}

// The same read from the SVG's elements: the paths filled with a series' colour, placed on the
// y-up page, by the legend frame holding them.
Widths measured(const QByteArray& svg, const ScaledPage& page)
{
    const QList<QRectF> legends = page.legendFrames();
    Widths w;
    for (const SvgTestSupport::PlacedPath& path : SvgTestSupport::placedPaths(svg)) {
        const QString fill = path.attributes.value(QStringLiteral("fill")).toString();
        const bool first = filledWith(fill, kFirst);
        if (!first && !filledWith(fill, kSecond))
            continue;
        const QPointF centre(path.extent.center().x(), kHeight - path.extent.center().y());
        const double width = path.extent.width();
        double* slot = first ? &w.firstMap : &w.secondMap;
        if (legends[0].contains(centre))
            slot = &w.firstLegend;
        else if (legends[1].contains(centre))
            slot = &w.secondLegend;
        else if (legends[2].contains(centre))
            slot = &w.extraLegend;
        *slot = std::max(*slot, width);
    }
    return w;
}

struct Format {
    const char* name;
    double tolerance;  // points: a pixel and a half of antialiased edge, or the SVG's rounding
    std::function<Widths(ScaledPage&, const QString& keptName)> measure;
};

const Format kFormats[] = {
    {"page", 0.5,
     [](ScaledPage& page, const QString& kept) {
         const QImage image = page.canvas.renderToImage(kPixelsPerPoint);
         KeptRenders::keep(kept + QStringLiteral(".png"), image);
         return measured(image, page);
     }},
    {"png", 0.5,
     [](ScaledPage& page, const QString& kept) {
         const QByteArray png = CarteBitmapExport::render(page.composition, kPage, 72 * kPixelsPerPoint,
                                                          CarteBitmapExport::Format::png, false)
                                    .data;
         KeptRenders::keep(kept + QStringLiteral(".png"), png);
         return measured(QImage::fromData(png, "PNG"), page);
     }},
    {"pdf", 0.5,
     [](ScaledPage& page, const QString& kept) {
         const QByteArray pdf = CartePDFExport::exportPDF(page.composition, kPage).data;
         KeptRenders::keep(kept + QStringLiteral(".pdf"), pdf);
         return measured(PopplerTools::raster(pdf, int(72 * kPixelsPerPoint)), page);
     }},
    {"svg", 0.01,
     [](ScaledPage& page, const QString& kept) {
         const QByteArray svg = SvgCompositionExport::exportSVG(page.composition, kPage).data;
         KeptRenders::keep(kept + QStringLiteral(".svg"), svg);
         return measured(svg, page);
     }},
};

struct ScaleRow {
    const char* name;
    double percent;
};

void PrintTo(const ScaleRow& row, std::ostream* out) { *out << row.name; }

class CarteExportLegendSymbolsTest : public testing::TestWithParam<ScaleRow> {};

TEST_P(CarteExportLegendSymbolsTest, EveryLegendDrawsItsLargestCircleAsTheMapDoes)
{
    const ScaleRow& row = GetParam();
    for (const Format& format : kFormats) {
        SCOPED_TRACE(format.name);
        ScaledPage page(row.percent);
        const Widths w = format.measure(page, QStringLiteral("legend-symbols-%1-%2")
                                                  .arg(QString::fromLatin1(row.name), QString::fromLatin1(format.name)));
        // The map itself draws its circles at the block's scale.
        ASSERT_NEAR(w.firstMap, 36 * row.percent / 100, format.tolerance) << w;
        EXPECT_NEAR(w.firstLegend, w.firstMap, format.tolerance) << w;
        EXPECT_NEAR(w.secondLegend, w.secondMap, format.tolerance) << w;
        EXPECT_NEAR(w.extraLegend, w.secondMap, format.tolerance) << w;
    }
}

INSTANTIATE_TEST_SUITE_P(Scales, CarteExportLegendSymbolsTest,
                         testing::Values(ScaleRow{"Reduced", 85}, ScaleRow{"Enlarged", 200}),
                         [](const testing::TestParamInfo<ScaleRow>& info) { return std::string(info.param.name); });

} // namespace
