#include "tools/vst_host.h"

#include <dlfcn.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <utility>

namespace {

using PluginEntry = AEffect* (*)(audioMasterCallback);

constexpr VstIntPtr kHostVstVersion = 2400;
// Larger than any text field of VST 2.4, so that a plug-in writing past the
// nominal limits still stays inside the buffer.
constexpr size_t kTextBufferSize = 1024;
// Bounds the scratch memory a caller can ask for.
constexpr int kLargestBlock = 1 << 20;

// Effects that are open, so that the callback can find the host of a record.
std::mutex& registryMutex() {
    static std::mutex mutex;
    return mutex;
}
std::vector<std::pair<AEffect*, VstHost*>>& registry() {
    static std::vector<std::pair<AEffect*, VstHost*>> effects;
    return effects;
}

// The host whose VSTPluginMain call is running on this thread: a plug-in may
// call back before its record is known (with a null or a fresh pointer).
thread_local VstHost* loadingHost = nullptr;

VstHost* hostOf(AEffect* effect) {
    if (effect) {
        std::lock_guard<std::mutex> lock(registryMutex());
        for (const auto& entry : registry())
            if (entry.first == effect) return entry.second;
    }
    return loadingHost;
}

} // namespace

VstIntPtr VstHost::callback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr /*value*/,
                            void* /*ptr*/, float opt) {
    if (opcode == audioMasterVersion) return kHostVstVersion;
    VstHost* host = hostOf(effect);
    if (!host) return 0;
    switch (opcode) {
    case audioMasterGetSampleRate:
        return static_cast<VstIntPtr>(host->sampleRate_);
    case audioMasterGetBlockSize:
        return host->blockSize_;
    case audioMasterAutomate:
        host->record({opcode, index, opt});
        return 0;
    case audioMasterBeginEdit:
    case audioMasterEndEdit:
        host->record({opcode, index, 0.0f});
        return 0;
    default:
        return 0;
    }
}

VstHost::VstHost(const std::string& path, double sampleRate, int blockSize)
    : sampleRate_(sampleRate), blockSize_(blockSize) {
    if (!std::isfinite(sampleRate) || sampleRate <= 0.0)
        throw VstHostError("sample rate must be a positive number");
    if (blockSize < 1 || blockSize > kLargestBlock)
        throw VstHostError("block size must be 1 to " + std::to_string(kLargestBlock));

    std::error_code error;
    const std::filesystem::path file(path);
    if (!std::filesystem::exists(file, error))
        throw VstHostError("plug-in file not found: " + path);
    if (!std::filesystem::is_regular_file(file, error))
        throw VstHostError("not a plug-in file: " + path);
    // dlopen searches the library path for names without a slash; a host
    // loads the file it was given.
    const std::string absolute = std::filesystem::absolute(file, error).string();

    dlerror();
    library_ = dlopen(absolute.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library_) {
        const char* reason = dlerror();
        throw VstHostError("cannot load " + path + ": " + (reason ? reason : "unknown error"));
    }
    try {
        auto entry = reinterpret_cast<PluginEntry>(dlsym(library_, "VSTPluginMain"));
        if (!entry) throw VstHostError(path + " has no VSTPluginMain entry");
        loadingHost = this;
        AEffect* effect = entry(&VstHost::callback);
        loadingHost = nullptr;
        if (!effect) throw VstHostError("VSTPluginMain of " + path + " returned no effect");
        if (effect->magic != kEffectMagic) {
            char magic[16];
            std::snprintf(magic, sizeof magic, "0x%08" PRIx32,
                          static_cast<std::uint32_t>(effect->magic));
            throw VstHostError(path + " is not a VST 2.4 effect (magic " + magic + ")");
        }
        if (!effect->dispatcher) throw VstHostError(path + ": the effect has no dispatcher");
        effect_ = effect;
        {
            std::lock_guard<std::mutex> lock(registryMutex());
            registry().emplace_back(effect_, this);
        }
        if (!effect_->processReplacing)
            throw VstHostError(path + ": the effect has no processReplacing entry");

        dispatch(effOpen);
        dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(sampleRate_));
        dispatch(effSetBlockSize, 0, blockSize_);
    } catch (...) {
        loadingHost = nullptr;
        unload();
        throw;
    }

    const size_t inputs = static_cast<size_t>(std::max(effect_->numInputs, 2));
    const size_t outputs = static_cast<size_t>(std::max(effect_->numOutputs, 2));
    scratch_.assign(inputs + outputs, std::vector<float>(static_cast<size_t>(blockSize_)));
    inputPointers_.resize(inputs);
    outputPointers_.resize(outputs);
}

VstHost::~VstHost() {
    suspend();
    unload();
}

void VstHost::unload() {
    if (effect_) {
        dispatch(effClose);
        std::lock_guard<std::mutex> lock(registryMutex());
        auto& effects = registry();
        effects.erase(std::remove_if(effects.begin(), effects.end(),
                                     [this](const auto& entry) { return entry.second == this; }),
                      effects.end());
        effect_ = nullptr;
    }
    if (library_) {
        dlclose(library_);
        library_ = nullptr;
    }
}

VstIntPtr VstHost::dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                            float opt) {
    return effect_->dispatcher(effect_, opcode, index, value, ptr, opt);
}

void VstHost::resume() {
    if (running_) return;
    dispatch(effMainsChanged, 0, 1);
    running_ = true;
}

void VstHost::suspend() {
    if (!running_) return;
    dispatch(effMainsChanged, 0, 0);
    running_ = false;
}

