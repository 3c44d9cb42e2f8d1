#include "fond/FondWindowController.h"
#include "inspector/TypedField.h"

#include "fond/FondEntityCommands.h"
#include "inspector/FondInspectorColorWell.h"
#include "canvas/VectorCanvas.h"
#include "model/PlmErrors.h"
#include "desktop/CommandRouter.h"
#include "desktop/DialogHooks.h"
#include "support/CanvasEvents.h"
#include "support/CanvasTestMaps.h"
#include "support/FondTestDocument.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QScrollArea>
#include <QComboBox>
#include <QLineEdit>
#include <QVBoxLayout>

using namespace CanvasTestMaps;

namespace {

PlmWork sampleWork()
{
    PlmWork work;
    work.map = mapOf({squareEntity("A", 0, 0, 10, 10, PlmColor{1, 0, 0, 1}, 2), squareEntity("B", 20, 0, 30, 10),
                      locked(squareEntity("L", 40, 0, 50, 10)), pointEntity("P", 5, 40, 4),
                      hidden(squareEntity("H", 60, 0, 70, 10)),
                      groupEntity("G", {squareEntity("g1", 0, 60, 5, 65), squareEntity("g2", 5, 60, 10, 65),
                                        squareEntity("g3", 10, 60, 15, 65)})});
    work.map.name = QStringLiteral("Départements");
    QMap<QString, PlmValue> values{{"A", PlmValue::number(1)}, {"B", PlmValue::number(2)}};
    work.variables = {PlmVariable("pop", "Population", PlmVariableType::number, values, std::nullopt)};
    return work;
}

// The pane in a window, its inspector built, attached to a test document whose commits
// reload the pane as the studio window does.
struct Pane {
    explicit Pane(const PlmWork& work = sampleWork())
        : document(work)
        , pane(work.map)
    {
        window.resize(900, 700);
        auto* layout = new QVBoxLayout(&window);
        layout->addWidget(pane.view());
        layout->addWidget(pane.makeInspector());
        document.afterChange = [this] { pane.reloadFromDocument(); };
        pane.attach(document.link());
        DialogHooks::Hooks recording;
        recording.presentError = [this](const QString& message, QWidget*) { errors.append(message); };
        recording.colorPanel = [this](const QColor&, const QString&, QWidget*) { return nextColor; };
        hooks = std::make_unique<DialogHooks::ScopedHooks>(recording);
    }

    // The map view reports a click on the entity with this id (none: on nothing).
    void click(const std::optional<QString>& id)
    {
        const std::optional<int> index = id ? pane.entityIndex(*id) : std::nullopt;
        pane.canvas()->selectedIndex = index;
        pane.canvas()->onSelection(index);
    }

    void type(QLineEdit* field, const QString& text)
    {
        field->setFocus();
        field->setText(text);
        field->setModified(true);
        emit field->editingFinished();
    }

    const PlmEntity& entity(const QString& id) const
    {
        static PlmWork kept;
        kept = document.work();
        return kept.map.entities.at(kept.map.entities.indexOfId(id));
    }

    QWidget window;
    FondTestDocument document;
    FondWindowController pane;
    QStringList errors;
    std::optional<QColor> nextColor;
    std::unique_ptr<DialogHooks::ScopedHooks> hooks;
};

} // namespace

TEST(FondWindowControllerTest, ControlsCarryTheirIdentifiers)
{
    Pane p;
    QWidget* inspector = p.pane.inspector();
    for (const char* label : {"Nom", "Remplissage", "Contour", "Épaisseur", "Opacité (%)", "Taille du point"})
        EXPECT_TRUE(inspector->findChild<QWidget*>(QStringLiteral("Fond.") + QString::fromUtf8(label))) << label;
    EXPECT_EQ(p.pane.toolPicker()->count(), 9);
    EXPECT_EQ(p.pane.toolPicker()->itemText(3), "Polygone (double-clic pour terminer)");
    EXPECT_EQ(p.pane.grid()->text(), "Grille");
    EXPECT_EQ(p.pane.snap()->text(), "Magnétisme (20 unités)");
    EXPECT_TRUE(p.pane.canvas()->creationEnabled);
    EXPECT_EQ(p.pane.view()->toolTip(), FondWindowController::canvasToolTip());
}

