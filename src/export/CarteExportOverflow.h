#pragma once

#include "export/PlmExportSize.h"

#include <QString>
#include <QStringList>

class CarteExportComposition;

// What of the layout lies beyond what an export keeps: the writers cut everything outside the
// page inside its margins, so the export panel names what would lose a part.
namespace CarteExportOverflow {

// The names of what is not wholly inside the page's margins, with the composition placed on
// the page as the writers place it: « Carte » first when the shown map block is cut, then the
// shown legends and layout objects, bottom to top, by the titles the objects outline gives
// them. A text counts by what it shows (decorationDrawnRect), since a frame wider than its
// text loses nothing; the others by their frames. Lays the canvas out first (a page just
// stored may have moved elements).
QStringList outside(CarteExportComposition& composition, const PlmExportSize& size);

// The status line for those names: empty for none.
QString statusLine(const QStringList& names);

} // namespace CarteExportOverflow
