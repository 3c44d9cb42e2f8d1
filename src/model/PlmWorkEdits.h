#pragma once

#include "model/PlmVariable.h"

#include <QList>
#include <QSet>
#include <QString>

struct PlmWork;

// Helpers of the data-table edits (PlmWork::addVariable, renameVariable, saveCalculatedVariable…,
// declared in PlmWork.h) that other name-changing code needs too, such as a data import that
// adds columns to an existing work.
namespace PlmWorkEdits {

// A bare formula token is read as a variable's name before it is read as a number, so a new
// or renamed variable called "100" would silently turn the constant of '[A] / [B] * 100' into
// a reference. Call this after the names of `work.variables` changed from those of
// `variablesBefore` (same ids, some renamed or added) and before the change is kept: every
// formula whose reading would change, or that refers to one of `rewrittenIDs`, is rewritten
// into its bracketed normal form computed with the names as they were, so it keeps its meaning.
// Throws PlmWorkError naming `newName` when no text can keep a formula's meaning. Does nothing
// while the names are blank or not unique: the work's validation refuses those.
void keepFormulaMeanings(PlmWork& work, const QList<PlmVariable>& variablesBefore,
                         const QString& newName, const QSet<QString>& rewrittenIDs = {});

// A new variable id: the upper-case text of a random UUID, without braces.
QString newVariableID();

} // namespace PlmWorkEdits
