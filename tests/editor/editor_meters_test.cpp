// The editor on an off-screen frame: moving meters redraw nothing but themselves.
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

class EditorMeters : public ::testing::Test {
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

TEST_F(EditorMeters, WhileOnlyTheMetersMoveAnIdleRedrawsTheMetersAlone) {
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
