// Filter::process per sample, settled and during a cross-fade, beside a plain
// transposed direct-form II biquad loop with the same coefficients.
#include "dsp/filter.h"
#include "bench_util.h"

namespace {

constexpr int blockSize = 256;

void BM_FilterSettled(benchmark::State& state) {
    Filter filter;
    filter.SetParameters({true, FilterType::Peak, 440.0, 0.7071, 6.0});
    auto block = bench::noiseBlock(blockSize);
    for (int i = 0; i < 40; ++i)
        filter.process(block.data(), blockSize); // let the first fade finish
    for (auto _ : state) {
        filter.process(block.data(), blockSize);
        benchmark::ClobberMemory();
    }
    bench::reportPerSample(state, blockSize);
}
BENCHMARK(BM_FilterSettled);

void BM_FilterCrossFading(benchmark::State& state) {
    Filter filter;
    filter.SetParameters({true, FilterType::Peak, 440.0, 0.7071, 6.0});
    auto block = bench::noiseBlock(blockSize);
    double frequency = 440.0;
    for (auto _ : state) {
        // A change before every block: each fade is followed at once by the next.
        frequency = frequency == 440.0 ? 450.0 : 440.0;
        filter.SetParameter(Filter::kFrequency, frequency);
        filter.process(block.data(), blockSize);
        benchmark::ClobberMemory();
    }
    bench::reportPerSample(state, blockSize);
}
BENCHMARK(BM_FilterCrossFading);

void BM_PlainBiquad(benchmark::State& state) {
    Filter design;
    design.SetParameters({true, FilterType::Peak, 440.0, 0.7071, 6.0});
    bench::PlainBiquad plain(design);
    auto block = bench::noiseBlock(blockSize);
    for (auto _ : state) {
        plain.process(block.data(), blockSize);
        benchmark::ClobberMemory();
    }
    bench::reportPerSample(state, blockSize);
}
BENCHMARK(BM_PlainBiquad);

} // namespace