TEST(FondWindowControllerTest, WithoutSelectionTheCreationStyleIsShown)
{
    Pane p;
    p.pane.canvas()->creationStyle = style({0, 0, 1, 1}, PlmColor{0, 1, 0, 0.5}, 3, 5);
    p.pane.refreshInspector();
    EXPECT_FALSE(p.pane.nameField()->isEnabled());
    EXPECT_EQ(p.pane.nameField()->text(), "");
    EXPECT_TRUE(p.pane.widthField()->isEnabled());
    EXPECT_TRUE(p.pane.fillWell()->isEnabled());
    EXPECT_EQ(p.pane.widthField()->text(), "3");
    EXPECT_EQ(p.pane.opacityField()->text(), "50");
    EXPECT_EQ(p.pane.fillWell()->color(), QColor::fromRgbF(0, 1, 0, 0.5));
    EXPECT_EQ(p.pane.studioDetails()->text(), "Départements\n\n6 entités");
    EXPECT_TRUE(p.pane.pointSizeRow()->isHidden());

    // A colour chosen with nothing selected styles the next drawn shape, with no undo step.
    p.nextColor = QColor(255, 0, 0);
    p.pane.fillWell()->click();
    EXPECT_EQ(p.pane.canvas()->creationStyle.fill, (PlmColor{1, 0, 0, 1}));
    EXPECT_TRUE(p.document.undoSteps().isEmpty());
}

TEST(FondWindowControllerTest, SelectingShowsTheEntityAndRenamingIsOneStep)
{
    Pane p;
    p.click(QStringLiteral("A"));
    EXPECT_EQ(p.document.selectedEntityID(), QStringLiteral("A"));
    EXPECT_EQ(p.pane.nameField()->text(), "A");
    EXPECT_TRUE(p.pane.nameField()->isEnabled());
    EXPECT_EQ(p.pane.widthField()->text(), "2");
    EXPECT_EQ(p.pane.studioDetails()->text(), "A\n\nIdentifiant : A\n1 objet vectoriel");

    p.type(p.pane.nameField(), QStringLiteral("  Ain \n"));
    ASSERT_EQ(p.document.undoSteps().size(), 1);
    EXPECT_EQ(p.document.undoName(), "Renommer l’entité");
    EXPECT_EQ(p.entity("A").name, "Ain");
    EXPECT_EQ(p.pane.map().entities.at(0).name, "Ain"); // reloaded
    EXPECT_EQ(p.pane.canvas()->selectedIndex, 0);

    // An empty name is not applied: the field shows the stored name again.
    p.type(p.pane.nameField(), QStringLiteral("   "));
    EXPECT_EQ(p.document.undoSteps().size(), 1);
    EXPECT_EQ(p.pane.nameField()->text(), "Ain");
}

TEST(FondWindowControllerTest, StyleFieldsEditTheSelectionInOneStep)
{
    Pane p;
    p.click(QStringLiteral("A"));
    p.type(p.pane.opacityField(), QStringLiteral("50"));
    ASSERT_EQ(p.document.undoSteps().size(), 1);
    EXPECT_EQ(p.document.undoName(), "Style des entités");
    EXPECT_DOUBLE_EQ(p.entity("A").style.stroke.alpha, 0.5);
    EXPECT_DOUBLE_EQ(p.entity("A").style.fill->alpha, 0.5);
    EXPECT_EQ(p.pane.opacityField()->text(), "50");

    // Refused, the text stays for the person to correct; given up, the stored value shows again.
    p.type(p.pane.opacityField(), QStringLiteral("150"));
    EXPECT_EQ(p.document.undoSteps().size(), 1);
    EXPECT_EQ(p.pane.opacityField()->text(), "150");
    TypedField::of(p.pane.opacityField())->discard();
    EXPECT_EQ(p.pane.opacityField()->text(), "50");

    // A field left unchanged commits nothing.
    p.pane.widthField()->setModified(false);
    emit p.pane.widthField()->editingFinished();
    EXPECT_EQ(p.document.undoSteps().size(), 1);

    p.nextColor = QColor(0, 0, 255);
    p.pane.strokeWell()->click();
    EXPECT_EQ(p.document.undoSteps().size(), 2);
    EXPECT_EQ(p.entity("A").style.stroke, (PlmColor{0, 0, 1, 1}));
    EXPECT_EQ(p.entity("B").style.stroke, (PlmColor{0, 0, 0, 1}));
}

