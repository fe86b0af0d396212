// Host automation and program changes on two threads while the user-interface
// thread opens, idles and closes the window: the controls are only ever
// touched by the user-interface thread (ThreadSanitizer builds check), and
// after the last idle every control shows the effect's value.
#include "editor/effect_editor.h"
#include "source/effect.h"
#include "support/waiting.h"

#include <gtest/gtest.h>

#include <atomic>

#include <random>
#include <thread>

namespace {

TEST(EditorThreadsTest, ControlsFollowAutomationAndProgramsFromOtherThreads) {
    Effect effect(nullptr);
    auto* editor = static_cast<EffectEditor*>(effect.getEditor());

    // Stopped and joined on every way out, a failed assertion's included.
    std::atomic<long> automated{0}, selected{0};
    std::jthread automation([&](std::stop_token stop) {
        std::mt19937 random(7);
        std::uniform_int_distribution<int> index(0, kNumParams - 1);
        std::uniform_real_distribution<float> value(0.0f, 1.0f);
        for (; !stop.stop_requested(); ++automated)
            effect.setParameter(index(random), value(random));
    });
    std::jthread programs([&](std::stop_token stop) {
        for (int program = 0; !stop.stop_requested(); ++selected) {
            effect.setProgram(program);
            program = (program + 7) % kNumPrograms;
        }
    });

    // At least 20 cycles, and on until both threads have made changes while
    // the window opens and closes, however late the machine lets them run.
    const long automatedBefore = automated, selectedBefore = selected;
    const testing_support::Deadline deadline;
    for (int cycle = 0;
         cycle < 20 || automated < automatedBefore + 100 || selected < selectedBefore + 20;
         ++cycle) {
        ASSERT_FALSE(deadline.passed()) << automated << " automations, " << selected << " programs";
        ASSERT_TRUE(editor->openOffscreen());
        for (int i = 0; i < 10; ++i) {
            editor->idle();
            if (i == 5) editor->showAbout();
            if (i == 7) editor->showGui();
        }
        editor->close();
    }
    ASSERT_TRUE(editor->openOffscreen());
    for (int i = 0; i < 20; ++i)
        editor->idle();
    automation.request_stop();
    programs.request_stop();
    automation.join();
    programs.join();

    editor->idle();
    for (int entry = 0; entry < EffectEditor::kNumControls; ++entry) {
        const long tag = editor->getControl(entry)->getTag();
        if (entry == 66 || tag < 0 || tag >= kNumParams) continue; // 66: the tuner label
        EXPECT_FLOAT_EQ(editor->getControl(entry)->getValue(), effect.getParameter(tag))
            << "control " << entry << " tag " << tag;
    }
    editor->close();
}

} // namespace
