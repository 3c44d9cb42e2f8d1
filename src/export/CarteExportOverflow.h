#pragma once

#include "export/PlmExportSize.h"

#include <QString>

class CarteExportComposition;

// Whether the layout reaches beyond what an export keeps: the writers cut everything outside
// the page inside its margins, so the export panel names the legends and layout objects that
// would lose a part.
namespace CarteExportOverflow {

// The shown legends and layout objects whose frame is not wholly inside the page's margins,
// with the composition placed on the page as the writers place it. Lays the canvas out
// first (a page just stored may have moved elements).
int count(CarteExportComposition& composition, const PlmExportSize& size);

// The status line for a count: empty for none.
QString statusLine(int count);

} // namespace CarteExportOverflow
