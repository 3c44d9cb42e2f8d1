// The data pane's table as the studio window uses it: rows of the work's entities in French,
// the columns and the active column, the keys, sorting, the redraw of what changed, and the row
// selection shared with the other panes.
#include "support/DataPaneTestSupport.h"
#include "support/WidgetInput.h"

namespace {

class DataWindowControllerTest : public DataPaneTest::Fixture {};

using DataPaneTest::ModelSignals;
using DataPaneTest::tenEntities;

} // namespace

TEST_F(DataWindowControllerTest, SelectedRowsAreReportedInRowOrder)
{
    pane.selectRows({"E7", "E2", "E3", "E4", "E9"});
    EXPECT_EQ(pane.selectedEntityIDs(), (QList<QString>{"E2", "E3", "E4", "E7", "E9"}));
    // Neighbouring rows are one range, so a large selection stays a few ranges.
    EXPECT_EQ(selection()->selection().size(), 3);
    for (const QItemSelectionRange& range : selection()->selection()) {
        EXPECT_EQ(range.left(), 0);
        EXPECT_EQ(range.right(), 2); // identifier, name, one variable
    }

    pane.selectRows({"E0", "inconnu"});
    EXPECT_EQ(pane.selectedEntityIDs(), (QList<QString>{"E0"}));
    pane.selectRows({});
    EXPECT_TRUE(pane.selectedEntityIDs().isEmpty());
}

TEST_F(DataWindowControllerTest, ARowCountsOnlyWhenAllOfItIsSelected)
{
    // One cell of row 3, and row 5 selected in two parts that together cover it.
    QItemSelection parts;
    parts.select(cell(3, 1), cell(3, 1));
    parts.select(cell(5, 0), cell(5, 1));
    parts.select(cell(5, 2), cell(5, 2));
    selection()->select(parts, QItemSelectionModel::ClearAndSelect);
    EXPECT_EQ(pane.selectedEntityIDs(), (QList<QString>{"E5"}));
    EXPECT_EQ(pane.selectedEntityIDs().size(), selection()->selectedRows().size());
}

TEST_F(DataWindowControllerTest, AClickedRowIsReportedAndAReloadKeepsTheSelection)
{
    QList<QList<QString>> reports;
    pane.onSelectionChange = [&reports](const QList<QString>& ids) { reports.append(ids); };
    QTableView* table = pane.table();
    table->resize(400, 300);
    table->show();
    QApplication::processEvents();

    sendClick(table->viewport(), table->visualRect(cell(4, 1)).center());
    ASSERT_FALSE(reports.isEmpty());
    EXPECT_EQ(reports.last(), (QList<QString>{"E4"}));

    // A typed value keeps the rows; a new entity resets them; the selection survives both,
    // and neither is reported back as a choice of the user.
    const qsizetype reported = reports.size();
    work.variables[0].values.insert(QStringLiteral("E4"), PlmValue::number(8));
    pane.reloadTable();
    EXPECT_EQ(table->model()->index(4, 2).data().toString(), QStringLiteral("8"));
    work.map.entities.prepend(PlmWorkTest::pointEntity(QStringLiteral("N")));
    pane.reloadTable();
    EXPECT_EQ(pane.selectedEntityIDs(), (QList<QString>{"E4"}));
    EXPECT_TRUE(selection()->isRowSelected(5));
    EXPECT_EQ(reports.size(), reported);
}

TEST_F(DataWindowControllerTest, AnEntityEditedInPlaceKeepsTheRowsAReorderRebuildsThem)
{
    QAbstractItemModel* model = pane.table()->model();
    int resets = 0;
    QObject::connect(model, &QAbstractItemModel::modelReset, [&resets] { ++resets; });

    PlmEntity renamed = work.map.entities.at(6);
    renamed.name = QStringLiteral("Côte");
    work.map.entities.replace(6, renamed);
    pane.reloadTable();
    EXPECT_EQ(resets, 0);
    EXPECT_EQ(model->index(6, 1).data().toString(), QStringLiteral("Côte"));

    // Same count, other order: the rows follow the entities.
    PlmEntity first = work.map.entities.at(0);
    work.map.entities.removeAt(0);
    work.map.entities.append(first);
    pane.reloadTable();
    EXPECT_EQ(resets, 1);
    EXPECT_EQ(model->index(9, 0).data().toString(), QStringLiteral("E0"));
    EXPECT_EQ(model->index(5, 1).data().toString(), QStringLiteral("Côte"));
    pane.selectRows({"E0"});
    EXPECT_TRUE(pane.table()->selectionModel()->isRowSelected(9));
}

