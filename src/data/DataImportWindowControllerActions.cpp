// The data import dialog's actions: each forwards one control's event to the model, then
// copies the model's state back into the controls.
#include "data/DataImportWindowController.h"

#include "data/DataImportWindowControllerPreview.h"
#include "data/DataImportWindowControllerZones.h"
#include "tables/PlmMatchImport.h"
#include "model/PlmErrors.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTableWidget>

namespace {

QColor errorColor()
{
    return QColor(255, 59, 48); // the system red
}

} // namespace

void DataImportWindowController::reload()
{
    if (!m_document.isAlive())
        return;
    m_loading = true;
    m_model.setHasHeader(m_header->isChecked());
    m_model.reload(m_document.work().map);
    fillKeyPickers();
    reloadColumnsTable();
    refresh();
    m_loading = false;
}

void DataImportWindowController::fillKeyPickers()
{
    const QSignalBlocker blockSource(m_sourcePicker);
    const QSignalBlocker blockField(m_fieldPicker);
    m_sourcePicker->clear();
    m_sourcePicker->addItems(m_model.match().table().names);
    m_sourcePicker->setCurrentIndex(m_model.candidate().column);
    m_fieldPicker->clear();
    for (const auto& [field, title] : m_model.fieldChoices())
        m_fieldPicker->addItem(title, field);
    m_fieldPicker->setCurrentIndex(m_fieldPicker->findData(m_model.candidate().field));
}

void DataImportWindowController::reloadColumnsTable()
{
    const QStringList& names = m_model.match().table().names;
    if (m_columnsTable->rowCount() != names.size()) {
        // Rebuilt only on a reload, never from a signal of the widgets being replaced.
        m_columnsTable->setRowCount(0);
        m_columnsTable->setRowCount(int(names.size()));
        for (int column = 0; column < names.size(); ++column) {
            auto* include = new QCheckBox;
            include->setObjectName(QStringLiteral("DataImport.Include.%1").arg(column));
            connect(include, &QCheckBox::clicked, this, [this, column](bool on) { toggleColumn(column, on); });
            m_columnsTable->setCellWidget(column, 0, include);
            auto* type = new QComboBox;
            type->setObjectName(QStringLiteral("DataImport.Type.%1").arg(column));
            for (PlmVariableType value : allPlmVariableTypes())
                type->addItem(label(value));
            connect(type, &QComboBox::activated, this, [this, column](int index) { changeType(column, index); });
            m_columnsTable->setCellWidget(column, 2, type);
        }
    }
    for (int column = 0; column < names.size(); ++column) {
        auto* item = new QTableWidgetItem(names.at(column));
        item->setToolTip(names.at(column));
        m_columnsTable->setItem(column, 1, item);
        const bool selected = m_model.selectedColumns().contains(column);
        if (auto* include = qobject_cast<QCheckBox*>(m_columnsTable->cellWidget(column, 0))) {
            const QSignalBlocker block(include);
            include->setChecked(selected);
        }
        if (auto* type = qobject_cast<QComboBox*>(m_columnsTable->cellWidget(column, 2))) {
            const QSignalBlocker block(type);
            type->setCurrentIndex(int(allPlmVariableTypes().indexOf(m_model.columnType(column))));
            type->setEnabled(selected);
        }
    }
}

void DataImportWindowController::refresh()
{
    m_model.refresh();
    if (m_previewModel->reload()) {
        m_preview->setColumnWidth(0, 210);
        for (int section = 1; section < m_previewModel->columnCount(); ++section)
            m_preview->setColumnWidth(section, 140);
    }
    // The zone column widens to its longest text on screen ("Doublon : plusieurs lignes pour
    // cette zone"), so that the reason a row needs attention is read whole.
    const int zoneWidth = static_cast<QAbstractItemView*>(m_preview)->sizeHintForColumn(0);
    if (zoneWidth > m_preview->columnWidth(0))
        m_preview->setColumnWidth(0, zoneWidth);
    m_onlyIssues->setHidden(m_model.onlyIssuesHidden());
    m_matchingControls->setHidden(m_model.matchingControlsHidden());
    m_correctionControls->setHidden(m_model.correctionControlsHidden());
    m_summary->setText(m_model.summaryText());
    showNote(m_model.noteText(), false);
    m_apply->setEnabled(m_model.canImport(m_document.isAlive()));
    updateCorrectionControls();
}

