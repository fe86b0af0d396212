// The older generation's window asks only for exposure and its own
// destruction: the host's window takes the presses (they pass through this
// one to it) and hands them to the editor, which then follows the pointer
// itself.
#include "gui/x11_mouse.h"

#include <xcb/xcb.h>

std::uint32_t x11WindowEventMask() {
    return XCB_EVENT_MASK_EXPOSURE | XCB_EVENT_MASK_STRUCTURE_NOTIFY;
}
