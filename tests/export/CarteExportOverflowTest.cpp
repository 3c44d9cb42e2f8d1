#include "canvas/VectorCanvas.h"
#include "page/CarteMapBlockEditor.h"
#include "page/ThematicCanvas.h"
#include "page/ThematicLegend.h"
#include "export/CarteExportOverflow.h"
#include "export/ThematicCanvasExport.h"
#include "support/CompositionTestSupport.h"
#include "support/DecorationTestPage.h"
#include "support/ExportTestComposition.h"

#include <gtest/gtest.h>

#include <functional>

// The test composition is 400 × 300 points: a map block filling it, a legend at
// (280, 20, 110, 90), a title « Carte de France » at (20, 250, 200, 40).
TEST(CarteExportOverflow, NamesTheMapThenTheElementsReachingBeyondThePageInsideItsMargins)
{
    const double mmPerPoint = 25.4 / 72;
    struct Row {
        const char* name;
        QPointF origin;  // composition point at the page's lower-left corner
        double margin;   // mm
        std::function<void(ExportTest::Composition&)> change;
        QStringList outside;
    };
    const auto none = [](ExportTest::Composition&) {};
    const Row rows[] = {
        {"the composition's own size, no margin", {0, 0}, 0, none, {}},
        {"10 mm margins cut the map's edges, the legend's foot and the title's head", {0, 0}, 10, none,
         {"Carte", "Légende", "Carte de France"}},
        {"a map block shrunk inside the margins is not cut", {0, 0}, 10,
         [](ExportTest::Composition& c) {
             c.vector->blockTransform = QTransform::fromTranslate(200, 150).scale(0.8, 0.8).translate(-200, -150);
         },
         {"Légende", "Carte de France"}},
        {"a hidden title is not exported", {0, 0}, 10, [](ExportTest::Composition& c) { c.title->setHidden(true); },
         {"Carte", "Légende"}},
        {"a hidden map is not exported", {0, 0}, 10, [](ExportTest::Composition& c) { c.vector->setHidden(true); },
         {"Légende", "Carte de France"}},
        {"a page moved right leaves the map's left and the title out", {100, 0}, 0, none,
         {"Carte", "Carte de France"}},
        {"a page moved down cuts only the legend", {0, 40}, 0,
         [](ExportTest::Composition& c) {
             c.vector->blockTransform = QTransform::fromTranslate(0, 40).scale(1, 0.8);
         },
         {"Légende"}},
        {"elements by the outline's titles, bottom to top", {0, 0}, 10,
         [](ExportTest::Composition& c) {
             c.legend->data.presentation.title = QStringLiteral("Habitants au km²");
             PlmDecorationObject arrow(QStringLiteral("n1"), PlmDecorationKind::north);
             arrow.presentation.title = QStringLiteral("Nord");
             auto* north = new ExportTest::Object(arrow);
             north->setFrame(QRectF(380, 200, 64, 100));
             c.root->addSubview(north);
             auto* logo = new ExportTest::Object(PlmDecorationObject(QStringLiteral("i1"), PlmDecorationKind::image, QString()));
             logo->setFrame(QRectF(-10, 100, 60, 60));
             c.root->addSubview(logo);
             auto* inside = new ExportTest::Object(PlmDecorationObject(QStringLiteral("s1"), PlmDecorationKind::source));
             inside->setFrame(QRectF(40, 40, 100, 20));
             c.root->addSubview(inside);
         },
         {"Carte", "Habitants au km²", "Carte de France", "Nord", "Image / logo\u2026"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ExportTest::Composition composition;
        row.change(composition);
        PlmExportSize size;
        size.width = 400 * mmPerPoint;
        size.height = 300 * mmPerPoint;
        size.margin = row.margin;
        size.actualSize = true;
        size.compositionOrigin = row.origin;
        EXPECT_EQ(CarteExportOverflow::outside(composition, size), row.outside);
    }
}

TEST(CarteExportOverflow, StatusLineListsTheNamesAfterOneLead)
{
    EXPECT_EQ(CarteExportOverflow::statusLine({}), QString());
    EXPECT_EQ(CarteExportOverflow::statusLine({QStringLiteral("Carte")}),
              QStringLiteral("Hors de la zone exportée : Carte."));
    EXPECT_EQ(CarteExportOverflow::statusLine(
                  {QStringLiteral("Carte"), QStringLiteral("Titre"), QStringLiteral("Source : Insee, 2021")}),
              QStringLiteral("Hors de la zone exportée : Carte, Titre, Source : Insee, 2021."));
}

// The paths that cut the map with « Ajuster à la page », on the Carte pane's own canvas and the
// export placed as the export panel places it.
TEST(CarteExportOverflow, AMapFittedToThePageIsKeptAndOneFittedElsewhereIsNamed)
{
    using namespace CompositionTestSupport;
    PlmPrintPage landscape;
    landscape.origin = {60, 100};
    PlmPrintPage portrait = landscape;
    portrait.width = 210;
    portrait.height = 297;
    portrait.landscape = false;
    PlmPrintPage hidden = landscape;
    hidden.visible = false;
    struct Row {
        const char* name;
        PlmPrintPage fittedOn, exported;
        bool placedOffThePage;
        QStringList outside;
    };
    const Row rows[] = {
        {"fitted to the page it is exported on", portrait, portrait, false, {}},
        {"fitted with the page hidden: to the composition", hidden, hidden, false, {"Carte"}},
        {"fitted on landscape, exported on portrait", landscape, portrait, false, {"Carte"}},
        {"elements the person placed off the page", portrait, portrait, true, {"Légende secondaire", "Titre"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Hosted h = hosted(gridMap(3), {974, 874}, {998, 898});
        ThematicCanvas& canvas = *h.canvas;
        DecorationTestDocument document;
        document.work.map = gridMap(3);
        CarteMapBlockEditor editor(document.link(), &canvas);
        document.onStored = [&] { editor.refresh(); };
        editor.refresh();
        canvas.printPage = row.fittedOn;
        canvas.layoutComposition();
        editor.fitBlock(0);
        canvas.printPage = row.exported;
        canvas.setNeedsLayout();
        if (row.placedOffThePage) {
            addDecoration(canvas, PlmDecorationObject(QStringLiteral("t"), PlmDecorationKind::title),
                          QRectF(100, 900, 300, 52));
            PlmPresentation presentation = PlmDecoration::defaultSecondLegend();
            presentation.positionInPoints = true;
            canvas.secondLegend()->setPresentation(presentation);
            canvas.secondLegend()->setTitle(QStringLiteral("Emplois"));
            canvas.secondLegend()->setHidden(false);
            canvas.secondLegendPosition = {10, 300};
            canvas.setNeedsLayout();
        }
        PlmExportSize size;
        size.width = row.exported.width;
        size.height = row.exported.height;
        size.margin = row.exported.margin;
        size.actualSize = true;
        size.compositionOrigin = QPointF(row.exported.origin.x, row.exported.origin.y);
        ThematicCanvasExport composition(canvas);
        EXPECT_EQ(CarteExportOverflow::outside(composition, size), row.outside);
    }
}