void DataImportWindowController::showNote(const QString& text, bool isError)
{
    m_noteIsError = isError;
    m_note->setText(text);
    m_note->setToolTip(text);
    QPalette palette = m_note->palette();
    palette.setColor(QPalette::WindowText, isError ? errorColor() : this->palette().color(QPalette::PlaceholderText));
    m_note->setPalette(palette);
}

QList<int> DataImportWindowController::selectedVisibleRows() const
{
    QList<int> rows;
    for (const QModelIndex& index : m_preview->selectionModel()->selectedRows())
        rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void DataImportWindowController::updateCorrectionControls()
{
    const DataImportWindowControllerModel::CorrectionControls state =
        m_model.correctionControls(selectedVisibleRows());
    m_zone->setEnabled(state.zoneAndFix);
    m_fix->setEnabled(state.zoneAndFix);
    m_ignore->setEnabled(state.ignoreAndBatch);
    m_batch->setEnabled(state.ignoreAndBatch);
    resetZoneItems(QString(), QString());
}

void DataImportWindowController::resetZoneItems(const QString& query, const QString& text)
{
    const QSignalBlocker block(m_zone);
    m_zoneItems->setPositions(m_model.zoneItems(query));
    m_zone->setCurrentIndex(-1);
    m_zone->setEditText(text);
}

void DataImportWindowController::searchZones(const QString& text)
{
    const int cursor = m_zone->lineEdit()->cursorPosition();
    resetZoneItems(text, text);
    m_zone->lineEdit()->setCursorPosition(cursor);
}

// --- Sheet, header and key ----------------------------------------------------------------

void DataImportWindowController::changeSheet()
{
    m_model.selectSheet(m_sheetPicker->currentIndex());
    m_header->setChecked(m_model.hasHeader());
    reload();
}

void DataImportWindowController::changeHeader()
{
    reload();
}

void DataImportWindowController::changeMatch()
{
    if (m_loading)
        return;
    const QString field = m_fieldPicker->currentData().toString();
    if (!m_model.chooseKey(m_sourcePicker->currentIndex(), field)) {
        // No candidate for that pair: show the key still in use rather than a choice not made.
        fillKeyPickers();
        return;
    }
    refresh();
}

// --- Columns --------------------------------------------------------------------------------

void DataImportWindowController::filterRows()
{
    m_model.setOnlyIssues(m_onlyIssues->isChecked());
    refresh();
}

void DataImportWindowController::toggleColumn(int column, bool on)
{
    m_model.setColumnSelected(column, on);
    reloadColumnsTable();
    refresh();
}

void DataImportWindowController::selectColumns(int tag)
{
    m_model.selectEveryColumn(tag == 1);
    reloadColumnsTable();
    refresh();
}

void DataImportWindowController::changeType(int column, int typeIndex)
{
    const QList<PlmVariableType>& types = allPlmVariableTypes();
    if (typeIndex < 0 || typeIndex >= types.size())
        return;
    m_model.setColumnType(column, types.at(typeIndex));
    refresh();
}

// --- Corrections ----------------------------------------------------------------------------

void DataImportWindowController::focusCorrection()
{
    if (m_zone->isEnabled())
        m_zone->setFocus(Qt::OtherFocusReason);
}

void DataImportWindowController::correctRow()
{
    const QList<int> rows = m_model.tableRows(selectedVisibleRows());
    if (rows.isEmpty())
        return;
    if (!m_model.correctRow(rows.first(), m_zone->currentText())) {
        showNote(DataImportWindowControllerModel::correctionRefusal(), true);
        return;
    }
    refresh();
}

void DataImportWindowController::correctBatch(const QString& kind)
{
    if (kind.isEmpty())
        return;
    m_model.correctBatch(m_model.tableRows(selectedVisibleRows()), kind);
    refresh();
}

void DataImportWindowController::ignoreRow()
{
    m_model.ignoreRows(m_model.tableRows(selectedVisibleRows()));
    refresh();
}

// --- Import ---------------------------------------------------------------------------------

void DataImportWindowController::importVariables()
{
    if (!m_document.isAlive() || !m_model.confirmedColumn())
        return;
    try {
        const DataImportWindowControllerModel& model = m_model;
        m_document.updateWork(PlmMatchImport::actionName(), [&model](PlmWork& work) { model.importInto(work); });
    } catch (const PlmError& error) {
        showNote(error.message(), true);
        return;
    }
    // The window is deleted once closed: keep what runs after.
    const std::function<void()> finished = m_onFinished;
    const std::function<void()> showData = m_document.showData;
    close();
    if (finished)
        finished();
    else if (showData)
        showData();
}

void DataImportWindowController::cancelImport()
{
    close();
}

