#include "export/CarteExportScope.h"

#include "canvas/VectorCanvas.h"
#include "desktop/ViewNode.h"

CarteExportSelection CarteExportSelection::cleared() const
{
    CarteExportSelection none;
    none.decorations = QList<bool>(decorations.size(), false);
    return none;
}

CarteExportScope::CarteExportScope(CarteExportComposition& composition)
    : m_composition(composition)
{
    m_composition.canvas().layoutSubtreeIfNeeded();
    m_composition.setExporting(true);
    if (VectorCanvas* vector = m_composition.mapView()) {
        m_mapRendersForExport = vector->rendersForExport;
        vector->rendersForExport = true;
    }
}

CarteExportScope::~CarteExportScope()
{
    // Destructors must not throw: the composition's own setters do not.
    if (m_remembered)
        m_composition.setSelection(*m_remembered);
    if (VectorCanvas* vector = m_composition.mapView())
        vector->rendersForExport = m_mapRendersForExport;
    m_composition.setExporting(false);
    m_composition.canvas().setNeedsDisplay();
}

void CarteExportScope::hideSelections()
{
    if (m_remembered)
        return;
    m_composition.canvas().layoutSubtreeIfNeeded();
    m_remembered = m_composition.selection();
    m_composition.setSelection(m_remembered->cleared());
}
