#include "app/PlmWorkDocument.h"
#include "app/StudioSplit.h"
#include "app/StudioWindowController.h"
#include "fond/FondWindowController.h"
#include "canvas/VectorCanvas.h"
#include "support/WidgetInput.h"
#include "data/DataTableModel.h"
#include "data/DataWindowController.h"
#include "inspector/InspectorScroll.h"
#include "carte/CarteWindowController.h"
#include "desktop/DialogHooks.h"
#include "platform/UserDefaults.h"
#include "desktop/ViewHost.h"

#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QTableView>
#include <QToolBar>
#include <QTreeView>
#include <QToolButton>
#include <QUndoStack>
#include <QKeyEvent>
#include <QMouseEvent>
#include <gtest/gtest.h>
#include <functional>
#include <memory>
#include <ostream>

namespace {

PlmEntity square(const QString& id, double x, double y)
{
    PlmPolygon polygon;
    polygon.exterior = {{x, y}, {x + 10, y}, {x + 10, y + 10}, {x, y + 10}};
    return PlmEntity(id, QStringLiteral("Zone ") + id, PlmGeometry::polygon(polygon),
                     PlmStyle(PlmColor{0, 0, 0, 1}, PlmColor{1, 0, 0, 1}, 1, 3));
}

PlmVariable variable(const QString& id, PlmVariableType type, QMap<QString, PlmValue> values = {})
{
    return PlmVariable(id, id.toUpper(), type, values, std::nullopt);
}

// Twelve squares in a row and three variables, one of them numeric.
PlmWork sampleWork()
{
    PlmWork work;
    work.map.name = QStringLiteral("Régions");
    for (int i = 0; i < 12; ++i)
        work.map.entities.append(square(QStringLiteral("E%1").arg(i, 2, 10, QLatin1Char('0')), i * 12, 0));
    work.variables = {variable("nom", PlmVariableType::text, {{"E00", PlmValue::text("Nord")}}),
                      variable("pop", PlmVariableType::number, {{"E00", PlmValue::number(2)}, {"E01", PlmValue::number(4)}}),
                      variable("note", PlmVariableType::text)};
    return work;
}

class StudioWindowControllerTest : public ::testing::Test {
protected:
    StudioWindowController* open(const PlmWork& work)
    {
        document = std::make_unique<PlmWorkDocument>();
        document->setWork(work);
        auto* controller = new StudioWindowController(document.get());
        document->addWindowController(controller);
        return controller;
    }

    static QWidget* onlyChild(QWidget* host)
    {
        const auto children = host->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
        return children.size() == 1 ? children.first() : nullptr;
    }

    UserDefaults::TemporaryScope scope;
    std::unique_ptr<PlmWorkDocument> document;
};

} // namespace

TEST_F(StudioWindowControllerTest, ModeValues)
{
    EXPECT_EQ(StudioWindowController::modeFromRaw(0), StudioWindowController::Mode::fond);
    EXPECT_EQ(StudioWindowController::modeFromRaw(2), StudioWindowController::Mode::carte);
    EXPECT_FALSE(StudioWindowController::modeFromRaw(1));
    EXPECT_FALSE(StudioWindowController::modeFromRaw(3));
    EXPECT_EQ(StudioWindowController::allModes().size(), 2);
}

TEST_F(StudioWindowControllerTest, UntitledWorkIsTitledAfterItsMap)
{
    StudioWindowController* controller = open(sampleWork());
    EXPECT_EQ(controller->windowTitleForDocumentDisplayName(document->displayName()), QStringLiteral("Studio — Régions"));
    EXPECT_TRUE(controller->window()->windowTitle().startsWith(QStringLiteral("Studio — Régions")));
    document->setDisplayName(QStringLiteral("Atlas 2024"));
    EXPECT_TRUE(controller->window()->windowTitle().startsWith(QStringLiteral("Studio — Atlas 2024")));
    EXPECT_EQ(controller->window()->minimumSize(), QSize(1100, 680));
}

