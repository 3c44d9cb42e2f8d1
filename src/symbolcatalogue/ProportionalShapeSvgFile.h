#pragma once

#include "model/PlmMap.h"

#include <QString>

// Reads an SVG file and makes it a symbol map (every leaf a vector path). The importer's own
// failures pass through unchanged; the symbol checks throw PlmWorkError. Main thread.
namespace ProportionalShapeSvgFile {

PlmMap importSVGSymbol(const QString& path);

} // namespace ProportionalShapeSvgFile
