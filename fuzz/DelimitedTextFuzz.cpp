// Delimited text tables (encodings, "sep=" line, separator guess, quoting), then the header
// guess and the column types that the import dialog asks for.
#include "FuzzSupport.h"
#include "tables/PlmInputReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Fuzz::refusalIsFine([&] {
        const PlmInputSheet sheet = PlmInputReader::readTextSheet(Fuzz::bytes(data, size), QStringLiteral("fuzz.csv"));
        PlmInputReader::hasHeaderRow(sheet.grid);
        if (!sheet.grid.isEmpty())
            PlmInputReader::suggestedType(0, sheet.grid);
    });
    return 0;
}
