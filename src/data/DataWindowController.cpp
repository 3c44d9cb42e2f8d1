#include "data/DataWindowController.h"

#include "data/DataCellField.h"
#include "data/CalculationWindowController.h"
#include "data/DataImportWindowController.h"
#include "data/DataTableModel.h"
#include "platform/CommandResponder.h"
#include "desktop/Document.h"
#include "desktop/WindowTeardown.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFocusEvent>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QUndoStack>
#include <QVBoxLayout>
#include <algorithm>

const QString DataWindowController::identifierColumn = QStringLiteral("identifier");
const QString DataWindowController::nameColumn = QStringLiteral("name");

namespace {

const char* const commandProperty = "command";

struct ActionItem {
    const char* title;
    const char* command;
};

// The data actions in menu order.
const ActionItem actionItems[] = {
    {"Importer des données…", "importData:"},
    {"Copier", "copy:"},
    {"Copier les lignes avec identifiants et noms", "copyRows:"},
    {"Coller", "paste:"},
    {"Effacer les cellules", "clearCells:"},
    {"Ajouter une variable…", "addVariable:"},
    {"Nouvelle variable calculée…", "newCalculation:"},
    {"Modifier la formule…", "editCalculation:"},
    {"Recalculer les variables", "recalculate:"},
    {"Renommer la variable…", "renameVariable:"},
    {"Supprimer la variable", "deleteVariable:"},
};

} // namespace

DataWindowController::DataWindowController(WorkReader readWork, QObject* parent)
    : QObject(parent)
    , activeColumn(identifierColumn)
    , m_readWork(std::move(readWork))
    , m_model(new DataTableModel(this))
{
    buildViews();
    reloadTable();
}

DataWindowController::~DataWindowController()
{
    // The formula window and the import dialog are windows of their own: what is typed in them
    // reaches nothing once the pane goes.
    if (calculationController)
        WindowTeardown::silence(calculationController->window());
    if (importController) {
        WindowTeardown::silence(importController.data());
        importController->close();
    }
    // The views taken out of the pane by the studio window have no parent: they are ours.
    for (QObject* own : std::initializer_list<QObject*>{m_view.data(), m_scroll.data(), status.data(),
                                                        m_inspector.data(), variablePicker.data()})
        WindowTeardown::silence(own);
    delete m_view.data();
    delete m_scroll.data();
    delete status.data();
    delete m_inspector.data();
    delete variablePicker.data();
}

