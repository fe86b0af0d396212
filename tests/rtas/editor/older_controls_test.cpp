// The toolkit's older generation, as the RTAS plug-in's editor uses it: the
// modal mouse entry of the editor's three custom controls on an off-screen
// frame, following a scripted pointer until its button is let go.
#include "editor/custom_controls.h"
#include "gui/gui.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

namespace {

using Script = std::deque<CFrame::PointerState>;

struct Listener : CControlListener {
    void valueChanged(CDrawContext* context, CControl* control) override {
        contexts.push_back(context);
        values.push_back(control->getValue());
    }
    long controlModifierClicked(CDrawContext*, CControl*, long buttons) override {
        asked.push_back(buttons);
        return refuse;
    }
    std::vector<CDrawContext*> contexts;
    std::vector<float> values;
    std::vector<long> asked;
    long refuse = 0;
};

// Records the edit gestures and, on every idle pass of modal tracking, the
// value of the control being watched.
struct Editor : AEffGUIEditor {
    Editor() : AEffGUIEditor(nullptr) {}
    void idle() override {
        if (watched) passes.push_back(watched->getValue());
    }
    bool beginEdit(VstInt32 index) override {
        edits.push_back("begin " + std::to_string(index));
        return true;
    }
    bool endEdit(VstInt32 index) override {
        edits.push_back("end " + std::to_string(index));
        return true;
    }
    CControl* watched = nullptr;
    std::vector<float> passes;
    std::vector<std::string> edits;
};

class OlderControlsTest : public ::testing::Test {
protected:
    OlderControlsTest() : frame(CFrame::createOffscreen(CRect(0, 0, 200, 100), &editor)) {
        // Controls sit in a page at (50, 20), so the pointer's frame
        // coordinates must be brought into the page's space.
        page = new CViewContainer(CRect(50, 20, 150, 80), frame);
        frame->addView(page);
    }
    ~OlderControlsTest() override { delete frame; }

    // A press at `where` (page coordinates) through the control's own entry.
    void press(CControl* control, CPoint where, long buttons, Script script) {
        frame->setScriptedPointer(std::move(script));
        CDrawContext context(frame, nullptr);
        pressContext = &context;
        control->mouse(&context, where, buttons);
    }

