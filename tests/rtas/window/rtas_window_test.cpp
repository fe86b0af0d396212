// The RTAS plug-in's real editor in a real X11 window, as the host gives and
// takes the window through its port: the process linked in, drawn in full and
// clicked with the button held through XTest (the editor follows the live
// pointer until release), and tarvex-rtas loaded as the host loads it. Runs
// under its own virtual X server.
#include "rtas/editor/editor_process.h"
#include "rtas/rtas_host.h"
#include "tests/support/waiting.h"
#include "tests/support/x11/test_display.h"

#include "editor/effect_editor.h"
#include "platform/rtas/views.h"
#include "rtas/template_process.h"
#include "source/effect.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cairo.h>
#include <cstring>
#include <memory>
#include <thread>

using namespace rtas_test;

namespace {

// Counts value changes where another thread can read the count.
struct CountingHost : RecordingHost {
    void ControlChanged(CProcess* process, long index, long value) override {
        RecordingHost::ControlChanged(process, index, value);
        changes.fetch_add(1);
    }
    std::atomic<int> changes{0};
};

class RtasWindowTest : public ::testing::Test, protected BoundHost<CountingHost> {
protected:
    void SetUp() override {
        ASSERT_TRUE(display.connected()) << "no X server";
        process = std::make_unique<EditorProcess>();
        view.reset(process->CreateCPlugInView());
        parent = display.createWindow(0, 0, 701, 336);
        port.window = parent;
    }
    void TearDown() override {
        if (process) process->SetViewPort(nullptr);
        view.reset();
        process.reset();
        if (parent != 0) display.destroyWindow(parent);
    }

    TestDisplay& display = sharedTestDisplay();
    std::unique_ptr<EditorProcess> process;
    std::unique_ptr<CPlugInView> view;
    xcb_window_t parent = 0;
    OpaqueGrafPort port{0};
};

TEST_F(RtasWindowTest, APortOpensTheEditorOnceAndDrawsItInFullNoPortClosesIt) {
    process->SetViewPort(&port);
    ASSERT_NE(process->editor().getFrame(), nullptr);
    EXPECT_FALSE(process->editor().getFrame()->isOffscreen());
    std::vector<xcb_window_t> windows = display.children(parent);
    ASSERT_EQ(windows.size(), 1u);

    // The same editor drawn off-screen is what the window must show.
    std::unique_ptr<AudioEffect> twin(createEffectInstance(nullptr));
    auto* twinEditor = static_cast<EffectEditor*>(twin->getEditor());
    ASSERT_TRUE(twinEditor->openOffscreen());
    cairo_surface_t* picture = twinEditor->getFrame()->getSurface();
    cairo_surface_flush(picture);
    const unsigned char* data = cairo_image_surface_get_data(picture);
    const int stride = cairo_image_surface_get_stride(picture);
    int samples = 0, differing = 0;
    auto compare = [&] {
        samples = differing = 0;
        for (int y = 3; y < 336; y += 24) {
            for (int x = 5; x < 701; x += 24) {
                std::uint32_t expected;
                std::memcpy(&expected, data + y * stride + x * 4, sizeof expected);
                ++samples;
                if (display.pixel(windows[0], x, y) != (expected & 0xffffffu)) ++differing;
            }
        }
        // Text may be smoothed differently on the two surfaces; a window
        // left undrawn shows the parent's black everywhere.
        return differing * 50 <= samples;
    };
    // The editor's own connection reaches the server in its own time.
    EXPECT_TRUE(pumpUntil([] {}, compare)) << differing << " of " << samples << " differ";
    twinEditor->close();

    process->SetViewPort(nullptr);
    EXPECT_EQ(process->editor().getFrame(), nullptr);
    // The editor's connection destroys and creates its window in its own time.
    EXPECT_TRUE(pumpUntil([] {}, [&] { return display.children(parent).empty(); }));

    process->SetViewPort(&port);
    EXPECT_NE(process->editor().getFrame(), nullptr);
    EXPECT_TRUE(pumpUntil([] {}, [&] { return display.children(parent).size() == 1u; }));
}

TEST_F(RtasWindowTest, AClickFollowsTheLivePointerUntilTheButtonIsLetGo) {
    process->SetViewPort(&port);
    ASSERT_NE(process->editor().getFrame(), nullptr);
    process->SetControlValue(4, 0); // the channel selector (tag 3) at its bottom position
    host.gestures.clear();

    // Pressed on the top band of the selector (x 79..114, y 40..119); once
    // the host has the new value, the pointer moves to the middle band, and
    // once it has that one too, the button is let go.
    const int before = host.changes.load();
    display.movePointer(parent, 96, 45);
    display.button(1, true);
    std::jthread user([this, before] {
        TestDisplay own;
        auto waitFor = [this, before](int count) {
            testing_support::waitUntil([&] { return host.changes.load() >= before + count; });
        };
        waitFor(1);
        own.movePointer(parent, 96, 70);
        waitFor(2);
        own.button(1, false); // at the latest when the wait gave up: the click ends
    });
    EventRecord click{};
    click.where = Point{45, 96};
    view->MouseCommand(&click);
    user.join();

    EXPECT_EQ(process->effect().getParameter(3), 0.5f);
    ASSERT_EQ(host.gestures.size(), 4u);
    EXPECT_EQ(host.gestures.front(), (Gesture{'t', 4, 0}));
    EXPECT_EQ(host.gestures[1].kind, 'v');
    EXPECT_EQ(host.gestures[2].kind, 'v');
    EXPECT_EQ(host.gestures.back(), (Gesture{'r', 4, 0}));
}

// tarvex-rtas as the host loads it: a port on a window of the process's view
// size opens the editor, no port closes it, again and again; a port on a
// window that is gone opens nothing and crashes nothing.
TEST(RtasModuleWindowTest, APortOpensTheEditorOnceAndNoPortClosesIt) {
    TestDisplay& display = sharedTestDisplay();
    ASSERT_TRUE(display.connected()) << "no X server";
    LoadedRtas loaded;
    CEffectProcessRTAS& module = loaded.createProcess(1);
    Rect rect{};
    module.GetViewRect(&rect);
    std::unique_ptr<CPlugInView> moduleView(module.CreateCPlugInView());
    ASSERT_NE(moduleView, nullptr);
    const xcb_window_t host = display.createWindow(0, 0, rect.right, rect.bottom);
    OpaqueGrafPort hostPort{host};

    for (int round = 0; round < 2; ++round) {
        module.SetViewPort(&hostPort);
        for (int i = 0; i < 5; ++i)
            module.DoTokenIdle();
        display.sync();
        EXPECT_EQ(display.children(host).size(), 1u) << round;
        module.SetViewPort(nullptr);
        display.sync();
        EXPECT_TRUE(display.children(host).empty()) << round;
    }
    display.destroyWindow(host);
    module.SetViewPort(&hostPort);
    module.DoTokenIdle();
    module.SetViewPort(nullptr);
}

} // namespace
