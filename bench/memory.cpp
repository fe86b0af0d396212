// Memory of one plug-in instance: the heap it holds once built, set to a rate
// and to blocks of 1024 samples and run for a second, the effect object
// itself included (the transform plans, made once per process and shared by
// every instance, are not). Reported as counters per rate, without and with
// the tuner switched on; the time is that of building and running one.
#include "source/effect.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <malloc.h>
#include <vector>

namespace {

std::size_t liveHeap() {
    const struct mallinfo2 m = mallinfo2();
    return m.uordblks + m.hblkhd;
}

void BM_InstanceMemory(benchmark::State& state) {
    const auto rate = static_cast<float>(state.range(0));
    constexpr int block = 1024;
    std::vector<float> in(block), out0(block), out1(block);
    float* inputs[2] = {in.data(), in.data()};
    float* outputs[2] = {out0.data(), out1.data()};
    const auto second = [&](Effect& effect) {
        for (int b = 0; b < static_cast<int>(rate) / block; ++b) {
            for (int i = 0; i < block; ++i)
                in[static_cast<size_t>(i)] =
                    static_cast<float>(0.2 * std::sin(0.01 * static_cast<double>(b * block + i)));
            effect.processReplacing(inputs, outputs, block);
        }
    };
    delete new Effect(nullptr); // makes the shared plans
    std::size_t bytes = 0, withTuner = 0;
    for (auto _ : state) {
        const std::size_t before = liveHeap();
        auto* effect = new Effect(nullptr);
        effect->setSampleRate(rate);
        effect->setBlockSize(block);
        second(*effect);
        bytes = liveHeap() - before;
        effect->setTunerOn(true);
        second(*effect);
        withTuner = liveHeap() - before;
        delete effect;
    }
    state.counters["instance_bytes"] = static_cast<double>(bytes);
    state.counters["with_tuner_bytes"] = static_cast<double>(withTuner);
    state.counters["effect_sizeof"] = static_cast<double>(sizeof(Effect));
}
BENCHMARK(BM_InstanceMemory)
    ->Arg(44100)
    ->Arg(48000)
    ->Arg(96000)
    ->Arg(192000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

} // namespace
