// The component call: how the host's unit functions reach a unit's entry
// point. Each call is one selector and its arguments as pointer-sized words
// in call order; the component's dispatcher unpacks them. A unit built on the
// base classes never reads this record itself.
#pragma once

#include "platform/au/audio_unit_types.h"

#include <bit>
#include <cstdint>

enum ComponentSelector : std::int16_t {
    kComponentOpenSelect = -1,  // args: instance
    kComponentCloseSelect = -2, // args: instance
    kComponentVersionSelect = -4,
    kAudioUnitInitializeSelect = 1,
    kAudioUnitUninitializeSelect = 2,
    kAudioUnitGetPropertyInfoSelect = 3, // id, scope, element, UInt32* size, Boolean* writable
    kAudioUnitGetPropertySelect = 4,     // id, scope, element, void* data, UInt32* size
    kAudioUnitSetPropertySelect = 5,     // id, scope, element, const void* data, size
    kAudioUnitGetParameterSelect = 6,    // id, scope, element, Float32* value
    kAudioUnitSetParameterSelect = 7,    // id, scope, element, value bits, buffer offset
    kAudioUnitResetSelect = 9,           // scope, element
    kAudioUnitProcessSelect = 16,        // UInt32* flags, const list* in, list* out, frames
    kMusicDeviceMIDIEventSelect = 0x101, // status, data1, data2, offset frames
};

struct ComponentParameters {
    std::int16_t what;
    std::uint16_t count;
    std::uintptr_t args[6];
};

using ComponentEntryProc = OSStatus (*)(ComponentParameters* params, void* storage);

inline std::uintptr_t floatArgument(Float32 value) {
    return std::bit_cast<std::uint32_t>(value);
}
inline Float32 floatFromArgument(std::uintptr_t word) {
    return std::bit_cast<Float32>(static_cast<std::uint32_t>(word));
}
