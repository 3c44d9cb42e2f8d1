#pragma once

#include "data/DataImportWindowControllerDocument.h"
#include "data/DataTableView.h"
#include "model/PlmWork.h"
#include "platform/CommandResponder.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QStringList>
#include <concepts>
#include <functional>
#include <memory>
#include <optional>

#include "data/DataImportWindowController.h"
class CalculationWindowController;
class DataCellDelegate;
class DataTableModel;
#include <QComboBox>
#include <QLabel>
class QMenu;
class QPushButton;
class QWidget;

// What the pane needs of its work document and studio window, every call held weakly. The
// data pane sits below the studio, so it reaches them through these calls; a studio window
// fills them in itself (see the constructor taking the window), tests fill them by hand.
struct DataPaneHost {
    DataImportWindowControllerDocument document;    // work, the undoable update, the owner
    std::function<void()> updateStudioStatus;       // the studio window's status line
    std::function<bool()> revealData;               // data tab shown, table focused
};

// The data pane: the work's top-level entities as rows and its variables as columns, with
// its inspector, its status label and the import of table files. Editing, the variable
// commands and the clipboard live in their own files.
class DataWindowController : public QObject, public CommandResponder {
    Q_OBJECT
public:
    using WorkReader = std::function<std::optional<PlmWork>()>;

    static const QString identifierColumn; // "identifier"
    static const QString nameColumn;       // "name"
    static constexpr qint64 maximumImportSize = 67108864; // 64 MiB

    explicit DataWindowController(WorkReader readWork, QObject* parent = nullptr);
    // Made by the studio window: the pane reaches the window's document and status line.
    template <class Studio>
        requires requires(Studio* s) {
            s->workingDocument();
            s->revealData();
            s->updateStatus();
        }
    DataWindowController(WorkReader readWork, Studio* studio);
    ~DataWindowController() override;

    // The table as the studio window shows it, and the pane's inspector column.
    QWidget* studioTableView();
    QWidget* studioInspectorView();
    DataTableView* table() const { return m_table.data(); }
    DataTableModel* tableModel() const { return m_model; }
    QLabel* statusLabel() const { return status; }
    QComboBox* picker() const { return variablePicker; }
    QLabel* detailsLabel() const { return studioDetails; }
    const QList<QPushButton*>& commandButtons() const { return studioCommands; }

    // The pane's copy of the work: the document's, or an empty work once it is gone.
    PlmWork work() const;

    // Rebuilds rows, columns and picker from the work; only what changed is redrawn.
    void reloadTable();
    // Entity ids of the selected rows, in row order.
    QList<QString> selectedEntityIDs() const;
    bool hasSelectedRow() const;
    // Selects rows without echoing the selection, then updates the status.
    void selectRows(const QSet<QString>& entityIDs);
    // Selects and scrolls to one row; none deselects all.
    void selectRow(const std::optional<QString>& entityID);

    // Active column and the table's requests.
    void activateColumn(int index);
    void moveActiveColumn(int step);
    void editActiveCell();
    void clearSelectedCells();
    int activeColumnIndex() const;
    void scrollToActiveColumn();
    // Sorting by a column identifier (none: base map order).
    void sortBy(const std::optional<QString>& column, bool ascending);

    // The data actions, as a context menu and as the inspector's buttons. Each action's
    // "command" property names it ("importData:", "copy:", ...).
    QMenu* actionsMenu();
    bool validateAction(const QString& command) const;
    void performAction(const QString& command);
    void updateStudioDetails();
    QString detailsText() const;
    static QString formattedMean(double mean);

    // Import of a table file: the command, then the read in the background.
    void importDataAction();
    void importFile(const QString& path);
    std::function<void()> calculationFinishedHandler();
    // Puts "importData:" in the command chain that starts at the view.
    void attachImportCommand(QWidget* view);
    DataImportWindowController* importDialog() const { return importController.data(); }

    // Refreshes the details, hides the status label and updates the studio's status line.
    void updateStatus();
    // Shows a refused action's message in red and beeps.
    void showError(const QString& message);
    // Ends a cell edit in progress; false when the edit is refused.
    bool commitPendingEdit();
    // The document is there and not closed (the undo stack is its own).
    bool documentIsOpen() const;

