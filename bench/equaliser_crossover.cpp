// The graphic equaliser (13 stages) and the crossover per sample, settled,
// beside the same number of plain transposed direct-form II biquads with the
// same coefficients, and the noise source.
#include "bench_util.h"
#include "dsp/crossover_lr4.h"
#include "dsp/graphic_eq12_bass.h"
#include "dsp/white_noise.h"

#include <vector>

namespace {

constexpr int blockSize = 256;

void configure(GraphicEQ12Bass& eq) {
    for (int index = 1; index <= 13; ++index)
        eq.SetParameter(index, index % 2 ? 3.0 : -2.0);
    auto block = bench::noiseBlock(blockSize);
    for (int i = 0; i < 40; ++i)
        eq.process(block.data(), blockSize); // let the first fades finish
}

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

void BM_GraphicEQSettled(benchmark::State& state) {
    GraphicEQ12Bass eq;
    configure(eq);
    auto block = bench::noiseBlock(blockSize);
    for (auto _ : state) {
        eq.process(block.data(), blockSize);
        benchmark::ClobberMemory();
    }
    bench::reportPerSample(state, blockSize);
}
BENCHMARK(BM_GraphicEQSettled);

void BM_ThirteenPlainBiquads(benchmark::State& state) {
    GraphicEQ12Bass eq;
    configure(eq);
    std::vector<PlainBiquad> stages;
    for (const auto& stage : eq.stages)
        stages.emplace_back(stage.left);
    auto block = bench::noiseBlock(blockSize);
    for (auto _ : state) {
        for (auto& stage : stages)
            stage.process(block.data(), blockSize);
        benchmark::ClobberMemory();
    }
    bench::reportPerSample(state, blockSize);
}
BENCHMARK(BM_ThirteenPlainBiquads);

void BM_CrossoverSettled(benchmark::State& state) {
    CrossoverLR4 crossover;
    crossover.SetParameter(1, 250.0);
    auto in = bench::noiseBlock(blockSize);
    std::vector<double> low(blockSize), high(blockSize);
    for (int i = 0; i < 40; ++i)
        crossover.process(in.data(), low.data(), high.data(), blockSize);
    for (auto _ : state) {
        crossover.process(in.data(), low.data(), high.data(), blockSize);
        benchmark::ClobberMemory();
    }
    bench::reportPerSample(state, blockSize);
}
BENCHMARK(BM_CrossoverSettled);

void BM_FourPlainBiquads(benchmark::State& state) {
    CrossoverLR4 crossover;
    crossover.SetParameter(1, 250.0);
    auto in = bench::noiseBlock(blockSize);
    std::vector<double> low(blockSize), high(blockSize);
    for (int i = 0; i < 40; ++i)
        crossover.process(in.data(), low.data(), high.data(), blockSize);
    PlainBiquad lp1(crossover.lowPass1), lp2(crossover.lowPass2);
    PlainBiquad hp1(crossover.highPass1), hp2(crossover.highPass2);
    for (auto _ : state) {
        for (int i = 0; i < blockSize; ++i)
            low[i] = high[i] = in[i];
        lp1.process(low.data(), blockSize);
        lp2.process(low.data(), blockSize);
        hp1.process(high.data(), blockSize);
        hp2.process(high.data(), blockSize);
        benchmark::ClobberMemory();
    }
    bench::reportPerSample(state, blockSize);
}
BENCHMARK(BM_FourPlainBiquads);

void BM_WhiteNoise(benchmark::State& state) {
    WhiteNoise noise;
    noise.SetParameter(3, -150.0);
    auto block = bench::noiseBlock(blockSize);
    for (auto _ : state) {
        noise.process(block.data(), blockSize);
        benchmark::ClobberMemory();
    }
    bench::reportPerSample(state, blockSize);
}
BENCHMARK(BM_WhiteNoise);

} // namespace
