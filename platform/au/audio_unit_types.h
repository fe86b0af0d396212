// Audio Unit records, status codes and property numbers shared by units and
// hosts. On the real platform these come with the Audio Unit and AudioToolbox
// frameworks; here they are the few that the Tarvex unit and its tests use.
#pragma once

#include "platform/au/core_foundation.h"

#include "platform/four_char_code.h"

#include <cstdint>

using OSStatus = std::int32_t;
using OSType = std::uint32_t;
using UInt8 = std::uint8_t;
using SInt16 = std::int16_t;
using UInt32 = std::uint32_t;
using SInt32 = std::int32_t;
using Float32 = float;
using Float64 = double;

using AudioUnitPropertyID = UInt32;
using AudioUnitScope = UInt32;
using AudioUnitElement = UInt32;
using AudioUnitParameterID = UInt32;
using AudioUnitParameterValue = Float32;

// An open unit: the host's handle of one component instance.
struct ComponentInstanceRecord;
using ComponentInstance = ComponentInstanceRecord*;
using AudioUnit = ComponentInstance;

enum : AudioUnitScope {
    kAudioUnitScope_Global = 0,
    kAudioUnitScope_Input = 1,
    kAudioUnitScope_Output = 2,
};

enum : OSStatus {
    noErr = 0,
    kAudio_ParamError = -50,
    kAudio_MemFullError = -108,
    kAudioUnitErr_InvalidProperty = -10879,
    kAudioUnitErr_InvalidParameter = -10878,
    kAudioUnitErr_InvalidElement = -10877,
    kAudioUnitErr_TooManyFramesToProcess = -10874,
    kAudioUnitErr_FormatNotSupported = -10868,
    kAudioUnitErr_Uninitialized = -10867,
    kAudioUnitErr_InvalidScope = -10866,
    kAudioUnitErr_PropertyNotWritable = -10865,
    kAudioUnitErr_CannotDoInCurrentContext = -10863,
    kAudioUnitErr_InvalidPropertyValue = -10851,
};

enum : AudioUnitPropertyID {
    kAudioUnitProperty_ClassInfo = 0,
    kAudioUnitProperty_SampleRate = 2,
    kAudioUnitProperty_ParameterList = 3,
    kAudioUnitProperty_ParameterInfo = 4,
    kAudioUnitProperty_StreamFormat = 8,
    kAudioUnitProperty_SupportedNumChannels = 13,
    kAudioUnitProperty_MaximumFramesPerSlice = 14,
    kAudioUnitProperty_BypassEffect = 21,
    kAudioUnitProperty_FactoryPresets = 24,
    kAudioUnitProperty_CocoaUI = 31,
    kAudioUnitProperty_PresentPreset = 36,
};

// What a host looks a unit up by.
struct AudioComponentDescription {
    OSType componentType;
    OSType componentSubType;
    OSType componentManufacturer;
    UInt32 componentFlags;
    UInt32 componentFlagsMask;
};

// Linear PCM, 32-bit float, one buffer per channel: the only stream format
// that units of this stand-in accept.
struct AudioStreamBasicDescription {
    Float64 mSampleRate;
    OSType mFormatID;
    UInt32 mFormatFlags;
    UInt32 mBytesPerPacket;
    UInt32 mFramesPerPacket;
    UInt32 mBytesPerFrame;
    UInt32 mChannelsPerFrame;
    UInt32 mBitsPerChannel;
    UInt32 mReserved;
};
inline constexpr OSType kAudioFormatLinearPCM = fourCharCode("lpcm");
enum : UInt32 {
    kAudioFormatFlagIsFloat = 1u << 0,
    kAudioFormatFlagIsPacked = 1u << 3,
    kAudioFormatFlagIsNonInterleaved = 1u << 5,
    kAudioFormatFlagsCanonical =
        kAudioFormatFlagIsFloat | kAudioFormatFlagIsPacked | kAudioFormatFlagIsNonInterleaved,
};
inline AudioStreamBasicDescription canonicalStreamFormat(Float64 sampleRate, UInt32 channels) {
    return {sampleRate, kAudioFormatLinearPCM, kAudioFormatFlagsCanonical, 4, 1, 4, channels, 32,
            0};
}

struct AudioBuffer {
    UInt32 mNumberChannels;
    UInt32 mDataByteSize;
    void* mData;
};

// A buffer list: the count, then that many buffers (the record declares one;
// lists are allocated as long as their count says).
struct AudioBufferList {
    UInt32 mNumberBuffers;
    AudioBuffer mBuffers[1];
};
inline AudioBuffer& bufferAt(AudioBufferList& list, UInt32 i) {
    return (&list.mBuffers[0])[i];
}
inline const AudioBuffer& bufferAt(const AudioBufferList& list, UInt32 i) {
    return (&list.mBuffers[0])[i];
}

// A supported pair of input and output channel counts.
struct AUChannelInfo {
    SInt16 inChannels;
    SInt16 outChannels;
};

struct AUPreset {
    SInt32 presetNumber;
    CFStringRef presetName;
};

enum : UInt32 {
    kAudioUnitParameterUnit_Generic = 0,
};
enum : UInt32 {
    kAudioUnitParameterFlag_Global = 1u << 0,
    kAudioUnitParameterFlag_CFNameRelease = 1u << 4,
    kAudioUnitParameterFlag_HasCFNameString = 1u << 27,
    kAudioUnitParameterFlag_IsElementMeta = 1u << 29,
    kAudioUnitParameterFlag_IsReadable = 1u << 30,
    kAudioUnitParameterFlag_IsWritable = 1u << 31,
};

struct AudioUnitParameterInfo {
    char name[52];
    CFStringRef unitName;
    UInt32 clumpID;
    CFStringRef cfNameString;
    UInt32 unit;
    Float32 minValue;
    Float32 maxValue;
    Float32 defaultValue;
    UInt32 flags;
};

// Where the host finds a unit's Cocoa view factory: the bundle to load and
// the class name (both new references the host releases).
struct AudioUnitCocoaViewInfo {
    CFURLRef mCocoaAUViewBundleLocation;
    CFStringRef mCocoaAUViewClass[1];
};
static_assert(sizeof(AudioUnitCocoaViewInfo) == 16);

struct AudioUnitParameter {
    AudioUnit mAudioUnit;
    AudioUnitParameterID mParameterID;
    AudioUnitScope mScope;
    AudioUnitElement mElement;
};

enum : UInt32 {
    kAudioUnitEvent_ParameterValueChange = 0,
    kAudioUnitEvent_BeginParameterChangeGesture = 1,
    kAudioUnitEvent_EndParameterChangeGesture = 2,
};

struct AudioUnitEvent {
    UInt32 mEventType;
    AudioUnitParameter mParameter;
};
