// The frame in a real X11 window, driven by real pointer and key events sent
// through the XTest extension. Runs under its own virtual X server.

#include "gui/gui.h"
#include "gui/x11_mouse.h"
#include "tests/support/x11/test_display.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <dirent.h>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr std::uint32_t kControlKey = 0xffe3; // keysym Control_L
constexpr std::uint32_t kShiftKey = 0xffe1;   // keysym Shift_L
constexpr int kWheelUp = 4, kWheelDown = 5;

struct Recorder : CControlListener {
    void valueChanged(CControl* control) override {
        changes.push_back({control->getTag(), control->getValue()});
    }
    void controlBeginEdit(CControl*) override { ++begins; }
    void controlEndEdit(CControl*) override { ++ends; }
    std::vector<std::pair<long, float>> changes; // tag, value
    int begins = 0;
    int ends = 0;
};

void* asParent(std::uintptr_t window) {
    return reinterpret_cast<void*>(window);
}

int openDescriptors() {
    int count = 0;
    if (DIR* dir = opendir("/proc/self/fd")) {
        while (readdir(dir))
            ++count;
        closedir(dir);
    }
    return count;
}

// The X server starts afresh whenever its last client leaves, refusing
// connections meanwhile; one connection held for the whole run prevents that.
class KeepServerBusy : public ::testing::Environment {
    TestDisplay keeper;
};
const auto* const keepServerBusy = ::testing::AddGlobalTestEnvironment(new KeepServerBusy);

class X11WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(display.connected()) << "needs an X server (run under xvfb-run)";
        parent = display.createWindow(100, 100, 240, 120);
    }

    // A frame with a knob, a two-position switch and a kick button, drawn once.
    std::unique_ptr<CFrame> openFrame() {
        auto frame = std::make_unique<CFrame>(CRect(0, 0, 240, 120), asParent(parent), nullptr);
        if (!frame->isOpen()) return frame;
        frame->setBackgroundColor(CColor{20, 200, 40, 255});
        knob = new CAnimKnob(CRect(20, 20, 60, 60), &recorder, 1, 76, 40, nullptr);
        knob->setValue(0.5f);
        knob->setDefaultValue(0.9f);
        frame->addView(knob);
        toggle = new CVerticalSwitch(CRect(100, 20, 120, 40), &recorder, 2, 2, 20, 2, nullptr);
        frame->addView(toggle);
        kick = new CKickButton(CRect(150, 20, 200, 50), &recorder, 3, 30, nullptr);
        frame->addView(kick);
        frame->redraw();
        return frame;
    }

    // A real click at (x, y); idles the frame until `done` (at once without one).
    bool click(
        CFrame& frame, int x, int y, int button,
        const std::function<bool()>& done = [] { return true; }) {
        display.movePointer(parent, x, y);
        display.button(button, true);
        display.button(button, false);
        return pumpUntil([&] { frame.idle(); }, done);
    }

    TestDisplay display;
    xcb_window_t parent = XCB_NONE;
    Recorder recorder;
    CAnimKnob* knob = nullptr;
    CVerticalSwitch* toggle = nullptr;
    CKickButton* kick = nullptr;
};

TEST_F(X11WindowTest, ShowsTheFirstPictureBeforeAnyIdleAndRestoresExposedAreasWithoutDrawing) {
    auto frame = openFrame();
    ASSERT_TRUE(frame->isOpen());
    ASSERT_EQ(display.children(parent).size(), 1u);
    const xcb_window_t window = display.children(parent)[0];
    // Our reading and the frame's drawing travel on two connections: wait,
    // without idling the frame, until the server shows it.
    EXPECT_TRUE(pumpUntil([] {}, [&] { return display.pixel(window, 5, 5) == 0x14c828u; }));
    // Mapped again, the window has lost its picture; the expose brings it
    // back from the frame's buffer, drawing nothing.
    const auto drawn = frame->getPixelsDrawn();
    display.remap(parent);
    ASSERT_NE(display.pixel(window, 230, 110), 0x14c828u);
    EXPECT_TRUE(pumpUntil([&] { frame->idle(); },
                          [&] { return display.pixel(window, 230, 110) == 0x14c828u; }));
    EXPECT_EQ(frame->getPixelsDrawn(), drawn);
}

TEST_F(X11WindowTest, OpensInAParentOfAnotherDepth) {
    parent = display.createArgbWindow(240, 120);
    ASSERT_NE(parent, XCB_NONE) << "the virtual server offers a 32-bit visual";
    auto frame = openFrame();
    ASSERT_TRUE(frame->isOpen());
    const xcb_window_t window = display.children(parent)[0];
    EXPECT_TRUE(pumpUntil([] {}, [&] { return display.pixel(window, 5, 5) == 0x14c828u; }));
}