TEST_F(StudioWindowControllerTest, OpensInFondModeUnlessCarteWasStored)
{
    for (const QVariant& stored : {QVariant(), QVariant(1), QVariant(3), QVariant(2)}) {
        if (stored.isValid())
            UserDefaults::setValue(StudioWindowController::modeKey, stored);
        else
            UserDefaults::remove(StudioWindowController::modeKey);
        StudioWindowController* controller = open(sampleWork());
        const bool carte = stored == QVariant(2);
        EXPECT_EQ(controller->mode, carte ? StudioWindowController::Mode::carte : StudioWindowController::Mode::fond)
            << stored.toString().toStdString();
        EXPECT_EQ(onlyChild(controller->canvasHost), carte ? controller->carteContent : controller->fondContent);
        EXPECT_EQ(onlyChild(controller->inspectorBody),
                  carte ? static_cast<QWidget*>(controller->carte()->inspectorScroll()) : controller->fondInspector);
        EXPECT_FALSE(document->work().thematic) << "restoring the mode creates no Carte";
        EXPECT_EQ(UserDefaults::integerValue(StudioWindowController::modeKey, -1), carte ? 2 : 0);
        EXPECT_EQ(controller->modeItems.value(StudioWindowController::Mode::carte)->isChecked(), carte);
        EXPECT_EQ(controller->modeItems.value(StudioWindowController::Mode::fond)->isChecked(), !carte);
    }
}

TEST_F(StudioWindowControllerTest, TheCarteButtonCreatesTheCarte)
{
    StudioWindowController* controller = open(sampleWork());
    QToolButton* carteButton = controller->modeItems.value(StudioWindowController::Mode::carte);
    ASSERT_NE(carteButton, nullptr);
    carteButton->click();
    EXPECT_EQ(controller->mode, StudioWindowController::Mode::carte);
    ASSERT_TRUE(document->work().thematic);
    EXPECT_EQ(document->undoStack()->undoText(), QStringLiteral("Créer la carte"));

    QToolButton other;
    other.setProperty("tag", 1); // no mode has the raw value 1
    EXPECT_TRUE(controller->performCommand(QStringLiteral("changeMode:"), &other));
    EXPECT_EQ(controller->mode, StudioWindowController::Mode::carte);
    controller->modeItems.value(StudioWindowController::Mode::fond)->click();
    EXPECT_EQ(controller->mode, StudioWindowController::Mode::fond);
    EXPECT_EQ(onlyChild(controller->canvasHost), controller->fondContent);
}

TEST_F(StudioWindowControllerTest, TheCartePaneIsMadeOnItsFirstVisitAndShowsEditsMadeMeanwhile)
{
    StudioWindowController* controller = open(sampleWork());
    EXPECT_EQ(controller->loadedCarte(), nullptr); // a work shown in Fond builds no composition
    const auto rename = [this](const QString& name) {
        document->updateWork(QStringLiteral("Renommer"), [&name](PlmWork& w) { w.map.entities.edit(0).name = name; });
    };
    const auto shownName = [controller] { return controller->loadedCarte()->mapView()->map().entities.at(0).name; };
    rename(QStringLiteral("Avant"));
    ASSERT_TRUE(controller->switchMode(StudioWindowController::Mode::carte, true));
    ASSERT_NE(controller->loadedCarte(), nullptr);
    EXPECT_EQ(onlyChild(controller->canvasHost), controller->carteContent);
    EXPECT_EQ(shownName(), QStringLiteral("Avant"));
    // Hidden again, it is left alone by the refreshes and catches up when shown.
    ASSERT_TRUE(controller->switchMode(StudioWindowController::Mode::fond, false));
    rename(QStringLiteral("Pendant"));
    EXPECT_EQ(shownName(), QStringLiteral("Avant"));
    ASSERT_TRUE(controller->switchMode(StudioWindowController::Mode::carte, false));
    EXPECT_EQ(shownName(), QStringLiteral("Pendant"));
    rename(QStringLiteral("Après"));
    EXPECT_EQ(shownName(), QStringLiteral("Après"));
}

TEST_F(StudioWindowControllerTest, BottomTabRestoredFromTheDefaults)
{
    UserDefaults::setValue(StudioWindowController::tabKey, 2);
    StudioWindowController* controller = open(sampleWork());
    EXPECT_EQ(controller->bottomTab, 2);
    EXPECT_EQ(onlyChild(controller->bottomBody), controller->statisticsScroll);
    EXPECT_EQ(controller->bottomBody->layout()->contentsMargins(), QMargins(16, 16, 16, 16));
    EXPECT_TRUE(controller->tabs->button(2)->isChecked());

    EXPECT_TRUE(controller->selectTab(1));
    EXPECT_EQ(onlyChild(controller->bottomBody), controller->previewView);
    EXPECT_EQ(controller->bottomBody->layout()->contentsMargins(), QMargins(0, 0, 0, 0));
    EXPECT_EQ(UserDefaults::integerValue(StudioWindowController::tabKey, -1), 1);

    EXPECT_FALSE(controller->selectTab(3));
    EXPECT_EQ(controller->bottomTab, 1);
    EXPECT_TRUE(controller->tabs->button(1)->isChecked());

    controller->tabs->button(0)->click();
    EXPECT_EQ(controller->bottomTab, 0);
    EXPECT_EQ(onlyChild(controller->bottomBody), controller->dataContent);
}

