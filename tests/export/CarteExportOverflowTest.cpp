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
    // A text element, its editing style stored before its presentation changes (the style
    // copies the background into its frame fill).
    const auto text = [](const char* words, const std::function<void(PlmEditingStyle&)>& edit = nullptr,
                         const std::function<void(PlmPresentation&)>& present = nullptr) {
        PlmDecorationObject object(QString::fromUtf8(words), PlmDecorationKind::text, QString::fromUtf8(words));
        if (edit) {
            PlmEditingStyle style = object.presentation.effectiveEditingStyle();
            edit(style);
            object.presentation.setEffectiveEditingStyle(style);
        }
        if (present)
            present(object.presentation);
        return object;
    };
    const PlmColor tint{0.85, 0.9, 0.95, 1};
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
             c.addObject(arrow, QRectF(380, 200, 64, 100));
             c.addObject(PlmDecorationObject(QStringLiteral("i1"), PlmDecorationKind::image, QString()),
                         QRectF(-10, 100, 60, 60));
             c.addObject(PlmDecorationObject(QStringLiteral("s1"), PlmDecorationKind::source),
                         QRectF(40, 40, 100, 20));
         },
         {"Carte", "Habitants au km²", "Carte de France", "Nord", "Image / logo\u2026"}},
        {"a legend drawn above an object comes after it", {0, 0}, 10,
         [](ExportTest::Composition& c) { c.root->insertSubview(c.legend, ViewNode::Placement::above); },
         {"Carte", "Carte de France", "Légende"}},
        // Texts count by what they show on the page: their frames pass the right edge here.
        {"a text's border is cut, another's white fill is not", {0, 0}, 0,
         [](ExportTest::Composition& c) {
             PlmDecorationObject framed(QStringLiteral("x1"), PlmDecorationKind::text, QStringLiteral("Encadré"));
             framed.presentation.border = true;
             c.addObject(framed, QRectF(300, 140, 140, 58));
             c.addObject(PlmDecorationObject(QStringLiteral("x2"), PlmDecorationKind::text, QStringLiteral("Note")),
                         QRectF(300, 60, 140, 58));
         },
         {"Encadré"}},
        {"a text's tinted fill and another's shadow are cut", {0, 0}, 0,
         [](ExportTest::Composition& c) {
             PlmDecorationObject tinted(QStringLiteral("x1"), PlmDecorationKind::text, QStringLiteral("Teinté"));
             tinted.presentation.background = PlmColor{0.85, 0.9, 0.95, 1};
             c.addObject(tinted, QRectF(300, 140, 140, 58));
             PlmDecorationObject shadowed(QStringLiteral("x2"), PlmDecorationKind::text, QStringLiteral("Ombré"));
             PlmEditingStyle style = shadowed.presentation.effectiveEditingStyle();
             style.shadow = true;
             shadowed.presentation.setEffectiveEditingStyle(style);
             c.addObject(shadowed, QRectF(300, 60, 140, 58));
         },
         {"Teinté", "Ombré"}},
        {"a title's lines that run past its own box are not drawn", {0, 0}, 0,
         [](ExportTest::Composition& c) { c.title->setFrame(QRectF(250, 2, 140, 40)); }, {}},
        // The frames below pass the page's edge; what each text shows decides.
        {"a line turned upright stays inside where it would pass the edge unturned", {0, 0}, 0,
         [&](ExportTest::Composition& c) {
             c.addObject(text("Texte tourné d’un quart", [](PlmEditingStyle& s) { s.rotation = 90; }),
                         QRectF(280, 130, 200, 40));
         },
         {}},
        {"a frame past the edge by less than its padding clips its line inside", {0, 0}, 0,
         [&](ExportTest::Composition& c) {
             const auto clipped = [](PlmEditingStyle& s) {
                 s.padding = 12;
                 s.wraps = false;
             };
             c.addObject(text("Une ligne plus longue que sa boîte", clipped), QRectF(300, 100, 108, 40));
         },
         {}},
        {"a 12-point border on the edge is cut by its outer half, a 1-point one is not", {0, 0}, 0,
         [&](ExportTest::Composition& c) {
             const auto bordered = [](PlmPresentation& p) { p.border = true; };
             c.addObject(text("Bordé", [](PlmEditingStyle& s) { s.strokeWidth = 12; }, bordered),
                         QRectF(300, 100, 100, 40));
             c.addObject(text("Filet", nullptr, bordered), QRectF(300, 160, 100, 40));
         },
         {"Bordé"}},
        {"a hidden frame's fill and border are not cut, a frame shown again is", {0, 0}, 0,
         [&](ExportTest::Composition& c) {
             const auto framed = [&](bool hidden) {
                 return [=](PlmPresentation& p) {
                     p.frameHidden = hidden;
                     p.border = true;
                     p.background = tint;
                 };
             };
             c.addObject(text("Sans cadre", nullptr, framed(true)), QRectF(300, 100, 140, 40));
             c.addObject(text("Cadre remis", nullptr, framed(false)), QRectF(300, 160, 140, 40));
         },
         {"Cadre remis"}},
        {"an editing style's frame fill and the background it lays under the text are cut", {0, 0}, 0,
         [&](ExportTest::Composition& c) {
             c.addObject(text("Fond du style", [&](PlmEditingStyle& s) { s.frameFill = tint; }),
                         QRectF(300, 100, 140, 40));
             const auto tinted = [&](PlmPresentation& p) { p.background = tint; };
             c.addObject(text("Fond du texte", [](PlmEditingStyle&) {}, tinted), QRectF(300, 160, 140, 40));
         },
         {"Fond du style", "Fond du texte"}},
        {"a text showing nothing is not named, even off the page", {0, 0}, 0,
         [&](ExportTest::Composition& c) { c.addObject(text(""), QRectF(420, 100, 100, 40)); }, {}},
        {"an underline drops with its text's lowered baseline", {0, 0}, 0,
         [&](ExportTest::Composition& c) {
             const auto lowered = [](PlmEditingStyle& s) {
                 s.underline = true;
                 s.baseline = -30;
             };
             c.addObject(text("Titre", lowered), QRectF(200, 266, 80, 64));
         },
         {}},
        {"a fully transparent fill or border is not cut", {0, 0}, 0,
         [&](ExportTest::Composition& c) {
             const auto clear = [](PlmPresentation& p) { p.background = {0.8, 0.2, 0.2, 0}; };
             c.addObject(text("Fond transparent", nullptr, clear), QRectF(290, 100, 130, 40));
             c.addObject(text("Bord transparent", [](PlmEditingStyle& s) { s.stroke.alpha = 0; },
                              [](PlmPresentation& p) { p.border = true; }),
                         QRectF(290, 160, 130, 40));
         },
         {}},
        {"a text drawn wholly transparent is not named", {0, 0}, 0,
         [&](ExportTest::Composition& c) {
             c.addObject(text("Effacé", [](PlmEditingStyle& s) { s.opacity = 0; }), QRectF(420, 100, 100, 40));
         },
         {}},
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
    const auto none = [](ThematicCanvas&) {};
    const auto placedOffThePage = [](ThematicCanvas& canvas) {
        addDecoration(canvas, PlmDecorationObject(QStringLiteral("t"), PlmDecorationKind::title),
                      QRectF(100, 900, 300, 52));
        PlmPresentation presentation = PlmDecoration::defaultSecondLegend();
        presentation.positionInPoints = true;
        canvas.secondLegend()->setPresentation(presentation);
        canvas.secondLegend()->setTitle(QStringLiteral("Emplois"));
        canvas.secondLegend()->setHidden(false);
        canvas.secondLegendPosition = {10, 300};
        canvas.setNeedsLayout();
    };
    struct Row {
        const char* name;
        PlmPrintPage fittedOn, exported;
        std::function<void(ThematicCanvas&)> place;
        QStringList outside;
    };
    // New titles and sources are 600 points wide, more than portrait A4 inside its margins.
    const Row rows[] = {
        {"fitted to the page it is exported on", portrait, portrait, none, {}},
        {"fitted with the page hidden: to the composition", hidden, hidden, none, {"Carte"}},
        {"fitted on landscape, exported on portrait", landscape, portrait, none, {"Carte"}},
        {"elements the person placed off the page", portrait, portrait, placedOffThePage,
         {"Légende secondaire", "Titre"}},
        {"a new title and source whose texts stay inside", portrait, portrait,
         [](ThematicCanvas& canvas) {
             addPlacedDecoration(canvas, PlmDecorationObject(QStringLiteral("t"), PlmDecorationKind::title));
             const QString source = QStringLiteral("Source : Insee, recensement de la population 2021");
             addPlacedDecoration(canvas, PlmDecorationObject(QStringLiteral("s"), PlmDecorationKind::source, source));
         },
         {}},
        {"a new title whose text runs past the margin", portrait, portrait,
         [](ThematicCanvas& canvas) {
             const QString title = QStringLiteral("Part de l’emploi informel en Afrique (2010–2020)");
             addPlacedDecoration(canvas, PlmDecorationObject(QStringLiteral("t"), PlmDecorationKind::title, title));
         },
         {"Part de l’emploi informel en Afrique (2010–2020)"}},
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
        row.place(canvas);
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
