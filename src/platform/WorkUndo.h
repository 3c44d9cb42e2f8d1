#pragma once

#include "model/PlmWork.h"
#include "platform/UndoCommand.h"

#include <QList>
#include <QString>
#include <functional>
#include <optional>
#include <utility>

// Which cells of each variable may differ between two works, when the caller already knows
// (an update knows which cells it touched). Column i of the works is described when both
// sides are the very columns recorded here; every key whose cell may differ is listed, in
// key order (a key listed in vain is harmless).
struct WorkCellChanges {
    QList<PlmVariableValues> before;
    QList<PlmVariableValues> after;
    QList<QList<QString>> keys;

    bool describes(qsizetype i, const PlmVariableValues& from, const PlmVariableValues& to) const
    {
        return i >= 0 && i < keys.size() && i < before.size() && i < after.size() && before[i].isSharedWith(from)
            && after[i].isSharedWith(to);
    }
};

// The difference between two works, kept by an undo step in place of the two whole works.
// Whole works share most of their storage, but a variable's values are one map: a single
// typed cell would otherwise keep a private copy of the whole column in every step. The
// delta keeps the fields that changed (shared values: cheap) and, for variables present on
// both sides, only the cells that differ. Applying it to one side gives the other side back
// exactly, bit for bit.
class WorkDelta {
public:
    WorkDelta() = default;
    WorkDelta(const PlmWork& before, const PlmWork& after, const WorkCellChanges* changes = nullptr);

    // The work before the change, from the work after it.
    PlmWork before(const PlmWork& after) const;
    // The work after the change, from the work before it.
    PlmWork after(const PlmWork& before) const;

    // Roughly the bytes this delta keeps for itself (cells and texts, not shared storage).
    qsizetype privateBytes() const;

private:
    // One cell to set on the way to the target side (none: the cell is absent there).
    struct Cell {
        QString entityID;
        std::optional<PlmValue> value;
    };
    // One variable of the target list, rebuilt from a variable of the source list.
    struct VariableStep {
        qsizetype sourceIndex = -1; // the variable of the other side it is rebuilt from, or -1
        PlmVariable variable;       // whole when there is no source; else its fields, values empty
        QList<Cell> cells;          // the cells that differ from the source's values
    };
    struct VariablesDelta {
        QList<VariableStep> toBefore;
        QList<VariableStep> toAfter;
    };

    static QList<Cell> cellChanges(const PlmVariableValues& from, const PlmVariableValues& to);
    // Both directions of the differences, in one walk.
    static void cellChangesBothWays(const PlmVariableValues& from, const PlmVariableValues& to,
                                    QList<Cell>& towardsTo, QList<Cell>& towardsFrom);
    // The same from a list of the keys that may differ.
    static void cellChangesAt(const QList<QString>& keys, const PlmVariableValues& from,
                              const PlmVariableValues& to, QList<Cell>& towardsTo, QList<Cell>& towardsFrom);
    static QList<VariableStep> stepsTowards(const QList<PlmVariable>& target, const QList<PlmVariable>& source);
    static QList<PlmVariable> rebuild(const QList<VariableStep>& steps, const QList<PlmVariable>& source);

    std::optional<std::pair<PlmMap, PlmMap>> map_;
    std::optional<std::pair<std::optional<QString>, std::optional<QString>>> sourceMapURL_;
    std::optional<std::pair<std::optional<PlmThematicSettings>, std::optional<PlmThematicSettings>>> thematic_;
    std::optional<std::pair<std::optional<PlmDecoration>, std::optional<PlmDecoration>>> decoration_;
    std::optional<VariablesDelta> variables_;
};

// Exactly equal values, payload bits included (0 and -0 differ, as they write differently).
bool identicalValues(const PlmValue& a, const PlmValue& b);

// Orders two keys as QString's operator< does. Keys of a column and of its copy share their
// text, so the pointer test settles most comparisons of a walk over both without reading
// characters. Negative, zero or positive.
inline int compareKeys(const QString& a, const QString& b)
{
    if (a.constData() == b.constData() && a.size() == b.size())
        return 0;
    return a < b ? -1 : (b < a ? 1 : 0);
}

// One undoable change of a work. Undo rebuilds the previous work from the stored one and
// hands it to `store`; redo rebuilds the next. The first redo, run by QUndoStack::push, does
// nothing: the change was stored before the step was pushed.
class WorkUndoCommand : public UndoCommand {
public:
    using CurrentWork = std::function<PlmWork()>;
    // Stores a work kept by the step; `undoing` tells undo from redo.
    using StoreWork = std::function<void(const PlmWork& work, const QString& actionName, bool undoing)>;

    WorkUndoCommand(const QString& actionName, const PlmWork& previous, const PlmWork& next,
                    CurrentWork current, StoreWork store, const WorkCellChanges* changes = nullptr);

    const WorkDelta& delta() const { return delta_; }

protected:
    void undoChange() override;
    void redoChange() override;

private:
    WorkDelta delta_;
    CurrentWork current_;
    StoreWork store_;
};