TEST_F(X11WindowTest, AfterASyncAnotherClientSeesTheLastPictureAndTheNextIdleHasTheEvents) {
    auto frame = openFrame();
    ASSERT_TRUE(frame->isOpen());
    const xcb_window_t window = display.children(parent)[0];
    // Our reading and the frame's drawing travel on two connections: once the
    // frame's sync returns, each picture is what the server shows.
    const CColor colours[] = {{200, 40, 20, 255}, {20, 40, 200, 255}};
    const std::uint32_t shown[] = {0xc82814u, 0x1428c8u};
    for (int k = 0; k < 40; ++k) {
        frame->setBackgroundColor(colours[k % 2]);
        frame->redraw();
        ASSERT_TRUE(frame->sync());
        ASSERT_EQ(display.pixel(window, 230, 110), shown[k % 2]) << k;
    }
    // A click the server has taken is read by the first idle after the sync.
    const float initial = toggle->getValue();
    display.click(parent, 110, 35);
    ASSERT_TRUE(frame->sync());
    frame->idle();
    EXPECT_NE(toggle->getValue(), initial);
}

TEST_F(X11WindowTest, RealPointerDragsTheKnobBeyondTheWindowAndReleasesTheGrab) {
    auto frame = openFrame();
    ASSERT_TRUE(frame->isOpen());
    display.movePointer(parent, 40, 40);
    display.button(1, true);
    display.movePointer(parent, 40, 20);
    ASSERT_TRUE(pumpUntil([&] { frame->idle(); }, [&] { return knob->getValue() > 0.55f; }));
    EXPECT_NEAR(knob->getValue(), 0.5f + 20.f / CAnimKnob::kDragRange, 1e-4f);
    // Motion above the window still reaches the knob during the drag.
    display.movePointer(parent, 40, -90);
    ASSERT_TRUE(pumpUntil([&] { frame->idle(); }, [&] { return knob->getValue() == 1.f; }));
    display.button(1, false);
    ASSERT_TRUE(pumpUntil([&] { frame->idle(); }, [&] { return !frame->isTrackingMouse(); }));
    // The frame's ungrab and our grab travel on two connections: wait for it.
    EXPECT_TRUE(pumpUntil([&] { frame->idle(); }, [&] { return display.pointerFree(); }));
    display.movePointer(parent, 40, 110);
    ASSERT_TRUE(frame->sync()); // the motion has reached the frame's connection
    frame->idle();
    EXPECT_EQ(knob->getValue(), 1.f);
    EXPECT_EQ(recorder.changes.back().first, 1);
}

TEST_F(X11WindowTest, RealClicksSetTheSwitchKickTheButtonAndHonourTheControlKey) {
    auto frame = openFrame();
    ASSERT_TRUE(frame->isOpen());
    const float initial = toggle->getValue();
    ASSERT_TRUE(click(*frame, 110, 35, 1, [&] { return toggle->getValue() != initial; }));
    const float lower = toggle->getValue(); // lower band
    ASSERT_TRUE(click(*frame, 110, 22, 1, [&] { return toggle->getValue() != lower; }));
    const float upper = toggle->getValue();

    // A right-button press is no left press: the switch stays. The kick
    // button's click after it shows that both have been handled.
    recorder.changes.clear();
    click(*frame, 110, 35, 3);
    const auto kicked = std::make_pair(3L, 0.f);
    ASSERT_TRUE(click(*frame, 170, 30, 1, [&] {
        return !recorder.changes.empty() && recorder.changes.back() == kicked;
    }));
    EXPECT_EQ(toggle->getValue(), upper);
    EXPECT_EQ(recorder.changes.front().first, 3);

    // Left button with the control key held on the server: the reset gesture.
    display.key(kControlKey, true);
    EXPECT_TRUE(click(*frame, 40, 40, 1, [&] { return knob->getValue() == 0.9f; }));
    display.key(kControlKey, false);
}

TEST_F(X11WindowTest, RealWheelTurnsKnobsAndSlidersANotchAtATimeAndClicksNothing) {
    auto frame = openFrame();
    ASSERT_TRUE(frame->isOpen());
    auto* slider =
        new CVerticalSlider(CRect(210, 10, 230, 110), &recorder, 4, 10, 90, nullptr, nullptr);
    slider->setValue(0.5f);
    frame->addView(slider);
    // The switch and the kick button ignore the wheel and take it for no
    // click; the turns after them show that they have been handled.
    for (const int button : {kWheelUp, kWheelDown}) {
        click(*frame, 110, 35, button);
        click(*frame, 170, 30, button);
    }
    auto turnsTo = [&](int x, int y, int button, const CControl* control, float value) {
        return click(*frame, x, y, button,
                     [&] { return std::fabs(control->getValue() - value) < 1e-5f; });
    };
    EXPECT_TRUE(turnsTo(40, 40, kWheelUp, knob, 0.6f));
    display.key(kShiftKey, true); // a tenth of the step
    EXPECT_TRUE(turnsTo(40, 40, kWheelDown, knob, 0.59f));
    display.key(kShiftKey, false);
    EXPECT_TRUE(turnsTo(220, 60, kWheelDown, slider, 0.4f));
    ASSERT_EQ(recorder.changes.size(), 3u);
    EXPECT_EQ(recorder.changes[2].first, 4);
    EXPECT_EQ(recorder.begins, 3); // one edit per notch
    EXPECT_EQ(recorder.ends, 3);
    EXPECT_EQ(kick->getValue(), 0.f);
    EXPECT_FALSE(frame->isTrackingMouse());
}

