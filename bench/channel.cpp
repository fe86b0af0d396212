// One amplifier channel per input sample with the constructor's settings,
// settled, at 44100 Hz (oversampled x4) and 96000 Hz (x2), on noise, beside two
// parts of it on the same input: the resampler pair alone, and the pre-amp tube
// alone on the oversampled blocks; and each resampler half alone at 48000 Hz on
// short and long blocks. "ns/sample" counts input (base-rate) samples;
// "x realtime" is seconds of audio per second of CPU.
#include "amp/tarvex_channel.h"
#include "bench_util.h"

#include <algorithm>
#include <vector>

namespace {

constexpr int blockSize = 256;
constexpr int sourceBlocks = 64;

// A settled channel at `rate` and a long noise source to feed it.
struct Fixture {
    TarvexChannel channel;
    std::vector<double> source = bench::noiseBlock(blockSize * sourceBlocks);
    std::vector<double> block = std::vector<double>(blockSize);
    int next = 0;

    explicit Fixture(double rate) {
        channel.SetFs(rate);
        for (int i = 0; i < 200; ++i) // beyond every fade, at any rate here
            channel.process(Fill(), blockSize);
    }
    double* Fill() {
        const double* from = source.data() + next * blockSize;
        std::copy(from, from + blockSize, block.begin());
        next = (next + 1) % sourceBlocks;
        return block.data();
    }
};

void report(benchmark::State& state, double rate) {
    bench::reportPerSample(state, blockSize);
    state.counters["x realtime"] =
        benchmark::Counter(blockSize / rate, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_Channel(benchmark::State& state) {
    const double rate = static_cast<double>(state.range(0));
    Fixture f(rate);
    for (auto _ : state) {
        f.channel.process(f.Fill(), blockSize);
        benchmark::ClobberMemory();
    }
    report(state, rate);
}
BENCHMARK(BM_Channel)->Arg(44100)->Arg(96000);

void BM_ChannelResamplers(benchmark::State& state) {
    const double rate = static_cast<double>(state.range(0));
    Fixture f(rate);
    for (auto _ : state) {
        double* x = f.Fill();
        f.channel.Upsample(x, blockSize);
        f.channel.Downsample(x, blockSize);
        benchmark::ClobberMemory();
    }
    report(state, rate);
}
BENCHMARK(BM_ChannelResamplers)->Arg(44100)->Arg(96000);

// Each resampler half alone at 48000 Hz (x4), on blocks of the given length.
void BM_ChannelUpsample(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    Fixture f(48000.0);
    for (auto _ : state) {
        f.channel.Upsample(f.Fill(), n);
        benchmark::ClobberMemory();
    }
    bench::reportPerSample(state, n);
}
BENCHMARK(BM_ChannelUpsample)->Arg(32)->Arg(256);

void BM_ChannelDownsample(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    Fixture f(48000.0);
    for (auto _ : state) {
        f.channel.Downsample(f.Fill(), n);
        benchmark::ClobberMemory();
    }
    bench::reportPerSample(state, n);
}
BENCHMARK(BM_ChannelDownsample)->Arg(32)->Arg(256);

void BM_ChannelPreTube(benchmark::State& state) {
    const double rate = static_cast<double>(state.range(0));
    Fixture f(rate);
    std::vector<std::vector<double>> blocks; // oversampled blocks of the source
    for (int i = 0; i < sourceBlocks; ++i) {
        f.channel.Upsample(f.Fill(), blockSize);
        blocks.emplace_back(f.channel.OversampledBlock(),
                            f.channel.OversampledBlock() + f.channel.osLength);
    }
    int next = 0;
    for (auto _ : state) {
        std::copy(blocks[next].begin(), blocks[next].end(), f.channel.OversampledBlock());
        next = (next + 1) % sourceBlocks;
        f.channel.tubePre.process(f.channel.OversampledBlock(), f.channel.osLength);
        benchmark::ClobberMemory();
    }
    report(state, rate);
}
BENCHMARK(BM_ChannelPreTube)->Arg(44100)->Arg(96000);

} // namespace
