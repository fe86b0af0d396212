// The custom controls' press, move and release handlers (the toolkit's
// standard generation).
#include "editor/custom_controls.h"

bool shouldIgnoreMouseDown(CControl* control, CPoint& /*where*/, const long& buttons) {
    if (!control->getMouseEnabled()) return true;
    if ((buttons & kLButton) == 0) return true;
    CControlListener* listener = control->getListener();
    if (listener != nullptr && (buttons & kModifierMask) != 0 &&
        listener->controlModifierClicked(control, buttons) != 0)
        return true;
    return false;
}

CMouseEventResult CMyKickButton::onMouseDown(CPoint& where, const long& buttons) {
    if (shouldIgnoreMouseDown(this, where, buttons))
        return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
    return CKickButton::onMouseDown(where, buttons);
}

// Replaces the toolkit's release, which would notify twice after a release
// over the button and not at all elsewhere.
CMouseEventResult CMyKickButton::onMouseUp(CPoint& /*where*/, const long& /*buttons*/) {
    AEffGUIEditor* editor = frameEditor();
    value = 0.0f;
    if (listener != nullptr) listener->valueChanged(this);
    endEditAfterNotifying(editor);
    return kMouseEventHandled;
}

CMouseEventResult CMyVerticalSwitch::onMouseDown(CPoint& where, const long& buttons) {
    if (shouldIgnoreMouseDown(this, where, buttons))
        return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
    return CVerticalSwitch::onMouseDown(where, buttons);
}

CMouseEventResult CMyVerticalSwitch::onMouseMoved(CPoint& where, const long& buttons) {
    if ((buttons & kLButton) == 0) return kMouseEventHandled;
    changeValue(valueAt(where));
    return kMouseEventHandled;
}

CMouseEventResult CMyOnOffButton::onMouseDown(CPoint& where, const long& buttons) {
    if (shouldIgnoreMouseDown(this, where, buttons))
        return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
    return COnOffButton::onMouseDown(where, buttons);
}
