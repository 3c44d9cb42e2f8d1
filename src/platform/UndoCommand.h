#pragma once

#include <QUndoCommand>
#include <functional>

// An undo step whose change has already been made when it is pushed. QUndoStack::push runs
// redo() at once; the first call is skipped so the change is not applied twice.
class UndoCommand : public QUndoCommand {
public:
    explicit UndoCommand(const QString& text, QUndoCommand* parent = nullptr);

    void undo() final;
    void redo() final;

protected:
    virtual void undoChange() = 0;
    virtual void redoChange() = 0;

private:
    bool pushed_ = false;
};

// An undo step made of two closures.
class FunctionUndoCommand : public UndoCommand {
public:
    FunctionUndoCommand(const QString& text, std::function<void()> undo, std::function<void()> redo);

protected:
    void undoChange() override;
    void redoChange() override;

private:
    std::function<void()> undo_;
    std::function<void()> redo_;
};
