// Three host threads at once, as in a session where the user automates and
// loads presets while the transport runs: the audio thread processes, a
// parameter thread automates and changes programs (and reads texts back as
// a host's generic editor does), and an import thread loads presets the way
// a host imports a file for an effect without chunks: setParameter of the 53
// values, one after another. The ThreadSanitizer build runs this for 20 s.
//
// Afterwards the effect must hold what it shows: a fresh instance given the
// final values (and the final program) sounds the same once both have
// settled. Settled means: chorus and reverb switched off in both, since the
// chorus phase and the reverb tails carry the whole history on, and the same
// music played through both for three seconds, so that envelopes and filter
// states (whose differences decay, but never end exactly) have converged.
// Over the last second the outputs then agree within 1e-4 (-80 dB); a
// parameter whose value reached the engine differently from the table would
// miss that by orders of magnitude.
#include "support/waiting.h"
#include "validation/loaded_plugin.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <random>
#include <thread>

namespace validation {
namespace {

using Clock = std::chrono::steady_clock;

// The order in which preset files list the parameters.
constexpr int kFileOrder[kParameters] = {0,  2,  1,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13,
                                         14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27,
                                         28, 29, 30, 31, 32, 33, 34, 48, 35, 36, 37, 38, 39, 40,
                                         41, 42, 43, 44, 45, 46, 47, 49, 50, 51, 52};

double stressSeconds() {
    if (kThreadSanitized) return 20.0;
    return kSanitized ? 4.0 : 3.0;
}

TEST(ThreadStressTest, AudioAutomationAndPresetImportTogetherLeaveTheEffectConsistent) {
    LoadedPlugin stressed;
    ASSERT_NE(stressed.effect, nullptr);
    stressed.start(44100.0f, 4096);

    // The factory programs' values, as presets to import.
    std::vector<std::vector<float>> presets;
    for (int p = 0; p < kPrograms; ++p) {
        stressed.selectProgram(p);
        std::vector<float> values;
        for (int i = 0; i < kParameters; ++i)
            values.push_back(stressed.parameter(i));
        presets.push_back(values);
    }
    stressed.selectProgram(2);

    std::atomic<bool> stop{false};
    std::atomic<long> blocks{0}, automations{0}, imports{0};
    std::atomic<bool> finite{true};

    std::thread audio([&] {
        const Stereo music = bassInput(44100.0, 2.0);
        std::mt19937 random(41);
        std::uniform_int_distribution<int> size(1, 4096);
        std::vector<float> out0(4096), out1(4096);
        size_t at = 0;
        while (!stop.load()) {
            const int n = size(random);
            if (at + static_cast<size_t>(n) > music.size()) at = 0;
            std::vector<float> in0(music.left.begin() + static_cast<long>(at),
                                   music.left.begin() + static_cast<long>(at) + n);
            std::vector<float> in1(music.right.begin() + static_cast<long>(at),
                                   music.right.begin() + static_cast<long>(at) + n);
            at += static_cast<size_t>(n);
            float* inputs[2] = {in0.data(), in1.data()};
            float* outputs[2] = {out0.data(), out1.data()};
            stressed.process(inputs, outputs, n);
            for (int i = 0; i < n; ++i)
                if (!std::isfinite(out0[static_cast<size_t>(i)]) ||
                    !std::isfinite(out1[static_cast<size_t>(i)]))
                    finite.store(false);
            blocks.fetch_add(1);
        }
    });

    std::thread automation([&] {
        std::mt19937 random(42);
        std::uniform_real_distribution<float> unit(0.0f, 1.0f);
        char text[64];
        while (!stop.load()) {
            const int what = static_cast<int>(random() % 100);
            if (what < 2) {
                stressed.call(effSetProgram, 0, static_cast<VstIntPtr>(random() % kPrograms));
            } else if (what < 4) {
                stressed.call(effGetProgramName, 0, 0, text);
                stressed.call(effGetProgramNameIndexed, static_cast<VstInt32>(random() % kPrograms),
                              0, text);
            } else if (what < 5) {
                char name[] = "Automated";
                stressed.call(effSetProgramName, 0, 0, name);
            } else {
                const int index = static_cast<int>(random() % kParameters);
                stressed.setParameter(index, unit(random));
                stressed.call(effGetParamDisplay, index, 0, text);
                stressed.parameter(index);
            }
            automations.fetch_add(1);
        }
    });

    std::thread importer([&] {
        std::mt19937 random(43);
        std::uniform_real_distribution<float> unit(0.0f, 1.0f);
        while (!stop.load()) {
            // A factory preset, or one with random values.
            std::vector<float> values = presets[random() % presets.size()];
            if (random() % 2 == 0)
                for (float& v : values)
                    v = unit(random);
            for (int index : kFileOrder)
                stressed.setParameter(index, values[static_cast<size_t>(index)]);
            imports.fetch_add(1);
            std::this_thread::sleep_for(std::chrono::milliseconds(random() % 3));
        }
    });

    // The stress time, and on a busy machine longer: until every thread has
    // done its share.
    const auto stress =
        std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(stressSeconds()));
    const auto until = Clock::now() + stress;
    const testing_support::Deadline deadline(stress + testing_support::kPatience);
    while ((Clock::now() < until || blocks.load() < 100 || imports.load() < 10 ||
            automations.load() <= 1000) &&
           !deadline.passed())
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    stop.store(true);
    audio.join();
    automation.join();
    importer.join();
    EXPECT_TRUE(finite.load());
    EXPECT_GE(blocks.load(), 100);
    EXPECT_GE(imports.load(), 10);
    EXPECT_GT(automations.load(), 1000);

