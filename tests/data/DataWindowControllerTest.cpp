// The data pane as the studio window uses it: rows of the work's entities in French, the
// columns and the active column, sorting, the row selection shared with the other panes, the
// inspector's details and actions, and the import of table files.
#include "data/CalculationWindowController.h"
#include "data/DataCellField.h"
#include "data/DataTableModel.h"
#include "data/DataWindowController.h"

#include "support/PlmWorkTestSupport.h"

#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include "platform/DialogHooks.h"
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QUrl>
#include <gtest/gtest.h>

namespace {

// The signals of the table's model that tell the view what to redraw.
struct ModelSignals {
    explicit ModelSignals(QAbstractItemModel* model)
    {
        QObject::connect(model, &QAbstractItemModel::modelReset, [this] { ++resets; });
        QObject::connect(model, &QAbstractItemModel::headerDataChanged, [this] { ++titles; });
        QObject::connect(model, &QAbstractItemModel::dataChanged,
                         [this](const QModelIndex& from, const QModelIndex& to) { changes.append({from, to}); });
    }
    int resets = 0;
    int titles = 0;
    QList<std::pair<QModelIndex, QModelIndex>> changes;
};

PlmWork tenEntities()
{
    PlmWork work;
    QStringList ids;
    for (int i = 0; i < 10; ++i)
        ids << QStringLiteral("E%1").arg(i);
    work.map = PlmWorkTest::mapWithEntities(ids);
    work.variables = {PlmWorkTest::numberVariable("pop", "Population", {{"E1", 12}, {"E2", 30}})};
    return work;
}

// A work document as the pane sees it: the work, its one update (which refreshes the pane as
// the studio window does after a commit) and a count of the studio's status refreshes.
class DataWindowControllerTest : public ::testing::Test {
protected:
    DataWindowControllerTest()
        : pane([this]() -> std::optional<PlmWork> {
            if (!owner)
                return std::nullopt;
            return work;
        })
    {
        owner = new QObject;
        pane.host.document.owner = owner;
        pane.host.document.work = [this] { return work; };
        pane.host.document.updateWork = [this](const QString& name, const DataImportWindowControllerDocument::WorkChange& change) {
            PlmWork copy = work;
            change(copy);
            work = copy;
            updates.append(name);
            pane.reloadTable();
        };
        pane.host.updateStudioStatus = [this] { ++studioStatusUpdates; };
        pane.reloadTable();
    }
    ~DataWindowControllerTest() override { delete owner.data(); }

    QItemSelectionModel* selection() const { return pane.table()->selectionModel(); }
    QModelIndex cell(int row, int column) const { return pane.table()->model()->index(row, column); }
    QString text(int row, int column) const { return cell(row, column).data().toString(); }
    QString header(int column) const
    {
        return pane.table()->model()->headerData(column, Qt::Horizontal).toString();
    }

