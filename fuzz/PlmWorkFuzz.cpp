// Work documents (.plm).
#include "FuzzSupport.h"
#include "model/PlmWorkCodec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Fuzz::refusalIsFine([&] { PlmWorkCodec::decode(Fuzz::bytes(data, size)); });
    return 0;
}
