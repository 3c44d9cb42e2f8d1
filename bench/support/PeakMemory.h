#pragma once

#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>

// The process's peak resident memory in MiB (0 when unknown). It is the whole process's
// highest figure since it started: a benchmark that reports it runs alone (one filter per run).
inline long peakMemoryMiB()
{
    rusage usage{};
    if (getrusage(RUSAGE_SELF, &usage) != 0)
        return 0;
    return (usage.ru_maxrss + 512) / 1024; // ru_maxrss is in KiB
}

// The process's resident memory now, in MiB (0 when unknown): what it still holds.
inline long residentMemoryMiB()
{
    std::FILE* statm = std::fopen("/proc/self/statm", "r");
    if (!statm)
        return 0;
    long size = 0;
    long resident = 0;
    const bool read = std::fscanf(statm, "%ld %ld", &size, &resident) == 2;
    std::fclose(statm);
    if (!read)
        return 0;
    const long pageBytes = sysconf(_SC_PAGESIZE);
    return (resident * pageBytes + (1 << 19)) >> 20;
}

// The process's peak resident memory on standard error ("peak RSS 198 MiB"), the figure the
// memory aims of the whole-process readers are set against.
inline void printPeakMemory()
{
    if (const long peak = peakMemoryMiB())
        std::fprintf(stderr, "peak RSS %ld MiB\n", peak);
}