    void showTable()
    {
        pane.table()->resize(900, 400);
        pane.table()->show();
        QApplication::processEvents();
    }
    void press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QKeyEvent event(QEvent::KeyPress, key, modifiers);
        QApplication::sendEvent(pane.table(), &event);
    }
    void click(int row, int column, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTableView* table = pane.table();
        const QPoint centre = table->visualRect(cell(row, column)).center();
        const QPoint global = table->viewport()->mapToGlobal(centre);
        QMouseEvent down(QEvent::MouseButtonPress, centre, global, Qt::LeftButton, Qt::LeftButton, modifiers);
        QMouseEvent up(QEvent::MouseButtonRelease, centre, global, Qt::LeftButton, Qt::NoButton, modifiers);
        QApplication::sendEvent(table->viewport(), &down);
        QApplication::sendEvent(table->viewport(), &up);
    }
    void clickHeader(int column)
    {
        QHeaderView* bar = pane.table()->horizontalHeader();
        const QPoint at(bar->sectionViewportPosition(column) + bar->sectionSize(column) / 2, bar->height() / 2);
        const QPoint global = bar->viewport()->mapToGlobal(at);
        QMouseEvent down(QEvent::MouseButtonPress, at, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QMouseEvent up(QEvent::MouseButtonRelease, at, global, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(bar->viewport(), &down);
        QApplication::sendEvent(bar->viewport(), &up);
    }
    QStringList columnIDs() const { return pane.tableModel()->columnIDs(); }
    bool waitForRead()
    {
        QElapsedTimer timer;
        timer.start();
        while (pane.readingImport && timer.elapsed() < 10000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        return !pane.readingImport;
    }
    QString writeFile(const QString& name, const QByteArray& bytes)
    {
        const QString path = folder.filePath(name);
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(bytes);
        return path;
    }
    QPushButton* button(const QString& title) const
    {
        for (QPushButton* candidate : pane.commandButtons()) {
            if (candidate->text() == title)
                return candidate;
        }
        return nullptr;
    }

    PlmWork work = tenEntities();
    QPointer<QObject> owner;
    QStringList updates;
    int studioStatusUpdates = 0;
    QTemporaryDir folder;
    DataWindowController pane;
};

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

    const QPoint centre = table->visualRect(cell(4, 1)).center();
    QMouseEvent press(QEvent::MouseButtonPress, centre, table->viewport()->mapToGlobal(centre), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, centre, table->viewport()->mapToGlobal(centre), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(table->viewport(), &press);
    QApplication::sendEvent(table->viewport(), &release);
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

TEST_F(DataWindowControllerTest, DeleteClearsTheSelectedCellsAsOneStepOrShowsWhyNot)
{
    work.variables[0].values.insert(QStringLiteral("E3"), PlmValue::number(7));
    pane.reloadTable();
    showTable();
    pane.table()->setFocus();
    pane.selectRows({"E1", "E2"});
    press(Qt::Key_Backspace);
    EXPECT_EQ(updates, QStringList{QStringLiteral("Effacer les cellules")});
    EXPECT_FALSE(work.variables[0].values.contains(QStringLiteral("E1")));
    EXPECT_FALSE(work.variables[0].values.contains(QStringLiteral("E2")));
    EXPECT_TRUE(work.variables[0].values.contains(QStringLiteral("E3")));
    EXPECT_EQ(pane.selectedEntityIDs(), (QList<QString>{"E1", "E2"}));

    // The identifier column: nothing at all.
    pane.activateColumn(0);
    press(Qt::Key_Delete);
    EXPECT_EQ(updates.size(), 1);

    work.variables.append(PlmWorkTest::calculatedVariable("c", "Double", "pop * 2"));
    pane.reloadTable();
    pane.activateColumn(3);
    press(Qt::Key_Delete);
    EXPECT_EQ(updates.size(), 1);
    EXPECT_EQ(pane.beepCount, 1);
    EXPECT_FALSE(pane.statusLabel()->isHidden());
    EXPECT_EQ(pane.statusLabel()->text(), QStringLiteral("Les résultats calculés ne se saisissent pas : modifiez la formule."));
    EXPECT_EQ(pane.statusLabel()->palette().color(QPalette::WindowText), QColor(255, 59, 48));
    // The next refresh hides the message.
    pane.updateStatus();
    EXPECT_TRUE(pane.statusLabel()->isHidden());
}

TEST_F(DataWindowControllerTest, TheDetailsDescribeTheSelectionAndTheWholeActiveVariable)
{
    pane.studioInspectorView();
    pane.activateColumn(1);
    EXPECT_EQ(pane.detailsLabel()->text(), QStringLiteral("0 ligne(s) sélectionnée(s)"));

    pane.activateColumn(2);
    pane.selectRows({"E5", "E1"});
    // 12 and 30: two values, mean 21; the selected rows change the count of rows only.
    EXPECT_EQ(pane.detailsLabel()->text(), QStringLiteral("2 ligne(s) sélectionnée(s)\n\nPopulation · Nombre\n\n"
                                                          "2 valeurs numériques · Moyenne 21"));

    work.variables = {PlmWorkTest::textVariable("t", "Texte libre", {{"E1", "a"}}),
                      PlmWorkTest::calculatedVariable("c", "Taux", "pop / 3", PlmVariableType::percentage)};
    work.variables[1].values = {{"E1", PlmValue::percentage(2)}, {"E2", PlmValue::percentage(3)}};
    pane.reloadTable();
    pane.activateColumn(2);
    EXPECT_EQ(pane.detailsLabel()->text(),
              QStringLiteral("2 ligne(s) sélectionnée(s)\n\nTexte libre · Texte\n\n0 valeurs numériques · Moyenne —"));
    pane.activateColumn(3);
    EXPECT_EQ(pane.detailsLabel()->text(), QStringLiteral("2 ligne(s) sélectionnée(s)\n\nTaux · Pourcentage\n\n"
                                                          "Formule : pop / 3\n\n2 valeurs numériques · Moyenne 2,5"));

    EXPECT_EQ(DataWindowController::formattedMean(1.0 / 3.0), QStringLiteral("0,333333"));
    EXPECT_EQ(DataWindowController::formattedMean(2.0 / 3.0), QStringLiteral("0,666667"));
    EXPECT_EQ(DataWindowController::formattedMean(1500), QStringLiteral("1\u202F500"));
    EXPECT_EQ(DataWindowController::formattedMean(-2.5), QStringLiteral("-2,5"));
}

TEST_F(DataWindowControllerTest, TheActionsAreAvailableAsTheActiveColumnAllows)
{
    pane.studioInspectorView();
    ASSERT_EQ(pane.commandButtons().size(), 11);
    EXPECT_EQ(pane.commandButtons().first()->text(), QStringLiteral("Importer des données…"));
    EXPECT_EQ(pane.commandButtons().last()->text(), QStringLiteral("Supprimer la variable"));
    QApplication::clipboard()->setText(QStringLiteral("1\n2"));

    work.variables.append(PlmWorkTest::calculatedVariable("c", "Double", "pop * 2"));
    pane.reloadTable();
    pane.selectRows({"E1"});
    pane.activateColumn(3);
    EXPECT_TRUE(button("Modifier la formule…")->isEnabled());
    EXPECT_FALSE(button("Effacer les cellules")->isEnabled());
    EXPECT_FALSE(button("Coller")->isEnabled());
    EXPECT_TRUE(button("Recalculer les variables")->isEnabled());
    EXPECT_TRUE(button("Copier")->isEnabled());

    pane.activateColumn(2);
    EXPECT_FALSE(button("Modifier la formule…")->isEnabled());
    EXPECT_TRUE(button("Effacer les cellules")->isEnabled());
    EXPECT_TRUE(button("Coller")->isEnabled());
    EXPECT_TRUE(button("Recalculer les variables")->isEnabled());
    EXPECT_TRUE(button("Renommer la variable…")->isEnabled());

    pane.activateColumn(0);
    pane.selectRows({});
    EXPECT_FALSE(button("Copier")->isEnabled());
    EXPECT_FALSE(button("Renommer la variable…")->isEnabled());
    EXPECT_FALSE(button("Supprimer la variable")->isEnabled());

    work = PlmWork();
    pane.reloadTable();
    EXPECT_TRUE(button("Ajouter une variable…")->isEnabled());
    EXPECT_TRUE(button("Nouvelle variable calculée…")->isEnabled());
    EXPECT_FALSE(button("Recalculer les variables")->isEnabled());

    // The context menu has the same items in the same order.
    std::unique_ptr<QMenu> menu(pane.actionsMenu());
    ASSERT_EQ(menu->actions().size(), 11);
    for (int i = 0; i < 11; ++i)
        EXPECT_EQ(menu->actions().at(i)->text(), pane.commandButtons().at(i)->text());
}

TEST_F(DataWindowControllerTest, EveryStatusRefreshReachesTheStudioStatusLine)
{
    showTable();
    const int before = studioStatusUpdates;
    click(3, 0);
    EXPECT_GT(studioStatusUpdates, before);
    const int afterClick = studioStatusUpdates;
    pane.activateColumn(1);
    EXPECT_GT(studioStatusUpdates, afterClick);
}

// --- Importing a table file ---------------------------------------------------------------------

TEST_F(DataWindowControllerTest, AnImportedFileReachesTheImportDialogAndASecondReadWaits)
{
    pane.studioInspectorView();
    const QString path = writeFile(QStringLiteral("régions.csv"), QByteArray("code;valeur\nE1;12,5\nE2;7\n"));
    pane.importFile(path);
    EXPECT_TRUE(pane.readingImport);
    EXPECT_FALSE(pane.statusLabel()->isHidden());
    EXPECT_EQ(pane.statusLabel()->text(), QStringLiteral("Lecture de régions.csv…"));
    EXPECT_FALSE(button("Importer des données…")->isEnabled());
    EXPECT_FALSE(pane.validateAction(QStringLiteral("importData:")));
    pane.importFile(writeFile(QStringLiteral("autre.csv"), QByteArray("a;b\n1;2\n")));

    ASSERT_TRUE(waitForRead());
    DataImportWindowController* dialog = pane.importDialog();
    ASSERT_NE(dialog, nullptr);
    ASSERT_EQ(dialog->model().sheets().size(), 1);
    EXPECT_EQ(dialog->model().sheets().first().grid.size(), 3);
    EXPECT_EQ(dialog->model().sheets().first().grid.at(1), (QStringList{"E1", "12,5"}));
    EXPECT_TRUE(pane.statusLabel()->isHidden());
    EXPECT_TRUE(button("Importer des données…")->isEnabled());

    // A second read replaces the first dialog.
    QPointer<DataImportWindowController> first(dialog);
    pane.importFile(path);
    ASSERT_TRUE(waitForRead());
    QApplication::processEvents();
    EXPECT_NE(pane.importDialog(), first.data());
    EXPECT_TRUE(first.isNull() || !first->isVisible());
    delete pane.importDialog();
}

TEST_F(DataWindowControllerTest, AFileOverSixtyFourMegabytesIsRefused)
{
    const QString path = folder.filePath(QStringLiteral("grand.csv"));
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.resize(DataWindowController::maximumImportSize + 1)); // sparse
    }
    pane.importFile(path);
    ASSERT_TRUE(waitForRead());
    EXPECT_EQ(pane.importDialog(), nullptr);
    EXPECT_FALSE(pane.statusLabel()->isHidden());
    EXPECT_EQ(pane.statusLabel()->text(), QStringLiteral("Fichier trop volumineux (maximum 64 Mo)."));
    EXPECT_EQ(pane.beepCount, 1);
    EXPECT_TRUE(pane.validateAction(QStringLiteral("importData:")));
    // The message stays until the next refresh.
    pane.reloadTable();
    EXPECT_TRUE(pane.statusLabel()->isHidden());
}

TEST_F(DataWindowControllerTest, AnUnreadableFileShowsTheReadersMessage)
{
    pane.importFile(folder.filePath(QStringLiteral("absent.csv")));
    ASSERT_TRUE(waitForRead());
    EXPECT_EQ(pane.importDialog(), nullptr);
    EXPECT_FALSE(pane.statusLabel()->text().isEmpty());
    EXPECT_FALSE(pane.statusLabel()->isHidden());
    EXPECT_EQ(pane.beepCount, 1);
}

TEST_F(DataWindowControllerTest, ADocumentClosedDuringTheReadGetsNoDialogAndNoMessage)
{
    pane.importFile(writeFile(QStringLiteral("t.csv"), QByteArray("a;b\nE1;2\n")));
    delete owner.data();
    ASSERT_TRUE(waitForRead());
    EXPECT_EQ(pane.importDialog(), nullptr);
    EXPECT_EQ(pane.beepCount, 0);
    EXPECT_TRUE(pane.statusLabel()->isHidden());
    // Without a document nothing starts.
    pane.importFile(writeFile(QStringLiteral("u.csv"), QByteArray("a;b\nE1;2\n")));
    EXPECT_FALSE(pane.readingImport);
}

TEST_F(DataWindowControllerTest, AFileDroppedOnTheTableIsImported)
{
    showTable();
    const QString path = writeFile(QStringLiteral("déposé.tsv"), QByteArray("code\tx\nE4\t1\n"));
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(path)});
    const QPoint at(20, 20);
    QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(pane.table()->viewport(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(pane.table()->viewport(), &drop);
    EXPECT_TRUE(pane.readingImport);

    // While it is read, another drop is refused.
    QDragEnterEvent again(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(pane.table()->viewport(), &again);
    EXPECT_FALSE(again.isAccepted());

    ASSERT_TRUE(waitForRead());
    ASSERT_NE(pane.importDialog(), nullptr);
    EXPECT_EQ(pane.importDialog()->model().sheets().first().grid.at(1), (QStringList{"E4", "1"}));
    delete pane.importDialog();
}

TEST_F(DataWindowControllerTest, TheImportCommandAsksForOneFileThroughThePanel)
{
    const QString path = writeFile(QStringLiteral("p.csv"), QByteArray("a;b\nE1;2\n"));
    QList<DialogHooks::OpenPanelRequest> requests;
    DialogHooks::Hooks hooks;
    hooks.openPanel = [&](const DialogHooks::OpenPanelRequest& request) -> std::optional<QStringList> {
        requests.append(request);
        return QStringList{path};
    };
    DialogHooks::ScopedHooks scoped(hooks);
    pane.performAction(QStringLiteral("importData:"));
    pane.performAction(QStringLiteral("importData:")); // refused while the first read runs
    ASSERT_EQ(requests.size(), 1);
    EXPECT_EQ(requests.first().title, QStringLiteral("Importer des données — CSV, TSV, XLSX ou Pelmora .tab"));
    EXPECT_FALSE(requests.first().allowsMultipleSelection);
    EXPECT_FALSE(requests.first().canChooseDirectories);
    EXPECT_TRUE(requests.first().extensions.isEmpty());
    ASSERT_TRUE(waitForRead());
    ASSERT_NE(pane.importDialog(), nullptr);
    delete pane.importDialog();
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
    EXPECT_EQ(pane.entities.value(QStringLiteral("E5")).name, QStringLiteral("A"));

    // An unknown column leaves the sort as it is.
    pane.sortBy(QStringLiteral("inconnue"), true);
    EXPECT_EQ(pane.sortColumn, std::optional<QString>("name"));
    pane.sortBy(std::nullopt, true);
    EXPECT_EQ(pane.rows.first(), QStringLiteral("E0"));
}

TEST_F(DataWindowControllerTest, AFileOfExactlySixtyFourMegabytesIsRead)
{
    const QString path = folder.filePath(QStringLiteral("limite.csv"));
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.resize(DataWindowController::maximumImportSize));
    }
    pane.importFile(path);
    ASSERT_TRUE(waitForRead());
    // Whatever the reader makes of it, the size did not stop it.
    EXPECT_NE(pane.statusLabel()->text(), QStringLiteral("Fichier trop volumineux (maximum 64 Mo)."));
    delete pane.importDialog();
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
