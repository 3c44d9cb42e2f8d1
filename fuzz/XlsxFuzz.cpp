// Whole XLSX workbooks (the archive and every member in it).
#include "FuzzSupport.h"
#include "tables/PlmInputReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Fuzz::refusalIsFine([&] { PlmInputReader::readWorkbook(Fuzz::bytes(data, size)); });
    return 0;
}
