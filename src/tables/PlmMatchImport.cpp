#include "tables/PlmMatchImport.h"

#include "model/PlmWorkEdits.h"

QString PlmMatchImport::actionName()
{
    return QStringLiteral("Importer les données");
}

void PlmMatchImport::appendVariables(PlmWork& work, const QList<PlmVariable>& variables)
{
    PlmWork copy = work;
    for (const PlmVariable& variable : variables) {
        // One name at a time, so a refusal names the column that caused it.
        const QList<PlmVariable> before = copy.variables;
        copy.variables.append(variable);
        PlmWorkEdits::keepFormulaMeanings(copy, before, variable.name);
    }
    work = copy;
}

void PlmMatchImport::appendImportedVariables(PlmWork& work, const PlmMatch& match,
                                             const PlmMatchCandidate& candidate,
                                             const PlmMatchCorrections& corrections, const PlmMatchColumns& columns)
{
    // The dialog is not modal: the base map may have changed since the match was made. Rows are
    // then resolved against the entities as they are now, never against ones that are gone.
    if (!(work.map == match.map())) {
        const PlmMatch current(match.table(), work.map);
        appendVariables(work, current.importedVariables(candidate, corrections, columns, work.variables));
        return;
    }
    appendVariables(work, match.importedVariables(candidate, corrections, columns, work.variables));
}
