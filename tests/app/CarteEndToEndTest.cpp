#include "support/StudioWindowTestSupport.h"

#include "app/StudioWindowCommands.h"
#include "canvas/VectorCanvas.h"
#include "page/CarteCompositionHost.h"
#include "page/CarteBlockHandles.h"
#include "page/CarteMapBlockEditor.h"
#include "page/MapScaleSlider.h"
#include "page/DecorationController.h"
#include "page/DecorationObjectView.h"
#include "page/ThematicCanvas.h"
#include "page/ThematicLegend.h"
#include "export/CarteExportPanel.h"
#include "carte/CarteInspector.h"
#include "carte/CarteWindowController.h"
#include "support/CanvasEvents.h"
#include "support/CanvasTestMaps.h"
#include "support/PlmWorkTestSupport.h"
#include "support/WidgetInput.h"
#include "support/WidgetKeys.h"

#include "page/DecorationTextEditor.h"
#include "support/KeptRenders.h"
#include "support/TestFiles.h"

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>

// A geographer's session in Carte, through the studio window opened as the application opens
// it: a work with grouped areas and two number variables, classified, decorated, saved,
// reopened and exported. PELMORA_KEEP_RENDERS=<folder> keeps the window's pictures and files.
namespace {

// A 6 × 6 grid of squares; the squares of the last row are stored two by two as groups.
PlmWork groupedWork()
{
    PlmEntityList entities;
    QList<std::pair<QString, double>> population, density;
    for (int row = 0; row < 5; ++row)
        for (int col = 0; col < 6; ++col) {
            const QString id = QStringLiteral("c%1%2").arg(row).arg(col);
            entities.append(CanvasTestMaps::squareEntity(id, col * 10, row * 10, col * 10 + 9, row * 10 + 9,
                                                         PlmColor{0.85, 0.85, 0.85, 1}, 0.5));
            population.append({id, double(10 + row * 6 + col) * 1000});
            density.append({id, double((row * 7 + col * 3) % 11) + 0.5});
        }
    for (int g = 0; g < 3; ++g) {
        const QString id = QStringLiteral("g%1").arg(g);
        PlmEntityList members;
        for (int k = 0; k < 2; ++k) {
            const int col = g * 2 + k;
            members.append(CanvasTestMaps::squareEntity(QStringLiteral("g%1m%2").arg(g).arg(k), col * 10, 50,
                                                        col * 10 + 9, 59, PlmColor{0.85, 0.85, 0.85, 1}, 0.5));
        }
        entities.append(PlmEntity(id, QStringLiteral("Groupe %1").arg(g), PlmGeometry::group(members),
                                  CanvasTestMaps::style({0, 0, 0, 1}, PlmColor{0.85, 0.85, 0.85, 1}, 0.5)));
        population.append({id, double(60 + g * 20) * 1000});
        density.append({id, double(g * 4) + 1});
    }
    PlmWork work;
    work.map = CanvasTestMaps::mapOf(entities);
    work.map.name = QStringLiteral("Grille");
    work.variables = {PlmWorkTest::numberVariable(QStringLiteral("pop"), QStringLiteral("Population"), population),
                      PlmWorkTest::numberVariable(QStringLiteral("dens"), QStringLiteral("Densité"), density)};
    return work;
}

} // namespace

class CarteEndToEndTest : public StudioWindowFixture {
protected:
    void shoot(const QString& name)
    {
        QApplication::processEvents();
        if (!KeptRenders::folder().isEmpty())
            KeptRenders::keep(name + QStringLiteral(".png"), window->window()->grab().toImage());
    }
    // As the application opens a work: the studio window comes from the document's factory.
    void openAsTheApplication(const PlmWork& work)
    {
        StudioWindowCommands::install();
        document = std::make_unique<PlmWorkDocument>();
        document->setWork(work);
        document->makeWindowControllers();
        window = dynamic_cast<StudioWindowCommands*>(document->studioWindow());
        ASSERT_TRUE(window);
    }
    void show()
    {
        window->window()->resize(1500, 950);
        window->window()->show();
        QApplication::processEvents();
    }
};

