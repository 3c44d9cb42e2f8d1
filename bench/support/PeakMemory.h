#pragma once

#include <sys/resource.h>

#include <cstdio>

// The process's peak resident memory on standard error ("peak RSS 198 MiB"), the figure the
// memory aims of the whole-process readers are set against.
inline void printPeakMemory()
{
    rusage usage{};
    if (getrusage(RUSAGE_SELF, &usage) == 0) // ru_maxrss is in KiB
        std::fprintf(stderr, "peak RSS %ld MiB\n", (usage.ru_maxrss + 512) / 1024);
}
