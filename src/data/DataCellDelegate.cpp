#include "data/DataCellDelegate.h"

#include "data/DataCellField.h"
#include "data/DataTableModel.h"
#include "data/DataWindowController.h"
#include "desktop/FocusLoss.h"
#include "model/PlmErrors.h"

#include <QAbstractItemView>
#include <QFocusEvent>
#include <QHelpEvent>
#include <QToolTip>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QTimer>

namespace {

const QString editActionName = QStringLiteral("Saisir une cellule");

} // namespace

DataCellDelegate::DataCellDelegate(DataWindowController* pane)
    : QStyledItemDelegate(pane)
    , m_pane(pane)
{
}

std::optional<std::pair<int, int>> DataCellDelegate::moveTarget(Move move, int row, int column, int rowCount,
                                                                int columnCount)
{
    int targetRow = row;
    int targetColumn = column;
    switch (move) {
    case Move::tab:
        targetColumn = column + 1;
        if (targetColumn >= columnCount) {
            targetColumn = 2;
            targetRow = row + 1;
        }
        break;
    case Move::backtab:
        targetColumn = column - 1;
        if (targetColumn < 2) {
            targetColumn = columnCount - 1;
            targetRow = row - 1;
        }
        break;
    case Move::newline:
    case Move::down:
        targetRow = row + 1;
        break;
    case Move::up:
        targetRow = row - 1;
        break;
    }
    if (targetRow < 0 || targetRow >= rowCount || targetColumn < 2 || targetColumn >= columnCount)
        return std::nullopt;
    return std::make_pair(targetRow, targetColumn);
}

std::optional<QString> DataCellDelegate::refusal(const QString& variableID, const QString& text) const
{
    // Without a document an edit ends storing nothing, so nothing is refused either.
    if (!m_pane || !m_pane->host.document.isAlive())
        return std::nullopt;
    const PlmWork work = m_pane->work();
    const PlmVariable* variable = work.variable(variableID);
    if (!variable)
        return std::nullopt;
    try {
        PlmValue::parse(text, variable->type);
    } catch (const PlmError& error) {
        return error.message();
    }
    return std::nullopt;
}

QWidget* DataCellDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                        const QModelIndex& index) const
{
    if (!m_pane || !index.isValid())
        return nullptr;
    const DataTableModel* model = m_pane->tableModel();
    const QString columnID = model->columnID(index.column());
    const PlmVariable* variable = model->variable(index.column());
    if (index.column() < 2 || columnID.isEmpty() || (variable && variable->isCalculated()))
        return nullptr;
    auto* field = new DataCellField(parent);
    field->setObjectName(QStringLiteral("Data.CellField"));
    field->entityID = model->entityID(index.row());
    field->variableID = columnID;
    field->setFrame(false);
    QFont font = field->font();
    font.setPointSizeF(13);
    field->setFont(font);
    field->setAlignment((variable && variable->type == PlmVariableType::text ? Qt::AlignLeft : Qt::AlignRight)
                        | Qt::AlignVCenter);
    // Editing begins: the edited column becomes the active one.
    m_pane->activateColumn(index.column());
    return field;
}

void DataCellDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const
{
    auto* field = qobject_cast<DataCellField*>(editor);
    if (!field || !m_pane)
        return;
    const PlmVariable* variable = m_pane->tableModel()->variable(index.column());
    QString text;
    if (variable) {
        const auto found = variable->values.constFind(field->entityID);
        if (found != variable->values.constEnd())
            text = found->editingText();
    }
    field->setText(text);
    field->selectAll();
}

void DataCellDelegate::setModelData(QWidget* editor, QAbstractItemModel*, const QModelIndex&) const
{
    auto* field = qobject_cast<DataCellField*>(editor);
    if (!field || !m_pane || !m_pane->host.document.isAlive())
        return;
    const QString entityID = field->entityID;
    const QString variableID = field->variableID;
    const QString text = field->text();
    // A text that does not parse never reaches the update (an editor closed by the table
    // itself, such as on a click elsewhere, may end here with one).
    if (const std::optional<QString> refused = refusal(variableID, text)) {
        m_pane->showError(*refused);
        return;
    }
    try {
        m_pane->host.document.updateWork(editActionName, [&](PlmWork& work) { work.setCell(entityID, variableID, text); });
    } catch (const PlmError& error) {
        m_pane->showError(error.message());
    }
}

