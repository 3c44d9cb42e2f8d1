#pragma once

#include "model/PlmErrors.h"

#include <benchmark/benchmark.h>

#include <exception>

// Registers a benchmark whose refusals do not end the program: an input that the program
// refuses (a generated file past a limit, say) is reported as a skipped benchmark with the
// reason, and the benchmarks after it still run. Used in place of BENCHMARK(...).
#define PLM_BENCHMARK(...)                                                                                  \
    BENCHMARK_PRIVATE_DECLARE(_guarded_benchmark_) = ::benchmark::RegisterBenchmark(                        \
        #__VA_ARGS__, [](::benchmark::State& state) { BenchGuard::run(state, &__VA_ARGS__); })

namespace BenchGuard {

template <typename F>
void run(benchmark::State& state, F body)
{
    try {
        body(state);
    } catch (const std::exception& error) {
        // PlmError's what() is its French sentence in UTF-8.
        state.SkipWithError(error.what());
    }
}

} // namespace BenchGuard
