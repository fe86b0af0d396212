// The Audio Unit base classes that a unit compiles in: AUBase (scopes and
// elements with the global element's parameter store, properties, saved
// state, presets, stream formats), AUEffectBase (one input and one output
// element, bypass, the render call), AUMIDIBase (MIDI parsed into
// HandleMidiEvent), AUMIDIEffectBase (both), and ComponentEntryPoint, the
// dispatcher that opens, closes and calls a unit of a given class.
//
// A unit overrides the virtual operations; everything else is the platform's
// behaviour and is used unchanged.
#pragma once

#include "platform/au/audio_toolbox.h"

#include <atomic>
#include <map>
#include <memory>
#include <new>
#include <vector>

// One element of a scope: its stream format and its parameter values.
// Parameters come into being the first time they are set (the unit does that
// while it is being built); later sets only change values, so hosts may read
// and write them from any thread.
class AUElement {
public:
    OSStatus GetParameter(AudioUnitParameterID id, Float32& outValue) const;
    void SetParameter(AudioUnitParameterID id, Float32 value, bool okWhenInitialized = false);
    bool HasParameter(AudioUnitParameterID id) const { return parameters.contains(id); }
    // The parameter IDs in ascending order.
    std::vector<AudioUnitParameterID> GetParameterList() const;

    const AudioStreamBasicDescription& GetStreamFormat() const { return format; }
    void SetStreamFormat(const AudioStreamBasicDescription& f) { format = f; }

private:
    std::map<AudioUnitParameterID, std::atomic<Float32>> parameters;
    AudioStreamBasicDescription format = canonicalStreamFormat(44100.0, 2);
};

class AUScope {
public:
    void SetNumberOfElements(UInt32 count);
    UInt32 GetNumberOfElements() const { return static_cast<UInt32>(elements.size()); }
    // Null for an element the scope does not have.
    AUElement* GetElement(AudioUnitElement element) const;

private:
    std::vector<std::unique_ptr<AUElement>> elements;
};

class AUBase {
public:
    AUBase(ComponentInstance instance, UInt32 numInputElements, UInt32 numOutputElements);
    virtual ~AUBase();
    AUBase(const AUBase&) = delete;
    AUBase& operator=(const AUBase&) = delete;

    // Operations a unit overrides.
    virtual OSStatus Version() { return 0; }
    virtual OSStatus Initialize() { return noErr; }
    virtual void Cleanup() {}
    virtual OSStatus Reset(AudioUnitScope scope, AudioUnitElement element);
    virtual OSStatus GetPropertyInfo(AudioUnitPropertyID id, AudioUnitScope scope,
                                     AudioUnitElement element, UInt32& outSize,
                                     Boolean& outWritable);
    virtual OSStatus GetProperty(AudioUnitPropertyID id, AudioUnitScope scope,
                                 AudioUnitElement element, void* outData);
    virtual OSStatus SetProperty(AudioUnitPropertyID id, AudioUnitScope scope,
                                 AudioUnitElement element, const void* data, UInt32 size);
    virtual OSStatus GetParameter(AudioUnitParameterID id, AudioUnitScope scope,
                                  AudioUnitElement element, Float32& outValue);
    virtual OSStatus SetParameter(AudioUnitParameterID id, AudioUnitScope scope,
                                  AudioUnitElement element, Float32 value, UInt32 bufferOffset);
    virtual OSStatus GetParameterInfo(AudioUnitScope scope, AudioUnitParameterID id,
                                      AudioUnitParameterInfo& info);
    // The class-info dictionary: component codes, the global parameter
    // values and the current preset. A new reference for the caller.
    virtual OSStatus SaveState(CFPropertyListRef* outData);
    virtual OSStatus RestoreState(CFPropertyListRef plist);
    virtual OSStatus GetPresets(CFArrayRef* outData) const;
    virtual OSStatus NewFactoryPresetSet(const AUPreset& preset);
    // The supported channel pairs; 0 records: any pair of equal counts.
    virtual UInt32 SupportedNumChannels(const AUChannelInfo** outInfo);
    virtual OSStatus ChangeStreamFormat(AudioUnitScope scope, AudioUnitElement element,
                                        const AudioStreamBasicDescription& previous,
                                        const AudioStreamBasicDescription& next);

