#include "tests/support/x11/test_display.h"
#include "tests/support/waiting.h"

#include <xcb/xtest.h>

#include <cstdlib>
#include <memory>

namespace {
struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
template <typename T> using Reply = std::unique_ptr<T, FreeDeleter>;
} // namespace

TestDisplay::TestDisplay() {
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c)) {
        xcb_disconnect(c);
        return;
    }
    connection = c;
    screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
}

TestDisplay::~TestDisplay() {
    if (connection) xcb_disconnect(connection);
}

xcb_window_t TestDisplay::createWindow(int x, int y, int width, int height, bool inputOnly) {
    const xcb_window_t window = xcb_generate_id(connection);
    const std::uint32_t values[] = {screen->black_pixel};
    xcb_create_window(connection, inputOnly ? 0 : XCB_COPY_FROM_PARENT, window, screen->root,
                      static_cast<std::int16_t>(x), static_cast<std::int16_t>(y),
                      static_cast<std::uint16_t>(width), static_cast<std::uint16_t>(height), 0,
                      inputOnly ? XCB_WINDOW_CLASS_INPUT_ONLY : XCB_WINDOW_CLASS_INPUT_OUTPUT,
                      screen->root_visual, inputOnly ? 0 : XCB_CW_BACK_PIXEL, values);
    xcb_map_window(connection, window);
    sync();
    return window;
}

xcb_window_t TestDisplay::createArgbWindow(int width, int height) {
    for (auto d = xcb_screen_allowed_depths_iterator(screen); d.rem; xcb_depth_next(&d)) {
        if (d.data->depth != 32 || !d.data->visuals_len) continue;
        const xcb_visualid_t visual = xcb_depth_visuals(d.data)->visual_id;
        const xcb_colormap_t colormap = xcb_generate_id(connection);
        xcb_create_colormap(connection, XCB_COLORMAP_ALLOC_NONE, colormap, screen->root, visual);
        const xcb_window_t window = xcb_generate_id(connection);
        const std::uint32_t values[] = {0, 0, colormap};
        xcb_create_window(connection, 32, window, screen->root, 0, 0,
                          static_cast<std::uint16_t>(width), static_cast<std::uint16_t>(height), 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, visual,
                          XCB_CW_BACK_PIXEL | XCB_CW_BORDER_PIXEL | XCB_CW_COLORMAP, values);
        xcb_map_window(connection, window);
        sync();
        return window;
    }
    return XCB_NONE;
}

xcb_pixmap_t TestDisplay::createPixmap() {
    const xcb_pixmap_t pixmap = xcb_generate_id(connection);
    xcb_create_pixmap(connection, screen->root_depth, pixmap, screen->root, 16, 16);
    sync();
    return pixmap;
}

void TestDisplay::destroyWindow(xcb_window_t window) {
    xcb_destroy_window(connection, window);
    sync();
}

void TestDisplay::remap(xcb_window_t window) {
    xcb_unmap_window(connection, window);
    xcb_map_window(connection, window);
    sync();
}

std::vector<xcb_window_t> TestDisplay::children(xcb_window_t window) {
    Reply<xcb_query_tree_reply_t> tree(
        xcb_query_tree_reply(connection, xcb_query_tree(connection, window), nullptr));
    if (!tree) return {};
    const xcb_window_t* list = xcb_query_tree_children(tree.get());
    return {list, list + xcb_query_tree_children_length(tree.get())};
}

void TestDisplay::movePointer(xcb_window_t window, int x, int y) {
    Reply<xcb_translate_coordinates_reply_t> at(xcb_translate_coordinates_reply(
        connection,
        xcb_translate_coordinates(connection, window, screen->root, static_cast<std::int16_t>(x),
                                  static_cast<std::int16_t>(y)),
        nullptr));
    if (!at) return;
    xcb_test_fake_input(connection, XCB_MOTION_NOTIFY, 0, XCB_CURRENT_TIME, screen->root, at->dst_x,
                        at->dst_y, 0);
    sync();
}

