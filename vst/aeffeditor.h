// AEffEditor: the base of the effect's editor window. It knows its effect and
// the host's parent window while open; every operation has a neutral default
// (no rectangle, no window, key not used) that a real editor overrides.
//
// Constructing an editor does not attach it to the effect: a derived editor
// calls the effect's setEditor(this), after which the effect owns it.
// Operations are declared in their fixed slot order.
#pragma once

#include "vst/aeffect.h"

class AudioEffect;

class AEffEditor {
public:
    explicit AEffEditor(AudioEffect* owner = nullptr) : effect(owner) {}
    virtual ~AEffEditor();

    virtual AudioEffect* getEffect() { return effect; }
    // The base has no rectangle: sets *rect to null (when rect is not null).
    virtual bool getRect(ERect** rect);
    // Remembers the parent window, yet answers that no window was opened.
    virtual bool open(void* ptr) {
        systemWindow = ptr;
        return false;
    }
    virtual void close() { systemWindow = nullptr; }
    virtual bool isOpen() { return systemWindow != nullptr; }
    // The parent window the editor is open in (or was last given).
    void* getSystemWindow() const { return systemWindow; }
    virtual void idle() {}

    virtual void __drawDeprecated(ERect* /*rect*/) {}
    virtual VstInt32 __mouseDeprecated(VstInt32 /*x*/, VstInt32 /*y*/) { return 0; }
    virtual VstInt32 __keyDeprecated(VstInt32 /*value*/) { return 0; }
    virtual void __topDeprecated() {}
    virtual void __sleepDeprecated() {}

    virtual bool onKeyDown(VstKeyCode& /*keyCode*/) { return false; }
    virtual bool onKeyUp(VstKeyCode& /*keyCode*/) { return false; }
    virtual bool onWheel(float /*distance*/) { return false; }
    virtual bool setKnobMode(VstInt32 /*val*/) { return false; }

protected:
    AudioEffect* effect;
    void* systemWindow = nullptr;
};
