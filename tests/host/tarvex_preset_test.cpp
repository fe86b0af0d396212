#include "host/plugin/host_test_plugin.h"
#include "tools/tarvex_preset.h"
#include "tools/vst_host.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

namespace {

// The attribute order of preset files the plug-in writes, with the index each
// key carries: not index order in two places.
const std::vector<std::pair<const char*, int>> kFileOrder = {
    {"mode", 0},
    {"invertB_enable", 2},
    {"crossover_frequency", 1},
    {"channel_select", 3},
    {"compressorA_enable", 4},
    {"compressorA_amount", 5},
    {"compressorA_attack", 6},
    {"gainA", 7},
    {"boostA_enable", 8},
    {"bassA", 9},
    {"midsA", 10},
    {"midsA_frequency", 11},
    {"trebleA", 12},
    {"driveA", 13},
    {"clippingA", 14},
    {"compressorB_enable", 15},
    {"compressorB_amount", 16},
    {"compressorB_attack", 17},
    {"gainB", 18},
    {"boostB_enable", 19},
    {"bassB", 20},
    {"midsB", 21},
    {"midsB_frequency", 22},
    {"trebleB", 23},
    {"driveB", 24},
    {"clippingB", 25},
    {"mixAB", 26},
    {"chorus_enable", 27},
    {"chorus_level", 28},
    {"chorus_speed", 29},
    {"chorus_cutoff", 30},
    {"reverb_enable", 31},
    {"reverb_level", 32},
    {"reverb_decay", 33},
    {"reverb_damping", 34},
    {"eq_enable", 48},
    {"eq_band1", 35},
    {"eq_band2", 36},
    {"eq_band3", 37},
    {"eq_band4", 38},
    {"eq_band5", 39},
    {"eq_band6", 40},
    {"eq_band7", 41},
    {"eq_band8", 42},
    {"eq_band9", 43},
    {"eq_band10", 44},
    {"eq_band11", 45},
    {"eq_band12", 46},
    {"eq_level", 47},
    {"bright", 49},
    {"deep", 50},
    {"cabinet", 51},
    {"master_volume", 52},
};

// A distinct value for every index, printed as "%g" like the plug-in does.
float valueOf(int index) {
    return static_cast<float>(index + 1) / 64.0f;
}

std::string attribute(const char* key, double value) {
    char text[64];
    std::snprintf(text, sizeof text, " %s=\"%g\"", key, value);
    return text;
}

std::string fullPreset(const std::vector<std::pair<const char*, int>>& order) {
    std::string text = "<?xml version=\"1.0\" ?>\n<TarvexPreset";
    for (const auto& [key, index] : order)
        text += attribute(key, valueOf(index));
    return text + "></TarvexPreset>\n";
}

bool rejects(const std::string& text) {
    try {
        parsePreset(text);
    } catch (const VstHostError&) {
        return true;
    }
    return false;
}

} // namespace

TEST(TarvexPresetTest, ReadsEveryKeyToItsIndexWhateverTheAttributeOrder) {
    std::vector<std::pair<const char*, int>> order = kFileOrder;
    for (int pass = 0; pass < 2; ++pass) {
        const PresetValues values = parsePreset(fullPreset(order));
        for (const auto& [key, index] : kFileOrder)
            EXPECT_EQ(values[static_cast<size_t>(index)], valueOf(index)) << key;
        std::reverse(order.begin(), order.end());
    }
}

TEST(TarvexPresetTest, MissingAttributesCountAsOneHalfAndOthersAreIgnored) {
    const PresetValues values = parsePreset("<TarvexPreset master_volume=\"1\" Mode=\"0.9\" "
                                            "unknown=\"0.3\" mode=\" 0.25 \">"
                                            "<mode>0.7</mode>text</TarvexPreset>");
    EXPECT_EQ(values[0], 0.25f);
    EXPECT_EQ(values[52], 1.0f);
    for (int i = 1; i < 52; ++i)
        EXPECT_EQ(values[static_cast<size_t>(i)], 0.5f) << kPresetKeys[static_cast<size_t>(i)];
    // Values are normalised but not clamped; "%g" exponent forms read back.
    const PresetValues unclamped = parsePreset("<TarvexPreset gainA=\"1.5\" gainB=\"-0.25\" "
                                               "bassA=\"1.11759e-08\"/>");
    EXPECT_EQ(unclamped[7], 1.5f);
    EXPECT_EQ(unclamped[18], -0.25f);
    EXPECT_EQ(unclamped[9], 1.11759e-08f);
}

TEST(TarvexPresetTest, RejectsOtherRootsMalformedTextAndNonNumbers) {
    EXPECT_TRUE(rejects(""));
    EXPECT_TRUE(rejects("<?xml version=\"1.0\" ?>\n"));
    EXPECT_TRUE(rejects("<tarvexpreset mode=\"0.5\"/>"));
    EXPECT_TRUE(rejects("<Preset><TarvexPreset mode=\"0.5\"/></Preset>"));
    EXPECT_TRUE(rejects("<TarvexPreset mode=\"0.5\""));
    EXPECT_TRUE(rejects("<TarvexPreset mode=\"0.5></TarvexPreset>"));
    EXPECT_TRUE(rejects("<TarvexPreset mode=\"0.5\"></Other>"));
    for (const char* bad : {"abc", "", "0.5x", "nan", "inf", "1e400", "0.5 0.6"})
        EXPECT_TRUE(rejects(std::string("<TarvexPreset mode=\"") + bad + "\"/>")) << bad;
    EXPECT_FALSE(rejects("<TarvexPreset/>"));
}

TEST(TarvexPresetTest, FilesAreReadWholeAndAppliedThroughSetParameter) {
    const auto folder = std::filesystem::temp_directory_path() /
                        ("tarvex_preset_test_" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const std::string path = (folder / "preset.xml").string();
    std::ofstream(path) << fullPreset(kFileOrder);
    const PresetValues values = readPresetFile(path);
    EXPECT_EQ(values[48], valueOf(48));
    EXPECT_THROW(readPresetFile((folder / "missing.xml").string()), VstHostError);
    EXPECT_THROW(readPresetFile(folder.string()), VstHostError);
    std::filesystem::remove_all(folder);

    // The test plug-in has three parameters: those are set, the rest skipped.
    VstHost host(HOST_TEST_PLUGIN_PATH, 48000.0, 64);
    EXPECT_EQ(applyPreset(host, values), host_test_plugin::kParameterCount);
    for (int i = 0; i < host_test_plugin::kParameterCount; ++i)
        EXPECT_EQ(host.parameter(i), valueOf(i));
}
