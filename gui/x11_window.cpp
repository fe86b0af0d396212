// The frame's real window on X11: a child of the host's parent window, its
// events read without blocking through xcb.
//
// The frame draws with cairo-xcb into a pixmap of the window's size; present
// copies the changed rectangles from it to the window with one CopyArea
// clipped to them, so the server never shows a picture half drawn, and an
// exposed area is restored from the pixmap without drawing anything anew.
//
// Every window has its own connection to the display named by DISPLAY, so a
// host that opens several editors, or loses one connection, disturbs no other.
// Nothing here blocks on the server except the round trips made while the
// window is opened (checking the parent, creating the window), and all of it
// runs on the host's user-interface thread.

#include "gui/mouse.h"
#include "gui/platform_window.h"
#include "gui/x11_mouse.h"

#include <cairo-xcb.h>
#include <cairo.h>
#include <xcb/xcb.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <utility>
#include <vector>

long mouseWordFromX11State(std::uint16_t state) {
    long word = 0;
    if (state & XCB_KEY_BUT_MASK_BUTTON_1) word |= kLButton;
    if (state & XCB_KEY_BUT_MASK_SHIFT) word |= kShift;
    if (state & XCB_KEY_BUT_MASK_CONTROL) word |= kControl;
    if (state & XCB_KEY_BUT_MASK_MOD_1) word |= kAlt;
    if (state & XCB_KEY_BUT_MASK_MOD_4) word |= kApple;
    return word;
}

long mouseWordFromX11Press(std::uint16_t state, std::uint8_t button) {
    return mouseWordFromX11State(state) | (button == 1 ? long{kLButton} : 0L);
}

namespace {

// Largest window side accepted: X11 sizes are 16-bit, cairo's limit is 32767.
constexpr int kMaxWindowSide = 32767;

// Buttons 1 to 3 are pointer buttons; 4 to 7 are the wheel's steps.
bool isPointerButton(std::uint8_t button) {
    return button >= 1 && button <= 3;
}

// The vertical wheel: button 4 is a notch up (away from the user), 5 down.
constexpr std::uint8_t kWheelUp = 4;
constexpr std::uint8_t kWheelDown = 5;

template <typename T> struct FreeDeleter {
    void operator()(T* p) const { std::free(p); }
};
template <typename T> using Reply = std::unique_ptr<T, FreeDeleter<T>>;

struct ConnectionDeleter {
    void operator()(xcb_connection_t* c) const { xcb_disconnect(c); }
};
using Connection = std::unique_ptr<xcb_connection_t, ConnectionDeleter>;

xcb_screen_t* screenWithRoot(xcb_connection_t* c, xcb_window_t root) {
    for (auto it = xcb_setup_roots_iterator(xcb_get_setup(c)); it.rem; xcb_screen_next(&it))
        if (it.data->root == root) return it.data;
    return nullptr;
}

xcb_visualtype_t* visualOf(xcb_screen_t* screen, xcb_visualid_t id) {
    for (auto d = xcb_screen_allowed_depths_iterator(screen); d.rem; xcb_depth_next(&d))
        for (auto v = xcb_depth_visuals_iterator(d.data); v.rem; xcb_visualtype_next(&v))
            if (v.data->visual_id == id) return v.data;
    return nullptr;
}

class X11Window final : public PlatformWindow {
public:
    X11Window(Connection connection, xcb_window_t window, xcb_pixmap_t buffer, xcb_gcontext_t gc,
              cairo_surface_t* surface, int width, int height)
        : connection_(std::move(connection)), window_(window), buffer_(buffer), gc_(gc),
          surface_(surface), width_(width), height_(height) {}

