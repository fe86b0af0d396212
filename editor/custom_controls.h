// The editor's own variants of three toolkit controls. All three refuse a
// press that is not a left-button press on an enabled control (or that the
// listener refuses because of a modifier key) by swallowing it, so no view
// beneath sees it either.
//
// The RTAS plug-in's build (the toolkit's older generation) has one modal
// entry, mouse, in place of the press, move and release handlers: each
// control follows the pointer itself until the button is let go.
#pragma once

#include "gui/gui.h"

#ifndef TARVEX_RTAS
// True when the press must be refused: the control's mouse is disabled, the
// left button is not down, or a modifier key is held and the listener's
// controlModifierClicked answers non-zero.
bool shouldIgnoreMouseDown(CControl* control, CPoint& where, const long& buttons);
#endif

// A click area that sends exactly one valueChanged per accepted press, on
// release, wherever the pointer is released. The value is then 0; in the
// older generation it is what tracking left (the editor ignores it): the
// opposite of the value at the press while the pointer is over the button.
class CMyKickButton : public CKickButton {
public:
    using CKickButton::CKickButton;

#ifdef TARVEX_RTAS
    void mouse(CDrawContext* context, CPoint& where, long buttons = -1) override;
#else
    CMouseEventResult onMouseDown(CPoint& where, const long& buttons) override;
    CMouseEventResult onMouseUp(CPoint& where, const long& buttons) override;
#endif

private:
    // The frame's editor, or null while the button is not in a frame.
    AEffGUIEditor* frameEditor() const;
    // Ends the edit a press began, after the listener was told of it. The
    // listener may have taken the button's page out of the frame (the about
    // screen's buttons do), after which the button no longer reaches the
    // editor: the edit is then ended through `editor`, found before.
    void endEditAfterNotifying(AEffGUIEditor* editor);
};

// A switch whose value runs from 1.0 in the top band to 0.0 in the bottom
// band; a pointer dragged beyond the control stays on the end values.
class CMyVerticalSwitch : public CVerticalSwitch {
public:
    using CVerticalSwitch::CVerticalSwitch;

#ifdef TARVEX_RTAS
    void mouse(CDrawContext* context, CPoint& where, long buttons = -1) override;
#else
    CMouseEventResult onMouseDown(CPoint& where, const long& buttons) override;
    CMouseEventResult onMouseMoved(CPoint& where, const long& buttons) override;
#endif

private:
    // The value for a pointer at `where` (the control's container space).
    float valueAt(const CPoint& where) const;
};

// The toolkit's on/off button behind the editor's press filter.
class CMyOnOffButton : public COnOffButton {
public:
    using COnOffButton::COnOffButton;

#ifdef TARVEX_RTAS
    void mouse(CDrawContext* context, CPoint& where, long buttons = -1) override;
#else
    CMouseEventResult onMouseDown(CPoint& where, const long& buttons) override;
#endif
};
