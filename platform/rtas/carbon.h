// Carbon stand-in: the few window-system records the plug-in's view code
// reads. On the real platform these are Carbon's QuickDraw rectangle and
// point, its event record and the window port a host hands to a plug-in view;
// here a port carries the X11 window the host drew for the plug-in.
#pragma once

#include <cstdint>

// A rectangle in view coordinates, edges in QuickDraw order.
struct Rect {
    short top;
    short left;
    short bottom;
    short right;
};

// A position, vertical first as QuickDraw has it.
struct Point {
    short v;
    short h;
};

// A user event; the view code reads only where it happened.
struct EventRecord {
    std::uint16_t what;
    std::uintptr_t message;
    std::uint32_t when;
    Point where;
    std::uint16_t modifiers;
};

// The drawing port of a host window: here just the X11 window it draws to.
struct OpaqueGrafPort {
    unsigned long window;
};
using GrafPtr = OpaqueGrafPort*;

// The window behind a port, as the pointer-sized handle editors open in
// (the X11 window id); null for no port.
inline void* GetWindowFromPort(GrafPtr port) {
    return port ? reinterpret_cast<void*>(static_cast<std::uintptr_t>(port->window)) : nullptr;
}
