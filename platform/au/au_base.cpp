#include "platform/au/au_base.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

namespace {

template <class T> T readValue(const void* data) {
    T value;
    std::memcpy(&value, data, sizeof value);
    return value;
}

template <class T> void writeValue(void* data, const T& value) {
    std::memcpy(data, &value, sizeof value);
}

bool validRate(Float64 rate) {
    return std::isfinite(rate) && rate > 0.0 && rate <= 1.0e6;
}

UInt32 bigEndian(UInt32 value) {
    return std::endian::native == std::endian::little ? __builtin_bswap32(value) : value;
}

void addNumber(CFMutableDictionaryRef dictionary, const char* key, SInt32 value) {
    CFNumberRef number = CFNumberCreate(nullptr, kCFNumberSInt32Type, &value);
    CFDictionarySetValue(dictionary, CFSTR(key), number);
    CFRelease(number);
}

bool numberIs(CFDictionaryRef dictionary, const char* key, SInt32 expected) {
    SInt32 value = 0;
    auto number = static_cast<CFNumberRef>(CFDictionaryGetValue(dictionary, CFSTR(key)));
    return CFGetTypeID(number) == CFNumberGetTypeID() &&
           CFNumberGetValue(number, kCFNumberSInt32Type, &value) && value == expected;
}

// Each output channel from the input channel of the same number (the last
// input channel when there are fewer).
void copyInputToOutput(const AudioBufferList& in, AudioBufferList& out, UInt32 frames) {
    for (UInt32 c = 0; c < out.mNumberBuffers && in.mNumberBuffers > 0; ++c) {
        const AudioBuffer& source = bufferAt(in, std::min(c, in.mNumberBuffers - 1));
        AudioBuffer& target = bufferAt(out, c);
        if (source.mData != target.mData)
            std::memmove(target.mData, source.mData, frames * sizeof(Float32));
    }
}

} // namespace

OSStatus AUElement::GetParameter(AudioUnitParameterID id, Float32& outValue) const {
    auto found = parameters.find(id);
    if (found == parameters.end()) return kAudioUnitErr_InvalidParameter;
    outValue = found->second.load(std::memory_order_relaxed);
    return noErr;
}

void AUElement::SetParameter(AudioUnitParameterID id, Float32 value, bool) {
    auto [slot, inserted] = parameters.try_emplace(id, value);
    if (!inserted) slot->second.store(value, std::memory_order_relaxed);
}

std::vector<AudioUnitParameterID> AUElement::GetParameterList() const {
    std::vector<AudioUnitParameterID> ids;
    ids.reserve(parameters.size());
    for (const auto& entry : parameters)
        ids.push_back(entry.first);
    return ids;
}

void AUScope::SetNumberOfElements(UInt32 count) {
    while (elements.size() < count)
        elements.push_back(std::make_unique<AUElement>());
}

AUElement* AUScope::GetElement(AudioUnitElement element) const {
    return element < elements.size() ? elements[element].get() : nullptr;
}

AUBase::AUBase(ComponentInstance instance, UInt32 numInputElements, UInt32 numOutputElements)
    : componentInstance(instance), inputElements(numInputElements),
      outputElements(numOutputElements) {}

AUBase::~AUBase() {
    CFRelease(currentPreset.presetName);
}

void AUBase::CreateElements() {
    globalScope.SetNumberOfElements(1);
    inputScope.SetNumberOfElements(inputElements);
    outputScope.SetNumberOfElements(outputElements);
}

AUScope* AUBase::GetScope(AudioUnitScope scope) {
    switch (scope) {
    case kAudioUnitScope_Global:
        return &globalScope;
    case kAudioUnitScope_Input:
        return &inputScope;
    case kAudioUnitScope_Output:
        return &outputScope;
    default:
        return nullptr;
    }
}

AUElement* AUBase::GetElement(AudioUnitScope scope, AudioUnitElement element) {
    AUScope* s = GetScope(scope);
    return s == nullptr ? nullptr : s->GetElement(element);
}

OSStatus AUBase::Reset(AudioUnitScope, AudioUnitElement) {
    return noErr;
}

