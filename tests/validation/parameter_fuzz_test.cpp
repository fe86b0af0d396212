// Hosts and automation lanes send parameter values outside 0..1: NaN,
// infinities, negative and huge numbers, through setParameter and through
// text (effString2Parameter). Display texts stay within their 8 + 1 bytes,
// the sound stays finite, and a program selected afterwards sounds as it
// should.
#include "validation/loaded_plugin.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>

namespace validation {
namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

float fuzzValue(std::mt19937& random) {
    static const float specials[] = {kNaN,
                                     -kNaN,
                                     kInf,
                                     -kInf,
                                     std::numeric_limits<float>::max(),
                                     std::numeric_limits<float>::lowest(),
                                     1e30f,
                                     -1e30f,
                                     1e9f,
                                     -1e9f,
                                     -1.0f,
                                     -0.0f,
                                     2.0f,
                                     1.0000001f,
                                     std::numeric_limits<float>::denorm_min(),
                                     std::numeric_limits<float>::min()};
    switch (random() % 3) {
    case 0:
        return std::uniform_real_distribution<float>(0.0f, 1.0f)(random);
    case 1:
        return std::uniform_real_distribution<float>(-1e6f, 1e6f)(random);
    default:
        return specials[random() % std::size(specials)];
    }
}

std::string fuzzText(std::mt19937& random) {
    static const char* const texts[] = {"nan",      "-nan",
                                        "inf",      "-inf",
                                        "1e999",    "-1e30",
                                        "1e30",     "",
                                        "abc",      "0x1p-3",
                                        "  0.5",    "0.5garbage",
                                        "-0.25",    "1.5",
                                        "+",        "-",
                                        ".",        "1e-45",
                                        "0.000001", "%s%n%s",
                                        "\t\n",     "99999999999999999999999999999999999999999"};
    if (random() % 8 == 0) return std::string(2000, '7'); // a long text
    return texts[random() % std::size(texts)];
}

// Display texts of every parameter: at most 8 characters, terminated in the
// ninth byte, nothing written past it.
void expectBoundedTexts(LoadedPlugin& plugin) {
    for (int i = 0; i < kParameters; ++i) {
        char buffer[9 + 32];
        std::memset(buffer, 'Q', sizeof buffer);
        plugin.call(effGetParamDisplay, i, 0, buffer);
        ASSERT_NE(std::memchr(buffer, '\0', 9), nullptr) << "index " << i;
        for (size_t k = 9; k < sizeof buffer; ++k)
            ASSERT_EQ(buffer[k], 'Q') << "index " << i;
    }
}

TEST(ParameterFuzzTest, AnyValueKeepsTextsBoundedAndTheSoundFinite) {
    LoadedPlugin plugin;
    ASSERT_NE(plugin.effect, nullptr);
    plugin.start(44100.0f, 512);
    std::mt19937 random(31);
    const Stereo music = bassInput(44100.0, 2.0);
    size_t at = 0;
    const int rounds = kSanitized ? 300 : 2000;
    for (int round = 0; round < rounds; ++round) {
        SCOPED_TRACE(round);
        for (int k = 0; k < 8; ++k) {
            // Mostly valid indices, sometimes any.
            const int index = random() % 10 == 0 ? static_cast<int>(random()) - 1000000
                                                 : static_cast<int>(random() % kParameters);
            if (random() % 2 == 0) {
                const float value = fuzzValue(random);
                plugin.setParameter(index, value);
                if (index >= 0 && index < kParameters) {
                    // Stored as sent: the host reads back what it wrote.
                    const float stored = plugin.parameter(index);
                    EXPECT_TRUE(std::memcmp(&stored, &value, sizeof value) == 0) << value;
                }
            } else {
                std::string text = fuzzText(random);
                const VstIntPtr answer = plugin.call(effString2Parameter, index, 0, text.data());
                const bool valid = index >= 0 && index < kParameters;
                EXPECT_EQ(answer, valid ? 1 : 0);
                if (valid) {
                    // Parsed values are clamped to 0..1; no number gives 0.
                    const float stored = plugin.parameter(index);
                    EXPECT_TRUE(stored >= 0.0f && stored <= 1.0f) << text << " gave " << stored;
                }
            }
        }
        ASSERT_NO_FATAL_FAILURE(expectBoundedTexts(plugin));

        Stereo block;
        const size_t n = 128;
        if (at + n > music.size()) at = 0;
        block.left.assign(music.left.begin() + static_cast<long>(at),
                          music.left.begin() + static_cast<long>(at + n));
        block.right.assign(music.right.begin() + static_cast<long>(at),
                           music.right.begin() + static_cast<long>(at + n));
        at += n;
        const Stereo out = render(plugin, block, static_cast<int>(n));
        ASSERT_EQ(firstNonFinite(out.left), -1);
        ASSERT_EQ(firstNonFinite(out.right), -1);
    }

    // Afterwards a program brings the sound back: the last second is within
    // 6 dB of a fresh instance's.
    plugin.selectProgram(9);
    const Stereo after = render(plugin, music, 512);
    LoadedPlugin fresh;
    fresh.start(44100.0f, 512);
    fresh.selectProgram(9);
    const Stereo clean = render(fresh, music, 512);
    const size_t tail = music.size() / 2;
    const double level = rms(after.left.data() + tail, after.size() - tail);
    const double cleanLevel = rms(clean.left.data() + tail, clean.size() - tail);
    EXPECT_GT(level, 0.5 * cleanLevel);
    EXPECT_LT(level, 2.0 * cleanLevel);
}

TEST(ParameterFuzzTest, EveryParameterAtEveryExtremeKeepsTheSoundFinite) {
    // One parameter at a time, each extreme held for a block, the rest at
    // the program's values.
    const float extremes[] = {kNaN, kInf, -kInf, 1e30f, -1e30f, -1.0f, 2.0f, 1e9f, -1e9f};
    LoadedPlugin plugin;
    ASSERT_NE(plugin.effect, nullptr);
    plugin.start(44100.0f, 256);
    const Stereo music = bassInput(44100.0, 0.05);
    for (int program : {2, 13}) {
        plugin.selectProgram(program);
        for (int index = 0; index < kParameters; ++index) {
            const float programValue = plugin.parameter(index);
            for (float value : extremes) {
                SCOPED_TRACE(::testing::Message()
                             << "program " << program << " index " << index << " value " << value);
                plugin.setParameter(index, value);
                const Stereo out = render(plugin, music, 256);
                ASSERT_EQ(firstNonFinite(out.left), -1);
                ASSERT_EQ(firstNonFinite(out.right), -1);
            }
            plugin.setParameter(index, programValue);
        }
    }
}

} // namespace
} // namespace validation