void DataWindowController::buildViews()
{
    m_view = new QWidget;
    m_view->setObjectName(QStringLiteral("Data.Pane"));

    m_table = new DataTableView;
    m_scroll = m_table; // QTableView is its own scroll area
    m_table->setObjectName(QStringLiteral("Data.Table"));
    m_table->setModel(m_model);
    m_table->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_table->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setAlternatingRowColors(true);
    m_table->setShowGrid(true);
    m_table->setWordWrap(false);
    m_table->verticalHeader()->setDefaultSectionSize(26);
    m_table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setSectionsMovable(false);
    m_table->horizontalHeader()->setSectionsClickable(true);
    m_table->horizontalHeader()->setSortIndicatorShown(true);
    m_table->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    m_table->horizontalHeader()->setStretchLastSection(false);

    QPointer<DataWindowController> self(this);
    m_table->onEdit = [self] {
        if (self)
            self->editActiveCell();
    };
    m_table->onMoveColumn = [self](int step) {
        if (self)
            self->moveActiveColumn(step);
    };
    m_table->onClear = [self] {
        if (self)
            self->clearSelectedCells();
    };
    m_table->onClickColumn = [self](int column) {
        if (self)
            self->activateColumn(column);
    };
    m_table->acceptsFileDrop = [self] { return self && !self->readingImport; };
    m_table->onDropFile = [self](const QString& path) {
        if (self)
            self->importFile(path);
    };
    // A double click edits an input cell in place, as clicking into a cell does, and opens the
    // formula of a calculated one; the two leading columns stay read-only.
    connect(m_table, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
        activateColumn(index.column());
        if (index.flags().testFlag(Qt::ItemIsEditable)) {
            m_table->selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
            editActiveCell();
        } else if (validateAction(QStringLiteral("editCalculation:"))) {
            performAction(QStringLiteral("editCalculation:"));
        }
    });
    m_table->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_table, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        QMenu* menu = actionsMenu();
        menu->setAttribute(Qt::WA_DeleteOnClose);
        for (QAction* action : menu->actions())
            action->setEnabled(validateAction(action->property(commandProperty).toString()));
        menu->popup(m_table->viewport()->mapToGlobal(at));
    });
    connect(m_table->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &DataWindowController::userSelectionChanged);
    connect(m_table->horizontalHeader(), &QHeaderView::sectionResized, this, [this](int column, int, int size) {
        // A column is never made narrower than its own minimum.
        const int minimum = minimumColumnWidth(column);
        if (!m_fittingColumns && size < minimum) {
            m_fittingColumns = true;
            m_table->horizontalHeader()->resizeSection(column, minimum);
            m_fittingColumns = false;
        }
    });
    connect(m_table->horizontalHeader(), &QHeaderView::sortIndicatorChanged, this,
            [this](int section, Qt::SortOrder order) {
                if (suppressSelection)
                    return;
                const QString column = m_model->columnID(section);
                sortBy(column.isEmpty() ? std::nullopt : std::optional<QString>(column), order == Qt::AscendingOrder);
            });

    status = new QLabel;
    status->setObjectName(QStringLiteral("Data.Status"));
    status->setWordWrap(true);
    QFont font = status->font();
    font.setPixelSize(12);
    status->setFont(font);
    status->setForegroundRole(QPalette::PlaceholderText);

    auto* layout = new QVBoxLayout(m_view);
    layout->setContentsMargins(0, 0, 0, 10);
    layout->setSpacing(8);
    layout->addWidget(m_table, 1);
    auto* statusRow = new QHBoxLayout;
    statusRow->setContentsMargins(12, 0, 12, 0);
    statusRow->addWidget(status);
    layout->addLayout(statusRow);

    variablePicker = new QComboBox;
    variablePicker->setObjectName(QStringLiteral("Data.VariablePicker"));
    variablePicker->setMinimumWidth(180);
    variablePicker->setMaximumWidth(300);
    connect(variablePicker, &QComboBox::activated, this, [this](int index) {
        const QString id = variablePicker->itemData(index).toString();
        if (id.isEmpty())
            return;
        if (handles(QStringLiteral("chooseVariable:"))) {
            perform(QStringLiteral("chooseVariable:"), variablePicker);
            return;
        }
        const int column = m_model->column(id);
        if (column >= 0) {
            activateColumn(column);
            scrollToActiveColumn();
        }
    });

    installCellEditing();
    attachImportCommand(m_table);
}

PlmWork DataWindowController::work() const
{
    if (m_readWork) {
        if (std::optional<PlmWork> current = m_readWork())
            return *current;
    }
    if (host.document.isAlive())
        return host.document.work();
    return PlmWork();
}

bool DataWindowController::documentIsOpen() const
{
    if (!host.document.isAlive())
        return false;
    if (auto* document = qobject_cast<Document*>(host.document.owner.data()))
        return !document->isClosed();
    return true;
}

// --- The table's model -------------------------------------------------------------------------

void DataWindowController::reloadTable()
{
    if (!m_table)
        return;
    const QList<QString> selected = selectedEntityIDs();
    const PlmWork current = work();

    // A sort key whose variable is gone returns the rows to base map order.
    if (sortColumn && *sortColumn != identifierColumn && *sortColumn != nameColumn
        && current.variableIndex(*sortColumn) < 0) {
        sortColumn.reset();
        const bool wasSuppressing = suppressSelection;
        suppressSelection = true;
        m_table->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
        suppressSelection = wasSuppressing;
    }
    refreshRows(current);

    const bool wasSuppressing = suppressSelection;
    suppressSelection = true;
    const DataTableModel::Change change = m_model->setWork(current, rows);
    if (change == DataTableModel::Change::columns) {
        const QStringList& columns = m_model->columnIDs();
        if (!columns.contains(activeColumn) || activeColumn == identifierColumn)
            activeColumn = columns.size() > 2 ? columns.at(2) : identifierColumn;
        applyColumnLayout();
    }
    if (change != DataTableModel::Change::cells)
        selectRows(QSet<QString>(selected.begin(), selected.end()));
    suppressSelection = wasSuppressing;

    rebuildPicker(current);
    updateStatus();
}

