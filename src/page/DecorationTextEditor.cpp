#include "page/DecorationTextEditor.h"

#include <QKeyEvent>
#include <QMimeData>

DecorationTextEditor::DecorationTextEditor(QWidget* parent) : QPlainTextEdit(parent)
{
    // The text view's own undo/redo acts on the typing only.
    setUndoRedoEnabled(true);
    setFrameShape(QFrame::NoFrame);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

void DecorationTextEditor::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        if (onCancel)
            onCancel();
        return;
    }
    const bool isReturn = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (isReturn && (event->modifiers() & Qt::ControlModifier)) {
        if (onFinish)
            onFinish();
        return;
    }
    // Undo and redo stay inside the editor: the document's shortcut must not see them.
    QPlainTextEdit::keyPressEvent(event);
    event->accept();
}

void DecorationTextEditor::focusOutEvent(QFocusEvent* event)
{
    QPlainTextEdit::focusOutEvent(event);
    // A focus lost to a popup (the context menu) is no end of editing.
    if (event->reason() == Qt::PopupFocusReason)
        return;
    if (onFinish)
        onFinish();
}

bool DecorationTextEditor::canInsertFromMimeData(const QMimeData* source) const
{
    return source && source->hasText();
}

void DecorationTextEditor::insertFromMimeData(const QMimeData* source)
{
    if (!source || !source->hasText() || isReadOnly())
        return;
    insertPlainText(source->text());
}