TEST_F(DataWindowControllerTest, ValuesAreShownInFrenchUnderTheVariablesNames)
{
    work.variables = {PlmWorkTest::numberVariable("pop", "Population", {{"E1", 2.5}, {"E2", -1234.75}}),
                      PlmWorkTest::numberVariable("part", "Part", {{"E1", 12.5}}, PlmVariableType::percentage),
                      PlmWorkTest::textVariable("nom", "Région", {{"E3", "Île-de-France"}})};
    pane.reloadTable();
    EXPECT_EQ(columnIDs(), (QStringList{"identifier", "name", "pop", "part", "nom"}));
    EXPECT_EQ(header(0), QStringLiteral("Identifiant"));
    EXPECT_EQ(header(1), QStringLiteral("Nom"));
    EXPECT_EQ(header(2), QStringLiteral("Population"));
    EXPECT_EQ(header(4), QStringLiteral("Région"));
    EXPECT_EQ(text(1, 0), QStringLiteral("E1"));
    EXPECT_EQ(text(1, 2), QStringLiteral("2,5"));
    EXPECT_EQ(text(2, 2), QStringLiteral("-1234,75"));
    EXPECT_EQ(text(3, 4), QStringLiteral("Île-de-France"));
    EXPECT_EQ(text(0, 2), QString()); // a missing value is an empty cell

    // The picker lists each variable with its type; the first variable became active.
    QComboBox* picker = pane.picker();
    ASSERT_EQ(picker->count(), 3);
    EXPECT_TRUE(picker->isEnabled());
    EXPECT_EQ(picker->itemText(0), QStringLiteral("Population — Nombre"));
    EXPECT_EQ(picker->itemText(1), QStringLiteral("Part — Pourcentage"));
    EXPECT_EQ(picker->itemText(2), QStringLiteral("Région — Texte"));
    EXPECT_EQ(pane.activeColumn, QStringLiteral("pop"));
    EXPECT_EQ(picker->currentIndex(), 0);
}

TEST_F(DataWindowControllerTest, AWorkWithoutVariablesHasTwoColumnsAndNothingToEdit)
{
    work.variables.clear();
    pane.reloadTable();
    EXPECT_EQ(columnIDs(), (QStringList{"identifier", "name"}));
    EXPECT_EQ(pane.picker()->count(), 1);
    EXPECT_EQ(pane.picker()->itemText(0), QStringLiteral("Aucune variable"));
    EXPECT_FALSE(pane.picker()->isEnabled());
    EXPECT_EQ(pane.activeColumn, QStringLiteral("identifier"));

    showTable();
    pane.selectRows({"E1"});
    press(Qt::Key_Return);
    press(Qt::Key_Delete);
    EXPECT_TRUE(updates.isEmpty());
    EXPECT_EQ(pane.beepCount, 0);
}

TEST_F(DataWindowControllerTest, ARenameKeepsTheColumnsAnAddedVariableRebuildsThem)
{
    QHeaderView* bar = pane.table()->horizontalHeader();
    EXPECT_EQ(bar->sectionSize(0), 130);
    EXPECT_EQ(bar->sectionSize(1), 320);
    EXPECT_EQ(bar->sectionSize(2), 140);
    bar->resizeSection(2, 260);
    ModelSignals spy(pane.tableModel());

    work.variables[0].name = QStringLiteral("Habitants");
    pane.reloadTable();
    EXPECT_EQ(spy.resets, 0);
    EXPECT_EQ(spy.titles, 1);
    EXPECT_EQ(header(2), QStringLiteral("Habitants"));
    EXPECT_EQ(bar->sectionSize(2), 260);
    EXPECT_EQ(pane.picker()->itemText(0), QStringLiteral("Habitants — Nombre"));

    work.variables.append(PlmWorkTest::textVariable("t", "Commentaire", {}));
    pane.reloadTable();
    EXPECT_EQ(spy.resets, 1);
    EXPECT_EQ(bar->sectionSize(2), 140);
    EXPECT_EQ(bar->sectionSize(3), 200);
}