TEST(FondWindowControllerTest, LockedEntityShowsDetailsButCannotBeEdited)
{
    Pane p;
    p.click(QStringLiteral("L"));
    EXPECT_FALSE(p.pane.nameField()->isEnabled());
    for (QWidget* control : std::initializer_list<QWidget*>{p.pane.fillWell(), p.pane.strokeWell(),
                                                            p.pane.widthField(), p.pane.opacityField()})
        EXPECT_FALSE(control->isEnabled());
    EXPECT_EQ(p.pane.studioDetails()->text(), "L\n\nIdentifiant : L\n1 objet vectoriel");
    // Even through the command, a locked entity keeps its style.
    p.pane.opacityField()->setText(QStringLiteral("10"));
    p.pane.commitStyle(p.pane.opacityField());
    EXPECT_EQ(p.entity("L").style, sampleWork().map.entities.at(2).style);
}

TEST(FondWindowControllerTest, GroupDetailsAndThePointSizeRow)
{
    Pane p;
    p.click(QStringLiteral("G"));
    EXPECT_EQ(p.pane.studioDetails()->text(), "G\n\nIdentifiant : G\n3 objets vectoriels");
    EXPECT_TRUE(p.pane.pointSizeRow()->isHidden());

    p.click(QStringLiteral("P"));
    EXPECT_FALSE(p.pane.pointSizeRow()->isHidden());
    EXPECT_EQ(p.pane.pointSizeField()->text(), "8");
    p.type(p.pane.pointSizeField(), QStringLiteral("12"));
    EXPECT_DOUBLE_EQ(p.entity("P").style.pointRadius, 6);
    p.type(p.pane.pointSizeField(), QStringLiteral("0"));
    p.type(p.pane.pointSizeField(), QStringLiteral("2500"));
    EXPECT_DOUBLE_EQ(p.entity("P").style.pointRadius, 6);
    EXPECT_EQ(p.document.undoSteps().size(), 1);

    p.click(std::nullopt);
    EXPECT_TRUE(p.pane.pointSizeRow()->isHidden());
    p.pane.toolPicker()->setCurrentIndex(int(VectorCanvas::DrawingTool::point));
    p.pane.changeTool();
    EXPECT_EQ(p.pane.canvas()->drawingTool(), VectorCanvas::DrawingTool::point);
    p.pane.refreshInspector();
    EXPECT_FALSE(p.pane.pointSizeRow()->isHidden());
}

TEST(FondWindowControllerTest, CanvasEditsBecomeOneUndoableUpdate)
{
    Pane p;
    PlmEntity a = p.pane.map().entities.at(0);
    PlmEntity b = p.pane.map().entities.at(1);
    a.translate(3, 3);
    b.translate(3, 3);
    p.pane.canvas()->onCreationEdit({{0, a}, {1, b}}, QStringLiteral("Modifier les entités"));
    ASSERT_EQ(p.document.undoSteps().size(), 1);
    EXPECT_EQ(p.document.undoName(), "Modifier les entités");
    EXPECT_EQ(p.entity("A"), a);
    EXPECT_EQ(p.entity("B"), b);
    EXPECT_EQ(p.pane.canvas()->map().entities.at(0), a);

    PlmEntity moved = a;
    moved.translate(1, 0);
    p.pane.canvas()->onEntityEdit(0, moved, QStringLiteral("Déplacer l’entité"));
    EXPECT_EQ(p.document.undoName(), "Déplacer l’entité");
    EXPECT_EQ(p.entity("A"), moved);
}

TEST(FondWindowControllerTest, RefusedUpdateReloadsAndShowsTheMessage)
{
    Pane p;
    p.document.refuse = [](const PlmWork&) { throw PlmWorkError(QStringLiteral("La carte n’est pas valide.")); };
    PlmEntity a = p.pane.map().entities.at(0);
    a.translate(3, 3);
    // The view shows its live change until the pane reloads.
    p.pane.canvas()->setMap(PlmMap(p.pane.map().name, {a}, {}));
    p.pane.canvas()->onEntityEdit(0, a, QStringLiteral("Déplacer l’entité"));
    EXPECT_EQ(p.errors, QStringList({"La carte n’est pas valide."}));
    EXPECT_TRUE(p.document.undoSteps().isEmpty());
    EXPECT_EQ(p.pane.canvas()->map(), sampleWork().map);
}