OSStatus AUBase::GetPropertyInfo(AudioUnitPropertyID id, AudioUnitScope scope,
                                 AudioUnitElement element, UInt32& outSize, Boolean& outWritable) {
    AUScope* s = GetScope(scope);
    if (s == nullptr) return kAudioUnitErr_InvalidScope;
    const bool global = scope == kAudioUnitScope_Global;
    switch (id) {
    case kAudioUnitProperty_ClassInfo:
        if (!global) return kAudioUnitErr_InvalidScope;
        outSize = sizeof(CFPropertyListRef);
        outWritable = true;
        return noErr;
    case kAudioUnitProperty_SampleRate:
    case kAudioUnitProperty_StreamFormat:
        if (global) return kAudioUnitErr_InvalidScope;
        if (s->GetElement(element) == nullptr) return kAudioUnitErr_InvalidElement;
        outSize = id == kAudioUnitProperty_SampleRate ? sizeof(Float64)
                                                      : sizeof(AudioStreamBasicDescription);
        outWritable = true;
        return noErr;
    case kAudioUnitProperty_ParameterList: {
        AUElement* first = s->GetElement(0);
        const auto count = first == nullptr ? 0 : first->GetParameterList().size();
        outSize = static_cast<UInt32>(count * sizeof(AudioUnitParameterID));
        outWritable = false;
        return noErr;
    }
    case kAudioUnitProperty_ParameterInfo:
        outSize = sizeof(AudioUnitParameterInfo);
        outWritable = false;
        return noErr;
    case kAudioUnitProperty_SupportedNumChannels: {
        if (!global) return kAudioUnitErr_InvalidScope;
        const UInt32 count = SupportedNumChannels(nullptr);
        if (count == 0) return kAudioUnitErr_InvalidProperty;
        outSize = count * sizeof(AUChannelInfo);
        outWritable = false;
        return noErr;
    }
    case kAudioUnitProperty_MaximumFramesPerSlice:
        if (!global) return kAudioUnitErr_InvalidScope;
        outSize = sizeof(UInt32);
        outWritable = true;
        return noErr;
    case kAudioUnitProperty_FactoryPresets:
        if (!global) return kAudioUnitErr_InvalidScope;
        if (GetPresets(nullptr) != noErr) return kAudioUnitErr_InvalidProperty;
        outSize = sizeof(CFArrayRef);
        outWritable = false;
        return noErr;
    case kAudioUnitProperty_PresentPreset:
        if (!global) return kAudioUnitErr_InvalidScope;
        outSize = sizeof(AUPreset);
        outWritable = true;
        return noErr;
    default:
        return kAudioUnitErr_InvalidProperty;
    }
}

OSStatus AUBase::GetProperty(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                             void* outData) {
    UInt32 size = 0;
    Boolean writable = false;
    if (OSStatus result = AUBase::GetPropertyInfo(id, scope, element, size, writable))
        return result;
    switch (id) {
    case kAudioUnitProperty_ClassInfo: {
        CFPropertyListRef state = nullptr;
        const OSStatus result = SaveState(&state);
        if (result == noErr) writeValue(outData, state);
        return result;
    }
    case kAudioUnitProperty_SampleRate:
        writeValue(outData, GetElement(scope, element)->GetStreamFormat().mSampleRate);
        return noErr;
    case kAudioUnitProperty_StreamFormat:
        writeValue(outData, GetElement(scope, element)->GetStreamFormat());
        return noErr;
    case kAudioUnitProperty_ParameterList: {
        AUElement* first = GetScope(scope)->GetElement(0);
        const auto ids =
            first != nullptr ? first->GetParameterList() : std::vector<AudioUnitParameterID>{};
        if (!ids.empty()) std::memcpy(outData, ids.data(), ids.size() * sizeof ids[0]);
        return noErr;
    }
    case kAudioUnitProperty_ParameterInfo: {
        AudioUnitParameterInfo info{};
        const OSStatus result = GetParameterInfo(scope, element, info);
        if (result == noErr) writeValue(outData, info);
        return result;
    }
    case kAudioUnitProperty_SupportedNumChannels: {
        const AUChannelInfo* infos = nullptr;
        const UInt32 count = SupportedNumChannels(&infos);
        if (infos != nullptr) std::memcpy(outData, infos, count * sizeof(AUChannelInfo));
        return noErr;
    }
    case kAudioUnitProperty_MaximumFramesPerSlice:
        writeValue(outData, GetMaxFramesPerSlice());
        return noErr;
    case kAudioUnitProperty_FactoryPresets: {
        CFArrayRef presets = nullptr;
        const OSStatus result = GetPresets(&presets);
        if (result == noErr) writeValue(outData, presets);
        return result;
    }
    case kAudioUnitProperty_PresentPreset: {
        AUPreset preset = currentPreset;
        if (preset.presetName == nullptr) preset.presetName = CFSTR("Untitled");
        CFRetain(preset.presetName);
        writeValue(outData, preset);
        return noErr;
    }
    default:
        return kAudioUnitErr_InvalidProperty;
    }
}

