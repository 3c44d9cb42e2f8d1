#include "carte/CarteWindowController.h"

#include "canvas/VectorCanvas.h"
#include "model/PlmDecoration.h"
#include "support/WidgetKeys.h"

#include <gtest/gtest.h>

namespace {

PlmWork workWithDecoration(const std::optional<PlmDecoration>& decoration)
{
    PlmWork work;
    work.map.name = QStringLiteral("Communes");
    work.decoration = decoration;
    return work;
}

} // namespace

TEST(CarteWindowController, TheLayoutMapFollowsTheEntityNameSettings)
{
    PlmWork work = workWithDecoration(std::nullopt);
    CarteWindowController pane([&work] { return std::optional<PlmWork>(work); });
    pane.refreshControls();
    VectorCanvas* view = pane.mapView();
    EXPECT_FALSE(view->showEntityNames);
    EXPECT_EQ(view->entityNameFontName, QStringLiteral("Helvetica"));
    EXPECT_EQ(view->entityNameFontSize, 12.0);

    PlmDecoration decoration;
    decoration.showEntityNames = true;
    decoration.entityNameFontName = QStringLiteral("Times");
    decoration.entityNameFontSize = 9.5;
    decoration.entityNamePositions = QMap<QString, PlmPoint>{{QStringLiteral("A"), PlmPoint{1, 2}}};
    work = workWithDecoration(decoration);
    pane.refreshControls();
    EXPECT_TRUE(view->showEntityNames);
    EXPECT_EQ(view->entityNameFontName, QStringLiteral("Times"));
    EXPECT_EQ(view->entityNameFontSize, 9.5);
    ASSERT_TRUE(view->entityNamePositions.contains(QStringLiteral("A")));
    EXPECT_EQ(view->entityNamePositions.value(QStringLiteral("A")).y, 2.0);

    // Turning the names off again (an undo) hides them and forgets the placed positions.
    work = workWithDecoration(PlmDecoration());
    pane.refreshControls();
    EXPECT_FALSE(view->showEntityNames);
    EXPECT_TRUE(view->entityNamePositions.isEmpty());
}

// --- The pane over a document: each control ends in one undoable step that the page shows ---

#include "inspector/FondInspectorColorWell.h"
#include "page/CarteCompositionHost.h"
#include "page/ThematicCanvas.h"
#include "page/ThematicLegend.h"
#include "carte/CarteInspector.h"
#include "model/PlmErrors.h"
#include "model/PlmSecondSymbolSeries.h"
#include "support/CartePaneTestSupport.h"
#include "support/WidgetInput.h"
#include "canvas/ProportionalOverlay.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

using CartePaneTest::Pane;
using CartePaneTest::gridWork;

namespace {

// Four squares whose "pop" values are red circles of 30 points, and blue circles of 45 points
// in the second series when there are two.
PlmWork symbolWork(PlmRepresentation representation)
{
    PlmWork work = gridWork(4, {1, 4, 9, 16});
    work.thematic->representation = representation;
    work.thematic->variableID = QStringLiteral("pop");
    work.thematic->proportional = PlmProportionalSettings(PlmSymbolKind::circle, 30, PlmColor{1, 0, 0, 1});
    if (representation == PlmRepresentation::twoSymbols) {
        PlmSecondSymbolSeries series;
        series.variableID = QStringLiteral("pop");
        series.symbols = PlmProportionalSettings(PlmSymbolKind::circle, 45, PlmColor{0, 0, 1, 1});
        work.thematic->secondSymbols = series;
    }
    return work;
}

} // namespace


TEST(CartePane, ChoosingAVariableColoursTheMapAndIsUndone)
{
    Pane p(gridWork(4, {1, 2, 3, 4}));
    CarteInspector& ui = *p.pane->inspector();
    EXPECT_EQ(ui.variable->itemText(0), QStringLiteral("Choisir une variable…"));
    EXPECT_EQ(ui.notice->text(), QStringLiteral("Choisissez une variable. Créez ou importez vos variables dans Données."));
    EXPECT_EQ(ui.stats->text(), QStringLiteral("0 valeurs · 4 sans donnée    Min —    Max —    Moyenne —    Écart-type —"));
    EXPECT_TRUE(p.pane->mapView()->fillOverrides.isEmpty());

    choose(ui.variable, 1);
    EXPECT_EQ(p.document.undoName(), QStringLiteral("Changer la variable de carte"));
    EXPECT_EQ(p.document.work().thematic->variableID, QStringLiteral("pop"));
    EXPECT_EQ(p.pane->mapView()->fillOverrides.size(), 4);
    ThematicLegend* legend = p.pane->canvas()->legend();
    EXPECT_FALSE(legend->isHidden());
    EXPECT_EQ(legend->title(), QStringLiteral("Population"));
    EXPECT_EQ(legend->labels().size(), p.document.work().thematic->thresholds.size() + 1);

    p.document.undoLast();
    EXPECT_TRUE(p.pane->mapView()->fillOverrides.isEmpty());
    EXPECT_TRUE(legend->isHidden());
}

TEST(CartePane, AMapThatLostItsVariableNamesNoneInThePopup)
{
    PlmWork work = gridWork(4, {1, 2, 3, 4});
    work.thematic->variableID = QStringLiteral("pop");
    Pane p(work);
    CarteInspector& ui = *p.pane->inspector();
    EXPECT_EQ(ui.variable->currentText(), QStringLiteral("Population"));

    // The map's creation undone: no thematic settings any more.
    work.thematic.reset();
    p.document.setWork(work);
    p.pane->refreshControls();
    EXPECT_EQ(ui.variable->currentText(), QStringLiteral("Choisir une variable…"));
    EXPECT_TRUE(p.pane->mapView()->fillOverrides.isEmpty());
}

