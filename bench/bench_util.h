// Shared helpers for the benchmarks.
#pragma once

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

namespace bench {

// Reports the time per processed sample in nanoseconds as "ns/sample".
inline void reportPerSample(benchmark::State& state, double samplesPerIteration) {
    state.counters["ns/sample"] = benchmark::Counter(samplesPerIteration * 1e-9,
                                                     benchmark::Counter::kIsIterationInvariantRate |
                                                         benchmark::Counter::kInvert);
}

inline std::vector<double> noiseBlock(int n, unsigned seed = 1) {
    std::mt19937 generator(seed);
    std::uniform_real_distribution<double> uniform(-0.5, 0.5);
    std::vector<double> x(static_cast<size_t>(n));
    for (auto& v : x)
        v = uniform(generator);
    return x;
}

} // namespace bench
