#pragma once

#include <QTableView>
#include <functional>

// The data pane's table: turns a few keys, every press in a column and a dropped file into
// requests to its owner. It knows neither the work nor the document.
class DataTableView : public QTableView {
    Q_OBJECT
public:
    explicit DataTableView(QWidget* parent = nullptr);

    // Whether a cell editor is open.
    bool isEditing() const { return state() == EditingState; }

    std::function<void()> onEdit;              // Return or Enter
    std::function<void(int)> onMoveColumn;     // Tab (+1), Shift-Tab, Left (-1), Right (+1)
    std::function<void()> onClear;             // Delete, Forward Delete
    std::function<void(int)> onClickColumn;    // a press landed in that column
    std::function<bool()> acceptsFileDrop;     // whether a dropped file would be taken now
    std::function<void(const QString&)> onDropFile;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    bool focusNextPrevChild(bool next) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    QString droppedFile(const QMimeData* data) const;
};