TEST(CartePane, ATypedThresholdListIsStoredOnceAndARefusalShownOnce)
{
    PlmWork work = gridWork(4, {5, 15, 25, 35});
    work.thematic->variableID = QStringLiteral("pop");
    work.thematic->method = PlmClassificationMethod::manual;
    work.thematic->classCount = 3;
    work.thematic->thresholds = {10, 30};
    Pane p(work);
    CarteInspector& ui = *p.pane->inspector();
    EXPECT_EQ(ui.thresholds->text(), QStringLiteral("10 ; 30"));
    EXPECT_EQ(p.pane->canvas()->legend()->labels(),
              (QStringList{"≤ 10,00", "> 10,00 à 30,00", "> 30,00"}));

    // Return ends editing, and so does the focus leaving: one step.
    type(ui.thresholds, QStringLiteral("10 ; 20,5"));
    emit ui.thresholds->editingFinished();
    EXPECT_EQ(p.document.undoSteps().size(), 1);
    EXPECT_EQ(p.document.undoName(), QStringLiteral("Saisir les seuils"));
    EXPECT_EQ(p.document.work().thematic->thresholds, (QList<double>{10, 20.5}));

    type(ui.thresholds, QStringLiteral("10"));
    emit ui.thresholds->editingFinished();
    EXPECT_EQ(p.errors, QStringList{"Cette discrétisation attend 2 seuils, dans l’ordre strictement croissant."});
    EXPECT_EQ(p.document.undoSteps().size(), 1);
}

TEST(CartePane, ANumberVariableWithoutValuesShowsNoInternalKeys)
{
    PlmWork work = gridWork(3, {});
    work.thematic->variableID = QStringLiteral("pop");
    work.thematic->thresholds = {};
    Pane p(work);
    CarteInspector& ui = *p.pane->inspector();
    EXPECT_EQ(ui.notice->text(),
              QStringLiteral("Cette variable n’a pas encore de valeur : toutes les zones sont « Sans donnée »."));
    ASSERT_EQ(ui.classColorLabels.size(), 1);
    EXPECT_EQ(ui.classColorLabels.first()->text(), QString());
    // Every area is without data.
    for (const PlmColor& color : p.pane->mapView()->fillOverrides)
        EXPECT_EQ(color, work.thematic->missingColor);
}

TEST(CartePane, ProportionalSymbolsFollowTheirSettings)
{
    PlmWork work = gridWork(4, {1, 4, 9, 0});
    work.thematic->representation = PlmRepresentation::proportional;
    work.thematic->variableID = QStringLiteral("pop");
    work.thematic->proportional = PlmProportionalSettings(PlmSymbolKind::circle, 30, PlmColor{0.8, 0.18, 0.16, 0.85});
    Pane p(work);
    CarteInspector& ui = *p.pane->inspector();
    ProportionalOverlay* symbols = p.pane->canvas()->symbols();
    EXPECT_FALSE(symbols->isHidden());
    QList<double> sizes;
    for (const ProportionalOverlay::Item& item : symbols->items())
        sizes.append(item.size);
    EXPECT_EQ(sizes, (QList<double>{30, 20, 10}));
    EXPECT_EQ(ui.minimumSize->text(), QStringLiteral("10"));
    EXPECT_EQ(ui.stats->text(), QStringLiteral("3 symboles · 1 valeurs nulles · 0 sans donnée"));
    EXPECT_EQ(p.pane->canvas()->legend()->footer(), QStringLiteral("0 et sans donnée : aucun symbole"));

    type(ui.maximumSize, QStringLiteral("60"));
    emit ui.maximumSize->editingFinished();
    EXPECT_EQ(p.document.undoSteps().size(), 1);
    EXPECT_EQ(p.document.undoName(), QStringLiteral("Changer la taille des symboles"));
    EXPECT_EQ(symbols->items().first().size, 60);

    // A dragged symbol is pinned, undoably; a reset frees it.
    symbols->onPosition(QStringLiteral("e2"), PlmPoint{3, 4}, true);
    EXPECT_EQ(p.document.undoName(), QStringLiteral("Déplacer le symbole"));
    EXPECT_EQ(p.document.work().thematic->proportional->manualPositions.value(QStringLiteral("e2")), (PlmPoint{3, 4}));
    EXPECT_EQ(symbols->items().first().point, (PlmPoint{3, 4}));
    p.document.select({QStringLiteral("e2")}, QStringLiteral("e2"));
    symbols->onReset();
    EXPECT_EQ(p.document.undoName(), QStringLiteral("Position automatique"));
    EXPECT_TRUE(p.document.work().thematic->proportional->manualPositions.isEmpty());
}

TEST(CartePane, SwitchingToAplatsAndSymbolsMovesTheSymbolsToTheSecondLayer)
{
    const PlmWork work = symbolWork(PlmRepresentation::proportional);
    Pane p(work);
    CarteInspector& ui = *p.pane->inspector();
    choose(ui.representation, 2);
    EXPECT_EQ(p.document.undoName(), QStringLiteral("Changer la représentation"));
    const PlmThematicSettings stored = *p.document.work().thematic;
    EXPECT_EQ(stored.secondSymbols->symbols, *work.thematic->proportional);
    EXPECT_EQ(stored.secondSymbols->variableID, QStringLiteral("pop"));
    EXPECT_EQ(ui.editSeries->itemText(0), QStringLiteral("Aplats"));
    EXPECT_EQ(ui.editSeries->itemText(1), QStringLiteral("Symboles"));
    EXPECT_FALSE(p.pane->canvas()->secondSymbols()->isHidden());
    EXPECT_TRUE(p.pane->canvas()->symbols()->isHidden());
    EXPECT_EQ(p.pane->canvas()->secondSymbols()->items().size(), 4);

    // Editing the symbols series shows its own settings.
    choose(ui.editSeries, 1);
    EXPECT_TRUE(p.pane->editingSecondary);
    EXPECT_EQ(ui.maximumSize->text(), QStringLiteral("30"));
}

TEST(CartePane, AnUnrelatedChangeComputesNoThematicLayer)
{
    PlmWork work = gridWork(4, {1, 4, 9, 16});
    work.thematic->representation = PlmRepresentation::aplatsAndSymbols;
    work.thematic->variableID = QStringLiteral("pop");
    PlmSecondSymbolSeries series;
    series.variableID = QStringLiteral("pop");
    series.symbols = PlmProportionalSettings(PlmSymbolKind::circle, 40, PlmColor{0, 0, 1, 1});
    work.thematic->secondSymbols = series;
    Pane p(work);
    const int before = p.pane->layerComputations;
    p.pane->moveEntityName(QStringLiteral("e1"), PlmPoint{1, 2});
    EXPECT_EQ(p.document.undoName(), QStringLiteral("Déplacer le nom de l’entité"));
    EXPECT_EQ(p.pane->layerComputations, before);
}