TEST_F(StudioWindowControllerTest, AStoredTabThatDoesNotExistShowsTheDataTable)
{
    for (const QVariant& stored : {QVariant(7), QVariant(-1), QVariant(qint64(1) << 32)}) {
        UserDefaults::setValue(StudioWindowController::tabKey, stored);
        StudioWindowController* controller = open(sampleWork());
        EXPECT_EQ(controller->bottomTab, 0) << stored.toString().toStdString();
        EXPECT_EQ(onlyChild(controller->bottomBody), controller->dataContent) << stored.toString().toStdString();
        EXPECT_TRUE(controller->tabs->button(0)->isChecked());
        EXPECT_EQ(UserDefaults::integerValue(StudioWindowController::tabKey, -1), 0);
    }
}

TEST_F(StudioWindowControllerTest, ARefusedCarteKeepsTheFondButtonOn)
{
    QStringList errors;
    DialogHooks::Hooks hooks;
    hooks.presentError = [&errors](const QString& message, QWidget*) { errors << message; };
    DialogHooks::ScopedHooks scoped(hooks);
    // Two entities share an id: creating the Carte is refused by the work's check.
    PlmWork invalid = sampleWork();
    invalid.map.entities.append(square(QStringLiteral("E00"), 200, 0));
    StudioWindowController* controller = open(invalid);
    QToolButton* carteButton = controller->modeItems.value(StudioWindowController::Mode::carte);
    QToolButton* fondButton = controller->modeItems.value(StudioWindowController::Mode::fond);
    carteButton->click();
    ASSERT_EQ(errors.size(), 1);
    EXPECT_EQ(controller->mode, StudioWindowController::Mode::fond);
    EXPECT_FALSE(document->work().thematic);
    EXPECT_FALSE(carteButton->isChecked()) << "the button shows the mode the window is in";
    EXPECT_TRUE(fondButton->isChecked());
    EXPECT_EQ(onlyChild(controller->canvasHost), controller->fondContent);

    // Clicking the current mode's button leaves it on.
    fondButton->click();
    EXPECT_TRUE(fondButton->isChecked());
    EXPECT_EQ(controller->mode, StudioWindowController::Mode::fond);
}

