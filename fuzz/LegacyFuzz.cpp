// Files of the older Pelmora program: the four base-map layouts and the ".tab" tables; the
// first byte chooses the reader.
#include "FuzzSupport.h"
#include "basemaps/LegacyPelmoraImporter.h"
#include "basemaps/LegacyPelmoraTable.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const QByteArray bytes = Fuzz::bytes(data + 1, size - 1);
    const QString name = QStringLiteral("fond");
    const QString file = QStringLiteral("fond.num");
    Fuzz::refusalIsFine([&] {
        switch (data[0] % 6) {
        case 0: LegacyPelmoraImporter::importMap(bytes, name, file); break;
        case 1: LegacyPelmoraImporter::importCompact(bytes, name, file); break;
        case 2: LegacyPelmoraImporter::importIndexedCollection(bytes, name, file); break;
        case 3: LegacyPelmoraImporter::importDressed(bytes, name, file); break;
        case 4: LegacyPelmoraImporter::importDetailed(bytes, name, file); break;
        default: LegacyPelmoraTable::parse(bytes); break;
        }
    });
    return 0;
}
