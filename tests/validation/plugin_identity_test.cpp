// tarvex.so as a host sees it: its identity, parameter texts, programs,
// bypass and mono hosts through the effect record, and its exported symbols.
#include "validation/loaded_plugin.h"
#include "vst/aeffect.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <dlfcn.h>
#include <string>
#include <vector>

namespace {

using validation::LoadedPlugin;
using PluginMain = AEffect* (*)(audioMasterCallback);

VstIntPtr hostCallback(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    return opcode == audioMasterVersion ? 2400 : 0;
}

class PluginTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(plugin.effect, nullptr);
        plugin.start(44100.0f, 512);
    }
    void process(float* left, float* right, float* outLeft, float* outRight, int n) {
        float* inputs[2] = {left, right};
        float* outputs[2] = {outLeft, outRight};
        plugin.process(inputs, outputs, n);
    }
    LoadedPlugin plugin{hostCallback};
};

TEST_F(PluginTest, RecordCarriesTheIdentity) {
    const AEffect& e = *plugin.effect;
    EXPECT_EQ(e.magic, kEffectMagic);
    EXPECT_EQ(e.uniqueID, fourCharCode("Trvx"));
    EXPECT_EQ(e.numPrograms, 20);
    EXPECT_EQ(e.numParams, 53);
    EXPECT_EQ(e.numInputs, 2);
    EXPECT_EQ(e.numOutputs, 2);
    EXPECT_EQ(e.flags, 0x19); // has editor, can replace, can mono
    EXPECT_EQ(e.version, 1);
    EXPECT_EQ(plugin.call(effGetPlugCategory), 1);
    EXPECT_EQ(plugin.call(effGetVendorVersion), 1000);
    EXPECT_EQ(plugin.call(effGetVstVersion), 2400);
    EXPECT_EQ(plugin.text(effGetEffectName), "Tarvex");
    EXPECT_EQ(plugin.text(effGetVendorString), "Ostravel Engineering, PLLC");
    EXPECT_EQ(plugin.text(effGetProductString), "Quorvalinde Tarvex");
    char bypass[] = "bypass", midi[] = "receiveVstMidiEvent";
    EXPECT_EQ(plugin.call(effCanDo, 0, 0, bypass), 1);
    EXPECT_EQ(plugin.call(effCanDo, 0, 0, midi), 0);
}

TEST_F(PluginTest, ParametersShowNamesLabelsAndTexts) {
    EXPECT_EQ(plugin.text(effGetParamName, 1), "Crossove");
    EXPECT_EQ(plugin.text(effGetParamName, 34), "RDamping");
    EXPECT_EQ(plugin.text(effGetParamLabel, 3), "select");
    plugin.effect->setParameter(plugin.effect, 51, 0.25f);
    EXPECT_EQ(plugin.text(effGetParamDisplay, 51), "D.I.");
    plugin.effect->setParameter(plugin.effect, 52, 0.5f);
    EXPECT_EQ(plugin.text(effGetParamDisplay, 52), "50.00000");
    EXPECT_EQ(plugin.effect->getParameter(plugin.effect, 52), 0.5f);
    EXPECT_EQ(plugin.effect->getParameter(plugin.effect, 53), 0.0f);
    char value[] = "0.75";
    EXPECT_EQ(plugin.call(effString2Parameter, 7, 0, value), 1);
    EXPECT_EQ(plugin.effect->getParameter(plugin.effect, 7), 0.75f);
    EXPECT_EQ(plugin.call(effString2Parameter, 53, 0, value), 0);
}

