#pragma once

#include "export/PlmExportResult.h"
#include "export/PlmExportSize.h"
#include "export/SvgComposition.h"

class CarteExportComposition;

// The SVG export of the composition page: a standalone SVG document of the page with the
// composition placed on it, written from the page's views (see SVGCarteExport). Main thread.
class SvgCompositionExport {
public:
    // Throws PlmWorkError with the French message of the page check, the framing, a path that
    // is not finite, a picture that cannot be read or a text that XML cannot carry. The
    // composition's export flag is set for the time of the call and cleared on every way out.
    static PlmExportResult exportSVG(CarteExportComposition& composition, const PlmExportSize& size);

    // What the writer reads of the composition: its shown views, back to front, without the
    // views an export never shows (page guide, alignment guides, block handles, text editor).
    static SvgComposition compositionOf(CarteExportComposition& composition);
};
