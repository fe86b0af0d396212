// Every sample rate a host offers, every block size a host uses, every
// factory program and random settings: the output holds no NaN, no infinity
// and no subnormal number.
#include "validation/loaded_plugin.h"

#include <gtest/gtest.h>

#include <random>

namespace validation {
namespace {

constexpr int kBlockSizes[] = {1, 2, 31, 64, 256, 1000, 4096, 8192};

// Bass line, then silence (tails ring out), at the given rate: long enough
// for two blocks of the largest size or 4096 samples, whichever is more.
Stereo testInput(double rate, int block) {
    const size_t frames = static_cast<size_t>(std::max(2 * block, 4096));
    Stereo x = bassInput(rate, static_cast<double>(frames) / rate);
    x.left.resize(frames);
    x.right.resize(frames);
    for (size_t i = frames / 2; i < frames; ++i)
        x.left[i] = x.right[i] = 0.0f;
    return x;
}

class RateBlockTest : public ::testing::TestWithParam<int> {};

TEST_P(RateBlockTest, EveryProgramAndRandomSettingsGiveCleanOutputInEveryBlockSize) {
    const float rate = static_cast<float>(GetParam());
    LoadedPlugin plugin;
    ASSERT_NE(plugin.effect, nullptr);
    plugin.start(rate, 8192);
    std::mt19937 random(static_cast<unsigned>(GetParam()));
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    for (int program = 0; program < kPrograms; ++program) {
        // Sanitizer builds cover every program and every block size at every
        // rate, but not every pair of them.
        for (int setting = 0; setting < 2; ++setting) {
            plugin.selectProgram(program);
            if (setting == 1)
                for (int i = 0; i < kParameters; ++i)
                    plugin.setParameter(i, unit(random));
            for (int b = 0; b < 8; ++b) {
                if (kSanitized && (program + b + setting) % 4 != GetParam() % 4) continue;
                const int block = kBlockSizes[b];
                SCOPED_TRACE(::testing::Message()
                             << "rate " << rate << " program " << program
                             << (setting ? " random" : " factory") << " block " << block);
                const Stereo out = render(plugin, testInput(rate, block), block);
                ASSERT_EQ(firstBadSample(out.left), -1);
                ASSERT_EQ(firstBadSample(out.right), -1);
            }
        }
    }
}

// Any rate the plug-in accepts, not only those hosts offer.
class FirstBlocksTest : public ::testing::TestWithParam<int> {};

TEST_P(FirstBlocksTest, FreshInstancesGiveCleanFirstBlocksForEveryProgramAndRandomSettings) {
    // A fresh instance's filters start from rest: their first responses
    // rise from far below the float range.
    const float rate = static_cast<float>(GetParam());
    std::mt19937 random(static_cast<unsigned>(GetParam()) + 1);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    const Stereo input = bassInput(rate, 8192.0 / rate);
    for (int program = 0; program < kPrograms; ++program) {
        for (int setting = 0; setting < (kSanitized ? 1 : 3); ++setting) {
            LoadedPlugin plugin;
            plugin.start(rate, 512);
            plugin.selectProgram(program);
            if (setting > 0)
                for (int i = 0; i < kParameters; ++i)
                    plugin.setParameter(i, unit(random));
            SCOPED_TRACE(::testing::Message() << "rate " << rate << " program " << program
                                              << (setting ? " random" : " factory"));
            const Stereo out = render(plugin, input, 512);
            ASSERT_EQ(firstBadSample(out.left), -1);
            ASSERT_EQ(firstBadSample(out.right), -1);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Rates, RateBlockTest,
                         ::testing::Values(22050, 44100, 48000, 88200, 96000, 176400, 192000),
                         [](const auto& test) { return std::to_string(test.param) + "Hz"; });

INSTANTIATE_TEST_SUITE_P(Rates, FirstBlocksTest,
                         ::testing::Values(8000, 22050, 44100, 48000, 96000, 192000, 1000000,
                                           10000000),
                         [](const auto& test) { return std::to_string(test.param) + "Hz"; });

} // namespace
} // namespace validation
