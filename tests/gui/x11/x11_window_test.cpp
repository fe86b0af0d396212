// The frame in a real X11 window, driven by real pointer and key events sent
// through the XTest extension. Runs under its own virtual X server.

#include "gui/gui.h"
#include "gui/x11_mouse.h"
#include "test_display.h"

#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <cstdint>
#include <cstdlib>
#include <dirent.h>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr std::uint32_t kControlKey = 0xffe3; // keysym Control_L

struct Change {
    long tag;
    float value;
};

struct Recorder : CControlListener {
    void valueChanged(CControl* control) override {
        changes.push_back({control->getTag(), control->getValue()});
    }
    std::vector<Change> changes;
};

void* asParent(xcb_window_t window) {
    return reinterpret_cast<void*>(std::uintptr_t{window});
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
    static constexpr int kWidth = 240;
    static constexpr int kHeight = 120;

    void SetUp() override {
        ASSERT_TRUE(display.connected()) << "needs an X server (run under xvfb-run)";
        parent = display.createParent(100, 100, kWidth, kHeight);
    }

    // A frame with a knob, a two-position switch and a kick button.
    std::unique_ptr<CFrame> openFrame() {
        auto frame =
            std::make_unique<CFrame>(CRect(0, 0, kWidth, kHeight), asParent(parent), nullptr);
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

    xcb_window_t windowOf() {
        auto children = display.children(parent);
        return children.size() == 1 ? children[0] : XCB_NONE;
    }

    void click(CFrame& frame, int x, int y) {
        display.movePointer(parent, x, y);
        display.pressButton(1);
        display.releaseButton(1);
        idleUntilQuiet(frame);
    }

    // Lets the frame take every event the server has sent it.
    void idleUntilQuiet(CFrame& frame) {
        display.sync();
        for (int i = 0; i < 5; ++i)
            frame.idle();
    }

    TestDisplay display;
    xcb_window_t parent = XCB_NONE;
    Recorder recorder;
    CAnimKnob* knob = nullptr;
    CVerticalSwitch* toggle = nullptr;
    CKickButton* kick = nullptr;
};

TEST_F(X11WindowTest, OpensOneChildWindowShowingTheFirstPictureAndClosesIt) {
    auto frame = openFrame();
    ASSERT_TRUE(frame->isOpen());
    const xcb_window_t window = windowOf();
    ASSERT_NE(window, XCB_NONE);
    // Drawn before any idle: a host may show the window before it idles.
    EXPECT_EQ(display.pixel(window, 5, 5), 0x14c828u);
    frame.reset();
    display.sync();
    EXPECT_TRUE(display.children(parent).empty());
}

TEST_F(X11WindowTest, ExposedAreaIsRedrawnOnIdle) {
    auto frame = openFrame();
    ASSERT_TRUE(frame->isOpen());
    const xcb_window_t window = windowOf();
    // A new colour that only a redraw caused by the server's expose shows.
    frame->setBackgroundColor(CColor{200, 30, 90, 255});
    display.unmap(parent);
    display.map(parent);
    EXPECT_TRUE(pumpUntil([&] { frame->idle(); },
                          [&] { return display.pixel(window, 230, 110) == 0xc81e5au; }));
}

TEST_F(X11WindowTest, RealPointerDragsTheKnobAndKeepsItBeyondTheWindow) {
    auto frame = openFrame();
    ASSERT_TRUE(frame->isOpen());
    display.movePointer(parent, 40, 40);
    display.pressButton(1);
    display.movePointer(parent, 40, 20);
    ASSERT_TRUE(pumpUntil([&] { frame->idle(); }, [&] { return knob->getValue() > 0.55f; }));
    EXPECT_NEAR(knob->getValue(), 0.5f + 20.f / CAnimKnob::kDragRange, 1e-4f);
    // Motion above the window still reaches the knob during the drag.
    display.movePointer(parent, 40, -90);
    ASSERT_TRUE(pumpUntil([&] { frame->idle(); }, [&] { return knob->getValue() == 1.f; }));
    display.releaseButton(1);
    idleUntilQuiet(*frame);
    EXPECT_FALSE(frame->isTrackingMouse());
    // After the release, motion no longer moves it.
    display.movePointer(parent, 40, 110);
    idleUntilQuiet(*frame);
    EXPECT_EQ(knob->getValue(), 1.f);
    ASSERT_FALSE(recorder.changes.empty());
    EXPECT_EQ(recorder.changes.back().tag, 1);
}

TEST_F(X11WindowTest, RealClicksSetTheSwitchAndKickTheButtonOnce) {
    auto frame = openFrame();
    ASSERT_TRUE(frame->isOpen());
    click(*frame, 110, 35); // lower band of the switch
    const float lower = toggle->getValue();
    click(*frame, 110, 22); // upper band
    EXPECT_NE(toggle->getValue(), lower);

    recorder.changes.clear();
    display.movePointer(parent, 170, 30);
    display.pressButton(1);
    ASSERT_TRUE(pumpUntil([&] { frame->idle(); }, [&] { return kick->getValue() == 1.f; }));
    display.releaseButton(1);
    ASSERT_TRUE(pumpUntil([&] { frame->idle(); }, [&] { return kick->getValue() == 0.f; }));
    ASSERT_FALSE(recorder.changes.empty());
    EXPECT_EQ(recorder.changes.back().tag, 3);
    EXPECT_EQ(recorder.changes.back().value, 0.f);
}

TEST_F(X11WindowTest, ControlKeyHeldOnTheServerMakesTheResetGesture) {
    auto frame = openFrame();
    ASSERT_TRUE(frame->isOpen());
    display.pressKey(kControlKey);
    click(*frame, 40, 40);
    display.releaseKey(kControlKey);
    EXPECT_EQ(knob->getValue(), 0.9f);
    // A right-button press is no left press: the switch stays.
    const float before = toggle->getValue();
    display.movePointer(parent, 110, 35);
    display.pressButton(3);
    display.releaseButton(3);
    idleUntilQuiet(*frame);
    display.movePointer(parent, 110, 22);
    display.pressButton(3);
    display.releaseButton(3);
    idleUntilQuiet(*frame);
    EXPECT_EQ(toggle->getValue(), before);
}

TEST_F(X11WindowTest, FiftyOpenAndCloseCyclesLeaveNoWindowOrConnection) {
    // One cycle first, so what the libraries keep for the process is there.
    openFrame();
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

TEST_F(X11WindowTest, ParentsThatCannotHoldTheWindowAreRefused) {
    const int descriptors = openDescriptors();
    const xcb_window_t gone = display.createParent(0, 0, 10, 10);
    display.destroyWindow(gone);
    EXPECT_EQ(openPlatformWindow(nullptr, 50, 50), nullptr);
    const std::vector<std::pair<std::string, std::uintptr_t>> parents = {
        {"pixmap", display.createPixmap()},
        {"input-only window", display.createInputOnly(50, 50)},
        {"destroyed window", gone},
        {"beyond any window id", std::uintptr_t{0x7fffffffffffULL}},
    };
    for (const auto& [name, value] : parents) {
        EXPECT_EQ(openPlatformWindow(reinterpret_cast<void*>(value), 50, 50), nullptr) << name;
        CFrame frame(CRect(0, 0, 50, 50), reinterpret_cast<void*>(value), nullptr);
        EXPECT_FALSE(frame.isOpen()) << name;
        frame.idle();
    }
    EXPECT_EQ(openDescriptors(), descriptors);
}

TEST_F(X11WindowTest, SizesAWindowCannotHaveAreRefused) {
    for (const auto& [width, height] : std::vector<std::pair<int, int>>{
             {0, 0}, {-10, 100}, {100, -1}, {100000, 50}, {50, 70000}}) {
        EXPECT_EQ(openPlatformWindow(asParent(parent), width, height), nullptr)
            << width << " x " << height;
    }
    EXPECT_TRUE(display.children(parent).empty());
}

TEST_F(X11WindowTest, WithoutADisplayTheFrameIsNotOpen) {
    const std::string saved = std::getenv("DISPLAY");
    unsetenv("DISPLAY");
    CFrame frame(CRect(0, 0, 50, 50), asParent(parent), nullptr);
    const bool open = frame.isOpen();
    setenv("DISPLAY", ":99999", 1);
    auto window = openPlatformWindow(asParent(parent), 50, 50);
    setenv("DISPLAY", saved.c_str(), 1);
    EXPECT_FALSE(open);
    EXPECT_EQ(window, nullptr);
    EXPECT_FALSE(frame.idle());
}

TEST_F(X11WindowTest, ClosedConnectionMakesADeadWindowThatStillClosesCleanly) {
    auto frame = openFrame();
    ASSERT_TRUE(frame->isOpen());
    const xcb_window_t window = windowOf();
    knob->setValue(0.1f);
    display.killClient(window);
    EXPECT_TRUE(pumpUntil([&] { frame->idle(); }, [&] { return !frame->idle(); }));
    // Drawing, events and closing after that do nothing harmful.
    knob->setValue(0.7f);
    frame->redraw();
    frame->platformMouseDown(CPoint(40, 40), kLButton);
    EXPECT_FALSE(frame->idle());
    frame.reset();
    EXPECT_TRUE(display.children(parent).empty());
}

TEST_F(X11WindowTest, EventsAfterTheHostDestroyedItsWindowAreIgnored) {
    auto frame = openFrame();
    ASSERT_TRUE(frame->isOpen());
    display.movePointer(parent, 40, 40);
    display.pressButton(1);
    display.destroyWindow(parent);
    display.releaseButton(1);
    EXPECT_TRUE(pumpUntil([&] { frame->idle(); }, [&] { return !frame->idle(); }));
    knob->setValue(0.2f);
    frame->redraw();
    frame.reset();
    display.sync();
}

TEST(X11MouseWordTest, ModifierKeysAndTheLeftButtonMakeTheWord) {
    constexpr std::uint16_t shift = 1, lock = 2, control = 4, mod1 = 8, mod2 = 16, mod4 = 64;
    constexpr std::uint16_t button1 = 256, button3 = 1024;
    EXPECT_EQ(mouseWordFromX11State(button1 | control), kLButton | kControl); // the reset gesture
    EXPECT_EQ(mouseWordFromX11State(shift | mod1 | mod4), kShift | kAlt | kApple);
    // Caps and Num Lock, and buttons other than the left, are no part of it.
    EXPECT_EQ(mouseWordFromX11State(lock | mod2 | button3), 0);
    // A press's state lacks its own button; a release's still has it.
    EXPECT_EQ(mouseWordFromX11Press(control, 1), kLButton | kControl);
    EXPECT_EQ(mouseWordFromX11Press(button1, 1), kLButton);
    EXPECT_EQ(mouseWordFromX11Press(shift, 3), kShift);
}

} // namespace