OSStatus AUBase::SetProperty(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                             const void* data, UInt32 size) {
    UInt32 expected = 0;
    Boolean writable = false;
    if (OSStatus result = AUBase::GetPropertyInfo(id, scope, element, expected, writable))
        return result;
    if (!writable) return kAudioUnitErr_PropertyNotWritable;
    if (data == nullptr || size != expected) return kAudio_ParamError;
    switch (id) {
    case kAudioUnitProperty_ClassInfo:
        return RestoreState(readValue<CFPropertyListRef>(data));
    case kAudioUnitProperty_SampleRate: {
        const auto rate = readValue<Float64>(data);
        if (!validRate(rate)) return kAudioUnitErr_InvalidPropertyValue;
        AudioStreamBasicDescription next = GetElement(scope, element)->GetStreamFormat();
        next.mSampleRate = rate;
        return ChangeFormat(scope, element, next);
    }
    case kAudioUnitProperty_StreamFormat: {
        const auto next = readValue<AudioStreamBasicDescription>(data);
        const bool canonical = next.mFormatID == kAudioFormatLinearPCM &&
                               (next.mFormatFlags & kAudioFormatFlagIsFloat) != 0 &&
                               (next.mFormatFlags & kAudioFormatFlagIsNonInterleaved) != 0 &&
                               next.mBitsPerChannel == 32 && next.mBytesPerFrame == 4 &&
                               next.mFramesPerPacket == 1;
        if (!canonical || !validRate(next.mSampleRate) ||
            !ChannelCountSupported(scope, next.mChannelsPerFrame))
            return kAudioUnitErr_FormatNotSupported;
        return ChangeFormat(scope, element, next);
    }
    case kAudioUnitProperty_MaximumFramesPerSlice: {
        const auto frames = readValue<UInt32>(data);
        if (frames == 0 || frames > (1u << 20)) return kAudioUnitErr_InvalidPropertyValue;
        if (IsInitialized()) return kAudioUnitErr_CannotDoInCurrentContext;
        maxFrames.store(frames, std::memory_order_relaxed);
        return noErr;
    }
    case kAudioUnitProperty_PresentPreset:
        // This stand-in knows factory presets only.
        return NewFactoryPresetSet(readValue<AUPreset>(data));
    default:
        return kAudioUnitErr_InvalidProperty;
    }
}

OSStatus AUBase::ChangeFormat(AudioUnitScope scope, AudioUnitElement element,
                              const AudioStreamBasicDescription& next) {
    AUElement* target = GetElement(scope, element);
    const AudioStreamBasicDescription previous = target->GetStreamFormat();
    if (std::memcmp(&previous, &next, sizeof next) == 0) return noErr;
    if (IsInitialized() && previous.mChannelsPerFrame != next.mChannelsPerFrame)
        return kAudioUnitErr_CannotDoInCurrentContext;
    return ChangeStreamFormat(scope, element, previous, next);
}

bool AUBase::ChannelCountSupported(AudioUnitScope scope, UInt32 channels) {
    const AUChannelInfo* infos = nullptr;
    const UInt32 count = SupportedNumChannels(&infos);
    if (count == 0 || infos == nullptr) return channels >= 1 && channels <= 8;
    for (UInt32 i = 0; i < count; ++i) {
        const SInt16 side =
            scope == kAudioUnitScope_Input ? infos[i].inChannels : infos[i].outChannels;
        if (side > 0 && static_cast<UInt32>(side) == channels) return true;
    }
    return false;
}