    // A fresh instance given the final program and values.
    const int program = static_cast<int>(stressed.call(effGetProgram));
    std::vector<float> values;
    for (int i = 0; i < kParameters; ++i)
        values.push_back(stressed.parameter(i));
    LoadedPlugin fresh;
    fresh.start(44100.0f, 4096);
    fresh.selectProgram(program);
    for (int i = 0; i < kParameters; ++i)
        fresh.setParameter(i, values[static_cast<size_t>(i)]);
    for (int i = 0; i < kParameters; ++i)
        ASSERT_EQ(fresh.parameter(i), values[static_cast<size_t>(i)]) << i;

    // Settle both, then compare.
    const Stereo music = bassInput(44100.0, 3.0);
    for (LoadedPlugin* p : {&stressed, &fresh}) {
        p->setParameter(27, 0.0f); // chorus off
        p->setParameter(31, 0.0f); // reverb off
    }
    const Stereo a = render(stressed, music, 512);
    const Stereo b = render(fresh, music, 512);
    double largest = 0.0;
    for (size_t i = 2 * 44100; i < music.size(); ++i)
        largest = std::max({largest, std::fabs(static_cast<double>(a.left[i]) - b.left[i]),
                            std::fabs(static_cast<double>(a.right[i]) - b.right[i])});
    EXPECT_LT(largest, 1e-4) << "program " << program;
    EXPECT_GT(rms(b.left.data(), b.size()), 1e-3) << "the comparison needs sound";
}

TEST(ThreadStressTest, SettersRacingOnOneParameterLeaveTheSoundAndTheProgramOnTheShownValue) {
    // Four threads set the volume to four different values as fast as they
    // can and stop together. Whichever value the table shows afterwards, the
    // engine plays it and the current program holds it.
    LoadedPlugin plugin;
    ASSERT_NE(plugin.effect, nullptr);
    plugin.start(44100.0f, 4096);
    plugin.selectProgram(2);
    constexpr int kVolume = 52;
    const float values[4] = {0.0f, 0.33f, 0.67f, 1.0f};
    const Stereo music = bassInput(44100.0, 4096.0 / 44100.0);
    auto levelNow = [&] {
        // One block lets the volume's coefficient fade finish.
        const Stereo out = render(plugin, music, 4096);
        return rms(out.left.data() + 3000, 1000);
    };
    double levelOf[4];
    for (int k = 0; k < 4; ++k) {
        plugin.setParameter(kVolume, values[k]);
        levelNow();
        levelOf[k] = levelNow();
    }

    const int trials = kSanitized ? 100 : 300;
    for (int trial = 0; trial < trials; ++trial) {
        // Four setters at once, until each has set its value many times
        // while the others were running (and at most the common bound).
        std::atomic<bool> stop{false};
        std::atomic<int> ready{0};
        std::atomic<long> sets[4] = {};
        std::vector<std::jthread> setters;
        for (int k = 0; k < 4; ++k) {
            setters.emplace_back([&, k] {
                ready.fetch_add(1);
                while (ready.load() < 4)
                    std::this_thread::yield();
                for (; !stop.load(std::memory_order_relaxed); ++sets[k])
                    plugin.setParameter(kVolume, values[k]);
            });
        }
        EXPECT_TRUE(testing_support::waitUntil([&] {
            return std::all_of(std::begin(sets), std::end(sets),
                               [](const std::atomic<long>& n) { return n.load() >= 100; });
        }));
        stop.store(true);
        setters.clear(); // joins

        const float shown = plugin.parameter(kVolume);
        const int k = static_cast<int>(std::find(values, values + 4, shown) - values);
        ASSERT_LT(k, 4) << shown;
        const double level = levelNow();
        ASSERT_NEAR(level / levelOf[k], 1.0, 0.05) << "trial " << trial << ": the table shows "
                                                   << shown << ", the engine plays another value";
        plugin.selectProgram(3);
        plugin.selectProgram(2);
        ASSERT_EQ(plugin.parameter(kVolume), shown) << "trial " << trial;
    }
}

} // namespace
} // namespace validation