TEST_F(DataWindowControllerTest, TheActiveColumnFallsBackToTheFirstVariableButNameStays)
{
    EXPECT_EQ(pane.activeColumn, QStringLiteral("pop"));
    pane.activateColumn(1);
    EXPECT_EQ(pane.activeColumn, QStringLiteral("name"));
    work.variables.append(PlmWorkTest::numberVariable("b", "B", {}));
    pane.reloadTable();
    EXPECT_EQ(pane.activeColumn, QStringLiteral("name"));

    pane.activateColumn(3);
    EXPECT_EQ(pane.activeColumn, QStringLiteral("b"));
    EXPECT_EQ(pane.picker()->currentIndex(), 1);
    work.variables.removeLast();
    pane.reloadTable();
    EXPECT_EQ(pane.activeColumn, QStringLiteral("pop"));
    pane.activateColumn(7); // no such column
    EXPECT_EQ(pane.activeColumn, QStringLiteral("pop"));
}

TEST_F(DataWindowControllerTest, KeysMoveTheActiveColumnWithoutWrappingAndArrowsUpDownMoveRows)
{
    work.variables.append(PlmWorkTest::numberVariable("b", "B", {}));
    pane.reloadTable();
    showTable();
    pane.table()->setFocus();
    pane.selectRows({"E3"});
    pane.table()->setCurrentIndex(cell(3, 2));
    pane.selectRows({"E3"});

    press(Qt::Key_Tab);
    EXPECT_EQ(pane.activeColumn, QStringLiteral("b"));
    press(Qt::Key_Tab); // last column: stays
    EXPECT_EQ(pane.activeColumn, QStringLiteral("b"));
    press(Qt::Key_Right);
    EXPECT_EQ(pane.activeColumn, QStringLiteral("b"));
    press(Qt::Key_Left);
    EXPECT_EQ(pane.activeColumn, QStringLiteral("pop"));
    press(Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(pane.activeColumn, QStringLiteral("name"));
    press(Qt::Key_Left);
    press(Qt::Key_Left);
    EXPECT_EQ(pane.activeColumn, QStringLiteral("identifier"));
    EXPECT_TRUE(pane.table()->hasFocus() || !pane.table()->isActiveWindow());
    // Left and right never moved the row; down does.
    EXPECT_EQ(pane.selectedEntityIDs(), (QList<QString>{"E3"}));
    press(Qt::Key_Down);
    EXPECT_EQ(pane.selectedEntityIDs(), (QList<QString>{"E4"}));
}

TEST_F(DataWindowControllerTest, KeysWithoutTheirRequestDoNothing)
{
    DataTableView view;
    int moves = 0;
    view.onMoveColumn = [&moves](int step) { moves += step; };
    QKeyEvent del(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
    QApplication::sendEvent(&view, &del);
    EXPECT_TRUE(del.isAccepted());
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Enter, Qt::KeypadModifier);
    QApplication::sendEvent(&view, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
    QApplication::sendEvent(&view, &tab);
    EXPECT_EQ(moves, 1);

    DataCellField field;
    EXPECT_TRUE(field.entityID.isEmpty());
    EXPECT_TRUE(field.variableID.isEmpty());
}

TEST_F(DataWindowControllerTest, AClickActivatesItsColumnBeforeTheSelectionIsReported)
{
    showTable();
    QString activeWhenReported;
    pane.onSelectionChange = [&](const QList<QString>&) { activeWhenReported = pane.activeColumn; };
    click(5, 1);
    EXPECT_EQ(activeWhenReported, QStringLiteral("name"));
    EXPECT_EQ(pane.selectedEntityIDs(), (QList<QString>{"E5"}));
}

TEST_F(DataWindowControllerTest, HeaderClicksSortInFrenchOrderAndADeletedSortKeyRestoresMapOrder)
{
    work.variables = {PlmWorkTest::textVariable("r", "Région", {{"E0", "Zélande"}, {"E1", "éole"}, {"E2", "Eole"}, {"E3", "abbaye"}})};
    work.variables.append(PlmWorkTest::numberVariable("n", "N", {{"E0", 3}, {"E1", 10}, {"E2", 2}}));
    pane.reloadTable();
    showTable();
    pane.selectRows({"E1"});
    QList<QList<QString>> reports;
    pane.onSelectionChange = [&reports](const QList<QString>& ids) { reports.append(ids); };

    clickHeader(3);
    ASSERT_EQ(pane.sortColumn, std::optional<QString>("n"));
    EXPECT_TRUE(pane.sortAscending);
    EXPECT_EQ(pane.rows.mid(0, 3), (QStringList{"E2", "E0", "E1"}));
    EXPECT_EQ(pane.rows, QStringList(work.rowEntityIDs(QStringLiteral("n"), true)));
    clickHeader(3);
    EXPECT_FALSE(pane.sortAscending);
    EXPECT_EQ(pane.rows, QStringList(work.rowEntityIDs(QStringLiteral("n"), false)));
    EXPECT_EQ(text(0, 0), pane.rows.first());

    clickHeader(2);
    EXPECT_EQ(pane.rows, QStringList(work.rowEntityIDs(QStringLiteral("r"), true)));
    // The selection followed its entity and was not reported back as a choice of the user.
    EXPECT_EQ(pane.selectedEntityIDs(), (QList<QString>{"E1"}));
    EXPECT_TRUE(selection()->isRowSelected(pane.rows.indexOf("E1")));
    EXPECT_TRUE(reports.isEmpty());

    work.variables.removeFirst();
    pane.reloadTable();
    EXPECT_FALSE(pane.sortColumn.has_value());
    EXPECT_EQ(pane.table()->horizontalHeader()->sortIndicatorSection(), -1);
    EXPECT_EQ(pane.rows.first(), QStringLiteral("E0"));
    EXPECT_EQ(pane.rows.last(), QStringLiteral("E9"));
}

TEST_F(DataWindowControllerTest, OneTypedValueRedrawsOneCell)
{
    ModelSignals spy(pane.tableModel());
    auto& changes = spy.changes;
    work.variables[0].values.insert(QStringLiteral("E7"), PlmValue::number(4));
    pane.reloadTable();
    EXPECT_EQ(spy.resets, 0);
    ASSERT_EQ(changes.size(), 1);
    EXPECT_EQ(changes.at(0).first, cell(7, 2));
    EXPECT_EQ(changes.at(0).second, cell(7, 2));
    EXPECT_EQ(text(7, 2), QStringLiteral("4"));

    // A removed value and a renamed entity: their cells only.
    changes.clear();
    work.variables[0].values.remove(QStringLiteral("E1"));
    work.map.entities.edit(4).name = QStringLiteral("Nouveau nom");
    pane.reloadTable();
    ASSERT_EQ(changes.size(), 2);
    EXPECT_EQ(changes.at(0).first, cell(4, 1));
    EXPECT_EQ(changes.at(1).first, cell(1, 2));
    EXPECT_EQ(text(4, 1), QStringLiteral("Nouveau nom"));

    // Nothing changed: nothing redrawn.
    changes.clear();
    pane.reloadTable();
    EXPECT_EQ(changes.size(), 0);
}

TEST_F(DataWindowControllerTest, TheSelectionIsSharedWithoutEcho)
{
    showTable();
    QList<QList<QString>> reports;
    pane.onSelectionChange = [&reports](const QList<QString>& ids) { reports.append(ids); };
    pane.selectRows({"E2", "E6"});
    pane.selectRow(QStringLiteral("E8"));
    pane.selectRow(std::nullopt);
    EXPECT_TRUE(reports.isEmpty());
    EXPECT_TRUE(pane.selectedEntityIDs().isEmpty());

    click(2, 0);
    click(6, 0, Qt::ControlModifier);
    ASSERT_EQ(reports.size(), 2);
    EXPECT_EQ(reports.last(), (QList<QString>{"E2", "E6"}));
}

TEST_F(DataWindowControllerTest, ASortedTableFollowsChangedValuesAndNames)
{
    pane.sortBy(QStringLiteral("pop"), false);
    EXPECT_EQ(pane.rows.mid(0, 2), (QStringList{"E2", "E1"}));
    work.variables[0].values.insert(QStringLiteral("E9"), PlmValue::number(99));
    pane.reloadTable();
    EXPECT_EQ(pane.rows.mid(0, 3), (QStringList{"E9", "E2", "E1"}));
    EXPECT_EQ(text(0, 2), QStringLiteral("99"));

    pane.sortBy(QStringLiteral("name"), true);
    EXPECT_EQ(pane.rows.first(), QStringLiteral("E0"));
    work.map.entities.edit(5).name = QStringLiteral("A");
    pane.reloadTable();
    EXPECT_EQ(pane.rows.first(), QStringLiteral("E5"));
    EXPECT_EQ(text(0, 1), QStringLiteral("A"));
    ASSERT_NE(pane.entity(QStringLiteral("E5")), nullptr);
    EXPECT_EQ(pane.entity(QStringLiteral("E5"))->name, QStringLiteral("A"));

    // An unknown column leaves the sort as it is.
    pane.sortBy(QStringLiteral("inconnue"), true);
    EXPECT_EQ(pane.sortColumn, std::optional<QString>("name"));
    pane.sortBy(std::nullopt, true);
    EXPECT_EQ(pane.rows.first(), QStringLiteral("E0"));
}

TEST_F(DataWindowControllerTest, ColumnsKeepTheirMinimumWidths)
{
    work.variables.append(PlmWorkTest::textVariable("t", "Commentaire", {}));
    pane.reloadTable();
    QHeaderView* bar = pane.table()->horizontalHeader();
    bar->resizeSection(1, 120);
    EXPECT_EQ(bar->sectionSize(1), 160);
    bar->resizeSection(3, 110);
    EXPECT_EQ(bar->sectionSize(3), 160);
    bar->resizeSection(2, 105);
    EXPECT_EQ(bar->sectionSize(2), 105);
}

TEST_F(DataWindowControllerTest, ReturnOnACalculatedVariableOpensItsFormulaWithoutASelectedRow)
{
    work.variables.append(PlmWorkTest::calculatedVariable("c", "Double", "pop * 2"));
    pane.reloadTable();
    showTable();
    pane.table()->setFocus();
    pane.activateColumn(3);
    ASSERT_TRUE(pane.selectedEntityIDs().isEmpty());
    press(Qt::Key_Return);
    ASSERT_NE(pane.calculationController.data(), nullptr);
    delete pane.calculationController.data();

    // An input variable without a selected row: nothing opens.
    pane.activateColumn(2);
    press(Qt::Key_Enter);
    EXPECT_EQ(pane.calculationController.data(), nullptr);
    EXPECT_FALSE(pane.table()->isEditing());
}

TEST_F(DataWindowControllerTest, AGroupIsOneRowAndHiddenOrLockedEntitiesAreRows)
{
    PlmEntityList members;
    members.append(PlmWorkTest::pointEntity(QStringLiteral("M1")));
    members.append(PlmWorkTest::pointEntity(QStringLiteral("M2")));
    PlmEntity group(QStringLiteral("G"), QStringLiteral("Groupe"), PlmGeometry::group(members), PlmStyle());
    work.map.entities.append(group);
    work.map.entities.edit(0).isHidden = true;
    work.map.entities.edit(1).isLocked = true;
    pane.reloadTable();
    EXPECT_EQ(pane.rows.size(), 11);
    EXPECT_EQ(pane.rows.first(), QStringLiteral("E0"));
    EXPECT_EQ(pane.rows.at(1), QStringLiteral("E1"));
    EXPECT_EQ(pane.rows.last(), QStringLiteral("G"));
    EXPECT_EQ(text(10, 1), QStringLiteral("Groupe"));
    EXPECT_FALSE(pane.rows.contains(QStringLiteral("M1")));
    EXPECT_EQ(pane.entity(QStringLiteral("M2")), nullptr);
    ASSERT_NE(pane.entity(QStringLiteral("G")), nullptr);
    EXPECT_EQ(pane.entity(QStringLiteral("G"))->name, QStringLiteral("Groupe"));
}
