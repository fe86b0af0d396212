// A host of the Audio Unit module for the tests: it loads tarvex-au.so with
// dlopen and drives units only through the module's entry point and the
// host-process services, as an Audio Unit validator does.
#pragma once

#include "platform/au/audio_toolbox.h"
#include "platform/au/cocoa.h"

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

class AudioEffect;

namespace au_host {

inline constexpr UInt32 kParameters = 53;
inline constexpr int kPresets = 20;

// One open unit; closed when the object goes.
class Unit {
public:
    Unit();
    ~Unit();
    Unit(const Unit&) = delete;
    Unit& operator=(const Unit&) = delete;

    AudioUnit unit = nullptr;

    // Sample rate and channel count of both sides, then initialise.
    OSStatus start(double sampleRate, UInt32 channels);
    OSStatus setFormat(double sampleRate, UInt32 channels);

    template <class T>
    OSStatus get(AudioUnitPropertyID id, T& out, AudioUnitScope scope = kAudioUnitScope_Global,
                 AudioUnitElement element = 0) {
        UInt32 size = sizeof out;
        return AudioUnitGetProperty(unit, id, scope, element, &out, &size);
    }
    template <class T>
    OSStatus set(AudioUnitPropertyID id, const T& value,
                 AudioUnitScope scope = kAudioUnitScope_Global, AudioUnitElement element = 0) {
        return AudioUnitSetProperty(unit, id, scope, element, &value, sizeof value);
    }

    float parameter(AudioUnitParameterID id);
    OSStatus setParameter(AudioUnitParameterID id, float value);
    std::vector<float> parameters();
    OSStatus selectPreset(SInt32 number);
    // The hosted effect, through the unit's effect property.
    AudioEffect* effect();
};

// A buffer list over the given channel buffers (any count, 0 included).
class BufferList {
public:
    BufferList(const std::vector<float*>& channels, UInt32 frames);
    AudioBufferList* get() { return reinterpret_cast<AudioBufferList*>(storage.get()); }

private:
    std::unique_ptr<std::max_align_t[]> storage;
};

// Renders one block: planar channels in, planar channels out.
OSStatus render(Unit& unit, std::vector<std::vector<float>>& in,
                std::vector<std::vector<float>>& out, UInt32 frames);

// Events that listeners received, in order.
struct Event {
    UInt32 type;
    AudioUnitParameterID id;
    float value;
};
class EventRecorder {
public:
    EventRecorder();
    ~EventRecorder();
    EventRecorder(const EventRecorder&) = delete;
    EventRecorder& operator=(const EventRecorder&) = delete;
    std::vector<Event> events;

private:
    static void receive(void* refCon, const AudioUnitEvent* event, AudioUnitParameterValue value);
};

std::string text(CFStringRef string);
// The module file's path as the loader resolved it.
std::string modulePath();

} // namespace au_host
