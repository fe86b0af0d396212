// Host-side Audio Unit services: opening a unit through its component entry
// point and calling it (AudioToolbox on the real platform), and the
// parameter-event notifications through which a unit tells the host's
// listeners about values and edit gestures.
#pragma once

#include "platform/au/component.h"
#include "platform/au/services_api.h"

extern "C" {

// Opens a unit: a new instance whose storage the entry point sets on open.
// The handle stays valid (and answers kAudio_ParamError) after the unit is
// closed, so a late caller such as a view's timer does not touch freed memory.
TARVEX_AU_SERVICES_API OSStatus AudioComponentInstanceNew(ComponentEntryProc entry,
                                                          const AudioComponentDescription* desc,
                                                          AudioUnit* outUnit);
TARVEX_AU_SERVICES_API OSStatus AudioComponentInstanceDispose(AudioUnit unit);
// Called by the unit's dispatcher while it opens and closes.
TARVEX_AU_SERVICES_API void SetComponentInstanceStorage(ComponentInstance instance, void* storage);
TARVEX_AU_SERVICES_API OSStatus GetComponentInfo(ComponentInstance instance,
                                                 AudioComponentDescription* outDesc);
TARVEX_AU_SERVICES_API OSStatus GetComponentVersion(ComponentInstance instance);

TARVEX_AU_SERVICES_API OSStatus AudioUnitInitialize(AudioUnit unit);
TARVEX_AU_SERVICES_API OSStatus AudioUnitUninitialize(AudioUnit unit);
TARVEX_AU_SERVICES_API OSStatus AudioUnitReset(AudioUnit unit, AudioUnitScope scope,
                                               AudioUnitElement element);
TARVEX_AU_SERVICES_API OSStatus AudioUnitGetPropertyInfo(AudioUnit unit, AudioUnitPropertyID id,
                                                         AudioUnitScope scope,
                                                         AudioUnitElement element, UInt32* outSize,
                                                         Boolean* outWritable);
// outData null asks only for the size; *ioSize must hold at least the size.
TARVEX_AU_SERVICES_API OSStatus AudioUnitGetProperty(AudioUnit unit, AudioUnitPropertyID id,
                                                     AudioUnitScope scope, AudioUnitElement element,
                                                     void* outData, UInt32* ioSize);
TARVEX_AU_SERVICES_API OSStatus AudioUnitSetProperty(AudioUnit unit, AudioUnitPropertyID id,
                                                     AudioUnitScope scope, AudioUnitElement element,
                                                     const void* data, UInt32 size);
TARVEX_AU_SERVICES_API OSStatus AudioUnitGetParameter(AudioUnit unit, AudioUnitParameterID id,
                                                      AudioUnitScope scope,
                                                      AudioUnitElement element,
                                                      AudioUnitParameterValue* outValue);
TARVEX_AU_SERVICES_API OSStatus AudioUnitSetParameter(AudioUnit unit, AudioUnitParameterID id,
                                                      AudioUnitScope scope,
                                                      AudioUnitElement element,
                                                      AudioUnitParameterValue value,
                                                      UInt32 bufferOffset);
// Renders `frames` frames from the input buffers into the output buffers
// (one buffer per channel of each side's stream format).
TARVEX_AU_SERVICES_API OSStatus AudioUnitProcessBufferLists(AudioUnit unit, UInt32* ioActionFlags,
                                                            const AudioBufferList* input,
                                                            AudioBufferList* output, UInt32 frames);
TARVEX_AU_SERVICES_API OSStatus MusicDeviceMIDIEvent(AudioUnit unit, UInt32 status, UInt32 data1,
                                                     UInt32 data2, UInt32 offsetSampleFrame);

// Sets the value on the unit (through its parameter call), then tells every
// listener of the change.
TARVEX_AU_SERVICES_API OSStatus AUParameterSet(void* sendingListener, void* sendingObject,
                                               const AudioUnitParameter* parameter,
                                               AudioUnitParameterValue value, UInt32 bufferOffset);
// Tells every listener of the event (gesture begin and end).
TARVEX_AU_SERVICES_API OSStatus AUEventListenerNotify(void* sendingListener, void* sendingObject,
                                                      const AudioUnitEvent* event);

// A host's listener: receives every event with the value (for value
// changes). Listeners are called on the thread that sent the event.
using AUEventListenerProc = void (*)(void* refCon, const AudioUnitEvent* event,
                                     AudioUnitParameterValue value);
TARVEX_AU_SERVICES_API void AUEventListenerAdd(AUEventListenerProc proc, void* refCon);
TARVEX_AU_SERVICES_API void AUEventListenerRemove(AUEventListenerProc proc, void* refCon);
}