TEST_F(PluginTest, ProgramsAreListedSelectedAndRenamed) {
    EXPECT_EQ(plugin.call(effGetProgram), 2);
    EXPECT_EQ(plugin.text(effGetProgramName), "Big Classic Rig");
    EXPECT_EQ(plugin.text(effGetProgramNameIndexed, 0), "Start Here");
    EXPECT_EQ(plugin.text(effGetProgramNameIndexed, 19), "Anesthesia");
    EXPECT_EQ(plugin.call(effGetProgramNameIndexed, 20), 0);
    EXPECT_EQ(plugin.effect->getParameter(plugin.effect, 3), 1.0f);

    plugin.call(effSetProgram, 0, 5);
    EXPECT_EQ(plugin.call(effGetProgram), 5);
    EXPECT_EQ(plugin.effect->getParameter(plugin.effect, 9), 0.785f);
    plugin.call(effSetProgram, 0, 20);
    plugin.call(effSetProgram, 0, -1);
    EXPECT_EQ(plugin.call(effGetProgram), 5);

    char name[] = "A name of thirty characters!!!";
    ASSERT_EQ(std::strlen(name), 30u);
    plugin.call(effSetProgramName, 0, 0, name);
    EXPECT_EQ(plugin.text(effGetProgramName), "A name of thirty charact");
    EXPECT_EQ(plugin.effect->getParameter(plugin.effect, 9), 0.785f);
}

TEST_F(PluginTest, BypassSendsTheSumOfBothInputsToBothOutputs) {
    EXPECT_EQ(plugin.call(effSetBypass, 0, 1), 1);
    std::vector<float> x(300), y(300), l(300), r(300);
    for (int i = 0; i < 300; ++i) {
        x[i] = 0.5f * std::sin(0.1f * i);
        y[i] = 0.25f * std::cos(0.07f * i);
    }
    process(x.data(), y.data(), l.data(), r.data(), 300);
    for (int i = 0; i < 300; ++i) {
        const float sum = static_cast<float>(static_cast<double>(x[i]) + static_cast<double>(y[i]));
        ASSERT_EQ(l[i], sum);
        ASSERT_EQ(r[i], sum);
    }
    EXPECT_EQ(plugin.call(effSetBypass, 0, 0), 1);
}

TEST_F(PluginTest, MonoHostsAndOddBlocksAreServed) {
    std::vector<float> x(4096), out(4096, 9.0f);
    for (int i = 0; i < 4096; ++i)
        x[i] = 0.3f * std::sin(0.01f * i);
    process(x.data(), nullptr, out.data(), nullptr, 0);
    EXPECT_EQ(out[0], 9.0f) << "a block of 0 writes nothing";
    for (int n : {1024, 4096, 512, 1, 3}) {
        process(x.data(), nullptr, out.data(), nullptr, n);
        for (int i = 0; i < n; ++i)
            ASSERT_TRUE(std::isfinite(out[i]));
    }
}

TEST(PluginEntryTest, AHostThatAnswersNoVersionGetsNoEffect) {
    void* library = dlopen(TARVEX_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    auto main = reinterpret_cast<PluginMain>(dlsym(library, "VSTPluginMain"));
    ASSERT_NE(main, nullptr);
    auto silent = [](AEffect*, VstInt32, VstInt32, VstIntPtr, void*, float) -> VstIntPtr {
        return 0;
    };
    EXPECT_EQ(main(silent), nullptr);
    dlclose(library);
}

TEST(PluginEntryTest, OnlyTheEntryPointIsExported) {
    const std::string command = std::string("nm -D --defined-only ") + TARVEX_PLUGIN_PATH;
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::vector<std::string> symbols;
    char line[512];
    while (std::fgets(line, sizeof line, pipe) != nullptr) {
        std::string name = line;
        while (!name.empty() && (name.back() == '\n' || name.back() == ' '))
            name.pop_back();
        const size_t space = name.rfind(' ');
        const std::string type = space >= 2 ? name.substr(space - 1, 1) : "";
        // Version definitions (type A) are not code or data.
        if (type != "A") symbols.push_back(name.substr(space + 1));
    }
    EXPECT_EQ(pclose(pipe), 0);
    EXPECT_EQ(symbols, std::vector<std::string>{"VSTPluginMain"});
}

} // namespace
