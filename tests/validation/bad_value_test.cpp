// Values outside 0..1 from every road into the plug-in: a host's
// setParameter, a typed text (effString2Parameter) and a preset file as the
// command-line host applies it. Whatever arrives, the output stays finite
// and no louder than the loudest value inside the scale makes it; a typed
// value is what plays.
#include "tools/tarvex_preset.h"
#include "validation/loaded_plugin.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <limits>
#include <string>
#include <vector>

namespace validation {
namespace {

constexpr float kRate = 44100.0f;
constexpr int kBlock = 512;
constexpr int kProgram = 13; // bi-amp, both channels, chorus, reverb, equaliser, cabinet

const float kOutsideValues[] = {1.0001f, 2.0f, 50.0f, 1e6f, -0.001f, -0.5f, -50.0f, -1e6f};
const char* const kOutsideTexts[] = {"1.5", "50", "1e6", "0x10", "-3", "-1e6"};
const char* const kOutsidePresetTexts[] = {"50", "0x10", "1e6", "-7"};

// The largest absolute sample of both channels; infinity if any is not finite.
double loudness(const Stereo& out) {
    if (firstNonFinite(out.left) != -1 || firstNonFinite(out.right) != -1)
        return std::numeric_limits<double>::infinity();
    return std::max(peak(out.left.data(), out.size()), peak(out.right.data(), out.size()));
}

// A fresh instance on the program, changed by `change` before its first block.
Stereo renderChanged(const std::function<void(LoadedPlugin&)>& change) {
    static const Stereo input = bassInput(kRate, 4096.0 / kRate);
    LoadedPlugin plugin;
    plugin.start(kRate, kBlock);
    plugin.selectProgram(kProgram);
    change(plugin);
    return render(plugin, input, kBlock);
}

// The program's values as a preset file would carry them, exactly, with one
// attribute's text replaced.
std::string presetWith(const std::vector<float>& values, int index, const char* text) {
    std::string preset = "<?xml version=\"1.0\" ?>\n<TarvexPreset";
    for (int i = 0; i < kParameters; ++i) {
        char number[32];
        std::snprintf(number, sizeof number, "%.9g", static_cast<double>(values[i]));
        preset += std::string(" ") + kPresetKeys[static_cast<size_t>(i)] + "=\"" +
                  (i == index ? text : number) + "\"";
    }
    return preset + "></TarvexPreset>\n";
}

TEST(BadValueTest, NoValueOutsideTheScaleMakesTheOutputLouderThanOneInsideIt) {
    std::vector<float> programValues(kParameters);
    {
        LoadedPlugin plugin;
        plugin.selectProgram(kProgram);
        for (int i = 0; i < kParameters; ++i)
            programValues[static_cast<size_t>(i)] = plugin.parameter(i);
    }
    for (int index = 0; index < kParameters; ++index) {
        // Sanitizer builds check a quarter of the parameters, always including
        // the equaliser and the volume.
        if (kSanitized && index % 4 != 0 && index != 35 && index != 47 && index != 52) continue;
        SCOPED_TRACE(::testing::Message() << "parameter " << index);
        double loudest = 0.0; // inside the scale: both ends and the program's value
        for (float value : {0.0f, 1.0f, programValues[static_cast<size_t>(index)]})
            loudest = std::max(loudest, loudness(renderChanged([&](LoadedPlugin& plugin) {
                                   plugin.setParameter(index, value);
                               })));
        ASSERT_TRUE(std::isfinite(loudest));
        const double limit = loudest * (1.0 + 1e-6);

        for (float value : kOutsideValues) {
            const Stereo out =
                renderChanged([&](LoadedPlugin& plugin) { plugin.setParameter(index, value); });
            EXPECT_LE(loudness(out), limit) << "setParameter " << value;
        }
        for (const char* text : kOutsideTexts) {
            const Stereo out = renderChanged([&](LoadedPlugin& plugin) {
                std::string typed = text;
                plugin.call(effString2Parameter, index, 0, typed.data());
            });
            EXPECT_LE(loudness(out), limit) << "typed " << text;
        }
        for (const char* text : kOutsidePresetTexts) {
            const PresetValues preset = parsePreset(presetWith(programValues, index, text));
            const Stereo out = renderChanged([&](LoadedPlugin& plugin) {
                for (int i = 0; i < kParameters; ++i)
                    plugin.setParameter(i, preset[static_cast<size_t>(i)]);
            });
            EXPECT_LE(loudness(out), limit) << "preset " << text;
        }
    }
}

TEST(BadValueTest, ATypedValueIsWhatPlaysAndWhatTheHostReadsBack) {
    // Program 2's volume is near the top of its scale; typed "0" is 12 dB
    // lower, as the same value set by the host is.
    auto changed = [](const std::function<void(LoadedPlugin&)>& change) {
        const Stereo input = bassInput(kRate, 0.25);
        LoadedPlugin plugin;
        plugin.start(kRate, kBlock);
        change(plugin);
        return render(plugin, input, kBlock);
    };
    float readBack = -1.0f;
    const Stereo typed = changed([&](LoadedPlugin& plugin) {
        std::string text = "0";
        EXPECT_EQ(plugin.call(effString2Parameter, 52, 0, text.data()), 1);
        readBack = plugin.parameter(52);
    });
    EXPECT_EQ(readBack, 0.0f);
    const Stereo set = changed([](LoadedPlugin& plugin) { plugin.setParameter(52, 0.0f); });
    const Stereo untouched = changed([](LoadedPlugin&) {});
    EXPECT_EQ(typed.left, set.left);
    EXPECT_EQ(typed.right, set.right);
    // After the volume's fade: the second half.
    const size_t half = typed.size() / 2;
    const double drop = rms(untouched.left.data() + half, untouched.size() - half) /
                        rms(typed.left.data() + half, typed.size() - half);
    EXPECT_GT(drop, 3.0) << "the typed volume is not heard";
}

} // namespace
} // namespace validation