const PlmEntity* DataWindowController::entity(const QString& entityID) const
{
    return m_model->entity(m_model->row(entityID));
}

namespace {

// Whether the rows made from one list hold for the other: the same ids in the same order, and
// the same names when the rows are sorted by name. An entity renamed, restyled or moved in
// place leaves an unsorted table's rows as they were.
bool sameRowEntities(const PlmEntityList& a, const PlmEntityList& b, bool byName)
{
    if (a.size() != b.size())
        return false;
    if (a.sharesAllEntities(b))
        return true;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (a.sharesEntity(i, b, i))
            continue;
        if (a.at(i).id != b.at(i).id || (byName && a.at(i).name != b.at(i).name))
            return false;
    }
    return true;
}

} // namespace

void DataWindowController::refreshRows(const PlmWork& current)
{
    // The order is worked out again only when what it depends on changed: the entities, the
    // sort key and direction, and the sorted variable's values.
    const PlmVariable* sorted = sortColumn ? current.variable(*sortColumn) : nullptr;
    const PlmVariableValues values = sorted ? sorted->values : PlmVariableValues();
    const std::optional<PlmVariableType> type = sorted ? std::optional(sorted->type) : std::nullopt;
    const bool same = m_rowsValid && m_rowsKey == sortColumn && m_rowsAscending == sortAscending
        && m_rowsType == type && (values.isSharedWith(m_rowsValues) || values == m_rowsValues)
        && sameRowEntities(current.map.entities, m_rowsEntities, sortColumn == nameColumn);
    if (same)
        return;
    rows = current.rowEntityIDs(sortColumn, sortAscending);
    m_rowsValid = true;
    m_rowsKey = sortColumn;
    m_rowsAscending = sortAscending;
    m_rowsType = type;
    m_rowsValues = values;
    m_rowsEntities = current.map.entities;
}

int DataWindowController::minimumColumnWidth(int column) const
{
    // The name and text columns keep room for a word; the others for a number.
    if (column == 1)
        return 160;
    const PlmVariable* variable = m_model->variable(column);
    return variable && variable->type == PlmVariableType::text ? 160 : 100;
}

bool DataWindowController::growsWithTable(int column) const
{
    return minimumColumnWidth(column) == 160;
}

void DataWindowController::applyColumnLayout()
{
    // Widths back to their defaults whenever the columns are made again.
    QHeaderView* header = m_table->horizontalHeader();
    header->setMinimumSectionSize(100);
    const bool wasFitting = m_fittingColumns;
    m_fittingColumns = true;
    int total = 0;
    QList<int> growing;
    for (int column = 0; column < m_model->columnCount(); ++column) {
        int width = 140;
        if (column == 0)
            width = 130;
        else if (column == 1)
            width = 320;
        else if (const PlmVariable* variable = m_model->variable(column); variable && variable->type == PlmVariableType::text)
            width = 200;
        header->setSectionResizeMode(column, QHeaderView::Interactive);
        header->resizeSection(column, width);
        total += width;
        if (growsWithTable(column))
            growing.append(column);
    }
    // The columns that follow the table's width share what is left of it, evenly.
    const int spare = m_table->viewport()->width() - total;
    if (spare > 0 && !growing.isEmpty() && m_table->isVisible()) {
        const int share = spare / int(growing.size());
        for (int column : std::as_const(growing))
            header->resizeSection(column, header->sectionSize(column) + share);
    }
    m_fittingColumns = wasFitting;
    m_columnIDs = m_model->columnIDs();
}

