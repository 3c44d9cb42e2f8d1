// The indexes of the online providers (JSON listings, WFS capabilities); the first byte
// chooses the provider.
#include "FuzzSupport.h"
#include "catalogue/PlmCatalogueProviders.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    static const OnlineProvider providers[] = {OnlineProvider::france,    OnlineProvider::ign,
                                               OnlineProvider::nuts,      OnlineProvider::countries,
                                               OnlineProvider::urbanAreas, OnlineProvider::naturalEarth};
    const OnlineProvider provider = providers[data[0] % 6];
    Fuzz::refusalIsFine([&] { OnlineCatalog::parseIndex(Fuzz::bytes(data + 1, size - 1), provider); });
    return 0;
}
