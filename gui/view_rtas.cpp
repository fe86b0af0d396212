// The older generation's modal press: a view follows the pointer itself
// until the button is let go.
#include "gui/view.h"

#include "gui/editor.h"
#include "gui/frame.h"

void CView::mouse(CDrawContext* context, CPoint& where, long buttons) {
    if (!context || !mouseEnabled) return;
    if (buttons == -1) buttons = context->getMouseButtons();
    CPoint point = where;
    if (onMouseDown(point, buttons) != kMouseEventHandled) return;
    long now = buttons;
    while ((now = context->getMouseButtons()) & kLButton) {
        getMouseLocation(context, point);
        onMouseMoved(point, now);
        doIdleStuff();
    }
    getMouseLocation(context, point);
    onMouseUp(point, now);
}

void CView::getMouseLocation(CDrawContext* context, CPoint& where) const {
    if (!context) return;
    where = context->getMouseLocation();
    const CRect inFrame = getFrameRect();
    where.offset(size.left - inFrame.left, size.top - inFrame.top);
}

void CView::doIdleStuff() {
    if (frame && frame->getEditor()) frame->getEditor()->doIdleStuff();
}

void CViewContainer::mouse(CDrawContext* context, CPoint& where, long buttons) {
    CView* target = getViewAt(where);
    if (!target) return;
    CPoint local = toChildSpace(target, where);
    // The handler may take the view out of this container.
    target->remember();
    target->mouse(context, local, buttons);
    target->forget();
}
