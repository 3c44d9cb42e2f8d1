#pragma once

#include <QPersistentModelIndex>
#include <QTreeView>
#include <functional>

class QMimeData;

// The library outline: rows of 48 points, keys of its own (Return renames, space shows
// « Coup d’œil », Delete trashes, Ctrl+O opens) and drops retargeted on a whole folder row,
// never between rows. What a drop means is decided by the window through the callbacks.
class LibraryOutlineView : public QTreeView {
    Q_OBJECT
public:
    explicit LibraryOutlineView(QWidget* parent = nullptr);

    std::function<void()> onOpen;
    std::function<void()> onRename;
    std::function<void()> onDelete;
    std::function<void()> onQuickLook;

    // What a drop of this data over that row would do, and the folder row it lands on (an
    // invalid index for the library's root).
    struct DropAnswer {
        Qt::DropAction action = Qt::IgnoreAction;
        QModelIndex target;
    };
    std::function<DropAnswer(const QMimeData*, const QModelIndex& proposed)> validateDrop;
    std::function<bool(const QMimeData*, const QModelIndex& proposed)> acceptDrop;
    // A drag of rows starts from this outline (the dragged rows) and ends.
    std::function<void(const QModelIndexList&)> dragStarted;
    std::function<void()> dragEnded;

    // Handles the outline's own keys; false for any other key (tests call it directly).
    bool handleKey(QKeyEvent* event);
    // The folder row highlighted by the drag in progress (invalid: none, or the root).
    QPersistentModelIndex dropHighlight() const { return highlight_; }
    bool highlightsRoot() const { return highlightRoot_; }

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void startDrag(Qt::DropActions supportedActions) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    const std::function<void()>* callbackFor(const QKeyEvent* event) const;
    void clearHighlight();
    QPersistentModelIndex highlight_;
    bool highlightRoot_ = false;
};