TEST_F(StudioWindowControllerTest, APrintFormatGroupMadeAgainSendsEachChoiceOnce)
{
    StudioWindowController* controller = open(sampleWork());
    int choices = 0;
    controller->registerCommand(QStringLiteral("changePrintFormat:"), {[&choices](QObject*) { ++choices; }, {}});
    std::unique_ptr<QWidget> again(controller->makeToolbarItem(QStringLiteral("Studio.PrintFormat")));
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(controller->printFormat->count(), 3);
    again->show();
    controller->printFormat->setFocus();
    QKeyEvent down(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
    QApplication::sendEvent(controller->printFormat, &down);
    EXPECT_EQ(controller->printFormat->currentIndex(), 1);
    EXPECT_EQ(choices, 1);

    // The group made again took the controls with it; the next one makes them anew.
    again.reset();
    EXPECT_TRUE(controller->printFormat.isNull());
    again.reset(controller->makeToolbarItem(QStringLiteral("Studio.PrintFormat")));
    ASSERT_FALSE(controller->printFormat.isNull());
    EXPECT_TRUE(again->isAncestorOf(controller->printFormat));
    EXPECT_EQ(controller->printFormat->count(), 3);
    again->show();
    controller->printFormat->setFocus();
    QApplication::sendEvent(controller->printFormat, &down);
    EXPECT_EQ(choices, 2);
}

namespace {

// What is gone of the print format group before the window makes the group again: the whole
// group made last (the controls with it), or one control alone, its group keeping the others.
struct GoneControls {
    const char* name;
    std::function<void(StudioWindowController&, std::unique_ptr<QWidget>& group)> remove;
};

void PrintTo(const GoneControls& row, std::ostream* out) { *out << row.name; }

class StudioWindowPrintFormatGroupTest : public StudioWindowControllerTest,
                                         public testing::WithParamInterface<GoneControls> {};

} // namespace

TEST_P(StudioWindowPrintFormatGroupTest, TheGroupMadeAgainHasAllItsControlsWorking)
{
    StudioWindowController* controller = open(sampleWork());
    QStringList sent;
    const auto recorded = [controller, &sent](const QString& command) {
        return StudioWindowController::Command{[controller, &sent, command](QObject* sender) {
                                                   const QString from =
                                                       sender == controller->printFormat    ? QStringLiteral("format")
                                                       : sender == controller->printWidth  ? QStringLiteral("width")
                                                       : sender == controller->printHeight ? QStringLiteral("height")
                                                                                           : QStringLiteral("other");
                                                   sent.append(command + QLatin1Char(' ') + from);
                                               },
                                               {}};
    };
    for (const QString& command : {QStringLiteral("changePrintFormat:"), QStringLiteral("controlTextDidEndEditing:")})
        controller->registerCommand(command, recorded(command));
    std::unique_ptr<QWidget> group(controller->makeToolbarItem(QStringLiteral("Studio.PrintFormat")));
    GetParam().remove(*controller, group);

    std::unique_ptr<QWidget> again(controller->makeToolbarItem(QStringLiteral("Studio.PrintFormat")));
    for (QWidget* control : {static_cast<QWidget*>(controller->printFormat), static_cast<QWidget*>(controller->printWidth),
                             static_cast<QWidget*>(controller->printHeight)}) {
        ASSERT_NE(control, nullptr);
        EXPECT_TRUE(again->isAncestorOf(control)) << control->objectName().toStdString();
    }
    QStringList formats;
    for (int i = 0; i < controller->printFormat->count(); ++i)
        formats.append(controller->printFormat->itemText(i));
    EXPECT_EQ(formats, (QStringList{QStringLiteral("A4"), QStringLiteral("A3"), QStringLiteral("Personnalisée")}));
    EXPECT_EQ(controller->printWidth->text(), QStringLiteral("297,0"));
    EXPECT_EQ(controller->printHeight->text(), QStringLiteral("210,0"));

    choose(controller->printFormat, 1);
    type(controller->printWidth, QStringLiteral("300"));
    type(controller->printHeight, QStringLiteral("200"));
    EXPECT_EQ(sent, (QStringList{QStringLiteral("changePrintFormat: format"),
                                 QStringLiteral("controlTextDidEndEditing: width"),
                                 QStringLiteral("controlTextDidEndEditing: height")}));
}

INSTANTIATE_TEST_SUITE_P(
    Gone, StudioWindowPrintFormatGroupTest,
    testing::Values(
        GoneControls{"WholeGroup", [](StudioWindowController&, std::unique_ptr<QWidget>& group) { group.reset(); }},
        GoneControls{"FormatOnly", [](StudioWindowController& c, std::unique_ptr<QWidget>&) { delete c.printFormat.data(); }},
        GoneControls{"WidthOnly", [](StudioWindowController& c, std::unique_ptr<QWidget>&) { delete c.printWidth.data(); }},
        GoneControls{"HeightOnly", [](StudioWindowController& c, std::unique_ptr<QWidget>&) { delete c.printHeight.data(); }}),
    [](const testing::TestParamInfo<GoneControls>& info) { return std::string(info.param.name); });

TEST_F(StudioWindowControllerTest, ToolbarOffersTheTwentyOneItemsByIdentifier)
{
    StudioWindowController* controller = open(sampleWork());
    const QStringList& identifiers = StudioWindowController::toolbarItemIdentifiers();
    ASSERT_EQ(identifiers.size(), 21);
    EXPECT_EQ(identifiers.first(), QStringLiteral("Studio.Brand"));
    EXPECT_EQ(identifiers.last(), StudioWindowController::flexibleSpaceIdentifier);
    EXPECT_EQ(QSet<QString>(identifiers.begin(), identifiers.end()).size(), 21);
    for (const QString& identifier : identifiers) {
        QWidget* item = controller->toolbar->findChild<QWidget*>(identifier);
        ASSERT_NE(item, nullptr) << identifier.toStdString();
        if (identifier != StudioWindowController::flexibleSpaceIdentifier && identifier != "Studio.Brand"
            && !identifier.startsWith("Studio.Separator.")) {
            EXPECT_EQ(item->height(), 36) << identifier.toStdString();
        }
    }
    QWidget* separator = controller->toolbar->findChild<QWidget*>("Studio.Separator.Zoom");
    EXPECT_EQ(separator->property("toolbarLabel").toString(), QString());
    EXPECT_EQ(separator->size(), QSize(12, 36));
    EXPECT_EQ(controller->toolbar->findChild<QWidget*>("Studio.Brand")->property("toolbarLabel").toString(), "Studio");
    EXPECT_EQ(controller->toolbar->findChild<QWidget*>("Studio.Export")->toolTip(), QStringLiteral("Exporter"));
    EXPECT_EQ(controller->makeToolbarItem(QStringLiteral("Studio.Unknown")), nullptr);
    // Each identifier names one widget of the whole window.
    for (const QString& identifier : identifiers)
        EXPECT_EQ(controller->window()->findChildren<QWidget*>(identifier).size(), 1) << identifier.toStdString();

    ASSERT_NE(controller->printFormat, nullptr);
    EXPECT_EQ(controller->printFormat->count(), 3);
    EXPECT_EQ(controller->printFormat->itemText(2), QStringLiteral("Personnalisée"));
}

TEST_F(StudioWindowControllerTest, PanelButtonsToggleTheSplitPanes)
{
    StudioWindowController* controller = open(sampleWork());
    auto* left = controller->toolbar->findChild<QWidget*>("Studio.Left")->findChild<QToolButton*>();
    ASSERT_NE(left, nullptr);
    ASSERT_TRUE(left->isEnabled());
    left->click();
    EXPECT_TRUE(controller->horizontal->isPanelHidden(0));
    EXPECT_TRUE(UserDefaults::boolValue("Studio.Columns.Hidden.0"));
    EXPECT_EQ(controller->validate(QStringLiteral("toggleObjects:"), nullptr).checked, std::optional<bool>(false));

    // A command the plain window does not answer leaves its button disabled.
    auto* exportButton = controller->toolbar->findChild<QWidget*>("Studio.Export")->findChild<QToolButton*>();
    EXPECT_FALSE(exportButton->isEnabled());

    auto* expand = controller->window()->findChild<QToolButton*>("Studio.ExpandBottom");
    ASSERT_NE(expand, nullptr);
    expand->click();
    EXPECT_TRUE(controller->vertical->isExpanded());
}

TEST_F(StudioWindowControllerTest, AColumnWidthDraggedInOneWindowOpensTheNext)
{
    StudioWindowController* controller = open(sampleWork());
    QWidget* window = controller->window();
    window->resize(1536, 940);
    window->show();
    QApplication::processEvents();
    StudioSplit* columns = controller->horizontal;
    ASSERT_EQ(columns->pane(0)->width(), 240);
    QWidget* handle = columns->findChild<QWidget*>(QStringLiteral("StudioSplit.Divider.0"));
    ASSERT_TRUE(handle && handle->isVisible());
    const QPoint grip = handle->rect().center();
    sendMouse(handle, QEvent::MouseButtonPress, grip);
    sendMouse(handle, QEvent::MouseMove, grip + QPoint(45, 0));
    sendMouse(handle, QEvent::MouseButtonRelease, grip + QPoint(45, 0));
    EXPECT_EQ(columns->pane(0)->width(), 285);
    EXPECT_DOUBLE_EQ(UserDefaults::doubleValue(QStringLiteral("Studio.Columns.Size.0"), 0), 285);
    // The inspector hidden from the toolbar stays hidden in the next window.
    controller->toolbar->findChild<QWidget*>("Studio.Right")->findChild<QToolButton*>()->click();
    EXPECT_TRUE(columns->pane(2)->isHidden());

    PlmWorkDocument second;
    second.setWork(sampleWork());
    auto* next = new StudioWindowController(&second);
    second.addWindowController(next);
    next->window()->resize(1536, 940);
    next->window()->show();
    QApplication::processEvents();
    EXPECT_EQ(next->horizontal->pane(0)->width(), 285);
    EXPECT_TRUE(next->horizontal->pane(2)->isHidden());
    EXPECT_EQ(next->horizontal->pane(1)->geometry().right() + 1, next->horizontal->width());
}

TEST_F(StudioWindowControllerTest, EmbedReplacesTheHostContentUnlessItIsAlreadyThere)
{
    QWidget host;
    auto* first = new QLabel(QStringLiteral("un"));
    StudioWindowController::embed(first, &host, 16);
    EXPECT_EQ(first->parentWidget(), &host);
    QLayout* layout = host.layout();
    ASSERT_NE(layout, nullptr);
    EXPECT_EQ(layout->contentsMargins(), QMargins(16, 16, 16, 16));

    StudioWindowController::embed(first, &host, 0); // already the only view: untouched
    EXPECT_EQ(host.layout(), layout);
    EXPECT_EQ(host.layout()->contentsMargins(), QMargins(16, 16, 16, 16));

    std::unique_ptr<QLabel> second(new QLabel(QStringLiteral("deux")));
    StudioWindowController::embed(second.get(), &host, 4);
    EXPECT_EQ(first->parentWidget(), nullptr);
    std::unique_ptr<QLabel> released(first);
    EXPECT_EQ(second->parentWidget(), &host);
    host.resize(100, 50);
    host.show();
    EXPECT_EQ(second->geometry(), QRect(4, 4, 92, 42));
    second->setParent(nullptr);
}

TEST_F(StudioWindowControllerTest, StatusLineCountsEntitiesVariablesAndSelectedRows)
{
    StudioWindowController* controller = open(sampleWork());
    EXPECT_EQ(controller->status->text(), QStringLiteral("12 entités · 3 variables"));
    document->select(QSet<QString>{"E03", "E07"}, QStringLiteral("E03"));
    EXPECT_EQ(controller->status->text(), QStringLiteral("12 entités · 3 variables · 2 sélectionnées"));
    EXPECT_EQ(controller->data->selectedEntityIDs(), (QList<QString>{"E03", "E07"}));
    EXPECT_EQ(controller->fond->canvas()->creationSelection, (QSet<QString>{"E03", "E07"}));
    QStringList outlineSelection;
    for (const QModelIndex& index : controller->objects->selectionModel()->selectedRows())
        outlineSelection << index.data().toString();
    outlineSelection.sort();
    EXPECT_EQ(outlineSelection, (QStringList{"Zone E03", "Zone E07"}));
    document->select(QStringLiteral("E05"));
    EXPECT_EQ(controller->status->text(), QStringLiteral("12 entités · 3 variables · 1 sélectionnée"));

    // A row chosen in the table becomes the document's selection.
    QTableView* table = controller->data->table();
    table->selectRow(9);
    EXPECT_EQ(document->selectedEntityID(), std::optional<QString>("E09"));
}

TEST_F(StudioWindowControllerTest, NeighbouringSelectedEntitiesAreOneRangeInTheOutlineAndTheTable)
{
    StudioWindowController* controller = open(sampleWork());
    document->select(QSet<QString>{"E02", "E03", "E04", "E05", "E09"}, QStringLiteral("E02"));
    QStringList outlineSelection;
    for (const QModelIndex& index : controller->objects->selectionModel()->selectedRows())
        outlineSelection << index.data().toString();
    outlineSelection.sort();
    EXPECT_EQ(outlineSelection, (QStringList{"Zone E02", "Zone E03", "Zone E04", "Zone E05", "Zone E09"}));
    // Ranges, not rows: selecting a whole large map must not compare every row with every other.
    EXPECT_EQ(controller->objects->selectionModel()->selection().size(), 2);
    EXPECT_EQ(controller->data->table()->selectionModel()->selection().size(), 2);
    EXPECT_EQ(controller->status->text(), QStringLiteral("12 entités · 3 variables · 5 sélectionnées"));
}

TEST_F(StudioWindowControllerTest, StatisticsFollowTheNumericVariables)
{
    PlmWork textOnly = sampleWork();
    textOnly.variables.removeAt(1);
    StudioWindowController* controller = open(textOnly);
    ASSERT_TRUE(controller->selectTab(2));
    EXPECT_EQ(controller->statistics->text(),
              QStringLiteral("Aucune variable numérique dans ce document.\n"
                             "Ajoutez ou importez des données pour afficher leurs statistiques."));
    document->updateWork(QStringLiteral("Ajouter une variable"), [](PlmWork& work) {
        work.variables.append(PlmVariable("x", "X", PlmVariableType::number,
                                          {{"E00", PlmValue::number(2)}, {"E01", PlmValue::number(4)}}, std::nullopt));
    });
    EXPECT_EQ(controller->statistics->text(), QStringLiteral("X\n2 valeurs · Min 2 · Max 4\nMoyenne 3 · Écart-type 1"));
    EXPECT_EQ(controller->status->text(), QStringLiteral("12 entités · 3 variables"));

    // Cells typed while the data tab shows are summarised when the statistics tab is chosen.
    ASSERT_TRUE(controller->selectTab(0));
    document->updateWork(QStringLiteral("Saisir une cellule"), [](PlmWork& work) {
        work.variables[work.variableIndex(QStringLiteral("x"))].values.insert(QStringLiteral("E01"), PlmValue::number(8));
    });
    controller->tabs->button(2)->click();
    EXPECT_EQ(controller->statistics->text(),
              QStringLiteral("X\n2 valeurs · Min 2 · Max 8\nMoyenne 5 · Écart-type 3"));
}

TEST_F(StudioWindowControllerTest, PrintFormatFollowsThePrintPage)
{
    StudioWindowController* controller = open(sampleWork());
    EXPECT_EQ(controller->printFormat->currentIndex(), 0);
    EXPECT_EQ(controller->printWidth->text(), QStringLiteral("297,0"));
    EXPECT_EQ(controller->printHeight->text(), QStringLiteral("210,0"));

    document->updateWork(QStringLiteral("Format de la page d’impression"), [](PlmWork& work) {
        PlmDecoration decoration;
        PlmPrintPage page;
        page.width = 420;
        page.height = 297;
        decoration.printPage = page;
        work.decoration = decoration;
    });
    EXPECT_EQ(controller->printFormat->currentIndex(), 1);
    EXPECT_EQ(controller->printWidth->text(), QStringLiteral("420,0"));
    EXPECT_EQ(controller->printHeight->text(), QStringLiteral("297,0"));
}

TEST_F(StudioWindowControllerTest, APageSizeBeingTypedSurvivesARefresh)
{
    StudioWindowController* controller = open(sampleWork());
    controller->window()->show();
    QApplication::setActiveWindow(controller->window());
    QApplication::processEvents();
    QLineEdit* width = controller->printWidth;
    width->setFocus();
    width->selectAll();
    for (Qt::Key key : {Qt::Key_4, Qt::Key_2, Qt::Key_0}) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString(QChar(char16_t(key))));
        QApplication::sendEvent(width, &press);
    }
    ASSERT_EQ(width->text(), QStringLiteral("420"));
    ASSERT_TRUE(width->hasFocus());

    document->updateWork(QStringLiteral("Saisir une cellule"), [](PlmWork& work) {
        work.variables[1].values.insert(QStringLiteral("E05"), PlmValue::number(7));
    });
    EXPECT_EQ(width->text(), QStringLiteral("420"));

    // Once the field is left, the work's size shows again.
    width->clearFocus();
    controller->reloadObjects();
    EXPECT_EQ(width->text(), QStringLiteral("297,0"));
}

