#include "symbolcatalogue/ProportionalShapeSvgFile.h"

#include "basemaps/PlmVectorImporter.h"
#include "canvas/ProportionalShapeSvgImport.h"

namespace ProportionalShapeSvgFile {

PlmMap importSVGSymbol(const QString& path)
{
    const PlmImportResult result = PlmVectorImporter::importMap(path);
    return ProportionalShapeSvgImport::importSVGSymbol(result.map, result.unconverted);
}

} // namespace ProportionalShapeSvgFile
