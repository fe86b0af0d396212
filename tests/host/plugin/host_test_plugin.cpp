// A tiny VST 2.4 effect for the host tests: a gain with two stored
// parameters and two programs, written against vst/aeffect.h only. It logs
// every request it receives so the tests can check the host's call order.
// Built in variants that misbehave at load time (see the macros below).
#include "host/plugin/host_test_plugin.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

using namespace host_test_plugin;

namespace {

CallLog callLog;

void logEvent(const Event& event) {
    if (callLog.count >= CallLog::kCapacity) {
        callLog.overflow = true;
        return;
    }
    callLog.events[callLog.count++] = event;
}

struct Program {
    char name[32];
    float values[kParameterCount];
};

struct Instance {
    AEffect effect;
    audioMasterCallback master;
    Program programs[kProgramCount];
    int current;
    bool running;
    bool bypassed;
    int blockSize;
};

Instance* instanceOf(AEffect* effect) {
    return static_cast<Instance*>(effect->object);
}

const char* const parameterNames[kParameterCount] = {"Gain", "Tone", "Pan"};
const char* const parameterLabels[kParameterCount] = {"x", "%", "%"};

void copyText(void* destination, const char* text, std::size_t limit) {
    std::snprintf(static_cast<char*>(destination), limit + 1, "%s", text);
}

VstIntPtr dispatcher(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                     float opt) {
    Instance* self = instanceOf(effect);
    if (opcode == effVendorSpecific) {
        if (index == kQueryLog) return reinterpret_cast<VstIntPtr>(&callLog);
        if (index == kTouchParameter) {
            const auto parameter = static_cast<VstInt32>(value);
            self->master(effect, audioMasterBeginEdit, parameter, 0, nullptr, 0.0f);
            self->master(effect, audioMasterAutomate, parameter, 0, nullptr, opt);
            self->master(effect, audioMasterEndEdit, parameter, 0, nullptr, 0.0f);
            return 1;
        }
        return 0;
    }
    logEvent({opcode, index, value, opt, 0, false, false, false});
    const bool parameterInRange = index >= 0 && index < kParameterCount;
    float* const values = self->programs[self->current].values;
    switch (opcode) {
    case effClose:
        delete self;
        return 1;
    case effSetProgram:
        if (value >= 0 && value < kProgramCount) self->current = static_cast<int>(value);
        return 0;
    case effGetProgram:
        return self->current;
    case effSetProgramName:
        copyText(self->programs[self->current].name, static_cast<const char*>(ptr), 24);
        return 0;
    case effGetProgramName:
        copyText(ptr, self->programs[self->current].name, 24);
        return 0;
    case effGetProgramNameIndexed:
        if (index < 0 || index >= kProgramCount) return 0;
        copyText(ptr, self->programs[index].name, 24);
        return 1;
    case effGetParamName:
        if (parameterInRange) copyText(ptr, parameterNames[index], 8);
        return 0;
    case effGetParamLabel:
        if (parameterInRange) copyText(ptr, parameterLabels[index], 8);
        return 0;
    case effGetParamDisplay:
        if (parameterInRange) {
            const float shown = index == 0 ? 2.0f * values[0] : 100.0f * values[index];
            std::snprintf(static_cast<char*>(ptr), 9, "%.3f", static_cast<double>(shown));
        }
        return 0;
    case effString2Parameter:
        if (!parameterInRange) return 0;
        values[index] = static_cast<float>(std::atof(static_cast<const char*>(ptr)));
        return 1;
    case effSetBlockSize:
        self->blockSize = static_cast<int>(value);
        return 0;
    case effMainsChanged:
        self->running = value != 0;
        if (self->running) {
            callLog.hostSampleRate =
                self->master(effect, audioMasterGetSampleRate, 0, 0, nullptr, 0.0f);
            callLog.hostBlockSize =
                self->master(effect, audioMasterGetBlockSize, 0, 0, nullptr, 0.0f);
        }
        return 0;
    case effSetBypass:
        self->bypassed = value != 0;
        return 1;
    case effGetEffectName:
        copyText(ptr, "Host Test Gain", 32);
        return 1;
    case effGetVendorString:
        copyText(ptr, "Tarvex Tests", 64);
        return 1;
    case effGetProductString:
        copyText(ptr, "Host Test Plug-in", 64);
        return 1;
    case effGetVendorVersion:
        return 1234;
    case effCanDo:
        return std::strcmp(static_cast<const char*>(ptr), "bypass") == 0 ? 1 : -1;
    default:
        return 0;
    }
}

void setParameter(AEffect* effect, VstInt32 index, float value) {
    Instance* self = instanceOf(effect);
    if (index >= 0 && index < kParameterCount) self->programs[self->current].values[index] = value;
}

float getParameter(AEffect* effect, VstInt32 index) {
    Instance* self = instanceOf(effect);
    return index >= 0 && index < kParameterCount ? self->programs[self->current].values[index]
                                                 : 0.0f;
}

// Channel 1 may be null on either side (mono host); a mono input feeds both
// outputs.
void processReplacing(AEffect* effect, float** inputs, float** outputs, VstInt32 frames) {
    Instance* self = instanceOf(effect);
    logEvent({kProcessCall, 0, 0, 0.0f, frames, inputs[1] != nullptr, outputs[1] != nullptr,
              self->running});
    const float gain = self->bypassed ? 1.0f : 2.0f * self->programs[self->current].values[0];
    const float* secondInput = inputs[1] ? inputs[1] : inputs[0];
    for (VstInt32 i = 0; i < frames; ++i) {
        outputs[0][i] = gain * inputs[0][i];
        if (outputs[1]) outputs[1][i] = gain * secondInput[i];
    }
}

[[maybe_unused]] AEffect* createEffect(audioMasterCallback master) {
    callLog.count = 0;
    callLog.overflow = false;
    callLog.hostVersion = master(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f);
    callLog.hostSampleRate = 0;
    callLog.hostBlockSize = 0;
    logEvent({kEntryCall, 0, 0, 0.0f, 0, false, false, false});

    auto* self = new Instance{};
    self->master = master;
    self->programs[0] = {"Unity", {0.5f, 0.2f, 0.8f}};
    self->programs[1] = {"Quiet", {0.125f, 0.4f, 0.6f}};
    self->current = 0;
    AEffect& effect = self->effect;
    effect.magic = kEffectMagic;
    effect.dispatcher = dispatcher;
    effect.setParameter = setParameter;
    effect.getParameter = getParameter;
    effect.processReplacing = processReplacing;
    effect.numPrograms = kProgramCount;
    effect.numParams = kParameterCount;
    effect.numInputs = 2;
    effect.numOutputs = 2;
    effect.flags = effFlagsCanReplacing;
    effect.object = self;
    effect.uniqueID = fourCharCode("tHst");
    effect.version = 1;
    return &effect;
}

} // namespace

// Variants: HOST_TEST_NULL_EFFECT returns no record, HOST_TEST_BAD_MAGIC a
// record that is not an effect, HOST_TEST_NO_ENTRY exports its entry under
// another name.
#ifdef HOST_TEST_NO_ENTRY
#define HOST_TEST_ENTRY_NAME NotTheEntryPoint
#else
#define HOST_TEST_ENTRY_NAME VSTPluginMain
#endif

extern "C" __attribute__((visibility("default"))) AEffect*
HOST_TEST_ENTRY_NAME(audioMasterCallback master) {
#if defined(HOST_TEST_NULL_EFFECT)
    master(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f);
    return nullptr;
#elif defined(HOST_TEST_BAD_MAGIC)
    (void)master;
    static AEffect notAnEffect{};
    notAnEffect.magic = fourCharCode("Junk");
    return &notAnEffect;
#else
    return createEffect(master);
#endif
}