    // --- Cell editing, clipboard and variable commands (DataWindowControllerEditing.cpp,
    // DataWindowControllerCommands.cpp) ---
    // Sets the cell editor delegate on the table and puts the pane in the command chain.
    void installCellEditing();
    // The pane answers "copy:", "copyRows:", "paste:", "selectAll:", "undo:", "redo:", the save
    // commands and the variable commands; validation is validateAction().
    bool handles(const QString& command) const override;
    void perform(const QString& command, QObject* sender) override;
    CommandValidation validate(const QString& command, QAction* action) const override;
    void copyCells(bool wholeRows);
    QString clipboardText(bool wholeRows) const;
    void pasteCells();
    int pasteStartRow() const;
    void selectAllRows();
    void undoOrRedo(bool redo);
    void performSave(bool saveAs);
    void chooseVariable();
    void editCalculation();
    void openCalculation(const std::optional<QString>& variableID);
    void calculationSaved(const QString& variableID);
    void recalculate();
    void renameVariable();
    void showVariableDialog(bool rename);
    void deleteVariable();
    QPointer<CalculationWindowController> calculationController;
    DataCellDelegate* cellDelegate = nullptr;

    DataPaneHost host;

    QStringList rows;                  // entity id of each row, in display order
    // The base map's top-level entity shown in a row, by id; null when no row shows it.
    const PlmEntity* entity(const QString& entityID) const;
    QString activeColumn;
    bool suppressSelection = false;
    bool committing = false;
    std::optional<QString> sortColumn;
    bool sortAscending = true;
    bool readingImport = false;
    int beepCount = 0; // for the tests: beeps sounded by refused actions

    // Reported when the user changes the row selection.
    std::function<void(const QList<QString>&)> onSelectionChange;

private:
    void buildViews();
    void userSelectionChanged();
    void applyColumnLayout();
    int minimumColumnWidth(int column) const;
    bool growsWithTable(int column) const;
    void refreshRows(const PlmWork& current);
    void rebuildPicker(const PlmWork& work);

    WorkReader m_readWork;
    DataTableModel* m_model;
    QPointer<DataTableView> m_table;
    QPointer<QWidget> m_view;
    QPointer<QWidget> m_scroll;
    QPointer<QLabel> status;
    QPointer<QComboBox> variablePicker;
    QPointer<QLabel> studioDetails;
    QList<QPushButton*> studioCommands;
    QPointer<QWidget> m_inspector;
    QPointer<DataImportWindowController> importController;
    QStringList m_columnIDs; // column identifiers at the last column rebuild
    bool m_fittingColumns = false;
    std::unique_ptr<CommandResponder> m_importCommand;
    // The numbers of the details, kept while the active variable's values are the same.
    struct MeanCache {
        PlmVariableValues values;
        qsizetype count = 0;
        std::optional<double> mean;
        bool valid = false;
    };
    mutable MeanCache m_meanCache;
    // What `rows` were made from, so that a reload redoes only what changed.
    bool m_rowsValid = false;
    std::optional<QString> m_rowsKey;
    bool m_rowsAscending = true;
    std::optional<PlmVariableType> m_rowsType;
    PlmVariableValues m_rowsValues;
    PlmEntityList m_rowsEntities;
    // Bumped on every read start; a read whose generation is old is dropped.
    int m_readGeneration = 0;
};

template <class Studio>
    requires requires(Studio* s) {
        s->workingDocument();
        s->revealData();
        s->updateStatus();
    }
DataWindowController::DataWindowController(WorkReader readWork, Studio* studio)
    : DataWindowController(std::move(readWork), static_cast<QObject*>(studio))
{
    QPointer<Studio> window(studio);
    if (auto* document = studio->workingDocument())
        host.document = DataImportWindowControllerDocument::of(document);
    host.updateStudioStatus = [window] {
        if (window)
            window->updateStatus();
    };
    host.revealData = [window] { return window && window->revealData(); };
}