TEST_F(StudioWindowControllerTest, OutlineIsRebuiltOnlyWhenTheWorkChanges)
{
    StudioWindowController* controller = open(sampleWork());
    QStandardItem* fondSection = controller->objectsModel->item(0);
    ASSERT_NE(fondSection, nullptr);
    EXPECT_EQ(fondSection->rowCount(), 12);
    EXPECT_EQ(fondSection->child(0)->text(), QStringLiteral("Zone E11")); // drawn last, listed first
    controller->window()->show();
    QApplication::processEvents();
    EXPECT_EQ(controller->objects->visualRect(fondSection->child(5)->index()).height(), 28);
    controller->reloadObjects();
    EXPECT_EQ(controller->objectsModel->item(0), fondSection);

    // A cell edit does not touch what the outline shows.
    document->updateWork(QStringLiteral("Saisir une cellule"), [](PlmWork& work) {
        work.variables[1].values.insert(QStringLiteral("E05"), PlmValue::number(7));
    });
    EXPECT_EQ(controller->objectsModel->item(0), fondSection);
    EXPECT_EQ(*controller->objectsSignature, document->work());

    // A renamed entity keeps its row, retitled, and the selection stays.
    document->select(QStringLiteral("E03"));
    document->updateWork(QStringLiteral("Renommer"), [](PlmWork& work) {
        PlmEntity renamed = work.map.entities.at(3);
        renamed.name = QStringLiteral("Côte");
        work.map.entities.replace(3, renamed);
    });
    ASSERT_EQ(controller->objectsModel->item(0), fondSection);
    EXPECT_EQ(fondSection->child(8)->text(), QStringLiteral("Côte"));
    EXPECT_EQ(fondSection->child(8)->toolTip(), QStringLiteral("Côte"));
    EXPECT_EQ(*controller->objectsSignature, document->work());
    const QModelIndexList selected = controller->objects->selectionModel()->selectedRows();
    ASSERT_EQ(selected.size(), 1);
    EXPECT_EQ(selected.first().data().toString(), QStringLiteral("Côte"));

    // An unnamed entity shows its id.
    document->updateWork(QStringLiteral("Renommer"), [](PlmWork& work) {
        PlmEntity renamed = work.map.entities.at(3);
        renamed.name.clear();
        work.map.entities.replace(3, renamed);
    });
    EXPECT_EQ(fondSection->child(8)->text(), QStringLiteral("E03"));

    // Another entity, or another order, rebuilds the rows.
    document->updateWork(QStringLiteral("Ajouter"), [](PlmWork& work) { work.map.entities.append(square("N", 0, 40)); });
    ASSERT_NE(controller->objectsModel->item(0), fondSection);
    fondSection = controller->objectsModel->item(0);
    EXPECT_EQ(fondSection->rowCount(), 13);
    EXPECT_EQ(fondSection->child(0)->text(), QStringLiteral("Zone N"));
    document->updateWork(QStringLiteral("Ordre"), [](PlmWork& work) { work.map.entities.move(0, 12); });
    ASSERT_NE(controller->objectsModel->item(0), fondSection);
    EXPECT_EQ(controller->objectsModel->item(0)->child(0)->text(), QStringLiteral("Zone E00"));
}

