#include "test_display.h"

#include <xcb/xtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

namespace {
template <typename T> struct Freed {
    T* p;
    explicit Freed(T* pointer) : p(pointer) {}
    ~Freed() { std::free(p); }
    T* operator->() const { return p; }
    explicit operator bool() const { return p != nullptr; }
};
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

xcb_window_t TestDisplay::createParent(int x, int y, int width, int height) {
    const xcb_window_t window = xcb_generate_id(connection);
    const std::uint32_t values[] = {screen->black_pixel};
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, window, screen->root,
                      static_cast<std::int16_t>(x), static_cast<std::int16_t>(y),
                      static_cast<std::uint16_t>(width), static_cast<std::uint16_t>(height), 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, XCB_CW_BACK_PIXEL,
                      values);
    xcb_map_window(connection, window);
    sync();
    return window;
}

xcb_window_t TestDisplay::createInputOnly(int width, int height) {
    const xcb_window_t window = xcb_generate_id(connection);
    xcb_create_window(connection, 0, window, screen->root, 0, 0, static_cast<std::uint16_t>(width),
                      static_cast<std::uint16_t>(height), 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                      screen->root_visual, 0, nullptr);
    sync();
    return window;
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

void TestDisplay::unmap(xcb_window_t window) {
    xcb_unmap_window(connection, window);
    sync();
}

void TestDisplay::map(xcb_window_t window) {
    xcb_map_window(connection, window);
    sync();
}

std::vector<xcb_window_t> TestDisplay::children(xcb_window_t window) {
    std::vector<xcb_window_t> result;
    Freed<xcb_query_tree_reply_t> tree(
        xcb_query_tree_reply(connection, xcb_query_tree(connection, window), nullptr));
    if (!tree) return result;
    const xcb_window_t* list = xcb_query_tree_children(tree.p);
    result.assign(list, list + xcb_query_tree_children_length(tree.p));
    return result;
}

void TestDisplay::movePointer(xcb_window_t window, int x, int y) {
    Freed<xcb_translate_coordinates_reply_t> at(xcb_translate_coordinates_reply(
        connection,
        xcb_translate_coordinates(connection, window, screen->root, static_cast<std::int16_t>(x),
                                  static_cast<std::int16_t>(y)),
        nullptr));
    if (!at) return;
    xcb_test_fake_input(connection, XCB_MOTION_NOTIFY, 0, XCB_CURRENT_TIME, screen->root, at->dst_x,
                        at->dst_y, 0);
    sync();
}

void TestDisplay::pressButton(int button) {
    xcb_test_fake_input(connection, XCB_BUTTON_PRESS, static_cast<std::uint8_t>(button),
                        XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    sync();
}

void TestDisplay::releaseButton(int button) {
    xcb_test_fake_input(connection, XCB_BUTTON_RELEASE, static_cast<std::uint8_t>(button),
                        XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    sync();
}

void TestDisplay::pressKey(std::uint32_t keysym) {
    xcb_test_fake_input(connection, XCB_KEY_PRESS, keycode(keysym), XCB_CURRENT_TIME, XCB_NONE, 0,
                        0, 0);
    sync();
}

void TestDisplay::releaseKey(std::uint32_t keysym) {
    xcb_test_fake_input(connection, XCB_KEY_RELEASE, keycode(keysym), XCB_CURRENT_TIME, XCB_NONE, 0,
                        0, 0);
    sync();
}

std::uint8_t TestDisplay::keycode(std::uint32_t keysym) {
    const xcb_setup_t* setup = xcb_get_setup(connection);
    const int count = setup->max_keycode - setup->min_keycode + 1;
    Freed<xcb_get_keyboard_mapping_reply_t> mapping(xcb_get_keyboard_mapping_reply(
        connection,
        xcb_get_keyboard_mapping(connection, setup->min_keycode, static_cast<std::uint8_t>(count)),
        nullptr));
    if (!mapping) return 0;
    const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(mapping.p);
    const int perCode = mapping->keysyms_per_keycode;
    for (int code = 0; code < count; ++code)
        for (int k = 0; k < perCode; ++k)
            if (syms[code * perCode + k] == keysym)
                return static_cast<std::uint8_t>(setup->min_keycode + code);
    return 0;
}

std::uint32_t TestDisplay::pixel(xcb_window_t window, int x, int y) {
    Freed<xcb_get_image_reply_t> image(xcb_get_image_reply(
        connection,
        xcb_get_image(connection, XCB_IMAGE_FORMAT_Z_PIXMAP, window, static_cast<std::int16_t>(x),
                      static_cast<std::int16_t>(y), 1, 1, ~0u),
        nullptr));
    if (!image || xcb_get_image_data_length(image.p) < 4) return 0xffffffffu;
    const std::uint8_t* data = xcb_get_image_data(image.p);
    // 24-bit TrueColor in 32-bit little-endian pixels: blue, green, red.
    return (std::uint32_t(data[2]) << 16) | (std::uint32_t(data[1]) << 8) | data[0];
}

void TestDisplay::killClient(std::uint32_t resource) {
    xcb_kill_client(connection, resource);
    sync();
}

void TestDisplay::sync() {
    std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
}

bool pumpUntil(const std::function<void()>& step, const std::function<bool()>& done) {
    // The server has handled our requests; its events to the frame's
    // connection are normally there at once, the bound only stops a failure
    // from hanging the test.
    for (int i = 0; i < 2000; ++i) {
        step();
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return false;
}