TEST_F(X11WindowTest, FiftyOpenAndCloseCyclesLeaveNoWindowOrConnection) {
    openFrame(); // what the libraries keep for the whole process is made here
    const int descriptors = openDescriptors();
    for (int i = 0; i < 50; ++i) {
        auto frame = openFrame();
        ASSERT_TRUE(frame->isOpen());
        frame->idle();
    }
    display.sync();
    EXPECT_TRUE(display.children(parent).empty());
    EXPECT_EQ(openDescriptors(), descriptors);
}

TEST_F(X11WindowTest, ParentsAndSizesThatCannotMakeAWindowAreRefused) {
    const int descriptors = openDescriptors();
    const xcb_window_t gone = display.createWindow(0, 0, 10, 10);
    display.destroyWindow(gone);
    const std::vector<std::pair<std::string, std::uintptr_t>> parents = {
        {"null", 0},
        {"pixmap", display.createPixmap()},
        {"input-only window", display.createWindow(0, 0, 50, 50, true)},
        {"destroyed window", gone},
        {"beyond any window id", std::uintptr_t{0x7fffffffffffULL}},
    };
    for (const auto& [name, value] : parents)
        EXPECT_EQ(openPlatformWindow(asParent(value), 50, 50), nullptr) << name;
    for (const auto& [width, height] :
         std::vector<std::pair<int, int>>{{0, 0}, {-10, 100}, {100, -1}, {100000, 50}})
        EXPECT_EQ(openPlatformWindow(asParent(parent), width, height), nullptr) << width;
    CFrame frame(CRect(0, 0, 50, 50), asParent(gone), nullptr);
    EXPECT_FALSE(frame.isOpen());
    EXPECT_FALSE(frame.idle());
    EXPECT_TRUE(display.children(parent).empty());
    EXPECT_EQ(openDescriptors(), descriptors);
}

TEST_F(X11WindowTest, WithoutADisplayTheFrameIsNotOpen) {
    const std::string saved = std::getenv("DISPLAY");
    unsetenv("DISPLAY");
    CFrame frame(CRect(0, 0, 50, 50), asParent(parent), nullptr);
    setenv("DISPLAY", ":99999", 1); // no such server
    auto window = openPlatformWindow(asParent(parent), 50, 50);
    setenv("DISPLAY", saved.c_str(), 1);
    EXPECT_FALSE(frame.isOpen());
    EXPECT_EQ(window, nullptr);
}

TEST_F(X11WindowTest, ClosedConnectionOrDestroyedParentEndsTheWindowWithoutHarm) {
    for (const bool killConnection : {true, false}) {
        parent = display.createWindow(100, 100, 240, 120);
        auto frame = openFrame();
        ASSERT_TRUE(frame->isOpen());
        display.movePointer(parent, 40, 40);
        display.button(1, true);
        if (killConnection)
            display.killClient(display.children(parent)[0]);
        else
            display.destroyWindow(parent);
        display.button(1, false);
        knob->setValue(0.3f); // drawn before the frame has heard of it
        frame->redraw();
        EXPECT_TRUE(pumpUntil([&] { frame->idle(); }, [&] { return !frame->isOpen(); }))
            << killConnection;
        // Drawing, events and closing after that do nothing harmful.
        knob->setValue(0.2f);
        frame->redraw();
        frame->platformMouseDown(CPoint(40, 40), kLButton);
        EXPECT_FALSE(frame->idle());
        frame.reset();
        EXPECT_TRUE(display.children(parent).empty());
    }
}

TEST(X11MouseWordTest, ModifierKeysAndTheLeftButtonMakeTheWord) {
    constexpr std::uint16_t shift = 1, lock = 2, mod1 = 8, mod2 = 16, mod4 = 64;
    constexpr std::uint16_t button1 = 256, button3 = 1024;
    EXPECT_EQ(mouseWordFromX11State(shift | mod1 | mod4), kShift | kAlt | kApple);
    // Caps and Num Lock, and buttons other than the left, are no part of it.
    EXPECT_EQ(mouseWordFromX11State(lock | mod2 | button3), 0);
    // A press's state lacks its own button; a release's still has it.
    EXPECT_EQ(mouseWordFromX11Press(shift, 1), kLButton | kShift);
    EXPECT_EQ(mouseWordFromX11Press(button1, 1), kLButton);
    EXPECT_EQ(mouseWordFromX11Press(shift, 3), kShift);
}

} // namespace
