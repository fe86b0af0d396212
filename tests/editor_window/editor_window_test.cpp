// The editor of the loaded tarvex.so in a real X11 window, as a Linux host
// drives it: effEditOpen with the host's parent window, effEditIdle, real
// pointer clicks and drags through XTest, effEditClose. Runs under its own
// virtual X server.
#include "tests/support/x11/test_display.h"
#include "vst/aeffect.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

struct HostCall {
    VstInt32 opcode;
    VstInt32 index;
    float value;
};

std::vector<HostCall> calls;

VstIntPtr host(AEffect*, VstInt32 opcode, VstInt32 index, VstIntPtr, void*, float opt) {
    if (opcode == audioMasterVersion) return 2400;
    if (opcode == audioMasterAutomate || opcode == audioMasterBeginEdit ||
        opcode == audioMasterEndEdit)
        calls.push_back({opcode, index, opt});
    return 0;
}

class EditorWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(display.connected()) << "no X server";
        module = dlopen(TARVEX_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(module, nullptr) << dlerror();
        auto entry =
            reinterpret_cast<AEffect* (*)(audioMasterCallback)>(dlsym(module, "VSTPluginMain"));
        ASSERT_NE(entry, nullptr);
        effect = entry(host);
        ASSERT_NE(effect, nullptr);
        call(effOpen);
        parent = display.createWindow(0, 0, 701, 336);
        calls.clear();
    }
    void TearDown() override {
        if (effect != nullptr) {
            call(effEditClose);
            call(effClose);
        }
        if (parent != 0) display.destroyWindow(parent);
        // The module stays resident (it is linked to stay after dlclose).
        if (module != nullptr) dlclose(module);
    }

    VstIntPtr call(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr) {
        return effect->dispatcher(effect, opcode, index, value, ptr, 0.0f);
    }
    bool openEditor() {
        return call(effEditOpen, 0, 0, reinterpret_cast<void*>(std::uintptr_t{parent})) == 1;
    }
    void idle() { call(effEditIdle); }
    bool idleUntil(const std::function<bool()>& done) {
        display.sync();
        return pumpUntil([&] { idle(); }, done);
    }
    // The editor draws on its own connection, which our requests do not wait
    // for: waits, idling nothing, until the server shows what `done` wants.
    bool shownUntil(const std::function<bool()>& done) {
        return pumpUntil([] {}, done);
    }
    bool sawCall(VstInt32 opcode, VstInt32 index) {
        return std::any_of(calls.begin(), calls.end(), [&](const HostCall& c) {
            return c.opcode == opcode && c.index == index;
        });
    }
    // The pixels of a rectangle of the window, as the server shows them.
    std::vector<std::uint32_t> pixels(int left, int top, int right, int bottom) {
        return display.samples(parent, left, top, right, bottom);
    }
    void drag(int x, int y, int toX, int toY) {
        display.movePointer(parent, x, y);
        display.button(1, true);
        display.movePointer(parent, (x + toX) / 2, (y + toY) / 2);
        display.movePointer(parent, toX, toY);
        display.button(1, false);
    }
    void click(int x, int y) { drag(x, y, x, y); }

    TestDisplay& display = sharedTestDisplay();
    void* module = nullptr;
    AEffect* effect = nullptr;
    xcb_window_t parent = 0;
};

TEST_F(EditorWindowTest, OpensSizedAndDrawnInTheParentWindow) {
    EXPECT_EQ(effect->flags & effFlagsHasEditor, effFlagsHasEditor);
    ASSERT_TRUE(openEditor());
    ERect* rect = nullptr; // as Ardour does, the size is asked for after open
    ASSERT_EQ(call(effEditGetRect, 0, 0, &rect), 1);
    EXPECT_EQ(rect->bottom - rect->top, 336);
    EXPECT_EQ(rect->right - rect->left, 701);
    ASSERT_EQ(display.children(parent).size(), 1u);
    // Drawn in open already: the picture comes without any idle.
    EXPECT_TRUE(shownUntil([&] {
        const auto shown = pixels(0, 0, 701, 336);
        return std::count_if(shown.begin(), shown.end(), [](std::uint32_t p) { return p != 0; }) >
               static_cast<long>(shown.size() / 2);
    }));
}

TEST_F(EditorWindowTest, ClicksAndDragsReachTheHostAsEditGestures) {
    ASSERT_TRUE(openEditor());
    // The CompA lamp button: one press toggles the compressor.
    const float compressor = effect->getParameter(effect, 4);
    click(140, 42);
    ASSERT_TRUE(idleUntil([&] { return sawCall(audioMasterEndEdit, 4); }));
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].opcode, audioMasterBeginEdit);
    EXPECT_EQ(calls[1].opcode, audioMasterAutomate);
    EXPECT_EQ(calls[1].index, 4);
    EXPECT_FLOAT_EQ(calls[1].value, 1.0f - std::round(compressor));
    EXPECT_FLOAT_EQ(effect->getParameter(effect, 4), calls[1].value);

    // The Crossove knob dragged 40 px up: a fifth of its range (linear mode).
    calls.clear();
    effect->setParameter(effect, 1, 0.5f);
    drag(49, 60, 49, 20);
    ASSERT_TRUE(idleUntil([&] { return sawCall(audioMasterEndEdit, 1); }));
    EXPECT_EQ(calls.front().opcode, audioMasterBeginEdit);
    EXPECT_EQ(calls.front().index, 1);
    const HostCall& last = calls[calls.size() - 2];
    EXPECT_EQ(last.opcode, audioMasterAutomate);
    EXPECT_NEAR(last.value, 0.7f, 1e-4);
    EXPECT_FLOAT_EQ(effect->getParameter(effect, 1), last.value);
}

