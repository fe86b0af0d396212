#include "editor/custom_controls.h"

#include <algorithm>
#include <cmath>

namespace {

// Ends the edit a press began, after the listener was told of it. The
// listener may have taken the control's page out of the frame (the about
// screen's buttons do), after which the control no longer reaches the
// editor: the edit is then ended through `editor`, found before.
void endEditAfterNotifying(CControl* control, AEffGUIEditor* editor) {
    if (control->getFrame() != nullptr || editor == nullptr) {
        control->endEdit();
        return;
    }
    editor->endEdit(static_cast<VstInt32>(control->getTag()));
    if (control->getListener() != nullptr) control->getListener()->controlEndEdit(control);
}

AEffGUIEditor* editorOf(const CControl* control) {
    return control->getFrame() != nullptr ? control->getFrame()->getEditor() : nullptr;
}

#ifdef TARVEX_RTAS
// The checks every press makes first: the press is refused when the control's
// mouse is disabled, the left button is not down, or a modifier key is held
// and the listener's controlModifierClicked answers non-zero. A button word
// of -1 becomes the buttons held now.
bool pressRefused(CControl* control, CDrawContext* context, long& buttons) {
    if (context == nullptr || !control->getMouseEnabled()) return true;
    if (buttons == -1) buttons = context->getMouseButtons();
    if ((buttons & kLButton) == 0) return true;
    CControlListener* listener = control->getListener();
    return listener != nullptr && (buttons & kModifierMask) != 0 &&
           listener->controlModifierClicked(context, control, buttons) != 0;
}
#endif

} // namespace

float CMyVerticalSwitch::valueAt(const CPoint& where) const {
    // Bands of (height of one image / positions) pixels from the top; band k
    // is position k / (positions - 1) counted from the top.
    const double step = static_cast<double>(heightOfOneImage) / static_cast<double>(maxPositions);
    double position = 0.0;
    if (step > 0.0 && maxPositions > 1)
        position = std::trunc(static_cast<double>(where.v - size.top) / step) /
                   static_cast<double>(maxPositions - 1);
    return 1.0f - std::clamp(static_cast<float>(position), 0.0f, 1.0f);
}

#ifdef TARVEX_RTAS

void CMyKickButton::mouse(CDrawContext* context, CPoint& where, long buttons) {
    if (pressRefused(this, context, buttons)) return;
    beginEdit();
    const float pressValue = value;
    const float opposite = vmax + vmin - pressValue;
    CPoint point = where;
    // Follows the pointer while the left button alone is held; the borders
    // count as inside.
    while (buttons == kLButton) {
        const bool inside = point.h >= size.left && point.h <= size.right && point.v >= size.top &&
                            point.v <= size.bottom;
        value = inside ? opposite : pressValue;
        invalid();
        doIdleStuff();
        buttons = context->getMouseButtons();
        getMouseLocation(context, point);
    }
    AEffGUIEditor* editor = editorOf(this);
    if (listener != nullptr) listener->valueChanged(context, this);
    endEditAfterNotifying(this, editor);
}

void CMyVerticalSwitch::mouse(CDrawContext* context, CPoint& where, long buttons) {
    if (pressRefused(this, context, buttons)) return;
    CDrawContext* outer = mouseContext;
    mouseContext = context; // the reset gesture tells the listener through it
    beginEdit();
    if (checkDefaultValue(buttons)) {
        endEdit();
        mouseContext = outer;
        return;
    }
    const long pressed = buttons;
    CPoint point = where;
    do {
        changeValue(valueAt(point));
        doIdleStuff();
        if (context->getMouseButtons() != pressed) break;
        getMouseLocation(context, point);
    } while (true);
    endEdit();
    mouseContext = outer;
}

void CMyOnOffButton::mouse(CDrawContext* context, CPoint& where, long buttons) {
    if (pressRefused(this, context, buttons)) return;
    COnOffButton::mouse(context, where, buttons);
}

#else

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
    AEffGUIEditor* editor = editorOf(this);
    value = 0.0f;
    if (listener != nullptr) listener->valueChanged(this);
    endEditAfterNotifying(this, editor);
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

#endif
