#include "data/DataTableView.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QUrl>

DataTableView::DataTableView(QWidget* parent)
    : QTableView(parent)
{
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setDropIndicatorShown(false);
    setTabKeyNavigation(false);
}

void DataTableView::keyPressEvent(QKeyEvent* event)
{
    // A key of ours whose request is not installed is consumed all the same: the base view
    // would otherwise move the current cell or beep.
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (onEdit)
            onEdit();
        event->accept();
        return;
    case Qt::Key_Tab:
        if (onMoveColumn)
            onMoveColumn(event->modifiers() & Qt::ShiftModifier ? -1 : 1);
        event->accept();
        return;
    case Qt::Key_Backtab:
        if (onMoveColumn)
            onMoveColumn(-1);
        event->accept();
        return;
    case Qt::Key_Left:
        if (onMoveColumn)
            onMoveColumn(-1);
        event->accept();
        return;
    case Qt::Key_Right:
        if (onMoveColumn)
            onMoveColumn(1);
        event->accept();
        return;
    case Qt::Key_Backspace:
    case Qt::Key_Delete:
        if (onClear)
            onClear();
        event->accept();
        return;
    default:
        QTableView::keyPressEvent(event);
    }
}

bool DataTableView::focusNextPrevChild(bool next)
{
    // Tab never leaves the table while it has the focus; keyPressEvent turns it into a move.
    if (hasFocus() && state() != EditingState)
        return false;
    return QTableView::focusNextPrevChild(next);
}

void DataTableView::mousePressEvent(QMouseEvent* event)
{
    // The owner learns the column before the base view changes the selection.
    const int column = columnAt(int(event->position().x()));
    if (column >= 0 && onClickColumn)
        onClickColumn(column);
    QTableView::mousePressEvent(event);
}

QString DataTableView::droppedFile(const QMimeData* data) const
{
    if (!data || !data->hasUrls())
        return {};
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile() && QFileInfo(url.toLocalFile()).isFile())
            return url.toLocalFile();
    }
    return {};
}

void DataTableView::dragEnterEvent(QDragEnterEvent* event)
{
    if (!droppedFile(event->mimeData()).isEmpty() && onDropFile && (!acceptsFileDrop || acceptsFileDrop()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void DataTableView::dragMoveEvent(QDragMoveEvent* event)
{
    if (!droppedFile(event->mimeData()).isEmpty() && onDropFile && (!acceptsFileDrop || acceptsFileDrop()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void DataTableView::dropEvent(QDropEvent* event)
{
    const QString path = droppedFile(event->mimeData());
    if (path.isEmpty() || !onDropFile || (acceptsFileDrop && !acceptsFileDrop())) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    onDropFile(path);
}
