#pragma once

#include <QSet>
#include <QString>
#include <optional>

struct PlmWork;

// What a work document asks of its studio window. The studio window controller implements it
// (beside being the document's window controller); tests implement it with a fake window.
// The window holds its document weakly and does nothing once the document is gone.
class StudioWindowInterface {
public:
    virtual ~StudioWindowInterface() = default;

    // Reads the stored work and selection again and brings every pane, the outline and the
    // status line up to date; never changes the work. Called after every stored change.
    virtual void reloadObjects() = 0;

    // Shows a selection stored by the document, without echoing it back to the document.
    virtual void selectObjects(const QSet<QString>& entityIDs, const std::optional<QString>& primary) = 0;

    // Ends pending edits (data cell, Carte inspector, other text edits). False as soon as one
    // is refused, after the refusing pane has shown its message; the caller then stops.
    virtual bool commitEditing() = 0;

    // Commits pending edits, shows the data table with the bottom panel and focuses it.
    // False when the commit was refused.
    virtual bool revealData() = 0;

    // Writes the Carte pane's live layout state (open text edit, viewport, composition size)
    // into a copy of the work about to be written; the stored work is not changed.
    virtual void storeComposition(PlmWork& work) const {}
};
