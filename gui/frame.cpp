#include "gui/frame.h"

#include <algorithm>

namespace {
// Larger pictures than this are refused (cairo's own limit is 32767).
constexpr CCoord kMaxSide = 16384;

bool usableSize(const CRect& size) {
    return !size.isEmpty() && size.width() <= kMaxSide && size.height() <= kMaxSide;
}

CRect atOrigin(const CRect& size) {
    if (!usableSize(size)) return CRect();
    return CRect(0, 0, size.width(), size.height());
}
} // namespace

CFrame::CFrame(const CRect& rect, void* parentWindow, AEffGUIEditor* owner)
    : CViewContainer(atOrigin(rect), nullptr), editor(owner) {
    frame = this;
    if (!usableSize(size)) return;
    if (parentWindow) {
        window = openPlatformWindow(parentWindow, static_cast<int>(size.width()),
                                    static_cast<int>(size.height()));
        if (window) surface = window->surface();
        if (surface && cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) surface = nullptr;
        if (!surface) window.reset();
    } else {
        offscreen = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, static_cast<int>(size.width()),
                                               static_cast<int>(size.height()));
        if (cairo_surface_status(offscreen) == CAIRO_STATUS_SUCCESS) {
            surface = offscreen;
        } else {
            cairo_surface_destroy(offscreen);
            offscreen = nullptr;
        }
    }
    pending = size;
}

CFrame::~CFrame() {
    removeAll(true);
    frame = nullptr; // the container part outlives this destructor
    surface = nullptr;
    window.reset();
    if (offscreen) cairo_surface_destroy(offscreen);
}

CFrame* CFrame::createOffscreen(const CRect& rect, AEffGUIEditor* owner) {
    return new CFrame(rect, nullptr, owner);
}

bool CFrame::idle() {
    if (!surface) return false;
    if (window && !window->pumpEvents(*this)) {
        // The display is gone: stop drawing into it; the views stay until the editor closes.
        tracking = false;
        surface = nullptr;
        window.reset();
        return false;
    }
    update();
    return true;
}

namespace {
// Adds the frame rectangle of every dirty view to `area`.
void collectDirty(const CView* view, CRect& area) {
    if (auto* container = dynamic_cast<const CViewContainer*>(view)) {
        if (container->CView::isDirty()) {
            area.unite(container->getFrameRect());
            return;
        }
        for (long i = 0; i < container->getNbViews(); ++i)
            collectDirty(container->getView(i), area);
        return;
    }
    if (view->isDirty()) area.unite(view->getFrameRect());
}
} // namespace

void CFrame::update() {
    if (!surface) return;
    CRect area = pending;
    if (CView::isDirty()) area = size;
    for (CView* view : views)
        collectDirty(view, area);
    area.bound(size);
    pending = CRect();
    dirty = false;
    if (area.isEmpty()) return;
    CDrawContext context(surface);
    drawRect(&context, area);
    present();
}

void CFrame::redraw() {
    pending = size;
    update();
}

void CFrame::invalidRect(const CRect& rect) {
    pending.unite(rect);
}

bool CFrame::writePng(const char* path) {
    if (!surface || !path) return false;
    update();
    cairo_surface_flush(surface);
    return cairo_surface_write_to_png(surface, path) == CAIRO_STATUS_SUCCESS;
}

namespace {
// Points from far outside any window are brought near it, so that distances
// computed from them cannot overflow.
CPoint limited(CPoint where) {
    return CPoint(std::clamp(where.h, -kCoordLimit, kCoordLimit),
                  std::clamp(where.v, -kCoordLimit, kCoordLimit));
}
} // namespace

void CFrame::platformExpose(const CRect& area) {
    invalidRect(area);
}

void CFrame::platformMouseDown(CPoint where, long buttons) {
    if (!surface) return;
    where = limited(where);
    if (tracking) {
        // A press while another is tracked (a second button): the first drag ends here.
        onMouseUp(where, buttons);
        setTracking(false);
    }
    CMouseEventResult result = onMouseDown(where, buttons);
    setTracking(result == kMouseEventHandled);
}

void CFrame::platformMouseUp(CPoint where, long buttons) {
    if (!surface || !tracking) return;
    where = limited(where);
    setTracking(false);
    onMouseUp(where, buttons);
}

void CFrame::platformMouseMoved(CPoint where, long buttons) {
    if (!surface || !tracking) return;
    where = limited(where);
    onMouseMoved(where, buttons);
}

void CFrame::present() {
    if (window)
        window->present();
    else if (surface)
        cairo_surface_flush(surface);
}

void CFrame::setTracking(bool state) {
    if (tracking == state) return;
    tracking = state;
    if (window) window->setPointerGrab(state);
}

#ifdef TARVEX_RTAS
void CFrame::drawRect(CDrawContext* context, const CRect& area) {
    if (!surface || !context) return;
    CRect bounded = area;
    bounded.bound(size);
    if (bounded.isEmpty()) return;
    CViewContainer::drawRect(context, bounded);
    present();
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
            pointer = {limited(where), buttons};
        else
            pointer.buttons = 0;
    } else if (!script.empty()) {
        pointer = script.front();
        pointer.where = limited(pointer.where);
        script.pop_front();
    } else {
        pointer.buttons = 0;
    }
    return pointer.buttons;
}
#endif