TEST_F(CarteEndToEndTest, AClassifiedDecoratedMapIsSavedReopenedAndExported)
{
    openAsTheApplication(groupedWork());
    show();
    ASSERT_TRUE(window->switchMode(StudioWindowController::Mode::carte, true));
    CarteWindowController& carte = *window->carte();
    CarteInspector& ui = *carte.inspector();
    auto* host = dynamic_cast<ViewHost*>(carte.view());
    ASSERT_TRUE(host);
    shoot(QStringLiteral("00-carte"));

    // Representations, classifications and a palette, each one step; all undone and redone.
    const PlmWork created = work();
    choose(ui.variable, 2);
    EXPECT_EQ(undoName(), QStringLiteral("Changer la variable de carte"));
    choose(ui.variable, 1);
    for (int i = 0; i < ui.representation->count(); ++i) {
        choose(ui.representation, i);
        shoot(QStringLiteral("02-representation-%1").arg(i));
    }
    // Proportional symbols: each grouped area gets one, at its first member's anchor.
    choose(ui.representation, 1);
    QStringList symbolIDs;
    for (const auto& item : carte.overlay[0].items)
        symbolIDs.append(item.id);
    EXPECT_EQ(symbolIDs.size(), 33);
    EXPECT_TRUE(symbolIDs.contains(QStringLiteral("g1")));
    // A symbol dragged with the mouse keeps its place, as one step.
    VectorCanvas& map = *carte.mapView();
    const QPointF symbol = map.convertToRoot(map.viewPoint(QPointF(24.5, 24.5)));
    CanvasEvents::press(*host, symbol);
    CanvasEvents::drag(*host, symbol + QPointF(6, 0));
    CanvasEvents::drag(*host, symbol + QPointF(12, 0));
    CanvasEvents::release(*host, symbol + QPointF(12, 0));
    EXPECT_EQ(undoName(), QStringLiteral("Déplacer le symbole"));
    ASSERT_TRUE(work().thematic->proportional->manualPositions.contains(QStringLiteral("c22")));
    EXPECT_GT(work().thematic->proportional->manualPositions.value(QStringLiteral("c22")).x, 24.5);
    shoot(QStringLiteral("02-symbol-moved"));
    choose(ui.representation, 0);
    for (int i = 0; i < ui.method->count(); ++i) {
        choose(ui.method, i);
        shoot(QStringLiteral("03-method-%1").arg(i));
    }
    choose(ui.palette, 3);
    choose(ui.method, 0);  // "Seuils manuels", four classes
    choose(ui.classes, ui.classes->findText(QStringLiteral("5")));
    type(ui.thresholds, QStringLiteral("20000 ; 40000 ; 60000 ; 80000"));
    EXPECT_EQ(undoName(), QStringLiteral("Saisir les seuils"));
    EXPECT_EQ(work().thematic->thresholds, (QList<double>{20000, 40000, 60000, 80000}));
    shoot(QStringLiteral("04-thresholds"));
    const PlmWork classified = work();
    int steps = 0;
    while (document->undoStack()->canUndo()) {
        document->undoStack()->undo();
        ++steps;
    }
    EXPECT_EQ(work().thematic, std::nullopt);
    EXPECT_EQ(ui.variable->currentText(), QStringLiteral("Choisir une variable…"));
    shoot(QStringLiteral("05-undone"));
    for (int i = 0; i < steps; ++i)
        document->undoStack()->redo();
    EXPECT_EQ(work().thematic, classified.thematic);
    EXPECT_EQ(ui.variable->currentText(), QStringLiteral("Population"));

    // "Ajouter de l’habillage": fifteen kinds; images and symbols wait for a file or a choice,
    // the scale bar and north arrow need a geographic base map.
    QMenu* menu = window->makeAddDecorationMenu();
    ASSERT_EQ(menu->actions().size(), 15);
    for (QAction* action : menu->actions())
        if (action->isEnabled())
            action->trigger();
    DecorationController& decorations = *carte.decorationController();
    EXPECT_EQ(decorations.objectViews().size(), 10);
    shoot(QStringLiteral("07-decorations"));

    // The title edited in place, then dragged with the mouse.
    QString titleID;
    for (DecorationObjectView* v : decorations.objectViews())
        if (v->object.kind == PlmDecorationKind::title)
            titleID = v->object.id;
    ASSERT_FALSE(titleID.isEmpty());
    decorations.select(titleID, false);
    decorations.beginTextEdit();
    ASSERT_TRUE(decorations.editor());
    decorations.editor()->setPlainText(QStringLiteral("Population des communes"));
    decorations.textDidChange();
    decorations.commitTextEdit();
    EXPECT_EQ(undoName(), QStringLiteral("Modifier le texte"));
    DecorationObjectView* title = decorations.objectView(titleID);
    EXPECT_EQ(title->object.text, QStringLiteral("Population des communes"));
    const QRectF before = title->frame();
    const QPointF grip = title->convertToRoot(QPointF(before.width() - 40, before.height() / 2));
    CanvasEvents::press(*host, grip);
    CanvasEvents::drag(*host, grip + QPointF(10, -10));
    CanvasEvents::drag(*host, grip + QPointF(20, -20));
    CanvasEvents::release(*host, grip + QPointF(20, -20));
    EXPECT_EQ(undoName(), QStringLiteral("Déplacer / redimensionner Titre"));
    EXPECT_LT(decorations.objectView(titleID)->frame().top(), before.top());

    // Copy, paste, delete.
    const qsizetype objects = decorations.objectViews().size();
    decorations.select(titleID, false);
    decorations.performClipboardCommand(QStringLiteral("copy"));
    decorations.performClipboardCommand(QStringLiteral("paste"));
    EXPECT_EQ(decorations.objectViews().size(), objects + 1);
    decorations.deleteSelection();
    EXPECT_EQ(undoName(), QStringLiteral("Supprimer l’habillage"));
    EXPECT_EQ(decorations.objectViews().size(), objects);
    shoot(QStringLiteral("08-title"));

    // Saved and reopened in another studio window: the same composition.
    const PlmWork beforeSave = work();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("grille.plm"));
    QString error;
    ASSERT_TRUE(document->saveToFile(path, PlmWorkDocument::plmType, Document::SaveOperation::SaveAs, &error))
        << error.toStdString();
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    PlmWorkDocument reopened;
    reopened.decodeDocument(file.readAll(), PlmWorkDocument::plmType);
    const PlmWork back = reopened.work();
    ASSERT_TRUE(back.decoration);
    EXPECT_EQ(back.decoration->objects, beforeSave.decoration->objects);
    EXPECT_EQ(back.thematic, beforeSave.thematic);
    ASSERT_TRUE(back.decoration->viewport);
    ASSERT_TRUE(back.decoration->compositionSize);
    const QRectF page = carte.canvas()->bounds();
    EXPECT_EQ(*back.decoration->compositionSize, (PlmPoint{page.width(), page.height()}));
    reopened.makeWindowControllers();
    auto* second = dynamic_cast<StudioWindowCommands*>(reopened.studioWindow());
    ASSERT_TRUE(second);
    second->window()->resize(1500, 950);
    second->window()->show();
    ASSERT_TRUE(second->switchMode(StudioWindowController::Mode::carte, false));
    QApplication::processEvents();
    if (!KeptRenders::folder().isEmpty())
        KeptRenders::keep(QStringLiteral("09-reopened.png"), second->window()->grab().toImage());
    PlmWork shownAgain = reopened.work();
    second->storeComposition(shownAgain);
    EXPECT_EQ(shownAgain.decoration->viewport, back.decoration->viewport);
    EXPECT_EQ(second->carte()->canvas()->bounds(), page);
    EXPECT_EQ(second->carte()->decorationController()->objectViews().size(), objects);
    reopened.close();

    // The four formats from "Exporter la carte…", the save dialog answered.
    QTemporaryDir out;
    DialogHooks::Hooks exportHooks = makeHooks();
    exportHooks.savePanel = [&out](const DialogHooks::SavePanelRequest& r) -> std::optional<DialogHooks::SavePanelResult> {
        return DialogHooks::SavePanelResult{out.filePath(r.suggestedName + QLatin1Char('.') + r.types.first().extensions.first()),
                                            r.types.first().identifier};
    };
    QList<DialogHooks::Alert> sheets;
    exportHooks.sheet = [&sheets](const DialogHooks::Alert& a, std::function<void(int)> done) {
        sheets << a;
        done(0);
    };
    DialogHooks::ScopedHooks scopedExport(exportHooks);
    for (const QString& format : {QStringLiteral("PNG"), QStringLiteral("JPEG"), QStringLiteral("PDF"), QStringLiteral("SVG")}) {
        ASSERT_TRUE(window->performCommand(QStringLiteral("exportCarte:"))) << format.toStdString();
        CarteExportPanel* panel = carte.exportPanel();
        ASSERT_TRUE(panel);
        choose(panel->formatPopup(), panel->formatPopup()->findText(format));
        panel->exportButton()->click();
        QApplication::processEvents();
    }
    EXPECT_TRUE(sheets.isEmpty());
    EXPECT_TRUE(errors.isEmpty()) << errors.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(QImage(out.filePath(QStringLiteral("Grille.png"))).size(), QSize(3508, 2480));
    EXPECT_EQ(QImage(out.filePath(QStringLiteral("Grille.jpg"))).size(), QSize(3508, 2480));
    QFile pdf(out.filePath(QStringLiteral("Grille.pdf"))), svg(out.filePath(QStringLiteral("Grille.svg")));
    ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
    EXPECT_TRUE(pdf.readAll().startsWith("%PDF"));
    ASSERT_TRUE(svg.open(QIODevice::ReadOnly));
    EXPECT_TRUE(svg.readAll().contains("Population des communes"));
    shoot(QStringLiteral("11-after-export"));
    for (const QString& name : QDir(out.path()).entryList(QDir::Files))
        KeptRenders::keep(name, fileBytes(out.filePath(name)));

    // Every step undone: the work as the map was created.
    while (document->undoStack()->canUndo())
        document->undoStack()->undo();
    EXPECT_EQ(work().decoration.value_or(PlmDecoration()).objects, created.decoration.value_or(PlmDecoration()).objects);
    EXPECT_EQ(work().thematic, std::nullopt);
}

