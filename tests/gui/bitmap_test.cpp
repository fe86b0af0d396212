// Bitmaps and views: loading, drawing, and who keeps what alive.
#include "gui_test_support.h"

#include <gtest/gtest.h>

using namespace guitest;

namespace {

// Counts destructions so a test can see exactly when a view goes.
struct CountedView : CView {
    CountedView(const CRect& rect, int& counter) : CView(rect), deaths(counter) {}
    ~CountedView() override { ++deaths; }
    int& deaths;
};

} // namespace

TEST(Bitmap, MissingOrUndecodableImageIsEmptyAndDrawingItDoesNothing) {
    addRawImage(601, {0x89, 'P', 'N', 'G', 1, 2, 3});
    for (long number : {600L, 601L, -5L}) {
        CBitmap* bitmap = new CBitmap(number);
        EXPECT_FALSE(bitmap->isLoaded()) << number;
        EXPECT_EQ(bitmap->getWidth(), 0);
        EXPECT_EQ(bitmap->getHeight(), 0);
        // Controls built on it are built all the same and draw nothing.
        CFrame* frame = CFrame::createOffscreen(CRect(0, 0, 40, 40));
        auto* container = new CViewContainer(CRect(0, 0, 40, 40), frame, nullptr);
        container->setBackgroundColor(kRedCColor);
        container->addView(new CAnimKnob(CRect(0, 0, 40, 40), nullptr, 1, 76, 40, bitmap));
        container->addView(
            new CVerticalSlider(CRect(0, 0, 20, 40), nullptr, 2, 0, 30, bitmap, bitmap));
        frame->addView(container);
        bitmap->forget();
        frame->redraw();
        EXPECT_EQ(pixelAt(frame, 10, 10), kRedCColor);
        delete frame;
    }
}

TEST(Bitmap, DrawsTheSubImageThatTheValueSelects) {
    addStripImage(602, 10, 10, 4);
    CBitmap* strip = new CBitmap(602);
    ASSERT_EQ(strip->getHeight(), 40);
    CFrame* frame = CFrame::createOffscreen(CRect(0, 0, 30, 30));
    auto* meter = new CMovieBitmap(CRect(5, 5, 15, 15), nullptr, 55, 4, 10, strip);
    frame->addView(meter);
    strip->forget();
    // Indicator steps are (step - 1) / 3; each picks its own image.
    for (int step = 1; step <= 4; ++step) {
        meter->setValue(static_cast<float>(step - 1) / 3.f);
        frame->update();
        EXPECT_EQ(pixelAt(frame, 5, 5), frameColor(step - 1)) << step;
        EXPECT_EQ(pixelAt(frame, 14, 14), frameColor(step - 1)) << step;
        EXPECT_NE(pixelAt(frame, 15, 15), frameColor(step - 1)) << "drawn outside the control";
    }
    delete frame;
}

TEST(Bitmap, TransparentDrawingLeavesOutTheKeyColour) {
    addStripImage(603, 8, 8, 1);
    CBitmap* handle = new CBitmap(603);
    handle->setTransparentColor(frameColor(0));
    CFrame* frame = CFrame::createOffscreen(CRect(0, 0, 20, 40));
    frame->setBackgroundColor(kRedCColor);
    auto* slider = new CVerticalSlider(CRect(0, 0, 20, 40), nullptr, 1, 0, 32, handle, nullptr);
    slider->setTransparency(true);
    frame->addView(slider);
    handle->forget();
    frame->redraw();
    EXPECT_EQ(pixelAt(frame, 10, 35), kRedCColor) << "the key colour must not cover the background";
    delete frame;
}

TEST(ReferenceCounting, SharedBitmapLivesUntilTheLastForget) {
    addStripImage(604, 10, 10, 2);
    CBitmap* shared = new CBitmap(604);
    auto* first = new COnOffButton(CRect(0, 0, 10, 10), nullptr, 1, shared);
    auto* second = new CKickButton(CRect(0, 0, 10, 10), nullptr, 2, 10, shared);
    EXPECT_EQ(shared->getNbReference(), 3);
    shared->forget(); // the maker's reference
    first->forget();
    EXPECT_EQ(shared->getNbReference(), 1);
    // Still drawable through the remaining control (AddressSanitizer watches this).
    CFrame* frame = CFrame::createOffscreen(CRect(0, 0, 10, 10));
    frame->addView(second);
    frame->redraw();
    EXPECT_EQ(pixelAt(frame, 2, 2), frameColor(0));
    delete frame; // forgets the button, and with it the bitmap
}

TEST(ReferenceCounting, RemoveAllWithoutReleaseKeepsViewsAndForgetFreesThem) {
    int deaths = 0;
    CFrame* frame = CFrame::createOffscreen(CRect(0, 0, 100, 100));
    auto* main = new CViewContainer(CRect(0, 0, 100, 100), frame);
    auto* about = new CViewContainer(CRect(10, 10, 60, 60), frame);
    main->addView(new CountedView(CRect(0, 0, 5, 5), deaths));
    about->addView(new CountedView(CRect(0, 0, 5, 5), deaths));
    about->addView(new CountedView(CRect(5, 5, 9, 9), deaths));
    frame->addView(main);
    frame->addView(about);

    // Switching pages: the frame lets go of both, nothing is freed.
    frame->removeAll(false);
    EXPECT_EQ(frame->getNbViews(), 0);
    EXPECT_EQ(deaths, 0);
    EXPECT_FALSE(about->isAttached());
    EXPECT_FALSE(about->getView(0)->isAttached());
    frame->addView(main);
    frame->addView(about);
    EXPECT_EQ(about->getView(1)->getFrame(), frame);
    frame->redraw();

    frame->removeView(about, false);
    about->forget();
    EXPECT_EQ(deaths, 2);
    delete frame;
    EXPECT_EQ(deaths, 3);
}

TEST(ReferenceCounting, AViewForgottenWhileHeldLeavesNoDanglingEntry) {
    int deaths = 0;
    CFrame* frame = CFrame::createOffscreen(CRect(0, 0, 20, 20));
    auto* view = new CountedView(CRect(0, 0, 10, 10), deaths);
    frame->addView(view);
    view->forget();
    EXPECT_EQ(frame->getNbViews(), 0);
    frame->redraw();
    delete frame;
    EXPECT_EQ(deaths, 1);
}