void DataWindowController::rebuildPicker(const PlmWork& current)
{
    if (!variablePicker)
        return;
    const QSignalBlocker blocker(variablePicker);
    variablePicker->clear();
    if (current.variables.isEmpty()) {
        variablePicker->addItem(QStringLiteral("Aucune variable"));
        variablePicker->setEnabled(false);
        return;
    }
    variablePicker->setEnabled(true);
    for (const PlmVariable& variable : current.variables)
        variablePicker->addItem(variable.name + QStringLiteral(" — ") + label(variable.type), variable.id);
    const int active = variablePicker->findData(activeColumn);
    if (active >= 0)
        variablePicker->setCurrentIndex(active);
}

// --- Selection ---------------------------------------------------------------------------------

QList<QString> DataWindowController::selectedEntityIDs() const
{
    QList<QString> ids;
    if (!m_table)
        return ids;
    // Read from the selection's ranges: QItemSelectionModel::selectedRows() tests every row
    // against every range, which takes minutes once the whole of a large map is selected.
    const QStringList& entityIDs = m_model->rowEntityIDs();
    const int lastColumn = m_model->columnCount() - 1;
    QItemSelectionModel* selection = m_table->selectionModel();
    QList<int> selectedRows;
    for (const QItemSelectionRange& range : selection->selection()) {
        if (range.parent().isValid())
            continue;
        const bool wholeRows = range.left() <= 0 && range.right() >= lastColumn;
        const int bottom = std::min(range.bottom(), int(entityIDs.size()) - 1);
        for (int row = std::max(range.top(), 0); row <= bottom; ++row) {
            // A part of a row counts only when the rest of it is selected too.
            if (wholeRows || selection->isRowSelected(row))
                selectedRows.append(row);
        }
    }
    std::sort(selectedRows.begin(), selectedRows.end());
    selectedRows.erase(std::unique(selectedRows.begin(), selectedRows.end()), selectedRows.end());
    ids.reserve(selectedRows.size());
    for (int row : std::as_const(selectedRows))
        ids.append(entityIDs.at(row));
    return ids;
}

bool DataWindowController::hasSelectedRow() const
{
    // Stops at the first whole row: the actions ask this for every button on each change.
    if (!m_table)
        return false;
    const int lastColumn = m_model->columnCount() - 1;
    QItemSelectionModel* selection = m_table->selectionModel();
    for (const QItemSelectionRange& range : selection->selection()) {
        if (range.parent().isValid() || range.top() >= m_model->rowCount())
            continue;
        if (range.left() <= 0 && range.right() >= lastColumn)
            return true;
        for (int row = std::max(range.top(), 0); row <= std::min(range.bottom(), m_model->rowCount() - 1); ++row) {
            if (selection->isRowSelected(row))
                return true;
        }
    }
    return false;
}

void DataWindowController::selectRows(const QSet<QString>& entityIDs)
{
    if (!m_table)
        return;
    const bool wasSuppressing = suppressSelection;
    suppressSelection = true;
    QList<int> selectedRows;
    selectedRows.reserve(entityIDs.size());
    for (const QString& id : entityIDs) {
        const int row = m_model->row(id);
        if (row >= 0)
            selectedRows.append(row);
    }
    std::sort(selectedRows.begin(), selectedRows.end());
    // Neighbouring rows make one range: the selection model compares ranges pairwise.
    QItemSelection selection;
    const int lastColumn = m_model->columnCount() - 1;
    for (qsizetype i = 0; i < selectedRows.size();) {
        qsizetype j = i;
        while (j + 1 < selectedRows.size() && selectedRows.at(j + 1) <= selectedRows.at(j) + 1)
            ++j;
        selection.select(m_model->index(selectedRows.at(i), 0), m_model->index(selectedRows.at(j), lastColumn));
        i = j + 1;
    }
    if (selection != m_table->selectionModel()->selection())
        m_table->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    suppressSelection = wasSuppressing;
    updateStatus();
}

void DataWindowController::selectRow(const std::optional<QString>& entityID)
{
    if (!m_table)
        return;
    if (!entityID) {
        const bool wasSuppressing = suppressSelection;
        suppressSelection = true;
        m_table->clearSelection();
        suppressSelection = wasSuppressing;
        updateStatus();
        return;
    }
    selectRows({*entityID});
    const int row = m_model->row(*entityID);
    if (row >= 0)
        m_table->scrollTo(m_model->index(row, std::max(activeColumnIndex(), 0)));
}

