// The custom controls' modal presses (the toolkit's older generation).
#include "editor/custom_controls.h"

namespace {
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
} // namespace

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
    AEffGUIEditor* editor = frameEditor();
    if (listener != nullptr) listener->valueChanged(context, this);
    endEditAfterNotifying(editor);
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
