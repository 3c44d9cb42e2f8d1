// GeoJSON through the import entry's finishing steps (sources, validation).
#include "FuzzSupport.h"
#include "basemaps/GeoJSONReader.h"
#include "basemaps/PlmVectorImporter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Fuzz::ensureApplication();
    const QByteArray bytes = Fuzz::bytes(data, size);
    Fuzz::refusalIsFine([&] {
        PlmImportResult result = GeoJSONReader::read(bytes, QStringLiteral("fuzz"));
        PlmVectorImporter::finish(result, QStringLiteral("fuzz.geojson"), bytes);
    });
    return 0;
}
