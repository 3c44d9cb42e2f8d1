// The table side of bench/peers.sh: reads one data table (CSV, TSV, XLSX…) the way the data
// import does, prints the number of rows read and exits. It links the table readers alone
// (Qt Core, no application object): what the studio spends reading a table, not starting up.
//   ReadTable FILE
#include "support/PeakMemory.h"

#include "tables/PlmInputReader.h"

#include <cstdio>
#include <exception>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FILE\n", argv[0]);
        return 2;
    }
    try {
        const qsizetype count = PlmInputReader::read(QString::fromLocal8Bit(argv[1])).first().grid.size();
        std::printf("%lld\n", static_cast<long long>(count));
        printPeakMemory();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}
