// AUPlug: the Tarvex Audio Unit. An effect unit that accepts MIDI and hosts
// the VST effect: it creates the effect, serves it a host callback and turns
// every Audio Unit operation into calls on the effect's record (dispatcher,
// setParameter, getParameter, processReplacing), keeping the unit's own
// stores (parameter values, factory presets, saved state) in step with it.
#pragma once

#include "platform/au/au_base.h"
#include "vst/audioeffect.h"

#include <memory>

// Custom properties (global scope; scope and element are ignored).
enum : AudioUnitPropertyID {
    // 8 bytes, read only: the hosted effect object (AudioEffect*).
    kAUPlugProperty_Effect = 5000,
    // 8 bytes, writable: the unit keeps the given pointer and nothing reads it.
    kAUPlugProperty_StoredPointer = 5001,
};

// How hosts find the unit: an effect that accepts MIDI, from Quorvalinde.
inline constexpr AudioComponentDescription kAUPlugDescription{
    fourCharCode("aumf"), fourCharCode("Trvx"), fourCharCode("Qvld"), 0, 0};

class AUPlug : public AUMIDIEffectBase {
public:
    explicit AUPlug(ComponentInstance instance);
    ~AUPlug() override;

    OSStatus Version() override;
    OSStatus Initialize() override;
    OSStatus Reset(AudioUnitScope scope, AudioUnitElement element) override;
    OSStatus GetPropertyInfo(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                             UInt32& outSize, Boolean& outWritable) override;
    OSStatus GetProperty(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                         void* outData) override;
    OSStatus SetProperty(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                         const void* data, UInt32 size) override;
    OSStatus GetParameter(AudioUnitParameterID id, AudioUnitScope scope, AudioUnitElement element,
                          Float32& outValue) override;
    OSStatus SetParameter(AudioUnitParameterID id, AudioUnitScope scope, AudioUnitElement element,
                          Float32 value, UInt32 bufferOffset) override;
    OSStatus GetParameterInfo(AudioUnitScope scope, AudioUnitParameterID id,
                              AudioUnitParameterInfo& info) override;
    OSStatus SaveState(CFPropertyListRef* outData) override;
    OSStatus RestoreState(CFPropertyListRef plist) override;
    OSStatus GetPresets(CFArrayRef* outData) const override;
    OSStatus NewFactoryPresetSet(const AUPreset& preset) override;
    UInt32 SupportedNumChannels(const AUChannelInfo** outInfo) override;
    OSStatus ChangeStreamFormat(AudioUnitScope scope, AudioUnitElement element,
                                const AudioStreamBasicDescription& previous,
                                const AudioStreamBasicDescription& next) override;
    OSStatus ProcessBufferLists(UInt32& ioActionFlags, const AudioBufferList& inBuffer,
                                AudioBufferList& outBuffer, UInt32 frames) override;
    OSStatus HandleMidiEvent(UInt8 status, UInt8 channel, UInt8 data1, UInt8 data2,
                             UInt32 startFrame) override;

    // The per-parameter edit-gesture flags, for the host callback. A plain
    // flag per parameter: the effect's editor is the only writer.
    bool& gestureActive(int index) { return mGestureActive[index]; }

private:
    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
                       void* ptr = nullptr, float opt = 0.0f);
    // Sends the output element's sample rate to the effect.
    void sendSampleRate(Float64 rate);
    // Copies every parameter value of the effect into the global element.
    void storeEffectParameters();
    bool programsAreChunks() const;
    // Frees what the unit owns and closes the effect (destruction order).
    void release();

    AudioEffect* mEffect = nullptr;
    void* mStoredPointer = nullptr;
    AEffect* mAEffect = nullptr;
    std::unique_ptr<bool[]> mGestureActive;
    AUChannelInfo mChannelInfo[2];
    std::unique_ptr<AUPreset*[]> mPresetRecords;
    CFArrayRef mFactoryPresets = nullptr;
};

// The host callback served to the effect (automation, edit gestures, version).
VstIntPtr VST_Callback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                       float opt);

// The view class's name, a constant string.
CFStringRef GetAUCocoaUIViewClassName();

// Sets a 32-bit number under the key (the dictionary keeps its own reference).
void AddNumToDictionary(CFMutableDictionaryRef dictionary, CFStringRef key, SInt32 value);
