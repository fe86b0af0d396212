// CFrame: the root container, which owns the drawing surface.
//
// Made with a host's parent window, it opens a child window in it through
// openPlatformWindow; when that fails the frame is not open (isOpen false),
// draws nowhere and ignores events. A window frame draws into the window's
// off-screen buffer and then has the window show the changed rectangles in
// one step, so the window never shows a picture half drawn; an exposed part
// of the window is shown again from the buffer. Made with a null parent, it
// is an off-screen frame: it draws into an image surface of its size, can
// save it as a PNG file and takes mouse events through the same platform*
// entries the window uses, so tests and picture tools see exactly what the
// window shows.
//
// idle() reads the window's events, then redraws what became dirty and shows
// it: each dirty view's own rectangle and each invalidated area, not the box
// around all of them.
#pragma once

#include "gui/platform_window.h"
#include "gui/view.h"

#include <cairo.h>
#include <cstdint>
#include <deque>
#include <memory>

class AEffGUIEditor;

class CFrame : public CViewContainer, public PlatformEventSink {
public:
    CFrame(const CRect& size, void* parentWindow, AEffGUIEditor* editor);
    // Forgets every view still held; closes the window.
    ~CFrame() override;

    // An off-screen frame of `size` (its top-left corner is the origin).
    static CFrame* createOffscreen(const CRect& size, AEffGUIEditor* editor = nullptr);

    bool isOpen() const { return surface != nullptr; }
    bool isOffscreen() const { return window == nullptr; }
    AEffGUIEditor* getEditor() const { return editor; }

    // Reads pending window events, then draws what is dirty and presents it.
    // Answers false once the window's connection is gone (the frame then stays closed).
    bool idle();
    // Draws every dirty view (and any invalidated area) now.
    void update();
    // Draws the whole frame now.
    void redraw();
    // Marks `rect` (frame coordinates) for redrawing at the next update.
    void invalidRect(const CRect& rect);
    // Something changed: the next update looks for dirty views (it does not
    // redraw the whole frame; redraw() does).
    void setDirty(bool state = true) override { dirty = state; }

    // The off-screen picture, or the window's buffer; null when not open.
    cairo_surface_t* getSurface() const { return surface; }
    // Pixels repainted so far: the area of every rectangle a drawing pass
    // redrew (not counting copies from the buffer to the window).
    std::uint64_t getPixelsDrawn() const { return pixelsDrawn; }
    // Brings the drawing up to date and writes it as a PNG file; false on failure.
    bool writePng(const char* path);
    // Waits until the display has handled all the window was sent, so that
    // another client reading it sees the picture last presented, and holds the
    // events sent before that for the next idle. Off-screen there is nothing
    // to wait for; false when the frame is not open or its display is gone.
    bool sync() { return window ? window->sync() : surface != nullptr; }

    // The window's events, also the entries for simulated mouse events.
    void platformExpose(const CRect& area) override;
    void platformMouseDown(CPoint where, long buttons) override;
    void platformMouseUp(CPoint where, long buttons) override;
    void platformMouseMoved(CPoint where, long buttons) override;
    // Turns the front-most view under `where` that answers the wheel;
    // ignored while a press is being tracked.
    void platformMouseWheel(CPoint where, float distance, long buttons) override;

    // A press is being tracked (moves and the release go to the view that took it).
    bool isTrackingMouse() const { return tracking; }

#ifdef TARVEX_RTAS
    // The older generation's drawing entries. drawRect draws `area` (frame
    // coordinates) through `context` and shows it; draw redraws `view`'s
    // area, or with no particular view the whole frame, through a context of its own.
    void drawRect(CDrawContext* context, const CRect& area) override;
    using CViewContainer::draw;
    void draw(CView* view = nullptr);

    // The pointer as modal tracking reads it. A window's is read live from
    // the display; an off-screen frame's follows a script: each reading of
    // the buttons takes the next state, and once the script is used up the
    // buttons read as released where the pointer last was.
    struct PointerState {
        CPoint where; // frame coordinates
        long buttons; // mouse word
    };
    void setScriptedPointer(std::deque<PointerState> states);
    // Reads the pointer anew; the buttons held now.
    long pollPointer();
    // Where the last reading found the pointer.
    CPoint getPointerLocation() const {
        return pointer.where;
    }
#endif

    CFrame(const CFrame&) = delete;
    CFrame& operator=(const CFrame&) = delete;

private:
    // Redraws `area` (within the frame) into the surface.
    void paint(CDrawContext& context, const CRect& area);
    // Shows `area` of the buffer in the window, with whatever was exposed.
    void present(cairo_region_t* area);
    void setTracking(bool state);

    AEffGUIEditor* editor;
    std::unique_ptr<PlatformWindow> window;
    cairo_surface_t* offscreen = nullptr; // owned, off-screen frames only
    cairo_surface_t* surface = nullptr;   // where drawing goes
    cairo_region_t* pending;              // invalidated area not yet drawn
    cairo_region_t* exposed;              // window area to show again from the buffer
    std::uint64_t pixelsDrawn = 0;
    bool tracking = false;
#ifdef TARVEX_RTAS
    std::deque<PointerState> script;
    PointerState pointer{CPoint(), 0};
#endif
};
