#pragma once

#include "model/PlmWork.h"

#include <QPointer>
#include <QSet>
#include <QString>
#include <QUndoStack>
#include <functional>
#include <optional>
#include <type_traits>

// The work document as the Fond pane and its inspector sections see it. The document class
// lives above the canvas, so the pane reaches it through these functions; of() builds them
// for any document with the work document's members, holding it weakly (a function that
// finds the document gone reads nothing and changes nothing).
struct FondDocument {
    using WorkChange = std::function<void(PlmWork&)>;

    // A copy of the stored work.
    std::function<std::optional<PlmWork>()> work;
    // The one undoable update; throws the document's PlmError when the new work is refused.
    std::function<void(const QString& actionName, const WorkChange& change)> updateWork;
    std::function<std::optional<QString>()> selectedEntityID;
    std::function<QSet<QString>()> selectedEntityIDs;
    std::function<void(const QSet<QString>& ids, const std::optional<QString>& primary)> select;
    std::function<void()> undo;
    std::function<void()> redo;
    // The document's undo stack (null when the document is gone), for windows that show
    // their own undo and redo items.
    std::function<QUndoStack*()> undoStack;
    // Every update between the two is one undo step (named after its first update).
    std::function<void()> beginUndoGrouping;
    std::function<void()> endUndoGrouping;
    // Tells the document whether a text typed in place is pending (not a step yet).
    std::function<void(bool pending)> noteDraft;

    bool canRead() const { return bool(work); }
    bool canUpdate() const { return bool(updateWork); }

    // A document read through a work reader only (no update, no selection).
    static FondDocument reading(std::function<std::optional<PlmWork>()> readWork)
    {
        FondDocument link;
        link.work = std::move(readWork);
        return link;
    }

    template <class Document>
    static FondDocument of(Document* document)
    {
        FondDocument link;
        if (!document)
            return link;
        QPointer<Document> weak(document);
        link.work = [weak]() -> std::optional<PlmWork> {
            if (!weak)
                return std::nullopt;
            return weak->work();
        };
        link.updateWork = [weak](const QString& actionName, const WorkChange& change) {
            if (weak)
                weak->updateWork(actionName, change);
        };
        link.selectedEntityID = [weak]() -> std::optional<QString> {
            return weak ? weak->selectedEntityID() : std::nullopt;
        };
        link.selectedEntityIDs = [weak]() { return weak ? weak->selectedEntityIDs() : QSet<QString>(); };
        link.select = [weak](const QSet<QString>& ids, const std::optional<QString>& primary) {
            if (weak)
                weak->select(ids, primary);
        };
        link.undo = [weak] {
            if (weak && weak->undoStack() && weak->undoStack()->canUndo())
                weak->undoStack()->undo();
        };
        link.redo = [weak] {
            if (weak && weak->undoStack() && weak->undoStack()->canRedo())
                weak->undoStack()->redo();
        };
        if constexpr (std::is_convertible_v<decltype(document->undoStack()), QUndoStack*>)
            link.undoStack = [weak]() -> QUndoStack* { return weak ? weak->undoStack() : nullptr; };
        if constexpr (requires(Document* d) { d->undoStack()->beginMacro(QString()); })
            link.beginUndoGrouping = [weak] {
            if (weak && weak->undoStack())
                weak->undoStack()->beginMacro(QString());
        };
        if constexpr (requires(Document* d) { d->undoStack()->endMacro(); })
            link.endUndoGrouping = [weak] {
            if (!weak || !weak->undoStack())
                return;
            QUndoStack* stack = weak->undoStack();
            stack->endMacro();
            if (stack->index() < 1)
                return;
            auto* group = const_cast<QUndoCommand*>(stack->command(stack->index() - 1));
            if (!group || !group->text().isEmpty())
                return;
            if (group->childCount() == 0) {
                // Nothing was stored: the empty step goes away.
                group->setObsolete(true);
                stack->undo();
            } else {
                group->setText(group->child(0)->text());
            }
        };
        if constexpr (requires(Document* d) { d->noteDraft(true); })
            link.noteDraft = [weak](bool pending) {
                if (weak)
                    weak->noteDraft(pending);
            };
        return link;
    }
};
