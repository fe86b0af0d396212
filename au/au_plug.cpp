#include "au/au_plug.h"

#include "au/cocoa_ui.h"

#include <cstring>
#include <new>

namespace {

// Room for any text the effect writes (names of 8 and 24 characters).
constexpr int kTextBuffer = 64;

constexpr UInt32 kParameterFlags =
    kAudioUnitParameterFlag_IsWritable | kAudioUnitParameterFlag_IsReadable |
    kAudioUnitParameterFlag_IsElementMeta | kAudioUnitParameterFlag_HasCFNameString |
    kAudioUnitParameterFlag_CFNameRelease | kAudioUnitParameterFlag_Global;
static_assert(kParameterFlags == 0xE8000011u);

// The module's own bundle, from an address inside it.
CFBundleRef pluginBundle() {
    static const char anchor = 0;
    return CFBundleGetBundleContainingAddress(&anchor);
}

} // namespace

AUPlug::AUPlug(ComponentInstance instance) : AUMIDIEffectBase(instance, false) {
    CreateElements();
    mChannelInfo[0] = {1, 1};
    mChannelInfo[1] = {2, 2};
    mEffect = createEffectInstance(VST_Callback);
    // The effect cannot be built only when memory runs out; the unit then
    // fails to open instead of using a null effect.
    if (mEffect == nullptr) throw std::bad_alloc();
    mAEffect = mEffect->getAeffect();
    mAEffect->user = this;
    try {
        const int programs = mAEffect->numPrograms;
        mPresetRecords = std::make_unique<AUPreset*[]>(static_cast<size_t>(programs));
        for (int i = 0; i < programs; ++i) {
            char name[kTextBuffer] = {};
            dispatch(effGetProgramNameIndexed, i, 0, name);
            mPresetRecords[i] = new AUPreset{
                i, CFStringCreateWithCString(nullptr, name, kCFStringEncodingMacRoman)};
        }
        mFactoryPresets = CFArrayCreate(
            nullptr, const_cast<const void**>(reinterpret_cast<void**>(mPresetRecords.get())),
            programs, nullptr);
        mGestureActive = std::make_unique<bool[]>(static_cast<size_t>(mAEffect->numParams));
        storeEffectParameters();
    } catch (...) {
        release();
        throw;
    }
    dispatch(effOpen);
}

AUPlug::~AUPlug() {
    release();
}

void AUPlug::release() {
    mGestureActive.reset();
    if (mPresetRecords) {
        for (int i = 0; i < mAEffect->numPrograms; ++i) {
            AUPreset* record = mPresetRecords[i];
            if (record != nullptr && record->presetName != nullptr) CFRelease(record->presetName);
            delete record;
        }
        mPresetRecords.reset();
    }
    if (mFactoryPresets != nullptr) CFRelease(mFactoryPresets);
    mFactoryPresets = nullptr;
    // The effect's glue deletes the effect on close.
    if (mAEffect != nullptr) dispatch(effClose);
    mAEffect = nullptr;
    mEffect = nullptr;
}

VstIntPtr AUPlug::dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
    return mAEffect->dispatcher(mAEffect, opcode, index, value, ptr, opt);
}

void AUPlug::sendSampleRate(Float64 rate) {
    dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(rate));
}

void AUPlug::storeEffectParameters() {
    for (int i = 0; i < mAEffect->numParams; ++i)
        Globals()->SetParameter(static_cast<AudioUnitParameterID>(i),
                                mAEffect->getParameter(mAEffect, i), false);
}

bool AUPlug::programsAreChunks() const {
    return (mAEffect->flags & effFlagsProgramChunks) != 0;
}

OSStatus AUPlug::Version() {
    return 1;
}

OSStatus AUPlug::Initialize() {
    sendSampleRate(GetSampleRate());
    return AUEffectBase::Initialize();
}

OSStatus AUPlug::Reset(AudioUnitScope scope, AudioUnitElement element) {
    if (mAEffect != nullptr) {
        dispatch(effMainsChanged, 0, 0);
        sendSampleRate(GetSampleRate());
        dispatch(effMainsChanged, 0, 1);
    }
    return AUBase::Reset(scope, element);
}

OSStatus AUPlug::GetPropertyInfo(AudioUnitPropertyID id, AudioUnitScope scope,
                                 AudioUnitElement element, UInt32& outSize, Boolean& outWritable) {
    switch (id) {
    case kAudioUnitProperty_CocoaUI:
        outSize = sizeof(AudioUnitCocoaViewInfo);
        return noErr;
    case kAUPlugProperty_Effect:
        outSize = sizeof(void*);
        outWritable = false;
        return noErr;
    case kAUPlugProperty_StoredPointer:
        outSize = sizeof(void*);
        outWritable = true;
        return noErr;
    default:
        return AUMIDIEffectBase::GetPropertyInfo(id, scope, element, outSize, outWritable);
    }
}