void TestDisplay::button(int number, bool down) {
    xcb_test_fake_input(connection, down ? XCB_BUTTON_PRESS : XCB_BUTTON_RELEASE,
                        static_cast<std::uint8_t>(number), XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    sync();
}

void TestDisplay::click(xcb_window_t window, int x, int y) {
    movePointer(window, x, y);
    button(1, true);
    button(1, false);
}

void TestDisplay::key(std::uint32_t keysym, bool down) {
    xcb_test_fake_input(connection, down ? XCB_KEY_PRESS : XCB_KEY_RELEASE, keycode(keysym),
                        XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    sync();
}

bool TestDisplay::pointerFree() {
    Reply<xcb_grab_pointer_reply_t> grab(xcb_grab_pointer_reply(
        connection,
        xcb_grab_pointer(connection, 0, screen->root, 0, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC,
                         XCB_NONE, XCB_NONE, XCB_CURRENT_TIME),
        nullptr));
    xcb_ungrab_pointer(connection, XCB_CURRENT_TIME);
    sync();
    return grab && grab->status == XCB_GRAB_STATUS_SUCCESS;
}

std::uint8_t TestDisplay::keycode(std::uint32_t keysym) {
    const xcb_setup_t* setup = xcb_get_setup(connection);
    const int count = setup->max_keycode - setup->min_keycode + 1;
    Reply<xcb_get_keyboard_mapping_reply_t> mapping(xcb_get_keyboard_mapping_reply(
        connection,
        xcb_get_keyboard_mapping(connection, setup->min_keycode, static_cast<std::uint8_t>(count)),
        nullptr));
    if (!mapping) return 0;
    const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(mapping.get());
    const int perCode = mapping->keysyms_per_keycode;
    for (int i = 0; i < count * perCode; ++i)
        if (syms[i] == keysym) return static_cast<std::uint8_t>(setup->min_keycode + i / perCode);
    return 0;
}

std::uint32_t TestDisplay::pixel(xcb_window_t window, int x, int y) {
    const std::vector<std::uint32_t> one = image(window, x, y, 1, 1);
    return one.empty() ? 0xffffffffu : one[0];
}

std::vector<std::uint32_t> TestDisplay::image(xcb_window_t window, int x, int y, int width,
                                              int height) {
    if (!connection || width <= 0 || height <= 0) return {};
    Reply<xcb_get_image_reply_t> reply(xcb_get_image_reply(
        connection,
        xcb_get_image(connection, XCB_IMAGE_FORMAT_Z_PIXMAP, window, static_cast<std::int16_t>(x),
                      static_cast<std::int16_t>(y), static_cast<std::uint16_t>(width),
                      static_cast<std::uint16_t>(height), ~0u),
        nullptr));
    if (!reply || (reply->depth != 24 && reply->depth != 32)) return {};
    // TrueColor in 32-bit little-endian pixels (blue, green, red), rows padded
    // to whole words.
    const int rowBytes = xcb_get_image_data_length(reply.get()) / height;
    if (rowBytes < width * 4) return {};
    const std::uint8_t* data = xcb_get_image_data(reply.get());
    std::vector<std::uint32_t> out;
    out.reserve(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    for (int row = 0; row < height; ++row)
        for (const std::uint8_t* p = data + row * rowBytes; p < data + row * rowBytes + width * 4;
             p += 4)
            out.push_back((std::uint32_t(p[2]) << 16) | (std::uint32_t(p[1]) << 8) | p[0]);
    return out;
}

std::vector<std::uint32_t> TestDisplay::samples(xcb_window_t window, int left, int top, int right,
                                                int bottom, int step) {
    const std::vector<std::uint32_t> all = image(window, left, top, right - left, bottom - top);
    std::vector<std::uint32_t> out;
    if (all.empty()) return out;
    for (int y = 0; y < bottom - top; y += step)
        for (int x = 0; x < right - left; x += step)
            out.push_back(all[static_cast<std::size_t>(y * (right - left) + x)]);
    return out;
}

void TestDisplay::killClient(std::uint32_t resource) {
    xcb_kill_client(connection, resource);
    sync();
}

void TestDisplay::sync() {
    std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
}

TestDisplay& sharedTestDisplay() {
    static TestDisplay connection;
    return connection;
}

bool pumpUntil(const std::function<void()>& step, const std::function<bool()>& done) {
    return testing_support::waitUntil(done, step);
}
