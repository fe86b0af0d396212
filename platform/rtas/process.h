// Audio processes. On the real platform the library creates one process per
// plug-in instance, keeps its controls (numbered from 1), tells the
// algorithm when a control changes, reports gestures and automation to the
// host, saves the control values as a chunk, renders audio and hands it the
// window. The classes are used through virtual bases as the library has them.
#pragma once

#include "platform/rtas/carbon.h"
#include "platform/rtas/chunk.h"
#include "platform/rtas/controls.h"
#include "platform/rtas/types.h"

#include <atomic>
#include <memory>
#include <vector>

class CEffectType;
class CPlugInView;

// The chunk in which the library saves every control value.
constexpr OSType kControlsChunkID = fourCharCode("ctls");

class CProcess {
public:
    CProcess() = default;
    virtual ~CProcess();
    CProcess(const CProcess&) = delete;
    CProcess& operator=(const CProcess&) = delete;

    // Called once after creation: builds the controls.
    virtual void EffectInit() {}

    // Takes ownership; returns the new control's index (from 1).
    long AddControl(CPluginControl* control);
    long GetNumControls() const { return static_cast<long>(mControls.size()); }
    bool IsValidControlIndex(long index) const { return index >= 1 && index <= GetNumControls(); }
    // Null for an invalid index.
    CPluginControl* GetControl(long index) const {
        return IsValidControlIndex(index) ? mControls[static_cast<std::size_t>(index - 1)].get()
                                          : nullptr;
    }
    // Stores the value (constrained to the control), tells the host and then
    // the algorithm. The master bypass control also sets the bypass state.
    virtual ComponentResult SetControlValue(long index, long value);
    virtual ComponentResult GetControlValue(long index, long* value);
    virtual ComponentResult GetControlDefaultValue(long index, long* value);
    ComponentResult TouchControl(long index);
    ComponentResult ReleaseControl(long index);
    virtual void UpdateControlValueInAlgorithm(long /*index*/) {}

    long GetMasterBypassControlIndex() const { return mMasterBypassIndex; }
    bool IsBypassed() const { return mBypassed.load(std::memory_order_relaxed); }

    virtual ComponentResult DoIdle(EventRecord* /*event*/) { return 0; }
    virtual void DoTokenIdle() {}

    // The window: given a port when the host shows it, null when it goes.
    virtual void SetViewPort(GrafPtr port) { mViewPort = port; }
    virtual void GetViewRect(Rect* rect);
    virtual CPlugInView* CreateCPlugInView() { return nullptr; }
    virtual ComponentResult DoSetCursor(EventRecord* /*event*/) { return 0; }
    virtual ComponentResult UpdateControlGraphic(long /*index*/, long /*value*/) { return 0; }
    virtual ComponentResult SetControlHighliteInfo(long /*index*/, short /*highlighted*/,
                                                   short /*colour*/) {
        return 0;
    }
    virtual ComponentResult ChooseControl(Point where, long* index);
    GrafPtr GetViewPort() const { return mViewPort; }

protected:
    long mMasterBypassIndex = 0;

private:
    std::vector<std::unique_ptr<CPluginControl>> mControls;
    std::atomic<bool> mBypassed{false};
    GrafPtr mViewPort = nullptr;
};

class CEffectProcess : public virtual CProcess {
public:
    void DefineMasterBypassControlIndex(long index) { mMasterBypassIndex = index; }
    // Registers a chunk the process saves besides the control values.
    void AddChunk(OSType id, const char* name, long version);

    // Channels of the type the process was made for (1 mono, 2 stereo).
    long GetNumInputs() const { return mNumInputs; }
    long GetNumOutputs() const { return mNumOutputs; }
    void SetChannels(long inputs, long outputs) {
        mNumInputs = inputs;
        mNumOutputs = outputs;
    }

    // Chunks by ID: the control-values chunk and registered ones.
    virtual ComponentResult GetChunkSize(OSType id, long* size);
    virtual ComponentResult GetChunk(OSType id, SFicPlugInChunk* chunk);
    virtual ComponentResult SetChunk(OSType id, SFicPlugInChunk* chunk);
    const std::vector<OSType>& GetChunkIDs() const { return mChunkIDs; }

private:
    long mNumInputs = 1;
    long mNumOutputs = 1;
    std::vector<OSType> mChunkIDs{kControlsChunkID};
};

class CEffectProcessRTAS : public virtual CEffectProcess {
public:
    // One block on the real-time path: one buffer per channel.
    virtual void RenderAudio(float** inputs, float** outputs, long frames) = 0;
    // One meter level and clip flag per output channel.
    virtual void GetMetersFromDSPorRTAS(long* /*meters*/, bool* /*clipped*/) {}
    double GetSampleRate() const { return mSampleRate; }
    void SetSampleRate(double rate) { mSampleRate = rate; }

private:
    double mSampleRate = 44100.0;
};
