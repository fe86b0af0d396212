// The editor's own variants of three toolkit controls. All three refuse a
// press that is not a left-button press on an enabled control (or that the
// listener refuses because of a modifier key) by swallowing it, so no view
// beneath sees it either.
#pragma once

#include "gui/gui.h"

// True when the press must be refused: the control's mouse is disabled, the
// left button is not down, or a modifier key is held and the listener's
// controlModifierClicked answers non-zero.
bool shouldIgnoreMouseDown(CControl* control, CPoint& where, const long& buttons);

// A click area that sends exactly one valueChanged per accepted press, with
// value 0, on release, wherever the pointer is released.
class CMyKickButton : public CKickButton {
public:
    using CKickButton::CKickButton;

    CMouseEventResult onMouseDown(CPoint& where, const long& buttons) override;
    CMouseEventResult onMouseUp(CPoint& where, const long& buttons) override;
};

// A switch whose value runs from 1.0 in the top band to 0.0 in the bottom
// band; a pointer dragged beyond the control stays on the end values.
class CMyVerticalSwitch : public CVerticalSwitch {
public:
    using CVerticalSwitch::CVerticalSwitch;

    CMouseEventResult onMouseDown(CPoint& where, const long& buttons) override;
    CMouseEventResult onMouseMoved(CPoint& where, const long& buttons) override;
};

// The toolkit's on/off button behind the editor's press filter.
class CMyOnOffButton : public COnOffButton {
public:
    using COnOffButton::COnOffButton;

    CMouseEventResult onMouseDown(CPoint& where, const long& buttons) override;
};
