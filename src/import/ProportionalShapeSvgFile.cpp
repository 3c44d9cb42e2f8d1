#include "import/ProportionalShapeSvgFile.h"

#include "import/PlmVectorImporter.h"
#include "thematic/ProportionalShapeSvgImport.h"

namespace ProportionalShapeSvgFile {

PlmMap importSVGSymbol(const QString& path)
{
    const PlmImportResult result = PlmVectorImporter::importMap(path);
    return ProportionalShapeSvgImport::importSVGSymbol(result.map, result.unconverted);
}

} // namespace ProportionalShapeSvgFile