TEST(CartePane, ARefusedPrintPageIsTakenBackBeforeTheError)
{
    Pane p(gridWork(2, {1, 2}));
    p.refuse = [](const PlmWork& next) {
        if (next.decoration && next.decoration->printPage)
            throw PlmWorkError(QStringLiteral("Page refusée."));
    };
    p.pane->canvas()->printPage = PlmPrintPage();
    p.pane->canvas()->onPrintPageChange(PlmPrintPage());
    EXPECT_EQ(p.errors, QStringList{"Page refusée."});
    EXPECT_FALSE(p.pane->canvas()->printPage.has_value());
    EXPECT_TRUE(p.document.undoSteps().isEmpty());
}

TEST(CartePane, EntityNameSizeAndFont)
{
    Pane p(gridWork(2, {1, 2}));
    CarteInspector& ui = *p.pane->inspector();
    EXPECT_EQ(ui.entityNameSize->text(), QStringLiteral("12,0"));
    type(ui.entityNameSize, QStringLiteral("12,5"));
    EXPECT_EQ(p.document.undoName(), QStringLiteral("Typographie des noms d’entités"));
    EXPECT_EQ(p.document.work().decoration->entityNameFontSize, 12.5);
    type(ui.entityNameSize, QStringLiteral("0"));
    EXPECT_EQ(p.errors, QStringList{"Taille de police incorrecte."});
    EXPECT_EQ(ui.entityNameSize->text(), QStringLiteral("12,5")); // the stored size given back
    EXPECT_EQ(p.document.work().decoration->entityNameFontSize, 12.5);
}

// The zoom commands zoom the page on screen about the view's middle; the layout, and so the
// saved file and the exports, stay as they are; "Ajuster" shows the whole page again.
TEST(CartePane, ZoomCommandsZoomThePageOnScreenOnly)
{
    Pane p(gridWork(4, {1, 2, 3, 4}));
    PlmWork before = p.document.work();
    p.pane->storeComposition(before);
    const QRectF shown = p.pane->canvas()->frame();
    p.pane->perform(QStringLiteral("zoomOut:"), nullptr);
    const QRectF smaller = p.pane->canvas()->frame();
    EXPECT_DOUBLE_EQ(smaller.width(), shown.width() * 0.8);
    EXPECT_NEAR(smaller.center().x(), shown.center().x(), 1e-9);
    EXPECT_NEAR(smaller.center().y(), shown.center().y(), 1e-9);
    PlmWork after = p.document.work();
    p.pane->storeComposition(after);
    EXPECT_EQ(after, before);
    EXPECT_TRUE(p.document.undoSteps().isEmpty());

    p.pane->perform(QStringLiteral("zoomIn:"), nullptr);
    EXPECT_DOUBLE_EQ(p.pane->canvas()->frame().width(), shown.width());
    p.pane->perform(QStringLiteral("zoomIn:"), nullptr);
    p.pane->perform(QStringLiteral("fit:"), nullptr);
    EXPECT_EQ(p.pane->canvas()->frame(), shown);
}

TEST(CartePane, AViewportCentredFarOffTheMapIsShownAsStored)
{
    // Finite centres that pass validation yet put the map billions of pixels off the view:
    // drawing and invalidating must not overflow int.
    // One more step and the last would not fit a double once scaled: the pane keeps its own
    // view then, so that the work it hands back can still be saved.
    struct Row {
        const char* name;
        PlmDecorationViewport viewport;
        bool shownAsStored;
    };
    const Row rows[] = {{"normal", {{2, 1}, 0.05}, true}, {"farLeft", {{-2147483648.0, 0}, 0.25}, true},
                        {"farUp", {{0, 1.2e8}, 0.01}, true},
                        {"largestDouble", {{1e308, -1e308}, 1}, true},
                        {"pastTheLargestDouble", {{1e308, -1e308}, 0.25}, false}};
    for (const Row& row : rows) {
        PlmWork work = gridWork(4, {1, 2, 3, 4});
        work.decoration = PlmDecoration();
        work.decoration->viewport = row.viewport;
        ASSERT_NO_THROW(work.validate());
        Pane p(work);
        QWidget* view = p.pane->view();
        view->show();
        PlmWork saved = p.document.work();
        p.pane->storeComposition(saved);
        EXPECT_EQ(saved.decoration->viewport == row.viewport, row.shownAsStored) << row.name;
        EXPECT_NO_THROW(saved.validate()) << row.name;
        p.pane->perform(QStringLiteral("zoomIn:"), nullptr);
        const QImage shown = view->grab().toImage();
        EXPECT_EQ(shown.size(), view->size() * shown.devicePixelRatio());
    }
}

TEST(CartePane, SavingWritesTheCompositionAsShownNow)
{
    PlmWork work = gridWork(4, {1, 2, 3, 4});
    work.decoration.reset();
    Pane p(work);
    p.pane->mapView()->zoom(1.25);
    PlmWork saved = p.document.work();
    p.pane->storeComposition(saved);
    ASSERT_TRUE(saved.decoration.has_value());
    EXPECT_EQ(saved.decoration->viewport, p.pane->mapView()->currentViewport());
    const QRectF page = p.pane->canvas()->bounds();
    EXPECT_EQ(saved.decoration->compositionSize, (PlmPoint{page.width(), page.height()}));
    EXPECT_NO_THROW(saved.validate());

    // A pane never laid out keeps the stored size: the work stays valid.
    PlmWork stored = gridWork(2, {1, 2});
    stored.decoration = PlmDecoration();
    stored.decoration->compositionSize = PlmPoint{500, 400};
    CarteWindowController hidden([&stored] { return std::optional<PlmWork>(stored); });
    PlmWork copy = stored;
    hidden.storeComposition(copy);
    EXPECT_EQ(copy.decoration->compositionSize, (PlmPoint{500, 400}));
    EXPECT_NO_THROW(copy.validate());
}

#include "page/CarteMapBlockEditor.h"

#include <QApplication>
#include <QVBoxLayout>

