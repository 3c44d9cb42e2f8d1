#pragma once

// The data pane over a fake work document: the work, its one update (which refreshes the pane
// as the studio window does after a commit) and a count of the studio's status refreshes;
// with helpers that send real key, mouse and header events.
#include "data/CalculationWindowController.h"
#include "data/DataCellField.h"
#include "data/DataTableModel.h"
#include "data/DataWindowController.h"

#include "support/EventWait.h"
#include "support/PlmWorkTestSupport.h"

#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include "desktop/DialogHooks.h"
#include <QComboBox>
#include <QDir>
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

namespace DataPaneTest {

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

inline PlmWork tenEntities()
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
class Fixture : public ::testing::Test {
protected:
    Fixture()
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
    ~Fixture() override { delete owner.data(); }

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
        return waitUntil([this] { return !pane.readingImport; });
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

} // namespace DataPaneTest