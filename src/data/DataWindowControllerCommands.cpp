// The data pane's answers to the editing and document commands: copy and paste of cell blocks,
// select all, undo and redo, save, and the commands on whole variables.
#include "data/DataWindowController.h"

#include "data/CalculationWindowController.h"
#include "data/DataClipboard.h"
#include "data/DataTableModel.h"
#include "data/DataVariableDialog.h"
#include "model/PlmErrors.h"
#include "desktop/Document.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QItemSelectionModel>
#include <algorithm>

namespace {

const QStringList& paneCommands()
{
    static const QStringList commands{
        "copy:",           "copyRows:",      "paste:",          "selectAll:",      "undo:",
        "redo:",           "saveDocument:",  "saveDocumentAs:", "chooseVariable:", "newCalculation:",
        "editCalculation:", "recalculate:",  "addVariable:",    "renameVariable:", "deleteVariable:",
        "clearCells:",
    };
    return commands;
}

// Edits of map entities and layout elements that the studio window would pass on to the
// Fond or Carte pane: while the table has the focus they stay disabled here, so "Supprimer"
// typed in the table never deletes an entity of the map.
const QStringList& entityCommands()
{
    static const QStringList commands{"cut:", "delete:", "duplicate:", "groupEntities:", "ungroupEntities:"};
    return commands;
}

Document* documentOf(const DataPaneHost& host)
{
    return qobject_cast<Document*>(host.document.owner.data());
}

} // namespace

bool DataWindowController::handles(const QString& command) const
{
    return paneCommands().contains(command) || entityCommands().contains(command);
}

CommandValidation DataWindowController::validate(const QString& command, QAction* action) const
{
    // Undo and redo carry the document's title of the moment ("Annuler Saisir une cellule").
    if (command == QLatin1String("undo:") || command == QLatin1String("redo:")) {
        if (const auto* document = qobject_cast<const Document*>(host.document.owner.data()))
            return document->validate(command, action);
    }
    CommandValidation validation;
    validation.enabled = !entityCommands().contains(command) && validateAction(command);
    return validation;
}

void DataWindowController::perform(const QString& command, QObject*)
{
    if (command == QLatin1String("copy:"))
        copyCells(false);
    else if (command == QLatin1String("copyRows:"))
        copyCells(true);
    else if (command == QLatin1String("paste:"))
        pasteCells();
    else if (command == QLatin1String("selectAll:"))
        selectAllRows();
    else if (command == QLatin1String("undo:"))
        undoOrRedo(false);
    else if (command == QLatin1String("redo:"))
        undoOrRedo(true);
    else if (command == QLatin1String("saveDocument:"))
        performSave(false);
    else if (command == QLatin1String("saveDocumentAs:"))
        performSave(true);
    else if (command == QLatin1String("chooseVariable:"))
        chooseVariable();
    else if (command == QLatin1String("newCalculation:"))
        openCalculation(std::nullopt);
    else if (command == QLatin1String("editCalculation:"))
        editCalculation();
    else if (command == QLatin1String("recalculate:"))
        recalculate();
    else if (command == QLatin1String("addVariable:"))
        showVariableDialog(false);
    else if (command == QLatin1String("renameVariable:"))
        renameVariable();
    else if (command == QLatin1String("deleteVariable:"))
        deleteVariable();
    else if (command == QLatin1String("clearCells:"))
        clearSelectedCells();
}

// --- Clipboard ----------------------------------------------------------------------------------

QString DataWindowController::clipboardText(bool wholeRows) const
{
    return DataClipboard::copyText(selectedEntityIDs(), wholeRows, activeColumn, work());
}

void DataWindowController::copyCells(bool wholeRows)
{
    if (!commitPendingEdit())
        return;
    const QList<QString> selected = selectedEntityIDs();
    if (selected.isEmpty())
        return;
    const QString text = DataClipboard::copyText(selected, wholeRows, activeColumn, work());
    if (QClipboard* clipboard = QApplication::clipboard()) {
        clipboard->clear();
        clipboard->setText(text);
    }
    updateStudioDetails();
}

int DataWindowController::pasteStartRow() const
{
    if (!m_table)
        return -1;
    // The most recently selected row: the current one when it is selected, else the last one.
    const int current = m_table->currentIndex().row();
    if (current >= 0 && m_table->selectionModel()->isRowSelected(current))
        return current;
    const QList<QString> selected = selectedEntityIDs();
    return selected.isEmpty() ? -1 : tableModel()->row(selected.last());
}

