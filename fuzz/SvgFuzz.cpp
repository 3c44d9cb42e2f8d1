// SVG drawings through the import entry's finishing steps.
#include "FuzzSupport.h"
#include "basemaps/PlmSvgReader.h"
#include "basemaps/PlmVectorImporter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Fuzz::ensureApplication();
    const QByteArray bytes = Fuzz::bytes(data, size);
    Fuzz::refusalIsFine([&] {
        PlmImportResult result = PlmSvgReader::importSVG(bytes, QStringLiteral("fuzz"));
        PlmVectorImporter::finish(result, QStringLiteral("fuzz.svg"), bytes);
    });
    return 0;
}