OSStatus AUBase::ChangeStreamFormat(AudioUnitScope scope, AudioUnitElement element,
                                    const AudioStreamBasicDescription&,
                                    const AudioStreamBasicDescription& next) {
    AUElement* target = GetElement(scope, element);
    if (target == nullptr) return kAudioUnitErr_InvalidElement;
    target->SetStreamFormat(next);
    return noErr;
}

OSStatus AUBase::GetParameter(AudioUnitParameterID id, AudioUnitScope scope,
                              AudioUnitElement element, Float32& outValue) {
    if (GetScope(scope) == nullptr) return kAudioUnitErr_InvalidScope;
    AUElement* target = GetElement(scope, element);
    if (target == nullptr) return kAudioUnitErr_InvalidElement;
    return target->GetParameter(id, outValue);
}

OSStatus AUBase::SetParameter(AudioUnitParameterID id, AudioUnitScope scope,
                              AudioUnitElement element, Float32 value, UInt32) {
    if (GetScope(scope) == nullptr) return kAudioUnitErr_InvalidScope;
    AUElement* target = GetElement(scope, element);
    if (target == nullptr) return kAudioUnitErr_InvalidElement;
    if (!target->HasParameter(id)) return kAudioUnitErr_InvalidParameter;
    target->SetParameter(id, value);
    return noErr;
}

OSStatus AUBase::GetParameterInfo(AudioUnitScope, AudioUnitParameterID, AudioUnitParameterInfo&) {
    return kAudioUnitErr_InvalidParameter;
}

OSStatus AUBase::SaveState(CFPropertyListRef* outData) {
    if (outData == nullptr) return kAudio_ParamError;
    AudioComponentDescription desc{};
    if (OSStatus result = GetComponentInfo(componentInstance, &desc)) return result;

    // The global parameters as pairs of big-endian ID and value bits.
    std::vector<std::uint8_t> bytes;
    if (AUElement* globals = Globals()) {
        for (AudioUnitParameterID id : globals->GetParameterList()) {
            Float32 value = 0.0f;
            globals->GetParameter(id, value);
            const UInt32 words[2] = {bigEndian(id), bigEndian(std::bit_cast<UInt32>(value))};
            const auto* raw = reinterpret_cast<const std::uint8_t*>(words);
            bytes.insert(bytes.end(), raw, raw + sizeof words);
        }
    }
    CFMutableDictionaryRef dictionary = CFDictionaryCreateMutable(nullptr, 0, nullptr, nullptr);
    addNumber(dictionary, "version", 0);
    addNumber(dictionary, "type", static_cast<SInt32>(desc.componentType));
    addNumber(dictionary, "subtype", static_cast<SInt32>(desc.componentSubType));
    addNumber(dictionary, "manufacturer", static_cast<SInt32>(desc.componentManufacturer));
    CFDataRef data = CFDataCreate(nullptr, bytes.data(), static_cast<CFIndex>(bytes.size()));
    CFDictionarySetValue(dictionary, CFSTR("data"), data);
    CFRelease(data);
    CFDictionarySetValue(dictionary, CFSTR("name"),
                         currentPreset.presetName ? currentPreset.presetName : CFSTR("Untitled"));
    addNumber(dictionary, "preset-number", currentPreset.presetNumber);
    *outData = dictionary;
    return noErr;
}

