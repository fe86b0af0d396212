// Mouse words from X11 pointer events, and the events the window asks for.
#pragma once

#include <cstdint>

// The held left button and modifier keys of an event's state field: left
// button 2, shift 16, control 32, alt (Mod1) 64, Super (Mod4) 128.
long mouseWordFromX11State(std::uint16_t state);

// The word of a press or release of X11 button `button` (1 left, 2 middle,
// 3 right): the state's word with the left-button bit when `button` is the
// left one. A press's state does not yet hold its own button.
long mouseWordFromX11Press(std::uint16_t state, std::uint8_t button);

// The event mask of the editor's window: exposure and structure events, and
// in the standard generation the pointer's presses, releases and motion. The
// older generation leaves the presses to the host's window (they pass through
// this one to it), which hands them to the editor; the editor then follows the
// pointer itself.
std::uint32_t x11WindowEventMask();
