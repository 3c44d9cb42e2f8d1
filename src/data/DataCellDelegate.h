#pragma once

#include <QPointer>
#include <QStyledItemDelegate>
#include <optional>
#include <utility>

class DataCellField;
struct PlmVariable;
class DataWindowController;

// The cell editing of the data pane: editors are DataCellFields; an editor whose text does not
// parse for its variable stays open with the refusal on the pane's status line; a finished edit
// is one undoable update "Saisir une cellule"; Tab, Shift-Tab, Return and the vertical arrows
// commit and move the editor to the next cell. An edit stays open while its window is away.
class DataCellDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    enum class Move { tab, backtab, newline, down, up };

    explicit DataCellDelegate(DataWindowController* pane);

    // The cell an editor moves to from (row, column) in a table of `rowCount` rows and
    // `columnCount` columns, whose first two columns are never edited; none when the move
    // leaves the table (the edit then ends in place).
    static std::optional<std::pair<int, int>> moveTarget(Move move, int row, int column, int rowCount,
                                                         int columnCount);

    // The parser's refusal of a text for a column, none when it may be stored (or the column
    // names no variable).
    std::optional<QString> refusal(const QString& variableID, const QString& text) const;

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;
    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const override;

    // Tooltip of a cell: the formula of a calculated variable, else the cell's text.
    static QString toolTip(const PlmVariable* variable, const QString& cellText);
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;

protected:
    bool eventFilter(QObject* object, QEvent* event) override;

private:
    bool moveEditor(DataCellField* field, Move move);
    void openEditor(const QString& entityID, const QString& columnID);

    QPointer<DataWindowController> m_pane;
};