TEST_F(StudioWindowControllerTest, FondModeDrawsTheMap)
{
    StudioWindowController* controller = open(sampleWork());
    QWidget* window = controller->window();
    window->show();
    QApplication::processEvents();
    ASSERT_EQ(onlyChild(controller->canvasHost), controller->fondContent);
    ASSERT_GT(controller->fondContent->width(), 100);
    ASSERT_GT(controller->fondContent->height(), 100);
    const QImage image = controller->fondContent->grab().toImage().convertToFormat(QImage::Format_RGB32);
    int red = 0;
    for (int y = 0; y < image.height(); y += 2) {
        for (int x = 0; x < image.width(); x += 2) {
            const QColor c = image.pixelColor(x, y);
            if (c.red() > 200 && c.green() < 60 && c.blue() < 60)
                ++red;
        }
    }
    EXPECT_GT(red, 100) << "the red squares of the map are drawn";
    EXPECT_EQ(controller->fond->canvas()->map(), document->work().map);
}

namespace {

// Counts the paints a widget receives.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget* widget) { widget->installEventFilter(this); }
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

} // namespace

TEST_F(StudioWindowControllerTest, ATypedCellDoesNotRedrawTheMapAnEntityEditDoes)
{
    StudioWindowController* controller = open(sampleWork());
    controller->window()->show();
    // The first show lays out, fits the map and paints over a few rounds of events.
    for (int round = 0; round < 8; ++round)
        QApplication::processEvents();
    PaintCounter fondPaints(controller->fondContent);
    QApplication::processEvents();
    ASSERT_EQ(fondPaints.paints, 0) << "the window is at rest";
    document->updateWork(QStringLiteral("Saisir une cellule"), [](PlmWork& work) {
        work.variables[1].values.insert(QStringLiteral("E05"), PlmValue::number(7));
    });
    QApplication::processEvents();
    EXPECT_EQ(fondPaints.paints, 0);

    document->updateWork(QStringLiteral("Déplacer"), [](PlmWork& work) { work.map.entities.move(0, 11); });
    QApplication::processEvents();
    EXPECT_GE(fondPaints.paints, 1);
    EXPECT_EQ(controller->fond->canvas()->map(), document->work().map);
    EXPECT_EQ(controller->carte()->mapView()->map(), document->work().map);
}

