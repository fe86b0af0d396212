// A recording host for the VST base tests: its callback stores every request
// the effect sends and answers from a per-opcode table (0 where none is set).
// One FakeHost is current at a time; the callback records into it.
#pragma once

#include "vst/aeffect.h"

#include <cstddef>
#include <map>
#include <vector>

struct HostCall {
    AEffect* effect;
    VstInt32 opcode;
    VstInt32 index;
    VstIntPtr value;
    void* ptr;
    float opt;
};

class FakeHost {
public:
    FakeHost() { current = this; }
    ~FakeHost() { current = nullptr; }
    FakeHost(const FakeHost&) = delete;
    FakeHost& operator=(const FakeHost&) = delete;

    audioMasterCallback master() const { return &FakeHost::callback; }

    // The calls with this opcode, in order.
    std::vector<HostCall> callsOf(VstInt32 opcode) const {
        std::vector<HostCall> found;
        for (const HostCall& c : calls)
            if (c.opcode == opcode) found.push_back(c);
        return found;
    }
    std::size_t count(VstInt32 opcode) const { return callsOf(opcode).size(); }

    std::vector<HostCall> calls;
    std::map<VstInt32, VstIntPtr> answers;

private:
    static VstIntPtr callback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                              void* ptr, float opt) {
        if (!current) return 0;
        current->calls.push_back({effect, opcode, index, value, ptr, opt});
        const auto answer = current->answers.find(opcode);
        return answer == current->answers.end() ? 0 : answer->second;
    }
    static inline FakeHost* current = nullptr;
};
