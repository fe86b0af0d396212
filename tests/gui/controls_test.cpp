// The controls driven through an off-screen frame with mouse words, as the
// window would drive them.
#include "gui_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <vector>

using namespace guitest;

namespace {

class Controls : public ::testing::Test {
protected:
    void SetUp() override {
        frame = CFrame::createOffscreen(CRect(0, 0, 300, 300));
        page = new CViewContainer(CRect(0, 0, 300, 300), frame);
        frame->addView(page);
    }
    void TearDown() override { delete frame; }

    template <class T> T* add(T* control) {
        page->addView(control);
        return control;
    }
    void drag(CPoint from, CPoint to, long buttons = kLButton) {
        frame->platformMouseDown(from, buttons);
        frame->platformMouseMoved(to, buttons);
        frame->platformMouseUp(to, buttons);
    }

    CFrame* frame = nullptr;
    CViewContainer* page = nullptr;
    RecordingListener listener;
};

} // namespace

TEST_F(Controls, KnobFollowsVerticalDragLinearlyAndStopsAtTheEnds) {
    auto* knob = add(new CAnimKnob(CRect(10, 10, 50, 50), &listener, 5, 76, 40, nullptr));
    knob->setValue(0.25f);
    // Up by a quarter of the drag range raises the value by a quarter.
    drag(CPoint(30, 30), CPoint(90, 30 - CAnimKnob::kDragRange / 4));
    EXPECT_FLOAT_EQ(knob->getValue(), 0.5f);
    EXPECT_EQ(listener.values.size(), 1u);
    EXPECT_EQ(listener.begins, 1);
    EXPECT_EQ(listener.ends, 1);
    // The drag keeps going to the control after the pointer leaves it, and stops at 1 and 0.
    drag(CPoint(30, 30), CPoint(30, -500));
    EXPECT_FLOAT_EQ(knob->getValue(), 1.f);
    drag(CPoint(30, 30), CPoint(30, 900));
    EXPECT_FLOAT_EQ(knob->getValue(), 0.f);
    EXPECT_FALSE(frame->isTrackingMouse());
}

TEST_F(Controls, SliderWithBottomStyleKeepsItsHandleWithinItsPositions) {
    addStripImage(610, 16, 24, 1);
    CBitmap* handle = new CBitmap(610);
    auto* slider = add(new CVerticalSlider(CRect(254, 200, 274, 302), &listener, 35, 198, 278,
                                           handle, nullptr, CPoint(), kBottom));
    handle->forget();
    slider->setValue(1.f);
    EXPECT_EQ(slider->getHandleRect().top, 198);
    slider->setValue(0.f);
    EXPECT_EQ(slider->getHandleRect().top, 278);
    EXPECT_EQ(slider->getHandleRect().bottom, 302);
    slider->setValue(0.5f);
    EXPECT_EQ(slider->getHandleRect().top, 238);

    // Taken by the handle and dragged far up, then far down: the ends, never beyond.
    drag(CPoint(264, 240), CPoint(264, -100));
    EXPECT_FLOAT_EQ(slider->getValue(), 1.f);
    EXPECT_EQ(slider->getHandleRect().top, 198);
    drag(CPoint(264, 200), CPoint(264, 1000));
    EXPECT_FLOAT_EQ(slider->getValue(), 0.f);
    // A press beside the handle brings the handle's centre to the pointer.
    frame->platformMouseDown(CPoint(264, 250), kLButton);
    EXPECT_EQ(slider->getHandleRect().top, 250 - 12);
    frame->platformMouseUp(CPoint(264, 250), kLButton);
    EXPECT_EQ(listener.begins, listener.ends);
}

TEST_F(Controls, VerticalSwitchPicksItsPositionByBandAndDrawsTheMatchingImage) {
    struct Case {
        long positions;
        CCoord height;
    };
    long image = 620;
    for (Case c : {Case{2, 20}, Case{3, 79}, Case{5, 83}}) {
        SCOPED_TRACE(c.positions);
        addStripImage(image, 20, static_cast<int>(c.height), static_cast<int>(c.positions));
        CBitmap* strip = new CBitmap(image++);
        auto* sw = add(new CVerticalSwitch(CRect(100, 100, 120, 100 + c.height), &listener, 3,
                                           c.positions, c.height, c.positions, strip));
        strip->forget();
        const double band = static_cast<double>(c.height) / c.positions;
        for (long k = 0; k < c.positions; ++k) {
            // The last row of band k and the first row of band k.
            for (CCoord y : {static_cast<CCoord>(band * (k + 1) - 0.01),
                             static_cast<CCoord>(band * k + 0.99)}) {
                click(frame, CPoint(105, 100 + y));
                EXPECT_FLOAT_EQ(sw->getValue(), static_cast<float>(k) / (c.positions - 1))
                    << "row " << y;
                frame->update();
                EXPECT_EQ(pixelAt(frame, 110, 100 + c.height / 2), frameColor(static_cast<int>(k)))
                    << "image for position " << k;
            }
        }
        page->removeView(sw);
    }
}

