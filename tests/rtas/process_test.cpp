// The RTAS binding linked in: the process with its effect in reach, the
// effect's automation, the RTAS build of the effect, and the custom UI and
// host view in front of a recording editor.
#include "rtas_host.h"

#include "platform/rtas/controls.h"
#include "platform/rtas/errors.h"
#include "platform/rtas/process_group.h"
#include "rtas/custom_ui.h"
#include "rtas/template_process.h"
#include "source/effect.h"
#include "support/allocation_counter.h"
#include "vst/aeffeditor.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

using namespace rtas_test;

namespace {

constexpr long kBypassControl = kNumParams + 1;

// A stereo process as the library makes one, with its effect in reach.
class ProbedProcess : public CTemplateNoUIProcessRTAS {
public:
    ProbedProcess() {
        SetChannels(2, 2);
        EffectInit();
    }
    Effect& effect() { return *static_cast<Effect*>(mEffect); }
};

// What an editor was asked to do, in order.
struct EditorLog {
    std::vector<std::string> calls;
    short resourceFileWhileOpening = -1;
};

class RecordingEditor : public AEffEditor {
public:
    explicit RecordingEditor(EditorLog& into) : log(into) {}
    ~RecordingEditor() override { log.calls.push_back("deleted"); }
    bool open(void* window) override {
        log.calls.push_back("open " + std::to_string(reinterpret_cast<std::uintptr_t>(window)));
        log.resourceFileWhileOpening = CProcessGroup::CurrentResourceFile();
        return AEffEditor::open(window);
    }
    void close() override {
        log.calls.push_back("close");
        AEffEditor::close();
    }
    void idle() override { log.calls.push_back("idle"); }
    void __drawDeprecated(ERect* r) override {
        log.calls.push_back("draw " + std::to_string(r->top) + " " + std::to_string(r->left) + " " +
                            std::to_string(r->bottom) + " " + std::to_string(r->right));
    }
    VstInt32 __mouseDeprecated(VstInt32 x, VstInt32 y) override {
        log.calls.push_back("mouse " + std::to_string(x) + " " + std::to_string(y));
        return 1;
    }

private:
    EditorLog& log;
};

} // namespace

TEST(RtasProcessTest, ControlsDriveTheParameterOneBelowAndBypassNone) {
    BoundHost<> bound;
    ProbedProcess process;
    Effect& effect = process.effect();
    ASSERT_EQ(process.SetControlValue(1, controlValueFor(process, 1, 1.0)), noErr);
    EXPECT_EQ(effect.getParameter(0), 1.0f);
    ASSERT_EQ(process.SetControlValue(kNumParams, controlValueFor(process, kNumParams, 0.25)),
              noErr);
    EXPECT_EQ(effect.getParameter(kNumParams - 1), 0.25f);

    std::vector<float> before(kNumParams);
    for (int i = 0; i < kNumParams; ++i)
        before[static_cast<std::size_t>(i)] = effect.getParameter(i);
    process.SetControlValue(kBypassControl, 1);
    process.UpdateControlValueInAlgorithm(0);
    process.UpdateControlValueInAlgorithm(kBypassControl + 1);
    for (int i = 0; i < kNumParams; ++i)
        EXPECT_EQ(effect.getParameter(i), before[static_cast<std::size_t>(i)]) << i;
    EXPECT_TRUE(process.IsBypassed());
}