    // Helpers for units.
    void CreateElements();
    AUScope* GetScope(AudioUnitScope scope);
    AUElement* GetElement(AudioUnitScope scope, AudioUnitElement element);
    AUElement* Globals() { return globalScope.GetElement(0); }
    AUElement* Output(AudioUnitElement element) { return outputScope.GetElement(element); }
    AUElement* Input(AudioUnitElement element) { return inputScope.GetElement(element); }
    OSStatus SetAFactoryPresetAsCurrent(const AUPreset& preset);
    ComponentInstance GetComponentInstance() const { return componentInstance; }
    bool IsInitialized() const { return initialized.load(std::memory_order_acquire); }
    UInt32 GetMaxFramesPerSlice() const { return maxFrames.load(std::memory_order_relaxed); }

    // Unpacks one component call (the dispatcher's routing).
    virtual OSStatus DispatchSelector(const ComponentParameters& params);

protected:
    OSStatus DoInitialize();
    void DoUninitialize();

private:
    OSStatus ChangeFormat(AudioUnitScope scope, AudioUnitElement element,
                          const AudioStreamBasicDescription& next);
    bool ChannelCountSupported(AudioUnitScope scope, UInt32 channels);

    ComponentInstance componentInstance;
    AUScope globalScope, inputScope, outputScope;
    UInt32 inputElements, outputElements;
    std::atomic<bool> initialized{false};
    std::atomic<UInt32> maxFrames{4096};
    AUPreset currentPreset{-1, nullptr};
};

class AUEffectBase : public AUBase {
public:
    AUEffectBase(ComponentInstance instance, bool processesInPlace = true);

    OSStatus Initialize() override;
    OSStatus GetPropertyInfo(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                             UInt32& outSize, Boolean& outWritable) override;
    OSStatus GetProperty(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                         void* outData) override;
    OSStatus SetProperty(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                         const void* data, UInt32 size) override;
    // The effect's processing of one render call; the base copies input to
    // output.
    virtual OSStatus ProcessBufferLists(UInt32& ioActionFlags, const AudioBufferList& inBuffer,
                                        AudioBufferList& outBuffer, UInt32 frames);

    Float64 GetSampleRate() { return Output(0)->GetStreamFormat().mSampleRate; }
    bool ProcessesInPlace() const { return inPlace; }
    bool IsBypassed() const { return bypassed.load(std::memory_order_relaxed); }

    OSStatus DispatchSelector(const ComponentParameters& params) override;

private:
    OSStatus Render(UInt32* ioActionFlags, const AudioBufferList* in, AudioBufferList* out,
                    UInt32 frames);
    const bool inPlace;
    std::atomic<bool> bypassed{false};
};

class AUMIDIBase {
public:
    explicit AUMIDIBase(AUBase* base) : midiOwner(base) {}
    virtual ~AUMIDIBase() = default;
    // One parsed message: status (high nibble), channel (low nibble), data.
    virtual OSStatus HandleMidiEvent(UInt8 status, UInt8 channel, UInt8 data1, UInt8 data2,
                                     UInt32 startFrame);
    // Parses a raw message: a status byte and two data bytes.
    OSStatus MIDIEvent(UInt32 status, UInt32 data1, UInt32 data2, UInt32 offsetSampleFrame);

protected:
    AUBase* midiOwner;
};

class AUMIDIEffectBase : public AUEffectBase, public AUMIDIBase {
public:
    AUMIDIEffectBase(ComponentInstance instance, bool processesInPlace = false)
        : AUEffectBase(instance, processesInPlace), AUMIDIBase(this) {}
    OSStatus DispatchSelector(const ComponentParameters& params) override;
};

// The component dispatcher for unit class T: constructs a T on open (storing
// it as the instance's storage), destroys it on close and routes every other
// call to it. No exception leaves it.
template <class T> class ComponentEntryPoint {
public:
    static OSStatus Dispatch(ComponentParameters* params, void* storage) {
        if (params == nullptr) return kAudio_ParamError;
        try {
            if (params->what == kComponentOpenSelect) {
                auto instance = reinterpret_cast<ComponentInstance>(params->args[0]);
                if (instance == nullptr || storage != nullptr) return kAudio_ParamError;
                SetComponentInstanceStorage(instance, static_cast<AUBase*>(new T(instance)));
                return noErr;
            }
            auto* unit = static_cast<AUBase*>(storage);
            if (unit == nullptr) return kAudio_ParamError;
            if (params->what == kComponentCloseSelect) {
                SetComponentInstanceStorage(unit->GetComponentInstance(), nullptr);
                delete unit;
                return noErr;
            }
            return unit->DispatchSelector(*params);
        } catch (const std::bad_alloc&) {
            return kAudio_MemFullError;
        } catch (...) {
            return kAudio_ParamError;
        }
    }
};
