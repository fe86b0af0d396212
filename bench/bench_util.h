// Shared helpers for the benchmarks.
#pragma once

#include "dsp/filter.h"

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

// A plain transposed direct-form II biquad with a Filter's current
// coefficients: the reference loop the blocks are compared with.
struct PlainBiquad {
    double b0, b1, b2, a1, a2, z1 = 0.0, z2 = 0.0;
    explicit PlainBiquad(const Filter& design) {
        const FilterSection& c = design.sets[design.fade.currentSet];
        b0 = c.b0, b1 = c.b1, b2 = c.b2, a1 = -c.c1, a2 = -c.c2;
    }
    void process(double* x, int n) {
        double s1 = z1, s2 = z2;
        for (int i = 0; i < n; ++i) {
            const double in = x[i];
            const double y = b0 * in + s1;
            s1 = b1 * in - a1 * y + s2;
            s2 = b2 * in - a2 * y;
            x[i] = y;
        }
        z1 = s1, z2 = s2;
    }
};

} // namespace bench
