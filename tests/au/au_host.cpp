#include "au/au_host.h"

#include "au/au_plug.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <climits>
#include <cstdlib>

namespace au_host {

namespace {

ComponentEntryProc entry() {
    // Loaded once and kept, as a host keeps its component modules.
    static void* const library = dlopen(TARVEX_AU_PATH, RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) return nullptr;
    return reinterpret_cast<ComponentEntryProc>(dlsym(library, "AUPlugEntry"));
}

} // namespace

Unit::Unit() {
    ComponentEntryProc proc = entry();
    if (proc == nullptr) {
        ADD_FAILURE() << "cannot load " << TARVEX_AU_PATH;
        return;
    }
    EXPECT_EQ(AudioComponentInstanceNew(proc, &kAUPlugDescription, &unit), noErr);
}

Unit::~Unit() {
    if (unit != nullptr) {
        EXPECT_EQ(AudioComponentInstanceDispose(unit), noErr);
    }
}

OSStatus Unit::setFormat(double sampleRate, UInt32 channels) {
    const AudioStreamBasicDescription format = canonicalStreamFormat(sampleRate, channels);
    if (OSStatus result = set(kAudioUnitProperty_StreamFormat, format, kAudioUnitScope_Input))
        return result;
    return set(kAudioUnitProperty_StreamFormat, format, kAudioUnitScope_Output);
}

OSStatus Unit::start(double sampleRate, UInt32 channels) {
    AudioUnitUninitialize(unit);
    if (OSStatus result = setFormat(sampleRate, channels)) return result;
    return AudioUnitInitialize(unit);
}

float Unit::parameter(AudioUnitParameterID id) {
    float value = -1.0f;
    EXPECT_EQ(AudioUnitGetParameter(unit, id, kAudioUnitScope_Global, 0, &value), noErr);
    return value;
}

OSStatus Unit::setParameter(AudioUnitParameterID id, float value) {
    return AudioUnitSetParameter(unit, id, kAudioUnitScope_Global, 0, value, 0);
}

std::vector<float> Unit::parameters() {
    std::vector<float> values;
    for (UInt32 id = 0; id < kParameters; ++id)
        values.push_back(parameter(id));
    return values;
}

OSStatus Unit::selectPreset(SInt32 number) {
    return set(kAudioUnitProperty_PresentPreset, AUPreset{number, nullptr});
}

AudioEffect* Unit::effect() {
    AudioEffect* effect = nullptr;
    EXPECT_EQ(get(kAUPlugProperty_Effect, effect), noErr);
    return effect;
}

BufferList::BufferList(const std::vector<float*>& channels, UInt32 frames) {
    const size_t bytes = sizeof(AudioBufferList) + channels.size() * sizeof(AudioBuffer);
    storage = std::make_unique<std::max_align_t[]>(bytes / sizeof(std::max_align_t) + 1);
    AudioBufferList* list = get();
    list->mNumberBuffers = static_cast<UInt32>(channels.size());
    for (UInt32 i = 0; i < list->mNumberBuffers; ++i)
        bufferAt(*list, i) = {1, frames * static_cast<UInt32>(sizeof(float)), channels[i]};
}

OSStatus render(Unit& unit, std::vector<std::vector<float>>& in,
                std::vector<std::vector<float>>& out, UInt32 frames) {
    std::vector<float*> inPointers, outPointers;
    for (auto& channel : in)
        inPointers.push_back(channel.data());
    for (auto& channel : out)
        outPointers.push_back(channel.data());
    BufferList inList(inPointers, frames), outList(outPointers, frames);
    UInt32 flags = 0;
    return AudioUnitProcessBufferLists(unit.unit, &flags, inList.get(), outList.get(), frames);
}

EventRecorder::EventRecorder() {
    AUEventListenerAdd(&receive, this);
}
EventRecorder::~EventRecorder() {
    AUEventListenerRemove(&receive, this);
}

void EventRecorder::receive(void* refCon, const AudioUnitEvent* event,
                            AudioUnitParameterValue value) {
    static_cast<EventRecorder*>(refCon)->events.push_back(
        {event->mEventType, event->mParameter.mParameterID, value});
}

std::string text(CFStringRef string) {
    char buffer[256] = {};
    if (!CFStringGetCString(string, buffer, sizeof buffer, kCFStringEncodingMacRoman)) return "?";
    return buffer;
}

std::string modulePath() {
    char resolved[PATH_MAX] = {};
    return realpath(TARVEX_AU_PATH, resolved) != nullptr ? resolved : TARVEX_AU_PATH;
}

} // namespace au_host
