// The editor on an off-screen frame: the wheel over its controls reaches the
// host as a drag does, and moving meters redraw nothing but themselves.
#include "editor/effect_editor.h"
#include "source/effect.h"

#include <gtest/gtest.h>

#include <cmath>
#include <ctime>
#include <memory>
#include <vector>

namespace {

struct HostCall {
    VstInt32 opcode;
    VstInt32 index;
    float value;
    bool operator==(const HostCall&) const = default;
};

std::vector<HostCall>* hostCalls = nullptr;

VstIntPtr recordingHost(AEffect*, VstInt32 opcode, VstInt32 index, VstIntPtr, void*, float opt) {
    if (opcode == audioMasterVersion) return 2400;
    if (hostCalls != nullptr && (opcode == audioMasterAutomate || opcode == audioMasterBeginEdit ||
                                 opcode == audioMasterEndEdit))
        hostCalls->push_back({opcode, index, opt});
    return 0;
}

CPoint centreOf(const CControl* control) {
    const CRect r = control->getFrameRect();
    return CPoint((r.left + r.right) / 2, (r.top + r.bottom) / 2);
}

class EditorMetersAndWheel : public ::testing::Test {
protected:
    void SetUp() override {
        hostCalls = &calls;
        effect = std::make_unique<Effect>(recordingHost);
        editor = static_cast<EffectEditor*>(effect->getEditor());
        ASSERT_TRUE(editor->open(nullptr));
    }
    void TearDown() override {
        effect.reset();
        hostCalls = nullptr;
    }
    CFrame* frame() { return editor->getFrame(); }

    std::vector<HostCall> calls;
    std::unique_ptr<Effect> effect;
    EffectEditor* editor = nullptr;
};

TEST_F(EditorMetersAndWheel, AWheelNotchOnAKnobOrSliderIsOneEditOfTheHostAndSwitchesIgnoreIt) {
    effect->setParameter(9, 0.5f);  // BassA, a knob (entry 12)
    effect->setParameter(35, 0.5f); // the first equaliser band, a slider (entry 45)
    frame()->platformMouseWheel(centreOf(editor->getControl(12)), 1.f, 0);
    frame()->platformMouseWheel(centreOf(editor->getControl(45)), -1.f, kShift);
    const std::vector<HostCall> expected = {
        {audioMasterBeginEdit, 9, 0.f},   {audioMasterAutomate, 9, 0.6f},
        {audioMasterEndEdit, 9, 0.f},     {audioMasterBeginEdit, 35, 0.f},
        {audioMasterAutomate, 35, 0.49f}, {audioMasterEndEdit, 35, 0.f},
    };
    ASSERT_EQ(calls.size(), expected.size());
    for (size_t i = 0; i < calls.size(); ++i) {
        EXPECT_EQ(calls[i].opcode, expected[i].opcode) << i;
        EXPECT_EQ(calls[i].index, expected[i].index) << i;
        EXPECT_NEAR(calls[i].value, expected[i].value, 1e-6f) << i;
    }
    EXPECT_NEAR(effect->getParameter(9), 0.6f, 1e-6f);

    // A channel switch (entry 1), a lamp (entry 5) and the about area (entry 70).
    calls.clear();
    for (int entry : {1, 5, 70})
        frame()->platformMouseWheel(centreOf(editor->getControl(entry)), 1.f, 0);
    EXPECT_TRUE(calls.empty());
    EXPECT_FALSE(editor->isAboutShown());
}

TEST_F(EditorMetersAndWheel, WhileOnlyTheMetersMoveAnIdleRedrawsTheMetersAlone) {
    std::vector<float> in(1024), out0(1024), out1(1024);
    float* inputs[2] = {in.data(), in.data()};
    float* outputs[2] = {out0.data(), out1.data()};
    frame()->update();
    for (const float level : {0.9f, 0.2f}) {
        for (size_t i = 0; i < in.size(); ++i)
            in[i] = level * static_cast<float>(std::sin(0.05 * static_cast<double>(i)));
        for (int b = 0; b < 20; ++b)
            effect->processReplacing(inputs, outputs, 1024);
        // Spends process time until the refresh throttle lets the next idle through.
        const std::clock_t start = std::clock();
        volatile double sink = 0.0;
        while (static_cast<unsigned long>(std::clock() - start) < 60000UL)
            sink = sink + std::sqrt(static_cast<double>(start));
        const auto before = frame()->getPixelsDrawn();
        editor->idle();
        // Four 12 x 36 meters and two of 20 x 20, not the 392 x 165 box around them.
        EXPECT_EQ(frame()->getPixelsDrawn() - before, 4u * 12 * 36 + 2u * 20 * 20) << level;
    }
    EXPECT_GT(editor->getControl(60)->getValue(), 0.f); // the input meter moved
}

} // namespace
