#pragma once

#include "model/PlmWork.h"
#include "platform/WorkUndo.h"

#include <QSet>
#include <QString>
#include <optional>

// The derived steps of a work document's update, with the same results as the work's own
// operations but looking only at what an edit can have changed:
// - texts bound to data are rebound on the entities that can hold them (texts and groups);
// - calculated variables are evaluated again only on the rows whose inputs changed, when
//   the work before the change is known to hold freshly computed values.
// Whenever a shortcut's conditions do not hold, the work's own full operation runs.
class PlmWorkDocumentDerived {
public:
    // As next.rebindVariableTexts(previous). `previousIdsUnique` says that the top-level ids
    // of `previous` are known to be unique (a validated work).
    void rebindVariableTexts(PlmWork& next, const PlmWork& previous, bool previousIdsUnique);

    // As next.recomputeCalculatedVariables().
    void recomputeCalculatedVariables(PlmWork& next, const PlmWork& previous);

    // Notes a work whose calculated values were just computed from its inputs (a work read
    // by the codec, which recomputes them).
    void noteFresh(const PlmWork& work) { fresh_ = work; }

    // Forgets the last recomputed work: the next recomputation is a full one.
    void reset()
    {
        fresh_.reset();
        scanned_[0].reset();
        scanned_[1].reset();
    }

    // The cells in which the last recomputed work may differ from the work before it, when
    // known without comparing whole columns; for the validation and the undo step.
    const std::optional<WorkCellChanges>& lastChanges() const { return changes_; }

    // Rows evaluated by the last recomputation (all rows for a full one); for tests.
    qsizetype lastEvaluatedRows() const { return lastEvaluatedRows_; }

private:
    bool canRecomputeIncrementally(const PlmWork& next, const PlmWork& previous) const;
    // Positions of the texts and groups of a list of entities, remembered for the last two
    // lists (an update asks for the work before and the work after, each twice).
    QList<qsizetype> textAndGroupPositions(const PlmEntityList& entities);

    std::optional<PlmWork> fresh_; // the last work whose calculated values were just computed
    std::optional<WorkCellChanges> changes_;
    struct Scan {
        PlmEntityList entities;
        QList<qsizetype> positions;
    };
    std::optional<Scan> scanned_[2]; // the most recent first
    qsizetype lastEvaluatedRows_ = 0;
};
