#include "gui/frame.h"

#include "gui/frame_regions.h"

#include <cmath>
#include <vector>

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
    : CViewContainer(atOrigin(rect), nullptr), editor(owner), pending(cairo_region_create()),
      exposed(cairo_region_create()) {
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
    addRect(pending, size, size);
}

CFrame::~CFrame() {
    removeAll(true);
    frame = nullptr; // the container part outlives this destructor
    surface = nullptr;
    window.reset();
    if (offscreen) cairo_surface_destroy(offscreen);
    cairo_region_destroy(pending);
    cairo_region_destroy(exposed);
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
void collectDirty(const CView* view, cairo_region_t* area, const CRect& bounds) {
    if (auto* container = dynamic_cast<const CViewContainer*>(view)) {
        if (container->CView::isDirty()) {
            addRect(area, container->getFrameRect(), bounds);
            return;
        }
        for (long i = 0; i < container->getNbViews(); ++i)
            collectDirty(container->getView(i), area, bounds);
        return;
    }
    if (view->isDirty()) addRect(area, view->getFrameRect(), bounds);
}
} // namespace

void CFrame::update() {
    if (!surface) return;
    RegionHolder area{pending};
    pending = cairo_region_create();
    // The frame's own mark only says "look": its views' marks, the areas
    // invalidated and views added or removed say what to draw.
    for (CView* view : views)
        collectDirty(view, area.region, size);
    dirty = false;
    if (cairo_region_is_empty(area.region) && cairo_region_is_empty(exposed)) return;
    {
        // The region's rectangles do not overlap: each pixel is drawn once.
        CDrawContext context(surface);
        for (int i = 0; i < cairo_region_num_rectangles(area.region); ++i)
            paint(context, rectOf(area.region, i));
    }
    present(area.region);
}

void CFrame::redraw() {
    addRect(pending, size, size);
    update();
}

void CFrame::invalidRect(const CRect& rect) {
    addRect(pending, rect, size);
}

void CFrame::paint(CDrawContext& context, const CRect& area) {
    CViewContainer::drawRect(&context, area);
    pixelsDrawn +=
        static_cast<std::uint64_t>(area.width()) * static_cast<std::uint64_t>(area.height());
}

bool CFrame::writePng(const char* path) {
    if (!surface || !path) return false;
    update();
    cairo_surface_flush(surface);
    return cairo_surface_write_to_png(surface, path) == CAIRO_STATUS_SUCCESS;
}

void CFrame::platformExpose(const CRect& area) {
    // The buffer holds the whole picture: the window shows that part again
    // at the next update. An off-screen frame has nothing to show it from.
    if (window)
        addRect(exposed, area, size);
    else
        invalidRect(area);
}

void CFrame::platformMouseDown(CPoint where, long buttons) {
    if (!surface) return;
    where.limit(); // a point far outside the window must not overflow distances
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
    where.limit();
    setTracking(false);
    onMouseUp(where, buttons);
}

void CFrame::platformMouseMoved(CPoint where, long buttons) {
    if (!surface || !tracking) return;
    where.limit();
    onMouseMoved(where, buttons);
}

void CFrame::platformMouseWheel(CPoint where, float distance, long buttons) {
    if (!surface || tracking || std::isnan(distance)) return;
    where.limit();
    onWheel(where, distance, buttons);
}

void CFrame::present(cairo_region_t* area) {
    if (!window) {
        if (surface) cairo_surface_flush(surface);
        return;
    }
    cairo_region_union(exposed, area);
    std::vector<CRect> rects;
    rects.reserve(static_cast<size_t>(cairo_region_num_rectangles(exposed)));
    for (int i = 0; i < cairo_region_num_rectangles(exposed); ++i)
        rects.push_back(rectOf(exposed, i));
    cairo_region_destroy(exposed);
    exposed = cairo_region_create();
    window->present(rects.data(), static_cast<int>(rects.size()));
}

void CFrame::setTracking(bool state) {
    if (tracking == state) return;
    tracking = state;
    if (window) window->setPointerGrab(state);
}
