#include "library/LibraryOutlineView.h"

#include <QDrag>
#include <QDragEnterEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QPainter>
#include <QStyledItemDelegate>

namespace {

// Rows of 48 points, the picture 2 points from the leading edge and the name 7 after it.
class RowDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        return QSize(QStyledItemDelegate::sizeHint(option, index).width(), 48);
    }

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        option->decorationSize = QSize(58, 40);
    }
};

} // namespace

LibraryOutlineView::LibraryOutlineView(QWidget* parent)
    : QTreeView(parent)
{
    setHeaderHidden(true);
    setIndentation(16);
    setUniformRowHeights(true);
    setIconSize(QSize(58, 40));
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setDragEnabled(true);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setDropIndicatorShown(false); // the target folder is highlighted instead
    setDragDropMode(QAbstractItemView::DragDrop);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setExpandsOnDoubleClick(false); // a double click is the window's "open"
    setTextElideMode(Qt::ElideRight);
    setFrameShape(QFrame::NoFrame);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setItemDelegate(new RowDelegate(this));
}

const std::function<void()>* LibraryOutlineView::callbackFor(const QKeyEvent* event) const
{
    // Shift does not count: only Ctrl, Alt and Meta turn a key into another command.
    const Qt::KeyboardModifiers mods = event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return mods == Qt::NoModifier ? &onRename : nullptr;
    case Qt::Key_Space:
        return mods == Qt::NoModifier ? &onQuickLook : nullptr;
    case Qt::Key_Delete:
    case Qt::Key_Backspace:
        return mods == Qt::NoModifier ? &onDelete : nullptr;
    case Qt::Key_O:
        return mods == Qt::ControlModifier ? &onOpen : nullptr;
    default:
        return nullptr;
    }
}

bool LibraryOutlineView::handleKey(QKeyEvent* event)
{
    const std::function<void()>* callback = callbackFor(event);
    if (!callback)
        return false;
    if (*callback)
        (*callback)();
    return true;
}

bool LibraryOutlineView::event(QEvent* event)
{
    // The outline's own keys win over the menus' shortcuts (Ctrl+O opens the selection here).
    if (event->type() == QEvent::ShortcutOverride && callbackFor(static_cast<QKeyEvent*>(event))) {
        event->accept();
        return true;
    }
    return QTreeView::event(event);
}

void LibraryOutlineView::keyPressEvent(QKeyEvent* event)
{
    if (handleKey(event)) {
        event->accept();
        return;
    }
    QTreeView::keyPressEvent(event);
}

void LibraryOutlineView::startDrag(Qt::DropActions)
{
    // Our own drag: the rows are never removed by the view (a move is the store's work),
    // moved inside the program, copied by the file manager.
    const QModelIndexList rows = selectionModel() ? selectionModel()->selectedRows() : QModelIndexList();
    if (rows.isEmpty() || !model())
        return;
    QMimeData* data = model()->mimeData(rows);
    if (!data)
        return;
    if (dragStarted)
        dragStarted(rows);
    auto* drag = new QDrag(this);
    drag->setMimeData(data);
    drag->setPixmap(QPixmap::fromImage(rows.first().data(Qt::DecorationRole).value<QImage>()));
    drag->exec(Qt::MoveAction | Qt::CopyAction, Qt::CopyAction);
    if (dragEnded)
        dragEnded();
}

void LibraryOutlineView::clearHighlight()
{
    if (highlight_.isValid() || highlightRoot_) {
        highlight_ = QPersistentModelIndex();
        highlightRoot_ = false;
        viewport()->update();
    }
}

void LibraryOutlineView::dragEnterEvent(QDragEnterEvent* event)
{
    // The view stays interested in any rows or files, so that the moves that follow reach
    // it even where the first position refuses them.
    dragMoveEvent(event);
    const QMimeData* data = event->mimeData();
    if (data && (data->hasUrls() || data->hasFormat(QStringLiteral("ondrel.pelmorastudio.library-item"))))
        event->accept();
}

void LibraryOutlineView::dragMoveEvent(QDragMoveEvent* event)
{
    const QModelIndex proposed = indexAt(event->position().toPoint());
    const DropAnswer answer = validateDrop ? validateDrop(event->mimeData(), proposed) : DropAnswer();
    if (answer.action == Qt::IgnoreAction) {
        clearHighlight();
        event->ignore();
        return;
    }
    highlight_ = QPersistentModelIndex(answer.target);
    highlightRoot_ = !answer.target.isValid();
    viewport()->update();
    event->setDropAction(answer.action);
    event->accept();
}

void LibraryOutlineView::dragLeaveEvent(QDragLeaveEvent* event)
{
    clearHighlight();
    event->accept();
}

void LibraryOutlineView::dropEvent(QDropEvent* event)
{
    const QModelIndex proposed = indexAt(event->position().toPoint());
    const DropAnswer answer = validateDrop ? validateDrop(event->mimeData(), proposed) : DropAnswer();
    clearHighlight();
    if (answer.action == Qt::IgnoreAction || !acceptDrop || !acceptDrop(event->mimeData(), proposed)) {
        event->ignore();
        return;
    }
    event->setDropAction(answer.action);
    event->accept();
}

void LibraryOutlineView::paintEvent(QPaintEvent* event)
{
    QTreeView::paintEvent(event);
    if (!highlight_.isValid() && !highlightRoot_)
        return;
    QPainter p(viewport());
    p.setRenderHint(QPainter::Antialiasing);
    const QColor accent = palette().color(QPalette::Highlight);
    QRectF box = highlightRoot_ ? QRectF(viewport()->rect()) : QRectF(visualRect(highlight_));
    if (!highlightRoot_)
        box.setLeft(0), box.setRight(viewport()->width());
    box.adjust(2, 2, -2, -2);
    QColor fill = accent;
    fill.setAlphaF(0.12);
    p.setPen(QPen(accent, 2));
    p.setBrush(fill);
    p.drawRoundedRect(box, 6, 6);
}
