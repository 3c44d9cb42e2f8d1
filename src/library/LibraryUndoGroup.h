#pragma once

#include <QUndoCommand>
#include <memory>
#include <vector>

// The undo steps of one library command over several items, undone and redone together
// under the last step's name. Its steps are already done when they are added (each skips
// its first redo), and a group left empty is never pushed: no empty « Annuler » step.
class LibraryUndoGroup : public QUndoCommand {
public:
    void add(QUndoCommand* step)
    {
        setText(step->text());
        steps_.emplace_back(step);
    }
    bool isEmpty() const { return steps_.empty(); }
    int size() const { return int(steps_.size()); }

    void undo() override
    {
        for (auto it = steps_.rbegin(); it != steps_.rend(); ++it)
            (*it)->undo();
    }
    void redo() override
    {
        for (auto& step : steps_)
            step->redo();
    }

private:
    std::vector<std::unique_ptr<QUndoCommand>> steps_;
};
