#include "decorations/DecorationController.h"

DecorationController::DecorationController(bool studioPresentation, QObject* parent)
    : QObject(parent)
    , m_studioPresentation(studioPresentation)
{
}

void DecorationController::select(const QString& id, bool extending)
{
    if (id.isEmpty())
        return;
    if (!extending)
        selectedIDs.clear();
    selectedIDs.insert(id);
    selected = id;
    updateSelection();
}

void DecorationController::clearSelection()
{
    selected.reset();
    selectedIDs.clear();
}

void DecorationController::updateSelection()
{
    // The primary selection is always one of the selected ids.
    if (selected && !selectedIDs.contains(*selected))
        selected.reset();
    if (onObjectSelectionChange)
        onObjectSelectionChange(selected);
}

bool DecorationController::addObject(PlmDecorationKind)
{
    return false;
}

bool DecorationController::deleteObjects(const QSet<QString>&, const QString&)
{
    return false;
}

bool DecorationController::changeObjectOrder(bool)
{
    return false;
}
