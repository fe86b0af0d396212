// The effect's requests as the unit's host callback answers them
// (automation, edit gestures, version), and the Cocoa view that the host
// finds by name and in which the effect's editor opens and idles.
#include "au/au_host.h"

#include "vst/aeffeditor.h"
#include "vst/audioeffectx.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>

namespace au_host {
namespace {

constexpr std::uintptr_t kWindow = 0x5a17;

// An editor that records what the view asks of it.
class RecordingEditor : public AEffEditor {
public:
    explicit RecordingEditor(AudioEffect* owner) : AEffEditor(owner) {}
    bool getRect(ERect** r) override {
        *r = &rect;
        return true;
    }
    bool open(void* parent) override {
        ++opens;
        openedIn = parent;
        return AEffEditor::open(parent);
    }
    void close() override {
        ++closes;
        AEffEditor::close();
    }
    void idle() override { ++idles; }

    ERect rect{10, 20, 310, 420};
    int opens = 0, closes = 0, idles = 0;
    void* openedIn = nullptr;
};

// Puts an editor of the test's choice into the unit's effect for a while.
class EditorSwap {
public:
    EditorSwap(AudioEffect* e, AEffEditor* editor) : effect(e), previous(e->getEditor()) {
        effect->setEditor(editor);
    }
    ~EditorSwap() { effect->setEditor(previous); }
    EditorSwap(const EditorSwap&) = delete;
    EditorSwap& operator=(const EditorSwap&) = delete;

private:
    AudioEffect* effect;
    AEffEditor* previous;
};

// The host gives every view a window of its own.
struct Windows {
    Windows() {
        NSView::WindowProvider provider{
            [](void*) { return kWindow; },
            [](void* self, std::uintptr_t) { ++static_cast<Windows*>(self)->destroyed; }, this};
        NSView::setWindowProvider(&provider);
    }
    ~Windows() { NSView::setWindowProvider(nullptr); }
    int destroyed = 0;
};

AUCocoaUIBase* viewFactory(Unit& unit) {
    AudioUnitCocoaViewInfo info{};
    EXPECT_EQ(unit.get(kAudioUnitProperty_CocoaUI, info), noErr);
    const std::string name = text(info.mCocoaAUViewClass[0]);
    std::uint8_t path[PATH_MAX] = {};
    EXPECT_TRUE(
        CFURLGetFileSystemRepresentation(info.mCocoaAUViewBundleLocation, true, path, sizeof path));
    char resolved[PATH_MAX] = {};
    EXPECT_NE(realpath(reinterpret_cast<char*>(path), resolved), nullptr);
    EXPECT_EQ(std::string(resolved), modulePath());
    CFRelease(info.mCocoaAUViewBundleLocation);
    CFRelease(info.mCocoaAUViewClass[0]);
    EXPECT_EQ(name, "QVL_Tarvex_AUCocoaUI");
    return dynamic_cast<AUCocoaUIBase*>(NSCreateInstanceOfClass(name.c_str()));
}

// A view as a host makes and keeps one.
NSView* makeView(AUCocoaUIBase* factory, Unit& unit) {
    const NSAutoreleasePool pool;
    NSView* view = factory->uiViewForAudioUnit(unit.unit, {800.0, 600.0});
    return view != nullptr ? static_cast<NSView*>(view->retain()) : nullptr;
}

void release(AUCocoaUIBase* factory) {
    dynamic_cast<NSObject*>(factory)->release();
}

TEST(AUCallbackTest, AutomationOutsideAGestureIsWrappedAndInsideSendsOnlyTheValue) {
    Unit unit;
    auto* effect = static_cast<AudioEffectX*>(unit.effect());
    EventRecorder recorder;
    using E = std::vector<std::tuple<UInt32, AudioUnitParameterID, float>>;
    auto events = [&] {
        E list;
        for (const Event& e : recorder.events)
            list.emplace_back(e.type, e.id, e.value);
        recorder.events.clear();
        return list;
    };

    effect->setParameterAutomated(5, 0.25f);
    EXPECT_EQ(events(), (E{{1, 5, 0.0f}, {0, 5, 0.25f}, {2, 5, 0.0f}}));
    EXPECT_EQ(unit.parameter(5), 0.25f);

    EXPECT_TRUE(effect->beginEdit(5));
    effect->setParameterAutomated(5, 0.75f);
    effect->setParameterAutomated(5, 0.5f);
    EXPECT_TRUE(effect->endEdit(5));
    EXPECT_EQ(events(), (E{{1, 5, 0.0f}, {0, 5, 0.75f}, {0, 5, 0.5f}, {2, 5, 0.0f}}));
    EXPECT_EQ(unit.parameter(5), 0.5f);

    for (VstInt32 bad : {-1, 53}) {
        EXPECT_FALSE(effect->beginEdit(bad));
        EXPECT_FALSE(effect->endEdit(bad));
        effect->setParameterAutomated(bad, 0.5f);
    }
    EXPECT_EQ(events(), E{});
    EXPECT_EQ(effect->getMasterVersion(), 2);
}

TEST(AUViewTest, ViewOpensTheEditorInItsWindowIdlesItAndClosesItWhenReleased) {
    const long objectsBefore = NSObject::liveCount();
    Windows windows;
    Unit unit;
    AudioEffect* effect = unit.effect();
    RecordingEditor editor(effect);
    {
        const EditorSwap swap(effect, &editor);
        AUCocoaUIBase* factory = viewFactory(unit);
        ASSERT_NE(factory, nullptr);
        EXPECT_EQ(factory->interfaceVersion(), 0u);
        NSView* view = makeView(factory, unit);
        ASSERT_NE(view, nullptr);
        EXPECT_EQ(view->retainCount(), 1);
        const NSRect frame = view->frame();
        EXPECT_EQ(frame.origin.x, 20.0);
        EXPECT_EQ(frame.origin.y, 10.0);
        EXPECT_EQ(frame.size.width, 400.0);
        EXPECT_EQ(frame.size.height, 300.0);
        EXPECT_EQ(editor.opens, 1);
        EXPECT_EQ(editor.openedIn, reinterpret_cast<void*>(kWindow));

        NSRunLoop& loop = NSRunLoop::currentRunLoop();
        loop.runForSeconds(1.0);
        EXPECT_EQ(editor.idles, 60);
        EXPECT_EQ(editor.closes, 0);

        view->release();
        EXPECT_EQ(editor.closes, 1);
        EXPECT_EQ(windows.destroyed, 1);
        loop.runForSeconds(1.0);
        EXPECT_EQ(editor.idles, 60);
        EXPECT_EQ(loop.scheduledTimerCount(), 0u);
        // A factory that never had a unit closes nothing.
        release(factory);
        EXPECT_EQ(editor.closes, 1);
    }
    EXPECT_EQ(unit.effect(), effect);
    EXPECT_EQ(NSObject::liveCount(), objectsBefore);
}

TEST(AUViewTest, WithoutAnEditorOrAUnitTheViewDoesNothing) {
    const long objectsBefore = NSObject::liveCount();
    auto unit = std::make_unique<Unit>();
    AudioEffect* effect = unit->effect();
    AUCocoaUIBase* factory = viewFactory(*unit);
    ASSERT_NE(factory, nullptr);
    NSView* view = nullptr;
    {
        const EditorSwap swap(effect, nullptr);
        view = makeView(factory, *unit);
        ASSERT_NE(view, nullptr);
        EXPECT_EQ(view->frame().size.width, 0.0);
        NSRunLoop::currentRunLoop().runForSeconds(0.5);
    }
    // The unit goes before the view: ticks and the view's end find no effect.
    RecordingEditor editor(effect);
    {
        const EditorSwap swap(effect, &editor);
        EXPECT_EQ(unit->effect(), effect);
        ASSERT_EQ(unit->start(48000.0, 2), noErr);
        EXPECT_EQ(unit->effect(), effect);
    }
    unit.reset();
    NSRunLoop::currentRunLoop().runForSeconds(0.5);
    view->release();
    release(factory);
    EXPECT_EQ(editor.idles, 0);
    EXPECT_EQ(editor.closes, 0);
    EXPECT_EQ(NSRunLoop::currentRunLoop().scheduledTimerCount(), 0u);
    EXPECT_EQ(NSObject::liveCount(), objectsBefore);
}

} // namespace
} // namespace au_host