OSStatus AUBase::RestoreState(CFPropertyListRef plist) {
    if (CFGetTypeID(plist) != CFDictionaryGetTypeID()) return kAudioUnitErr_InvalidPropertyValue;
    auto dictionary = static_cast<CFDictionaryRef>(plist);
    AudioComponentDescription desc{};
    if (OSStatus result = GetComponentInfo(componentInstance, &desc)) return result;
    if (!numberIs(dictionary, "version", 0) ||
        !numberIs(dictionary, "type", static_cast<SInt32>(desc.componentType)) ||
        !numberIs(dictionary, "subtype", static_cast<SInt32>(desc.componentSubType)) ||
        !numberIs(dictionary, "manufacturer", static_cast<SInt32>(desc.componentManufacturer)))
        return kAudioUnitErr_InvalidPropertyValue;

    // Everything is checked before anything changes.
    auto data = static_cast<CFDataRef>(CFDictionaryGetValue(dictionary, CFSTR("data")));
    if (data != nullptr &&
        (CFGetTypeID(data) != CFDataGetTypeID() || CFDataGetLength(data) % 8 != 0))
        return kAudioUnitErr_InvalidPropertyValue;
    if (data != nullptr && Globals() != nullptr) {
        const std::uint8_t* bytes = CFDataGetBytePtr(data);
        for (CFIndex at = 0; at < CFDataGetLength(data); at += 8) {
            UInt32 words[2];
            std::memcpy(words, bytes + at, sizeof words);
            const UInt32 id = bigEndian(words[0]);
            if (Globals()->HasParameter(id))
                Globals()->SetParameter(id, std::bit_cast<Float32>(bigEndian(words[1])));
        }
    }
    auto name = static_cast<CFStringRef>(CFDictionaryGetValue(dictionary, CFSTR("name")));
    auto number =
        static_cast<CFNumberRef>(CFDictionaryGetValue(dictionary, CFSTR("preset-number")));
    SInt32 presetNumber = -1;
    if (CFGetTypeID(name) == CFStringGetTypeID() && CFGetTypeID(number) == CFNumberGetTypeID() &&
        CFNumberGetValue(number, kCFNumberSInt32Type, &presetNumber))
        SetAFactoryPresetAsCurrent({presetNumber, name});
    return noErr;
}

OSStatus AUBase::GetPresets(CFArrayRef*) const {
    return kAudioUnitErr_InvalidProperty;
}

OSStatus AUBase::NewFactoryPresetSet(const AUPreset&) {
    return kAudioUnitErr_InvalidProperty;
}

UInt32 AUBase::SupportedNumChannels(const AUChannelInfo** outInfo) {
    if (outInfo != nullptr) *outInfo = nullptr;
    return 0;
}

OSStatus AUBase::SetAFactoryPresetAsCurrent(const AUPreset& preset) {
    CFRetain(preset.presetName);
    CFRelease(currentPreset.presetName);
    currentPreset = preset;
    return noErr;
}

OSStatus AUBase::DoInitialize() {
    if (IsInitialized()) return noErr;
    if (Globals() == nullptr) CreateElements();
    const OSStatus result = Initialize();
    if (result == noErr) initialized.store(true, std::memory_order_release);
    return result;
}

void AUBase::DoUninitialize() {
    if (!IsInitialized()) return;
    Cleanup();
    initialized.store(false, std::memory_order_release);
}