// The page is made by the first layout at the pane's real size, not at the 640 × 480 that a
// widget reports before anything has sized it.
TEST(CartePane, TheFirstPageTakesThePanesRealSize)
{
    PlmWork work = gridWork(4, {1, 2, 3, 4});
    work.decoration.reset();
    CarteWindowController pane([&work] { return std::optional<PlmWork>(work); });
    pane.refreshControls();
    EXPECT_FALSE(pane.canvas()->compositionSize.has_value());

    QWidget window;
    auto* column = new QVBoxLayout(&window);
    column->setContentsMargins(0, 0, 0, 0);
    column->addWidget(pane.view());
    window.resize(900, 700);
    window.show();
    QApplication::processEvents();
    EXPECT_EQ(pane.canvas()->compositionSize, std::optional<QSizeF>(QSizeF(900, 700)));
    // The map block's fields show the block as that page fits it.
    const QList<QLineEdit*>& block = pane.mapBlockEditor()->fields();
    EXPECT_EQ((QStringList{block[0]->text(), block[2]->text()}), (QStringList{"32,00", "836,00"}));
}

// --- Each representation drawn on the page, offscreen ---

#include "page/CarteCompositionHost.h"
#include "carte/CarteThematicRules.h"

#include <QDir>
#include <QImage>

namespace {

PlmWork representationWork(PlmRepresentation representation)
{
    PlmWork work = gridWork(12, {3, 8, 15, 1, 22, 40, 9, 5, 30, 12, 18, 2});
    work.variables.append(PlmWorkTest::numberVariable(
        QStringLiteral("dens"), QStringLiteral("Densité"),
        {{"e0", 9}, {"e1", 2}, {"e2", 5}, {"e3", 7}, {"e4", 1}, {"e5", 3}, {"e6", 8}, {"e7", 4}, {"e8", 6},
         {"e9", 2}, {"e10", 9}, {"e11", 5}}));
    PlmThematicSettings& settings = *work.thematic;
    settings.variableID = QStringLiteral("pop");
    settings.classCount = 4;
    settings.palette = PlmPalette::greens;
    PlmDecoration decoration;
    decoration.compositionSize = PlmPoint{400, 300};
    work.decoration = decoration;
    PlmWork chosen = work;
    chosen.thematic = CarteThematicRules::withRepresentation(work, representation);
    return chosen;
}

// The composition as the screen shows it, written for a look when PELMORA_RENDER_DIR is set.
QImage renderPane(Pane& p, const QString& name)
{
    QImage image = p.pane->compositionHost()->renderToImage(1.0);
    if (const QByteArray dir = qgetenv("PELMORA_RENDER_DIR"); !dir.isEmpty())
        image.save(QDir(QString::fromLocal8Bit(dir)).filePath(name + QStringLiteral(".png")));
    return image;
}

int countNear(const QImage& image, const QColor& colour, int tolerance = 30)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (CanvasTestMaps::isNear(QColor(image.pixel(x, y)), colour, tolerance))
                ++count;
    return count;
}

} // namespace

