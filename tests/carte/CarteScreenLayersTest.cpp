#include "canvas/VectorCanvas.h"
#include "carte/CarteInspector.h"
#include "desktop/ViewHost.h"
#include "support/CanvasTestMaps.h"
#include "support/CartePaneTestSupport.h"
#include "support/WidgetInput.h"

#include <QComboBox>
#include <QPixmap>
#include <gtest/gtest.h>

using namespace CartePaneTest;

// The page on screen keeps the map's areas as pixel layers: a palette chosen in the
// inspector recolours them, as a drawing of the vectors would, without drawing them again.
TEST(CarteScreenLayers, PaletteChangeRecoloursTheScreenWithoutDrawingTheMapAgain)
{
    PlmWork work = gridWork(12, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12});
    work.thematic->variableID = QStringLiteral("pop");
    Pane p(work);
    auto* host = dynamic_cast<ViewHost*>(p.pane->view());
    ASSERT_NE(host, nullptr);
    VectorCanvas& map = *p.pane->mapView();
    ASSERT_FALSE(map.fillOverrides.isEmpty());
    const QImage before = host->grab().toImage();
    const int rendered = map.layerRenderCount();
    ASSERT_GT(rendered, 0);

    QComboBox* palette = p.pane->inspector()->palette;
    const int other = palette->currentIndex() == 1 ? 2 : 1;
    choose(palette, other);
    const QImage after = host->grab().toImage();
    map.usesScreenLayers = false;
    const QImage direct = host->grab().toImage();

    EXPECT_EQ(map.layerRenderCount(), rendered);
    EXPECT_GT(CanvasTestMaps::shareOfDifferentPixels(before, after), 0.01);
    EXPECT_LT(CanvasTestMaps::shareOfDifferentPixels(after, direct), 0.005);
}
