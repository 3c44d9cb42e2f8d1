#include "support/BenchGuard.h"
#include "page/DecorationDrawing.h"
#include "page/LegendLayout.h"
#include "desktop/ViewNode.h"

#include <QImage>
#include <QPainter>
#include <benchmark/benchmark.h>

// Legend geometry and drawing re-measure every text at each call: these figures say what a
// legend of many classes costs per redraw, a part of every page's paint (named "Only"). Wall
// time, as everywhere in these programs.
namespace {

LegendData legendWith(int classes)
{
    LegendData legend;
    legend.title = QStringLiteral("Densité de population (habitants au km²)");
    for (int i = 0; i < classes; ++i) {
        legend.labels << QStringLiteral("de %1 à %2 habitants").arg(i * 50).arg(i * 50 + 49);
        legend.colors << PlmColor{1.0 - i / double(classes), 0.4, i / double(classes), 1};
    }
    legend.footer = QStringLiteral("Source : recensement");
    legend.size = QSizeF(LegendLayout::preferredWidth(legend), 0);
    legend.size.setHeight(LegendLayout::Content(legend, legend.size.width()).height);
    return legend;
}

void BM_LegendLayoutOnly(benchmark::State& state)
{
    const LegendData legend = legendWith(int(state.range(0)));
    for (auto _ : state) {
        LegendLayout layout(legend);
        benchmark::DoNotOptimize(layout.entries.size());
    }
}
PLM_BENCHMARK(BM_LegendLayoutOnly)->Arg(8)->Arg(64)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_LegendObjectDrawingOnly(benchmark::State& state)
{
    const LegendData legend = legendWith(int(state.range(0)));
    PlmDecorationObject object(QStringLiteral("legend"), PlmDecorationKind::legend);
    object.width = legend.size.width();
    object.height = legend.size.height();
    DecorationDrawingContext context;
    context.legend = decorationLegendCopy(object, legend, legend.size);
    QImage image(legend.size.toSize(), QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        QPainter painter(&image);
        ViewNode::flipPainter(painter, image.height());
        drawDecorationObject(painter, object, legend.size, context);
    }
}
PLM_BENCHMARK(BM_LegendObjectDrawingOnly)->Arg(8)->Arg(64)->Unit(benchmark::kMicrosecond)->UseRealTime();

} // namespace
