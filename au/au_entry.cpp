// The unit's entry point and the host callback it serves to the effect.
#include "au/au_plug.h"
#include "au/cocoa_ui.h"

namespace {

void sendGesture(UInt32 type, const AudioUnitParameter& parameter) {
    const AudioUnitEvent event{type, parameter};
    AUEventListenerNotify(nullptr, nullptr, &event);
}

} // namespace

VstIntPtr VST_Callback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr, void*,
                       float opt) {
    if (effect == nullptr) return 0;
    if (opcode == audioMasterVersion) return 2;
    // The unit sets itself as the record's user once the effect is built;
    // requests made while it is being built have no unit to go to.
    auto* unit = static_cast<AUPlug*>(effect->user);
    if (unit == nullptr) return 0;
    if (opcode != audioMasterAutomate && opcode != audioMasterBeginEdit &&
        opcode != audioMasterEndEdit)
        return 0;
    if (index < 0 || index >= effect->numParams) return 0;

    const AudioUnitParameter parameter{unit->GetComponentInstance(),
                                       static_cast<AudioUnitParameterID>(index),
                                       kAudioUnitScope_Global, 0};
    bool& gesture = unit->gestureActive(index);
    switch (opcode) {
    case audioMasterAutomate:
        // A change outside an edit gesture is wrapped in its own.
        if (!gesture) sendGesture(kAudioUnitEvent_BeginParameterChangeGesture, parameter);
        AUParameterSet(nullptr, nullptr, &parameter, opt, 0);
        if (!gesture) sendGesture(kAudioUnitEvent_EndParameterChangeGesture, parameter);
        return 0;
    case audioMasterBeginEdit:
        gesture = true;
        sendGesture(kAudioUnitEvent_BeginParameterChangeGesture, parameter);
        return 1;
    default:
        gesture = false;
        sendGesture(kAudioUnitEvent_EndParameterChangeGesture, parameter);
        return 1;
    }
}

CFStringRef GetAUCocoaUIViewClassName() {
    return CFSTR(kCocoaViewClassName);
}

extern "C" __attribute__((visibility("default"))) OSStatus AUPlugEntry(ComponentParameters* params,
                                                                       void* storage) {
    return ComponentEntryPoint<AUPlug>::Dispatch(params, storage);
}
