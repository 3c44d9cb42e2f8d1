// dBASE tables; the first byte chooses the declared code page (none, UTF-8, 1252, MacRoman).
#include "FuzzSupport.h"
#include "basemaps/PlmImportBuilder.h"
#include "basemaps/ShapefileReader.h"

#include <optional>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    static const char* const pages[] = {nullptr, "UTF-8", "1252", "MACROMAN"};
    const char* page = pages[data[0] % 4];
    const std::optional<QByteArray> codePage = page ? std::optional<QByteArray>(QByteArray(page)) : std::nullopt;
    PlmImportBuilder builder(QStringLiteral("fuzz"), QStringLiteral("Shapefile"));
    Fuzz::refusalIsFine([&] { ShapefileReader::readDBF(Fuzz::bytes(data + 1, size - 1), codePage, builder); });
    return 0;
}