TEST_F(Controls, OnOffButtonTogglesOnEveryPressAndWantsNoRelease) {
    addStripImage(630, 20, 20, 2);
    CBitmap* lamp = new CBitmap(630);
    auto* button = add(new COnOffButton(CRect(130, 32, 150, 52), &listener, 4, lamp));
    lamp->forget();
    frame->platformMouseDown(CPoint(140, 40), kLButton);
    EXPECT_FALSE(frame->isTrackingMouse());
    EXPECT_FLOAT_EQ(button->getValue(), 1.f);
    frame->update();
    EXPECT_EQ(pixelAt(frame, 140, 40), frameColor(1)) << "on: the lower image";
    click(frame, CPoint(140, 40));
    EXPECT_FLOAT_EQ(button->getValue(), 0.f);
    EXPECT_EQ(listener.values, (std::vector<float>{1.f, 0.f}));
    EXPECT_EQ(listener.begins, 2);
    EXPECT_EQ(listener.ends, 2);
}

TEST_F(Controls, KickButtonTellsOfAReleaseOverItButNotOfOneElsewhere) {
    auto* kick = add(new CKickButton(CRect(16, 86, 62, 106), &listener, 54, 20, nullptr));
    frame->platformMouseDown(CPoint(30, 90), kLButton);
    EXPECT_FLOAT_EQ(kick->getValue(), 1.f);
    EXPECT_TRUE(listener.values.empty()) << "a press alone tells nothing";
    frame->platformMouseMoved(CPoint(200, 200), kLButton);
    EXPECT_FLOAT_EQ(kick->getValue(), 0.f);
    frame->platformMouseMoved(CPoint(30, 90), kLButton);
    frame->platformMouseUp(CPoint(30, 90), kLButton);
    EXPECT_EQ(listener.values, (std::vector<float>{1.f, 0.f}));

    listener.values.clear();
    drag(CPoint(30, 90), CPoint(200, 200));
    EXPECT_TRUE(listener.values.empty());
    EXPECT_FLOAT_EQ(kick->getValue(), 0.f);
    EXPECT_EQ(listener.begins, 2);
    EXPECT_EQ(listener.ends, 2);
}

TEST_F(Controls, ControlClickResetsKnobSliderAndSwitchToTheirDefault) {
    auto* knob = add(new CAnimKnob(CRect(0, 0, 40, 40), &listener, 1, 76, 40, nullptr));
    auto* slider =
        add(new CVerticalSlider(CRect(50, 0, 70, 102), &listener, 26, 0, 80, nullptr, nullptr));
    auto* sw = add(new CVerticalSwitch(CRect(80, 0, 100, 20), &listener, 0, 2, 20, 2, nullptr));
    for (CControl* control : {static_cast<CControl*>(knob), static_cast<CControl*>(slider),
                              static_cast<CControl*>(sw)}) {
        control->setValue(0.f);
        control->setDefaultValue(1.f);
    }
    for (CPoint where : {CPoint(20, 30), CPoint(60, 90), CPoint(90, 15)}) {
        frame->platformMouseDown(where, kLButton | kControl);
        EXPECT_FALSE(frame->isTrackingMouse()) << "the gesture ends the press";
    }
    EXPECT_FLOAT_EQ(knob->getValue(), 1.f);
    EXPECT_FLOAT_EQ(slider->getValue(), 1.f);
    EXPECT_FLOAT_EQ(sw->getValue(), 1.f);
    EXPECT_EQ(listener.values.size(), 3u);
    EXPECT_EQ(listener.begins, 3);
    EXPECT_EQ(listener.ends, 3);
    // Already at the default: nothing to tell.
    frame->platformMouseDown(CPoint(20, 30), kLButton | kControl);
    EXPECT_EQ(listener.values.size(), 3u);

    // With another modifier as well it is no reset: the switch takes the band under the
    // pointer (the top band is value 0 on this base switch).
    click(frame, CPoint(90, 2), kLButton | kControl | kShift);
    EXPECT_FLOAT_EQ(sw->getValue(), 0.f);
}

