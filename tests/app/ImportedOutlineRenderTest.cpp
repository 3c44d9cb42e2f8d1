// A world imported in degrees and fitted in a window of the studio's size: the borders
// between countries show (an outline of 0.008° would be a thirtieth of a pixel there).
#include "canvas/VectorCanvas.h"
#include "basemaps/PlmVectorImporter.h"
#include "support/CanvasTestMaps.h"

#include <gtest/gtest.h>

using namespace CanvasTestMaps;

TEST(ImportedOutlineRender, bordersOfAWorldInDegreesShowAtTheFittedView)
{
    const PlmImportResult result =
        PlmVectorImporter::importMap(QStringLiteral(PELMORA_TEST_DATA_DIR "/regressions/world-countries.geojson"));
    VectorCanvas canvas(result.map, false, QStringLiteral("Aucun fond"));
    canvas.setFrame(QRectF(0, 0, 1000, 400));
    canvas.backgroundColor = Qt::white;
    canvas.fit(true);
    const QImage image = canvas.renderToImage();
    // The border at longitude −60 lies a third of the way across the fitted world; the
    // darkest pixel of a short run across it is the outline's colour, not a faint blend.
    int darkest = 255;
    for (int x = 300; x < 367; ++x)
        darkest = std::min(darkest, qGray(image.pixel(x, 200)));
    const QColor fill = pixelAt(image, 500, 200);
    EXPECT_LT(darkest, qGray(fill.rgb()) - 80);
}
