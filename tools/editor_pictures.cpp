// editor_pictures: opens the editor of a VST 2.4 plug-in file the way a Linux
// host does (dlopen, VSTPluginMain, effEditOpen with a parent window of its
// own) and saves what the X server shows as PNG pictures: the main page, the
// about screen and the tuner listening to a bass A (55 Hz).
//
//   editor_pictures PLUGIN.so OUTPUT_DIR
//
// Needs an X server (DISPLAY); without one, run it under xvfb-run:
//   xvfb-run -a -s "-screen 0 1280x1024x24" build/tools/editor_pictures build/tarvex.so docs
// Writes OUTPUT_DIR/editor.png, editor-about.png and editor-tuner.png. The
// clicks are real pointer events sent through the XTest extension.
#include "tests/support/x11/test_display.h"
#include "vst/aeffect.h"

#include <cairo.h>
#include <dlfcn.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <thread>
#include <vector>

namespace {

VstIntPtr host(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    return opcode == audioMasterVersion ? 2400 : 0;
}

// The window's pixels (its children included) as a PNG file.
bool savePng(TestDisplay& display, xcb_window_t window, int width, int height,
             const std::string& path) {
    const std::vector<std::uint32_t> pixels = display.image(window, 0, 0, width, height);
    if (pixels.empty()) return false;
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    const int stride = cairo_image_surface_get_stride(surface);
    cairo_surface_flush(surface);
    unsigned char* out = cairo_image_surface_get_data(surface);
    for (int y = 0; y < height; ++y)
        std::memcpy(out + y * stride, pixels.data() + y * width,
                    static_cast<std::size_t>(width) * 4);
    cairo_surface_mark_dirty(surface);
    const bool saved = cairo_surface_write_to_png(surface, path.c_str()) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(surface);
    return saved;
}

} // namespace

constexpr std::clock_t kRefreshTicks = CLOCKS_PER_SEC / 20;

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s PLUGIN.so OUTPUT_DIR\n", argv[0]);
        return 1;
    }
    const std::string directory = argv[2];
    TestDisplay display;
    if (!display.connected()) {
        std::fprintf(stderr, "no X server (run under xvfb-run)\n");
        return 2;
    }

    void* module = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) {
        std::fprintf(stderr, "%s\n", dlerror());
        return 2;
    }
    auto entry =
        reinterpret_cast<AEffect* (*)(audioMasterCallback)>(dlsym(module, "VSTPluginMain"));
    AEffect* effect = entry != nullptr ? entry(host) : nullptr;
    if (effect == nullptr) {
        std::fprintf(stderr, "no effect from %s\n", argv[1]);
        return 2;
    }
    auto call = [&](VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr) {
        return effect->dispatcher(effect, opcode, index, value, ptr, 0.0f);
    };
    call(effOpen);
    call(effMainsChanged, 0, 1);
    ERect* rect = nullptr;
    if (call(effEditGetRect, 0, 0, &rect) != 1 || rect == nullptr) {
        std::fprintf(stderr, "the plug-in has no editor\n");
        return 2;
    }
    const int width = rect->right - rect->left;
    const int height = rect->bottom - rect->top;

    const xcb_window_t parent = display.createWindow(0, 0, width, height);
    if (call(effEditOpen, 0, 0, reinterpret_cast<void*>(std::uintptr_t{parent})) != 1) {
        std::fprintf(stderr, "the editor did not open\n");
        return 2;
    }
    auto idleFor = [&](int milliseconds) {
        for (int t = 0; t < milliseconds; t += 20) {
            call(effEditIdle);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        display.sync();
    };
    int failures = 0;
    auto save = [&](const char* name) {
        const std::string path = directory + "/" + name;
        if (!savePng(display, parent, width, height, path)) {
            std::fprintf(stderr, "could not write %s\n", path.c_str());
            ++failures;
        } else {
            std::printf("%s\n", path.c_str());
        }
    };

    idleFor(300);
    save("editor.png");

    display.click(parent, 659, 158); // the about button
    idleFor(300);
    save("editor-about.png");
    display.click(parent, 55 + 487, 77 + 18); // the about screen's close area
    idleFor(100);

    // The tuner on, hearing a bass A: the label names the note and the lamps light.
    display.click(parent, 639, 296);
    std::vector<float> left(512), right(512), outLeft(512), outRight(512);
    float* inputs[2] = {left.data(), right.data()};
    float* outputs[2] = {outLeft.data(), outRight.data()};
    double phase = 0.0;
    // The editor refreshes its tuner display once per 50 ms of the process's
    // processor time, which idling asleep does not use: keep playing until
    // several refreshes have passed.
    const std::clock_t start = std::clock();
    for (int block = 0; block < 200 || (std::clock() - start < 4 * kRefreshTicks && block < 20000);
         ++block) {
        for (size_t i = 0; i < left.size(); ++i) {
            left[i] = right[i] = static_cast<float>(0.3 * std::sin(phase));
            phase += 2.0 * M_PI * 55.0 / 44100.0;
        }
        effect->processReplacing(effect, inputs, outputs, 512);
        if (block % 20 == 0) call(effEditIdle);
    }
    idleFor(400);
    save("editor-tuner.png");

    call(effEditClose);
    call(effMainsChanged, 0, 0);
    call(effClose);
    return failures == 0 ? 0 : 2;
}