void VstHost::processBlock(float** inputs, float** outputs, int frames) {
    if (!running_) throw VstHostError("processing needs a resumed effect");
    if (frames < 0 || frames > blockSize_)
        throw VstHostError("block of " + std::to_string(frames) +
                           " frames exceeds the block size " + std::to_string(blockSize_));
    effect_->processReplacing(effect_, inputs, outputs, frames);
}

double VstHost::render(const std::vector<std::vector<float>>& inputs,
                       std::vector<std::vector<float>>& outputs,
                       const std::function<int()>& nextBlockSize) {
    if (inputs.empty() || inputs.size() > 2 || outputs.empty() || outputs.size() > 2)
        throw VstHostError("a render takes one or two input and output channels");
    const size_t frames = inputs[0].size();
    for (const auto& channel : inputs)
        if (channel.size() != frames) throw VstHostError("input channels differ in length");
    for (auto& channel : outputs)
        channel.assign(frames, 0.0f);

    // Channel pointers: block-sized scratch copies of the caller's channels
    // (the plug-in never sees the caller's memory, and a sanitizer build
    // catches reads or writes past the block), a null second channel for a
    // mono caller, silent scratch channels beyond two.
    const size_t inputCount = inputPointers_.size();
    for (size_t c = 0; c < inputCount; ++c)
        inputPointers_[c] = c == 1 && inputs.size() == 1 ? nullptr : scratch_[c].data();
    for (size_t c = 0; c < outputPointers_.size(); ++c)
        outputPointers_[c] =
            c == 1 && outputs.size() == 1 ? nullptr : scratch_[inputCount + c].data();

    using Clock = std::chrono::steady_clock;
    Clock::duration busy{};
    size_t position = 0;
    while (position < frames) {
        int wanted = nextBlockSize ? nextBlockSize() : blockSize_;
        wanted = std::clamp(wanted, 1, blockSize_);
        const size_t n = std::min(static_cast<size_t>(wanted), frames - position);
        for (size_t c = 0; c < inputCount; ++c) {
            if (!inputPointers_[c]) continue;
            if (c < inputs.size())
                std::copy_n(inputs[c].begin() + static_cast<std::ptrdiff_t>(position), n,
                            scratch_[c].begin());
            else
                std::fill_n(scratch_[c].begin(), n, 0.0f);
        }
        const auto start = Clock::now();
        processBlock(inputPointers_.data(), outputPointers_.data(), static_cast<int>(n));
        busy += Clock::now() - start;
        for (size_t c = 0; c < outputs.size(); ++c)
            std::copy_n(outputPointers_[c], n,
                        outputs[c].begin() + static_cast<std::ptrdiff_t>(position));
        position += n;
    }
    return std::chrono::duration<double>(busy).count();
}

std::string VstHost::text(VstInt32 opcode, VstInt32 index) {
    std::array<char, kTextBufferSize> buffer{};
    dispatch(opcode, index, 0, buffer.data());
    buffer.back() = '\0';
    return buffer.data();
}

void VstHost::setProgram(int program) {
    dispatch(effSetProgram, 0, program);
}

int VstHost::program() {
    return static_cast<int>(dispatch(effGetProgram));
}

std::string VstHost::programName() {
    return text(effGetProgramName, 0);
}

void VstHost::setProgramName(const std::string& name) {
    // VST 2.4 program names hold 24 characters.
    std::array<char, kTextBufferSize> buffer{};
    std::strncpy(buffer.data(), name.c_str(), 24);
    dispatch(effSetProgramName, 0, 0, buffer.data());
}

std::string VstHost::programNameIndexed(int program) {
    std::array<char, kTextBufferSize> buffer{};
    if (!dispatch(effGetProgramNameIndexed, program, 0, buffer.data())) return {};
    buffer.back() = '\0';
    return buffer.data();
}

void VstHost::setParameter(int index, float value) {
    if (!effect_->setParameter) throw VstHostError("the effect has no setParameter entry");
    effect_->setParameter(effect_, index, value);
}

float VstHost::parameter(int index) {
    if (!effect_->getParameter) throw VstHostError("the effect has no getParameter entry");
    return effect_->getParameter(effect_, index);
}

std::string VstHost::parameterName(int index) {
    return text(effGetParamName, index);
}

std::string VstHost::parameterLabel(int index) {
    return text(effGetParamLabel, index);
}

std::string VstHost::parameterDisplay(int index) {
    return text(effGetParamDisplay, index);
}

bool VstHost::string2parameter(int index, const std::string& value) {
    std::vector<char> buffer(value.begin(), value.end());
    buffer.resize(std::max(buffer.size() + 1, kTextBufferSize), '\0');
    return dispatch(effString2Parameter, index, 0, buffer.data()) != 0;
}

std::string VstHost::effectName() {
    return text(effGetEffectName, 0);
}

std::string VstHost::vendorString() {
    return text(effGetVendorString, 0);
}

std::string VstHost::productString() {
    return text(effGetProductString, 0);
}

VstInt32 VstHost::vendorVersion() {
    return static_cast<VstInt32>(dispatch(effGetVendorVersion));
}

VstInt32 VstHost::canDo(const std::string& feature) {
    std::vector<char> buffer(feature.begin(), feature.end());
    buffer.push_back('\0');
    return static_cast<VstInt32>(dispatch(effCanDo, 0, 0, buffer.data()));
}

bool VstHost::setBypass(bool bypass) {
    return dispatch(effSetBypass, 0, bypass ? 1 : 0) != 0;
}

void VstHost::record(const HostRequest& request) {
    std::lock_guard<std::mutex> lock(requestsMutex_);
    requests_.push_back(request);
}

std::vector<HostRequest> VstHost::requests() const {
    std::lock_guard<std::mutex> lock(requestsMutex_);
    return requests_;
}
