// The standard generation's window takes its own presses, releases and
// pointer motion.
#include "gui/x11_mouse.h"

#include <xcb/xcb.h>

std::uint32_t x11WindowEventMask() {
    return XCB_EVENT_MASK_EXPOSURE | XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE |
           XCB_EVENT_MASK_POINTER_MOTION | XCB_EVENT_MASK_STRUCTURE_NOTIFY;
}