OSStatus AUBase::DispatchSelector(const ComponentParameters& params) {
    const auto& a = params.args;
    auto needs = [&](unsigned n) { return params.count >= n; };
    switch (params.what) {
    case kComponentVersionSelect:
        return Version();
    case kAudioUnitInitializeSelect:
        return DoInitialize();
    case kAudioUnitUninitializeSelect:
        DoUninitialize();
        return noErr;
    case kAudioUnitResetSelect:
        if (!needs(2)) return kAudio_ParamError;
        return Reset(static_cast<AudioUnitScope>(a[0]), static_cast<AudioUnitElement>(a[1]));
    case kAudioUnitGetPropertyInfoSelect: {
        if (!needs(5)) return kAudio_ParamError;
        UInt32 size = 0;
        Boolean writable = false;
        const OSStatus result = GetPropertyInfo(
            static_cast<AudioUnitPropertyID>(a[0]), static_cast<AudioUnitScope>(a[1]),
            static_cast<AudioUnitElement>(a[2]), size, writable);
        if (result != noErr) return result;
        if (auto* outSize = reinterpret_cast<UInt32*>(a[3])) *outSize = size;
        if (auto* outWritable = reinterpret_cast<Boolean*>(a[4])) *outWritable = writable;
        return noErr;
    }
    case kAudioUnitGetPropertySelect: {
        if (!needs(5)) return kAudio_ParamError;
        const auto id = static_cast<AudioUnitPropertyID>(a[0]);
        const auto scope = static_cast<AudioUnitScope>(a[1]);
        const auto element = static_cast<AudioUnitElement>(a[2]);
        auto* outData = reinterpret_cast<void*>(a[3]);
        auto* ioSize = reinterpret_cast<UInt32*>(a[4]);
        if (ioSize == nullptr) return kAudio_ParamError;
        UInt32 size = 0;
        Boolean writable = false;
        if (OSStatus result = GetPropertyInfo(id, scope, element, size, writable)) return result;
        if (outData == nullptr) {
            *ioSize = size;
            return noErr;
        }
        if (*ioSize < size) return kAudio_ParamError;
        const OSStatus result = GetProperty(id, scope, element, outData);
        if (result == noErr) *ioSize = size;
        return result;
    }
    case kAudioUnitSetPropertySelect: {
        if (!needs(5) || a[3] == 0) return kAudio_ParamError;
        UInt32 size = 0;
        Boolean writable = false;
        if (OSStatus result = GetPropertyInfo(static_cast<AudioUnitPropertyID>(a[0]),
                                              static_cast<AudioUnitScope>(a[1]),
                                              static_cast<AudioUnitElement>(a[2]), size, writable))
            return result;
        if (!writable) return kAudioUnitErr_PropertyNotWritable;
        return SetProperty(static_cast<AudioUnitPropertyID>(a[0]),
                           static_cast<AudioUnitScope>(a[1]), static_cast<AudioUnitElement>(a[2]),
                           reinterpret_cast<const void*>(a[3]), static_cast<UInt32>(a[4]));
    }
    case kAudioUnitGetParameterSelect: {
        if (!needs(4) || a[3] == 0) return kAudio_ParamError;
        Float32 value = 0.0f;
        const OSStatus result =
            GetParameter(static_cast<AudioUnitParameterID>(a[0]), static_cast<AudioUnitScope>(a[1]),
                         static_cast<AudioUnitElement>(a[2]), value);
        if (result == noErr) *reinterpret_cast<Float32*>(a[3]) = value;
        return result;
    }
    case kAudioUnitSetParameterSelect:
        if (!needs(5)) return kAudio_ParamError;
        return SetParameter(static_cast<AudioUnitParameterID>(a[0]),
                            static_cast<AudioUnitScope>(a[1]), static_cast<AudioUnitElement>(a[2]),
                            floatFromArgument(a[3]), static_cast<UInt32>(a[4]));
    default:
        return kAudio_ParamError;
    }
}

AUEffectBase::AUEffectBase(ComponentInstance instance, bool processesInPlace)
    : AUBase(instance, 1, 1), inPlace(processesInPlace) {}

OSStatus AUEffectBase::Initialize() {
    const AudioStreamBasicDescription& in = Input(0)->GetStreamFormat();
    const AudioStreamBasicDescription& out = Output(0)->GetStreamFormat();
    if (in.mSampleRate != out.mSampleRate) return kAudioUnitErr_FormatNotSupported;
    const AUChannelInfo* infos = nullptr;
    const UInt32 count = SupportedNumChannels(&infos);
    if (count == 0 || infos == nullptr)
        return in.mChannelsPerFrame == out.mChannelsPerFrame ? noErr
                                                             : kAudioUnitErr_FormatNotSupported;
    for (UInt32 i = 0; i < count; ++i)
        if (static_cast<UInt32>(infos[i].inChannels) == in.mChannelsPerFrame &&
            static_cast<UInt32>(infos[i].outChannels) == out.mChannelsPerFrame)
            return noErr;
    return kAudioUnitErr_FormatNotSupported;
}

OSStatus AUEffectBase::GetPropertyInfo(AudioUnitPropertyID id, AudioUnitScope scope,
                                       AudioUnitElement element, UInt32& outSize,
                                       Boolean& outWritable) {
    if (id != kAudioUnitProperty_BypassEffect)
        return AUBase::GetPropertyInfo(id, scope, element, outSize, outWritable);
    if (scope != kAudioUnitScope_Global) return kAudioUnitErr_InvalidScope;
    outSize = sizeof(UInt32);
    outWritable = true;
    return noErr;
}

OSStatus AUEffectBase::GetProperty(AudioUnitPropertyID id, AudioUnitScope scope,
                                   AudioUnitElement element, void* outData) {
    if (id != kAudioUnitProperty_BypassEffect)
        return AUBase::GetProperty(id, scope, element, outData);
    if (scope != kAudioUnitScope_Global) return kAudioUnitErr_InvalidScope;
    writeValue(outData, static_cast<UInt32>(IsBypassed() ? 1 : 0));
    return noErr;
}

