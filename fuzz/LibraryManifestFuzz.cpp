// The manifest of a library package.
#include "FuzzSupport.h"
#include "librarystore/PlmLibraryManifest.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Fuzz::refusalIsFine([&] { PlmLibraryManifest::decode(Fuzz::bytes(data, size)); });
    return 0;
}
