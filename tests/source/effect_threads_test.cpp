// Hosts change parameters, programs and the sample rate on their own threads
// while the audio thread processes. Run under ThreadSanitizer in CI.
#include "source/effect.h"
#include "source/import_export.h"
#include "support/waiting.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <memory>
#include <random>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

TEST(EffectThreadsTest, AutomationAndProgramChangesDuringAudioKeepTheOutputFinite) {
    auto effect = std::make_unique<Effect>(nullptr);
    std::atomic<bool> stop{false};
    std::atomic<long> blocks{0};
    std::atomic<bool> finite{true};

    std::thread audio([&] {
        std::mt19937 random(1);
        std::vector<float> in(4096), left(4096), right(4096);
        long t = 0;
        while (!stop.load()) {
            const int n = 1 + static_cast<int>(random() % 4096);
            for (int i = 0; i < n; ++i, ++t)
                in[i] = static_cast<float>(0.3 * std::sin(0.02 * t));
            float* inputs[2] = {in.data(), in.data()};
            float* outputs[2] = {left.data(), right.data()};
            effect->processReplacing(inputs, outputs, n);
            for (int i = 0; i < n; ++i)
                if (!std::isfinite(left[i]) || !std::isfinite(right[i])) finite.store(false);
            blocks.fetch_add(1);
        }
    });
    auto automation = [&](unsigned seed) {
        std::mt19937 random(seed);
        std::uniform_real_distribution<float> unit(0.0f, 1.0f);
        char text[32];
        while (!stop.load()) {
            const int what = static_cast<int>(random() % 100);
            if (what < 3) {
                effect->setProgram(static_cast<int>(random() % kNumPrograms));
            } else if (what < 5) {
                effect->getProgramNameIndexed(0, static_cast<int>(random() % kNumPrograms), text);
                effect->getProgramName(text);
            } else if (what < 6) {
                effect->setBypass(random() % 4 == 0);
            } else {
                const int index = static_cast<int>(random() % kNumParams);
                effect->setParameter(index, unit(random));
                effect->getParameterDisplay(index, text);
                effect->getParameter(index);
            }
            effect->VUState(1 + static_cast<int>(random() % 6));
        }
    };
    std::thread first(automation, 2u), second(automation, 3u);
    // The sleeps below only spread the rate changes and presets over the run;
    // the run lasts until each has happened while audio plays.
    std::atomic<int> rateChanges{0}, presetLoads{0};
    std::thread rates([&] {
        const float choices[] = {44100.0f, 48000.0f, 96000.0f};
        for (int k = 0; k < 3 && !stop.load(); ++k, ++rateChanges) {
            std::this_thread::sleep_for(100ms);
            effect->setSampleRate(choices[k]);
        }
    });
    std::thread presets([&] {
        for (; !stop.load(); ++presetLoads) {
            SetXMLPreset("<TarvexPreset mode=\"1\" cabinet=\"1\"/>", effect.get());
            std::this_thread::sleep_for(20ms);
        }
    });

    // 1.5 s, and on a busy machine longer: until the audio thread has run 50
    // blocks, every rate change is made and presets have been loaded.
    const auto until = std::chrono::steady_clock::now() + 1500ms;
    const auto done = [&] {
        return std::chrono::steady_clock::now() >= until && blocks.load() >= 50 &&
               rateChanges.load() == 3 && presetLoads.load() >= 10;
    };
    const testing_support::Deadline deadline;
    while (!done() && !deadline.passed())
        std::this_thread::sleep_for(10ms);
    stop.store(true);
    audio.join();
    first.join();
    second.join();
    rates.join();
    presets.join();
    EXPECT_GE(blocks.load(), 50);
    EXPECT_EQ(rateChanges.load(), 3);
    EXPECT_GE(presetLoads.load(), 10);
    EXPECT_TRUE(finite.load());

    // Every program slot still holds 53 values from some program or edit, and
    // the table answers at once.
    for (int i = 0; i < kNumParams; ++i)
        EXPECT_TRUE(std::isfinite(effect->getParameter(i)));
}

// Two program changes at once must not write one program's values into the
// other's slot.
TEST(EffectThreadsTest, ConcurrentProgramChangesKeepEveryProgramIntact) {
    auto effect = std::make_unique<Effect>(nullptr);
    std::vector<std::vector<float>> before(kNumPrograms, std::vector<float>(kNumParams));
    for (int p = 0; p < kNumPrograms; ++p) {
        effect->setProgram(p);
        for (int i = 0; i < kNumParams; ++i)
            before[p][i] = effect->getParameter(i);
    }
    auto switcher = [&](unsigned seed) {
        std::mt19937 random(seed);
        for (int k = 0; k < 400; ++k)
            effect->setProgram(static_cast<int>(random() % kNumPrograms));
    };
    std::thread a(switcher, 5u), b(switcher, 6u), c(switcher, 7u);
    a.join();
    b.join();
    c.join();
    for (int p = 0; p < kNumPrograms; ++p) {
        effect->setProgram(p);
        for (int i = 0; i < kNumParams; ++i)
            ASSERT_EQ(effect->getParameter(i), before[p][i]) << p << " " << i;
    }
}

} // namespace
