// The seam between the frame and the real window of the platform: the frame
// draws into the window's off-screen buffer, has the window show the changed
// parts of it, and receives the window's events through PlatformEventSink.
#pragma once

#include "gui/geometry.h"

#include <cairo.h>
#include <memory>

class PlatformEventSink { // implemented by CFrame
public:
    virtual ~PlatformEventSink() = default;
    virtual void platformExpose(const CRect& area) = 0;             // window coords
    virtual void platformMouseDown(CPoint where, long buttons) = 0; // buttons = mouse word
    virtual void platformMouseUp(CPoint where, long buttons) = 0;
    virtual void platformMouseMoved(CPoint where, long buttons) = 0;
    // One turn of the wheel: `distance` notches, positive away from the user.
    virtual void platformMouseWheel(CPoint where, float distance, long buttons) = 0;
};

class PlatformWindow { // implemented by the X11 back end
public:
    virtual ~PlatformWindow() = default; // destroys the child window, frees everything
    // The draw target: a buffer of the window's size that the window does not
    // show until present copies from it.
    virtual cairo_surface_t* surface() = 0;
    virtual bool
    pumpEvents(PlatformEventSink& sink) = 0; // non-blocking; false once the connection is dead
    // Shows `count` rectangles (window coordinates) of the buffer in the
    // window, all in one step, so the window never shows a picture half drawn.
    virtual void present(const CRect* areas, int count) = 0;
    virtual void setPointerGrab(bool grabbed) = 0; // grab while a drag is in progress
    // Waits until the display has handled everything sent for the window so
    // far, and holds the events it sent before that for the next pumpEvents;
    // false once the connection is dead.
    virtual bool sync() = 0;
#ifdef TARVEX_RTAS
    // The pointer now, relative to the window, and the buttons and modifier
    // keys held (a mouse word); false when the display cannot be asked.
    virtual bool queryPointer(CPoint& where, long& buttons) = 0;
#endif
};

// Opens a child window of `parent` (an X11 window id passed as a pointer-sized value, as Linux VST
// hosts pass it to the editor-open opcode). Null without a display, with a dead display or a parent
// that is not a window. The toolkit carries a weak definition that always answers null, for builds
// without a window system.
std::unique_ptr<PlatformWindow> openPlatformWindow(void* parent, int width, int height);