OSStatus AUPlug::GetProperty(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                             void* outData) {
    switch (id) {
    case kAudioUnitProperty_CocoaUI: {
        const AudioUnitCocoaViewInfo info{CFBundleCopyBundleURL(pluginBundle()),
                                          {GetAUCocoaUIViewClassName()}};
        std::memcpy(outData, &info, sizeof info);
        return noErr;
    }
    case kAUPlugProperty_Effect:
        std::memcpy(outData, &mEffect, sizeof mEffect);
        return noErr;
    default:
        return AUMIDIEffectBase::GetProperty(id, scope, element, outData);
    }
}

OSStatus AUPlug::SetProperty(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                             const void* data, UInt32 size) {
    if (id == kAUPlugProperty_StoredPointer) {
        mStoredPointer = const_cast<void*>(data);
        return noErr;
    }
    const OSStatus result = AUMIDIEffectBase::SetProperty(id, scope, element, data, size);
    // The effect hears only of a rate the unit took: a refused one would
    // change its sound while the unit stays at its rate.
    if (result == noErr && id == kAudioUnitProperty_SampleRate && data != nullptr &&
        size == sizeof(Float64)) {
        Float64 rate;
        std::memcpy(&rate, data, sizeof rate);
        sendSampleRate(rate);
    }
    return result;
}

OSStatus AUPlug::GetParameter(AudioUnitParameterID id, AudioUnitScope scope,
                              AudioUnitElement element, Float32& outValue) {
    // Only IDs of the parameter list are stored: another ID would grow the list.
    if (scope == kAudioUnitScope_Global && Globals()->HasParameter(id))
        Globals()->SetParameter(id, mAEffect->getParameter(mAEffect, static_cast<VstInt32>(id)),
                                false);
    return AUBase::GetParameter(id, scope, element, outValue);
}

OSStatus AUPlug::SetParameter(AudioUnitParameterID id, AudioUnitScope scope,
                              AudioUnitElement element, Float32 value, UInt32 bufferOffset) {
    // The effect bounds the index itself.
    if (scope == kAudioUnitScope_Global)
        mAEffect->setParameter(mAEffect, static_cast<VstInt32>(id), value);
    return AUBase::SetParameter(id, scope, element, value, bufferOffset);
}

OSStatus AUPlug::GetParameterInfo(AudioUnitScope scope, AudioUnitParameterID id,
                                  AudioUnitParameterInfo& info) {
    if (scope != kAudioUnitScope_Global || id >= static_cast<UInt32>(mAEffect->numParams))
        return kAudioUnitErr_InvalidParameter;
    dispatch(effGetParamName, static_cast<VstInt32>(id), 0, info.name);
    info.name[sizeof info.name - 1] = '\0';
    info.cfNameString = CFStringCreateWithCString(nullptr, info.name, kCFStringEncodingMacRoman);
    info.unit = kAudioUnitParameterUnit_Generic;
    info.minValue = 0.0f;
    info.maxValue = 1.0f;
    info.defaultValue = 0.5f;
    info.flags = kParameterFlags;
    return noErr;
}

OSStatus AUPlug::SaveState(CFPropertyListRef* outData) {
    if (!programsAreChunks()) return AUBase::SaveState(outData);

    // An effect that keeps its programs as one chunk: the chunk as data.
    if (outData == nullptr) return kAudioUnitErr_InvalidParameter;
    AudioComponentDescription desc{};
    if (OSStatus result = GetComponentInfo(GetComponentInstance(), &desc)) return result;
    CFMutableDictionaryRef dictionary = CFDictionaryCreateMutable(nullptr, 0, nullptr, nullptr);
    AddNumToDictionary(dictionary, CFSTR("version"), 0);
    AddNumToDictionary(dictionary, CFSTR("type"), static_cast<SInt32>(desc.componentType));
    AddNumToDictionary(dictionary, CFSTR("subtype"), static_cast<SInt32>(desc.componentSubType));
    AddNumToDictionary(dictionary, CFSTR("manufacturer"),
                       static_cast<SInt32>(desc.componentManufacturer));
    void* chunk = nullptr;
    const VstIntPtr size = dispatch(effGetChunk, 0, 0, &chunk);
    CFDataRef data = size > 0 && chunk != nullptr
                         ? CFDataCreate(nullptr, static_cast<const std::uint8_t*>(chunk), size)
                         : nullptr;
    if (data == nullptr) {
        CFRelease(dictionary);
        *outData = nullptr;
        return -1;
    }
    CFDictionarySetValue(dictionary, CFSTR("data"), data);
    CFRelease(data);
    CFDictionarySetValue(dictionary, CFSTR("name"), CFSTR("default"));
    *outData = dictionary;
    return noErr;
}