    ~X11Window() override {
        // cairo keeps state per connection in its device, which must be
        // finished before the connection is closed.
        cairo_device_t* device = cairo_device_reference(cairo_surface_get_device(surface_));
        cairo_surface_finish(surface_);
        cairo_surface_destroy(surface_);
        if (device) {
            cairo_device_finish(device);
            cairo_device_destroy(device);
        }
        if (alive()) {
            if (grabbed_) xcb_ungrab_pointer(connection_.get(), XCB_CURRENT_TIME);
            xcb_free_gc(connection_.get(), gc_);
            xcb_free_pixmap(connection_.get(), buffer_);
            // Waited for, so that the window is gone from the server when the
            // editor's close returns, whatever the host's connection asks next.
            if (!windowGone_)
                free(xcb_request_check(connection_.get(),
                                       xcb_destroy_window_checked(connection_.get(), window_)));
            xcb_flush(connection_.get());
        }
    }

    cairo_surface_t* surface() override { return surface_; }

    bool pumpEvents(PlatformEventSink& sink) override {
        if (!alive()) return false;
        // Consecutive motion notifications are merged into the last one, so
        // a slow redraw does not make a drag lag behind the pointer.
        bool motionPending = false;
        CPoint motionWhere;
        long motionButtons = 0;
        auto flushMotion = [&] {
            if (motionPending) sink.platformMouseMoved(motionWhere, motionButtons);
            motionPending = false;
        };
        while (xcb_generic_event_t* raw = xcb_poll_for_event(connection_.get())) {
            Reply<xcb_generic_event_t> event(raw);
            const auto type = static_cast<std::uint8_t>(event->response_type & ~0x80);
            if (type == XCB_MOTION_NOTIFY) {
                auto* e = reinterpret_cast<xcb_motion_notify_event_t*>(raw);
                if (windowGone_ || e->event != window_) continue;
                motionPending = true;
                motionWhere = CPoint(e->event_x, e->event_y);
                motionButtons = mouseWordFromX11State(e->state);
                continue;
            }
            flushMotion();
            handle(type, raw, sink);
        }
        flushMotion();
        return alive() && !windowGone_;
    }

    void present(const CRect* areas, int count) override {
        // The drawing cairo still holds goes out first, on the same connection.
        cairo_surface_flush(surface_);
        if (!alive()) return;
        xcb_connection_t* c = connection_.get();
        if (!windowGone_ && areas && count > 0) {
            clip_.clear();
            CRect box;
            for (int i = 0; i < count; ++i) {
                CRect area = areas[i];
                area.bound(CRect(0, 0, width_, height_));
                if (area.isEmpty()) continue;
                clip_.push_back(xcb_rectangle_t{static_cast<std::int16_t>(area.left),
                                                static_cast<std::int16_t>(area.top),
                                                static_cast<std::uint16_t>(area.width()),
                                                static_cast<std::uint16_t>(area.height())});
                box.unite(area);
            }
            if (!clip_.empty()) {
                xcb_set_clip_rectangles(c, XCB_CLIP_ORDERING_UNSORTED, gc_, 0, 0,
                                        static_cast<std::uint32_t>(clip_.size()), clip_.data());
                const auto x = static_cast<std::int16_t>(box.left);
                const auto y = static_cast<std::int16_t>(box.top);
                xcb_copy_area(c, buffer_, window_, gc_, x, y, x, y,
                              static_cast<std::uint16_t>(box.width()),
                              static_cast<std::uint16_t>(box.height()));
            }
        }
        xcb_flush(c);
    }

    void setPointerGrab(bool grabbed) override {
        if (grabbed == grabbed_ || !alive() || windowGone_) return;
        grabbed_ = grabbed;
        xcb_connection_t* c = connection_.get();
        if (grabbed) {
            // The answer is not waited for: a refused grab only means that
            // motion outside the window is not seen during this drag.
            constexpr std::uint16_t mask = XCB_EVENT_MASK_BUTTON_PRESS |
                                           XCB_EVENT_MASK_BUTTON_RELEASE |
                                           XCB_EVENT_MASK_POINTER_MOTION;
            auto cookie =
                xcb_grab_pointer(c, 0, window_, mask, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC,
                                 XCB_NONE, XCB_NONE, XCB_CURRENT_TIME);
            xcb_discard_reply(c, cookie.sequence);
        } else {
            xcb_ungrab_pointer(c, XCB_CURRENT_TIME);
        }
        xcb_flush(c);
    }

