// Per-sample cost of the chorus (modes 0, 1, 2, settled and gliding), the
// reverb and the tuner's input, side by side; the tuner's memory at 192 kHz.
// Timings include refilling the block (a copy of 512 doubles).
#include "bench_util.h"
#include "dsp/bass_chorus.h"
#include "dsp/club_reverb.h"
#include "dsp/tuner.h"

#include <algorithm>
#include <memory>
#include <vector>

namespace {

constexpr int blockSize = 256;

// Every iteration processes the same noise, so the signal level never drifts
// (in-place processing would otherwise feed each output back in).
struct StereoBlock {
    std::vector<double> sourceL = bench::noiseBlock(blockSize, 1);
    std::vector<double> sourceR = bench::noiseBlock(blockSize, 2);
    std::vector<double> left = sourceL;
    std::vector<double> right = sourceR;
    void refill() {
        std::copy(sourceL.begin(), sourceL.end(), left.begin());
        std::copy(sourceR.begin(), sourceR.end(), right.begin());
    }
};

void BM_ChorusSettled(benchmark::State& state) {
    auto chorus = std::make_unique<BassChorus>();
    chorus->SetParameter(BassChorus::kMode, static_cast<double>(state.range(0)));
    StereoBlock block;
    for (int i = 0; i < 100; ++i) { // let the glides settle
        block.refill();
        chorus->process(block.left.data(), block.right.data(), blockSize);
    }
    for (auto _ : state) {
        block.refill();
        chorus->process(block.left.data(), block.right.data(), blockSize);
        benchmark::ClobberMemory();
    }
    if (chorus->smoothing) state.SkipWithError("still gliding");
    bench::reportPerSample(state, blockSize);
}
BENCHMARK(BM_ChorusSettled)->Arg(0)->Arg(1)->Arg(2);

void BM_ChorusGliding(benchmark::State& state) {
    auto chorus = std::make_unique<BassChorus>();
    chorus->SetParameter(BassChorus::kMode, static_cast<double>(state.range(0)));
    StereoBlock block;
    double level = 0.3;
    for (auto _ : state) {
        // A new level before every block: the glide never settles.
        level = level == 0.3 ? 0.7 : 0.3;
        chorus->SetParameter(BassChorus::kLevel, level);
        block.refill();
        chorus->process(block.left.data(), block.right.data(), blockSize);
        benchmark::ClobberMemory();
    }
    bench::reportPerSample(state, blockSize);
}
BENCHMARK(BM_ChorusGliding)->Arg(0)->Arg(1)->Arg(2);

void BM_ClubReverb(benchmark::State& state) {
    auto reverb = std::make_unique<ClubReverb>();
    reverb->SetParameter(ClubReverb::kLevel, -50.0);
    StereoBlock block;
    for (auto _ : state) {
        block.refill();
        reverb->process(block.left.data(), block.right.data(), blockSize);
        benchmark::ClobberMemory();
    }
    bench::reportPerSample(state, blockSize);
}
BENCHMARK(BM_ClubReverb);

// Noise ends a period every few samples: the measurement path runs often.
void BM_TunerInput(benchmark::State& state) {
    auto tuner = std::make_unique<Tuner>();
    tuner->SetFs(static_cast<double>(state.range(0)));
    auto input = bench::noiseBlock(blockSize, 5);
    for (auto _ : state) {
        tuner->process_input(input.data(), blockSize);
        benchmark::ClobberMemory();
    }
    state.counters["memory_bytes"] = static_cast<double>(
        sizeof(Tuner) + static_cast<size_t>(tuner->historyCapacity) * sizeof(TunerNote));
    bench::reportPerSample(state, blockSize);
}
BENCHMARK(BM_TunerInput)->Arg(44100)->Arg(192000);

} // namespace