TEST_F(Controls, PressesOnADisabledControlOrWithoutTheLeftButtonChangeNothing) {
    auto* below = add(new COnOffButton(CRect(0, 0, 40, 40), &listener, 1, nullptr));
    auto* knob = add(new CAnimKnob(CRect(0, 0, 40, 40), &listener, 2, 76, 40, nullptr));
    knob->setValue(0.5f);
    // Right button only (no left bit): nobody takes it.
    frame->platformMouseDown(CPoint(20, 20), kControl);
    drag(CPoint(20, 20), CPoint(20, -300), 0);
    EXPECT_FLOAT_EQ(knob->getValue(), 0.5f);
    EXPECT_FLOAT_EQ(below->getValue(), 0.f);
    // Disabled: the knob is skipped and the press reaches the view beneath.
    knob->setMouseEnabled(false);
    drag(CPoint(20, 20), CPoint(20, -300));
    EXPECT_FLOAT_EQ(knob->getValue(), 0.5f);
    EXPECT_FLOAT_EQ(below->getValue(), 1.f);
    below->setMouseEnabled(false);
    click(frame, CPoint(20, 20));
    EXPECT_FLOAT_EQ(below->getValue(), 1.f);
    EXPECT_EQ(listener.values.size(), 1u);
    EXPECT_EQ(listener.begins, listener.ends);
}

TEST_F(Controls, NestedContainerHandsItsControlsPointsInTheirOwnSpace) {
    // An overlay page at (55, 77), as a second page laid over the first.
    auto* overlay = new CViewContainer(CRect(55, 77, 255, 177), frame);
    auto* kick = new CKickButton(CRect(100, 20, 140, 40), &listener, 75, 20, nullptr);
    overlay->addView(kick);
    auto* under = add(new COnOffButton(CRect(0, 0, 300, 300), &listener, 1, nullptr));
    frame->addView(overlay);
    EXPECT_EQ(kick->getFrameRect(), CRect(155, 97, 195, 117));
    click(frame, CPoint(156, 98));
    EXPECT_EQ(listener.values, (std::vector<float>{1.f, 0.f})) << "front-most view takes it";
    EXPECT_FLOAT_EQ(under->getValue(), 0.f);
    click(frame, CPoint(154, 98));
    EXPECT_FLOAT_EQ(under->getValue(), 1.f);
}

TEST_F(Controls, HugeOrNegativeSizesDrawAndTrackWithoutOverflow) {
    addStripImage(640, 10, 10, 4);
    CBitmap* strip = new CBitmap(640);
    const long huge = std::numeric_limits<long>::max();
    const long tiny = std::numeric_limits<long>::min();
    auto* knob = add(new CAnimKnob(CRect(tiny, tiny, huge, huge), &listener, 1, huge, huge, strip));
    add(new CVerticalSwitch(CRect(30, 0, 50, 20), &listener, 2, -3, -20, tiny, strip));
    add(new CVerticalSlider(CRect(50, 50, 10, 10), &listener, 3, huge, tiny, strip, strip));
    strip->forget();
    knob->setValue(1.f);
    frame->redraw();
    drag(CPoint(5, 5), CPoint(5, tiny));
    EXPECT_FLOAT_EQ(knob->getValue(), 1.f);
    drag(CPoint(5, 5), CPoint(5, huge));
    EXPECT_FLOAT_EQ(knob->getValue(), 0.f);
    click(frame, CPoint(35, 5));
    frame->update();
}

TEST_F(Controls, ValuesStayWithinRangeAndALabelDrawsItsText) {
    auto* meter = add(new CMovieBitmap(CRect(0, 0, 10, 10), nullptr, 55, 4, 10, nullptr));
    meter->setValue(7.f);
    EXPECT_FLOAT_EQ(meter->getValue(), 1.f);
    meter->setValue(-1.f);
    EXPECT_FLOAT_EQ(meter->getValue(), 0.f);
    meter->setValue(std::numeric_limits<float>::quiet_NaN());
    EXPECT_FLOAT_EQ(meter->getValue(), 0.f);

    page->setBackgroundColor(kBlackCColor);
    // Text that is not UTF-8 must not stop the drawing of what comes after it.
    auto* bad = add(new CTextLabel(CRect(100, 140, 160, 170), "\xff\xfe bad"));
    auto* label = add(new CTextLabel(CRect(100, 100, 160, 130), "OFF"));
    for (CTextLabel* each : {bad, label}) {
        each->setFont(kNormalFontVeryBig);
        each->setFontColor(kRedCColor);
        each->setTransparency(true);
    }
    frame->redraw();
    int red = 0;
    for (CCoord y = 100; y < 130; ++y)
        for (CCoord x = 100; x < 160; ++x)
            red += pixelAt(frame, x, y) == kRedCColor;
    EXPECT_GT(red, 20);
    EXPECT_EQ(pixelAt(frame, 101, 101), kBlackCColor) << "transparent: the page shows";
}

