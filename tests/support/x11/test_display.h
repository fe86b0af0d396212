// The window tests' own X client (the picture tool uses it too): it makes the
// parent window a host would give the editor, moves and clicks the real
// pointer through the XTest extension and reads back what the server shows.
#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <functional>
#include <vector>

class TestDisplay {
public:
    // Connects to DISPLAY; connected() is false without a server.
    TestDisplay();
    ~TestDisplay();
    TestDisplay(const TestDisplay&) = delete;
    TestDisplay& operator=(const TestDisplay&) = delete;

    bool connected() const { return connection != nullptr; }

    // A mapped top-level window at (x, y) of the root, as a host's container;
    // with `inputOnly` one that cannot hold a drawn child.
    xcb_window_t createWindow(int x, int y, int width, int height, bool inputOnly = false);
    // A mapped top-level window of depth 32 (with alpha), as compositing
    // hosts make; XCB_NONE when the server offers no such visual.
    xcb_window_t createArgbWindow(int width, int height);
    xcb_pixmap_t createPixmap();
    void destroyWindow(xcb_window_t window);
    // Unmaps and maps again: the window's contents are lost and exposed.
    void remap(xcb_window_t window);
    std::vector<xcb_window_t> children(xcb_window_t window);

    // Real input: the pointer moved to (x, y) of `window`, a button or a key.
    void movePointer(xcb_window_t window, int x, int y);
    void button(int number, bool down);
    void key(std::uint32_t keysym, bool down);
    // Button 1 pressed and let go at (x, y) of `window`.
    void click(xcb_window_t window, int x, int y);
    // Whether this client may grab the pointer (no other client holds it).
    bool pointerFree();

    // The pixel at (x, y) of `window` as 0xRRGGBB; 0xffffffff when it cannot
    // be read.
    std::uint32_t pixel(xcb_window_t window, int x, int y);
    // The pixels of a rectangle of `window` (its children included), row by
    // row, as 0xRRGGBB; empty when they cannot be read.
    std::vector<std::uint32_t> image(xcb_window_t window, int x, int y, int width, int height);
    // Every `step`-th pixel of the rectangle from (left, top) to (right,
    // bottom), row by row.
    std::vector<std::uint32_t> samples(xcb_window_t window, int left, int top, int right,
                                       int bottom, int step = 2);
    // Closes the connection of the client that owns `resource`.
    void killClient(std::uint32_t resource);
    // Waits until the server has handled everything sent so far.
    void sync();

private:
    std::uint8_t keycode(std::uint32_t keysym);

    xcb_connection_t* connection = nullptr;
    xcb_screen_t* screen = nullptr;
};

// One connection for the whole program: a virtual X server resets, and
// refuses connections meanwhile, whenever its last client leaves.
TestDisplay& sharedTestDisplay();

// Calls `step` (the frame's idle, or nothing while another client's drawing
// reaches the server) until `done` answers true; false when it did not within
// a bound generous for a busy machine.
bool pumpUntil(const std::function<void()>& step, const std::function<bool()>& done);
