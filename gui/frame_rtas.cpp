// The older generation's drawing entries and the pointer that modal tracking
// reads.
#include "gui/frame.h"

#include "gui/frame_regions.h"

void CFrame::drawRect(CDrawContext* context, const CRect& area) {
    if (!surface || !context) return;
    CRect bounded = area;
    bounded.bound(size);
    if (bounded.isEmpty()) return;
    paint(*context, bounded);
    RegionHolder shown{cairo_region_create()};
    addRect(shown.region, bounded, size);
    present(shown.region);
}

void CFrame::draw(CView* view) {
    if (!surface) return;
    CDrawContext context(surface);
    drawRect(&context, view && view->getFrame() == this ? view->getFrameRect() : size);
}

void CFrame::setScriptedPointer(std::deque<PointerState> states) {
    script = std::move(states);
}

long CFrame::pollPointer() {
    if (window) {
        CPoint where;
        long buttons = 0;
        // A window that cannot be asked (its display gone) reads as released,
        // so that no tracking loop waits on it.
        if (window->queryPointer(where, buttons))
            pointer = {where.limit(), buttons};
        else
            pointer.buttons = 0;
    } else if (!script.empty()) {
        pointer = script.front();
        pointer.where.limit();
        script.pop_front();
    } else {
        pointer.buttons = 0;
    }
    return pointer.buttons;
}