TEST(RtasProcessTest, EditorAutomationArrivesAsTouchValueReleaseOfTheNextControl) {
    BoundHost<> bound;
    ProbedProcess process;
    Effect& effect = process.effect();
    // What the editor does when a knob of parameter 52 is dragged to the top.
    effect.beginEdit(52);
    effect.setParameterAutomated(52, 1.0f);
    effect.endEdit(52);
    const long top = controlValueFor(process, kNumParams, 1.0);
    EXPECT_EQ(bound.host.gestures,
              (std::vector<Gesture>{{'t', 53, 0}, {'v', 53, top}, {'r', 53, 0}}));
    EXPECT_EQ(effect.getParameter(52), 1.0f);

    // The editor-only tags and everything but the three requests go nowhere.
    bound.host.gestures.clear();
    effect.beginEdit(75);
    effect.setParameterAutomated(76, 0.5f);
    EXPECT_EQ(CTemplateNoUIProcess::VSTCallback(effect.getAeffect(), audioMasterVersion, 0, 0,
                                                nullptr, 0.0f),
              0);
    EXPECT_TRUE(bound.host.gestures.empty());

    // An effect record without a process in it does nothing.
    AEffect stranger{};
    EXPECT_EQ(
        CTemplateNoUIProcess::VSTCallback(&stranger, audioMasterAutomate, 0, 0, nullptr, 1.0f), 0);
    EXPECT_EQ(CTemplateNoUIProcess::VSTCallback(nullptr, audioMasterBeginEdit, 0, 0, nullptr, 0.0f),
              0);
    EXPECT_TRUE(bound.host.gestures.empty());
}

TEST(RtasProcessTest, RenderingAllocatesNothingAfterTheFirstBlock) {
    BoundHost<> bound;
    ProbedProcess process;
    std::vector<float> left(512, 0.1f), right(512, -0.1f), outLeft(512), outRight(512);
    float* in[2] = {left.data(), right.data()};
    float* out[2] = {outLeft.data(), outRight.data()};
    process.RenderAudio(in, out, 512);
    testing_support::AllocationScope scope;
    for (int block = 0; block < 4; ++block)
        process.RenderAudio(in, out, 256 + block * 64);
    long meters[2];
    bool clipped[2];
    process.GetMetersFromDSPorRTAS(meters, clipped);
    EXPECT_EQ(scope.count(), 0u);
}

TEST(RtasEffectBuildTest, StartsWithOneSampleBuffersAndLeavesBypassToTheHost) {
    std::unique_ptr<AudioEffect> made(createEffectInstance(nullptr));
    auto& effect = static_cast<Effect&>(*made);
    EXPECT_EQ(effect.getBufferSize(), 1);
    AEffect* record = effect.getAeffect();
    EXPECT_EQ(record->dispatcher(record, effSetBypass, 0, 1, nullptr, 0.0f), 0);

    // The engine still runs: the output is not the input copied.
    std::vector<float> input(300, 0.25f), left(300), right(300);
    float* in[2] = {input.data(), nullptr};
    float* out[2] = {left.data(), right.data()};
    effect.processReplacing(in, out, 300);
    EXPECT_EQ(effect.getBufferSize(), 300);
    EXPECT_NE(left, input);
}

TEST(RtasViewTest, TheCustomUiOpensDrawsAndClicksTheEditor) {
    BoundHost<> bound;
    bound.bundle.resourceFile = 42;
    EditorLog log;
    {
        ProbedProcess process;
        process.effect().setEditor(new RecordingEditor(log));
        std::unique_ptr<CPlugInView> window(process.CreateCPlugInView());
        ASSERT_NE(window, nullptr);

        // No port before any port: nothing to close.
        process.SetViewPort(nullptr);
        OpaqueGrafPort port{0x2a00007};
        process.SetViewPort(&port);
        EXPECT_EQ(log.calls, (std::vector<std::string>{"open 44040199", "draw 0 0 336 701"}));
        EXPECT_EQ(log.resourceFileWhileOpening, 42);
        EXPECT_NE(CProcessGroup::CurrentResourceFile(), 42);

        log.calls.clear();
        Rect area{5, 6, 7, 8}; // top, left, bottom, right
        window->DrawContents(&area);
        EventRecord click{};
        click.where = Point{40, 120};
        window->MouseCommand(&click);
        process.DoTokenIdle();
        process.SetViewPort(nullptr);
        process.SetViewPort(&port);
        EXPECT_EQ(log.calls,
                  (std::vector<std::string>{"draw 5 6 7 8", "mouse 120 40", "idle", "close",
                                            "open 44040199", "draw 0 0 336 701"}));
        log.calls.clear();
        process.SetViewPort(nullptr);
        window.reset();
    }
    // The process closed the editor with the port; the effect deleted it.
    EXPECT_EQ(log.calls, (std::vector<std::string>{"close", "deleted"}));
}
