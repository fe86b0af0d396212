// The unit's Cocoa view with the effect's real editor in a real X11 window:
// the host finds the view class through the unit, the view opens the editor
// in its window, the run loop's timer idles it, clicks in it reach the host
// as parameter events, and releasing the view closes it. Runs under its own
// virtual X server.
#include "au/au_host.h"
#include "tests/support/x11/test_display.h"

#include "gui/editor.h"
#include "gui/frame.h"
#include "vst/aeffeditor.h"
#include "vst/audioeffect.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <iterator>
#include <thread>

namespace au_host {
namespace {

// The host gives every view a top-level window; on destruction it notes
// whether the editor was still open in it.
struct HostWindows {
    HostWindows() {
        NSView::WindowProvider provider{[](void*) -> std::uintptr_t {
                                            return sharedTestDisplay().createWindow(0, 0, 800, 400);
                                        },
                                        [](void* self, std::uintptr_t window) {
                                            auto& w = *static_cast<HostWindows*>(self);
                                            w.editorOpenAtDestroy = w.editorOpen();
                                            sharedTestDisplay().destroyWindow(
                                                static_cast<xcb_window_t>(window));
                                            ++w.destroyed;
                                        },
                                        this};
        NSView::setWindowProvider(&provider);
    }
    ~HostWindows() { NSView::setWindowProvider(nullptr); }
    std::function<bool()> editorOpen;
    bool editorOpenAtDestroy = true;
    int destroyed = 0;
};

class AUWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(display.connected()) << "no X server";
        ASSERT_NE(unit.unit, nullptr);
        windows.editorOpen = [this] { return editor()->isOpen(); };
        AudioUnitCocoaViewInfo info{};
        ASSERT_EQ(unit.get(kAudioUnitProperty_CocoaUI, info), noErr);
        factoryObject = NSCreateInstanceOfClass(text(info.mCocoaAUViewClass[0]).c_str());
        CFRelease(info.mCocoaAUViewBundleLocation);
        CFRelease(info.mCocoaAUViewClass[0]);
        factory = dynamic_cast<AUCocoaUIBase*>(factoryObject);
        ASSERT_NE(factory, nullptr);
        const NSAutoreleasePool pool;
        view = factory->uiViewForAudioUnit(unit.unit, {100.0, 100.0});
        ASSERT_NE(view, nullptr);
        view->retain();
    }
    void TearDown() override {
        if (view != nullptr) view->release();
        if (factoryObject != nullptr) factoryObject->release();
    }

    xcb_window_t window() const { return static_cast<xcb_window_t>(view->nativeWindow()); }
    AEffEditor* editor() { return unit.effect()->getEditor(); }
    // One tick of the view's timer: the run loop's time is the host's, so
    // running it for one interval fires the timer once.
    static void tick() { NSRunLoop::currentRunLoop().runForSeconds(1.0 / 60.0); }
    // Runs the main run loop a tick at a time until `done`.
    bool runUntil(const std::function<bool()>& done) {
        display.sync();
        return pumpUntil(tick, done);
    }
    // The pixels of a rectangle of the view's window as the server shows
    // them once it has handled everything the editor sent on its own
    // connection (which our display's requests do not wait for).
    std::vector<std::uint32_t> pixels(int left, int top, int right, int bottom) {
        auto* editorFrame = static_cast<AEffGUIEditor*>(editor())->getFrame();
        EXPECT_TRUE(editorFrame != nullptr && editorFrame->sync());
        return display.samples(window(), left, top, right, bottom);
    }

    TestDisplay& display = sharedTestDisplay();
    HostWindows windows;
    Unit unit;
    NSObject* factoryObject = nullptr;
    AUCocoaUIBase* factory = nullptr;
    NSView* view = nullptr;
};

