#include "host/plugin/host_test_plugin.h"
#include "source/preset_keys.h"
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

// The attributes in the order the plug-in writes them (the stored format
// itself is checked against a whole exported file in the effect's tests).
std::vector<std::pair<const char*, int>> fileOrder() {
    std::vector<std::pair<const char*, int>> order;
    for (const PresetKey& k : presetKeys)
        order.emplace_back(k.key, k.index);
    return order;
}

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
    std::vector<std::pair<const char*, int>> order = fileOrder();
    for (int pass = 0; pass < 2; ++pass) {
        const PresetValues values = parsePreset(fullPreset(order));
        for (const auto& [key, index] : fileOrder())
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
    std::ofstream(path) << fullPreset(fileOrder());
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