void DataWindowController::pasteCells()
{
    if (!commitPendingEdit())
        return;
    const PlmWork current = work();
    const PlmVariable* active = current.variable(activeColumn);
    const int start = pasteStartRow();
    const QClipboard* clipboard = QApplication::clipboard();
    const QString text = clipboard ? clipboard->text() : QString();
    if (!active || start < 0 || text.isEmpty() || !host.document.isAlive())
        return;
    const QList<QString> targets = DataClipboard::pasteTargets(tableModel()->rowEntityIDs(), start);
    const QString variableID = active->id;
    int lines = 0;
    try {
        host.document.updateWork(QStringLiteral("Coller les cellules"), [&](PlmWork& work) {
            lines = work.pasteBlock(text, targets, variableID);
        });
    } catch (const PlmError& error) {
        showError(error.message());
        return;
    }
    // The rows that received the block, wherever the refresh has put them.
    const QList<QString> pasted = DataClipboard::pastedEntities(targets, lines);
    selectRows(QSet<QString>(pasted.begin(), pasted.end()));
    if (onSelectionChange)
        onSelectionChange(selectedEntityIDs());
}

void DataWindowController::selectAllRows()
{
    if (m_table)
        m_table->selectAll();
}

void DataWindowController::undoOrRedo(bool redo)
{
    if (!commitPendingEdit())
        return;
    Document* document = documentOf(host);
    if (!document)
        return;
    if (redo)
        document->redo();
    else
        document->undo();
}

void DataWindowController::performSave(bool saveAs)
{
    // The document commits the studio window's pending edits first and saves nothing when
    // one is refused.
    Document* document = documentOf(host);
    if (!document)
        return;
    if (saveAs)
        document->saveDocumentAs();
    else
        document->saveDocumentInBackground();
}

// --- Variable commands --------------------------------------------------------------------------

void DataWindowController::chooseVariable()
{
    if (!variablePicker)
        return;
    const int index = variablePicker->currentIndex();
    const PlmWork current = work();
    if (index < 0 || index >= current.variables.size())
        return;
    activeColumn = current.variables.at(index).id;
    scrollToActiveColumn();
    updateStatus();
}

void DataWindowController::editCalculation()
{
    const PlmWork current = work();
    const PlmVariable* active = current.variable(activeColumn);
    if (active && active->isCalculated())
        openCalculation(active->id);
}

void DataWindowController::openCalculation(const std::optional<QString>& variableID)
{
    if (!commitPendingEdit() || !host.document.isAlive())
        return;
    if (calculationController) {
        calculationController->closeWindow();
        calculationController->deleteLater();
    }
    QPointer<DataWindowController> self(this);
    calculationController = new CalculationWindowController(
        host.document, variableID, calculationFinishedHandler(), [self](const QString& savedID) {
            if (self)
                self->calculationSaved(savedID);
        },
        this);
    // Closed, its window holds nothing any more: the next formula opens a window of its own.
    connect(calculationController, &CalculationWindowController::windowClosed, calculationController,
            &QObject::deleteLater);
    calculationController->showWindow();
}

void DataWindowController::calculationSaved(const QString& variableID)
{
    activeColumn = variableID;
    const int column = tableModel()->column(variableID);
    if (column >= 0)
        activateColumn(column);
    else
        updateStatus();
}

void DataWindowController::recalculate()
{
    if (!commitPendingEdit() || !host.document.isAlive())
        return;
    try {
        // The update itself recomputes every calculated variable; an unchanged work adds no step.
        host.document.updateWork(QStringLiteral("Recalculer les variables"), [](PlmWork&) {});
    } catch (const PlmError& error) {
        showError(error.message());
    }
}

void DataWindowController::renameVariable()
{
    const PlmWork current = work();
    if (!current.variable(activeColumn))
        return;
    showVariableDialog(true);
}

void DataWindowController::showVariableDialog(bool rename)
{
    if (!commitPendingEdit() || !m_table || !m_table->window())
        return;
    const PlmWork current = work();
    const PlmVariable* active = current.variable(activeColumn);
    if (rename && !active)
        return;
    DataVariableDialog::Request request;
    request.rename = rename;
    request.name = rename ? active->name : QStringLiteral("Nouvelle variable");
    request.window = m_table->window();
    // A rename applies to the variable active when the sheet opened.
    const QString renamedID = rename ? active->id : QString();
    QPointer<DataWindowController> self(this);
    DataVariableDialog::begin(request, [self, rename, renamedID](const std::optional<DataVariableDialog::Answer>& answer) {
        if (!answer || !self || !self->host.document.isAlive())
            return;
        QString keptID = renamedID;
        try {
            if (rename) {
                self->host.document.updateWork(QStringLiteral("Renommer une variable"), [&](PlmWork& work) {
                    work.renameVariable(renamedID, answer->name);
                });
            } else {
                self->host.document.updateWork(QStringLiteral("Ajouter une variable"), [&](PlmWork& work) {
                    keptID = work.addVariable(answer->name, answer->type);
                });
            }
        } catch (const PlmError& error) {
            self->showError(error.message());
            return;
        }
        self->calculationSaved(keptID);
    });
}

void DataWindowController::deleteVariable()
{
    const PlmWork current = work();
    const PlmVariable* active = current.variable(activeColumn);
    if (!active || !commitPendingEdit() || !host.document.isAlive())
        return;
    const QString id = active->id;
    try {
        host.document.updateWork(QStringLiteral("Supprimer une variable"),
                                 [&](PlmWork& work) { work.deleteVariable(id); });
    } catch (const PlmError& error) {
        showError(error.message());
    }
}
