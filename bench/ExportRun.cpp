#include "support/BenchPages.h"
#include "support/BenchWorks.h"

#include "page/ThematicCanvas.h"
#include "canvas/VectorCanvas.h"
#include "export/CarteBitmapExport.h"
#include "export/CartePDFExport.h"
#include "export/SvgCompositionExport.h"
#include "export/PlmPngWriter.h"
#include "export/ThematicCanvasExport.h"
#include "model/PlmWorkCodec.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>

#include <cstdio>
#include <cstdlib>

// Whole-process timing of one export, for hyperfine or /usr/bin/time:
//   ExportRun svg|pdf|png OUT [WORK]
// generates the large work (35,000 entities, as the benchmarks do) or opens it from WORK, lays
// out its choropleth page with the legend and writes one A4 landscape file (PNG at 300 dpi).
// The time of each step goes to standard error; with PELMORA_EXPORT_STAGES set, finer ones too
// (start-up; reading and decoding; a PNG's drawing and encoding).
//   ExportRun save WORK
// writes the generated work as a document, so that a run can open it as a person would.
namespace {

QElapsedTimer timer;
bool finer = false;

void step(const char* name, bool fine = false)
{
    if (!fine || finer)
        std::fprintf(stderr, "%s %lld ms\n", name, timer.restart());
}

int run(const QStringList& args)
{
    if (args[1] == QLatin1String("save")) {
        QFile file(args[2]);
        const QByteArray bytes = PlmWorkCodec::encode(BenchWorks::makeLargeWork(35000, 2));
        return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() ? 0 : 1;
    }
    PlmWork work;
    if (args.size() == 4) {
        QFile file(args[3]);
        if (!file.open(QIODevice::ReadOnly))
            return 1;
        const QByteArray bytes = file.readAll();
        step("read", true);
        work = PlmWorkCodec::decode(bytes);
        step("open");
    } else {
        work = BenchWorks::makeLargeWork(35000, 2);
        step("generate");
    }

    constexpr double width = 1000;
    constexpr double height = 700;
    ThematicCanvas canvas(work.map);
    BenchPages::layOutLargeChoropleth(canvas, work, QSizeF(width, height));
    ThematicCanvasExport composition(canvas);
    PlmExportSize size;
    size.width = 297;
    size.height = 210;
    size.margin = 10;

    step("layout");
    PlmExportResult result;
    if (args[1] == QLatin1String("svg"))
        result = SvgCompositionExport::exportSVG(composition, size);
    else if (args[1] == QLatin1String("pdf"))
        result = CartePDFExport::exportPDF(composition, size);
    else if (args[1] == QLatin1String("png") && finer) {
        const QImage image = CarteBitmapExport::renderImage(composition, size, 300, CarteBitmapExport::Format::png, false);
        step("draw", true);
        result.data = PlmPngWriter::encode(image, 300, false);
    } else if (args[1] == QLatin1String("png"))
        result = CarteBitmapExport::render(composition, size, 300, CarteBitmapExport::Format::png, false);
    else
        return 2;
    step("export");
    QFile out(args[2]);
    if (!out.open(QIODevice::WriteOnly) || out.write(result.data) != result.data.size())
        return 1;
    out.close();
    step("write");
    // The measure is opening, laying out and exporting: the work's hundreds of thousands of
    // blocks are not freed one by one at the exit (the application keeps its work open).
    std::fflush(stderr);
    std::_Exit(0);
}

} // namespace

int main(int argc, char** argv)
{
    timer.start();
    finer = !qEnvironmentVariableIsEmpty("PELMORA_EXPORT_STAGES");
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3 && args.size() != 4) {
        std::fprintf(stderr, "usage: ExportRun svg|pdf|png OUT [WORK] | ExportRun save WORK\n");
        return 2;
    }
    step("start", true);
    return run(args);
}
