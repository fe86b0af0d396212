#include "platform/au/audio_toolbox.h"

#include <algorithm>
#include <atomic>
#include <deque>
#include <mutex>
#include <utility>
#include <vector>

struct ComponentInstanceRecord {
    ComponentEntryProc entry = nullptr;
    AudioComponentDescription description{};
    std::atomic<void*> storage{nullptr};
};

namespace {

// Instance records are kept for the life of the process: a closed unit's
// handle then answers an error instead of pointing at freed memory.
std::mutex instancesMutex;
std::deque<ComponentInstanceRecord> instances;

std::mutex listenersMutex;
std::vector<std::pair<AUEventListenerProc, void*>> listeners;

template <class... Args> OSStatus call(AudioUnit unit, ComponentSelector selector, Args... args) {
    if (unit == nullptr) return kAudio_ParamError;
    void* storage = unit->storage.load(std::memory_order_acquire);
    if (storage == nullptr) return kAudio_ParamError;
    ComponentParameters params{selector, sizeof...(Args), {std::uintptr_t(args)...}};
    return unit->entry(&params, storage);
}

template <class T> std::uintptr_t word(T* pointer) {
    return reinterpret_cast<std::uintptr_t>(pointer);
}

void notify(const AudioUnitEvent& event, AudioUnitParameterValue value) {
    std::vector<std::pair<AUEventListenerProc, void*>> current;
    {
        const std::lock_guard lock(listenersMutex);
        current = listeners;
    }
    for (auto [proc, refCon] : current)
        proc(refCon, &event, value);
}

} // namespace

extern "C" {

OSStatus AudioComponentInstanceNew(ComponentEntryProc entry, const AudioComponentDescription* desc,
                                   AudioUnit* outUnit) {
    if (entry == nullptr || desc == nullptr || outUnit == nullptr) return kAudio_ParamError;
    *outUnit = nullptr;
    ComponentInstanceRecord* record;
    {
        const std::lock_guard lock(instancesMutex);
        record = &instances.emplace_back();
    }
    record->entry = entry;
    record->description = *desc;
    ComponentParameters params{kComponentOpenSelect, 1, {word(record)}};
    const OSStatus result = entry(&params, nullptr);
    if (result != noErr) {
        record->storage.store(nullptr, std::memory_order_release);
        return result;
    }
    if (record->storage.load(std::memory_order_acquire) == nullptr) return kAudio_ParamError;
    *outUnit = record;
    return noErr;
}

OSStatus AudioComponentInstanceDispose(AudioUnit unit) {
    if (unit == nullptr) return kAudio_ParamError;
    void* storage = unit->storage.exchange(nullptr, std::memory_order_acq_rel);
    if (storage == nullptr) return kAudio_ParamError;
    ComponentParameters params{kComponentCloseSelect, 1, {word(unit)}};
    return unit->entry(&params, storage);
}

void SetComponentInstanceStorage(ComponentInstance instance, void* storage) {
    if (instance != nullptr) instance->storage.store(storage, std::memory_order_release);
}

OSStatus GetComponentInfo(ComponentInstance instance, AudioComponentDescription* outDesc) {
    if (instance == nullptr || outDesc == nullptr) return kAudio_ParamError;
    *outDesc = instance->description;
    return noErr;
}

OSStatus GetComponentVersion(ComponentInstance instance) {
    return call(instance, kComponentVersionSelect);
}

OSStatus AudioUnitInitialize(AudioUnit unit) {
    return call(unit, kAudioUnitInitializeSelect);
}

OSStatus AudioUnitUninitialize(AudioUnit unit) {
    return call(unit, kAudioUnitUninitializeSelect);
}

OSStatus AudioUnitReset(AudioUnit unit, AudioUnitScope scope, AudioUnitElement element) {
    return call(unit, kAudioUnitResetSelect, scope, element);
}

OSStatus AudioUnitGetPropertyInfo(AudioUnit unit, AudioUnitPropertyID id, AudioUnitScope scope,
                                  AudioUnitElement element, UInt32* outSize, Boolean* outWritable) {
    return call(unit, kAudioUnitGetPropertyInfoSelect, id, scope, element, word(outSize),
                word(outWritable));
}

OSStatus AudioUnitGetProperty(AudioUnit unit, AudioUnitPropertyID id, AudioUnitScope scope,
                              AudioUnitElement element, void* outData, UInt32* ioSize) {
    return call(unit, kAudioUnitGetPropertySelect, id, scope, element, word(outData), word(ioSize));
}

OSStatus AudioUnitSetProperty(AudioUnit unit, AudioUnitPropertyID id, AudioUnitScope scope,
                              AudioUnitElement element, const void* data, UInt32 size) {
    return call(unit, kAudioUnitSetPropertySelect, id, scope, element, word(data), size);
}

OSStatus AudioUnitGetParameter(AudioUnit unit, AudioUnitParameterID id, AudioUnitScope scope,
                               AudioUnitElement element, AudioUnitParameterValue* outValue) {
    return call(unit, kAudioUnitGetParameterSelect, id, scope, element, word(outValue));
}

OSStatus AudioUnitSetParameter(AudioUnit unit, AudioUnitParameterID id, AudioUnitScope scope,
                               AudioUnitElement element, AudioUnitParameterValue value,
                               UInt32 bufferOffset) {
    return call(unit, kAudioUnitSetParameterSelect, id, scope, element, floatArgument(value),
                bufferOffset);
}

OSStatus AudioUnitProcessBufferLists(AudioUnit unit, UInt32* ioActionFlags,
                                     const AudioBufferList* input, AudioBufferList* output,
                                     UInt32 frames) {
    return call(unit, kAudioUnitProcessSelect, word(ioActionFlags), word(input), word(output),
                frames);
}

OSStatus MusicDeviceMIDIEvent(AudioUnit unit, UInt32 status, UInt32 data1, UInt32 data2,
                              UInt32 offsetSampleFrame) {
    return call(unit, kMusicDeviceMIDIEventSelect, status, data1, data2, offsetSampleFrame);
}

OSStatus AUParameterSet(void*, void*, const AudioUnitParameter* parameter,
                        AudioUnitParameterValue value, UInt32 bufferOffset) {
    if (parameter == nullptr) return kAudio_ParamError;
    const OSStatus result =
        AudioUnitSetParameter(parameter->mAudioUnit, parameter->mParameterID, parameter->mScope,
                              parameter->mElement, value, bufferOffset);
    if (result != noErr) return result;
    notify({kAudioUnitEvent_ParameterValueChange, *parameter}, value);
    return noErr;
}

OSStatus AUEventListenerNotify(void*, void*, const AudioUnitEvent* event) {
    if (event == nullptr) return kAudio_ParamError;
    notify(*event, 0.0f);
    return noErr;
}

void AUEventListenerAdd(AUEventListenerProc proc, void* refCon) {
    if (proc == nullptr) return;
    const std::lock_guard lock(listenersMutex);
    listeners.emplace_back(proc, refCon);
}

void AUEventListenerRemove(AUEventListenerProc proc, void* refCon) {
    const std::lock_guard lock(listenersMutex);
    std::erase(listeners, std::pair{proc, refCon});
}

} // extern "C"
