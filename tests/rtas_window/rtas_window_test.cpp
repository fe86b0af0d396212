// tarvex-rtas with the effect's real editor in a real X11 window: the host
// gives the process a port on its window, takes it away and gives it again.
// Runs under its own virtual X server.
#include "gui/x11/test_display.h"
#include "rtas/rtas_host.h"

#include "platform/rtas/views.h"

#include <gtest/gtest.h>

#include <memory>

using namespace rtas_test;

TEST(RtasWindowTest, APortOpensTheEditorOnceAndNoPortClosesIt) {
    TestDisplay display;
    ASSERT_TRUE(display.connected()) << "no X server";
    LoadedRtas loaded;
    CEffectProcessRTAS& process = loaded.createProcess(1);
    Rect rect{};
    process.GetViewRect(&rect);
    std::unique_ptr<CPlugInView> view(process.CreateCPlugInView());
    ASSERT_NE(view, nullptr);
    const xcb_window_t host = display.createWindow(0, 0, rect.right, rect.bottom);
    OpaqueGrafPort port{host};

    for (int round = 0; round < 2; ++round) {
        process.SetViewPort(&port);
        for (int i = 0; i < 5; ++i)
            process.DoTokenIdle();
        display.sync();
        EXPECT_EQ(display.children(host).size(), 1u) << round;
        process.SetViewPort(nullptr);
        display.sync();
        EXPECT_TRUE(display.children(host).empty()) << round;
    }
    // A port on a window that is gone: no editor window, no crash.
    display.destroyWindow(host);
    display.sync();
    process.SetViewPort(&port);
    process.DoTokenIdle();
    process.SetViewPort(nullptr);
}