TEST_F(Controls, WheelTurnsKnobsAndSlidersAsOneEditPerNotchAndNothingElse) {
    auto* knob = add(new CAnimKnob(CRect(10, 10, 50, 50), &listener, 5, 76, 40, nullptr));
    auto* slider =
        add(new CVerticalSlider(CRect(60, 10, 80, 110), &listener, 6, 10, 90, nullptr, nullptr));
    add(new CVerticalSwitch(CRect(100, 10, 120, 30), &listener, 7, 2, 20, 2, nullptr));
    add(new COnOffButton(CRect(130, 10, 150, 30), &listener, 8, nullptr));
    knob->setValue(0.5f);
    knob->setWheelInc(0.25f);
    frame->platformMouseWheel(CPoint(30, 30), 1.f, 0);
    frame->platformMouseWheel(CPoint(30, 30), -2.f, kShift); // a tenth of the step
    EXPECT_FLOAT_EQ(knob->getValue(), 0.7f);
    frame->platformMouseWheel(CPoint(70, 50), 1.f, 0);
    EXPECT_FLOAT_EQ(slider->getValue(), 0.1f);
    // Beyond the end, with no number, on a switch or a button, or during a
    // drag: no edit reaches the listener.
    frame->platformMouseWheel(CPoint(30, 30), 9.f, 0);
    const std::vector<float> told = listener.values;
    frame->platformMouseWheel(CPoint(30, 30), 1.f, 0);
    frame->platformMouseWheel(CPoint(30, 30), std::numeric_limits<float>::quiet_NaN(), 0);
    frame->platformMouseWheel(CPoint(110, 25), 1.f, kLButton);
    frame->platformMouseWheel(CPoint(140, 20), -1.f, kLButton);
    frame->platformMouseDown(CPoint(30, 30), kLButton);
    frame->platformMouseWheel(CPoint(30, 30), -1.f, kLButton);
    frame->platformMouseUp(CPoint(30, 30), kLButton);
    EXPECT_EQ(listener.values, told);
    EXPECT_EQ(told, (std::vector<float>{0.75f, 0.7f, 0.1f, 1.f}));
    EXPECT_EQ(listener.begins, 5); // four notched edits and the drag
    EXPECT_EQ(listener.ends, 5);
}

TEST_F(Controls, AnUpdateRedrawsEachDirtyViewsOwnRectangleAndMakesTheSamePicture) {
    addStripImage(620, 12, 36, 4);  // meter
    addStripImage(621, 40, 40, 76); // knob
    CBitmap* meterImage = new CBitmap(620);
    CBitmap* knobImage = new CBitmap(621);
    std::vector<CControl*> meters;
    for (int i = 0; i < 3; ++i) {
        meters.push_back(add(new CMovieBitmap(CRect(10 + 60 * i, 20, 22 + 60 * i, 56), nullptr, 0,
                                              4, 36, meterImage)));
        add(new CAnimKnob(CRect(25 + 60 * i, 18, 65 + 60 * i, 58), &listener, i, 76, 40, knobImage))
            ->setValue(0.3f);
    }
    meterImage->forget();
    knobImage->forget();
    frame->update();
    const auto before = frame->getPixelsDrawn();
    for (CControl* meter : meters)
        meter->setValue(0.4f);
    frame->update();
    EXPECT_EQ(frame->getPixelsDrawn() - before, 3u * 12 * 36); // not the 172 x 36 box
    cairo_surface_t* surface = frame->getSurface();
    cairo_surface_flush(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    const std::vector<unsigned char> pieces(data,
                                            data + 300 * cairo_image_surface_get_stride(surface));
    frame->redraw();
    EXPECT_TRUE(std::equal(pieces.begin(), pieces.end(), data));
    EXPECT_EQ(pixelAt(frame, 15, 30).green, frameColor(1).green);
}
