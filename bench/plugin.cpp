// The whole plug-in as a host runs it (tarvex.so loaded with dlopen, program
// 2, stereo float blocks through the record's processReplacing) beside the
// bare engine on the same signal, in one run. The frame around the engine
// (mono sum, parameter hand-off, float conversion) should add at most 5 %.
#include "amp/tarvex.h"
#include "bench_util.h"
#include "source/factory_programs.h"
#include "vst/aeffect.h"

#include <cmath>
#include <dlfcn.h>
#include <memory>
#include <stdexcept>
#include <vector>

namespace {

constexpr double kRate = 48000.0;

VstIntPtr hostCallback(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    return opcode == audioMasterVersion ? 2400 : 0;
}

// A second of plucked notes, played in a loop.
std::vector<float> pluckedLoop() {
    const int length = static_cast<int>(kRate);
    std::vector<float> signal(static_cast<size_t>(length));
    for (int i = 0; i < length; ++i) {
        const double t = (i % (length / 4)) / kRate;
        signal[static_cast<size_t>(i)] =
            static_cast<float>(0.15 * std::exp(-3.0 * t) * std::sin(2.0 * M_PI * 55.0 * t));
    }
    return signal;
}

void BM_PluginThroughRecord(benchmark::State& state) {
    const int block = static_cast<int>(state.range(0));
    void* library = dlopen(TARVEX_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        state.SkipWithError(dlerror());
        return;
    }
    auto main =
        reinterpret_cast<AEffect* (*)(audioMasterCallback)>(dlsym(library, "VSTPluginMain"));
    AEffect* effect = main != nullptr ? main(hostCallback) : nullptr;
    if (effect == nullptr) {
        state.SkipWithError("no effect");
        dlclose(library);
        return;
    }
    effect->dispatcher(effect, effOpen, 0, 0, nullptr, 0.0f);
    effect->dispatcher(effect, effSetSampleRate, 0, 0, nullptr, static_cast<float>(kRate));
    effect->dispatcher(effect, effSetBlockSize, 0, block, nullptr, 0.0f);
    effect->dispatcher(effect, effMainsChanged, 0, 1, nullptr, 0.0f);

    const std::vector<float> signal = pluckedLoop();
    const int length = static_cast<int>(signal.size());
    std::vector<float> left(static_cast<size_t>(block)), right(left.size()), outLeft(left.size()),
        outRight(left.size());
    int position = 0;
    auto run = [&] {
        for (int i = 0; i < block; ++i) {
            left[static_cast<size_t>(i)] = signal[static_cast<size_t>((position + i) % length)];
            right[static_cast<size_t>(i)] = left[static_cast<size_t>(i)];
        }
        position = (position + block) % length;
        float* inputs[2] = {left.data(), right.data()};
        float* outputs[2] = {outLeft.data(), outRight.data()};
        effect->processReplacing(effect, inputs, outputs, block);
    };
    for (int i = 0; i < static_cast<int>(kRate / 2) / block + 1; ++i)
        run();
    for (auto _ : state) {
        run();
        benchmark::ClobberMemory();
    }
    effect->dispatcher(effect, effMainsChanged, 0, 0, nullptr, 0.0f);
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
    dlclose(library);
    state.counters["rtf"] =
        benchmark::Counter(block / kRate, benchmark::Counter::kIsIterationInvariantRate);
    bench::reportPerSample(state, block);
}

void BM_BareEngine(benchmark::State& state) {
    const int block = static_cast<int>(state.range(0));
    auto engine = std::make_unique<Tarvex>();
    engine->SetFs(kRate);
    applyFactoryProgram(*engine, 2);
    const std::vector<float> signal = pluckedLoop();
    const int length = static_cast<int>(signal.size());
    std::vector<double> in(static_cast<size_t>(block)), left(in.size()), right(in.size());
    int position = 0;
    auto run = [&] {
        // The same mono sum of two equal channels the plug-in sees.
        for (int i = 0; i < block; ++i)
            in[static_cast<size_t>(i)] =
                2.0 * static_cast<double>(signal[static_cast<size_t>((position + i) % length)]);
        position = (position + block) % length;
        engine->process(in.data(), left.data(), right.data(), block);
    };
    for (int i = 0; i < static_cast<int>(kRate / 2) / block + 1; ++i)
        run();
    for (auto _ : state) {
        run();
        benchmark::ClobberMemory();
    }
    state.counters["rtf"] =
        benchmark::Counter(block / kRate, benchmark::Counter::kIsIterationInvariantRate);
    bench::reportPerSample(state, block);
}

// Interleaved so that both see the same machine load.
BENCHMARK(BM_BareEngine)->ArgName("block")->Arg(256)->MinTime(0.5);
BENCHMARK(BM_PluginThroughRecord)->ArgName("block")->Arg(256)->MinTime(0.5);
BENCHMARK(BM_BareEngine)->ArgName("block")->Arg(256)->MinTime(0.5);
BENCHMARK(BM_PluginThroughRecord)->ArgName("block")->Arg(256)->MinTime(0.5);

} // namespace
