#include "validation/loaded_plugin.h"

#include "support/bass_line.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <algorithm>
#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>

namespace validation {

namespace {

using PluginMain = AEffect* (*)(audioMasterCallback);

PluginMain entryPoint() {
    // Loaded once and kept: every instance of the program comes from one
    // mapping of the module, as in a host.
    static void* const library = dlopen(TARVEX_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) return nullptr;
    return reinterpret_cast<PluginMain>(dlsym(library, "VSTPluginMain"));
}

} // namespace

VstIntPtr carelessHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    return opcode == audioMasterVersion ? 2400 : 0;
}

LoadedPlugin::LoadedPlugin(audioMasterCallback host) {
    PluginMain main = entryPoint();
    if (main == nullptr) {
        ADD_FAILURE() << "cannot load " << TARVEX_PLUGIN_PATH;
        return;
    }
    effect = main(host);
    if (effect == nullptr) ADD_FAILURE() << "VSTPluginMain returned no effect";
}

LoadedPlugin::~LoadedPlugin() {
    if (effect != nullptr) effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
}

VstIntPtr LoadedPlugin::call(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                             float opt) {
    return effect->dispatcher(effect, opcode, index, value, ptr, opt);
}

void LoadedPlugin::setParameter(int index, float value) {
    effect->setParameter(effect, index, value);
}

float LoadedPlugin::parameter(int index) {
    return effect->getParameter(effect, index);
}

void LoadedPlugin::process(float** inputs, float** outputs, int frames) {
    effect->processReplacing(effect, inputs, outputs, frames);
}

void LoadedPlugin::start(float sampleRate, int blockSize) {
    call(effOpen);
    call(effSetSampleRate, 0, 0, nullptr, sampleRate);
    call(effSetBlockSize, 0, blockSize);
    call(effMainsChanged, 0, 1);
}

std::string LoadedPlugin::text(VstInt32 opcode, VstInt32 index, VstIntPtr value) {
    char buffer[512] = {};
    call(opcode, index, value, buffer);
    buffer[sizeof buffer - 1] = '\0';
    return buffer;
}

Stereo bassInput(double sampleRate, double seconds) {
    const std::vector<double> line = testing_support::bassLine(sampleRate, seconds);
    Stereo x;
    x.left.resize(line.size());
    x.right.resize(line.size());
    for (size_t i = 0; i < line.size(); ++i) {
        x.left[i] = static_cast<float>(0.6 * line[i]);
        x.right[i] = static_cast<float>(0.3 * line[i]);
    }
    return x;
}

Stereo noiseInput(size_t frames, float amplitude, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> uniform(-amplitude, amplitude);
    Stereo x;
    x.left.resize(frames);
    x.right.resize(frames);
    for (size_t i = 0; i < frames; ++i) {
        x.left[i] = uniform(random);
        x.right[i] = uniform(random);
    }
    return x;
}

Stereo render(LoadedPlugin& plugin, const Stereo& input, const std::function<int()>& nextBlock) {
    Stereo out;
    out.left.resize(input.size());
    out.right.resize(input.size());
    size_t at = 0;
    while (at < input.size()) {
        const size_t n = std::min(static_cast<size_t>(std::max(nextBlock(), 1)), input.size() - at);
        const auto from = static_cast<long>(at), to = static_cast<long>(at + n);
        // Fresh buffers of exactly n samples each block.
        std::vector<float> inL(input.left.begin() + from, input.left.begin() + to);
        std::vector<float> inR(input.right.begin() + from, input.right.begin() + to);
        std::vector<float> outL(n), outR(n);
        float* inputs[2] = {inL.data(), inR.data()};
        float* outputs[2] = {outL.data(), outR.data()};
        plugin.process(inputs, outputs, static_cast<int>(n));
        std::copy(outL.begin(), outL.end(), out.left.begin() + static_cast<long>(at));
        std::copy(outR.begin(), outR.end(), out.right.begin() + static_cast<long>(at));
        at += n;
    }
    return out;
}

Stereo render(LoadedPlugin& plugin, const Stereo& input, int blockSize) {
    return render(plugin, input, [blockSize] { return blockSize; });
}

bool isSubnormal(float x) {
    // By its bits: with denormals-are-zero set, comparisons would see 0.
    const auto bits = std::bit_cast<std::uint32_t>(x);
    return (bits & 0x7f800000u) == 0 && (bits & 0x007fffffu) != 0;
}

long firstBadSample(const std::vector<float>& x) {
    for (size_t i = 0; i < x.size(); ++i)
        if (!std::isfinite(x[i]) || isSubnormal(x[i])) return static_cast<long>(i);
    return -1;
}

long firstNonFinite(const std::vector<float>& x) {
    for (size_t i = 0; i < x.size(); ++i)
        if (!std::isfinite(x[i])) return static_cast<long>(i);
    return -1;
}

double rms(const float* x, size_t n) {
    double sum = 0.0;
    for (size_t i = 0; i < n; ++i)
        sum += static_cast<double>(x[i]) * x[i];
    return n > 0 ? std::sqrt(sum / static_cast<double>(n)) : 0.0;
}

double peak(const float* x, size_t n) {
    double m = 0.0;
    for (size_t i = 0; i < n; ++i)
        m = std::max(m, std::fabs(static_cast<double>(x[i])));
    return m;
}

} // namespace validation