TEST(FondWindowControllerTest, CreatingThenUndoingClearsTheSelection)
{
    Pane p;
    p.pane.canvas()->setDrawingTool(VectorCanvas::DrawingTool::rectangle);
    PlmPolygon square;
    square.exterior = rect(100, 100, 110, 110);
    p.pane.canvas()->onCreate(PlmGeometry::polygon(square), QStringLiteral("Rectangle"));
    ASSERT_EQ(p.document.undoSteps().size(), 1);
    EXPECT_EQ(p.document.undoName(), "Créer une entité");
    const PlmWork created = p.document.work();
    EXPECT_EQ(created.map.entities.size(), 7);
    EXPECT_EQ(created.map.metadata.value("studio.authored"), "true");
    EXPECT_EQ(p.document.selectedEntityID(), created.map.entities.last().id);
    EXPECT_EQ(p.pane.canvas()->drawingTool(), VectorCanvas::DrawingTool::selection);
    p.pane.reloadFromDocument();
    EXPECT_EQ(p.pane.canvas()->selectedIndex, 6);
    EXPECT_EQ(p.pane.nameField()->text(), "Rectangle");

    p.pane.undo();
    EXPECT_EQ(p.document.work().map.entities.size(), 6);
    EXPECT_EQ(p.pane.canvas()->selectedIndex, std::nullopt);
    EXPECT_EQ(p.pane.studioDetails()->text(), "Départements\n\n6 entités");
}

TEST(FondWindowControllerTest, BeginPlacingArmsThePointTool)
{
    Pane p;
    p.click(QStringLiteral("A"));
    p.pane.canvas()->creationStyle.pointRadius = 4;
    const PlmPointSymbol symbol(QStringLiteral("star.fill"), std::nullopt);
    p.pane.beginPlacing(symbol);
    EXPECT_TRUE(p.document.selectedEntityIDs().isEmpty());
    EXPECT_EQ(p.pane.canvas()->pendingPointSymbol, symbol);
    EXPECT_EQ(p.pane.canvas()->creationStyle.pointRadius, 16);
    EXPECT_EQ(p.pane.canvas()->drawingTool(), VectorCanvas::DrawingTool::point);
    p.pane.canvas()->creationStyle.pointRadius = 7;
    p.pane.beginPlacing(symbol);
    EXPECT_EQ(p.pane.canvas()->creationStyle.pointRadius, 7);

    p.pane.canvas()->onCreate(PlmGeometry::point({3, 3}), QStringLiteral("star.fill"));
    const PlmEntity& placed = p.document.work().map.entities.last();
    EXPECT_EQ(placed.pointSymbol, symbol);
    EXPECT_EQ(placed.attributes.value("studio.point.units"), "map");
}

TEST(FondWindowControllerTest, GroupThenUngroupRestoresTheWork)
{
    Pane p;
    const PlmWork original = p.document.work();
    p.document.select({"A"}, QStringLiteral("A"));
    p.pane.perform(QStringLiteral("groupEntities:"), nullptr);
    EXPECT_TRUE(p.document.undoSteps().isEmpty()); // one entity: nothing to group

    p.document.select({"A", "B", "L"}, QStringLiteral("A"));
    p.pane.perform(QStringLiteral("groupEntities:"), nullptr);
    ASSERT_EQ(p.document.undoSteps().size(), 1);
    EXPECT_EQ(p.document.undoName(), "Grouper les entités");
    const QString group = p.entity("A").attributes.value(FondEntityCommands::creationGroupKey());
    EXPECT_FALSE(group.isEmpty());
    EXPECT_EQ(p.entity("B").attributes.value(FondEntityCommands::creationGroupKey()), group);
    EXPECT_FALSE(p.entity("L").attributes.contains(FondEntityCommands::creationGroupKey()));
    EXPECT_EQ(p.document.selectedEntityIDs(), QSet<QString>({"A", "B", "L"}));

    p.pane.perform(QStringLiteral("ungroupEntities:"), nullptr);
    EXPECT_EQ(p.document.undoName(), "Dégrouper les entités");
    EXPECT_EQ(p.document.work(), original);
}

TEST(FondWindowControllerTest, DuplicateSelectsTheCopies)
{
    Pane p;
    p.document.select({"A"}, QStringLiteral("A"));
    p.pane.perform(QStringLiteral("groupEntities:"), nullptr); // one id: nothing
    p.document.select({"A", "G"}, QStringLiteral("A"));
    p.pane.perform(QStringLiteral("groupEntities:"), nullptr);
    p.pane.perform(QStringLiteral("duplicate:"), nullptr);
    EXPECT_EQ(p.document.undoName(), "Dupliquer les entités");
    const PlmWork work = p.document.work();
    ASSERT_EQ(work.map.entities.size(), 8);
    const QString copyA = work.map.entities.at(6).id;
    const QString copyG = work.map.entities.at(7).id;
    EXPECT_EQ(p.document.selectedEntityIDs(), QSet<QString>({copyA, copyG}));
    EXPECT_EQ(p.document.selectedEntityID(), std::min(copyA, copyG));
    EXPECT_FALSE(work.map.entities.at(7).attributes.contains(FondEntityCommands::creationGroupKey()));
    EXPECT_EQ(work.variables[0].values.value(copyA), PlmValue::number(1));
}

