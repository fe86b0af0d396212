// The older generation's listener calls, which hand over the drawing context
// of the press, and the control's modal press.
#include "gui/control.h"

long CControlListener::controlModifierClicked(CDrawContext*, CControl*, long) {
    return 0;
}

void CControl::notifyValueChanged() {
    if (listener) listener->valueChanged(mouseContext, this);
}

void CControl::mouse(CDrawContext* context, CPoint& where, long buttons) {
    CDrawContext* outer = mouseContext;
    mouseContext = context;
    CView::mouse(context, where, buttons);
    mouseContext = outer;
}
