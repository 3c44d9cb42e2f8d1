#pragma once

#include "export/CarteExportComposition.h"

// The time of one export: the composition (and its map view, which then paints a white page
// and no editing marks) presents itself for export from construction and hides its selection
// marks from hideSelections(); everything comes back on every way out, errors included, with
// the views redrawn.
class CarteExportScope {
public:
    explicit CarteExportScope(CarteExportComposition& composition);
    ~CarteExportScope();

    CarteExportScope(const CarteExportScope&) = delete;
    CarteExportScope& operator=(const CarteExportScope&) = delete;

    void hideSelections();

private:
    CarteExportComposition& m_composition;
    std::optional<CarteExportSelection> m_remembered;
    bool m_mapRendersForExport = false;
};