TEST(FondWindowControllerTest, DeleteSkipsLockedEmptiesTheSelectionAndUndoesInOneStep)
{
    Pane p;
    const PlmWork original = p.document.work();
    p.document.select({"A", "L"}, QStringLiteral("A"));
    p.click(QStringLiteral("A"));
    p.document.select({"A", "L"}, QStringLiteral("A"));
    p.pane.canvas()->onCreationCommand(QStringLiteral("delete"));
    ASSERT_EQ(p.document.undoSteps().size(), 1);
    EXPECT_EQ(p.document.undoName(), "Supprimer les entités");
    const PlmWork work = p.document.work();
    EXPECT_EQ(work.map.entities.indexOfId("A"), -1);
    EXPECT_GE(work.map.entities.indexOfId("L"), 0);
    EXPECT_FALSE(work.variables[0].values.contains("A"));
    EXPECT_TRUE(p.document.selectedEntityIDs().isEmpty());
    EXPECT_EQ(p.pane.canvas()->selectedIndex, std::nullopt);

    p.pane.undo();
    EXPECT_EQ(p.document.work(), original);

    // Only locked entities selected: nothing at all.
    p.document.select({"L"}, QStringLiteral("L"));
    p.pane.deleteSelectedEntities();
    EXPECT_TRUE(p.document.undoSteps().isEmpty());
    EXPECT_FALSE(p.pane.validate(QStringLiteral("delete:"), nullptr).enabled);
    // Other canvas words are ignored.
    p.document.select({"A"}, QStringLiteral("A"));
    p.pane.canvas()->onCreationCommand(QStringLiteral("cut"));
    EXPECT_TRUE(p.document.undoSteps().isEmpty());
}

TEST(FondWindowControllerTest, SelectAllLeavesHiddenEntitiesOut)
{
    Pane p;
    ASSERT_TRUE(p.pane.handles(QStringLiteral("selectAll:")));
    p.pane.perform(QStringLiteral("selectAll:"), nullptr);
    EXPECT_EQ(p.document.selectedEntityIDs(), QSet<QString>({"A", "B", "L", "P", "G"}));
    EXPECT_EQ(p.document.selectedEntityID(), QStringLiteral("A"));
    EXPECT_TRUE(p.document.undoSteps().isEmpty());
}

TEST(FondWindowControllerTest, WithoutDocumentNothingIsUpdated)
{
    FondWindowController pane(sampleWork().map);
    pane.makeInspector();
    PlmEntity a = pane.map().entities.at(0);
    a.translate(1, 1);
    pane.canvas()->onEntityEdit(0, a, QStringLiteral("Déplacer l’entité"));
    pane.deleteSelectedEntities();
    pane.undo();
    EXPECT_EQ(pane.map(), sampleWork().map);
    EXPECT_FALSE(pane.validate(QStringLiteral("duplicate:"), nullptr).enabled);
    // A reader-only document is read, never written.
    PlmWork other = sampleWork();
    other.map.name = QStringLiteral("Autre");
    pane.attach([other]() -> std::optional<PlmWork> { return other; });
    EXPECT_EQ(pane.map().name, "Autre");
    EXPECT_EQ(pane.studioDetails()->text(), "Autre\n\n6 entités");
}

TEST(FondWindowControllerTest, GridBoxesDriveTheView)
{
    Pane p;
    p.pane.grid()->click();
    EXPECT_TRUE(p.pane.canvas()->showsGrid);
    EXPECT_FALSE(p.pane.canvas()->snapsToGrid);
    p.pane.snap()->click();
    EXPECT_TRUE(p.pane.canvas()->snapsToGrid);
}

