// The whole engine with factory programs 2 ("Big Classic Rig"), 13
// ("Harmonic Heaven") and 7 ("Deep Classical"), settled, at three rates and
// three block sizes. "rtf" is the real-time factor: seconds of audio per
// second of CPU time on one core.
#include "amp/tarvex.h"
#include "bench_util.h"
#include "source/factory_programs.h"

#include <cmath>
#include <memory>
#include <vector>

namespace {

void BM_Engine(benchmark::State& state) {
    const int program = static_cast<int>(state.range(0));
    const double fs = static_cast<double>(state.range(1));
    const int block = static_cast<int>(state.range(2));
    auto engine = std::make_unique<Tarvex>();
    engine->SetFs(fs);
    applyFactoryProgram(*engine, program);

    // A second of plucked notes, played in a loop.
    const int length = static_cast<int>(fs);
    std::vector<double> signal(static_cast<size_t>(length));
    for (int i = 0; i < length; ++i) {
        const double t = (i % (length / 4)) / fs;
        signal[static_cast<size_t>(i)] = 0.3 * std::exp(-3.0 * t) * std::sin(2.0 * M_PI * 55.0 * t);
    }
    std::vector<double> in(static_cast<size_t>(block)), left(in.size()), right(in.size());
    int position = 0;
    auto run = [&] {
        for (int i = 0; i < block; ++i)
            in[static_cast<size_t>(i)] = signal[static_cast<size_t>((position + i) % length)];
        position = (position + block) % length;
        engine->process(in.data(), left.data(), right.data(), block);
    };
    for (int i = 0; i < static_cast<int>(fs / 2) / block + 1; ++i)
        run(); // half a second: every fade is over
    for (auto _ : state) {
        run();
        benchmark::ClobberMemory();
    }
    state.SetLabel(factoryPrograms[program].name);
    state.counters["rtf"] =
        benchmark::Counter(block / fs, benchmark::Counter::kIsIterationInvariantRate);
    bench::reportPerSample(state, block);
}
BENCHMARK(BM_Engine)
    ->ArgNames({"program", "fs", "block"})
    ->ArgsProduct({{2, 13, 7}, {44100, 48000, 96000}, {32, 256, 1024}})
    ->MinTime(0.2);

} // namespace