// The map block's scale slider, dragged in the studio's pane, stores one undo step.
TEST_F(CarteEndToEndTest, AMapBlockSliderDragIsOneUndoStep)
{
    openAsTheApplication(groupedWork());
    show();
    ASSERT_TRUE(window->switchMode(StudioWindowController::Mode::carte, true));
    QApplication::processEvents();  // the pane is laid out in the window: the page exists
    CarteMapBlockEditor& editor = *window->carte()->mapBlockEditor();
    editor.overlay()->setSelected(true);
    editor.refresh();
    const int before = document->undoStack()->count();
    editor.scaleSlider()->onTracking(true);
    editor.slideScale(120);
    editor.slideScale(140);
    editor.slideScale(160);
    editor.scaleSlider()->onTracking(false);
    EXPECT_EQ(document->undoStack()->count(), before + 1);
    EXPECT_EQ(undoName(), QStringLiteral("Transformer le bloc vectoriel"));
}

// A refused threshold list shows its error once; the person then saves and undoes as usual,
// the refused text being given up.
TEST_F(CarteEndToEndTest, ARefusedEntryStopsNoLaterSaveOrUndo)
{
    PlmWork start = groupedWork();
    start.thematic = PlmThematicSettings();
    start.thematic->variableID = QStringLiteral("pop");
    start.thematic->method = PlmClassificationMethod::manual;
    start.thematic->classCount = 3;
    start.thematic->thresholds = {20000, 40000};
    openAsTheApplication(start);
    show();
    ASSERT_TRUE(window->switchMode(StudioWindowController::Mode::carte, true));
    CarteInspector& ui = *window->carte()->inspector();
    choose(ui.palette, 3);
    const PlmPalette chosen = work().thematic->palette;
    const QString refusal = QStringLiteral("Cette discrétisation attend 2 seuils, dans l’ordre strictement croissant.");
    const auto refuse = [&] {
        QApplication::setActiveWindow(window->window());
        ui.thresholds->setFocus();
        ui.thresholds->setText(QStringLiteral("10"));
        keyClick(ui.thresholds, Qt::Key_Return);
    };

    refuse();
    EXPECT_EQ(errors, QStringList{refusal});
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("grille.plm"));
    document->setFilePath(path);
    document->setFileType(PlmWorkDocument::plmType);
    EXPECT_TRUE(document->saveDocument());
    EXPECT_TRUE(QFile::exists(path));
    EXPECT_EQ(ui.thresholds->text(), QStringLiteral("20000 ; 40000"));

    refuse();
    EXPECT_EQ(errors, (QStringList{refusal, refusal}));
    ASSERT_TRUE(window->performCommand(QStringLiteral("undo:")));
    EXPECT_NE(work().thematic->palette, chosen);
    EXPECT_EQ(errors.size(), 2);
}

// A zoom shows the page closer or further; going to Fond and back then changes neither the
// map block, the page to be saved nor the undo history.
TEST_F(CarteEndToEndTest, ZoomingAndSwitchingModesLeaveThePageAsItIs)
{
    openAsTheApplication(groupedWork());
    show();
    ASSERT_TRUE(window->switchMode(StudioWindowController::Mode::carte, true));
    QApplication::processEvents();
    const QList<QLineEdit*>& fields = window->carte()->mapBlockEditor()->fields();
    const auto block = [&] { return QStringList{fields[0]->text(), fields[2]->text()}; };
    const QStringList placed = block();
    const QString step = undoName();
    PlmWork before = work();
    window->storeComposition(before);

    ASSERT_TRUE(window->performCommand(QStringLiteral("zoomOut:")));
    ASSERT_TRUE(window->switchMode(StudioWindowController::Mode::fond, false));
    QApplication::processEvents();
    ASSERT_TRUE(window->switchMode(StudioWindowController::Mode::carte, false));
    QApplication::processEvents();
    EXPECT_EQ(block(), placed);
    EXPECT_EQ(undoName(), step);
    PlmWork after = work();
    window->storeComposition(after);
    EXPECT_EQ(after, before);
}
