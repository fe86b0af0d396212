// CControl: a view with a value in 0..1 that tells its listener when the
// user changes it, and CControlListener, the receiver of those changes.
//
// The control remembers the value it last drew: it is dirty while its value
// differs from that one, and the frame redraws it at its next pass. A press
// on a control is framed by beginEdit and endEdit, which reach the listener
// and, through the frame, the editor (and so the host's edit gesture).
#pragma once

#include "gui/view.h"

class CControl;

class CControlListener {
public:
    virtual ~CControlListener() = default;
#ifdef TARVEX_RTAS
    // The older generation hands over the drawing context of the press as well.
    virtual void valueChanged(CDrawContext* context, CControl* control) = 0;
    // Asked before a press with a modifier key held; a non-zero answer
    // refuses the press. Answers 0.
    virtual long controlModifierClicked(CDrawContext* context, CControl* control, long button);
#else
    virtual void valueChanged(CControl* control) = 0;
    // Asked before a press with a modifier key held; a non-zero answer
    // refuses the press. Answers 0.
    virtual long controlModifierClicked(CControl* control, long button);
#endif
    // A press begins and ends; nothing by default.
    virtual void controlBeginEdit(CControl* control);
    virtual void controlEndEdit(CControl* control);
};

class CControl : public CView {
public:
    CControl(const CRect& size, CControlListener* listener = nullptr, long tag = 0,
             CBitmap* background = nullptr);
    ~CControl() override;

    // Keeps the value within min..max (a value that is not a number becomes min).
    virtual void setValue(float newValue);
    float getValue() const { return value; }
    virtual void setDefaultValue(float newValue) { defaultValue = newValue; }
    float getDefaultValue() const { return defaultValue; }
    void setMin(float newMin) { vmin = newMin; }
    void setMax(float newMax) { vmax = newMax; }
    float getMin() const { return vmin; }
    float getMax() const { return vmax; }
    // Pulls the value back into min..max.
    void bounceValue();

    // The share of the range that one notch of the wheel moves a control that
    // answers the wheel (a tenth of it with the shift key held).
    void setWheelInc(float increment) { wheelInc = increment; }

    void setTag(long newTag) { tag = newTag; }
    long getTag() const { return tag; }
    void setListener(CControlListener* newListener) { listener = newListener; }
    CControlListener* getListener() const { return listener; }

    // Dirty while the value differs from the one last drawn; setDirty(false)
    // records the value as drawn, setDirty(true) forces a redraw.
    bool isDirty() const override;
    void setDirty(bool state = true) override;

    // Tell the listener and the frame's editor that an edit begins or ends.
    virtual void beginEdit();
    virtual void endEdit();

    // The reset gesture: a press whose button word is exactly the left button
    // with the control key sets the default value and tells the listener when
    // that changed the value. True when the gesture was made.
    bool checkDefaultValue(long buttons);

#ifdef TARVEX_RTAS
    // The modal press: the control's own handlers run under it, with the
    // listener told through `context`.
    void mouse(CDrawContext* context, CPoint& where, long buttons = -1) override;
#endif

protected:
    // Tells the listener, if any, that the value changed.
    void notifyValueChanged();
    // Sets the value (kept in range); when that changed it, tells the
    // listener and asks for a redraw. A change is judged against the value
    // before, not the one last drawn: a control moved by the host and not yet
    // redrawn must still report the user's move back to where it was drawn.
    void changeValue(float newValue);

    // Moves the value by `distance` notches of the wheel as one edit (begin,
    // value, end), told to the listener and the editor like a drag; a turn
    // that leaves the value where it is tells nothing.
    void turnByWheel(float distance, long buttons);

    // The sub-image of a strip of `count` images that shows the current value:
    // (count - 1) x value + 0.5, truncated, kept within 0..count - 1.
    long frameForValue(long count) const;

    CControlListener* listener;
    long tag;
    float value = 0.f;
    float oldValue = 1.f; // the value last drawn; differs at first so a new control draws
    float defaultValue = 0.5f;
    float vmin = 0.f;
    float vmax = 1.f;
    float wheelInc = 0.1f;
#ifdef TARVEX_RTAS
    CDrawContext* mouseContext = nullptr; // the context of the press being handled
#endif
};
