#pragma once

#include "tables/PlmMatch.h"
#include "model/PlmWork.h"

// The change an import makes to a work, kept apart from the dialog so it can be tested alone
// and run inside the work document's single undoable update.
namespace PlmMatchImport {

// The undo name of an import.
QString actionName(); // "Importer les données"

// Builds the imported variables against the work's present map and variables (a map changed
// since the match was made is matched again) and appends them, in
// column order, after the existing ones, which are never changed except that a formula whose
// meaning a new name would change (a column called "100") is rewritten to keep it. Throws the
// match's French refusal or the formula-meaning refusal; the work is then left as it was.
void appendImportedVariables(PlmWork& work, const PlmMatch& match, const PlmMatchCandidate& candidate,
                             const PlmMatchCorrections& corrections, const PlmMatchColumns& columns);

// Appends already built variables the same way.
void appendVariables(PlmWork& work, const QList<PlmVariable>& variables);

} // namespace PlmMatchImport
