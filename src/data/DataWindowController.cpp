#include "data/DataWindowController.h"

#include "data/DataWindowControllerModel.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>

DataWindowController::DataWindowController(WorkReader readWork, QObject* parent)
    : QObject(parent)
    , m_readWork(std::move(readWork))
    , m_model(new DataWindowControllerModel(this))
    , m_table(new QTableView)
{
    m_table->setObjectName(QStringLiteral("Data.Table"));
    m_table->setModel(m_model);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->verticalHeader()->setDefaultSectionSize(22);
    m_table->verticalHeader()->hide();
    connect(m_table->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &DataWindowController::userSelectionChanged);
    reloadTable();
}

DataWindowController::~DataWindowController()
{
    delete m_table.data();
    delete m_inspector.data();
}

QWidget* DataWindowController::studioTableView() const
{
    return m_table.data();
}

QWidget* DataWindowController::studioInspectorView()
{
    if (!m_inspector) {
        m_inspector = new QWidget;
        m_inspector->setObjectName(QStringLiteral("Data.Inspector"));
        auto* layout = new QVBoxLayout(m_inspector);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addStretch(1);
    }
    return m_inspector;
}

void DataWindowController::reloadTable()
{
    if (!m_readWork || !m_table)
        return;
    const std::optional<PlmWork> work = m_readWork();
    if (!work)
        return;
    const QList<QString> selected = selectedEntityIDs();
    const bool wasSuppressing = suppressSelection;
    suppressSelection = true;
    m_model->setWork(*work);
    selectRows(QSet<QString>(selected.begin(), selected.end()));
    suppressSelection = wasSuppressing;
}

QList<QString> DataWindowController::selectedEntityIDs() const
{
    QList<QString> ids;
    if (!m_table)
        return ids;
    // Read from the selection's ranges: QItemSelectionModel::selectedRows() tests every row
    // against every range, which takes minutes once the whole of a large map is selected.
    const QList<QString>& entityIDs = m_model->rowEntityIDs();
    const int lastColumn = m_model->columnCount() - 1;
    QItemSelectionModel* selection = m_table->selectionModel();
    QList<int> rows;
    for (const QItemSelectionRange& range : selection->selection()) {
        if (range.parent().isValid())
            continue;
        const bool wholeRows = range.left() <= 0 && range.right() >= lastColumn;
        const int bottom = std::min(range.bottom(), int(entityIDs.size()) - 1);
        for (int row = std::max(range.top(), 0); row <= bottom; ++row) {
            // A part of a row counts only when the rest of it is selected too.
            if (wholeRows || selection->isRowSelected(row))
                rows.append(row);
        }
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    ids.reserve(rows.size());
    for (int row : std::as_const(rows))
        ids.append(entityIDs.at(row));
    return ids;
}

void DataWindowController::selectRows(const QSet<QString>& entityIDs)
{
    if (!m_table)
        return;
    const bool wasSuppressing = suppressSelection;
    suppressSelection = true;
    QList<int> rows;
    rows.reserve(entityIDs.size());
    for (const QString& id : entityIDs) {
        const int row = m_model->row(id);
        if (row >= 0)
            rows.append(row);
    }
    std::sort(rows.begin(), rows.end());
    // Neighbouring rows make one range: the selection model compares ranges pairwise.
    QItemSelection selection;
    const int lastColumn = m_model->columnCount() - 1;
    for (qsizetype i = 0; i < rows.size();) {
        qsizetype j = i;
        while (j + 1 < rows.size() && rows.at(j + 1) <= rows.at(j) + 1)
            ++j;
        selection.select(m_model->index(rows.at(i), 0), m_model->index(rows.at(j), lastColumn));
        i = j + 1;
    }
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
        m_table->scrollTo(m_model->index(row, 0));
}

void DataWindowController::updateStatus()
{
}

void DataWindowController::userSelectionChanged()
{
    if (suppressSelection)
        return;
    if (onSelectionChange)
        onSelectionChange(selectedEntityIDs());
}
