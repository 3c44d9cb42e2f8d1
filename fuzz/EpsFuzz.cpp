// EPS, PostScript and Illustrator drawings through the import entry's finishing steps.
#include "FuzzSupport.h"
#include "basemaps/EPSImporter.h"
#include "basemaps/PlmVectorImporter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Fuzz::ensureApplication();
    const QByteArray bytes = Fuzz::bytes(data, size);
    Fuzz::refusalIsFine([&] {
        PlmImportResult result = EPSImporter::importMap(bytes, QStringLiteral("fuzz"));
        PlmVectorImporter::finish(result, QStringLiteral("fuzz.eps"), bytes);
    });
    return 0;
}
