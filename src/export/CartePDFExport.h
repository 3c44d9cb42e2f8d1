#pragma once

#include "export/PlmExportResult.h"
#include "export/PlmExportSize.h"

class CarteExportComposition;
class QPainter;
class SFExportPDFRenderer;
class ViewNode;

// Writes the composition as a one-page vector PDF through the screen's own drawing, then
// checks the file for images: when system symbols came out as images the page is drawn again
// with those symbols as bitmaps of a fixed resolution, and the notes say which elements still
// carry images. Main thread only.
class CartePDFExport {
public:
    // Throws PlmWorkError; the composition's export flag, the map view's fallback flag and
    // the selections are as before on every way out.
    static PlmExportResult exportPDF(CarteExportComposition& composition, const PlmExportSize& size);

    // One page of the exact paper size with the composition placed on it; the bytes.
    static QByteArray renderPDF(CarteExportComposition& composition, const PlmExportSize& size, bool symbolFallback);

    // Draws a view and its subtree; with the fallback, system symbols go through the renderer.
    static void drawView(QPainter& painter, ViewNode& view, ViewNode& root, CarteExportComposition& composition,
                         bool symbolFallback, SFExportPDFRenderer& renderer);

    // The French label of each layout element kind, as the notes name them.
    static QString kindLabel(int kind);
};