void DataCellDelegate::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                                            const QModelIndex&) const
{
    // 6 points inside the cell's edges, centred vertically.
    QRect rect = option.rect.adjusted(6, 0, -6, 0);
    const int height = std::min(rect.height(), editor->sizeHint().height());
    rect.setTop(option.rect.center().y() - height / 2);
    rect.setHeight(height);
    editor->setGeometry(rect);
}

bool DataCellDelegate::eventFilter(QObject* object, QEvent* event)
{
    auto* field = qobject_cast<DataCellField*>(object);
    if (!field || !m_pane)
        return QStyledItemDelegate::eventFilter(object, event);
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        const Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
        std::optional<Move> move;
        if (key->key() == Qt::Key_Backtab || (key->key() == Qt::Key_Tab && modifiers == Qt::ShiftModifier))
            move = Move::backtab;
        else if (key->key() == Qt::Key_Tab && modifiers == Qt::NoModifier)
            move = Move::tab;
        else if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && modifiers == Qt::NoModifier)
            move = Move::newline;
        else if (key->key() == Qt::Key_Down && modifiers == Qt::NoModifier)
            move = Move::down;
        else if (key->key() == Qt::Key_Up && modifiers == Qt::NoModifier)
            move = Move::up;
        if (move)
            return moveEditor(field, *move);
        return QStyledItemDelegate::eventFilter(object, event);
    }
    if (event->type() == QEvent::FocusOut) {
        // A window that merely loses its activation, a pop-up or the menu bar keeps the edit
        // open, untaken: coming back, the person goes on typing in the cell.
        if (FocusLoss::endsNothing(event))
            return false;
        // Ending the edit by leaving the editor: a refused text keeps it open.
        if (const std::optional<QString> refused = refusal(field->variableID, field->text())) {
            m_pane->showError(*refused);
            // Taken back at once, so that the next attempt to end the edit checks it again.
            if (field->isVisible())
                field->setFocus();
            return true;
        }
        emit commitData(field);
        emit closeEditor(field, QAbstractItemDelegate::NoHint);
        return true;
    }
    return QStyledItemDelegate::eventFilter(object, event);
}

bool DataCellDelegate::moveEditor(DataCellField* field, Move move)
{
    if (const std::optional<QString> refused = refusal(field->variableID, field->text())) {
        m_pane->showError(*refused);
        return true;
    }
    const QString entityID = field->entityID;
    const QString variableID = field->variableID;
    emit commitData(field);
    emit closeEditor(field, QAbstractItemDelegate::NoHint);
    if (!m_pane)
        return true;
    // Positions after the commit: the refresh may have sorted the rows again.
    DataTableModel* model = m_pane->tableModel();
    const int row = model->row(entityID);
    const int column = model->column(variableID);
    if (row < 0 || column < 0)
        return true;
    const auto target = moveTarget(move, row, column, model->rowCount(), model->columnCount());
    if (!target)
        return true;
    DataTableView* table = m_pane->table();
    const QModelIndex cell = model->index(target->first, target->second);
    table->selectionModel()->setCurrentIndex(cell, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    m_pane->activateColumn(target->second);
    table->scrollTo(cell);
    // Opened once this edit has fully ended.
    const QString targetEntity = model->entityID(target->first);
    const QString targetColumn = model->columnID(target->second);
    QPointer<DataCellDelegate> self(this);
    QTimer::singleShot(0, this, [self, targetEntity, targetColumn] {
        if (self)
            self->openEditor(targetEntity, targetColumn);
    });
    return true;
}

void DataCellDelegate::openEditor(const QString& entityID, const QString& columnID)
{
    if (!m_pane || !m_pane->table())
        return;
    DataTableModel* model = m_pane->tableModel();
    const QModelIndex cell = model->index(model->row(entityID), model->column(columnID));
    if (!cell.isValid() || !(model->flags(cell) & Qt::ItemIsEditable))
        return;
    m_pane->table()->edit(cell);
}

QString DataCellDelegate::toolTip(const PlmVariable* variable, const QString& cellText)
{
    if (variable && variable->calculation)
        return QStringLiteral("Formule : ") + variable->calculation->expression;
    return cellText;
}

bool DataCellDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                                 const QModelIndex& index)
{
    if (!event || event->type() != QEvent::ToolTip || !m_pane || !index.isValid())
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    const DataTableModel* model = m_pane->tableModel();
    const QString tip = toolTip(model->variable(index.column()), model->text(index.row(), index.column()));
    if (tip.isEmpty())
        QToolTip::hideText();
    else
        QToolTip::showText(event->globalPos(), tip, view);
    return true;
}