TEST_F(EditorWindowTest, HostAutomationMovesTheControls) {
    // Each change is judged by the first picture of the knob that differs from
    // the one before it: the editor's drawing reaches the server on its own
    // connection in its own time, and one change draws the knob once.
    const auto knob = [&] { return pixels(337, 22, 387, 72); }; // BassA
    effect->setParameter(effect, 9, 1.0f);
    ASSERT_TRUE(openEditor());
    std::vector<std::uint32_t> high, low, program;
    ASSERT_TRUE(shownUntil([&] { // the window's black until then
        high = knob();
        return std::any_of(high.begin(), high.end(), [](std::uint32_t p) { return p != 0; });
    }));
    std::thread([&] { effect->setParameter(effect, 9, 0.0f); }).join();
    ASSERT_TRUE(idleUntil([&] { return (low = knob()) != high; }));
    std::thread([&] { effect->setParameter(effect, 9, 1.0f); }).join();
    ASSERT_TRUE(idleUntil([&] { return (high = knob()) != low; }));
    // A program change from another thread reaches every control.
    std::thread([&] { effect->dispatcher(effect, effSetProgram, 0, 5, nullptr, 0.0f); }).join();
    ASSERT_TRUE(idleUntil([&] { return (program = knob()) != high; }));
    EXPECT_NE(program, low);
}

TEST_F(EditorWindowTest, OpensAndClosesFiftyTimesFromEitherPage) {
    for (int cycle = 0; cycle < 50; ++cycle) {
        ASSERT_TRUE(openEditor()) << cycle;
        idle();
        if (cycle % 2 == 1) { // the about screen
            click(659, 158);
            ASSERT_TRUE(idleUntil([&] { return sawCall(audioMasterEndEdit, 74); })) << cycle;
            calls.clear();
        }
        call(effEditClose);
        display.sync();
        EXPECT_TRUE(display.children(parent).empty()) << cycle;
    }
    // A host that closes the effect with the window still open: the window goes with it.
    ASSERT_TRUE(openEditor());
    call(effClose);
    effect = nullptr;
    display.sync();
    EXPECT_TRUE(display.children(parent).empty());
}

TEST_F(EditorWindowTest, ReopensInANewParentThatTheHostGivesWithoutAClose) {
    ASSERT_TRUE(openEditor());
    // The first parent is kept (hidden), the next ones destroyed with the
    // editor inside, the last before any idle could notice.
    for (const int step : {0, 1, 2}) {
        const xcb_window_t old = parent;
        if (step > 0) display.destroyWindow(old);
        if (step == 1) idle();
        parent = display.createWindow(step, step, 701, 336);
        ASSERT_TRUE(openEditor()) << step;
        EXPECT_EQ(display.children(parent).size(), 1u) << step;
        EXPECT_TRUE(shownUntil([&] { return display.pixel(parent, 140, 42) != 0u; })) << step;
        if (step == 0) {
            EXPECT_TRUE(display.children(old).empty());
            display.destroyWindow(old);
        }
    }
    calls.clear();
    click(140, 42); // the CompA lamp, in the newest window
    EXPECT_TRUE(idleUntil([&] { return sawCall(audioMasterEndEdit, 4); }));
}

TEST_F(EditorWindowTest, NoWindowWithoutAParentWindowOrADisplay) {
    EXPECT_EQ(call(effEditOpen), 0);
    const xcb_pixmap_t pixmap = display.createPixmap();
    EXPECT_EQ(call(effEditOpen, 0, 0, reinterpret_cast<void*>(std::uintptr_t{pixmap})), 0);
    EXPECT_EQ(call(effEditOpen, 0, 0, reinterpret_cast<void*>(std::uintptr_t{0x1ffffff0})), 0);
    const std::string saved = std::getenv("DISPLAY");
    setenv("DISPLAY", ":424242", 1);
    EXPECT_EQ(call(effEditOpen, 0, 0, reinterpret_cast<void*>(std::uintptr_t{parent})), 0);
    // A host scanning without a display still loads the plug-in and sees its editor.
    auto entry =
        reinterpret_cast<AEffect* (*)(audioMasterCallback)>(dlsym(module, "VSTPluginMain"));
    AEffect* scanned = entry(host);
    ASSERT_NE(scanned, nullptr);
    EXPECT_EQ(scanned->flags & effFlagsHasEditor, effFlagsHasEditor);
    ERect* rect = nullptr;
    EXPECT_EQ(scanned->dispatcher(scanned, effEditGetRect, 0, 0, &rect, 0.0f), 1);
    scanned->dispatcher(scanned, effClose, 0, 0, nullptr, 0.0f);
    setenv("DISPLAY", saved.c_str(), 1);
    idle(); // nothing open: nothing to do
    call(effEditClose);
    EXPECT_TRUE(openEditor());
}

} // namespace
