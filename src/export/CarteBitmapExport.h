#pragma once

#include "export/PlmExportResult.h"
#include "export/PlmExportSize.h"

#include <QImage>

class CarteExportComposition;

// Renders the composition onto the export page as an sRGB image and encodes it as PNG or JPEG
// with its resolution in the file (PNG pHYs, JPEG JFIF density). Main thread only.
class CarteBitmapExport {
public:
    enum class Format { png, jpeg };

    // Throws PlmWorkError (page, resolution, quality, framing, memory, encoding); the
    // composition's export flag and selections are as before on every way out.
    static PlmExportResult render(CarteExportComposition& composition, const PlmExportSize& size, double dpi,
                                  Format format, bool transparent, double quality = 0.85);

    // The same drawing, not encoded: the premultiplied ARGB image with its resolution.
    static QImage renderImage(CarteExportComposition& composition, const PlmExportSize& size, double dpi,
                              Format format, bool transparent, double quality = 0.85);

    // The note of a shown overlay whose symbol is not on this computer.
    static QString unavailableSymbolNote();
};
