#include "editor/custom_controls.h"

#include <algorithm>
#include <cmath>

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
    // The listener may take this button's page out of the frame (the about
    // screen's buttons do), after which the button no longer reaches the
    // editor: the edit that the press began is ended through the editor
    // found before.
    AEffGUIEditor* editor = frame != nullptr ? frame->getEditor() : nullptr;
    value = 0.0f;
    if (listener != nullptr) listener->valueChanged(this);
    if (frame != nullptr || editor == nullptr) {
        endEdit();
    } else {
        editor->endEdit(static_cast<VstInt32>(tag));
        if (listener != nullptr) listener->controlEndEdit(this);
    }
    return kMouseEventHandled;
}

CMouseEventResult CMyVerticalSwitch::onMouseDown(CPoint& where, const long& buttons) {
    if (shouldIgnoreMouseDown(this, where, buttons))
        return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
    return CVerticalSwitch::onMouseDown(where, buttons);
}

CMouseEventResult CMyVerticalSwitch::onMouseMoved(CPoint& where, const long& buttons) {
    if ((buttons & kLButton) == 0) return kMouseEventHandled;
    // Bands of (height of one image / positions) pixels from the top; band k
    // is position k / (positions - 1) counted from the top.
    const double step = static_cast<double>(heightOfOneImage) / static_cast<double>(maxPositions);
    double position = 0.0;
    if (step > 0.0 && maxPositions > 1)
        position = std::trunc(static_cast<double>(where.v - size.top) / step) /
                   static_cast<double>(maxPositions - 1);
    // A change is judged against the value before this move, not against the
    // one last drawn: a switch moved by the host and not yet redrawn must
    // still report the user's move back to where it was drawn.
    const float before = value;
    value = 1.0f - std::clamp(static_cast<float>(position), 0.0f, 1.0f);
    if (value != before) {
        if (listener != nullptr) listener->valueChanged(this);
        invalid();
    }
    return kMouseEventHandled;
}

CMouseEventResult CMyOnOffButton::onMouseDown(CPoint& where, const long& buttons) {
    if (shouldIgnoreMouseDown(this, where, buttons))
        return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
    return COnOffButton::onMouseDown(where, buttons);
}
