// Base-map documents (.plmmap).
#include "FuzzSupport.h"
#include "model/PlmMapCodec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Fuzz::refusalIsFine([&] { PlmMapCodec::decode(Fuzz::bytes(data, size)); });
    return 0;
}