void DataWindowController::userSelectionChanged()
{
    if (suppressSelection)
        return;
    if (onSelectionChange)
        onSelectionChange(selectedEntityIDs());
    updateStatus();
}

// --- Sorting -----------------------------------------------------------------------------------

void DataWindowController::sortBy(const std::optional<QString>& column, bool ascending)
{
    const bool known = !column || m_model->column(*column) >= 0;
    if (!known || !commitPendingEdit()) {
        // The header shows the sort that is in force again.
        const bool wasSuppressing = suppressSelection;
        suppressSelection = true;
        m_table->horizontalHeader()->setSortIndicator(sortColumn ? m_model->column(*sortColumn) : -1,
                                                      sortAscending ? Qt::AscendingOrder : Qt::DescendingOrder);
        suppressSelection = wasSuppressing;
        return;
    }
    sortColumn = column;
    sortAscending = ascending;
    const int section = column ? m_model->column(*column) : -1;
    const bool wasSuppressing = suppressSelection;
    suppressSelection = true;
    m_table->horizontalHeader()->setSortIndicator(section, ascending ? Qt::AscendingOrder : Qt::DescendingOrder);
    suppressSelection = wasSuppressing;
    reloadTable();
}

// --- Active column and the table's requests ----------------------------------------------------

int DataWindowController::activeColumnIndex() const
{
    return m_model->column(activeColumn);
}

void DataWindowController::activateColumn(int index)
{
    if (index < 0 || index >= m_model->columnCount())
        return;
    activeColumn = m_model->columnID(index);
    if (variablePicker && m_model->variable(index)) {
        const QSignalBlocker blocker(variablePicker);
        const int item = variablePicker->findData(activeColumn);
        if (item >= 0)
            variablePicker->setCurrentIndex(item);
    }
    updateStatus();
}

void DataWindowController::moveActiveColumn(int step)
{
    const int count = m_model->columnCount();
    if (count == 0)
        return;
    const int current = std::max(activeColumnIndex(), 0);
    activateColumn(std::clamp(current + step, 0, count - 1));
    scrollToActiveColumn();
}

void DataWindowController::scrollToActiveColumn()
{
    const int column = activeColumnIndex();
    if (!m_table || column < 0)
        return;
    // Horizontally only: the rows stay where they are.
    QScrollBar* bar = m_table->horizontalScrollBar();
    const int left = m_table->columnViewportPosition(column) + bar->value();
    const int right = left + m_table->columnWidth(column);
    const int visible = m_table->viewport()->width();
    if (left < bar->value())
        bar->setValue(left);
    else if (right > bar->value() + visible)
        bar->setValue(std::min(left, right - visible));
}

void DataWindowController::editActiveCell()
{
    const PlmWork current = work();
    const PlmVariable* variable = current.variable(activeColumn);
    if (variable && variable->isCalculated()) {
        performAction(QStringLiteral("editCalculation:"));
        return;
    }
    const int column = activeColumnIndex();
    if (column < 2 || !m_table)
        return;
    const QList<QString> selected = selectedEntityIDs();
    if (selected.isEmpty())
        return;
    // In a multiple selection, the row selected last: the current row when it is selected.
    int row = m_table->currentIndex().row();
    if (row < 0 || !m_table->selectionModel()->isRowSelected(row))
        row = m_model->row(selected.last());
    const QModelIndex cell = m_model->index(row, column);
    m_table->selectionModel()->setCurrentIndex(cell, QItemSelectionModel::NoUpdate);
    m_table->edit(cell);
    if (auto* editor = qobject_cast<QLineEdit*>(m_table->indexWidget(cell)))
        editor->selectAll();
}