TEST_F(AUWindowTest, TheViewIsTheEditorsSizeAndHoldsItsWindow) {
    ASSERT_NE(editor(), nullptr);
    ERect* rect = nullptr;
    editor()->getRect(&rect);
    ASSERT_NE(rect, nullptr);
    const NSRect frame = view->frame();
    EXPECT_EQ(frame.origin.x, rect->left);
    EXPECT_EQ(frame.origin.y, rect->top);
    EXPECT_EQ(frame.size.width, rect->right - rect->left);
    EXPECT_EQ(frame.size.height, rect->bottom - rect->top);
    EXPECT_TRUE(editor()->isOpen());
    EXPECT_EQ(display.children(window()).size(), 1u);
    const auto shown = pixels(0, 0, 701, 336);
    EXPECT_GT(std::count_if(shown.begin(), shown.end(), [](std::uint32_t p) { return p != 0; }),
              static_cast<long>(shown.size() / 2));
}

TEST_F(AUWindowTest, TimerTicksShowAnotherThreadsChangesAndReleasingTheViewClosesTheEditor) {
    const auto knob = [&] { return pixels(337, 22, 387, 72); }; // BassA
    std::thread([&] { unit.setParameter(9, 0.0f); }).join();
    tick();
    const auto low = knob();
    std::thread([&] { unit.setParameter(9, 1.0f); }).join();
    // Whatever the change had the editor send on its connection, on that
    // thread or this one, the server has handled before the pixels are read.
    EXPECT_EQ(knob(), low); // nothing drawn before the timer's tick
    tick();
    EXPECT_NE(knob(), low);

    view->release();
    view = nullptr;
    EXPECT_FALSE(editor()->isOpen());
    EXPECT_EQ(windows.destroyed, 1);
    EXPECT_FALSE(windows.editorOpenAtDestroy); // the editor went before its parent window
    EXPECT_EQ(NSRunLoop::currentRunLoop().scheduledTimerCount(), 0u);
}

TEST_F(AUWindowTest, ASecondViewTakesTheEditorAndReleasingTheFirstLeavesItOpen) {
    NSView* second = nullptr;
    {
        const NSAutoreleasePool pool;
        second = factory->uiViewForAudioUnit(unit.unit, {100.0, 100.0});
        ASSERT_NE(second, nullptr);
        second->retain();
    }
    const auto secondWindow = static_cast<xcb_window_t>(second->nativeWindow());
    EXPECT_TRUE(display.children(window()).empty());
    EXPECT_EQ(display.children(secondWindow).size(), 1u);
    view->release();
    view = nullptr;
    EXPECT_TRUE(editor()->isOpen());
    EXPECT_EQ(display.children(secondWindow).size(), 1u);
    second->release();
    EXPECT_FALSE(editor()->isOpen());
}

TEST_F(AUWindowTest, AClickInTheEditorReachesTheHostAsOneGesture) {
    EventRecorder recorder;
    const float compressor = unit.parameter(4);
    display.movePointer(window(), 140, 42); // the CompA lamp button
    display.button(1, true);
    display.button(1, false);
    ASSERT_TRUE(runUntil([&] {
        return std::any_of(recorder.events.begin(), recorder.events.end(), [](const Event& e) {
            return e.type == kAudioUnitEvent_EndParameterChangeGesture && e.id == 4;
        });
    }));
    std::vector<Event> forFour;
    std::copy_if(recorder.events.begin(), recorder.events.end(), std::back_inserter(forFour),
                 [](const Event& e) { return e.id == 4; });
    ASSERT_EQ(forFour.size(), 3u);
    EXPECT_EQ(forFour[0].type, kAudioUnitEvent_BeginParameterChangeGesture);
    EXPECT_EQ(forFour[1].type, kAudioUnitEvent_ParameterValueChange);
    EXPECT_EQ(forFour[1].value, 1.0f - std::round(compressor));
    EXPECT_EQ(forFour[2].type, kAudioUnitEvent_EndParameterChangeGesture);
    EXPECT_EQ(unit.parameter(4), forFour[1].value);
}

} // namespace
} // namespace au_host
