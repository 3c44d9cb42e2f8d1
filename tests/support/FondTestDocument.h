#pragma once

#include "fond/FondDocument.h"
#include "model/PlmErrors.h"
#include "model/PlmWork.h"

#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <algorithm>
#include <functional>
#include <optional>

// A work document for the Fond pane's tests, with the work document's rules: an update copies
// the work, runs the change and stores it as one undo step (an equal work stores nothing); the
// selection keeps the top-level ids that exist, the primary only when selected (else the
// smallest). `afterChange` plays the studio window's reload.
class FondTestDocument : public QObject {
public:
    explicit FondTestDocument(const PlmWork& work) : m_work(work) {}

    PlmWork work() const { return m_work; }
    void setWork(const PlmWork& work) { m_work = work; }

    void updateWork(const QString& actionName, const std::function<void(PlmWork&)>& change)
    {
        PlmWork next = m_work;
        change(next);
        if (refuse)
            refuse(next); // throws to refuse
        if (next == m_work)
            return;
        m_undo.append({m_work, actionName});
        m_redo.clear();
        m_work = next;
        reconcile();
        if (afterChange)
            afterChange();
    }

    std::optional<QString> selectedEntityID() const { return m_primary; }
    QSet<QString> selectedEntityIDs() const { return m_selection; }
    void select(const QSet<QString>& ids, const std::optional<QString>& primary)
    {
        QSet<QString> kept;
        for (const PlmEntity& entity : m_work.map.entities) {
            if (ids.contains(entity.id))
                kept.insert(entity.id);
        }
        m_selection = kept;
        m_primary = primary && kept.contains(*primary) ? primary : smallest(kept);
        ++selectCount;
    }

    struct Step {
        PlmWork before;
        QString name;
    };
    const QList<Step>& undoSteps() const { return m_undo; }
    QString undoName() const { return m_undo.isEmpty() ? QString() : m_undo.last().name; }
    void undoLast()
    {
        if (m_undo.isEmpty())
            return;
        const Step step = m_undo.takeLast();
        m_redo.append({m_work, step.name});
        m_work = step.before;
        reconcile();
        if (afterChange)
            afterChange();
    }
    void redoLast()
    {
        if (m_redo.isEmpty())
            return;
        const Step step = m_redo.takeLast();
        m_undo.append({m_work, step.name});
        m_work = step.before;
        reconcile();
        if (afterChange)
            afterChange();
    }

    FondDocument link()
    {
        FondDocument link = FondDocument::of(this);
        link.undo = [this] { undoLast(); };
        link.redo = [this] { redoLast(); };
        return link;
    }
    // FondDocument::of needs an undo stack; this document keeps its own steps.
    struct NoStack {
        bool canUndo() const { return false; }
        bool canRedo() const { return false; }
        void undo() {}
        void redo() {}
    };
    NoStack* undoStack() { return nullptr; }

    std::function<void(const PlmWork&)> refuse;
    std::function<void()> afterChange;
    int selectCount = 0;

private:
    static std::optional<QString> smallest(const QSet<QString>& ids)
    {
        if (ids.isEmpty())
            return std::nullopt;
        return *std::min_element(ids.cbegin(), ids.cend());
    }
    void reconcile() { select(m_selection, m_primary); }

    PlmWork m_work;
    QSet<QString> m_selection;
    std::optional<QString> m_primary;
    QList<Step> m_undo;
    QList<Step> m_redo;
};