TEST(CartePaneRender, EachRepresentationDrawsItsLayers)
{
    const QColor symbolRed = FondInspectorColorWell::qColor(PlmColor{0.8, 0.18, 0.16, 1});
    const QColor symbolBlue = FondInspectorColorWell::qColor(PlmColor{0.18, 0.42, 0.8, 1});
    struct Row {
        const char* name;
        PlmRepresentation representation;
        bool redSymbols;
        bool blueSymbols;
    };
    const QList<Row> rows{
        {"aplats", PlmRepresentation::aplats, false, false},
        {"proportional", PlmRepresentation::proportional, true, false},
        {"aplatsAndSymbols", PlmRepresentation::aplatsAndSymbols, false, true},
        {"twoSymbols", PlmRepresentation::twoSymbols, true, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Pane p(representationWork(row.representation), QSize(480, 380));
        const QImage image = renderPane(p, QStringLiteral("carte-") + QString::fromLatin1(row.name));
        if (const QByteArray dir = qgetenv("PELMORA_RENDER_DIR"); !dir.isEmpty()) {
            InspectorScroll* column = p.pane->inspectorScroll();
            column->resize(300, 1400);
            column->widget()->resize(300, 1400);
            column->widget()->grab().save(QDir(QString::fromLocal8Bit(dir))
                                              .filePath(QStringLiteral("inspector-") + QString::fromLatin1(row.name)
                                                        + QStringLiteral(".png")));
        }
        ASSERT_FALSE(image.isNull());
        EXPECT_EQ(countNear(image, symbolRed, 40) > 50, row.redSymbols);
        EXPECT_EQ(countNear(image, symbolBlue, 40) > 50, row.blueSymbols);
        EXPECT_FALSE(p.pane->canvas()->legend()->isHidden());
        EXPECT_EQ(p.pane->canvas()->secondLegend()->isHidden(), !hasSecondLayer(row.representation));
        const bool areas = showsAplats(row.representation);
        EXPECT_EQ(p.pane->mapView()->fillOverrides.isEmpty(), !areas);
    }
}

// --- The inspector's structure and the sections shown for a layout selection ---

#include "page/DecorationController.h"
#include "inspector/InspectorSection.h"

#include <QCheckBox>
#include <QLayout>
#include <QPushButton>

TEST(CartePane, TheInspectorColumnInOrder)
{
    Pane p(gridWork(2, {1, 2}));
    QStringList titles;
    QLayout* stack = p.pane->inspectorScroll()->stackLayout();
    for (int i = 0; i < stack->count(); ++i)
        if (auto* section = qobject_cast<InspectorSection*>(stack->itemAt(i)->widget()))
            titles.append(section->title());
    EXPECT_EQ(titles.mid(1, 4), (QStringList{"Représentation", "Apparence", "Couleurs des classes",
                                             "Bloc vectoriel du fond"}));
    CarteInspector& ui = *p.pane->inspector();
    EXPECT_EQ(ui.classes->itemText(0), QStringLiteral("1"));
    EXPECT_EQ(ui.classes->itemText(ui.classes->count() - 1), QStringLiteral("10"));
    EXPECT_EQ(ui.decimals->count(), 9);
    EXPECT_EQ(ui.representation->itemText(3), QStringLiteral("Deux séries de symboles"));
    EXPECT_EQ(ui.method->itemText(4), QStringLiteral("Moyenne / écarts-types"));
}

TEST(CartePane, ColoursAndTheirReset)
{
    PlmWork work = gridWork(4, {1, 2, 3, 4});
    work.thematic->variableID = QStringLiteral("pop");
    Pane p(work);
    CarteInspector& ui = *p.pane->inspector();
    ASSERT_FALSE(ui.classColorWells.isEmpty());
    ui.classColorWells.first()->setColor(QColor(10, 200, 30));
    emit ui.classColorWells.first()->colorChosen();
    EXPECT_EQ(p.document.undoName(), QStringLiteral("Couleur de la classe"));
    EXPECT_EQ(ui.palette->currentText(), QStringLiteral("Personnalisée"));
    EXPECT_TRUE(ui.resetClassColors->isEnabled());

    ui.resetClassColors->click();
    EXPECT_EQ(p.document.undoName(), QStringLiteral("Réinitialiser la palette"));
    EXPECT_FALSE(p.document.work().thematic->classColorOverrides.has_value());
    EXPECT_EQ(ui.palette->count(), 9);

    ui.inverse->click();
    EXPECT_EQ(p.document.undoName(), QStringLiteral("Changer les couleurs"));
    EXPECT_TRUE(p.document.work().thematic->inverted);
}

// A colour the person did not touch is stored back exactly, whatever the well can show.
TEST(CartePane, AColourChangeKeepsTheOtherColoursExactly)
{
    PlmWork work = gridWork(4, {1, 2, 3, 4});
    work.thematic->variableID = QStringLiteral("pop");
    const PlmColor missing{0.78, 0.78, 0.78, 1};
    work.thematic->missingColor = missing;
    Pane p(work);
    CarteInspector& ui = *p.pane->inspector();
    ui.inverse->click();
    choose(ui.palette, 2);
    EXPECT_EQ(p.document.undoSteps().size(), 2);
    EXPECT_EQ(p.document.work().thematic->missingColor, missing);
}

TEST(CartePane, ALayoutSelectionShowsItsSections)
{
    PlmWork work = gridWork(2, {1, 2});
    work.decoration = PlmDecoration();
    work.decoration->objects = {PlmDecorationObject(QStringLiteral("T1"), PlmDecorationKind::text)};
    Pane p(work);
    CarteInspector& ui = *p.pane->inspector();
    p.pane->decorationController()->select(QStringLiteral("T1"), false);
    EXPECT_TRUE(ui.representationSection->isHidden());
    EXPECT_TRUE(ui.classColorSection->isHidden());
    EXPECT_FALSE(ui.entityNames->isHidden());

    p.pane->decorationController()->select(QStringLiteral("legend"), false);
    EXPECT_FALSE(ui.representationSection->isHidden());
    EXPECT_TRUE(ui.entityNames->isHidden());
}

TEST(CartePane, PageAndNamesReachTheComposition)
{
    PlmWork work = gridWork(2, {1, 2});
    work.decoration.reset();
    Pane p(work);
    PlmPrintPage page;
    page.width = 210;
    page.height = 297;
    p.pane->canvas()->onPrintPageChange(page);
    EXPECT_EQ(p.document.undoName(), QStringLiteral("Position de la page"));
    EXPECT_EQ(p.pane->canvas()->printPage, page);

    p.document.undoLast();
    EXPECT_FALSE(p.document.work().decoration.has_value());
    p.pane->inspector()->entityNames->click();
    EXPECT_EQ(p.document.undoName(), QStringLiteral("Afficher les noms des entités"));
    EXPECT_EQ(p.document.work().decoration->showEntityNames, true);
    EXPECT_TRUE(p.pane->mapView()->showEntityNames);
    EXPECT_TRUE(p.pane->inspector()->entityNameSize->isEnabled());
}

TEST(CartePane, SelectingTheSecondLegendEditsTheSecondSeries)
{
    Pane p(symbolWork(PlmRepresentation::twoSymbols));
    p.pane->decorationController()->select(QStringLiteral("secondLegend"), false);
    EXPECT_TRUE(p.pane->editingSecondary);
    EXPECT_EQ(p.pane->inspector()->maximumSize->text(), QStringLiteral("45"));
    p.pane->decorationController()->select(QStringLiteral("legend"), false);
    EXPECT_FALSE(p.pane->editingSecondary);
    EXPECT_EQ(p.pane->inspector()->maximumSize->text(), QStringLiteral("30"));
}

#include <QApplication>

TEST(CartePane, PendingSizeIsStoredBeforeASaveOrRefusesIt)
{
    Pane p(symbolWork(PlmRepresentation::proportional));
    InspectorScroll* column = p.pane->inspectorScroll();
    column->show();
    QApplication::setActiveWindow(column);
    QLineEdit* field = p.pane->inspector()->maximumSize;
    field->setFocus();
    ASSERT_TRUE(field->hasFocus());

    const auto typeIn = [field](const char* text) {
        field->setFocus();
        field->selectAll();
        typeKeys(field, QString::fromUtf8(text));
    };
    typeIn("abc");
    EXPECT_FALSE(p.pane->commitPendingEdits());
    EXPECT_EQ(p.errors.size(), 1);
    EXPECT_TRUE(p.document.undoSteps().isEmpty());

    typeIn("50");
    EXPECT_TRUE(p.pane->commitPendingEdits());
    EXPECT_EQ(p.document.undoSteps().size(), 1);
    EXPECT_EQ(p.document.undoName(), QStringLiteral("Changer la taille des symboles"));
    EXPECT_EQ(p.document.work().thematic->proportional->maximumSize, 50);
    EXPECT_FALSE(field->hasFocus());

    // Typed, then the person went to another window: nothing is taken or refused meanwhile; the
    // text is still the field's edit, which a save refuses, then gives up once it was seen.
    typeIn("abc");
    QApplication::setActiveWindow(nullptr);
    ASSERT_FALSE(field->hasFocus());
    EXPECT_EQ(p.errors.size(), 1);
    EXPECT_FALSE(p.pane->commitPendingEdits());
    EXPECT_EQ(p.errors.size(), 2);
    EXPECT_EQ(field->text(), QStringLiteral("abc"));
    EXPECT_TRUE(p.pane->commitPendingEdits());
    EXPECT_EQ(field->text(), QStringLiteral("50"));
}

// A size typed is previewed on the map; refused, it gives the stored size back to the field and
// to the map.
TEST(CartePane, ARefusedSizeShowsTheStoredSizeAgain)
{
    Pane p(symbolWork(PlmRepresentation::proportional));
    p.showInWindow();
    QLineEdit* field = p.pane->inspector()->minimumSize;
    const QString shown = field->text();
    const auto smallest = [&p] {
        double size = 1e9;
        for (const ProportionalOverlay::Item& item : p.pane->canvas()->symbols()->items())
            size = std::min(size, item.size);
        return size;
    };
    const double stored = smallest();
    field->setFocus(Qt::MouseFocusReason);
    field->selectAll();
    typeKeys(field, QStringLiteral("20"));
    ASSERT_EQ(smallest(), 20) << "previewed as it is typed";
    typeKeys(field, QStringLiteral("x"));
    keyClick(field, Qt::Key_Return);
    EXPECT_EQ(p.errors, QStringList{QStringLiteral("Saisissez une taille positive en points.")});
    EXPECT_EQ(field->text(), shown);
    EXPECT_EQ(smallest(), stored);
    EXPECT_TRUE(p.document.undoSteps().isEmpty());
}

#include "canvas/SymbolPickerLauncher.h"

TEST(CartePane, TheSymbolCatalogueStoresTheChosenSymbolInTheSeriesEditedWhenItOpened)
{
    Pane p(symbolWork(PlmRepresentation::twoSymbols));
    QList<SymbolPickerLauncher::Request> requests;
    SymbolPickerLauncher::install([&requests](const SymbolPickerLauncher::Request& request) -> QWidget* {
        requests.append(request);
        return new QWidget;
    });

    // Choosing the SF Symbol kind opens the catalogue and stores nothing yet.
    p.pane->inspector()->symbolKind->setCurrentIndex(int(PlmSymbolKind::sfSymbol));
    p.pane->changeSymbolKind();
    ASSERT_EQ(requests.size(), 1);
    EXPECT_TRUE(bool(requests.first().svgCompletion)); // library symbols are offered
    EXPECT_TRUE(p.document.undoSteps().isEmpty());
    requests.first().completion(QStringLiteral("car.fill"));
    EXPECT_EQ(p.document.undoName(), QStringLiteral("Choisir un pictogramme"));
    const PlmProportionalSettings first = *p.document.work().thematic->proportional;
    EXPECT_EQ(first.kind, PlmSymbolKind::sfSymbol);
    EXPECT_EQ(first.sfSymbolName, QStringLiteral("car.fill"));
    EXPECT_EQ(first.sfConfiguration, PlmSFSymbolConfiguration::regularMediumMonochrome);

    // Opened for the second series, the choice goes there even when the pane moved on.
    p.pane->decorationController()->select(QStringLiteral("secondLegend"), false);
    p.pane->inspector()->chooseAsset->click();
    ASSERT_EQ(requests.size(), 2);
    p.pane->decorationController()->select(QStringLiteral("legend"), false);
    PlmMap symbol;
    symbol.name = QStringLiteral("phare");
    PlmVectorPath triangle;
    triangle.commands = {PlmPathCommand::move({0, 0}), PlmPathCommand::line({10, 0}), PlmPathCommand::line({5, 8}),
                         PlmPathCommand::close()};
    symbol.entities = PlmEntityList({PlmEntity(QStringLiteral("t"), QStringLiteral("t"), PlmGeometry::path(triangle),
                                               PlmStyle(PlmColor{0, 0, 0, 1}, PlmColor{1, 0, 0, 1}, 1, 3))});
    requests.last().svgCompletion(symbol, QStringLiteral("phare"));
    EXPECT_TRUE(p.errors.isEmpty()) << p.errors.join(u'\n').toStdString();
    EXPECT_EQ(p.document.undoName(), QStringLiteral("Choisir un symbole SVG"));
    const PlmProportionalSettings second = p.document.work().thematic->secondSymbols->symbols;
    EXPECT_EQ(second.kind, PlmSymbolKind::svg);
    EXPECT_EQ(second.svgVector, symbol);
    EXPECT_EQ(*p.document.work().thematic->proportional, first);
    SymbolPickerLauncher::install(nullptr);
}

#include "export/CarteExportPanel.h"

// The export command reaches the panel, which opens on the live page, and each later
// refresh of the pane reaches the open panel.
TEST(CartePane, TheExportCommandOpensThePanelAndRefreshesIt)
{
    Pane p(gridWork(2, {1, 2}));
    p.pane->view()->show();
    ASSERT_TRUE(p.pane->validate(QStringLiteral("exportCarte:"), nullptr).enabled);
    p.pane->perform(QStringLiteral("exportCarte:"), nullptr);
    CarteExportPanel* panel = p.pane->exportPanel();
    ASSERT_NE(panel, nullptr);
    ASSERT_NE(panel->window(), nullptr);
    EXPECT_TRUE(panel->window()->isVisible());
    // Opening stored the default page as one undoable step.
    EXPECT_EQ(p.document.undoName(), QStringLiteral("Définir la page d’impression"));
    ASSERT_TRUE(p.document.work().decoration && p.document.work().decoration->printPage);

    p.document.undoLast();
    EXPECT_EQ(panel->statusLabel()->text(), QStringLiteral("Aucune page définie."));
    EXPECT_FALSE(panel->exportButton()->isEnabled());
    panel->close();
}

#include "desktop/DialogHooks.h"
#include "support/WidgetKeys.h"

#include <functional>

namespace {

// Stored values that every field shows rounded: symbols of at most 60.0055… points whose
// smallest (for 2 against 16) shows 21,22, an opacity of 85,3 %, an outline of 1,23456 points;
// names of 12,5 points; the map block a little off its own scale; a text on the page of 12,54
// points at 10,26 points from the left.
PlmWork roundedWork()
{
    PlmWork work = gridWork(4, {2, 4, 9, 16});
    work.thematic->representation = PlmRepresentation::proportional;
    work.thematic->variableID = QStringLiteral("pop");
    PlmProportionalSettings symbols(PlmSymbolKind::circle, 60.005575633793036, PlmColor{0.8, 0.18, 0.16, 0.853});
    symbols.outline = PlmStyle(PlmColor{0, 0, 0, 1}, std::nullopt, 1.23456, 4);
    symbols.outlineVisible = true;
    work.thematic->proportional = symbols;
    work.decoration = PlmDecoration();
    work.decoration->showEntityNames = true;
    work.decoration->entityNameFontSize = 12.5;
    work.decoration->mapTransform = PlmTransform{1.00003, 0, 0, 0.99998, 0.4, 0.7};
    PlmDecorationObject text(QStringLiteral("T1"), PlmDecorationKind::text, QStringLiteral("Titre"), PlmPoint{10.26, 40});
    text.presentation.positionInPoints = true;
    text.presentation.fontSize = 12.54;
    work.decoration->objects = {text};
    return work;
}

// Three classes of equal intervals: thresholds the field shows are not typed ones.
PlmWork thresholdWork()
{
    PlmWork work = gridWork(4, {5, 15, 25, 36});
    work.thematic->variableID = QStringLiteral("pop");
    work.thematic->method = PlmClassificationMethod::equalIntervals;
    work.thematic->classCount = 3;
    return work;
}

QLineEdit* decorationField(Pane& p, const QString& label)
{
    p.pane->decorationController()->select(QStringLiteral("T1"), false);
    return qobject_cast<QLineEdit*>(p.pane->decorationController()->control(label));
}

} // namespace

// What a field shows once the person has left it is what is kept. A text refused as the person
// leaves the field stays where it was typed, its refusal presented once and the focus back in
// it; left again unchanged, it gives way to the stored value. Return on the text a field shows
// changes nothing, however the stored value was rounded to show it; a text refused on Return
// (its refusal presented once), then left by Tab or by a click on the page, gives way to the
// stored value; a save and a signal's end then name nothing and keep the work as it was.
TEST(CartePane, AFieldLeftShowsWhatIsKept)
{
    using Field = std::function<QLineEdit*(Pane&)>;
    struct Row {
        const char* name;
        PlmWork work;
        Field field;
        QString refusal; // the sentence presented, or none when the field beeps
        int beeps = 0;
        const char* typed = "abc";
        // The field gives the stored value back as the refusal is presented, rather than
        // keeping the text to correct.
        bool showsStored = false;
    };
    const QString symbolSize = QStringLiteral("Saisissez une taille positive en points.");
    const QString appearance = QStringLiteral("Opacité : 0 à 100 %. Épaisseur : nombre positif ou nul, en points.");
    const auto block = [](int i) {
        return [i](Pane& p) { return i < 0 ? p.pane->mapBlockEditor()->scaleField() : p.pane->mapBlockEditor()->fields()[i]; };
    };
    const QList<Row> rows{
        {"thresholds", thresholdWork(), [](Pane& p) { return p.pane->inspector()->thresholds; },
         QStringLiteral("Un seuil doit être un nombre. Séparez les seuils par ;.")},
        {"thresholds, a piece missing", thresholdWork(), [](Pane& p) { return p.pane->inspector()->thresholds; },
         QStringLiteral("Un seuil doit être un nombre. Séparez les seuils par ;."), 0, "10 ; ; 20"},
        {"thresholds, not increasing", thresholdWork(), [](Pane& p) { return p.pane->inspector()->thresholds; },
         QStringLiteral("Réglages de carte invalides : variable, classes, seuils ou couleurs."), 0, "20 ; 10"},
        {"thresholds, too many", thresholdWork(), [](Pane& p) { return p.pane->inspector()->thresholds; },
         QStringLiteral("Cette discrétisation attend 2 seuils, dans l’ordre strictement croissant."), 0, "10 ; 15 ; 20"},
        {"minimum size", roundedWork(), [](Pane& p) { return p.pane->inspector()->minimumSize; }, symbolSize, 0, "abc", true},
        {"maximum size", roundedWork(), [](Pane& p) { return p.pane->inspector()->maximumSize; }, symbolSize, 0, "abc", true},
        {"maximum size left blank", roundedWork(), [](Pane& p) { return p.pane->inspector()->maximumSize; }, symbolSize, 0, "",
         true},
        {"symbol opacity", roundedWork(), [](Pane& p) { return p.pane->inspector()->symbolOpacityValue; }, appearance},
        {"outline width", roundedWork(), [](Pane& p) { return p.pane->inspector()->symbolOutlineWidth; }, appearance},
        {"entity name size", roundedWork(), [](Pane& p) { return p.pane->inspector()->entityNameSize; },
         QStringLiteral("Taille de police incorrecte."), 0, "abc", true},
        {"entity name size out of range", roundedWork(), [](Pane& p) { return p.pane->inspector()->entityNameSize; },
         QStringLiteral("Taille de police incorrecte."), 0, "1001", true},
        {"block scale", roundedWork(), block(-1), {}},
        {"block x", roundedWork(), block(0), {}},
        {"block y", roundedWork(), block(1), {}},
        {"block width", roundedWork(), block(2), {}},
        {"block height", roundedWork(), block(3), {}},
        {"block angle", roundedWork(), block(4), {}},
        {"text size", roundedWork(), [](Pane& p) { return decorationField(p, QStringLiteral("Taille (pt)")); }, {}, 1},
        {"text x", roundedWork(), [](Pane& p) { return decorationField(p, QStringLiteral("X (pt)")); }, {}, 1},
        {"text size the work refuses", roundedWork(),
         [](Pane& p) { return decorationField(p, QStringLiteral("Taille (pt)")); },
         QStringLiteral("Présentation de texte incorrecte."), 0, "250"},
    };
    const std::pair<const char*, std::function<void(Pane&, QLineEdit*)>> leaves[] = {
        {"Tab", [](Pane&, QLineEdit* field) { keyClick(field, Qt::Key_Tab); }},
        {"a click on the page", [](Pane& p, QLineEdit*) { sendFocusingClick(p.pane->view(), QPoint(4, 4)); }},
    };
    for (const Row& row : rows) {
        for (const auto& [leaveName, leave] : leaves) {
            SCOPED_TRACE(std::string(row.name) + ", left by " + leaveName);
            Pane p(row.work);
            int beeps = 0;
            p.pane->decorationController()->beep = [&beeps] { ++beeps; };
            p.showInWindow();
            QLineEdit* field = row.field(p);
            ASSERT_TRUE(field && field->isVisible() && field->isEnabled());
            const PlmWork before = p.document.work();
            const QString shown = field->text();
            const QStringList refusal = row.refusal.isEmpty() ? QStringList() : QStringList{row.refusal};

            // Refused as it is left: kept, and left again, given up.
            field->setFocus(Qt::MouseFocusReason);
            field->selectAll();
            keyClick(field, Qt::Key_Delete);
            typeKeys(field, QString::fromUtf8(row.typed));
            leave(p, field);
            QCoreApplication::processEvents();
            EXPECT_EQ(p.errors, refusal);
            EXPECT_EQ(beeps, row.beeps);
            EXPECT_TRUE(p.document.work() == before);
            // A click on the page that let go of the text on it lets go of the text typed for it.
            if (row.showsStored) {
                EXPECT_FALSE(field->hasFocus()) << "the stored value given back at once";
            } else if (field->isVisible()) {
                EXPECT_EQ(field->text(), QString::fromUtf8(row.typed));
                EXPECT_TRUE(field->hasFocus()) << "the focus back where the text was typed";
                leave(p, field);
                QCoreApplication::processEvents();
                EXPECT_FALSE(field->hasFocus());
                EXPECT_EQ(p.errors, refusal) << "presented once";
            }
            field = row.field(p);
            EXPECT_EQ(field->text(), shown);
            p.errors.clear();
            beeps = 0;

            field->setFocus();
            keyClick(field, Qt::Key_Return);
            EXPECT_TRUE(p.document.undoSteps().isEmpty()) << "Return on " << shown.toStdString();

            field->setText(QString::fromUtf8(row.typed));
            keyClick(field, Qt::Key_Return);
            leave(p, field);
            ASSERT_FALSE(field->hasFocus());
            // A click on the page lets go of the text on it: its field shows it once selected again.
            EXPECT_EQ((field->isVisible() ? field : row.field(p))->text(), shown);
            EXPECT_EQ(p.errors, refusal);
            EXPECT_EQ(beeps, row.beeps);

            testing::internal::CaptureStderr();
            EXPECT_TRUE(p.commitAsTheStudio());
            DialogHooks::setUnattended(true);
            EXPECT_TRUE(p.commitAsTheStudio());
            DialogHooks::setUnattended(false);
            EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
            EXPECT_TRUE(p.document.undoSteps().isEmpty());
            EXPECT_TRUE(p.document.work() == before);
        }
    }
}

// An appearance control changes only what it names: the opacity and the outline width shown
// rounded beside it are not read back.
TEST(CartePane, AnAppearanceControlChangesOnlyWhatItNames)
{
    struct Row {
        const char* name;
        std::function<void(CarteInspector&)> use;
        std::function<void(PlmProportionalSettings&)> named;
    };
    const QList<Row> rows{
        {"outline hidden", [](CarteInspector& ui) { ui.symbolOutlineToggle->click(); },
         [](PlmProportionalSettings& s) { s.outlineVisible = false; }},
        {"automatic fill", [](CarteInspector& ui) { choose(ui.symbolFillMode, 0); },
         [](PlmProportionalSettings& s) {
             s.automaticColor = true;
             s.color = PlmColor{0.8, 0.18, 0.16, s.color.alpha};
         }},
        {"outline colour",
         [](CarteInspector& ui) {
             ui.symbolOutlineColor->setColor(QColor(0, 0, 255));
             emit ui.symbolOutlineColor->colorChosen();
         },
         [](PlmProportionalSettings& s) { s.outline->stroke = PlmColor{0, 0, 1, 1}; }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Pane p(roundedWork());
        PlmWork expected = p.document.work();
        row.named(*expected.thematic->proportional);
        row.use(*p.pane->inspector());
        EXPECT_EQ(p.document.undoSteps().size(), 1);
        EXPECT_TRUE(p.document.work() == expected);
    }
    // A change that names no control (a field's text, nothing at all) changes nothing: the
    // rounded opacity and width the fields show are never read back.
    Pane p(roundedWork());
    const PlmWork before = p.document.work();
    for (QObject* sender : std::initializer_list<QObject*>{nullptr, p.pane->inspector()->symbolOpacityValue,
                                                           p.pane->inspector()->symbolOutlineWidth})
        p.pane->applySymbolAppearance(sender);
    EXPECT_TRUE(p.document.undoSteps().isEmpty());
    EXPECT_TRUE(p.document.work() == before);
}

// « Seuils » only clicked follows the thresholds that a change of the data made elsewhere gives
// (a formula edited), and leaving it stores nothing: the thresholds stay automatic.
TEST(CartePane, ThresholdsOnlyClickedFollowAChangeMadeElsewhere)
{
    Pane p(thresholdWork());
    p.showInWindow();
    QLineEdit* field = p.pane->inspector()->thresholds;
    field->setFocus(Qt::MouseFocusReason);
    const QString before = field->text();
    p.document.updateWork(QStringLiteral("Modifier la formule"), [](PlmWork& work) {
        work.variables = {PlmWorkTest::numberVariable(QStringLiteral("pop"), QStringLiteral("Population"),
                                                      {{QStringLiteral("e0"), 15}, {QStringLiteral("e1"), 45},
                                                       {QStringLiteral("e2"), 75}, {QStringLiteral("e3"), 108}})};
    });
    EXPECT_NE(field->text(), before) << "the field shows the thresholds of the new data";
    keyClick(field, Qt::Key_Tab);
    QCoreApplication::processEvents();
    EXPECT_EQ(p.document.undoSteps().size(), 1);
    EXPECT_EQ(p.document.work().thematic->method, PlmClassificationMethod::equalIntervals);
}

// A field of the map block beeps at its own refusal; a save it stops says why in an alert, the
// text selected in the field. Seen, the refusal is given up by the next save.
TEST(CartePane, ASaveStoppedByAMapBlockFieldSaysWhyInAnAlert)
{
    QStringList alerted;
    DialogHooks::Hooks hooks;
    hooks.presentError = [&alerted](const QString& message, QWidget*) { alerted.append(message); };
    const DialogHooks::ScopedHooks scoped(hooks);
    Pane p(roundedWork());
    p.showInWindow();
    QLineEdit* x = p.pane->mapBlockEditor()->fields().at(0);
    const QString shown = x->text();
    x->setFocus(Qt::MouseFocusReason);
    x->selectAll();
    typeKeys(x, QStringLiteral("abc"));
    EXPECT_FALSE(p.commitAsTheStudio());
    EXPECT_EQ(alerted, QStringList{TypedField::notANumber()});
    EXPECT_TRUE(x->hasFocus());
    EXPECT_EQ(x->selectedText(), QStringLiteral("abc"));
    EXPECT_TRUE(p.commitAsTheStudio());
    EXPECT_EQ(x->text(), shown);
    EXPECT_TRUE(p.document.undoSteps().isEmpty());
}
