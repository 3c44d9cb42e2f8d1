#include "platform/UndoCommand.h"

UndoCommand::UndoCommand(const QString& text, QUndoCommand* parent)
    : QUndoCommand(text, parent)
{
}

void UndoCommand::undo()
{
    undoChange();
}

void UndoCommand::redo()
{
    if (!pushed_) {
        pushed_ = true;
        return;
    }
    redoChange();
}

FunctionUndoCommand::FunctionUndoCommand(const QString& text, std::function<void()> undo, std::function<void()> redo)
    : UndoCommand(text)
    , undo_(std::move(undo))
    , redo_(std::move(redo))
{
}

void FunctionUndoCommand::undoChange()
{
    if (undo_)
        undo_();
}

void FunctionUndoCommand::redoChange()
{
    if (redo_)
        redo_();
}