bool DataWindowController::commitPendingEdit()
{
    if (committing || !m_table || !m_table->isEditing())
        return true;
    committing = true;
    // Ending the editor's edit as leaving it does: its editing code stores the text or keeps
    // the editor open when the text is refused. The focus event is sent rather than moving the
    // focus, which does nothing in a window that is not active.
    for (DataCellField* editor : m_table->viewport()->findChildren<DataCellField*>()) {
        if (!editor->isVisible())
            continue;
        QFocusEvent leave(QEvent::FocusOut, Qt::OtherFocusReason);
        QApplication::sendEvent(editor, &leave);
    }
    const bool refused = m_table->isEditing();
    if (!refused && m_table->isVisible())
        m_table->setFocus();
    committing = false;
    return !refused;
}

void DataWindowController::clearSelectedCells()
{
    const PlmWork current = work();
    const PlmVariable* variable = current.variable(activeColumn);
    if (!variable)
        return;
    if (!commitPendingEdit())
        return;
    const QList<QString> selected = selectedEntityIDs();
    if (!host.document.isAlive())
        return;
    const QString variableID = variable->id;
    try {
        host.document.updateWork(QStringLiteral("Effacer les cellules"),
                                 [selected, variableID](PlmWork& work) { work.clearCells(selected, variableID); });
    } catch (const PlmError& error) {
        showError(error.message());
    }
}

// --- The data actions --------------------------------------------------------------------------

QMenu* DataWindowController::actionsMenu()
{
    auto* menu = new QMenu;
    for (const ActionItem& item : actionItems) {
        QAction* action = menu->addAction(QString::fromUtf8(item.title));
        const QString command = QString::fromLatin1(item.command);
        action->setProperty(commandProperty, command);
        QPointer<DataWindowController> self(this);
        connect(action, &QAction::triggered, this, [self, command] {
            if (self)
                self->performAction(command);
        });
    }
    return menu;
}

void DataWindowController::performAction(const QString& command)
{
    // The commands of the editing and clipboard code answer through the pane's responder.
    if (command != QStringLiteral("importData:") && command != QStringLiteral("clearCells:")) {
        if (handles(command))
            perform(command, this);
        return;
    }
    if (!validateAction(command))
        return;
    if (command == QStringLiteral("importData:"))
        importDataAction();
    else
        clearSelectedCells();
}

bool DataWindowController::validateAction(const QString& command) const
{
    if (command.isEmpty())
        return true;
    const PlmWork current = work();
    const PlmVariable* active = current.variable(activeColumn);
    const auto anySelected = [this] { return hasSelectedRow(); };
    const auto* document = qobject_cast<const Document*>(host.document.owner.data());
    if (command == QStringLiteral("importData:"))
        return !readingImport;
    if (command == QStringLiteral("editCalculation:"))
        return active && active->isCalculated();
    if (command == QStringLiteral("recalculate:"))
        return std::any_of(current.variables.cbegin(), current.variables.cend(),
                           [](const PlmVariable& variable) { return variable.isCalculated(); });
    if (command == QStringLiteral("renameVariable:") || command == QStringLiteral("deleteVariable:"))
        return active != nullptr;
    if (command == QStringLiteral("copy:") || command == QStringLiteral("copyRows:"))
        return anySelected();
    if (command == QStringLiteral("paste:")) {
        const QClipboard* clipboard = QApplication::clipboard();
        return active && !active->isCalculated() && anySelected() && clipboard && !clipboard->text().isEmpty();
    }
    if (command == QStringLiteral("clearCells:"))
        return active && !active->isCalculated() && anySelected();
    if (command == QStringLiteral("undo:"))
        return document && document->undoStack() && document->undoStack()->canUndo();
    if (command == QStringLiteral("redo:"))
        return document && document->undoStack() && document->undoStack()->canRedo();
    return true;
}

// --- The view the studio window embeds ---------------------------------------------------------

QWidget* DataWindowController::studioTableView()
{
    // Table and status label in a stack as wide as the tab; the label shows only for progress
    // and errors.
    if (m_view && m_view->objectName() == QStringLiteral("Data.StudioStack"))
        return m_view;
    auto* stack = new QWidget;
    stack->setObjectName(QStringLiteral("Data.StudioStack"));
    auto* layout = new QVBoxLayout(stack);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    layout->addWidget(m_table, 1);
    layout->addWidget(status);
    status->hide();
    delete m_view.data();
    m_view = stack;
    attachImportCommand(stack);
    return stack;
}
