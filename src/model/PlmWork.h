#pragma once

#include "model/PlmCancellation.h"
#include "model/PlmDecoration.h"
#include "model/PlmEntity.h"
#include "model/PlmMap.h"
#include "model/PlmThematicSettings.h"
#include "model/PlmVariable.h"
#include "model/PlmVariableType.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <optional>

class PlmJsonValue;
class PlmJsonWriter;

// The whole content of a work document: the base map, the data variables, the
// thematic settings and the layout. A value: every change is made on a copy that
// replaces the stored work whole, and copies are O(1) (shared containers).
//
// Failures are thrown as PlmWorkError (one French sentence); the errors of the
// map validation, of the JSON reader and PlmCancellationError pass through.
struct PlmWork {
    PlmMap map;
    std::optional<QString> sourceMapURL;
    QList<PlmVariable> variables;
    std::optional<PlmThematicSettings> thematic;
    std::optional<PlmDecoration> decoration;

    PlmWork() = default;
    PlmWork(PlmMap map, std::optional<QString> sourceMapURL, QList<PlmVariable> variables,
            std::optional<PlmThematicSettings> thematic, std::optional<PlmDecoration> decoration);

    bool operator==(const PlmWork&) const = default;

    // {"decoration"?, "map", "sourceMapURL"?, "thematic"?, "variables"}
    static PlmWork fromJson(const PlmJsonValue& value);
    void writeJson(PlmJsonWriter& writer) const;

    // --- Lookups ---------------------------------------------------------------

    // Index of the first variable with this id, or -1.
    qsizetype variableIndex(const QString& id) const;
    // The first variable with this id, or null.
    const PlmVariable* variable(const QString& id) const;
    // Ids of the map's top-level entities (the rows of the data table).
    QSet<QString> topLevelEntityIDs() const;

    // --- Validation (PlmWorkValidation.cpp) ----------------------------------------

    // Checks the whole work and throws the first failure.
    void validate() const;

    // --- Derived data (PlmRecompute.cpp, PlmWorkThresholds.cpp) --------------------

    // Recomputes every calculated variable in dependency order. Throws PlmWorkError
    // from the check or PlmCancellationError (polled every 1024 entities); on any
    // failure the work is left as it was.
    void recomputeCalculatedVariables(const PlmCancellationToken& cancellation = {});
    // Brings the automatic class thresholds of the thematic settings in step with the
    // data; manual thresholds are never touched. Never fails.
    void recomputeThematicThresholds();

    // --- Classes, keys and legend labels (PlmWorkClasses.cpp) ----------------------

    // "class:<i>" for i in 0...thresholds.size() for a numeric variable, or
    // "category:<text>" for each distinct text of a text variable, sorted.
    QStringList thematicClassKeys(const PlmThematicSettings& settings) const;
    // The entity's class, or none (no mapped variable, no value, wrong kind,
    // non-finite number, category not among the keys).
    std::optional<int> thematicClassIndex(const QString& entityID, const PlmThematicSettings& settings,
                                          const QStringList& keys) const;
    // The legend's class labels: the categories of a text variable, or the values
    // of the label variable grouped by class, or the given defaults.
    QStringList thematicLegendLabels(const PlmThematicSettings& settings,
                                     const QStringList& defaultLabels) const;
    // The map's entity identifiers in map order, sorted for PlmVariableValues::cellsOf; kept
    // per thread while the same identifiers come back.
    const PlmKeyOrder& entityKeyOrder() const;

    // --- Edits of the data table (implemented with the work edits) -----------------
    // Each edit changes the work only when every step succeeded.

    QString addVariable(const QString& name, PlmVariableType type);
    void renameVariable(const QString& id, const QString& newName);
    void deleteVariable(const QString& id);
    void setCell(const QString& entityID, const QString& variableID, const QString& text);
    void clearCells(const QList<QString>& entityIDs, const QString& variableID);
    int pasteBlock(const QString& text, const QList<QString>& entityIDs, const QString& startVariableID);
    QString saveCalculatedVariable(const std::optional<QString>& id, const QString& name, PlmVariableType type,
                                   const QString& expression, int decimals);
    QList<QString> rowEntityIDs(const std::optional<QString>& sortKey, bool ascending) const;

    // Keeps the texts bound to data in step with the variables, against the work as
    // it was before the change (implemented with the texts bound to data).
    void rebindVariableTexts(const PlmWork& previous);
};
