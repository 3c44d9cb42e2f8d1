// The data pane's table as the studio window uses it: rows of the work's entities, and the row
// selection shared with the other panes.
#include "data/DataWindowController.h"

#include "support/PlmWorkTestSupport.h"

#include <QApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMouseEvent>
#include <QTableView>
#include <gtest/gtest.h>

namespace {

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

class DataWindowControllerTest : public ::testing::Test {
protected:
    DataWindowControllerTest()
        : pane([this]() -> std::optional<PlmWork> { return work; })
    {
    }

    QItemSelectionModel* selection() const { return pane.table()->selectionModel(); }
    QModelIndex cell(int row, int column) const { return pane.table()->model()->index(row, column); }

    PlmWork work = tenEntities();
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