    Editor editor;
    Listener listener;
    CFrame* frame;
    CViewContainer* page;
    CDrawContext* pressContext = nullptr;
};

TEST_F(OlderControlsTest, KickButtonFollowsThePointerInAndOutAndNotifiesOnceAfterRelease) {
    auto* kick = new CMyKickButton(CRect(10, 10, 30, 30), &listener, 75, 20, nullptr);
    page->addView(kick);
    editor.watched = kick;
    // Frame coordinates: the button spans 60..80 x 30..50, borders inside.
    press(kick, CPoint(20, 20), -1,
          Script{{CPoint(70, 40), kLButton},
                 {CPoint(95, 40), kLButton},
                 {CPoint(80, 50), kLButton},
                 {CPoint(59, 40), kLButton},
                 {CPoint(70, 40), 0}});
    EXPECT_EQ(editor.passes, (std::vector<float>{1, 0, 1, 0}));
    ASSERT_EQ(listener.values.size(), 1u);
    EXPECT_EQ(listener.values[0], 0.0f); // left as tracking ended: outside
    EXPECT_EQ(listener.contexts[0], pressContext);
    EXPECT_EQ(editor.edits, (std::vector<std::string>{"begin 75", "end 75"}));

    // Released over it, the value stays the opposite of the value at the
    // press; a press on a set button tracks towards 0.
    listener.values.clear();
    editor.passes.clear();
    press(kick, CPoint(10, 10), kLButton, Script{{CPoint(60, 30), 0}});
    EXPECT_EQ(listener.values, std::vector<float>{1});
    press(kick, CPoint(11, 11), kLButton, Script{{CPoint(61, 31), kLButton}});
    EXPECT_EQ(listener.values, (std::vector<float>{1, 0}));
}

TEST_F(OlderControlsTest, ModifierPressesAskTheListenerFirstAndOtherPressesAreSwallowed) {
    auto* kick = new CMyKickButton(CRect(10, 10, 30, 30), &listener, 54, 20, nullptr);
    page->addView(kick);
    listener.refuse = 1;
    press(kick, CPoint(20, 20), kLButton | kShift, Script{});
    EXPECT_EQ(listener.asked, std::vector<long>{kLButton | kShift});
    EXPECT_TRUE(listener.values.empty());
    EXPECT_TRUE(editor.edits.empty());

    // Accepted, a press with a modifier does not track (the buttons are not
    // the left one alone) but still notifies once.
    listener.refuse = 0;
    press(kick, CPoint(20, 20), kLButton | kApple, Script{{CPoint(70, 40), kLButton}});
    EXPECT_EQ(listener.values, std::vector<float>{0});

    // Not the left button, no button at all for -1, a disabled control.
    listener.values.clear();
    auto* lamp = new CMyOnOffButton(CRect(40, 10, 60, 30), &listener, 4, nullptr);
    page->addView(lamp);
    press(lamp, CPoint(50, 20), kShift, Script{});
    press(lamp, CPoint(50, 20), -1, Script{{CPoint(100, 40), 0}});
    lamp->setMouseEnabled(false);
    press(lamp, CPoint(50, 20), kLButton, Script{});
    EXPECT_TRUE(listener.values.empty());
    EXPECT_EQ(lamp->getValue(), 0.0f);

    // -1 stands for the buttons held now; the toggle flips the value.
    lamp->setMouseEnabled(true);
    press(lamp, CPoint(50, 20), -1, Script{{CPoint(100, 40), kLButton}});
    EXPECT_EQ(listener.values, std::vector<float>{1});
}

TEST_F(OlderControlsTest, SwitchResetGestureSetsTheDefaultWithoutTracking) {
    auto* toggle = new CMyVerticalSwitch(CRect(0, 0, 20, 20), &listener, 2, 2, 20, 2, nullptr);
    page->addView(toggle);
    toggle->setDefaultValue(1.0f);
    // Left button with control is 17 in this generation: it resets even
    // with the pointer in the bottom band.
    press(toggle, CPoint(5, 15), kLButton | kControl, Script{{CPoint(55, 35), kLButton}});
    EXPECT_EQ(toggle->getValue(), 1.0f);
    EXPECT_EQ(listener.values, std::vector<float>{1});
    EXPECT_EQ(listener.contexts[0], pressContext);
    EXPECT_EQ(editor.edits, (std::vector<std::string>{"begin 2", "end 2"}));
}

TEST_F(OlderControlsTest, SwitchTracksWhileTheButtonsStayAsPressedAndNotifiesEachChange) {
    auto* selector = new CMyVerticalSwitch(CRect(0, 0, 35, 79), &listener, 3, 3, 79, 3, nullptr);
    page->addView(selector);
    selector->setValue(1.0f);
    // Bands of 79/3 px from the top give 1, 0.5, 0; beyond the control the
    // end values hold. Page y = frame y - 20.
    press(selector, CPoint(5, 70), kLButton,
          Script{{CPoint(55, 20), kLButton},
                 {CPoint(55, 22), kLButton},
                 {CPoint(55, 50), kLButton},
                 {CPoint(55, 300), kLButton},
                 {CPoint(55, 20), kLButton | kShift},
                 {CPoint(55, 20), kLButton}});
    EXPECT_EQ(listener.values, (std::vector<float>{0, 1, 0.5f, 0}));
    EXPECT_EQ(selector->getValue(), 0.0f);
    EXPECT_EQ(editor.edits, (std::vector<std::string>{"begin 3", "end 3"}));
}

TEST_F(OlderControlsTest, FrameHandsAPressToTheFrontViewUnderItInItsSpace) {
    auto* back = new CMyOnOffButton(CRect(0, 0, 40, 40), &listener, 8, nullptr);
    auto* front = new CMyOnOffButton(CRect(20, 20, 40, 40), &listener, 19, nullptr);
    page->addView(back);
    page->addView(front);
    frame->setScriptedPointer(Script{{CPoint(80, 50), kLButton}});
    CDrawContext context(frame, nullptr);
    CPoint where(80, 50); // frame coordinates: (30, 30) of the page
    frame->mouse(&context, where);
    EXPECT_EQ(front->getValue(), 1.0f);
    EXPECT_EQ(back->getValue(), 0.0f);
    where = CPoint(10, 10); // outside the page: nothing there
    frame->mouse(&context, where, kLButton);
    EXPECT_EQ(listener.values, std::vector<float>{1});
}

} // namespace
