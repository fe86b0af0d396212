// A minimal VST 2.4 host: loads a plug-in file the way a Linux host does
// (dlopen, VSTPluginMain, magic check), runs the standard open / rate / block
// size / resume sequence, hands audio to processReplacing in blocks and closes
// the effect again. The command-line host and the tests build on it.
#pragma once

#include "vst/aeffect.h"

#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

// Any failure to load or talk to a plug-in: the message is one line for the user.
class VstHostError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A request the plug-in sent to the host that the host keeps for inspection.
struct HostRequest {
    VstInt32 opcode; // audioMasterAutomate, audioMasterBeginEdit or audioMasterEndEdit
    VstInt32 index;  // the parameter
    float value;     // the automated value (0 for begin and end)
};

class VstHost {
public:
    // Loads the plug-in file and opens the effect at the given rate and
    // maximum block size; throws VstHostError when the file cannot be used.
    VstHost(const std::string& path, double sampleRate, int blockSize);
    // Suspends the effect if it runs, closes it and unloads the file.
    ~VstHost();
    VstHost(const VstHost&) = delete;
    VstHost& operator=(const VstHost&) = delete;

    AEffect* effect() const { return effect_; }
    double sampleRate() const { return sampleRate_; }
    int blockSize() const { return blockSize_; }

    // The dispatcher, as is.
    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
                       void* ptr = nullptr, float opt = 0.0f);

    // effMainsChanged 1 and 0; each is sent only when the state changes.
    void resume();
    void suspend();
    bool running() const { return running_; }

    // One processReplacing call of 0..blockSize() frames; the arrays hold as
    // many channel pointers as the effect declares (a null entry is a missing
    // channel). Throws if the effect is not running or the block is too long.
    void processBlock(float** inputs, float** outputs, int frames);

    // Renders whole planar buffers: `inputs` and `outputs` hold one or two
    // channels each (one is a mono host: the effect sees a null second channel
    // pointer). `nextBlockSize` gives the length of each block in turn, clamped
    // to 1..blockSize(); without it every block is blockSize() long. Channels
    // the effect declares beyond two read silence and write to scratch memory.
    // Returns the seconds spent inside processReplacing.
    double render(const std::vector<std::vector<float>>& inputs,
                  std::vector<std::vector<float>>& outputs,
                  const std::function<int()>& nextBlockSize = {});

    // Typed requests. Texts come back through buffers far larger than any
    // VST 2.4 limit, always terminated.
    void setProgram(int program);
    int program();
    std::string programName();
    void setProgramName(const std::string& name);
    // The name of any program without selecting it; empty if the effect
    // does not answer.
    std::string programNameIndexed(int program);
    void setParameter(int index, float value);
    float parameter(int index);
    std::string parameterName(int index);
    std::string parameterLabel(int index);
    std::string parameterDisplay(int index);
    bool string2parameter(int index, const std::string& text);
    std::string effectName();
    std::string vendorString();
    std::string productString();
    VstInt32 vendorVersion();
    // 1: yes, -1: no, 0: does not know.
    VstInt32 canDo(const std::string& feature);
    bool setBypass(bool bypass);

    // Automate, begin-edit and end-edit requests received so far, in order.
    // The plug-in may send them from any thread.
    std::vector<HostRequest> requests() const;

    // The callback this host hands to VSTPluginMain.
    static VstIntPtr callback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                              void* ptr, float opt);

private:
    std::string text(VstInt32 opcode, VstInt32 index);
    void record(const HostRequest& request);
    void unload();

    void* library_ = nullptr;
    AEffect* effect_ = nullptr;
    double sampleRate_;
    int blockSize_;
    bool running_ = false;
    std::vector<std::vector<float>> scratch_; // block-sized input/output channels
    std::vector<float*> inputPointers_, outputPointers_;
    mutable std::mutex requestsMutex_;
    std::vector<HostRequest> requests_;
};