    bool sync() override {
        if (!alive()) return false;
        xcb_connection_t* c = connection_.get();
        // A round trip: the server answers after it has handled every earlier
        // request of this connection, and xcb queues the events that came
        // before the answer.
        Reply<xcb_get_input_focus_reply_t> reply(
            xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
        return reply != nullptr;
    }

#ifdef TARVEX_RTAS
    bool queryPointer(CPoint& where, long& buttons) override {
        if (!alive() || windowGone_) return false;
        xcb_connection_t* c = connection_.get();
        Reply<xcb_query_pointer_reply_t> reply(
            xcb_query_pointer_reply(c, xcb_query_pointer(c, window_), nullptr));
        if (!reply) return false;
        where = CPoint(reply->win_x, reply->win_y);
        buttons = mouseWordFromX11State(reply->mask);
        return true;
    }
#endif

private:
    bool alive() const {
        return xcb_connection_has_error(connection_.get()) == 0;
    }

    void handle(std::uint8_t type, xcb_generic_event_t* raw, PlatformEventSink& sink) {
        switch (type) {
        case XCB_EXPOSE: {
            auto* e = reinterpret_cast<xcb_expose_event_t*>(raw);
            if (windowGone_ || e->window != window_) return;
            sink.platformExpose(CRect(e->x, e->y, e->x + e->width, e->y + e->height));
            return;
        }
        case XCB_BUTTON_PRESS: {
            auto* e = reinterpret_cast<xcb_button_press_event_t*>(raw);
            if (windowGone_ || e->event != window_) return;
            if (e->detail == kWheelUp || e->detail == kWheelDown) {
                sink.platformMouseWheel(CPoint(e->event_x, e->event_y),
                                        e->detail == kWheelUp ? 1.f : -1.f,
                                        mouseWordFromX11State(e->state));
                return;
            }
            if (!isPointerButton(e->detail)) return;
            sink.platformMouseDown(CPoint(e->event_x, e->event_y),
                                   mouseWordFromX11Press(e->state, e->detail));
            return;
        }
        case XCB_BUTTON_RELEASE: {
            auto* e = reinterpret_cast<xcb_button_release_event_t*>(raw);
            if (windowGone_ || e->event != window_ || !isPointerButton(e->detail)) return;
            // The state still holds the released button; the grab ends with
            // the last button held.
            const std::uint16_t buttonMask =
                XCB_KEY_BUT_MASK_BUTTON_1 | XCB_KEY_BUT_MASK_BUTTON_2 | XCB_KEY_BUT_MASK_BUTTON_3;
            const auto released =
                static_cast<std::uint16_t>(XCB_KEY_BUT_MASK_BUTTON_1 << (e->detail - 1));
            if (grabbed_ && !(e->state & buttonMask & ~released)) setPointerGrab(false);
            sink.platformMouseUp(CPoint(e->event_x, e->event_y),
                                 mouseWordFromX11Press(e->state, e->detail));
            return;
        }
        case XCB_DESTROY_NOTIFY: {
            auto* e = reinterpret_cast<xcb_destroy_notify_event_t*>(raw);
            // The host destroyed its window and ours with it: nothing more
            // is sent to or expected from it.
            if (e->window == window_) windowGone_ = true;
            return;
        }
        default:
            // Errors (for instance drawing after the host destroyed the
            // parent) and notifications we did not ask for.
            return;
        }
    }

    Connection connection_;
    xcb_window_t window_;
    xcb_pixmap_t buffer_;
    xcb_gcontext_t gc_;
    cairo_surface_t* surface_; // draws into buffer_
    int width_;
    int height_;
    std::vector<xcb_rectangle_t> clip_;
    bool grabbed_ = false;
    bool windowGone_ = false;
};

} // namespace

std::unique_ptr<PlatformWindow> openPlatformWindow(void* parent, int width, int height) {
    if (width <= 0 || height <= 0 || width > kMaxWindowSide || height > kMaxWindowSide)
        return nullptr;
    // X11 window ids are 29-bit numbers passed as a pointer-sized value.
    const auto parentValue = reinterpret_cast<std::uintptr_t>(parent);
    if (parentValue == 0 || parentValue > 0x1fffffffu) return nullptr;
    const auto parentWindow = static_cast<xcb_window_t>(parentValue);

    Connection connection(xcb_connect(nullptr, nullptr));
    xcb_connection_t* c = connection.get();
    if (xcb_connection_has_error(c)) return nullptr;

    // The parent must be an existing window that can hold a drawn child: a
    // pixmap has a geometry but no window attributes.
    auto attributesCookie = xcb_get_window_attributes(c, parentWindow);
    auto geometryCookie = xcb_get_geometry(c, parentWindow);
    xcb_generic_error_t* error = nullptr;
    Reply<xcb_get_window_attributes_reply_t> attributes(
        xcb_get_window_attributes_reply(c, attributesCookie, &error));
    Reply<xcb_generic_error_t> attributesError(error);
    error = nullptr;
    Reply<xcb_get_geometry_reply_t> geometry(xcb_get_geometry_reply(c, geometryCookie, &error));
    Reply<xcb_generic_error_t> geometryError(error);
    if (!attributes || !geometry || attributes->_class != XCB_WINDOW_CLASS_INPUT_OUTPUT)
        return nullptr;

    xcb_screen_t* screen = screenWithRoot(c, geometry->root);
    if (!screen) return nullptr;
    xcb_visualtype_t* visual = visualOf(screen, screen->root_visual);
    if (!visual) return nullptr;

    // The screen's own visual with its colormap and an explicit border works
    // under a parent of any depth or visual.
    const xcb_window_t window = xcb_generate_id(c);
    const std::uint32_t valueMask = XCB_CW_BORDER_PIXEL | XCB_CW_EVENT_MASK | XCB_CW_COLORMAP;
    const std::uint32_t values[] = {0, x11WindowEventMask(), screen->default_colormap};
    auto created = xcb_create_window_checked(
        c, screen->root_depth, window, parentWindow, 0, 0, static_cast<std::uint16_t>(width),
        static_cast<std::uint16_t>(height), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, visual->visual_id,
        valueMask, values);
    // The parent may vanish between the check and the creation.
    if (Reply<xcb_generic_error_t> createError(xcb_request_check(c, created)); createError)
        return nullptr;
    xcb_map_window(c, window);

    // The buffer the frame draws into, of the window's depth and size, and the
    // context that copies from it (no exposure events for the copies).
    const xcb_pixmap_t buffer = xcb_generate_id(c);
    auto pixmapCreated = xcb_create_pixmap_checked(c, screen->root_depth, buffer, window,
                                                   static_cast<std::uint16_t>(width),
                                                   static_cast<std::uint16_t>(height));
    // A server short of memory refuses a large one.
    if (Reply<xcb_generic_error_t> pixmapError(xcb_request_check(c, pixmapCreated)); pixmapError) {
        xcb_destroy_window(c, window);
        xcb_flush(c);
        return nullptr;
    }
    const xcb_gcontext_t gc = xcb_generate_id(c);
    const std::uint32_t gcValues[] = {0};
    xcb_create_gc(c, gc, buffer, XCB_GC_GRAPHICS_EXPOSURES, gcValues);
    cairo_surface_t* surface = cairo_xcb_surface_create(c, buffer, visual, width, height);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        xcb_free_gc(c, gc);
        xcb_free_pixmap(c, buffer);
        xcb_destroy_window(c, window);
        xcb_flush(c);
        return nullptr;
    }
    xcb_flush(c);
    return std::make_unique<X11Window>(std::move(connection), window, buffer, gc, surface, width,
                                       height);
}
