#pragma once

#include "model/PlmWork.h"
#include "platform/WorkUndo.h"

#include <QSet>
#include <QString>
#include <optional>

// Validates the successive works of one document. A work copied and changed shares almost
// all of its storage with the work before it, so the verdict already reached on shared
// entities, value columns and formulas is reused and only what changed is checked again.
// The outcome, first failure included, is always the one of PlmWork::validate().
class PlmWorkDocumentValidator {
public:
    // Throws the first failure, as PlmWork::validate() does. A valid work becomes the
    // reference of the next call. `changes`, when given, lists the cells in which the work
    // may differ from the one it was made from; columns it describes are checked there only.
    void validate(const PlmWork& work, const WorkCellChanges* changes = nullptr);
    // Forgets the reference: the next call checks everything.
    void reset();
    // Whether the work's top-level entities are those of the last valid work, so their ids
    // are known to be unique.
    bool knowsEntitiesOf(const PlmWork& work) const;
    // The top-level entity ids of the work when it has the entities of the last valid work
    // (as right after validating it), else none.
    const QSet<QString>* entityIDsOf(const PlmWork& work) const
    {
        return knowsEntitiesOf(work) ? &lastEntityIDs_ : nullptr;
    }
    // Whether both lists hold entities of the same ids in the same order (entities edited in
    // place: renamed, restyled, moved). Cheap for lists that share most of their entities.
    static bool sameTopLevelIDs(const PlmEntityList& a, const PlmEntityList& b);

private:
    QSet<QString> validateMap(const PlmWork& work, bool& sameEntities) const;
    void validateVariables(const PlmWork& work, const QSet<QString>& entityIDs, bool idsUnchanged,
                           const WorkCellChanges* changes) const;
    void validateThematic(const PlmWork& work, const QSet<QString>& entityIDs) const;
    void validateFormulas(const PlmWork& work) const;

    std::optional<PlmWork> last_;
    QSet<QString> lastEntityIDs_;
};
