#pragma once

#include "model/PlmWork.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <functional>
#include <optional>

class DataWindowControllerModel;
#include <QTableView>
class QWidget;

// The data pane: the work's top-level entities as rows and its variables as columns. This
// first version shows the table read-only and keeps its row selection; editing, sorting,
// the clipboard and imports come with the pane's own work.
class DataWindowController : public QObject {
    Q_OBJECT
public:
    using WorkReader = std::function<std::optional<PlmWork>()>;

    explicit DataWindowController(WorkReader readWork, QObject* parent = nullptr);
    ~DataWindowController() override;

    // The table as the studio window shows it, and the pane's inspector column.
    QWidget* studioTableView() const;
    QWidget* studioInspectorView();
    QTableView* table() const { return m_table.data(); }

    // Rebuilds the table from the work.
    void reloadTable();
    // Entity ids of the selected rows, in row order.
    QList<QString> selectedEntityIDs() const;
    // Selects rows without echoing the selection, then updates the status.
    void selectRows(const QSet<QString>& entityIDs);
    // Selects and scrolls to one row; none deselects all.
    void selectRow(const std::optional<QString>& entityID);
    void updateStatus();
    // The guard each command runs first; nothing is ever pending in this version.
    bool commitPendingEdit() { return true; }

    bool committing = false;
    QString activeColumn;
    bool suppressSelection = false;

    // Reported when the user changes the row selection.
    std::function<void(const QList<QString>&)> onSelectionChange;

private:
    void userSelectionChanged();

    WorkReader m_readWork;
    DataWindowControllerModel* m_model;
    QPointer<QTableView> m_table;
    QPointer<QWidget> m_inspector;
};