TEST_F(StudioWindowControllerTest, WithoutItsDocumentTheWindowDoesNothing)
{
    StudioWindowController* controller = open(sampleWork());
    QPointer<StudioWindowController> alive(controller);
    document->removeWindowController(controller);
    controller->setParent(nullptr);
    std::unique_ptr<StudioWindowController> owned(controller);
    controller->setDocument(nullptr);
    EXPECT_FALSE(controller->switchMode(StudioWindowController::Mode::carte, false));
    EXPECT_EQ(controller->mode, StudioWindowController::Mode::fond);
    EXPECT_FALSE(controller->selectTab(2));
    EXPECT_FALSE(controller->revealData());
    const QString status = controller->status->text();
    controller->reloadObjects();
    controller->updateStatus();
    EXPECT_EQ(controller->status->text(), status);
}

TEST_F(StudioWindowControllerTest, RevealingTheDataScrollsTheActiveColumnIntoView)
{
    PlmWork wide = sampleWork();
    for (int i = 0; i < 30; ++i)
        wide.variables.append(variable(QStringLiteral("v%1").arg(i), PlmVariableType::text));
    StudioWindowController* controller = open(wide);
    QWidget* window = controller->window();
    window->resize(1200, 800);
    window->show();
    QApplication::processEvents();
    ASSERT_TRUE(controller->selectTab(2));
    DataWindowController* data = controller->data;
    QTableView* table = data->table();
    ASSERT_NE(table, nullptr);
    const int last = data->tableModel()->columnCount() - 1;
    data->activateColumn(last);
    table->horizontalScrollBar()->setValue(0);
    ASSERT_TRUE(controller->revealData());
    QApplication::processEvents();
    const int left = table->columnViewportPosition(last);
    EXPECT_GE(left, 0);
    EXPECT_LE(left + table->columnWidth(last), table->viewport()->width());
    window->hide();
}
