// CabinetConvolver with a 1024-tap mono response per sample, beside a direct
// 1024-tap FIR in the same run, and the cost of the single costliest sample
// (the one on which both stages' block-end transforms fall).
#include "dsp/cabinet_convolver.h"
#include "bench_util.h"

#include <chrono>
#include <memory>
#include <vector>

namespace {

constexpr int taps = 1024;
constexpr int blockSize = 256;

std::unique_ptr<CabinetConvolver> loadedConvolver() {
    auto c = std::make_unique<CabinetConvolver>();
    const auto h = bench::noiseBlock(taps, 7);
    c->SetImpulse(h.data(), h.data(), taps, true);
    return c;
}

// Argument: the host block length.
void BM_ConvolverMono1024(benchmark::State& state) {
    const int block = static_cast<int>(state.range(0));
    auto c = loadedConvolver();
    auto in = bench::noiseBlock(block);
    std::vector<double> out(static_cast<size_t>(block));
    for (auto _ : state) {
        c->process_mono(in.data(), out.data(), block);
        benchmark::ClobberMemory();
    }
    bench::reportPerSample(state, block);
}
BENCHMARK(BM_ConvolverMono1024)->Arg(32)->Arg(256);

// A straightforward direct form: a ring written twice so that the taps read
// one contiguous stretch, four partial sums.
void BM_DirectFir1024(benchmark::State& state) {
    const auto h = bench::noiseBlock(taps, 7);
    std::vector<double> ring(2 * taps, 0.0);
    int position = 0;
    auto in = bench::noiseBlock(blockSize);
    std::vector<double> out(blockSize);
    for (auto _ : state) {
        for (int k = 0; k < blockSize; ++k) {
            position = (position + taps - 1) & (taps - 1);
            ring[static_cast<size_t>(position)] = ring[static_cast<size_t>(position + taps)] =
                in[static_cast<size_t>(k)];
            const double* past = ring.data() + position; // past[t] = x[k - t]
            double s0 = 0.0, s1 = 0.0, s2 = 0.0, s3 = 0.0;
            for (int t = 0; t < taps; t += 4) {
                s0 += h[static_cast<size_t>(t)] * past[t];
                s1 += h[static_cast<size_t>(t + 1)] * past[t + 1];
                s2 += h[static_cast<size_t>(t + 2)] * past[t + 2];
                s3 += h[static_cast<size_t>(t + 3)] * past[t + 3];
            }
            out[static_cast<size_t>(k)] = (s0 + s1) + (s2 + s3);
        }
        benchmark::ClobberMemory();
    }
    bench::reportPerSample(state, blockSize);
}
BENCHMARK(BM_DirectFir1024);

// Times only the last sample of each 128-sample stage-2 block, one call of
// one sample, so the figure includes a call and two clock reads (about 20 ns).
void BM_ConvolverWorstSample1024(benchmark::State& state) {
    auto c = loadedConvolver();
    auto in = bench::noiseBlock(128);
    std::vector<double> out(128);
    for (auto _ : state) {
        c->process_mono(in.data(), out.data(), 127);
        const auto start = std::chrono::steady_clock::now();
        c->process_mono(in.data() + 127, out.data() + 127, 1);
        const auto end = std::chrono::steady_clock::now();
        benchmark::ClobberMemory();
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
    }
}
BENCHMARK(BM_ConvolverWorstSample1024)->UseManualTime();

} // namespace
