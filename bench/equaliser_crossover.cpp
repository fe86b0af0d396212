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
    for (int index = GraphicEQ12Bass::kFirstBand; index <= GraphicEQ12Bass::kLevel; ++index)
        eq.SetParameter(index, index % 2 ? 3.0 : -2.0);
    auto block = bench::noiseBlock(blockSize);
    for (int i = 0; i < 40; ++i)
        eq.process(block.data(), blockSize); // let the first fades finish
}

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
    std::vector<bench::PlainBiquad> stages;
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
    crossover.SetParameter(CrossoverLR4::kFrequency, 250.0);
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
    crossover.SetParameter(CrossoverLR4::kFrequency, 250.0);
    auto in = bench::noiseBlock(blockSize);
    std::vector<double> low(blockSize), high(blockSize);
    for (int i = 0; i < 40; ++i)
        crossover.process(in.data(), low.data(), high.data(), blockSize);
    bench::PlainBiquad lp1(crossover.lowPass1), lp2(crossover.lowPass2);
    bench::PlainBiquad hp1(crossover.highPass1), hp2(crossover.highPass2);
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
    noise.SetParameter(WhiteNoise::kLevelDb, -150.0);
    auto block = bench::noiseBlock(blockSize);
    for (auto _ : state) {
        noise.process(block.data(), blockSize);
        benchmark::ClobberMemory();
    }
    bench::reportPerSample(state, blockSize);
}
BENCHMARK(BM_WhiteNoise);

} // namespace