TEST(FondWindowControllerTest, AnswersItsCommandsThroughTheRouter)
{
    Pane p;
    CommandRouter router;
    router.attach(p.pane.view(), &p.pane, &p.pane);
    router.attach(p.pane.inspector(), &p.pane, &p.pane);
    router.setStartWidget(p.pane.nameField());
    EXPECT_EQ(router.target(QStringLiteral("duplicate:")), static_cast<CommandResponder*>(&p.pane));
    // Undo stays with the window, which names the step in its menu.
    EXPECT_EQ(router.target(QStringLiteral("undo:")), nullptr);
    EXPECT_EQ(router.target(QStringLiteral("addToLibrary:")), nullptr);
    EXPECT_FALSE(router.validate(QStringLiteral("groupEntities:")).enabled);

    router.setStartWidget(p.pane.view());
    EXPECT_TRUE(router.perform(QStringLiteral("selectAll:")));
    EXPECT_EQ(p.document.selectedEntityIDs().size(), 5);
    EXPECT_TRUE(router.validate(QStringLiteral("groupEntities:")).enabled);
    EXPECT_TRUE(router.perform(QStringLiteral("groupEntities:")));
    EXPECT_EQ(p.document.undoName(), "Grouper les entités");

    PlmMap given;
    p.pane.onAddToLibrary = [&given](const PlmMap& map) { given = map; };
    EXPECT_TRUE(router.perform(QStringLiteral("addToLibrary:")));
    EXPECT_EQ(given, p.document.work().map);
}

TEST(FondWindowControllerTest, DraggingTwoSelectedEntitiesIsOneStep)
{
    Pane p;
    // The studio window's part: the document's selection goes back to the map view.
    p.document.afterChange = [&p] { p.pane.reloadFromDocument(); };
    ViewHost& host = *static_cast<ViewHost*>(p.pane.view());
    host.resize(200, 200);
    VectorCanvas* view = p.pane.canvas();
    view->setFrame(QRectF(0, 0, 200, 200));
    view->fitted = true;
    view->tracksFit = false;
    view->setScale(1);
    view->setOffset(QPointF(0, 0));

    CanvasEvents::click(host, {5, 5});
    view->creationSelection = p.document.selectedEntityIDs();
    EXPECT_EQ(p.document.selectedEntityID(), QStringLiteral("A"));
    CanvasEvents::click(host, {25, 5}, Qt::ShiftModifier);
    view->creationSelection = p.document.selectedEntityIDs();
    ASSERT_EQ(p.document.selectedEntityIDs(), QSet<QString>({"A", "B"}));

    CanvasEvents::dragFromTo(host, {5, 5}, {15, 15});
    ASSERT_EQ(p.document.undoSteps().size(), 1);
    EXPECT_EQ(p.document.undoName(), "Modifier les entités");
    const PlmWork work = p.document.work();
    const PlmWork original = sampleWork();
    EXPECT_NE(work.map.entities.at(0), original.map.entities.at(0));
    EXPECT_NE(work.map.entities.at(1), original.map.entities.at(1));
    EXPECT_EQ(work.map.entities.at(2), original.map.entities.at(2));
    EXPECT_EQ(view->map(), work.map);
}

TEST(FondWindowControllerTest, TheInspectorFitsItsColumn)
{
    // The studio's inspector column is 320 points wide: no row of the pane's inspector may
    // reach past its right edge, the long tool titles included.
    Pane fixture;
    auto* scroll = qobject_cast<QScrollArea*>(fixture.pane.makeInspector());
    ASSERT_NE(scroll, nullptr);
    QWidget column;
    column.resize(320, 900);
    auto* layout = new QVBoxLayout(&column);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(scroll);
    column.show();
    fixture.click(QStringLiteral("P")); // the point size row is shown too
    QApplication::processEvents();
    QApplication::processEvents();

    const int width = scroll->viewport()->width();
    EXPECT_EQ(scroll->widget()->width(), width);
    QStringList overflowing;
    for (QWidget* child : scroll->widget()->findChildren<QWidget*>()) {
        if (!child->isVisible())
            continue;
        const QRect inColumn(child->mapTo(scroll->viewport(), QPoint(0, 0)), child->size());
        if (inColumn.right() >= width)
            overflowing << QString::fromLatin1(child->metaObject()->className()) + ' ' + child->objectName();
    }
    EXPECT_EQ(overflowing, QStringList());

    // The picker keeps every title whole in its menu and on its selection.
    auto* picker = scroll->widget()->findChild<QComboBox*>();
    ASSERT_NE(picker, nullptr);
    EXPECT_LE(picker->mapTo(scroll->viewport(), QPoint(picker->width(), 0)).x(), width);
    EXPECT_EQ(picker->itemText(4), QStringLiteral("Tracé libre par sommets (double-clic pour terminer)"));
}
