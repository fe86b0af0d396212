// AEffGUIEditor: the base of an editor built with this toolkit. It attaches
// itself to its effect, hands the window rectangle to the host, runs the
// frame on idle, and forwards the controls' edit gestures to the effect.
//
// The knob mode is one setting for the whole process, shared by every editor.
#pragma once

#include "vst/aeffeditor.h"

class AudioEffect;
class CFrame;

enum {
    kCircularMode = 0,
    kLinearMode = 2,
};

class AEffGUIEditor : public AEffEditor {
public:
    // Attaches the editor to `effect` (which then owns it); null allowed.
    explicit AEffGUIEditor(AudioEffect* effect);
    // Deletes a frame that a derived editor left open.
    ~AEffGUIEditor() override;

    // Hands out `rect`, the window's size; false only when `rect` is null.
    bool getRect(ERect** rect) override;
    // Remembers the parent window and answers true; a derived editor builds its frame.
    bool open(void* ptr) override;
    // Forgets the parent window; a derived editor deletes its frame first.
    void close() override;
    // Lets the frame read its events and redraw.
    void idle() override;
    bool setKnobMode(VstInt32 value) override;

    // Called by the effect on every parameter change; nothing here.
    virtual void setParameter(VstInt32 /*index*/, float /*value*/) {}

    CFrame* getFrame() const { return frame; }

    // Runs idle() and then the effect's idle request to the host (for long modal work).
    virtual void doIdleStuff();
#ifdef TARVEX_RTAS
    // Hands a click at (x, y), window coordinates, to the frame's modal mouse
    // entry with the buttons held now; 1 when an open window took it, else 0.
    VstInt32 __mouseDeprecated(VstInt32 x, VstInt32 y) override;
    // The older generation's editor has no table entry for the knob mode.
    VstInt32 getKnobMode() const;
#else
    virtual VstInt32 getKnobMode() const;
#endif
    // Forward to the effect's beginEdit/endEdit; false without an extended effect.
    virtual bool beginEdit(VstInt32 index);
    virtual bool endEdit(VstInt32 index);

protected:
    CFrame* frame = nullptr;
    ERect rect{0, 0, 0, 0};
};