OSStatus AUEffectBase::SetProperty(AudioUnitPropertyID id, AudioUnitScope scope,
                                   AudioUnitElement element, const void* data, UInt32 size) {
    if (id != kAudioUnitProperty_BypassEffect)
        return AUBase::SetProperty(id, scope, element, data, size);
    if (scope != kAudioUnitScope_Global) return kAudioUnitErr_InvalidScope;
    if (data == nullptr || size != sizeof(UInt32)) return kAudio_ParamError;
    bypassed.store(readValue<UInt32>(data) != 0, std::memory_order_relaxed);
    return noErr;
}

OSStatus AUEffectBase::ProcessBufferLists(UInt32&, const AudioBufferList& inBuffer,
                                          AudioBufferList& outBuffer, UInt32 frames) {
    copyInputToOutput(inBuffer, outBuffer, frames);
    return noErr;
}

OSStatus AUEffectBase::Render(UInt32* ioActionFlags, const AudioBufferList* in,
                              AudioBufferList* out, UInt32 frames) {
    if (!IsInitialized()) return kAudioUnitErr_Uninitialized;
    if (in == nullptr || out == nullptr) return kAudio_ParamError;
    if (frames > GetMaxFramesPerSlice()) return kAudioUnitErr_TooManyFramesToProcess;
    // One buffer per channel of each side's format, each long enough.
    if (in->mNumberBuffers != Input(0)->GetStreamFormat().mChannelsPerFrame ||
        out->mNumberBuffers != Output(0)->GetStreamFormat().mChannelsPerFrame)
        return kAudio_ParamError;
    const UInt32 bytes = frames * static_cast<UInt32>(sizeof(Float32));
    for (const AudioBufferList* list : {in, static_cast<const AudioBufferList*>(out)})
        for (UInt32 i = 0; i < list->mNumberBuffers; ++i)
            if (bufferAt(*list, i).mData == nullptr || bufferAt(*list, i).mDataByteSize < bytes)
                return kAudio_ParamError;
    if (frames == 0) return noErr;
    UInt32 flags = ioActionFlags != nullptr ? *ioActionFlags : 0;
    OSStatus result = noErr;
    if (IsBypassed())
        copyInputToOutput(*in, *out, frames);
    else
        result = ProcessBufferLists(flags, *in, *out, frames);
    if (ioActionFlags != nullptr) *ioActionFlags = flags;
    return result;
}

OSStatus AUEffectBase::DispatchSelector(const ComponentParameters& params) {
    if (params.what != kAudioUnitProcessSelect) return AUBase::DispatchSelector(params);
    if (params.count < 4) return kAudio_ParamError;
    return Render(reinterpret_cast<UInt32*>(params.args[0]),
                  reinterpret_cast<const AudioBufferList*>(params.args[1]),
                  reinterpret_cast<AudioBufferList*>(params.args[2]),
                  static_cast<UInt32>(params.args[3]));
}

OSStatus AUMIDIBase::HandleMidiEvent(UInt8, UInt8, UInt8, UInt8, UInt32) {
    return noErr;
}

OSStatus AUMIDIBase::MIDIEvent(UInt32 status, UInt32 data1, UInt32 data2,
                               UInt32 offsetSampleFrame) {
    if (status < 0x80 || status > 0xFF || data1 > 0x7F || data2 > 0x7F) return kAudio_ParamError;
    return HandleMidiEvent(static_cast<UInt8>(status & 0xF0), static_cast<UInt8>(status & 0x0F),
                           static_cast<UInt8>(data1), static_cast<UInt8>(data2), offsetSampleFrame);
}

OSStatus AUMIDIEffectBase::DispatchSelector(const ComponentParameters& params) {
    if (params.what != kMusicDeviceMIDIEventSelect) return AUEffectBase::DispatchSelector(params);
    if (params.count < 4) return kAudio_ParamError;
    return MIDIEvent(static_cast<UInt32>(params.args[0]), static_cast<UInt32>(params.args[1]),
                     static_cast<UInt32>(params.args[2]), static_cast<UInt32>(params.args[3]));
}