OSStatus AUPlug::RestoreState(CFPropertyListRef plist) {
    if (plist == nullptr) return kAudioUnitErr_InvalidParameter;
    if (programsAreChunks()) {
        auto data = CFDictionaryGetValue(static_cast<CFDictionaryRef>(plist), CFSTR("data"));
        if (data == nullptr) return noErr;
        if (CFGetTypeID(data) != CFDataGetTypeID()) return -1;
        auto bytes = static_cast<CFDataRef>(data);
        if (CFDataGetLength(bytes) > 0)
            dispatch(effSetChunk, 0, CFDataGetLength(bytes),
                     const_cast<std::uint8_t*>(CFDataGetBytePtr(bytes)));
        return noErr;
    }
    const OSStatus result = AUBase::RestoreState(plist);
    for (int i = 0; i < mAEffect->numParams; ++i) {
        Float32 value = 0.0f;
        if (Globals()->GetParameter(static_cast<AudioUnitParameterID>(i), value) == noErr)
            mAEffect->setParameter(mAEffect, i, value);
    }
    return result;
}

OSStatus AUPlug::GetPresets(CFArrayRef* outData) const {
    if (outData != nullptr) {
        *outData = mFactoryPresets;
        CFRetain(mFactoryPresets);
    }
    return noErr;
}

OSStatus AUPlug::NewFactoryPresetSet(const AUPreset& preset) {
    const SInt32 number = preset.presetNumber;
    if (number < 0 || number >= mAEffect->numPrograms) return kAudioUnitErr_InvalidPropertyValue;
    dispatch(effSetProgram, 0, number);
    SetAFactoryPresetAsCurrent(preset);
    storeEffectParameters();
    return noErr;
}

UInt32 AUPlug::SupportedNumChannels(const AUChannelInfo** outInfo) {
    if (outInfo != nullptr) *outInfo = mChannelInfo;
    return 2;
}

OSStatus AUPlug::ChangeStreamFormat(AudioUnitScope scope, AudioUnitElement element,
                                    const AudioStreamBasicDescription& previous,
                                    const AudioStreamBasicDescription& next) {
    sendSampleRate(GetSampleRate());
    return AUBase::ChangeStreamFormat(scope, element, previous, next);
}

OSStatus AUPlug::ProcessBufferLists(UInt32&, const AudioBufferList& inBuffer,
                                    AudioBufferList& outBuffer, UInt32 frames) {
    // Nothing to read from or write to.
    if (inBuffer.mNumberBuffers == 0 || outBuffer.mNumberBuffers == 0) return noErr;
    const bool stereo = inBuffer.mNumberBuffers == 2;
    float* inputs[2] = {static_cast<float*>(bufferAt(inBuffer, 0).mData),
                        stereo ? static_cast<float*>(bufferAt(inBuffer, 1).mData) : nullptr};
    // The second output only when the output list has one.
    float* outputs[2] = {static_cast<float*>(bufferAt(outBuffer, 0).mData),
                         stereo && outBuffer.mNumberBuffers >= 2
                             ? static_cast<float*>(bufferAt(outBuffer, 1).mData)
                             : nullptr};
    mAEffect->processReplacing(mAEffect, inputs, outputs, static_cast<VstInt32>(frames));
    return noErr;
}

OSStatus AUPlug::HandleMidiEvent(UInt8 status, UInt8 channel, UInt8 data1, UInt8 data2,
                                 UInt32 startFrame) {
    VstMidiEvent event{};
    event.type = 1;
    event.byteSize = sizeof(VstMidiEvent);
    event.deltaFrames = static_cast<VstInt32>(startFrame);
    event.midiData[0] = static_cast<char>(status | channel);
    event.midiData[1] = static_cast<char>(data1);
    event.midiData[2] = static_cast<char>(data2);
    VstEvents list{};
    list.numEvents = 1;
    list.events[0] = reinterpret_cast<VstEvent*>(&event);
    dispatch(effProcessEvents, 0, 0, &list);
    return noErr;
}

void AddNumToDictionary(CFMutableDictionaryRef dictionary, CFStringRef key, SInt32 value) {
    CFNumberRef number = CFNumberCreate(nullptr, kCFNumberSInt32Type, &value);
    CFDictionarySetValue(dictionary, key, number);
    CFRelease(number);
}
