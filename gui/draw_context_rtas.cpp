// The older generation's context for a frame, which also reads the pointer.
#include "gui/draw_context.h"

#include "gui/frame.h"

namespace {
cairo_surface_t* surfaceOf(CFrame* frame) {
    return frame ? frame->getSurface() : nullptr;
}
} // namespace

CDrawContext::CDrawContext(CFrame* owner, void* /*systemContext*/, void* /*hostWindow*/)
    : CDrawContext(surfaceOf(owner) ? surfaceOf(owner)
                                    : cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 0, 0)) {
    frame = owner;
    if (!surfaceOf(owner)) ownSurface.reset(cairo_get_target(cairo));
}

long CDrawContext::getMouseButtons() {
    return frame ? frame->pollPointer() : 0;
}

CPoint CDrawContext::getMouseLocation() const {
    return frame ? frame->getPointerLocation() : CPoint();
}
