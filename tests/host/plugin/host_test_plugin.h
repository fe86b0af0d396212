// What the host tests share with their small test plug-in: the call log it
// keeps and the vendor-specific requests that reach into it.
#pragma once

#include "vst/aeffect.h"

namespace host_test_plugin {

// effVendorSpecific indices (the request's `index`).
// Returns the CallLog* of the library; the log lives as long as the library
// stays loaded and restarts with every VSTPluginMain call.
constexpr VstInt32 kQueryLog = fourCharCode("tLog");
// Acts like an editor touching a control: beginEdit, automate with `opt`,
// endEdit, for the parameter given as `value`.
constexpr VstInt32 kTouchParameter = fourCharCode("tTch");

// Log entries that are not dispatcher opcodes.
constexpr VstInt32 kEntryCall = -1;   // VSTPluginMain
constexpr VstInt32 kProcessCall = -2; // processReplacing

struct Event {
    VstInt32 opcode; // dispatcher opcode, kEntryCall or kProcessCall
    VstInt32 index;
    VstIntPtr value;
    float opt;
    VstInt32 frames;   // processReplacing: the block length
    bool secondInput;  // processReplacing: input channel 1 was not null
    bool secondOutput; // processReplacing: output channel 1 was not null
    bool running;      // processReplacing: between resume and suspend
};

struct CallLog {
    static constexpr int kCapacity = 1 << 16;
    int count;
    bool overflow;
    // The host's answers: the version in VSTPluginMain (asked with a null
    // effect), the rate and block size when resumed.
    VstIntPtr hostVersion;
    VstIntPtr hostSampleRate;
    VstIntPtr hostBlockSize;
    Event events[kCapacity];
};

// The gain parameter (index 0) scales by 2 * value; parameters 1 and 2 are
// only stored. Programs: 0 "Unity" (gain value 0.5), 1 "Quiet" (0.125).
constexpr int kParameterCount = 3;
constexpr int kProgramCount = 2;

} // namespace host_test_plugin
