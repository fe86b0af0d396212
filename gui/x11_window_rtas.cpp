#include "gui/x11_mouse.h"

#include <xcb/xcb.h>

std::uint32_t x11WindowEventMask() {
    return XCB_EVENT_MASK_EXPOSURE | XCB_EVENT_MASK_STRUCTURE_NOTIFY;
}
